#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>

#include "panelsim/server.h"

int main() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);  // before the server thread starts
  panelsim::ServerConfig cfg;
  std::string err;
  auto s = panelsim::Server::Start(cfg, &err);
  if (!s) {
    std::fprintf(stderr, "panelsim: %s\n", err.c_str());
    return 1;
  }
  std::printf("panelsim: serving %s on %s\n", panelsim::DeviceTypeName(cfg.firmware.type), s->SocketPath().c_str());
  std::fflush(stdout);
  timespec tick{1, 0};
  while (sigtimedwait(&set, nullptr, &tick) < 0) {
  }
  s->Stop();
  return 0;
}
