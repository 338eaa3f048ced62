// Limits files: what parses, what is refused with which line, and which rule a cell gets.
#include "data/limits/limits_file.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

LimitsFile Parse(std::string_view text) {
  LimitsFile f;
  std::string error;
  EXPECT_TRUE(ParseLimits(text, &f, &error)) << error;
  return f;
}

std::string Refusal(std::string_view text) {
  LimitsFile f;
  std::string error;
  EXPECT_FALSE(ParseLimits(text, &f, &error)) << text;
  return error;
}

TEST(LimitsFile, ReadsEveryKindOfRuleWithCommentsBlanksAndCrLf) {
  const LimitsFile f = Parse(
      "# panel test\r\n"
      "source, Base\r\n"
      "\r\n"
      "value, *, *, 120, 230   # whole panel\r\n"
      "Value,3,*,,225\r\n"
      "noise_pp, *, 4, , 8\n"
      "noise_rms, 2, 1, 0.5, 2.5\n");
  EXPECT_EQ(f.source, "Base");
  ASSERT_EQ(f.rules.size(), 4u);
  EXPECT_EQ(f.rules[0].kind, LimitKind::Value);
  EXPECT_EQ(f.rules[0].x, -1);
  EXPECT_EQ(f.rules[0].y, -1);
  EXPECT_EQ(f.rules[0].min, 120);
  EXPECT_EQ(f.rules[0].max, 230);
  EXPECT_EQ(f.rules[0].line, 4);
  EXPECT_EQ(f.rules[1].x, 3);
  EXPECT_FALSE(f.rules[1].min.has_value());
  EXPECT_EQ(f.rules[1].max, 225);
  EXPECT_EQ(f.rules[2].kind, LimitKind::NoisePp);
  EXPECT_EQ(f.rules[2].y, 4);
  EXPECT_EQ(f.rules[3].kind, LimitKind::NoiseRms);
  EXPECT_DOUBLE_EQ(*f.rules[3].min, 0.5);
  EXPECT_DOUBLE_EQ(*f.rules[3].max, 2.5);
}

TEST(LimitsFile, RefusesBadLinesNamingTheLine) {
  EXPECT_EQ(Refusal("value, *, *, 1, 2\nlimit, *, *, 1, 2\n").rfind("line 2: unknown rule", 0), 0u);
  EXPECT_NE(Refusal("value, *, *, 1\n").find("five fields"), std::string::npos);
  EXPECT_NE(Refusal("value, *, *, 1, 2, 3\n").find("five fields"), std::string::npos);
  EXPECT_NE(Refusal("value, -1, *, 1, 2\n").find("x must be"), std::string::npos);
  EXPECT_NE(Refusal("value, 4096, *, 1, 2\n").find("x must be"), std::string::npos);
  EXPECT_NE(Refusal("value, *, 3x, 1, 2\n").find("y must be"), std::string::npos);
  // Value limits are whole 32-bit counts; noise limits may have decimals but are not negative.
  EXPECT_NE(Refusal("value, *, *, 1.5, 2\n").find("min must be"), std::string::npos);
  EXPECT_NE(Refusal("value, *, *, 1, 2147483648\n").find("max must be"), std::string::npos);
  EXPECT_NE(Refusal("noise_pp, *, *, , -1\n").find("max must be"), std::string::npos);
  EXPECT_NE(Refusal("noise_rms, *, *, , nan\n").find("max must be"), std::string::npos);
  EXPECT_NE(Refusal("value, *, *, 5, 4\n").find("min is above max"), std::string::npos);
  EXPECT_NE(Refusal("value, *, *, , \n").find("neither"), std::string::npos);
  EXPECT_NE(Refusal("source\n").find("one name"), std::string::npos);
  EXPECT_NE(Refusal(std::string_view("value, *, *, 1,\0 2\n", 19)).find("NUL"), std::string::npos);
}

TEST(LimitsFile, TheMostSpecificRuleWinsAndThenTheLaterOne) {
  const LimitsFile f = Parse(
      "value, 1, 1, 50, 60\n"  // the cell, although it comes first
      "value, *, *, 0, 100\n"
      "value, 1, *, 10, 90\n"
      "value, *, 2, 20, 80\n"  // a line rule as specific as x = 1: later wins on (1, 2)
      "noise_pp, *, *, , 5\n");
  std::vector<CellBounds> b;
  std::string error;
  ASSERT_TRUE(ResolveLimits(f, LimitKind::Value, 3, 3, &b, &error)) << error;
  auto at = [&](int x, int y) { return b[size_t(x) * 3 + size_t(y)]; };
  EXPECT_EQ(at(0, 0).min, 0);
  EXPECT_EQ(at(1, 0).min, 10);
  EXPECT_EQ(at(1, 1).min, 50);
  EXPECT_EQ(at(1, 2).min, 20);
  EXPECT_EQ(at(2, 2).max, 80);
  // Kinds do not mix.
  ASSERT_TRUE(ResolveLimits(f, LimitKind::NoiseRms, 3, 3, &b, &error));
  EXPECT_FALSE(b[0].max.has_value());
  EXPECT_TRUE(HasRules(f, LimitKind::NoisePp));
  EXPECT_FALSE(HasRules(f, LimitKind::NoiseRms));
}

TEST(LimitsFile, ARuleOutsideThePanelIsAnError) {
  const LimitsFile f = Parse("value, *, *, 0, 100\nvalue, 2, 9, 0, 1\n");
  std::vector<CellBounds> b;
  std::string error;
  EXPECT_FALSE(ResolveLimits(f, LimitKind::Value, 3, 9, &b, &error));
  EXPECT_NE(error.find("line 2 names (2, 9), outside the 3 x 9 panel"), std::string::npos) << error;
  EXPECT_TRUE(ResolveLimits(f, LimitKind::Value, 3, 10, &b, &error));
}

}  // namespace
}  // namespace pelorin
