// The live session under the module's capture and stream, against panelsim in this
// process: frames handed out in order with a bounded queue, a stop from another thread,
// and a lost device. Runs under TSan with the label "threads".
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "live_session.h"
#include "panelsim/served_panel.h"

namespace pelorin::py {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

class LiveSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-live-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    panel_ = std::make_unique<panelsim::ServedPanel>(dir_ / "devices");
    fs::create_directories(dir_ / "devices");
    std::string err;
    ASSERT_TRUE(panel_->Start(panelsim::ServedPanel::SmallCascade(), &err)) << err;
  }
  void TearDown() override {
    panel_.reset();
    fs::remove_all(dir_);
  }

  LiveOptions Options(const char* source, int32_t frames, int32_t every = 1) {
    LiveOptions o;
    std::string error;
    EXPECT_TRUE(ParseLiveOptions(source, frames, every, "", "all", 0, &o.capture, &error))
        << error;
    o.queueFrames = true;
    return o;
  }

  // Every frame the session hands out until it ends (bounded by `limit`).
  static std::vector<LiveFrameOut> Drain(LiveSession& s, size_t limit = 100000) {
    std::vector<LiveFrameOut> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (got.size() < limit && std::chrono::steady_clock::now() < deadline) {
      LiveFrameOut f;
      if (s.WaitFrame(milliseconds(50), &f)) {
        got.push_back(std::move(f));
      } else if (s.Ended()) {
        break;
      }
    }
    return got;
  }

  fs::path dir_;
  std::unique_ptr<panelsim::ServedPanel> panel_;
};

TEST_F(LiveSessionTest, HandsOutTheRecordedFramesInOrderAndWritesThem) {
  LiveOptions o = Options("base", 10, 3);
  o.workDir = dir_.string();
  o.recordingName = "run.csv";
  LiveSession s(o);
  ASSERT_TRUE(s.Start()) << s.Error();
  const std::vector<LiveFrameOut> got = Drain(s);
  ASSERT_TRUE(s.WaitEnded(std::chrono::seconds(30)));
  std::vector<int32_t> numbers;
  for (const LiveFrameOut& f : got) {
    numbers.push_back(f.frame->number);
    EXPECT_EQ(f.frame->cells.size(), size_t(s.Width()) * size_t(s.Height()));
  }
  EXPECT_EQ(numbers, (std::vector<int32_t>{1, 4, 7, 10}));
  EXPECT_EQ(s.FramesRead(), 10);
  EXPECT_EQ(s.RecordingPath(), (dir_ / "run.csv").string());
  EXPECT_EQ(s.Chips(), "123");
  EXPECT_FALSE(s.DeviceLost());
}

TEST_F(LiveSessionTest, StopFromAnotherThreadEndsAnEndlessRun) {
  LiveSession s(Options("diff", 0));
  ASSERT_TRUE(s.Start()) << s.Error();
  std::thread stopper([&s] {
    while (s.FramesRead() < 3) std::this_thread::sleep_for(milliseconds(5));
    s.RequestStop();
  });
  const std::vector<LiveFrameOut> got = Drain(s);
  stopper.join();
  ASSERT_TRUE(s.WaitEnded(std::chrono::seconds(30)));
  ASSERT_GE(got.size(), 3u);
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].frame->number, int32_t(i + 1));
  EXPECT_EQ(s.Dropped(), 0);
}

TEST_F(LiveSessionTest, LostDeviceEndsTheRunAndSaysSo) {
  LiveSession s(Options("diff", 0));
  ASSERT_TRUE(s.Start()) << s.Error();
  LiveFrameOut f;
  while (!s.WaitFrame(milliseconds(50), &f)) ASSERT_FALSE(s.Ended());
  panel_->Stop();
  Drain(s);
  ASSERT_TRUE(s.WaitEnded(std::chrono::seconds(30)));
  EXPECT_TRUE(s.DeviceLost());
  EXPECT_NE(s.LastDeviceCode(), 0);
}

TEST_F(LiveSessionTest, NoDeviceFailsTheStartWithTheStatusText) {
  panel_->Stop();
  LiveSession s(Options("diff", 5));
  EXPECT_FALSE(s.Start());
  EXPECT_EQ(s.Error(), "open device error!");
  EXPECT_TRUE(s.Ended());
}

}  // namespace
}  // namespace pelorin::py
