#include "transport/log.h"

#include <cstdio>

#include "library_state.h"
#include "log_sink.h"

namespace corlink::transport {

namespace {

// "W: " plus three characters per byte, "..." and the line end fit a 64-byte report.
constexpr size_t kDumpMaxBytes = 64;

void Dump(const char* prefix, const uint8_t* data, size_t len, size_t shown) {
  char line[8 + kDumpMaxBytes * 3 + 8];
  size_t at = static_cast<size_t>(std::snprintf(line, sizeof line, "%s", prefix));
  if (at >= sizeof line) at = sizeof line - 1;
  for (size_t i = 0; i < shown; ++i) {
    // A longer packet than any carrier uses is dumped in pieces rather than cut short.
    if (at + 4 > sizeof line - 5) {
      LogText(line, at);
      at = 0;
    }
    at += static_cast<size_t>(std::snprintf(line + at, sizeof line - at, "%02x ", data[i]));
  }
  if (shown < len) {
    std::snprintf(line + at, sizeof line - at, "...");
    at += 3;
  }
  line[at++] = '\n';
  LogText(line, at);
}

}  // namespace

void SetVerbose(int level) { State().verbose = static_cast<uint16_t>(level); }

void SetRetryValue(int count, int delay_ms) {
  for (RetrySetting& r : State().retry) {
    r.count = static_cast<uint16_t>(count);
    r.delay_ms = static_cast<uint16_t>(delay_ms);
  }
}

uint16_t VerboseLevel() { return State().verbose; }

void DumpPacket(const char* prefix, const uint8_t* data, size_t len) {
  if (VerboseLevel() < 1) return;
  Dump(prefix, data, len, len);
}

void DumpPacketShort(const char* prefix, const uint8_t* data, size_t len) {
  if (VerboseLevel() < 1) return;
  Dump(prefix, data, len, len < 16 ? len : 16);
}

}  // namespace corlink::transport
