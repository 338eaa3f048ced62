// What the program-level tests read back from a recording's text: the file whole, the frame
// numbers of its block headers in file order, and the run of numbers they should be.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
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

// Waits until a run's temporary recording (tempReport-*.csv) in folder holds at least
// `frames` frames; false when none does within `limit`.
inline bool WaitForTemporaryFrames(const std::filesystem::path& folder, size_t frames,
                                   std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      if (e.path().filename().string().rfind("tempReport-", 0) == 0 &&
          e.path().extension() == ".csv" && BlockNumbers(ReadText(e.path())).size() >= frames)
        return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

}  // namespace recording_text
