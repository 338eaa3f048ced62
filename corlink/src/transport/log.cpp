#include "transport/log.h"

#include <cstdio>

#include "library_state.h"

namespace corlink::transport {

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
  std::fputs(prefix, stdout);
  for (size_t i = 0; i < len; ++i) std::printf("%02x ", data[i]);
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

void DumpPacketShort(const char* prefix, const uint8_t* data, size_t len) {
  if (VerboseLevel() < 1) return;
  std::fputs(prefix, stdout);
  size_t shown = len < 16 ? len : 16;
  for (size_t i = 0; i < shown; ++i) std::printf("%02x ", data[i]);
  if (len > 16) std::fputs("...", stdout);
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

}  // namespace corlink::transport
