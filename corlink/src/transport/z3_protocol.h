// Z3PacketProtocol on its three carriers.
//
// 64-byte reports (DEV_Z3_USB, DEV_Z3_USB_BRG):
//   out 09, L-1, command, CRC-8 (low byte of CRC-16 over byte 2 then bytes 4..L-1), payload
//   in  0A, L-1, command echo, CRC-8 over bytes 4..L-1, status word (EF BE acknowledged,
//       AD DE refused), 16-bit result at 6..7 (byte 6 = 1 in a refusal: reason 1), data from 8
// 58-byte HID-over-I2C reports (DEV_Z3_HID_OVER_I2C):
//   out 09, 00, command, CRC-8 over byte 2 and bytes 4..57, payload
//   in  0A, CRC-8 over bytes 2..57, status word at 2..3, reason byte 4, data from 6
// The Z7 slave tunnel (DEV_USB_Z7SLAVE): an inner packet inside an outer one with command
// 0xB0; see Z7Exchange.
//
// Results: 0 acknowledged, -1 refused or nothing written, -2 no valid answer (time-outs,
// CRC mismatch, retries used up), -3 refused with reason 1.
//
// Each family builds its packet in its own static buffer, which the answer then overwrites;
// after an exchange the buffer holds the last answer read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corlink::transport {

inline constexpr size_t kZ3ReportSize = 64;
inline constexpr size_t kHidOverI2cReportSize = 58;
inline constexpr size_t kZ3MaxPayload = kZ3ReportSize - 4;
inline constexpr size_t kHidOverI2cMaxPayload = kHidOverI2cReportSize - 4;
inline constexpr size_t kZ7MaxPayload = kZ3ReportSize - 8;
inline constexpr int kZ3Attempts = 3;
inline constexpr int kZ7WriteTries = 5;
inline constexpr int kZ7TimeoutMs = 3000;

struct Z3Timing {
  int write_ms;
  int read_ms;
  int pause_before_status_ms = 0;  // the HID-over-I2C mode command waits 3 ms
  int attempts = kZ3Attempts;
};

// --- 64-byte carrier -------------------------------------------------------------------

// The family buffer (64 bytes).
uint8_t* Z3Buffer();
// Clears the buffer and builds command + payload with its length and CRC; dumps it at
// verbose level 1. Returns L, or 0 when the payload does not fit (nothing built).
size_t Z3Build(uint8_t command, const uint8_t* payload, size_t n);
// Writes the packet built last (all 64 bytes).
bool Z3Write(int fd, int timeout_ms);
// The status read: up to 2 reads into the buffer. *value gets the 16-bit result on 0.
int Z3ReadStatus(int fd, int read_timeout_ms, uint16_t* value);
// Build, then up to timing.attempts of write + status read while the status is -2.
int Z3Exchange(int fd, uint8_t command, const uint8_t* payload, size_t n, const Z3Timing& timing, uint16_t* value);

// --- 58-byte HID-over-I2C carrier ------------------------------------------------------

uint8_t* HidOverI2cBuffer();  // 60 bytes, 58 on the wire
size_t HidOverI2cBuild(uint8_t command, const uint8_t* payload, size_t n);
bool HidOverI2cWrite(int fd, int timeout_ms);
// *value gets bytes 4..5 (little-endian) of an acknowledgement.
int HidOverI2cReadStatus(int fd, int read_timeout_ms, uint16_t* value);
int HidOverI2cExchange(int fd, uint8_t command, const uint8_t* payload, size_t n, const Z3Timing& timing,
                       uint16_t* value);

// --- Z7 slave tunnel -------------------------------------------------------------------
//
//   out 09, L-1, B0, outer CRC | 09, slave, command, inner CRC (over byte 6 and 8..L-1), payload
//   in  0A, L-1, .., outer CRC over 4..L-1; L < 12: the master's own status at 4..5;
//       else inner length N at 4..5, inner CRC at 7 over 8..4+N-1, slave status at 8..9,
//       00 01 at 10..11 in a refusal with reason 1, data from 12.

// Builds in the 64-byte buffer; returns L or 0.
size_t Z7Build(uint8_t slave, uint8_t command, const uint8_t* payload, size_t n);
// Up to 5 writes of the built packet, the tunnel retry delay after a failed one.
bool Z7Write(int fd);
// Up to the tunnel retry count reads. *value gets bytes 10..11 (little-endian) on 0.
int Z7ReadStatus(int fd, uint16_t* value);
int Z7Exchange(int fd, uint8_t slave, uint8_t command, const uint8_t* payload, size_t n, uint16_t* value);

// The payload of the memory read 0x86: address and byte count, little-endian.
void Z3ReadPayload(uint32_t address, uint16_t count, uint8_t payload[6]);

}  // namespace corlink::transport
