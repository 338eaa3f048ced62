// Z2ReportChannel: 19-byte reports, output id 9 and input id 0x0A, with the letter
// commands of DEV_Z2_USB and the 0xF0/0x0F tunnel to Z6 slave chips (DEV_USB_Z6SLAVE).
// Every report written or read is dumped whole at verbose level 1.
//
//   letter command     09 <letter> <arguments...>
//   slave write        09 F0 <slave> <command> <n <= 14> <payload...>
//   slave read request 09 0F <slave> <command>
//   slave read answer  0A 0F <length, above 14 taken as 14> <answer...>
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace corlink::transport {

inline constexpr size_t kZ2ReportSize = 19;
inline constexpr uint8_t kZ2OutputId = 0x09;
inline constexpr uint8_t kZ2InputId = 0x0A;
inline constexpr size_t kZ2SlaveMaxPayload = 14;
inline constexpr int kZ2Tries = 5;
inline constexpr int kZ2TimeoutMs = 3000;

using Z2Report = std::array<uint8_t, kZ2ReportSize>;

// A cleared report with byte 0 the output id and byte 1 code.
Z2Report Z2Letter(uint8_t code);

// One 19-byte write with the family's time-out, message and dump.
bool Z2WriteOnce(int fd, const Z2Report& report);

// A letter command: the report is written up to 5 times, with the Z2 retry delay after a
// failed try. 0 once written, -1 after five failures.
int Z2Command(int fd, const Z2Report& report);

// A letter command that returns data (memory read 0x1E, memory access '-'): written once,
// then one input report read; no retry. The answer, or nothing when either failed.
std::optional<Z2Report> Z2CommandRead(int fd, const Z2Report& report);

// Slave tunnel. SlaveWrite sends command with payload (n <= 14; more is refused without
// sending), up to 5 tries with the Z2 retry delay between them.
bool Z2SlaveWrite(int fd, uint8_t slave, uint8_t command, const uint8_t* payload, size_t n);
// Sends a read request for command and reads one answer; out gets at most min(cap, 14)
// bytes. False (and *out_len 0) when the request or the read failed or the report is not a
// slave read answer.
bool Z2SlaveRead(int fd, uint8_t slave, uint8_t command, uint8_t* out, size_t cap, size_t* out_len);

}  // namespace corlink::transport
