// ChildLayout: resize rules by which the main window's direct children follow its size
// when it is maximised and restored.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/gdicmn.h>

class wxWindow;

namespace pelorin {

class ChildLayout {
 public:
  // Keeps the child's size and its offset from the centre of the window.
  static constexpr uint32_t kKeepSizeCentred = 0;
  // Horizontal edges follow the window width in proportion; vertically as above.
  static constexpr uint32_t kScaleWidthMoveDown = 0xC0000;
  static constexpr size_t kMaxEntries = 256;

  struct Entry {
    int id = 0;
    uint32_t flags = 0;
    double left = 0, top = 0, right = 0, bottom = 0;  // parent client coordinates
    double leftRatio = 0, topRatio = 0, rightRatio = 0, bottomRatio = 0;
    wxWindow* window = nullptr;
  };

  // Registers a child by id with its rule; ids registered twice keep the first rule.
  void Register(int id, uint32_t flags);

  // Takes the geometry of the registered children and, since the enumerate-all flag is
  // set, of every other direct child (default rule kScaleWidthMoveDown), then applies the
  // layout once.
  void Init(wxWindow* parent, uint32_t options);

  // Moves the children for the parent's current window rectangle.
  void Apply();

  // The rule arithmetic on its own: new edges for every entry when the window goes from
  // `oldWindow` to `newWindow`. Only a width change moves edges horizontally and only a
  // height change vertically.
  static void Reflow(std::vector<Entry>& entries, const wxRect& oldWindow,
                     const wxRect& newWindow);

  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  void AddEntry(int id, uint32_t flags, wxWindow* window);

  wxWindow* parent_ = nullptr;
  std::vector<Entry> entries_;
  wxRect windowRect_;
  wxRect clientRect_;
  bool enumerateAll_ = false;
  uint32_t defaultRule_ = kScaleWidthMoveDown;
};

}  // namespace pelorin
