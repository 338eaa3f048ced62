// The log sink: whole texts reach the installed sink, long ones uncut; packet dumps keep
// their exact form; without a sink the text goes to standard output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library_state.h"
#include "log_sink.h"
#include "support/log_capture.h"
#include "transport/log.h"

namespace corlink {
namespace {

std::vector<std::string>& Pieces() {
  static std::vector<std::string> pieces;
  return pieces;
}
void KeepPiece(const char* text, size_t length) { Pieces().emplace_back(text, length); }

TEST(LogSink, EveryMessageArrivesWholeInOnePiece) {
  const std::string long_path(700, 'p');
  struct Case {
    std::string format_arg;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", "DEVICE: CreateFile failed with error 0x\n"},
      {std::string(200, 'x'),
       "DEVICE: CreateFile failed with error 0x" + std::string(200, 'x') + "\n"},
      // Around and past the formatting buffer: nothing may be cut off.
      {std::string(216, 'y'),
       "DEVICE: CreateFile failed with error 0x" + std::string(216, 'y') + "\n"},
      {long_path, "DEVICE: CreateFile failed with error 0x" + long_path + "\n"},
  };
  for (const Case& c : cases) {
    Pieces().clear();
    SetLogSink(KeepPiece);
    Log("DEVICE: CreateFile failed with error 0x%s\n", c.format_arg.c_str());
    SetLogSink(nullptr);
    ASSERT_EQ(Pieces().size(), 1u) << c.format_arg.size();
    EXPECT_EQ(Pieces()[0], c.expected) << c.format_arg.size();
  }
}

TEST(LogSink, PacketDumpsKeepTheirFormAndLevel) {
  std::vector<uint8_t> packet(64);
  for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<uint8_t>(i * 17);
  auto hex = [&](size_t n) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
      std::snprintf(b, sizeof b, "%02x ", packet[i]);
      s += b;
    }
    return s;
  };
  struct Case {
    int verbose;
    bool short_form;
    size_t len;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {0, false, 19, ""},
      {0, true, 64, ""},
      {1, false, 0, "W: \n"},
      {1, false, 19, "W: " + hex(19) + "\n"},
      {1, false, 64, "W: " + hex(64) + "\n"},
      {2, true, 16, "W: " + hex(16) + "\n"},
      {1, true, 17, "W: " + hex(16) + "...\n"},
      {1, true, 64, "W: " + hex(16) + "...\n"},
  };
  for (const Case& c : cases) {
    ResetState();
    transport::SetVerbose(c.verbose);
    test::CaptureLog();
    if (c.short_form) {
      transport::DumpPacketShort("W: ", packet.data(), c.len);
    } else {
      transport::DumpPacket("W: ", packet.data(), c.len);
    }
    EXPECT_EQ(test::CapturedLog(), c.expected) << c.verbose << " " << c.len;
  }
  ResetState();
}

TEST(LogSink, WithoutASinkTheTextGoesToStandardOutput) {
  SetLogSink(KeepPiece);
  SetLogSink(nullptr);
  ::testing::internal::CaptureStdout();
  Log("RST\n");
  Log("New PID = %04X\n", 0x3a05);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "RST\nNew PID = 3A05\n");
}

}  // namespace
}  // namespace corlink
