// The line report of a pelorin-capture run as a line's tools read it: the JSON record
// validated against the schema in the tree with python3-jsonschema, the JUnit file parsed
// with Python's own XML parser and its test cases counted from the elements.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

namespace report_check {

// What check_report.py found, or a discarded value (with a test failure) when it could
// not run.
inline nlohmann::json Check(const std::string& report, const std::string& junit = "") {
  std::string command = "/usr/bin/python3 '" CHECK_REPORT_PY "' '" REPORT_SCHEMA "' '" + report +
                        "'" + (junit.empty() ? "" : " '" + junit + "'") + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "can't run " << command;
    return nlohmann::json::value_t::discarded;
  }
  std::string out;
  std::array<char, 4096> chunk{};
  size_t n = 0;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) out.append(chunk.data(), n);
  const int status = ::pclose(pipe);
  nlohmann::json result = nlohmann::json::parse(out, nullptr, false);
  if (status != 0 || result.is_discarded()) {
    ADD_FAILURE() << "check_report.py failed (python3-jsonschema installed?):\n" << out;
    return nlohmann::json::value_t::discarded;
  }
  EXPECT_EQ(result["schemaErrors"], nlohmann::json::array()) << report;
  if (result.contains("junit")) {
    // The suite's own counts agree with its test cases.
    const nlohmann::json& j = result["junit"];
    for (const char* key : {"tests", "failures", "errors", "skipped"})
      EXPECT_EQ(j["declared"][key], j[key]) << key << " in " << junit;
  }
  return result;
}

}  // namespace report_check
