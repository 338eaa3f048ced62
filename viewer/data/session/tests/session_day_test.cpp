// A whole day with the viewer, without a window: settings read, a live Diff run from a
// scripted device with its recording and SNR evaluation, the recording loaded and played,
// paused and stepped, a recorded source hidden while it plays, a second source, the close.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "data/live_model.h"
#include "data/session/viewer_session.h"
#include "data/source_type.h"
#include "fake_view.h"
#include "temp_dir.h"

namespace pelorin {
namespace {

using testing::FakeView;
using testing::ScriptedDevice;
using testing::TempDir;
using namespace std::chrono_literals;

class SessionDay : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(PELORIN_DEFAULT_SETTINGS, dir.File("PLsetting.ini"));
    testing::OneReadyChip(dev);
    session.SetDeviceIo(dev.Io(), [this](int32_t handle) { closed.push_back(handle); });
  }

  std::string OnlyRecording() const {
    std::string found;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
      const std::string name = e.path().filename().string();
      const bool noise = name.find("-noise") != std::string::npos;
      if (name.rfind("Pelorin_", 0) == 0 && e.path().extension() == ".csv" && !noise)
        found = e.path();
    }
    return found;
  }
  int32_t FramesShown() const {
    const std::string& t = session.Text(Field::FrameCount);
    return t.empty() ? 0 : std::stoi(t.substr(t.find(':') + 1));
  }

  TempDir dir;
  ScriptedDevice dev;
  FakeView view;
  ViewerSession session{view};
  std::vector<int32_t> closed;
};

TEST_F(SessionDay, LiveRunRecordingPlaybackAndClose) {
  session.Init({}, dir.Path().string());
  ASSERT_TRUE(session.HasSettingsStore());

  // Live: a Diff run with two untouched frames, recorded.
  session.SetFirstSourceType(kSourceDiff);
  EXPECT_EQ(session.Text(Field::FirstSource), "1st-Source\nDiff");
  session.SetCheck(Check::Dump, true);
  view.startInputs.pins = SnrPins{2, 0, 0, 0, 0};
  session.Start();
  ASSERT_EQ(session.Mode(), RunMode::Live) << session.Text(Field::Status);
  EXPECT_EQ(session.Text(Field::Width), "Width : 6");
  EXPECT_EQ(session.Text(Field::Height), "Height : 5");
  for (Control c : {Control::Start, Control::Load, Control::Play, Control::FirstSource,
                    Control::SecondSource, Control::Dump, Control::Filter})
    EXPECT_FALSE(session.Enabled(c)) << static_cast<int>(c);
  EXPECT_TRUE(session.Enabled(Control::Stop));
  EXPECT_TRUE(view.timersOn);
  EXPECT_FALSE(session.Figures().showSecondPass);
  // What the keys would do during the run changes nothing the worker reads.
  session.ChooseSource(SourceSlot::Second);
  EXPECT_TRUE(view.asked.empty());

  ASSERT_TRUE(view.PumpUntil([&] { return FramesShown() >= 4; })) << session.Text(Field::Status);
  session.OnSnrTimer();
  EXPECT_EQ(view.snrPlots, 1);
  session.Stop();
  EXPECT_EQ(session.Mode(), RunMode::Idle);
  EXPECT_EQ(view.snrEvaluations, 1);  // past its untouched frames: evaluated at Stop
  EXPECT_TRUE(session.Enabled(Control::HideButton));
  ASSERT_TRUE(view.PumpUntil([&] { return session.Figures().showSecondPass; }));
  EXPECT_FALSE(view.timersOn);
  const std::string recording = OnlyRecording();
  ASSERT_FALSE(recording.empty());
  EXPECT_EQ(session.Text(Field::Status).rfind("recorded to Pelorin_", 0), 0u)
      << session.Text(Field::Status);

  // The recording back: loaded, played to its end, stepped back.
  ASSERT_TRUE(session.Load(recording)) << session.Text(Field::Status);
  const int32_t frames = session.Recordings().GetFrameCount(0);
  ASSERT_GE(frames, 4);
  session.SetPlaybackStepTime(1ms);
  session.Play();
  EXPECT_EQ(session.Mode(), RunMode::Playing);
  ASSERT_TRUE(view.PumpUntil([&] { return session.Mode() == RunMode::Paused; }));
  EXPECT_EQ(session.ValueOf(Value::PlayerSlider), frames - 1);
  session.Prev();
  EXPECT_EQ(view.lastDrawn.load(), frames - 2);
  EXPECT_TRUE(session.Enabled(Control::Play));

  // Hidden while it plays: the rebuild and the player's steps never draw at once.
  session.SetPlaybackStepTime(2ms);
  session.Play();
  session.SetCheck(Check::HideFirst, true);
  EXPECT_FALSE(session.Recordings().GetVisible(0));
  session.Pause();
  ASSERT_TRUE(
      view.PumpUntil([&] { return session.PlayerStopped() && session.Enabled(Control::Start); }));
  EXPECT_EQ(view.overlappingDraws.load(), 0);
  session.SetCheck(Check::HideFirst, false);

  // A second source, chosen by its dialog.
  view.sourceAnswer = kSourceRawData;
  session.ChooseSource(SourceSlot::Second);
  ASSERT_EQ(session.Models().size(), 2u);
  EXPECT_EQ(session.Models()[1]->GetSourceType(), kSourceRawData);
  EXPECT_EQ(session.Text(Field::SecondSource), "2st-Source\nRaw Data");

  // The close: the device given back, the settings written with the second source.
  const int32_t handle = session.DeviceHandle();
  ASSERT_GT(handle, 0);
  session.Close();
  EXPECT_TRUE(session.Models().empty());
  EXPECT_EQ(closed.back(), handle);
  EXPECT_EQ(dev.reportToOsCalls.back(), std::make_pair(true, false));
  std::ifstream ini(dir.File("PLsetting.ini"));
  const std::string text((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_NE(text.find("SECOND_SOURCE_TYPE=4"), std::string::npos);
  EXPECT_NE(text.find("SOURCE_TYPE=6"), std::string::npos);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(SessionDay, TwoSourcesRunSideBySideAndTheCloseEndsTheRun) {
  session.Init({}, dir.Path().string());
  view.sourceAnswer = kSourceRawData;
  session.ChooseSource(SourceSlot::Second);
  session.Start();
  ASSERT_EQ(session.Mode(), RunMode::Live) << session.Text(Field::Status);
  ASSERT_TRUE(view.PumpUntil([&] { return session.Figures().sourceNames.size() == 2; }));
  EXPECT_EQ(session.Figures().sourceNames[1], "RawData");
  // Closed while it runs: the worker is stopped and waited for, then the device goes back.
  session.Close();
  ASSERT_NE(session.Acquisition(), nullptr);
  EXPECT_TRUE(session.Acquisition()->Finished());
  EXPECT_EQ(session.DeviceHandle(), 0);
  EXPECT_FALSE(session.Enabled(Control::Stop));
}

}  // namespace
}  // namespace pelorin
