// Bridge controls: one-shot feature reports to a USB-to-I2C bridge that switch the chip
// behind it into another mode, give the bridge a new product id, or reset it.
//
// Every control is feature report 9, 20 bytes, other bytes zero, sent with one set-feature
// and no status poll: the bridge acts on it by itself (and usually re-enumerates).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corlink::bridge {

inline constexpr size_t kBridgeReportSize = 20;
using BridgeReport = std::array<uint8_t, kBridgeReportSize>;

// The reports, byte 0 = report id 9.
BridgeReport ChangeToZ1Report();                  // F8 06 55 A5 50 'Z' '1' 00
BridgeReport ChangeToZ1orZ5Report(bool to_z1);    // D9 0C 55 0A <target code>
BridgeReport ChangeToAnyReport(uint16_t product); // D9 0C 55 0A 'I' <pid lo> <pid hi>
BridgeReport ResetReport();                       // D9 0C 55 0A 'R'

// True for the device types that are bridges on the feature channel.
bool IsBridgeType(int32_t type);

// Sends a report to the device behind fd when the current device type is a bridge.
// 0 when the set-feature succeeded, -1 otherwise (also for any other type; nothing is sent).
int SendBridgeReport(int fd, const BridgeReport& report);

}  // namespace corlink::bridge
