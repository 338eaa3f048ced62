// A small HID report-descriptor parser: just enough to tell how a device lays out its
// reports, collection by collection.
//
// For each top-level collection it lists the input, output and feature entries the way
// the platform's HID capability queries count them:
//   - one entry per button capability: an array item, or a variable item of 1-bit fields
//     with logical range 0..1; a usage range counts as one capability, so does each single
//     usage (an item without usages gives one);
//   - one entry per value usage: a value item with a usage range gives one entry per
//     usage; the fields of the item are shared out as the HID rules say (one field per
//     usage, the last usage taking the fields left over).
// Constant (padding) items give no entry.
//
// The descriptor comes from the device, so it is outside input: every read is bounded, the
// number of entries per collection is capped, and malformed input is rejected with a
// message instead of being guessed at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hid/hid_port.h"

namespace corlink::hid {

struct ParsedDescriptor {
  bool ok = false;
  std::string error;  // why the descriptor was rejected (empty when ok)
  std::vector<Collection> collections;
};

// Upper bounds that keep a hostile descriptor from costing much.
inline constexpr size_t kMaxEntriesPerCollection = 1024;
inline constexpr size_t kMaxCollections = 64;
inline constexpr size_t kMaxDescriptorSize = 4096;  // the kernel's HID_MAX_DESCRIPTOR_SIZE

ParsedDescriptor ParseReportDescriptor(const uint8_t* data, size_t size);

}  // namespace corlink::hid
