// pe_probe.exe: a small real program that the Windows PE tests stamp with
// resources and start, so that the system's own loader and resource functions
// read what the stamper wrote. It prints one line per query to standard
// output (UTF-8) and exits 0:
//
//   pe_probe.exe string:<id>                  -> "string <id> <text>" (LoadStringW)
//   pe_probe.exe find:<type>:<name>[:<lang>]  -> "found <type> <name> <size> <crc32>" or "missing <type> <name>"
//   pe_probe.exe base                         -> "base rebased|preferred"
//
// <type> and <name> are "#<id>" or a name, passed to FindResourceW as given
// (in any letter case); with <lang>, FindResourceExW looks for that language
// only. The CRC-32 covers every byte of the resource, read through
// LockResource. A pointer in initialized data checks that the loader applied
// the relocations when it moved the program.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

const char kProbeText[] = "probe";
// An absolute address in the data: wrong unless relocated with the image.
const char* volatile gProbePointer = kProbeText;

uint32_t Crc32(const uint8_t* p, size_t count) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < count; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

std::string Utf8(const wchar_t* text, int length) {
  if (length == 0) return "";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
  return out;
}

void Print(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), DWORD(text.size()), &written, nullptr);
}

// "#10" -> MAKEINTRESOURCEW(10); anything else stays a name.
const wchar_t* ResourceId(const std::wstring& token) {
  if (token.size() > 1 && token[0] == L'#') return MAKEINTRESOURCEW(_wtoi(token.c_str() + 1));
  return token.c_str();
}

void Find(const std::wstring& query) {
  std::wstring parts[3];
  int count = 0;
  size_t start = 0;
  while (count < 3) {
    const size_t colon = query.find(L':', start);
    parts[count++] = query.substr(start, colon == std::wstring::npos ? std::wstring::npos : colon - start);
    if (colon == std::wstring::npos) break;
    start = colon + 1;
  }
  const std::string label = Utf8(parts[0].c_str(), int(parts[0].size())) + " " + Utf8(parts[1].c_str(), int(parts[1].size()));
  HRSRC found = count == 3 ? ::FindResourceExW(nullptr, ResourceId(parts[0]), ResourceId(parts[1]), WORD(_wtoi(parts[2].c_str())))
                           : ::FindResourceW(nullptr, ResourceId(parts[1]), ResourceId(parts[0]));
  if (found == nullptr) {
    Print("missing " + label);
    return;
  }
  const DWORD size = ::SizeofResource(nullptr, found);
  const uint8_t* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(nullptr, found)));
  char crc[16];
  wsprintfA(crc, "%08x", data != nullptr ? Crc32(data, size) : 0u);
  Print("found " + label + " " + std::to_string(size) + " " + crc);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (std::strcmp(gProbePointer, "probe") != 0) return 3;
  for (int i = 1; i < argc; ++i) {
    const std::wstring query = argv[i];
    if (query.compare(0, 7, L"string:") == 0) {
      const UINT id = UINT(_wtoi(query.c_str() + 7));
      const wchar_t* text = nullptr;
      // With a buffer size of 0, LoadStringW returns a pointer to the string
      // in the resource and its length.
      const int length = ::LoadStringW(nullptr, id, reinterpret_cast<LPWSTR>(&text), 0);
      Print("string " + std::to_string(id) + " " + (text != nullptr ? Utf8(text, length) : std::string("<none>")));
    } else if (query.compare(0, 5, L"find:") == 0) {
      Find(query.substr(5));
    } else if (query == L"base") {
      // The preferred base is the file's ImageBase; the module handle is
      // where the loader put the program.
      const auto* module = reinterpret_cast<const uint8_t*>(::GetModuleHandleW(nullptr));
      const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
      wchar_t path[MAX_PATH];
      ::GetModuleFileNameW(nullptr, path, MAX_PATH);
      HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      uint8_t head[0x200] = {};
      DWORD read = 0;
      ::ReadFile(file, head, sizeof head, &read, nullptr);
      ::CloseHandle(file);
      const auto* fileNt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(head + dos->e_lfanew);
      Print(std::string("base ") + (uintptr_t(module) != fileNt->OptionalHeader.ImageBase ? "rebased" : "preferred"));
    } else {
      Print("unknown query");
      return 2;
    }
  }
  return 0;
}
