/* Uses the installed library the way a C host does: header, link, a call at run time. */
#include <corlink.h>
#include <stdio.h>

int main(void) {
  /* No device is open: the library knows no device type yet. */
  IO_SetVerbose(0);
  int type = IO_GetDeviceType();
  printf("corlink device type %d\n", type);
  return type == 0 ? 0 : 1;
}
