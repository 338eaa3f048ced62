#include "data/recording/recording_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "test_files.h"

namespace pelorin {
namespace {

using test::ScratchDir;
using test::WriteText;

// Two sources: Width 2 (the second Width is ignored), Heights 3 and 2, two frames.
const char kTwoSources[] =
    "Pelorin\n"
    "FrameCount, 2\n"
    "Width, 2,7\n"
    "Height, 3,2\n"
    "Type, RawData,Diff\n"
    "\n"
    "No , 1,          0ms, Read Error Times , 0\n"
    "1,2,3,\n"
    "4,5,6,\n"
    "\n"
    "No , 1,          0ms, Read Error Times , 0\n"
    "-1,-2,\n"
    "-3,-4,\n"
    "\n"
    "No , 2,         40ms, Read Error Times , 1\n"
    "10,N/A,30,\n"
    "40,50,60,\n"
    "\n"
    "No , 2,         40ms, Read Error Times , 0\n"
    "7,8,\n"
    "9,N/A,\n"
    "\n";

class Reader : public testing::Test {
 protected:
  bool LoadText(const std::string& text, const std::string& name = "r.csv") {
    WriteText(dir.File(name), text);
    return set.Load(dir.File(name));
  }
  std::string Replace(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  }
  ScratchDir dir;
  RecordingSet set;
};

TEST_F(Reader, TwoSourcesAlternateAndShareTheFirstWidth) {
  ASSERT_TRUE(LoadText(kTwoSources)) << set.LastError();
  ASSERT_EQ(set.Count(), 2);
  EXPECT_EQ(set.GetWidth(0), 2);
  EXPECT_EQ(set.GetWidth(1), 2);
  EXPECT_EQ(set.GetHeight(0), 3);
  EXPECT_EQ(set.GetHeight(1), 2);
  // The first name keeps the blank after "Type,".
  EXPECT_EQ(set.GetModel(0)->GetName(), " RawData");
  EXPECT_EQ(set.GetModel(1)->GetName(), "Diff");
  EXPECT_EQ(set.GetFrameCount(0), 2);
  EXPECT_EQ(set.GetFrameCount(1), 2);
  const FrameRecord* f = set.GetModel(0)->Frame(0);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Cell(0, 0), 1);
  EXPECT_EQ(f->Cell(1, 2), 6);
  EXPECT_EQ(set.GetModel(1)->Frame(0)->Cell(1, 1), -4);
  EXPECT_EQ(set.GetModel(1)->Frame(1)->Cell(0, 1), 8);
  EXPECT_FLOAT_EQ(set.FrameAverage(0, 0), 3.5f);
  EXPECT_EQ(set.FrameMax(0, 0), 6);
  EXPECT_EQ(set.FrameMin(0, 0), 1);
  // A frame's max starts at 0, so an all-negative frame shows 0.
  EXPECT_EQ(set.FrameMax(1, 0), 0);
  EXPECT_EQ(set.FrameMin(1, 0), -4);
  EXPECT_EQ(set.GetMaxValue(0), 60);
  EXPECT_EQ(set.GetMinValue(0), 1);
  EXPECT_EQ(set.GetMaxValue(1), 9);
  EXPECT_EQ(set.GetMinValue(1), -4);
}

TEST_F(Reader, MaskedCellsReadAsZeroOutsideTheExtremes) {
  ASSERT_TRUE(LoadText(kTwoSources)) << set.LastError();
  const FrameRecord* f = set.GetModel(0)->Frame(1);
  EXPECT_EQ(f->Cell(0, 1), 0);
  EXPECT_EQ(f->CellValid(0, 1), 0);
  EXPECT_EQ(f->CellValid(0, 0), 1);
  EXPECT_EQ(f->max, 60);
  EXPECT_EQ(f->min, 10);  // the masked 0 does not count
  EXPECT_FLOAT_EQ(f->average, 190.0f / 6.0f);
  EXPECT_TRUE(set.GetModel(0)->HasMaskedCells());
  const FrameRecord* g = set.GetModel(1)->Frame(1);
  EXPECT_EQ(g->min, 7);
  EXPECT_FLOAT_EQ(g->average, 24.0f / 4.0f);
}

TEST_F(Reader, ForeignFilesAreRefused) {
  EXPECT_FALSE(LoadText(Replace(kTwoSources, "Pelorin\n", "Pelorin2\n")));
  EXPECT_FALSE(LoadText(Replace(kTwoSources, "FrameCount, 2\n", "")));
  EXPECT_FALSE(LoadText(Replace(kTwoSources, "FrameCount, 2\n", "FrameCount\n")));
  EXPECT_FALSE(LoadText(Replace(kTwoSources, "Width, 2,7\n", "Height, 3,2\n")));
  EXPECT_FALSE(LoadText(Replace(kTwoSources, "No , 2,         40ms, Read Error Times , 1\n",
                                "No, 2, 40ms, Read Error Times\n")));
  EXPECT_FALSE(LoadText(""));
  // A block header is recognised by either its five fields or its first field.
  EXPECT_TRUE(LoadText(Replace(kTwoSources, "No , 2,         40ms, Read Error Times , 1\n", "No \n")));
  EXPECT_TRUE(LoadText(Replace(kTwoSources, "No , 2,         40ms, Read Error Times , 1\n", "a,b,c,d,e\n")));
}

TEST_F(Reader, CrLfReadsLikeLf) {
  std::string crlf;
  for (char c : std::string(kTwoSources)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  ASSERT_TRUE(LoadText(crlf)) << set.LastError();
  RecordingSet lf;
  WriteText(dir.File("lf.csv"), kTwoSources);
  ASSERT_TRUE(lf.Load(dir.File("lf.csv")));
  ASSERT_EQ(set.Count(), 2);
  EXPECT_EQ(set.GetModel(1)->GetName(), "Diff");
  for (int32_t m = 0; m < 2; ++m) {
    for (int32_t i = 0; i < 2; ++i) {
      const FrameRecord* a = set.GetModel(m)->Frame(i);
      const FrameRecord* b = lf.GetModel(m)->Frame(i);
      for (int32_t x = 0; x < a->Width(); ++x)
        for (int32_t y = 0; y < a->Height(); ++y) {
          EXPECT_EQ(a->Cell(x, y), b->Cell(x, y));
          EXPECT_EQ(a->CellValid(x, y), b->CellValid(x, y));
        }
      EXPECT_EQ(a->average, b->average);
    }
  }
}

TEST_F(Reader, OnlyCsvAndTblNamesAreLoaded) {
  EXPECT_FALSE(LoadText(kTwoSources, "r.txt"));
  EXPECT_EQ(set.Count(), 0);
  std::string decoded;
  EXPECT_FALSE(DecodeTbl(dir.path() + "/no_dot_here", decoded));
  EXPECT_FALSE(set.Load(dir.File("missing.csv")));
}

TEST_F(Reader, TblDecodesWithoutTouchingExistingFiles) {
  // Decoded copies go to the temporary folder; point it at our scratch folder to see them.
  ScratchDir tmp;
  const char* old = std::getenv("TMPDIR");
  std::string saved = old != nullptr ? old : "";
  setenv("TMPDIR", tmp.path().c_str(), 1);
  WriteText(dir.File("rec.tbl"), test::EncodeTbl(kTwoSources));
  WriteText(dir.File("rec.csv"), "keep me");
  std::string decoded;
  ASSERT_TRUE(DecodeTbl(dir.File("rec.tbl"), decoded));
  EXPECT_EQ(test::ReadText(decoded), kTwoSources);
  std::filesystem::remove(decoded);
  EXPECT_TRUE(set.Load(dir.File("rec.tbl"))) << set.LastError();
  EXPECT_EQ(set.Count(), 2);
  EXPECT_EQ(test::ReadText(dir.File("rec.csv")), "keep me");
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
  // A damaged .tbl fails and still leaves nothing behind.
  RecordingSet other;
  WriteText(dir.File("bad.tbl"), test::EncodeTbl("Pelorin\nnonsense\n"));
  EXPECT_FALSE(other.Load(dir.File("bad.tbl")));
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
  if (old != nullptr) setenv("TMPDIR", saved.c_str(), 1); else unsetenv("TMPDIR");
}

TEST_F(Reader, FramesAreBoundedByWhatTheFileHolds) {
  // The header claims 9 frames; two are there.
  ASSERT_TRUE(LoadText(Replace(kTwoSources, "FrameCount, 2", "FrameCount, 9"))) << set.LastError();
  EXPECT_EQ(set.GetFrameCount(0), 2);
  EXPECT_EQ(set.GetDeclaredFrameCount(0), 9);
  set.SetCurrentIndex(0, 5);
  EXPECT_EQ(set.GetCurrentIndex(0), 1);
  EXPECT_EQ(set.GetModel(0)->Frame(2), nullptr);
  EXPECT_EQ(set.FrameMax(0, 2), 0);
  EXPECT_EQ(set.FrameMin(0, -1), 0x7FFFFFFF);

  RecordingSet one;
  WriteText(dir.File("one.csv"),
            "Pelorin\nFrameCount, 1\nWidth, 1\nHeight, 1\nType, Base\n\nNo , 1, 0ms, Read Error Times , 0\n5,\n\n");
  ASSERT_TRUE(one.Load(dir.File("one.csv"))) << one.LastError();
  EXPECT_EQ(one.GetFrameCount(0), 1);
  EXPECT_FLOAT_EQ(one.FrameAverage(0, 0), 5.0f);

  // Header only: nothing to show.
  RecordingSet none;
  WriteText(dir.File("none.csv"), "Pelorin\nFrameCount, 0\nWidth, 1\nHeight, 1\nType, Base\n\n");
  EXPECT_FALSE(none.Load(dir.File("none.csv")));
}

TEST_F(Reader, ImpossibleSizesAreRefusedBeforeAllocating) {
  for (const char* bad : {"Width, 0\n", "Width, -2\n", "Width, abc\n", "Width, 4097\n"}) {
    RecordingSet s;
    std::string text = Replace(kTwoSources, "Width, 2,7\n", bad);
    if (std::string(bad) == "Width, 4097\n") text = Replace(text, "Height, 3,2\n", "Height, 3,4097\n");
    WriteText(dir.File("s.csv"), text);
    EXPECT_FALSE(s.Load(dir.File("s.csv"))) << bad;
    EXPECT_EQ(s.Count(), 0) << bad;
  }
  for (const char* bad : {"Height, 3,0\n", "Height, -1,2\n", "Height, 3,x\n"}) {
    RecordingSet s;
    WriteText(dir.File("s.csv"), Replace(kTwoSources, "Height, 3,2\n", bad));
    EXPECT_FALSE(s.Load(dir.File("s.csv"))) << bad;
    EXPECT_EQ(s.Count(), 0) << bad;
  }
  // 4096 x 4096 is the largest frame; a file far too short for it fails without
  // allocating it.
  RecordingSet s;
  std::string huge = Replace(kTwoSources, "Width, 2,7\n", "Width, 4096\n");
  huge = Replace(Replace(huge, "Height, 3,2\n", "Height, 4096\n"), "RawData,Diff", "RawData");
  WriteText(dir.File("s.csv"), huge);
  EXPECT_FALSE(s.Load(dir.File("s.csv")));
  EXPECT_EQ(s.Count(), 1);
  EXPECT_EQ(s.GetFrameCount(0), 0);
}

TEST_F(Reader, DamagedBlocksFailTheLoad) {
  // A row with fewer fields than Height.
  EXPECT_FALSE(LoadText(Replace(kTwoSources, "4,5,6,\n", "4,5\n")));
  // More Type fields than sources.
  EXPECT_FALSE(LoadText(Replace(kTwoSources, "Type, RawData,Diff\n", "Type, RawData,Diff,Base\n")));
  // Ends inside a block.
  std::string text = kTwoSources;
  EXPECT_FALSE(LoadText(text.substr(0, text.find("40,50,60,"))));
  // Ends between the two sources' blocks of one frame.
  EXPECT_FALSE(LoadText(text.substr(0, text.rfind("No , 2"))));
  set.Clear();
  EXPECT_FALSE(LoadText(text.substr(0, text.rfind("\nNo , 2"))));
  // Sources and frames read before the failure stay until the next load.
  EXPECT_EQ(set.Count(), 2);
  EXPECT_EQ(set.GetFrameCount(0), 2);
  EXPECT_EQ(set.GetFrameCount(1), 1);
  // A row with more fields than Height is fine; so is a file without the final blank line.
  RecordingSet s;
  WriteText(dir.File("s.csv"), Replace(text.substr(0, text.size() - 1), "4,5,6,\n", "4,5,6,7,8\n"));
  EXPECT_TRUE(s.Load(dir.File("s.csv"))) << s.LastError();
}

TEST_F(Reader, NumbersSaturateAndGarbageReadsAsZero) {
  ASSERT_TRUE(LoadText(Replace(kTwoSources, "1,2,3,\n", "99999999999,-99999999999,x7,\n"))) << set.LastError();
  const FrameRecord* f = set.GetModel(0)->Frame(0);
  EXPECT_EQ(f->Cell(0, 0), INT_MAX);
  EXPECT_EQ(f->Cell(0, 1), INT_MIN);
  EXPECT_EQ(f->Cell(0, 2), 0);
  EXPECT_EQ(f->max, INT_MAX);
  EXPECT_EQ(f->min, INT_MIN);
  // The sum is not 32 bits: INT_MAX + INT_MIN + 0 + 4 + 5 + 6 = 14.
  EXPECT_FLOAT_EQ(f->average, 14.0f / 6.0f);
}

struct Progress {
  std::vector<std::pair<int32_t, int32_t>> calls;
  static void Record(void* self, int32_t index, int32_t count) {
    static_cast<Progress*>(self)->calls.emplace_back(index, count);
  }
};

TEST_F(Reader, ProgressIsReportedPerSourceBlock) {
  Progress p;
  set.SetProgressCallback(&p, &Progress::Record);
  ASSERT_TRUE(LoadText(kTwoSources));
  EXPECT_EQ(p.calls, (std::vector<std::pair<int32_t, int32_t>>{{0, 2}, {0, 2}, {1, 2}, {1, 2}}));
  set.Clear();
  p.calls.clear();
  ASSERT_TRUE(LoadText(kTwoSources));
  EXPECT_TRUE(p.calls.empty());
}

}  // namespace
}  // namespace pelorin
