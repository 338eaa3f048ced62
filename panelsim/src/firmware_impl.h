// Inside the emulated firmware: the state of the cascade and the command families.
// One Impl per device; Firmware serialises every call into it.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "panelsim/firmware.h"
#include "panelsim/flash.h"

namespace panelsim {

// What a Z1 chip answers to a response read: the bytes and the fault that spoils them.
struct Z1Response {
  std::vector<uint8_t> bytes;
  std::optional<Fault> fault;
  int command = 0;
};

// Outcome of one Z3 command on one chip, before a carrier frames it.
struct Z3Result {
  bool answer = true;      // false: the chip stays silent (reset on USB, finish)
  bool refused = false;
  bool reason1 = false;
  uint16_t value = 0;      // the 16-bit result field, little-endian on the wire
  bool value_big_endian = false;
  std::vector<uint8_t> data;
  bool emit_update_result = false;  // finish: send the update result afterwards
  bool fault_applied = false;       // the command took its fault itself (data frames)
  std::optional<Fault> fault;       // ... and this is it
};

struct Firmware::Impl {
  // One firmware update: information commands announce segments (address, length), data
  // frames fill the current one in order, wait ready reports whether every segment was
  // filled. A new update begins with the first information after a finish or a report.
  struct UpdateSession {
    bool open = false;      // an update is under way
    bool active = false;    // a segment was announced
    bool failed = false;    // a segment was left short, or a frame did not fit
    bool done = false;      // finished or reported: the next information begins anew
    uint32_t address = 0, length = 0, written = 0, total = 0;
    uint16_t next_frame = 0;
  };
  struct Chip {
    Flash flash;
    UpdateSession update;
    std::map<uint32_t, uint8_t> memory;  // bytes written by memory commands
    uint16_t mode_word = 0;
    int power_mode = 0;
    std::optional<Z1Response> pending;   // Z1 response waiting for a read
  };
  enum class FeaturePhase { Idle, WriteDone, Response };

  Impl(const FirmwareConfig& cfg, std::shared_ptr<FaultPlan> plan);

  FirmwareConfig config;
  PanelModel model;
  std::shared_ptr<FaultPlan> faults;
  FirmwareState state;
  std::vector<Chip> chips;
  int ready_polls = 0;
  uint64_t garbage_state = 0x1234567;

  FeaturePhase phase = FeaturePhase::Idle;
  int response_gets = 0;
  Z1Response feature_response;
  size_t ep1_offset = 0;

  struct CacheEntry {
    uint32_t frame = 0;
    bool ready = false;
    bool valid = false;
    std::vector<uint8_t> bytes;
  };
  std::map<std::pair<int, int>, CacheEntry> cache;

  // Replay: whether the host has read data of the frame served now, and when the data of
  // frame 0 was first read (the recording's times count from there; the time a host takes
  // to start up is not the recording's).
  bool replay_read = false;
  bool replay_started = false;
  std::chrono::steady_clock::time_point replay_start;
  // A read the chips cannot serve: a data region the replayed recording does not hold.
  bool Refuses(uint32_t address) const;
  void NextReplayFrame();
  void MarkReplayRead();  // the host has read data of the frame served now

  // Cascade state.
  std::vector<uint8_t> ReadMemory(int chip, uint32_t address, int n, bool count_poll);
  void WriteMemoryWord(int chip, uint32_t address, uint32_t value);
  void SetMode(int chip, uint16_t word);
  int ChipOfSlaveIndex(int index) const;  // -1 when no such slave
  bool Ready() const;
  // Firmware update of one chip. StartUpdate refuses a segment outside the flash;
  // AddUpdateFrame refuses a frame before any information or past the segment's end and
  // otherwise programs it and gives its frame id (0, 1, 2 ... within the segment).
  bool StartUpdate(int chip, uint32_t address, uint32_t length);
  std::optional<uint16_t> AddUpdateFrame(int chip, const uint8_t* data, size_t n);
  uint16_t ExpectedFrame(int chip) const;
  void FinishUpdate(int chip);
  // The result wait ready reports; `command` is the code a UpdateFailed fault must match.
  bool UpdateSucceeded(int chip, int command);
  void MirrorUpdate(int chip);
  uint32_t MemoryOp(int chip, uint32_t address, uint32_t word2, uint32_t word3);
  int PowerMode(int chip, int requested);

  // Faults.
  std::optional<Fault> TakeFault(int command);
  // Applies Drop, Late, Garbage and Unplug to an answer about to go out; adds it to the
  // outcome unless it is withheld.
  void Deliver(Answer answer, const std::optional<Fault>& fault, Outcome& out);

  // Z1 commands (feature channel and Z6 tunnel).
  void Z1Write(int chip, uint8_t command, const uint8_t* payload, size_t n);
  Z1Response Z1Read(int chip, uint8_t command, bool feature_carrier);

  // Carriers.
  Outcome HandleFeature(const Request& request);
  Outcome HandleZ2(const Request& request);
  Outcome HandleZ3(const Request& request);

  // Z3 commands on one chip; payload = the bytes after the packet header.
  Z3Result Z3Execute(int chip, uint8_t command, const uint8_t* payload, size_t n, bool i2c, bool tunnel);
};

}  // namespace panelsim
