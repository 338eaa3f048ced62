// CShowDialog: the map page of the main window's tab control (template 130). It holds the
// area of the 3-D map, the map window in it, and the map's view state, which the main
// window's view controls write and the map window draws from.
#pragma once

#include <optional>

#include <wx/panel.h>

#include "view/map_view_state.h"

class wxStaticText;

namespace pelorin {

class COpenGLControl;

// The new rectangle of the map area when the page goes from oldSize to newSize: edges
// scaled in integer arithmetic (value * new / old). None while either size is below 1 in
// any direction, so a page that was 0 x 0 never divides by zero.
std::optional<wxRect> ScaleMapArea(const wxRect& area, const wxSize& oldSize,
                                   const wxSize& newSize);

// The map page's resize rule over a run of page sizes: the first size is only recorded;
// each later one gives the area scaled from the size before it (ScaleMapArea). Every size
// is recorded, so a page that started at 0 x 0 follows from its first real size on.
class MapAreaFollower {
 public:
  std::optional<wxRect> Follow(const wxRect& area, const wxSize& pageSize);

 private:
  std::optional<wxSize> last_;
};

// The map window's rectangle for a page of the given client size: the map area cut to
// the page, so that the right-hand legend and the lower part of the map stay in view
// where the template's area is larger than the page. None while the page has no size or
// the area lies outside it.
std::optional<wxRect> MapRectInPage(const wxRect& area, const wxSize& page);

class CShowDialog : public wxPanel {
 public:
  // `data` is what the map shows of the run besides its mesh; it must outlive the page.
  CShowDialog(wxWindow* parent, MapDataState& data);

  // Creates the template's controls and fits the map area to the screen.
  void InitPage();

  wxStaticText* MapArea() const { return mapArea_; }
  // The 3-D map window, made in the map area; null before InitPage.
  COpenGLControl* Map() const { return map_; }
  MapViewState& View() { return view_; }
  const MapViewState& View() const { return view_; }
  // Repaints the page and the map window on it.
  void RefreshMap();
  // On: the map window covers the whole page (the full-screen map); off: it goes back to
  // the place it was made at.
  void SetMapFillsPage(bool fill);
  bool MapFillsPage() const { return fillPage_; }

 private:
  void OnSize(wxSizeEvent& event);
  void FitMapToPage(const wxSize& page);

  wxStaticText* mapArea_ = nullptr;
  COpenGLControl* map_ = nullptr;
  MapViewState view_;
  MapDataState& data_;
  MapAreaFollower follower_;
  wxRect mapRect_;  // where the map window was made
  bool fillPage_ = false;
  wxDECLARE_EVENT_TABLE();
};

}  // namespace pelorin
