// The families of Z3 chips: on 64-byte USB reports, the same behind a Z3 bridge, on
// 58-byte HID-over-I2C reports, and a Z7 slave through the master's 0xB0 tunnel.
#include <algorithm>
#include <cstring>

#include "commands/family.h"
#include "corlink.h"
#include "device_type.h"
#include "hid/hid_port.h"
#include "retry.h"
#include "transport/bytes.h"
#include "transport/memory_read.h"
#include "transport/timing.h"
#include "transport/z3_protocol.h"

namespace corlink::commands {

namespace {

using transport::Z3Carrier;
using transport::Z3Link;

constexpr uint8_t kSetMode = 0x85;
constexpr uint8_t kReadMemory = 0x86;

// Mode words used when switching the report to the OS.
constexpr uint16_t kModeReportOn = 0x0950;
constexpr uint16_t kModeReportOnRaw = 0x0120;
constexpr uint16_t kModeReportOff = 0x0951;
constexpr uint16_t kModeReportOffRaw = 0x0121;
constexpr uint16_t kModeBridgeOff = 0x0F00;  // brackets the switch on a Z3 bridge
constexpr uint16_t kModeBridgeOn = 0x0F01;

constexpr int kReportTries = 6;
constexpr unsigned kBetweenWordsMs = 100;  // the chip settles after the first mode word
constexpr unsigned kAfterSwitchMs = 500;   // and after the whole switch
constexpr FirmwareUnit kZ3Unit{0x3000, 52};
constexpr size_t kReadDataMax = 52;  // largest block one answer gives

// The mode command is short-lived: 20 ms for the write and the status reads; HID-over-I2C
// chips need 3 ms to act on the mode before they report status. (The tunnel keeps its own
// time-outs.)
int SendMode(const Z3Link& link, uint16_t word) {
  uint8_t payload[2];
  transport::PutLe16(payload, word);
  const int pause = link.carrier == Z3Carrier::kHidOverI2c ? 3 : 0;
  return transport::Z3Exchange(link, kSetMode, payload, sizeof payload, {20, 20, pause}).result;
}

int Z3BurstRead(const Z3Link& link, uint32_t address, uint32_t length, uint8_t* buffer,
                uint32_t* count) {
  uint8_t payload[6];
  transport::Z3ReadPayload(address, static_cast<uint16_t>(length), payload);
  const int timeout = transport::Z3Timeout(link.carrier);
  if (!transport::Z3Send(link, transport::Z3Build(link, kReadMemory, payload, sizeof payload),
                         timeout))
    return CORLINK_ERR_FAILED;
  uint32_t gathered = 0;
  while (gathered < length) {
    const transport::Z3Answer answer = transport::Z3ReadStatus(link, timeout);
    const size_t n = std::min<size_t>(answer.Data().size(), kReadDataMax);
    int r = answer.result;
    // An answer without data makes no progress: waiting for more could go on for ever.
    if (r == 0 && n == 0) r = CORLINK_ERR_RETRIES;
    if (r != 0) {
      // The chip may still be sending the rest: the next command must not take it for its
      // own answer.
      hid::Cancel(link.fd);
      return r;
    }
    const size_t take = std::min<size_t>(n, length - gathered);
    std::memcpy(buffer + gathered, answer.Data().data(), take);
    gathered += static_cast<uint32_t>(take);
    *count = gathered;
  }
  return 0;
}

void SelectZ3Chip(LibraryState& state, int index) {
  const bool master = index == 0 || index == 1;
  state.device_type = master ? DEV_Z3_USB : DEV_USB_Z7SLAVE;
  if (!master) state.z7_slave_index = static_cast<uint8_t>(index);
}

// The pair of words of one switch, the chip settling between the words of a stop. The
// second word follows only when the first was taken, unless `always`.
bool SendWordPair(const Z3Link& link, bool enable, bool always) {
  const bool first = SendMode(link, enable ? kModeReportOn : kModeReportOff) == 0;
  if (!first && !always) return false;
  if (!enable) transport::SleepMs(kBetweenWordsMs);
  return SendMode(link, enable ? kModeReportOnRaw : kModeReportOffRaw) == 0 && first;
}

// The USB chip (and a Z7 slave's master: only the master reports to the OS) takes both
// words of a switch, the second also when the first was refused.
bool UsbReportToOS(int fd, bool enable, bool /*skip_confirm*/, const char* /*device_path*/) {
  const bool ok = SendWordPair({fd, Z3Carrier::kUsb}, enable, true);
  if (ok) transport::SleepMs(kAfterSwitchMs);
  return ok;
}

// Z3 bridge and HID-over-I2C: up to six tries of the pair; the bridge brackets the switch
// with its own words and rests after every failed try, HID-over-I2C only between tries.
template <Z3Carrier C, bool kBridge>
bool TriedReportToOS(int fd, bool enable, bool /*skip_confirm*/, const char* /*device_path*/) {
  const Z3Link link = transport::SelectedLinkOn<C>(fd);
  RetryRule rule = FixedTries(kReportTries, kBridge ? kRetryZ3Usb : kRetryHidOverI2c);
  rule.rest_after_last = kBridge;
  if (kBridge && !enable) (void)SendMode(link, kModeBridgeOff);
  const bool ok = RetryUntil(rule, [&](int) { return SendWordPair(link, enable, false); });
  if (kBridge && enable) (void)SendMode(link, kModeBridgeOn);
  if (ok) transport::SleepMs(kAfterSwitchMs);
  return ok;
}

// A family on carrier C: how it reports to the OS and whether IO_SetChipIndex moves between
// master and slave are what tell the four apart.
template <Z3Carrier C, auto Link = transport::SelectedLinkOn<C>>
Family Describe(const char* name, const MaintenanceTable& maintenance,
                bool (*report_to_os)(int, bool, bool, const char*),
                void (*select_chip)(LibraryState&, int)) {
  return Family{
      .name = name,
      .set_raw_mode = kOn<Link, SendMode>,
      .report_to_os = report_to_os,
      .read_data = kOn<Link, transport::Z3ReadMemory>,
      .burst_read = kOn<Link, Z3BurstRead>,
      .select_chip = select_chip,
      .maintenance = &maintenance,
      .firmware = kZ3Unit,
  };
}

}  // namespace

const Family& Z3UsbFamily() {
  static const Family family =
      Describe<Z3Carrier::kUsb>("Z3 USB", Z3UsbMaintenanceTable(), UsbReportToOS, SelectZ3Chip);
  return family;
}

const Family& Z3BridgeFamily() {
  static const Family family = Describe<Z3Carrier::kUsb>(
      "Z3 bridge", Z3UsbMaintenanceTable(), TriedReportToOS<Z3Carrier::kUsb, true>, nullptr);
  return family;
}

const Family& HidOverI2cFamily() {
  static const Family family =
      Describe<Z3Carrier::kHidOverI2c>("HID over I2C", HidOverI2cMaintenanceTable(),
                                       TriedReportToOS<Z3Carrier::kHidOverI2c, false>, nullptr);
  return family;
}

const Family& Z7SlaveFamily() {
  static const Family family = Describe<Z3Carrier::kZ7Tunnel>(
      "Z7 slave tunnel", Z7MaintenanceTable(), UsbReportToOS, SelectZ3Chip);
  return family;
}

}  // namespace corlink::commands
