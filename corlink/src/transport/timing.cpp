#include "transport/timing.h"

#include <cerrno>
#include <ctime>

namespace corlink::transport {

namespace {

void RealSleep(unsigned ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

Clock g_clock{RealSleep, 0};

}  // namespace

Clock& TransportClock() { return g_clock; }

void ResetTransportClock() { g_clock = Clock{RealSleep, 0}; }

void SleepMs(unsigned ms) {
  if (ms > 0) g_clock.sleep_ms(ms);
}

int WireTimeout(int nominal_ms) {
  if (nominal_ms < 0) nominal_ms = 0;
  if (g_clock.timeout_cap_ms > 0 && nominal_ms > g_clock.timeout_cap_ms)
    return g_clock.timeout_cap_ms;
  return nominal_ms;
}

}  // namespace corlink::transport
