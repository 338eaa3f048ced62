// The acquisition worker and the device side of Start against panelsim, through the real
// library: batch runs with recording, a firmware that never gets ready, a recording whose
// file stops taking data, and the window thread reading while the worker writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <corlink.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "recording_text.h"
#include "data/acquisition/acquisition_run.h"
#include "data/acquisition/acquisition_start.h"
#include "data/frame_model.h"
#include "data/recording/mat_writer.h"
#include "data/recording/recording_reader.h"
#include "data/recording/recording_set.h"
#include "data/recording/recording_writer.h"
#include "data/snr/snr_evaluation.h"
#include "data/source_range_table.h"
#include "data/status_text.h"
#include "disk_fault.h"
#include "panelsim/server.h"

namespace pelorin {
namespace {

using namespace recording_text;

using namespace std::chrono_literals;

// Records what the worker reports, as the window would receive it.
class RecordingHost : public AcquisitionHost {
 public:
  void SourceNames(std::vector<std::string> n) override {
    std::lock_guard lock(mutex_);
    names = std::move(n);
  }
  void Status(int32_t code, std::string argument) override {
    std::lock_guard lock(mutex_);
    statuses.push_back(StatusMessageText(code, argument));
    cv_.notify_all();
  }
  void StatusText(std::string text) override {
    std::lock_guard lock(mutex_);
    statuses.push_back(std::move(text));
    cv_.notify_all();
  }
  void Frame(const FrameReport& r) override {
    std::lock_guard lock(mutex_);
    frames.push_back(r);
    cv_.notify_all();
  }
  void MoveRangeSliders(SliderPositions p) override {
    std::lock_guard lock(mutex_);
    sliders.push_back(p);
  }
  void BatchLimitReached() override {
    std::lock_guard lock(mutex_);
    ++batchEnds;
  }
  void RunStopped(RunEnd end, std::string) override {
    std::lock_guard lock(mutex_);
    stops.push_back(end);
  }
  void RunEnded() override {
    std::lock_guard lock(mutex_);
    ++runEnds;
  }
  // Waits (at most 20 s) until `done` holds under the lock.
  template <typename F>
  bool WaitFor(F done) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, 20s, [&] { return done(*this); });
  }
  template <typename F>
  void Inspect(F f) {
    std::lock_guard lock(mutex_);
    f(*this);
  }
  template <typename F>
  auto Read(F f) {
    std::lock_guard lock(mutex_);
    return f(*this);
  }

  std::vector<std::string> names;
  std::vector<std::string> statuses;
  std::vector<FrameReport> frames;
  std::vector<SliderPositions> sliders;
  std::vector<RunEnd> stops;
  int batchEnds = 0;
  int runEnds = 0;

  void Reset() {
    std::lock_guard lock(mutex_);
    names.clear();
    statuses.clear();
    frames.clear();
    sliders.clear();
    stops.clear();
    batchEnds = runEnds = 0;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
};

class AcquisitionPanelsim : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-acq-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    setenv("CORLINK_VIRTUAL_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    run_.reset();
    models_.clear();
    CloseDeviceHandle(handle_);
    handle_ = 0;
    if (server_) server_->Stop();
    server_.reset();
    unsetenv("CORLINK_VIRTUAL_DIR");
    std::filesystem::remove_all(dir_);
  }

  bool Serve(bool masterSenses = true, std::vector<panelsim::Fault> faults = {}) {
    panelsim::ServerConfig cfg;
    cfg.firmware.panel.chips = 3;
    cfg.firmware.panel.drive = 8;
    cfg.firmware.panel.sense = {6};
    cfg.firmware.panel.master_senses = masterSenses;
    cfg.folder = dir_;
    cfg.faults = std::move(faults);
    std::string err;
    server_ = panelsim::Server::Start(cfg, &err);
    EXPECT_TRUE(server_) << err;
    return server_ != nullptr;
  }

  InstantModel& AddModel(int32_t type) {
    models_.push_back(std::make_unique<InstantModel>());
    InstantModel& m = *models_.back();
    m.SetSourceType(type);
    ApplySourceType(m, type, ranges_);
    m.SetDiagDelay(0);
    return m;
  }

  std::vector<InstantModel*> Models() {
    std::vector<InstantModel*> out;
    for (auto& m : models_) out.push_back(m.get());
    return out;
  }

  StartOutcome Prepare(const std::string& order = "") {
    return PrepareAcquisition(CorlinkDeviceIo(), Models(), order, handle_, CloseDeviceHandle);
  }

  AcquisitionSettings Settings() {
    AcquisitionSettings s;
    s.io = CorlinkDeviceIo();
    s.device = handle_;
    s.models = Models();
    s.workDir = dir_;
    return s;
  }

  std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  // Files of the folder whose names begin with `prefix`.
  std::vector<std::filesystem::path> Named(const std::string& prefix) {
    std::vector<std::filesystem::path> found;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      if (e.path().filename().string().rfind(prefix, 0) == 0) found.push_back(e.path());
    return found;
  }

  std::filesystem::path OnlyRecording() {
    std::vector<std::filesystem::path> found;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      const std::string name = e.path().filename().string();
      const bool noiseReport =
          name.size() > 10 && name.compare(name.size() - 10, 10, "-noise.csv") == 0;
      if (e.path().extension() == ".csv" && name.rfind(kTempPrefix, 0) != 0 && !noiseReport)
        found.push_back(e.path());
    }
    EXPECT_EQ(found.size(), 1u);
    return found.empty() ? std::filesystem::path() : found[0];
  }

  std::string dir_;
  std::unique_ptr<panelsim::Server> server_;
  SourceRangeTable ranges_;
  std::vector<std::unique_ptr<InstantModel>> models_;
  int32_t handle_ = 0;
  RecordingHost host_;
  std::unique_ptr<AcquisitionRun> run_;
};

TEST_F(AcquisitionPanelsim, BatchRunRecordsEveryThirdFrameAndStopsItself) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceBase);
  ASSERT_TRUE(Prepare().ok);
  AcquisitionSettings s = Settings();
  s.dumpEnabled = true;
  s.dumpInterval = 3;
  s.batchMode = true;
  s.batchFrameLimit = 7;
  s.batchName = "test - Base";
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(30s));
  EXPECT_FALSE(run_->Running());
  EXPECT_EQ(models_[0]->GetFrameCounter(), 7);
  host_.Inspect([](RecordingHost& h) {
    EXPECT_EQ(h.batchEnds, 1);
    EXPECT_EQ(h.runEnds, 1);
    EXPECT_EQ(h.names, (std::vector<std::string>{"Base"}));
    ASSERT_EQ(h.frames.size(), 7u);
    EXPECT_EQ(h.frames.back().frameCount, 7);
    EXPECT_GT(h.frames.back().standardDeviation, 0.0f);
  });
  const std::filesystem::path file = OnlyRecording();
  EXPECT_EQ(file.filename().string().rfind("test - Base", 0), 0u) << file;
  const std::string text = ReadFile(file);
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, 3         \nWidth, 8\nHeight, 18\nType, Base\n", 0),
            0u)
      << text.substr(0, 80);
  EXPECT_EQ(BlockNumbers(text), (std::vector<int>{1, 4, 7}));
  EXPECT_TRUE(Named(kTempPrefix).empty());
  EXPECT_EQ(run_->Outcome().end, RunEnd::BatchLimit);
}

TEST_F(AcquisitionPanelsim, TwoSourcesAreRecordedSideBySide) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceDiff);
  AddModel(kSourceRawData);
  ASSERT_TRUE(Prepare().ok);
  AcquisitionSettings s = Settings();
  s.dumpEnabled = true;
  s.batchMode = true;
  s.batchFrameLimit = 3;
  s.pins = SnrPins{2, 0, 0, 0, 0};
  s.edges = std::make_shared<EdgeTrackers>(models_[0]->Width(), models_[0]->Height());
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(30s));
  const std::string text = ReadFile(OnlyRecording());
  EXPECT_NE(text.find("Type, Diff,RawData\n"), std::string::npos);
  EXPECT_EQ(BlockNumbers(text), (std::vector<int>{1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(OnlyRecording().filename().string().rfind("Pelorin_Diff", 0), 0u);
  // Frame 1 went to the untouched maxima, frames 2 and 3 to the touched ones.
  EXPECT_EQ(s.edges->Untouched().x1Track.size(), static_cast<size_t>(models_[0]->Height()));
}

TEST_F(AcquisitionPanelsim, DiffRunWritesItsPanelNoiseNextToTheRecording) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceDiff);
  ASSERT_TRUE(Prepare().ok);
  AcquisitionSettings s = Settings();
  s.dumpEnabled = true;
  s.batchMode = true;
  s.batchFrameLimit = 30;
  s.batchName = "edge run";
  s.pins = SnrPins{11, 0, 0, 0, 0};
  s.edges = std::make_shared<EdgeTrackers>(models_[0]->Width(), models_[0]->Height());
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(30s));

  const std::filesystem::path recording = OnlyRecording();
  const std::filesystem::path noise =
      recording.parent_path() / PanelNoiseFileName(recording.filename().string());
  ASSERT_TRUE(std::filesystem::exists(noise)) << noise;
  std::istringstream lines(ReadFile(noise));
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "x,y,noise_pp,noise_rms,signal,snr_db");
  int rows = 0;
  while (std::getline(lines, line)) ++rows;
  EXPECT_EQ(rows, models_[0]->Width() * models_[0]->Height());

  // Frames 1 to 10 are the untouched phase, 11 to 30 the touched one.
  const PanelNoiseReport report = s.edges->PanelNoise();
  EXPECT_EQ(report.untouchedFrames, 10);
  EXPECT_EQ(report.touchedFrames, 20);
  EXPECT_GT(report.noisePp.count, 0);
  const SnrResults snr = EvaluateSnr(s.edges->Untouched(), s.edges->Touched(), s.pins);
  for (const SnrLineResult& r : snr) EXPECT_TRUE(r.inFrame);
}

// Faults that would make the frame cycle wait for ever: the run stops itself as Stop
// does, tells the host why, and the recording keeps the frames read before.
TEST_F(AcquisitionPanelsim, TheRunStopsItselfWhenItCannotGoOn) {
  struct Case {
    const char* name;
    std::vector<panelsim::Fault> faults;
    RunEnd end;
    const char* status;
  };
  const std::vector<Case> cases = {
      {"never ready",
       {panelsim::Fault{panelsim::FaultKind::NeverReady, -1, 0, -1}},
       RunEnd::FirmwareNotReady,
       "FW is not ready"},
      {"unplugged",
       {panelsim::Fault{panelsim::FaultKind::Unplug, 0x86, 40, 1}},
       RunEnd::DeviceLost,
       "the device is gone"},
      {"reads refused",
       {panelsim::Fault{panelsim::FaultKind::Nack, 0x86, 40, -1}},
       RunEnd::ReadFailed,
       "read chip data fail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    host_.Reset();
    ASSERT_TRUE(Serve(true, c.faults));
    AddModel(kSourceBase);
    ASSERT_TRUE(Prepare().ok);
    AcquisitionSettings s = Settings();
    s.dumpEnabled = true;
    s.batchMode = true;
    s.batchFrameLimit = 1000000;
    s.recordingName = "cut.csv";
    run_ = std::make_unique<AcquisitionRun>(s, host_);
    run_->Start();
    ASSERT_TRUE(run_->WaitFinished(120s));
    const RunOutcome& o = run_->Outcome();
    EXPECT_EQ(o.end, c.end);
    EXPECT_EQ(o.cause, c.status);
    host_.Inspect([&](RecordingHost& h) {
      EXPECT_EQ(h.stops, (std::vector<RunEnd>{c.end}));
      EXPECT_EQ(h.runEnds, 1);
      EXPECT_EQ(h.batchEnds, 0);
    });
    // The recording is finished with every frame read.
    ASSERT_EQ(o.recordingPath, dir_ + "/cut.csv");
    std::vector<int> expected;
    for (int n = 1; n <= o.framesRecorded; ++n) expected.push_back(n);
    EXPECT_EQ(BlockNumbers(ReadFile(o.recordingPath)), expected);
    EXPECT_EQ(o.framesRecorded, models_[0]->GetFrameCounter());
  }
}

// A pause before each frame that would never end is cut to its bound, and the message
// names the setting.
TEST_F(AcquisitionPanelsim, AnEndlessDelayIsClampedWithAMessageNamingTheKey) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceBase).SetDiagDelay(2147483647);
  ASSERT_TRUE(Prepare().ok);
  AcquisitionSettings s = Settings();
  s.batchMode = true;
  s.batchFrameLimit = 2;
  std::vector<int32_t> pauses;
  s.sleepMs = [&pauses](int32_t ms) { pauses.push_back(ms); };
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(60s));
  EXPECT_EQ(models_[0]->GetFrameCounter(), 2);
  int32_t total = 0;
  for (int32_t p : pauses) total += p;
  EXPECT_EQ(total, 2 * kMaxDiagDelayMs);
  host_.Inspect([](RecordingHost& h) {
    ASSERT_FALSE(h.statuses.empty());
    EXPECT_NE(h.statuses[0].find("DELAY_BEFORE_ENABLE_DIGNOSIS=2147483647"), std::string::npos)
        << h.statuses[0];
  });
}

// The disk fills up part-way: the run stops at once, the cause is named, and the
// recording holds every frame written, complete.
TEST_F(AcquisitionPanelsim, AFullDiskStopsTheRunAndKeepsEveryFrameWritten) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceRawData);
  ASSERT_TRUE(Prepare().ok);
  AcquisitionSettings s = Settings();
  s.dumpEnabled = true;
  s.batchMode = true;
  s.batchFrameLimit = 50;
  s.recordingName = "full.csv";
  s.matlabDump = true;
  {
    test::DiskFault full(4000);
    run_ = std::make_unique<AcquisitionRun>(s, host_);
    run_->Start();
    ASSERT_TRUE(run_->WaitFinished(30s));
  }
  const RunOutcome& o = run_->Outcome();
  EXPECT_EQ(o.end, RunEnd::RecordingFailed);
  EXPECT_NE(o.cause.find(std::strerror(ENOSPC)), std::string::npos) << o.cause;
  EXPECT_NE(o.recordingError.find(std::strerror(ENOSPC)), std::string::npos);
  EXPECT_LT(models_[0]->GetFrameCounter(), 50);
  ASSERT_EQ(o.recordingPath, dir_ + "/full.csv");
  RecordingSet set;
  ASSERT_TRUE(LoadCsv(set, o.recordingPath));
  ASSERT_EQ(set.GetFrameCount(0), o.framesRecorded);
  std::vector<int> expected;
  for (int n = 1; n <= o.framesRecorded; ++n) expected.push_back(n);
  EXPECT_EQ(BlockNumbers(ReadFile(o.recordingPath)), expected);
  EXPECT_TRUE(Named(kTempPrefix).empty());
}

// A process killed in the middle of a recording leaves every frame it completed readable
// in its temporary file.
TEST_F(AcquisitionPanelsim, KilledRecordingKeepsEveryCompletedFrame) {
  std::filesystem::path temp;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child records until it is killed (a minute at most).
    if (!Serve()) _exit(3);
    AddModel(kSourceRawData);
    if (!Prepare().ok) _exit(4);
    AcquisitionSettings s = Settings();
    s.dumpEnabled = true;
    run_ = std::make_unique<AcquisitionRun>(s, host_);
    run_->Start();
    std::this_thread::sleep_for(60s);
    _exit(5);
  }
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline &&
         (temp.empty() || BlockNumbers(ReadFile(temp)).size() < 6)) {
    std::this_thread::sleep_for(5ms);
    const auto temps = Named(kTempPrefix);
    if (temps.size() == 1) temp = temps[0];
  }
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "child ended with " << WEXITSTATUS(status);

  const std::string text = ReadFile(temp);
  const std::vector<int> numbers = BlockNumbers(text);
  ASSERT_GE(numbers.size(), 6u);
  for (size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], static_cast<int>(i) + 1);
  // The file reads as a recording as it is; only a block the kill cut short may be lost.
  RecordingSet set;
  LoadCsv(set, temp.string());
  ASSERT_EQ(set.Count(), 1);
  EXPECT_GE(set.GetFrameCount(0), static_cast<int32_t>(numbers.size()) - 1);
}

TEST_F(AcquisitionPanelsim, WindowReadsWhileTheWorkerWrites) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceDiff);
  ASSERT_TRUE(Prepare().ok);
  AcquisitionSettings s = Settings();
  s.autoCenter = true;
  s.pins = SnrPins{3, 1, -1, 1, -1};
  s.edges = std::make_shared<EdgeTrackers>(models_[0]->Width(), models_[0]->Height());
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  // The window thread: reads frames, figures, trackers and moves the range meanwhile.
  int64_t seen = 0;
  while (host_.Read([](RecordingHost& h) { return h.frames.size(); }) < 6) {
    if (auto f = models_[0]->CurrentFrame()) seen += f->cells.size();
    seen += s.edges->Touched().y1Track.size() + static_cast<int64_t>(run_->FrameRate());
    models_[0]->SetRangeMax(models_[0]->GetRangeMax() + 1);
    run_->SetAutoCenter(true);
    std::this_thread::sleep_for(1ms);
    ASSERT_FALSE(run_->Finished());
  }
  run_->RequestStop();
  ASSERT_TRUE(run_->WaitFinished(20s));
  EXPECT_GT(seen, 0);
  EXPECT_FALSE(host_.Read([](RecordingHost& h) { return h.sliders.empty(); }));
}

// A cycle whose chip read fails keeps the previous frame in the model; it must not be
// recorded again under its old number.
TEST_F(AcquisitionPanelsim, AFailedReadRecordsNoFrameTwice) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceRawData);
  ASSERT_TRUE(Prepare().ok);
  AcquisitionSettings s = Settings();
  s.dumpEnabled = true;
  s.batchMode = true;
  s.batchFrameLimit = 1;
  s.recordingName = "one.csv";
  server_->ClearLog();
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(30s));
  // The reads of one frame, the ready poll first: spoil the next frame's first chip read
  // on all three of its attempts.
  const int perFrame = server_->CommandCount(0x86);
  ASSERT_GT(perFrame, 1);
  server_->faults().Add(panelsim::Fault{panelsim::FaultKind::Nack, 0x86, 1, 3});
  s.batchFrameLimit = 4;
  s.recordingName = "rest.csv";
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(30s));
  EXPECT_EQ(server_->faults().Applied(), 3);
  const std::string text = ReadFile(std::filesystem::path(dir_) / "rest.csv");
  EXPECT_EQ(BlockNumbers(text), (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(run_->RecordingPath(), dir_ + "/rest.csv");
  host_.Inspect([](RecordingHost& h) {
    EXPECT_NE(std::find(h.statuses.begin(), h.statuses.end(), "read chip data fail"),
              h.statuses.end());
  });
}

// The same failed read on a Diff run: the panel noise takes each frame once, so its
// means and RMS are not weighted towards the frame before the failure.
TEST_F(AcquisitionPanelsim, AFailedReadCountsNoFrameTwiceInThePanelNoise) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceDiff);
  ASSERT_TRUE(Prepare().ok);
  AcquisitionSettings s = Settings();
  s.batchMode = true;
  s.batchFrameLimit = 1;
  server_->ClearLog();
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(30s));
  server_->faults().Add(panelsim::Fault{panelsim::FaultKind::Nack, 0x86, 1, 3});
  s.batchFrameLimit = 4;
  s.pins = SnrPins{3, 0, 0, 0, 0};
  s.edges = std::make_shared<EdgeTrackers>(models_[0]->Width(), models_[0]->Height());
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(30s));
  EXPECT_EQ(server_->faults().Applied(), 3);
  // Frames 2, 3 and 4 were read; the failed cycle in between brought nothing new.
  const PanelNoiseReport report = s.edges->PanelNoise();
  EXPECT_EQ(report.untouchedFrames + report.touchedFrames, 3);
  EXPECT_EQ(report.untouchedFrames, 1);
}

TEST_F(AcquisitionPanelsim, DumpTypeMatlabWritesAMatFileBesideTheRecording) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceBase);
  ASSERT_TRUE(Prepare().ok);
  AcquisitionSettings s = Settings();
  s.dumpEnabled = true;
  s.dumpInterval = 2;
  s.batchMode = true;
  s.batchFrameLimit = 5;
  s.matlabDump = true;
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(30s));
  const std::filesystem::path csv = OnlyRecording();
  ASSERT_EQ(run_->MatPath(), MatPathFor(csv.string()));
  EXPECT_TRUE(Named(kTempPrefix).empty());
  // Frames 1, 3 and 5 of 8 x 18 cells: the frames element's dimensions say so.
  const std::string mat = ReadFile(run_->MatPath());
  ASSERT_GT(mat.size(), 128u + 40u);
  int32_t dims[3] = {};
  std::memcpy(dims, mat.data() + 128 + 8 + 16 + 8, sizeof dims);
  EXPECT_EQ(dims[0], 8);
  EXPECT_EQ(dims[1], 18);
  EXPECT_EQ(dims[2], 3);
  EXPECT_EQ(BlockNumbers(ReadFile(csv)), (std::vector<int>{1, 3, 5}));
}

TEST_F(AcquisitionPanelsim, StartRefusesTheMasterOfASlavesOnlyCascade) {
  ASSERT_TRUE(Serve(false));
  AddModel(kSourceBase).SetSelectedChip(1);
  const StartOutcome out = Prepare();
  EXPECT_FALSE(out.ok);
  EXPECT_EQ(models_[0]->GetCascadeMode(), kCascadeSlavesOnly);
  EXPECT_EQ(StatusMessageText(out.statusCode, out.argument), "Selecting master is illegal");
}

TEST_F(AcquisitionPanelsim, StartClosesTheHandleItReplaces) {
  ASSERT_TRUE(Serve());
  AddModel(kSourceBase);
  ASSERT_TRUE(Prepare().ok);
  const int32_t first = handle_;
  std::vector<int32_t> closed;
  ASSERT_TRUE(PrepareAcquisition(CorlinkDeviceIo(), Models(), "", handle_, [&](int32_t h) {
                closed.push_back(h);
                CloseDeviceHandle(h);
              }).ok);
  EXPECT_EQ(closed, (std::vector<int32_t>{first}));
  EXPECT_GT(handle_, 0);
}

// A refused open says why when the library knows: a device another program holds is
// "in use"; any other refusal keeps the status text alone.
TEST(StartFailure, ADeviceInUseIsNamedAsSuch) {
  struct Case {
    int err;
    const char* text;
  };
  for (const Case& c : {Case{EBUSY, "open device error! (the device is in use by another program)"},
                        Case{EACCES, "open device error! (permission denied)"},
                        Case{ENOENT, "open device error!"}, Case{0, "open device error!"}}) {
    SCOPED_TRACE(c.err);
    DeviceIo io;
    io.OpenDevice = [&c](int) {
      errno = c.err;
      return -1;
    };
    InstantModel model(io);
    int32_t handle = 0;
    const StartOutcome out = PrepareAcquisition(io, {&model}, "", handle, CloseDeviceHandle);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.openErrno, c.err);
    EXPECT_EQ(StartFailureText(out), c.text);
  }
}

TEST_F(AcquisitionPanelsim, NoDeviceIsAnOpenError) {
  AddModel(kSourceBase);
  const StartOutcome out = Prepare();
  EXPECT_FALSE(out.ok);
  EXPECT_EQ(StatusMessageText(out.statusCode), "open device error!");
  EXPECT_EQ(handle_, 0);
}

}  // namespace
}  // namespace pelorin
