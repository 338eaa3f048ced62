// One description per chip family: how it is reached and what each command does on it.
//
// The library's device type selects a family once, from the table in family_table.cpp;
// the exports then call the family's entries. An empty entry means the family has no such
// command: the export returns its failure value. Adding a family is one file with its
// description and one row in the table.
#pragma once

#include <cstdint>

#include "commands/maintenance.h"
#include "library_state.h"
#include "transport/z1_protocol.h"

namespace corlink::commands {

struct Family {
  const char* name;

  // Raw data: stop and resume the chip's touch reports to the operating system, switch
  // what the chip serves (raw mode), read its data blocks. Results: 0 success; -1 failure;
  // -2 the retries ran out without a valid answer; -3 a Z3 chip refused with reason 1.
  int (*set_raw_mode)(int fd, int mode) = nullptr;
  bool (*report_to_os)(int fd, bool enable, bool skip_confirm, const char* device_path) = nullptr;
  int (*read_data)(int fd, uint32_t address, uint8_t* buffer, uint32_t* count) = nullptr;
  int (*burst_read)(int fd, uint32_t address, uint32_t length, uint8_t* buffer,
                    uint32_t* count) = nullptr;

  // IO_SetChipIndex: index 0 or 1 selects the master, any other that slave; the family
  // sets the device type and slave index that follow. Empty: the index changes nothing.
  void (*select_chip)(LibraryState& state, int index) = nullptr;

  const MaintenanceTable* maintenance = nullptr;
  FirmwareUnit firmware{};

  bool bridge_controls = false;  // the bridge reports of IO_*_ForBridge are taken
  bool interface_test = false;   // IO_I2cInterfaceTest is served
};

// The family of a device type; nullptr for a type the library has no commands for.
const Family* FamilyFor(int32_t type);
inline const Family* CurrentFamily() { return FamilyFor(State().device_type); }

// The Z1 set-mode exchange (0x85, acknowledged with id 0x5a31), on the feature channel or
// through the Z6 tunnel: the families of Z1 chips share it.
int Z1SetMode(const transport::Z1Link& link, uint8_t mode);

// The families, each described in its own file.
const Family& Z1FeatureFamily();   // Z1 chips on the feature channel
const Family& Z2BridgeFamily();    // the same behind a Z2 USB bridge, which adds its tests
const Family& Ep1BridgeFamily();   // the bridge that buffers data itself
const Family& Z6SlaveFamily();     // Z1 commands through a Z2 master to a Z6 slave
const Family& Z2LetterFamily();    // a Z2 master's letter commands
const Family& Z3UsbFamily();       // 64-byte reports
const Family& Z3BridgeFamily();    // 64-byte reports behind a Z3 bridge
const Family& HidOverI2cFamily();  // 58-byte reports
const Family& Z7SlaveFamily();     // the 0xB0 tunnel to a Z7 slave

}  // namespace corlink::commands
