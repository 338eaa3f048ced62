// Fault injection: ways the emulated firmware can misbehave, programmed by tests (from any
// thread) or from the command line.
//
// A Fault applies to answers of one command code (or of any command, command = -1): the
// first `skip` matching answers go through untouched, the next `count` are spoiled
// (count -1 = every one from then on). Several faults may be armed; each answer takes the
// first armed fault that matches it.
//
// Command codes as the firmware sees them:
//   Z1 and Z3 commands: the command byte (0x86 read, 0x85 mode, 0x82 reset, ...); a Z1
//     response read with command 0 counts as the command that produced the response;
//   Z2 letter commands: the letter or code in byte 1 ('K', 0x1E, '-', 0x0F ...);
//   Z7 tunnel: the inner command; Z6 tunnel: the Z1 command.
//
// What each kind does, by carrier:
//   Drop         no answer at all (feature channel: the get-feature that would carry the
//                response is never answered); the host times out.
//   Late         the answer is sent delay_ms after it was due.
//   BadCrc       the answer's check value is wrong (Z3: byte 3; Z7: the outer CRC;
//                Z1 14/6/3-byte responses: their CRC; reports without a CRC: unchanged).
//   BadInnerCrc  Z7 tunnel only: the inner CRC (byte 7) is wrong.
//   Nack         Z1: 00 40 5A 31; Z3 and Z7: status 0xAD 0xDE (reason 0);
//                Z2 wait ready: 0xDE 0xAD.
//   NackReason1  Z3 and Z7: status 0xAD 0xDE with reason 1 (hosts report -3).
//   WrongLength  Z1: one byte short; Z6 tunnel: the answer claims 20 bytes;
//                Z3: four data bytes fewer than asked; Z7: the master answers with its own
//                short acknowledgement instead of the slave's answer; Z2: claims 20 bytes.
//   Garbage      the answer keeps its report id; every other byte is pseudo-random.
//   Unplug       the device disconnects on receiving the request (sockets closed, socket
//                file removed), before answering.
//   NeverReady   the firmware-ready flag at 0x50000000 stays 0 and a firmware update
//                never reports its result (command and counts are ignored; it lasts
//                until cleared).
//   UpdateFailed the wait-ready answer reports a failed update ("DE AD"), whatever
//                arrived (Z1: 0x04; Z2: 'K'; Z3: 0x81, the finish that sends the result).
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace panelsim {

enum class FaultKind {
  Drop,
  Late,
  BadCrc,
  BadInnerCrc,
  Nack,
  NackReason1,
  WrongLength,
  Garbage,
  Unplug,
  NeverReady,
  UpdateFailed,
};

struct Fault {
  FaultKind kind = FaultKind::Drop;
  int command = -1;   // command code to match, -1 = any
  int skip = 0;       // matching answers to let through first
  int count = 1;      // answers to spoil, -1 = all
  int delay_ms = 0;   // Late only
};

const char* FaultKindName(FaultKind kind);

// Every kind, in the order of the table of names (the one list --help and tests use).
const std::vector<FaultKind>& AllFaultKinds();
// "drop, late, ..., update-failed": every kind's name, for help texts.
std::string FaultKindList();

// Parses "kind[:key=value,...]", e.g. "nack:cmd=0x86,count=3", "late:delay=3500",
// "drop:cmd=0x85,skip=1", "never-ready". Keys: cmd, skip, count, delay. Returns nothing
// and sets *error on bad input.
std::optional<Fault> ParseFault(const std::string& text, std::string* error);

// The armed faults of one device. All members are thread-safe.
class FaultPlan {
 public:
  void Add(const Fault& fault);
  void Clear();
  // The fault that spoils the next answer of `command`, if any (consumes one use).
  // With `only`, only a fault of that kind is taken.
  std::optional<Fault> Take(int command, std::optional<FaultKind> only = std::nullopt);
  bool NeverReady() const;
  // Times any fault was applied since the plan was made.
  int Applied() const;

 private:
  struct Armed {
    Fault fault;
    int skipped = 0;
    int used = 0;
  };
  mutable std::mutex mutex_;
  std::vector<Armed> armed_;
  int applied_ = 0;
};

}  // namespace panelsim
