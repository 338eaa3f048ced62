// Starting a mode-change program: a helper beside the host that switches a device out of
// the Z5 mode. The library only starts it and waits for it.
#pragma once

#include <chrono>
#include <string>

namespace corlink::hub {

// Selector 1: "ChgToZ1Mode", 2: "ChangeModeNew", any other: "ChangeModeAny".
const char* ModeChangeProgram(int selector);

// How long a mode-change program may run. The refresh waits for it with the hub lock
// held, so a helper that hangs would otherwise stall every hub query for good.
inline constexpr std::chrono::milliseconds kModeChangeTimeLimit{30000};

// Runs the chosen program with no arguments, its working directory `folder` (relative
// folders from the process's current directory, which stays as it is), and waits for it
// to end. The name is tried as it is and then with ".exe". When neither can be started,
// prints "Could not run the ChgToZ1Mode program." on standard output and returns false.
// A program still running after the time limit is killed (SIGKILL) and reaped, with a
// line on standard error saying so; that still counts as run (true).
bool RunModeChangeProgram(int selector, const std::string& folder);

// Tests shorten the limit; a limit of zero or less restores kModeChangeTimeLimit.
void SetModeChangeTimeLimitForTest(std::chrono::milliseconds limit);

}  // namespace corlink::hub
