// The `panelsim` command line.
#pragma once

#include <string>
#include <vector>

#include "panelsim/server.h"

namespace panelsim {

struct ProgramOptions {
  ServerConfig server;
  bool uhid = false;  // serve through /dev/uhid instead of a socket
  bool help = false;
  bool quiet = false;
};

// The --help text: every option with its default.
std::string Usage();

// Parses argv[1..]. Returns false with *error set on a bad option or value.
bool ParseOptions(const std::vector<std::string>& args, ProgramOptions* out, std::string* error);

}  // namespace panelsim
