// Z1CommandProtocol: a command byte and a payload (numbers big-endian, most payloads end
// with the big-endian CRC-16 of the bytes before it), sent over the feature channel or the
// Z6 slave tunnel; answers are responses of up to 17 (feature) or 14 (tunnel) bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include <optional>

#include "library_state.h"
#include "retry.h"

namespace corlink::transport {

inline constexpr uint16_t kZ1ModeAckId = 0x5a31;  // 'Z' '1'
inline constexpr int kZ1AckReads = 101;
inline constexpr size_t kZ1MaxResponse = 17;

// Where Z1 commands go: the feature channel of the handle, or a Z6 slave behind a Z2 master.
struct Z1Link {
  int fd;
  bool z6_slave;
  uint8_t slave_index;
};

// The feature channel of the handle, or the Z6 slave the library has selected.
inline Z1Link FeatureLink(int fd) { return {fd, false, 0}; }
inline Z1Link Z6SlaveLink(int fd) { return {fd, true, State().z6_slave_index}; }

// Sends a command: a feature write, or a slave write (5 tries).
bool Z1Send(const Z1Link& link, uint8_t command, const uint8_t* payload, size_t n);

// Reads a response to command (0 for a plain response read): a feature read, or a slave
// read request and one report read. out must hold kZ1MaxResponse bytes.
bool Z1Receive(const Z1Link& link, uint8_t command, uint8_t* out, size_t* len);

// The acknowledgement read. Reads until a non-empty response arrives (printing " 0 " for
// each empty one; 101 reads in all), then judges it against expected_id. *id is the
// acknowledged id, 0 when nothing came, expected_id for a response of the wrong format.
// True only for status 0x80.
// *answered (when given) tells a response from none at all: a lost answer is the link's
// failure, not the chip's word, and is retried where a refusal would not be.
bool Z1ReadAck(const Z1Link& link, uint16_t expected_id, uint16_t* id, bool* answered = nullptr);

// Four bytes 00 40 5A 31: the chip asks for the command again.
bool Z1IsNack(const uint8_t* response, size_t len);

// The request payload of the memory read 0x86: address big-endian and its CRC.
void Z1ReadPayload(uint32_t address, uint8_t payload[6]);

// --- The command retry loop ------------------------------------------------------------
//
// Every Z1 command runs attempts in the same loop: at most the feature family's retry
// count attempts that got an answer, its retry delay between attempts. Data commands also
// pause 50 ms before the write and before the read of every attempt after the first and
// give up with -1 after five failed writes, which do not use up an attempt.

enum class Z1Next {
  kDone,         // result is final
  kRetry,        // the attempt is used up; try again while attempts remain
  kWriteFailed,  // the send failed: counts towards the five failed writes only
};

struct Z1Step {
  Z1Next next;
  int result;
};

inline constexpr int kZ1MaxFailedWrites = 5;

// The data commands' attempt body: pause when later, send, pause when later, read a plain
// response (command 0) into out (*len 0 when the read failed). False when the send failed.
bool Z1SendAndReceive(const Z1Link& link, uint8_t command, const uint8_t* payload, size_t n,
                      bool later, uint8_t* out, size_t* len);

// Runs attempt(later) until it is done or the attempts run out; `later` is true for every
// attempt after the first (data commands pause then). Returns the final result, else the
// last attempt's result; -2 when the retry count allows no attempt, -1 after five failed
// writes.
template <class Attempt>
int RunZ1Loop(Attempt&& attempt) {
  int failed_writes = 0;
  int result = CORLINK_ERR_RETRIES;
  bool later = false;
  const std::optional<int> done = Retry(FamilyRule(kRetryFeature), [&](int) -> std::optional<int> {
    // A failed send is tried again at once: it does not use up an attempt.
    for (;;) {
      const Z1Step step = attempt(later);
      later = true;
      if (step.next == Z1Next::kDone) return step.result;
      if (step.next == Z1Next::kRetry) {
        result = step.result;
        return std::nullopt;
      }
      if (++failed_writes >= kZ1MaxFailedWrites) return CORLINK_ERR_FAILED;
    }
  });
  return done.value_or(result);
}

}  // namespace corlink::transport
