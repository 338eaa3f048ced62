// The user's custom device list, "qortouch.ini" in the working directory.
//
// The file is read at most once per process (at the first discovery or classification);
// when it yields at least one row, those rows replace the built-in table everywhere.
//
// Format, line by line (lines up to 1023 characters; ';' starts a comment):
//   [section]                  the type of the rows that follow, e.g. [z3_usb]
//   vid_6b3e&pid_3a06 col02    a row: pattern (up to ',') and collection (default 4)
//   ven_8086&dev_2930          a row for an SMBus controller
// Rows before any section take their type from the ids.
#pragma once

#include <cstddef>
#include <cstdint>

#include "discovery/device_match.h"

namespace corlink {

inline constexpr int kMaxCustomEntries = 128;

struct CustomList {
  DeviceMatchEntry entries[kMaxCustomEntries];
  int count;
  bool loaded;
};

// The process's custom list; loaded from "qortouch.ini" on first use.
CustomList& LoadCustomList();

// Parses the text of a custom list into list (count and entries; messages go to the log sink).
void ParseCustomList(const char* text, size_t size, CustomList& list);

// Type of a section name or of a row's ids (UNKNOWN, with its message, when neither fits).
int32_t TypeOfSection(const char* name);
int32_t TypeOfIds(int32_t vendor_id, int32_t product_id);

// Forgets the loaded list so that the next use reads the file again (tests only).
void ResetCustomListForTest();

}  // namespace corlink
