#include "data/recording/recording_writer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "data/recording/recording_reader.h"
#include "test_files.h"

namespace pelorin {
namespace {

using test::ReadText;
using test::ScratchDir;

// A source's frame owned by the test.
struct TestFrame {
  std::string name;
  int32_t width, height;
  std::vector<int32_t> cells;
  std::vector<uint8_t> mask;
  DumpSource View(int32_t number, int32_t errors = 0) const {
    DumpSource s;
    s.name = name;
    s.width = width;
    s.height = height;
    s.cells = cells.data();
    s.mask = mask.empty() ? nullptr : mask.data();
    s.frameNumber = number;
    s.readErrors = errors;
    return s;
  }
};

TestFrame Filled(const std::string& name, int32_t w, int32_t h, int32_t base) {
  TestFrame f{name, w, h, {}, {}};
  for (int32_t i = 0; i < w * h; ++i) f.cells.push_back(base + i * 7 - 20);
  return f;
}

TEST(Writer, WritesTheExactFormat) {
  ScratchDir dir;
  TestFrame f{"RawData", 2, 3, {12, 15, 99, 11, 14, 13}, {1, 1, 0, 1, 1, 1}};
  DumpFile dump;
  std::vector<DumpSource> s{f.View(1)};
  ASSERT_TRUE(OpenDump(dump, dir.path(), s)) << dump.Error();
  const std::string temp = dump.TempPath();
  EXPECT_EQ(std::filesystem::path(temp).parent_path(), std::filesystem::path(dir.path()));
  ASSERT_TRUE(WriteFrames(dump, s, 0)) << dump.Error();
  ASSERT_TRUE(FinishDump(dump, "Pelorin_RawData20240131235959.csv")) << dump.Error();
  // The count line keeps the fixed width it is rewritten in while recording.
  EXPECT_EQ(ReadText(dir.File("Pelorin_RawData20240131235959.csv")),
            "Pelorin\n"
            "FrameCount, 1         \n"
            "Width, 2\n"
            "Height, 3\n"
            "Type, RawData\n"
            "\n"
            "No , 1,          0ms, Read Error Times , 0\n"
            "12,15,N/A,\n"
            "11,14,13,\n"
            "\n");
  EXPECT_FALSE(test::Exists(temp));
}

TEST(Writer, TwoSourcesRoundTripThroughTheReader) {
  ScratchDir dir;
  TestFrame a = Filled("RawData", 4, 6, -100);
  TestFrame b = Filled("Diff", 4, 3, 5);
  b.mask.assign(12, 1);
  b.mask[4] = 0;
  DumpFile dump;
  ASSERT_TRUE(OpenDump(dump, dir.path(), std::vector<DumpSource>{a.View(0), b.View(0)}));
  // Frames 1, 3 and 5 of five are recorded (step 2); FrameCount carries 3.
  for (int32_t n : {1, 3, 5}) {
    for (auto& c : a.cells) c += 1000;
    ASSERT_TRUE(WriteFrames(dump, std::vector<DumpSource>{a.View(n, n - 1), b.View(n)}, n * 33));
  }
  EXPECT_EQ(dump.FramesWritten(), 3);
  ASSERT_TRUE(FinishDump(dump, "rt.csv"));
  const std::string text = ReadText(dir.File("rt.csv"));
  EXPECT_NE(text.find("FrameCount, 3         \nWidth, 4,4\nHeight, 6,3\nType, RawData,Diff\n"), std::string::npos);
  EXPECT_NE(text.find("No , 5,        165ms, Read Error Times , 4\n"), std::string::npos);

  RecordingSet set;
  ASSERT_TRUE(set.Load(dir.File("rt.csv"))) << set.LastError();
  ASSERT_EQ(set.Count(), 2);
  EXPECT_EQ(set.GetDeclaredFrameCount(0), 3);
  EXPECT_EQ(set.GetFrameCount(0), 3);
  EXPECT_EQ(set.GetFrameCount(1), 3);
  EXPECT_EQ(set.GetModel(0)->GetName(), " RawData");
  EXPECT_EQ(set.GetModel(1)->GetName(), "Diff");
  const FrameRecord* last = set.GetModel(0)->Frame(2);
  for (int32_t x = 0; x < 4; ++x)
    for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(last->Cell(x, y), a.cells[size_t(x * 6 + y)]);
  const FrameRecord* masked = set.GetModel(1)->Frame(0);
  EXPECT_EQ(masked->CellValid(1, 1), 0);
  EXPECT_EQ(masked->CellValid(1, 2), 1);
  EXPECT_EQ(masked->Cell(1, 2), b.cells[5]);
  EXPECT_TRUE(set.GetModel(1)->HasMaskedCells());
  EXPECT_FALSE(set.GetModel(0)->HasMaskedCells());
  EXPECT_EQ(set.GetMinValue(0), a.cells.front() - 2000);
  EXPECT_EQ(set.GetMaxValue(0), a.cells.back());
}

TEST(Writer, TheTemporaryFileLoadsWhileRecording) {
  ScratchDir dir;
  TestFrame a = Filled("Base", 3, 5, 0);
  DumpFile dump;
  std::vector<DumpSource> s{a.View(1)};
  ASSERT_TRUE(OpenDump(dump, dir.path(), s));
  for (int32_t n = 1; n <= 4; ++n) ASSERT_TRUE(WriteFrames(dump, std::vector<DumpSource>{a.View(n)}, n));
  RecordingSet set;
  ASSERT_TRUE(set.Load(dump.TempPath())) << set.LastError();
  EXPECT_EQ(set.GetFrameCount(0), 4);
  EXPECT_EQ(set.GetDeclaredFrameCount(0), 4);
}

TEST(Writer, FinalNamesCarryTheLocalTime) {
  const char* old = std::getenv("TZ");
  std::string saved = old != nullptr ? old : "";
  setenv("TZ", "UTC", 1);
  tzset();
  const std::time_t t = 1706745599;  // 2024-01-31 23:59:59 UTC
  EXPECT_EQ(FinalDumpName("", "RawData", t), "Pelorin_RawData20240131235959.csv");
  EXPECT_EQ(FinalDumpName("test - Base", "RawData", t), "test - Base20240131235959.csv");
  if (old != nullptr) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();
}

TEST(Writer, FinishNeverOverwritesAndKeepsTheTemporaryFile) {
  ScratchDir dir;
  TestFrame a = Filled("Base", 2, 2, 0);
  DumpFile dump;
  std::vector<DumpSource> s{a.View(1)};
  ASSERT_TRUE(OpenDump(dump, dir.path(), s));
  ASSERT_TRUE(WriteFrames(dump, s, 0));
  test::WriteText(dir.File("taken.csv"), "someone else's");
  EXPECT_FALSE(FinishDump(dump, "taken.csv"));
  EXPECT_EQ(ReadText(dir.File("taken.csv")), "someone else's");
  EXPECT_TRUE(test::Exists(dump.TempPath()));
  EXPECT_FALSE(FinishDump(dump, "no/such/dir.csv"));
  EXPECT_TRUE(test::Exists(dump.TempPath()));
  // A later attempt under a free name still succeeds.
  EXPECT_TRUE(FinishDump(dump, "free.csv"));
  EXPECT_FALSE(test::Exists(dump.TempPath()));
}

TEST(Writer, OpenFailsWhereNothingCanBeWritten) {
  DumpFile dump;
  TestFrame a = Filled("Base", 2, 2, 0);
  EXPECT_FALSE(OpenDump(dump, "/nonexistent/folder", std::vector<DumpSource>{a.View(1)}));
  EXPECT_FALSE(dump.Error().empty());
  EXPECT_FALSE(WriteFrames(dump, std::vector<DumpSource>{a.View(1)}, 0));
  ScratchDir dir;
  EXPECT_FALSE(OpenDump(dump, dir.path(), {}));
  // Blocks must match the header the recording started with.
  ASSERT_TRUE(OpenDump(dump, dir.path(), std::vector<DumpSource>{a.View(1)}));
  TestFrame other = Filled("Base", 2, 3, 0);
  EXPECT_FALSE(WriteFrames(dump, std::vector<DumpSource>{other.View(1)}, 0));
  EXPECT_FALSE(WriteFrames(dump, std::vector<DumpSource>{a.View(1), a.View(1)}, 0));
  EXPECT_TRUE(WriteFrames(dump, std::vector<DumpSource>{a.View(1)}, 0));
}

TEST(Writer, ARemovedFileIsAWriteError) {
  ScratchDir dir;
  TestFrame a = Filled("Base", 2, 2, 0);
  DumpFile dump;
  std::vector<DumpSource> s{a.View(1)};
  ASSERT_TRUE(OpenDump(dump, dir.path(), s));
  ASSERT_TRUE(WriteFrames(dump, s, 0));
  std::filesystem::remove(dump.TempPath());
  EXPECT_FALSE(WriteFrames(dump, s, 5));
  EXPECT_NE(dump.Error().find("removed"), std::string::npos);
}

// Reads one byte per recorded frame from the child, with a time-out.
bool WaitForFrames(int fd, int frames) {
  for (int got = 0; got < frames;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) return false;
    char buf[64];
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    got += int(n);
  }
  return true;
}

TEST(Writer, SigkillMidRecordingKeepsEveryCompletedFrame) {
  ScratchDir dir;
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipefd[0]);
    TestFrame a = Filled("RawData", 32, 72, 0);
    DumpFile dump;
    if (!OpenDump(dump, dir.path(), std::vector<DumpSource>{a.View(1)})) _exit(2);
    for (int32_t n = 1; n <= 200000; ++n) {
      std::fill(a.cells.begin(), a.cells.end(), n);
      if (!WriteFrames(dump, std::vector<DumpSource>{a.View(n)}, n)) _exit(3);
      if (write(pipefd[1], "f", 1) != 1) _exit(4);
    }
    _exit(0);
  }
  close(pipefd[1]);
  const int acked = 50;
  bool got = WaitForFrames(pipefd[0], acked);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(pipefd[0]);
  ASSERT_TRUE(got);
  ASSERT_TRUE(WIFSIGNALED(status));

  // A kill in the middle of a write may leave a torn last block; everything before it
  // loads, and the frame counter line already counts every complete frame.
  std::string tempName;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    if (e.path().filename().string().rfind("tempReport-", 0) == 0) tempName = e.path().string();
  ASSERT_FALSE(tempName.empty());
  std::string text = ReadText(tempName);
  RecordingSet set;
  if (!set.Load(tempName)) {
    test::WriteText(dir.File("cut.csv"), text.substr(0, text.rfind("\nNo , ")));
    set.Clear();
    ASSERT_TRUE(set.Load(dir.File("cut.csv"))) << set.LastError();
  }
  const int32_t frames = set.GetFrameCount(0);
  EXPECT_GE(frames, acked);
  // The count line is rewritten just after each block, so a kill between the two leaves
  // one complete block that the count does not include yet.
  EXPECT_GE(set.GetDeclaredFrameCount(0) + 1, frames);
  EXPECT_LE(set.GetDeclaredFrameCount(0), frames + 1);
  for (int32_t i = 0; i < frames; ++i) {
    EXPECT_EQ(set.FrameMax(0, i), i + 1);
    EXPECT_EQ(set.FrameMin(0, i), i + 1);
  }
}

}  // namespace
}  // namespace pelorin
