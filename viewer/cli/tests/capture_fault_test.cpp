// pelorin-capture under faults, as the real program against panelsim: every fault kind
// once and for good, Ctrl-C and SIGTERM, a full disk under the recording or the line
// report, a crash's leftover, two captures in one folder and two on one panel. No run may
// report frames it did not read, a run cut short still files its line report, and every
// run ends within a stated bound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fault_kinds.h"
#include "panelsim/faults.h"
#include "panelsim/server.h"
#include "recording_text.h"
#include "report_check.h"

extern char** environ;

namespace {

using namespace recording_text;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

// One emulated panel in a folder of its own, with the faults of `faultArgs`.
std::unique_ptr<panelsim::Server> ServePanel(const fs::path& folder,
                                             const std::vector<std::string>& faultArgs = {}) {
  fs::create_directories(folder);
  panelsim::ServerConfig cfg;
  cfg.firmware.panel.chips = 3;
  cfg.firmware.panel.drive = 8;
  cfg.firmware.panel.sense = {6};
  cfg.folder = folder.string();
  std::string error;
  for (const std::string& f : faultArgs) {
    auto fault = panelsim::ParseFault(f, &error);
    EXPECT_TRUE(fault) << error;
    if (fault) cfg.faults.push_back(*fault);
  }
  auto server = panelsim::Server::Start(cfg, &error);
  EXPECT_TRUE(server) << error;
  return server;
}

struct Outcome {
  int code = -1;  // exit status, 128 + signal when killed, -1 when it outlived its bound
  std::string out, err;
  double seconds = 0;
};

// A pelorin-capture process with its own devices folder and extra environment.
class Capture {
 public:
  Capture(const fs::path& work, const fs::path& devices, std::vector<std::string> args,
          std::vector<std::string> env = {})
      : work_(work) {
    std::vector<std::string> all = {PELORIN_CAPTURE_BIN};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envs = {"CORLINK_VIRTUAL_DIR=" + devices.string()};
    for (char** e = environ; *e != nullptr; ++e)
      if (std::strncmp(*e, "CORLINK_VIRTUAL_DIR=", 20) != 0) envs.push_back(*e);
    envs.insert(envs.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = (work / "stdout").string(), err = (work / "stderr").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    start_ = std::chrono::steady_clock::now();
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
  }

  void Signal(int signo) { kill(pid_, signo); }

  // The outcome when the process has ended, without waiting; nothing otherwise.
  std::optional<Outcome> Poll() {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return std::nullopt;
    Outcome o;
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    o.out = ReadText(work_ / "stdout");
    o.err = ReadText(work_ / "stderr");
    return o;
  }

  // Waits for the end, at most `bound`; a process that outlives it is killed.
  Outcome Finish(std::chrono::seconds bound) {
    Outcome o;
    int status = 0;
    bool outlived = false;
    const auto deadline = start_ + bound;
    while (waitpid(pid_, &status, WNOHANG) != pid_) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        outlived = true;
        break;
      }
      std::this_thread::sleep_for(20ms);
    }
    o.code = outlived ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    o.out = ReadText(work_ / "stdout");
    o.err = ReadText(work_ / "stderr");
    return o;
  }

 private:
  fs::path work_;
  pid_t pid_ = -1;
  std::chrono::steady_clock::time_point start_;
};

class CaptureFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-capture-faults-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    servers_.clear();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // A folder for one run: its devices, its recording and its output.
  fs::path Case(const std::string& name) {
    fs::create_directories(dir_ / name);
    return dir_ / name;
  }

  std::vector<std::string> RawCapture(const fs::path& out, int frames, bool asJson = true) {
    std::vector<std::string> a = {"--source",  "raw", "--frames", std::to_string(frames),
                                  "--delay",   "0",   "--quiet",  "--out",
                                  out.string()};
    if (asJson) a.push_back("--json");
    return a;
  }

  // The capture into `out` with a line report and its JUnit file in `work`.
  std::vector<std::string> ReportedCapture(const fs::path& work, const fs::path& out, int frames) {
    std::vector<std::string> a = RawCapture(out, frames);
    a.insert(a.end(), {"--report", (work / "report.json").string(), "--junit",
                       (work / "report.xml").string()});
    return a;
  }

  // A run cut short files its record all the same: it validates, says how the run ended
  // and holds the exit status; the JUnit file has the capture as an error.
  static json CutShortReport(const fs::path& work, const Outcome& o, const std::string& outcome) {
    const std::string report = (work / "report.json").string();
    EXPECT_EQ(report_check::Cases(report, (work / "report.xml").string()),
              json({{"capture", "error"}}));
    json r = json::parse(ReadText(report));
    EXPECT_EQ(r["exitStatus"], o.code);
    EXPECT_EQ(r["outcome"], outcome);
    EXPECT_EQ(r["checks"][0]["outcome"], "error");
    return r;
  }

  static json Summary(const Outcome& o) {
    json j = json::parse(o.out, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << "standard output is not JSON:\n" << o.out;
    return j;
  }

  fs::path dir_;
  std::vector<std::unique_ptr<panelsim::Server>> servers_;
};

// Every fault kind, once and for good, on the raw-data reads of a capture that has read
// a few frames already. All rows run at the same time, each against its own panel.
TEST_F(CaptureFaults, EveryFaultKindEndsInTimeWithItsExitStatusAndCause) {
  constexpr int kFrames = faults::kFrames;
  struct Row {
    std::string name;
    faults::Expect expect;
    fs::path work;
    std::unique_ptr<Capture> capture;
  };
  std::vector<Row> rows;
  for (const faults::Kind& k : faults::Kinds()) {
    for (bool always : {false, true}) {
      Row r;
      r.name = std::string(k.name) + (always ? " always" : " once");
      r.expect = always ? k.always : k.once;
      r.work = Case(std::string(k.name) + (always ? "-always" : "-once"));
      servers_.push_back(ServePanel(r.work / "devices", {faults::FaultArgument(k, always)}));
      r.capture = std::make_unique<Capture>(r.work, r.work / "devices",
                                            RawCapture(r.work / "cut.csv", kFrames));
      rows.push_back(std::move(r));
    }
  }
  // Every row is reaped when it ends, so that its time is its own.
  std::vector<std::optional<Outcome>> ends(rows.size());
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(faults::kBoundSeconds);
  for (size_t left = rows.size(); left > 0 && std::chrono::steady_clock::now() < deadline;) {
    std::this_thread::sleep_for(20ms);
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!ends[i] && (ends[i] = rows[i].capture->Poll())) --left;
    }
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    Row& r = rows[i];
    SCOPED_TRACE(r.name);
    const Outcome o = ends[i] ? *ends[i] : r.capture->Finish(std::chrono::seconds(0));
    ASSERT_NE(o.code, -1) << "still running after " << faults::kBoundSeconds << " s\n" << o.err;
    // How long each row took, for whoever tunes the bound (not a pass condition).
    std::printf("%-22s exit %3d after %5.1f s\n", r.name.c_str(), o.code, o.seconds);
    const json s = Summary(o);
    if (s.is_discarded()) continue;
    const std::vector<int> blocks = BlockNumbers(ReadText(r.work / "cut.csv"));
    // Whatever happened, the recording holds exactly the frames it says, each once.
    EXPECT_EQ(blocks, OneTo(s["recorded"].get<int>()));
    if (r.expect == faults::Expect::Complete) {
      EXPECT_EQ(o.code, 0) << o.out << o.err;
      EXPECT_EQ(s["outcome"], "complete");
      EXPECT_EQ(s["frames"], kFrames);
      EXPECT_EQ(s["recorded"], kFrames);
    } else {
      EXPECT_EQ(o.code, 1) << o.out << o.err;
      EXPECT_LT(s["frames"].get<int>(), kFrames);
      EXPECT_EQ(s["recorded"], s["frames"]);
      const std::string messages = s["messages"].dump();
      EXPECT_NE(messages.find(faults::CauseText(r.expect)), std::string::npos) << messages;
      EXPECT_NE(s["outcome"], "complete");
      EXPECT_EQ(s["deviceLost"], r.expect == faults::Expect::DeviceGone);
    }
  }
}

// Ctrl-C and SIGTERM stop the capture as Stop does: the frames read are recorded, the
// summary says "interrupted", and the exit status is the shell's 128 + the signal.
TEST_F(CaptureFaults, ASignalStopsTheCaptureAndKeepsTheFramesRead) {
  for (int signo : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(strsignal(signo));
    const fs::path work = Case(std::string("signal-") + std::to_string(signo));
    servers_.push_back(ServePanel(work / "devices"));
    Capture c(work, work / "devices", ReportedCapture(work, work / "cut.csv", 1000000));
    // Once a few frames are in its temporary file.
    WaitForTemporaryFrames(work, 5, 60s);
    c.Signal(signo);
    const Outcome o = c.Finish(60s);
    EXPECT_EQ(o.code, 128 + signo) << o.err;
    const json s = Summary(o);
    if (s.is_discarded()) continue;
    EXPECT_EQ(s["interrupted"], true);
    EXPECT_EQ(s["outcome"], "interrupted");
    const std::vector<int> blocks = BlockNumbers(ReadText(work / "cut.csv"));
    EXPECT_GE(blocks.size(), 5u);
    EXPECT_EQ(blocks, OneTo(s["recorded"].get<int>()));
    json r = CutShortReport(work, o, "interrupted");
    EXPECT_EQ(r["end"], "interrupted");
    EXPECT_EQ(r["frames"]["recorded"], s["recorded"]);
    EXPECT_NE(r["device"], nullptr);
  }
}

// Pulling the panel mid-capture: the summary is still one clean JSON document (the
// library's own messages go to standard error), and says the device was lost.
TEST_F(CaptureFaults, UnplugMidCaptureGivesJsonThatParses) {
  const fs::path work = Case("unplug");
  auto server = ServePanel(work / "devices");
  Capture c(work, work / "devices", ReportedCapture(work, work / "cut.csv", 1000000));
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline && server->CommandCount(0x86) < 100)
    std::this_thread::sleep_for(5ms);
  server->Unplug();
  const Outcome o = c.Finish(std::chrono::seconds(faults::kBoundSeconds));
  EXPECT_EQ(o.code, 1) << o.err;
  const json s = Summary(o);
  ASSERT_FALSE(s.is_discarded());
  EXPECT_EQ(s["deviceLost"], true);
  EXPECT_EQ(s["outcome"], "device lost");
  EXPECT_EQ(BlockNumbers(ReadText(work / "cut.csv")), OneTo(s["recorded"].get<int>()));
  json r = CutShortReport(work, o, "error");
  EXPECT_EQ(r["deviceLost"], true);
  EXPECT_EQ(r["end"], "device lost");
  EXPECT_GT(r["frames"]["read"].get<int>(), 0);
}

// The disk fills up part-way through the recording: exit 1, the cause named, and the
// recording holds every complete frame written before.
TEST_F(CaptureFaults, AFullDiskEndsTheCaptureAndKeepsEveryFrameWritten) {
  // The recording goes to a folder of its own, the only one whose disk is full.
  const fs::path work = Case("full");
  fs::create_directories(work / "disk");
  servers_.push_back(ServePanel(work / "devices"));
  Capture c(work, work / "devices", ReportedCapture(work, work / "disk" / "full.csv", 1000),
            {"LD_PRELOAD=" PELORIN_ENOSPC_PRELOAD, "PELORIN_ENOSPC_MATCH=/disk/",
             "PELORIN_ENOSPC_AFTER=6000", "ASAN_OPTIONS=verify_asan_link_order=0"});
  const Outcome o = c.Finish(120s);
  EXPECT_EQ(o.code, 1) << o.out << o.err;
  const json s = Summary(o);
  ASSERT_FALSE(s.is_discarded());
  EXPECT_EQ(s["outcome"], "recording failed");
  EXPECT_NE(s["messages"].dump().find("No space left on device"), std::string::npos)
      << s["messages"].dump();
  EXPECT_LT(s["frames"].get<int>(), 1000);
  const std::vector<int> blocks = BlockNumbers(ReadText(work / "disk" / "full.csv"));
  EXPECT_GT(blocks.size(), 0u);
  EXPECT_EQ(blocks, OneTo(s["recorded"].get<int>()));
  // The temporary file became the recording: nothing else is left in the folder.
  for (const auto& e : fs::directory_iterator(work / "disk"))
    EXPECT_NE(e.path().filename().string().rfind("tempReport", 0), 0u) << e.path();
  // The report lies on another disk: it tells what the full one cost.
  json r = CutShortReport(work, o, "error");
  EXPECT_EQ(r["end"], "recording failed");
  EXPECT_NE(r["messages"].dump().find("No space left on device"), std::string::npos);
}

// A report replaces an earlier one only once it is whole: when its disk is full the run
// fails (exit 1, the cause named) and the earlier report stays as it was, alone.
TEST_F(CaptureFaults, AReportThatCannotBeWrittenFailsTheRunAndLeavesTheOldOne) {
  const fs::path work = Case("report");
  fs::create_directories(work / "disk");
  servers_.push_back(ServePanel(work / "devices"));
  const std::string report = (work / "disk" / "unit.json").string();
  std::ofstream(report) << "the earlier unit's record\n";
  std::vector<std::string> args = RawCapture(work / "a.csv", 3, false);
  args.insert(args.end(), {"--report", report});
  Capture c(work, work / "devices", args,
            {"LD_PRELOAD=" PELORIN_ENOSPC_PRELOAD, "PELORIN_ENOSPC_MATCH=/disk/",
             "PELORIN_ENOSPC_AFTER=100", "ASAN_OPTIONS=verify_asan_link_order=0"});
  const Outcome o = c.Finish(120s);
  EXPECT_EQ(o.code, 1) << o.out << o.err;
  EXPECT_NE(o.err.find("can't write " + report + ": No space left on device"), std::string::npos)
      << o.err;
  EXPECT_EQ(ReadText(report), "the earlier unit's record\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(work / "disk"), fs::directory_iterator()), 1);
}

// Two captures in one folder at the same time, with the usual time-stamped names: each
// gets its own recording with its own frames, and neither takes the other's temporary
// file for a crash's leftover.
TEST_F(CaptureFaults, TwoCapturesInOneFolderKeepTheirRecordingsApart) {
  const fs::path work = Case("folder");
  servers_.push_back(ServePanel(work / "devices-a"));
  servers_.push_back(ServePanel(work / "devices-b"));
  fs::create_directories(work / "a");
  fs::create_directories(work / "b");
  std::vector<std::string> args = {"--source", "base", "--frames", "60",
                                   "--delay",  "0",    "--quiet",  "--json"};
  // Both record into `work`, the process's folder given through --out's folder.
  Capture a(work / "a", work / "devices-a", [&] {
    auto v = args;
    v.insert(v.end(), {"--out", (work / "one.csv").string()});
    return v;
  }());
  Capture b(work / "b", work / "devices-b", [&] {
    auto v = args;
    v.insert(v.end(), {"--out", (work / "two.csv").string()});
    return v;
  }());
  const Outcome oa = a.Finish(120s), ob = b.Finish(120s);
  ASSERT_EQ(oa.code, 0) << oa.err;
  ASSERT_EQ(ob.code, 0) << ob.err;
  EXPECT_EQ(BlockNumbers(ReadText(work / "one.csv")), OneTo(60));
  EXPECT_EQ(BlockNumbers(ReadText(work / "two.csv")), OneTo(60));
  EXPECT_EQ(oa.out.find("recovered"), std::string::npos);
  EXPECT_EQ(ob.out.find("recovered"), std::string::npos);
  for (const auto& e : fs::directory_iterator(work))
    EXPECT_NE(e.path().filename().string().rfind("tempReport", 0), 0u) << e.path();
}

// What a crashed run left in the folder is kept under a new name, and the capture says so.
TEST_F(CaptureFaults, ACrashLeftTemporaryFileIsKeptAndReported) {
  const fs::path work = Case("leftover");
  servers_.push_back(ServePanel(work / "devices"));
  const std::string crashed =
      "Pelorin\nFrameCount, 1         \nWidth, 1\nHeight, 1\nType, Base\n"
      "\nNo , 1,          0ms, Read Error Times , 0\n7,\n\n";
  std::ofstream(work / "tempReport.csv") << crashed;
  Capture c(work, work / "devices", RawCapture(work / "next.csv", 3));
  const Outcome o = c.Finish(60s);
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(ReadText(work / "recovered_tempReport.csv"), crashed);
  EXPECT_NE(o.out.find("recovered_tempReport.csv"), std::string::npos) << o.out;
  EXPECT_EQ(BlockNumbers(ReadText(work / "next.csv")), OneTo(3));
}

// A second capture on a panel that one is reading: it is refused as "in use" (exit 1)
// and the first one's frames stay whole: every frame number once, the count it asked for.
TEST_F(CaptureFaults, ASecondCaptureOnOnePanelIsRefusedAndTheFirstStaysWhole) {
  const fs::path work = Case("two-hosts");
  auto server = ServePanel(work / "devices");
  fs::create_directories(work / "first");
  fs::create_directories(work / "second");
  // The first capture asks for more frames than it can read before it is interrupted,
  // so it holds the panel however slowly the second one starts.
  Capture first(work / "first", work / "devices", RawCapture(work / "first.csv", 1000000));
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline && server->CommandCount(0x86) < 50)
    std::this_thread::sleep_for(5ms);
  Capture second(work / "second", work / "devices", RawCapture(work / "second.csv", 300));
  const Outcome o2 = second.Finish(120s);
  first.Signal(SIGINT);
  const Outcome o1 = first.Finish(120s);
  EXPECT_EQ(o2.code, 1) << o2.err;
  EXPECT_NE(o2.err.find("open device error!"), std::string::npos) << o2.err;
  EXPECT_NE(o2.err.find("in use"), std::string::npos) << o2.err;
  EXPECT_FALSE(fs::exists(work / "second.csv"));
  ASSERT_EQ(o1.code, 128 + SIGINT) << o1.err;
  const json s = Summary(o1);
  ASSERT_FALSE(s.is_discarded());
  EXPECT_EQ(s["readFailures"], 0);
  EXPECT_GE(s["recorded"].get<int>(), 1);
  EXPECT_EQ(BlockNumbers(ReadText(work / "first.csv")), OneTo(s["recorded"].get<int>()));
}

}  // namespace
