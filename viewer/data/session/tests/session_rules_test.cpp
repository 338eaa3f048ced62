// The session's rules one at a time: an unattended run and its exit status, a Start the
// device refuses, a close asked for during a load, reports of an earlier run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "data/live_model.h"
#include "data/session/batch_verdict.h"
#include "data/session/viewer_session.h"
#include "data/source_type.h"
#include "data/status_text.h"
#include "fake_view.h"
#include "temp_dir.h"

namespace pelorin {
namespace {

using testing::FakeView;
using testing::ScriptedDevice;
using testing::TempDir;

TEST(BatchVerdict, OnlyAFullRecordedRunEndsWithZero) {
  struct Case {
    const char* name;
    RunOutcome outcome;
    int signal;
    int status;
    std::string message;
  };
  RunOutcome full;
  full.end = RunEnd::BatchLimit;
  full.framesRead = 5;
  full.framesRecorded = 5;
  full.recordingPath = "/w/r.csv";
  RunOutcome lost = full;
  lost.end = RunEnd::DeviceLost;
  lost.cause = "the device is gone";
  lost.framesRead = 2;
  RunOutcome stopped = full;
  stopped.end = RunEnd::Stopped;
  stopped.framesRead = 3;
  RunOutcome diskFull = full;
  diskFull.recordingError = "disk full";
  const Case cases[] = {
      {"full", full, 0, 0, "5 frames recorded in /w/r.csv"},
      {"interrupted", full, 2, 130, "interrupted; 5 frames recorded in /w/r.csv"},
      {"device lost", lost, 0, 1,
       "the device is gone after 2 frames; 5 frames recorded in /w/r.csv"},
      {"stopped early", stopped, 0, 1,
       "stopped after 3 of 5 frames; 5 frames recorded in /w/r.csv"},
      {"recording failed", diskFull, 0, 1, "the recording failed: disk full"},
  };
  for (const Case& c : cases) {
    const ExitVerdict v = BatchVerdict(c.outcome, 5, c.signal);
    EXPECT_EQ(v.status, c.status) << c.name;
    EXPECT_EQ(v.message, c.message) << c.name;
  }
}

// Two slave chips and no master: the master cannot be chosen.
void SlavesOnly(ScriptedDevice& dev) {
  testing::OneReadyChip(dev);
  dev.cascadeStatus = 11;
  testing::FakeChip second = dev.chips[0];
  dev.chips[0].index = 5;
  second.index = 6;
  second.position = 1;
  dev.chips.push_back(second);
}

class SessionRules : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(PELORIN_DEFAULT_SETTINGS, dir.File("PLsetting.ini"));
    testing::OneReadyChip(dev);
  }
  std::unique_ptr<ViewerSession> NewSession(DeviceIo io) {
    auto s = std::make_unique<ViewerSession>(view);
    s->SetDeviceIo(std::move(io), [](int32_t) {});
    return s;
  }
  std::string Recording() const {
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
      if (e.path().filename().string().rfind("day", 0) == 0 && e.path().extension() == ".csv")
        return e.path().string();
    }
    return {};
  }

  TempDir dir;
  ScriptedDevice dev;
  FakeView view;
};

TEST_F(SessionRules, BatchRunRecordsItsFramesClosesAndExitsWithZero) {
  auto session = NewSession(dev.Io());
  session->Init({"3", "3", "day"}, dir.Path().string());  // RawData, three frames
  ASSERT_EQ(session->Mode(), RunMode::Live) << session->Text(Field::Status);
  EXPECT_TRUE(session->Settings().dumpEnabled);
  ASSERT_TRUE(view.PumpUntil([&] { return view.closeRequests > 0; }));
  EXPECT_EQ(session->Mode(), RunMode::Idle);
  session->Close();
  EXPECT_EQ(view.exitStatus, 0) << view.exitMessage;
  EXPECT_FALSE(Recording().empty());
}

TEST_F(SessionRules, RefusedStartLeavesTheControlsAndSaysWhy) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::function<void(DeviceIo&)> spoil;
    std::string status;
    int select = 0;  // the chip selector's item
  };
  const Case cases[] = {
      {"no device",
       {},
       [](DeviceIo& io) { io.OpenDevice = [](int) { return -1; }; },
       "open device error!"},
      {"no device, unattended",
       {"3", "3", "day"},
       [](DeviceIo& io) { io.OpenDevice = [](int) { return -1; }; },
       "open device error!"},
      {"master of a slaves-only cascade", {}, [](DeviceIo&) {}, "Selecting master is illegal", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.closeRequests = 0;
    view.exitStatus = 0;
    if (c.select == 1) SlavesOnly(dev);
    DeviceIo io = dev.Io();
    c.spoil(io);
    auto session = NewSession(io);
    session->Init(c.args, dir.Path().string());
    if (c.select) session->SelectChip(c.select);
    if (c.args.empty()) session->Start();
    view.Pump();
    EXPECT_EQ(session->Mode(), RunMode::Idle);
    EXPECT_EQ(session->Text(Field::Status), c.status);
    EXPECT_TRUE(session->Enabled(Control::Start));
    EXPECT_FALSE(session->Enabled(Control::Stop));
    EXPECT_TRUE(session->Enabled(Control::Load));
    // An unattended run that cannot start ends the program with status 1.
    EXPECT_EQ(view.exitStatus, c.args.empty() ? 0 : 1);
    EXPECT_EQ(view.closeRequests, c.args.empty() ? 0 : 1);
    EXPECT_EQ(session->Acquisition(), nullptr);
    // Start again repeats the whole sequence, with the same outcome (the scripted cascade
    // answers its status only before a chip is chosen, as after power-up).
    dev.Deselect();
    if (c.args.empty()) session->Start();
    EXPECT_EQ(session->Text(Field::Status), c.status);
    EXPECT_EQ(session->Mode(), RunMode::Idle);
    session->Close();
  }
}

// A run that cannot go on stops itself as Stop does: the buttons as after Stop, the status
// line naming the cause, no frame rate left standing.
TEST_F(SessionRules, ARunThatCannotGoOnStopsAsStopDoesAndSaysWhy) {
  struct Case {
    const char* name;
    std::function<void(ScriptedDevice&, DeviceIo&)> spoil;
    std::string status;
  };
  const Case cases[] = {
      {"never ready",
       [](ScriptedDevice& d, DeviceIo&) {
         d.chips[0].blocks[0x50000000] = {0, 0, 0, 0};
       },
       "FW is not ready"},
      {"unplugged",
       [](ScriptedDevice& d, DeviceIo& io) {
         d.failChip[0] = 1 << 30;
         io.DeviceGone = [](int) { return true; };
       },
       "the device is gone"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDevice device;
    testing::OneReadyChip(device);
    DeviceIo io = device.Io();
    c.spoil(device, io);
    auto session = NewSession(io);
    session->Init({}, dir.Path().string());
    session->Start();
    ASSERT_EQ(session->Mode(), RunMode::Live) << session->Text(Field::Status);
    ASSERT_TRUE(view.PumpUntil([&] {
      return session->Acquisition()->Finished() && session->Enabled(Control::Start) &&
             session->Figures().showSecondPass;
    })) << session->Text(Field::Status);
    EXPECT_EQ(session->Mode(), RunMode::Idle);
    EXPECT_EQ(session->Text(Field::Status), c.status);
    EXPECT_FALSE(session->Enabled(Control::Stop));
    EXPECT_TRUE(session->Enabled(Control::Dump));
    EXPECT_TRUE(session->Enabled(Control::Load));
    EXPECT_EQ(session->Text(Field::FrameRate), "FrameRate : 0.00");
    session->Close();
  }
}

TEST_F(SessionRules, StartAgainAfterStopRunsAFreshAcquisitionAndDropsTheOldReports) {
  auto session = NewSession(dev.Io());
  session->Init({}, dir.Path().string());
  session->Start();
  ASSERT_TRUE(view.PumpUntil([&] { return session->LiveModel(0)->GetFrameCounter() >= 3; }));
  session->Stop();
  // Start waits for the previous worker before it clears the models; the first run's
  // "run ended", still queued, must not stop the second run's refresh.
  session->Start();
  EXPECT_EQ(session->Mode(), RunMode::Live);
  EXPECT_FALSE(session->Enabled(Control::Start));
  view.Pump();
  EXPECT_TRUE(view.timersOn);
  EXPECT_FALSE(session->Figures().showSecondPass);
  ASSERT_TRUE(view.PumpUntil([&] { return session->LiveModel(0)->GetFrameCounter() >= 2; }));
  EXPECT_GT(session->DeviceHandle(), 0);
  session->Stop();
  ASSERT_TRUE(view.PumpUntil([&] { return session->Figures().showSecondPass; }));
  // A Base run has no SNR plot and leaves the SNR page's results as they were.
  session->OnSnrTimer();
  EXPECT_EQ(view.snrPlots, 0);
  EXPECT_EQ(view.snrEvaluations, 0);
  session->Close();
}

TEST_F(SessionRules, ReportsQueuedForASessionThatIsGoneAreDropped) {
  auto session = NewSession(dev.Io());
  session->Init({}, dir.Path().string());
  session->Start();
  ASSERT_TRUE(view.PumpUntil([&] { return session->LiveModel(0)->GetFrameCounter() >= 2; }));
  session.reset();  // the worker stopped and joined; its last reports still queued
  const int shown = view.figuresShown;
  view.Pump();
  EXPECT_EQ(view.figuresShown, shown);
}

TEST_F(SessionRules, CloseDuringALoadWaitsForTheLoad) {
  {
    auto recorder = NewSession(dev.Io());
    recorder->Init({"3", "3", "day"}, dir.Path().string());
    ASSERT_TRUE(view.PumpUntil([&] { return view.closeRequests > 0; }));
    recorder->Close();
  }
  ASSERT_FALSE(Recording().empty());
  view.closeRequests = 0;
  auto session = NewSession(dev.Io());
  session->Init({}, dir.Path().string());
  bool mayClose = true;
  view.onRepaint = [&] { mayClose = session->MayCloseNow(); };
  ASSERT_TRUE(session->Load(Recording())) << session->Text(Field::Status) << Recording();
  EXPECT_GT(view.repaints, 0);
  EXPECT_FALSE(mayClose);
  EXPECT_EQ(view.closeRequests, 0);
  view.Pump();
  EXPECT_EQ(view.closeRequests, 1);
  EXPECT_TRUE(session->MayCloseNow());
}

TEST_F(SessionRules, FailedLoadKeepsTheRecordingAndTheControls) {
  auto session = NewSession(dev.Io());
  session->Init({}, dir.Path().string());
  const std::string missing = dir.File("none.csv");
  EXPECT_FALSE(session->Load(missing));
  EXPECT_EQ(session->Text(Field::Status).rfind("can't load csv at " + missing, 0), 0u)
      << session->Text(Field::Status);
  EXPECT_EQ(session->Mode(), RunMode::Idle);
  EXPECT_FALSE(session->Enabled(Control::Play));
  session->Play();  // nothing loaded: nothing plays
  EXPECT_EQ(session->Mode(), RunMode::Idle);
  EXPECT_FALSE(session->PlaybackThreadRunning());
}

TEST_F(SessionRules, TheCommandLineMakesABatchRun) {
  struct Case {
    std::vector<std::string> args;
    bool batch;
    int32_t limit;
    std::string name;
    int32_t firstType;  // the run's, written back at the close: the settings' stays
  };
  const Case cases[] = {
      {{"5"}, true, 0, "", 6},
      {{"2", "100", "test"}, true, 100, "test - Base", 3},
      {{}, false, 0, "", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.size());
    DeviceIo io = dev.Io();
    io.OpenDevice = [](int) { return -1; };
    auto session = NewSession(io);
    session->Init(c.args, dir.Path().string());
    EXPECT_EQ(session->Settings().batchMode, c.batch);
    EXPECT_EQ(session->Settings().dumpEnabled, c.batch);
    EXPECT_EQ(session->Settings().batchFrameLimit, c.limit);
    EXPECT_EQ(session->Settings().batchName, c.name);
    EXPECT_EQ(session->ValueOf(Value::MaxSlider), 350);
    session->Close();
    std::ifstream ini(dir.File("PLsetting.ini"));
    const std::string text((std::istreambuf_iterator<char>(ini)), {});
    EXPECT_NE(text.find("\nSOURCE_TYPE=" + std::to_string(c.firstType) + "\n"), std::string::npos);
  }
}

TEST_F(SessionRules, TheSourceButtonsChangeTheCaptionsAndTheSecondModelComesAndGoes) {
  auto session = NewSession(dev.Io());
  session->Init({}, dir.Path().string());
  struct Step {
    SourceSlot slot;
    std::optional<int32_t> answer;
    std::string caption;  // of the button's slot
    int32_t firstType;
    size_t models;
  };
  const Step steps[] = {
      {SourceSlot::First, 4, "1st-Source\nRaw Data", 4, 1},
      // Cancel, and a dialog that returns nothing valid, change nothing.
      {SourceSlot::First, std::nullopt, "1st-Source\nRaw Data", 4, 1},
      {SourceSlot::First, 0, "1st-Source\nRaw Data", 4, 1},
      {SourceSlot::First, 9, "1st-Source\nRaw Data", 4, 1},
      {SourceSlot::Second, 5, "2st-Source\nRaw Diff", 4, 2},
      {SourceSlot::Second, -1, "2st-Source\nRaw Diff", 4, 2},
      {SourceSlot::Second, 0, "2st-Source\nNone", 4, 1},
      {SourceSlot::Second, 0, "2st-Source\nNone", 4, 1},  // None again: only the caption
  };
  for (const Step& s : steps) {
    view.sourceAnswer = s.answer;
    session->ChooseSource(s.slot);
    EXPECT_EQ(session->Text(s.slot == SourceSlot::First ? Field::FirstSource : Field::SecondSource),
              s.caption);
    EXPECT_EQ(session->Models()[0]->GetSourceType(), s.firstType);
    EXPECT_EQ(session->Models().size(), s.models);
  }
  EXPECT_EQ(session->Models()[0]->GetName(), "RawData");
  EXPECT_EQ(session->ValueOf(Value::MaxSlider), 350);  // the RawData range, 250 / 0
  const std::vector<std::pair<int, int32_t>> asked{{0, 3}, {0, 4}, {0, 4}, {0, 4},
                                                   {1, 0}, {1, 5}, {1, 5}, {1, 0}};
  EXPECT_EQ(view.asked, asked);
}

}  // namespace
}  // namespace pelorin
