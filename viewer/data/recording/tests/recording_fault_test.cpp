// Recordings under faults: two recordings in one folder, what a crashed run left behind,
// and a disk that fills up at any byte of the CSV file or the MAT-file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/recording/recording_set.h"
#include "data/recording/recording_writer.h"
#include "disk_fault.h"
#include "test_files.h"

namespace pelorin {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::ScratchDir;

struct Frame {
  std::vector<int32_t> cells;
  int32_t width, height;
  DumpSource View(int32_t number) const {
    DumpSource s;
    s.name = "Base";
    s.width = width;
    s.height = height;
    s.cells = cells.data();
    s.frameNumber = number;
    return s;
  }
};

Frame FrameNumbered(int32_t n) {
  Frame f{std::vector<int32_t>(8 * 6, n), 8, 6};
  return f;
}

std::vector<std::string> NamesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Each recording's frames carry its own value in every cell: two recordings written
// into one folder at the same time keep theirs apart.
TEST(RecordingFolder, TwoRecordingsInOneFolderNeverShareATemporaryFile) {
  ScratchDir dir;
  DumpFile one, two;
  const Frame a{std::vector<int32_t>(48, 111), 8, 6};
  const Frame b{std::vector<int32_t>(48, 222), 8, 6};
  ASSERT_TRUE(OpenDump(one, dir.path(), std::vector<DumpSource>{a.View(1)})) << one.Error();
  ASSERT_TRUE(OpenDump(two, dir.path(), std::vector<DumpSource>{b.View(1)})) << two.Error();
  EXPECT_NE(one.TempPath(), two.TempPath());
  // The other's temporary file is in use: neither takes it for a crash's leftover.
  EXPECT_TRUE(one.Recovered().empty());
  EXPECT_TRUE(two.Recovered().empty());
  for (int32_t n = 1; n <= 5; ++n) {
    ASSERT_TRUE(WriteFrames(one, std::vector<DumpSource>{a.View(n)}, n));
    ASSERT_TRUE(WriteFrames(two, std::vector<DumpSource>{b.View(n)}, n));
  }
  ASSERT_TRUE(FinishDump(one, "one.csv"));
  ASSERT_TRUE(FinishDump(two, "two.csv"));
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"one.csv", "two.csv"}));
  for (const auto& [name, value] : {std::pair{"one.csv", 111}, std::pair{"two.csv", 222}}) {
    RecordingSet set;
    ASSERT_TRUE(set.Load(dir.File(name))) << set.LastError();
    ASSERT_EQ(set.GetFrameCount(0), 5) << name;
    for (int32_t i = 0; i < 5; ++i) {
      EXPECT_EQ(set.FrameMax(0, i), value) << name;
      EXPECT_EQ(set.FrameMin(0, i), value) << name;
    }
  }
}

TEST(RecordingFolder, ACrashLeftTemporaryFileIsKeptUnderARecoveredName) {
  struct Case {
    const char* leftover;
    const char* recovered;
  };
  for (const Case& c : {Case{"tempReport.csv", "recovered_tempReport.csv"},
                        Case{"tempReport-k3x9q2.csv", "recovered_tempReport-k3x9q2.csv"}}) {
    SCOPED_TRACE(c.leftover);
    ScratchDir dir;
    // 383 complete frames of a killed run.
    std::string text;
    {
      DumpFile crashed;
      const Frame f = FrameNumbered(7);
      ASSERT_TRUE(OpenDump(crashed, dir.path(), std::vector<DumpSource>{f.View(1)}));
      for (int32_t n = 1; n <= 383; ++n)
        ASSERT_TRUE(WriteFrames(crashed, std::vector<DumpSource>{f.View(n)}, n));
      fs::rename(crashed.TempPath(), dir.File(c.leftover));
      text = ReadText(dir.File(c.leftover));
    }
    // A recovered file of that name exists already: the next number is taken.
    test::WriteText(dir.File(c.recovered), "an earlier recovery");

    DumpFile next;
    const Frame g = FrameNumbered(9);
    ASSERT_TRUE(OpenDump(next, dir.path(), std::vector<DumpSource>{g.View(1)}));
    ASSERT_EQ(next.Recovered().size(), 1u);
    EXPECT_EQ(next.Recovered()[0].first, dir.File(c.leftover));
    const std::string kept = next.Recovered()[0].second;
    EXPECT_EQ(fs::path(kept).filename().string(), fs::path(c.recovered).stem().string() + "_2.csv");
    EXPECT_EQ(ReadText(kept), text);
    EXPECT_EQ(ReadText(dir.File(c.recovered)), "an earlier recovery");
    EXPECT_FALSE(test::Exists(dir.File(c.leftover)));
    RecordingSet set;
    ASSERT_TRUE(set.Load(kept)) << set.LastError();
    EXPECT_EQ(set.GetFrameCount(0), 383);
  }
}

// The disk fills up after `budget` bytes; frames are written until a write fails.
TEST(RecordingDiskFull, EveryCompleteFrameStaysAndTheFileBecomesTheRecordingByRename) {
  const Frame probe = FrameNumbered(1);
  // Header and one block, to place the failure in the header, at a block's first byte,
  // in the middle of a block and at its last byte.
  ScratchDir sizes;
  DumpFile measure;
  ASSERT_TRUE(OpenDump(measure, sizes.path(), std::vector<DumpSource>{probe.View(1)}));
  const long long header = static_cast<long long>(fs::file_size(measure.TempPath()));
  ASSERT_TRUE(WriteFrames(measure, std::vector<DumpSource>{probe.View(1)}, 1));
  const long long block = static_cast<long long>(fs::file_size(measure.TempPath())) - header;

  struct Case {
    long long budget;
    bool opens;
    int framesKept;
  };
  for (const Case& c : {Case{0, false, 0}, Case{header / 2, false, 0}, Case{header, true, 0},
                        Case{header + 3 * block, true, 3}, Case{header + 3 * block + 1, true, 3},
                        Case{header + 4 * block - 1, true, 3}}) {
    SCOPED_TRACE("budget " + std::to_string(c.budget));
    ScratchDir dir;
    DumpFile dump;
    int written = 0;
    {
      test::DiskFault full(c.budget);
      ASSERT_EQ(OpenDump(dump, dir.path(), std::vector<DumpSource>{probe.View(1)}), c.opens);
      if (!c.opens) {
        EXPECT_NE(dump.Error().find(std::strerror(ENOSPC)), std::string::npos) << dump.Error();
        // No half header is left behind.
        EXPECT_TRUE(NamesIn(dir.path()).empty());
        continue;
      }
      while (written < 100) {
        const Frame f = FrameNumbered(written + 1);
        if (!WriteFrames(dump, std::vector<DumpSource>{f.View(written + 1)}, written)) break;
        ++written;
      }
      EXPECT_EQ(written, c.framesKept);
      EXPECT_EQ(dump.ErrorNumber(), ENOSPC);
      EXPECT_NE(dump.Error().find(std::strerror(ENOSPC)), std::string::npos) << dump.Error();
      // Finishing needs no space: the file is renamed, not copied.
      ASSERT_TRUE(FinishDump(dump, "full.csv")) << dump.Error();
    }
    EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"full.csv"});
    if (c.framesKept == 0) {
      // The reader wants a frame; the header is all there is, whole.
      EXPECT_EQ(ReadText(dir.File("full.csv")).rfind("Pelorin\nFrameCount, 0 ", 0), 0u);
      continue;
    }
    RecordingSet set;
    ASSERT_TRUE(set.Load(dir.File("full.csv"))) << set.LastError();
    EXPECT_EQ(set.GetDeclaredFrameCount(0), c.framesKept);
    ASSERT_EQ(set.GetFrameCount(0), c.framesKept);
    for (int32_t i = 0; i < c.framesKept; ++i) EXPECT_EQ(set.FrameMax(0, i), i + 1);
  }
}

}  // namespace
}  // namespace pelorin
