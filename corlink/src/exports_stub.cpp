// Placeholder until the library state lands.
#include "corlink.h"

extern "C" int IO_GetDeviceType(void) { return 0; }
