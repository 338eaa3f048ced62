#include "app/child_layout.h"

#include <algorithm>

#include <wx/window.h>

#include "view/resource.h"

namespace pelorin {
namespace {

// Truncation toward zero that ignores the last bits of rounding error, so that a
// restore lands exactly where the control started.
int Truncate(double v) { return static_cast<int>(v + (v < 0 ? -1e-6 : 1e-6)); }

}  // namespace

void ChildLayout::Register(int id, uint32_t flags) {
  const bool known = std::any_of(entries_.begin(), entries_.end(),
                                 [id](const Entry& e) { return e.id == id; });
  if (!known && entries_.size() < kMaxEntries) entries_.push_back(Entry{id, flags});
}

void ChildLayout::AddEntry(int id, uint32_t flags, wxWindow* window) {
  Entry e;
  e.id = id;
  e.flags = flags;
  e.window = window;
  entries_.push_back(e);
}

void ChildLayout::Init(wxWindow* parent, uint32_t /*options*/) {
  parent_ = parent;
  Register(res::IDC_TAB, kKeepSizeCentred);  // the tab control keeps its size, centred
  enumerateAll_ = true;
  defaultRule_ = kScaleWidthMoveDown;

  windowRect_ = parent->GetRect();
  clientRect_ = parent->GetClientRect();
  for (Entry& e : entries_) {
    wxWindow* w = parent->FindWindow(e.id);
    e.window = (w != nullptr && w->GetParent() == parent) ? w : nullptr;
  }
  if (enumerateAll_) {
    for (wxWindow* child : parent->GetChildren()) {
      if (entries_.size() >= kMaxEntries) break;
      if (child->IsTopLevel()) continue;
      const bool known = std::any_of(entries_.begin(), entries_.end(),
                                     [child](const Entry& e) { return e.window == child; });
      if (!known) AddEntry(child->GetId(), defaultRule_, child);
    }
  }
  const double width = windowRect_.width > 0 ? windowRect_.width : 1;
  const double height = windowRect_.height > 0 ? windowRect_.height : 1;
  for (Entry& e : entries_) {
    if (e.window == nullptr) continue;
    const wxRect r = e.window->GetRect();
    e.left = r.x;
    e.top = r.y;
    e.right = r.x + r.width;
    e.bottom = r.y + r.height;
    e.leftRatio = e.left / width;
    e.rightRatio = e.right / width;
    e.topRatio = e.top / height;
    e.bottomRatio = e.bottom / height;
  }
  Apply();
}

void ChildLayout::Reflow(std::vector<Entry>& entries, const wxRect& oldWindow,
                         const wxRect& newWindow) {
  const int dx = newWindow.width - oldWindow.width;
  const int dy = newWindow.height - oldWindow.height;
  for (Entry& e : entries) {
    if (dx != 0) {
      if (e.flags == kScaleWidthMoveDown) {
        e.left = newWindow.width * e.leftRatio;
        e.right = newWindow.width * e.rightRatio;
      } else {
        e.left += dx / 2.0;
        e.right += dx / 2.0;
      }
    }
    if (dy != 0) {
      e.top += dy / 2.0;
      e.bottom += dy / 2.0;
    }
  }
}

void ChildLayout::Apply() {
  if (parent_ == nullptr) return;
  const wxRect now = parent_->GetRect();
  Reflow(entries_, windowRect_, now);
  parent_->Freeze();  // one repaint for all moves, like a deferred multi-window move
  for (const Entry& e : entries_) {
    if (e.window == nullptr) continue;
    const int left = Truncate(e.left), top = Truncate(e.top);
    e.window->SetSize(left, top, Truncate(e.right) - left, Truncate(e.bottom) - top,
                      wxSIZE_ALLOW_MINUS_ONE);
  }
  parent_->Thaw();
  windowRect_ = now;
}

}  // namespace pelorin
