// Headless parts of the shell: the layout rule arithmetic, the screen factors, the map
// area's resize rule, the SNR page's number reading, and the program refusing bad batch
// arguments before it needs a display.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "app/child_layout.h"
#include "data/session/status_line.h"
#include "view/screen_fit.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"

namespace pelorin {
namespace {

ChildLayout::Entry MakeEntry(uint32_t flags, double l, double t, double r, double b, wxSize win) {
  ChildLayout::Entry e;
  e.flags = flags;
  e.left = l;
  e.top = t;
  e.right = r;
  e.bottom = b;
  e.leftRatio = l / win.x;
  e.rightRatio = r / win.x;
  e.topRatio = t / win.y;
  e.bottomRatio = b / win.y;
  return e;
}

// What the status line says after a load and a recording, and why a load failed.
TEST(StatusLine, LoadAndRecordingTexts) {
  EXPECT_EQ(LoadFailedText("a.csv", "line 4: bad number"),
            "can't load csv at a.csv: line 4: bad number");
  EXPECT_EQ(LoadFailedText("a.csv", ""), "can't load csv at a.csv");
  // The table's argument rule still applies to the path: cut at its first comma.
  EXPECT_EQ(LoadFailedText("b,c.csv", "can't open b,c.csv"),
            "can't load csv at b: can't open b,c.csv");
  EXPECT_EQ(LoadedText("/w/run.csv", 263), "loaded /w/run.csv (263 frames)");
  EXPECT_EQ(LoadedText("one.csv", 1), "loaded one.csv (1 frame)");
  EXPECT_EQ(RecordedText("/w/Pelorin_Diff20261208.csv", ""),
            "recorded to Pelorin_Diff20261208.csv");
  EXPECT_EQ(RecordedText("/w/Pelorin_Diff.csv", "/w/Pelorin_Diff.mat"),
            "recorded to Pelorin_Diff.csv (and .mat)");
}

TEST(ChildLayoutRules, TabKeepsSizeCentredOthersScaleWidth) {
  const wxRect before(0, 0, 800, 600);
  const wxRect after(0, 0, 1200, 700);
  std::vector<ChildLayout::Entry> entries = {
      MakeEntry(ChildLayout::kKeepSizeCentred, 10, 100, 790, 590, before.GetSize()),
      MakeEntry(ChildLayout::kScaleWidthMoveDown, 200, 20, 300, 40, before.GetSize()),
  };
  ChildLayout::Reflow(entries, before, after);
  EXPECT_DOUBLE_EQ(entries[0].left, 210);
  EXPECT_DOUBLE_EQ(entries[0].right, 990);
  EXPECT_DOUBLE_EQ(entries[0].top, 150);
  EXPECT_DOUBLE_EQ(entries[0].bottom, 640);
  EXPECT_DOUBLE_EQ(entries[1].left, 300);
  EXPECT_DOUBLE_EQ(entries[1].right, 450);
  EXPECT_DOUBLE_EQ(entries[1].top, 70);
  EXPECT_DOUBLE_EQ(entries[1].bottom, 90);

  ChildLayout::Reflow(entries, after, before);
  EXPECT_DOUBLE_EQ(entries[0].left, 10);
  EXPECT_DOUBLE_EQ(entries[0].top, 100);
  EXPECT_DOUBLE_EQ(entries[1].left, 200);
  EXPECT_DOUBLE_EQ(entries[1].right, 300);
  EXPECT_DOUBLE_EQ(entries[1].top, 20);
}

TEST(ChildLayoutRules, OnlyTheChangedDirectionMoves) {
  const wxRect before(0, 0, 800, 600);
  std::vector<ChildLayout::Entry> entries = {
      MakeEntry(ChildLayout::kScaleWidthMoveDown, 200, 20, 300, 40, before.GetSize())};
  ChildLayout::Reflow(entries, before, wxRect(50, 50, 800, 700));  // taller only
  EXPECT_DOUBLE_EQ(entries[0].left, 200);
  EXPECT_DOUBLE_EQ(entries[0].top, 70);
  ChildLayout::Reflow(entries, wxRect(50, 50, 800, 700), wxRect(0, 0, 400, 700));  // narrower only
  EXPECT_DOUBLE_EQ(entries[0].left, 100);
  EXPECT_DOUBLE_EQ(entries[0].right, 150);
  EXPECT_DOUBLE_EQ(entries[0].top, 70);
}

TEST(ScreenFactors, FollowTheScreenBelow1280By1024) {
  const ScreenFactors big = ScreenFactorsFor(1920, 1200);
  EXPECT_EQ(big.sx, 1.0);
  EXPECT_EQ(big.sy, 1.0);
  const ScreenFactors exact = ScreenFactorsFor(1280, 1024);
  EXPECT_EQ(exact.sx, 1.0);
  EXPECT_EQ(exact.sy, 1.0);
  const ScreenFactors small = ScreenFactorsFor(1024, 768);
  EXPECT_DOUBLE_EQ(small.sx, 0.8);
  EXPECT_DOUBLE_EQ(small.sy, 0.75);
  const ScreenFactors narrow = ScreenFactorsFor(1024, 1280);
  EXPECT_DOUBLE_EQ(narrow.sx, 0.8);
  EXPECT_EQ(narrow.sy, 1.0);
  EXPECT_EQ(ScaleRect(wxRect(10, 21, 99, 33), 0.8, 0.75), wxRect(8, 15, 79, 24));
}

TEST(MapPage, AreaFollowsThePageOnlyBetweenRealSizes) {
  EXPECT_FALSE(ScaleMapArea(wxRect(10, 10, 100, 50), wxSize(0, 0), wxSize(200, 100)));
  EXPECT_FALSE(ScaleMapArea(wxRect(10, 10, 100, 50), wxSize(200, 100), wxSize(0, 100)));
  const auto scaled = ScaleMapArea(wxRect(10, 10, 100, 50), wxSize(200, 100), wxSize(300, 50));
  ASSERT_TRUE(scaled);
  EXPECT_EQ(*scaled, wxRect(15, 5, 150, 25));
}

TEST(SnrInputs, EditTextsReadAsSignedNumbers) {
  EXPECT_EQ(ParseEditInt("100"), 100);
  EXPECT_EQ(ParseEditInt(" -2"), -2);
  EXPECT_EQ(ParseEditInt("+7x"), 7);
  EXPECT_EQ(ParseEditInt("abc"), 0);
  EXPECT_EQ(ParseEditInt(""), 0);
  EXPECT_EQ(ParseEditInt("99999999999"), 2147483647);
  EXPECT_EQ(ParseEditInt("-99999999999"), -2147483647 - 1);
}

struct RunResult {
  int status = -1;
  std::string output;
};

// Runs the program with a time limit; stderr is folded into the output.
RunResult RunProgram(const std::string& args) {
  const std::string command =
      "env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 " + std::string(PELORIN_PROGRAM) + " " + args + " 2>&1";
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 256> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) result.output += buffer.data();
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Mend: a frame limit that is not all decimal digits is refused, with status 2, before
// any window or device is touched (so it needs no display either).
TEST(ProgramArguments, BadFrameLimitIsRefusedWithStatusTwo) {
  for (const char* args : {"5 12x", "5 -3", "2 ' '", "2 1e3 name"}) {
    SCOPED_TRACE(args);
    const RunResult r = RunProgram(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("pelorin:"), std::string::npos) << r.output;
  }
}

}  // namespace
}  // namespace pelorin
