// A panel served to the library of this process, for tests and benchmarks: the
// constructor makes the devices' folder and points CORLINK_VIRTUAL_DIR at it, Start puts
// an emulated device there, and the destructor stops it and unsets the variable.
//
//   panelsim::ServedPanel panel(scratch / "devices");
//   std::string err;
//   ASSERT_TRUE(panel.Start(panelsim::ServedPanel::SmallCascade(), &err)) << err;
//   panel.server()->faults().Add(...);
//
// Declare it after whatever owns its folder and before whatever holds the device open,
// so that the device is given back before the panel goes and the panel before its folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "panelsim/server.h"

namespace panelsim {

class ServedPanel {
 public:
  explicit ServedPanel(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
    setenv("CORLINK_VIRTUAL_DIR", folder_.c_str(), 1);
  }
  ~ServedPanel() {
    Stop();
    unsetenv("CORLINK_VIRTUAL_DIR");
  }
  ServedPanel(const ServedPanel&) = delete;
  ServedPanel& operator=(const ServedPanel&) = delete;

  // Three chips of 8 drive and 6 sense lines: quick to read, and a cascade all the same.
  static ServerConfig SmallCascade() {
    ServerConfig cfg;
    cfg.firmware.panel.chips = 3;
    cfg.firmware.panel.drive = 8;
    cfg.firmware.panel.sense = {6};
    return cfg;
  }

  // Serves cfg in the folder (its own folder is ignored); false with *error when the
  // device could not be put there.
  bool Start(ServerConfig cfg, std::string* error) {
    cfg.folder = folder_.string();
    server_ = Server::Start(cfg, error);
    return server_ != nullptr;
  }
  void Stop() {
    if (server_) server_->Stop();
  }

  Server* server() const { return server_.get(); }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::unique_ptr<Server> server_;
};

}  // namespace panelsim
