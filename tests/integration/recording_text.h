// What the program-level tests read back from a recording's text: the file whole, the frame
// numbers of its block headers in file order, and the run of numbers they should be.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace recording_text {

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Frame numbers of the block headers ("No , N, ...") of a recording, in file order.
inline std::vector<int> BlockNumbers(const std::string& text) {
  std::vector<int> numbers;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("No , ", 0) == 0) numbers.push_back(std::stoi(line.substr(5)));
  }
  return numbers;
}

// 1, 2, ..., n.
inline std::vector<int> OneTo(int n) {
  std::vector<int> v;
  for (int i = 1; i <= n; ++i) v.push_back(i);
  return v;
}

}  // namespace recording_text
