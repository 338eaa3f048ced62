#include "transport/log.h"

#include <cstdio>
#include <string>

#include "library_state.h"
#include "log_sink.h"

namespace corlink::transport {

namespace {

// One message per packet at verbose level 1 and above: the prefix, "%02x " per byte shown,
// "..." when cut short.
void Dump(const char* prefix, const uint8_t* data, size_t len, size_t shown) {
  if (VerboseLevel() < 1) return;
  std::string line(prefix);
  char hex[4];
  for (size_t i = 0; i < shown; ++i) {
    std::snprintf(hex, sizeof hex, "%02x ", data[i]);
    line += hex;
  }
  line += shown < len ? "...\n" : "\n";
  LogText(line.data(), line.size());
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
  Dump(prefix, data, len, len);
}

void DumpPacketShort(const char* prefix, const uint8_t* data, size_t len) {
  Dump(prefix, data, len, len < 16 ? len : 16);
}

}  // namespace corlink::transport
