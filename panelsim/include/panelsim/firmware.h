// The emulated controller firmware: takes one request as it crosses the wire (an output
// report, a get-feature or a set-feature) and gives the answers a real cascade of chips
// would send. No sockets here: the server and the /dev/uhid mode carry the bytes, tests
// can drive it directly.
//
// Choices where the protocol leaves the firmware free (hosts may rely on them):
// - Registers (byte addressed, per chip): 0xA000C024..27 = [3, 0x10, 0, status] where
//   status is 0 for a single chip, 1 for a master with slaves, 11 for a master that senses
//   nothing (slaves only) and 4 + n for slave n; 0xA000C028..2B = [slave count, position
//   in the cascade (0 = master, n = slave n), overlap included (1 when the chip has
//   overlap lines), lead overlap << 4 | tail overlap]. Other register bytes read 0.
// - Geometry (word address 0x5A000000): [chip number, drive lines, sense lines, 0].
// - Data regions 0x50..0x55: see panel_model.h; word addressed (byte offset = 4 x the low
//   24 bits). Reads past a block give zeros. Any other address reads the chip's memory
//   words written by memory commands (0 where nothing was written).
// - Raw mode: a mode word whose low byte is 0x21 or 0x51 switches to diagnostic data and
//   starts a new frame; 0x20 or 0x50 switches back. The ready flag (byte 0 at 0x50000000)
//   becomes 1 after `ready_after_polls` reads of that word in diagnostic mode.
// - Report to OS: mode words 0x0950/0x0120, Z2 'Z' '1', feature opcode 0x56 turn it on;
//   0x0951/0x0121, 'Z' '0', 0x54 turn it off.
// - Memory command (Z1 0x88, Z3 0x88, Z2 '-'): word2 = 1 writes word3 at the address,
//   any other word2 only reads; the answer is the word(s) at the address after the write.
// - Power mode (Z1 0x90, Z3 0x90): payload 0..3 sets the mode, any other value only asks;
//   the answer is the mode now in force.
// - Button mode status (Z1 0x89): the word 0x00000001 (buttons report to the OS).
// - Flash (per chip, see flash.h): regions erased to 0xFF; memory reads outside the data
//   regions and registers see it, except where memory commands wrote words.
// - Firmware update: information (0x83/0x73, Z2 '-') announces a segment of `length` bytes
//   at `address` and erases it (a segment outside the flash is refused: Z1 answers 00 40
//   00 00, Z3 refuses; a refused information changes nothing); data frames (0x84, Z2 '<',
//   the words' bytes reversed on Z3 and Z2) are programmed in order and acknowledged with
//   their frame id within the segment (0, 1, 2 ...); what a frame holds past the segment's
//   end is dropped. A frame before any information or after the segment is full is refused
//   (Z1: 00 40 FF FF); a Nack fault refuses a frame without keeping it, naming the frame
//   awaited (Z1: 00 40 id). Several segments make one update, which fails when a segment
//   is left short and the next one further on is announced; the segment under way
//   announced again starts over, and an address before it begins a new update (a host
//   starting again). Z1 wait ready and Z2 'K' 'Z' answer the result; on the Z3 carriers
//   "finish" (0x81) is not answered at once: the chip sends the update result as one
//   status report (the one Z3 wait ready reads). The next information after a result or a
//   finish begins a new update. Faults: NeverReady keeps the result back, UpdateFailed
//   reports DE AD.
// - Block CRC (0x91): CRC-16/XMODEM, seeded with the parameter, of `length` bytes of
//   memory from the address; returned big-endian in the result field (bytes 6..7; 4..5
//   on HID-over-I2C; in the slave's result field through the tunnel).
// - Reset on the 64-byte carrier and finish are not answered (the host only writes them);
//   HID-over-I2C and tunnelled resets are acknowledged.
// - Requests with a bad CRC are refused (status 0xAD 0xDE, Z1: 00 40 5A 31).
// - Z3 bridge collections: reports 0x53 are ignored.
// - Feature channel: a get-feature carries only the report id, so the firmware answers
//   from its state: after a command write (0xD9) every get shows the ready pattern; after
//   a response request (0xDD) the first two gets show the ready pattern and the following
//   ones carry the response; otherwise a bridge answers the I2C interface test
//   (09 D4 10 .. with byte 11 = 0x5A) and DEV_USB_BRG_EP1 streams its buffered data
//   (09 55 10 n data: the next 15 bytes of the master's rawdiff block).
// - Bridge control (Z1 command 0x55 written with 10 payload bytes: 'I' + new product id
//   little-endian, 'R' reset, any other code a mode target; opcode 0xF8 .. 'Z' '1' gives
//   target '1') is recorded in the state and leaves the channel idle.
// - On the feature channel only the master can be reached.
// - A bridge (DEV_Z2_USB_BRG, DEV_USB_BRG_EP1, NOT_SET) re-enumerates after each bridge
//   control (Outcome::reannounce): 'I' announces the new product id, target '1' (the Z1
//   mode) product 3a01, target '5' (the Z5 mode) product 3a02, any other target and 'R'
//   the product it has.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "panelsim/device.h"
#include "panelsim/faults.h"
#include "panelsim/panel_model.h"
#include "panelsim/replay.h"

namespace panelsim {

struct Request {
  enum class Kind { Output, GetFeature, SetFeature };
  Kind kind = Kind::Output;
  uint32_t id = 0;      // get/set request id, echoed in the reply
  uint8_t report = 0;   // report id of a get/set
  std::vector<uint8_t> data;  // output and set: the report, data[0] = report id
};

struct Answer {
  enum class Kind { Input, GetFeatureReply, SetFeatureReply };
  Kind kind = Kind::Input;
  uint32_t id = 0;
  int err = 0;               // errno for replies, 0 = fine
  std::vector<uint8_t> data; // input and get reply: data[0] = report id
  int delay_ms = 0;          // send this long after the request (Late fault)
};

struct Outcome {
  std::vector<Answer> answers;
  bool unplug = false;  // disconnect now, before sending anything
  int command = -1;     // command code the request carried, -1 = none (polls, ...)
  int withheld = 0;     // answers a fault kept back (Drop)
  bool reannounce = false;  // after the answers the device re-enumerates (bridge control)
};

struct FirmwareConfig {
  DeviceType type = DeviceType::Z3Usb;
  PanelConfig panel;
  int ready_after_polls = 0;  // reads of 0x50000000 that still show "not ready"
  uint16_t product = 0;       // product id announced at start; 0: that of the type
  // Bad frames for the host to catch (frames count from 1; 0 = none): frame repeat_frame
  // is served twice (the frames after it come one late), frame zero_frame as all zero.
  uint32_t repeat_frame = 0;
  uint32_t zero_frame = 0;
  // A recording served in place of the panel model (replay.h); panel then holds the
  // cascade ReplayData::Load laid out. A new frame cycle (mode word 0x21) moves to the next
  // frame once the host has read data of the one before; the ready flag stays 0 until the
  // frame is due (pace) and, without loop, for good after the last frame: the recording
  // has ended and nothing is made up.
  std::shared_ptr<const ReplayData> replay;
};

struct FirmwareState {
  uint32_t frame = 0;          // frames started by raw mode words
  uint32_t replay_frame = 0;   // replay: the recording's frame served now, from 0
  uint16_t mode_word = 0;      // last mode word to the master
  bool diagnostic = false;
  bool report_to_os = true;
  int resets = 0;
  int recalibrations = 0;
  uint32_t update_address = 0, update_length = 0, update_bytes = 0;
  int update_frames = 0;
  bool update_finished = false;
  int power_mode = 0;
  uint16_t bridge_product = 0;   // last 'I' bridge command, 0 = none
  int bridge_resets = 0;
  int bridge_mode_target = -1;   // last mode-change target code, -1 = none
  uint16_t product = 0;          // the product id the device announces now
  int commands = 0;              // commands the firmware executed
};

class Firmware {
 public:
  explicit Firmware(const FirmwareConfig& config, std::shared_ptr<FaultPlan> faults = {});
  ~Firmware();
  Firmware(const Firmware&) = delete;
  Firmware& operator=(const Firmware&) = delete;

  // Thread-safe.
  Outcome Handle(const Request& request);
  FirmwareState State() const;
  const FirmwareConfig& config() const;
  FaultPlan& faults();

  // The bytes a chip's memory read at `address` gives (n bytes), as the read commands
  // answer them at this moment (does not count as a ready poll).
  std::vector<uint8_t> PeekMemory(int chip, uint32_t address, int n) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  mutable std::mutex mutex_;
};

}  // namespace panelsim
