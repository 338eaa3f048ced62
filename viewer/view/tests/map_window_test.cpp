// The map window on a real GL context (Mesa under Xvfb): colours at known screen points,
// the zoom picking, the keyboard, and a window without a context.
#include <GL/glu.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "view/gl_text.h"
#include "view/map_picture.h"
#include "view/map_window.h"
#include "view/mesh/levels.h"
#include "view/mesh/mesh_rebuild.h"

namespace pelorin {
namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

struct Rgb {
  int r, g, b;
};

// One live source whose current frame is `cells` (width x height).
class OneSource : public MeshSources {
 public:
  OneSource(int32_t w, int32_t h, int32_t value, int32_t lo, int32_t hi)
      : w_(w), h_(h), lo_(lo), hi_(hi), cells_(static_cast<size_t>(w * h), value) {}
  SourceKind Kind() const override { return SourceKind::Live; }
  int32_t Count() const override { return 1; }
  bool Visible(int32_t) const override { return true; }
  int32_t Width(int32_t) const override { return w_; }
  int32_t Height(int32_t) const override { return h_; }
  int32_t SourceTypeOf(int32_t) const override { return 3; }
  bool Frame(int32_t, MeshFrame& frame) const override {
    frame.width = w_;
    frame.height = h_;
    frame.cells = cells_.data();
    frame.average = static_cast<float>(cells_[0]);
    frame.rangeMin = lo_;
    frame.rangeMax = hi_;
    return true;
  }
  int32_t& Cell(int32_t x, int32_t y) { return cells_[static_cast<size_t>(x * h_ + y)]; }

 private:
  int32_t w_, h_, lo_, hi_;
  std::vector<int32_t> cells_;
};

class NoSnrPlot : public SnrPlotTarget {
 public:
  void SizeSnrPlot(size_t) override {}
};

// A map window whose context cannot be made.
class NoContextMap : public COpenGLControl {
 public:
  NoContextMap(wxWindow* parent, MapViewState& view, MapDataState& data)
      : COpenGLControl(parent, wxRect(0, 0, 200, 200), view, data) {}
  bool CreateDevice() override { return false; }
};

class MapWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    frame_ = new wxFrame(nullptr, wxID_ANY, "map", wxPoint(0, 0), wxSize(kWidth, kHeight),
                         wxBORDER_NONE);
    retriesBefore_ = GlContextRetries();
    map_ = COpenGLControl::CreateGLWindow(wxRect(0, 0, kWidth, kHeight), frame_, view_, data_);
    map_->SetBeforeSwap([this] {
      pixels_.assign(static_cast<size_t>(kWidth * kHeight * 3), 0);
      glPixelStorei(GL_PACK_ALIGNMENT, 1);
      glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
      ++paints_;
    });
    frame_->Show();
    map_->SetRange(250, 0);
    map_->Orientation() = PresetOrientation(ViewPoint::Default);
  }
  void TearDown() override {
    // Gone now, not at the next idle time: the map draws from the fixture's state.
    delete frame_;
  }

  // Paints once and waits (at most 5 s) until the frame was read back.
  void Render() {
    const int before = paints_;
    map_->Refresh(false);
    map_->Update();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (paints_ == before && std::chrono::steady_clock::now() < end) {
      wxYield();
      wxMilliSleep(5);
      if (paints_ == before) map_->Refresh(false);
    }
    ASSERT_GT(paints_, before) << "the map was not painted";
  }

  // Pixel at window coordinates, origin bottom left.
  Rgb At(int x, int y) const {
    const size_t i = static_cast<size_t>((y * kWidth + x) * 3);
    return {pixels_[i], pixels_[i + 1], pixels_[i + 2]};
  }
  // Pixel at a point of the overlay's field (-55..55 by -50..50).
  Rgb AtOverlay(float x, float y) const {
    return At(static_cast<int>((x + 55.0f) / 110.0f * kWidth),
              static_cast<int>((y + 50.0f) / 100.0f * kHeight));
  }

  void LoadFlatFrame(int32_t value, DrawStyle style) {
    OneSource source(16, 32, value, 0, 250);
    NoSnrPlot snr;
    map_->SizeMesh(source, &snr);
    map_->SetDrawStyle(style);
    map_->Rebuild(source);
    map_->SetAverageValue(static_cast<float>(value));
  }

  // Window point of a field point under the last pass's matrices.
  bool Project(float x, float y, float z, double& wx, double& wy) const {
    const auto& pass = map_->LastPass();
    double wz = 0;
    return gluProject(x, y, z, pass.modelview.data(), pass.projection.data(),
                      pass.viewport.data(), &wx, &wy, &wz) == GL_TRUE;
  }

  MapViewState view_;
  MapDataState data_;
  wxFrame* frame_ = nullptr;
  COpenGLControl* map_ = nullptr;
  std::vector<unsigned char> pixels_;
  int paints_ = 0;
  int retriesBefore_ = 0;
};

bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

::testing::AssertionResult Is(Rgb got, Rgb want, int tolerance = 0) {
  if (Near(got, want, tolerance)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b
                                       << "), want (" << want.r << ", " << want.g << ", "
                                       << want.b << ")";
}

TEST_F(MapWindowTest, Style1LegendShowsThePaletteBands) {
  map_->SetDrawStyle(DrawStyle::Style1);
  Render();
  // After the first paint: a context refused at creation is made again there.
  ASSERT_TRUE(map_->HasContext());
  // Asked for once the window is realized, and direct: the server has no reason to
  // refuse it, so the fallback is not needed (it was, every time, for an indirect one).
  EXPECT_EQ(GlContextRetries(), retriesBefore_);
  for (const int i : {0, 1, 3, 9, 24, 25, 37, 49}) {
    const PaletteRgb& c = kPalette[static_cast<size_t>(i)];
    EXPECT_TRUE(Is(AtOverlay(51.0f, 2.0f * i - 49.0f), {c.r, c.g, c.b})) << "band " << i;
  }
}

TEST_F(MapWindowTest, Style2LegendRunsFromBlueToRed) {
  map_->SetDrawStyle(DrawStyle::Style2);
  Render();
  // The bar lies at x = 50..52 on a 1280-pixel screen.
  EXPECT_TRUE(Is(AtOverlay(51.0f, 49.5f), {255, 0, 0}, 12));
  EXPECT_TRUE(Is(AtOverlay(51.0f, 25.0f), {255, 255, 0}, 12));
  EXPECT_TRUE(Is(AtOverlay(51.0f, 0.0f), {0, 255, 0}, 12));
  EXPECT_TRUE(Is(AtOverlay(51.0f, -25.0f), {0, 255, 255}, 12));
  EXPECT_TRUE(Is(AtOverlay(51.0f, -49.5f), {0, 0, 255}, 12));
  EXPECT_TRUE(Is(AtOverlay(51.0f, 37.5f), {255, 128, 0}, 12));  // between yellow and red
}

TEST_F(MapWindowTest, AMeshVertexShowsItsColourInEveryViewPoint) {
  LoadFlatFrame(200, DrawStyle::Style2);
  const auto colours = map_->Mesh().Colours();
  const Rgb want{static_cast<int>(colours[0] * 255.0f + 0.5f),
                 static_cast<int>(colours[1] * 255.0f + 0.5f),
                 static_cast<int>(colours[2] * 255.0f + 0.5f)};
  const float height = HeightOf(200, 0, 250);
  for (const ViewPoint vp :
       {ViewPoint::Default, ViewPoint::XAxis, ViewPoint::YAxis, ViewPoint::ZAxis}) {
    map_->Orientation() = PresetOrientation(vp);
    Render();
    // A vertex inside the field: corner (8, 16) of the 16 x 32 frame at (40, 40).
    double wx = 0, wy = 0;
    ASSERT_TRUE(Project(40.0f, 40.0f, height, wx, wy));
    ASSERT_TRUE(wx >= 2 && wx < kWidth - 2 && wy >= 2 && wy < kHeight - 2)
        << "view point " << static_cast<int>(vp) << " puts the vertex off the window";
    bool found = false;
    for (int dy = -2; dy <= 2 && !found; ++dy)
      for (int dx = -2; dx <= 2 && !found; ++dx)
        found = Near(At(static_cast<int>(wx) + dx, static_cast<int>(wy) + dy), want, 8);
    EXPECT_TRUE(found) << "view point " << static_cast<int>(vp);
  }
}

// Drawing each shared edge once must give the picture of the triangles drawn as lines,
// in the live paint (over the black depth fill) and in the second pass.
TEST_F(MapWindowTest, EachEdgeOnceDrawsTheTrianglesOutlines) {
  OneSource source(16, 32, 0, 0, 250);
  for (int32_t x = 0; x < 16; ++x)
    for (int32_t y = 0; y < 32; ++y) source.Cell(x, y) = 30 + 9 * x + (y - 16) * (y - 16) / 3;
  NoSnrPlot snr;
  map_->SetDrawStyle(DrawStyle::Style2);
  for (const bool secondPass : {false, true}) {
    data_.showSecondPass = secondPass;
    map_->SizeMesh(source, &snr);
    map_->Rebuild(source);
    Render();
    const std::vector<unsigned char> edges = pixels_;
    map_->Mesh().SetGrids({});  // arrays without their grids: the triangles in line mode
    Render();
    size_t lit = 0, differing = 0;
    for (size_t i = 0; i < pixels_.size(); i += 3) {
      if (pixels_[i] | pixels_[i + 1] | pixels_[i + 2]) ++lit;
      if (!std::equal(&pixels_[i], &pixels_[i] + 3, &edges[i])) ++differing;
    }
    EXPECT_GT(lit, 20000u) << "second pass " << secondPass;
    // Lines ending on the same vertex may settle a depth tie the other way.
    EXPECT_LE(differing, lit / 2000) << "second pass " << secondPass;
  }
}

TEST_F(MapWindowTest, SideViewGridOnlyAtRotXMinus90) {
  const Rgb grey{190, 190, 190};
  map_->Orientation() = PresetOrientation(ViewPoint::XAxis);
  Render();
  EXPECT_TRUE(Is(AtOverlay(-10.0f, -30.0f), grey));
  EXPECT_TRUE(Is(AtOverlay(0.0f, 46.0f), grey));

  map_->Orientation().rotX = -89.75;  // after a right-button drag
  Render();
  EXPECT_TRUE(Is(AtOverlay(-10.0f, -30.0f), {0, 0, 0}));

  map_->Orientation() = PresetOrientation(ViewPoint::Default);
  map_->Orientation().rotX = -90.0;
  Render();
  EXPECT_TRUE(Is(AtOverlay(-10.0f, -30.0f), {0, 0, 0}));
}

// The widest white run in a row of the area [x0, x1) x [y0, y1) (window pixels).
int WidestWhiteRun(const std::vector<unsigned char>& px, int x0, int x1, int y0, int y1) {
  int widest = 0;
  for (int y = y0; y < y1; ++y) {
    int run = 0;
    for (int x = x0; x < x1; ++x) {
      const size_t i = static_cast<size_t>((y * kWidth + x) * 3);
      const bool white = px[i] > 200 && px[i + 1] > 200 && px[i + 2] > 200;
      run = white ? run + 1 : 0;
      widest = std::max(widest, run);
    }
  }
  return widest;
}

int WidestInkRun(const GlyphBitmap& g) {
  int widest = 0;
  for (int row = 0; row < g.height; ++row) {
    int run = 0;
    for (int x = 0; x < g.width; ++x) {
      run = g.Bit(x, row) ? run + 1 : 0;
      widest = std::max(widest, run);
    }
  }
  return widest;
}

TEST_F(MapWindowTest, ThePlusOfTheZoomIndicatorUsesTheLargeFace) {
  Render();
  // "+" sits at (-52.5, 47.4): from x pixel 29, rising from y pixel 997.
  const int plus = WidestWhiteRun(pixels_, 20, 80, 990, kHeight);
  // Its crossbar is wider than the crossbar of the label font's "+".
  EXPECT_GT(plus, WidestInkRun(RasteriseGlyph(NormalLabelFont(), '+')));
}

TEST_F(MapWindowTest, AZoomStepOnTheSurfaceHitsAndOffItMisses) {
  LoadFlatFrame(125, DrawStyle::Style2);
  Render();
  double wx = 0, wy = 0;
  ASSERT_TRUE(Project(30.0f, 50.0f, RefLevel(125, 0, 250), wx, wy));
  MapCamera& camera = map_->Camera();
  camera.RequestZoom(static_cast<float>(wx), static_cast<float>(kHeight - wy), true);
  Render();
  EXPECT_TRUE(camera.lastPickHit);
  EXPECT_FALSE(camera.zoomPending);
  EXPECT_NEAR(camera.zoomCentreX, 30.0f, 1.0f);
  EXPECT_NEAR(camera.zoomCentreY, 50.0f, 1.0f);
  EXPECT_FLOAT_EQ(camera.TotalScale(), 1.01f);

  // The window's corner shows no surface: the step misses, freezes the zoom made by the
  // hit and zooms about (45, 45).
  camera.RequestZoom(3.0f, 3.0f, true);
  Render();
  EXPECT_FALSE(camera.lastPickHit);
  EXPECT_FLOAT_EQ(camera.zoomCentreX, 45.0f);
  EXPECT_EQ(camera.zoomStackScale.size(), 1u);

  // With mouse zoom off there is no picking: a miss.
  map_->AllocateMesh(map_->Mesh().FloatCount());
  map_->SetMouseZoom(false);
  camera.RequestZoom(static_cast<float>(wx), static_cast<float>(kHeight - wy), true);
  Render();
  EXPECT_FALSE(camera.lastPickHit);
}

TEST_F(MapWindowTest, KeysReachTheTableAndOthersPassOn) {
  auto press = [this](int code) {
    wxKeyEvent key(wxEVT_KEY_DOWN);
    key.m_keyCode = code;
    key.SetEventObject(map_);
    map_->GetEventHandler()->ProcessEvent(key);
    return !key.GetSkipped();
  };
  map_->Orientation() = MapOrientation{};
  EXPECT_TRUE(press(WXK_DOWN));
  EXPECT_EQ(map_->Orientation().rotX, 359.0);
  EXPECT_FALSE(press('S'));  // the main window's key: passed on
  EXPECT_FALSE(map_->Camera().zoomPending);
  EXPECT_TRUE(press(WXK_NUMPAD9));
  EXPECT_TRUE(map_->Camera().zoomInRequested);
  // The keyboard's step lies outside the window: a miss about (45, 45).
  Render();
  EXPECT_FALSE(map_->Camera().lastPickHit);
  EXPECT_FLOAT_EQ(map_->Camera().zoomCentreX, 45.0f);
  EXPECT_TRUE(press(WXK_F9));
  EXPECT_EQ(map_->Orientation().viewPoint, 1);
  EXPECT_FALSE(press(WXK_F12));
}

// "Save picture" keeps what the window shows: the read-back picture, top row first,
// matches the painted frame, and the PNG holds it.
TEST_F(MapWindowTest, SavedPictureIsWhatTheMapShows) {
  ASSERT_TRUE(map_->HasContext());
  LoadFlatFrame(200, DrawStyle::Style2);
  Render();
  const RgbImage picture = ReadMapPicture(*map_);
  ASSERT_EQ(picture.width, kWidth);
  ASSERT_EQ(picture.height, kHeight);
  for (const auto& [x, y] : {std::pair{10, 10}, {kWidth / 2, kHeight / 2}, {1240, 1000}, {1240, 20}}) {
    const uint8_t* p = picture.At(x, kHeight - 1 - y);
    EXPECT_TRUE(Is({p[0], p[1], p[2]}, At(x, y))) << x << ", " << y;
  }
  const std::string path = testing::TempDir() + "pelorin_map_picture.png";
  std::string error;
  ASSERT_TRUE(SaveMapPicture(*map_, path, &error)) << error;
  png_image back{};
  back.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&back, path.c_str()));
  EXPECT_EQ(back.width, static_cast<png_uint_32>(kWidth));
  png_image_free(&back);
  std::remove(path.c_str());
}

// The right button as the user presses it at `from` and lets go at `to`.
void RightClick(COpenGLControl& map, wxPoint from, wxPoint to) {
  for (const auto& [type, at] : {std::pair{wxEVT_RIGHT_DOWN, from}, {wxEVT_RIGHT_UP, to}}) {
    wxMouseEvent event(type);
    event.SetPosition(at);
    event.SetEventObject(&map);
    map.GetEventHandler()->ProcessEvent(event);
  }
}

// A right click that does not drag offers "Save picture", which writes the map at its
// window's size to the file the user names; a right drag (it turns the map) offers no
// menu. The menu, the save dialog and an error box are answered here instead of shown.
TEST_F(MapWindowTest, RightClickSavesThePictureThroughTheMenu) {
  map_->Refresh(false);
  map_->Update();
  wxYield();
  if (!map_->HasContext())
    GTEST_SKIP() << "no GL context on this display: " << GlUnavailableText(map_->GlFailure());
  LoadFlatFrame(200, DrawStyle::Style2);
  Render();

  std::vector<wxString> offered;
  std::vector<std::string> errors;
  const std::string path = testing::TempDir() + "pelorin_map_menu.png";
  std::remove(path.c_str());
  SavePictureUi ui;
  ui.pick = [&](COpenGLControl&, wxMenu& menu, const wxPoint&) {
    for (const wxMenuItem* item : menu.GetMenuItems()) offered.push_back(item->GetItemLabelText());
    return menu.FindItem("Save picture");
  };
  ui.askPath = [&](COpenGLControl&) { return wxString::FromUTF8(path); };
  ui.showError = [&](COpenGLControl&, const std::string& error) { errors.push_back(error); };
  const SavePictureUi previous = SetSavePictureUi(ui);

  RightClick(*map_, {600, 500}, {640, 500});
  EXPECT_TRUE(offered.empty()) << "a drag opened the menu";
  RightClick(*map_, {600, 500}, {602, 501});
  SetSavePictureUi(previous);

  EXPECT_EQ(offered, std::vector<wxString>{"Save picture"});
  EXPECT_TRUE(errors.empty()) << errors.front();
  png_image back{};
  back.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&back, path.c_str())) << path;
  EXPECT_EQ(back.width, static_cast<png_uint_32>(kWidth));
  EXPECT_EQ(back.height, static_cast<png_uint_32>(kHeight));
  png_image_free(&back);
  std::remove(path.c_str());
}

TEST(MapWindowNoContext, PaintsWithoutCrashing) {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "map", wxPoint(0, 0), wxSize(200, 200));
  MapViewState view;
  MapDataState data;
  auto* map = new NoContextMap(frame, view, data);
  int painted = 0;
  map->SetBeforeSwap([&painted] { ++painted; });
  frame->Show();
  map->AllocateMesh(18);
  for (int i = 0; i < 20; ++i) {
    map->Refresh(false);
    map->Update();
    wxYield();
    wxMilliSleep(5);
  }
  EXPECT_FALSE(map->HasContext());
  EXPECT_EQ(painted, 0);
  delete frame;
}

TEST(MapWindowWithoutGl, TheSwitchLeavesTheRealWindowWithoutAContext) {
  setenv("PELORIN_NO_GL", "1", 1);
  auto* frame = new wxFrame(nullptr, wxID_ANY, "no gl", wxPoint(0, 0), wxSize(300, 300));
  MapViewState view;
  MapDataState data;
  COpenGLControl* map = COpenGLControl::CreateGLWindow(wxRect(0, 0, 200, 200), frame, view, data);
  unsetenv("PELORIN_NO_GL");
  int painted = 0;
  map->SetBeforeSwap([&painted] { ++painted; });
  frame->Show();
  map->Refresh(false);
  map->Update();
  wxYield();
  EXPECT_FALSE(map->HasContext());
  EXPECT_EQ(painted, 0);
  delete frame;
}

TEST(GlText, GlyphsHaveInkBlanksKeepTheirAdvance) {
  const GlyphBitmap a = RasteriseGlyph(NormalLabelFont(), 'A');
  ASSERT_GT(a.width, 1);
  bool ink = false;
  for (int row = 0; row < a.height; ++row)
    for (int x = 0; x < a.width; ++x) ink = ink || a.Bit(x, row);
  EXPECT_TRUE(ink);
  EXPECT_EQ(a.rows.size(), static_cast<size_t>((a.width + 7) / 8 * a.height));

  const GlyphBitmap space = RasteriseGlyph(NormalLabelFont(), ' ');
  EXPECT_EQ(space.width, 1);
  EXPECT_EQ(space.rows, std::vector<uint8_t>{0});
  EXPECT_GT(space.advance, 0);
  EXPECT_EQ(RasteriseGlyph(NormalLabelFont(), '\n').advance, 0);

  EXPECT_GT(WidestInkRun(RasteriseGlyph(LargeLabelFont(), '+')),
            WidestInkRun(RasteriseGlyph(NormalLabelFont(), '+')));
}

}  // namespace
}  // namespace pelorin
