#include "data/number_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace pelorin {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

TEST(NumberList, KeepsOnlyPlainPositiveNumbersSorted) {
  EXPECT_THAT(ParseNumberList("2,5"), ElementsAre(2, 5));
  EXPECT_THAT(ParseNumberList("2, 5"), ElementsAre(2));
  EXPECT_THAT(ParseNumberList("9,0,3,,x1,3,-4,+6"), ElementsAre(3, 9));
  EXPECT_THAT(ParseNumberList("2147483647,2147483648,99999999999999999999"), ElementsAre(2147483647));
  EXPECT_THAT(ParseNumberList(""), IsEmpty());
  EXPECT_THAT(ParseNumberList(","), IsEmpty());
}

TEST(NumberList, MaskPointsArePairsOfTwoNumbers) {
  EXPECT_THAT(ParseMaskPoints("3,4;0,2; 7 , 1 ;5;1,2,3;a,1;;"),
              ElementsAre(Pair(3, 4), Pair(0, 2), Pair(7, 1)));
  EXPECT_THAT(ParseMaskPoints(""), IsEmpty());
}

}  // namespace
}  // namespace pelorin
