/* Corlink: touch-controller access over HID. Plain C interface. */
#ifndef CORLINK_H
#define CORLINK_H

#include <stdint.h>

#if defined(CORLINK_BUILDING)
#define CORLINK_API __attribute__((visibility("default")))
#else
#define CORLINK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Current DeviceType of the library (0 = NOT_SET before any open). */
CORLINK_API int IO_GetDeviceType(void);

#ifdef __cplusplus
}
#endif

#endif /* CORLINK_H */
