/*
 * Corlink: access to touch-controller chips over HID. Plain C interface.
 *
 * Every function works on one process-wide library state: the device opened last, its
 * device type and a few settings. The library is not re-entrant: issue commands from one
 * thread at a time. Open first (IO_OpenDevice or IO_OpenDeviceByPath); every command
 * dispatches on the type that opening set.
 *
 * Handles. A device handle is a plain file descriptor (int), -1 on failure. It belongs to
 * the caller, who releases it with close(); the library keeps only the device path and
 * type.
 *
 * Results. 0 success, -1 failure or a device type without that command, -2 retries used
 * up (or the chip kept refusing), -3 a Z3 chip refusing with reason 1; functions typed
 * bool give true on success.
 *
 * Device paths. Discovery lists one path per HID top-level collection:
 *
 *     <node>#vid_%04x&pid_%04x              a device with one top-level collection
 *     <node>#vid_%04x&pid_%04x&col%02d      each collection of a device with several,
 *                                           numbered from 1 in descriptor order
 *
 * <node> is a hidraw node ("/dev/hidraw3") or the socket file of an emulated device in
 * the folder $CORLINK_VIRTUAL_DIR (else $XDG_RUNTIME_DIR/corlink, else /tmp/corlink-<uid>).
 * The ids are lower-case hex. Any such path can be given to IO_OpenDeviceByPath; the part
 * from '#' on only names the collection (a bare node will do for a device with one). The custom device list "qortouch.ini" in the
 * working directory matches rows against these paths ("vid_6b3e&pid_3a06" and "col02").
 */
#ifndef CORLINK_H
#define CORLINK_H

#include <stdbool.h>
#include <stdint.h>

#if defined(CORLINK_BUILDING)
#define CORLINK_API __attribute__((visibility("default")))
#else
#define CORLINK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Device types (the declare argument of IO_OpenDevice, the result of IO_GetDeviceType). */
enum {
  CORLINK_NOT_SET = 0,
  CORLINK_UNKNOWN = 1,
  CORLINK_DEV_Z2_I2C = 2,
  CORLINK_DEV_Z3_I2C = 3,
  CORLINK_DEV_Z2_USB_BRG = 4,
  CORLINK_DEV_Z2_I2C_MASTER = 5,
  CORLINK_DEV_Z3_USB_BRG = 6,
  CORLINK_DEV_Z3_I2C_MASTER = 7,
  CORLINK_DEV_Z2_USB = 8,
  CORLINK_DEV_Z3_USB = 9,
  CORLINK_DEV_SPI = 10,
  CORLINK_DEV_Z3_HID_OVER_I2C = 11,
  CORLINK_DEV_USB_Z6SLAVE = 12,
  CORLINK_DEV_USB_Z7SLAVE = 13,
  CORLINK_DEV_USB_BRG_EP1 = 14
};

/* Results of the int-typed commands. */
enum {
  CORLINK_OK = 0,
  CORLINK_ERR_FAILED = -1,  /* failure, or a device type without that command */
  CORLINK_ERR_RETRIES = -2, /* retries used up, or the chip kept refusing */
  CORLINK_ERR_REFUSED = -3  /* a Z3 chip refusing with reason 1 */
};

/* One device of the hub list (1036 bytes). Strings are terminated; a number not known
 * is -1. */
typedef struct CorlinkHubDevice {
  char driver_key_name[512];
  char device_path[512];
  int32_t hub_position;
  int32_t hub_index;
  int32_t port_number;
} CorlinkHubDevice;

/* ---- Opening and the library state ---------------------------------------------------- */

/* One program at a time per panel. Opening a device takes an exclusive lock on it (flock
 * on the hidraw node; on "<socket>.lock" beside an emulated device's socket). While one
 * process holds a device, another's open fails: -1 with errno EBUSY, and the library
 * prints on standard output
 *     DEVICE: <node> is in use by process <pid> (<program>); one program at a time may use a panel.
 * ("by another program" where the holder cannot be found). The same process may open a
 * device it holds again, also without closing its earlier handle: it gets another handle
 * of the same open file. The lock ends as soon as the process has closed every handle of
 * the device (or when an emulated device's connection ends otherwise). A program that opens
 * a panel its previous user has just closed is let in: it waits for the lock up to half a
 * second before reporting the panel in use.
 *
 * On -1, errno tells why: EBUSY in use (by another process, or held exclusively by another
 * driver: then IO_IsNeedReInstall is 1 too), ENODEV no device found (or, for
 * IO_OpenDevice, none of the declared type), EACCES no permission, else the open's error. */

/* Finds a controller and opens it. declare: a device type to insist on, 0 for any.
 * Returns the handle, or -1 (nothing found, in use, or the type found differs from
 * declare); see above for errno. */
CORLINK_API int IO_OpenDevice(int declare);
/* Opens one device path; the type is taken from the path even when the open fails. */
CORLINK_API int IO_OpenDeviceByPath(const char *path);
/* Current device type (0 = NOT_SET before any open). */
CORLINK_API int IO_GetDeviceType(void);
/* Type of a device path, UNKNOWN (1) if nothing matches; may lower-case path in place. */
CORLINK_API int IO_GetDeviceTypeByPath(char *path);
/* Chooses the chip of a cascade: 0 or 1 the master, 2 and up a slave. */
CORLINK_API void IO_SetChipIndex(int index);
/* 0 quiet, 1 packet dumps, 2 also the CRC trace. */
CORLINK_API void IO_SetVerbose(int level);
/* Retry count and delay (ms) for every transport family. */
CORLINK_API void IO_SetRetryValue(int count, int delay_ms);
/* Copies the path of the device opened last; out holds at least 512 bytes. */
CORLINK_API void IO_GetDevicePath(char *out);
/* Vendor and product id of the device recognised last by its report layout. */
CORLINK_API void IO_GetVidPiD(uint16_t *vid, uint16_t *pid);
/* 1 when a device could not be opened because another program holds it. */
CORLINK_API int IO_IsNeedReInstall(void);
CORLINK_API void IO_ClearReInstallFlag(void);

/* ---- Raw data ------------------------------------------------------------------------- */

CORLINK_API bool IO_ReportToOS(int handle, bool enable, bool skipConfirm);
CORLINK_API int IO_SetRawMode(int handle, int mode);
/* buffer holds at least 52 bytes; *count receives the bytes stored. */
CORLINK_API int IO_ReadData(int handle, uint32_t address, uint8_t *buffer, uint32_t *count);
CORLINK_API int IO_BurstReadData(int handle, uint32_t address, uint32_t length, uint8_t *buffer,
                                 uint32_t *count);

/* ---- Other device commands ------------------------------------------------------------ */

CORLINK_API bool IO_CmdRead(int handle, uint8_t command, uint8_t *buffer, uint8_t *count);
/* packet: command, payload length, payload. */
CORLINK_API bool IO_CmdWrite(int handle, const uint8_t *packet);
CORLINK_API int IO_I2cInterfaceTest(int handle);
CORLINK_API int IO_Reset(int handle);
CORLINK_API int IO_ReCalibrate(int handle);
CORLINK_API int IO_WaitReady(int handle);
CORLINK_API void IO_GetUpdateFwUnit(uint32_t *unit_address, uint8_t *unit_length);
CORLINK_API int IO_UpdateFwInfo(int handle, uint32_t address, uint32_t length, uint8_t flag);
CORLINK_API int IO_UpdateFwData(int handle, const uint8_t *data, uint8_t length,
                                uint16_t frame_id);
CORLINK_API int IO_UpdateFwDataFinish_Z5(int handle);
CORLINK_API int IO_GetBlockCRC(int handle, uint32_t address, uint32_t length, uint16_t parameter,
                               uint32_t *crc);
/* out holds 16 bytes on Z3 types. */
CORLINK_API int IO_ReadWriteMemData(int handle, uint32_t address, uint32_t word2, uint32_t word3,
                                    int32_t *out);
CORLINK_API int IO_ReadWriteSpecialMem(int handle, uint32_t address, int32_t *out);
CORLINK_API int IO_ReadWritePowerMod(int handle, int32_t *mode);
CORLINK_API int IO_ReadButtonModeStatus(int handle, int32_t *status);

/* ---- Bridge and hub ------------------------------------------------------------------- */

/* Bridge controls work on DEV_Z2_USB_BRG and DEV_USB_BRG_EP1 only (-1 and nothing sent
 * for any other type); 0 when the bridge took the report. */

/* Target codes of IO_ChgModeToZ1orZ5_ForBridge ('I' and 'R' are the same report's new
 * product id and reset). */
enum {
  CORLINK_BRIDGE_TARGET_Z1 = 0x31, /* '1' */
  CORLINK_BRIDGE_TARGET_Z5 = 0x35  /* '5' */
};

/* The hub list ties recognised touch devices to the USB port they hang on: hub_position
 * is the hub's place in the last refresh's walk, hub_index its place in a table that keeps
 * it while the hub stays present, port_number the port (1 and up). driver_key_name is the
 * sysfs path of the device's USB node (stable while it stays on its port), or
 * "virtual:<location>" for an emulated device started with a port location.
 * IO_Refresh_ForHub walks /sys/bus/usb/devices ($CORLINK_SYSFS_ROOT instead of /sys when
 * set). With auto-change on (the default, selector 3) a device in the Z5 mode (vid 6b3e,
 * pid 3a02, collection 4) is not listed: the refresh runs a mode-change program from the
 * folder ./ChangeMode and waits for it: selector 1 ChgToZ1Mode, 2 ChangeModeNew, any
 * other ChangeModeAny (each also tried with ".exe"). */

CORLINK_API int IO_ChgModeToZ1_ForBridge(int handle);
CORLINK_API int IO_ChgModeToZ1orZ5_ForBridge(int handle, bool toZ1);
CORLINK_API int IO_ChgModeToAny_ForBridge(int handle, uint16_t product_id);
CORLINK_API int IO_Reset_ForBridge(int handle);
CORLINK_API int IO_Refresh_ForHub(void);
CORLINK_API int IO_GetDeviceSize_ForHub(void);
CORLINK_API void IO_GetDeviceList_ForHub(CorlinkHubDevice *out, int count);
CORLINK_API CorlinkHubDevice *IO_GetDeviceByPath_ForHub(CorlinkHubDevice *out, const char *path);
CORLINK_API CorlinkHubDevice *IO_GetDeviceByPort_ForHub(CorlinkHubDevice *out, int port,
                                                        int hub_position);
CORLINK_API int IO_SetAutoChangeToZ1_ForHub(int selector);

#ifdef __cplusplus
}
#endif

#endif /* CORLINK_H */
