// `corlink`: the maintenance commands of the Corlink library from a shell.
//
// The library hands the program its log sink and device list (corlink_host.h): the
// library's diagnostics go to standard error, so that what the tool prints on standard
// output (the JSON document above all) stays clean, and `list` shows every device
// discovery finds. The C interface offers neither.
//
// SIGINT and SIGTERM ask the running command to stop: a flash ends after the frame under
// way, and the tool exits 130. A second signal ends the process at once.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "corlink_host.h"

namespace {

const CorlinkHostApi* g_host = nullptr;  // set at library load
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

void ToStandardError(const char* text, size_t length) {
  while (length > 0) {
    const ssize_t w = ::write(STDERR_FILENO, text, length);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;  // nowhere left to say it
    text += w;
    length -= static_cast<size_t>(w);
  }
}

std::vector<corlink_tool::FoundDevice> DiscoveredDevices() {
  std::vector<corlink_tool::FoundDevice> found;
  g_host->list_devices(
      [](const char* path, int type, void* list) {
        static_cast<std::vector<corlink_tool::FoundDevice>*>(list)->push_back({path, type});
      },
      &found);
  return found;
}

}  // namespace

extern "C" void corlink_host_attach(const CorlinkHostApi* api) { g_host = api; }

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  CatchStopSignals();
  corlink_tool::Console console{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1,
                                [] { return g_interrupted != 0; }};
  // A library that hands over nothing still works, with its messages on standard output
  // and one device per type in `list`.
  if (g_host != nullptr) {
    g_host->set_log_sink(ToStandardError);
    console.devices = DiscoveredDevices;
  }
  const int code = corlink_tool::RunTool(args, console);
  std::cout.flush();
  return code;
}
