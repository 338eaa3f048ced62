// CShowDialog: the map page of the main window's tab control (template 130). It holds the
// area of the 3-D map and the map's view state until the map window itself takes it over.
#pragma once

#include <optional>

#include <wx/panel.h>

class wxStaticText;

namespace pelorin {

class COpenGLControl;

// What the main window sets on the map: the map window of the 3-D view reads it.
struct MapViewState {
  int drawStyle = 0;
  int viewPoint = 0;
  double angleX = 0.0;
  double angleY = 0.0;
  double scaleFactor = 1.0;
  int rangeMax = 250;
  int rangeMin = 0;
  // The rotations of the view, in degrees.
  double rotX = 0.0;
  double rotY = 0.0;
  double rotZ = 0.0;
};

// The new rectangle of the map area when the page goes from oldSize to newSize: edges
// scaled in integer arithmetic (value * new / old). None while either size is below 1 in
// any direction, so a page that was 0 x 0 never divides by zero.
std::optional<wxRect> ScaleMapArea(const wxRect& area, const wxSize& oldSize,
                                   const wxSize& newSize);

class CShowDialog : public wxPanel {
 public:
  explicit CShowDialog(wxWindow* parent);

  // Creates the template's controls and fits the map area to the screen.
  void InitPage();

  wxStaticText* MapArea() const { return mapArea_; }
  // The 3-D map window, made in the map area; null before InitPage.
  COpenGLControl* Map() const { return map_; }
  MapViewState& View() { return view_; }
  const MapViewState& View() const { return view_; }

 private:
  void OnSize(wxSizeEvent& event);

  wxStaticText* mapArea_ = nullptr;
  COpenGLControl* map_ = nullptr;
  MapViewState view_;
  std::optional<wxSize> lastSize_;
  wxDECLARE_EVENT_TABLE();
};

}  // namespace pelorin
