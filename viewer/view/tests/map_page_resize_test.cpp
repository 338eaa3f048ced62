// The map page's resize rule, without a window: which sizes move the map area and where.
#include "view/show_dialog.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

TEST(MapAreaFollower, FirstSizeIsOnlyRecordedLaterOnesScaleFromTheOneBefore) {
  MapAreaFollower follower;
  const wxRect area(10, 20, 600, 440);
  EXPECT_FALSE(follower.Follow(area, {1000, 800}));
  // Half the width, the same height: left and right halve, top and bottom stay.
  EXPECT_EQ(follower.Follow(area, {500, 800}), wxRect(5, 20, 300, 440));
  // Scaled from 500 x 800, not from the first size.
  EXPECT_EQ(follower.Follow(wxRect(5, 20, 300, 440), {1000, 400}), wxRect(10, 10, 600, 220));
}

TEST(MapAreaFollower, IntegerEdgesTruncateEachOnItsOwn) {
  MapAreaFollower follower;
  follower.Follow({}, {3, 3});
  // Edges 1, 2 -> 1 * 2 / 3 = 0 and 2 * 2 / 3 = 1: the width comes from the edges, not
  // from scaling the width (1 * 2 / 3 = 0).
  EXPECT_EQ(follower.Follow(wxRect(1, 1, 1, 1), {2, 2}), wxRect(0, 0, 1, 1));
}

TEST(MapAreaFollower, ZeroSizesMoveNothingAndNeverDivide) {
  MapAreaFollower follower;
  const wxRect area(7, 7, 605, 443);
  EXPECT_FALSE(follower.Follow(area, {0, 0}));
  EXPECT_FALSE(follower.Follow(area, {0, 0}));
  EXPECT_FALSE(follower.Follow(area, {800, 600}));  // the size before was 0 x 0
  EXPECT_EQ(follower.Follow(area, {1600, 600}), wxRect(14, 7, 1210, 443));
  EXPECT_FALSE(follower.Follow(area, {1600, 0}));   // one side 0 is enough
  EXPECT_FALSE(follower.Follow(area, {-5, 600}));
  EXPECT_FALSE(follower.Follow(area, {1600, 600}));  // after a bad size, one more to settle
  EXPECT_EQ(follower.Follow(area, {800, 300}), wxRect(3, 3, 303, 222));
}

}  // namespace
}  // namespace pelorin
