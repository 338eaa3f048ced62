// The MAT-file writer, read back element by element: names, classes, dimensions, the
// column order of the frames, and sizes that add up to the file (a wrong size makes
// every later variable unreadable).
#include "data/recording/mat_writer.h"

#include <cstring>

#include "disk_fault.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace pelorin {
namespace {

struct MatVar {
  uint32_t cls = 0;
  std::vector<int32_t> dims;
  uint32_t dataType = 0;
  std::vector<uint8_t> data;
};

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, &b[at], 4);
  return v;
}

// Reads every top-level matrix; fails the test on any size that does not fit.
std::map<std::string, MatVar> ReadMat(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::map<std::string, MatVar> vars;
  EXPECT_GE(b.size(), 128u);
  if (b.size() < 128) return vars;
  EXPECT_EQ(std::string(b.begin(), b.begin() + 10), "MATLAB 5.0");
  EXPECT_EQ(b[124] | b[125] << 8, 0x0100);
  EXPECT_EQ(b[126], 'I');
  EXPECT_EQ(b[127], 'M');
  size_t at = 128;
  while (at < b.size()) {
    EXPECT_LE(at + 8, b.size());
    if (at + 8 > b.size()) break;
    EXPECT_EQ(U32(b, at), 14u) << "at " << at;
    const size_t size = U32(b, at + 4);
    const size_t end = at + 8 + size;
    EXPECT_LE(end, b.size());
    EXPECT_EQ(size % 8, 0u);
    if (end > b.size()) break;
    size_t p = at + 8;
    auto element = [&](uint32_t* type) {
      *type = U32(b, p);
      const size_t n = U32(b, p + 4);
      std::vector<uint8_t> d(b.begin() + long(p + 8), b.begin() + long(p + 8 + n));
      p += 8 + (n + 7) / 8 * 8;
      return d;
    };
    MatVar v;
    uint32_t type = 0;
    const std::vector<uint8_t> flags = element(&type);
    v.cls = flags[0];
    const std::vector<uint8_t> dims = element(&type);
    for (size_t i = 0; i + 4 <= dims.size(); i += 4) v.dims.push_back(int32_t(U32(dims, i)));
    const std::vector<uint8_t> name = element(&type);
    v.data = element(&v.dataType);
    EXPECT_EQ(p, end) << std::string(name.begin(), name.end());
    vars[std::string(name.begin(), name.end())] = v;
    at = end;
  }
  return vars;
}

template <typename T>
std::vector<T> Values(const MatVar& v) {
  std::vector<T> out(v.data.size() / sizeof(T));
  std::memcpy(out.data(), v.data.data(), out.size() * sizeof(T));
  return out;
}

class MatWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("pelorin-mat-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path() const { return (dir_ / "r.mat").string(); }
  std::filesystem::path dir_;
};

TEST_F(MatWriterTest, FramesAreColumnMajorWithTheirMaskTimesAndNames) {
  MatWriter w;
  ASSERT_TRUE(w.Open(Path(), 3, 2)) << w.Error();
  // Cell (x, y) at [x * 2 + y]: value 10x + y, plus 100 in the second frame.
  const int32_t f1[6] = {0, 1, 10, 11, 20, 21};
  const int32_t f2[6] = {100, 101, 110, 111, 120, 121};
  ASSERT_TRUE(w.AppendFrame(f1, 0));
  ASSERT_TRUE(w.AppendFrame(f2, 37));
  const uint8_t valid[6] = {1, 1, 1, 0, 1, 1};
  ASSERT_TRUE(w.Finish(valid, "Base", "213")) << w.Error();

  auto vars = ReadMat(Path());
  ASSERT_EQ(vars.size(), 5u);
  const MatVar& frames = vars["frames"];
  EXPECT_EQ(frames.cls, 12u);  // int32
  EXPECT_EQ(frames.dims, (std::vector<int32_t>{3, 2, 2}));
  EXPECT_EQ(Values<int32_t>(frames),
            (std::vector<int32_t>{0, 10, 20, 1, 11, 21, 100, 110, 120, 101, 111, 121}));
  const MatVar& mask = vars["valid"];
  EXPECT_EQ(mask.cls, 9u);  // uint8
  EXPECT_EQ(mask.dims, (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(mask.data, (std::vector<uint8_t>{1, 1, 1, 1, 0, 1}));  // (1, 1) is masked
  const MatVar& time = vars["time_ms"];
  EXPECT_EQ(time.cls, 13u);  // uint32
  EXPECT_EQ(time.dims, (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(Values<uint32_t>(time), (std::vector<uint32_t>{0, 37}));
  EXPECT_EQ(vars["source"].cls, 4u);  // char
  EXPECT_EQ(Values<uint16_t>(vars["source"]), (std::vector<uint16_t>{'B', 'a', 's', 'e'}));
  EXPECT_EQ(vars["chips"].dims, (std::vector<int32_t>{1, 3}));
}

TEST_F(MatWriterTest, AnOddCellCountIsPaddedAndNoFrameStillGivesAValidFile) {
  MatWriter w;
  ASSERT_TRUE(w.Open(Path(), 1, 1));
  const int32_t cell = -5;
  ASSERT_TRUE(w.AppendFrame(&cell, 4));  // 4 bytes of data, 4 of padding
  ASSERT_TRUE(w.Finish(nullptr, "Diff", "1"));
  auto vars = ReadMat(Path());
  EXPECT_EQ(Values<int32_t>(vars["frames"]), (std::vector<int32_t>{-5}));
  EXPECT_EQ(vars["valid"].data, (std::vector<uint8_t>{1}));

  ASSERT_TRUE(w.Open(Path(), 2, 2));
  ASSERT_TRUE(w.Finish(nullptr, "Diff", ""));
  vars = ReadMat(Path());
  EXPECT_EQ(vars["frames"].dims, (std::vector<int32_t>{2, 2, 0}));
  EXPECT_EQ(vars["time_ms"].dims, (std::vector<int32_t>{0, 1}));
}

TEST_F(MatWriterTest, RefusesWhatItCannotWriteAndAbandonRemovesTheFile) {
  MatWriter w;
  EXPECT_FALSE(w.Open((dir_ / "no" / "such" / "r.mat").string(), 2, 2));
  EXPECT_NE(w.Error().find("can't create"), std::string::npos);
  EXPECT_FALSE(w.Open(Path(), 0, 4));
  const int32_t cell = 0;
  EXPECT_FALSE(w.AppendFrame(&cell, 0));
  ASSERT_TRUE(w.Open(Path(), 1, 1));
  w.Abandon();
  EXPECT_FALSE(std::filesystem::exists(Path()));
}

// A disk that fills up, at several points: the frames before it stay, and the file is
// finished with them (the writer reserves the space that Finish needs ahead).
TEST_F(MatWriterTest, AFullDiskEndsTheFramesAndTheFileIsFinishedWithThoseWritten) {
  for (long long budget : {0LL, 300LL, 1500LL, 5000LL, 20000LL}) {
    SCOPED_TRACE("budget " + std::to_string(budget));
    MatWriter w;
    int written = 0;
    bool finished = false;
    {
      test::DiskFault full(budget);
      if (!w.OpenPrivate(dir_.string(), 4, 3)) {
        EXPECT_NE(w.Error().find(std::strerror(ENOSPC)), std::string::npos) << w.Error();
        EXPECT_TRUE(std::filesystem::is_empty(dir_));
        continue;
      }
      std::vector<int32_t> cells(12);
      while (written < 10000) {
        std::fill(cells.begin(), cells.end(), written + 1);
        if (!w.AppendFrame(cells.data(), uint32_t(written))) break;
        ++written;
      }
      ASSERT_LT(written, 10000);
      EXPECT_EQ(w.ErrorNumber(), ENOSPC);
      EXPECT_NE(w.Error().find(std::strerror(ENOSPC)), std::string::npos) << w.Error();
      finished = w.Finish(nullptr, "Base", "1");
    }
    ASSERT_TRUE(finished) << w.Error();
    auto vars = ReadMat(w.Path());
    EXPECT_EQ(vars["frames"].dims, (std::vector<int32_t>{4, 3, written}));
    const std::vector<int32_t> values = Values<int32_t>(vars["frames"]);
    ASSERT_EQ(values.size(), size_t(12 * written));
    for (int f = 0; f < written; ++f) EXPECT_EQ(values[size_t(f) * 12], f + 1);
    EXPECT_EQ(vars["time_ms"].dims, (std::vector<int32_t>{written, 1}));
    std::filesystem::remove(w.Path());
  }
}

TEST(MatNames, ChipOrderAndPath) {
  // Beside a master, slave k is digit k + 1; without one, digit k.
  EXPECT_EQ(ChipOrderText({5, 1, 6}, 0), "213");
  EXPECT_EQ(ChipOrderText({6, 5}, 1), "21");
  EXPECT_EQ(ChipOrderText({1}, 2), "1");
  EXPECT_EQ(MatPathFor("a/Pelorin_Base20240131235959.csv"), "a/Pelorin_Base20240131235959.mat");
  EXPECT_EQ(MatPathFor("run"), "run.mat");
}

}  // namespace
}  // namespace pelorin
