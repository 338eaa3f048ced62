// What the user sees of the main window: every pixel of it painted, the controls at its
// right edge and the player slider drawn, whole captions, and GTK silent while the window
// is built (GTK warns when a control is smaller than it can draw, and then leaves the box
// or trough out). CTest runs the window tests on several screen sizes.
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/image.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/main_template.h"
#include "app/pelorin_dlg.h"
#include "gui_support.h"
#include "view/caption_fit.h"
#include "view/resource.h"
#include "view/screen_fit.h"

namespace pelorin {
namespace {

// Collects what is written to descriptor 2 (where GLib prints its warnings) between
// construction and Stop(). When the program exits while capturing (the toolkit exits
// on an X error), what was captured goes to the real descriptor 2, where the test
// runner looks for the errors it runs a test again for.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    saved_ = dup(2);
    if (file_ != nullptr && saved_ >= 0) dup2(fileno(file_), 2);
    static const bool registered = std::atexit(&ReleaseAtExit) == 0;
    (void)registered;
    active_ = this;
  }
  ~StderrCapture() { Stop(); }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  std::string Stop() {
    if (active_ == this) active_ = nullptr;
    if (file_ == nullptr) return text_;
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, 2);
      close(saved_);
    }
    std::rewind(file_);
    std::array<char, 4096> buf{};
    size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), file_)) > 0) text_.append(buf.data(), n);
    std::fclose(file_);
    file_ = nullptr;
    return text_;
  }

 private:
  static void ReleaseAtExit() {
    if (active_ == nullptr) return;
    const std::string text = active_->Stop();
    std::fputs(text.c_str(), stderr);
  }

  static inline StderrCapture* active_ = nullptr;
  std::FILE* file_ = nullptr;
  int saved_ = -1;
  std::string text_;
};

// The window's client area as it is on the screen.
wxImage GrabClient(const wxWindow& window) {
  const wxSize size = window.GetClientSize();
  const wxPoint origin = window.ClientToScreen(wxPoint(0, 0));
  wxBitmap bitmap(size.x, size.y, 24);
  {
    wxScreenDC screen;
    wxMemoryDC memory(bitmap);
    memory.Blit(0, 0, size.x, size.y, &screen, origin.x, origin.y);
  }
  return bitmap.ConvertToImage();
}

wxColour PixelAt(const wxImage& image, int x, int y) {
  return {image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)};
}

// True when some pixel of the rectangle (clipped to the image) differs from `colour`.
bool AnyPixelOtherThan(const wxImage& image, const wxRect& rect, const wxColour& colour) {
  const wxRect r = rect.Intersect(wxRect(0, 0, image.GetWidth(), image.GetHeight()));
  for (int y = r.y; y < r.y + r.height; ++y) {
    for (int x = r.x; x < r.x + r.width; ++x) {
      if (PixelAt(image, x, y) != colour) return true;
    }
  }
  return false;
}

// Shows the window and waits until it is on the screen and painted.
void ShowPainted(test::Window& win) {
  win->Raise();
  ASSERT_TRUE(test::PumpUntil([&] { return win->IsShownOnScreen(); }));
  win->Refresh();
  win->Update();
  test::Pump(300);
}

TEST(WindowLook, EveryColumnOfTheWindowIsPainted) {
  test::ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  test::Window win;
  ShowPainted(win);
  const wxImage image = GrabClient(*win);
  ASSERT_TRUE(image.IsOk());
  ASSERT_EQ(image.GetWidth(), win->GetClientSize().x);

  // The band of controls above the tab control: nothing there is black, so a column that
  // is black from top to bottom was never painted.
  const int band = win->FindWindow(res::IDC_TAB)->GetRect().y;
  ASSERT_GT(band, 10);
  int unpainted = 0;
  for (int x = 0; x < image.GetWidth(); ++x) {
    if (!AnyPixelOtherThan(image, wxRect(x, 0, 1, band), *wxBLACK)) ++unpainted;
  }
  EXPECT_EQ(unpainted, 0) << "of " << image.GetWidth() << " columns";

  // The background reaches the right edge: the last column matches the first.
  const wxColour background = PixelAt(image, 1, 2);
  EXPECT_EQ(PixelAt(image, image.GetWidth() - 2, 2), background);

  // The group box at the right edge has its frame drawn.
  const wxRect group = win->FindWindow(res::IDC_MULTI_CHIP_GROUP)->GetRect();
  EXPECT_TRUE(AnyPixelOtherThan(
      image, wxRect(group.GetRight() - 3, group.y + group.height / 2, 4, 4), background));
  // So is the player slider's trough, which GTK leaves out of a slider below its height.
  const wxRect slider = win->FindWindow(res::IDC_PLAYER_SLIDER)->GetRect();
  EXPECT_TRUE(AnyPixelOtherThan(image, slider, background));
}

TEST(WindowLook, CaptionsAreWholeAndNeighboursKeepTheirPlace) {
  test::ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  test::Window win;
  const ScreenFactors f = CurrentScreenFactors();
  for (const ControlSpec& ctl : MainTemplateControls()) {
    SCOPED_TRACE(ctl.caption);
    wxWindow* w = win->FindWindow(ctl.id);
    // A drop-down list shows its selected item whole ("Style1", not "...").
    const bool caption = ctl.kind == ControlKind::CheckBox ||
                         ctl.kind == ControlKind::DropDownList ||
                         ((ctl.kind == ControlKind::StaticText ||
                           ctl.kind == ControlKind::CentredStaticText) &&
                          *ctl.caption != '\0');
    if (!caption) continue;
    w->InvalidateBestSize();
    EXPECT_GE(w->GetSize().x, w->GetBestSize().x);

    // A widened control never runs into a control beside it that the template kept apart.
    const wxRect fromTemplate =
        ScaleRect(test::TemplateRect(*win, ctl.x, ctl.y, ctl.w, ctl.h), f.sx, f.sy);
    for (const ControlSpec& other : MainTemplateControls()) {
      const wxWindow* o = win->FindWindow(other.id);
      if (o == w || other.kind == ControlKind::GroupBox) continue;
      const wxRect otherTemplate =
          ScaleRect(test::TemplateRect(*win, other.x, other.y, other.w, other.h), f.sx, f.sy);
      if (otherTemplate.x < fromTemplate.GetRight() || otherTemplate.Intersects(fromTemplate))
        continue;
      EXPECT_FALSE(o->GetRect().Intersects(w->GetRect())) << "runs into " << other.id;
    }
  }
}

TEST(WindowLook, BoxesAndSlidersHaveTheHeightGtkNeeds) {
  test::ScratchDir dir;
  test::Window win;
  for (const ControlSpec& ctl : MainTemplateControls()) {
    if (ctl.kind != ControlKind::CheckBox && ctl.kind != ControlKind::Slider) continue;
    const wxWindow* w = win->FindWindow(ctl.id);
    EXPECT_GE(w->GetSize().y, w->GetBestSize().y) << ctl.id;
  }
}

TEST(WindowLook, StatisticsShrinkToStayReadableAndGrowBack) {
  test::ScratchDir dir;
  test::Window win;
  wxWindow* values = win->FindWindow(res::IDC_STATISTICS);
  const double normal = values->GetFont().GetFractionalPointSize();
  auto fits = [&] {
    int w = 0, h = 0;
    const wxFont font = values->GetFont();
    values->GetTextExtent(values->GetLabel(), &w, &h, nullptr, nullptr, &font);
    return w <= values->GetSize().x;
  };
  // Figures of a panel at rest wrapped out of sight at the template's font.
  win->Session().ShowStatistics(201, 59.5f, 152.0f, 169, 169, 133, 133);
  EXPECT_TRUE(fits());
  // The widest a 16-bit panel's figures get: as small as a caption may be, where needed.
  win->Session().ShowStatistics(1234567, 120.5f, -12345.25f, 32767, 32767, -32768, -32768);
  EXPECT_TRUE(fits() || values->GetFont().GetFractionalPointSize() == kSmallestCaptionPoints);
  win->Session().ShowStatistics(1, 1.0f, 1.0f, 1, 1, 1, 1);
  EXPECT_TRUE(fits());
  EXPECT_EQ(values->GetFont().GetFractionalPointSize(), normal);
}

TEST(WindowLook, GtkIsSilentWhileTheWindowIsBuiltAndShown) {
  test::ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  StderrCapture capture;
  {
    test::Window win;
    ShowPainted(win);
  }
  const std::string printed = capture.Stop();
  EXPECT_EQ(printed.find("Gtk-"), std::string::npos) << printed;
}

#ifdef PELORIN_PROGRAM
// The program itself shows the window modally, a different path from the tests' window:
// started on this display, it paints once, closes, and prints no toolkit warning.
TEST(StartUp, ProgramPaintsWithoutToolkitWarnings) {
  test::ScratchDir dir;
  dir.WriteSettings(test::DefaultSettings());
  const std::string command = std::string("PELORIN_FIRST_PAINT_PROBE=1 timeout 60 '") +
                              PELORIN_PROGRAM + "' 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  std::array<char, 4096> buf{};
  size_t n = 0;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) output.append(buf.data(), n);
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("first-paint "), std::string::npos) << output;
  EXPECT_EQ(output.find("Gtk-"), std::string::npos) << output;
}
#endif

}  // namespace
}  // namespace pelorin
