#include "data/batch_args.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

TEST(BatchArguments, NoArgumentsNoBatch) {
  const BatchArguments b = ParseBatchArguments({});
  EXPECT_FALSE(b.batch);
  EXPECT_FALSE(b.sourceType.has_value());
  EXPECT_TRUE(b.error.empty());
}

TEST(BatchArguments, AllThreePositions) {
  const BatchArguments b = ParseBatchArguments({"2", "100", "test", "ignored"});
  EXPECT_TRUE(b.batch);
  EXPECT_TRUE(b.error.empty());
  EXPECT_EQ(b.sourceType, 3);
  EXPECT_EQ(b.frameLimit, 100);
  ASSERT_TRUE(b.name.has_value());
  EXPECT_EQ(BatchName(*b.name, "Base"), "test - Base");
}

TEST(BatchArguments, SourceDigitOnly) {
  const BatchArguments b = ParseBatchArguments({"5"});
  EXPECT_TRUE(b.batch);
  EXPECT_EQ(b.sourceType, 6);
  EXPECT_EQ(b.frameLimit, 0) << "the run stops after its first frame";
  EXPECT_FALSE(b.name.has_value());
  EXPECT_EQ(ParseBatchArguments({"0"}).sourceType, 1);
  EXPECT_EQ(ParseBatchArguments({"31"}).sourceType, 4) << "only the first character counts";
}

TEST(BatchArguments, RefusesBadSourceCharacters) {
  for (const char* arg : {"6", "/", "", "x"}) {
    const BatchArguments b = ParseBatchArguments({arg});
    EXPECT_FALSE(b.error.empty()) << '"' << arg << '"';
    EXPECT_FALSE(b.sourceType.has_value());
  }
}

TEST(BatchArguments, FrameLimitMustBeDecimal) {
  EXPECT_EQ(ParseBatchArguments({"1", "2147483647"}).frameLimit, 2147483647);
  EXPECT_EQ(ParseBatchArguments({"1", "007"}).frameLimit, 7);
  for (const char* arg : {"10a", "", "-1", " 5", "2147483648", "99999999999999999999"}) {
    const BatchArguments b = ParseBatchArguments({"1", arg});
    EXPECT_NE(b.error.find("frame limit"), std::string::npos) << '"' << arg << '"';
  }
}

}  // namespace
}  // namespace pelorin
