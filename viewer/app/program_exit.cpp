#include "app/program_exit.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <thread>

#include <wx/app.h>
#include <wx/toplevel.h>

namespace pelorin {
namespace {

std::atomic<int> g_exitStatus{0};
std::atomic<int> g_signal{0};
int g_pipe[2] = {-1, -1};

// Only async-signal-safe calls: the byte goes to the watcher thread.
void OnStopSignal(int signo) {
  if (g_signal.exchange(signo) != 0) {
    // The close is already under way and did not end: the default action ends us now.
    ::signal(signo, SIG_DFL);
    ::raise(signo);
    return;
  }
  const unsigned char byte = static_cast<unsigned char>(signo);
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}

// Turns a signal into a close request queued to the window thread, which runs the same
// close sequence as the window's close box.
void WatchSignals() {
  for (;;) {
    unsigned char byte = 0;
    const ssize_t n = ::read(g_pipe[0], &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1) return;
    SetExitStatus(128 + byte, "");
    if (wxTheApp == nullptr) continue;
    wxTheApp->CallAfter([] {
      if (wxWindow* top = wxTheApp->GetTopWindow()) top->Close();
    });
  }
}

}  // namespace

void InstallStopSignals() {
  if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC) != 0) return;
  std::thread(WatchSignals).detach();
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

void SetExitStatus(int status, const std::string& line) {
  int expected = 0;
  if (status != 0) g_exitStatus.compare_exchange_strong(expected, status);
  if (!line.empty()) {
    std::fprintf(stderr, "pelorin: %s\n", line.c_str());
    std::fflush(stderr);
  }
}

int ExitStatus() { return g_exitStatus.load(); }

int StopSignal() { return g_signal.load(); }

}  // namespace pelorin
