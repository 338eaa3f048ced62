// pelorin-capture: captures frames from the touch controller without a window.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "cli/capture.h"
#include "cli/capture_options.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnSignal(int) { g_interrupted.store(true); }

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
  // Ctrl-C ends the capture like Stop: the recording keeps every frame read so far.
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  pelorin::CaptureEnvironment env;
  env.out = &std::cout;
  env.err = &std::cerr;
  env.progressIsTerminal = ::isatty(STDERR_FILENO) != 0;
  env.interrupted = &g_interrupted;
  return pelorin::RunCapture(options, env);
}
