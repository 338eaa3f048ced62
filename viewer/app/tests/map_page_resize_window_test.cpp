// The map page in the main window follows its size notifications: the map area scales
// from the size before, a 0 x 0 size moves nothing, and the map window stays on the page.
#include <gtest/gtest.h>
#include <wx/stattext.h>

#include "app/pelorin_dlg.h"
#include "gui_support.h"
#include "view/map_window.h"
#include "view/show_dialog.h"

namespace pelorin {
namespace {

void SendSize(CShowDialog* page, const wxSize& size) {
  wxSizeEvent event(size, page->GetId());
  event.SetEventObject(page);
  page->GetEventHandler()->ProcessEvent(event);
}

TEST(MapPageResize, TheAreaScalesFromTheSizeBeforeAndZeroMovesNothing) {
  test::ScratchDir dir;
  test::Window win;
  CShowDialog* page = win->MapPage();
  ASSERT_NE(page, nullptr);
  ASSERT_NE(page->MapArea(), nullptr);
  // Settle on a known size first: the page has had sizes of its own before.
  const wxSize base(800, 600);
  SendSize(page, base);
  const wxRect start = page->MapArea()->GetRect();

  SendSize(page, {400, 300});
  EXPECT_EQ(page->MapArea()->GetRect(), ScaleMapArea(start, base, {400, 300}));
  const wxRect half = page->MapArea()->GetRect();

  SendSize(page, {0, 0});
  EXPECT_EQ(page->MapArea()->GetRect(), half);
  SendSize(page, {800, 600});  // the size before was 0 x 0: still nothing moves
  EXPECT_EQ(page->MapArea()->GetRect(), half);
  SendSize(page, {1600, 600});
  EXPECT_EQ(page->MapArea()->GetRect(), ScaleMapArea(half, {800, 600}, {1600, 600}));
  // The map window is never left hanging off the page it is on.
  ASSERT_NE(page->Map(), nullptr);
  const wxRect map = page->Map()->GetRect();
  EXPECT_TRUE(wxRect(wxPoint(0, 0), page->GetClientSize()).Contains(map));
}

}  // namespace
}  // namespace pelorin
