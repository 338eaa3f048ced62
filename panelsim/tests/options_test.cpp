// The command line of the panelsim program, and the program itself.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "panelsim/options.h"
#include "panelsim/uhid.h"
#include "raw_client.h"

namespace panelsim {
namespace {

TEST(Options, DefaultsSuitADemo) {
  ProgramOptions o;
  std::string err;
  ASSERT_TRUE(ParseOptions({}, &o, &err)) << err;
  EXPECT_EQ(o.server.firmware.type, DeviceType::Z3Usb);
  EXPECT_EQ(o.server.firmware.panel.chips, 3);
  EXPECT_GT(o.server.firmware.panel.fingers, 0);
  EXPECT_FALSE(o.uhid);
}

TEST(Options, EveryOptionIsParsedAndDocumented) {
  ProgramOptions o;
  std::string err;
  ASSERT_TRUE(ParseOptions({"--type", "DEV_Z2_USB", "--chips", "4", "--drive=40", "--sense", "20,21,22,23",
                            "--overlap", "0", "--seed", "99", "--fingers", "0", "--touch-from", "30", "--noise", "1", "--ready-after",
                            "3", "--pace", "1000", "--folder", "/tmp/x", "--name", "mine", "--fault",
                            "nack:cmd=0x86,count=2", "--fault", "never-ready", "--uhid", "-q", "--slaves-only",
                            "--bad-frames", "repeat:5,zero:9"},
                           &o, &err))
      << err;
  EXPECT_EQ(o.server.firmware.type, DeviceType::Z2Usb);
  EXPECT_EQ(o.server.firmware.panel.chips, 4);
  EXPECT_EQ(o.server.firmware.panel.drive, 40);
  EXPECT_EQ(o.server.firmware.panel.sense, (std::vector<int>{20, 21, 22, 23}));
  EXPECT_EQ(o.server.firmware.panel.overlap, 0);
  EXPECT_EQ(o.server.firmware.panel.seed, 99u);
  EXPECT_EQ(o.server.firmware.panel.touch_from, 30u);
  EXPECT_EQ(o.server.firmware.ready_after_polls, 3);
  EXPECT_EQ(o.server.firmware.repeat_frame, 5u);
  EXPECT_EQ(o.server.firmware.zero_frame, 9u);
  EXPECT_EQ(o.server.pace_us, 1000);
  EXPECT_EQ(o.server.folder, "/tmp/x");
  EXPECT_EQ(o.server.name, "mine");
  EXPECT_EQ(o.server.faults.size(), 2u);
  EXPECT_TRUE(o.uhid && o.quiet && !o.server.firmware.panel.master_senses);
  for (const char* name : {"--type", "--chips", "--drive", "--sense", "--overlap", "--seed", "--fingers", "--touch-from", "--noise",
                           "--ready-after", "--bad-frames", "--pace", "--folder", "--name", "--fault", "--uhid", "--slaves-only",
                           "--quiet", "--help", "--replay", "--replay-source", "--replay-pace", "--loop",
                           "--replay-reverse", "--replay-turn-over"})
    EXPECT_NE(Usage().find(name), std::string::npos) << name;
  // Every fault kind is listed and parses by the name shown, and no line runs past the
  // help's width.
  for (FaultKind kind : AllFaultKinds()) {
    const std::string name = FaultKindName(kind);
    EXPECT_NE(Usage().find(" " + name + (kind == AllFaultKinds().back() ? "." : ",")),
              std::string::npos)
        << name;
    std::string why;
    EXPECT_TRUE(ParseFault(name, &why)) << why;
  }
  std::istringstream lines(Usage());
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 90u) << line;
}

TEST(Options, BadValuesAreRefusedWithAReason) {
  ProgramOptions o;
  std::string err;
  // Replay pacing shares --pace's words but never its numbers: a number paces the wire.
  ASSERT_TRUE(ParseOptions({"--replay", "f.csv", "--pace", "25"}, &o, &err)) << err;
  EXPECT_EQ(o.server.pace_us, 25);
  EXPECT_EQ(o.replay.pace, ReplayPace::Recorded);
  ASSERT_TRUE(ParseOptions({"--replay", "f.csv", "--pace", "fast"}, &o, &err)) << err;
  EXPECT_EQ(o.replay.pace, ReplayPace::Fast);
  EXPECT_FALSE(ParseOptions({"--replay", "f.csv", "--replay-pace", "0"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--replay", "f.csv", "--replay-pace", "slow"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--replay", ""}, &o, &err));
  for (const char* alone : {"--loop", "--replay-reverse"}) {
    EXPECT_FALSE(ParseOptions({alone}, &o, &err));
    EXPECT_NE(err.find("go with --replay FILE"), std::string::npos) << alone;
  }
  EXPECT_FALSE(ParseOptions({"--replay-pace", "fast"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--chips", "0"}, &o, &err));
  EXPECT_NE(err.find("--chips"), std::string::npos);
  EXPECT_FALSE(ParseOptions({"--chips"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--type", "DEV_SPI"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--sense", "20,,3"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--chips", "2", "--sense", "20,21,22"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--name", "a/b"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--fault", "nack:cmd=x"}, &o, &err));
  EXPECT_FALSE(ParseOptions({"--frobnicate"}, &o, &err));
  for (const char* bad : {"", "repeat", "repeat:0", "zero:x", "twice:3", "repeat:1,", "zero:-1"}) {
    EXPECT_FALSE(ParseOptions({"--bad-frames", bad}, &o, &err)) << bad;
    EXPECT_NE(err.find("--bad-frames"), std::string::npos) << bad;
  }
}

TEST(Uhid, MissingDeviceIsAClearFailure) {
  ServerConfig cfg;
  std::string err;
  EXPECT_EQ(ServeUhid(cfg, [] { return true; }, &err, "/nonexistent/uhid"), 1);
  EXPECT_NE(err.find("/nonexistent/uhid"), std::string::npos);
}

TEST(Program, ServesUntilTerminatedAndRemovesItsSocket) {
  char tmpl[] = "/tmp/panelsim-prog-XXXXXX";
  std::string dir = ::mkdtemp(tmpl);
  std::string sock = dir + "/panelsim-z2usb.sock";
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::execl(PANELSIM_PROGRAM, "panelsim", "--type", "z2usb", "--folder", dir.c_str(), "-q", nullptr);
    ::_exit(127);
  }
  bool up = false;
  for (int i = 0; i < 500 && !up; ++i) {  // bounded: at most 5 s
    up = std::filesystem::exists(sock);
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(up);
  if (up) {
    test::RawClient host(sock);
    auto create = host.Receive();
    ASSERT_TRUE(create);
    EXPECT_EQ(create->u.create2.product, 0x3a04u);
  }
  ::kill(pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 500; ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::exists(sock));
  std::filesystem::remove_all(dir);
}

TEST(Program, BadOptionExitsTwo) {
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::execl(PANELSIM_PROGRAM, "panelsim", "--chips", "12", nullptr);
    ::_exit(127);
  }
  int status = 0;
  for (int i = 0; i < 500; ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace panelsim
