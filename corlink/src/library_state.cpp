#include "library_state.h"

#include <atomic>
#include <cstring>

namespace corlink {

namespace {

LibraryState MakeInitialState() {
  LibraryState s;
  std::memset(&s, 0, sizeof s);
  s.device_type = NOT_SET;
  s.retry[kRetryFeature] = {5, 200};
  s.retry[kRetryZ2Report] = {5, 200};
  s.retry[kRetryZ7Tunnel] = {5, 200};
  s.retry[kRetryHidOverI2c] = {3, 20};
  s.retry[kRetryZ3Usb] = {5, 200};
  s.auto_change_flag = 1;
  s.auto_change_program = 3;
  return s;
}

LibraryState g_state = MakeInitialState();

}  // namespace

LibraryState& State() { return g_state; }

void ResetState() { g_state = MakeInitialState(); }

int32_t ReinstallFlag() { return std::atomic_ref<int32_t>(g_state.reinstall_flag).load(); }

void SetReinstallFlag(int32_t value) {
  std::atomic_ref<int32_t>(g_state.reinstall_flag).store(value);
}

}  // namespace corlink
