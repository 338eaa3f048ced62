// The command line of an unattended (batch) recording: source type digit, frame limit
// and recording name. Any argument turns batch mode on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

struct BatchArguments {
  bool batch = false;               // at least one argument: record every frame, start at once
  std::optional<int32_t> sourceType;  // argument 1: its first character c gives c - 47
  int32_t frameLimit = 0;           // argument 2; stop when model 0 has read this many frames
  std::optional<std::string> name;  // argument 3, before BatchName adds the model name
  std::string error;                // not empty: the arguments are refused (exit status 2)
};

// Parses the arguments after the program name; arguments 4 and later have no effect.
// A first character other than the digits 0 to 5 (Loop to Diff), or a frame limit that is not a decimal
// number of at most 2147483647, is refused with a message in error.
BatchArguments ParseBatchArguments(const std::vector<std::string>& args);

// The recording's name text: the name argument + " - " + model 0's name.
std::string BatchName(std::string_view nameArgument, std::string_view modelName);

}  // namespace pelorin
