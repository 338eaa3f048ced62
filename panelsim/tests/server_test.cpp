// The server over a real socket: announcement, answers per connection, shared state,
// unplug and stop.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "packets.h"
#include "panelsim/server.h"
#include "raw_client.h"

namespace panelsim::test {
namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/panelsim-test-XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::unique_ptr<Server> StartServer(const TempDir& dir, DeviceType type, int chips = 3) {
  ServerConfig cfg;
  cfg.firmware.type = type;
  cfg.firmware.panel.chips = chips;
  cfg.folder = dir.path();
  std::string err;
  auto s = Server::Start(cfg, &err);
  EXPECT_TRUE(s) << err;
  return s;
}

std::vector<uint8_t> ReadReq(uint32_t address) {
  auto p = Le32(address);
  p.push_back(52);
  p.push_back(0);
  return p;
}

TEST(Server, AnnouncesDeviceThenAnswersReads) {
  TempDir dir;
  auto server = StartServer(dir, DeviceType::Z3Usb);
  ASSERT_TRUE(server);
  EXPECT_EQ(server->SocketPath(), dir.path() + "/panelsim-z3usb.sock");
  RawClient host(server->SocketPath());
  ASSERT_TRUE(host.connected());
  auto create = host.Receive();
  ASSERT_TRUE(create);
  EXPECT_EQ(create->type, UHID_CREATE2);
  EXPECT_EQ(create->u.create2.vendor, 0x6b3eu);
  EXPECT_EQ(create->u.create2.product, 0x3a06u);
  EXPECT_EQ(create->u.create2.bus, 0x03);
  EXPECT_GT(create->u.create2.rd_size, 10);

  ASSERT_TRUE(host.Output(Z3Packet(0x86, ReadReq(0x5A000000))));
  auto answer = host.Input();
  ASSERT_TRUE(answer);
  EXPECT_EQ((*answer)[0], 0x0A);
  EXPECT_EQ((*answer)[8 + 2], 24);  // default sense lines
  EXPECT_EQ(server->CommandCount(0x86), 1);
  auto packets = server->LastPackets();
  ASSERT_GE(packets.size(), 3u);
  EXPECT_EQ(packets.back().event, static_cast<uint32_t>(UHID_INPUT2));
}

TEST(Server, AnswersGoToTheAskingConnection) {
  TempDir dir;
  auto server = StartServer(dir, DeviceType::Z3Usb);
  ASSERT_TRUE(server);
  RawClient a(server->SocketPath()), b(server->SocketPath());
  ASSERT_TRUE(a.Receive() && b.Receive());
  ASSERT_TRUE(b.Output(Z3Packet(0x86, ReadReq(0xA000C024))));
  EXPECT_TRUE(b.Input());
  EXPECT_FALSE(a.Receive(100));
  // Shared state: a mode word through one connection is seen by the other's reads.
  ASSERT_TRUE(a.Output(Z3Packet(0x85, {0x21, 0x01})));
  EXPECT_TRUE(a.Input());
  ASSERT_TRUE(b.Output(Z3Packet(0x86, ReadReq(0x50000000))));
  auto ready = b.Input();
  ASSERT_TRUE(ready);
  EXPECT_EQ((*ready)[8], 1);  // firmware ready
  EXPECT_EQ((*ready)[9], 1);  // frame 1
  EXPECT_EQ(server->Stats().connections, 2);
}

// Sends bytes with a descriptor attached (SCM_RIGHTS), as the host library hands its lock over.
bool SendWithDescriptor(int sock, const void* bytes, size_t n, int fd) {
  iovec iov{const_cast<void*>(bytes), n};
  alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int))] = {};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = space;
  msg.msg_controllen = sizeof space;
  cmsghdr* c = CMSG_FIRSTHDR(&msg);
  c->cmsg_level = SOL_SOCKET;
  c->cmsg_type = SCM_RIGHTS;
  c->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
  return ::sendmsg(sock, &msg, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
}

// True when every writer of the pipe is gone (end-of-file within the time-out).
bool PipeClosed(int read_end, int timeout_ms = 5000) {
  pollfd p{read_end, POLLIN, 0};
  char c;
  return ::poll(&p, 1, timeout_ms) == 1 && ::read(read_end, &c, 1) == 0;
}

// The host's lock comes as "corlink-lock" with its descriptor: the server keeps that
// descriptor exactly as long as the connection, takes the message for no event, and closes
// a descriptor that comes with anything else at once (never leaks one).
TEST(Server, KeepsTheHandedOverLockAsLongAsTheConnectionAndNoOtherDescriptor) {
  TempDir dir;
  auto server = StartServer(dir, DeviceType::Z3Usb);
  ASSERT_TRUE(server);
  const std::vector<uint8_t> read = Z3Packet(0x86, ReadReq(0xA000C024));
  uhid_event output{};
  output.type = UHID_OUTPUT;
  output.u.output.size = static_cast<uint16_t>(read.size());
  output.u.output.rtype = UHID_OUTPUT_REPORT;
  std::memcpy(output.u.output.data, read.data(), read.size());
  const std::string marker = "corlink-lock";
  const struct {
    const char* name;
    const void* bytes;
    size_t size;
    bool kept;
  } cases[] = {
      {"hand-over", marker.data(), marker.size(), true},
      {"hand-over with its NUL", marker.c_str(), marker.size() + 1, false},
      {"a request", &output, sizeof output, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<RawClient> host(std::in_place, server->SocketPath());
    ASSERT_TRUE(host->Receive());
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    ASSERT_TRUE(SendWithDescriptor(host->fd(), c.bytes, c.size, p[1]));
    ::close(p[1]);
    // Still served; the request's answer is the first thing back, so the other messages
    // were taken for nothing to answer.
    if (c.bytes != &output) {
      ASSERT_TRUE(host->Output(read));
    }
    EXPECT_TRUE(host->Input());
    if (c.kept) {
      EXPECT_FALSE(PipeClosed(p[0], 0));
      host.reset();  // the connection ends: the lock goes with it
    }
    EXPECT_TRUE(PipeClosed(p[0]));
    ::close(p[0]);
  }
}

// Paced reports share one wire: however late the server thread wakes up to a request, and
// however many requests the host sends at once, no answer comes before every report ahead
// of it has had its time. Only lower bounds are checked: a busy machine only adds time.
TEST(Server, PacedReportsTakeTheirTurnOnTheWire) {
  TempDir dir;
  ServerConfig cfg;
  cfg.folder = dir.path();
  cfg.pace_us = 20000;
  std::string err;
  auto server = Server::Start(cfg, &err);
  ASSERT_TRUE(server) << err;
  RawClient host(server->SocketPath());
  ASSERT_TRUE(host.Receive());
  using Clock = std::chrono::steady_clock;
  const auto pace = std::chrono::microseconds(cfg.pace_us);

  // Times count from the first request: a report that overran shortens later ones.
  const auto t0 = Clock::now();
  ASSERT_TRUE(host.Output(Z3Packet(0x86, ReadReq(0x5A000000))));
  ASSERT_TRUE(host.Input());
  EXPECT_GE(Clock::now() - t0, 2 * pace);  // the request, then its answer

  // Three requests at once: six more reports, one after the other.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(host.Output(Z3Packet(0x86, ReadReq(0x5A000000))));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(host.Input());
  EXPECT_GE(Clock::now() - t0, 8 * pace);
}

TEST(Server, FeatureChannelWriteThenReadResponse) {
  TempDir dir;
  auto server = StartServer(dir, DeviceType::Z2UsbBrg, 1);
  ASSERT_TRUE(server);
  RawClient host(server->SocketPath());
  auto create = host.Receive();
  ASSERT_TRUE(create);
  EXPECT_EQ(create->u.create2.product, 0x3a01u);
  ASSERT_EQ(host.SetFeature(FeatureWrite(0x86, Z1Address(0x5A000000))), 0);
  auto status = host.GetFeature(0x09);
  ASSERT_TRUE(status);
  EXPECT_EQ((*status)[2], 0x02);
  EXPECT_EQ((*status)[3], 0xAB);
  EXPECT_EQ((*status)[4], 0xCD);
  ASSERT_EQ(host.SetFeature(FeatureRequest(0)), 0);
  ASSERT_TRUE(host.GetFeature(0x09));  // ready
  ASSERT_TRUE(host.GetFeature(0x09));  // ready
  auto response = host.GetFeature(0x09);
  ASSERT_TRUE(response);
  ASSERT_EQ(response->size(), 20u);
  EXPECT_EQ((*response)[2], 14);
  EXPECT_EQ((*response)[3 + 1], 32);  // drive lines
  EXPECT_EQ((*response)[3 + 2], 24);  // sense lines
  uint16_t crc = Crc16(response->data() + 3, 12);
  EXPECT_EQ((*response)[3 + 12], crc >> 8);
  EXPECT_EQ((*response)[3 + 13], crc & 0xFF);
}

TEST(Server, UnplugClosesConnectionsAndRemovesSocket) {
  TempDir dir;
  auto server = StartServer(dir, DeviceType::Z3Usb);
  ASSERT_TRUE(server);
  RawClient host(server->SocketPath());
  ASSERT_TRUE(host.Receive());
  server->Unplug();
  bool eof = false;
  EXPECT_FALSE(host.Receive(2000, &eof));
  EXPECT_TRUE(eof);
  struct stat st;
  EXPECT_NE(::stat(server->SocketPath().c_str(), &st), 0);
  std::string err;
  ASSERT_TRUE(server->Replug(&err)) << err;
  RawClient again(server->SocketPath());
  EXPECT_TRUE(again.Receive());
}

TEST(Server, ReplacesStaleSocketAndRefusesLiveOne) {
  TempDir dir;
  {
    auto first = StartServer(dir, DeviceType::Z3Usb);
    ASSERT_TRUE(first);
    ServerConfig cfg;
    cfg.folder = dir.path();
    std::string err;
    EXPECT_FALSE(Server::Start(cfg, &err));
    EXPECT_NE(err.find("already"), std::string::npos);
  }
  // A socket file nobody listens on.
  std::string stale = dir.path() + "/panelsim-z3usb.sock";
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, stale.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
  auto second = StartServer(dir, DeviceType::Z3Usb);
  ASSERT_TRUE(second);
  RawClient host(second->SocketPath());
  EXPECT_TRUE(host.Receive());
  second->Stop();
  struct stat st;
  EXPECT_NE(::stat(stale.c_str(), &st), 0);
}

}  // namespace
}  // namespace panelsim::test
