// The pieces of the line report that the runs against panelsim cannot steer: which rule a
// failing cell is filed under, text that must stay XML whatever bytes it holds, the file
// replaced only when whole, and the checks of a run that ended before its judgement.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "cli/check_results.h"
#include "cli/line_report.h"
#include "cli/run_info.h"
#include "cli/xml_text.h"

namespace pelorin {
namespace {

namespace fs = std::filesystem;

// A 3 x 2 panel whose cell (x, y) shows 10 * x + y in one frame and two more in the next.
CellStatistics Panel() {
  CellStatistics s;
  s.Reset(3, 2);
  for (int32_t add : {0, 2}) {
    std::vector<int32_t> cells;
    for (int32_t x = 0; x < 3; ++x)
      for (int32_t y = 0; y < 2; ++y) cells.push_back(10 * x + y + add);
    s.Add(cells.data(), nullptr);
  }
  return s;
}

// What the report files of a rule: cells, failures, lowest, highest, outcome.
using Filed =
    std::tuple<int32_t, int32_t, std::optional<double>, std::optional<double>, CheckOutcome>;
Filed FiledOf(const RuleResult& r) { return {r.cells, r.failures, r.lowest, r.highest, r.outcome}; }

TEST(LineReportRules, EachRuleGetsTheCellsItGovernsTheirExtremesAndTheirFailures) {
  struct Row {
    const char* name;
    const char* limits;
    std::vector<Filed> rules;
  } rows[] = {
      {"one panel rule", "value, *, *, 0, 100\n", {{6, 0, 0, 23, CheckOutcome::Pass}}},
      {"a line inside the panel, a cell inside the line",
       "value, *, *, 0, 100\nvalue, 2, *, 0, 5\nvalue, 2, 1, 0, 100\n",
       {{4, 0, 0, 13, CheckOutcome::Pass},
        {1, 1, 20, 22, CheckOutcome::Fail},  // (2, 0) shows 20 and 22, above 5
        {1, 0, 21, 23, CheckOutcome::Pass}}},
      {"a cell failing both bounds counts twice",
       "value, *, *, 0, 100\nvalue, 1, 1, 12, 12\n",
       {{5, 0, 0, 23, CheckOutcome::Pass}, {1, 2, 11, 13, CheckOutcome::Fail}}},
      {"a panel rule every cell of which a later one takes",
       "value, *, *, 0, 1\nvalue, *, *, 0, 100\n",
       {{0, 0, std::nullopt, std::nullopt, CheckOutcome::NotApplied},
        {6, 0, 0, 23, CheckOutcome::Pass}}},
      {"a sense line over a drive line: the later of the two",
       "value, 1, *, 0, 1\nvalue, *, 0, , 30\n",
       {{1, 1, 11, 13, CheckOutcome::Fail}, {3, 0, 0, 22, CheckOutcome::Pass}}},
      {"noise rules without noise figures stay unchecked",
       "noise_pp, *, *, , 1\n",
       {{0, 0, std::nullopt, std::nullopt, CheckOutcome::NotChecked}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LimitsFile limits;
    std::string error;
    ASSERT_TRUE(ParseLimits(row.limits, &limits, &error)) << error;
    const CellStatistics stats = Panel();
    std::vector<CellBounds> bounds;
    ASSERT_TRUE(ResolveLimits(limits, LimitKind::Value, 3, 2, &bounds, &error));
    std::vector<CellFailure> failures;
    CheckValueLimits(stats, bounds, &failures);
    std::vector<RuleResult> rules;
    ASSERT_TRUE(JudgedRules(limits, stats, nullptr, failures, &rules, &error)) << error;
    ASSERT_EQ(rules.size(), row.rules.size());
    for (size_t i = 0; i < rules.size(); ++i) EXPECT_EQ(FiledOf(rules[i]), row.rules[i]) << i;
  }
}

TEST(LineReportRules, NoiseRulesTakeTheNoiseOfTheirCellsAndTheLargestDistanceFromAGolden) {
  LimitsFile limits;
  std::string error;
  ASSERT_TRUE(ParseLimits("noise_pp, *, *, , 1.5\nnoise_rms, 0, *, , 9\n", &limits, &error));
  CellNoiseFigures noise{.width = 3, .height = 2};
  noise.peakToPeak = {1, 2, 1, 1, 1, 1};  // (0, 1) too noisy
  noise.rms = {0.5, 0.7, 0.4, 0.4, 0.4, 0.4};
  noise.valid = {1, 1, 1, 1, 1, 0};  // (2, 1) without a figure
  std::vector<CellBounds> pp, rms;
  ASSERT_TRUE(ResolveLimits(limits, LimitKind::NoisePp, 3, 2, &pp, &error));
  ASSERT_TRUE(ResolveLimits(limits, LimitKind::NoiseRms, 3, 2, &rms, &error));
  std::vector<CellFailure> failures;
  CheckNoiseLimits(noise, pp, rms, &failures);
  std::vector<RuleResult> rules;
  ASSERT_TRUE(JudgedRules(limits, Panel(), &noise, failures, &rules, &error));
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(FiledOf(rules[0]), Filed(5, 1, 1.0, 2.0, CheckOutcome::Fail));
  EXPECT_EQ(FiledOf(rules[1]), Filed(2, 0, 0.5, 0.7, CheckOutcome::Pass));

  // Cell means 10 * x + y + 1; the reference is off by 3 at (1, 0) and masked at (2, 1).
  GoldenFrame golden{.width = 3, .height = 2, .frames = 4, .source = "Base"};
  golden.mean = {1, 2, 14, 12, 21, 99};
  golden.valid = {1, 1, 1, 1, 1, 0};
  failures.clear();
  ASSERT_TRUE(CheckGolden(Panel(), golden, Tolerance{2, false}, &failures, &error));
  GoldenResult g;
  MeasureGolden(Panel(), golden, failures, &g);
  EXPECT_EQ(std::tie(g.cells, g.maxDeviation, g.x, g.y, g.failures, g.outcome),
            std::make_tuple(5, 3.0, 1, 0, 1, CheckOutcome::Fail));
  failures.clear();  // within a tolerance of 3 it passes
  ASSERT_TRUE(CheckGolden(Panel(), golden, Tolerance{3, false}, &failures, &error));
  MeasureGolden(Panel(), golden, failures, &g);
  EXPECT_EQ(g.outcome, CheckOutcome::Pass);
}

TEST(LineReportText, XmlTextKeepsMarkupAndStraysOutOfTheFile) {
  struct Row {
    std::string in;
    bool attribute;
    std::string out;
  } rows[] = {
      {"SN <1> & \"2\" 'x'", true, "SN &lt;1&gt; &amp; &quot;2&quot; &apos;x&apos;"},
      {"a\nb\tc\rd", true, "a&#10;b&#9;c&#13;d"},
      {std::string("nul\0bell\x07", 9), true, "nul?bell?"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", true,
       "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"cut \xC3", true, "cut \xEF\xBF\xBD"},                          // a sequence cut short
      {"\xC0\xAF", true, "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong '/'
      {"\xED\xA0\x80", true, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"\xEF\xBF\xBE", true, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // U+FFFE
  };
  for (const Row& row : rows) EXPECT_EQ(XmlEscape(row.in, row.attribute), row.out) << row.in;
}

// (Replacing only when whole, and refusing a folder, are tested on the program itself.)
TEST(LineReportFile, AReplacedFileKeepsItsMode) {
  char folder[] = "/tmp/pelorin-report-file-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const fs::path file = fs::path(folder) / "unit.json";
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(file.string(), "first\n", &error)) << error;
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileReplacing(file.string(), "second, longer\n", &error)) << error;
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  EXPECT_EQ(text.str(), "second, longer\n");
  EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
  fs::remove_all(folder);
}

TEST(LineReportChecks, ARunThatEndedBeforeItsJudgementSkipsItsChecksAndErrsOnTheCapture) {
  CaptureOptions o;
  o.limits = "limits.csv";
  o.golden = "golden.csv";
  o.maxBadFrames = 0;
  CaptureSummary s;
  s.requested = 10;
  s.frames = 4;
  s.outcome = "device lost";
  s.rules = {RuleResult{.rule = LimitRule{.kind = LimitKind::Value}},
             RuleResult{.rule = LimitRule{.kind = LimitKind::NoiseRms}}};
  s.golden = GoldenResult{.file = "golden.csv"};
  s.exitStatus = kExitDeviceError;
  s.badFrames.zero = s.badFrames.repeated = 1;
  const std::vector<LineCheck> checks = LineChecks(o, s);
  std::vector<std::string> names;
  for (const LineCheck& c : checks) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"capture", "limits value", "limits noise_rms",
                                             "golden", "bad frames"}));
  EXPECT_TRUE(checks[0].error);
  EXPECT_EQ(checks[0].message, "device lost after 4 of 10 frames");
  for (size_t i = 1; i < checks.size(); ++i) {
    EXPECT_EQ(checks[i].outcome, CheckOutcome::NotChecked) << checks[i].name;
    EXPECT_EQ(checks[i].message, "not checked: the capture ended with \"device lost\"");
  }
  // The frames it read are counted all the same.
  EXPECT_NE(SummaryText(s).find("bad frames 2: 1 all zero, 1 repeated"), std::string::npos);
}

}  // namespace
}  // namespace pelorin
