// The tables behind the hub list: the device slots and the two hub name tables.
//
// Slots: 128, each a recognised HID device path with the key of its USB device and its
// location (hub position, hub index, port; -1 when not known). A slot is empty when its
// path is empty; slots keep their places, so the list can have holes.
//
// Hub names: a lasting table of 20 (a hub keeps its index across refreshes while it stays
// present) and a walk list of 20 rebuilt at every refresh (the hub's position in this
// walk). A hub that finds either table full is skipped.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace corlink::hub {

inline constexpr int kHubDeviceSlots = 128;
inline constexpr int kHubNameTableSize = 20;

struct HubSlot {
  std::string driver_key;
  std::string path;
  int32_t hub_position = -1;
  int32_t hub_index = -1;
  int32_t port_number = -1;

  bool Empty() const { return path.empty(); }
};

class HubDeviceSlots {
 public:
  void Clear();
  // Into the slot that already holds path, else the first empty one. False when all are
  // taken (the device is dropped).
  bool List(const std::string& path, const std::string& driver_key);
  // Gives the first slot with this key its location. False when no slot has the key.
  bool Locate(const std::string& driver_key, int32_t hub_position, int32_t hub_index,
              int32_t port_number);
  // Empties every slot that lacks a key or a location number.
  void DropIncomplete();

  int Size() const;
  const HubSlot& operator[](int i) const { return slots_[static_cast<size_t>(i)]; }
  const HubSlot* FindPath(const std::string& path) const;  // exact, case-sensitive
  const HubSlot* FindPort(int32_t port_number, int32_t hub_position) const;

 private:
  std::array<HubSlot, kHubDeviceSlots> slots_;
};

class HubNameTables {
 public:
  // Enters a hub that the walk reaches: its index in the lasting table (found, or the
  // first free entry) and its position in the walk list (the next entry). False, with
  // nothing entered, when either table is full.
  bool Enter(const std::string& name, int32_t* hub_index, int32_t* hub_position);
  // After a walk: hubs not reached are forgotten, the marks cleared, the walk list emptied.
  void EndWalk();
  // The lasting index of a hub, -1 when it has none.
  int32_t IndexOf(const std::string& name) const;

 private:
  struct Lasting {
    std::string name;
    bool visited = false;
  };
  std::array<Lasting, kHubNameTableSize> lasting_;
  std::array<std::string, kHubNameTableSize> walk_;
  int walk_count_ = 0;
};

}  // namespace corlink::hub
