// One host at a time per panel: opening a device takes an exclusive lock on it.
//
//   hidraw   flock(LOCK_EX) on the handle itself, so the lock lives exactly as long as the
//            open file the caller holds: closing the last handle releases it.
//   virtual  flock(LOCK_EX) on "<socket>.lock" beside the socket file. A socket descriptor
//            cannot carry the lock of its path, so the lock file's descriptor is handed to
//            the emulator over the connection itself ("corlink-lock" with SCM_RIGHTS) and
//            the library closes its own: the emulator keeps it with the connection and
//            closes it when the connection ends, so the lock lives exactly as long as the
//            connection, as hidraw's does. Should the hand-over fail, the library keeps the
//            descriptor instead and releases it when it next finds that none of the
//            handles it gave out for the device is still open (at every open in this
//            process), and at the latest when the process ends.
//            The emulator sees a closed connection in its own time, so a held lock file is
//            tried again for up to half a second before the device counts as in use.
//
// The same process may open a device it already holds again (the viewer's Start does,
// without closing its earlier handle): it gets a new descriptor of the same open file
// (dup), so the lock stays while any of its handles for the device is open. A handle that
// has hung up (the device was unplugged) no longer counts: the device that comes back
// under the same node is opened afresh.
//
// Another process trying to open a held device is refused: the open fails with EBUSY and
// the library prints which process holds it (from /proc/locks).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace corlink::hid {

// A descriptor for node when this process already holds it through a handle still open,
// else -1. Drops the locks of devices whose handles are all closed.
int ReopenHeld(const std::string& node);

// Drops the locks of devices whose handles are all closed (after the library closed one).
void ReleaseClosed();

// Locks the freshly opened descriptor fd of node (a socket for an emulated device). True
// when locked (or when the lock file of an emulated device cannot be made: the open goes
// on unlocked, with a warning). False when another process holds the device: the
// diagnostic has been printed and errno is EBUSY; fd is left open for the caller to close.
bool LockOpened(const std::string& node, int fd, bool socket);

// The pid of the process /proc/locks names as holding an flock on the file (dev, ino).
// Lines of /proc/locks look like
//   "3: FLOCK  ADVISORY  WRITE 4711 00:19:1234 0 EOF"   (major:minor in hex)
// and waiters carry "->" after the number; they are skipped.
std::optional<int> FlockHolder(std::string_view proc_locks, dev_t dev, ino_t ino);

}  // namespace corlink::hid
