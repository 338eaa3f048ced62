// The main window's view controls driven as the user drives them: sliders, check boxes,
// the chip selector, the source buttons and their dialog, the keys (seen by the window
// before its controls), the wheel over the map and the full-screen map; Reverse and
// TurnOver against panelsim. Every wait is for a condition, with a time limit.
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/slider.h>
#include <wx/textctrl.h>

#include "app/pelorin_dlg.h"
#include "data/live_model.h"
#include "gui_support.h"
#include "panelsim/served_panel.h"
#include "view/filter_dlg.h"
#include "view/map_window.h"
#include "view/multi_source_dlg.h"
#include "view/resource.h"
#include "view/show_dialog.h"

namespace pelorin {
namespace {

using namespace res;
namespace fs = std::filesystem;
using test::Click;
using test::Label;
using test::PumpUntil;
using test::ScratchDir;
using test::Window;

constexpr int kWaitMs = 20000;

// The user moved a slider to `position`.
void Drag(const Window& win, int id, int position) {
  auto* slider = static_cast<wxSlider*>(win->FindWindow(id));
  slider->SetValue(position);
  wxCommandEvent event(wxEVT_SLIDER, id);
  event.SetEventObject(slider);
  event.SetInt(slider->GetValue());
  slider->GetEventHandler()->ProcessEvent(event);
}

int SliderAt(const Window& win, int id) {
  return static_cast<wxSlider*>(win->FindWindow(id))->GetValue();
}

void SetCheck(const Window& win, int id, bool checked) {
  auto* box = static_cast<wxCheckBox*>(win->FindWindow(id));
  ASSERT_TRUE(box->IsEnabled()) << id;
  box->SetValue(checked);
  wxCommandEvent event(wxEVT_CHECKBOX, id);
  event.SetEventObject(box);
  event.SetInt(checked ? 1 : 0);
  box->GetEventHandler()->ProcessEvent(event);
}

void Choose(const Window& win, int id, int index) {
  auto* choice = static_cast<wxChoice*>(win->FindWindow(id));
  choice->SetSelection(index);
  wxCommandEvent event(wxEVT_CHOICE, id);
  event.SetEventObject(choice);
  event.SetInt(index);
  choice->GetEventHandler()->ProcessEvent(event);
}

// A key as it reaches the window before any control; true when the window consumed it.
bool Press(const Window& win, int keyCode, bool shift = false, bool ctrl = false) {
  wxKeyEvent key(wxEVT_CHAR_HOOK);
  key.m_keyCode = keyCode;
  key.m_shiftDown = shift;
  key.m_controlDown = ctrl;
  key.SetEventObject(&*win);
  win->GetEventHandler()->ProcessEvent(key);
  return !key.GetSkipped();
}

// One wheel step at a point of `target`'s client area.
void Wheel(wxWindow* target, wxPoint at, int rotation) {
  wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
  wheel.SetPosition(at);
  wheel.m_wheelRotation = rotation;
  wheel.m_wheelDelta = 120;
  wheel.SetEventObject(target);
  target->GetEventHandler()->ProcessEvent(wheel);
}

COpenGLControl* MapOf(const Window& win) { return win->MapPage()->Map(); }

std::string WriteRecording(const std::string& name, int frames) {
  std::ofstream out(name, std::ios::binary);
  out << "Pelorin\nFrameCount, " << frames << "\nWidth, 3\nHeight, 3\nType, RawData\n";
  for (int f = 0; f < frames; ++f) {
    out << "\nNo , " << f + 1 << ",          0ms, Read Error Times , 0\n";
    for (int x = 0; x < 3; ++x) out << 10 * f << "," << 10 * f + 1 << "," << 10 * f + 2 << ",\n";
  }
  out << "\n";
  return name;
}

// Runs `answer` on the modal dialog of type D that the button `opener` shows, once it is
// up; false when no such dialog came up.
template <typename D>
bool AnswerModal(const Window& win, int opener, std::function<void(D&)> answer) {
  struct Look {
    std::function<void(D&)> answer;
    bool waiting = true;
    bool found = false;
  };
  auto state = std::make_shared<Look>(Look{std::move(answer)});
  CPelorinDlg* dlg = &*win;
  // Looks again at every turn of the event loop until the dialog runs or the click ends.
  std::function<void()> look;
  look = [state, dlg, &look] {
    if (!state->waiting) return;
    for (wxWindow* top : wxTopLevelWindows) {
      auto* dialog = dynamic_cast<D*>(top);
      if (dialog == nullptr || !dialog->IsModal()) continue;
      state->waiting = false;
      state->found = true;
      state->answer(*dialog);
      return;
    }
    dlg->CallAfter(look);
  };
  dlg->CallAfter(look);
  Click(win, opener);
  state->waiting = false;
  return state->found;
}

void PressButton(wxWindow& dialog, int id) {
  wxCommandEvent event(wxEVT_BUTTON, id);
  event.SetEventObject(&dialog);
  dialog.GetEventHandler()->ProcessEvent(event);
}

void PickRadio(CFilterDlg& dialog, FilterType type) {
  wxRadioButton* radio = dialog.Radio(type);
  radio->SetValue(true);
  wxCommandEvent event(wxEVT_RADIOBUTTON, radio->GetId());
  event.SetEventObject(radio);
  event.SetInt(1);
  radio->GetEventHandler()->ProcessEvent(event);
}

// Two 3 x 3 sources, RawData and Diff, frame f holding 40 * f + 10 everywhere.
std::string WriteTwoSourceRecording(const std::string& name, int frames) {
  std::ofstream out(name, std::ios::binary);
  out << "Pelorin\nFrameCount, " << frames << "\nWidth, 3,3\nHeight, 3,3\nType, RawData,Diff\n";
  for (int f = 0; f < frames; ++f) {
    for (int source = 0; source < 2; ++source) {
      out << "\nNo , " << f + 1 << ",          0ms, Read Error Times , 0\n";
      for (int x = 0; x < 3; ++x)
        out << 40 * f + 10 << "," << 40 * f + 10 << "," << 40 * f + 10 << ",\n";
    }
  }
  out << "\n";
  return name;
}

std::vector<float> ColoursOf(COpenGLControl* map) {
  const auto colours = map->Mesh().Colours();
  return {colours.begin(), colours.end()};
}

class ViewControls : public ::testing::Test {
 protected:
  Window& Open(const std::string& settings = test::DefaultSettings()) {
    dir_.WriteSettings(settings);
    win_ = std::make_unique<Window>();
    return *win_;
  }
  void TearDown() override { win_.reset(); }

  ScratchDir dir_;
  std::unique_ptr<Window> win_;
};

TEST_F(ViewControls, EachSliderMovesItsLabelTheLegendAndEveryRange) {
  // A second live source and a loaded recording take the range too.
  Window& win =
      Open(test::Replace(test::DefaultSettings(), "SECOND_SOURCE_TYPE=0", "SECOND_SOURCE_TYPE=6"));
  ASSERT_EQ(win->Session().Models().size(), 2u);
  ASSERT_TRUE(win->Session().Load(WriteRecording("three.csv", 3)));
  ASSERT_EQ(win->Session().Mode(), RunMode::Paused);
  ASSERT_EQ(SliderAt(win, IDC_MAX_SLIDER), 350);
  ASSERT_EQ(SliderAt(win, IDC_MIN_SLIDER), 200);

  auto expectRange = [&](int rangeMax, int rangeMin) {
    EXPECT_EQ(Label(*win, IDC_MAX_LABEL), wxString::Format("Max:%d", rangeMax));
    EXPECT_EQ(Label(*win, IDC_MIN_LABEL), wxString::Format("Min:%d", rangeMin));
    for (const auto& m : win->Session().Models()) {
      EXPECT_EQ(m->GetRangeMax(), rangeMax);
      EXPECT_EQ(m->GetRangeMin(), rangeMin);
    }
    EXPECT_EQ(win->MapPage()->View().rangeMax, rangeMax);  // the legend's labels
    EXPECT_EQ(win->MapPage()->View().rangeMin, rangeMin);
    EXPECT_EQ(win->Session().Recordings().GetModel(0)->GetRangeMax(), rangeMax);
    EXPECT_EQ(win->Session().Recordings().GetModel(0)->GetRangeMin(), rangeMin);
  };

  Drag(win, IDC_MAX_SLIDER, 300);
  expectRange(200, 0);
  // Down to 120 with the minimum at 200: the minimum is pushed to 170.
  Drag(win, IDC_MAX_SLIDER, 120);
  EXPECT_EQ(SliderAt(win, IDC_MIN_SLIDER), 170);
  expectRange(20, -30);
  // The minimum up to 380 pushes the maximum to 330.
  Drag(win, IDC_MIN_SLIDER, 380);
  EXPECT_EQ(SliderAt(win, IDC_MAX_SLIDER), 330);
  expectRange(230, 180);
  Drag(win, IDC_MIN_SLIDER, 100);
  EXPECT_EQ(SliderAt(win, IDC_MAX_SLIDER), 330);
  expectRange(230, -100);
}

TEST_F(ViewControls, SlidersRebuildThePausedRecordingWithTheNewRange) {
  Window& win = Open();
  ASSERT_TRUE(win->Session().Load(WriteRecording("three.csv", 3)));
  const std::vector<float> before = ColoursOf(MapOf(win));
  ASSERT_FALSE(before.empty());
  Drag(win, IDC_MAX_SLIDER, 110);  // range 10 .. -40: every cell at the top of the ramp
  EXPECT_NE(ColoursOf(MapOf(win)), before);
  Drag(win, IDC_MAX_SLIDER, 350);
  Drag(win, IDC_MIN_SLIDER, 200);
  EXPECT_EQ(ColoursOf(MapOf(win)), before);
}

TEST_F(ViewControls, HideCheckBoxesTakeRecordedSourcesOffTheMap) {
  Window& win = Open();
  ASSERT_TRUE(win->Session().Load(WriteTwoSourceRecording("two.csv", 4)));
  ASSERT_EQ(win->Session().Recordings().Count(), 2);
  COpenGLControl* map = MapOf(win);
  const int32_t both = map->Mesh().VertexCount();
  ASSERT_GT(both, 0);

  SetCheck(win, IDC_HIDE_FIRST, true);
  EXPECT_FALSE(win->Session().Recordings().GetVisible(0));
  EXPECT_FALSE(win->Session().Models()[0]->GetVisible());
  EXPECT_EQ(map->Mesh().VertexCount(), both / 2);
  SetCheck(win, IDC_HIDE_SECOND, true);
  EXPECT_FALSE(win->Session().Recordings().GetVisible(1));
  EXPECT_EQ(map->Mesh().VertexCount(), 0);
  SetCheck(win, IDC_HIDE_FIRST, false);
  SetCheck(win, IDC_HIDE_SECOND, false);
  EXPECT_EQ(map->Mesh().VertexCount(), both);

  // While the recording plays, under the player's lock.
  win->Session().SetPlaybackStepTime(std::chrono::milliseconds(20));
  Click(win, IDC_PLAY);
  ASSERT_EQ(win->Session().Mode(), RunMode::Playing);
  SetCheck(win, IDC_HIDE_SECOND, true);
  EXPECT_EQ(map->Mesh().VertexCount(), both / 2);
  EXPECT_TRUE(PumpUntil([&] { return win->Session().Mode() == RunMode::Paused; }, kWaitMs));
  EXPECT_EQ(map->Mesh().VertexCount(), both / 2);
}

TEST_F(ViewControls, TheRealSourceDialogAnswersTheButton) {
  Window& win = Open();
  EXPECT_TRUE(AnswerModal<CMultiSourceDlg>(win, IDC_SECOND_SOURCE, [](CMultiSourceDlg& d) {
    EXPECT_EQ(d.Combo()->GetSelection(), 0);  // preset: no second source, "None"
    d.Combo()->SetSelection(6);               // "Diff"
    PressButton(d, wxID_OK);
  }));
  ASSERT_EQ(win->Session().Models().size(), 2u);
  EXPECT_EQ(win->Session().Models()[1]->GetSourceType(), 6);
  EXPECT_EQ(Label(*win, IDC_SECOND_SOURCE), "2st-Source\nDiff");
  // Closed without OK: nothing changes.
  EXPECT_TRUE(AnswerModal<CMultiSourceDlg>(win, IDC_SECOND_SOURCE, [](CMultiSourceDlg& d) {
    EXPECT_EQ(d.Combo()->GetSelection(), 6);
    d.Combo()->SetSelection(0);
    d.EndModal(wxID_CANCEL);
  }));
  EXPECT_EQ(win->Session().Models().size(), 2u);
}

TEST_F(ViewControls, FilterDialogOkGivesModelZeroTheKernelAndCancelNothing) {
  Window& win = Open();
  PelorinModel& first = *win->Session().Models()[0];
  const FilterKernel ones{{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}};
  ASSERT_EQ(first.Kernel(), ones);

  // An empty edit keeps the dialog open; Cancel then changes nothing.
  EXPECT_TRUE(AnswerModal<CFilterDlg>(win, IDC_FILTER, [](CFilterDlg& d) {
    PickRadio(d, FilterType::Customize);
    d.Edit(4)->SetValue("");
    PressButton(d, wxID_OK);
    EXPECT_TRUE(d.IsModal());
    d.EndModal(wxID_CANCEL);
  }));
  EXPECT_EQ(first.Kernel(), ones);
  EXPECT_EQ(first.GetFilterType(), 0);

  EXPECT_TRUE(AnswerModal<CFilterDlg>(win, IDC_FILTER, [](CFilterDlg& d) {
    EXPECT_EQ(d.Edit(0)->GetValue(), "1");  // the model's kernel
    PickRadio(d, FilterType::HighPass);
    PressButton(d, wxID_OK);
  }));
  const FilterKernel highPass{{{-1, -1, -1}, {-1, 8, -1}, {-1, -1, -1}}};
  EXPECT_EQ(first.Kernel(), highPass);
  EXPECT_EQ(first.GetFilterType(), 1);

  EXPECT_TRUE(AnswerModal<CFilterDlg>(win, IDC_FILTER, [](CFilterDlg& d) {
    PickRadio(d, FilterType::Customize);
    d.Edit(8)->SetValue("7");
    PressButton(d, wxID_OK);
  }));
  EXPECT_EQ(first.Kernel()[2][2], 7);
  EXPECT_EQ(first.Kernel()[1][1], 8);
  EXPECT_EQ(first.GetFilterType(), 2);
}

TEST_F(ViewControls, CheckBoxesAndListsReachModelZeroAndTheMap) {
  Window& win = Open();
  const InstantModel& first = *win->Session().LiveModel(0);
  SetCheck(win, IDC_REVERSE, true);
  EXPECT_TRUE(first.GetReverse());
  SetCheck(win, IDC_TURN_OVER, true);
  EXPECT_TRUE(first.GetTurnOver());
  SetCheck(win, IDC_HIDE_OVERLAP, true);
  EXPECT_TRUE(first.GetHideOverlap());
  SetCheck(win, IDC_HIDE_BUTTON, true);
  EXPECT_TRUE(first.GetHideOn());
  SetCheck(win, IDC_ENABLE_FILTER, true);
  EXPECT_TRUE(first.GetFilterEnabled());
  SetCheck(win, IDC_AUTO_CENTER, true);
  EXPECT_TRUE(win->Session().Settings().autoCenter);
  SetCheck(win, IDC_MOUSE_ZOOM, false);
  EXPECT_FALSE(MapOf(win)->MouseZoom());
  SetCheck(win, IDC_HIDE_FIRST, true);
  EXPECT_FALSE(first.GetVisible());
  SetCheck(win, IDC_HIDE_SECOND, true);  // no second source: nothing to hide
  EXPECT_EQ(win->Session().Models().size(), 1u);

  for (int id : {IDC_REVERSE, IDC_TURN_OVER, IDC_HIDE_OVERLAP, IDC_HIDE_BUTTON, IDC_ENABLE_FILTER,
                 IDC_AUTO_CENTER, IDC_HIDE_FIRST})
    SetCheck(win, id, false);
  SetCheck(win, IDC_MOUSE_ZOOM, true);
  EXPECT_FALSE(first.GetReverse() || first.GetTurnOver() || first.GetHideOverlap() ||
               first.GetHideOn() || first.GetFilterEnabled() ||
               win->Session().Settings().autoCenter);
  EXPECT_TRUE(first.GetVisible());
  EXPECT_TRUE(MapOf(win)->MouseZoom());

  Choose(win, IDC_CHIP_SELECT, 2);  // "Slave1"
  EXPECT_EQ(first.GetSelectedChip(), 5);
  Choose(win, IDC_CHIP_SELECT, 1);
  EXPECT_EQ(first.GetSelectedChip(), 1);
  Choose(win, IDC_DUMP_TYPE, 0);
  EXPECT_EQ(win->Session().Settings().dumpType, 0);
  Choose(win, IDC_DUMP_TYPE, 1);
  EXPECT_EQ(win->Session().Settings().dumpType, 1);
}

TEST_F(ViewControls, KeysReachTheWindowBeforeItsControls) {
  Window& win = Open();
  win->FindWindow(IDC_START)->SetFocus();
  // Shift+Down with the sliders at 200 / 260.
  Drag(win, IDC_MAX_SLIDER, 200);
  Drag(win, IDC_MIN_SLIDER, 260);
  ASSERT_EQ(SliderAt(win, IDC_MAX_SLIDER), 210);  // pushed: the minimum came within 50
  Drag(win, IDC_MAX_SLIDER, 200);
  ASSERT_EQ(SliderAt(win, IDC_MIN_SLIDER), 250);
  EXPECT_TRUE(Press(win, WXK_DOWN, true));
  EXPECT_EQ(SliderAt(win, IDC_MAX_SLIDER), 199);
  EXPECT_EQ(SliderAt(win, IDC_MIN_SLIDER), 249);
  EXPECT_EQ(Label(*win, IDC_MAX_LABEL), "Max:99");
  EXPECT_EQ(win->Session().Models()[0]->GetRangeMax(), 99);

  // Plain arrows turn the map in the free views only, and are consumed in every view.
  win->Session().SetViewPoint(3);
  EXPECT_TRUE(Press(win, WXK_UP));
  EXPECT_EQ(win->MapPage()->View().rotX, 1.0);
  EXPECT_TRUE(Press(win, 'X'));
  EXPECT_EQ(win->Session().Settings().viewPoint, 1);
  EXPECT_TRUE(Press(win, WXK_UP));
  EXPECT_EQ(win->MapPage()->View().rotX, -90.0);
  EXPECT_TRUE(Press(win, 'd'));
  EXPECT_EQ(win->Session().Settings().viewPoint, 0);

  // Digits choose the first source while idle.
  EXPECT_TRUE(Press(win, '4'));
  EXPECT_EQ(win->Session().Models()[0]->GetSourceType(), 4);
  EXPECT_EQ(Label(*win, IDC_FIRST_SOURCE), "1st-Source\nRawData");
  // The sliders and labels take the type's stored range, as after the source dialog.
  const int32_t rawMax = win->Session().Models()[0]->GetRangeMax();
  EXPECT_NE(rawMax, 99);
  EXPECT_EQ(SliderAt(win, IDC_MAX_SLIDER), MaxSliderPosition(rawMax));
  EXPECT_EQ(Label(*win, IDC_MAX_LABEL), wxString::Format("Max:%d", rawMax));
  EXPECT_EQ(SliderAt(win, IDC_MIN_SLIDER),
            MinSliderPosition(win->Session().Models()[0]->GetRangeMin()));

  // F2 alone is consumed; with Ctrl it opens the first source dialog.
  int dialogs = 0;
  win->Answers().sourceDialog = ([&](int, int) {
    ++dialogs;
    return std::optional<int>{};
  });
  EXPECT_TRUE(Press(win, WXK_F2));
  EXPECT_EQ(dialogs, 0);
  EXPECT_TRUE(Press(win, WXK_F2, false, true));
  EXPECT_TRUE(Press(win, WXK_F3, false, true));
  EXPECT_EQ(dialogs, 2);

  // What is typed into the chip order reaches it; other keys take their normal path.
  win->FindWindow(IDC_CHIP_ORDER)->SetFocus();
  test::Pump();
  EXPECT_FALSE(Press(win, '2'));
  EXPECT_EQ(win->Session().Models()[0]->GetSourceType(), 4);
  EXPECT_FALSE(Press(win, WXK_F1 + 6));  // F7
  EXPECT_FALSE(Press(win, 'Q'));
}

TEST_F(ViewControls, SStartsAndStopsOnlyWhereItMay) {
  Window& win = Open();
  EXPECT_TRUE(Press(win, 'S'));  // idle: Start, and no device answers
  EXPECT_EQ(Label(*win, IDC_STATUS), "open device error!");
  EXPECT_EQ(win->Session().Mode(), RunMode::Idle);
  EXPECT_TRUE(win->FindWindow(IDC_START)->IsEnabled());
}

TEST_F(ViewControls, SpaceTwiceRestoresTheWindowAndEveryControl) {
  Window& win = Open();
  const wxRect before = win->GetRect();
  std::map<int, wxRect> children;
  for (wxWindow* child : win->GetChildren()) {
    if (!child->IsTopLevel()) children[child->GetId()] = child->GetRect();
  }
  ASSERT_GT(children.size(), 40u);

  ASSERT_TRUE(Press(win, WXK_SPACE));
  EXPECT_EQ(win->GetRect(), wxRect(wxPoint(0, 0), wxGetDisplaySize()));
  EXPECT_TRUE(win->Placement().FullScreen());
  EXPECT_TRUE(win->IsFullScreen());
  for (wxWindow* child : win->GetChildren()) {
    if (child->IsTopLevel()) continue;
    EXPECT_EQ(child->IsShown(), child->GetId() == IDC_TAB) << child->GetId();
  }
  // Whatever the toolkit still has to say about the full screen comes before the way back.
  test::Pump();

  ASSERT_TRUE(Press(win, WXK_SPACE));
  EXPECT_FALSE(win->Placement().FullScreen());
  EXPECT_FALSE(win->IsFullScreen());
  EXPECT_TRUE(PumpUntil([&] { return win->GetRect() == before; })) << win->GetRect().GetWidth();
  EXPECT_EQ(win->GetTitle(), wxString("Pelorin - ") + PELORIN_VERSION_TEXT);
  auto restored = [&] {
    for (wxWindow* child : win->GetChildren()) {
      if (!child->IsTopLevel() && child->GetRect() != children[child->GetId()]) return false;
    }
    return true;
  };
  EXPECT_TRUE(PumpUntil(restored));
  for (wxWindow* child : win->GetChildren()) {
    if (child->IsTopLevel()) continue;
    EXPECT_TRUE(child->IsShown()) << child->GetId();
    EXPECT_EQ(child->GetRect(), children[child->GetId()]) << child->GetId();
  }
  EXPECT_EQ(win->GetRect(), before);
}

TEST_F(ViewControls, AWheelStepOverTheMapZoomsAndOneOutsideDoesNot) {
  Window& win = Open();
  win->Session().SetViewPoint(0);
  COpenGLControl* map = MapOf(win);
  const MapCamera& camera = map->Camera();
  const wxSize size = map->GetClientSize();
  ASSERT_GT(size.x, 10);

  // A click on the map gives it the keyboard.
  win->FindWindow(IDC_START)->SetFocus();
  wxMouseEvent down(wxEVT_LEFT_DOWN);
  down.SetPosition(wxPoint(size.x / 2, size.y / 2));
  down.SetEventObject(map);
  map->GetEventHandler()->ProcessEvent(down);
  EXPECT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == map; }));

  // Over the dialog, away from the map.
  Wheel(&*win, wxPoint(2, 2), 120);
  EXPECT_FALSE(camera.zoomPending);
  // Over the map, in the side views.
  win->Session().SetViewPoint(1);
  Wheel(map, wxPoint(size.x / 2, size.y / 2), 120);
  EXPECT_FALSE(camera.zoomPending);
  // Over the map in the default view: a zoom-in step at the cursor, resolved at the paint.
  win->Session().SetViewPoint(0);
  Wheel(map, wxPoint(size.x / 2, size.y / 3), 120);
  EXPECT_TRUE(camera.zoomPending);
  EXPECT_TRUE(camera.zoomInRequested);
  EXPECT_FLOAT_EQ(camera.zoomMouseX, static_cast<float>(size.x / 2));
  EXPECT_FLOAT_EQ(camera.zoomMouseY, static_cast<float>(size.y / 3));
  if (map->HasContext()) {
    EXPECT_TRUE(PumpUntil([&] { return !camera.zoomPending; }));
    EXPECT_FLOAT_EQ(map->TotalScale(), 1.01f);
  }
}

// Reverse and TurnOver against panelsim: the baseline is the same in every frame, so a
// frame read after the click is the one before, mirrored.
class ViewControlsLive : public ViewControls {
 protected:
  void SetUp() override {
    std::string err;
    ASSERT_TRUE(panel_.Start(panelsim::ServedPanel::SmallCascade(), &err)) << err;
  }

  // The first frame read after `after`.
  std::shared_ptr<const LiveFrame> FrameAfter(int32_t after) {
    const InstantModel& first = *(*win_)->Session().LiveModel(0);
    std::shared_ptr<const LiveFrame> frame;
    PumpUntil(
        [&] {
          frame = first.CurrentFrame();
          return frame && frame->number > after;
        },
        kWaitMs);
    return frame && frame->number > after ? frame : nullptr;
  }

  panelsim::ServedPanel panel_{dir_.Path() / "devices"};
};

TEST_F(ViewControlsLive, ReverseAndTurnOverMirrorTheLiveFrame) {
  Window& win = Open(test::Replace(test::DefaultSettings(), "DELAY_BEFORE_ENABLE_DIGNOSIS=10",
                                   "DELAY_BEFORE_ENABLE_DIGNOSIS=0"));
  Click(win, IDC_START);
  const std::shared_ptr<const LiveFrame> plain = FrameAfter(1);
  ASSERT_NE(plain, nullptr);
  const int32_t w = plain->width, h = plain->height;
  const int32_t chips =
      static_cast<int32_t>(win->Session().LiveModel(0)->GetActiveSet().chips.size());
  ASSERT_GT(chips, 1);
  ASSERT_EQ(h % chips, 0);
  const int32_t block = h / chips;

  // A frame that was being read at the click may still be the old way round.
  SetCheck(win, IDC_REVERSE, true);
  auto reversed = FrameAfter(win->Session().LiveModel(0)->GetFrameCounter() + 1);
  ASSERT_NE(reversed, nullptr);
  bool differs = false;
  for (int32_t x = 0; x < w; ++x) {
    for (int32_t y = 0; y < h; ++y) {
      const int32_t mirrored = y / block * block + (block - 1 - y % block);
      ASSERT_EQ(reversed->Cell(x, y), plain->Cell(x, mirrored)) << x << "," << y;
      differs |= reversed->Cell(x, y) != plain->Cell(x, y);
    }
  }
  EXPECT_TRUE(differs);

  SetCheck(win, IDC_REVERSE, false);
  SetCheck(win, IDC_TURN_OVER, true);
  auto turned = FrameAfter(win->Session().LiveModel(0)->GetFrameCounter() + 1);
  ASSERT_NE(turned, nullptr);
  for (int32_t x = 0; x < w; ++x) {
    for (int32_t y = 0; y < h; ++y)
      ASSERT_EQ(turned->Cell(x, y), plain->Cell(w - 1 - x, y)) << x << "," << y;
  }

  // S stops the run.
  EXPECT_TRUE(Press(win, 'S'));
  EXPECT_EQ(win->Session().Mode(), RunMode::Idle);
  EXPECT_TRUE(PumpUntil([&] { return win->Session().Acquisition()->Finished(); }, kWaitMs));
}

}  // namespace
}  // namespace pelorin
