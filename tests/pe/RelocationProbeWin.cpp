// pe_probe_dll.dll: a DLL whose preferred base is the test program's own, so
// that loading a stamped copy makes the loader apply its base relocations
// (moved by the stamp) and bind its imports.

#include <windows.h>

namespace {
const char kProbeText[] = "probe";
// An absolute address in the data: right only when relocated with the DLL.
const char* volatile gProbePointer = kProbeText;
}  // namespace

// 42 when the relocated pointer reaches the text and the imported function
// (lstrcmpA, bound through the import table) agrees.
extern "C" __declspec(dllexport) int ProbeRelocationCheck() {
  return ::lstrcmpA(gProbePointer, "probe") == 0 ? 42 : 0;
}
