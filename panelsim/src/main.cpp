// panelsim: serves one emulated touch-controller device until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>

#include "panelsim/options.h"
#include "panelsim/uhid.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  panelsim::ProgramOptions options;
  std::string error;
  if (!panelsim::ParseOptions(args, &options, &error)) {
    std::fprintf(stderr, "panelsim: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(panelsim::Usage().c_str(), stdout);
    return 0;
  }
  // A recording that cannot be served stops here, before anything is served.
  if (!panelsim::PrepareReplay(&options, &error)) {
    std::fprintf(stderr, "panelsim: %s\n", error.c_str());
    return 2;
  }
  // Signals are taken synchronously; block them before any thread starts.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  const auto& firmware = options.server.firmware;
  if (options.uhid) {
    auto stop = [&set] {
      timespec zero{0, 0};
      return sigtimedwait(&set, nullptr, &zero) > 0;
    };
    if (!options.quiet)
      std::printf("panelsim: creating %s through /dev/uhid\n", panelsim::DeviceTypeName(firmware.type));
    std::fflush(stdout);
    int status = panelsim::ServeUhid(options.server, stop, &error);
    if (status != 0) std::fprintf(stderr, "panelsim: %s\n", error.c_str());
    return status;
  }
  auto server = panelsim::Server::Start(options.server, &error);
  if (!server) {
    std::fprintf(stderr, "panelsim: %s\n", error.c_str());
    return 1;
  }
  if (!options.quiet) {
    std::printf("panelsim: %s, %d chip(s), %d drive lines, serving %s\n", panelsim::DeviceTypeName(firmware.type),
                firmware.panel.chips, firmware.panel.drive, server->SocketPath().c_str());
    if (firmware.replay)
      std::printf("panelsim: replaying %s: %zu frame(s) of %s%s\n", options.replay.file.c_str(),
                  firmware.replay->frame_count(), firmware.replay->ServedNames().c_str(),
                  options.replay.loop ? ", looped" : "");
    std::fflush(stdout);
  }
  timespec tick{1, 0};
  while (sigtimedwait(&set, nullptr, &tick) < 0) {
  }
  server->Stop();  // closes connections and removes the socket
  return 0;
}
