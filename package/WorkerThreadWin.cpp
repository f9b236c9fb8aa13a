#include <windows.h>

#include <stdexcept>

#include "package/WorkerThread.h"
#include "shell/UniqueHandle.h"

namespace vo {

struct WorkerThread::Impl {
  std::function<void()> work;
  UniqueHandle thread;

  static DWORD WINAPI Run(void* self) {
    static_cast<Impl*>(self)->work();
    return 0;
  }
};

WorkerThread::WorkerThread(std::function<void()> work) : fImpl(std::make_unique<Impl>()) {
  fImpl->work = std::move(work);
  fImpl->thread.reset(::CreateThread(nullptr, 0, &Impl::Run, fImpl.get(), 0, nullptr));
  // Without a thread the work runs here: slower to show, but never skipped.
  if (!fImpl->thread) fImpl->work();
}

WorkerThread::~WorkerThread() { Join(); }

void WorkerThread::Join() {
  if (!fImpl->thread) return;
  ::WaitForSingleObject(fImpl->thread.get(), INFINITE);
  fImpl->thread.reset();
}

}  // namespace vo
