// The SNR page during and after a Diff run from the main window against panelsim: the
// plot paints its three series while the run lasts, and Stop prints the four edge-line
// results and the panel noise table. Every wait is for a condition, bounded in time.
// With PELORIN_SNR_SCREENSHOT set to a file name, the screen after Stop is saved there.
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/notebook.h>
#include <wx/textctrl.h>

#include "app/pelorin_dlg.h"
#include "data/live_model.h"
#include "data/snr/panel_noise.h"
#include "data/snr/snr_plot_arrays.h"
#include "gui_support.h"
#include "panelsim/served_panel.h"
#include "view/resource.h"
#include "view/snr_dialog.h"
#include "view/snr_plot.h"

namespace pelorin {
namespace {

using namespace res;
namespace fs = std::filesystem;
using test::Click;
using test::FrameCount;
using test::PumpUntil;

constexpr int kWaitMs = 20000;

bool Matches(const wxString& text, const char* pattern) {
  return std::regex_match(text.utf8_string(), std::regex(pattern));
}

// What one paint of the plot left in its back buffer.
struct PlotPixels {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  // Whether the colour appears in the data band (plot units -5 to 70, below the legend).
  bool Shows(SnrRgb colour) const {
    const int r = static_cast<int>(colour.r * 255 + 0.5f),
              g = static_cast<int>(colour.g * 255 + 0.5f),
              b = static_cast<int>(colour.b * 255 + 0.5f);
    const int top = height * 75 / 100;
    for (int y = 0; y < top; ++y) {
      for (int x = 0; x < width; ++x) {
        const size_t i = static_cast<size_t>((y * width + x) * 3);
        if (std::abs(rgb[i] - r) <= 3 && std::abs(rgb[i + 1] - g) <= 3 &&
            std::abs(rgb[i + 2] - b) <= 3)
          return true;
      }
    }
    return false;
  }
};

void SaveScreen(const std::string& path) {
  wxScreenDC screen;
  const wxSize size = screen.GetSize();
  wxBitmap bitmap(size);
  wxMemoryDC memory(bitmap);
  memory.Blit(0, 0, size.x, size.y, &screen, 0, 0);
  memory.SelectObject(wxNullBitmap);
  bitmap.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG);
}

class SnrWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string settings = test::DefaultSettings();
    settings = test::Replace(settings, "SOURCE_TYPE=3", "SOURCE_TYPE=6");
    settings = test::Replace(settings, "DELAY_BEFORE_ENABLE_DIGNOSIS=10",
                             "DELAY_BEFORE_ENABLE_DIGNOSIS=0");
    scratch_.WriteSettings(settings);

    panelsim::ServerConfig cfg;
    cfg.firmware.panel.chips = 2;
    cfg.firmware.panel.drive = 12;
    cfg.firmware.panel.sense = {8};
    cfg.firmware.panel.fingers = 3;
    cfg.firmware.panel.noise = 3;
    // The panel rests while the untouched phase (20 frames in the run test) is measured;
    // the fingers come a few frames later, so a frame or two of slack cannot spoil it.
    cfg.firmware.panel.touch_from = 25;
    std::string err;
    ASSERT_TRUE(panel_.Start(cfg, &err)) << err;
  }
  void TearDown() override { window_.reset(); }

  test::ScratchDir scratch_;
  panelsim::ServedPanel panel_{scratch_.Path() / "devices"};
  std::unique_ptr<test::Window> window_;
};

TEST_F(SnrWindow, DiffRunPlotsThreeSeriesAndStopPrintsTheResults) {
  window_ = std::make_unique<test::Window>();
  test::Window& win = *window_;
  CSNRDialog* page = win->SnrPage();
  win->TabCtrl()->SetSelection(1);
  ASSERT_TRUE(PumpUntil([&] { return page->IsShownOnScreen(); }));
  static_cast<wxTextCtrl*>(page->FindWindow(IDC_UNTOUCHED_COUNT))->ChangeValue("20");

  COpenGLControl_SNR* plot = page->Plot();
  ASSERT_NE(plot, nullptr);
  PlotPixels last;
  int touchedPaints = 0;
  plot->SetBeforeSwap([&] {
    const wxSize size = plot->GetClientSize();
    last.width = size.x;
    last.height = size.y;
    last.rgb.assign(static_cast<size_t>(size.x * size.y * 3), 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size.x, size.y, GL_RGB, GL_UNSIGNED_BYTE, last.rgb.data());
    // Counted once timer 2 has built the plot from a frame of the touched phase.
    const std::vector<float>& v = plot->Vertices();
    if (FrameCount(win) > 40 && std::any_of(v.begin(), v.end(), [](float f) { return f != 0.0f; }))
      ++touchedPaints;
  });

  Click(win, IDC_START);
  ASSERT_TRUE(PumpUntil([&] { return FrameCount(win) > 60 && touchedPaints > 1; }, kWaitMs))
      << "frames " << FrameCount(win) << ", paints " << touchedPaints;
  const auto& first = dynamic_cast<const InstantModel&>(*win->Session().Models().at(0));
  EXPECT_EQ(plot->VertexCount(),
            static_cast<int32_t>(SnrPlotFloats(first.Width(), first.Height()) / 3));
  Click(win, IDC_STOP);
  ASSERT_TRUE(PumpUntil([&] { return win->Session().Acquisition()->Finished(); }, kWaitMs));
  test::Pump(200);

  // Series: the current frame, the noise maxima, the signal maxima.
  if (plot->HasContext()) {
    EXPECT_TRUE(last.Shows(kSnrSeriesColours[0])) << "current frame";
    EXPECT_TRUE(last.Shows(kSnrSeriesColours[1])) << "noise";
    EXPECT_TRUE(last.Shows(kSnrSeriesColours[2])) << "signal";
  }

  const char* lines[] = {"X1", "X2", "Y1", "Y2"};
  const int signals[] = {IDC_SNR_X1_SIGNAL, IDC_SNR_X2_SIGNAL, IDC_SNR_Y1_SIGNAL,
                         IDC_SNR_Y2_SIGNAL};
  const int noises[] = {IDC_SNR_X1_NOISE, IDC_SNR_X2_NOISE, IDC_SNR_Y1_NOISE, IDC_SNR_Y2_NOISE};
  const int snrs[] = {IDC_SNR_X1, IDC_SNR_X2, IDC_SNR_Y1, IDC_SNR_Y2};
  const int indexes[] = {IDC_SNR_X1_INDEX, IDC_SNR_X2_INDEX, IDC_SNR_Y1_INDEX, IDC_SNR_Y2_INDEX};
  for (int i = 0; i < 4; ++i) {
    const std::string signal = std::string(lines[i]) + " signal : [0-9]+";
    EXPECT_TRUE(Matches(page->FindWindow(signals[i])->GetLabel(), signal.c_str()))
        << page->FindWindow(signals[i])->GetLabel();
    EXPECT_TRUE(Matches(page->FindWindow(noises[i])->GetLabel(), "noise : [1-9][0-9]*"))
        << page->FindWindow(noises[i])->GetLabel();
    EXPECT_TRUE(Matches(page->FindWindow(snrs[i])->GetLabel(), "SNR : -?[0-9]+\\.[0-9]{2}"))
        << page->FindWindow(snrs[i])->GetLabel();
    EXPECT_TRUE(Matches(page->FindWindow(indexes[i])->GetLabel(), "Index:[0-9]+"))
        << page->FindWindow(indexes[i])->GetLabel();
  }

  // Frames 1 to 19 were the untouched phase.
  EXPECT_TRUE(Matches(page->NoiseCaption(),
                      "19 untouched, [0-9]+ touched frames; [0-9]+ cells? with noise 0; SNR of "
                      "[0-9]+ touched cells?"))
      << page->NoiseCaption();
  const auto rows = page->NoiseTableTexts();
  EXPECT_EQ(rows[1].label, "noise p-p");
  EXPECT_TRUE(Matches(wxString::FromUTF8(rows[1].worst), "[0-9]+")) << rows[1].worst;
  // At rest the difference data holds only the emulated noise (0 to 3 counts), so no
  // cell's untouched peak-to-peak can exceed 3: a touched frame in that phase would.
  EXPECT_LE(std::atoi(rows[1].worst.c_str()), 3) << rows[1].worst;
  EXPECT_TRUE(Matches(wxString::FromUTF8(rows[3].cell), "\\([0-9]+,[0-9]+\\)")) << rows[3].cell;

  if (const char* shot = std::getenv("PELORIN_SNR_SCREENSHOT")) SaveScreen(shot);
}

TEST_F(SnrWindow, PinsOutsideTheFrameAndTheNoiseFileOfADumpedRun) {
  window_ = std::make_unique<test::Window>();
  test::Window& win = *window_;
  CSNRDialog* page = win->SnrPage();
  auto edit = [page](int id, const char* text) {
    static_cast<wxTextCtrl*>(page->FindWindow(id))->ChangeValue(text);
  };
  edit(IDC_UNTOUCHED_COUNT, "5");
  edit(IDC_PIN_X1, "100");
  edit(IDC_PIN_Y2, "-100");
  auto* dump = static_cast<wxCheckBox*>(win->FindWindow(IDC_DUMP));
  dump->SetValue(true);
  wxCommandEvent checked(wxEVT_CHECKBOX, IDC_DUMP);
  checked.SetEventObject(dump);
  checked.SetInt(1);
  dump->GetEventHandler()->ProcessEvent(checked);

  Click(win, IDC_START);
  ASSERT_TRUE(PumpUntil([&] { return FrameCount(win) > 10; }, kWaitMs));
  Click(win, IDC_STOP);
  ASSERT_TRUE(PumpUntil([&] { return win->Session().Acquisition()->Finished(); }, kWaitMs));

  EXPECT_EQ(page->FindWindow(IDC_SNR_X1_SIGNAL)->GetLabel(), "X1 out of frame");
  EXPECT_EQ(page->FindWindow(IDC_SNR_X1)->GetLabel(), "SNR : -");
  EXPECT_EQ(page->FindWindow(IDC_SNR_Y2_SIGNAL)->GetLabel(), "Y2 out of frame");
  EXPECT_TRUE(Matches(page->FindWindow(IDC_SNR_X2_SIGNAL)->GetLabel(), "X2 signal : [0-9]+"));
  EXPECT_TRUE(Matches(page->FindWindow(IDC_SNR_Y1_INDEX)->GetLabel(), "Index:[0-9]+"));

  // The recording and its panel noise, side by side in the working directory.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(scratch_.Path()))
    names.push_back(e.path().filename().string());
  const auto recording = std::find_if(names.begin(), names.end(), [](const std::string& n) {
    return n.rfind("Pelorin_Diff", 0) == 0 && n.find("-noise") == std::string::npos &&
           n.size() > 4 && n.compare(n.size() - 4, 4, ".csv") == 0;
  });
  ASSERT_NE(recording, names.end());
  const std::string noise = PanelNoiseFileName(*recording);
  EXPECT_NE(std::find(names.begin(), names.end(), noise), names.end())
      << noise << " among " << ::testing::PrintToString(names);
}

}  // namespace
}  // namespace pelorin
