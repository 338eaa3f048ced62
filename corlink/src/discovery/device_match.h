// Device match rows: the built-in table of known controllers and the rows of the user's
// custom list share one layout. A device path matches a row when it contains the row's
// pattern and "col%02d" of the row's collection.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corlink {

struct DeviceMatchEntry {
  char pattern[256];     // lower-case substring of a device path, e.g. "vid_6b3e&pid_3a06"
  int32_t vendor_id;
  int32_t product_id;
  int32_t collection;    // HID top-level collection number
  int32_t device_type;   // DeviceType given to a matching device
  uint8_t enabled;       // takes part in opening (the declared-type filter)
};

inline constexpr size_t kBuiltinTableSize = 16;

// The built-in table, in matching priority order. Mutable only for the enabled flags.
DeviceMatchEntry* BuiltinTable();

// Writes "col%02d" of a collection number into out (always terminated).
void CollectionString(int32_t collection, char* out, size_t size);

// True when path contains both the row's pattern and its collection string.
bool PathMatches(const DeviceMatchEntry& row, const char* path);

}  // namespace corlink
