// The settings file through the session: what the load gives the models and the controls,
// where it stops, what the close writes back, and the messages for keys that are missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/live_model.h"
#include "data/session/viewer_session.h"
#include "fake_view.h"
#include "temp_dir.h"

namespace pelorin {
namespace {

using testing::FakeView;
using testing::TempDir;

std::string DefaultSettings() {
  std::string text;
  for (const char* section : {"Base", "Cycle", "Loop", "RawData", "Diff", "RawDiff"})
    text += std::string("[") + section + "]\nMAX_DATA_RANGE=250\nMIN_DATA_RANGE=0\n\n";
  return text +
         "[Pelorin]\nSOURCE_TYPE=3\nSECOND_SOURCE_TYPE=0\nREVERSE=0\n"
         "DELAY_BEFORE_ENABLE_DIGNOSIS=10\nDRAW_STYLE=1\nDUMP_TYPE=1\nVIEW_POINT=1\n"
         "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1\nDISPLAY_RANGE_SHIFT=5\nAUTO_CENTER=0\n\n"
         "[Hide]\nRX_CHIP_INDEX=ALL\nHIDE_RX=\nHIDE_TX=\nHIDE_SHOW=0\n\n"
         "[Mask]\nMASK_RX=\nMASK_TX=\nMASK_SHOW=0\nMASK_POINT=\nIS_MASK=0\n\n"
         "[Filter]\nTOP_LEFT=1\nTOP_MID=1\nTOP_RIGHT=1\nNAVEL_LEFT=1\nNAVEL_MID=1\n"
         "NAVEL_RIGHT=1\nBOTTOM_LEFT=1\nBOTTOM_MID=1\nBOTTOM_RIGHT=1\nFILTER_THRESHOLD=0\n"
         "FILTER_TYPE=0\n";
}

// The text with each `from` replaced by its `to`; a `from` not in the text is a fault of
// the test.
std::string Edited(std::vector<std::pair<std::string, std::string>> edits) {
  std::string text = DefaultSettings();
  for (const auto& [from, to] : edits) {
    const size_t at = text.find(from);
    if (at == std::string::npos) throw std::invalid_argument("not in the text: " + from);
    text.replace(at, from.size(), to);
  }
  return text;
}

class SettingsFile : public ::testing::Test {
 protected:
  void Open(const std::string& text) {
    std::ofstream(dir.File("PLsetting.ini"), std::ios::binary) << text;
    session.Init({}, dir.Path().string());
  }
  std::string Written() const {
    std::ifstream in(dir.File("PLsetting.ini"), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  TempDir dir;
  FakeView view;
  ViewerSession session{view};
};

TEST_F(SettingsFile, AFullFileGivesEveryValueToTheModelsAndTheControls) {
  Open(Edited({{"[Diff]\nMAX_DATA_RANGE=250\nMIN_DATA_RANGE=0",
                "[Diff]\nMAX_DATA_RANGE=120\nMIN_DATA_RANGE=-40"},
               {"SOURCE_TYPE=3", "SOURCE_TYPE=6"},
               {"SECOND_SOURCE_TYPE=0", "SECOND_SOURCE_TYPE=2"},
               {"REVERSE=0", "REVERSE=1"},
               {"DRAW_STYLE=1", "DRAW_STYLE=7"},
               {"DUMP_TYPE=1", "DUMP_TYPE=0"},
               {"VIEW_POINT=1", "VIEW_POINT=3"},
               {"DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1", "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=4"},
               {"DISPLAY_RANGE_SHIFT=5", "DISPLAY_RANGE_SHIFT=9"},
               {"AUTO_CENTER=0", "AUTO_CENTER=1"},
               {"HIDE_RX=", "HIDE_RX=1,2"},
               {"HIDE_SHOW=0", "HIDE_SHOW=1"},
               {"MASK_POINT=", "MASK_POINT=1,2;3,4"},
               {"IS_MASK=0", "IS_MASK=1"},
               {"TOP_MID=1", "TOP_MID=-1"},
               {"FILTER_THRESHOLD=0", "FILTER_THRESHOLD=12"},
               {"FILTER_TYPE=0", "FILTER_TYPE=2"}}));

  ASSERT_EQ(session.Models().size(), 2u);
  const InstantModel* first = session.LiveModel(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetSourceType(), 6);
  EXPECT_EQ(first->GetName(), "Diff");
  EXPECT_EQ(first->GetReadAddress(), 0x53000000u);
  EXPECT_EQ(first->GetRangeMax(), 120);
  EXPECT_EQ(first->GetRangeMin(), -40);
  EXPECT_EQ(session.ValueOf(Value::MaxSlider), 220);
  EXPECT_EQ(session.ValueOf(Value::MinSlider), 160);
  EXPECT_EQ(session.ValueOf(Value::RangeMax), 120);
  EXPECT_EQ(first->GetHideSenseList(), "1,2");
  EXPECT_EQ(first->GetHideChip(), "ALL");
  EXPECT_EQ(first->GetMaskPoints(), "1,2;3,4");
  EXPECT_TRUE(first->GetMaskOn());
  EXPECT_EQ(first->Kernel()[0][1], -1);
  EXPECT_EQ(first->GetFilterThreshold(), 12);
  EXPECT_EQ(first->GetFilterType(), 2);
  EXPECT_TRUE(first->GetReverse());
  EXPECT_EQ(session.ValueOf(Value::Reverse), 1);
  EXPECT_EQ(first->GetDiagDelay(), 10);
  EXPECT_EQ(session.Models()[1]->GetName(), "Cycle");
  EXPECT_EQ(session.Text(Field::FirstSource), "1st-Source\nDiff");
  EXPECT_EQ(session.Text(Field::SecondSource), "2st-Source\nCycle");

  const SessionSettings& s = session.Settings();
  EXPECT_EQ(s.drawStyle, 0);  // only 1 selects Style2
  EXPECT_EQ(session.ValueOf(Value::DrawStyle), 0);
  EXPECT_EQ(s.dumpType, 0);
  EXPECT_EQ(s.viewPoint, 3);
  EXPECT_EQ(session.ValueOf(Value::ViewPoint), 3);
  EXPECT_EQ(s.dumpInterval, 4);
  EXPECT_EQ(s.displayRangeShift, 9);
  EXPECT_TRUE(s.autoCenter);
  EXPECT_EQ(session.ValueOf(Value::AutoCenter), 1);
  // HIDE_SHOW locks Hide Button on.
  EXPECT_TRUE(first->GetHideShow());
  EXPECT_TRUE(first->GetHideOn());
  EXPECT_EQ(session.ValueOf(Value::HideButton), 1);
  EXPECT_FALSE(session.Enabled(Control::HideButton));
  EXPECT_EQ(session.Text(Field::Status), "");
}

// A bad source type stops the load; what comes after it keeps the initial values.
TEST_F(SettingsFile, ABadSourceTypeStopsTheLoadWhereItStands) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> edits;
    std::string status;
    int32_t firstType;
    bool reverse;  // read before the second source
    size_t models;
    int32_t cycleMax;  // the range table is read first
  };
  const Case cases[] = {
      {"no second source",
       {{"SECOND_SOURCE_TYPE=0\n", ""},
        {"AUTO_CENTER=0", "AUTO_CENTER=1"},
        {"DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1", "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=3"},
        {"REVERSE=0", "REVERSE=1"}},
       "the second source setting is wrong",
       3,
       true,
       1,
       250},
      {"first source seven",
       {{"SOURCE_TYPE=3", "SOURCE_TYPE=7"},
        {"REVERSE=0", "REVERSE=1"},
        {"[Cycle]\nMAX_DATA_RANGE=250", "[Cycle]\nMAX_DATA_RANGE=222"}},
       "the first source setting is wrong",
       3,
       false,
       1,
       222},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeView v;
    ViewerSession s(v);
    std::ofstream(dir.File("PLsetting.ini"), std::ios::binary) << Edited(c.edits);
    s.Init({}, dir.Path().string());
    EXPECT_EQ(s.Text(Field::Status), c.status);
    EXPECT_EQ(s.Models()[0]->GetSourceType(), c.firstType);
    EXPECT_EQ(s.ValueOf(Value::Reverse), c.reverse ? 1 : 0);
    EXPECT_EQ(s.Models().size(), c.models);
    EXPECT_EQ(s.SourceRanges().For(2).max, c.cycleMax);
    EXPECT_EQ(s.Settings().viewPoint, 0);
    EXPECT_EQ(s.Settings().drawStyle, 0);
    EXPECT_EQ(s.Settings().dumpType, 0);
    EXPECT_EQ(s.Settings().dumpInterval, 1);
    EXPECT_EQ(s.Settings().displayRangeShift, 5);
    EXPECT_FALSE(s.Settings().autoCenter);
  }
}

TEST_F(SettingsFile, OutOfRangeValuesFallBack) {
  Open(Edited({{"DELAY_BEFORE_ENABLE_DIGNOSIS=10", "DELAY_BEFORE_ENABLE_DIGNOSIS=-5"},
               {"DUMP_ONE_FRAME_EVERY_FEW_FRAMES=1", "DUMP_ONE_FRAME_EVERY_FEW_FRAMES=0"}}));
  EXPECT_EQ(session.LiveModel(0)->GetDiagDelay(), 10);
  EXPECT_EQ(session.Settings().dumpInterval, 1);
}

TEST_F(SettingsFile, NoFileShowsThePathAndTheCloseWritesNothing) {
  session.Init({}, dir.Path().string());
  EXPECT_EQ(session.SettingsPath(), dir.File("PLsetting.ini"));
  EXPECT_EQ(session.Text(Field::Status), "can't load csv at " + session.SettingsPath());
  EXPECT_FALSE(session.HasSettingsStore());
  session.Close();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(session.SettingsPath()));
}

TEST_F(SettingsFile, TheCloseNamesEveryMissingKey) {
  Open(Edited(
      {{"SOURCE_TYPE=3", "SOURCE_TYPE = 4"},
       {"SECOND_SOURCE_TYPE=0", "SECOND_SOURCE_TYPE=5"},
       {"VIEW_POINT=1\n", ""},
       {"[Cycle]\nMAX_DATA_RANGE=250\n", "[Cycle]\n"},
       {"[RawDiff]\nMAX_DATA_RANGE=250\nMIN_DATA_RANGE=0\n", "[RawDiff]\nMAX_DATA_RANGE=250\n"},
       {"AUTO_CENTER=0\n", ""}}));
  EXPECT_EQ(session.Models()[0]->GetName(), "RawData");
  session.Close();
  EXPECT_TRUE(session.Models().empty());
  EXPECT_EQ(view.messages,
            (std::vector<std::string>{"VIEW_POINT not exist: Set Config File Failed",
                                      "Cycle - MAX_DATA_RANGE not exist: Set Config File Failed",
                                      "RawDiff - MIN_DATA_RANGE not exist: Set Config File Failed",
                                      "AUTO_CENTER not exist: Set Config File Failed"}));
  // A second close changes nothing.
  session.Close();
  EXPECT_EQ(view.messages.size(), 4u);
}

TEST_F(SettingsFile, TheCloseWritesTheSessionsValues) {
  Open(Edited(
      {{"SOURCE_TYPE=3", "SOURCE_TYPE = 4"}, {"SECOND_SOURCE_TYPE=0", "SECOND_SOURCE_TYPE=5"}}));
  session.SetViewPoint(2);
  session.SelectDrawStyle(1);
  session.ShowRange({MaxSliderPosition(199), MinSliderPosition(-20)});
  session.Close();
  EXPECT_TRUE(view.messages.empty());
  const std::string written = Written();
  for (const char* line : {"\nSOURCE_TYPE=4\n", "VIEW_POINT=2\n", "SECOND_SOURCE_TYPE=5\n",
                           "DRAW_STYLE=1\n", "[DEFAULT]\n"})
    EXPECT_NE(written.find(line), std::string::npos) << line << written;
  const size_t raw = written.find("[RawData]\n");
  ASSERT_NE(raw, std::string::npos);
  const std::string section = written.substr(raw, written.find("\n\n", raw) + 1 - raw);
  EXPECT_NE(section.find("MAX_DATA_RANGE=199\n"), std::string::npos) << written;
  EXPECT_NE(section.find("MIN_DATA_RANGE=-20\n"), std::string::npos) << written;
  EXPECT_EQ(written.find('#'), std::string::npos);
}

}  // namespace
}  // namespace pelorin
