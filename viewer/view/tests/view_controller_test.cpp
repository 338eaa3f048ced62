// The rules of the view controls against a recording host: what the sliders, the keys
// and the wheel ask of the main window in each state.
#include "view/view_controller.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/source_type.h"

namespace pelorin {
namespace {

class FakeHost : public ViewControlHost {
 public:
  RunMode Mode() const override { return mode; }
  RangeSliders Sliders() const override { return sliders; }
  void ShowRange(const RangeSliders& s) override {
    sliders = s;
    shown.push_back(s);
  }
  void RebuildLiveMesh() override { calls.push_back("live mesh"); }
  void RebuildPlaybackMesh() override { calls.push_back("playback mesh"); }
  MapOrientation& Orientation() override { return orientation; }
  MapCamera* Camera() override { return hasMap ? &camera : nullptr; }
  void ApplyViewPoint(int vp) override {
    orientation = PresetOrientation(static_cast<ViewPoint>(vp));
    camera.ResetView();
    calls.push_back("view " + std::to_string(vp));
  }
  void RefreshMap() override { ++refreshes; }
  void Start() override { calls.push_back("start"); }
  void Stop() override { calls.push_back("stop"); }
  void ChooseSource(SourceSlot slot) override {
    calls.push_back(slot == SourceSlot::First ? "first source" : "second source");
  }
  void SetFirstSourceType(int32_t type) override {
    calls.push_back("type " + std::to_string(type));
  }
  bool FullScreen() const override { return fullScreen; }
  void SetFullScreen(bool on) override {
    fullScreen = on;
    calls.push_back(on ? "enter full screen" : "leave full screen");
  }

  RunMode mode = RunMode::Idle;
  RangeSliders sliders;
  std::vector<RangeSliders> shown;
  std::vector<std::string> calls;
  MapOrientation orientation;
  MapCamera camera;
  bool hasMap = true;
  bool fullScreen = false;
  int refreshes = 0;
};

KeyPress Key(int virtualKey, bool shift = false, bool ctrl = false) {
  return {virtualKey, shift, ctrl, false};
}

TEST(RangeSliderRules, MovingOneEndPushesTheOtherToExactlyFiftyApart) {
  // Maximum dragged to 120 (value 20) with the minimum at 200 (value 0).
  RangeSliders s = CoupleRangeSliders({120, 200}, RangeEnd::Max);
  EXPECT_EQ(s, (RangeSliders{120, 170}));
  EXPECT_EQ(s.RangeMax() - s.RangeMin(), 50);
  // Far enough apart: nothing is pushed.
  EXPECT_EQ(CoupleRangeSliders({121, 170}, RangeEnd::Max), (RangeSliders{121, 170}));
  // The minimum dragged up to the maximum's value - 50 pushes the maximum (>= is a push).
  EXPECT_EQ(CoupleRangeSliders({250, 300}, RangeEnd::Min), (RangeSliders{250, 300}));
  EXPECT_EQ(CoupleRangeSliders({250, 301}, RangeEnd::Min), (RangeSliders{251, 301}));
  EXPECT_EQ(CoupleRangeSliders({0, 400}, RangeEnd::Min), (RangeSliders{350, 400}));
  // Every position stays on the slider.
  EXPECT_EQ(StepRangeSlider({400, 0}, RangeEnd::Max, +1), (RangeSliders{400, 0}));
  EXPECT_EQ(StepRangeSlider({0, 0}, RangeEnd::Max, -1), (RangeSliders{0, 0}));
  EXPECT_EQ(StepRangeSlider({400, 0}, RangeEnd::Min, -1), (RangeSliders{400, 0}));
}

TEST(RangeSliderRules, SliderHandlersShowTheRangeAndRebuildOnlyAtRest) {
  FakeHost host;
  ViewController c(host);
  host.sliders = {MaxSliderPosition(0), MinSliderPosition(0)};  // 100 / 200
  c.OnRangeSlider(RangeEnd::Max, 120);
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_EQ(host.shown[0], (RangeSliders{120, 170}));
  EXPECT_EQ(host.calls, std::vector<std::string>{"live mesh"});

  const std::vector<std::pair<RunMode, std::vector<std::string>>> cases{
      {RunMode::Live, {}}, {RunMode::Playing, {}}, {RunMode::Paused, {"playback mesh"}}};
  for (const auto& [mode, rebuilt] : cases) {
    host.calls.clear();
    host.mode = mode;
    c.OnRangeSlider(RangeEnd::Min, 150);
    EXPECT_EQ(host.calls, rebuilt) << static_cast<int>(mode);
  }
  // Both set at once (auto-centre, a new source type): the maximum's rule runs first.
  c.OnRangeSliders({100, 300});
  EXPECT_EQ(host.sliders, (RangeSliders{100, 150}));
  c.OnRangeSliders({200, 280});
  EXPECT_EQ(host.sliders, (RangeSliders{200, 250}));
}

TEST(KeyRules, ShiftArrowsStepTheRangeAndPushTheOtherEnd) {
  FakeHost host;
  ViewController c(host);
  host.sliders = {200, 260};  // values 100 and 60
  EXPECT_TRUE(c.OnKey(Key(vk::kDown, true)));
  EXPECT_EQ(host.sliders, (RangeSliders{199, 249}));
  EXPECT_EQ(host.sliders.RangeMax(), 99);
  EXPECT_EQ(host.sliders.RangeMin(), 49);
  EXPECT_EQ(host.orientation.rotX, 0.0);  // Shift+Down does not turn the map

  EXPECT_TRUE(c.OnKey(Key(vk::kUp, true)));
  EXPECT_EQ(host.sliders, (RangeSliders{200, 249}));
  EXPECT_TRUE(c.OnKey(Key(vk::kRight, true)));  // minimum + 1 reaches the gap: max pushed
  EXPECT_EQ(host.sliders, (RangeSliders{200, 250}));
  EXPECT_TRUE(c.OnKey(Key(vk::kRight, true)));
  EXPECT_EQ(host.sliders, (RangeSliders{201, 251}));
  EXPECT_TRUE(c.OnKey(Key(vk::kLeft, true)));
  EXPECT_EQ(host.sliders, (RangeSliders{201, 250}));
  EXPECT_EQ(host.refreshes, 5);
}

TEST(KeyRules, RotationsWrapInTheFreeViews) {
  FakeHost host;
  ViewController c(host);
  for (int i = 0; i < 360; ++i) ASSERT_TRUE(c.OnKey(Key(vk::kUp)));
  EXPECT_EQ(host.orientation.rotX, 0.0);
  c.OnKey(Key(vk::kDown));
  EXPECT_EQ(host.orientation.rotX, 359.0);
  c.OnKey(Key(vk::kLeft));
  EXPECT_EQ(host.orientation.rotY, 359.0);
  c.OnKey(Key(vk::kRight));
  c.OnKey(Key(vk::kRight));
  EXPECT_EQ(host.orientation.rotY, 1.0);
  c.OnKey(Key(vk::kNext));
  EXPECT_EQ(host.orientation.rotZ, 359.0);
  c.OnKey(Key(vk::kPrior));
  EXPECT_EQ(host.orientation.rotZ, 0.0);
}

TEST(KeyRules, EveryViewPointConsumesTheViewKeysButOnlyTheFreeViewsTurnAndZoom) {
  for (int vp = 0; vp <= 3; ++vp) {
    FakeHost host;
    ViewController c(host);
    host.orientation = PresetOrientation(static_cast<ViewPoint>(vp));
    const MapOrientation before = host.orientation;
    const bool free = vp == 0 || vp == 3;
    // Down from a negative angle first wraps it: the same direction, 360 degrees on.
    auto same = [](double a, double b) { return std::fmod(a - b + 720.0, 360.0) == 0.0; };
    auto unchanged = [&] {
      return same(host.orientation.rotX, before.rotX) && same(host.orientation.rotY, before.rotY) &&
             same(host.orientation.rotZ, before.rotZ);
    };
    for (int key : {vk::kUp, vk::kRight, vk::kPrior}) {
      EXPECT_TRUE(c.OnKey(Key(key))) << vp << " " << key;
    }
    EXPECT_EQ(unchanged(), !free) << vp;
    for (int key : {vk::kDown, vk::kLeft, vk::kNext}) {
      EXPECT_TRUE(c.OnKey(Key(key))) << vp << " " << key;
    }
    EXPECT_TRUE(unchanged()) << vp;
    EXPECT_TRUE(c.OnKey(Key(vk::kLetterI)));
    EXPECT_EQ(host.camera.zoomInRequested, free) << vp;
    EXPECT_EQ(host.refreshes, 7);
    // The presets work from every view and go through the buttons' action.
    for (int preset : {1, 2, 3, 0}) {
      const int letter = preset == 0 ? vk::kLetterD : vk::kLetterX + preset - 1;
      EXPECT_TRUE(c.OnKey(Key(letter)));
      EXPECT_EQ(host.orientation.viewPoint, preset);
    }
    EXPECT_EQ(host.calls, (std::vector<std::string>{"view 1", "view 2", "view 3", "view 0"}));
  }
}

TEST(KeyRules, ZoomKeysKeepToTheirLimits) {
  FakeHost host;
  ViewController c(host);
  c.OnKey(Key(vk::kLetterO));  // nothing to zoom out of
  EXPECT_FALSE(host.camera.zoomPending);
  host.camera.PushZoom(45, 45, 1.45f);
  c.OnKey(Key(vk::kNumpad9));  // the map's key stops at 1.4
  EXPECT_FALSE(host.camera.zoomPending);
  c.OnKey(Key(vk::kLetterI));  // the letter goes on to 1.5
  EXPECT_TRUE(host.camera.zoomInRequested);
  EXPECT_FLOAT_EQ(host.camera.zoomMouseX, kKeyboardZoomPoint);
  host.camera.zoomPending = false;
  c.OnKey(Key(vk::kLetterO));
  EXPECT_TRUE(host.camera.zoomOutRequested);
  EXPECT_FLOAT_EQ(host.camera.zoomFactor, 0.99f);
  // Without a map window the keys are still consumed.
  host.hasMap = false;
  EXPECT_TRUE(c.OnKey(Key(vk::kLetterI)));
}

TEST(KeyRules, SStartsOrStopsByRunMode) {
  const std::vector<std::pair<RunMode, std::vector<std::string>>> cases{
      {RunMode::Live, {"stop"}},
      {RunMode::Idle, {"start"}},
      {RunMode::Playing, {}},
      {RunMode::Paused, {"start"}}};
  for (const auto& [mode, expected] : cases) {
    FakeHost host;
    ViewController c(host);
    host.mode = mode;
    EXPECT_TRUE(c.OnKey(Key(vk::kLetterS)));
    EXPECT_EQ(host.calls, expected) << static_cast<int>(mode);
  }
}

TEST(KeyRules, DigitsChooseTheFirstSourceOnlyWhenIdleOrPaused) {
  for (RunMode mode : {RunMode::Live, RunMode::Idle, RunMode::Playing, RunMode::Paused}) {
    FakeHost host;
    ViewController c(host);
    host.mode = mode;
    for (int d = 1; d <= 6; ++d) EXPECT_TRUE(c.OnKey(Key('0' + d)));
    EXPECT_FALSE(c.OnKey(Key('7')));
    EXPECT_FALSE(c.OnKey(Key('0')));
    const std::vector<std::string> all{"type 1", "type 2", "type 3", "type 4", "type 5", "type 6"};
    EXPECT_EQ(host.calls, IsAtRest(mode) ? all : std::vector<std::string>{})
        << static_cast<int>(mode);
  }
}

TEST(KeyRules, SourceDialogsNeedCtrlAndWaitForTheLiveRunToEnd) {
  FakeHost host;
  ViewController c(host);
  EXPECT_TRUE(c.OnKey(Key(vk::kF2)));  // consumed, nothing opens
  EXPECT_TRUE(c.OnKey(Key(vk::kF3, true)));
  EXPECT_TRUE(host.calls.empty());
  EXPECT_TRUE(c.OnKey(Key(vk::kF2, false, true)));
  EXPECT_TRUE(c.OnKey(Key(vk::kF3, false, true)));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"first source", "second source"}));
  host.calls.clear();
  host.mode = RunMode::Live;
  EXPECT_TRUE(c.OnKey(Key(vk::kF2, false, true)));
  EXPECT_TRUE(host.calls.empty());
}

TEST(KeyRules, SpaceTogglesFullScreenAndOtherKeysPassOn) {
  FakeHost host;
  ViewController c(host);
  EXPECT_TRUE(c.OnKey(Key(vk::kSpace)));
  EXPECT_TRUE(c.OnKey(Key(vk::kSpace)));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"enter full screen", "leave full screen"}));
  EXPECT_FALSE(c.OnKey(Key('Q')));
  EXPECT_FALSE(c.OnKey(Key(0x70)));  // F1: the help
  EXPECT_EQ(host.refreshes, 2);
}

TEST(KeyRules, ATextEditKeepsWhatIsTypedIntoIt) {
  FakeHost host;
  ViewController c(host);
  KeyPress digit = Key('2');
  digit.textEntryFocused = true;
  EXPECT_FALSE(c.OnKey(digit));
  KeyPress letter = Key(vk::kLetterS);
  letter.textEntryFocused = true;
  EXPECT_FALSE(c.OnKey(letter));
  KeyPress arrow = Key(vk::kUp);
  arrow.textEntryFocused = true;
  EXPECT_TRUE(c.OnKey(arrow));  // the map still turns
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(host.orientation.rotX, 1.0);
}

TEST(WheelRules, ZoomsOnlyOverTheMapInTheFreeViewsWithinTheLimits) {
  FakeHost host;
  ViewController c(host);
  const std::pair<float, float> at{30.0f, 40.0f};
  c.OnWheel(120, std::nullopt);  // outside the map
  EXPECT_FALSE(host.camera.zoomPending);
  c.OnWheel(-120, at);  // nothing to zoom out of
  EXPECT_FALSE(host.camera.zoomPending);
  c.OnWheel(0, at);
  EXPECT_FALSE(host.camera.zoomPending);
  c.OnWheel(120, at);
  EXPECT_TRUE(host.camera.zoomInRequested);
  EXPECT_FLOAT_EQ(host.camera.zoomMouseX, 30.0f);
  EXPECT_FLOAT_EQ(host.camera.zoomMouseY, 40.0f);
  EXPECT_FLOAT_EQ(host.camera.zoomFactor, 1.01f);
  EXPECT_EQ(host.refreshes, 4);

  host.camera.zoomPending = host.camera.zoomInRequested = false;
  host.camera.PushZoom(45, 45, 1.4f);
  c.OnWheel(120, at);
  EXPECT_FALSE(host.camera.zoomPending);
  c.OnWheel(-120, at);
  EXPECT_TRUE(host.camera.zoomOutRequested);

  host.camera.zoomPending = false;
  for (int vp : {1, 2}) {
    host.orientation.viewPoint = vp;
    c.OnWheel(-120, at);
    EXPECT_FALSE(host.camera.zoomPending) << vp;
  }
}

TEST(SourceRules, ChipSelectorItemsAndButtonCaptions) {
  const int32_t expected[] = {-1, 1, 5, 6, 7, 8, 9, 10, 11};
  for (int item = 0; item < 9; ++item) EXPECT_EQ(ChipIndexForItem(item), expected[item]) << item;
  EXPECT_EQ(ChipIndexForItem(2), 5);  // "Slave1"
  EXPECT_EQ(ChipIndexForItem(9), -1);
  EXPECT_EQ(ChipIndexForItem(-1), -1);

  EXPECT_EQ(SourceButtonCaption(SourceSlot::First, kSourceRawData), "1st-Source\nRaw Data");
  EXPECT_EQ(SourceButtonCaption(SourceSlot::Second, kSourceRawDiff), "2st-Source\nRaw Diff");
  EXPECT_EQ(SourceButtonCaption(SourceSlot::Second, kSourceNone), "2st-Source\nNone");
  EXPECT_EQ(SourceButtonCaption(SourceSlot::First, 9), "1st-Source\nNone");
  EXPECT_EQ(FirstSourceCaptionForName("RawData"), "1st-Source\nRawData");
}

TEST(SourceRules, OnlyAValidChoiceChangesTheSources) {
  using K = SourceChange::Kind;
  EXPECT_EQ(DecideSourceChange(SourceSlot::First, std::nullopt, false).kind, K::Nothing);
  EXPECT_EQ(DecideSourceChange(SourceSlot::First, 0, false).kind, K::Nothing);  // none chosen
  EXPECT_EQ(DecideSourceChange(SourceSlot::First, 7, false).kind, K::Nothing);
  EXPECT_EQ(DecideSourceChange(SourceSlot::First, 6, true), (SourceChange{K::SetFirst, 6}));

  EXPECT_EQ(DecideSourceChange(SourceSlot::Second, std::nullopt, true).kind, K::Nothing);
  EXPECT_EQ(DecideSourceChange(SourceSlot::Second, -1, true).kind, K::Nothing);
  EXPECT_EQ(DecideSourceChange(SourceSlot::Second, 7, false).kind, K::Nothing);
  EXPECT_EQ(DecideSourceChange(SourceSlot::Second, 0, true).kind, K::RemoveSecond);
  EXPECT_EQ(DecideSourceChange(SourceSlot::Second, 0, false).kind, K::CaptionOnly);
  EXPECT_EQ(DecideSourceChange(SourceSlot::Second, 4, false), (SourceChange{K::AddSecond, 4}));
  EXPECT_EQ(DecideSourceChange(SourceSlot::Second, 1, true), (SourceChange{K::SetSecond, 1}));
}

}  // namespace
}  // namespace pelorin
