// ChildLayout: maximising spreads the controls across the new width in proportion and moves
// them down by half the height gained; the tab control keeps its size and stays centred;
// restoring brings every control back.
#include <map>

#include <gtest/gtest.h>

#include "app/child_layout.h"
#include "app/pelorin_dlg.h"
#include "gui_support.h"
#include "view/resource.h"
#include "view/screen_fit.h"

namespace pelorin {
namespace {

TEST(ChildLayoutWindow, MaximiseAndRestore) {
  test::ScratchDir dir;
  test::Window win;
  const ChildLayout& layout = win->Placement().Layout();
  ASSERT_EQ(layout.Entries().size(), win->Placement().ChildIds().size());
  EXPECT_EQ(layout.Entries()[0].id, res::IDC_TAB);
  EXPECT_EQ(layout.Entries()[0].flags, ChildLayout::kKeepSizeCentred);
  for (size_t i = 1; i < layout.Entries().size(); ++i)
    EXPECT_EQ(layout.Entries()[i].flags, ChildLayout::kScaleWidthMoveDown);

  std::map<int, wxRect> original;
  for (int id : win->Placement().ChildIds()) original[id] = win->FindWindow(id)->GetRect();
  const wxSize small = win->GetSize();
  const wxSize big(small.x + 200, small.y + 100);

  // The window manager's maximise ends in a size change like this one.
  win->SetSize(big);
  ASSERT_TRUE(test::PumpUntil([&] { return win->GetSize() == big; }));
  test::Pump();
  const int dx = big.x - small.x, dy = big.y - small.y;
  const wxRect tab = win->FindWindow(res::IDC_TAB)->GetRect();
  const wxRect tab0 = original[res::IDC_TAB];
  EXPECT_EQ(tab.GetSize(), tab0.GetSize());
  EXPECT_EQ(tab.x, tab0.x + dx / 2);
  EXPECT_EQ(tab.y, tab0.y + dy / 2);
  const wxRect start = win->FindWindow(res::IDC_START)->GetRect();
  const wxRect start0 = original[res::IDC_START];
  EXPECT_NEAR(start.x, big.x * (static_cast<double>(start0.x) / small.x), 1.0);
  EXPECT_NEAR(start.GetRight() + 1, big.x * (static_cast<double>(start0.GetRight() + 1) / small.x),
              1.0);
  EXPECT_EQ(start.y, start0.y + dy / 2);
  EXPECT_EQ(start.height, start0.height);

  win->SetSize(small);
  ASSERT_TRUE(test::PumpUntil([&] { return win->GetSize() == small; }));
  test::Pump();
  for (int id : win->Placement().ChildIds()) EXPECT_EQ(win->FindWindow(id)->GetRect(), original[id]) << id;
}

}  // namespace
}  // namespace pelorin
