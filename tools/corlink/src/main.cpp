// `corlink`: the maintenance commands of the Corlink library from a shell.
//
// The library prints its own diagnostics to standard output; they go to standard error
// here, so that what the tool prints on standard output (the JSON document above all)
// stays clean.
//
// SIGINT and SIGTERM ask the running command to stop: a flash ends after the frame under
// way, and the tool exits 130. A second signal ends the process at once.
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

namespace {

// An ostream over a file descriptor, unbuffered enough for a progress bar.
class FdBuf : public std::streambuf {
 public:
  explicit FdBuf(int fd) : fd_(fd) {}

 protected:
  int overflow(int c) override {
    if (c == EOF) return 0;
    const char ch = static_cast<char>(c);
    return Write(&ch, 1) ? c : EOF;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override { return Write(s, static_cast<size_t>(n)) ? n : 0; }

 private:
  bool Write(const char* s, size_t n) {
    while (n > 0) {
      const ssize_t w = ::write(fd_, s, n);
      if (w <= 0) return false;
      s += w;
      n -= static_cast<size_t>(w);
    }
    return true;
  }
  int fd_;
};

volatile std::sig_atomic_t g_interrupted = 0;

void OnStopSignal(int sig) {
  g_interrupted = 1;
  std::signal(sig, SIG_DFL);  // the next one is not asked politely
}

void CatchStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: the library's waits are bounded anyway
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::fflush(stdout);
  const int results_fd = ::dup(STDOUT_FILENO);
  if (results_fd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::perror("corlink");
    return 1;
  }
  FdBuf out_buf(results_fd);
  std::ostream out(&out_buf);
  CatchStopSignals();
  corlink_tool::Console console{out, std::cerr, ::isatty(STDERR_FILENO) == 1,
                                [] { return g_interrupted != 0; }};
  const int code = corlink_tool::RunTool(args, console);
  std::fflush(stdout);
  ::close(results_fd);
  return code;
}
