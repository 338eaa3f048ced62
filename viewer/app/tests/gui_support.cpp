#include "gui_support.h"

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/utils.h>
#include <wx/window.h>

#include "app/pelorin_dlg.h"
#include "data/live_model.h"
#include "view/dialog_template.h"

namespace pelorin::test {

std::string DefaultSettings() {
  std::string text;
  for (const char* section : {"Base", "Cycle", "Loop", "RawData", "Diff", "RawDiff"}) {
    text += std::string("[") + section + "]\nMAX_DATA_RANGE=250\nMIN_DATA_RANGE=0\n\n";
  }
  text +=
      "[Pelorin]\nSOURCE_TYPE=3\nSECOND_SOURCE_TYPE=0\nREVERSE=0\n"
      "DELAY_BEFORE_ENABLE_DIGNOSIS=10\nDRAW_STYLE=1\nDUMP_TYPE=1\nVIEW_POINT=1\n"
      "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1\nDISPLAY_RANGE_SHIFT=5\nAUTO_CENTER=0\n\n"
      "[Hide]\nRX_CHIP_INDEX=ALL\nHIDE_RX=\nHIDE_TX=\nHIDE_SHOW=0\n\n"
      "[Mask]\nMASK_RX=\nMASK_TX=\nMASK_SHOW=0\nMASK_POINT=\nIS_MASK=0\n\n"
      "[Filter]\nTOP_LEFT=1\nTOP_MID=1\nTOP_RIGHT=1\nNAVEL_LEFT=1\nNAVEL_MID=1\n"
      "NAVEL_RIGHT=1\nBOTTOM_LEFT=1\nBOTTOM_MID=1\nBOTTOM_RIGHT=1\nFILTER_THRESHOLD=0\n"
      "FILTER_TYPE=0\n";
  return text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at == std::string::npos) throw std::invalid_argument("not in the text: " + from);
  text.replace(at, from.size(), to);
  return text;
}

ScratchDir::ScratchDir() {
  std::random_device rd;
  previous_ = std::filesystem::current_path();
  path_ = std::filesystem::temp_directory_path() /
          ("pelorin-gui-" + std::to_string(rd()) + "-" + std::to_string(rd()));
  std::filesystem::create_directories(path_);
  std::filesystem::current_path(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
  std::filesystem::remove_all(path_, ec);
}

void ScratchDir::WriteSettings(const std::string& text) const {
  std::ofstream(path_ / "PLsetting.ini", std::ios::binary) << text;
}

std::string ScratchDir::ReadSettings() const {
  std::ifstream in(path_ / "PLsetting.ini", std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool ScratchDir::HasSettings() const { return std::filesystem::exists(path_ / "PLsetting.ini"); }

Window::Window(std::vector<std::string> args, bool recordBoxes) {
  dlg_ = new CPelorinDlg(nullptr, std::move(args));
  if (recordBoxes) {
    dlg_->Answers().messageBox = ([this](const wxString& text, const wxString& title) {
      boxes_.push_back({text, title});
    });
  }
  dlg_->InitDialog();
  dlg_->Show();
  Pump();
}

Window::~Window() {
  if (!dlg_->Session().Closed()) dlg_->Close(true);
  dlg_->Destroy();
  Pump(10);
}

void Window::Close() { dlg_->Close(true); }

void Click(const Window& win, int id) {
  wxWindow* button = win->FindWindow(id);
  ASSERT_NE(button, nullptr) << id;
  ASSERT_TRUE(button->IsEnabled()) << id;
  wxCommandEvent event(wxEVT_BUTTON, id);
  event.SetEventObject(button);
  button->GetEventHandler()->ProcessEvent(event);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    wxYield();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void Pump(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    wxYield();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  } while (std::chrono::steady_clock::now() < end);
}

wxString Label(const CPelorinDlg& dlg, int id) {
  const wxWindow* w = dlg.FindWindow(id);
  return w != nullptr ? w->GetLabel() : wxString("<missing>");
}

wxRect TemplateRect(const CPelorinDlg& dlg, int x, int y, int w, int h) {
  return DialogUnitsToPixels(&dlg, x, y, w, h);
}

int32_t FrameCount(const Window& win) {
  return dynamic_cast<const InstantModel&>(*win->Session().Models().at(0)).GetFrameCounter();
}

std::vector<std::filesystem::path> Recordings(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> found;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    const bool noiseReport = name.ends_with("-noise.csv");
    if (e.path().extension() == ".csv" && name.rfind("tempReport", 0) != 0 && !noiseReport)
      found.push_back(e.path());
  }
  return found;
}

}  // namespace pelorin::test
