// Placeholder hidraw backend: finds nothing and opens nothing until the real one lands.
#include <cerrno>

#include "hid/hid_port.h"

namespace corlink::hid {

namespace {
void Enumerate(std::vector<RawDevice>&) {}
int OpenNode(const std::string&, OpenError* err) {
  if (err) *err = OpenError::NotFound;
  return -1;
}
int Write(int, const uint8_t*, size_t, int) { return -1; }
int Read(int, uint8_t*, size_t, int) { return -1; }
int SetFeat(int, const uint8_t*, size_t) { return -1; }
int GetFeat(int, uint8_t*, size_t) { return -1; }
void CancelIo(int) {}
}  // namespace

const Backend& HidrawBackend() {
  static const Backend backend{"hidraw", Enumerate, OpenNode, Write, Read, SetFeat, GetFeat, CancelIo};
  return backend;
}

}  // namespace corlink::hid
