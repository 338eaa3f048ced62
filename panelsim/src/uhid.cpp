#include "panelsim/uhid.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "wire.h"

namespace panelsim {
namespace {

bool WriteEvent(int fd, const uhid_event& ev) {
  ssize_t n = ::write(fd, &ev, sizeof ev);
  return n == static_cast<ssize_t>(sizeof ev);
}

uhid_event Destroy() {
  uhid_event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.type = UHID_DESTROY;
  return ev;
}

}  // namespace

int ServeUhid(const ServerConfig& config, const std::function<bool()>& should_stop, std::string* error,
              const char* device) {
  if (std::string why = CheckPanelConfig(config.firmware.panel); !why.empty()) {
    *error = why;
    return 1;
  }
  int fd = ::open(device, O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    *error = std::string("cannot open ") + device + ": " + std::strerror(errno) +
             (errno == ENOENT ? " (this kernel has no uhid; try 'modprobe uhid')" : "");
    return 1;
  }
  std::string name = config.name.empty() ? DefaultName(config.firmware.type) : config.name;
  auto plan = std::make_shared<FaultPlan>();
  for (const Fault& f : config.faults) plan->Add(f);
  Firmware firmware(config.firmware, plan);
  auto create = [&] {
    return wire::Create2(config.firmware.type, name, firmware.State().product, config.port);
  };
  if (!WriteEvent(fd, create())) {
    *error = std::string("uhid refused the device: ") + std::strerror(errno);
    ::close(fd);
    return 1;
  }
  using Clock = std::chrono::steady_clock;
  struct Late {
    Clock::time_point due;
    uhid_event event;
  };
  std::vector<Late> late;
  auto pace = [&] {
    if (config.pace_us > 0) std::this_thread::sleep_for(std::chrono::microseconds(config.pace_us));
  };
  bool unplugged = false;
  while (!unplugged && !should_stop()) {
    pollfd p{fd, POLLIN, 0};
    int timeout = late.empty() ? 200 : 10;
    int r = ::poll(&p, 1, timeout);
    auto now = Clock::now();
    for (size_t i = 0; i < late.size();) {
      if (late[i].due <= now) {
        WriteEvent(fd, late[i].event);
        late.erase(late.begin() + static_cast<long>(i));
      } else {
        ++i;
      }
    }
    if (r <= 0 || !(p.revents & POLLIN)) continue;
    uhid_event ev;
    std::memset(&ev, 0, sizeof ev);
    ssize_t n = ::read(fd, &ev, sizeof ev);
    if (n <= 0) continue;
    std::optional<Request> req = wire::ParseHostEvent(ev, static_cast<size_t>(n), nullptr);
    if (!req) continue;  // start, open, close and the like
    pace();
    Outcome outcome = firmware.Handle(*req);
    if (outcome.unplug) {
      unplugged = true;
      break;
    }
    for (const Answer& a : outcome.answers) {
      uhid_event out = wire::FromAnswer(a);
      if (a.delay_ms > 0) {
        late.push_back({Clock::now() + std::chrono::milliseconds(a.delay_ms), out});
        continue;
      }
      pace();
      WriteEvent(fd, out);
    }
    if (outcome.reannounce) {  // re-enumerate with the ids the device has now
      late.clear();
      WriteEvent(fd, Destroy());
      WriteEvent(fd, create());
    }
  }
  WriteEvent(fd, Destroy());
  ::close(fd);
  return 0;
}

}  // namespace panelsim
