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

// One family's transfer record: what its last transfer moved.
struct ReportFamily {
  ReportFamilyId id;
  bool pending;        // a transfer is under way
  size_t transferred;  // bytes moved by the last completed transfer
};

ReportFamily& Z3UsbFamily();       // 64-byte reports, types 6 and 9
ReportFamily& HidOverI2cFamily();  // 58-byte reports, type 11
ReportFamily& Z7TunnelFamily();    // 64-byte reports through the 0xB0 tunnel, type 13
ReportFamily& Z2ReportFamily();    // 19-byte reports, types 8 and 12

// True when all size bytes were written within timeout_ms.
bool ReportWrite(ReportFamily& family, int fd, const uint8_t* buf, size_t size, int timeout_ms);

// True when an input report of at least size bytes arrived within timeout_ms; its first
// size bytes are in buf. On failure buf holds zeros. after_write: the read follows a write
// to fd within the same library call (the descriptor need not be looked up again).
bool ReportRead(ReportFamily& family, int fd, uint8_t* buf, size_t size, int timeout_ms, bool after_write = false);

}  // namespace corlink::transport
