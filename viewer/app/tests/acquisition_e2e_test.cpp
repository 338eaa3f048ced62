// The real pelorin program in batch mode against panelsim: it records the frames asked
// for into a file of the batch name and ends by itself. Run on a display (Xvfb).
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "panelsim/served_panel.h"

#ifndef PELORIN_PROGRAM
#error PELORIN_PROGRAM must name the program under test
#endif
#ifndef PELORIN_DEFAULT_SETTINGS
#error PELORIN_DEFAULT_SETTINGS must name the default settings file
#endif

namespace {

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

  // Runs pelorin with `args` in the scratch folder; its exit status, or -1 when it had
  // not ended after a minute (it is then killed).
  int Run(const std::vector<std::string>& args) {
    std::ofstream(fs::path(dir_) / "PLsetting.ini") << settings_;
    const pid_t child = fork();
    if (child == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(126);
      for (const auto& [name, value] : env_) setenv(name.c_str(), value.c_str(), 1);
      if (!errFile_.empty()) {
        FILE* err = std::freopen(errFile_.c_str(), "w", stderr);
        if (err == nullptr) _exit(125);
      }
      std::vector<char*> argv{const_cast<char*>(PELORIN_PROGRAM)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(PELORIN_PROGRAM, argv.data());
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
      std::this_thread::sleep_for(20ms);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return -1;
  }

  // The recordings in the folder (every .csv but the temporary file and the panel noise
  // reports of Diff runs).
  std::vector<fs::path> Recordings() const {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(dir_)) {
      const std::string name = e.path().filename().string();
      const bool noise = std::regex_search(name, std::regex("-noise\\.csv$"));
      if (e.path().extension() == ".csv" && name != "tempReport.csv" && !noise) found.push_back(e.path());
    }
    return found;
  }

  std::string dir_;
  std::vector<std::pair<std::string, std::string>> env_;  // set in the program only
  std::string errFile_;  // where its standard error goes, when set
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
  EXPECT_TRUE(std::regex_match(files[0].filename().string(), std::regex(R"(test - Base\d{14}\.csv)")))
      << files[0];
  const std::string text = ReadFile(files[0]);
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, 100\nWidth, 10\nHeight, ", 0), 0u) << text.substr(0, 60);
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
  EXPECT_FALSE(fs::exists(fs::path(dir_) / "tempReport.csv"));
}

TEST_F(PelorinBatch, DiffWithoutALimitStopsAfterTheFirstFrame) {
  ASSERT_EQ(Run({"5"}), 0);
  const std::vector<fs::path> files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  const std::string text = ReadFile(files[0]);
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, 1\n", 0), 0u) << text.substr(0, 40);
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
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, 4\n", 0), 0u) << text.substr(0, 40);
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
      << "said more than once:\n" << err;
  const std::vector<fs::path> files = Recordings();
  ASSERT_EQ(files.size(), 1u);
  const std::string text = ReadFile(files[0]);
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, 5\n", 0), 0u) << text.substr(0, 40);
  EXPECT_EQ(Blocks(text).size(), 5u);
}

}  // namespace
