// Small helpers for the discovery tests: a scratch folder as working directory, and the
// library state and custom list reset between cases.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "discovery/custom_list.h"
#include "discovery/discovery.h"
#include "library_state.h"

namespace corlink::test {

// Makes a fresh folder the working directory for the life of the object.
class ScratchDir {
 public:
  ScratchDir() {
    char tmpl[] = "/tmp/corlink-test-XXXXXX";
    path_ = ::mkdtemp(tmpl);
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }

  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ + "/" + name, std::ios::binary) << text;
  }

 private:
  std::string path_;
  std::filesystem::path old_;
};

// Library state, custom list and discovery port as at load.
inline void ResetLibrary() {
  ResetState();
  ResetCustomListForTest();
  SetDiscoveryPortForTest(nullptr);
}

}  // namespace corlink::test
