// The main window when the X server refuses its GL contexts: with every context refused
// the map says why in its area and a live run against panelsim still records and stops;
// with only the first refused, the map gets its context at the first paint.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>

#include "app/pelorin_dlg.h"
#include "data/live_model.h"
#include "gui_support.h"
#include "panelsim/served_panel.h"
#include "view/map_window.h"
#include "view/resource.h"
#include "view/show_dialog.h"
#include "view/snr_dialog.h"
#include "view/snr_plot.h"

namespace pelorin {
namespace {

using namespace res;
namespace fs = std::filesystem;
using test::Click;
using test::FrameCount;
using test::PumpUntil;
using test::Window;

constexpr int kWaitMs = 20000;

COpenGLControl* MapOf(const Window& win) { return win->MapPage()->Map(); }

// Light pixels of the window's area as it is on the screen: the words of a window that
// has no GL context are white on black.
int LightPixels(wxWindow* window) {
  const wxSize size = window->GetClientSize();
  const wxPoint at = window->GetScreenPosition();
  wxBitmap shot(size);
  {
    wxScreenDC screen;
    wxMemoryDC mem(shot);
    mem.Blit(0, 0, size.x, size.y, &screen, at.x, at.y);
  }
  const wxImage image = shot.ConvertToImage();
  int light = 0;
  for (int y = 0; y < size.y; ++y) {
    for (int x = 0; x < size.x; ++x) {
      if (image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y) > 600) ++light;
    }
  }
  return light;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// What the program writes to standard error while the object lives, kept in a file.
class StandardErrorInFile {
 public:
  explicit StandardErrorInFile(fs::path file) : file_(std::move(file)) {
    std::fflush(stderr);
    saved_ = dup(2);
    const int fd = open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    close(fd);
  }
  ~StandardErrorInFile() { Restore(); }
  StandardErrorInFile(const StandardErrorInFile&) = delete;
  StandardErrorInFile& operator=(const StandardErrorInFile&) = delete;

  // Puts standard error back and returns what was written meanwhile.
  std::string Restore() {
    if (saved_ >= 0) {
      std::fflush(stderr);
      dup2(saved_, 2);
      close(saved_);
      saved_ = -1;
    }
    return ReadFile(file_);
  }

 private:
  fs::path file_;
  int saved_ = -1;
};

class GlFaultWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = test::Replace(test::DefaultSettings(), "DELAY_BEFORE_ENABLE_DIGNOSIS=10",
                              "DELAY_BEFORE_ENABLE_DIGNOSIS=0");
  }
  void TearDown() override {
    window_.reset();
    unsetenv("PELORIN_GL_FAULT");
  }

  // The fault holds from before the window's contexts are made until the test ends, so
  // that the second attempt at the first paint meets it too.
  Window& Open(const char* fault) {
    setenv("PELORIN_GL_FAULT", fault, 1);
    scratch_.WriteSettings(settings_);
    window_ = std::make_unique<Window>();
    return *window_;
  }

  test::ScratchDir scratch_;
  std::string settings_;
  panelsim::ServedPanel panel_{scratch_.Path() / "devices"};
  std::unique_ptr<Window> window_;
};

TEST_F(GlFaultWindow, EveryContextRefusedTheMapSaysWhyAndARunStillRecords) {
  std::string err;
  ASSERT_TRUE(panel_.Start(panelsim::ServedPanel::SmallCascade(), &err)) << err;
  Window& win = Open("refuse");
  COpenGLControl* map = MapOf(win);
  ASSERT_NE(map, nullptr);

  // The map paints the reason in its area, once the second attempt has failed too.
  ASSERT_TRUE(PumpUntil(
      [&] {
        map->Refresh(false);
        map->Update();
        return LightPixels(map) > 100;
      },
      kWaitMs))
      << "the map area shows no text";
  EXPECT_FALSE(map->HasContext());
  EXPECT_NE(map->GlFailure().find("the X server refused the GL context ("), std::string::npos)
      << map->GlFailure();
  EXPECT_EQ(GlUnavailableText(map->GlFailure()).rfind("OpenGL is not available: ", 0), 0u);

  auto* dump = static_cast<wxCheckBox*>(win->FindWindow(IDC_DUMP));
  dump->SetValue(true);
  wxCommandEvent checked(wxEVT_CHECKBOX, IDC_DUMP);
  checked.SetEventObject(dump);
  checked.SetInt(1);
  dump->GetEventHandler()->ProcessEvent(checked);
  ASSERT_TRUE(win->Session().Settings().dumpEnabled);

  Click(win, IDC_START);
  ASSERT_TRUE(PumpUntil([&] { return FrameCount(win) >= 5; }, kWaitMs))
      << "frames " << FrameCount(win);
  Click(win, IDC_STOP);
  ASSERT_TRUE(PumpUntil([&] { return win->Session().Acquisition()->Finished(); }, kWaitMs));
  const int32_t frames = FrameCount(win);

  const std::vector<fs::path> files = test::Recordings(scratch_.Path());
  ASSERT_EQ(files.size(), 1u);
  const std::string text = ReadFile(files[0]);
  std::string count = std::to_string(frames);
  count.resize(10, ' ');  // the count line keeps the fixed width it is rewritten in
  EXPECT_EQ(text.rfind("Pelorin\nFrameCount, " + count + "\n", 0), 0u)
      << text.substr(0, 40);
  size_t blocks = 0;
  for (size_t at = text.find("\nNo , "); at != std::string::npos; at = text.find("\nNo , ", at + 1))
    ++blocks;
  EXPECT_EQ(blocks, static_cast<size_t>(frames));

  win.Close();
  EXPECT_TRUE(win->Session().Closed());
}

TEST_F(GlFaultWindow, RefusedOnceTheMapHasItsContextAfterTheFirstPaint) {
  StandardErrorInFile said(scratch_.Path() / "stderr.txt");
  Window& win = Open("refuse-once");
  const std::string err = said.Restore();
  COpenGLControl* map = MapOf(win);
  ASSERT_NE(map, nullptr);
  // The map's context is made first and takes the one refusal; the SNR plot's, made
  // next, is accepted at once. Without that one there is no GL here at all.
  const COpenGLControl_SNR* plot = win->SnrPage()->Plot();
  ASSERT_NE(plot, nullptr);
  if (!plot->HasContext()) GTEST_SKIP() << "no GL context can be had on this display";
  EXPECT_NE(err.find("; trying once more when the window is shown"), std::string::npos) << err;

  int swaps = 0;
  map->SetBeforeSwap([&swaps] { ++swaps; });
  EXPECT_TRUE(PumpUntil(
      [&] {
        map->Refresh(false);
        map->Update();
        return swaps > 0;
      },
      kWaitMs))
      << GlUnavailableText(map->GlFailure());
  map->SetBeforeSwap(nullptr);
  EXPECT_TRUE(map->HasContext());
  EXPECT_TRUE(map->GlFailure().empty()) << map->GlFailure();
}

}  // namespace
}  // namespace pelorin
