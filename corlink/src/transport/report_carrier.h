// The report carriers' two primitives: write one whole output report, read one whole input
// report, each within a time-out. A time-out prints the family's message with the last
// error and cancels what is still pending on the handle; a transfer that cannot even start
// prints "w" (or " sth wrong...") for a write and "<CMD_ERR(R)=%x>\n" for a read. A short
// transfer is a failure.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corlink::transport {

enum class ReportFamilyId { kZ3Usb, kHidOverI2c, kZ7Tunnel, kZ2Report };

// kZ3Usb: 64-byte reports, types 6 and 9; kHidOverI2c: 58-byte reports, type 11;
// kZ7Tunnel: 64-byte reports through the 0xB0 tunnel, type 13; kZ2Report: 19-byte reports,
// types 8 and 12. The family picks the time-out messages.

// True when all size bytes were written within timeout_ms.
bool ReportWrite(ReportFamilyId family, int fd, const uint8_t* buf, size_t size, int timeout_ms);

// True when an input report of at least size bytes arrived within timeout_ms; its first
// size bytes are in buf. On failure buf holds zeros. after_write: the read follows a write
// to fd within the same library call (the descriptor need not be looked up again).
bool ReportRead(ReportFamilyId family, int fd, uint8_t* buf, size_t size, int timeout_ms,
                bool after_write = false);

}  // namespace corlink::transport
