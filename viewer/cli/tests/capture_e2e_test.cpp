// pelorin-capture as a user runs it, against panelsim over the socket backend: the
// recording, the panel judgement and its exit codes, and the MAT-file as scipy and
// Octave read it; its line report as a line's tools read it. Faults, signals and a full
// disk are in capture_fault_test.cpp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "data/recording/recording_reader.h"
#include "data/recording/recording_set.h"
#include "panelsim/served_panel.h"
#include "recording_text.h"
#include "report_check.h"

extern char** environ;

namespace pelorin {
namespace {

using namespace recording_text;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

struct Outcome {
  int code = -1;
  std::string out, err;
};

bool Runs(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

class CaptureE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-capture-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    panel_ = std::make_unique<panelsim::ServedPanel>(dir_);
  }
  void TearDown() override {
    panel_.reset();
    fs::remove_all(dir_);
  }

  void Serve(int fingers = 2, uint32_t repeatFrame = 0, uint32_t zeroFrame = 0) {
    panelsim::ServerConfig cfg = panelsim::ServedPanel::SmallCascade();
    cfg.firmware.panel.fingers = fingers;
    cfg.firmware.repeat_frame = repeatFrame;
    cfg.firmware.zero_frame = zeroFrame;
    std::string err;
    ASSERT_TRUE(panel_->Start(cfg, &err)) << err;
  }

  pid_t Spawn(const std::vector<std::string>& args, int tag) {
    std::vector<std::string> all = {PELORIN_CAPTURE_BIN};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = (dir_ / ("out" + std::to_string(tag))).string();
    const std::string err = (dir_ / ("err" + std::to_string(tag))).string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  Outcome Finish(pid_t pid, int tag) {
    Outcome o;
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    o.out = ReadText(dir_ / ("out" + std::to_string(tag)));
    o.err = ReadText(dir_ / ("err" + std::to_string(tag)));
    return o;
  }

  Outcome Run(const std::vector<std::string>& args) {
    const int tag = ++runs_;
    return Finish(Spawn(args, tag), tag);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // A Base capture of `frames` frames into name; the test stops when it fails.
  void CaptureBase(const std::string& name, int frames, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--source", "base", "--frames", std::to_string(frames),
                                     "--delay",  "0",    "--quiet",  "--out",
                                     Path(name)};
    args.insert(args.end(), extra.begin(), extra.end());
    const Outcome o = Run(args);
    ASSERT_EQ(o.code, 0) << o.out << o.err;
  }

  fs::path dir_;
  std::unique_ptr<panelsim::ServedPanel> panel_;
  int runs_ = 0;
};

TEST_F(CaptureE2e, FiftyBaseFramesMakeARecordingTheViewerLoadsAndAPicture) {
  Serve();
  const Outcome o = Run({"--source", "base", "--frames", "50", "--delay", "0", "--quiet", "--json",
                         "--out", Path("base.csv"), "--png", Path("base.png")});
  ASSERT_EQ(o.code, 0) << o.out << o.err;
  EXPECT_NE(o.out.find("\"frames\":50,\"recorded\":50"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"verdict\":null"), std::string::npos) << o.out;
  RecordingSet set;
  ASSERT_TRUE(LoadRecordingFile(set, Path("base.csv"))) << set.LastError();
  ASSERT_EQ(set.Count(), 1);
  EXPECT_EQ(set.GetFrameCount(0), 50);
  EXPECT_EQ(set.GetWidth(0), 8);
  EXPECT_EQ(set.GetHeight(0), 18);
  EXPECT_EQ(BlockNumbers(ReadText(Path("base.csv"))).back(), 50);
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_NE(e.path().filename().string().rfind("tempReport", 0), 0u) << e.path();

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, Path("base.png").c_str()));
  EXPECT_GT(image.width, 8u * 18u);
  png_image_free(&image);
}

TEST_F(CaptureE2e, LimitsThePanelMeetsPassAndOneCountTooTightOnOneCellFails) {
  Serve();
  ASSERT_NO_FATAL_FAILURE(CaptureBase("ref.csv", 5));
  RecordingSet set;
  ASSERT_TRUE(LoadRecordingFile(set, Path("ref.csv")));
  const PlayerModel& ref = *set.GetModel(0);
  // Per-cell limits at exactly what the panel showed.
  std::string limits = "source, Base\nvalue, *, *, 0, 255\n";
  std::string tight = limits;
  int32_t lowAt35 = 0;
  for (int32_t x = 0; x < ref.Width(); ++x) {
    for (int32_t y = 0; y < ref.Height(); ++y) {
      int32_t lo = 1 << 30, hi = -(1 << 30);
      for (int32_t f = 0; f < ref.LoadedFrameCount(); ++f) {
        lo = std::min(lo, ref.Frame(f)->Cell(x, y));
        hi = std::max(hi, ref.Frame(f)->Cell(x, y));
      }
      const std::string xy = std::to_string(x) + ", " + std::to_string(y) + ", ";
      limits += "value, " + xy + std::to_string(lo) + ", " + std::to_string(hi) + "\n";
      if (x == 3 && y == 5) lowAt35 = lo;
      // The cell's minimum one count above its lowest value (a Base panel at rest
      // holds still, so its maximum is left open).
      tight += "value, " + xy +
               (x == 3 && y == 5 ? std::to_string(lo + 1) + ", "
                                 : std::to_string(lo) + ", " + std::to_string(hi)) +
               "\n";
    }
  }
  std::ofstream(Path("limits.csv")) << limits;
  std::ofstream(Path("tight.csv")) << tight;

  Outcome pass = Run({"--source", "base", "--frames", "5", "--delay", "0", "--quiet", "--out",
                      Path("a.csv"), "--limits", Path("limits.csv")});
  EXPECT_EQ(pass.code, 0) << pass.out << pass.err;
  EXPECT_NE(pass.out.find("PASS"), std::string::npos) << pass.out;

  Outcome fail =
      Run({"--source", "base", "--frames", "5", "--delay", "0", "--quiet", "--out", Path("b.csv"),
           "--limits", Path("tight.csv"), "--failures", Path("failing.csv")});
  EXPECT_EQ(fail.code, 3) << fail.out << fail.err;
  EXPECT_NE(fail.out.find("FAIL: 1 failing cell checks"), std::string::npos) << fail.out;
  EXPECT_NE(fail.out.find("value (3, 5): " + std::to_string(lowAt35) + " below min " +
                          std::to_string(lowAt35 + 1)),
            std::string::npos)
      << fail.out;
  EXPECT_EQ(ReadText(Path("failing.csv")), "check,x,y,value,limit,bound\nvalue,3,5," +
                                               std::to_string(lowAt35) + "," +
                                               std::to_string(lowAt35 + 1) + ",min\n");
  // The recording of a failed panel is kept.
  EXPECT_TRUE(fs::exists(Path("b.csv")));
}

TEST_F(CaptureE2e, AGoldenRunAgainstItselfPasses) {
  Serve();
  ASSERT_NO_FATAL_FAILURE(CaptureBase("golden.csv", 10));
  const Outcome o = Run({"--source", "base", "--frames", "10", "--delay", "0", "--quiet", "--out",
                         Path("again.csv"), "--golden", Path("golden.csv")});
  EXPECT_EQ(o.code, 0) << o.out << o.err;
  EXPECT_NE(o.out.find("PASS"), std::string::npos) << o.out;
  // A golden of another source type is a usage error.
  const Outcome wrong = Run({"--source", "diff", "--frames", "1", "--quiet", "--out", Path("d.csv"),
                             "--golden", Path("golden.csv")});
  EXPECT_EQ(wrong.code, 2) << wrong.err;
  EXPECT_NE(wrong.err.find("holds Base"), std::string::npos) << wrong.err;
}

// An untouched panel's raw data carry the emulated noise of at most +-3 counts.
TEST_F(CaptureE2e, NoiseLimitsUseThePanelNoiseReport) {
  Serve(0);
  std::ofstream(Path("noise.csv"))
      << "source, RawData\nnoise_pp, *, *, , 6\nnoise_rms, *, *, , 3.5\n";
  Outcome o = Run({"--source", "raw", "--frames", "20", "--delay", "0", "--quiet", "--json",
                   "--out", Path("n1.csv"), "--limits", Path("noise.csv")});
  EXPECT_EQ(o.code, 0) << o.out << o.err;
  EXPECT_NE(o.out.find("\"noisePpMax\":"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"verdict\":\"PASS\""), std::string::npos) << o.out;
  // A still cell is impossible with that noise: a limit of 0 fails every cell.
  std::ofstream(Path("still.csv")) << "noise_pp, *, *, , 0\n";
  o = Run({"--source", "raw", "--frames", "20", "--delay", "0", "--quiet", "--out", Path("n2.csv"),
           "--limits", Path("still.csv")});
  EXPECT_EQ(o.code, 3) << o.out << o.err;
  EXPECT_NE(o.out.find("noise_pp (0, 0): "), std::string::npos) << o.out;
}

TEST_F(CaptureE2e, RepeatedAndZeroedFramesAreCountedAndFailTheRunBeyondTheAllowance) {
  Serve(2, 3, 6);
  Outcome o = Run({"--source", "raw", "--frames", "10", "--delay", "0", "--quiet", "--json",
                   "--max-bad-frames", "0", "--out", Path("bad.csv"), "--report", Path("bad.json"),
                   "--junit", Path("bad.xml")});
  ASSERT_EQ(o.code, 3) << o.out << o.err;
  const auto doc = json::parse(o.out);
  EXPECT_EQ(doc["badFrames"],
            json({{"total", 2}, {"zero", 1}, {"repeated", 1}, {"outOfRange", 0}}));
  EXPECT_EQ(doc["verdict"], "FAIL");
  EXPECT_EQ(doc["recorded"], 10);  // counted, not dropped
  // The line report files them, as a failing check of their own.
  EXPECT_EQ(report_check::Cases(Path("bad.json"), Path("bad.xml")),
            json({{"capture", "pass"}, {"bad frames", "failure"}}));
  EXPECT_EQ(json::parse(ReadText(Path("bad.json")))["badFrames"],
            json({{"total", 2}, {"zero", 1}, {"repeated", 1}, {"outOfRange", 0}, {"allowed", 0}}));

  // The panel's next frames are sound: measured frames with noise are not mistaken for
  // repeats, and the run passes.
  o = Run({"--source", "raw", "--frames", "10", "--delay", "0", "--quiet", "--max-bad-frames", "0",
           "--out", Path("good.csv")});
  EXPECT_EQ(o.code, 0) << o.out << o.err;
  EXPECT_NE(o.out.find("PASS"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("bad frames"), std::string::npos) << o.out;
}

// Nothing serves the folder: what the command line gets wrong is refused (exit 2) before
// the device is opened, and then the device error (exit 1).
TEST_F(CaptureE2e, BadInputExitsTwoAndNoDeviceExitsOne) {
  std::ofstream(Path("bad.csv")) << "value, *, *, 1, 2\nvalue, 9, x, 1, 2\n";
  std::ofstream(Path("limits.csv")) << "value, *, *, 0, 255\n";
  fs::create_directories(dir_ / "folder");
  const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
      {{"--limits", Path("bad.csv")}, 2, "line 2: y must be"},
      // A report may not replace another file of the run, and must be able to be a file.
      {{"--report", Path("x.csv")}, 2, "is given for the report and for another file"},
      {{"--junit", Path("limits.csv"), "--limits", Path("limits.csv")}, 2, "for another file"},
      {{"--report", Path("folder")}, 2, "not a regular file"},
      {{}, 1, "open device error!"},  // the viewer's own status text
  };
  for (const auto& [extra, code, message] : rows) {
    std::vector<std::string> args = {"--source", "base", "--frames", "1", "--out", Path("x.csv")};
    args.insert(args.end(), extra.begin(), extra.end());
    const Outcome o = Run(args);
    EXPECT_EQ(o.code, code) << o.err;
    EXPECT_NE(o.err.find(message), std::string::npos) << o.err;
  }
  EXPECT_EQ(ReadText(Path("limits.csv")), "value, *, *, 0, 255\n");
  const Outcome o = Run({"--source", "base"});
  EXPECT_EQ(o.code, 2);
  EXPECT_NE(o.err.find("--frames is required"), std::string::npos) << o.err;
}

// The line report of every kind of run: the record validates against the schema in the
// tree, its checks are the JUnit file's test cases with the same outcomes, and each check
// holds what it measured. Runs cut short are in capture_fault_test.cpp.
TEST_F(CaptureE2e, EveryKindOfRunFilesARecordTheSchemaAcceptsAndJUnitThatCountsItsChecks) {
  // Line x = 2 may not rise above 1, except its cell (2, 3); the noise bound is loose.
  std::ofstream(Path("tight.csv")) << "value, *, *, 0, 255\nvalue, 2, *, , 1\n"
                                      "noise_pp, *, *, , 1000\nvalue, 2, 3, 0, 255\n";
  std::ofstream(Path("outside.csv")) << "value, 50, *, 0, 1\n";
  const std::string golden = Path("r1.csv");  // the recording of the second row
  struct Row {
    const char* name;
    std::vector<std::string> checks;
    std::pair<int, const char*> end;           // the exit status, and the record's outcome
    std::map<std::string, std::string> cases;  // JUnit test case -> state
    std::map<std::string, json> fields;        // JSON pointer -> value in the record
  } rows[] = {
      {"no panel yet: no device, and the cause",
       {},
       {1, "error"},
       {{"capture", "error"}},
       {{"/device", nullptr}, {"/checks/0/message", "open device error!"}}},
      {"no checks: the capture alone",
       {},
       {0, "pass"},
       {{"capture", "pass"}},
       {{"/device/vidPid", "6b3e:3a06"}, {"/noise/frames", 10}}},
      {"a golden of other frames, tolerance 0: the noise fails it",
       {"--golden", golden},
       {3, "fail"},
       {{"capture", "pass"}, {"golden", "failure"}},
       {{"/golden/cells", 8 * 18}}},
      {"a line rule fails its cells but the one a cell rule takes; the noise is measured",
       {"--limits", Path("tight.csv")},
       {3, "fail"},
       {{"capture", "pass"}, {"limits value", "failure"}, {"limits noise_pp", "pass"}},
       {{"/limits/rules/1/failures", 17}, {"/limits/rules/2/cells", 8 * 18}}},
      {"limits naming a line outside the panel: captured, not judged",
       {"--limits", Path("outside.csv")},
       {2, "error"},
       {{"capture", "pass"}, {"limits value", "skipped"}},
       {{"/checks/1/message",
         "not checked: limits line 1 names (50, *), outside the 8 x 18 panel"}}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.name);
    if (i == 1) {
      ASSERT_NO_FATAL_FAILURE(Serve(0));  // an untouched panel: frames differ by the noise alone
    }
    const std::string name = "r" + std::to_string(i);
    const std::string report = Path(name + ".json"), junit = Path(name + ".xml");
    std::vector<std::string> args = {
        "--source", "raw",      "--frames",          "10",        "--delay", "0",
        "--quiet",  "--out",    Path(name + ".csv"), "--report",  report,    "--junit",
        junit,      "--serial", "SN 0042 <a&b>",     "--station", "line 3"};
    args.insert(args.end(), row.checks.begin(), row.checks.end());
    const Outcome o = Run(args);
    EXPECT_EQ(o.code, row.end.first) << o.out << o.err;
    const json cases = report_check::Cases(report, junit);
    if (cases.is_discarded()) continue;
    EXPECT_EQ(cases, json(row.cases));
    json r = json::parse(ReadText(report));
    EXPECT_EQ(r["exitStatus"], o.code);
    EXPECT_EQ(r["outcome"], row.end.second);
    EXPECT_EQ(r["serial"], "SN 0042 <a&b>");
    // The record's checks are the JUnit test cases, with the same outcomes.
    EXPECT_EQ(r["checks"].size(), cases.size());
    for (const json& c : r["checks"]) {
      const std::string state = cases.value(c["name"].get<std::string>(), "absent");
      EXPECT_EQ(c["outcome"], state == "failure"   ? "fail"
                              : state == "skipped" ? "not checked"
                                                   : state)
          << c;
    }
    for (const auto& [pointer, value] : row.fields)
      EXPECT_EQ(r[json::json_pointer(pointer)], value) << pointer;
  }
}

TEST_F(CaptureE2e, TheMatFileLoadsInScipyAndOctave) {
  // Debian's own interpreter first: a python3 earlier on PATH may lack the packages.
  std::string python = "/usr/bin/python3";
  if (!Runs(python + " -c 'import scipy.io'")) python = "python3";
  const bool scipy = Runs(python + " -c 'import scipy.io'");
  const bool octave = Runs("octave-cli --version");
  if (!scipy && !octave) GTEST_SKIP() << "neither scipy (python3-scipy) nor Octave is installed";
  Serve();
  ASSERT_NO_FATAL_FAILURE(CaptureBase("m.csv", 4, {"--format", "mat", "--order", "213"}));
  ASSERT_TRUE(fs::exists(Path("m.mat")));
  EXPECT_FALSE(fs::exists(dir_ / "tempReport.mat"));
  // Both checkers compare the MAT-file with the recording beside it.
  if (scipy) {
    EXPECT_TRUE(
        Runs(python + " " + MAT_CHECK_PY + " " + Path("m.mat") + " " + Path("m.csv") + " 213"));
  } else {
    std::cout << "scipy is not installed (python3-scipy): its check is skipped\n";
  }
  if (octave) {
    const std::string dir = fs::path(MAT_CHECK_M).parent_path().string();
    EXPECT_TRUE(Runs("octave-cli --no-window-system --quiet --eval \"addpath('" + dir +
                     "'); check_mat('" + Path("m.mat") + "', '" + Path("m.csv") + "')\""));
  } else {
    std::cout << "Octave is not installed: its check is skipped\n";
  }
}

}  // namespace
}  // namespace pelorin
