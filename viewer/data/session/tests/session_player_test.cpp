// The session's player without a window: loading, playing to the end, Pause, Prev, Next
// and the slider, failed loads, a load or a close while a recording plays.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "data/session/viewer_session.h"
#include "data/status_text.h"
#include "fake_view.h"
#include "stepped_recording.h"
#include "temp_dir.h"

namespace pelorin {
namespace {

using testing::FakeView;
using testing::TempDir;
using namespace std::chrono_literals;

class SessionPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    session.Init({}, dir.Path().string());
    session.SetFrameShownHandler([this](int32_t i) { shown.push_back(i); });
  }

  std::string Write(const std::string& name, int frames, int width, int height,
                    int declared = -1) const {
    return testing::WriteSteppedRecording(dir.File(name), frames, width, height, declared);
  }
  static std::string StatisticsOf(int f, int frames, int width, int height) {
    return testing::SteppedStatistics(f, frames, width, height);
  }
  bool WaitForStop() {
    return view.PumpUntil([this] {
      return session.Mode() == RunMode::Paused && session.Enabled(Control::Start) &&
             !session.Enabled(Control::Pause);
    });
  }
  // Every player control's enabled state and the run mode.
  std::vector<int> State() const {
    std::vector<int> s{static_cast<int>(session.Mode())};
    for (Control c : {Control::Load, Control::Start, Control::Pause, Control::Prev, Control::Next,
                      Control::Play, Control::PlayerSlider})
      s.push_back(session.Enabled(c));
    return s;
  }

  TempDir dir;
  FakeView view;
  ViewerSession session{view};
  std::vector<int32_t> shown;
};

TEST_F(SessionPlayer, LoadShowsFrameZeroAndPlayingEndsAtTheLastLoadedFrame) {
  struct Case {
    int frames, declared;
    std::vector<int32_t> played;
  };
  for (const Case& c : {Case{4, 4, {0, 1, 2, 3}}, Case{3, 10, {0, 1, 2}}, Case{1, 1, {0}}}) {
    SCOPED_TRACE(c.declared);
    const std::string path = Write("rec.csv", c.frames, 3, 4, c.declared);
    ASSERT_TRUE(session.Load(path)) << session.Text(Field::Status);
    EXPECT_EQ(session.Mode(), RunMode::Paused);
    EXPECT_EQ(session.Text(Field::Width), "Width : 3");
    EXPECT_EQ(session.Text(Field::Height), "Height : 4");
    EXPECT_EQ(session.Text(Field::FrameCount), "FrameCount : 0");
    EXPECT_EQ(session.Text(Field::Statistics), StatisticsOf(0, c.frames, 3, 4));
    EXPECT_EQ(session.Text(Field::Status), "loaded " + path + " (" + std::to_string(c.frames) +
                                               (c.frames == 1 ? " frame)" : " frames)"));
    EXPECT_EQ(session.ValueOf(Value::PlayerSliderEnd), std::max(c.frames - 1, 1));
    EXPECT_EQ(session.ValueOf(Value::PlayerSlider), 0);
    // A one-frame file never steps outside its frame; its slider cannot be shown.
    EXPECT_EQ(State(), (std::vector<int>{4, 1, 1, 0, 0, c.frames > 1, 1, c.frames > 1}));

    session.SetPlaybackStepTime(0ms);
    shown.clear();
    session.Play();
    EXPECT_EQ(session.Mode(), RunMode::Playing);
    EXPECT_FALSE(session.Enabled(Control::Start));
    ASSERT_TRUE(WaitForStop());
    EXPECT_EQ(shown, c.played);
    EXPECT_EQ(session.Text(Field::Statistics), StatisticsOf(c.frames - 1, c.frames, 3, 4));
    EXPECT_EQ(session.ValueOf(Value::PlayerSlider), c.frames - 1);
    EXPECT_EQ(State(), (std::vector<int>{4, 1, 1, 0, c.frames > 1, 0, 0, c.frames > 1}));
    EXPECT_TRUE(session.PlayerStopped());
  }
}

TEST_F(SessionPlayer, PauseEndsAfterTheStepUnderWayAndPlayGoesOnFromThere) {
  ASSERT_TRUE(session.Load(Write("five.csv", 5, 2, 2)));
  session.Next();
  session.Next();
  // A step long enough that only Pause can end the wait after frame 2.
  session.SetPlaybackStepTime(10min);
  shown.clear();
  session.Play();
  ASSERT_TRUE(view.PumpUntil([this] { return !shown.empty(); }));
  session.Pause();
  EXPECT_EQ(session.Mode(), RunMode::Paused);
  ASSERT_TRUE(WaitForStop());
  EXPECT_EQ(shown, (std::vector<int32_t>{2}));
  EXPECT_EQ(State(), (std::vector<int>{4, 1, 1, 0, 1, 1, 1, 1}));

  session.SetPlaybackStepTime(0ms);
  session.Play();
  ASSERT_TRUE(WaitForStop());
  EXPECT_EQ(shown, (std::vector<int32_t>{2, 2, 3, 4}));
}

TEST_F(SessionPlayer, PrevNextAndTheSliderStepAndKeepTheButtonsInRange) {
  ASSERT_TRUE(session.Load(Write("three.csv", 3, 2, 3)));
  shown.clear();
  struct Step {
    const char* what;
    std::function<void()> act;
    int32_t frame;
    bool prev, next, play;
  };
  const Step steps[] = {
      {"next", [&] { session.Next(); }, 1, true, true, true},
      {"next to the last", [&] { session.Next(); }, 2, true, false, false},
      {"next past the last", [&] { session.Next(); }, 2, true, false, false},
      {"prev", [&] { session.Prev(); }, 1, true, true, true},
      {"slider to 0", [&] { session.Seek(0); }, 0, false, true, true},
      {"prev before the first", [&] { session.Prev(); }, 0, false, true, true},
      {"slider to 2", [&] { session.Seek(2); }, 2, true, false, false},
      {"slider beyond", [&] { session.Seek(3); }, 2, true, false, false},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.act();
    EXPECT_EQ(session.Recordings().GetCurrentIndex(0), s.frame);
    EXPECT_EQ(session.ValueOf(Value::PlayerSlider), s.frame);
    EXPECT_EQ(session.Text(Field::Statistics), StatisticsOf(s.frame, 3, 2, 3));
    EXPECT_EQ(session.Text(Field::FrameCount), "FrameCount : " + std::to_string(s.frame));
    EXPECT_EQ(session.Enabled(Control::Prev), s.prev);
    EXPECT_EQ(session.Enabled(Control::Next), s.next);
    EXPECT_EQ(session.Enabled(Control::Play), s.play);
  }
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 2, 1, 0, 2}));

  // While playing, a slider move draws nothing.
  session.Seek(0);
  session.SetPlaybackStepTime(10min);
  session.Play();
  ASSERT_TRUE(view.PumpUntil([this] { return shown.size() == 7; }));
  session.Seek(2);
  EXPECT_EQ(shown.size(), 7u);
  EXPECT_EQ(session.Recordings().GetCurrentIndex(0), 0);
}

TEST_F(SessionPlayer, AFailedLoadLeavesTheRecordingControlsAndRunModeAsTheyWere) {
  const std::vector<int> idle = State();
  EXPECT_FALSE(session.Load(dir.File("missing.csv")));
  EXPECT_EQ(
      session.Text(Field::Status).rfind("can't load csv at " + dir.File("missing.csv") + ": ", 0),
      0u)
      << "with the reason: " << session.Text(Field::Status);
  EXPECT_EQ(State(), idle);

  ASSERT_TRUE(session.Load(Write("three.csv", 3, 2, 2)));
  session.Next();
  const std::vector<int> loaded = State();
  const std::string statistics = session.Text(Field::Statistics);
  std::ofstream(dir.File("broken.csv"), std::ios::binary)
      << "Pelorin\nFrameCount, 2\nWidth, 2\nHeight, 2\nType, RawData\n\n"
         "No , 1,          0ms, Read Error Times , 0\n1,2,\n";
  std::ofstream(dir.File("empty.csv"), std::ios::binary)
      << "Pelorin\nFrameCount, 0\nWidth, 2\nHeight, 2\nType, RawData\n\n";
  for (const char* bad : {"broken.csv", "empty.csv", "three.txt"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(session.Load(dir.File(bad)));
    EXPECT_EQ(State(), loaded);
    EXPECT_EQ(session.Text(Field::Width), "Width : 2");
    EXPECT_EQ(session.Text(Field::Statistics), statistics);
    EXPECT_EQ(session.Recordings().GetCurrentIndex(0), 1);
    EXPECT_EQ(session.Recordings().GetFrameCount(0), 3);
  }
  // The recording kept is still the one the controls step through.
  session.Next();
  EXPECT_EQ(session.Text(Field::Statistics), StatisticsOf(2, 3, 2, 2));
}

TEST_F(SessionPlayer, ALoadOrACloseWhilePlayingStopsThePlayerFirst) {
  ASSERT_TRUE(session.Load(Write("five.csv", 5, 2, 2)));
  session.SetPlaybackStepTime(10min);
  shown.clear();
  session.Play();
  ASSERT_TRUE(view.PumpUntil([this] { return !shown.empty(); }));
  ASSERT_TRUE(session.Load(Write("other.csv", 2, 3, 3)));
  EXPECT_FALSE(session.PlaybackThreadRunning());
  EXPECT_EQ(State(), (std::vector<int>{4, 1, 1, 0, 0, 1, 1, 1}));
  view.Pump();  // what the stopped worker queued changes nothing now
  EXPECT_EQ(session.Text(Field::Width), "Width : 3");
  EXPECT_EQ(session.Text(Field::FrameCount), "FrameCount : 0");
  EXPECT_EQ(shown, (std::vector<int32_t>{0, 0}));

  // Closed while it plays as fast as it can.
  session.SetPlaybackStepTime(0ms);
  session.Play();
  session.Close();
  EXPECT_TRUE(session.Closed());
  EXPECT_FALSE(session.PlaybackThreadRunning());
  view.Pump();
}

}  // namespace
}  // namespace pelorin
