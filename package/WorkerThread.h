#pragma once
// One piece of work on a thread of its own: started on construction, joined
// by Join or on destruction. A seam because the Windows build's runtime has no
// std::thread (the win32 thread flavour of mingw-w64): WorkerThreadWin.cpp runs
// it with CreateThread, WorkerThreadNative.cpp with std::thread.

#include <functional>
#include <memory>

namespace vo {

class WorkerThread {
 public:
  explicit WorkerThread(std::function<void()> work);
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Waits for the work to end; later calls return at once.
  void Join();

 private:
  struct Impl;
  std::unique_ptr<Impl> fImpl;
};

}  // namespace vo
