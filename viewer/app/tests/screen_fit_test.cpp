// The screen fit: the window and its controls keep their template sizes on a screen of at
// least 1280 x 1024 and shrink with a smaller screen (widths by width / 1280, heights and
// fonts by height / 1024), except where GTK needs more room for a box, a trough or a text. CTest runs this file on 1280 x 1024, 1024 x 768 and 1024 x 1280
// screens; the expectations follow the screen the test finds.
#include <algorithm>

#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/stattext.h>

#include "app/main_template.h"
#include "app/pelorin_dlg.h"
#include "gui_support.h"
#include "view/dialog_template.h"
#include "view/resource.h"
#include "view/screen_fit.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"

namespace pelorin {
namespace {

TEST(ScreenFit, ControlsAndFontsFollowTheScreen) {
  test::ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  test::Window win;
  const wxSize screen = CurrentScreenSize();
  const ScreenFactors f = ScreenFactorsFor(screen.x, screen.y);
  std::printf("screen %d x %d, factors %.3f %.3f\n", screen.x, screen.y, f.sx, f.sy);

  // The window sits at the screen's corner with its template size scaled.
  const wxSize templateSize =
      win->ConvertDialogToPixels(wxSize(kMainTemplateWidth, kMainTemplateHeight));
  EXPECT_EQ(win->GetClientSize().x, static_cast<int>(templateSize.x * f.sx));
  EXPECT_EQ(win->GetClientSize().y, static_cast<int>(templateSize.y * f.sy));

  for (const ControlSpec& ctl : MainTemplateControls()) {
    SCOPED_TRACE(ctl.id);
    const wxWindow* w = win->FindWindow(ctl.id);
    const wxRect want = ScaleRect(test::TemplateRect(*win, ctl.x, ctl.y, ctl.w, ctl.h), f.sx, f.sy);
    const wxRect got = w->GetRect();
    EXPECT_EQ(got.x, want.x);
    // Check boxes and sliders grow to GTK's minimum height about their template centre;
    // check boxes, captions and drop-down lists widen to show their whole text. Nothing
    // else moves.
    const bool growsTaller = ctl.kind == ControlKind::CheckBox || ctl.kind == ControlKind::Slider;
    const bool growsWider = ctl.kind == ControlKind::CheckBox ||
                            ctl.kind == ControlKind::StaticText ||
                            ctl.kind == ControlKind::DropDownList;
    if (growsTaller) {
      EXPECT_GE(got.height, std::max(want.height, w->GetBestSize().y));
      EXPECT_LE(got.height, std::max(want.height, w->GetBestSize().y + 2));
      EXPECT_EQ(got.y, want.y - (got.height - want.height) / 2);
    } else if (ctl.kind != ControlKind::DropDownList) {
      // A drop-down list's template height is that of its open list, not of the box.
      EXPECT_EQ(got.y, want.y);
      EXPECT_EQ(got.height, want.height);
    }
    if (growsWider) {
      EXPECT_GE(got.width, want.width);
    } else {
      EXPECT_EQ(got.width, want.width);
    }
  }

  const wxFont dialogFont = DialogFont();
  const wxFont controlFont = win->FindWindow(res::IDC_START)->GetFont();
  EXPECT_NEAR(controlFont.GetFractionalPointSize(), dialogFont.GetFractionalPointSize() * f.sy,
              0.01);
  EXPECT_NEAR(win->Placement().LargeFont().GetFractionalPointSize(),
              dialogFont.GetFractionalPointSize() * 3 * f.sy, 0.01);
  if (f.sy == 1.0) {
    EXPECT_EQ(controlFont, dialogFont);
  }
}

TEST(ScreenFit, MapAreaAndSnrPageScaleWithTheScreen) {
  test::ScratchDir dir;
  test::Window win;
  const wxSize screen = CurrentScreenSize();
  const ScreenFactors f = ScreenFactorsFor(screen.x, screen.y);
  CShowDialog* map = win->MapPage();
  const wxRect area = map->MapArea()->GetRect();
  EXPECT_FALSE(map->MapArea()->IsShown());
  wxRect want = ScaleRect(DialogUnitsToPixels(map, 7, 7, 605, 443), f.sx, f.sy);
  if (screen.y < 800) want.height -= static_cast<int>(8 / f.sy);
  EXPECT_EQ(area, want);

  CSNRDialog* snr = win->SnrPage();
  const wxWindow* plot = snr->FindWindow(res::IDC_SNR_PLOT_AREA);
  ASSERT_NE(plot, nullptr);
  const wxRect plotTemplate = ScaleRect(
      DialogUnitsToPixels(snr, kSnrPlotArea[0], kSnrPlotArea[1], kSnrPlotArea[2], kSnrPlotArea[3]),
      f.sx, f.sy);
  EXPECT_EQ(plot->GetRect().height, plotTemplate.height - 5);
  EXPECT_EQ(plot->GetRect().width, plotTemplate.width);
  EXPECT_NEAR(snr->NormalFont().GetFractionalPointSize(),
              DialogFont().GetFractionalPointSize() * f.sy, 0.01);
}

}  // namespace
}  // namespace pelorin
