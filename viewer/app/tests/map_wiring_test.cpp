// The 3-D map inside the main window, seen in its pixels: a live run against panelsim
// and a playing recording put their frames on it, and the view-point buttons and the
// draw-style box change what it draws. Every wait is for a condition, with a time limit.
#include <GL/gl.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/stattext.h>

#include "app/pelorin_dlg.h"
#include "data/live_model.h"
#include "gui_support.h"
#include "panelsim/served_panel.h"
#include "view/map_window.h"
#include "view/mesh/colours.h"
#include "view/resource.h"
#include "view/show_dialog.h"

namespace pelorin {
namespace {

using namespace res;
namespace fs = std::filesystem;
using test::Click;
using test::PumpUntil;
using test::ScratchDir;
using test::Window;

constexpr int kWaitMs = 20000;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

// Reads back every frame the map paints, just before it is swapped to the screen.
class MapPixels {
 public:
  explicit MapPixels(COpenGLControl* map) : map_(map) {
    map_->SetBeforeSwap([this] {
      size_ = map_->GetClientSize();
      pixels_.assign(static_cast<size_t>(size_.x * size_.y * 3), 0);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, 0, size_.x, size_.y, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
      ++paints_;
    });
  }
  ~MapPixels() { map_->SetBeforeSwap(nullptr); }
  MapPixels(const MapPixels&) = delete;
  MapPixels& operator=(const MapPixels&) = delete;

  // Asks for a paint and waits until one was read back.
  bool Paint() {
    const int before = paints_;
    return PumpUntil([&] {
      if (paints_ == before) map_->Refresh(false);
      return paints_ > before;
    }, 5000);
  }

  // The pixel at a point of the overlay's field (-55..55 by -50..50).
  Rgb At(float x, float y) const {
    const int px = static_cast<int>((x + 55.0f) / 110.0f * static_cast<float>(size_.x));
    const int py = static_cast<int>((y + 50.0f) / 100.0f * static_cast<float>(size_.y));
    const size_t i = static_cast<size_t>((py * size_.x + px) * 3);
    return {pixels_[i], pixels_[i + 1], pixels_[i + 2]};
  }

  // The middle of the map, away from the legend, the zoom bar and the texts, where only
  // the mesh draws anything in the free views.
  std::vector<unsigned char> MeshArea() const {
    std::vector<unsigned char> area;
    const int x0 = size_.x * 10 / 110, x1 = size_.x * 80 / 110;
    const int y0 = size_.y * 5 / 100, y1 = size_.y * 90 / 100;
    for (int y = y0; y < y1; ++y) {
      const auto row = pixels_.begin() + (y * size_.x + x0) * 3;
      area.insert(area.end(), row, row + (x1 - x0) * 3);
    }
    return area;
  }
  // Pixels of a clear colour: the Style2 mesh, not the white axes or grey lines.
  static int Lit(const std::vector<unsigned char>& area) {
    int lit = 0;
    for (size_t i = 0; i + 2 < area.size(); i += 3) {
      const auto [lo, hi] = std::minmax({area[i], area[i + 1], area[i + 2]});
      lit += hi - lo > 60;
    }
    return lit;
  }

 private:
  COpenGLControl* map_;
  wxSize size_;
  std::vector<unsigned char> pixels_;
  int paints_ = 0;
};

COpenGLControl* MapOf(const Window& win) { return win->MapPage()->Map(); }

void ChooseDrawStyle(const Window& win, int index) {
  auto* box = static_cast<wxChoice*>(win->FindWindow(IDC_DRAW_STYLE));
  box->SetSelection(index);
  wxCommandEvent event(wxEVT_CHOICE, IDC_DRAW_STYLE);
  event.SetEventObject(box);
  event.SetInt(index);
  box->GetEventHandler()->ProcessEvent(event);
}

// A recording of one width x height source; every cell of frame f holds 60 * f + 20, so
// each frame has its own colour and height.
std::string WriteUniformRecording(const std::string& name, int frames, int width, int height) {
  std::ofstream out(name, std::ios::binary);
  out << "Pelorin\nFrameCount, " << frames << "\nWidth, " << width << "\nHeight, " << height
      << "\nType, RawData\n";
  for (int f = 0; f < frames; ++f) {
    out << "\nNo , " << f + 1 << ",          0ms, Read Error Times , 0\n";
    for (int x = 0; x < width; ++x) {
      for (int y = 0; y < height; ++y) out << 60 * f + 20 << ",";
      out << "\n";
    }
  }
  out << "\n";
  return name;
}

class MapInWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.WriteSettings(Settings());
    win_ = std::make_unique<Window>();
    // A context the server refused at creation is made again at the first paint.
    PumpUntil([this] { return MapOf(*win_)->HasContext(); }, 2000);
    if (!MapOf(*win_)->HasContext()) GTEST_SKIP() << "no GL context: nothing to look at";
    pixels_ = std::make_unique<MapPixels>(MapOf(*win_));
  }
  void TearDown() override {
    pixels_.reset();
    win_.reset();
  }
  virtual std::string Settings() const { return test::DefaultSettings(); }

  ScratchDir dir_;
  std::unique_ptr<Window> win_;
  std::unique_ptr<MapPixels> pixels_;
};

TEST_F(MapInWindow, ViewPointButtonsAndDrawStyleReachTheDrawing) {
  const Window& win = *win_;
  Click(win, IDC_DEFAULT_VIEW);
  ASSERT_TRUE(pixels_->Paint());
  const Rgb black{0, 0, 0};
  const Rgb grey{190, 190, 190};
  EXPECT_EQ(pixels_->At(-10.0f, -30.0f), black);

  // The X-axis view draws the side-view grid; Default takes it away again.
  Click(win, IDC_X_AXIS);
  ASSERT_TRUE(pixels_->Paint());
  EXPECT_EQ(pixels_->At(-10.0f, -30.0f), grey);
  Click(win, IDC_DEFAULT_VIEW);
  ASSERT_TRUE(pixels_->Paint());
  EXPECT_EQ(pixels_->At(-10.0f, -30.0f), black);

  // Style1 shows the palette bands, Style2 the blue-to-red bar at the same place.
  ChooseDrawStyle(win, 0);
  ASSERT_TRUE(pixels_->Paint());
  const PaletteRgb& band3 = kPalette[3];
  EXPECT_EQ(pixels_->At(51.0f, 2.0f * 3 - 49.0f), (Rgb{band3.r, band3.g, band3.b}));
  ChooseDrawStyle(win, 1);
  EXPECT_EQ(win->Session().Settings().drawStyle, 1);
  ASSERT_TRUE(pixels_->Paint());
  const Rgb bottom = pixels_->At(51.0f, -49.5f);
  EXPECT_TRUE(bottom.r < 20 && bottom.g < 20 && bottom.b > 230)
      << bottom.r << ", " << bottom.g << ", " << bottom.b;
}

TEST_F(MapInWindow, ViewPointButtonsTurnTheMeshAndDropTheZoom) {
  const Window& win = *win_;
  ChooseDrawStyle(win, 1);
  ASSERT_TRUE(win->Session().Load(WriteUniformRecording("one.csv", 1, 12, 16)));
  COpenGLControl* map = MapOf(win);
  Click(win, IDC_DEFAULT_VIEW);
  ASSERT_TRUE(pixels_->Paint());
  const std::vector<unsigned char> defaultView = pixels_->MeshArea();
  EXPECT_GT(MapPixels::Lit(defaultView), 500);

  map->PushZoom(45.0f, 45.0f, 1.2f);
  Click(win, IDC_Z_AXIS);
  EXPECT_FLOAT_EQ(map->TotalScale(), 1.0f);
  ASSERT_TRUE(pixels_->Paint());
  const std::vector<unsigned char> topView = pixels_->MeshArea();
  EXPECT_GT(MapPixels::Lit(topView), 500);
  EXPECT_NE(topView, defaultView);
}

TEST_F(MapInWindow, PlayingARecordingChangesTheMapFromFrameToFrame) {
  const Window& win = *win_;
  ChooseDrawStyle(win, 1);
  Click(win, IDC_DEFAULT_VIEW);
  ASSERT_TRUE(win->Session().Load(WriteUniformRecording("three.csv", 3, 10, 14)));
  ASSERT_TRUE(pixels_->Paint());
  const std::vector<unsigned char> first = pixels_->MeshArea();
  EXPECT_GT(MapPixels::Lit(first), 500);

  std::vector<int32_t> shown;
  win->Session().SetFrameShownHandler([&shown](int32_t i) { shown.push_back(i); });
  win->Session().SetPlaybackStepTime(std::chrono::milliseconds(1));
  Click(win, IDC_PLAY);
  ASSERT_TRUE(PumpUntil([&] {
    return win->Session().Mode() == RunMode::Paused && win->FindWindow(IDC_START)->IsEnabled() &&
           !win->FindWindow(IDC_PAUSE)->IsEnabled();
  }, kWaitMs));
  EXPECT_EQ(shown.back(), 2);
  ASSERT_TRUE(pixels_->Paint());
  const std::vector<unsigned char> last = pixels_->MeshArea();
  EXPECT_GT(MapPixels::Lit(last), 500);
  EXPECT_NE(last, first);
  // The last frame's cells are all 140: its mesh is drawn in 140's colour.
  const ValueColour c = ColourOf(140, 0, 250, kPaletteBandWidth, kPaletteLastIndex);
  const auto colours = MapOf(win)->Mesh().Colours();
  EXPECT_FLOAT_EQ(colours[0], c.colour.r);
  EXPECT_FLOAT_EQ(colours[1], c.colour.g);
  EXPECT_FLOAT_EQ(colours[2], c.colour.b);
}

TEST(MapRectInPage, CutsTheMapAreaToThePage) {
  EXPECT_EQ(MapRectInPage({12, 12, 1059, 831}, {950, 780}), (wxRect{12, 12, 938, 768}));
  EXPECT_EQ(MapRectInPage({12, 12, 500, 400}, {950, 780}), (wxRect{12, 12, 500, 400}));
  EXPECT_FALSE(MapRectInPage({12, 12, 500, 400}, {0, 0}));
  EXPECT_FALSE(MapRectInPage({960, 12, 500, 400}, {950, 780}));
}

TEST_F(MapInWindow, TheWholeMapLiesOnItsPage) {
  test::Pump();
  const CShowDialog* page = (*win_)->MapPage();
  const wxRect map = MapOf(*win_)->GetRect();
  EXPECT_TRUE(wxRect(wxPoint(0, 0), page->GetClientSize()).Contains(map))
      << map.x << "," << map.y << " " << map.width << "x" << map.height << " on "
      << page->GetClientSize().x << "x" << page->GetClientSize().y;
  EXPECT_EQ(map.GetTopLeft(), page->MapArea()->GetRect().GetTopLeft());
  EXPECT_GT(map.width, page->GetClientSize().x / 2);
}

// The emulated panel, served in the scratch folder for the window's library.
class LiveMap : public MapInWindow {
 protected:
  void SetUp() override {
    std::string err;
    ASSERT_TRUE(panel_.Start(panelsim::ServedPanel::SmallCascade(), &err)) << err;
    MapInWindow::SetUp();
  }
  std::string Settings() const override {
    return test::Replace(test::DefaultSettings(), "DELAY_BEFORE_ENABLE_DIGNOSIS=10",
                         "DELAY_BEFORE_ENABLE_DIGNOSIS=0");
  }

  panelsim::ServedPanel panel_{dir_.Path() / "devices"};
};

TEST_F(LiveMap, StartPutsThePanelOnTheMap) {
  const Window& win = *win_;
  ChooseDrawStyle(win, 1);
  Click(win, IDC_DEFAULT_VIEW);
  ASSERT_TRUE(pixels_->Paint());
  EXPECT_EQ(MapPixels::Lit(pixels_->MeshArea()), 0);

  Click(win, IDC_START);
  const auto& first = dynamic_cast<const InstantModel&>(*win->Session().Models().at(0));
  // 8 drive lines by 3 x 6 sense lines: 7 x 17 squares of 6 vertices.
  EXPECT_EQ(MapOf(win)->Mesh().VertexCount(), 7 * 17 * 6);
  EXPECT_EQ(win->SnrPlotFloatCount(), 0u);  // a Base first source has no SNR plot
  // A few frames and the map timer's rebuilds later, the surface is drawn.
  ASSERT_TRUE(PumpUntil([&] { return first.GetFrameCounter() >= 3; }, kWaitMs));
  ASSERT_TRUE(PumpUntil([&] {
    return pixels_->Paint() && MapPixels::Lit(pixels_->MeshArea()) > 500;
  }, kWaitMs)) << MapPixels::Lit(pixels_->MeshArea()) << " mesh pixels";

  Click(win, IDC_STOP);
  ASSERT_TRUE(PumpUntil([&] { return win->Session().Acquisition()->Finished(); }, kWaitMs));
}

}  // namespace
}  // namespace pelorin
