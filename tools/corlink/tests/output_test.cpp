// What the tool prints: the progress in both forms, JSON escaping, usage errors.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli.h"
#include "progress.h"

namespace corlink_tool {
namespace {

TEST(Progress, PlainLinesAtEachTenthWhenNotATerminal) {
  std::ostringstream out;
  ProgressPrinter p(out, false);
  for (size_t done = 100; done <= 1000; done += 100) p.Show("write ", done, 1000);
  p.Show("write ", 1000, 1000);  // no repeat
  p.Show("verify", 1000, 1000);
  p.Done();
  const std::string text = out.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);
  EXPECT_NE(text.find("write  500/1000 bytes (50%)\n"), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_NE(text.find("verify 1000/1000 bytes (100%)\n"), std::string::npos);
}

TEST(Progress, ABarRedrawnInPlaceOnATerminal) {
  std::ostringstream out;
  ProgressPrinter p(out, true);
  p.Show("write ", 0, 4);
  p.Show("write ", 2, 4);
  p.Show("write ", 2, 4);  // same percentage: not drawn again
  p.Show("write ", 4, 4);
  p.Done();
  const std::string text = out.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_NE(text.find("[" + std::string(20, '#') + std::string(20, ' ') + "] 50% 2/4 bytes"), std::string::npos);
}

int RunCli(std::vector<std::string> args, std::string* out, std::string* err) {
  std::ostringstream o, e;
  Console c{o, e, false};
  const int code = RunTool(args, c);
  *out = o.str();
  *err = e.str();
  return code;
}

TEST(CommandLine, UsageErrorsExitTwoBeforeAnyDeviceIsLookedFor) {
  std::string out, err;
  EXPECT_EQ(RunCli({}, &out, &err), 2);
  EXPECT_NE(err.find("no command given"), std::string::npos);
  EXPECT_EQ(RunCli({"--bogus", "info"}, &out, &err), 2);
  EXPECT_NE(err.find("unknown option --bogus"), std::string::npos);
  EXPECT_EQ(RunCli({"--device"}, &out, &err), 2);
  EXPECT_EQ(RunCli({"mem", "write", "1"}, &out, &err), 2);
  EXPECT_EQ(RunCli({"crc", "0x10", "0"}, &out, &err), 2);
  EXPECT_EQ(RunCli({"power", "x"}, &out, &err), 2);
  EXPECT_EQ(RunCli({"flash"}, &out, &err), 2);
  EXPECT_EQ(RunCli({"flash", "/nonexistent/image.hex"}, &out, &err), 2);
  EXPECT_NE(err.find("cannot read /nonexistent/image.hex"), std::string::npos);
  EXPECT_EQ(RunCli({"--address", "0x1g", "flash", "x"}, &out, &err), 2);
  EXPECT_EQ(RunCli({"--json", "reset", "now"}, &out, &err), 2);
  EXPECT_EQ(out, "{\"command\":\"reset\",\"exit\":2,\"error\":\"reset takes no operands\"}\n");
  EXPECT_EQ(RunCli({"--help"}, &out, &err), 0);
  EXPECT_NE(
      out.find(
          "exit codes: 0 ok, 1 device error (also: the device is in use by another program),\n"
          "            2 usage or bad file, 3 verify mismatch, 130 interrupted (SIGINT, SIGTERM)"),
      std::string::npos);
}

// A path or message with quotes, control bytes and bytes that are not UTF-8 still gives
// one JSON document a script can read.
TEST(CommandLine, JsonErrorsStayParseable) {
  std::string out, err;
  EXPECT_EQ(RunCli({"--json", "flash", "/nonexistent/a\"b\n\x01\xff.hex"}, &out, &err), 2);
  const auto doc = nlohmann::json::parse(out);
  EXPECT_EQ(doc["command"], "flash");
  EXPECT_EQ(doc["exit"], 2);
  EXPECT_NE(doc["error"].get<std::string>().find("/nonexistent/a\"b\n\x01"), std::string::npos);
}

}  // namespace
}  // namespace corlink_tool
