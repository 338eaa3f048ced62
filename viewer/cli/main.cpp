// pelorin-capture: captures frames from the touch controller without a window.
//
// The library and the data layer print their diagnostics to standard output unless told
// otherwise; here they go to standard error, so that what the tool prints on standard
// output (the JSON summary above all) stays clean.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/capture.h"
#include "cli/capture_options.h"
#include "corlink_host.h"
#include "data/diagnostics.h"

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signal{0};

void OnSignal(int signo) {
  g_signal.store(signo);
  g_interrupted.store(true);
}

// Library diagnostics go to standard error whole, one write per message as far as it goes.
void ToStandardError(const char* text, size_t length) {
  while (length > 0) {
    const ssize_t w = ::write(STDERR_FILENO, text, length);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;  // nowhere left to say it
    text += w;
    length -= static_cast<size_t>(w);
  }
}

const CorlinkHostApi* g_host = nullptr;

}  // namespace

extern "C" void corlink_host_attach(const CorlinkHostApi* api) { g_host = api; }

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
  // Standard output holds only the tool's own results: the library's diagnostics and the
  // data layer's go to standard error.
  if (g_host != nullptr)
    g_host->set_log_sink(ToStandardError);
  else
    std::cerr << "pelorin-capture: the corlink library handed over no log sink; its messages "
                 "go to standard output\n";
  pelorin::SetDiagnosticStream(stderr);
  // Ctrl-C and SIGTERM end the capture like Stop: the recording keeps every frame read so
  // far and the controller gets its touch reporting back.
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
  env.signalNumber = &g_signal;
  // 128 + the signal when one ended the run (130 for Ctrl-C, 143 for SIGTERM).
  const int code = pelorin::RunCapture(options, env);
  std::cout.flush();
  return code;
}
