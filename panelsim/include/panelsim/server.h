// In-process panelsim: serves one emulated device on a background thread over the
// emulator wire (one Unix SOCK_SEQPACKET socket carrying whole `struct uhid_event`s).
//
//   panelsim::ServerConfig cfg;
//   cfg.firmware.type = panelsim::DeviceType::Z3Usb;
//   cfg.folder = tmpdir;                       // the CORLINK_VIRTUAL_DIR of the test
//   cfg.name = "panelsim-z3usb";               // socket <folder>/<name>.sock
//   std::string err;
//   auto server = panelsim::Server::Start(cfg, &err);   // nullptr + err on failure
//   server->faults().Add({panelsim::FaultKind::Nack, 0x86, 0, 2});
//   ... drive corlink against it ...
//   EXPECT_EQ(server->CommandCount(0x86), 3);
//   server->Stop();                            // also done by the destructor
//
// Each accepted connection first receives UHID_CREATE2, then requests are answered on
// the connection that sent them; the firmware state is shared by all connections.
// A bridge control makes the device re-enumerate: once its answer is out every host is
// disconnected, and later connections get the announcement with the ids it has now.
// Every wait inside is bounded; Stop joins the thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "panelsim/firmware.h"

namespace panelsim {

struct ServerConfig {
  FirmwareConfig firmware;
  std::string folder;   // empty: $CORLINK_VIRTUAL_DIR, $XDG_RUNTIME_DIR/corlink,
                        // /tmp/corlink-<uid> (created when missing)
  std::string name;     // empty: "panelsim-" + lower-case short type name
  int pace_us = 0;      // time each report takes on the wire, in each direction
  std::string port;     // USB port location announced ("1-1.4"), so hub lists place the
                        // device; empty: none
  std::vector<Fault> faults;
};

// One packet that crossed the wire, as the server saw it.
struct Packet {
  enum class Dir { In, Out };
  Dir dir = Dir::In;
  uint32_t event = 0;          // UHID_OUTPUT, UHID_GET_REPORT, UHID_INPUT2, ...
  std::vector<uint8_t> data;   // report bytes (report id first); empty for a get request
};

struct ServerStats {
  int connections = 0;     // accepted so far
  int open_connections = 0;
  int outputs = 0;         // UHID_OUTPUT received
  int get_reports = 0;
  int set_reports = 0;
  int inputs = 0;          // UHID_INPUT2 sent
  int replies = 0;         // get/set replies sent
  int dropped = 0;         // answers withheld by faults
  bool unplugged = false;
  int reannouncements = 0;  // re-enumerations after bridge controls
};

// The socket folder as the library finds it (see ServerConfig::folder).
std::string DefaultFolder();
// "panelsim-z3usb" and so on.
std::string DefaultName(DeviceType type);

class Server {
 public:
  static std::unique_ptr<Server> Start(const ServerConfig& config, std::string* error);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  void Stop();
  const std::string& SocketPath() const;

  // Thread-safe queries.
  ServerStats Stats() const;
  // The last packets in both directions, oldest first (at most 256 are kept).
  std::vector<Packet> LastPackets(size_t n = 256) const;
  // Command requests seen, by command code (see faults.h for what a code is).
  int CommandCount(int command) const;
  void ClearLog();

  FaultPlan& faults();
  Firmware& firmware();

  // Disconnects every host and removes the socket, as pulling the cable would; Replug
  // listens again (a fresh socket, same firmware state).
  void Unplug();
  bool Replug(std::string* error);
  // Waits (at most `timeout`) until n connections were accepted in all.
  bool WaitConnections(int n, std::chrono::milliseconds timeout) const;

 private:
  Server();
  bool RunControl(int what, std::string* error);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace panelsim
