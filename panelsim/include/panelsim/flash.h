// The program flash of one emulated chip: a few regions at fixed addresses, erased to
// 0xFF. A firmware update erases the range it announces and programs the data frames
// into it; the block CRC and the memory reads see the bytes.
//
//   main   0x00000000, 256 KiB   the firmware image (hosts start it at 0x3000 or 0x4000)
//   info   0x00100000, 4 KiB     configuration words
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace panelsim {

class Flash {
 public:
  struct Region {
    uint32_t base;
    uint32_t size;
    const char* name;
  };
  static const std::vector<Region>& Regions();

  Flash();

  // True when address lies in a region.
  bool Covers(uint32_t address) const;
  // True when the whole range [address, address + length) lies in one region.
  bool Contains(uint32_t address, uint32_t length) const;
  // The byte at address (0xFF where erased); 0 outside every region.
  uint8_t Read(uint32_t address) const;
  // Erases the part of the range that lies in a region.
  void Erase(uint32_t address, uint32_t length);
  // Programs n bytes from address; bytes outside every region are dropped. Returns the
  // bytes programmed.
  size_t Program(uint32_t address, const uint8_t* data, size_t n);

 private:
  uint8_t* At(uint32_t address);
  std::vector<std::vector<uint8_t>> banks_;
};

}  // namespace panelsim
