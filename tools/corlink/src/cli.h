// The `corlink` command line: parses the arguments, opens the device, runs one command and
// prints its result as text or JSON. Everything goes through the library's C interface.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace corlink_tool {

// A device `list` shows: its path and type.
struct FoundDevice {
  std::string path;
  int type;
};

struct Console {
  std::ostream& out;                  // results (and the JSON document)
  std::ostream& err;                  // messages and errors
  bool terminal = false;              // out is a terminal: the flash progress is a bar
  std::function<bool()> interrupted;  // SIGINT or SIGTERM arrived (may be empty)
  // Every device discovery finds. The C interface opens the first device of a type only,
  // so without this `list` shows one device per type.
  std::function<std::vector<FoundDevice>()> devices;
};

// What the tool says when the device is held by another program (the library's own line
// before it names the process).
inline constexpr const char* kInUseMessage =
    "the device is in use by another program; one program at a time may use a panel";

// The --help text.
std::string Usage();

// Runs `corlink args...` (args without the program name). Returns the exit code:
// 0 ok, 1 device error (also: in use), 2 usage or bad file, 3 verify mismatch,
// 130 interrupted (SIGINT or SIGTERM).
int RunTool(const std::vector<std::string>& args, Console& console);

}  // namespace corlink_tool
