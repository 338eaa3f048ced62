// FeatureChannel: Z1 commands carried in 20-byte feature reports with report id 9.
//
//   byte 0 report id 9, byte 1 opcode, byte 2 length of what follows, bytes 3.. data
//   0xD9 write a command   0xDC query write status   0xDD request a response
//   0xD8 read the response 0xDB query read status
//
// A status reply is ready when bytes 2..4 are 02 AB CD. Status is polled back to back,
// at most 200 times.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corlink::transport {

inline constexpr size_t kFeatureReportSize = 20;
inline constexpr uint8_t kFeatureReportId = 0x09;
inline constexpr size_t kFeatureMaxPayload = 14;
inline constexpr size_t kFeatureMaxResponse = 17;
inline constexpr int kFeatureStatusPolls = 200;

// Sends command with n payload bytes (0xD9), then polls the write status (0xDC). True if
// the report went out and the ready pattern showed within the polls. A payload of more than
// 14 bytes is refused before anything reaches the device.
bool FeatureWrite(int fd, uint8_t command, const uint8_t* payload, size_t n);

// Requests the response to command (0xDD) and reads it (0xD8, 0xDB polls, 0xD8 again).
// *out_len is the number of response bytes stored in out (at most min(cap, 17)). The
// result is that of the last get-feature; a first 0xD8 answer without the ready pattern
// gives success with an empty response; running out of polls gives false.
bool FeatureRead(int fd, uint8_t command, uint8_t* out, size_t cap, size_t* out_len);

// One set-feature / get-feature of report 9 carrying only an opcode. The get fills report
// (20 bytes) with the answer, zeros after what came; both say whether the transfer
// succeeded. Like a real chip, the device sees only the report id of a get and answers
// from its own state.
bool FeatureSetOpcode(int fd, uint8_t opcode);
bool FeatureGetOpcode(int fd, uint8_t opcode, uint8_t* report);

// True when a status reply shows the ready pattern.
bool FeatureReady(const uint8_t* report);

}  // namespace corlink::transport
