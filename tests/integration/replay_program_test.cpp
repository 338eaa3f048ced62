// The programs around a replay: pelorin-capture records from panelsim, `panelsim --replay`
// serves that recording, and pelorin-capture or the viewer's batch mode records it again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_wait.h"
#include "recording_text.h"

#ifndef PANELSIM_PROGRAM
#error PANELSIM_PROGRAM must name the emulator
#endif
#ifndef PELORIN_CAPTURE_PROGRAM
#error PELORIN_CAPTURE_PROGRAM must name pelorin-capture
#endif

namespace {

using namespace recording_text;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The cell rows of each block, in file order.
std::vector<std::string> Blocks(const std::string& text) {
  std::vector<std::string> blocks;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("No , ", 0) == 0)
      blocks.emplace_back();
    else if (!blocks.empty() && !line.empty())
      blocks.back() += line + "\n";
  }
  return blocks;
}

class ReplayPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-replay-prog-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    devices_ = dir_ / "devices";
    fs::create_directories(devices_);
  }
  void TearDown() override {
    StopPanel();
    fs::remove_all(dir_);
  }

  // Starts a program in the scratch folder with the test's device folder; its standard
  // output and error go to `log` there.
  pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
              const std::string& log) {
    const std::string logPath = (dir_ / log).string();
    const std::string devices = devices_.string();
    const pid_t child = fork();
    if (child == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(126);
      setenv("CORLINK_VIRTUAL_DIR", devices.c_str(), 1);
      const int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (out < 0) _exit(125);
      dup2(out, 1);
      dup2(out, 2);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    return child;
  }

  static int Wait(pid_t child, std::chrono::seconds bound = 60s) {
    return WaitForChild(child, bound);
  }

  // Starts panelsim and waits (at most 10 s) for its socket.
  void StartPanel(std::vector<std::string> args) {
    StopPanel();
    args.insert(args.end(), {"--folder", devices_.string(), "-q"});
    panel_ = Spawn(PANELSIM_PROGRAM, args, "panelsim.log");
    const fs::path socket = devices_ / "panelsim-z3usb.sock";
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!fs::exists(socket) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(socket)) << ReadText(dir_ / "panelsim.log");
  }
  void StopPanel() {
    if (panel_ <= 0) return;
    kill(panel_, SIGTERM);
    EXPECT_EQ(Wait(panel_, 10s), 0);
    panel_ = 0;
  }

  // pelorin-capture of `frames` frames of `source` into `out`; its exit status.
  int Capture(const std::string& source, int frames, const std::string& out) {
    return Wait(Spawn(PELORIN_CAPTURE_PROGRAM,
                      {"--source", source, "--frames", std::to_string(frames), "--out", out,
                       "--quiet", "--delay", "0"},
                      "capture.log"));
  }

  fs::path dir_, devices_;
  pid_t panel_ = 0;
};

TEST_F(ReplayPrograms, ABadRecordingStopsPanelsimBeforeItServes) {
  std::ofstream(dir_ / "bad.csv") << "Pelorin\nFrameCount, 1\nWidth, 1\nHeight, 2\nType, Base\n\n"
                                     "No , 1,          0ms, Read Error Times , 0\n7,999,\n\n";
  const int status =
      Wait(Spawn(PANELSIM_PROGRAM, {"--replay", "bad.csv", "--folder", devices_.string(), "-q"},
                 "panelsim.log"));
  const std::string log = ReadText(dir_ / "panelsim.log");
  EXPECT_EQ(status, 2) << log;
  EXPECT_NE(log.find("panelsim: bad.csv: line 8: cell value 999"), std::string::npos) << log;
  EXPECT_TRUE(fs::is_empty(devices_));
}

TEST_F(ReplayPrograms, ACaptureReplayedAndLoopedComesBackFrameForFrame) {
  StartPanel({"--chips", "2", "--drive", "4", "--sense", "5"});
  ASSERT_EQ(Capture("base", 3, "three.csv"), 0) << ReadText(dir_ / "capture.log");
  StartPanel({"--replay", "three.csv", "--chips", "2", "--replay-pace", "fast", "--loop"});
  ASSERT_EQ(Capture("base", 7, "seven.csv"), 0) << ReadText(dir_ / "capture.log");
  // Frames 4 to 6 are frames 1 to 3 again.
  const auto three = Blocks(ReadText(dir_ / "three.csv"));
  const auto seven = Blocks(ReadText(dir_ / "seven.csv"));
  ASSERT_EQ(three.size(), 3u);
  ASSERT_EQ(seven.size(), 7u);
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(seven[i], three[i % 3]) << "frame " << i + 1;
}

#ifdef PELORIN_PROGRAM
// The viewer's batch mode on a replayed recording records the recording again. Needs a
// display (run through run_gui_test.sh).
TEST_F(ReplayPrograms, TheViewersBatchModeReproducesAReplayedRecording) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display";
  StartPanel({"--chips", "3", "--drive", "10", "--sense", "8"});
  ASSERT_EQ(Capture("base", 6, "base.csv"), 0) << ReadText(dir_ / "capture.log");
  StartPanel({"--replay", "base.csv", "--chips", "3", "--replay-pace", "fast"});
  std::ofstream(dir_ / "PLsetting.ini") << ReadText(PELORIN_DEFAULT_SETTINGS);
  // `pelorin 2 N name`: N Base frames into "name - Base<time stamp>.csv".
  ASSERT_EQ(Wait(Spawn(PELORIN_PROGRAM, {"2", "6", "viewer"}, "viewer.log")), 0)
      << ReadText(dir_ / "viewer.log");
  fs::path recorded;
  for (const auto& e : fs::directory_iterator(dir_))
    if (std::regex_match(e.path().filename().string(), std::regex(R"(viewer - Base\d{14}\.csv)")))
      recorded = e.path();
  ASSERT_FALSE(recorded.empty());
  EXPECT_EQ(Blocks(ReadText(recorded)), Blocks(ReadText(dir_ / "base.csv")));
}
#endif

}  // namespace
