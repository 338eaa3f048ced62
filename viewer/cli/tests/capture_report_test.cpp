// The line report of pelorin-capture (--report, --junit) from real runs against panelsim:
// every kind of run's record validates against the schema in the tree, its JUnit file
// parses and counts the right test cases, and each check carries what it measured. Runs
// cut short by a signal, an unplug or a full disk are in capture_fault_test.cpp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "panelsim/served_panel.h"
#include "recording_text.h"
#include "report_check.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using recording_text::ReadText;

struct Outcome {
  int code = -1;
  std::string out, err;
};

class CaptureReport : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-capture-report-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    panel_.reset();
    fs::remove_all(dir_);
  }

  // A panel with bad frames at the given frame numbers (0: none); stopped = no panel.
  void Serve(uint32_t repeatFrame, uint32_t zeroFrame, bool stopped = false) {
    const std::string config =
        std::to_string(repeatFrame) + "/" + std::to_string(zeroFrame) + (stopped ? "/stopped" : "");
    if (panel_ && config == served_) return;  // the same panel goes on with its frames
    panel_.reset();
    panel_ =
        std::make_unique<panelsim::ServedPanel>(dir_ / ("devices" + std::to_string(++panels_)));
    served_ = config;
    if (stopped) return;
    panelsim::ServerConfig cfg = panelsim::ServedPanel::SmallCascade();
    cfg.firmware.panel.fingers = 0;  // an untouched panel: frames differ by the noise alone
    cfg.firmware.repeat_frame = repeatFrame;
    cfg.firmware.zero_frame = zeroFrame;
    std::string err;
    ASSERT_TRUE(panel_->Start(cfg, &err)) << err;
  }

  Outcome Run(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), PELORIN_CAPTURE_BIN);
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envs(env);
    for (char** e = environ; *e != nullptr; ++e) envs.push_back(*e);
    for (std::string& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, Path("stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, Path("stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            ReadText(Path("stdout")), ReadText(Path("stderr"))};
  }

  // A capture of `frames` frames of `source` into `name`, with further options.
  std::vector<std::string> Capture(const std::string& source, int frames, const std::string& name,
                                   const std::vector<std::string>& more = {}) {
    std::vector<std::string> a = {"--source", source, "--frames", std::to_string(frames),
                                  "--delay",  "0",    "--quiet",  "--out",
                                  Path(name)};
    a.insert(a.end(), more.begin(), more.end());
    return a;
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
  std::unique_ptr<panelsim::ServedPanel> panel_;
  std::string served_;
  int panels_ = 0;
};

// The JSON outcome word of a JUnit test case's state.
std::string CheckWord(const std::string& junitState) {
  return junitState == "failure" ? "fail" : junitState == "skipped" ? "not checked" : junitState;
}

TEST_F(CaptureReport, EveryKindOfRunFilesARecordTheSchemaAcceptsAndJUnitThatCountsItsChecks) {
  // Line x = 2 may not rise above 1, except its cell (2, 3); the noise bound is loose.
  std::ofstream(Path("tight.csv")) << "value, *, *, 0, 255\nvalue, 2, *, , 1\n"
                                      "noise_pp, *, *, , 1000\nvalue, 2, 3, 0, 255\n";
  std::ofstream(Path("outside.csv")) << "value, 50, *, 0, 1\n";
  const std::string golden = Path("golden.csv");
  struct Row {
    std::string name;
    uint32_t repeatFrame, zeroFrame;
    bool panel;
    std::vector<std::string> args;
    int code;
    std::string outcome;
    std::map<std::string, std::string> cases;  // JUnit test case -> state
    std::function<void(const json& report, const Outcome& run)> more;
  };
  const std::vector<Row> rows = {
      {"no checks: the capture alone",
       0,
       0,
       true,
       Capture("raw", 10, "golden.csv"),
       0,
       "pass",
       {{"capture", "pass"}},
       [](const json& r, const Outcome&) {
         EXPECT_EQ(r["device"]["vidPid"], "6b3e:3a06");
         EXPECT_EQ(r["noise"]["frames"], 10);  // measured for every report
       }},
      {"a golden of other frames of the panel, tolerance 0: the noise fails it",
       0,
       0,
       true,
       Capture("raw", 10, "g1.csv", {"--golden", golden}),
       3,
       "fail",
       {{"capture", "pass"}, {"golden", "failure"}},
       [](const json& r, const Outcome&) {
         EXPECT_EQ(r["golden"]["cells"], 8 * 18);
         EXPECT_GT(r["golden"]["failures"].get<int>(), 0);
         EXPECT_GT(r["golden"]["maxDeviation"].get<double>(), 0.0);
         EXPECT_LE(r["golden"]["maxDeviation"].get<double>(), 6.0);  // the +-3 noise
       }},
      {"the same golden within the noise passes",
       0,
       0,
       true,
       Capture("raw", 10, "g2.csv", {"--golden", golden, "--tolerance", "6"}),
       0,
       "pass",
       {{"capture", "pass"}, {"golden", "pass"}},
       nullptr},
      {"a line rule fails its cells but the one a cell rule takes",
       0,
       0,
       true,
       Capture("raw", 5, "t.csv", {"--limits", Path("tight.csv")}),
       3,
       "fail",
       {{"capture", "pass"}, {"limits value", "failure"}, {"limits noise_pp", "pass"}},
       [](const json& r, const Outcome&) {
         const json& rules = r["limits"]["rules"];
         ASSERT_EQ(rules.size(), 4u);
         EXPECT_EQ(rules[0]["cells"], 8 * 18 - 18);
         EXPECT_EQ(rules[1]["cells"], 17);
         EXPECT_EQ(rules[1]["failures"], 17);
         EXPECT_EQ(rules[2]["highest"], r["noise"]["peakToPeak"]["max"]);
         EXPECT_EQ(rules[3]["cells"], 1);
         EXPECT_EQ(rules[3]["outcome"], "pass");
       }},
      {"limits naming a line outside the panel: captured, not judged",
       0,
       0,
       true,
       Capture("raw", 3, "o.csv", {"--limits", Path("outside.csv")}),
       2,
       "error",
       {{"capture", "pass"}, {"limits value", "skipped"}},
       [](const json& r, const Outcome&) {
         EXPECT_NE(r["checks"][1]["message"].dump().find("outside the 8 x 18 panel"),
                   std::string::npos);
       }},
      {"repeated and zeroed frames beyond the allowance",
       3,
       6,
       true,
       Capture("raw", 10, "b.csv", {"--max-bad-frames", "0"}),
       3,
       "fail",
       {{"capture", "pass"}, {"bad frames", "failure"}},
       [](const json& r, const Outcome& o) {
         EXPECT_EQ(
             r["badFrames"],
             json({{"total", 2}, {"zero", 1}, {"repeated", 1}, {"outOfRange", 0}, {"allowed", 0}}));
         EXPECT_NE(o.out.find("bad frames 2: 1 all zero, 1 repeated"), std::string::npos) << o.out;
       }},
      {"no panel: no device, and the cause",
       0,
       0,
       false,
       Capture("base", 3, "n.csv"),
       1,
       "error",
       {{"capture", "error"}},
       [](const json& r, const Outcome&) {
         EXPECT_EQ(r["device"], nullptr);
         EXPECT_NE(r["checks"][0]["message"].dump().find("open device error!"), std::string::npos);
       }},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.name);
    ASSERT_NO_FATAL_FAILURE(Serve(row.repeatFrame, row.zeroFrame, !row.panel));
    const std::string report = Path("r" + std::to_string(i) + ".json");
    const std::string junit = Path("r" + std::to_string(i) + ".xml");
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"--report", report, "--junit", junit, "--serial", "SN 0042 <a&b>",
                             "--station", "line 3"});
    const Outcome o = Run(args);
    EXPECT_EQ(o.code, row.code) << o.out << o.err;
    const json checked = report_check::Check(report, junit);
    if (checked.is_discarded()) continue;
    const json r = json::parse(ReadText(report));
    EXPECT_EQ(r["exitStatus"], o.code);
    EXPECT_EQ(r["outcome"], row.outcome);
    EXPECT_EQ(r["serial"], "SN 0042 <a&b>");
    const auto cases = checked["junit"]["cases"].get<std::map<std::string, std::string>>();
    EXPECT_EQ(cases, row.cases);
    // The record's checks are the JUnit test cases, with the same outcomes.
    EXPECT_EQ(r["checks"].size(), cases.size());
    for (const json& c : r["checks"])
      EXPECT_EQ(c["outcome"], CheckWord(cases.at(c["name"].get<std::string>()))) << c.dump();
    if (row.more) row.more(r, o);
  }
}

// A report replaces an earlier one only once it is whole: on a full disk the run fails
// (exit 1, the cause named) and the earlier report stays as it was, with nothing beside it.
TEST_F(CaptureReport, AReportThatCannotBeWrittenFailsTheRunAndLeavesTheOldOne) {
  ASSERT_NO_FATAL_FAILURE(Serve(0, 0));
  fs::create_directories(dir_ / "full");
  const std::string report = Path("full/unit.json");
  std::ofstream(report) << "the earlier unit's record\n";
  Outcome o = Run(Capture("base", 3, "a.csv", {"--report", report}),
                  {"LD_PRELOAD=" PELORIN_ENOSPC_PRELOAD, "PELORIN_ENOSPC_MATCH=/full/",
                   "PELORIN_ENOSPC_AFTER=100", "ASAN_OPTIONS=verify_asan_link_order=0"});
  EXPECT_EQ(o.code, 1) << o.out << o.err;
  EXPECT_NE(o.err.find("can't write " + report + ": No space left on device"), std::string::npos)
      << o.err;
  EXPECT_EQ(ReadText(report), "the earlier unit's record\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "full"), fs::directory_iterator()), 1);
  // With room, the same report is replaced whole.
  o = Run(Capture("base", 3, "b.csv", {"--report", report}));
  EXPECT_EQ(o.code, 0) << o.out << o.err;
  EXPECT_EQ(json::parse(ReadText(report))["files"]["recording"], Path("b.csv"));
}

// A report that would replace another file of the run, or cannot be a file, is refused
// before the panel is touched.
TEST_F(CaptureReport, AReportPathThatCannotHoldTheReportIsAUsageError) {
  ASSERT_NO_FATAL_FAILURE(Serve(0, 0));
  std::ofstream(Path("limits.csv")) << "value, *, *, 0, 255\n";
  fs::create_directories(dir_ / "folder");
  const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
      {{"--report", Path("x.csv")}, "is given for the report and for another file"},
      {{"--junit", Path("limits.csv"), "--limits", Path("limits.csv")}, "for another file"},
      {{"--report", Path("folder")}, "not a regular file"},
  };
  for (const auto& [extra, message] : rows) {
    const Outcome o = Run(Capture("base", 3, "x.csv", extra));
    EXPECT_EQ(o.code, 2) << o.err;
    EXPECT_NE(o.err.find(message), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(Path("x.csv")));
  }
  EXPECT_EQ(ReadText(Path("limits.csv")), "value, *, *, 0, 255\n");
}

}  // namespace
