#include "data/status_text.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

TEST(StatusText, FillsPiecesInOrder) {
  EXPECT_EQ(StatusMessageText(kStatusLoading, "3, 10"), "loading 3 /  10");
  EXPECT_EQ(StatusMessageText(kStatusCantOpenFile, "/data/run,1.csv"), "can't open file at /data/run");
  EXPECT_EQ(StatusMessageText(kStatusSourceSettingWrong, "second"), "the second source setting is wrong");
  EXPECT_EQ(StatusMessageText(kStatusCantLoadSettings, "/home/u/PLsetting.ini"),
            "can't load csv at /home/u/PLsetting.ini");
}

TEST(StatusText, LeftOverPlaceholdersAndPieces) {
  EXPECT_EQ(StatusMessageText(kStatusLoading, "3"), "loading 3 / %s");
  EXPECT_EQ(StatusMessageText(kStatusLoading, ""), "loading %s / %s");
  EXPECT_EQ(StatusMessageText(kStatusLoading, "1,2,3"), "loading 1 / 2");
  EXPECT_EQ(StatusMessageText(kStatusLoading, "4,"), "loading 4 / %s") << "a trailing comma adds no piece";
  EXPECT_EQ(StatusMessageText(kStatusLoading, "4,,5"), "loading 4 / 5");
  EXPECT_EQ(StatusMessageText(kStatusOpenDeviceError, "x"), "open device error!");
}

TEST(StatusText, TableEntriesAndUnknownCodes) {
  EXPECT_EQ(StatusTemplate(6), "can't prepare frame buf");
  EXPECT_EQ(StatusTemplate(7), "read chip info fail");
  EXPECT_EQ(StatusTemplate(10), "Selecting %s is illegal");
  EXPECT_EQ(StatusMessageText(11), "unkonw massage");
  EXPECT_EQ(StatusMessageText(-1), "unkonw massage") << "the end marker is not an entry";
  EXPECT_EQ(StatusMessageText(-7, "a"), "unkonw massage");
}

TEST(StatisticsTexts, FormatsTheThreeFields) {
  const StatisticsTexts t = FormatStatistics(12, 29.5f, 3.14159f, 40, 52, -3, -9);
  EXPECT_EQ(t.frameCount, "FrameCount : 12");
  EXPECT_EQ(t.frameRate, "FrameRate : 29.50");
  EXPECT_EQ(t.values, "Average:3.14  Max:40(52)  Min:-3(-9)");
  // A model that has seen no frame shows its starting extremes as they are.
  EXPECT_EQ(FormatStatistics(0, 0, 0, 0, 0, 0x7FFFFFFF, 0x7FFFFFFF).values,
            "Average:0.00  Max:0(0)  Min:2147483647(2147483647)");
}

}  // namespace
}  // namespace pelorin
