#include "data/filter_choice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

namespace pelorin {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

constexpr FilterKernel kCustom = {{{1, 2, 3}, {4, -5, 6}, {7, 8, 9}}};

TEST(LeadingInt, ReadsLeadingDigitsAndNothingElse) {
  EXPECT_EQ(LeadingInt("42"), 42);
  EXPECT_EQ(LeadingInt("  -7"), -7);
  EXPECT_EQ(LeadingInt("+3"), 3);
  EXPECT_EQ(LeadingInt("\t12ab"), 12);
  EXPECT_EQ(LeadingInt("1 2"), 1);
  EXPECT_EQ(LeadingInt("abc"), 0);
  EXPECT_EQ(LeadingInt("-"), 0);
  EXPECT_EQ(LeadingInt("--1"), 0);
  EXPECT_EQ(LeadingInt("0x10"), 0);
  EXPECT_EQ(LeadingInt(""), 0);
}

TEST(LeadingInt, StopsAtTheInt32Limits) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(LeadingInt("2147483647"), kMax);
  EXPECT_EQ(LeadingInt("2147483648"), kMax);
  EXPECT_EQ(LeadingInt("-2147483648"), kMin);
  EXPECT_EQ(LeadingInt("-2147483649"), kMin);
  EXPECT_EQ(LeadingInt("99999999999999999999999999"), kMax);
  EXPECT_EQ(LeadingInt("-99999999999999999999999999"), kMin);
}

TEST(FilterChoice, OpensOnTheStoredKernelWithTheTypesRadio) {
  const FilterChoice custom(2, kCustom);
  EXPECT_THAT(custom.Texts(), ElementsAre("1", "2", "3", "4", "-5", "6", "7", "8", "9"));
  EXPECT_EQ(custom.Checked(), FilterType::Customize);
  EXPECT_TRUE(custom.Editable());

  // The stored kernel is shown as it is, whatever the type would write.
  const FilterChoice highPass(1, kCustom);
  EXPECT_EQ(highPass.Checked(), FilterType::HighPass);
  EXPECT_EQ(highPass.Texts()[4], "-5");
  EXPECT_FALSE(highPass.Editable());

  // An unknown type checks Weight, locks the texts and is kept until a radio is chosen.
  for (int32_t unknown : {-1, 3, 77}) {
    const FilterChoice choice(unknown, kCustom);
    EXPECT_EQ(choice.Checked(), FilterType::Weight) << unknown;
    EXPECT_FALSE(choice.Editable());
    EXPECT_EQ(choice.Type(), unknown);
  }
}

TEST(FilterChoice, RadioButtonsWriteTheirKernelsAndCustomizeKeepsTheTexts) {
  FilterChoice choice(2, kCustom);
  choice.Choose(FilterType::Weight);
  EXPECT_THAT(choice.Texts(), Each("1"));
  EXPECT_EQ(choice.Type(), 0);
  EXPECT_FALSE(choice.Editable());

  choice.Choose(FilterType::HighPass);
  EXPECT_THAT(choice.Texts(), ElementsAre("-1", "-1", "-1", "-1", "8", "-1", "-1", "-1", "-1"));
  EXPECT_EQ(choice.Type(), 1);
  EXPECT_FALSE(choice.Editable());

  // High Pass then Customize: the -1 / 8 values are the starting custom values.
  choice.Choose(FilterType::Customize);
  EXPECT_EQ(choice.Type(), 2);
  EXPECT_TRUE(choice.Editable());
  FilterKernel kernel{};
  ASSERT_TRUE(choice.Accept(kernel));
  EXPECT_EQ(kernel, FixedKernel(FilterType::HighPass));
  EXPECT_FALSE(FixedKernel(FilterType::Customize));
}

TEST(FilterChoice, AcceptConvertsEveryTextAndRefusesAnEmptyOne) {
  FilterChoice choice(2, FilterKernel{});
  const char* typed[] = {"3", " -2", "x", "7z", "+4", "10", "0", "-0", "99"};
  for (int i = 0; i < 9; ++i) choice.SetText(i, typed[i]);
  choice.SetText(9, "5");   // out of range: ignored
  choice.SetText(-1, "5");
  FilterKernel kernel{};
  ASSERT_TRUE(choice.Accept(kernel));
  EXPECT_EQ(kernel, (FilterKernel{{{3, -2, 0}, {7, 4, 10}, {0, 0, 99}}}));

  // One empty text refuses OK, but every other text is still converted.
  choice.SetText(4, "");
  FilterKernel refused{};
  EXPECT_FALSE(choice.Accept(refused));
  EXPECT_EQ(refused, (FilterKernel{{{3, -2, 0}, {7, 0, 10}, {0, 0, 99}}}));
}

}  // namespace
}  // namespace pelorin
