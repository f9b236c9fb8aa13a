#include "tools/stpack/PartialFiles.h"

#include <atomic>
#include <cstring>

#include "text/Unicode.h"

namespace vo::stpack {
namespace {

// stpack writes at most two partial files at a time; a few more slots cost
// nothing. A path too long for a slot is not registered.
constexpr int kSlots = 8;
constexpr size_t kPathBytes = 4096;

struct Slot {
  std::atomic<bool> used{false};
  char path[kPathBytes] = {};
};

Slot gSlots[kSlots];
std::atomic<bool> gInterrupt{false};

static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");

}  // namespace

PartialFileGuard::PartialFileGuard(const std::u16string& path) : fSlot(-1) {
  const std::string utf8 = Utf16ToUtf8(path);
  if (utf8.size() >= kPathBytes) return;
  // Only the main thread registers; the path is written before the slot is
  // published, so that the handler never reads half a path.
  for (int i = 0; i < kSlots; ++i) {
    if (gSlots[i].used.load(std::memory_order_relaxed)) continue;
    std::memcpy(gSlots[i].path, utf8.c_str(), utf8.size() + 1);
    gSlots[i].used.store(true, std::memory_order_release);
    fSlot = i;
    return;
  }
}

PartialFileGuard::~PartialFileGuard() {
  if (fSlot >= 0) gSlots[fSlot].used.store(false, std::memory_order_release);
}

void ForEachPartialFile(void (*remove)(const char* utf8Path)) {
  for (Slot& slot : gSlots) {
    if (slot.used.load(std::memory_order_acquire)) remove(slot.path);
  }
}

bool AnyPartialFile() {
  for (const Slot& slot : gSlots) {
    if (slot.used.load(std::memory_order_acquire)) return true;
  }
  return false;
}

void RequestInterrupt() { gInterrupt.store(true); }
bool InterruptRequested() { return gInterrupt.load(std::memory_order_relaxed); }

}  // namespace vo::stpack
