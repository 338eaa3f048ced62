#include "bridge/bridge.h"

#include "commands/family.h"
#include "corlink.h"
#include "hid/hid_port.h"
#include "library_state.h"

namespace corlink::bridge {

namespace {

// D9 0C 55 0A: a Z1 command write (0xD9) of command 0x55 with a 10-byte payload; the
// first payload byte says what the bridge is to do.
BridgeReport CommandReport(uint8_t action) { return {0x09, 0xD9, 0x0C, 0x55, 0x0A, action}; }

}  // namespace

BridgeReport ChangeToZ1Report() { return {0x09, 0xF8, 0x06, 0x55, 0xA5, 0x50, 'Z', '1', 0x00}; }

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
