// Progress of a long command: a bar redrawn in place on a terminal, otherwise one plain
// line at every tenth of the way (and at the end) so that logs stay readable.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace corlink_tool {

class ProgressPrinter {
 public:
  ProgressPrinter(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}
  // phase: a short label; done of total bytes.
  void Show(const std::string& phase, size_t done, size_t total);
  // Ends a bar line.
  void Done();

 private:
  std::ostream& out_;
  bool terminal_;
  bool drawn_ = false;
  std::string phase_;
  int last_tenth_ = -1;
  int last_percent_ = -1;
};

}  // namespace corlink_tool
