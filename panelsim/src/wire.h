// The emulator wire: whole `struct uhid_event`s, as on a socket or /dev/uhid.
#pragma once

#include <linux/uhid.h>

#include <optional>
#include <string>

#include "panelsim/firmware.h"

namespace panelsim::wire {

// UHID_CREATE2 announcing a device of this type under this name.
uhid_event Create2(DeviceType type, const std::string& name);
// The same with the product id the device has now, and the USB port location it claims
// ("1-1.4", empty: none), carried at the start of phys as "port=1-1.4 ".
uhid_event Create2(DeviceType type, const std::string& name, uint16_t product, const std::string& port);

// The request an event from the host carries, if it is one the firmware answers
// (UHID_OUTPUT, UHID_GET_REPORT, UHID_SET_REPORT). Sizes are checked against the event.
// `bytes` is how much of the event was received; shorter events are refused.
std::optional<Request> ParseHostEvent(const uhid_event& event, size_t bytes, std::string* error);

// The event that carries an answer back (UHID_INPUT2, UHID_GET_REPORT_REPLY,
// UHID_SET_REPORT_REPLY).
uhid_event FromAnswer(const Answer& answer);

// The report bytes an event carries (for the packet log).
std::vector<uint8_t> Payload(const uhid_event& event);

}  // namespace panelsim::wire
