// PLsetting.ini through the window: what the load applies to models and controls, where
// it stops, what the close writes back, and the boxes for keys that are missing.
#include <filesystem>

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/slider.h>

#include "app/pelorin_dlg.h"
#include "data/live_model.h"
#include "gui_support.h"
#include "view/resource.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"

namespace pelorin {
namespace {

using test::DefaultSettings;
using test::Label;
using test::Replace;
using test::ScratchDir;
using test::Window;

int Selection(const CPelorinDlg& dlg, int id) {
  return static_cast<const wxChoice*>(dlg.FindWindow(id))->GetSelection();
}
int SliderPos(const CPelorinDlg& dlg, int id) {
  return static_cast<const wxSlider*>(dlg.FindWindow(id))->GetValue();
}
bool Checked(const CPelorinDlg& dlg, int id) {
  return static_cast<const wxCheckBox*>(dlg.FindWindow(id))->GetValue();
}

TEST(SettingsLoad, FullFileAppliesEveryStep) {
  ScratchDir dir;
  std::string text = DefaultSettings();
  text = Replace(text, "[Diff]\nMAX_DATA_RANGE=250\nMIN_DATA_RANGE=0", "[Diff]\nMAX_DATA_RANGE=120\nMIN_DATA_RANGE=-40");
  text = Replace(text, "SOURCE_TYPE=3", "SOURCE_TYPE=6");
  text = Replace(text, "SECOND_SOURCE_TYPE=0", "SECOND_SOURCE_TYPE=2");
  text = Replace(text, "REVERSE=0", "REVERSE=1");
  text = Replace(text, "DRAW_STYLE=1", "DRAW_STYLE=7");
  text = Replace(text, "DUMP_TYPE=1", "DUMP_TYPE=0");
  text = Replace(text, "VIEW_POINT=1", "VIEW_POINT=3");
  text = Replace(text, "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1", "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=4");
  text = Replace(text, "DISPLAY_RANGE_SHIFT=5", "DISPLAY_RANGE_SHIFT=9");
  text = Replace(text, "AUTO_CENTER=0", "AUTO_CENTER=1");
  text = Replace(text, "HIDE_RX=", "HIDE_RX=1,2");
  text = Replace(text, "HIDE_SHOW=0", "HIDE_SHOW=1");
  text = Replace(text, "MASK_POINT=", "MASK_POINT=1,2;3,4");
  text = Replace(text, "IS_MASK=0", "IS_MASK=1");
  text = Replace(text, "TOP_MID=1", "TOP_MID=-1");
  text = Replace(text, "FILTER_THRESHOLD=0", "FILTER_THRESHOLD=12");
  text = Replace(text, "FILTER_TYPE=0", "FILTER_TYPE=2");
  dir.WriteSettings(text);
  Window win;

  ASSERT_EQ(win->Session().Models().size(), 2u);
  const InstantModel* first = win->Session().LiveModel(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetSourceType(), 6);
  EXPECT_EQ(first->GetName(), "Diff");
  EXPECT_EQ(first->GetReadAddress(), 0x53000000u);
  EXPECT_EQ(first->GetRangeMax(), 120);
  EXPECT_EQ(first->GetRangeMin(), -40);
  EXPECT_EQ(SliderPos(*win, res::IDC_MAX_SLIDER), 220);
  EXPECT_EQ(SliderPos(*win, res::IDC_MIN_SLIDER), 160);
  EXPECT_EQ(first->GetHideSenseList(), "1,2");
  EXPECT_EQ(first->GetHideChip(), "ALL");
  EXPECT_TRUE(first->GetHideShow());
  EXPECT_EQ(first->GetMaskPoints(), "1,2;3,4");
  EXPECT_TRUE(first->GetMaskOn());
  EXPECT_EQ(first->Kernel()[0][1], -1);
  EXPECT_EQ(first->GetFilterThreshold(), 12);
  EXPECT_EQ(first->GetFilterType(), 2);
  EXPECT_TRUE(first->GetReverse());
  EXPECT_TRUE(Checked(*win, res::IDC_REVERSE));
  EXPECT_EQ(first->GetDiagDelay(), 10);

  EXPECT_EQ(win->Session().Models()[1]->GetSourceType(), 2);
  EXPECT_EQ(win->Session().Models()[1]->GetName(), "Cycle");
  EXPECT_EQ(Label(*win, res::IDC_FIRST_SOURCE), "1st-Source\nDiff");
  EXPECT_EQ(Label(*win, res::IDC_SECOND_SOURCE), "2st-Source\nCycle");

  EXPECT_EQ(Selection(*win, res::IDC_DRAW_STYLE), 0);  // only 1 selects Style2
  EXPECT_EQ(win->Session().Settings().drawStyle, 0);
  EXPECT_EQ(Selection(*win, res::IDC_DUMP_TYPE), 0);
  EXPECT_EQ(win->Session().Settings().dumpType, 0);
  EXPECT_EQ(win->Session().Settings().viewPoint, 3);
  EXPECT_EQ(win->Session().Settings().dumpInterval, 4);
  EXPECT_EQ(win->Session().Settings().displayRangeShift, 9);
  EXPECT_TRUE(win->Session().Settings().autoCenter);
  EXPECT_TRUE(Checked(*win, res::IDC_AUTO_CENTER));
  // HIDE_SHOW locks Hide Button on.
  EXPECT_TRUE(Checked(*win, res::IDC_HIDE_BUTTON));
  EXPECT_FALSE(win->FindWindow(res::IDC_HIDE_BUTTON)->IsEnabled());
  EXPECT_TRUE(first->GetHideOn());
  EXPECT_EQ(Label(*win, res::IDC_STATUS), "");
}

TEST(SettingsLoad, SourceTypeWithBlanksIsReadAndWrittenBackBare) {
  ScratchDir dir;
  dir.WriteSettings(Replace(DefaultSettings(), "SOURCE_TYPE=3", "SOURCE_TYPE = 4"));
  {
    Window win;
    EXPECT_EQ(win->Session().Models()[0]->GetSourceType(), 4);
    EXPECT_EQ(win->Session().Models()[0]->GetName(), "RawData");
    win.Close();
    EXPECT_TRUE(win.Boxes().empty());
  }
  const std::string written = dir.ReadSettings();
  EXPECT_NE(written.find("\nSOURCE_TYPE=4\n"), std::string::npos) << written;
  EXPECT_NE(written.find("[DEFAULT]\n"), std::string::npos);
}

TEST(SettingsLoad, MissingSecondSourceStopsBeforeTheDisplayKeys) {
  ScratchDir dir;
  std::string text = Replace(DefaultSettings(), "SECOND_SOURCE_TYPE=0\n", "");
  text = Replace(text, "AUTO_CENTER=0", "AUTO_CENTER=1");
  text = Replace(text, "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1", "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=3");
  text = Replace(text, "REVERSE=0", "REVERSE=1");
  dir.WriteSettings(text);
  Window win;
  EXPECT_EQ(Label(*win, res::IDC_STATUS), "the second source setting is wrong");
  // Steps up to the delay ran...
  EXPECT_TRUE(Checked(*win, res::IDC_REVERSE));
  EXPECT_EQ(win->Session().Models()[0]->GetName(), "Base");
  // ...the rest kept the initial values.
  EXPECT_EQ(win->Session().Models().size(), 1u);
  EXPECT_EQ(Selection(*win, res::IDC_DRAW_STYLE), 0);
  EXPECT_EQ(Selection(*win, res::IDC_DUMP_TYPE), 0);
  EXPECT_EQ(win->Session().Settings().viewPoint, 0);
  EXPECT_EQ(win->Session().Settings().dumpInterval, 1);
  EXPECT_EQ(win->Session().Settings().displayRangeShift, 5);
  EXPECT_FALSE(win->Session().Settings().autoCenter);
}

TEST(SettingsLoad, SourceTypeSevenAppliesNothingAfterTheRanges) {
  ScratchDir dir;
  std::string text = Replace(DefaultSettings(), "SOURCE_TYPE=3", "SOURCE_TYPE=7");
  text = Replace(text, "REVERSE=0", "REVERSE=1");
  text = Replace(text, "[Cycle]\nMAX_DATA_RANGE=250", "[Cycle]\nMAX_DATA_RANGE=222");
  dir.WriteSettings(text);
  Window win;
  EXPECT_EQ(Label(*win, res::IDC_STATUS), "the first source setting is wrong");
  EXPECT_EQ(win->Session().SourceRanges().For(2).max, 222);
  EXPECT_FALSE(Checked(*win, res::IDC_REVERSE));
  EXPECT_EQ(win->Session().Models()[0]->GetSourceType(), 3);  // the model's initial type
  EXPECT_EQ(SliderPos(*win, res::IDC_MAX_SLIDER), 250);
  EXPECT_EQ(SliderPos(*win, res::IDC_MIN_SLIDER), 0);
  EXPECT_EQ(win->Session().Settings().viewPoint, 0);
}

TEST(SettingsLoad, NegativeDelayAndZeroIntervalFallBack) {
  ScratchDir dir;
  std::string text = Replace(DefaultSettings(), "DELAY_BEFORE_ENABLE_DIGNOSIS=10",
                             "DELAY_BEFORE_ENABLE_DIGNOSIS=-5");
  text = Replace(text, "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1", "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=0");
  dir.WriteSettings(text);
  Window win;
  EXPECT_EQ(win->Session().LiveModel(0)->GetDiagDelay(), 10);
  EXPECT_EQ(win->Session().Settings().dumpInterval, 1);
}

TEST(SettingsLoad, NoFileShowsThePathAndSavesNothing) {
  ScratchDir dir;
  {
    Window win;
    EXPECT_EQ(Label(*win, res::IDC_STATUS), wxString::FromUTF8("can't load csv at " + win->Session().SettingsPath()));
    EXPECT_EQ(win->Session().SettingsPath(), (dir.Path() / "PLsetting.ini").string());
    EXPECT_FALSE(win->Session().HasSettingsStore());
    EXPECT_EQ(win->Session().Settings().drawStyle, 0);
    EXPECT_EQ(win->Session().Settings().viewPoint, 0);
    win.Close();
    EXPECT_TRUE(win.Boxes().empty());
  }
  EXPECT_FALSE(dir.HasSettings());
}

TEST(SettingsSave, MissingKeysRaiseOneBoxEachWithTheirTitles) {
  ScratchDir dir;
  std::string text = Replace(DefaultSettings(), "VIEW_POINT=1\n", "");
  text = Replace(text, "[Cycle]\nMAX_DATA_RANGE=250\n", "[Cycle]\n");
  text = Replace(text, "[RawDiff]\nMAX_DATA_RANGE=250\nMIN_DATA_RANGE=0\n", "[RawDiff]\nMAX_DATA_RANGE=250\n");
  text = Replace(text, "AUTO_CENTER=0\n", "");
  dir.WriteSettings(text);
  Window win;
  win.Close();
  ASSERT_EQ(win.Boxes().size(), 4u);
  for (const auto& box : win.Boxes()) EXPECT_EQ(box.text, "Set Config File Failed");
  EXPECT_EQ(win.Boxes()[0].title, "VIEW_POINT not exist");
  EXPECT_EQ(win.Boxes()[1].title, "Cycle - MAX_DATA_RANGE not exist");
  EXPECT_EQ(win.Boxes()[2].title, "RawDiff - MIN_DATA_RANGE not exist");
  EXPECT_EQ(win.Boxes()[3].title, "AUTO_CENTER not exist");
  // A second close request changes nothing.
  win.Close();
  EXPECT_EQ(win.Boxes().size(), 4u);
}

TEST(SettingsSave, CloseWritesTheWindowsValues) {
  ScratchDir dir;
  dir.WriteSettings(Replace(DefaultSettings(), "SECOND_SOURCE_TYPE=0", "SECOND_SOURCE_TYPE=5"));
  {
    Window win;
    wxCommandEvent click(wxEVT_BUTTON, res::IDC_Y_AXIS);
    click.SetEventObject(win->FindWindow(res::IDC_Y_AXIS));
    win->FindWindow(res::IDC_Y_AXIS)->GetEventHandler()->ProcessEvent(click);
    win->Session().Models()[0]->SetRangeMax(199);  // as the range slider leaves it
    win.Close();
    EXPECT_TRUE(win.Boxes().empty());
    EXPECT_TRUE(win->Session().Models().empty());
  }
  const std::string written = dir.ReadSettings();
  EXPECT_NE(written.find("VIEW_POINT=2\n"), std::string::npos);
  EXPECT_NE(written.find("SECOND_SOURCE_TYPE=5\n"), std::string::npos);
  EXPECT_NE(written.find("DRAW_STYLE=1\n"), std::string::npos);
  const size_t base = written.find("[Base]\n");
  ASSERT_NE(base, std::string::npos);
  const std::string baseSection = written.substr(base, written.find("\n\n", base) + 1 - base);
  EXPECT_NE(baseSection.find("MAX_DATA_RANGE=199\n"), std::string::npos) << written;
  EXPECT_EQ(written.find('#'), std::string::npos);
}

// Mend: a settings file that cannot be written is reported and the close goes on.
TEST(Mends, UnwritableSettingsDoNotCutTheCloseShort) {
  ScratchDir dir;
  dir.WriteSettings(DefaultSettings());
  Window win;
  ASSERT_TRUE(win->Session().HasSettingsStore());
  // The working directory disappears under the running program.
  std::filesystem::remove_all(dir.Path());
  testing::internal::CaptureStdout();
  win.Close();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("can not open"), std::string::npos) << out;
  EXPECT_TRUE(win->Session().Closed());
  EXPECT_TRUE(win->Session().Models().empty());
  EXPECT_FALSE(win->Session().HasSettingsStore());
  EXPECT_TRUE(win->SnrPage() != nullptr && win->SnrPage()->ChildIds().empty());
}

// Mend: in batch mode nothing waits for a click; the box goes to standard output.
TEST(Mends, BatchModeMessagesGoToStandardOutput) {
  ScratchDir dir;
  dir.WriteSettings(Replace(DefaultSettings(), "VIEW_POINT=1\n", ""));
  // With no device the batch run cannot start and closes the window by itself, so the
  // close may come before the test's own.
  testing::internal::CaptureStdout();
  Window win({"2"}, /*recordBoxes=*/false);
  ASSERT_TRUE(win->Session().Settings().batchMode);
  win.Close();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("VIEW_POINT not exist: Set Config File Failed"), std::string::npos) << out;
}

}  // namespace
}  // namespace pelorin
