// Bridge and hub exports. The bridge controls are one-shot feature reports to a USB-to-I2C
// bridge; the hub list ties recognised devices to USB ports. Their bodies arrive with the
// bridge and hub functions; until then the bridge exports fail and the hub list is empty.
#include <cstring>

#include "corlink.h"
#include "export_guard.h"

using corlink::State;

namespace {

CorlinkHubDevice* EmptyRecord(CorlinkHubDevice* out) {
  if (out == nullptr) return out;
  std::memset(out, 0, sizeof *out);
  out->hub_position = out->hub_index = out->port_number = -1;
  return out;
}

}  // namespace

extern "C" {

int IO_ChgModeToZ1_ForBridge(int handle) { (void)handle; return -1; }
int IO_ChgModeToZ1orZ5_ForBridge(int handle, bool toZ1) { (void)handle, (void)toZ1; return -1; }
int IO_ChgModeToAny_ForBridge(int handle, uint16_t product_id) {
  (void)handle, (void)product_id;
  return -1;
}
int IO_Reset_ForBridge(int handle) { (void)handle; return -1; }

int IO_Refresh_ForHub(void) {
  State().reinstall_flag = 0;
  return 0;
}

int IO_GetDeviceSize_ForHub(void) { return 0; }

void IO_GetDeviceList_ForHub(CorlinkHubDevice* out, int count) { (void)out, (void)count; }

CorlinkHubDevice* IO_GetDeviceByPath_ForHub(CorlinkHubDevice* out, const char* path) {
  (void)path;
  return EmptyRecord(out);
}

CorlinkHubDevice* IO_GetDeviceByPort_ForHub(CorlinkHubDevice* out, int port, int hub_position) {
  (void)port, (void)hub_position;
  return EmptyRecord(out);
}

int IO_SetAutoChangeToZ1_ForHub(int selector) {
  State().auto_change_flag = selector != 0 ? 1 : 0;
  if (selector != 0) State().auto_change_program = selector;
  return selector;
}

}  // extern "C"

static_assert(sizeof(CorlinkHubDevice) == 1036, "the exported hub record is 1036 bytes");
