// A cascade of chips behind every carrier, through the start sequence and the acquisition
// worker as pelorin-capture runs them: the frames must arrive, and each chip's block of
// the frame must be that chip's data. Carriers that reach the master only must show the
// master alone, never its lines repeated as the slaves'.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <corlink.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "data/acquisition/acquisition_run.h"
#include "data/acquisition/acquisition_start.h"
#include "data/source_range_table.h"
#include "data/status_text.h"
#include "panelsim/panel_model.h"
#include "panelsim/server.h"

namespace pelorin {
namespace {

using namespace std::chrono_literals;

struct Case {
  const char* name;
  panelsim::DeviceType type;
  int chips;
  int chipsSeen;             // chips the host can read: all of them, the master alone, or none
  bool masterSenses = true;  // false: the master has no lines, the slaves carry the panel
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
std::string CaseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

constexpr int kDrive = 4;
constexpr int kSense = 6;
constexpr int kFrames = 3;

class CascadeCarrier : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-cascade-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    setenv("CORLINK_VIRTUAL_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    run_.reset();
    model_.reset();
    CloseDeviceHandle(handle_);
    if (server_) server_->Stop();
    server_.reset();
    unsetenv("CORLINK_VIRTUAL_DIR");
    std::filesystem::remove_all(dir_);
  }

  // Row x of chip `chip`'s Base block as the emulated chip holds it now.
  std::vector<int32_t> ChipRow(int chip, int x) {
    const panelsim::PanelModel model(server_->firmware().config().panel);
    const int stride = model.Stride(chip, panelsim::Region::Base);
    const auto bytes = server_->firmware().PeekMemory(
        chip, kAddrBase + static_cast<uint32_t>(x * stride / 4), stride);
    return {bytes.begin(), bytes.begin() + kSense};
  }
  // Chip c's part of row x of the frame.
  static std::vector<int32_t> FrameBlock(const LiveFrame& f, int x, int c) {
    const auto row = f.cells.begin() + x * f.height + c * kSense;
    return {row, row + kSense};
  }

  std::string dir_;
  std::unique_ptr<panelsim::Server> server_;
  std::unique_ptr<InstantModel> model_;
  int32_t handle_ = 0;
  QuietHost host_;
  std::unique_ptr<AcquisitionRun> run_;
};

TEST_P(CascadeCarrier, EveryChipReadIsThatChipsData) {
  const Case& c = GetParam();
  panelsim::ServerConfig cfg;
  cfg.firmware.type = c.type;
  cfg.firmware.panel.chips = c.chips;
  cfg.firmware.panel.drive = kDrive;
  cfg.firmware.panel.sense = {kSense};
  cfg.firmware.panel.noise = 2;
  cfg.firmware.panel.fingers = 1;
  cfg.firmware.panel.master_senses = c.masterSenses;
  cfg.folder = dir_;
  std::string err;
  server_ = panelsim::Server::Start(cfg, &err);
  ASSERT_TRUE(server_) << err;

  SourceRangeTable ranges;
  model_ = std::make_unique<InstantModel>();
  model_->SetSourceType(kSourceBase);
  ApplySourceType(*model_, kSourceBase, ranges);
  model_->SetDiagDelay(0);
  const StartOutcome start =
      PrepareAcquisition(CorlinkDeviceIo(), {model_.get()}, "", handle_, CloseDeviceHandle);
  if (c.chipsSeen == 0) {  // nothing the connection reaches has lines: an honest failure
    EXPECT_FALSE(start.ok);
    EXPECT_EQ(start.statusCode, kStatusReadChipInfoFail);
    return;
  }
  ASSERT_TRUE(start.ok) << "status " << start.statusCode;
  EXPECT_EQ(model_->DetectedCount(), c.chipsSeen);
  EXPECT_EQ(model_->Height(), c.chipsSeen * kSense);

  AcquisitionSettings s;
  s.io = CorlinkDeviceIo();
  s.device = handle_;
  s.models = {model_.get()};
  s.workDir = dir_;
  s.batchMode = true;
  s.batchFrameLimit = kFrames;
  run_ = std::make_unique<AcquisitionRun>(s, host_);
  run_->Start();
  ASSERT_TRUE(run_->WaitFinished(60s));
  EXPECT_EQ(run_->Outcome().end, RunEnd::BatchLimit) << run_->Outcome().cause;
  EXPECT_EQ(model_->GetFrameCounter(), kFrames);

  const std::shared_ptr<const LiveFrame> f = model_->CurrentFrame();
  ASSERT_TRUE(f);
  ASSERT_EQ(f->height, c.chipsSeen * kSense);
  const int firstChip = c.masterSenses ? 0 : 1;
  for (int x : {0, kDrive - 1}) {
    for (int block = 0; block < c.chipsSeen; ++block) {
      EXPECT_EQ(FrameBlock(*f, x, block), ChipRow(firstChip + block, x))
          << "block " << block << " row " << x;
      for (int other = 0; other < block; ++other)
        EXPECT_NE(FrameBlock(*f, x, block), FrameBlock(*f, x, other)) << block << " vs " << other;
    }
  }
}

using T = panelsim::DeviceType;
INSTANTIATE_TEST_SUITE_P(Carriers, CascadeCarrier,
                         ::testing::Values(Case{"Z2Usb1", T::Z2Usb, 1, 1},
                                           Case{"Z2Usb3", T::Z2Usb, 3, 3},
                                           Case{"Z3Usb1", T::Z3Usb, 1, 1},
                                           Case{"Z3Usb3", T::Z3Usb, 3, 3},
                                           // These reach the master only: the host keeps it alone.
                                           Case{"Z3UsbBrg3", T::Z3UsbBrg, 3, 1},
                                           Case{"Z3HidOverI2c3", T::Z3HidOverI2c, 3, 1},
                                           Case{"Z2UsbBrg3", T::Z2UsbBrg, 3, 1},
                                           // Slaves only: the master carries no lines of its own.
                                           Case{"Z2Usb3SlavesOnly", T::Z2Usb, 3, 2, false},
                                           Case{"Z3Usb3SlavesOnly", T::Z3Usb, 3, 2, false},
                                           Case{"Z3UsbBrg3SlavesOnly", T::Z3UsbBrg, 3, 0, false}),
                         CaseName);

}  // namespace
}  // namespace pelorin
