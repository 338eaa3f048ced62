// Intel HEX and raw images: what is accepted, how runs are joined, and every refusal with
// the line it names.
#include <gtest/gtest.h>

#include "crc16.h"
#include "image.h"

namespace corlink_tool {
namespace {

// A record with its checksum.
std::string Rec(const std::string& body) {
  unsigned sum = 0;
  for (size_t i = 0; i + 1 < body.size(); i += 2) sum += static_cast<unsigned>(std::stoul(body.substr(i, 2), nullptr, 16));
  char cs[3];
  std::snprintf(cs, sizeof cs, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
  return ":" + body + cs + "\n";
}

const std::string kEof = ":00000001FF\n";

std::string Refusal(const std::string& text) {
  Image image;
  std::string error;
  EXPECT_FALSE(ParseIntelHex(text, &image, &error)) << text;
  return error;
}

TEST(IntelHex, DataRecordsJoinIntoRunsUnderBothAddressRecords) {
  const std::string text = Rec("020000040001") + Rec("0400100011223344") + Rec("0200140055AA") +
                           Rec("020000021000") + Rec("01000000EE") + Rec("0400000500001000") + kEof;
  Image image;
  std::string error;
  ASSERT_TRUE(ParseIntelHex(text, &image, &error)) << error;
  ASSERT_EQ(image.segments.size(), 2u);
  EXPECT_EQ(image.segments[0].address, 0x00010000u);  // segment base 0x1000 << 4
  EXPECT_EQ(image.segments[0].data, std::vector<uint8_t>{0xEE});
  EXPECT_EQ(image.segments[1].address, 0x00010010u);
  EXPECT_EQ(image.segments[1].data, (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44, 0x55, 0xAA}));
  EXPECT_EQ(image.Size(), 7u);
}

TEST(IntelHex, OutOfOrderRecordsAreSortedAndCrlfIsFine) {
  std::string text = Rec("02000400CCDD") + Rec("04000000AABBCCDD") + kEof;
  for (size_t p = text.find('\n'); p != std::string::npos; p = text.find('\n', p + 2)) text.insert(p, "\r");
  Image image;
  std::string error;
  ASSERT_TRUE(ParseIntelHex(text, &image, &error)) << error;
  ASSERT_EQ(image.segments.size(), 1u);
  EXPECT_EQ(image.segments[0].data, (std::vector<uint8_t>{0xAA, 0xBB, 0xCC, 0xDD, 0xCC, 0xDD}));
}

TEST(IntelHex, RefusalsNameTheLineAndTheReason) {
  const std::string good = Rec("0400000001020304");
  std::string bad_sum = good;
  bad_sum[bad_sum.size() - 2] = bad_sum[bad_sum.size() - 2] == '0' ? '1' : '0';
  EXPECT_EQ(Refusal(good + bad_sum + kEof), "line 2: checksum mismatch");
  EXPECT_EQ(Refusal(":0400000001020G04F2\n" + kEof), "line 1: 'G' is not a hex digit");
  EXPECT_EQ(Refusal("0400000001020304F2\n" + kEof), "line 1: a record must start with ':'");
  EXPECT_EQ(Refusal(":040000000102030F2\n" + kEof), "line 1: odd number of hex digits");
  EXPECT_EQ(Refusal(Rec("05000000010203") + kEof), "line 1: byte count does not match the record");
  EXPECT_EQ(Refusal(":0000\n" + kEof), "line 1: record too short");
  EXPECT_EQ(Refusal(Rec("00000006") + kEof), "line 1: unknown record type 6");
  EXPECT_EQ(Refusal(good), "no end-of-file record");
  EXPECT_EQ(Refusal(kEof), "no data records");
  EXPECT_EQ(Refusal(good + kEof + good), "line 3: record after the end-of-file record");
  EXPECT_EQ(Refusal(Rec("0100000401") + kEof), "line 1: linear address record needs 2 bytes");
  EXPECT_EQ(Refusal(Rec("0100000101") + kEof), "line 1: end-of-file record with data");
}

TEST(IntelHex, OverlappingRecordsAreRefusedTouchingOnesAreNot) {
  // 0..3, then 2..3 again.
  EXPECT_EQ(Refusal(Rec("0400000001020304") + Rec("020002009999") + kEof), "line 2: overlaps bytes given before");
  // A record inside one given later, from the other side.
  EXPECT_EQ(Refusal(Rec("020002009999") + Rec("0400000001020304") + kEof), "line 2: overlaps bytes given before");
  // The same bytes reached through a different base.
  EXPECT_EQ(Refusal(Rec("0400100001020304") + Rec("020000020001") + Rec("0100000099") + kEof),
            "line 3: overlaps bytes given before");
  Image image;
  std::string error;
  EXPECT_TRUE(ParseIntelHex(Rec("020002009999") + Rec("020000000102") + kEof, &image, &error)) << error;
  EXPECT_EQ(image.segments.size(), 1u);
}

TEST(IntelHex, DataPastFourGibIsRefused) {
  EXPECT_EQ(Refusal(Rec("02000004FFFF") + Rec("04FFFE0001020304") + kEof),
            "line 2: data runs past the 32-bit address space");
}

TEST(RawImage, PlacedAtTheAddressWithinBounds) {
  Image image;
  std::string error;
  ASSERT_TRUE(RawImage({1, 2, 3}, 0x3000, &image, &error));
  EXPECT_EQ(image.segments[0].address, 0x3000u);
  EXPECT_FALSE(RawImage({}, 0x3000, &image, &error));
  EXPECT_EQ(error, "the file is empty");
  EXPECT_FALSE(RawImage({1, 2}, 0xFFFFFFFFu, &image, &error));
}

TEST(HostCrc, MatchesTheXmodemCheckValueAndContinuesFromASeed) {
  const std::string check = "123456789";
  const auto* p = reinterpret_cast<const uint8_t*>(check.data());
  EXPECT_EQ(Crc16Xmodem(p, 9), 0x31C3);
  EXPECT_EQ(Crc16Xmodem(p + 4, 5, Crc16Xmodem(p, 4)), 0x31C3);
}

}  // namespace
}  // namespace corlink_tool
