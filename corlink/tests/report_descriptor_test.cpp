#include "hid/report_descriptor.h"

#include <gtest/gtest.h>

#include "descriptor_samples.h"

namespace corlink::hid {
namespace {

using test::Bytes;

ParsedDescriptor Parse(const Bytes& b) { return ParseReportDescriptor(b.data(), b.size()); }

TEST(ReportDescriptor, VendorPairGivesOneEntryEachWithIdAndCount) {
  const ParsedDescriptor p = Parse(test::VendorPair(0x0A, 0x09, 63));
  ASSERT_TRUE(p.ok) << p.error;
  ASSERT_EQ(p.collections.size(), 1u);
  const Collection& c = p.collections[0];
  ASSERT_EQ(c.inputs.size(), 1u);
  ASSERT_EQ(c.outputs.size(), 1u);
  EXPECT_TRUE(c.features.empty());
  EXPECT_EQ(c.inputs[0].report_id, 0x0A);
  EXPECT_EQ(c.inputs[0].report_count, 63u);
  EXPECT_EQ(c.inputs[0].report_size, 8u);
  EXPECT_FALSE(c.inputs[0].is_button);
  EXPECT_EQ(c.outputs[0].report_id, 0x09);
  EXPECT_EQ(c.outputs[0].report_count, 63u);
}

TEST(ReportDescriptor, TopLevelCollectionsAreSeparateAndNestedOnesAreNot) {
  const Bytes nested = {0x09, 0x01, 0xA1, 0x01, 0x09, 0x02, 0xA1, 0x02, 0x75, 0x08, 0x95, 0x04,
                        0x85, 0x05, 0x09, 0x03, 0x81, 0x02, 0xC0, 0xC0};
  const ParsedDescriptor p =
      Parse(test::Concat({test::FeatureOnly(), nested, test::VendorPair(0x35, 0x53, 7)}));
  ASSERT_TRUE(p.ok) << p.error;
  ASSERT_EQ(p.collections.size(), 3u);
  EXPECT_EQ(p.collections[0].features.size(), 1u);
  EXPECT_EQ(p.collections[0].features[0].report_count, 19u);
  ASSERT_EQ(p.collections[1].inputs.size(), 1u);  // from the nested collection
  EXPECT_EQ(p.collections[1].inputs[0].report_id, 5);
  EXPECT_EQ(p.collections[2].inputs[0].report_id, 0x35);
}

TEST(ReportDescriptor, ValueUsageRangeGivesOneEntryPerUsage) {
  // usage min 1, max 4, four 16-bit fields: four values of one field each.
  const Bytes d = {0xA1, 0x01, 0x19, 0x01, 0x29, 0x04, 0x15, 0x00, 0x27, 0xFF, 0xFF, 0x00, 0x00,
                   0x75, 0x10, 0x95, 0x04, 0x81, 0x02, 0xC0};
  const ParsedDescriptor p = Parse(d);
  ASSERT_TRUE(p.ok) << p.error;
  ASSERT_EQ(p.collections[0].inputs.size(), 4u);
  for (const auto& e : p.collections[0].inputs) EXPECT_EQ(e.report_count, 1u);
}

TEST(ReportDescriptor, LastUsageTakesTheFieldsLeftOver) {
  // Two usages, ten fields: the first usage one field, the second nine.
  const Bytes d = {0xA1, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x00, 0x25, 0x7F,
                   0x75, 0x08, 0x95, 0x0A, 0x81, 0x02, 0xC0};
  const ParsedDescriptor p = Parse(d);
  ASSERT_TRUE(p.ok);
  ASSERT_EQ(p.collections[0].inputs.size(), 2u);
  EXPECT_EQ(p.collections[0].inputs[0].report_count, 1u);
  EXPECT_EQ(p.collections[0].inputs[1].report_count, 9u);
}

TEST(ReportDescriptor, ButtonsCountOncePerCapabilityAndPaddingNotAtAll) {
  // 8 one-bit buttons over a usage range, then 8 bits of constant padding, then an array.
  const Bytes d = {0xA1, 0x01, 0x05, 0x09, 0x19, 0x01, 0x29, 0x08, 0x15, 0x00, 0x25, 0x01,
                   0x75, 0x01, 0x95, 0x08, 0x81, 0x02,   // buttons (variable, 0..1)
                   0x75, 0x08, 0x95, 0x01, 0x81, 0x01,   // padding
                   0x19, 0x00, 0x29, 0x65, 0x25, 0x65, 0x95, 0x06, 0x81, 0x00,  // array
                   0xC0};
  const ParsedDescriptor p = Parse(d);
  ASSERT_TRUE(p.ok) << p.error;
  ASSERT_EQ(p.collections[0].inputs.size(), 2u);
  EXPECT_TRUE(p.collections[0].inputs[0].is_button);
  EXPECT_TRUE(p.collections[0].inputs[1].is_button);
}

TEST(ReportDescriptor, PushAndPopRestoreTheReportId) {
  const Bytes d = {0xA1, 0x01, 0x75, 0x08, 0x85, 0x0A, 0xA4, 0x85, 0x22, 0x95, 0x02, 0x09, 0x01,
                   0x81, 0x02, 0xB4, 0x95, 0x03, 0x09, 0x01, 0x91, 0x02, 0xC0};
  const ParsedDescriptor p = Parse(d);
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.collections[0].inputs[0].report_id, 0x22);
  EXPECT_EQ(p.collections[0].outputs[0].report_id, 0x0A);
  EXPECT_EQ(p.collections[0].outputs[0].report_count, 3u);
}

TEST(ReportDescriptor, LongItemsAreSkipped) {
  Bytes d = {0xFE, 0x02, 0x10, 0xAA, 0xBB};
  const Bytes pair = test::VendorPair(0x0A, 0x09, 18);
  d.insert(d.end(), pair.begin(), pair.end());
  const ParsedDescriptor p = Parse(d);
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.collections[0].inputs[0].report_count, 18u);
}

TEST(ReportDescriptor, MalformedInputIsRejectedWithAReason) {
  const struct {
    Bytes bytes;
    const char* why;
  } cases[] = {
      {{0xA1, 0x01, 0x75}, "truncated item"},
      {{0xA1, 0x01, 0xFE, 0x09, 0x00, 0x01}, "truncated long item"},
      {{0xA1, 0x01}, "unbalanced collection at end of descriptor"},
      {{0xC0}, "end collection without collection"},
      {{0xA1, 0x01, 0x85, 0x00, 0xC0}, "report id out of range 1..255"},
      {{0xB4}, "pop without push"},
  };
  for (const auto& c : cases) {
    const ParsedDescriptor p = Parse(c.bytes);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, c.why);
    EXPECT_TRUE(p.collections.empty());
  }
  Bytes huge(kMaxDescriptorSize + 1, 0);
  EXPECT_FALSE(Parse(huge).ok);
}

TEST(ReportDescriptor, HugeUsageRangesAreCapped) {
  // A range of 65536 usages over 65535 fields, repeated: entries stay bounded.
  Bytes d = {0xA1, 0x01, 0x75, 0x01, 0x15, 0x00, 0x25, 0x05, 0x97, 0xFF, 0xFF, 0x00, 0x00};
  for (int i = 0; i < 8; ++i) {
    const Bytes item = {0x1B, 0x00, 0x00, 0x00, 0x00, 0x2B, 0xFF, 0xFF, 0x00, 0x00, 0x81, 0x02};
    d.insert(d.end(), item.begin(), item.end());
  }
  d.push_back(0xC0);
  const ParsedDescriptor p = Parse(d);
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.collections[0].inputs.size(), kMaxEntriesPerCollection);
}

TEST(ReportDescriptor, EmptyDescriptorHasNoCollections) {
  const ParsedDescriptor p = ParseReportDescriptor(nullptr, 0);
  EXPECT_TRUE(p.ok);
  EXPECT_TRUE(p.collections.empty());
}

}  // namespace
}  // namespace corlink::hid
