// Serving the emulated device through /dev/uhid: the kernel plays the host's part and the
// panel becomes a real hidraw device.
#pragma once

#include <functional>
#include <string>

#include "panelsim/server.h"

namespace panelsim {

// Creates the device and answers the kernel's requests until should_stop() is true
// (asked at least every 200 ms) or an unplug fault fires. Returns 0 then; returns 1 with
// *error set when /dev/uhid cannot be used (missing, no permission, refused).
int ServeUhid(const ServerConfig& config, const std::function<bool()>& should_stop, std::string* error,
              const char* device = "/dev/uhid");

}  // namespace panelsim
