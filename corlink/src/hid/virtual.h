// Knobs of the virtual backend (emulated devices over Unix SOCK_SEQPACKET sockets).
// The transfer contract itself is the Backend table of hid_port.h.
#pragma once

#include <sys/stat.h>

namespace corlink::hid {

// How long a feature get or set waits for the device's reply, and how long enumeration
// and open wait for a device's UHID_CREATE2. Tests and fuzzing shorten them.
struct VirtualTimeouts {
  int feature_ms = 1000;
  int announce_ms = 1000;
};

VirtualTimeouts GetVirtualTimeouts();
void SetVirtualTimeouts(const VirtualTimeouts& t);

// The dispatcher has just taken fd's status to pick this backend: the next transfer call on
// fd from this thread uses it instead of asking the kernel again.
void HintDescriptor(int fd, const struct stat& st);

// fd is a new descriptor (a dup) of a device socket: whatever the backend remembers under
// that number belongs to a descriptor closed earlier and is dropped.
void ForgetDescriptor(int fd);

}  // namespace corlink::hid
