#include "bridge/bridge.h"

#include "commands/family.h"
#include "corlink.h"
#include "device_type.h"
#include "hid/hid_port.h"
#include "library_state.h"

namespace corlink::bridge {

namespace {

// D9 0C 55 0A: a Z1 command write (0xD9) of command 0x55 with a 10-byte payload; the
// first payload byte says what the bridge is to do.
BridgeReport CommandReport(uint8_t action) {
  BridgeReport r{};
  r[0] = 0x09;
  r[1] = 0xD9;
  r[2] = 0x0C;
  r[3] = 0x55;
  r[4] = 0x0A;
  r[5] = action;
  return r;
}

}  // namespace

BridgeReport ChangeToZ1Report() {
  BridgeReport r{};
  r[0] = 0x09;
  r[1] = 0xF8;
  r[2] = 0x06;
  r[3] = 0x55;
  r[4] = 0xA5;
  r[5] = 0x50;
  r[6] = 'Z';
  r[7] = '1';
  r[8] = 0x00;
  return r;
}

BridgeReport ChangeToZ1orZ5Report(bool to_z1) {
  return CommandReport(to_z1 ? CORLINK_BRIDGE_TARGET_Z1 : CORLINK_BRIDGE_TARGET_Z5);
}

BridgeReport ChangeToAnyReport(uint16_t product) {
  BridgeReport r = CommandReport('I');
  r[6] = static_cast<uint8_t>(product & 0xFF);
  r[7] = static_cast<uint8_t>(product >> 8);
  return r;
}

BridgeReport ResetReport() { return CommandReport('R'); }

bool IsBridgeType(int32_t type) {
  const commands::Family* family = commands::FamilyFor(type);
  return family && family->bridge_controls;
}

int SendBridgeReport(int fd, const BridgeReport& report) {
  if (!IsBridgeType(State().device_type)) return CORLINK_ERR_FAILED;
  return hid::SetFeature(fd, report.data(), report.size()) == 1 ? CORLINK_OK : CORLINK_ERR_FAILED;
}

}  // namespace corlink::bridge
