// The real pelorin program in batch mode against panelsim: it records the frames asked
// for into a file of the batch name and ends by itself. Run on a display (Xvfb).
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_wait.h"
#include "recording_text.h"
#include "fault_kinds.h"
#include "panelsim/faults.h"
#include "panelsim/served_panel.h"

#ifndef PELORIN_PROGRAM
#error PELORIN_PROGRAM must name the program under test
#endif
#ifndef PELORIN_DEFAULT_SETTINGS
#error PELORIN_DEFAULT_SETTINGS must name the default settings file
#endif

namespace {

using namespace recording_text;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class PelorinBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    panel_ = std::make_unique<panelsim::ServedPanel>(dir_);
    panelsim::ServerConfig cfg;
    cfg.firmware.panel.chips = 3;
    cfg.firmware.panel.drive = 10;
    cfg.firmware.panel.sense = {8};
    std::string err;
    ASSERT_TRUE(panel_->Start(cfg, &err)) << err;
    settings_ = ReadFile(PELORIN_DEFAULT_SETTINGS);
    // No pause between frames: the test is about what is recorded, not the pace.
    Set("DELAY_BEFORE_ENABLE_DIGNOSIS=10", "DELAY_BEFORE_ENABLE_DIGNOSIS=0");
  }
  void TearDown() override {
    panel_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  void Set(const std::string& from, const std::string& to) {
    const size_t at = settings_.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    settings_.replace(at, from.size(), to);
  }

  // Starts pelorin with `args` in `folder` (the scratch folder when empty), with the
  // devices of `devices` (the test's panel when empty).
  pid_t Launch(const std::vector<std::string>& args, const std::string& folder = {},
               const std::string& devices = {}) {
    const std::string where = folder.empty() ? dir_ : folder;
    std::ofstream(fs::path(where) / "PLsetting.ini") << settings_;
    const pid_t child = fork();
    if (child == 0) {
      if (chdir(where.c_str()) != 0) _exit(126);
      for (const auto& [name, value] : env_) setenv(name.c_str(), value.c_str(), 1);
      if (!devices.empty()) setenv("CORLINK_VIRTUAL_DIR", devices.c_str(), 1);
      if (!errFile_.empty() && std::freopen(errFile_.c_str(), "w", stderr) == nullptr) _exit(125);
      if (!outFile_.empty() && std::freopen(outFile_.c_str(), "w", stdout) == nullptr) _exit(125);
      std::vector<char*> argv{const_cast<char*>(PELORIN_PROGRAM)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(PELORIN_PROGRAM, argv.data());
      _exit(127);
    }
    return child;
  }

  static int Wait(pid_t child, std::chrono::seconds bound = 60s) {
    return WaitForChild(child, bound);
  }

  // Runs pelorin with `args` in the scratch folder; its exit status, or -1 when it had
  // not ended after a minute (it is then killed).
  int Run(const std::vector<std::string>& args) { return Wait(Launch(args)); }

  // The recordings in the folder (every .csv but the temporary file and the panel noise
  // reports of Diff runs).
  std::vector<fs::path> Recordings() const {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(dir_)) {
      const std::string name = e.path().filename().string();
      const bool noise = std::regex_search(name, std::regex("-noise\\.csv$"));
      const bool temporary = name.rfind("tempReport", 0) == 0;
      if (e.path().extension() == ".csv" && !temporary && !noise) found.push_back(e.path());
    }
    return found;
  }

  std::string dir_;
  std::vector<std::pair<std::string, std::string>> env_;  // set in the program only
  std::string errFile_;                                   // where its standard error goes, when set
  std::string outFile_;  // where its standard output goes, when set
  std::unique_ptr<panelsim::ServedPanel> panel_;
  std::string settings_;
};

struct Block {
  int number;
  int elapsedMs;
};

std::vector<Block> Blocks(const std::string& text) {
  std::vector<Block> blocks;
  static const std::regex header(R"(^No , (\d+), +(\d+)ms, Read Error Times , (\d+)$)");
  std::istringstream in(text);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_match(line, m, header)) blocks.push_back({std::stoi(m[1]), std::stoi(m[2])});
  }
  return blocks;
}

TEST_F(PelorinBatch, RecordsTheFramesAskedForAndExits) {
  ASSERT_EQ(Run({"2", "100", "test"}), 0);
  const std::vector<fs::path> files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(
      std::regex_match(files[0].filename().string(), std::regex(R"(test - Base\d{14}\.csv)")))
      << files[0];
  const std::string text = ReadFile(files[0]);
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, 100       \nWidth, 10\nHeight, ", 0), 0u)
      << text.substr(0, 60);
  EXPECT_NE(text.find("\nType, Base\n"), std::string::npos);
  const std::vector<Block> blocks = Blocks(text);
  ASSERT_EQ(blocks.size(), 100u);
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].number, static_cast<int>(i) + 1);
    if (i > 0) {
      EXPECT_GE(blocks[i].elapsedMs, blocks[i - 1].elapsedMs);
    }
  }
  EXPECT_EQ(blocks[0].elapsedMs, 0);
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_NE(e.path().filename().string().rfind("tempReport", 0), 0u) << e.path();
}

TEST_F(PelorinBatch, DiffWithoutALimitStopsAfterTheFirstFrame) {
  ASSERT_EQ(Run({"5"}), 0);
  const std::vector<fs::path> files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  const std::string text = ReadFile(files[0]);
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, 1         \n", 0), 0u) << text.substr(0, 40);
  EXPECT_NE(text.find("\nType, Diff\n"), std::string::npos);
  EXPECT_EQ(Blocks(text).size(), 1u);
  // A Diff recording has its panel noise report beside it.
  fs::path noise = files[0];
  noise.replace_filename(files[0].stem().string() + "-noise.csv");
  EXPECT_EQ(ReadFile(noise).rfind("x,y,noise_pp,noise_rms,signal,snr_db\n", 0), 0u) << noise;
}

TEST_F(PelorinBatch, EveryThirdFrameWithTheDumpInterval) {
  Set("DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1", "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=3");
  ASSERT_EQ(Run({"3", "10", "third"}), 0);
  const std::vector<fs::path> files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  const std::string text = ReadFile(files[0]);
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, 4         \n", 0), 0u) << text.substr(0, 40);
  std::vector<int> numbers;
  for (const Block& b : Blocks(text)) numbers.push_back(b.number);
  EXPECT_EQ(numbers, (std::vector<int>{1, 4, 7, 10}));
}

// The X server refuses every GL context: the program says so once, on standard error,
// and still starts, records, stops and closes, only without a map.
TEST_F(PelorinBatch, WithoutAGlContextItStillRecordsAndCloses) {
  env_ = {{"PELORIN_GL_FAULT", "refuse"}};
  errFile_ = dir_ + "/stderr.txt";
  ASSERT_EQ(Run({"3", "5", "nogl"}), 0);
  const std::string err = ReadFile(errFile_);
  EXPECT_NE(err.find("OpenGL is not available: the X server refused the GL context ("),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("OpenGL is not available", err.find("OpenGL is not available") + 1),
            std::string::npos)
      << "said more than once:\n"
      << err;
  const std::vector<fs::path> files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  const std::string text = ReadFile(files[0]);
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, 5         \n", 0), 0u) << text.substr(0, 40);
  EXPECT_EQ(Blocks(text).size(), 5u);
}

// The frame numbers of a recording's blocks.
std::vector<int> Numbers(const std::string& text) {
  std::vector<int> n;
  for (const Block& b : Blocks(text)) n.push_back(b.number);
  return n;
}

// A batch run that cannot start ends the program at once: exit status 1 and a line on
// standard error that names the cause; no recording appears.
TEST_F(PelorinBatch, WithoutADeviceTheBatchRunEndsWithAnError) {
  panel_->Stop();
  errFile_ = dir_ + "/stderr.txt";
  EXPECT_EQ(Run({"2", "100", "none"}), 1);
  EXPECT_NE(ReadFile(errFile_).find("pelorin: open device error!"), std::string::npos)
      << ReadFile(errFile_);
  EXPECT_TRUE(Recordings().empty());
}

// Every fault kind of the emulator, once and for good, on the raw-data reads of a batch
// run: each ends within the bound, with exit status 0 only when every frame was read and
// recorded, and otherwise 1 and the cause on standard error; the recording is finished
// with the frames read. All rows run at the same time, each with its own panel.
TEST_F(PelorinBatch, EveryFaultKindEndsInTimeWithItsExitStatusAndCause) {
  struct Row {
    std::string name;
    faults::Expect expect;
    fs::path work;
    std::unique_ptr<panelsim::Server> server;
    pid_t pid = -1;
  };
  std::vector<Row> rows;
  for (const faults::Kind& k : faults::Kinds()) {
    for (bool always : {false, true}) {
      Row r;
      r.name = std::string(k.name) + (always ? " always" : " once");
      r.expect = always ? k.always : k.once;
      r.work = fs::path(dir_) / (std::string(k.name) + (always ? "-always" : "-once"));
      fs::create_directories(r.work / "devices");
      panelsim::ServerConfig cfg;
      cfg.firmware.panel.chips = 3;
      cfg.firmware.panel.drive = 8;
      cfg.firmware.panel.sense = {6};
      cfg.folder = (r.work / "devices").string();
      std::string error;
      auto fault = panelsim::ParseFault(faults::FaultArgument(k, always), &error);
      ASSERT_TRUE(fault) << error;
      cfg.faults.push_back(*fault);
      r.server = panelsim::Server::Start(cfg, &error);
      ASSERT_TRUE(r.server) << error;
      errFile_ = (r.work / "stderr.txt").string();
      r.pid = Launch({"3", std::to_string(faults::kFrames), "run"}, r.work.string(),
                     (r.work / "devices").string());
      rows.push_back(std::move(r));
    }
  }
  errFile_.clear();
  for (Row& r : rows) {
    SCOPED_TRACE(r.name);
    const int code = Wait(r.pid, std::chrono::seconds(faults::kBoundSeconds));
    const std::string err = ReadFile(r.work / "stderr.txt");
    ASSERT_NE(code, -1) << "still running after " << faults::kBoundSeconds << " s\n" << err;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(r.work))
      if (e.path().filename().string().rfind("run - RawData", 0) == 0 &&
          e.path().extension() == ".csv")
        files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u) << err;
    const std::vector<int> numbers = Numbers(ReadFile(files[0]));
    EXPECT_EQ(numbers, OneTo(static_cast<int>(numbers.size())));
    if (r.expect == faults::Expect::Complete) {
      EXPECT_EQ(code, 0) << err;
      EXPECT_EQ(numbers.size(), static_cast<size_t>(faults::kFrames));
    } else {
      EXPECT_EQ(code, 1) << err;
      EXPECT_LT(numbers.size(), static_cast<size_t>(faults::kFrames));
      EXPECT_NE(err.find(std::string("pelorin: ") + faults::CauseText(r.expect)), std::string::npos)
          << err;
    }
  }
}

// SIGTERM (and Ctrl-C) stop the program as Stop and close do: the recording is finished
// with the frames read so far, and the exit status says which signal ended it.
TEST_F(PelorinBatch, ASignalStopsTheRunAndFinishesTheRecording) {
  for (int signo : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(strsignal(signo));
    const fs::path work = fs::path(dir_) / ("signal-" + std::to_string(signo));
    fs::create_directories(work);
    errFile_ = (work / "stderr.txt").string();
    const pid_t pid = Launch({"3", "1000000", "long"}, work.string());
    // Once a few frames are in its temporary file.
    WaitForTemporaryFrames(work, 5, 60s);
    kill(pid, signo);
    EXPECT_EQ(Wait(pid), 128 + signo) << ReadFile(errFile_);
    EXPECT_NE(ReadFile(errFile_).find("pelorin: interrupted;"), std::string::npos)
        << ReadFile(errFile_);
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(work)) {
      const std::string name = e.path().filename().string();
      EXPECT_NE(name.rfind("tempReport", 0), 0u) << name;
      if (name.rfind("long - RawData", 0) == 0 && e.path().extension() == ".csv")
        files.push_back(e.path());
    }
    ASSERT_EQ(files.size(), 1u);
    const std::vector<int> numbers = Numbers(ReadFile(files[0]));
    EXPECT_GE(numbers.size(), 5u);
    EXPECT_EQ(numbers, OneTo(static_cast<int>(numbers.size())));
  }
  errFile_.clear();
}

// The disk fills up part-way: the run stops at once, the program exits 1 naming the
// cause, and the recording keeps every complete frame written before.
TEST_F(PelorinBatch, AFullDiskEndsTheRunWithAnErrorAndKeepsTheFramesWritten) {
  const fs::path disk = fs::path(dir_) / "disk";
  fs::create_directories(disk);
  env_ = {{"LD_PRELOAD", PELORIN_ENOSPC_PRELOAD},
          {"PELORIN_ENOSPC_MATCH", disk.string() + "/"},
          {"PELORIN_ENOSPC_AFTER", "9000"},
          {"ASAN_OPTIONS", "verify_asan_link_order=0"}};
  errFile_ = dir_ + "/stderr.txt";
  EXPECT_EQ(Wait(Launch({"3", "1000", "full"}, disk.string())), 1);
  const std::string err = ReadFile(errFile_);
  EXPECT_NE(err.find("No space left on device"), std::string::npos) << err;
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(disk)) {
    const std::string name = e.path().filename().string();
    EXPECT_NE(name.rfind("tempReport", 0), 0u) << name;
    if (name.rfind("full - RawData", 0) == 0 && e.path().extension() == ".csv")
      files.push_back(e.path());
  }
  ASSERT_EQ(files.size(), 1u) << err;
  const std::vector<int> numbers = Numbers(ReadFile(files[0]));
  EXPECT_GT(numbers.size(), 0u);
  EXPECT_LT(numbers.size(), 1000u);
  EXPECT_EQ(numbers, OneTo(static_cast<int>(numbers.size())));
}

// A pause before each frame that would never end is cut to its bound, and standard
// output names the setting; the run completes.
TEST_F(PelorinBatch, AnEndlessDelaySettingIsClampedAndNamed) {
  Set("DELAY_BEFORE_ENABLE_DIGNOSIS=0", "DELAY_BEFORE_ENABLE_DIGNOSIS=2147483647");
  outFile_ = dir_ + "/stdout.txt";
  EXPECT_EQ(Run({"3", "3", "slow"}), 0);
  EXPECT_NE(ReadFile(outFile_).find("DELAY_BEFORE_ENABLE_DIGNOSIS=2147483647"), std::string::npos)
      << ReadFile(outFile_);
  const std::vector<fs::path> files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(Numbers(ReadFile(files[0])), OneTo(3));
}

}  // namespace
