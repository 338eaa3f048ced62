// The last word of an unattended run: the program's exit status and the line it prints.
#pragma once

#include <string>

#include "data/acquisition/acquisition_run.h"

namespace pelorin {

struct ExitVerdict {
  int status = 0;       // 0 only when every frame asked for was read and recorded
  std::string message;  // "N frames recorded in PATH", or why the run fell short
};

// stopSignal: the signal that interrupted the run, 0 when none.
ExitVerdict BatchVerdict(const RunOutcome& outcome, int frameLimit, int stopSignal);

}  // namespace pelorin
