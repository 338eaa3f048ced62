// A GL context the X server refuses: the trap that keeps the X error from ending the
// program, and the map window that then says why it shows no map.
#include <stdlib.h>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include "view/map_window.h"
#include "view/x_error_trap.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>

namespace pelorin {
namespace {

Display* TheDisplay() { return wxGetX11Display(); }

int KeepGoing(Display*, XErrorEvent*) { return 0; }

TEST(XErrorTrap, CatchesTheRefusalAndPutsTheHandlerBack) {
  const XErrorHandler outer = XSetErrorHandler(&KeepGoing);
  {
    XErrorTrap trap(TheDisplay());
    trap.Provoke();
    EXPECT_TRUE(trap.Finish());
    EXPECT_TRUE(trap.Caught());
    EXPECT_NE(trap.Description().find("BadPixmap"), std::string::npos) << trap.Description();
    EXPECT_NE(trap.Description().find("on request 54.0"), std::string::npos)  // FreePixmap
        << trap.Description();
  }
  EXPECT_EQ(XSetErrorHandler(outer), &KeepGoing);

  // A quiet stretch catches nothing, and a second trap starts clean.
  XErrorTrap quiet(TheDisplay());
  XFlush(TheDisplay());
  EXPECT_FALSE(quiet.Finish());
  EXPECT_TRUE(quiet.Description().empty());
}

TEST(XErrorTrap, WithoutADisplayItDoesNothing) {
  XErrorTrap trap(nullptr);
  trap.Provoke();
  EXPECT_FALSE(trap.Finish());
}

class GlRefusal : public testing::Test {
 protected:
  void TearDown() override {
    unsetenv("PELORIN_GL_FAULT");
    delete frame_;
  }
  COpenGLControl* MakeMap(const char* fault) {
    frame_ =
        new wxFrame(nullptr, wxID_ANY, "refused", wxPoint(0, 0), wxSize(400, 300), wxBORDER_NONE);
    setenv("PELORIN_GL_FAULT", fault, 1);
    map_ = COpenGLControl::CreateGLWindow(wxRect(0, 0, 400, 300), frame_, view_, data_);
    map_->SetBeforeSwap([this] { ++swaps_; });
    frame_->Show();
    for (int i = 0; i < 10; ++i) {
      map_->Refresh(false);
      map_->Update();
      wxYield();
      wxMilliSleep(5);
    }
    // The second attempt is made at the first paint: the fault lasts until then.
    unsetenv("PELORIN_GL_FAULT");
    return map_;
  }
  // How many pixels of the map's area on screen are light and how many are not black.
  void Count(int& light, int& other) {
    light = other = 0;
    const wxSize size = map_->GetClientSize();
    const wxPoint at = map_->GetScreenPosition();
    wxBitmap shot(size);
    {
      wxScreenDC screen;
      wxMemoryDC mem(shot);
      mem.Blit(0, 0, size.x, size.y, &screen, at.x, at.y);
    }
    const wxImage image = shot.ConvertToImage();
    for (int y = 0; y < size.y; ++y) {
      for (int x = 0; x < size.x; ++x) {
        const int sum = image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y);
        if (sum > 600)
          ++light;
        else if (sum > 60)
          ++other;
      }
    }
  }

  MapViewState view_;
  MapDataState data_;
  wxFrame* frame_ = nullptr;
  COpenGLControl* map_ = nullptr;
  int swaps_ = 0;
};

TEST_F(GlRefusal, RefusedTwiceTheMapSaysWhyAndDrawsNoGl) {
  COpenGLControl* map = MakeMap("refuse");
  EXPECT_FALSE(map->HasContext());
  EXPECT_NE(map->GlFailure().find("the X server refused the GL context (BadPixmap"),
            std::string::npos)
      << map->GlFailure();
  EXPECT_EQ(swaps_, 0);
  // White text on black: some light pixels (the words), most of the area black.
  int light = 0, other = 0;
  Count(light, other);
  EXPECT_GT(light, 100);
  EXPECT_LT(light + other, 400 * 300 / 10);
  // The window is alive: mesh calls and repaints still work, without a map.
  map->AllocateMesh(18);
  map->Refresh(false);
  map->Update();
  EXPECT_EQ(swaps_, 0);
}

TEST_F(GlRefusal, RefusedOnceTheSecondContextIsUsed) {
  const int retriesBefore = GlContextRetries();
  COpenGLControl* map = MakeMap("refuse-once");
  EXPECT_TRUE(map->HasContext());
  // The fallback was needed, and counted.
  EXPECT_EQ(GlContextRetries(), retriesBefore + 1);
  EXPECT_TRUE(map->GlFailure().empty()) << map->GlFailure();
  EXPECT_GT(swaps_, 0);
}

TEST_F(GlRefusal, SwitchedOffTheMapSaysSo) {
  setenv("PELORIN_NO_GL", "1", 1);
  COpenGLControl* map = MakeMap("");
  unsetenv("PELORIN_NO_GL");
  EXPECT_FALSE(map->HasContext());
  EXPECT_EQ(GlUnavailableText(map->GlFailure()),
            "OpenGL is not available: switched off (PELORIN_NO_GL=1)");
  int light = 0, other = 0;
  Count(light, other);
  EXPECT_GT(light, 100);
}

}  // namespace
}  // namespace pelorin
