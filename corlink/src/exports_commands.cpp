// Maintenance exports: reset, calibration, firmware update, memory access, power and
// button mode, block CRC and the pass-through commands. Each dispatches on the current
// device type; the command bodies arrive with the device commands, until then every family
// answers with the export's failure value.
#include "corlink.h"
#include "export_guard.h"

using corlink::CommandFamily;
using corlink::CurrentFamily;
using corlink::Guarded;

extern "C" {

bool IO_CmdRead(int handle, uint8_t command, uint8_t* buffer, uint8_t* count) {
  (void)handle, (void)command, (void)buffer, (void)count;
  return Guarded(false, [&] {
    if (CurrentFamily() == CommandFamily::None)
      std::printf("Not support, type = %s\n", corlink::DeviceTypeName(corlink::State().device_type));
    return false;
  });
}

bool IO_CmdWrite(int handle, const uint8_t* packet) {
  (void)handle, (void)packet;
  return false;
}

int IO_I2cInterfaceTest(int handle) {
  (void)handle;
  return Guarded(-1, [&] {
    if (corlink::State().device_type != corlink::DEV_Z2_USB_BRG) {
      std::printf("Not Z2_USB_BRG device\n");
      return -2;
    }
    return -1;
  });
}

int IO_Reset(int handle) { (void)handle; return -1; }
int IO_ReCalibrate(int handle) { (void)handle; return -1; }
int IO_WaitReady(int handle) { (void)handle; return -1; }

void IO_GetUpdateFwUnit(uint32_t* unit_address, uint8_t* unit_length) {
  (void)unit_address, (void)unit_length;
}

int IO_UpdateFwInfo(int handle, uint32_t address, uint32_t length, uint8_t flag) {
  (void)handle, (void)address, (void)length, (void)flag;
  return -1;
}

int IO_UpdateFwData(int handle, const uint8_t* data, uint8_t length, uint16_t frame_id) {
  (void)handle, (void)data, (void)length, (void)frame_id;
  return -1;
}

int IO_UpdateFwDataFinish_Z5(int handle) {
  (void)handle;
  // Types without a branch succeed trivially, except an unrecognised device.
  if (CurrentFamily() == CommandFamily::None)
    return corlink::State().device_type == corlink::UNKNOWN ? -1 : 0;
  return -1;
}

int IO_GetBlockCRC(int handle, uint32_t address, uint32_t length, uint16_t parameter,
                   uint32_t* crc) {
  (void)handle, (void)address, (void)length, (void)parameter, (void)crc;
  return -1;
}

int IO_ReadWriteMemData(int handle, uint32_t address, uint32_t word2, uint32_t word3,
                        int32_t* out) {
  (void)handle, (void)address, (void)word2, (void)word3, (void)out;
  return -1;
}

int IO_ReadWriteSpecialMem(int handle, uint32_t address, int32_t* out) {
  return IO_ReadWriteMemData(handle, address, 0, 0, out);
}

int IO_ReadWritePowerMod(int handle, int32_t* mode) {
  (void)handle, (void)mode;
  return -1;
}

int IO_ReadButtonModeStatus(int handle, int32_t* status) {
  (void)handle, (void)status;
  return -1;
}

}  // extern "C"
