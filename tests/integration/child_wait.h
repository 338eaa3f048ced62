// The bounded wait of the program-level tests for a program they started.
#pragma once

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

namespace recording_text {

// Exit status, 128 + the signal that ended it, or -1 when the program had not ended
// within `bound` (it is then killed and reaped).
inline int WaitForChild(pid_t child, std::chrono::seconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(child, &status, WNOHANG) == child)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return -1;
}

}  // namespace recording_text
