// Raw-data commands: stop and resume the chip's touch reports to the operating system,
// switch what the chip serves (raw mode), and read its data blocks. Each family (family.h)
// has its own; these are the pieces several families share.
//
// Results: 0 success; -1 failure or a type without the command; -2 the retries ran out
// without a valid answer; -3 a Z3 chip refused with reason 1.
#pragma once

#include <cstdint>

#include "transport/z1_protocol.h"

namespace corlink::commands {

// The Z1 set-mode exchange (0x85, acknowledged with id 0x5a31), on the feature channel or
// through the Z6 tunnel.
int Z1SetMode(const transport::Z1Link& link, uint8_t mode);

}  // namespace corlink::commands
