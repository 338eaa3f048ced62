// The command line: batch arguments as the window applies them. No device is served, so
// every batch run here cannot start: the window says so and closes itself, and what the
// arguments set is seen in what stays and in the settings saved at the close.
#include <gtest/gtest.h>
#include <wx/slider.h>

#include "app/pelorin_dlg.h"
#include "app/program_exit.h"
#include "gui_support.h"
#include "view/resource.h"

namespace pelorin {
namespace {

TEST(BatchMode, ThreeArgumentsSetSourceLimitAndName) {
  test::ScratchDir dir;
  dir.WriteSettings(test::Replace(test::DefaultSettings(), "SOURCE_TYPE=3", "SOURCE_TYPE=6"));
  test::Window win({"2", "100", "test"});
  EXPECT_TRUE(win->Session().Settings().batchMode);
  EXPECT_TRUE(win->Session().Settings().dumpEnabled);
  ASSERT_TRUE(test::PumpUntil([&] { return win->Session().Closed(); }));
  EXPECT_NE(ExitStatus(), 0);
  EXPECT_NE(dir.ReadSettings().find("SOURCE_TYPE=3"), std::string::npos);
  EXPECT_EQ(win->Session().Settings().batchFrameLimit, 100);
  EXPECT_EQ(win->Session().Settings().batchName, "test - Base");
  EXPECT_EQ(static_cast<wxSlider*>(win->FindWindow(res::IDC_MAX_SLIDER))->GetValue(), 350);
}

TEST(BatchMode, OneArgumentSelectsDiffWithLimitZero) {
  test::ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  test::Window win({"5"});
  EXPECT_TRUE(win->Session().Settings().batchMode);
  ASSERT_TRUE(test::PumpUntil([&] { return win->Session().Closed(); }));
  EXPECT_NE(dir.ReadSettings().find("SOURCE_TYPE=6"), std::string::npos);
  EXPECT_EQ(win->Session().Settings().batchFrameLimit, 0);
  EXPECT_EQ(win->Session().Settings().batchName, "");
}

TEST(BatchMode, NoArgumentsNoBatch) {
  test::ScratchDir dir;
  test::Window win;
  EXPECT_FALSE(win->Session().Settings().batchMode);
  EXPECT_FALSE(win->Session().Settings().dumpEnabled);
}

}  // namespace
}  // namespace pelorin
