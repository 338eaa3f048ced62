#include "hub/mode_change.h"
#include "log_sink.h"

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <string>
#include <thread>

extern char** environ;

namespace corlink::hub {

namespace {

// Owns the file actions of one spawn.
class ChdirActions {
 public:
  explicit ChdirActions(const std::string& folder) {
    ok_ = posix_spawn_file_actions_init(&actions_) == 0;
    if (ok_) ok_ = posix_spawn_file_actions_addchdir_np(&actions_, folder.c_str()) == 0;
  }
  ~ChdirActions() { posix_spawn_file_actions_destroy(&actions_); }
  ChdirActions(const ChdirActions&) = delete;
  ChdirActions& operator=(const ChdirActions&) = delete;

  bool ok() const { return ok_; }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
  bool ok_ = false;
};

bool Spawn(const ChdirActions& actions, const std::string& program, pid_t* pid) {
  std::string arg0 = program;
  char* argv[] = {arg0.data(), nullptr};
  // The child changes to the folder first, so the relative name is found there.
  return posix_spawn(pid, program.c_str(), actions.get(), nullptr, argv, environ) == 0;
}

std::atomic<int64_t> g_limit_ms{kModeChangeTimeLimit.count()};

void WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// True once pid has ended and been reaped, false when it is still running at the limit.
// A child is not a descriptor we can poll on every kernel, so this looks every 10 ms.
bool WaitWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return true;
    if (r < 0 && errno != EINTR) return true;  // nothing left to wait for
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string Describe(std::chrono::milliseconds limit) {
  const long long ms = limit.count();
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

const char* ModeChangeProgram(int selector) {
  switch (selector) {
    case 1: return "ChgToZ1Mode";
    case 2: return "ChangeModeNew";
    default: return "ChangeModeAny";
  }
}

bool RunModeChangeProgram(int selector, const std::string& folder) {
  const std::string name = std::string("./") + ModeChangeProgram(selector);
  ChdirActions actions(folder);
  pid_t pid = -1;
  const bool started =
      actions.ok() && (Spawn(actions, name, &pid) || Spawn(actions, name + ".exe", &pid));
  if (!started) {
    Log("Could not run the ChgToZ1Mode program.\n");
    return false;
  }
  const std::chrono::milliseconds limit(g_limit_ms.load());
  if (!WaitWithin(pid, limit)) {
    kill(pid, SIGKILL);
    WaitFor(pid);  // a killed child ends at once; reaping it leaves no zombie behind
    Log("The %s program did not finish within %s; it was stopped.\n", ModeChangeProgram(selector),
        Describe(limit).c_str());
  }
  return true;
}

void SetModeChangeTimeLimitForTest(std::chrono::milliseconds limit) {
  g_limit_ms = limit.count() > 0 ? limit.count() : kModeChangeTimeLimit.count();
}

}  // namespace corlink::hub
