// The fault matrix: every fault kind panelsim can inject, once and always, as one table
// that each program's matrix test runs against (corlink flash here; the capture and the
// viewer's batch mode take their rows and expectations from fault_kinds.h, built from the
// same list of panelsim's kinds).
//
// A case's fault applies to answers of any command: "once" spoils the first answer the
// device gives, "always" every answer from then on. NeverReady has no "once": it lasts
// until cleared.
#pragma once

#include <string>
#include <vector>

#include "panelsim/faults.h"

namespace fault_matrix {

struct FaultCase {
  panelsim::Fault fault;
  bool always = false;
  // "drop once", "never-ready always", ...
  std::string Name() const {
    return std::string(panelsim::FaultKindName(fault.kind)) + (always ? " always" : " once");
  }
};

// A late answer arrives this long after it was due: past every family's read time-out.
inline constexpr int kLateMs = 4000;

inline std::vector<FaultCase> AllFaultCases() {
  std::vector<FaultCase> cases;
  for (panelsim::FaultKind kind : panelsim::AllFaultKinds()) {
    for (bool always : {false, true}) {
      if (kind == panelsim::FaultKind::NeverReady && !always) continue;
      panelsim::Fault f;
      f.kind = kind;
      f.command = -1;
      f.count = always ? -1 : 1;
      f.delay_ms = kind == panelsim::FaultKind::Late ? kLateMs : 0;
      cases.push_back({f, always});
    }
  }
  return cases;
}

// gtest parameter names: letters, digits and '_' only.
inline std::string TestName(const FaultCase& c) {
  std::string name;
  for (char ch : c.Name()) name += (ch == '-' || ch == ' ') ? '_' : ch;
  return name;
}

}  // namespace fault_matrix
