// IO_SetRawMode: tells the chip what to serve (a mode word; Z1 and Z2 chips take its low
// byte).
#include <cstdio>

#include "commands/raw_data.h"
#include "corlink.h"
#include "device_type.h"
#include "library_state.h"
#include "log_sink.h"
#include "transport/feature_channel.h"
#include "transport/z1_protocol.h"
#include "transport/z2_channel.h"
#include "transport/z3_protocol.h"

namespace corlink::commands {

namespace {

using transport::Z1Link;
using transport::Z1Next;
using transport::Z1Step;

constexpr uint8_t kSetMode = 0x85;
constexpr uint8_t kZ2SetMode = 'x';
// The mode command is short-lived: 20 ms for the write and the status reads.
constexpr transport::Z3Timing kModeTiming{20, 20};
// HID-over-I2C chips need 3 ms to act on the mode before they report status.
constexpr transport::Z3Timing kHidOverI2cModeTiming{20, 20, 3};

Z1Link LinkFor(int32_t type, int fd) {
  return {fd, type == DEV_USB_Z6SLAVE, State().z6_slave_index};
}

int Z3SetMode(int32_t type, int fd, uint16_t mode) {
  const uint8_t payload[2] = {static_cast<uint8_t>(mode), static_cast<uint8_t>(mode >> 8)};
  switch (type) {
    case DEV_Z3_USB:
    case DEV_Z3_USB_BRG:
      return transport::Z3Exchange(fd, kSetMode, payload, sizeof payload, kModeTiming, nullptr);
    case DEV_Z3_HID_OVER_I2C:
      return transport::HidOverI2cExchange(fd, kSetMode, payload, sizeof payload,
                                           kHidOverI2cModeTiming, nullptr);
    case DEV_USB_Z7SLAVE:
      return transport::Z7Exchange(fd, State().z7_slave_index, kSetMode, payload, sizeof payload,
                                   nullptr);
    default: return CORLINK_ERR_FAILED;
  }
}

int Z2SetMode(int fd, uint8_t mode) {
  uint8_t* report = transport::Z2ClearReport(kZ2SetMode);
  report[2] = mode;
  return transport::Z2Command(fd, report);
}

// The bridge served on the feature channel confirms the switch with a get-feature.
int Ep1SetMode(int fd, int mode) {
  uint8_t report[transport::kFeatureReportSize];
  if (mode == 0) {
    (void)FeatureGetOpcode(fd, kOpConfirmStop, report);
    return Z1SetMode(DEV_USB_BRG_EP1, fd, 0);
  }
  int result = Z1SetMode(DEV_USB_BRG_EP1, fd, static_cast<uint8_t>(mode));
  if (!FeatureGetOpcode(fd, kOpConfirmResume, report)) return CORLINK_ERR_FAILED;
  return result;
}

}  // namespace

int Z1SetMode(int32_t type, int fd, uint8_t mode) {
  const Z1Link link = LinkFor(type, fd);
  // No tries allowed means the mode was never set: that is no success.
  transport::Z1LoopPolicy policy{CORLINK_ERR_RETRIES};
  return transport::RunZ1Loop(policy, [&](bool) -> Z1Step {
    if (!transport::Z1Send(link, kSetMode, &mode, 1)) return {Z1Next::kDone, CORLINK_ERR_FAILED};
    uint16_t id = 0;
    bool acked = transport::Z1ReadAck(link, transport::kZ1ModeAckId, &id);
    if (id != transport::kZ1ModeAckId) {
      Log("The ack of 0x85 cmd is 0x%x not 0x5a31!\n", id);
      return {Z1Next::kDone, CORLINK_ERR_FAILED};
    }
    return acked ? Z1Step{Z1Next::kDone, 0} : Z1Step{Z1Next::kRetry, CORLINK_ERR_RETRIES};
  });
}

int SetRawMode(int32_t type, int fd, int mode) {
  switch (type) {
    case NOT_SET:
    case DEV_Z2_I2C:
    case DEV_Z2_USB_BRG:
    case DEV_USB_Z6SLAVE: return Z1SetMode(type, fd, static_cast<uint8_t>(mode));
    case DEV_USB_BRG_EP1: return Ep1SetMode(fd, mode);
    case DEV_Z3_USB:
    case DEV_Z3_USB_BRG:
    case DEV_Z3_HID_OVER_I2C:
    case DEV_USB_Z7SLAVE: return Z3SetMode(type, fd, static_cast<uint16_t>(mode));
    case DEV_Z2_USB: return Z2SetMode(fd, static_cast<uint8_t>(mode));
    default: return CORLINK_ERR_FAILED;
  }
}

}  // namespace corlink::commands
