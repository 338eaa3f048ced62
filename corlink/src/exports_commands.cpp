// Maintenance exports: reset, calibration, firmware update, memory access, power and
// button mode, block CRC and the pass-through commands. Each looks up the maintenance
// table of the current device type's family; a type without a table, or a family without
// the command, gets the export's failure value.
#include "commands/family.h"
#include "commands/maintenance.h"
#include "corlink.h"
#include "export_guard.h"
#include "library_state.h"
#include "log_sink.h"
#include "transport/feature_channel.h"
#include "transport/log.h"

using corlink::Guarded;
using corlink::Log;
using corlink::State;
using corlink::commands::CurrentFamily;
using corlink::commands::Family;
using corlink::commands::MaintenanceTable;

namespace {

const MaintenanceTable* TableOfCurrentType() {
  const Family* family = CurrentFamily();
  return family ? family->maintenance : nullptr;
}

// Calls the command the current family's table has in `entry`, or returns failure.
template <class R, class Entry, class... Args>
R Dispatch(Entry MaintenanceTable::*entry, R failure, int handle, Args... args) {
  return Guarded(failure, [&] {
    const MaintenanceTable* table = TableOfCurrentType();
    if (table == nullptr || table->*entry == nullptr) return failure;
    return static_cast<R>((table->*entry)(handle, args...));
  });
}

constexpr uint8_t kOpInterfaceTest = 0xD4;

}  // namespace

extern "C" {

bool IO_CmdRead(int handle, uint8_t command, uint8_t* buffer, uint8_t* count) {
  if (buffer == nullptr || count == nullptr) return false;
  if (TableOfCurrentType() == nullptr) {
    Log("Not support, type = %s\n", corlink::DeviceTypeName(State().device_type));
    return false;
  }
  return Dispatch<bool>(&MaintenanceTable::cmd_read, false, handle, command, buffer, count);
}

bool IO_CmdWrite(int handle, const uint8_t* packet) {
  if (packet == nullptr) return false;
  return Dispatch<bool>(&MaintenanceTable::cmd_write, false, handle, packet);
}

int IO_I2cInterfaceTest(int handle) {
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&]() -> int {
    const Family* family = CurrentFamily();
    if (family == nullptr || !family->interface_test) {
      Log("Not Z2_USB_BRG device\n");
      return CORLINK_ERR_RETRIES;
    }
    uint8_t report[corlink::transport::kFeatureReportSize] = {};
    report[0] = corlink::transport::kFeatureReportId;
    report[1] = kOpInterfaceTest;
    corlink::transport::DumpPacket("W: ", report, 2);
    if (!corlink::transport::FeatureGetOpcode(handle, kOpInterfaceTest, report)) {
      Log("Hid GetFeature Fail\n");
      return CORLINK_ERR_FAILED;
    }
    corlink::transport::DumpPacket("R: ", report, 12);
    if (report[0] == 0x09 && report[1] == kOpInterfaceTest && report[2] == 0x10)
      return static_cast<int>(report[11]);
    return CORLINK_ERR_FAILED;
  });
}

int IO_Reset(int handle) {
  return Dispatch<int>(&MaintenanceTable::reset, CORLINK_ERR_FAILED, handle);
}

int IO_ReCalibrate(int handle) {
  return Dispatch<int>(&MaintenanceTable::recalibrate, CORLINK_ERR_FAILED, handle);
}

int IO_WaitReady(int handle) {
  return Dispatch<int>(&MaintenanceTable::wait_ready, CORLINK_ERR_FAILED, handle);
}

void IO_GetUpdateFwUnit(uint32_t* unit_address, uint8_t* unit_length) {
  const Family* family = CurrentFamily();
  const corlink::commands::FirmwareUnit unit =
      family ? family->firmware : corlink::commands::FirmwareUnit{0xFFFFFFFFu, 255};
  if (unit_address) *unit_address = unit.address;
  if (unit_length) *unit_length = unit.length;
}

int IO_UpdateFwInfo(int handle, uint32_t address, uint32_t length, uint8_t flag) {
  return Dispatch<int>(&MaintenanceTable::update_info, CORLINK_ERR_FAILED, handle, address, length,
                       flag);
}

int IO_UpdateFwData(int handle, const uint8_t* data, uint8_t length, uint16_t frame_id) {
  if (data == nullptr) return CORLINK_ERR_FAILED;
  return Dispatch<int>(&MaintenanceTable::update_data, CORLINK_ERR_FAILED, handle, data, length,
                       frame_id);
}

int IO_UpdateFwDataFinish_Z5(int handle) {
  // Families without a finish command have nothing to finish, unless the device is unknown.
  const MaintenanceTable* table = TableOfCurrentType();
  if (table == nullptr || table->update_finish == nullptr)
    return State().device_type == corlink::UNKNOWN ? CORLINK_ERR_FAILED : CORLINK_OK;
  return Dispatch<int>(&MaintenanceTable::update_finish, CORLINK_ERR_FAILED, handle);
}

int IO_GetBlockCRC(int handle, uint32_t address, uint32_t length, uint16_t parameter,
                   uint32_t* crc) {
  if (crc == nullptr) return CORLINK_ERR_FAILED;
  return Dispatch<int>(&MaintenanceTable::block_crc, CORLINK_ERR_FAILED, handle, address, length,
                       parameter, crc);
}

int IO_ReadWriteMemData(int handle, uint32_t address, uint32_t word2, uint32_t word3,
                        int32_t* out) {
  if (out == nullptr) return CORLINK_ERR_FAILED;
  return Dispatch<int>(&MaintenanceTable::memory, CORLINK_ERR_FAILED, handle, address, word2, word3,
                       out);
}

int IO_ReadWriteSpecialMem(int handle, uint32_t address, int32_t* out) {
  return IO_ReadWriteMemData(handle, address, 0, 0, out);
}

int IO_ReadWritePowerMod(int handle, int32_t* mode) {
  if (mode == nullptr) return CORLINK_ERR_FAILED;
  return Dispatch<int>(&MaintenanceTable::power_mode, CORLINK_ERR_FAILED, handle, mode);
}

int IO_ReadButtonModeStatus(int handle, int32_t* status) {
  if (status == nullptr) return CORLINK_ERR_FAILED;
  return Dispatch<int>(&MaintenanceTable::button_mode, CORLINK_ERR_FAILED, handle, status);
}

}  // extern "C"
