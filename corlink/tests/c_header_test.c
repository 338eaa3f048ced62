/* The public header used from C: it compiles as C11 and a few calls behave. */
#include <stdio.h>
#include <string.h>

#include "corlink.h"

static int failures = 0;

#define CHECK(cond)                                            \
  do {                                                         \
    if (!(cond)) {                                             \
      fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                              \
    }                                                          \
  } while (0)

int main(void) {
  char path[] = "/dev/hidraw9#VID_6B3E&PID_3A06&COL02";
  char stored[512];
  uint16_t vid = 1, pid = 1;
  CorlinkHubDevice hub;

  CHECK(IO_GetDeviceType() == CORLINK_NOT_SET);
  CHECK(IO_GetDeviceTypeByPath(path) == CORLINK_DEV_Z3_USB);
  CHECK(strcmp(path, "/dev/hidraw9#vid_6b3e&pid_3a06&col02") == 0);
  IO_SetVerbose(0);
  IO_SetRetryValue(5, 200);
  IO_GetVidPiD(&vid, &pid);
  CHECK(vid == 0 && pid == 0);
  IO_GetDevicePath(stored);
  CHECK(stored[0] == '\0');
  CHECK(IO_IsNeedReInstall() == 0);
  CHECK(IO_GetDeviceByPath_ForHub(&hub, "x") == &hub);
  CHECK(hub.port_number == -1 && hub.device_path[0] == '\0');
  CHECK(sizeof(CorlinkHubDevice) == 1036);
  IO_SetChipIndex(0);
  CHECK(IO_GetDeviceType() == CORLINK_NOT_SET);
  if (failures == 0) printf("corlink C interface: ok\n");
  return failures == 0 ? 0 : 1;
}
