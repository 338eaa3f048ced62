#pragma once
// The result of a run as a production line files it: one JSON record per unit under test
// (--report) and the same checks as JUnit XML for CI (--junit). Both are written whatever
// the run's end, with what is known, and replace an earlier file only once complete.
//
// The checks of a run, each one JUnit test case:
//   capture         every frame asked for was read and recorded (an error otherwise:
//                   device lost, disk full, interrupted, a bad command line);
//   limits <kind>   one per kind of rule in the limits file: value, noise_pp, noise_rms;
//   golden          the comparison with the golden recording;
//   bad frames      with --max-bad-frames.
// A run with neither limits nor golden is the capture check alone (and bad frames when
// bounded): it passes when the panel delivered every frame.
#include <string>
#include <vector>

#include "cli/capture.h"
#include "cli/capture_options.h"

namespace pelorin {

struct LineCheck {
  std::string name;
  CheckOutcome outcome = CheckOutcome::NotChecked;
  bool error = false;   // the check could not run because the run failed (JUnit <error>)
  std::string message;  // one line: why it failed or was not checked
  std::string details;  // the failing cells, one a line
};
std::vector<LineCheck> LineChecks(const CaptureOptions& o, const CaptureSummary& s);

// "pass", "fail" (a check failed), "interrupted", or "error" (the unit was not judged).
const char* RunResultName(int exitStatus);

std::string ReportJson(const CaptureOptions& o, const CaptureSummary& s);
std::string ReportJunit(const CaptureOptions& o, const CaptureSummary& s);

// Writes --junit, then --report (whichever are asked for). A file that cannot be written
// fails the run: an exit status of 0 becomes 1 (s.exitStatus, which the JSON record
// holds), and the cause is added to s.messages and returned in *error.
bool WriteLineReports(const CaptureOptions& o, CaptureSummary& s, std::string* error);

}  // namespace pelorin
