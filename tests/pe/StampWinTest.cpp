// The system's own loader and resource functions on stamped copies of two
// small real programs built by this tree (run under Wine):
//   - pe_probe.exe, started with CreateProcess, reports its strings
//     (LoadStringW, language 2052), finds resources by names given in mixed
//     case and sums every byte of them;
//   - pe_probe_dll.dll prefers the base address this test program occupies,
//     so LoadLibrary must apply its relocations (moved by the stamp) and bind
//     its imports before its check function and its resources answer.

#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include "PeTestSupport.h"
#include "pe/ResourceBuilders.h"
#include "pe/ResourceStamper.h"

namespace vo::pe::test {
namespace {

fs::path OwnFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(std::wstring(path, length)).parent_path();
}

void StampFile(const fs::path& stub, const std::vector<NewResource>& resources, const fs::path& out) {
  FileSource source(stub);
  const PeImage image = PeImage::Parse(source);
  FileSink sink(out);
  StampResources(image, source, resources, sink);
  sink.Close();
}

struct ProgramRun {
  DWORD exitCode = 0;
  std::string output;
};

// Starts program with arguments, its standard output going to a file.
ProgramRun RunProgram(const fs::path& program, const std::wstring& arguments, const fs::path& outputFile) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE output = ::CreateFileW(outputFile.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + outputFile.string());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  std::wstring commandLine = L"\"" + program.wstring() + L"\" " + arguments;
  PROCESS_INFORMATION process = {};
  const BOOL started = ::CreateProcessW(program.wstring().c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
  ::CloseHandle(output);
  if (!started) throw std::runtime_error("cannot start " + program.string());
  ::WaitForSingleObject(process.hProcess, 60000);
  ProgramRun run;
  ::GetExitCodeProcess(process.hProcess, &run.exitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  run.output = ReadFile(outputFile);
  return run;
}

std::string Found(const std::string& label, const std::string& bytes) {
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08x", Crc32(bytes));
  return "found " + label + " " + std::to_string(bytes.size()) + " " + crc;
}

TEST(StampWin, LoaderRunsTheStampedProbe) {
  // The stamper writes 32-bit programs only; a 64-bit build of this test
  // (for 64-bit Wine) has no 32-bit probe to stamp and run.
  if (sizeof(void*) != 4) GTEST_SKIP() << "the stamper writes 32-bit programs; this is a 64-bit build";
  const fs::path probe = OwnFolder() / "pe_probe.exe";
  ASSERT_TRUE(fs::exists(probe)) << probe;
  TempFolder folder;
  GeneratedSource package(5 * 1024 * 1024 + 3);
  std::vector<NewResource> resources =
      MakeStringTableResources({{1001, u"Drawvane \u4ea7\u54c1"}, {1002, u"\u7ed8\u98ce"}, {1017, u"https://x.invalid/"}},
                               2052);
  resources.push_back(NewResource::FromBytes(kTypeRcData, u"MixedCaseData", 2052, "stored upper-case"));
  resources.push_back(NewResource::FromBytes(kTypeRcData, u"Empty", 2052, ""));
  resources.push_back(NewResource::FromSource(u"StpFile", u"SetupPackage", 2052, package, package.Size()));
  for (NewResource& icon : MakeIconResources(TwoImageIcon(), u"AppIcon", 2052)) resources.push_back(std::move(icon));
  const std::string packageBytes = [&] {
    std::string bytes(size_t(package.Size()), '\0');
    package.ReadAt(0, &bytes[0], bytes.size());
    return bytes;
  }();
  StampFile(probe, resources, folder / "stamped.exe");

  const ProgramRun run = RunProgram(folder / "stamped.exe",
                             L"string:1001 string:1002 string:1017 string:1003 string:2000 "
                             L"find:#10:mixedcasedata find:#10:MixedCaseDATA:2052 find:#10:empty "
                             L"find:stpfile:SetupPackage find:StpFile:setuppackage:2052 "
                             L"find:#6:#63:2052 find:#6:#63:1033 find:#10:ProbeOwn find:#14:appicon find:#3:#2 base",
                             folder / "report.txt");

  EXPECT_EQ(run.exitCode, 0u) << run.output;
  const std::string expected =
      "string 1001 Drawvane \xe4\xba\xa7\xe5\x93\x81\n"
      "string 1002 \xe7\xbb\x98\xe9\xa3\x8e\n"
      "string 1017 https://x.invalid/\n"
      "string 1003 \n"                   // in a written block, empty
      "string 2000 stub string, kept\n"  // the stub's own block 126
      + Found("#10 mixedcasedata", "stored upper-case") + "\n" +
      Found("#10 MixedCaseDATA", "stored upper-case") + "\n" + Found("#10 empty", "") + "\n" +
      Found("stpfile SetupPackage", packageBytes) + "\n" + Found("StpFile setuppackage", packageBytes) + "\n" +
      Found("#6 #63", resources[0].bytes) + "\n" +
      "missing #6 #63\n"  // the stub's block of language 1033 does not exist; 2052 was replaced
      + Found("#10 ProbeOwn", "kept data") + "\n" + Found("#14 appicon", resources.back().bytes) + "\n" +
      Found("#3 #2", TwoImageIcon().substr(94)) + "\n";
  EXPECT_EQ(run.output.substr(0, run.output.rfind("base ")), expected);
  EXPECT_NE(run.output.find("base "), std::string::npos) << run.output;
}

TEST(StampWin, LoaderRelocatesTheStampedDll) {
  // The stamper writes 32-bit programs only; a 64-bit build of this test
  // (for 64-bit Wine) has no 32-bit probe to stamp and run.
  if (sizeof(void*) != 4) GTEST_SKIP() << "the stamper writes 32-bit programs; this is a 64-bit build";
  const fs::path dll = OwnFolder() / "pe_probe_dll.dll";
  ASSERT_TRUE(fs::exists(dll)) << dll;
  FileSource dllFile(dll);
  const PeImage stub = PeImage::Parse(dllFile);
  ASSERT_EQ(stub.imageBase, uintptr_t(::GetModuleHandleW(nullptr))) << "the DLL must want the test program's base";
  TempFolder folder;
  std::vector<NewResource> resources = MakeStringTableResources({{1001, u"dll string"}}, 2052);
  resources.push_back(NewResource::FromBytes(kTypeRcData, u"DllData", 2052, std::string(5000, '\x7E')));
  StampFile(dll, resources, folder / "stamped.dll");

  HMODULE module = ::LoadLibraryW((folder / "stamped.dll").wstring().c_str());
  ASSERT_NE(module, nullptr) << "error " << ::GetLastError();
  EXPECT_NE(uintptr_t(module), stub.imageBase) << "loaded at its preferred base: nothing relocated";
  auto check = reinterpret_cast<int (*)()>(::GetProcAddress(module, "ProbeRelocationCheck"));
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(check(), 42) << "relocations or imports broken";
  HRSRC found = ::FindResourceW(module, L"dllData", MAKEINTRESOURCEW(10));
  ASSERT_NE(found, nullptr);
  const char* data = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
  EXPECT_EQ(std::string(data, ::SizeofResource(module, found)), std::string(5000, '\x7E'));
  wchar_t text[64] = {};
  const int length = ::LoadStringW(module, 1001, text, 64);
  EXPECT_EQ(std::wstring(text, size_t(length)), L"dll string");
  EXPECT_NE(::FindResourceW(module, L"PROBEOWN", MAKEINTRESOURCEW(10)), nullptr) << "the DLL's own resource is kept";
  ::FreeLibrary(module);
}

}  // namespace
}  // namespace vo::pe::test

#endif  // _WIN32
