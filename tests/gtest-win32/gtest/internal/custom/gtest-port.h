#pragma once
// GoogleTest's hook for platform settings, found before its own empty one
// (-iquote) when GoogleTest and the Windows tests are built (setup.sh,
// tests/CMakeLists.txt).
//
// The Windows build uses the win32 thread flavour of mingw-w64's compiler,
// whose C++ library has no std::mutex or std::condition_variable. GoogleTest
// otherwise brings its own Windows locks and threads and needs those two only
// for its Notification class, which it lets a platform supply: here it is,
// on a Windows event.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

// Lets one thread wait until another says it may go on.
class Notification {
 public:
  Notification() : fEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { ::CloseHandle(fEvent); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { ::SetEvent(fEvent); }
  void WaitForNotification() { ::WaitForSingleObject(fEvent, INFINITE); }

 private:
  HANDLE fEvent;
};

}  // namespace internal
}  // namespace testing
#endif
