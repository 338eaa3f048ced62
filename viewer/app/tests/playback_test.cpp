// The player's controls in the main window under a display: the Load dialog and dropped
// files, the buttons and the slider routed to the session, and closing while a recording
// plays or loads. The player's rules are tested without a window (session_player_test).
#include <dlfcn.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/evtloop.h>
#include <wx/slider.h>

#include "app/pelorin_dlg.h"
#include "data/session/tests/stepped_recording.h"
#include "data/status_text.h"
#include "gui_support.h"
#include "view/resource.h"

// Last: Xlib's macros (None, Status, ...) would clash with names above.
#include <X11/Xlib.h>

namespace pelorin {
namespace {

using namespace res;
using test::Click;
using test::Label;
using test::PumpUntil;
using test::ScratchDir;
using test::Window;

std::string WriteRecording(const std::string& name, int frames, int width, int height,
                           int declared = -1) {
  return testing::WriteSteppedRecording(name, frames, width, height, declared);
}
wxString StatisticsOf(int f, int frames, int width, int height) {
  return testing::SteppedStatistics(f, frames, width, height);
}

bool Enabled(const Window& win, int id) { return win->FindWindow(id)->IsEnabled(); }

wxSlider* Slider(const Window& win) {
  return static_cast<wxSlider*>(win->FindWindow(IDC_PLAYER_SLIDER));
}

void MoveSlider(const Window& win, int position) {
  wxSlider* slider = Slider(win);
  slider->SetValue(position);
  wxCommandEvent event(wxEVT_SLIDER, IDC_PLAYER_SLIDER);
  event.SetEventObject(slider);
  event.SetInt(position);
  slider->GetEventHandler()->ProcessEvent(event);
}

// The event owns its list of names.
void Drop(const Window& win, const std::vector<std::string>& names) {
  auto* files = new wxString[names.size()];
  for (size_t k = 0; k < names.size(); ++k) files[k] = names[k];
  wxDropFilesEvent drop(wxEVT_DROP_FILES, static_cast<int>(names.size()), files);
  win->ProcessWindowEvent(drop);
}

// Asks the window manager's way to close the window: a WM_DELETE_WINDOW message that GTK
// reads with its other window events. The toolkit's own entry points are looked up at run
// time, so the test needs no GTK headers. False when the display is not an X display.
bool SendWindowManagerClose(wxWindow* window) {
  using WidgetWindowFn = void* (*)(void*);
  using XidFn = unsigned long (*)(void*);
  auto widgetWindow =
      reinterpret_cast<WidgetWindowFn>(dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
  auto xid = reinterpret_cast<XidFn>(dlsym(RTLD_DEFAULT, "gdk_x11_window_get_xid"));
  if (widgetWindow == nullptr || xid == nullptr) return false;
  void* gdkWindow = widgetWindow(window->GetHandle());
  if (gdkWindow == nullptr) return false;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xid(gdkWindow);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  // Once the server has handled the request, the message waits in the toolkit's queue.
  XSync(display, False);
  XCloseDisplay(display);
  return true;
}

struct PlayerFixture : ::testing::Test {
  PlayerFixture() {
    dir.WriteSettings(test::DefaultSettings());
    win.emplace();
    (*win)->Session().SetFrameShownHandler([this](int32_t i) { shown.push_back(i); });
  }
  ~PlayerFixture() override { win.reset(); }

  // Plays to the end or the next stop; false when it did not end in time.
  bool WaitForStop() {
    return PumpUntil(
        [this] {
          return (*win)->Session().Mode() == RunMode::Paused && Enabled(*win, IDC_START) &&
                 !Enabled(*win, IDC_PAUSE);
        },
        10000);
  }

  ScratchDir dir;
  std::optional<Window> win;
  std::vector<int32_t> shown;
};

using Playback = PlayerFixture;

TEST_F(Playback, LoadButtonAsksWithTheDialogsTextsAndShowsFrameZero) {
  const std::string path = WriteRecording("five.csv", 5, 3, 4);
  wxString title, filter;
  (*win)->Answers().fileDialog = ([&](const wxString& t, const wxString& f) {
    title = t;
    filter = f;
    return std::optional<std::string>(path);
  });
  Click(*win, IDC_LOAD);
  EXPECT_EQ(title, "Load Pelorin Data");
  EXPECT_EQ(filter, " Pelorin Data(*.csv;*.txt)|*.csv;*.txt||");

  EXPECT_EQ((*win)->Session().Mode(), RunMode::Paused);
  EXPECT_EQ(Label(**win, IDC_WIDTH), "Width : 3");
  EXPECT_EQ(Label(**win, IDC_HEIGHT), "Height : 4");
  EXPECT_EQ(Label(**win, IDC_FRAME_COUNT), "FrameCount : 0");
  EXPECT_EQ(Label(**win, IDC_STATISTICS), StatisticsOf(0, 5, 3, 4));
  // The progress ("loading 5 /  5") gives way to what was loaded.
  EXPECT_EQ(Label(**win, IDC_STATUS), "loaded five.csv (5 frames)");
  EXPECT_FALSE(Enabled(*win, IDC_PAUSE));
  EXPECT_FALSE(Enabled(*win, IDC_PREV));
  EXPECT_TRUE(Enabled(*win, IDC_NEXT));
  EXPECT_TRUE(Enabled(*win, IDC_PLAY));
  EXPECT_TRUE(Enabled(*win, IDC_PLAYER_SLIDER));
  EXPECT_EQ(Slider(*win)->GetMin(), 0);
  EXPECT_EQ(Slider(*win)->GetMax(), 4);
  EXPECT_EQ(Slider(*win)->GetValue(), 0);

  // Cancelling the dialog loads nothing.
  (*win)->Answers().fileDialog =
      ([](const wxString&, const wxString&) { return std::optional<std::string>(); });
  shown.clear();
  Click(*win, IDC_LOAD);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ((*win)->Session().Recordings().Count(), 1);
}

TEST_F(Playback, ThePlayerButtonsAndTheSliderReachThePlayer) {
  // The rules are the session's; here only that each control gets there and the slider
  // shows where the player is.
  ASSERT_TRUE((*win)->Session().Load(WriteRecording("three.csv", 3, 2, 3)));
  shown.clear();
  Click(*win, IDC_NEXT);
  EXPECT_EQ(Slider(*win)->GetValue(), 1);
  EXPECT_EQ(Label(**win, IDC_STATISTICS), StatisticsOf(1, 3, 2, 3));
  Click(*win, IDC_PREV);
  EXPECT_EQ(Slider(*win)->GetValue(), 0);
  MoveSlider(*win, 2);
  EXPECT_EQ((*win)->Session().Recordings().GetCurrentIndex(0), 2);
  EXPECT_FALSE(Enabled(*win, IDC_NEXT));
  MoveSlider(*win, 0);
  (*win)->Session().SetPlaybackStepTime(std::chrono::minutes(10));
  Click(*win, IDC_PLAY);
  EXPECT_FALSE(Enabled(*win, IDC_START));
  ASSERT_TRUE(PumpUntil([this] { return shown.size() == 5; }, 10000));
  Click(*win, IDC_PAUSE);
  ASSERT_TRUE(WaitForStop());
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 0, 2, 0, 0}));
  EXPECT_TRUE(Enabled(*win, IDC_PLAY));
}

TEST_F(Playback, DroppingTwoFilesKeepsTheSecond) {
  Drop(*win, {WriteRecording("a.csv", 2, 2, 2), WriteRecording("b.csv", 3, 4, 5)});
  EXPECT_EQ(Label(**win, IDC_WIDTH), "Width : 4");
  EXPECT_EQ(Label(**win, IDC_HEIGHT), "Height : 5");
  EXPECT_EQ((*win)->Session().Recordings().GetFrameCount(0), 3);
  EXPECT_EQ(shown, (std::vector<int32_t>{0, 0}));

  // A dropped file that does not load leaves the one before it.
  Drop(*win, {WriteRecording("c.csv", 2, 3, 3), "notes.txt"});
  EXPECT_EQ(Label(**win, IDC_WIDTH), "Width : 3");
  // The status line says why, in the reader's words.
  EXPECT_EQ(Label(**win, IDC_STATUS),
            "can't load csv at notes.txt: not a recording (.csv or .tbl): notes.txt");
  EXPECT_EQ((*win)->Session().Mode(), RunMode::Paused);
}

TEST_F(Playback, ClosingWithAZeroStepWhilePlayingEndsCleanly) {
  // The worker queues updates as fast as it can while the window goes.
  ASSERT_TRUE((*win)->Session().Load(WriteRecording("many.csv", 400, 2, 2)));
  (*win)->Session().SetPlaybackStepTime(std::chrono::milliseconds(0));
  Click(*win, IDC_PLAY);
  win->Close();
  EXPECT_FALSE((*win)->Session().PlaybackThreadRunning());
  win.reset();
}

TEST_F(Playback, ACloseFromTheWindowManagerDuringALoadWaitsForTheLoad) {
  // The progress repaint lets the window manager's events through; its close must neither
  // tear the window down under the load nor be lost.
  const std::string path = WriteRecording("three.csv", 3, 2, 2);
  ASSERT_TRUE(SendWindowManagerClose(&**win));
  bool closedUnderTheLoad = true;
  (*win)->Session().SetFrameShownHandler(
      [&](int32_t) { closedUnderTheLoad = (*win)->Session().Closed(); });
  {
    // The load runs inside the window's event loop, as a click on Load does.
    wxGUIEventLoop loop;
    wxEventLoopActivator active(&loop);
    ASSERT_TRUE((*win)->Session().Load(path));
  }
  EXPECT_FALSE(closedUnderTheLoad);
  EXPECT_EQ(Label(**win, IDC_WIDTH), "Width : 2");
  EXPECT_EQ((*win)->Session().Mode(), RunMode::Paused);
  EXPECT_TRUE(PumpUntil([this] { return (*win)->Session().Closed(); }));
  win.reset();
}

}  // namespace
}  // namespace pelorin
