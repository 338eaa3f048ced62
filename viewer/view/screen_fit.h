// Fitting a template layout to screens smaller than 1280 x 1024: widths scale with the
// screen width, heights with the screen height, fonts with the height.
#pragma once

#include <vector>

#include <wx/font.h>
#include <wx/gdicmn.h>

class wxWindow;

namespace pelorin {

struct ScreenFactors {
  double sx = 1.0;
  double sy = 1.0;
};

// sx = width / 1280 below 1280 pixels, else 1; sy = height / 1024 below 1024, else 1.
ScreenFactors ScreenFactorsFor(int screenWidth, int screenHeight);
// The factors `screen` made smaller where a window of the client size, with its frame
// (title bar and borders, both directions summed) around it, would not fit the area.
ScreenFactors FitFactors(ScreenFactors screen, wxSize client, wxSize frame, wxSize area);
// The factors of the screen the program runs on.
ScreenFactors CurrentScreenFactors();
wxSize CurrentScreenSize();

// The font with its height scaled by fy. GTK fonts have no width of their own: a font's
// width follows its height, so fx only documents the caller's intent.
wxFont ScaledFont(const wxFont& font, double fx, double fy);

// left and width by sx, top and height by sy, each truncated toward zero.
wxRect ScaleRect(const wxRect& rect, double sx, double sy);

// Gives the child the font (when valid) and moves it to its rectangle scaled by the
// factors, in its parent's client coordinates.
void FitChild(wxWindow* child, const wxFont& font, ScreenFactors factors);

// FitChild for each listed direct child of `parent`; ids without one are skipped.
void FitChildren(wxWindow* parent, const std::vector<int>& ids, const wxFont& font,
                 ScreenFactors factors);

}  // namespace pelorin
