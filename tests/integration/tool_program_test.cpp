// The `corlink` program itself, run as a child process against panelsim: its exit codes,
// that standard output carries the JSON document and nothing else (the library's own
// messages go to standard error), one program at a time on a panel, and Ctrl-C.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corlink.h"
#include "panelsim/served_panel.h"
#include "support/log_capture.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Ran {
  int exit = -1;  // -1: it did not end by itself within the limit, or was killed
  std::string out, err;
};

// Runs the program with args and the test's environment; stops it after 60 s. While it
// runs, tick is called with its pid every 20 ms or so.
Ran RunCorlink(const std::vector<std::string>& args, const std::function<void(pid_t)>& tick = {}) {
  Ran ran;
  int out[2], err[2];
  if (pipe(out) != 0) return ran;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return ran;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  std::vector<std::string> words{CORLINK_TOOL_PROGRAM};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const bool started =
      posix_spawn(&pid, CORLINK_TOOL_PROGRAM, &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);

  // Both pipes are drained together: a child blocked on a full one would never end.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&ran.out, &ran.err};
  int open_pipes = started ? 2 : 0;
  bool timed_out = false;
  while (open_pipes > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    const int wait_ms =
        tick ? std::min<int>(20, static_cast<int>(left.count())) : static_cast<int>(left.count());
    if (tick) tick(pid);
    if (poll(fds, 2, wait_ms) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else {
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  close(out[0]);
  close(err[0]);
  if (!started) return ran;
  if (timed_out) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (!timed_out && WIFEXITED(status)) ran.exit = WEXITSTATUS(status);
  return ran;
}

// A strict reading of one JSON value (RFC 8259), enough to tell a document from a document
// with something else mixed in.
class JsonReader {
 public:
  explicit JsonReader(const std::string& s) : s_(s) {}

  // The whole text is one object, white space around it allowed.
  bool OneObject() {
    Space();
    if (Peek() != '{' || !Value()) return false;
    Space();
    return i_ == s_.size();
  }

 private:
  char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
  bool Eat(char c) {
    if (Peek() != c) return false;
    ++i_;
    return true;
  }
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }
  bool Word(const char* w) {
    const std::string word(w);
    if (s_.compare(i_, word.size(), word) != 0) return false;
    i_ += word.size();
    return true;
  }
  bool Digits() {
    const size_t from = i_;
    while (Peek() >= '0' && Peek() <= '9') ++i_;
    return i_ > from;
  }
  bool Number() {
    Eat('-');
    if (!Eat('0') && !Digits()) return false;
    if (Eat('.') && !Digits()) return false;
    if (Peek() == 'e' || Peek() == 'E') {
      ++i_;
      if (!Eat('+')) Eat('-');
      if (!Digits()) return false;
    }
    return true;
  }
  bool String() {
    if (!Eat('"')) return false;
    while (i_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[i_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') continue;
      const char e = Peek();
      ++i_;
      if (e == 'u') {
        for (int k = 0; k < 4; ++k, ++i_)
          if (!std::isxdigit(static_cast<unsigned char>(Peek()))) return false;
      } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
        return false;
      }
    }
    return false;
  }
  template <class Item>
  bool List(char close, Item item) {
    Space();
    if (Eat(close)) return true;
    do {
      Space();
      if (!item()) return false;
      Space();
    } while (Eat(','));
    return Eat(close);
  }
  bool Value() {
    if (++depth_ > 64) return false;
    bool ok = false;
    switch (Peek()) {
      case '{':
        ++i_;
        ok = List('}', [this] {
          if (!String()) return false;
          Space();
          if (!Eat(':')) return false;
          Space();
          return Value();
        });
        break;
      case '[':
        ++i_;
        ok = List(']', [this] { return Value(); });
        break;
      case '"': ok = String(); break;
      case 't': ok = Word("true"); break;
      case 'f': ok = Word("false"); break;
      case 'n': ok = Word("null"); break;
      default: ok = Number(); break;
    }
    --depth_;
    return ok;
  }

  const std::string& s_;
  size_t i_ = 0;
  int depth_ = 0;
};

TEST(JsonReader, TellsOneObjectFromAnythingElse) {
  EXPECT_TRUE(JsonReader("{\"a\":[1,-2.5e3,\"x\\n\",true,null,{}]}\n").OneObject());
  EXPECT_FALSE(JsonReader("reset ack correctly!\n{\"a\":1}").OneObject());
  EXPECT_FALSE(JsonReader("{\"a\":1}{\"b\":2}").OneObject());
  EXPECT_FALSE(JsonReader("{\"a\":1,}").OneObject());
  EXPECT_FALSE(JsonReader("[1]").OneObject());
  EXPECT_FALSE(JsonReader("").OneObject());
}

class CorlinkProgram : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("corlink-program-" + std::to_string(getpid()));
    fs::remove_all(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
};

TEST_F(CorlinkProgram, InfoAsJsonIsOneObjectAndNothingElseOnStandardOutput) {
  panelsim::ServedPanel panel(dir_ / "devices");
  std::string error;
  ASSERT_TRUE(panel.Start(panelsim::ServedPanel::SmallCascade(), &error)) << error;
  const Ran ran = RunCorlink({"--json", "info"});
  EXPECT_EQ(ran.exit, 0) << ran.err;
  EXPECT_TRUE(JsonReader(ran.out).OneObject()) << ran.out;
  EXPECT_NE(ran.out.find("\"command\":\"info\""), std::string::npos) << ran.out;
}

TEST_F(CorlinkProgram, ExitCodesForABadArgumentAndForNoDevice) {
  panelsim::ServedPanel nothing_served(dir_ / "devices");  // an empty devices folder
  const Ran bad = RunCorlink({"--no-such-option", "info"});
  EXPECT_EQ(bad.exit, 2) << bad.err;
  EXPECT_FALSE(bad.err.empty());
  const Ran none = RunCorlink({"info"});
  EXPECT_EQ(none.exit, 1) << none.err;
  EXPECT_FALSE(none.err.empty());
}

// Every panel is listed, also two of one type (the second names its own socket), and each
// line's path opens that panel with --device.
TEST_F(CorlinkProgram, ListShowsEveryPanelAlsoTwoOfOneType) {
  panelsim::ServedPanel panel(dir_ / "devices");
  std::string error;
  ASSERT_TRUE(panel.Start(panelsim::ServedPanel::SmallCascade(), &error)) << error;
  panelsim::ServerConfig cfg = panelsim::ServedPanel::SmallCascade();
  cfg.folder = panel.folder().string();
  cfg.name = "panelsim-second";
  const std::unique_ptr<panelsim::Server> second = panelsim::Server::Start(cfg, &error);
  ASSERT_NE(second, nullptr) << error;
  const Ran ran = RunCorlink({"list"});
  EXPECT_EQ(ran.exit, 0) << ran.err;
  for (const std::string& socket : {panel.server()->SocketPath(), second->SocketPath()}) {
    const std::string line = "DEV_Z3_USB\t" + socket + "#vid_6b3e&pid_3a06\n";
    EXPECT_NE(ran.out.find(line), std::string::npos) << ran.out;
  }
  const Ran info =
      RunCorlink({"--json", "--device", second->SocketPath() + "#vid_6b3e&pid_3a06", "info"});
  EXPECT_EQ(info.exit, 0) << info.err;
  EXPECT_NE(info.out.find(second->SocketPath()), std::string::npos) << info.out;
}

// A raw image of n bytes and the file that holds it.
std::vector<uint8_t> WriteImage(const fs::path& file, size_t n) {
  std::vector<uint8_t> image(n);
  for (size_t i = 0; i < n; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), image.size());
  return image;
}

// A panel slow enough (2 ms a report each way) that a 64 KiB flash takes seconds.
panelsim::ServerConfig SlowPanel() {
  panelsim::ServerConfig cfg;
  cfg.firmware.panel.chips = 1;
  cfg.pace_us = 2000;
  return cfg;
}

std::string ProgramName() {
  std::ifstream in("/proc/self/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// Two programs on one panel: while one flashes it, the other's open is refused with EBUSY
// and a line naming the holder; the first program's flash is whole. And the other way
// round: this process holds the panel (opened twice, as the viewer's Start does) and the
// tool is refused until every handle is closed.
TEST_F(CorlinkProgram, OneProgramAtATimeOnAPanel) {
  panelsim::ServedPanel panel(dir_ / "devices");
  std::string error;
  ASSERT_TRUE(panel.Start(SlowPanel(), &error)) << error;
  const std::vector<uint8_t> image = WriteImage(dir_ / "image.bin", 16 * 1024);

  bool tried = false;
  int second = 0, second_errno = 0;
  std::string said;
  const Ran first =
      RunCorlink({"flash", (dir_ / "image.bin").string(), "--address", "0x3000"}, [&](pid_t pid) {
        if (tried || panel.server()->firmware().State().update_frames < 3) return;
        tried = true;
        corlink::test::CaptureLog();
        second = IO_OpenDevice(0);
        second_errno = errno;
        said = corlink::test::CapturedLog();
        if (second >= 0) close(second);
        EXPECT_NE(said.find("is in use by process " + std::to_string(pid) + " (corlink)"),
                  std::string::npos)
            << said;
      });
  EXPECT_TRUE(tried) << "the flash ended before the second open was tried";
  EXPECT_EQ(second, -1);
  EXPECT_EQ(second_errno, EBUSY);
  EXPECT_EQ(first.exit, 0) << first.err;
  EXPECT_EQ(panel.server()->firmware().PeekMemory(0, 0x3000, static_cast<int>(image.size())),
            image);

  corlink::test::CaptureLog();
  const int a = IO_OpenDevice(0);
  const int b = IO_OpenDevice(0);  // again, without closing the first
  corlink::test::CapturedLog();
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_NE(a, b);
  uint8_t buf[64];
  uint32_t n = 0;
  EXPECT_EQ(IO_ReadData(a, 0xA000C024, buf, &n), 0);
  EXPECT_EQ(IO_ReadData(b, 0xA000C024, buf, &n), 0);
  const std::string in_use =
      "is in use by process " + std::to_string(getpid()) + " (" + ProgramName() + ")";
  for (int closing : {a, b}) {
    const Ran refused = RunCorlink({"--json", "info"});
    EXPECT_EQ(refused.exit, 1) << refused.err;
    EXPECT_NE(refused.err.find(in_use), std::string::npos) << refused.err;
    EXPECT_TRUE(JsonReader(refused.out).OneObject()) << refused.out;
    EXPECT_NE(refused.out.find("in use by another program"), std::string::npos) << refused.out;
    // The handle this process keeps works while the panel stays its own.
    EXPECT_EQ(IO_ReadData(b, 0xA000C024, buf, &n), 0);
    close(closing);
  }
  // Every handle closed: the panel is free while this process goes on idle, without
  // opening anything again. (Waited for: the emulator sees the connection go in its own time.)
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (panel.server()->Stats().open_connections > 0 && std::chrono::steady_clock::now() < until)
    usleep(10 * 1000);
  EXPECT_EQ(panel.server()->Stats().open_connections, 0);
  const Ran free = RunCorlink({"info"});
  EXPECT_EQ(free.exit, 0) << free.err;
}

// SIGINT and SIGTERM during a flash: the tool stops after the frame under way, exits 130
// and its JSON says so; the panel is not left in the middle of a frame.
TEST_F(CorlinkProgram, ASignalStopsAFlashWithExitStatus130) {
  panelsim::ServedPanel panel(dir_ / "devices");
  std::string error;
  ASSERT_TRUE(panel.Start(SlowPanel(), &error)) << error;
  WriteImage(dir_ / "image.bin", 64 * 1024);
  for (int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig == SIGINT ? "SIGINT" : "SIGTERM");
    bool sent = false;
    // Sent once the child is flashing (its handlers are in place by then).
    const int commands_before = panel.server()->firmware().State().commands;
    const Ran ran = RunCorlink(
        {"--json", "flash", (dir_ / "image.bin").string(), "--address", "0x3000"}, [&](pid_t pid) {
          if (!sent && panel.server()->firmware().State().commands > commands_before + 5) {
            sent = true;
            kill(pid, sig);
          }
        });
    EXPECT_TRUE(sent);
    EXPECT_EQ(ran.exit, 130) << ran.err;
    EXPECT_TRUE(JsonReader(ran.out).OneObject()) << ran.out;
    EXPECT_NE(ran.out.find("\"status\":\"interrupted\""), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("interrupted during the write"), std::string::npos) << ran.out;
  }
}

}  // namespace
