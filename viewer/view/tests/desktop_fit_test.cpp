// The arithmetic of fitting windows and the map to the screen, without a display: the
// screen fit with the window manager's frame, the place that keeps a window on the work
// area, and the Default view's placement of the field.
#include <gtest/gtest.h>

#include "view/desktop_window.h"
#include "view/map_camera.h"
#include "view/screen_fit.h"

namespace pelorin {
namespace {

TEST(FitFactors, TheFrameShrinksTheFitOnlyWhereTheWindowWouldNotFit) {
  struct Case {
    ScreenFactors screen;
    wxSize client, frame, area;
    double sx, sy;
  };
  const Case cases[] = {
      // 964 x 999 on 1280 x 1024 with a 21-pixel title bar: fits, factors stay 1.
      {{1.0, 1.0}, {964, 999}, {2, 21}, {1280, 1024}, 1.0, 1.0},
      // A 30-pixel title bar and borders: 999 + 32 > 1024, so 992 / 999.
      {{1.0, 1.0}, {964, 999}, {2, 32}, {1280, 1024}, 1.0, 992.0 / 999},
      // A panel takes 40 pixels of the height: the work area decides.
      {{1.0, 1.0}, {964, 999}, {2, 21}, {1280, 984}, 1.0, 963.0 / 999},
      // A screen's own factor that leaves room for the frame is kept...
      {{0.8, 0.75}, {964, 999}, {2, 21}, {1024, 790}, 0.8, 0.75},
      // ... one that does not (1024 x 768: 749 + 21 > 768) gives way.
      {{0.8, 0.75}, {964, 999}, {2, 21}, {1024, 768}, 0.8, 747.0 / 999},
      // Without a window manager nothing is added.
      {{1.0, 1.0}, {964, 999}, {0, 0}, {1280, 999}, 1.0, 1.0},
  };
  for (const Case& c : cases) {
    const ScreenFactors f = FitFactors(c.screen, c.client, c.frame, c.area);
    EXPECT_DOUBLE_EQ(f.sx, c.sx);
    EXPECT_DOUBLE_EQ(f.sy, c.sy);
    EXPECT_LE(static_cast<int>(c.client.y * f.sy) + c.frame.y, c.area.y);
  }
}

TEST(PlaceInside, MovesAWindowOntoTheAreaByAsLittleAsPossible) {
  const wxRect area(0, 30, 1280, 994);  // a panel of 30 pixels on top
  struct Case {
    wxRect window;
    wxPoint place;
  };
  const Case cases[] = {
      {{100, 100, 400, 300}, {100, 100}},   // already inside
      {{640, 541, 966, 1020}, {314, 30}},   // where openbox once put the main window
      {{-50, 0, 400, 300}, {0, 30}},        // off the left, under the panel
      {{1000, 900, 400, 300}, {880, 724}},  // off the bottom right
      {{10, 10, 1400, 1100}, {0, 30}},      // larger than the area: its top-left corner
  };
  for (const Case& c : cases) EXPECT_EQ(PlaceInside(c.window, area), c.place) << c.window.x;
}

TEST(DefaultFieldPlacement, TheWholeFieldLiesInTheDrawingAreaAtZoomOne) {
  // The fixed placement cuts the field on the left and at the bottom of the view.
  const std::array<float, 4> fixed = PlacedFieldBounds(FieldPlacement{}, -11.0f, 22.0f);
  EXPECT_TRUE(fixed[0] < -55.0f || fixed[1] < -50.0f);
  const FieldPlacement fit = DefaultFieldPlacement(-11.0f, 22.0f);
  EXPECT_LT(fit.scale, 1.0f);
  EXPECT_GT(fit.scale, 0.5f) << "no smaller than it must be";
  const std::array<float, 4> placed = PlacedFieldBounds(fit, -11.0f, 22.0f);
  EXPECT_GE(placed[0], -51.0f);  // right of the zoom bar
  EXPECT_GE(placed[1], -50.0f);
  EXPECT_LE(placed[2], 45.0f);  // left of the legend
  EXPECT_LE(placed[3], 47.0f);  // below the source line
}

}  // namespace
}  // namespace pelorin
