// The Z2 master's 19-byte letter commands, and the 0xF0/0x0F tunnel that carries Z1
// commands to its Z6 slaves. Output report 9, input report 0x0A, numbers little-endian.
#include <algorithm>
#include <cerrno>

#include "firmware_impl.h"

namespace panelsim {
namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

Outcome Firmware::Impl::HandleZ2(const Request& req) {
  Outcome out;
  if (req.kind != Request::Kind::Output) {
    Answer reply;
    reply.kind = req.kind == Request::Kind::GetFeature ? Answer::Kind::GetFeatureReply : Answer::Kind::SetFeatureReply;
    reply.id = req.id;
    reply.err = EIO;
    out.answers.push_back(reply);
    return out;
  }
  if (req.data.empty() || req.data[0] != 0x09) return out;
  uint8_t in[19] = {};
  std::copy_n(req.data.begin(), std::min<size_t>(req.data.size(), sizeof in), in);
  const uint8_t code = in[1];
  out.command = code;

  Answer a;
  a.data.assign(19, 0);
  a.data[0] = 0x0A;
  a.data[1] = code;

  // A 16-byte memory answer: length in byte 2, bytes 0..14 in 4..18, byte 15 in 3.
  auto memory_answer = [&](uint32_t address) {
    std::vector<uint8_t> d = ReadMemory(0, address, 16, true);
    a.data[2] = 16;
    a.data[3] = d[15];
    std::copy_n(d.begin(), 15, a.data.begin() + 4);
  };

  switch (code) {
    case 0x1E:
    case 0x00: {
      ++state.commands;
      // This carrier has no refusal: a read the chip cannot serve goes unanswered.
      if (code == 0x1E && Refuses(Le32(in + 4))) return out;
      memory_answer(code == 0 ? 0 : Le32(in + 4));
      auto fault = TakeFault(code);
      if (fault && fault->kind == FaultKind::WrongLength) a.data[2] = 20;
      Deliver(std::move(a), fault, out);
      return out;
    }
    case '-': {
      ++state.commands;
      if (in[2] != 0 || in[3] != 0) {  // firmware information: length, address
        StartUpdate(0, Le32(in + 4), static_cast<uint32_t>(in[2] | (in[3] << 8)));
        break;
      }
      uint32_t v = MemoryOp(0, Le32(in + 4), Le32(in + 8), Le32(in + 12));
      a.data[2] = 4;
      for (int i = 0; i < 4; ++i) a.data[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
      Deliver(std::move(a), TakeFault(code), out);
      return out;
    }
    case '<':
      ++state.commands;
    {
      // Four words with their bytes reversed: bytes 0..14 in report bytes 4..18, the
      // sixteenth in byte 3. Nothing is answered, so a frame that fits nowhere (after a
      // refused information, say) fails the update it belongs to, which the result reports.
      uint8_t reversed[16];
      std::copy_n(in + 4, 15, reversed);
      reversed[15] = in[3];
      uint8_t data[16];
      for (int i = 0; i < 16; ++i) data[i] = reversed[(i / 4) * 4 + 3 - i % 4];
      if (!AddUpdateFrame(0, data, 16)) {
        Impl::UpdateSession& u = chips[0].update;
        if (!u.open || u.done) u = Impl::UpdateSession{};
        u.open = true;
        u.failed = true;
      }
      break;
    }
    case 'K': {
      ++state.commands;
      if (in[2] != 'Z') {  // finish
        FinishUpdate(0);
        break;
      }
      if (faults->NeverReady()) {  // not ready yet: neither result word
        Deliver(std::move(a), std::nullopt, out);
        return out;
      }
      auto fault = TakeFault(code);
      bool ok = UpdateSucceeded(0, code) &&
                !(fault && (fault->kind == FaultKind::Nack || fault->kind == FaultKind::NackReason1));
      a.data[2] = ok ? 0xBE : 0xDE;
      a.data[3] = ok ? 0xEF : 0xAD;
      Deliver(std::move(a), fault, out);
      return out;
    }
    case 'i':
      ++state.commands;
      if (in[2] == 0xCA) ++state.recalibrations;
      else ++state.resets;
      break;
    case 'x':
      ++state.commands;
      SetMode(0, in[2]);
      break;
    case 'Z':
      ++state.commands;
      if (in[2] == '1' || (in[2] == 0x00 && in[3] == '1')) state.report_to_os = true;
      else if (in[2] == '0' || (in[2] == 0xA5 && in[3] == '0')) state.report_to_os = false;
      break;
    case 0xF0: {  // slave write: index, command, payload length, payload
      int chip = ChipOfSlaveIndex(in[2]);
      out.command = in[3];
      if (chip >= 0 && in[4] <= 14) Z1Write(chip, in[3], in + 5, in[4]);
      break;
    }
    case 0x0F: {  // slave read request: index, command; answer 0A 0F length data
      int chip = ChipOfSlaveIndex(in[2]);
      Z1Response r;
      if (chip >= 0) r = Z1Read(chip, in[3], false);
      out.command = in[3] == 0 ? -1 : in[3];
      size_t n = std::min<size_t>(r.bytes.size(), 14);
      a.data[2] = static_cast<uint8_t>(n);
      std::copy_n(r.bytes.begin(), n, a.data.begin() + 3);
      if (r.fault && r.fault->kind == FaultKind::WrongLength) a.data[2] = 20;
      Deliver(std::move(a), r.fault, out);
      return out;
    }
    default: break;
  }
  // Commands without an answer can still pull the plug.
  if (faults->Take(out.command, FaultKind::Unplug)) out.unplug = true;
  return out;
}

}  // namespace panelsim
