// Diagnostics of the transport: everything goes to the library's log sink (standard output
// unless a program chose otherwise). Error and retry messages print at every verbose level;
// packet dumps from level 1; the CRC trace from level 2.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corlink::transport {

// The semantics of IO_SetVerbose and IO_SetRetryValue: the level keeps its low 16 bits;
// count and delay (low 16 bits each) go into all five retry settings.
void SetVerbose(int level);
void SetRetryValue(int count, int delay_ms);

uint16_t VerboseLevel();

// "W: " or "R: " then "%02x " per byte and "\n"; one message per packet. Level 1 and above.
void DumpPacket(const char* prefix, const uint8_t* data, size_t len);
// The Z3 families' form: at most 16 bytes, then "..." when the packet is longer.
void DumpPacketShort(const char* prefix, const uint8_t* data, size_t len);

}  // namespace corlink::transport
