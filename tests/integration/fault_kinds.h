// Every fault kind panelsim can inject, once and for good, and what a frame capture of a
// Z3 USB panel (raw-data reads, command 0x86) must do with it. The fault matrices of the
// tools run every row of this table against their program.
#pragma once

#include <string>
#include <vector>

#include "panelsim/faults.h"

namespace faults {

// How a capture of N frames must end.
enum class Expect {
  Complete,    // every frame read and recorded, exit 0 (the library's retries hide it)
  NotReady,    // "FW is not ready", exit 1
  DeviceGone,  // the device is gone, exit 1
  ReadFails,   // "read chip data fail", exit 1
};

struct Kind {
  const char* name;  // panelsim's --fault spelling
  Expect once;       // the fault spoils one answer
  Expect always;     // it spoils every answer from then on
};

// Faults on the raw-data read command after the first `kSkip` of its answers, so that the
// device opens, its chips are found and a few frames are read first.
inline constexpr int kSkip = 60;

// What a capture makes of a kind. A switch without default: a kind panelsim learns must be
// given its expectation here before the tests build.
inline Kind KindFor(panelsim::FaultKind kind) {
  using panelsim::FaultKind;
  const char* name = panelsim::FaultKindName(kind);
  switch (kind) {
    case FaultKind::Drop: return {name, Expect::Complete, Expect::ReadFails};
    // An answer 4 s late misses the 3 s time-out, and the retry takes it: every read
    // is slow, none fails, and the data are right.
    case FaultKind::Late: return {name, Expect::Complete, Expect::Complete};
    case FaultKind::BadCrc: return {name, Expect::Complete, Expect::ReadFails};
    // The slaves of a Z3 cascade answer through the tunnel, whose inner check value
    // this spoils.
    case FaultKind::BadInnerCrc: return {name, Expect::Complete, Expect::ReadFails};
    case FaultKind::Nack: return {name, Expect::Complete, Expect::ReadFails};
    case FaultKind::NackReason1: return {name, Expect::Complete, Expect::ReadFails};
    case FaultKind::WrongLength: return {name, Expect::Complete, Expect::ReadFails};
    case FaultKind::Garbage: return {name, Expect::Complete, Expect::ReadFails};
    case FaultKind::Unplug: return {name, Expect::DeviceGone, Expect::DeviceGone};
    // Lasts until cleared, whatever its count.
    case FaultKind::NeverReady: return {name, Expect::NotReady, Expect::NotReady};
    // Concerns the result of a firmware update only.
    case FaultKind::UpdateFailed: return {name, Expect::Complete, Expect::Complete};
  }
  return {name, Expect::Complete, Expect::Complete};
}

// Every kind panelsim has, in the order of its table of names.
inline const std::vector<Kind>& Kinds() {
  static const std::vector<Kind> kinds = [] {
    std::vector<Kind> all;
    for (panelsim::FaultKind k : panelsim::AllFaultKinds()) all.push_back(KindFor(k));
    return all;
  }();
  return kinds;
}

// The --fault argument of panelsim (and the Fault it parses to) for a row.
inline std::string FaultArgument(const Kind& k, bool always) {
  std::string arg = std::string(k.name) + ":cmd=0x86,skip=" + std::to_string(kSkip) +
                    ",count=" + (always ? "-1" : "1");
  if (std::string(k.name) == "late") arg += ",delay=4000";
  return arg;
}

// What the program must print (standard error or the summary) for an outcome.
inline const char* CauseText(Expect e) {
  switch (e) {
    case Expect::NotReady: return "FW is not ready";
    case Expect::DeviceGone: return "the device is gone";
    case Expect::ReadFails: return "read chip data fail";
    default: return "";
  }
}

// Frames a row asks for: the faults begin after the first one or two.
inline constexpr int kFrames = 10;

// The bound every row ends within, in seconds. A read whose answers are dropped costs the
// library's retries, about 35 s, and three failed ready polls in a row end a run: about
// 105 s. Late answers cost one time-out per read, so kFrames frames of them take about
// 75 s. Every other row ends within a few seconds. The margin covers the program's start
// and a loaded machine.
inline constexpr int kBoundSeconds = 180;

}  // namespace faults
