// The operations on the library state behind the exported interface: opening, the device
// type and chip index, and the small settings. The exports are thin shims over these.
#pragma once

#include <cstdint>

namespace corlink {

int OpenDevice(int32_t declare);
int OpenDeviceByPath(const char* path);
int32_t GetDeviceTypeByPath(char* path);
void SetChipIndex(int index);
void GetDevicePath(char* out);
void GetVidPid(uint16_t* vid, uint16_t* pid);

}  // namespace corlink
