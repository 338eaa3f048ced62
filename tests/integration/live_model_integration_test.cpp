// The live model reading frames through corlink from panelsim cascades: detection, chip
// order and frame assembly against what the emulated chips hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <corlink.h>

#include <filesystem>
#include <memory>
#include <string>

#include "data/live_model.h"
#include "panelsim/server.h"

namespace pelorin {
namespace {

using ::testing::ElementsAre;

constexpr int kModeRaw = 0x121;
constexpr int kModeNormal = 0x120;

class LiveModelPanelsim : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pelorin-live-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    setenv("CORLINK_VIRTUAL_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    model_.reset();
    if (handle_ > 0) close(handle_);
    if (server_) server_->Stop();
    unsetenv("CORLINK_VIRTUAL_DIR");
    std::filesystem::remove_all(dir_);
  }

  // Serves a panel and runs Start as the window does: open, stop touch reporting, detect,
  // order, lay out.
  bool Start(const panelsim::PanelConfig& panel, int32_t type, std::string_view order = "",
             panelsim::DeviceType device = panelsim::DeviceType::Z3Usb) {
    panelsim::ServerConfig cfg;
    cfg.firmware.type = device;
    cfg.firmware.panel = panel;
    cfg.folder = dir_;
    std::string err;
    server_ = panelsim::Server::Start(cfg, &err);
    EXPECT_TRUE(server_) << err;
    if (!server_) return false;
    handle_ = IO_OpenDevice(0);
    EXPECT_GT(handle_, 0);
    if (handle_ <= 0) return false;
    IO_ReportToOS(handle_, false, false);
    model_ = std::make_unique<InstantModel>();
    model_->SetDevice(handle_);
    model_->SetSourceType(type);
    model_->SetReadAddress(SourceReadAddress(type));
    model_->SetAutoOrder(order.empty());
    configure_(*model_);
    return model_->DetectChips() && model_->SetChipOrder(order) && model_->PrepareFrameBuffers();
  }

  // One worker cycle: raw mode on, wait for the firmware, read, back to the master.
  std::shared_ptr<const LiveFrame> Cycle() {
    EXPECT_EQ(IO_SetRawMode(handle_, kModeRaw), 0);
    uint8_t reply[kDeviceReplyBytes] = {};
    bool ready = false;
    for (int poll = 0; poll < 100 && !ready; ++poll) {
      uint32_t n = 0;
      ready = IO_ReadData(handle_, kAddrRawDiff, reply, &n) == 0 && reply[0] != 0;
    }
    EXPECT_TRUE(ready);
    const bool read = model_->ReadFrame();
    IO_SetChipIndex(0);
    IO_SetRawMode(handle_, kModeNormal);
    EXPECT_TRUE(read);
    return read ? model_->CurrentFrame() : nullptr;
  }

  // Row x of chip number `chip` (0 the master, n slave n) in a region, `lines` values
  // from sense line `first`, as the emulated chip holds them now.
  std::vector<int32_t> ChipRow(int chip, uint32_t region, int x, int first, int lines) {
    const panelsim::PanelModel model(server_->firmware().config().panel);
    const int stride = model.Stride(chip, static_cast<panelsim::Region>(region >> 24));
    const auto bytes = server_->firmware().PeekMemory(chip, region + static_cast<uint32_t>(x * stride / 4), stride);
    return {bytes.begin() + first, bytes.begin() + first + lines};
  }
  static std::vector<int32_t> Row(const LiveFrame& f, int x) {
    return {f.cells.begin() + x * f.height, f.cells.begin() + (x + 1) * f.height};
  }
  static std::vector<int32_t> Join(std::initializer_list<std::vector<int32_t>> parts) {
    std::vector<int32_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  }
  static panelsim::PanelConfig Panel(int chips, int drive, int sense, int overlap = 0) {
    panelsim::PanelConfig p;
    p.chips = chips;
    p.drive = drive;
    p.sense = {sense};
    p.overlap = overlap;
    p.noise = 2;
    p.fingers = 2;
    return p;
  }

  std::string dir_;
  std::unique_ptr<panelsim::Server> server_;
  int handle_ = -1;
  std::unique_ptr<InstantModel> model_;
  std::function<void(InstantModel&)> configure_ = [](InstantModel&) {};
};

TEST_F(LiveModelPanelsim, SingleChip) {
  ASSERT_TRUE(Start(Panel(1, 8, 10), kSourceRawData));
  EXPECT_EQ(model_->GetCascadeMode(), kCascadeSingleChip);
  auto f = Cycle();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->width, 8);
  EXPECT_EQ(f->height, 10);
  for (int x : {0, 7}) EXPECT_EQ(Row(*f, x), ChipRow(0, kAddrRawData, x, 0, 10)) << x;
  EXPECT_EQ(Cycle()->number, 2);
}

TEST_F(LiveModelPanelsim, MasterWithSlavesJoinsTheChipsInPositionOrder) {
  ASSERT_TRUE(Start(Panel(3, 6, 5), kSourceBase));
  EXPECT_EQ(model_->GetCascadeMode(), kCascadeMasterWithSlaves);
  EXPECT_EQ(model_->DetectedCount(), 3);
  auto f = Cycle();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->height, 15);
  for (int x : {0, 5}) {
    EXPECT_EQ(Row(*f, x), Join({ChipRow(0, kAddrBase, x, 0, 5), ChipRow(1, kAddrBase, x, 0, 5),
                                ChipRow(2, kAddrBase, x, 0, 5)}));
  }
}

TEST_F(LiveModelPanelsim, OrderTextPutsTheSlaveFirst) {
  ASSERT_TRUE(Start(Panel(2, 4, 3), kSourceBase, "21"));
  auto f = Cycle();
  ASSERT_TRUE(f);
  EXPECT_EQ(Row(*f, 1), Join({ChipRow(1, kAddrBase, 1, 0, 3), ChipRow(0, kAddrBase, 1, 0, 3)}));
}

TEST_F(LiveModelPanelsim, SlavesOnlyLeavesTheMasterOut) {
  panelsim::PanelConfig panel = Panel(3, 5, 4);
  panel.master_senses = false;
  ASSERT_TRUE(Start(panel, kSourceRawDiff));
  EXPECT_EQ(model_->GetCascadeMode(), kCascadeSlavesOnly);
  EXPECT_EQ(model_->DetectedCount(), 2);
  auto f = Cycle();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->height, 8);
  // Raw Diff: base minus raw data of each slave.
  std::vector<int32_t> expected;
  for (int chip : {1, 2}) {
    const auto base = ChipRow(chip, kAddrBase, 2, 0, 4);
    const auto raw = ChipRow(chip, kAddrRawData, 2, 0, 4);
    for (int k = 0; k < 4; ++k) expected.push_back(base[k] - raw[k]);
  }
  EXPECT_EQ(Row(*f, 2), expected);
}

TEST_F(LiveModelPanelsim, DiffWithOverlapLinesIncludedAndHidden) {
  // Three chips of 6 lines with 2 overlap lines between neighbours: the master's block
  // has 2 tail lines, the middle chip 2 lead and 2 tail lines, the last 2 lead lines.
  ASSERT_TRUE(Start(Panel(3, 4, 6, 2), kSourceDiff));
  EXPECT_EQ(model_->Height(), 8 + 10 + 8);
  auto f = Cycle();
  ASSERT_TRUE(f);
  EXPECT_EQ(Row(*f, 3), Join({ChipRow(0, kAddrDiff, 3, 0, 8), ChipRow(1, kAddrDiff, 3, 0, 10),
                              ChipRow(2, kAddrDiff, 3, 0, 8)}));
  server_->Stop();
  server_.reset();
  close(handle_);

  configure_ = [](InstantModel& m) { m.SetHideOverlap(true); };
  ASSERT_TRUE(Start(Panel(3, 4, 6, 2), kSourceDiff));
  EXPECT_EQ(model_->Height(), 18);
  f = Cycle();
  ASSERT_TRUE(f);
  EXPECT_EQ(Row(*f, 0), Join({ChipRow(0, kAddrDiff, 0, 0, 6), ChipRow(1, kAddrDiff, 0, 2, 6),
                              ChipRow(2, kAddrDiff, 0, 2, 6)}));
}

}  // namespace
}  // namespace pelorin
