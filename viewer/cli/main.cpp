// pelorin-capture: captures frames from the touch controller without a window.
//
// The library prints its own diagnostics to standard output; they go to standard error
// here, so that what the tool prints on standard output (the JSON summary above all)
// stays clean.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/capture.h"
#include "cli/capture_options.h"

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signal{0};

void OnSignal(int signo) {
  g_signal.store(signo);
  g_interrupted.store(true);
}

// An ostream over a file descriptor.
class FdBuf : public std::streambuf {
 public:
  explicit FdBuf(int fd) : fd_(fd) {}

 protected:
  int overflow(int c) override {
    if (c == EOF) return 0;
    const char ch = static_cast<char>(c);
    return Write(&ch, 1) ? c : EOF;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    return Write(s, static_cast<size_t>(n)) ? n : 0;
  }

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

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  pelorin::CaptureOptions options;
  std::string error;
  if (!pelorin::ParseCaptureOptions(args, &options, &error)) {
    std::cerr << "pelorin-capture: " << error << "\n\n" << pelorin::CaptureUsage();
    return pelorin::kExitUsage;
  }
  if (options.help) {
    std::cout << pelorin::CaptureUsage();
    return pelorin::kExitOk;
  }
  std::fflush(stdout);
  const int summaryFd = ::dup(STDOUT_FILENO);
  if (summaryFd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::perror("pelorin-capture");
    return pelorin::kExitDeviceError;
  }
  FdBuf summaryBuf(summaryFd);
  std::ostream summary(&summaryBuf);
  // Ctrl-C and SIGTERM end the capture like Stop: the recording keeps every frame read so
  // far and the controller gets its touch reporting back.
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  pelorin::CaptureEnvironment env;
  env.out = &summary;
  env.err = &std::cerr;
  env.progressIsTerminal = ::isatty(STDERR_FILENO) != 0;
  env.interrupted = &g_interrupted;
  env.signalNumber = &g_signal;
  // 128 + the signal when one ended the run (130 for Ctrl-C, 143 for SIGTERM).
  const int code = pelorin::RunCapture(options, env);
  std::fflush(stdout);
  ::close(summaryFd);
  return code;
}
