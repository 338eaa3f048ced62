// Report descriptors used by the discovery tests: the layouts the classification knows.
#pragma once

#include <cstdint>
#include <vector>

namespace corlink::test {

using Bytes = std::vector<uint8_t>;

// One vendor-defined collection with an input and an output report of `count` bytes.
inline Bytes VendorPair(uint8_t in_id, uint8_t out_id, uint8_t count) {
  return {0x06, 0x00, 0xFF,  // usage page (vendor)
          0x09, 0x01,        // usage
          0xA1, 0x01,        // collection (application)
          0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,  // logical 0..255, 8 bits
          0x85, in_id, 0x09, 0x02, 0x95, count, 0x81, 0x02,    // input
          0x85, out_id, 0x09, 0x03, 0x95, count, 0x91, 0x02,   // output
          0xC0};
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A collection holding a 20-byte feature report 9 only (the feature channel).
inline Bytes FeatureOnly() {
  return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
          0x85, 0x09, 0x09, 0x04, 0x95, 0x13, 0xB1, 0x02, 0xC0};
}

}  // namespace corlink::test
