// Sleeps and time-outs of the transport, behind one small seam.
//
// Retry loops sleep hundreds of milliseconds between attempts and report transfers wait
// up to seconds; tests and the fuzz target swap in a recording sleep and a time-out cap so
// that they exercise the same loops without waiting for real. The default is real time.
#pragma once

namespace corlink::transport {

struct Clock {
  // Sleeps for ms milliseconds.
  void (*sleep_ms)(unsigned ms);
  // When above 0, every transfer time-out is cut to at most this many milliseconds. The
  // protocol still sees the nominal value (some rules depend on it, e.g. the 20 ms mode
  // command); only the wait on the wire is shortened.
  int timeout_cap_ms;
};

// The process-wide clock (real sleeps, no cap at load).
Clock& TransportClock();

// Restores the real clock.
void ResetTransportClock();

void SleepMs(unsigned ms);

// The wait actually used on the wire for a nominal time-out.
int WireTimeout(int nominal_ms);

}  // namespace corlink::transport
