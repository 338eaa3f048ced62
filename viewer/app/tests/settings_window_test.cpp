// PLsetting.ini through the window: the loaded values on the controls, the boxes for keys
// that are missing, and a close that goes on when the file cannot be written.
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

TEST(SettingsLoad, TheWindowShowsWhatTheFileGaveTheSession) {
  // What the load gives the models and the values is the session's (session_settings_test);
  // here each value reaches its control.
  ScratchDir dir;
  std::string text = DefaultSettings();
  text = Replace(text, "[Diff]\nMAX_DATA_RANGE=250\nMIN_DATA_RANGE=0",
                 "[Diff]\nMAX_DATA_RANGE=120\nMIN_DATA_RANGE=-40");
  text = Replace(text, "SOURCE_TYPE=3", "SOURCE_TYPE=6");
  text = Replace(text, "SECOND_SOURCE_TYPE=0", "SECOND_SOURCE_TYPE=2");
  text = Replace(text, "REVERSE=0", "REVERSE=1");
  text = Replace(text, "DUMP_TYPE=1", "DUMP_TYPE=0");
  text = Replace(text, "AUTO_CENTER=0", "AUTO_CENTER=1");
  text = Replace(text, "HIDE_SHOW=0", "HIDE_SHOW=1");
  dir.WriteSettings(text);
  Window win;
  EXPECT_EQ(SliderPos(*win, res::IDC_MAX_SLIDER), 220);
  EXPECT_EQ(SliderPos(*win, res::IDC_MIN_SLIDER), 160);
  EXPECT_EQ(win->MapPage()->View().rangeMax.load(), 120);
  EXPECT_TRUE(Checked(*win, res::IDC_REVERSE));
  EXPECT_EQ(Label(*win, res::IDC_FIRST_SOURCE), "1st-Source\nDiff");
  EXPECT_EQ(Label(*win, res::IDC_SECOND_SOURCE), "2st-Source\nCycle");
  EXPECT_EQ(Selection(*win, res::IDC_DRAW_STYLE), 1);
  EXPECT_EQ(Selection(*win, res::IDC_DUMP_TYPE), 0);
  EXPECT_TRUE(Checked(*win, res::IDC_AUTO_CENTER));
  // HIDE_SHOW locks Hide Button on.
  EXPECT_TRUE(Checked(*win, res::IDC_HIDE_BUTTON));
  EXPECT_FALSE(win->FindWindow(res::IDC_HIDE_BUTTON)->IsEnabled());
  EXPECT_EQ(Label(*win, res::IDC_STATUS), "");
}

TEST(SettingsSave, MissingKeysRaiseOneBoxEachWithTheirTitles) {
  ScratchDir dir;
  std::string text = Replace(DefaultSettings(), "VIEW_POINT=1\n", "");
  text = Replace(text, "[Cycle]\nMAX_DATA_RANGE=250\n", "[Cycle]\n");
  text = Replace(text, "[RawDiff]\nMAX_DATA_RANGE=250\nMIN_DATA_RANGE=0\n",
                 "[RawDiff]\nMAX_DATA_RANGE=250\n");
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
