#include "discovery/device_match.h"

#include <cstdio>
#include <cstring>

#include "device_type.h"

namespace corlink {

namespace {

DeviceMatchEntry g_builtin[kBuiltinTableSize] = {
    {"ven_8086&dev_2930", 0x8086, 0x2930, 4, DEV_Z2_I2C, 1},
    {"ven_8086&dev_27da", 0x8086, 0x27da, 4, DEV_Z2_I2C, 1},
    {"ven_8086&dev_3a30", 0x8086, 0x3a30, 4, DEV_Z2_I2C, 1},
    {"ven_8086&dev_3b30", 0x8086, 0x3b30, 4, DEV_Z2_I2C, 1},
    {"ven_8086&dev_266a", 0x8086, 0x266a, 4, DEV_Z2_I2C, 1},
    {"vid_5e1a&pid_3a01", 0x5e1a, 0x3a01, 4, DEV_Z2_USB_BRG, 1},
    {"vid_6b3e&pid_3a01", 0x6b3e, 0x3a01, 4, DEV_Z2_USB_BRG, 1},
    {"vid_6b3e&pid_3a02", 0x6b3e, 0x3a02, 4, DEV_Z2_USB_BRG, 1},
    {"vid_6b3e&pid_3a03", 0x6b3e, 0x3a03, 4, DEV_Z2_I2C_MASTER, 1},
    {"vid_6b3e&pid_3a04", 0x6b3e, 0x3a04, 4, DEV_Z2_USB, 1},
    {"vid_6b3e&pid_3a05", 0x6b3e, 0x3a05, 4, DEV_Z2_USB, 1},
    {"vid_266e&pid_0100", 0x266e, 0x0100, 4, DEV_Z2_USB, 1},
    {"vid_6b3e&pid_3a06", 0x6b3e, 0x3a06, 4, DEV_Z3_USB, 1},
    {"vid_6b3e&pid_3a06", 0x6b3e, 0x3a06, 2, DEV_Z3_USB, 1},
    {"vid_6b3e&pid_3a07", 0x6b3e, 0x3a07, 4, DEV_Z3_USB_BRG, 1},
    {"vid_6b3e&pid_3a08", 0x6b3e, 0x3a08, 4, DEV_SPI, 1},
};

}  // namespace

DeviceMatchEntry* BuiltinTable() { return g_builtin; }

void CollectionString(int32_t collection, char* out, size_t size) {
  std::snprintf(out, size, "col%02d", static_cast<int>(collection));
}

bool PathMatches(const DeviceMatchEntry& row, const char* path) {
  char col[16];
  CollectionString(row.collection, col, sizeof col);
  return std::strstr(path, row.pattern) != nullptr && std::strstr(path, col) != nullptr;
}

}  // namespace corlink
