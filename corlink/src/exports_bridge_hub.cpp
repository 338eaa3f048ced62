// Bridge and hub exports: thin shims over bridge/ and hub/. The bridge controls are
// one-shot feature reports to a USB-to-I2C bridge; the hub list ties recognised devices to
// USB ports.
#include <cstring>
#include <string>

#include "bridge/bridge.h"
#include "corlink.h"
#include "export_guard.h"
#include "hub/hub_list.h"
#include "library_state.h"
#include "log_sink.h"

using corlink::Guarded;
using corlink::GuardedVoid;
using corlink::Log;
using corlink::State;

namespace {

CorlinkHubDevice* EmptyRecord(CorlinkHubDevice* out) {
  if (out == nullptr) return out;
  std::memset(out, 0, sizeof *out);
  out->hub_position = out->hub_index = out->port_number = -1;
  return out;
}

void CopyText(char (&dst)[512], const std::string& src) {
  const size_t n = src.size() < sizeof dst - 1 ? src.size() : sizeof dst - 1;
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

CorlinkHubDevice* FillRecord(CorlinkHubDevice* out, const corlink::hub::HubSlot& slot) {
  EmptyRecord(out);
  CopyText(out->driver_key_name, slot.driver_key);
  CopyText(out->device_path, slot.path);
  out->hub_position = slot.hub_position;
  out->hub_index = slot.hub_index;
  out->port_number = slot.port_number;
  return out;
}

}  // namespace

extern "C" {

int IO_ChgModeToZ1_ForBridge(int handle) {
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&] {
    return corlink::bridge::SendBridgeReport(handle, corlink::bridge::ChangeToZ1Report());
  });
}

int IO_ChgModeToZ1orZ5_ForBridge(int handle, bool toZ1) {
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&] {
    return corlink::bridge::SendBridgeReport(handle, corlink::bridge::ChangeToZ1orZ5Report(toZ1));
  });
}

int IO_ChgModeToAny_ForBridge(int handle, uint16_t product_id) {
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&]() -> int {
    if (!corlink::bridge::IsBridgeType(State().device_type)) return CORLINK_ERR_FAILED;
    Log("New PID = %04X\n", product_id);
    return corlink::bridge::SendBridgeReport(handle,
                                             corlink::bridge::ChangeToAnyReport(product_id));
  });
}

int IO_Reset_ForBridge(int handle) {
  return Guarded(static_cast<int>(CORLINK_ERR_FAILED), [&]() -> int {
    if (!corlink::bridge::IsBridgeType(State().device_type)) return CORLINK_ERR_FAILED;
    Log("RST\n");
    return corlink::bridge::SendBridgeReport(handle, corlink::bridge::ResetReport());
  });
}

int IO_Refresh_ForHub(void) {
  return Guarded(0, [] { return corlink::hub::Refresh(); });
}

int IO_GetDeviceSize_ForHub(void) {
  return Guarded(0, [] { return corlink::hub::Size(); });
}

void IO_GetDeviceList_ForHub(CorlinkHubDevice* out, int count) {
  if (out == nullptr || count <= 0) return;
  GuardedVoid([&] {
    const std::vector<corlink::hub::HubSlot> listed = corlink::hub::Listed(count);
    // Records beyond the listed devices are handed back empty rather than left as they were.
    for (int i = 0; i < count; ++i) {
      if (static_cast<size_t>(i) < listed.size())
        FillRecord(&out[i], listed[static_cast<size_t>(i)]);
      else
        EmptyRecord(&out[i]);
    }
  });
}

CorlinkHubDevice* IO_GetDeviceByPath_ForHub(CorlinkHubDevice* out, const char* path) {
  if (out == nullptr) return out;
  GuardedVoid([&] {
    // Taken before out is cleared: the path may be the one out holds from a former lookup.
    const std::string wanted = path != nullptr ? path : "";
    EmptyRecord(out);
    corlink::hub::HubSlot slot;
    if (!wanted.empty() && corlink::hub::ByPath(wanted, &slot)) FillRecord(out, slot);
  });
  return out;
}

CorlinkHubDevice* IO_GetDeviceByPort_ForHub(CorlinkHubDevice* out, int port, int hub_position) {
  if (out == nullptr) return out;
  EmptyRecord(out);
  GuardedVoid([&] {
    corlink::hub::HubSlot slot;
    if (corlink::hub::ByPort(port, hub_position, &slot)) FillRecord(out, slot);
  });
  return out;
}

int IO_SetAutoChangeToZ1_ForHub(int selector) {
  GuardedVoid([&] { corlink::hub::SetAutoChange(selector); });
  return selector;
}

}  // extern "C"

static_assert(sizeof(CorlinkHubDevice) == 1036, "the exported hub record is 1036 bytes");
