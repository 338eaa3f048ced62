#include "hub/mode_change.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <string>

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

void WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
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
  const bool started = actions.ok() && (Spawn(actions, name, &pid) || Spawn(actions, name + ".exe", &pid));
  if (!started) {
    std::fprintf(stderr, "Could not run the ChgToZ1Mode program.\n");
    return false;
  }
  WaitFor(pid);
  return true;
}

}  // namespace corlink::hub
