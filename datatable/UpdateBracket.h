#pragma once
// The operations that bracket themselves with BeginUpdate/EndUpdate run the
// EndUpdate on every exit path, errors included. EndUpdate may call user
// callbacks, so it cannot live in a destructor: an error it raises while
// another error is leaving replaces that error instead of ending the process.

#include <utility>

namespace vo {

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
