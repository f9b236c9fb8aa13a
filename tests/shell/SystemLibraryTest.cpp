#include <gtest/gtest.h>

#include <string>

#include "ShellTestSupport.h"
#include "shell/SystemLibrary.h"
#include "shell/VoSysUtils.h"

namespace vo {
namespace {

using test::U8;

std::u16string ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  return U16(path, length);
}

std::u16string FolderOf(const std::u16string& path) { return path.substr(0, path.find_last_of(u'\\') + 1); }

TEST(LoadSystemLibrary, LoadsFromTheSystemFolder) {
  HMODULE module = LoadSystemLibrary(L"msimg32.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_TRUE(test::SamePath(FolderOf(ModulePath(module)), GetSystemDirPath())) << U8(ModulePath(module));
  EXPECT_NE(SystemFunction<BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT)>(module,
                                                                                                 "TransparentBlt"),
            nullptr);
  EXPECT_EQ((SystemFunction<void (*)()>(module, "NoSuchExport")), nullptr);
  EXPECT_EQ((SystemFunction<void (*)()>(nullptr, "TransparentBlt")), nullptr);
}

// A file of a DLL's name in the program's folder and the current folder: a
// bare LoadLibraryW finds it (and fails on its content), LoadSystemLibrary
// never looks there.
TEST(LoadSystemLibrary, NeverSearchesTheProgramsOrTheCurrentFolder) {
  const std::u16string programFolder = FolderOf(ModulePath(nullptr));
  const std::u16string name = u"vo_only_beside_the_program.dll";
  ASSERT_TRUE(test::WriteFileBytes(programFolder + name, "not a DLL"));
  wchar_t current[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, current);
  const std::u16string inCurrent = U16(current) + u"\\" + name;
  const bool currentIsProgramFolder = test::SamePath(U16(current) + u"\\", programFolder);
  if (!currentIsProgramFolder) {
    ASSERT_TRUE(test::WriteFileBytes(inCurrent, "not a DLL"));
  }

  EXPECT_EQ(::LoadLibraryW(WStr(name)), nullptr);
  const DWORD naiveError = ::GetLastError();
  EXPECT_EQ(LoadSystemLibrary(WStr(name)), nullptr);
  const DWORD error = ::GetLastError();
  ::DeleteFileW(WStr(programFolder + name));
  if (!currentIsProgramFolder) ::DeleteFileW(WStr(inCurrent));

  EXPECT_EQ(naiveError, DWORD(ERROR_BAD_EXE_FORMAT)) << "the control load should have found the file";
  EXPECT_EQ(error, DWORD(ERROR_MOD_NOT_FOUND));
}

// With a manifest that asks for version 6 of the common controls, their
// side-by-side copy is found by full path; a DLL the manifest does not name,
// or no manifest at all, gives none.
TEST(SideBySidePath, FindsTheCommonControlsTheManifestAsksFor) {
  test::TempFolder folder(u"SystemLibrary");
  const std::u16string manifest = folder.path() + u"\\app.manifest";
  ASSERT_TRUE(test::WriteFileBytes(
      manifest,
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
      "  <dependency><dependentAssembly>\n"
      "    <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"\n"
      "      processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
      "  </dependentAssembly></dependency>\n"
      "</assembly>\n"));
  EXPECT_EQ(SideBySidePath(L"comctl32.dll"), L"");

  ACTCTXW request = {};
  request.cbSize = sizeof request;
  request.lpSource = WStr(manifest);
  HANDLE context = ::CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << ::GetLastError();
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(::ActivateActCtx(context, &cookie));
  const std::wstring path = SideBySidePath(L"comctl32.dll");
  const std::wstring other = SideBySidePath(L"msimg32.dll");
  ::DeactivateActCtx(0, cookie);
  ::ReleaseActCtx(context);

  const std::u16string found = U16(path.c_str());
  ASSERT_GT(found.size(), 13u);
  EXPECT_TRUE(test::SamePath(found.substr(found.size() - 13), u"\\comctl32.dll")) << U8(found);
  EXPECT_FALSE(test::SamePath(FolderOf(found), GetSystemDirPath())) << U8(found);
  EXPECT_TRUE(test::FileExists(found)) << U8(found);
  wchar_t windows[MAX_PATH] = {};
  ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::u16string sideBySide = U16(windows) + u"\\WinSxS\\";
  EXPECT_TRUE(test::SamePath(found.substr(0, sideBySide.size()), sideBySide)) << U8(found);
  EXPECT_EQ(other, L"");
}

}  // namespace
}  // namespace vo
