// Z3 packets: the 64-byte carrier (with the 0xB0 tunnel to Z7 slaves) and the 58-byte
// HID-over-I2C layout. Payload fields are little-endian; the check byte is the low byte
// of CRC-16/XMODEM.
#include <algorithm>

#include "firmware_impl.h"
#include "panelsim/crc.h"

namespace panelsim {
namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Low byte of the CRC over byte `first` and then bytes [from, to).
uint8_t Crc8(const uint8_t* p, int first, int from, int to) {
  uint16_t crc = first >= 0 ? Crc16(p + first, 1) : 0;
  if (to > from) crc = Crc16(p + from, static_cast<size_t>(to - from), crc);
  return static_cast<uint8_t>(crc);
}

constexpr int kMaxData = 52;

}  // namespace

Z3Result Firmware::Impl::Z3Execute(int chip, uint8_t cmd, const uint8_t* p, size_t n, bool i2c, bool tunnel) {
  ++state.commands;
  Z3Result r;
  uint8_t buf[64] = {};
  std::copy_n(p, std::min<size_t>(n, sizeof buf), buf);
  switch (cmd) {
    case 0x85: SetMode(chip, Le16(buf)); break;
    case 0x86: {  // data: the carrier splits a long read into several answers
      uint16_t count = Le16(buf + 4);
      if (count == 0 || Refuses(Le32(buf))) {
        r.refused = true;
        break;
      }
      r.data = ReadMemory(chip, Le32(buf), count, true);
      r.value = count;
      break;
    }
    case 0x82:
      ++state.resets;
      r.answer = i2c || tunnel;
      break;
    case 0x87: ++state.recalibrations; break;
    case 0x83:
    case 0x73: r.refused = !StartUpdate(chip, Le32(buf), Le16(buf + 4)); break;
    case 0x84: {
      // Words with their bytes reversed. HID-over-I2C packets are always whole, so a frame
      // there is the full 52 bytes; the end of the segment cuts the padding off.
      r.fault_applied = true;
      r.fault = TakeFault(cmd);
      if (r.fault && r.fault->kind == FaultKind::Nack) {  // refused: not kept
        r.refused = true;
        r.fault.reset();
        break;
      }
      const size_t len = i2c ? kMaxData : std::min<size_t>(n, kMaxData);
      uint8_t data[kMaxData] = {};
      for (size_t i = 0; i < len; ++i) data[i] = buf[(i / 4) * 4 + 3 - i % 4];
      const std::optional<uint16_t> id = AddUpdateFrame(chip, data, len);
      if (id) r.value = *id;
      else r.refused = true;
      break;
    }
    case 0x81:
      FinishUpdate(chip);
      r.answer = false;
      r.emit_update_result = true;
      break;
    case 0x88: {
      uint32_t address = Le32(buf);
      MemoryOp(chip, address, Le32(buf + 4), Le32(buf + 8));
      r.data = ReadMemory(chip, address, i2c ? 4 : 16, false);
      break;
    }
    case 0x90: {
      int mode = PowerMode(chip, Le16(buf));
      r.data = {static_cast<uint8_t>(mode), 0};
      r.value = static_cast<uint16_t>(mode);
      break;
    }
    case 0x91: {
      uint32_t address = Le32(buf);
      uint16_t length = Le16(buf + 4);
      uint16_t seed = Le16(buf + 6);
      std::vector<uint8_t> bytes = ReadMemory(chip, address, length, false);
      r.value = Crc16(bytes.data(), bytes.size(), seed);
      r.value_big_endian = true;
      break;
    }
    default: r.refused = true; break;
  }
  return r;
}

Outcome Firmware::Impl::HandleZ3(const Request& req) {
  Outcome out;
  const bool i2c = CarrierOf(config.type) == Carrier::Z3I2c;
  if (req.kind != Request::Kind::Output) {
    Answer reply;
    reply.kind = req.kind == Request::Kind::GetFeature ? Answer::Kind::GetFeatureReply : Answer::Kind::SetFeatureReply;
    reply.id = req.id;
    reply.err = EIO;  // no feature reports on these devices
    out.answers.push_back(reply);
    return out;
  }
  if (req.data.empty() || req.data[0] != 0x09) return out;  // 0x53 (bridge side) and strangers
  const int size = i2c ? 58 : 64;
  uint8_t in[64] = {};
  std::copy_n(req.data.begin(), std::min<size_t>(req.data.size(), static_cast<size_t>(size)), in);
  const uint8_t cmd = in[2];
  out.command = cmd;

  // Framing of a chip's result for this carrier.
  auto frame = [&](uint8_t command, const Z3Result& r, size_t data_offset, size_t data_len,
                   const std::optional<Fault>& fault) {
    Answer a;
    a.data.assign(static_cast<size_t>(size), 0);
    uint8_t* o = a.data.data();
    o[0] = 0x0A;
    bool refused = r.refused || (fault && (fault->kind == FaultKind::Nack || fault->kind == FaultKind::NackReason1));
    bool reason1 = r.reason1 || (fault && fault->kind == FaultKind::NackReason1);
    if (fault && fault->kind == FaultKind::WrongLength && data_len >= 4) data_len -= 4;
    if (i2c) {
      o[2] = refused ? 0xAD : 0xEF;
      o[3] = refused ? 0xDE : 0xBE;
      if (refused) {
        o[4] = reason1 ? 1 : 0;
      } else {
        o[4] = static_cast<uint8_t>(r.value_big_endian ? r.value >> 8 : r.value);
        o[5] = static_cast<uint8_t>(r.value_big_endian ? r.value : r.value >> 8);
        for (size_t i = 0; i < data_len && i < static_cast<size_t>(kMaxData); ++i) o[6 + i] = r.data[data_offset + i];
      }
      o[1] = Crc8(o, -1, 2, 58);
      if (fault && fault->kind == FaultKind::BadCrc) o[1] ^= 0xFF;
      return a;
    }
    size_t len = 8 + (refused ? 0 : data_len);
    o[1] = static_cast<uint8_t>(len - 1);
    o[2] = command;
    o[4] = refused ? 0xAD : 0xEF;
    o[5] = refused ? 0xDE : 0xBE;
    if (refused) {
      o[6] = reason1 ? 1 : 0;
    } else {
      o[6] = static_cast<uint8_t>(r.value_big_endian ? r.value >> 8 : r.value);
      o[7] = static_cast<uint8_t>(r.value_big_endian ? r.value : r.value >> 8);
      for (size_t i = 0; i < data_len; ++i) o[8 + i] = r.data[data_offset + i];
    }
    o[3] = Crc8(o, -1, 4, static_cast<int>(len));
    if (fault && fault->kind == FaultKind::BadCrc) o[3] ^= 0xFF;
    return a;
  };

  auto update_result = [&](int chip) {
    Z3Result r;
    r.refused = !UpdateSucceeded(chip, 0x81);
    return r;
  };

  // Request check: length and CRC (HID-over-I2C: byte 1 is 0 and the packet is whole).
  int len = i2c ? 58 : in[1] + 1;
  bool bad = len < 4 || len > size || in[3] != Crc8(in, 2, 4, len);
  const uint8_t* payload = in + 4;
  size_t payload_len = static_cast<size_t>(std::max(len - 4, 0));

  if (!i2c && cmd == 0xB0 && !bad) {
    // Tunnel to a Z7 slave: 09, slave index, command, CRC, payload.
    const uint8_t icmd = in[6];
    out.command = icmd;
    int chip = ChipOfSlaveIndex(in[5]);
    bool inner_ok = len >= 8 && in[4] == 0x09 && in[7] == Crc8(in, 6, 8, len);
    std::optional<Fault> fault;
    auto master_status = [&](bool ok) {
      Z3Result m;
      m.refused = !ok;
      Deliver(frame(0xB0, m, 0, 0, std::nullopt), fault, out);
    };
    if (chip < 0 || !inner_ok) {
      fault = TakeFault(icmd);
      master_status(false);
      return out;
    }
    Z3Result r = Z3Execute(chip, icmd, in + 8, static_cast<size_t>(len - 8), false, true);
    if (r.emit_update_result || !r.answer) {
      if (faults->Take(icmd, FaultKind::Unplug)) {
        out.unplug = true;
        return out;
      }
    } else {
      fault = r.fault_applied ? r.fault : TakeFault(icmd);
    }
    if (fault && fault->kind == FaultKind::WrongLength) {
      master_status(true);  // the master acknowledges for itself
      return out;
    }
    auto tunnel_frame = [&](const Z3Result& res, size_t offset, size_t dlen) {
      Answer a;
      a.data.assign(64, 0);
      uint8_t* o = a.data.data();
      bool refused = res.refused || (fault && (fault->kind == FaultKind::Nack || fault->kind == FaultKind::NackReason1));
      bool reason1 = res.reason1 || (fault && fault->kind == FaultKind::NackReason1);
      size_t inner = 8 + (refused ? 0 : dlen);
      o[0] = 0x0A;
      o[1] = static_cast<uint8_t>(4 + inner - 1);
      o[2] = 0xB0;
      o[4] = static_cast<uint8_t>(inner);
      o[5] = static_cast<uint8_t>(inner >> 8);
      o[6] = icmd;
      o[8] = refused ? 0xAD : 0xEF;
      o[9] = refused ? 0xDE : 0xBE;
      if (refused) {
        o[11] = reason1 ? 1 : 0;
      } else {
        o[10] = static_cast<uint8_t>(res.value_big_endian ? res.value >> 8 : res.value);
        o[11] = static_cast<uint8_t>(res.value_big_endian ? res.value : res.value >> 8);
        for (size_t i = 0; i < dlen; ++i) o[12 + i] = res.data[offset + i];
      }
      o[7] = Crc8(o, -1, 8, static_cast<int>(4 + inner));
      if (fault && fault->kind == FaultKind::BadInnerCrc) o[7] ^= 0xFF;
      o[3] = Crc8(o, -1, 4, static_cast<int>(4 + inner));
      if (fault && fault->kind == FaultKind::BadCrc) o[3] ^= 0xFF;
      return a;
    };
    if (r.emit_update_result) {
      // A chip that never gets ready never reports the result.
      if (!faults->NeverReady()) out.answers.push_back(tunnel_frame(update_result(chip), 0, 0));
      return out;
    }
    if (!r.answer) return out;
    size_t total = r.data.size();
    size_t offset = 0;
    do {
      size_t chunk = std::min<size_t>(total - offset, kMaxData);
      Deliver(tunnel_frame(r, offset, chunk), offset == 0 ? fault : std::nullopt, out);
      offset += chunk;
    } while (offset < total && !out.unplug);
    return out;
  }

  Z3Result r;
  if (!bad) r = Z3Execute(0, cmd, payload, payload_len, i2c, false);
  if (!bad && (r.emit_update_result || !r.answer)) {
    // Silent commands: only an unplug fault can touch them.
    if (faults->Take(cmd, FaultKind::Unplug)) out.unplug = true;
    else if (r.emit_update_result && !faults->NeverReady())
      out.answers.push_back(frame(0x81, update_result(0), 0, 0, std::nullopt));
    return out;
  }
  std::optional<Fault> fault = r.fault_applied ? r.fault : TakeFault(cmd);
  if (bad) {
    Z3Result refused;
    refused.refused = true;
    Deliver(frame(cmd, refused, 0, 0, std::nullopt), fault, out);
    return out;
  }
  size_t total = r.data.size();
  size_t offset = 0;
  do {
    size_t chunk = std::min<size_t>(total - offset, kMaxData);
    Deliver(frame(cmd, r, offset, chunk, offset == 0 ? fault : std::nullopt), offset == 0 ? fault : std::nullopt, out);
    offset += chunk;
  } while (offset < total && !out.unplug);
  return out;
}

}  // namespace panelsim
