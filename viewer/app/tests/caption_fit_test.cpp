// The geometry of fitting controls to the toolkit, without a display: how far a control may
// grow to the right, height growth about the centre, and the font size a caption needs.
#include <gtest/gtest.h>

#include "view/caption_fit.h"

namespace pelorin {
namespace {

TEST(CaptionFit, RightLimitStopsAtTheNearestNeighbourInTheSameRows) {
  const wxRect box(100, 20, 40, 20);
  // A neighbour far right, a nearer one, one above the rows and one to the left.
  const std::vector<wxRect> neighbours = {
      {200, 25, 30, 10}, {160, 30, 30, 20}, {145, 0, 30, 19}, {50, 20, 40, 20}};
  EXPECT_EQ(RightLimit(box, neighbours, 500), 160 - kNeighbourGap);
  // The bound wins when it is nearer than every neighbour.
  EXPECT_EQ(RightLimit(box, neighbours, 150), 150);
}

TEST(CaptionFit, RightLimitIgnoresWhatTheControlAlreadyOverlapsAndNeverShrinks) {
  const wxRect box(100, 20, 40, 20);
  // A slider whose corner the template already lets the box touch does not stop it.
  EXPECT_EQ(RightLimit(box, {{130, 35, 60, 30}}, 300), 300);
  // A neighbour right at the edge, or a bound inside the box, keeps the box as it is.
  EXPECT_EQ(RightLimit(box, {{141, 20, 20, 20}}, 300), 140);
  EXPECT_EQ(RightLimit(box, {}, 120), 140);
  // Rows that only touch (bottom edge exclusive) are not the same rows.
  EXPECT_EQ(RightLimit(box, {{150, 40, 20, 20}}, 300), 300);
}

TEST(CaptionFit, HeightGrowsAboutTheCentreOnlyWhenTooSmall) {
  EXPECT_EQ(WithMinimumHeight({10, 161, 128, 24}, 34), wxRect(10, 156, 128, 34));
  EXPECT_EQ(WithMinimumHeight({10, 50, 60, 19}, 21), wxRect(10, 49, 60, 21));
  EXPECT_EQ(WithMinimumHeight({10, 50, 60, 20}, 21), wxRect(10, 50, 60, 21));  // odd growth: down
  EXPECT_EQ(WithMinimumHeight({10, 50, 60, 30}, 21), wxRect(10, 50, 60, 30));
}

TEST(CaptionFit, PointsThatFitTakesTheLargestSizeDownToTheFloor) {
  // Text 8 pixels a point, 18 pixels of box and spacing.
  auto width = [](double p) { return static_cast<int>(8 * p); };
  EXPECT_EQ(PointsThatFit(9.0, 18, 90, width), 9.0);
  EXPECT_EQ(PointsThatFit(9.0, 18, 86, width), 8.5);
  EXPECT_EQ(PointsThatFit(9.0, 18, 70, width), 6.5);
  // Nothing fits: the floor, never smaller.
  EXPECT_EQ(PointsThatFit(9.0, 18, 20, width), kSmallestCaptionPoints);
}

}  // namespace
}  // namespace pelorin
