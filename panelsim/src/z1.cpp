// Z1 commands (big-endian payloads ending in a CRC-16) and the feature channel that
// carries them: 20-byte feature reports with report id 9.
#include <algorithm>
#include <cerrno>

#include "firmware_impl.h"
#include "panelsim/crc.h"

namespace panelsim {
namespace {

uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// True when the last two of n bytes are the big-endian CRC of the bytes before them.
bool CrcOk(const uint8_t* p, size_t n) {
  if (n < 2) return false;
  uint16_t crc = Crc16(p, n - 2);
  return p[n - 2] == (crc >> 8) && p[n - 1] == (crc & 0xFF);
}

void AppendCrc(std::vector<uint8_t>& v) {
  uint16_t crc = Crc16(v.data(), v.size());
  v.push_back(static_cast<uint8_t>(crc >> 8));
  v.push_back(static_cast<uint8_t>(crc));
}

const std::vector<uint8_t> kAckMode = {0x00, 0x80, 0x5A, 0x31};
const std::vector<uint8_t> kNack = {0x00, 0x40, 0x5A, 0x31};
const std::vector<uint8_t> kAckFfff = {0x00, 0x80, 0xFF, 0xFF};

// The feature-channel devices that are USB bridges (and re-enumerate after a control).
bool IsBridge(DeviceType type) {
  return type == DeviceType::Z2UsbBrg || type == DeviceType::UsbBrgEp1 || type == DeviceType::NotSet;
}

// A mode change: the Z1 mode is product 3a01, the Z5 mode 3a02; other targets keep it.
void SetBridgeMode(FirmwareState& state, int target) {
  state.bridge_mode_target = target;
  if (target == '1') state.product = 0x3a01;
  if (target == '5') state.product = 0x3a02;
}

// Spoils a response the way the Z1-specific faults do. Acknowledgements carry no CRC.
void SpoilZ1(std::vector<uint8_t>& bytes, const std::optional<Fault>& fault, bool feature_carrier) {
  if (!fault) return;
  switch (fault->kind) {
    case FaultKind::Nack:
    case FaultKind::NackReason1: bytes = kNack; break;
    case FaultKind::BadCrc:
      if (bytes.size() != 4 && bytes.size() >= 3) bytes.back() ^= 0xFF;
      break;
    case FaultKind::WrongLength:
      if (feature_carrier && !bytes.empty()) bytes.pop_back();
      break;
    default: break;
  }
}

}  // namespace

void Firmware::Impl::Z1Write(int chip, uint8_t command, const uint8_t* p, size_t n) {
  ++state.commands;
  Z1Response r;
  r.command = command;
  switch (command) {
    case 0x85:
      if (n >= 1) {
        SetMode(chip, p[0]);
        r.bytes = kAckMode;
      } else {
        r.bytes = kNack;
      }
      break;
    case 0x86:
      if (n >= 6 && CrcOk(p, 6) && !Refuses(Be32(p))) {
        r.bytes = ReadMemory(chip, Be32(p), 12, true);
        AppendCrc(r.bytes);
      } else {
        r.bytes = kNack;
      }
      break;
    case 0x83:
      if (n >= 8 && CrcOk(p, 8)) {
        // A segment the flash cannot hold is refused with an id other than FF FF.
        const bool ok = StartUpdate(chip, Be32(p), (static_cast<uint32_t>(p[4]) << 8) | p[5]);
        r.bytes = ok ? kAckFfff : std::vector<uint8_t>{0x00, 0x40, 0x00, 0x00};
      } else {
        r.bytes = kNack;
      }
      break;
    case 0x84:
      if (n >= 14 && CrcOk(p, 14)) {
        // A refused frame is not kept; the refusal names the frame the chip waits for, so
        // the host sends it again. A frame with no update to go to names none (FF FF).
        r.fault = TakeFault(command);
        if (r.fault && r.fault->kind == FaultKind::Nack) {
          const uint16_t want = ExpectedFrame(chip);
          r.bytes = {0x00, 0x40, static_cast<uint8_t>(want >> 8), static_cast<uint8_t>(want)};
          r.fault.reset();
          chips[static_cast<size_t>(chip)].pending = std::move(r);
          return;
        }
        const std::optional<uint16_t> id = AddUpdateFrame(chip, p, 12);
        if (id) r.bytes = {0x00, 0x80, static_cast<uint8_t>(*id >> 8), static_cast<uint8_t>(*id)};
        else r.bytes = {0x00, 0x40, 0xFF, 0xFF};
        chips[static_cast<size_t>(chip)].pending = std::move(r);
        return;
      } else {
        r.bytes = kNack;
      }
      break;
    case 0x88:
      if (n >= 14 && CrcOk(p, 14)) {
        uint32_t v = MemoryOp(chip, Be32(p), Be32(p + 4), Be32(p + 8));
        r.bytes = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                   static_cast<uint8_t>(v >> 24)};
        AppendCrc(r.bytes);
      } else {
        r.bytes = kNack;
      }
      break;
    case 0x90:
      if (n >= 3 && CrcOk(p, 3)) {
        r.bytes = {static_cast<uint8_t>(PowerMode(chip, p[0]))};
        AppendCrc(r.bytes);
      } else {
        r.bytes = kNack;
      }
      break;
    case 0x55:  // bridge control: the action code, then its arguments
      if (n >= 1) {
        if (p[0] == 'I' && n >= 3) {
          state.bridge_product = static_cast<uint16_t>(p[1] | (p[2] << 8));
          state.product = state.bridge_product;
        } else if (p[0] == 'R') {
          ++state.bridge_resets;
        } else {
          SetBridgeMode(state, p[0]);
        }
      }
      return;  // the bridge itself acts; nothing to read back
    default: r.bytes = {0x00, 0xC0, command, 0x00}; break;
  }
  r.fault = TakeFault(command);
  chips[static_cast<size_t>(chip)].pending = std::move(r);
}

Z1Response Firmware::Impl::Z1Read(int chip, uint8_t command, bool feature_carrier) {
  Z1Response r;
  r.command = command;
  if (command == 0) {
    auto& pending = chips[static_cast<size_t>(chip)].pending;
    if (pending) {
      r = std::move(*pending);
      pending.reset();
      SpoilZ1(r.bytes, r.fault, feature_carrier);
    }
    return r;
  }
  ++state.commands;
  switch (command) {
    case 0x82:
      ++state.resets;
      r.bytes = kAckFfff;
      break;
    case 0x87:
      ++state.recalibrations;
      r.bytes = kAckMode;
      break;
    case 0x04:
      // A chip that never gets ready has nothing to say; the host keeps asking.
      if (faults->NeverReady()) break;
      FinishUpdate(chip);
      r.bytes = {0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF};
      if (!UpdateSucceeded(chip, command)) r.bytes[4] = 0xDE, r.bytes[5] = 0xAD;
      break;
    case 0x89:
      r.bytes = {0x00, 0x00, 0x00, 0x01};
      AppendCrc(r.bytes);
      break;
    default: break;  // nothing to say: an empty response
  }
  r.fault = TakeFault(command);
  SpoilZ1(r.bytes, r.fault, feature_carrier);
  return r;
}

Outcome Firmware::Impl::HandleFeature(const Request& req) {
  Outcome out;
  if (req.kind == Request::Kind::Output) return out;  // no output reports on this device
  if (req.kind == Request::Kind::SetFeature) {
    Answer reply;
    reply.kind = Answer::Kind::SetFeatureReply;
    reply.id = req.id;
    const auto& d = req.data;
    if (d.size() < 2 || d[0] != 0x09 || req.report != 0x09) {
      reply.err = EINVAL;
      out.answers.push_back(reply);
      return out;
    }
    switch (d[1]) {
      case 0xD9: {  // write a command: byte 3 command, byte 4 payload length, payload
        if (d.size() < 5 || d[4] > 14 || d.size() < 5u + d[4]) {
          reply.err = EINVAL;
          break;
        }
        out.command = d[3];
        Z1Write(0, d[3], d.data() + 5, d[4]);
        // Bridge control is acted on by the bridge and polled by nobody.
        phase = d[3] == 0x55 ? FeaturePhase::Idle : FeaturePhase::WriteDone;
        out.reannounce = d[3] == 0x55 && IsBridge(config.type);
        break;
      }
      case 0xDD:  // request the response to a command
        if (d.size() < 4) {
          reply.err = EINVAL;
          break;
        }
        out.command = d[3] == 0 ? -1 : d[3];  // a response read is not a command
        feature_response = Z1Read(0, d[3], true);
        phase = FeaturePhase::Response;
        response_gets = 0;
        break;
      case 0xDC:
      case 0xDB: break;  // status queries change nothing
      case 0xD8:  // a host may announce the response read explicitly
        if (phase == FeaturePhase::Response) response_gets = std::max(response_gets, 2);
        break;
      case 0x54:
        state.report_to_os = false;
        phase = FeaturePhase::Idle;
        break;
      case 0x56:
        state.report_to_os = true;
        phase = FeaturePhase::Idle;
        break;
      case 0xF8:  // bridge: F8 06 55 A5 50, then the model code 'Z' '1' 00
        if (d.size() >= 8 && d[6] == 'Z') {
          SetBridgeMode(state, d[7]);
          out.reannounce = IsBridge(config.type);
        }
        phase = FeaturePhase::Idle;
        break;
      default: phase = FeaturePhase::Idle; break;
    }
    out.answers.push_back(reply);
    return out;
  }
  // Get-feature: the request carries only the report id.
  Answer reply;
  reply.kind = Answer::Kind::GetFeatureReply;
  reply.id = req.id;
  if (req.report != 0x09) {
    reply.err = EIO;
    out.answers.push_back(reply);
    return out;
  }
  reply.data.assign(20, 0);
  reply.data[0] = 0x09;
  auto ready = [&](uint8_t opcode) {
    reply.data[1] = opcode;
    reply.data[2] = 0x02;
    reply.data[3] = 0xAB;
    reply.data[4] = 0xCD;
  };
  switch (phase) {
    case FeaturePhase::WriteDone: ready(0xDC); break;
    case FeaturePhase::Response:
      ++response_gets;
      if (response_gets <= 2) {
        ready(response_gets == 1 ? 0xD8 : 0xDB);
      } else {
        const auto& bytes = feature_response.bytes;
        size_t n = std::min<size_t>(bytes.size(), 17);
        reply.data[1] = 0xD8;
        reply.data[2] = static_cast<uint8_t>(n);
        std::copy_n(bytes.begin(), n, reply.data.begin() + 3);
        if (response_gets == 3) {
          // The response is read once; later gets see the device idle again (EP1 data).
          phase = FeaturePhase::Idle;
          Deliver(std::move(reply), feature_response.fault, out);
          return out;
        }
      }
      break;
    case FeaturePhase::Idle:
      if (config.type == DeviceType::UsbBrgEp1) {
        // Buffered data: the master's rawdiff block, 15 bytes at a time.
        const ChipGeometry& g = model.chip(0);
        size_t used = 4 + static_cast<size_t>(g.drive) * static_cast<size_t>(model.Stride(0, Region::Raw));
        std::vector<uint8_t> block = ReadMemory(0, 0x50000000, static_cast<int>(used), false);
        if (ep1_offset >= used) ep1_offset = 0;
        size_t n = std::min<size_t>(15, used - ep1_offset);
        reply.data[1] = 0x55;
        reply.data[2] = 0x10;
        reply.data[3] = static_cast<uint8_t>(n);
        std::copy_n(block.begin() + static_cast<long>(ep1_offset), n, reply.data.begin() + 4);
        ep1_offset += n;
        // The whole block streamed: the frame was read, the next cycle may move on.
        if (config.replay && ep1_offset >= used) MarkReplayRead();
        Deliver(std::move(reply), TakeFault(0x55), out);
        return out;
      }
      // The bridge's I2C interface test answer.
      reply.data[1] = 0xD4;
      reply.data[2] = 0x10;
      reply.data[11] = 0x5A;
      break;
  }
  out.answers.push_back(std::move(reply));
  return out;
}

}  // namespace panelsim
