#include "hub/hub_tables.h"

namespace corlink::hub {

void HubDeviceSlots::Clear() { slots_.fill(HubSlot{}); }

bool HubDeviceSlots::List(const std::string& path, const std::string& driver_key) {
  if (path.empty()) return false;
  HubSlot* target = nullptr;
  for (HubSlot& s : slots_) {
    if (s.path == path) {
      target = &s;
      break;
    }
    if (target == nullptr && s.Empty()) target = &s;
  }
  if (target == nullptr) return false;
  target->path = path;
  target->driver_key = driver_key;
  return true;
}

bool HubDeviceSlots::Locate(const std::string& driver_key, int32_t hub_position, int32_t hub_index,
                            int32_t port_number) {
  if (driver_key.empty()) return false;
  for (HubSlot& s : slots_) {
    if (s.Empty() || s.driver_key != driver_key) continue;
    s.hub_position = hub_position;
    s.hub_index = hub_index;
    s.port_number = port_number;
    return true;
  }
  return false;
}

void HubDeviceSlots::DropIncomplete() {
  for (HubSlot& s : slots_) {
    if (s.Empty()) continue;
    if (s.driver_key.empty() || s.hub_position < 0 || s.hub_index < 0 || s.port_number < 0) s = HubSlot{};
  }
}

int HubDeviceSlots::Size() const {
  int n = 0;
  for (const HubSlot& s : slots_) n += s.Empty() ? 0 : 1;
  return n;
}

const HubSlot* HubDeviceSlots::FindPath(const std::string& path) const {
  if (path.empty()) return nullptr;
  for (const HubSlot& s : slots_)
    if (s.path == path) return &s;
  return nullptr;
}

const HubSlot* HubDeviceSlots::FindPort(int32_t port_number, int32_t hub_position) const {
  for (const HubSlot& s : slots_)
    if (!s.Empty() && s.port_number == port_number && s.hub_position == hub_position) return &s;
  return nullptr;
}

bool HubNameTables::Enter(const std::string& name, int32_t* hub_index, int32_t* hub_position) {
  if (walk_count_ >= kHubNameTableSize) return false;
  int found = -1, free_entry = -1;
  for (int i = 0; i < kHubNameTableSize; ++i) {
    const Lasting& e = lasting_[static_cast<size_t>(i)];
    if (!e.name.empty() && e.name == name) {
      found = i;
      break;
    }
    if (free_entry < 0 && e.name.empty()) free_entry = i;
  }
  if (found < 0) {
    if (free_entry < 0) return false;
    found = free_entry;
    lasting_[static_cast<size_t>(found)].name = name;
  }
  lasting_[static_cast<size_t>(found)].visited = true;
  walk_[static_cast<size_t>(walk_count_)] = name;
  *hub_index = found;
  *hub_position = walk_count_++;
  return true;
}

void HubNameTables::EndWalk() {
  for (Lasting& e : lasting_) {
    if (!e.visited) e.name.clear();
    e.visited = false;
  }
  walk_.fill(std::string());
  walk_count_ = 0;
}

int32_t HubNameTables::IndexOf(const std::string& name) const {
  for (int i = 0; i < kHubNameTableSize; ++i)
    if (!name.empty() && lasting_[static_cast<size_t>(i)].name == name) return i;
  return -1;
}

}  // namespace corlink::hub
