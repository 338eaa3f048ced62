// The cascade's shared state (memory, modes, frames, firmware update) and the dispatch of
// requests to the carrier of the device type.
#include <algorithm>
#include <cerrno>

#include "firmware_impl.h"
#include "panelsim/crc.h"

namespace panelsim {

Firmware::Impl::Impl(const FirmwareConfig& cfg, std::shared_ptr<FaultPlan> plan)
    : config(cfg), model(cfg.panel), faults(plan ? std::move(plan) : std::make_shared<FaultPlan>()) {
  chips.resize(static_cast<size_t>(model.chip_count()));
  garbage_state ^= cfg.panel.seed;
  state.product = cfg.product != 0 ? cfg.product : IdentityOf(cfg.type).product;
}

bool Firmware::Impl::Ready() const {
  if (!state.diagnostic || ready_polls < config.ready_after_polls || faults->NeverReady())
    return false;
  if (!config.replay) return true;
  // The frame must exist (the recording may have ended) and be due.
  const ReplayData& r = *config.replay;
  if (state.replay_frame >= r.frame_count()) return false;
  if (!replay_started) return true;  // frame 0: the recording's clock starts when it is read
  const auto due = replay_start + std::chrono::milliseconds(r.DueMs(state.replay_frame));
  return std::chrono::steady_clock::now() >= due;
}

bool Firmware::Impl::Refuses(uint32_t address) const {
  const uint32_t top = address >> 24;
  return config.replay && top >= 0x51 && top <= 0x55 &&
         !config.replay->Serves(static_cast<Region>(top));
}

void Firmware::Impl::MarkReplayRead() {
  replay_read = true;
  if (!replay_started) {
    replay_started = true;
    replay_start = std::chrono::steady_clock::now();
  }
}

void Firmware::Impl::NextReplayFrame() {
  // Mode words that come without a read between them (report-to-OS switches, a host
  // starting over) keep the frame: no frame of the recording goes unseen.
  if (!replay_read) return;
  replay_read = false;
  const size_t count = config.replay->frame_count();
  if (state.replay_frame < count) ++state.replay_frame;
  if (state.replay_frame >= count && config.replay->options().loop) {
    state.replay_frame = 0;
    replay_started = false;  // the next round's clock starts when its first frame is read
  }
}

int Firmware::Impl::ChipOfSlaveIndex(int index) const {
  // Hosts address slave n with chip index n + 4 (5..11).
  int chip = index - 4;
  if (chip < 1 || chip >= model.chip_count()) return -1;
  return chip;
}

std::vector<uint8_t> Firmware::Impl::ReadMemory(int chip, uint32_t address, int n, bool count_poll) {
  std::vector<uint8_t> out(static_cast<size_t>(std::max(n, 0)), 0);
  const int top = static_cast<int>(address >> 24);
  if (top >= 0x50 && top <= 0x55) {
    const size_t offset = static_cast<size_t>(address & 0xFFFFFF) * 4;
    bool ready = Ready();
    if (top == 0x50 && offset == 0 && count_poll) ++ready_polls;
    if (config.replay && count_poll && !(top == 0x50 && offset == 0)) MarkReplayRead();
    // Frames count from 1 here (the model's frame number, or the recording's frame + 1).
    const uint32_t frame = config.replay ? state.replay_frame + 1 : state.frame;
    CacheEntry& entry = cache[{chip, top}];
    if (!entry.valid || entry.frame != frame || entry.ready != ready) {
      const uint32_t repeat = config.repeat_frame;
      const uint32_t served = repeat != 0 && frame > repeat ? frame - 1 : frame;
      if (config.replay)
        entry.bytes = config.replay->Block(model, chip, static_cast<Region>(top), served - 1, ready);
      else
        entry.bytes = model.Block(chip, static_cast<Region>(top), served, ready);
      if (config.zero_frame != 0 && frame == config.zero_frame) {
        // The rawdiff header (ready flag, frame number) stays: only the cells are lost.
        std::fill(entry.bytes.begin() + (top == 0x50 ? 4 : 0), entry.bytes.end(), uint8_t{0});
      }
      entry.frame = frame;
      entry.ready = ready;
      entry.valid = true;
    }
    for (size_t i = 0; i < out.size() && offset + i < entry.bytes.size(); ++i) out[i] = entry.bytes[offset + i];
    return out;
  }
  if (top == 0x5A) {
    const ChipGeometry& g = model.chip(chip);
    const uint8_t geometry[4] = {static_cast<uint8_t>(chip), static_cast<uint8_t>(g.senses ? g.drive : 0),
                                 static_cast<uint8_t>(g.senses ? g.sense : 0), 0};
    const size_t offset = static_cast<size_t>(address & 0xFFFFFF) * 4;
    for (size_t i = 0; i < out.size() && offset + i < 4; ++i) out[i] = geometry[offset + i];
    return out;
  }
  if ((address & 0xFFFFFF00u) == 0xA000C000u) {
    uint8_t regs[256] = {};
    const ChipGeometry& g = model.chip(chip);
    const int slaves = model.chip_count() - 1;
    uint8_t status = 0;
    if (chip > 0) status = static_cast<uint8_t>(chip + 4);
    else if (!g.senses) status = 11;
    else if (slaves > 0) status = 1;
    regs[0x24] = 3;
    regs[0x25] = 0x10;
    regs[0x27] = status;
    regs[0x28] = static_cast<uint8_t>(slaves);
    regs[0x29] = static_cast<uint8_t>(chip);
    regs[0x2A] = (g.lead + g.tail) > 0 ? 1 : 0;
    regs[0x2B] = static_cast<uint8_t>((g.lead << 4) | g.tail);
    for (size_t i = 0; i < out.size(); ++i) {
      uint32_t a = (address & 0xFF) + static_cast<uint32_t>(i);
      if (a < 256) out[i] = regs[a];
    }
    return out;
  }
  // Memory words written by the host, else the flash, else 0.
  const Chip& c = chips[static_cast<size_t>(chip)];
  for (size_t i = 0; i < out.size(); ++i) {
    const uint32_t a = address + static_cast<uint32_t>(i);
    auto it = c.memory.find(a);
    if (it != c.memory.end()) out[i] = it->second;
    else out[i] = c.flash.Read(a);
  }
  return out;
}

void Firmware::Impl::WriteMemoryWord(int chip, uint32_t address, uint32_t value) {
  auto& mem = chips[static_cast<size_t>(chip)].memory;
  if (mem.size() > 65536) mem.clear();  // a runaway host cannot grow it without bound
  for (uint32_t i = 0; i < 4; ++i) mem[address + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Firmware::Impl::MemoryOp(int chip, uint32_t address, uint32_t word2, uint32_t word3) {
  if (word2 == 1) WriteMemoryWord(chip, address, word3);
  std::vector<uint8_t> b = ReadMemory(chip, address, 4, false);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
         (static_cast<uint32_t>(b[3]) << 24);
}

int Firmware::Impl::PowerMode(int chip, int requested) {
  Chip& c = chips[static_cast<size_t>(chip)];
  if (requested >= 0 && requested <= 3) c.power_mode = requested;
  if (chip == 0) state.power_mode = c.power_mode;
  return c.power_mode;
}

void Firmware::Impl::SetMode(int chip, uint16_t word) {
  chips[static_cast<size_t>(chip)].mode_word = word;
  if (chip != 0) return;
  state.mode_word = word;
  switch (word & 0xFF) {
    case 0x21:
      state.diagnostic = true;
      ++state.frame;
      ready_polls = 0;
      if (config.replay) NextReplayFrame();
      break;
    case 0x20: state.diagnostic = false; break;
    case 0x51: state.report_to_os = false; break;
    case 0x50: state.report_to_os = true; break;
    default: break;
  }
}

bool Firmware::Impl::StartUpdate(int chip, uint32_t address, uint32_t length) {
  Chip& c = chips[static_cast<size_t>(chip)];
  UpdateSession& u = c.update;
  // A segment the flash cannot hold is turned down and changes nothing: the update under
  // way (if any) goes on, and a host that was refused may begin a new one at once.
  if (length == 0 || !c.flash.Contains(address, length)) return false;
  if (!u.open || u.done) u = UpdateSession{};
  // The segment under way announced again: the host starts it over (it lost the answer,
  // or gave up on the update and begins again). An address before it: a new update.
  // Only a segment further on while this one is short fails the update.
  if (u.open && u.active && address < u.address) u = UpdateSession{};
  u.open = true;
  const bool again = u.active && address == u.address;
  if (again)
    u.total -= u.written;
  else if (u.active && u.written < u.length)
    u.failed = true;  // the last segment was left short
  c.flash.Erase(address, length);
  u.active = true;
  u.address = address;
  u.length = length;
  u.written = 0;
  u.next_frame = 0;
  MirrorUpdate(chip);
  return true;
}

std::optional<uint16_t> Firmware::Impl::AddUpdateFrame(int chip, const uint8_t* data, size_t n) {
  Chip& c = chips[static_cast<size_t>(chip)];
  UpdateSession& u = c.update;
  if (!u.active || u.written >= u.length) return std::nullopt;
  // The last frame of a segment is padded by the host: what lies past the end is dropped.
  const size_t take = std::min<size_t>(n, u.length - u.written);
  c.flash.Program(u.address + u.written, data, take);
  u.written += static_cast<uint32_t>(take);
  u.total += static_cast<uint32_t>(take);
  const uint16_t id = u.next_frame++;
  MirrorUpdate(chip);
  return id;
}

uint16_t Firmware::Impl::ExpectedFrame(int chip) const { return chips[static_cast<size_t>(chip)].update.next_frame; }

void Firmware::Impl::FinishUpdate(int chip) {
  UpdateSession& u = chips[static_cast<size_t>(chip)].update;
  if (u.open) u.done = true;
  MirrorUpdate(chip);
  if (chip == 0) state.update_finished = true;
}

bool Firmware::Impl::UpdateSucceeded(int chip, int command) {
  UpdateSession& u = chips[static_cast<size_t>(chip)].update;
  // The result ends the update whatever it says, so the next information begins anew.
  const bool ok = !u.open || (!u.failed && (!u.active || u.written >= u.length));
  if (u.open) u.done = true;
  if (faults->Take(command, FaultKind::UpdateFailed)) return false;
  return ok;
}

void Firmware::Impl::MirrorUpdate(int chip) {
  if (chip != 0) return;
  const UpdateSession& u = chips[0].update;
  state.update_address = u.address;
  state.update_length = u.length;
  state.update_bytes = u.total;
  state.update_frames = u.next_frame;
}

std::optional<Fault> Firmware::Impl::TakeFault(int command) { return faults->Take(command); }

void Firmware::Impl::Deliver(Answer answer, const std::optional<Fault>& fault, Outcome& out) {
  if (fault) {
    switch (fault->kind) {
      case FaultKind::Drop: ++out.withheld; return;
      case FaultKind::Unplug:
        out.unplug = true;
        out.answers.clear();
        return;
      case FaultKind::Late: answer.delay_ms = fault->delay_ms; break;
      case FaultKind::Garbage:
        for (size_t i = 1; i < answer.data.size(); ++i) {
          garbage_state = garbage_state * 6364136223846793005ull + 1442695040888963407ull;
          answer.data[i] = static_cast<uint8_t>(garbage_state >> 56);
        }
        break;
      default: break;
    }
  }
  if (!out.unplug) out.answers.push_back(std::move(answer));
}

Firmware::Firmware(const FirmwareConfig& config, std::shared_ptr<FaultPlan> faults)
    : impl_(std::make_unique<Impl>(config, std::move(faults))) {}

Firmware::~Firmware() = default;

Outcome Firmware::Handle(const Request& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  switch (CarrierOf(impl_->config.type)) {
    case Carrier::Feature: return impl_->HandleFeature(request);
    case Carrier::Z2Report: return impl_->HandleZ2(request);
    case Carrier::Z3Usb:
    case Carrier::Z3I2c: return impl_->HandleZ3(request);
  }
  return {};
}

FirmwareState Firmware::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return impl_->state;
}

const FirmwareConfig& Firmware::config() const { return impl_->config; }

FaultPlan& Firmware::faults() { return *impl_->faults; }

std::vector<uint8_t> Firmware::PeekMemory(int chip, uint32_t address, int n) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (chip < 0 || chip >= impl_->model.chip_count() || n < 0 || n > 65536) return {};
  return impl_->ReadMemory(chip, address, n, false);
}

}  // namespace panelsim
