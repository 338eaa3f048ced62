// The command line of pelorin-capture: what each option becomes and what is refused.
#include "cli/capture_options.h"

#include <gtest/gtest.h>

#include "data/source_type.h"

namespace pelorin {
namespace {

CaptureOptions Parse(std::vector<std::string> args) {
  CaptureOptions o;
  std::string error;
  EXPECT_TRUE(ParseCaptureOptions(args, &o, &error)) << error;
  return o;
}

std::string Refusal(std::vector<std::string> args) {
  CaptureOptions o;
  std::string error;
  EXPECT_FALSE(ParseCaptureOptions(args, &o, &error));
  return error;
}

TEST(CaptureOptions, EveryOptionLandsInItsField) {
  const CaptureOptions o =
      Parse({"--source", "rawdiff",    "--frames=50", "--every",  "3",         "--order",
             "2134",     "--chip",     "slave3",      "--out",    "d/run.csv", "--format",
             "mat",      "--limits",   "l.csv",       "--golden", "g.csv",     "--tolerance",
             "2.5%",     "--failures", "f.csv",       "--png",    "m.png",     "--range",
             "-10:90",   "--delay",    "0",           "--json",   "--quiet",   "--max-bad-frames",
             "0",        "--report",   "r.json",      "--junit",  "r.xml",     "--serial",
             "SN 42/a",  "--station",  "line 3"});
  EXPECT_EQ(o.sourceType, kSourceRawDiff);
  EXPECT_EQ(o.frames, 50);
  EXPECT_EQ(o.every, 3);
  EXPECT_EQ(o.order, "2134");
  EXPECT_EQ(o.chip, 7);
  EXPECT_EQ(o.out, "d/run.csv");
  EXPECT_TRUE(o.mat);
  EXPECT_EQ(o.limits, "l.csv");
  EXPECT_EQ(o.golden, "g.csv");
  EXPECT_EQ(o.tolerance, "2.5%");
  EXPECT_EQ(o.failures, "f.csv");
  EXPECT_EQ(o.png, "m.png");
  ASSERT_TRUE(o.range.has_value());
  EXPECT_EQ(*o.range, std::make_pair(-10, 90));
  EXPECT_EQ(o.delayMs, 0);
  EXPECT_TRUE(o.json);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.maxBadFrames, 0);
  EXPECT_EQ(o.report, "r.json");
  EXPECT_EQ(o.junit, "r.xml");
  EXPECT_EQ(o.serial, "SN 42/a");
  EXPECT_EQ(o.station, "line 3");
}

TEST(CaptureOptions, DefaultsAndTheSourceAndChipNames) {
  CaptureOptions o = Parse({"--source", "base", "--frames", "1"});
  EXPECT_EQ(o.every, 1);
  EXPECT_EQ(o.chip, -1);
  EXPECT_EQ(o.delayMs, 10);
  EXPECT_FALSE(o.mat);
  EXPECT_FALSE(o.maxBadFrames.has_value());  // counted, not judged
  const std::vector<std::pair<std::string, int32_t>> sources = {
      {"diff", kSourceDiff},       {"base", kSourceBase},   {"raw", kSourceRawData},
      {"rawdiff", kSourceRawDiff}, {"cycle", kSourceCycle}, {"loop", kSourceLoop}};
  for (const auto& [name, type] : sources)
    EXPECT_EQ(Parse({"--source", name, "--frames", "1"}).sourceType, type);
  EXPECT_EQ(Parse({"--source", "diff", "--frames", "1", "--chip", "master"}).chip, 1);
  EXPECT_EQ(Parse({"--source", "diff", "--frames", "1", "--chip", "slave1"}).chip, 5);
  EXPECT_EQ(Parse({"--source", "diff", "--frames", "1", "--chip", "slave7"}).chip, 11);
  EXPECT_TRUE(Parse({"--help"}).help);
}

TEST(CaptureOptions, RefusesWhatCannotRun) {
  EXPECT_EQ(Refusal({"--frames", "5"}), "--source is required");
  EXPECT_EQ(Refusal({"--source", "diff"}), "--frames is required");
  EXPECT_NE(Refusal({"--source", "touch", "--frames", "5"}).find("bad value for --source"),
            std::string::npos);
  for (const char* frames : {"0", "-1", "5x", "", "100000001"})
    EXPECT_NE(Refusal({"--source", "diff", "--frames", frames}).find("--frames"), std::string::npos)
        << frames;
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--every", "0"}).find("--every"),
            std::string::npos);
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--order", "21a"}).find("--order"),
            std::string::npos);
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--order", "1234567"}).find("--order"),
            std::string::npos);
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--chip", "slave8"}).find("--chip"),
            std::string::npos);
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--format", "xls"}).find("--format"),
            std::string::npos);
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--range", "9:9"}).find("--range"),
            std::string::npos);
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--out", "dir/"}).find("--out"),
            std::string::npos);
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--max-bad-frames", "-1"})
                .find("--max-bad-frames"),
            std::string::npos);
  EXPECT_EQ(Refusal({"--source", "diff", "--frames", "5", "--tolerance", "3"}),
            "--tolerance needs --golden");
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--golden", "g", "--tolerance", "-3%"})
                .find("--tolerance"),
            std::string::npos);
  // A serial number or station name goes into JSON, XML and a line's database.
  for (const std::string& label : {std::string(), std::string("a\nb"), std::string("tab\t"),
                                   std::string("del\x7f"), std::string(201, 's')}) {
    EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--serial", label}).find("--serial"),
              std::string::npos)
        << label;
  }
  EXPECT_EQ(Refusal({"--source", "diff", "--frames", "5", "--report", "r", "--junit", "r"}),
            "--report and --junit name the same file");
  EXPECT_NE(Refusal({"--source", "diff", "--frames", "5", "--report", "out/"}).find("--report"),
            std::string::npos);
  EXPECT_EQ(Refusal({"--source", "diff", "--frames", "5", "--json=1"}), "--json takes no value");
  EXPECT_EQ(Refusal({"--source", "diff", "--frames"}), "--frames needs a value");
  EXPECT_EQ(Refusal({"--source", "diff", "--frames", "5", "-x"}), "unknown option \"-x\"");
}

}  // namespace
}  // namespace pelorin
