#include "recording/csv_reader.h"

#include <gtest/gtest.h>

#include <climits>

#include "test_files.h"

namespace pelorin {
namespace {

using test::ScratchDir;
using test::WriteText;

std::vector<std::string> Row(CsvReader& r) {
  std::vector<std::string> out;
  for (auto f : r.Fields()) out.emplace_back(f);
  return out;
}

using Fields = std::vector<std::string>;

TEST(CsvReader, SplitsLinesIntoFieldsLikeTheRecordingsNeed) {
  ScratchDir dir;
  // A trailing separator gives an empty last field; CR LF and LF read alike; fields keep
  // their blanks; an unterminated last line still counts.
  WriteText(dir.File("a.csv"), "a, b ,c,\r\n\n1,2\r\nlast");
  CsvReader r;
  ASSERT_TRUE(r.Open(dir.File("a.csv")));
  ASSERT_TRUE(r.ReadRow());
  EXPECT_EQ(Row(r), (Fields{"a", " b ", "c", ""}));
  ASSERT_TRUE(r.ReadRow());
  EXPECT_EQ(Row(r), (Fields{""}));
  ASSERT_TRUE(r.ReadRow());
  EXPECT_EQ(Row(r), (Fields{"1", "2"}));
  EXPECT_TRUE(r.HasMoreData());
  ASSERT_TRUE(r.ReadRow());
  EXPECT_EQ(Row(r), (Fields{"last"}));
  EXPECT_EQ(r.LineNumber(), 4u);
  EXPECT_FALSE(r.HasMoreData());
  EXPECT_FALSE(r.ReadRow());
  EXPECT_EQ(r.FieldCount(), 0u);
}

TEST(CsvReader, QuotesTrimAndSkippedRowsFollowTheSettings) {
  ScratchDir dir;
  WriteText(dir.File("q.csv"), "skip me\n\"ab\",\"\",\"x\"y, t \n");
  CsvSettings s;
  s.skipRows = 1;
  s.trimFields = true;
  CsvReader r(s);
  ASSERT_TRUE(r.Open(dir.File("q.csv")));
  ASSERT_TRUE(r.ReadRow());
  // Only a field of more than two characters loses its enclosing marks.
  EXPECT_EQ(Row(r), (Fields{"ab", "\"\"", "\"x\"y", "t"}));
  EXPECT_FALSE(r.ReadRow());
}

TEST(CsvReader, LinesLongerThanTheBufferAreReadWhole) {
  ScratchDir dir;
  std::string longLine;
  for (int i = 0; i < 400000; ++i) longLine += std::to_string(i % 10) + ",";
  WriteText(dir.File("long.csv"), "head\n" + longLine + "\ntail\n");
  CsvReader r;
  ASSERT_TRUE(r.Open(dir.File("long.csv")));
  ASSERT_TRUE(r.ReadRow());
  EXPECT_EQ(r.BytesRemaining(), longLine.size() + 6);
  ASSERT_TRUE(r.ReadRow());
  ASSERT_EQ(r.FieldCount(), 400001u);
  EXPECT_EQ(r.Field(399999), "9");
  EXPECT_EQ(r.Field(400000), "");
  ASSERT_TRUE(r.ReadRow());
  EXPECT_EQ(Row(r), (Fields{"tail"}));
  EXPECT_EQ(r.BytesRemaining(), 0u);
}

TEST(CsvReader, OpenFailuresAreReportedOnStderr) {
  CsvReader r;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(r.Open("/nonexistent/dir/x.csv"));
  EXPECT_FALSE(r.Open(""));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Fatal error : unable to open input file /nonexistent/dir/x.csv\n"
            "Fatal error : invalid input file \n");
  EXPECT_FALSE(r.IsOpen());
  EXPECT_FALSE(r.ReadRow());
}

TEST(ParseLeadingInt, ReadsLikePercentDAndSaturates) {
  EXPECT_EQ(ParseLeadingInt("12"), 12);
  EXPECT_EQ(ParseLeadingInt("  -7ms"), -7);
  EXPECT_EQ(ParseLeadingInt("+5"), 5);
  EXPECT_EQ(ParseLeadingInt(""), 0);
  EXPECT_EQ(ParseLeadingInt("abc"), 0);
  EXPECT_EQ(ParseLeadingInt("-"), 0);
  EXPECT_EQ(ParseLeadingInt("2147483647"), INT_MAX);
  EXPECT_EQ(ParseLeadingInt("-2147483648"), INT_MIN);
  EXPECT_EQ(ParseLeadingInt("2147483648"), INT_MAX);
  EXPECT_EQ(ParseLeadingInt("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(ParseLeadingInt("-99999999999999999999999"), INT_MIN);
}

}  // namespace
}  // namespace pelorin
