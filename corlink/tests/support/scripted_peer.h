// A scripted emulated device for transport tests: the device end of the emulator wire,
// answering from a test's script on a background thread.
//
// It either shares a socketpair with the test (host_fd() is the library's handle) or
// listens on a socket file, like panelsim, and announces itself with UHID_CREATE2 on each
// connection. Every wait is bounded.
#pragma once

#include <linux/uhid.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corlink::testing {

// One event the host sent.
struct HostEvent {
  uint32_t type = 0;        // UHID_OUTPUT, UHID_GET_REPORT or UHID_SET_REPORT
  uint32_t request_id = 0;  // feature requests
  uint8_t report_id = 0;    // feature requests
  std::vector<uint8_t> data;  // output and set-feature bytes (report id first)
};

class ScriptedPeer {
 public:
  using Handler = std::function<void(ScriptedPeer& peer, const HostEvent& ev)>;

  ScriptedPeer();  // a socketpair: host_fd() belongs to the test
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  // Serves a socket file instead of the socketpair: accepts connections and sends each a
  // UHID_CREATE2 with these ids and descriptor. Call before Start().
  bool Listen(const std::string& path, uint16_t vendor, uint16_t product, std::vector<uint8_t> descriptor);

  // Starts answering: the handler runs on the peer thread for every host event.
  void Start(Handler handler);
  // Stops the thread (joins).
  void Stop();

  int host_fd() const { return host_fd_; }
  // The test gives up ownership of host_fd() (e.g. it closes it itself).
  void ReleaseHostFd() { host_fd_ = -1; }

  // Device-side sends, for handlers (on the current connection) and tests.
  void SendInput(const uint8_t* data, size_t n);
  void SendInput(const std::vector<uint8_t>& data) { SendInput(data.data(), data.size()); }
  void SendGetReply(uint32_t id, uint16_t err, const uint8_t* data, size_t n);
  void SendSetReply(uint32_t id, uint16_t err);
  void SendRaw(const void* bytes, size_t n);  // anything, even a malformed message
  // Closes the device end: the host sees end-of-file.
  void Unplug();

  // What the host sent so far (copy).
  std::vector<HostEvent> Received();
  size_t ReceivedCount();
  // Waits until at least n events arrived; false after timeout_ms.
  bool WaitReceived(size_t n, int timeout_ms);

 private:
  void Run();
  void Serve(int fd);
  void Dispatch(const uhid_event& ev);

  int host_fd_ = -1;
  int device_fd_ = -1;
  int listen_fd_ = -1;
  std::string listen_path_;
  uint16_t vendor_ = 0, product_ = 0;
  std::vector<uint8_t> descriptor_;

  Handler handler_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> current_fd_{-1};
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<HostEvent> received_;
};

// Handy bytes.
std::vector<uint8_t> Bytes(std::initializer_list<int> list);

}  // namespace corlink::testing
