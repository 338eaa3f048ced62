#include "view/show_dialog.h"

#include <wx/stattext.h>

#include "view/dialog_template.h"
#include "view/map_window.h"
#include "view/resource.h"
#include "view/screen_fit.h"

namespace pelorin {

wxBEGIN_EVENT_TABLE(CShowDialog, wxPanel)
  EVT_SIZE(CShowDialog::OnSize)
wxEND_EVENT_TABLE()

std::optional<wxRect> ScaleMapArea(const wxRect& area, const wxSize& oldSize,
                                   const wxSize& newSize) {
  if (oldSize.x < 1 || oldSize.y < 1 || newSize.x < 1 || newSize.y < 1) return std::nullopt;
  const long long left = static_cast<long long>(area.x) * newSize.x / oldSize.x;
  const long long right = static_cast<long long>(area.x + area.width) * newSize.x / oldSize.x;
  const long long top = static_cast<long long>(area.y) * newSize.y / oldSize.y;
  const long long bottom = static_cast<long long>(area.y + area.height) * newSize.y / oldSize.y;
  return wxRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                static_cast<int>(bottom - top));
}

std::optional<wxRect> MapAreaFollower::Follow(const wxRect& area, const wxSize& pageSize) {
  const std::optional<wxSize> before = last_;
  last_ = pageSize;
  if (!before) return std::nullopt;
  return ScaleMapArea(area, *before, pageSize);
}

std::optional<wxRect> MapRectInPage(const wxRect& area, const wxSize& page) {
  if (page.x < 1 || page.y < 1) return std::nullopt;
  const wxRect cut = area.Intersect(wxRect(wxPoint(0, 0), page));
  if (cut.width < 1 || cut.height < 1) return std::nullopt;
  return cut;
}

CShowDialog::CShowDialog(wxWindow* parent, MapDataState& data)
    : wxPanel(parent, res::IDD_SHOW_DIALOG), data_(data) {}

void CShowDialog::RefreshMap() {
  Refresh(false);
  if (map_ != nullptr) map_->Refresh(false);
}

void CShowDialog::InitPage() {
  view_.rotX = view_.rotY = view_.rotZ = 0.0;
  mapArea_ = static_cast<wxStaticText*>(
      CreateControl(this, {res::IDC_MAP_AREA, ControlKind::Hidden, "", 7, 7, 605, 443}));

  const wxSize screen = CurrentScreenSize();
  const ScreenFactors f = ScreenFactorsFor(screen.x, screen.y);
  const bool lowScreen = screen.y < 800;
  const int margin = lowScreen ? static_cast<int>(8 / f.sy) : 8;
  wxRect area = ScaleRect(mapArea_->GetRect(), f.sx, f.sy);
  if (lowScreen) area.height -= margin;
  mapArea_->SetSize(area);
  map_ = COpenGLControl::CreateGLWindow(area, this, view_, data_);
  mapRect_ = area;
  FitMapToPage(GetClientSize());
}

void CShowDialog::SetMapFillsPage(bool fill) {
  fillPage_ = fill;
  FitMapToPage(GetClientSize());
}

void CShowDialog::FitMapToPage(const wxSize& page) {
  // The map keeps the place it was made at; it only gives up what the page cannot show.
  if (map_ == nullptr) return;
  const wxRect home = fillPage_ ? wxRect(wxPoint(0, 0), page) : mapRect_;
  if (const auto rect = MapRectInPage(home, page); rect && *rect != map_->GetRect()) {
    map_->SetSize(*rect);
  }
}

void CShowDialog::OnSize(wxSizeEvent& event) {
  // Sizes count from the page's creation on; before InitPage there is no area to move.
  const wxRect before = mapArea_ != nullptr ? mapArea_->GetRect() : wxRect();
  if (const auto area = follower_.Follow(before, event.GetSize()); area && mapArea_ != nullptr) {
    mapArea_->SetSize(*area);
    mapArea_->Raise();
  }
  FitMapToPage(GetClientSize());
  event.Skip();
}

}  // namespace pelorin
