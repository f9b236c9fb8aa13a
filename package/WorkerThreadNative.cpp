#include <thread>

#include "package/WorkerThread.h"

namespace vo {

struct WorkerThread::Impl {
  std::thread thread;
};

WorkerThread::WorkerThread(std::function<void()> work) : fImpl(std::make_unique<Impl>()) {
  fImpl->thread = std::thread(std::move(work));
}

WorkerThread::~WorkerThread() { Join(); }

void WorkerThread::Join() {
  if (fImpl->thread.joinable()) fImpl->thread.join();
}

}  // namespace vo
