// The device lock: /proc/locks read for the holder, another process refused with EBUSY and
// a line naming this one, the same process let in again through its open handle, and the
// lock given up once every handle is closed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "hid/device_lock.h"

namespace corlink::hid {
namespace {

TEST(FlockHolder, FindsTheFlockOfTheFileAndNothingElse) {
  const dev_t dev = makedev(0, 0x19);
  const struct {
    const char* text;
    std::optional<int> pid;
  } cases[] = {
      {"1: FLOCK  ADVISORY  WRITE 4711 00:19:1234 0 EOF\n", 4711},
      {"1: POSIX  ADVISORY  WRITE 99 00:19:1234 0 EOF\n2: FLOCK  ADVISORY  WRITE 7 00:19:1234 0 "
       "EOF",
       7},
      {"1: FLOCK  ADVISORY  WRITE 4711 00:19:1235 0 EOF\n", std::nullopt},   // another file
      {"1: FLOCK  ADVISORY  WRITE 4711 00:1a:1234 0 EOF\n", std::nullopt},   // another device
      {"1: -> FLOCK  ADVISORY  WRITE 12 00:19:1234 0 EOF\n", std::nullopt},  // a waiter
      {"1: FLOCK  ADVISORY  WRITE x 00:19:1234 0 EOF\n", std::nullopt},
      {"1: FLOCK  ADVISORY  WRITE 5 00:19 0 EOF\n", std::nullopt},
      {"1: FLOCK  ADVISORY  WRITE 5 00:19:99999999999999999999999 0 EOF\n", std::nullopt},
      {"", std::nullopt},
      {"\n\n  \n", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FlockHolder(c.text, dev, 1234), c.pid);
  }
}

class DeviceLock : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/corlink-lock-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    node_ = dir_ + "/hidraw7";
    ::close(::open(node_.c_str(), O_RDWR | O_CREAT, 0600));
  }
  void TearDown() override {
    ReleaseClosed();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  // Another process tries to lock the node: its result, errno and what it printed.
  std::string OtherProcessTries() {
    int out[2];
    if (::pipe(out) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      const int fd = ::open(node_.c_str(), O_RDWR);
      const bool locked = LockOpened(node_, fd, false);
      std::fflush(stdout);
      ::_exit(locked ? 0 : errno == EBUSY ? 16 : 1);
    }
    ::close(out[1]);
    std::string said;
    char buf[512];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0) said.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + " " + said;
  }
  std::string dir_, node_;
};

TEST_F(DeviceLock, OneProcessAtATimeAndTheSameOneAgain) {
  const int first = ::open(node_.c_str(), O_RDWR);
  ASSERT_TRUE(LockOpened(node_, first, false));
  const std::string refused = OtherProcessTries();
  EXPECT_EQ(
      refused.rfind(
          "16 DEVICE: " + node_ + " is in use by process " + std::to_string(::getpid()) + " (", 0),
      0u)
      << refused;
  EXPECT_NE(refused.find("one program at a time may use a panel."), std::string::npos) << refused;

  // This process again: another descriptor of the same open file, which keeps the lock
  // when the first is closed.
  const int again = ReopenHeld(node_);
  ASSERT_GE(again, 0);
  EXPECT_NE(again, first);
  ::close(first);
  EXPECT_EQ(OtherProcessTries().substr(0, 2), "16");
  ::close(again);
  EXPECT_EQ(ReopenHeld(node_), -1);
  EXPECT_EQ(OtherProcessTries(), "0 ");
}

// An emulated device's connection that has hung up (the emulator stopped) is neither handed
// out again nor keeps the device that comes back at the same path locked.
TEST_F(DeviceLock, AHungUpConnectionIsNotReopenedAndFreesItsLock) {
  const std::string sock = dir_ + "/panel.sock";
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
  ASSERT_TRUE(LockOpened(sock, pair[0], true));
  const int again = ReopenHeld(sock);
  ASSERT_GE(again, 0);
  ::close(again);
  ::close(pair[1]);  // the device side goes away; this process keeps its handle
  EXPECT_EQ(ReopenHeld(sock), -1);
  int fresh[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fresh), 0);
  EXPECT_TRUE(LockOpened(sock, fresh[0], true));
  ::close(pair[0]);
  ::close(fresh[0]);
  ::close(fresh[1]);
}

}  // namespace
}  // namespace corlink::hid
