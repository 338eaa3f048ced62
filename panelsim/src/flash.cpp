#include "panelsim/flash.h"

namespace panelsim {

const std::vector<Flash::Region>& Flash::Regions() {
  static const std::vector<Region> regions = {{0x00000000u, 256u * 1024u, "main"},
                                              {0x00100000u, 4096u, "info"}};
  return regions;
}

Flash::Flash() {
  for (const Region& r : Regions()) banks_.emplace_back(r.size, 0xFF);
}

uint8_t* Flash::At(uint32_t address) {
  const auto& regions = Regions();
  for (size_t i = 0; i < regions.size(); ++i) {
    const uint64_t offset = static_cast<uint64_t>(address) - regions[i].base;
    if (address >= regions[i].base && offset < regions[i].size) return &banks_[i][offset];
  }
  return nullptr;
}

bool Flash::Covers(uint32_t address) const { return const_cast<Flash*>(this)->At(address) != nullptr; }

bool Flash::Contains(uint32_t address, uint32_t length) const {
  for (const Region& r : Regions()) {
    if (address >= r.base && static_cast<uint64_t>(address) + length <= static_cast<uint64_t>(r.base) + r.size)
      return true;
  }
  return false;
}

uint8_t Flash::Read(uint32_t address) const {
  const uint8_t* p = const_cast<Flash*>(this)->At(address);
  return p ? *p : 0;
}

void Flash::Erase(uint32_t address, uint32_t length) {
  for (uint64_t a = address; a < static_cast<uint64_t>(address) + length && a <= 0xFFFFFFFFu; ++a) {
    if (uint8_t* p = At(static_cast<uint32_t>(a))) *p = 0xFF;
  }
}

size_t Flash::Program(uint32_t address, const uint8_t* data, size_t n) {
  size_t done = 0;
  for (size_t i = 0; i < n && static_cast<uint64_t>(address) + i <= 0xFFFFFFFFu; ++i) {
    if (uint8_t* p = At(static_cast<uint32_t>(address + i))) {
      *p = data[i];
      ++done;
    }
  }
  return done;
}

}  // namespace panelsim
