// Fitting template controls to what the toolkit draws. GTK needs more room than the
// templates give for a check box's box, a slider's trough and some captions: a check box
// or slider below GTK's minimum height is drawn without its box or trough (and GTK
// complains on stderr), and a caption wider than its control is cut. The fit keeps every
// control's position: it grows heights about the control's centre and widths to the
// right, as far as the neighbours allow, and gives a caption that still does not fit a
// smaller font of its own.
#pragma once

#include <vector>

#include <wx/gdicmn.h>

class wxWindow;

namespace pelorin {

// Space kept between a widened control and the neighbour on its right, in pixels.
inline constexpr int kNeighbourGap = 2;
// A caption's font is never made smaller than this.
inline constexpr double kSmallestCaptionPoints = 6.0;

// The right edge (exclusive) up to which a control at `control` may grow: the left edge,
// less kNeighbourGap, of the nearest neighbour that lies to its right in the same rows and
// that it does not already overlap; never past `bound`, and never narrower than the
// control already is.
int RightLimit(const wxRect& control, const std::vector<wxRect>& neighbours, int bound);

// The rectangle with at least `minHeight` rows, grown about its centre (the top moves up
// by half the growth, rounded down).
wxRect WithMinimumHeight(const wxRect& rect, int minHeight);

// The largest point size, from `points` down to kSmallestCaptionPoints in half points,
// at which `textWidth(size) + overhead <= width`; kSmallestCaptionPoints when none is.
// `textWidth` measures the caption at a point size.
template <typename TextWidth>
double PointsThatFit(double points, int overhead, int width, TextWidth textWidth) {
  for (double p = points; p >= kSmallestCaptionPoints; p -= 0.5) {
    if (textWidth(p) + overhead <= width) return p;
  }
  return kSmallestCaptionPoints;
}

// Fits the listed direct children of `parent`: sliders and check boxes get at least
// their best height; check boxes take the tight style; check boxes and left-aligned
// static texts widen to their best width where the neighbours allow, and a caption that
// still does not fit (or a centred one, which keeps its rectangle) gets a smaller font;
// drop-down lists take the tight style.
void FitCaptionsAndTracks(wxWindow* parent, const std::vector<int>& ids);

// Fits the listed drop-down lists of `parent` the same way to their widest item. GTK
// measures a list with its tight style only once the window is shown, so this runs then.
void FitDropDownLists(wxWindow* parent, const std::vector<int>& ids);

// For a text that changes at run time: gives the control the largest font, up to `normal`
// (its own font when `normal` is not valid), at which its current label fits its width on
// one line, never below kSmallestCaptionPoints. A label that fits keeps `normal`.
void FitTextToWidth(wxWindow* control, const wxFont& normal);

}  // namespace pelorin
