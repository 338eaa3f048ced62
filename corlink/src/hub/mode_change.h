// Starting a mode-change program: a helper beside the host that switches a device out of
// the Z5 mode. The library only starts it and waits for it.
#pragma once

#include <string>

namespace corlink::hub {

// Selector 1: "ChgToZ1Mode", 2: "ChangeModeNew", any other: "ChangeModeAny".
const char* ModeChangeProgram(int selector);

// Runs the chosen program with no arguments, its working directory `folder` (relative
// folders from the process's current directory, which stays as it is), and waits for it
// to end, without a time limit. The name is tried as it is and then with ".exe". When
// neither can be started, prints "Could not run the ChgToZ1Mode program." on standard
// error and returns false.
bool RunModeChangeProgram(int selector, const std::string& folder);

}  // namespace corlink::hub
