// Maintenance commands of the Z1 protocol, on the feature channel or through the Z6
// tunnel of a Z2 master. Numbers are big-endian; payloads end with their CRC-16.
#include <cstring>

#include "commands/maintenance.h"
#include "corlink.h"
#include "log_sink.h"
#include "transport/bytes.h"
#include "transport/crc.h"
#include "transport/z1_protocol.h"

namespace corlink::commands {

namespace {

using transport::Be32;
using transport::PutBe32;
using transport::RunZ1Loop;
using transport::Z1Link;
using transport::Z1Next;
using transport::Z1Step;

constexpr size_t kZ1FrameBytes = 12;

// True when the n bytes before the last two carry that CRC (big-endian).
bool TailCrcOk(const uint8_t* r, size_t len) {
  if (len < 2) return false;
  const uint16_t crc = transport::Crc16(r, len - 2);
  return r[len - 2] == (crc >> 8) && r[len - 1] == (crc & 0xFF);
}

bool IsAck4(const uint8_t* r, size_t len) { return len == 4 && r[0] == 0x00 && r[1] == 0x80; }

// Reads the command's answer until judge(r, len) decides; a failed read counts as an
// empty answer.
template <class Judge>
int ReadUntilDecided(const Z1Link& link, uint8_t command, Judge&& judge) {
  return RunZ1Loop([&](bool) -> Z1Step {
    uint8_t r[transport::kZ1MaxResponse];
    size_t len = 0;
    if (!transport::Z1Receive(link, command, r, &len)) len = 0;
    return judge(r, len);
  });
}

// The acknowledgement 00 80 t0 t1 ends the loop: OK when its tail is the expected one, a
// failure for any other tail.
Z1Step AckTailVerdict(const uint8_t* r, uint8_t t0, uint8_t t1, const char* correct,
                      const char* unknown) {
  if (r[2] == t0 && r[3] == t1) {
    Log("%s", correct);
    return {Z1Next::kDone, CORLINK_OK};
  }
  Log("%s", unknown);
  return {Z1Next::kDone, CORLINK_ERR_FAILED};
}

// An answer of `want` bytes whose last two are its CRC: true when r is one. Otherwise *step
// says what to do: try again after a wrong length, give up after a wrong CRC.
bool CrcAnswerOk(const uint8_t* r, size_t len, size_t want, Z1Step* step) {
  if (len != want) {
    Log("Wrong response format!\n");
    *step = {Z1Next::kRetry, CORLINK_ERR_RETRIES};
    return false;
  }
  if (!TailCrcOk(r, len)) {
    Log("CRC check failed!\n");
    *step = {Z1Next::kDone, CORLINK_ERR_FAILED};
    return false;
  }
  return true;
}

int Reset(const Z1Link& link) {
  return ReadUntilDecided(link, kCmdReset, [](const uint8_t* r, size_t len) -> Z1Step {
    if (IsAck4(r, len))
      return AckTailVerdict(r, 0xFF, 0xFF, "reset ack correctly!\n", "reset ack unknown format!\n");
    Log("x");
    return {Z1Next::kRetry, CORLINK_ERR_RETRIES};
  });
}

int Recalibrate(const Z1Link& link) {
  return ReadUntilDecided(link, kCmdRecalibrate, [](const uint8_t* r, size_t len) -> Z1Step {
    if (len != 4) {
      Log("Z1 calibration byte cnt error!\n");
      return {Z1Next::kRetry, CORLINK_ERR_RETRIES};
    }
    if (IsAck4(r, len)) {
      return AckTailVerdict(r, 'Z', '1', "Z1 calibration ack correctly!\n",
                            "Z1 calibration ack unknown format!\n");
    }
    if (r[0] == 0x00 && r[1] == 0x40) Log("Z1 calibration NACK/RETRY!!\n");
    return {Z1Next::kRetry, CORLINK_ERR_RETRIES};
  });
}

int WaitReady(const Z1Link& link) {
  return ReadUntilDecided(link, kCmdWaitReady, [](const uint8_t* r, size_t len) -> Z1Step {
    if (len != 6) return {Z1Next::kRetry, CORLINK_ERR_RETRIES};
    if (r[0] != 0x00 || r[1] != 0x80) {
      Log("Wrong response format! line %d\n", 884);
      return {Z1Next::kDone, CORLINK_ERR_FAILED};
    }
    if (r[2] == 0xFF && r[3] == 0xFF && r[4] == 0xFF && r[5] == 0xFF) {
      Log("\nupdate rom success!\n");
      return {Z1Next::kDone, CORLINK_OK};
    }
    if (r[2] == 0xFF && r[3] == 0xFF && r[4] == 0xDE && r[5] == 0xAD) {
      Log("\nupdate rom failed!\n");
      return {Z1Next::kDone, CORLINK_ERR_FAILED};
    }
    Log("\nUnknown report\n");
    return {Z1Next::kRetry, CORLINK_ERR_RETRIES};
  });
}

// Info and data frames are answered by an acknowledgement; an attempt whose send failed
// counts as used, and the loop's last word depends on whether anything was refused. With
// no attempts allowed nothing reaches the chip, which is -2 like every other Z1 loop.
struct AckLoop {
  bool refused = false;  // refused or unanswered: the attempts ran out (-2), not the sends
  int attempt = 0;

  Z1Step Retry() {
    Log("R%d", attempt);
    return {Z1Next::kRetry, RunOutResult(refused)};
  }
  Z1Step Refused() {
    refused = true;
    return Retry();
  }
};

int UpdateInfo(const Z1Link& link, uint32_t address, uint32_t length, uint8_t /*flag*/) {
  uint8_t payload[8];
  PutBe32(payload, address);
  payload[4] = static_cast<uint8_t>(length >> 8);
  payload[5] = static_cast<uint8_t>(length);
  transport::AppendCrcBigEndian(payload, 6);
  AckLoop loop;
  return RunZ1Loop([&](bool) -> Z1Step {
    ++loop.attempt;
    if (!transport::Z1Send(link, kCmdUpdateInfo, payload, sizeof payload)) return loop.Retry();
    uint16_t id = 0;
    bool answered = false;
    const bool acked = transport::Z1ReadAck(link, 0xFFFF, &id, &answered);
    // No answer at all is a lost answer, and 00 40 5A 31 the chip's NACK, its way of
    // asking for the command again: both are tried again. Only an answer with another id
    // is the chip turning the segment down.
    const bool nack = !acked && id == transport::kZ1ModeAckId;
    if (answered && !nack && id != 0xFFFF) {
      Log("The ack of 0x83 cmd is 0x%x not 0xffff! Maybe file length too large?\n", id);
      return {Z1Next::kDone, CORLINK_ERR_FAILED};
    }
    return acked ? Z1Step{Z1Next::kDone, CORLINK_OK} : loop.Refused();
  });
}

int UpdateData(const Z1Link& link, const uint8_t* data, uint8_t length, uint16_t frame_id) {
  if (length < kZ1FrameBytes) return CORLINK_ERR_FAILED;
  uint8_t payload[kZ1FrameBytes + 2];
  std::memcpy(payload, data, kZ1FrameBytes);
  transport::AppendCrcBigEndian(payload, kZ1FrameBytes);
  AckLoop loop;
  return RunZ1Loop([&](bool) -> Z1Step {
    ++loop.attempt;
    if (!transport::Z1Send(link, kCmdUpdateData, payload, sizeof payload)) return loop.Retry();
    uint16_t id = 0;
    bool answered = false;
    if (transport::Z1ReadAck(link, frame_id, &id, &answered)) {
      // Taken as another frame (a copy sent again after its answer was lost): the chip and
      // the host are out of step, and the data sits in the wrong place. Sending it once
      // more would only move it further; the host must start the segment over.
      if (id != frame_id) return {Z1Next::kDone, CORLINK_ERR_RETRIES};
      return {Z1Next::kDone, CORLINK_OK};
    }
    if (answered && id != frame_id) {
      Log("Error.. Not supported. Z1 requires an data frame id that is not current transmitting "
          "id!\n");
      return {Z1Next::kDone, CORLINK_ERR_FAILED};
    }
    return loop.Refused();
  });
}

int Memory(const Z1Link& link, uint32_t address, uint32_t word2, uint32_t word3, int32_t* out) {
  uint8_t payload[14];
  PutBe32(payload, address);
  PutBe32(payload + 4, word2);
  PutBe32(payload + 8, word3);
  transport::AppendCrcBigEndian(payload, 12);
  return RunZ1Loop([&](bool later) -> Z1Step {
    uint8_t r[transport::kZ1MaxResponse];
    size_t len = 0;
    if (!transport::Z1SendAndReceive(link, kCmdMemory, payload, sizeof payload, later, r, &len))
      return {Z1Next::kWriteFailed, CORLINK_ERR_FAILED};
    if (len == 4) {
      if (r[0] == 0x00 && r[1] == 0x40) {
        Log("Setting cmd failed with NACK\n");
        return {Z1Next::kRetry, CORLINK_ERR_RETRIES};
      }
      Log("Setting cmd failed with strange NACK packet\n");
      return {Z1Next::kRetry, CORLINK_ERR_FAILED};
    }
    if (len != 6) {
      Log("Wrong response format!");
      return {Z1Next::kRetry, CORLINK_ERR_FAILED};
    }
    if (!TailCrcOk(r, len)) {
      Log("CRC error!!\n");
      return {Z1Next::kDone, CORLINK_ERR_FAILED};
    }
    *out = static_cast<int32_t>(transport::Le32(r));
    return {Z1Next::kDone, CORLINK_OK};
  });
}

int PowerMode(const Z1Link& link, int32_t* mode) {
  uint8_t payload[3] = {static_cast<uint8_t>(*mode)};
  transport::AppendCrcBigEndian(payload, 1);
  return RunZ1Loop([&](bool) -> Z1Step {
    uint8_t r[transport::kZ1MaxResponse];
    size_t len = 0;
    if (!transport::Z1SendAndReceive(link, kCmdPowerMode, payload, sizeof payload, false, r, &len))
      return {Z1Next::kWriteFailed, CORLINK_ERR_FAILED};
    Z1Step step{};
    if (!CrcAnswerOk(r, len, 3, &step)) return step;
    *mode = r[0];
    return {Z1Next::kDone, CORLINK_OK};
  });
}

int ButtonMode(const Z1Link& link, int32_t* status) {
  return ReadUntilDecided(link, kCmdButtonMode, [&](const uint8_t* r, size_t len) -> Z1Step {
    Z1Step step{};
    if (!CrcAnswerOk(r, len, 6, &step)) return step;
    *status = static_cast<int32_t>(Be32(r));
    return {Z1Next::kDone, CORLINK_OK};
  });
}

bool CmdRead(const Z1Link& link, uint8_t command, uint8_t* buffer, uint8_t* count) {
  size_t len = 0;
  const bool ok = transport::Z1Receive(link, command, buffer, &len);
  *count = static_cast<uint8_t>(len);
  return ok;
}

bool CmdWrite(const Z1Link& link, const uint8_t* packet) {
  return transport::Z1Send(link, packet[0], packet + 2, packet[1]);
}

// The same commands on the feature channel or through the Z6 tunnel.
template <auto Link>
MaintenanceTable MakeTable() {
  return MaintenanceTable{
      .reset = kOn<Link, Reset>,
      .recalibrate = kOn<Link, Recalibrate>,
      .wait_ready = kOn<Link, WaitReady>,
      .update_info = kOn<Link, UpdateInfo>,
      .update_data = kOn<Link, UpdateData>,
      .update_finish = nullptr,
      .block_crc = nullptr,
      .memory = kOn<Link, Memory>,
      .power_mode = kOn<Link, PowerMode>,
      .button_mode = kOn<Link, ButtonMode>,
      .cmd_read = kOn<Link, CmdRead>,
      .cmd_write = kOn<Link, CmdWrite>,
  };
}

}  // namespace

const MaintenanceTable& Z1MaintenanceTable() {
  static const MaintenanceTable table = MakeTable<transport::FeatureLink>();
  return table;
}

const MaintenanceTable& Z6MaintenanceTable() {
  static const MaintenanceTable table = MakeTable<transport::Z6SlaveLink>();
  return table;
}

}  // namespace corlink::commands
