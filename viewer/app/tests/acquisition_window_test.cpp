// Live acquisition from the main window against panelsim, through the real library: the
// chip selector and the Dump check box as the user meets them (the session's rules of
// Start, Stop and a run that stops itself are tested without a window). Every wait is
// for a condition, bounded by a time limit.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>

#include "app/pelorin_dlg.h"
#include "data/live_model.h"
#include "gui_support.h"
#include "panelsim/served_panel.h"
#include "recording_text.h"
#include "view/resource.h"

namespace pelorin {
namespace {

using namespace recording_text;

using namespace res;
namespace fs = std::filesystem;
using test::Click;
using test::FrameCount;
using test::Label;
using test::PumpUntil;
using test::ScratchDir;
using test::Window;

constexpr int kWaitMs = 20000;

bool Enabled(const Window& win, int id) { return win->FindWindow(id)->IsEnabled(); }

// Sets the check box and sends the notification a click sends.
void SetCheck(const Window& win, int id, bool checked) {
  auto* box = static_cast<wxCheckBox*>(win->FindWindow(id));
  ASSERT_TRUE(box->IsEnabled()) << id;
  box->SetValue(checked);
  wxCommandEvent event(wxEVT_CHECKBOX, id);
  event.SetEventObject(box);
  event.SetInt(checked ? 1 : 0);
  box->GetEventHandler()->ProcessEvent(event);
}

void SelectChip(const Window& win, int index) {
  auto* choice = static_cast<wxChoice*>(win->FindWindow(IDC_CHIP_SELECT));
  choice->SetSelection(index);
  wxCommandEvent event(wxEVT_CHOICE, IDC_CHIP_SELECT);
  event.SetEventObject(choice);
  event.SetInt(index);
  choice->GetEventHandler()->ProcessEvent(event);
}

const InstantModel& FirstSource(const Window& win) {
  return dynamic_cast<const InstantModel&>(*win->Session().Models().at(0));
}

bool RunEnded(const Window& win) {
  return win->Session().Acquisition() != nullptr && win->Session().Acquisition()->Finished();
}

// A scratch working directory, the emulated devices' folder inside it, and a window.
class AcquisitionWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = test::DefaultSettings();
    // The first source is Base; no pause between frames keeps the tests short.
    settings_ = test::Replace(settings_, "DELAY_BEFORE_ENABLE_DIGNOSIS=10",
                              "DELAY_BEFORE_ENABLE_DIGNOSIS=0");
  }
  void TearDown() override {
    window_.reset();  // the close sequence ends the run and gives the device back
  }

  bool Serve(bool masterSenses = true, std::vector<panelsim::Fault> faults = {}) {
    panelsim::ServerConfig cfg = panelsim::ServedPanel::SmallCascade();
    cfg.firmware.panel.master_senses = masterSenses;
    cfg.faults = std::move(faults);
    std::string err;
    const bool served = panel_.Start(cfg, &err);
    EXPECT_TRUE(served) << err;
    return served;
  }

  Window& Open() {
    scratch_.WriteSettings(settings_);
    window_ = std::make_unique<Window>();
    return *window_;
  }

  ScratchDir scratch_;
  std::string settings_;
  panelsim::ServedPanel panel_{scratch_.Path() / "devices"};
  std::unique_ptr<Window> window_;
};

TEST_F(AcquisitionWindow, MasterOfASlavesOnlyCascadeIsRefused) {
  ASSERT_TRUE(Serve(false));
  Window& win = Open();
  SelectChip(win, 1);  // Master
  Click(win, IDC_START);
  test::Pump();
  EXPECT_EQ(Label(*win, IDC_STATUS), "Selecting master is illegal");
  EXPECT_TRUE(Enabled(win, IDC_START));
  EXPECT_FALSE(Enabled(win, IDC_STOP));
  EXPECT_TRUE(Enabled(win, IDC_CHIP_SELECT));
  EXPECT_EQ(win->Session().Acquisition(), nullptr);
  // The same panel starts with all chips selected.
  SelectChip(win, 0);
  Click(win, IDC_START);
  ASSERT_TRUE(PumpUntil([&] { return FrameCount(win) >= 2; }, kWaitMs));
  Click(win, IDC_STOP);
  EXPECT_TRUE(PumpUntil([&] { return RunEnded(win); }, kWaitMs));
}

// Dump checked before Start: every second frame of the run goes to a recording in the
// working directory, named after the first source, with the header of the run.
TEST_F(AcquisitionWindow, DumpRecordsTheRunIntoTheWorkingDirectory) {
  settings_ = test::Replace(settings_, "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1",
                            "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=2");
  ASSERT_TRUE(Serve());
  Window& win = Open();
  EXPECT_FALSE(win->Session().Settings().dumpEnabled);
  SetCheck(win, IDC_DUMP, true);
  EXPECT_TRUE(win->Session().Settings().dumpEnabled);
  Click(win, IDC_START);
  EXPECT_FALSE(Enabled(win, IDC_DUMP));
  ASSERT_TRUE(PumpUntil([&] { return FrameCount(win) >= 5; }, kWaitMs));
  Click(win, IDC_STOP);
  ASSERT_TRUE(PumpUntil([&] { return RunEnded(win); }, kWaitMs));
  EXPECT_TRUE(Enabled(win, IDC_DUMP));
  const int32_t frames = FrameCount(win);

  const std::vector<fs::path> files = test::Recordings(scratch_.Path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename().string().rfind("Pelorin_Base", 0), 0u) << files[0];
  for (const auto& e : fs::directory_iterator(scratch_.Path()))
    EXPECT_NE(e.path().filename().string().rfind("tempReport", 0), 0u) << e.path();
  const std::string text = ReadText(files[0]);
  const int32_t recorded = (frames + 1) / 2;
  // The count line keeps the fixed width it is rewritten in while recording.
  std::string count = std::to_string(recorded);
  count.resize(10, ' ');
  const std::string header = "Pelorin\nFrameCount, " + count + "\nWidth, " +
                             std::to_string(FirstSource(win).Width()) + "\nHeight, " +
                             std::to_string(FirstSource(win).Height()) + "\nType, Base\n";
  EXPECT_EQ(text.rfind(header, 0), 0u) << text.substr(0, 80);
  std::vector<int> expected;
  for (int n = 1; n <= frames; n += 2) expected.push_back(n);
  EXPECT_EQ(BlockNumbers(text), expected);
}

TEST_F(AcquisitionWindow, DumpUncheckedRecordsNothing) {
  ASSERT_TRUE(Serve());
  Window& win = Open();
  SetCheck(win, IDC_DUMP, true);
  SetCheck(win, IDC_DUMP, false);
  EXPECT_FALSE(win->Session().Settings().dumpEnabled);
  Click(win, IDC_START);
  ASSERT_TRUE(PumpUntil([&] { return FrameCount(win) >= 2; }, kWaitMs));
  Click(win, IDC_STOP);
  ASSERT_TRUE(PumpUntil([&] { return RunEnded(win); }, kWaitMs));
  EXPECT_TRUE(test::Recordings(scratch_.Path()).empty());
  for (const auto& e : fs::directory_iterator(scratch_.Path()))
    EXPECT_NE(e.path().filename().string().rfind("tempReport", 0), 0u) << e.path();
}

}  // namespace
}  // namespace pelorin
