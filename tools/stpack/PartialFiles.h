#pragma once
// The partial outputs stpack is writing (OUT.stp.partial, OUT.exe.partial,
// OUT.exe.package.partial), so that an interrupted run leaves none behind.
// Each is registered before it is created and unregistered once it has been
// renamed or removed. The console glue's interrupt handler deletes what is
// registered: on POSIX from a signal handler, so the registry is fixed-size
// storage read with async-signal-safe operations only; on Windows from the
// console's control thread, after the main thread has given up its handles.

#include <string>

namespace vo::stpack {

// Registers path for the lifetime of the guard.
class PartialFileGuard {
 public:
  explicit PartialFileGuard(const std::u16string& path);
  ~PartialFileGuard();
  PartialFileGuard(const PartialFileGuard&) = delete;
  PartialFileGuard& operator=(const PartialFileGuard&) = delete;

 private:
  int fSlot;  // -1 when every slot was taken (the file is then not cleaned up)
};

// Calls remove(path) for every registered path (UTF-8). Async-signal-safe
// when remove is.
void ForEachPartialFile(void (*remove)(const char* utf8Path));
// True while any path is registered.
bool AnyPartialFile();

// Set by the Windows console handler; the package writer checks it between
// writes and gives up (its clean-up removes the partial files).
void RequestInterrupt();
bool InterruptRequested();

}  // namespace vo::stpack
