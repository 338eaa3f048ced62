// The files a user names for a panel test: anything that is not a readable limits file
// or a golden recording read to its last cell is refused with the file and the line,
// never judged as if it held nothing (a pass with no rule checked) or zeros.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "data/limits/golden_file.h"
#include "data/limits/limits_file.h"
#include "data/recording/recording_reader.h"

namespace pelorin {
namespace {

class Folder {
 public:
  Folder() {
    std::string p = (std::filesystem::temp_directory_path() / "pelorin_limits_XXXXXX").string();
    if (::mkdtemp(p.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = p;
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(File(name), std::ios::binary) << text;
    return File(name);
  }

 private:
  std::filesystem::path path_;
};

// A recording of one 2 x 3 source (or two, with a 2 x 1 second) and two frames; cells
// holds the six cells of frame 2 as written, row x = 0 first.
std::string Recording(const std::string& row0 = "5,N/A,7,", const std::string& row1 = "8,9,-10,",
                      bool twoSources = false) {
  std::string r = "Pelorin\nFrameCount, 2\n";
  r += twoSources ? "Width, 2,2\nHeight, 3,1\nType, Base,Diff\n"
                  : "Width, 2\nHeight, 3\nType, Base\n";
  const std::string second =
      twoSources ? "\nNo , 1,          0ms, Read Error Times , 0\n4,\n4,\n" : "";
  r += "\nNo , 1,          0ms, Read Error Times , 0\n1,N/A,3,\r\n4,5,6,\n" + second;
  r += "\nNo , 2,         20ms, Read Error Times , 0\n" + row0 + "\n" + row1 + "\n" + second;
  return r + "\n";
}

std::string Enciphered(std::string text) {
  for (char& c : text) c = static_cast<char>(static_cast<uint8_t>(c) + kTblKey);
  return text;
}

TEST(GoldenFile, TheMeanOfTheFirstSourceOverEveryFrame) {
  Folder dir;
  for (const auto& [name, text] : {std::pair<std::string, std::string>{"plain.csv", Recording()},
                                   {"two.csv", Recording("5,N/A,7,", "8,9,-10,", true)},
                                   {"no-trailing-comma.csv", Recording("5, N/A ,7", "8,9,-10")},
                                   {"enciphered.tbl", Enciphered(Recording())}}) {
    SCOPED_TRACE(name);
    GoldenFrame g;
    std::string error;
    ASSERT_TRUE(LoadGolden(dir.Write(name, text), &g, &error)) << error;
    EXPECT_EQ(g.source, "Base");
    EXPECT_EQ(g.width, 2);
    EXPECT_EQ(g.height, 3);
    EXPECT_EQ(g.frames, 2);
    EXPECT_EQ(g.mean, (std::vector<double>{3, 0, 5, 6, 7, -2}));
    EXPECT_EQ(g.valid, (std::vector<uint8_t>{1, 0, 1, 1, 1, 1})) << "N/A in every frame";
  }
}

struct Refusal {
  const char* name;
  std::function<std::string(const Folder&)> file;  // gives the path to load
  bool golden;
  std::string expected;  // "{}" stands for the path
};

TEST(NamedFiles, RefusedWithTheFileAndTheLine) {
  const auto limits = [](std::string text) {
    return [text](const Folder& d) { return d.Write("limits.csv", text); };
  };
  const auto golden = [](std::string text) {
    return [text](const Folder& d) { return d.Write("golden.csv", text); };
  };
  const auto folder = [](const Folder& d) {
    std::filesystem::create_directory(d.File("dir.csv"));
    return d.File("dir.csv");
  };
  const auto missing = [](const Folder& d) { return d.File("missing.csv"); };
  const auto fifo = [](const Folder& d) {
    ::mkfifo(d.File("fifo.csv").c_str(), 0600);
    return d.File("fifo.csv");
  };
  const Refusal cases[] = {
      {"limits: a folder", folder, false, "limits file: {} is a folder"},
      {"limits: missing", missing, false, "limits file: can't read {}: No such file or directory"},
      {"limits: a FIFO, without waiting for a writer", fifo, false,
       "limits file: {} is not a regular file"},
      {"limits: empty", limits(""), false,
       "{}: no rule to check (a rule is a value, noise_pp or noise_rms line)"},
      {"limits: comments and a source only", limits("# none yet\n\nsource, Base\n"), false,
       "{}: no rule to check (a rule is a value, noise_pp or noise_rms line)"},
      {"limits: a bad line", limits("value, *, *, 1, 2\nvalue, 9, x, 1, 2\n"), false,
       "{}, line 2: y must be * or a line number from 0 to 4095"},
      {"golden: a folder", folder, true, "golden recording: {} is a folder"},
      {"golden: missing", missing, true,
       "golden recording: can't read {}: No such file or directory"},
      {"golden: not a recording's name",
       [](const Folder& d) { return d.Write("golden.txt", Recording()); }, true,
       "the golden recording {} is not a recording (.csv or .tbl)"},
      {"golden: a cell that is not a number", golden(Recording("5,N/A,7,", "8,9x,-10,")), true,
       "the golden recording {}, line 13: cell 2 \"9x\" is not a number (a cell is a 32-bit "
       "whole number or N/A)"},
      {"golden: an empty cell", golden(Recording("5,,7,")), true,
       "the golden recording {}, line 12: cell 2 \"\" is not a number (a cell is a 32-bit whole "
       "number or N/A)"},
      {"golden: a cell beyond 32 bits", golden(Recording("5,2147483648,7,")), true,
       "the golden recording {}, line 12: cell 2 \"2147483648\" is not a number (a cell is a "
       "32-bit whole number or N/A)"},
      {"golden: a bad cell in the second source", golden([] {
         std::string r = Recording("5,6,7,", "8,9,10,", true);
         return r.replace(r.rfind("4,\n4,\n"), 6, "4,\nx,\n");
       }()),
       true,
       "the golden recording {}, line 21: cell 1 \"x\" is not a number (a cell is a 32-bit whole "
       "number or N/A)"},
      {"golden: a row short of a cell", golden(Recording("5,6,")), true,
       "the golden recording {}, line 12: row 0 of frame 2 holds 2 cells, the source's Height is "
       "3"},
      {"golden: a row with a cell too many", golden(Recording("5,6,7,8,")), true,
       "the golden recording {}, line 12: row 0 of frame 2 holds 4 cells, the source's Height is "
       "3"},
      {"golden: cut inside a frame", golden(Recording().substr(0, Recording().rfind("8,9"))), true,
       "the golden recording {}, line 12: the file ends inside frame 2"},
      {"golden: no frame", golden("Pelorin\nFrameCount, 0\nWidth, 1\nHeight, 1\nType, Base\n\n"),
       true, "the golden recording {}, line 6: the recording holds no frame"},
      {"golden: enciphered, with a bad cell",
       [](const Folder& d) { return d.Write("g.tbl", Enciphered(Recording("5,?,7,"))); }, true,
       "the golden recording {}, line 12: cell 2 \"?\" is not a number (a cell is a 32-bit whole "
       "number or N/A)"},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    Folder dir;
    const std::string path = c.file(dir);
    std::string error;
    if (c.golden) {
      GoldenFrame g;
      EXPECT_FALSE(LoadGolden(path, &g, &error));
    } else {
      LimitsFile l;
      EXPECT_FALSE(LoadLimits(path, &l, &error));
    }
    std::string expected = c.expected;
    expected.replace(expected.find("{}"), 2, path);
    EXPECT_EQ(error, expected);
  }
}

}  // namespace
}  // namespace pelorin
