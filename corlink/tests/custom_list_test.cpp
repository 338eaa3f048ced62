#include "discovery/custom_list.h"

#include <gtest/gtest.h>

#include <string>

#include "device_type.h"
#include "support/log_capture.h"
#include "test_support.h"

namespace corlink {
namespace {

using corlink::test::CapturedLog;
using corlink::test::CaptureLog;

struct Parsed {
  CustomList list{};
  std::string out;
};

Parsed ParseText(const std::string& text) {
  Parsed p;
  CaptureLog();
  ParseCustomList(text.data(), text.size(), p.list);
  p.out = CapturedLog();
  return p;
}

TEST(CustomList, SectionThenPatternAndCollection) {
  const Parsed p = ParseText("[z3_usb]\nvid_6b3e&pid_3a06 col04\n");
  ASSERT_EQ(p.list.count, 1);
  EXPECT_STREQ(p.list.entries[0].pattern, "vid_6b3e&pid_3a06");
  EXPECT_EQ(p.list.entries[0].vendor_id, 0x6b3e);
  EXPECT_EQ(p.list.entries[0].product_id, 0x3a06);
  EXPECT_EQ(p.list.entries[0].collection, 4);
  EXPECT_EQ(p.list.entries[0].device_type, DEV_Z3_USB);
  EXPECT_EQ(p.out, "");
}

TEST(CustomList, SectionNamesPickTheirTypeFirstMatchWins) {
  const struct {
    const char* section;
    int32_t type;
  } cases[] = {
      {"[Z3_HID_OVER_I2C]", DEV_Z3_HID_OVER_I2C},
      {"[z2_usb_brg]", DEV_Z2_USB_BRG},
      {"[my_z3_usb_brg_board]", DEV_Z3_USB_BRG},
      {"[z2_usb]", DEV_Z2_USB},
      {"[z3_i2c_master]", DEV_Z3_I2C_MASTER},
      {"[spi]", DEV_SPI},
      {"[smbus i2c]", DEV_Z2_I2C},
  };
  for (const auto& c : cases) {
    const Parsed p = ParseText(std::string(c.section) + "\nvid_1234&pid_5678 col02\n");
    ASSERT_EQ(p.list.count, 1) << c.section;
    EXPECT_EQ(p.list.entries[0].device_type, c.type) << c.section;
    EXPECT_EQ(p.list.entries[0].collection, 2);
  }
  const Parsed unknown = ParseText("[touchpad]\nvid_6b3e&pid_3a06\n");
  EXPECT_EQ(unknown.out, "The device type read from INI file is UNKNOWN.\n");
  ASSERT_EQ(unknown.list.count, 1);
  EXPECT_EQ(unknown.list.entries[0].device_type, UNKNOWN);
}

TEST(CustomList, RowsBeforeAnySectionTakeTheirTypeFromTheIds) {
  const Parsed p = ParseText(
      "ven_8086&dev_1234\n"
      "vid_5e1a&pid_3a01\n"
      "vid_1111&pid_0100\n"
      "vid_6b3e&pid_3a07\n"
      "vid_6b3e&pid_3a03\n"
      "vid_6b3e&pid_3a08\n"
      "vid_6b3e&pid_9999\n");
  ASSERT_EQ(p.list.count, 7);
  const int32_t want[] = {DEV_Z2_I2C,        DEV_Z2_USB_BRG, DEV_Z2_USB, DEV_Z3_USB_BRG,
                          DEV_Z2_I2C_MASTER, DEV_SPI,        UNKNOWN};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(p.list.entries[i].device_type, want[i]) << i;
    EXPECT_EQ(p.list.entries[i].collection, 4) << "no col on the line gives 4";
  }
  EXPECT_EQ(p.list.entries[0].vendor_id, 0x8086);
  EXPECT_EQ(p.list.entries[0].product_id, 0x1234);
  EXPECT_EQ(p.out, "The device type read from INI file is UNKNOWN.\n");
}

TEST(CustomList, CommentsCommasCaseAndCollectionTokens) {
  const Parsed p = ParseText(
      "; a comment line vid_6b3e&pid_3a06\n"
      "[z2_usb]\r\n"
      "  VID_6B3E&PID_3A04,MI_00  COL02 ; trailing comment col09\r\n"
      "vid_6b3e&pid_3a05&col03\n"
      "col01 vid_6b3e&pid_3a05\n"
      "vid_6b3e&pid_3a05 col10\n");
  ASSERT_EQ(p.list.count, 4);
  EXPECT_STREQ(p.list.entries[0].pattern, "vid_6b3e&pid_3a04");
  EXPECT_EQ(p.list.entries[0].collection, 2);
  EXPECT_STREQ(p.list.entries[1].pattern, "vid_6b3e&pid_3a05&col03");
  EXPECT_EQ(p.list.entries[1].collection, 3);
  EXPECT_EQ(p.list.entries[2].collection, 1);
  EXPECT_EQ(p.list.entries[3].collection, 10);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(p.list.entries[i].device_type, DEV_Z2_USB);
}

TEST(CustomList, IncompleteRowsAreNotCounted) {
  // No ids, no product id, a zero product id: nothing is complete.
  const Parsed p = ParseText("[z3_usb]\nvid_pid col02\nvid_6b3e&pid_ col02\nvid_6b3e&pid_0000\n");
  EXPECT_EQ(p.list.count, 0);
}

TEST(CustomList, The129thRowIsRefusedWithOneMessage) {
  std::string text = "[z3_usb]\n";
  for (int i = 0; i < 130; ++i) text += "vid_6b3e&pid_" + std::to_string(1000 + i) + " col02\n";
  const Parsed p = ParseText(text);
  EXPECT_EQ(p.list.count, kMaxCustomEntries);
  EXPECT_EQ(p.list.entries[127].product_id, 0x1127);
  EXPECT_EQ(p.out,
            "Error: exceed max custom device number(128), remove unused entry in qortouch.ini\n");

  std::string full = "[z3_usb]\n";
  for (int i = 0; i < 128; ++i) full += "vid_6b3e&pid_" + std::to_string(1000 + i) + "\n";
  const Parsed exact = ParseText(full);
  EXPECT_EQ(exact.list.count, kMaxCustomEntries);
  EXPECT_EQ(exact.out, "") << "128 rows fit: nothing was refused";
}

TEST(CustomList, LongPatternsAndLinesAreBounded) {
  const std::string pattern = "vid_6b3e&pid_3a06" + std::string(400, 'x');
  const Parsed p = ParseText("[z3_usb]\n" + pattern + "\n");
  ASSERT_EQ(p.list.count, 1);
  EXPECT_EQ(std::string(p.list.entries[0].pattern), pattern.substr(0, 255));

  // A line longer than 1023 characters is read in pieces: the row after the cut counts.
  const Parsed split =
      ParseText("[z3_usb]\n" + std::string(1023, ' ') + "vid_6b3e&pid_3a06 col02\n");
  ASSERT_EQ(split.list.count, 1);
  EXPECT_EQ(split.list.entries[0].collection, 2);
}

TEST(CustomList, LoadedOncePerProcessFromTheWorkingDirectory) {
  test::ScratchDir dir;
  ResetCustomListForTest();
  dir.Write("qortouch.ini", "[z3_usb]\nvid_6b3e&pid_3a06 col02\n");
  EXPECT_EQ(LoadCustomList().count, 1);
  dir.Write("qortouch.ini", "[z3_usb]\nvid_6b3e&pid_3a06 col02\nvid_6b3e&pid_3a07 col02\n");
  EXPECT_EQ(LoadCustomList().count, 1) << "edits take effect only after a restart";
  ResetCustomListForTest();
  EXPECT_EQ(LoadCustomList().count, 2);
  ResetCustomListForTest();
}

TEST(CustomList, MissingFileLeavesTheListEmpty) {
  test::ScratchDir dir;
  ResetCustomListForTest();
  EXPECT_EQ(LoadCustomList().count, 0);
  EXPECT_TRUE(LoadCustomList().loaded);
  ResetCustomListForTest();
}

}  // namespace
}  // namespace corlink
