// The `panelsim` command line.
#pragma once

#include <string>
#include <vector>

#include "panelsim/replay.h"
#include "panelsim/server.h"

namespace panelsim {

struct ProgramOptions {
  ServerConfig server;
  bool uhid = false;  // serve through /dev/uhid instead of a socket
  bool help = false;
  bool quiet = false;
  ReplayOptions replay;        // --replay and its companions
  ReplayData::Given given;     // which of --chips, --sense, --overlap were set
};

// The --help text: every option with its default.
std::string Usage();

// Parses argv[1..]. Returns false with *error set on a bad option or value.
bool ParseOptions(const std::vector<std::string>& args, ProgramOptions* out, std::string* error);

// With --replay: reads the recording and puts it, and the cascade it makes, into the
// firmware configuration. False with a message naming the file (and line) in *error; true
// and nothing done without --replay.
bool PrepareReplay(ProgramOptions* options, std::string* error);

}  // namespace panelsim
