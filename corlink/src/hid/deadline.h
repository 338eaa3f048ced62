// The deadlines of the backends' waits: a time-out as a point on the steady clock, and the
// whole milliseconds left until it (0 once it passed) for the next poll.
#pragma once

#include <algorithm>
#include <chrono>

namespace corlink::hid {

using SteadyClock = std::chrono::steady_clock;

inline SteadyClock::time_point DeadlineIn(int ms) {
  return SteadyClock::now() + std::chrono::milliseconds(std::max(ms, 0));
}

inline int MsLeft(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return static_cast<int>(std::max<long long>(left.count(), 0));
}

}  // namespace corlink::hid
