#include "data/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "data/status_text.h"
#include "temp_dir.h"

namespace pelorin {
namespace {

using testing::ReadAll;
using testing::TempDir;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

SettingsSnapshot Read(std::string_view text) { return ReadSettings(IniReader(text)); }

TEST(IniReader, LookupRules) {
  const IniReader r(
      "early=1\n"
      "[Pelorin]  # the general keys\n"
      "SOURCE_TYPE = 4   # comment\n"
      "colon : 7\n"
      "noseparator\n"
      "[pelorin]\n"
      "SOURCE_TYPE=5\n"
      "[Hide]\n"
      "HIDE_RX =  1,2 , 3 \n"
      "EMPTY=\n");
  EXPECT_EQ(r.GetInt("Pelorin", "SOURCE_TYPE", 0), 4) << "the first match wins";
  EXPECT_EQ(r.GetInt("PELORIN", "source_type", 0), 4) << "names ignore case";
  EXPECT_EQ(r.GetInt("Pelorin", "colon", 0), 7);
  EXPECT_EQ(r.GetInt("Pelorin", "noseparator", -3), -3);
  EXPECT_EQ(r.GetInt("DEFAULT", "early", -3), -3) << "keys before any section are not read";
  EXPECT_EQ(r.GetText("Hide", "HIDE_RX", "x", 100), "1,2 , 3");
  EXPECT_EQ(r.GetText("Hide", "HIDE_RX", "x", 3), "1,2");
  EXPECT_EQ(r.GetText("Hide", "EMPTY", "x", 100), "");
  EXPECT_EQ(r.GetInt("Hide", "EMPTY", 9), 0) << "a present key without a number reads 0";
  EXPECT_EQ(r.GetText("Hide", "MISSING", "ALL", 2), "AL");
}

TEST(IniReader, SignedDecimalIntegers) {
  EXPECT_EQ(IniReader::ParseInt("-12abc"), -12);
  EXPECT_EQ(IniReader::ParseInt("  +7 "), 7);
  EXPECT_EQ(IniReader::ParseInt("abc"), 0);
  EXPECT_EQ(IniReader::ParseInt("-"), 0);
  EXPECT_EQ(IniReader::ParseInt("2147483647"), 2147483647);
  EXPECT_EQ(IniReader::ParseInt("99999999999999999999"), 2147483647);
  EXPECT_EQ(IniReader::ParseInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(IniReader::ParseInt("-99999999999999999999"), -2147483647 - 1);
}

TEST(ReadSettings, DefaultsOfAnAlmostEmptyFile) {
  const SettingsSnapshot s = Read("[Pelorin]\nSECOND_SOURCE_TYPE=0\n");
  EXPECT_EQ(s.stage, LoadStage::kAllRead);
  EXPECT_TRUE(s.result);
  EXPECT_EQ(s.statusCode, -1);
  for (int32_t t = 1; t <= 6; ++t) EXPECT_EQ(s.ranges.For(t), (RangePair{250, 0}));
  EXPECT_EQ(s.sourceType, kSourceBase);
  EXPECT_EQ(s.rxChipIndex, "ALL");
  EXPECT_EQ(s.kernel, (FilterKernel{{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}}));
  EXPECT_EQ(s.diagDelay, 10);
  EXPECT_EQ(s.secondSourceType, 0);
  EXPECT_EQ(s.drawStyle, kDrawStyle2);
  EXPECT_EQ(s.dumpType, kDumpTypeMatlab);
  EXPECT_EQ(s.viewPoint, 1);
  EXPECT_EQ(s.dumpInterval, 1);
  EXPECT_EQ(s.displayRangeShift, 5);
  EXPECT_FALSE(s.autoCenter);
}

TEST(ReadSettings, ValuesAndMappings) {
  const SettingsSnapshot s = Read(
      "[Base]\nMAX_DATA_RANGE=400\nMIN_DATA_RANGE=230\n"
      "[Diff]\nMAX_DATA_RANGE=120\nMIN_DATA_RANGE=-20\n"
      "[Pelorin]\nSOURCE_TYPE = 3\nSECOND_SOURCE_TYPE=6\nREVERSE=2\n"
      "DELAY_BEFORE_ENABLE_DIGNOSIS=-5\nDUMP_ONE_FRAME_EVERY_FEW_FRAMES=0\n"
      "DRAW_STYLE=2\nDUMP_TYPE=0\nVIEW_POINT=4\nDISPLAY_RANGE_SHIFT=-3\nAUTO_CENTER=9\n"
      "[Hide]\nRX_CHIP_INDEX=S2\nHIDE_RX=1,2\nHIDE_TX=5\nHIDE_SHOW=1\n"
      "[Mask]\nMASK_RX=3\nMASK_TX=4\nMASK_SHOW=1\nMASK_POINT=1,2;3,4\nIS_MASK=1\n"
      "[Filter]\nTOP_LEFT=2\nNAVEL_MID=-8\nBOTTOM_RIGHT=4\nFILTER_THRESHOLD=30\nFILTER_TYPE=2\n");
  ASSERT_EQ(s.stage, LoadStage::kAllRead);
  EXPECT_EQ(s.ranges.For(kSourceBase), (RangePair{400, 230}))
      << "the table keeps what the file says";
  EXPECT_EQ(s.firstRange, (RangePair{300, 0})) << "model 0's range is clamped";
  EXPECT_EQ(s.ranges.For(kSourceDiff), (RangePair{120, -20}));
  EXPECT_TRUE(s.reverse);
  EXPECT_EQ(s.diagDelay, 10);
  EXPECT_EQ(s.dumpInterval, 1);
  EXPECT_EQ(s.secondSourceType, kSourceDiff);
  EXPECT_EQ(s.drawStyle, kDrawStyle1);
  EXPECT_EQ(s.dumpType, kDumpTypePelorin);
  EXPECT_EQ(s.viewPoint, 0);
  EXPECT_EQ(s.displayRangeShift, -3);
  EXPECT_TRUE(s.autoCenter);
  EXPECT_EQ(s.rxChipIndex, "S2");
  EXPECT_EQ(s.hideRx, "1,2");
  EXPECT_EQ(s.hideTx, "5");
  EXPECT_TRUE(s.hideShow);
  EXPECT_EQ(s.maskRx, "3");
  EXPECT_EQ(s.maskTx, "4");
  EXPECT_EQ(s.maskPoint, "1,2;3,4");
  EXPECT_TRUE(s.maskShow);
  EXPECT_TRUE(s.isMask);
  EXPECT_EQ(s.kernel, (FilterKernel{{{2, 1, 1}, {1, -8, 1}, {1, 1, 4}}}));
  EXPECT_EQ(s.filterThreshold, 30);
  EXPECT_EQ(s.filterType, 2);
}

TEST(LoadSettings, ADelayThatWouldStallTheRunIsClampedNamingTheKey) {
  TempDir dir;
  const std::string path =
      dir.Write("PLsetting.ini",
                "[Pelorin]\nSECOND_SOURCE_TYPE=0\nDELAY_BEFORE_ENABLE_DIGNOSIS=2147483647\n");
  CaptureStdout();
  const SettingsSnapshot s = LoadSettings(path);
  EXPECT_EQ(GetCapturedStdout(), path +
                                     ": DELAY_BEFORE_ENABLE_DIGNOSIS=2147483647 is longer than "
                                     "1000 ms; 1000 ms is used\n");
  EXPECT_EQ(s.diagDelay, kMaxDiagDelayMs);
  EXPECT_EQ(Read("[Pelorin]\nDELAY_BEFORE_ENABLE_DIGNOSIS=1000\n").diagDelay, 1000);
  EXPECT_TRUE(Read("[Pelorin]\nDELAY_BEFORE_ENABLE_DIGNOSIS=1000\n").notices.empty());
}

TEST(ReadSettings, TextsAreCutToTheirLimits) {
  const std::string longText(3000, '7');
  const SettingsSnapshot s =
      Read("[Pelorin]\nSECOND_SOURCE_TYPE=0\n[Hide]\nRX_CHIP_INDEX=" + longText +
           "\nHIDE_RX=" + longText + "\n[Mask]\nMASK_POINT=" + longText + "\n");
  EXPECT_EQ(s.rxChipIndex.size(), 255u);
  EXPECT_EQ(s.hideRx.size(), 1023u);
  EXPECT_EQ(s.maskPoint.size(), 2047u);
}

TEST(ReadSettings, BadFirstSourceStopsAfterTheRanges) {
  const SettingsSnapshot s = Read(
      "[Loop]\nMAX_DATA_RANGE=77\n[Pelorin]\nSOURCE_TYPE=7\nSECOND_SOURCE_TYPE=0\n"
      "[Hide]\nHIDE_RX=1\n");
  EXPECT_EQ(s.stage, LoadStage::kRangesRead);
  EXPECT_FALSE(s.result);
  EXPECT_EQ(StatusMessageText(s.statusCode, s.statusArgument), "the first source setting is wrong");
  EXPECT_EQ(s.ranges.For(kSourceLoop).max, 77);
  EXPECT_EQ(s.hideRx, "") << "nothing after SOURCE_TYPE is read";
  EXPECT_EQ(Read("[Pelorin]\nSOURCE_TYPE=-1\n").stage, LoadStage::kRangesRead);
}

TEST(ReadSettings, MissingSecondSourceStopsBeforeTheViewKeys) {
  const SettingsSnapshot s = Read(
      "[Pelorin]\nSOURCE_TYPE=4\nREVERSE=1\nDRAW_STYLE=1\nDUMP_TYPE=1\n"
      "VIEW_POINT=2\nDUMP_ONE_FRAME_EVERY_FEW_FRAMES=5\nDISPLAY_RANGE_SHIFT=9\n"
      "AUTO_CENTER=1\n");
  EXPECT_EQ(s.stage, LoadStage::kFirstSourceRead);
  EXPECT_FALSE(s.result);
  EXPECT_EQ(StatusMessageText(s.statusCode, s.statusArgument),
            "the second source setting is wrong");
  EXPECT_EQ(s.sourceType, kSourceRawData);
  EXPECT_TRUE(s.reverse) << "model 0's keys before it are read";
  // Everything after it keeps the window's initial values.
  EXPECT_EQ(s.drawStyle, kDrawStyle1);
  EXPECT_EQ(s.dumpType, kDumpTypePelorin);
  EXPECT_EQ(s.viewPoint, 0);
  EXPECT_EQ(s.dumpInterval, 1);
  EXPECT_EQ(s.displayRangeShift, 5);
  EXPECT_FALSE(s.autoCenter);
}

TEST(LoadSettings, MissingFileShowsThePath) {
  TempDir dir;
  const std::string path = SettingsPathIn(dir.File("a,b"));
  const SettingsSnapshot s = LoadSettings(path);
  EXPECT_EQ(s.stage, LoadStage::kNothingRead);
  EXPECT_TRUE(s.result);
  EXPECT_EQ(s.store, nullptr);
  EXPECT_EQ(s.statusArgument, path);
  EXPECT_EQ(StatusMessageText(s.statusCode, s.statusArgument), "can't load csv at " + dir.File("a"))
      << "the status line keeps the path up to its first comma";
}

TEST(LoadSettings, BlanksAroundTheSeparator) {
  TempDir dir;
  const std::string path =
      dir.Write("PLsetting.ini", "[Pelorin]\nSOURCE_TYPE = 4\nSECOND_SOURCE_TYPE=0\n");
  const SettingsSnapshot s = LoadSettings(path);
  EXPECT_EQ(s.sourceType, kSourceRawData);
  ASSERT_NE(s.store, nullptr);
  EXPECT_EQ(*s.store->Find("Pelorin", "SOURCE_TYPE"), "4");
}

TEST(LoadSettings, FileTooLargeIsReadButNotStored) {
  TempDir dir;
  const std::string text =
      "[Pelorin]\nSOURCE_TYPE=6\nSECOND_SOURCE_TYPE=0\n#" + std::string(70000, '-') + "\n";
  const SettingsSnapshot s = LoadSettings(dir.Write("PLsetting.ini", text));
  EXPECT_EQ(s.stage, LoadStage::kAllRead);
  EXPECT_EQ(s.sourceType, kSourceDiff);
  ASSERT_NE(s.store, nullptr);
  EXPECT_FALSE(s.store->HoldsWholeFile()) << "the store refuses to write back part of the file";
}

TEST(SettingsDefaultFile, HoldsEveryKeyWithItsDefault) {
  const SettingsSnapshot s = LoadSettings(PELORIN_DEFAULT_SETTINGS);
  EXPECT_EQ(s.stage, LoadStage::kAllRead);
  EXPECT_EQ(s.statusCode, -1);
  ASSERT_NE(s.store, nullptr);
  for (const SettingKey& k : kSettingKeys) {
    const std::string* v = s.store->Find(k.section, k.key);
    ASSERT_NE(v, nullptr) << k.section << " " << k.key;
    if (k.isText) {
      EXPECT_EQ(*v, k.textDefault) << k.key;
    } else if (k.key == "SECOND_SOURCE_TYPE") {
      EXPECT_EQ(*v, "0") << "a first run loads every key";
    } else {
      EXPECT_EQ(*v, std::to_string(k.intDefault)) << k.key;
    }
  }
}

SettingsToSave SampleValues() {
  SettingsToSave v;
  v.viewPoint = 2;
  v.reverse = true;
  for (int32_t t = 1; t <= 6; ++t) v.ranges.For(t) = {200 + t, 10 * t};
  v.sourceType = kSourceDiff;
  v.secondSourceType = kSourceLoop;
  v.drawStyle = kDrawStyle2;
  v.dumpType = kDumpTypeMatlab;
  v.kernel = {{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}};
  v.filterThreshold = 11;
  v.filterType = 1;
  v.displayRangeShift = 7;
  v.autoCenter = true;
  return v;
}

TEST(SaveSettings, WritesBackWhatLoadSettingsReads) {
  TempDir dir;
  const std::string path = dir.File("PLsetting.ini");
  std::filesystem::copy_file(PELORIN_DEFAULT_SETTINGS, path);
  SettingsSnapshot loaded = LoadSettings(path);
  const SaveOutcome out = SaveSettings(loaded.store, path, SampleValues());
  EXPECT_TRUE(out.hadStore);
  EXPECT_TRUE(out.failedTitles.empty());
  EXPECT_TRUE(out.saved);
  EXPECT_EQ(loaded.store, nullptr) << "the store is released";

  const SettingsSnapshot s = LoadSettings(path);
  ASSERT_EQ(s.stage, LoadStage::kAllRead);
  EXPECT_EQ(s.viewPoint, 2);
  EXPECT_TRUE(s.reverse);
  for (int32_t t = 1; t <= 6; ++t) EXPECT_EQ(s.ranges.For(t), (RangePair{200 + t, 10 * t}));
  EXPECT_EQ(s.sourceType, kSourceDiff);
  EXPECT_EQ(s.secondSourceType, kSourceLoop);
  EXPECT_EQ(s.kernel, SampleValues().kernel);
  EXPECT_EQ(s.filterThreshold, 11);
  EXPECT_EQ(s.filterType, 1);
  EXPECT_EQ(s.displayRangeShift, 7);
  EXPECT_TRUE(s.autoCenter);
  EXPECT_EQ(s.rxChipIndex, "ALL") << "keys that are not saved keep their text";
  EXPECT_EQ(s.diagDelay, 10);
}

TEST(SaveSettings, MissingKeysAreNamedInOrder) {
  TempDir dir;
  auto store = SettingsStore::Parse(
      "[Pelorin]\nVIEW_POINT=0\nSOURCE_TYPE=3\nSECOND_SOURCE_TYPE=0\nDRAW_STYLE=1\nDUMP_TYPE=1\n"
      "DISPLAY_RANGE_SHIFT=5\n"
      "[Cycle]\nMAX_DATA_RANGE=1\n"
      "[Loop]\nMAX_DATA_RANGE=1\nMIN_DATA_RANGE=1\n[Base]\nMAX_DATA_RANGE=1\nMIN_DATA_RANGE=1\n"
      "[RawData]\nMAX_DATA_RANGE=1\nMIN_DATA_RANGE=1\n[Diff]\nMAX_DATA_RANGE=1\nMIN_DATA_RANGE=1\n"
      "[RawDiff]\nMAX_DATA_RANGE=1\nMIN_DATA_RANGE=1\n"
      "[Filter]\nTOP_LEFT=1\nTOP_MID=1\nTOP_RIGHT=1\nNAVEL_LEFT=1\nNAVEL_MID=1\nNAVEL_RIGHT=1\n"
      "BOTTOM_LEFT=1\nBOTTOM_MID=1\nFILTER_THRESHOLD=0\nFILTER_TYPE=0\n"
      "AUTO_CENTER=0\n");  // in the wrong section
  const std::string path = dir.File("PLsetting.ini");
  const SaveOutcome out = SaveSettings(store, path, SampleValues());
  EXPECT_EQ(out.failedTitles,
            (std::vector<std::string>{"REVERSE not exist", "Cycle - MIN_DATA_RANGE not exist",
                                      "BOTTOM_RIGHT not exist", "AUTO_CENTER not exist"}));
  EXPECT_EQ(std::string(kSetConfigFailedText), "Set Config File Failed");
  EXPECT_TRUE(out.saved) << "the save goes on after a missing key";
  const std::string written = ReadAll(path);
  EXPECT_NE(written.find("VIEW_POINT=2\n"), std::string::npos);
  EXPECT_NE(written.find("AUTO_CENTER=0\n"), std::string::npos);
}

TEST(SaveSettings, MissingSectionPrintsAndFails) {
  auto store = SettingsStore::Parse("[Pelorin]\n");
  CaptureStdout();
  const std::vector<std::string> failed = WriteSettings(*store, SettingsToSave{});
  const std::string printed = GetCapturedStdout();
  EXPECT_EQ(failed.size(), 31u) << "every saved key";
  EXPECT_EQ(failed.front(), "VIEW_POINT not exist");
  EXPECT_EQ(failed[2], "Cycle - MAX_DATA_RANGE not exist");
  EXPECT_EQ(failed[13], "RawDiff - MIN_DATA_RANGE not exist");
  EXPECT_EQ(printed.rfind("do not exit section DEFAULT", 0), std::string::npos);
  EXPECT_NE(printed.find("do not exit section Cycle\n"), std::string::npos);
  EXPECT_NE(printed.find("do not exit section Filter\n"), std::string::npos);
}

TEST(SaveSettings, UnwritableFileIsReported) {
  TempDir dir;
  auto store = SettingsStore::Parse("[Pelorin]\n");
  CaptureStdout();
  const SaveOutcome out =
      SaveSettings(store, dir.File("no/such/folder/PLsetting.ini"), SettingsToSave{});
  GetCapturedStdout();
  EXPECT_TRUE(out.hadStore);
  EXPECT_FALSE(out.saved);
  EXPECT_EQ(store, nullptr);

  const SaveOutcome none = SaveSettings(store, dir.File("PLsetting.ini"), SettingsToSave{});
  EXPECT_FALSE(none.hadStore);
  EXPECT_FALSE(std::filesystem::exists(dir.File("PLsetting.ini"))) << "no store, nothing written";
}

TEST(SettingsPath, JoinsTheFolder) {
  EXPECT_EQ(SettingsPathIn("/home/u"), "/home/u/PLsetting.ini");
  EXPECT_EQ(SettingsPathIn("/"), "/PLsetting.ini");
}

}  // namespace
}  // namespace pelorin
