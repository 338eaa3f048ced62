// Z3PacketProtocol on its three carriers.
//
// 64-byte reports (DEV_Z3_USB, DEV_Z3_USB_BRG):
//   out 09, L-1, command, CRC-8 (low byte of CRC-16 over byte 2 then bytes 4..L-1), payload
//   in  0A, L-1, command echo, CRC-8 over bytes 4..L-1, status word (EF BE acknowledged,
//       AD DE refused), 16-bit result at 6..7 (byte 6 = 1 in a refusal: reason 1), data from 8
// 58-byte HID-over-I2C reports (DEV_Z3_HID_OVER_I2C):
//   out 09, 00, command, CRC-8 over byte 2 and bytes 4..57, payload
//   in  0A, CRC-8 over bytes 2..57, status word at 2..3, result (reason) at 4..5, data from 6
// The Z7 slave tunnel (DEV_USB_Z7SLAVE), 64-byte reports:
//   out 09, L-1, B0, outer CRC | 09, slave, command, inner CRC (over byte 6 and 8..L-1), payload
//   in  0A, L-1, .., outer CRC over 4..L-1; L < 12: the master's own status at 4..5;
//       else inner length N at 4..5, inner CRC at 7 over 8..4+N-1, slave status at 8..9,
//       result at 10..11 (00 01 in a refusal with reason 1), data from 12.
//
// Results: 0 acknowledged, -1 refused or nothing written, -2 no valid answer (time-outs,
// CRC mismatch, retries used up), -3 refused with reason 1.
//
// A request and its answer are values: nothing of an exchange stays behind in the library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "corlink.h"

namespace corlink::transport {

inline constexpr size_t kZ3ReportSize = 64;
inline constexpr size_t kHidOverI2cReportSize = 58;
inline constexpr int kZ3Attempts = 3;
inline constexpr int kZ7TimeoutMs = 3000;

enum class Z3Carrier : uint8_t { kUsb, kHidOverI2c, kZ7Tunnel };

// Where a packet goes: the handle, its carrier, and for the tunnel the slave chip.
struct Z3Link {
  int fd;
  Z3Carrier carrier;
  uint8_t slave = 0;
};

struct Z3Timing {
  int write_ms;
  int read_ms;
  int pause_before_status_ms = 0;  // the HID-over-I2C mode command waits 3 ms
  int attempts = 0;                // 0: the carrier's own (3, the tunnel 1)
};

// The link to the chip the library has selected on this carrier (through the tunnel, the
// Z7 slave IO_SetChipIndex chose).
Z3Link SelectedLink(Z3Carrier carrier, int fd);
template <Z3Carrier C>
Z3Link SelectedLinkOn(int fd) {
  return SelectedLink(C, fd);
}

// A built packet: every try of an exchange writes it again as it is.
struct Z3Request {
  std::array<uint8_t, kZ3ReportSize> bytes{};
  size_t length = 0;  // L; 0 when the payload did not fit (nothing was built)
  bool built() const { return length != 0; }
};

// What a status read brought back: its verdict and the report it judged (zeros when no
// report came), with the places of the fields in this carrier's layout.
struct Z3Answer {
  int result = CORLINK_ERR_RETRIES;
  std::array<uint8_t, kZ3ReportSize> bytes{};
  uint8_t result_at = 0;
  uint8_t data_at = 0;
  uint8_t data_size = 0;

  bool acknowledged() const { return result == CORLINK_OK; }
  // The 16-bit result field, as the chip's numbers travel (little-endian).
  uint16_t Result() const {
    return static_cast<uint16_t>(bytes[result_at] | bytes[result_at + 1] << 8);
  }
  // The same field read most significant byte first (the block CRC is sent that way).
  uint16_t ResultBigEndian() const {
    return static_cast<uint16_t>(bytes[result_at] << 8 | bytes[result_at + 1]);
  }
  // The data the answer carries (by its length byte, within the report).
  std::span<const uint8_t> Data() const { return {bytes.data() + data_at, data_size}; }
};

// Builds command + payload with length and check bytes; dumps it at verbose level 1.
Z3Request Z3Build(const Z3Link& link, uint8_t command, const uint8_t* payload, size_t n);

// One write of the request within write_ms (the tunnel: up to its five tries, 3000 ms).
bool Z3Write(const Z3Link& link, const Z3Request& request, int write_ms);

// The request written until it goes out: 3 tries, the tunnel its own 5.
bool Z3Send(const Z3Link& link, const Z3Request& request, int write_ms);

// Reads until an answer decides (2 reads; the tunnel its retry count) and judges it.
Z3Answer Z3ReadStatus(const Z3Link& link, int read_ms, bool after_write = false);

// The exchange: up to timing.attempts of write + status read while the status is -2.
// Running out gives -2 when a write went out, else -1.
Z3Answer Z3Exchange(const Z3Link& link, const Z3Request& request, const Z3Timing& timing);
Z3Answer Z3Exchange(const Z3Link& link, uint8_t command, const uint8_t* payload, size_t n,
                    const Z3Timing& timing);
// The same, going on until the chip acknowledges with this result (whatever it says
// before); running out gives the last answer read.
Z3Answer Z3ExchangeUntil(const Z3Link& link, const Z3Request& request, const Z3Timing& timing,
                         uint16_t result);

// The carrier's usual time-out for data and maintenance (3000 ms, HID-over-I2C 200 ms).
int Z3Timeout(Z3Carrier carrier);

// The payload of the memory read 0x86: address and byte count, little-endian.
void Z3ReadPayload(uint32_t address, uint16_t count, uint8_t payload[6]);

}  // namespace corlink::transport
