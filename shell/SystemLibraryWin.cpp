#include "shell/SystemLibrary.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vo {

// The loader flag of LoadLibraryExW, SetDefaultDllDirectories and the load
// configuration; the headers of the Windows 7 API level this project builds
// against predate it.
constexpr uint16_t kSearchSystem32 = 0x0800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

namespace {

HMODULE Kernel32() { return ::GetModuleHandleW(L"kernel32.dll"); }

// The system folder's path of fileName, or empty.
std::wstring SystemFolderPath(const wchar_t* fileName) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length) + L"\\" + fileName;
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
  const auto setDefault = SystemFunction<SetDefaultDllDirectoriesFunction>(Kernel32(), "SetDefaultDllDirectories");
  if (!setDefault || !setDefault(kSearchSystem32)) {
    if (const auto setDirectory = SystemFunction<SetDllDirectoryFunction>(Kernel32(), "SetDllDirectoryW")) {
      setDirectory(L"");
    }
  }
  // DLLs that system DLLs load later by bare name: the theme engine's
  // drawing loads msimg32.dll on first use. Where that later load still
  // searches the program's folder (systems without SetDefaultDllDirectories,
  // and Wine's delay-loaded imports), a copy there would win; loaded from the
  // system folder now, the later load finds the module already in the process.
  for (const wchar_t* name : {L"msimg32.dll"}) LoadSystemLibrary(name);
}

std::wstring SideBySidePath(const wchar_t* fileName) {
  ACTCTX_SECTION_KEYED_DATA data = {};
  data.cbSize = sizeof data;
  if (!::FindActCtxSectionStringW(FIND_ACTCTX_SECTION_KEY_RETURN_HACTCTX, nullptr,
                                  ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, fileName, &data)) {
    return {};
  }
  // The assembly's folder, from the detailed information of its entry: the
  // name of a folder under the Windows folder's WinSxS for the system's
  // shared assemblies (a full path is taken as it is).
  std::wstring path;
  SIZE_T size = 0;
  ::QueryActCtxW(0, data.hActCtx, &data.ulAssemblyRosterIndex, AssemblyDetailedInformationInActivationContext,
                 nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  const auto* assembly = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
  if (size >= sizeof *assembly &&
      ::QueryActCtxW(0, data.hActCtx, &data.ulAssemblyRosterIndex, AssemblyDetailedInformationInActivationContext,
                     buffer.data(), size, &size) &&
      assembly->lpAssemblyDirectoryName && assembly->ulAssemblyDirectoryNameLength) {
    path.assign(assembly->lpAssemblyDirectoryName, assembly->ulAssemblyDirectoryNameLength / sizeof(wchar_t));
    if (path.back() != L'\\') path += L'\\';
    path += fileName;
    if (path.find(L':') == std::wstring::npos && path[0] != L'\\') {
      wchar_t windows[MAX_PATH] = {};
      const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
      path = length == 0 || length >= MAX_PATH ? L"" : std::wstring(windows, length) + L"\\WinSxS\\" + path;
    }
  }
  ::ReleaseActCtx(data.hActCtx);
  // Only a full path to a file that is there: anything else would be searched for.
  const bool absolute = path.size() > 3 && path[1] == L':' && path[2] == L'\\';
  if (!absolute || ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  return path;
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  if (HMODULE module = ::LoadLibraryExW(fileName, nullptr, kSearchSystem32)) return module;
  // Without the search flags (Windows XP, Vista and 7 without KB2533623)
  // LoadLibraryExW rejects the flag as an invalid parameter: load by full
  // path, the side-by-side copy the manifest asks for first.
  if (::GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  std::wstring path = SideBySidePath(fileName);
  if (path.empty()) path = SystemFolderPath(fileName);
  return path.empty() ? nullptr : ::LoadLibraryW(path.c_str());
}

}  // namespace vo

// The image's load configuration directory, which the linker finds under
// this name. Its one setting: DependentLoadFlags = LOAD_LIBRARY_SEARCH_SYSTEM32,
// so Windows 10 (1607) and later resolve the program's static imports, and
// theirs, from the system folder only. The structure ends after SecurityCookie
// (64 bytes), the size Windows XP expects of a 32-bit image; no security
// cookie, no safe exception handler table, no control-flow guard.
namespace vo {
struct LoadConfiguration32 {
  uint32_t Size;
  uint32_t TimeDateStamp;
  uint16_t MajorVersion;
  uint16_t MinorVersion;
  uint32_t GlobalFlagsClear;
  uint32_t GlobalFlagsSet;
  uint32_t CriticalSectionDefaultTimeout;
  uint32_t DeCommitFreeBlockThreshold;
  uint32_t DeCommitTotalFreeThreshold;
  uint32_t LockPrefixTable;
  uint32_t MaximumAllocationSize;
  uint32_t VirtualMemoryThreshold;
  uint32_t ProcessHeapFlags;
  uint32_t ProcessAffinityMask;
  uint16_t CSDVersion;
  uint16_t DependentLoadFlags;
  uint32_t EditList;
  uint32_t SecurityCookie;
};
static_assert(sizeof(LoadConfiguration32) == 64, "the 32-bit load configuration up to SecurityCookie");
}  // namespace vo

#if defined(__i386__)
extern "C" const vo::LoadConfiguration32 _load_config_used = {
    sizeof(vo::LoadConfiguration32), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, vo::kSearchSystem32, 0, 0};
#endif
