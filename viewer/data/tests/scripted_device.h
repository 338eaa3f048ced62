// A scripted cascade of chips behind the five device calls of the live model: chip
// status and geometry replies, data blocks per region, replies of a chosen size and
// failures on demand. Single-threaded: the calls come from one thread at a time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "data/device_io.h"

namespace pelorin::testing {

struct FakeChip {
  uint8_t index = 0;     // chip index, status byte 3
  uint8_t position = 0;
  uint8_t drive = 0;
  uint8_t sense = 0;
  uint8_t lead = 0;
  uint8_t tail = 0;
  uint8_t overlapIncluded = 0;
  // Region address (0x5?000000) -> the chip's whole block.
  std::map<uint32_t, std::vector<uint8_t>> blocks;
};

class ScriptedDevice {
 public:
  uint8_t cascadeStatus = 0;  // byte 3 of the status read before any chip is chosen
  std::vector<FakeChip> chips;
  uint32_t replyBytes = 52;   // bytes per ReadData reply
  int failNext = 0;           // so many coming reads fail
  int zeroNext = 0;           // so many coming reads succeed with no bytes
  std::map<int, int> failChip;  // chip index -> so many of its coming data reads fail
  bool masterOnly = false;      // the connection reaches the master only: choosing a slave
                                // is taken note of and changes nothing

  // What the model did.
  std::vector<int> chipIndexCalls;
  std::vector<uint32_t> readAddresses;
  std::vector<std::pair<bool, bool>> reportToOsCalls;

  DeviceIo Io() {
    DeviceIo io;
    io.OpenDevice = [](int) { return 7; };
    io.ReportToOS = [this](int, bool enable, bool skip) {
      reportToOsCalls.emplace_back(enable, skip);
      return true;
    };
    io.SetRawMode = [](int, int) { return 0; };
    io.SetChipIndex = [this](int index) {
      chipIndexCalls.push_back(index);
      current_ = masterOnly ? 1 : index;
    };
    io.ReadData = [this](int, uint32_t address, uint8_t* buffer, uint32_t* count) {
      return Read(address, buffer, count);
    };
    return io;
  }

  // As after power-up: no chip chosen.
  void Deselect() { current_ = -1; }

  FakeChip* Current() {
    for (FakeChip& chip : chips) {
      if (chip.index == current_ || (current_ == 0 && chip.index == 1)) return &chip;
    }
    return nullptr;
  }

 private:
  int Read(uint32_t address, uint8_t* buffer, uint32_t* count) {
    readAddresses.push_back(address);
    if (failNext > 0) {
      --failNext;
      *count = 0;
      return -2;
    }
    if (zeroNext > 0) {
      --zeroNext;
      *count = 0;
      return 0;
    }
    std::vector<uint8_t> reply;
    // A single chip answers as itself without being chosen.
    const bool single = cascadeStatus == 0 && chips.size() == 1;
    FakeChip* chip = current_ >= 0 ? Current() : single ? &chips[0] : nullptr;
    if (address == 0xA000C024) {
      if (chip == nullptr) {
        reply = {0, 0, 0, cascadeStatus};
      } else {
        reply = {0, 0, 0, chip->index, 0, chip->position, chip->overlapIncluded,
                 static_cast<uint8_t>(chip->lead << 4 | chip->tail)};
      }
    } else if (address == 0xA000C028) {
      const bool masterSenses = cascadeStatus != 11;
      reply = {static_cast<uint8_t>(chips.size() - (masterSenses ? 1 : 0)), 0, 0, 0};
    } else if (address == 0x5A000000 && chip != nullptr) {
      reply = {0, chip->drive, chip->sense, 0};
    } else if (chip != nullptr) {
      if (failChip[chip->index] > 0) {
        --failChip[chip->index];
        *count = 0;
        return -2;
      }
      const uint32_t region = address & 0xFF000000u;
      const auto it = chip->blocks.find(region);
      if (it == chip->blocks.end()) return -1;
      const size_t offset = static_cast<size_t>(address - region) * 4;
      if (offset >= it->second.size()) return -1;
      const size_t n = std::min<size_t>(replyBytes, it->second.size() - offset);
      reply.assign(it->second.begin() + static_cast<std::ptrdiff_t>(offset),
                   it->second.begin() + static_cast<std::ptrdiff_t>(offset + n));
    } else {
      return -1;
    }
    std::copy(reply.begin(), reply.end(), buffer);
    *count = static_cast<uint32_t>(reply.size());
    return 0;
  }

  int current_ = -1;
};

// A block of drive rows of stride bytes (sense rounded up to 4), cell (r, k) = f(r, k),
// padding bytes `pad`.
template <typename F>
std::vector<uint8_t> MakeBlock(int drive, int sense, F f, uint8_t pad = 0) {
  const int stride = (sense + 3) & ~3;
  std::vector<uint8_t> block(static_cast<size_t>(drive * stride), pad);
  for (int r = 0; r < drive; ++r) {
    for (int k = 0; k < sense; ++k) block[static_cast<size_t>(r * stride + k)] = static_cast<uint8_t>(f(r, k));
  }
  return block;
}

}  // namespace pelorin::testing
