// The line report of a pelorin-capture run as a line's tools read it: the record checked
// against the schema in the tree by python3-jsonschema, the JUnit file by Python's parser.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

namespace report_check {

// The JUnit file's test cases, name -> state, with a test failure for each fault of either
// file; a discarded value when the checker could not run.
inline nlohmann::json Cases(const std::string& report, const std::string& junit) {
  const std::string command = "/usr/bin/python3 '" CHECK_REPORT_PY "' '" REPORT_SCHEMA "' '" +
                              report + "' '" + junit + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  std::array<char, 4096> chunk{};
  for (size_t n = 0; pipe != nullptr && (n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;)
    out.append(chunk.data(), n);
  const bool ran = pipe != nullptr && ::pclose(pipe) == 0;
  const nlohmann::json result = nlohmann::json::parse(out, nullptr, false);
  if (!ran || result.is_discarded()) {
    ADD_FAILURE() << "check_report.py failed (python3-jsonschema installed?):\n" << out;
    return nlohmann::json::value_t::discarded;
  }
  EXPECT_EQ(result["errors"], nlohmann::json::array()) << report << ", " << junit;
  return result["cases"];
}

}  // namespace report_check
