// Short names for the Z3 carriers' links in tests, and an exchange that reports like the
// status read of old: the verdict, with the result field in *value when acknowledged.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transport/z3_protocol.h"

namespace corlink::transport {

inline Z3Link Usb(int fd) { return {fd, Z3Carrier::kUsb}; }
inline Z3Link Hoi(int fd) { return {fd, Z3Carrier::kHidOverI2c}; }
inline Z3Link Z7(int fd, uint8_t slave) { return {fd, Z3Carrier::kZ7Tunnel, slave}; }

inline int Exchange(const Z3Link& link, uint8_t command, const uint8_t* payload, size_t n,
                    const Z3Timing& timing, uint16_t* value) {
  const Z3Answer answer = Z3Exchange(link, command, payload, n, timing);
  if (answer.acknowledged() && value) *value = answer.Result();
  return answer.result;
}

}  // namespace corlink::transport
