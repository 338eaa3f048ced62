// The raw memory reads of each protocol family, the exchange the raw-data commands are
// built on: one request, one judged answer, data copied out.
//
// Every function returns 0 with *count set to the bytes stored, or -1 (failure, address 0
// on the Z3 families), -2 (no valid answer within the retries), -3 (a Z3 chip refused with
// reason 1). buffer must hold kMemoryReadMax bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transport/z1_protocol.h"
#include "transport/z3_protocol.h"

namespace corlink::transport {

inline constexpr size_t kMemoryReadMax = 52;

// Z1 0x86 over the feature channel or the Z6 tunnel: 12 bytes per call. Address 0 is one
// plain response read, stored as answered without a CRC check.
int Z1ReadMemory(const Z1Link& link, uint32_t address, uint8_t* buffer, uint32_t* count);

// Z3 0x86 with count 52 on any Z3 carrier, with the carrier's time-outs (3000 ms, 200 ms
// on HID-over-I2C): the answer's data (bytes 8..L-1, 6..57, 12..L-1 through the tunnel).
int Z3ReadMemory(const Z3Link& link, uint32_t address, uint8_t* buffer, uint32_t* count);

// Z2 letter command 0x1E: one 19-byte request, one answer of up to 16 bytes.
int Z2ReadMemory(int fd, uint32_t address, uint8_t* buffer, uint32_t* count);

}  // namespace corlink::transport
