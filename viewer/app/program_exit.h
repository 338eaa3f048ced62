// How the program ends when nobody closes the window by hand: the stop signals (SIGINT,
// SIGTERM) and the exit status that a batch run or a signal leaves.
#pragma once

#include <string>

namespace pelorin {

// SIGINT and SIGTERM become a close request on the window thread: the close sequence
// stops the run as Stop does, finishes the recording and gives the device back. A second
// signal while that runs ends the program at once. Call once, before the main window runs.
void InstallStopSignals();

// Keeps the exit status of the program (the first non-zero one wins) and prints the line,
// when not empty, to standard error as "pelorin: line".
void SetExitStatus(int status, const std::string& line);
int ExitStatus();
// The stop signal received, 0 when none.
int StopSignal();

}  // namespace pelorin
