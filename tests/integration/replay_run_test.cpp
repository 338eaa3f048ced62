// A recording replayed by panelsim and captured again through the real library and the
// viewer's acquisition: the frames come back cell for cell.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "data/acquisition/acquisition_run.h"
#include "data/acquisition/acquisition_start.h"
#include "data/source_range_table.h"
#include "panelsim/options.h"
#include "panelsim/server.h"
#include "recording_text.h"

namespace pelorin {
namespace {

using namespace recording_text;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The recording without its block headers (frame numbers and times): what must match.
std::string Cells(const std::string& text) {
  std::istringstream in(text);
  std::string out, line;
  while (std::getline(in, line)) {
    if (line.rfind("No , ", 0) == 0) continue;
    while (!line.empty() && line.back() == ' ') line.pop_back();  // FrameCount's padding
    out += line + "\n";
  }
  return out;
}

// The elapsed times of the block headers ("No , N,     Tms, ...") of a one-source recording.
std::vector<int> Times(const std::string& text) {
  std::vector<int> times;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("No , ", 0) == 0) times.push_back(std::stoi(line.substr(line.find(',', 5) + 1)));
  return times;
}

using ModelSetup = std::function<void(InstantModel&)>;

class ReplayRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-replay-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    setenv("CORLINK_VIRTUAL_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("CORLINK_VIRTUAL_DIR");
    fs::remove_all(dir_);
  }

  static panelsim::ServerConfig Panel() {
    panelsim::ServerConfig cfg;
    cfg.firmware.panel.chips = 3;
    cfg.firmware.panel.drive = 8;
    cfg.firmware.panel.sense = {6};
    cfg.firmware.panel.overlap = 2;
    return cfg;
  }

  // panelsim's own command line for a replay of `file` with `flags`.
  static panelsim::ServerConfig Replay(const std::string& file, const std::string& flags) {
    std::istringstream words("--replay " + file + " " + flags);
    const std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    panelsim::ProgramOptions o;
    std::string err;
    EXPECT_TRUE(panelsim::ParseOptions(args, &o, &err) && panelsim::PrepareReplay(&o, &err)) << err;
    return o.server;
  }

  // Serves cfg, reads `frames` frames of the source types with the viewer's acquisition
  // and returns the recording's text ("" when the run failed).
  std::string Capture(panelsim::ServerConfig cfg, const std::vector<int32_t>& types, int frames,
                      const ModelSetup& setup = {}) {
    cfg.folder = dir_.string();
    std::string err;
    auto server = panelsim::Server::Start(cfg, &err);
    EXPECT_TRUE(server) << err;
    if (!server) return {};
    std::vector<std::unique_ptr<InstantModel>> models;
    std::vector<InstantModel*> list;
    SourceRangeTable ranges;
    for (int32_t t : types) {
      models.push_back(std::make_unique<InstantModel>());
      InstantModel& m = *models.back();
      m.SetSourceType(t);
      ApplySourceType(m, t, ranges);
      m.SetDiagDelay(0);
      if (setup) setup(m);
      list.push_back(&m);
    }
    int32_t handle = 0;
    const StartOutcome start =
        PrepareAcquisition(CorlinkDeviceIo(), list, "", handle, CloseDeviceHandle);
    EXPECT_TRUE(start.ok) << StartFailureText(start);
    std::string text;
    if (start.ok) {
      AcquisitionSettings s;
      s.io = CorlinkDeviceIo();
      s.device = handle;
      s.models = list;
      s.workDir = dir_.string();
      s.dumpEnabled = true;
      s.batchMode = true;
      s.batchFrameLimit = frames;
      s.batchName = "capture" + std::to_string(++captures_);
      QuietHost host;
      AcquisitionRun run(s, host);
      run.Start();
      EXPECT_TRUE(run.WaitFinished(60s));
      EXPECT_EQ(run.Outcome().end, RunEnd::BatchLimit) << run.Outcome().cause;
      EXPECT_EQ(run.Outcome().framesRecorded, frames);
      text = ReadText(run.Outcome().recordingPath);
      last_ = run.Outcome().recordingPath;
    }
    CloseDeviceHandle(handle);
    server->Stop();
    return text;
  }

  fs::path dir_;
  std::string last_;  // the path of the last capture's recording
  int captures_ = 0;
};

const std::vector<int32_t> kEveryType = {kSourceLoop,    kSourceCycle,   kSourceBase,
                                         kSourceRawData, kSourceRawDiff, kSourceDiff};

TEST_F(ReplayRun, EverySourceTypeComesBackCellForCell) {
  // A three-chip cascade with every way the host lays chips out, then the carriers that
  // reach the master only (one chip) with reads refused and retried: a recording is not
  // tied to the family it came from, and faults still apply.
  struct Case {
    int chips;
    bool reverse, turnOver;
    const char* flags;
  };
  const Case cases[] = {
      {3, false, false, ""},
      {3, true, false, "--replay-reverse"},
      {3, false, true, "--replay-turn-over"},
      {3, true, true, "--replay-reverse --replay-turn-over"},
      {1, false, false, "--type DEV_Z3_HID_OVER_I2C --fault nack:cmd=0x86,count=2"},
      {1, false, false, "--type DEV_Z3_USB_BRG --fault nack:cmd=0x86,count=2"},
      {1, false, false, "--type DEV_Z2_USB_BRG --fault nack:cmd=0x86,count=2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    const ModelSetup setup = [&](InstantModel& m) {
      m.SetReverse(c.reverse);
      m.SetTurnOver(c.turnOver);
    };
    panelsim::ServerConfig panel = Panel();
    panel.firmware.panel.chips = c.chips;
    const std::string first = Capture(panel, kEveryType, 4, setup);
    ASSERT_NE(first.find("Type, Loop,Cycle,Base,RawData,RawDiff,Diff\n"), std::string::npos);
    const std::string flags =
        "--replay-pace fast --chips " + std::to_string(c.chips) + " " + c.flags;
    const std::string again = Capture(Replay(last_, flags), kEveryType, 4, setup);
    EXPECT_EQ(Cells(again), Cells(first));
    EXPECT_EQ(BlockNumbers(again), BlockNumbers(first));
  }
}

TEST_F(ReplayRun, MaskedCellsAndHiddenLinesReplayAsRecorded) {
  // Hidden lines are not in the file: its lines are the panel. Masked cells read 0, so a
  // host masking the same cells records "N/A" there again; one that does not sees 0.
  const ModelSetup mask = [](InstantModel& m) {
    m.SetMaskOn(true);
    m.SetMaskPoints("1,1;2,4");
  };
  const ModelSetup hideAndMask = [&](InstantModel& m) {
    mask(m);
    m.SetHideOn(true);
    m.SetHideDriveList("2");
    m.SetHideChip("ALL");
    m.SetHideSenseList("3,8");
  };
  const std::vector<int32_t> types = {kSourceBase, kSourceRawData};
  const std::string first = Capture(Panel(), types, 3, hideAndMask);
  ASSERT_NE(first.find("Width, 7,7\nHeight, 16,16\n"), std::string::npos) << first.substr(0, 60);
  ASSERT_NE(first.find("N/A"), std::string::npos);
  const std::string file = last_;

  EXPECT_EQ(Cells(Capture(Replay(file, "--replay-pace fast"), types, 3, mask)), Cells(first));

  const std::string unmasked = Capture(Replay(file, "--replay-pace fast"), types, 3);
  EXPECT_EQ(Cells(unmasked), std::regex_replace(Cells(first), std::regex("N/A"), "0"));
}

TEST_F(ReplayRun, RecordedPaceKeepsTheRecordedIntervals) {
  // Frames recorded 150 ms apart are never served sooner. Tolerance: 25 ms below the
  // recorded interval, for the host's millisecond ticks and its poll; nothing bounds how
  // late a frame may come (a slow machine only makes the run longer).
  constexpr int kInterval = 150;
  constexpr int kTolerance = 25;
  std::ostringstream text;
  text << "Pelorin\nFrameCount, 5\nWidth, 2\nHeight, 3\nType, Base\n";
  for (int f = 0; f < 5; ++f) {
    text << "\nNo , " << f + 1 << ", " << f * kInterval << "ms, Read Error Times , 0\n";
    for (int x = 0; x < 2; ++x) text << f << "," << x << "," << 10 + f << ",\n";
  }
  text << "\n";
  const fs::path file = dir_ / "paced.csv";
  std::ofstream(file) << text.str();

  const std::string again = Capture(Replay(file.string(), "--pace recorded"), {kSourceBase}, 5);
  EXPECT_EQ(Cells(again), Cells(text.str()));  // every frame once, in order
  const std::vector<int> times = Times(again);
  ASSERT_EQ(times.size(), 5u);
  for (size_t i = 1; i < times.size(); ++i)
    EXPECT_GE(times[i] - times[i - 1], kInterval - kTolerance) << "frame " << i + 1;
}

}  // namespace
}  // namespace pelorin
