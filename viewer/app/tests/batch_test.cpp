// The command line: batch arguments as the window applies them.
#include <gtest/gtest.h>
#include <wx/slider.h>

#include "app/pelorin_dlg.h"
#include "gui_support.h"
#include "view/resource.h"

namespace pelorin {
namespace {

TEST(BatchMode, ThreeArgumentsSetSourceLimitAndName) {
  test::ScratchDir dir;
  dir.WriteSettings(test::Replace(test::DefaultSettings(), "SOURCE_TYPE=3", "SOURCE_TYPE=6"));
  test::Window win({"2", "100", "test"});
  EXPECT_TRUE(win->State().batchMode);
  EXPECT_TRUE(win->DumpEnabled());
  EXPECT_EQ(win->Models()[0]->GetSourceType(), 3);
  EXPECT_EQ(win->Models()[0]->GetName(), "Base");
  EXPECT_EQ(win->State().batchFrameLimit, 100);
  EXPECT_EQ(win->State().batchName, "test - Base");
  EXPECT_EQ(static_cast<wxSlider*>(win->FindWindow(res::IDC_MAX_SLIDER))->GetValue(), 350);
}

TEST(BatchMode, OneArgumentSelectsDiffWithLimitZero) {
  test::ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  test::Window win({"5"});
  EXPECT_TRUE(win->State().batchMode);
  EXPECT_EQ(win->Models()[0]->GetName(), "Diff");
  EXPECT_EQ(win->State().batchFrameLimit, 0);
  EXPECT_EQ(win->State().batchName, "");
}

TEST(BatchMode, NoArgumentsNoBatch) {
  test::ScratchDir dir;
  test::Window win;
  EXPECT_FALSE(win->State().batchMode);
  EXPECT_FALSE(win->DumpEnabled());
}

}  // namespace
}  // namespace pelorin
