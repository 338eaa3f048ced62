// InstantModel: construction, Clear, device reads, chip detection and chip order.
#include "data/live_model.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "data/diagnostics.h"

namespace pelorin {

namespace {

// Status byte 3 of the first status read.
constexpr int32_t kStatusSingle = 0;
constexpr int32_t kStatusMaster = 1;
constexpr int32_t kStatusSlavesOnly = 11;

// Room for one ReadData reply, with spare so a library storing a little more than it may
// still stays inside.
constexpr size_t kReplyBufferBytes = 64;

}  // namespace

InstantModel::InstantModel(DeviceIo io) : io_(std::move(io)) {
  detected_.Reset(0, kCascadeUnknown);
  active_.Reset(0, kCascadeUnknown);
}

InstantModel::~InstantModel() = default;

bool InstantModel::Clear() {
  chipState_.clear();
  mask_.clear();
  bufferA_.clear();
  bufferB_.clear();
  FreeWorkBuffer();
  {
    std::lock_guard lock(publishMutex_);
    published_.reset();
  }
  active_.Reset(-1, active_.cascadeMode);
  readErrors_.clear();
  device_ = 0;
  frameCounter_.store(0, std::memory_order_release);
  SetMaxValue(0);
  SetMinValue(kNoMinimum);
  maxSense_ = 0;
  maxDrive_ = 0;
  detected_.Reset(-1, kCascadeMasterWithSlaves);
  return true;
}

std::shared_ptr<const LiveFrame> InstantModel::CurrentFrame() const {
  std::lock_guard lock(publishMutex_);
  return published_;
}

int32_t InstantModel::ReadWithRetry(int32_t handle, std::span<uint8_t> buffer, uint32_t address,
                                    uint32_t size, uint32_t& bytesRead) {
  const bool wordAddressed = (address & 0xF0000000u) == 0x50000000u;
  size = std::min<uint32_t>(size, static_cast<uint32_t>(buffer.size()));
  int32_t errors = 0;
  uint32_t total = 0;
  while (total < size && errors < kReadAttempts) {
    std::array<uint8_t, kReplyBufferBytes> reply{};
    uint32_t n = 0;
    const int result = io_.ReadData(handle, address, reply.data(), &n);
    if (n % 4 != 0) Diagnostic("The byte number of data isn't a multiple of 4.\n");
    const uint32_t stored = std::min<uint32_t>(n, static_cast<uint32_t>(reply.size()));
    std::memcpy(buffer.data() + total, reply.data(), std::min(stored, size - total));
    // A success that delivers nothing would repeat forever: it counts as a failed attempt.
    if (result == 0 && n > 0) {
      total += n;
      address += wordAddressed ? n / 4 : n;
    } else {
      errors += 1;
      Diagnostic("Read %08X Error(%d)..., Retry!!!\n", address, errors);
    }
  }
  bytesRead = total;
  return errors;
}

bool InstantModel::DetectChips() {
  std::array<uint8_t, 4> word{};
  uint32_t got = 0;
  const int32_t status =
      ReadWithRetry(device_, word, kAddrChipStatus, 4, got) < kReadAttempts ? word[3] : -1;

  word.fill(0);
  if (ReadWithRetry(device_, word, kAddrCascadeInfo, 4, got) >= kReadAttempts) return false;
  const int32_t slaves = word[0];
  // A cascade has at most seven slaves; chip indexes past slave 7 do not exist.
  if (slaves > kMaxSlaves) {
    Diagnostic("Chip detection: %d slaves reported, at most %d supported.\n", slaves, kMaxSlaves);
    return false;
  }
  detected_.Reset(slaves, kCascadeUnknown);
  detected_.singleChip = slaves == 0;

  if (status == kStatusMaster) {
    detected_.cascadeMode = kCascadeMasterWithSlaves;
  } else if (status == kStatusSlavesOnly) {
    detected_.cascadeMode = kCascadeSlavesOnly;
  } else if (status == kStatusSingle && detected_.singleChip) {
    detected_.cascadeMode = kCascadeSingleChip;
  } else {
    return false;
  }

  // Choosing a slave changes what every later command talks to: detection hands the
  // connection back to the master, whose raw mode and ready flag the frame cycle uses.
  bool slaveChosen = false;
  auto finish = [&](bool ok) {
    if (slaveChosen) io_.SetChipIndex(0);
    return ok;
  };
  for (int32_t i = 0; i <= slaves; ++i) {
    if (i > 0) {
      io_.SetChipIndex(i + 4);
      slaveChosen = true;
    } else if (status == kStatusMaster) {
      io_.SetChipIndex(kChipMaster);
    } else if (status == kStatusSlavesOnly) {
      continue;  // the master carries no sensor data
    }
    std::array<uint8_t, kChipStatusBytes> chipStatus{};
    std::array<uint8_t, kChipGeometryBytes> geometry{};
    if (ReadWithRetry(device_, chipStatus, kAddrChipStatus, kChipStatusBytes, got) >= kReadAttempts)
      return finish(false);
    if (ReadWithRetry(device_, geometry, kAddrChipGeometry, kChipGeometryBytes, got) >= kReadAttempts)
      return finish(false);
    const ChipInfo chip = ChipInfo::FromReplies(chipStatus, geometry);
    if (i > 0 && chip.chipIndex != i + 4) {
      // A slave names the index it was chosen by. Some connections (the Z3 bridge, HID over
      // I2C, the feature channel) carry commands to the master only: choosing a slave
      // changes nothing and the master answers in its place (a slaves-only master's status
      // 11 even looks like slave 7's index). Its lines shown once more as every slave's
      // would be a made-up panel.
      return finish(KeepReachableChips(i, chip.chipIndex));
    }
    detected_.chips.push_back(chip);
  }
  return finish(true);
}

bool InstantModel::KeepReachableChips(int32_t slave, int32_t answeredAs) {
  if (detected_.chips.empty()) {
    std::printf(
        "Chip detection: slave %d answers as chip %d; this connection reaches the "
        "master only, which carries no sensor data.\n",
        slave, answeredAs);
    std::fflush(stdout);
    return false;
  }
  std::printf(
      "Chip detection: slave %d answers as chip %d; this connection reaches the "
      "master only: showing the master's lines alone.\n",
      slave, answeredAs);
  std::fflush(stdout);
  detected_.chips.resize(1);
  detected_.slaveCount = 0;
  detected_.singleChip = true;
  detected_.cascadeMode = kCascadeSingleChip;
  return true;
}

bool InstantModel::SetChipOrder(std::string_view order) {
  auto& chips = detected_.chips;
  if (autoOrder_) {
    for (size_t i = 0; i < chips.size(); ++i) {
      for (size_t j = i + 1; j < chips.size(); ++j) {
        if (chips[i].position == chips[j].position) {
          io_.ReportToOS(device_, true, false);
          return false;
        }
      }
    }
    std::stable_sort(chips.begin(), chips.end(),
                     [](const ChipInfo& a, const ChipInfo& b) { return a.position < b.position; });
    return true;
  }

  const size_t count = chips.size();
  if (order.size() != count || count > 9) return false;
  std::array<bool, 10> seen{};
  for (const char c : order) {
    if (c < '1' || c > '0' + static_cast<int>(count) || seen[static_cast<size_t>(c - '0')]) return false;
    seen[static_cast<size_t>(c - '0')] = true;
  }
  std::vector<ChipInfo> ordered;
  for (const char c : order) {
    const int32_t d = c - '0';
    int32_t index = 0;
    switch (detected_.cascadeMode) {
      case kCascadeMasterWithSlaves: index = d == 1 ? kChipMaster : d + 3; break;
      case kCascadeSlavesOnly: index = d + 4; break;
      default: return false;
    }
    for (const ChipInfo& chip : chips) {
      if (chip.chipIndex == index) ordered.push_back(chip);
    }
  }
  if (ordered.empty()) return false;
  chips = std::move(ordered);
  return true;
}

bool InstantModel::CopyChipSet(const ChipSet& other) {
  // The whole set, not only its chips: the second source lays out the same panel, so it
  // needs the same single-chip flag and cascade mode.
  detected_.Reset(other.slaveCount, other.cascadeMode);
  detected_.singleChip = other.singleChip;
  detected_.chips = other.chips;
  return true;
}

}  // namespace pelorin
