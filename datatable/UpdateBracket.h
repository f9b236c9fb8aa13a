#pragma once
// Helpers of the list operations. Those that bracket themselves with
// BeginUpdate/EndUpdate run the EndUpdate on every exit path, errors included. EndUpdate may call user
// callbacks, so it cannot live in a destructor: an error it raises while
// another error is leaving replaces that error instead of ending the process.

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace vo {

// Makes room for count more items before an append changes anything, so
// that the push_backs after it cannot fail half-way. The room grows by half
// of what is there at least (reserving exactly one more each time would copy
// the whole list on every append and make a long run of appends quadratic).
template <typename T>
void ReserveMore(std::vector<T>& items, size_t count) {
  if (items.capacity() - items.size() < count) items.reserve(items.size() + std::max(count, items.size() / 2 + 8));
}

template <typename T>
void ReserveOneMore(std::vector<T>& items) {
  ReserveMore(items, 1);
}

template <typename Body, typename End>
void RunThenEndUpdate(Body&& body, End&& endUpdate) {
  try {
    std::forward<Body>(body)();
  } catch (...) {
    endUpdate();
    throw;
  }
  endUpdate();
}

// Calls a stored callback through a copy, so that a callback which replaces
// or clears itself does not destroy the callable while it runs.
template <typename Callback, typename... Args>
void CallIfSet(const Callback& callback, Args&&... args) {
  if (!callback) return;
  Callback running = callback;
  running(std::forward<Args>(args)...);
}

}  // namespace vo
