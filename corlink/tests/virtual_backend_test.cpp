// The virtual backend against a scripted device: the uhid events on the wire, the queue of
// inputs that arrive during a feature call, time-outs, cancel, unplug and enumeration.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "hid/hid_port.h"
#include "hid/virtual.h"
#include "support/scripted_peer.h"

namespace corlink::hid {
namespace {

using corlink::testing::Bytes;
using corlink::testing::HostEvent;
using corlink::testing::ScriptedPeer;

class VirtualBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = GetVirtualTimeouts();
    SetVirtualTimeouts({200, 200});
  }
  void TearDown() override { SetVirtualTimeouts(saved_); }
  VirtualTimeouts saved_;
};

TEST_F(VirtualBackendTest, WriteSendsOneOutputEventAndReadReturnsTheInput) {
  ScriptedPeer peer;
  peer.Start([](ScriptedPeer& p, const HostEvent& ev) {
    if (ev.type == UHID_OUTPUT) p.SendInput(Bytes({0x0A, ev.data[1], 0x55}));
  });
  uint8_t out[4] = {0x09, 0x42, 1, 2};
  ASSERT_EQ(WriteReport(peer.host_fd(), out, sizeof out, 500), 1);
  uint8_t in[8] = {};
  ASSERT_EQ(ReadReport(peer.host_fd(), in, sizeof in, 500), 3);
  EXPECT_EQ(in[0], 0x0A);
  EXPECT_EQ(in[1], 0x42);
  EXPECT_EQ(in[2], 0x55);
  auto got = peer.Received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].type, UHID_OUTPUT);
  EXPECT_EQ(got[0].data, Bytes({0x09, 0x42, 1, 2}));
}

TEST_F(VirtualBackendTest, ReadAfterWriteOnAnotherDescriptorLooksItUp) {
  ScriptedPeer a, b;
  a.Start(nullptr);
  b.Start(nullptr);
  uint8_t out[2] = {0x09, 1};
  ASSERT_EQ(WriteReport(a.host_fd(), out, sizeof out, 500), 1);
  b.SendInput(Bytes({0x0A, 0x0B}));
  uint8_t in[4];
  ASSERT_EQ(ReadReportAfterWrite(b.host_fd(), in, sizeof in, 500), 2);
  EXPECT_EQ(in[1], 0x0B);
}

TEST_F(VirtualBackendTest, ReadTimesOutWithZeroAndCutsLongReports) {
  ScriptedPeer peer;
  peer.Start(nullptr);
  uint8_t in[2];
  EXPECT_EQ(ReadReport(peer.host_fd(), in, sizeof in, 30), 0);
  peer.SendInput(Bytes({1, 2, 3, 4}));
  EXPECT_EQ(ReadReport(peer.host_fd(), in, sizeof in, 500), 2);
  EXPECT_EQ(in[1], 2);
}

TEST_F(VirtualBackendTest, FeatureCallsMatchTheirReplyAndQueueInputsInBetween) {
  ScriptedPeer peer;
  peer.Start([](ScriptedPeer& p, const HostEvent& ev) {
    if (ev.type == UHID_GET_REPORT) {
      // A stray input, a reply to some other request, then the real reply.
      p.SendInput(Bytes({0x0A, 0x77}));
      uint8_t other[3] = {9, 0xEE, 0xEE};
      p.SendGetReply(ev.request_id + 100, 0, other, 3);
      uint8_t reply[20] = {9, 0xD8, 0x02, 0xAB, 0xCD};
      p.SendGetReply(ev.request_id, 0, reply, sizeof reply);
    } else if (ev.type == UHID_SET_REPORT) {
      p.SendSetReply(ev.request_id, ev.data[1] == 0x54 ? 5 : 0);
    }
  });
  uint8_t buf[20] = {9, 0xDC};
  ASSERT_EQ(GetFeature(peer.host_fd(), buf, sizeof buf), 20);
  EXPECT_EQ(buf[1], 0xD8);
  EXPECT_EQ(buf[4], 0xCD);
  uint8_t in[4];
  ASSERT_EQ(ReadReport(peer.host_fd(), in, sizeof in, 0), 2);  // the queued stray input
  EXPECT_EQ(in[1], 0x77);

  uint8_t set_ok[20] = {9, 0x56};
  EXPECT_EQ(SetFeature(peer.host_fd(), set_ok, sizeof set_ok), 1);
  uint8_t set_refused[20] = {9, 0x54};
  EXPECT_EQ(SetFeature(peer.host_fd(), set_refused, sizeof set_refused), -1);

  auto got = peer.Received();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].type, UHID_GET_REPORT);
  EXPECT_EQ(got[0].report_id, 9);
  EXPECT_EQ(got[1].type, UHID_SET_REPORT);
  EXPECT_EQ(got[1].data.size(), 20u);
  EXPECT_NE(got[1].request_id, got[2].request_id);
}

TEST_F(VirtualBackendTest, FeatureWithoutReplyFailsAfterItsTimeOut) {
  SetVirtualTimeouts({30, 30});
  ScriptedPeer peer;
  peer.Start(nullptr);
  uint8_t buf[20] = {9};
  EXPECT_EQ(GetFeature(peer.host_fd(), buf, sizeof buf), -1);
  EXPECT_EQ(SetFeature(peer.host_fd(), buf, sizeof buf), -1);
}

TEST_F(VirtualBackendTest, CancelDropsAnswersThatArriveLate) {
  ScriptedPeer peer;
  peer.Start([](ScriptedPeer& p, const HostEvent& ev) {
    if (ev.type == UHID_OUTPUT) p.SendInput(Bytes({0x0A, ev.data[1]}));
  });
  int fd = peer.host_fd();
  uint8_t in[4];
  EXPECT_EQ(ReadReport(fd, in, sizeof in, 10), 0);  // the host gave up
  Cancel(fd);
  peer.SendInput(Bytes({0x0A, 0x01}));  // the late answer
  ASSERT_TRUE(peer.WaitReceived(0, 10));
  uint8_t out[2] = {0x09, 0x02};
  ASSERT_EQ(WriteReport(fd, out, sizeof out, 500), 1);
  ASSERT_EQ(ReadReport(fd, in, sizeof in, 500), 2);
  EXPECT_EQ(in[1], 0x02);  // the answer to the new request, not the late one
}

TEST_F(VirtualBackendTest, UnplugMakesEveryTransferFail) {
  ScriptedPeer peer;
  peer.Start(nullptr);
  peer.Unplug();
  uint8_t buf[20] = {9};
  EXPECT_EQ(ReadReport(peer.host_fd(), buf, sizeof buf, 500), -1);
  EXPECT_EQ(GetFeature(peer.host_fd(), buf, sizeof buf), -1);
  EXPECT_EQ(WriteReport(peer.host_fd(), buf, sizeof buf, 500), -1);
}

TEST_F(VirtualBackendTest, MalformedMessagesAreSkipped) {
  ScriptedPeer peer;
  peer.Start([](ScriptedPeer& p, const HostEvent&) {
    uint8_t junk[7] = {1, 2, 3, 4, 5, 6, 7};
    p.SendRaw(junk, sizeof junk);
    p.SendInput(Bytes({0x0A, 0x33}));
  });
  uint8_t out[2] = {0x09, 0x01};
  ASSERT_EQ(WriteReport(peer.host_fd(), out, sizeof out, 500), 1);
  uint8_t in[4];
  ASSERT_EQ(ReadReport(peer.host_fd(), in, sizeof in, 500), 2);
  EXPECT_EQ(in[1], 0x33);
}

TEST_F(VirtualBackendTest, BadDescriptorsAndSizesFail) {
  uint8_t buf[4] = {9};
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);  // not a socket: goes to the hidraw backend
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(WriteReport(-1, buf, sizeof buf, 10), -1);
  EXPECT_EQ(ReadReport(fds[0], buf, sizeof buf, 10), -1);
  ScriptedPeer peer;
  EXPECT_EQ(WriteReport(peer.host_fd(), buf, 0, 10), -1);
}

TEST_F(VirtualBackendTest, ANewSocketOnAReusedNumberStartsClean) {
  auto peer = std::make_unique<ScriptedPeer>();
  int fd = peer->host_fd();
  peer->Start(nullptr);
  peer->SendInput(Bytes({0x0A, 1}));
  uint8_t in[4];
  ASSERT_EQ(ReadReport(fd, in, sizeof in, 500), 2);
  Cancel(fd);  // leaves the descriptor marked
  peer.reset();
  int sv[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv), 0);
  if (sv[0] != fd) {
    ASSERT_GE(dup2(sv[0], fd), 0);
    close(sv[0]);
  }
  // An input already waiting on the new socket is not dropped as a stale answer.
  uhid_event ev{};
  ev.type = UHID_INPUT2;
  ev.u.input2.size = 2;
  ev.u.input2.data[0] = 0x0A;
  ev.u.input2.data[1] = 9;
  ASSERT_EQ(send(sv[1], &ev, sizeof ev, 0), static_cast<ssize_t>(sizeof ev));
  uint8_t out[2] = {0x09, 0};
  ASSERT_EQ(WriteReport(fd, out, sizeof out, 500), 1);
  ASSERT_EQ(ReadReport(fd, in, sizeof in, 500), 2);
  EXPECT_EQ(in[1], 9);
  close(fd);
  close(sv[1]);
}

TEST_F(VirtualBackendTest, EnumerateListsLiveSocketsAndOpenConsumesTheAnnouncement) {
  char tmpl[] = "/tmp/corlink-vb-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string dir = tmpl;
  setenv("CORLINK_VIRTUAL_DIR", dir.c_str(), 1);
  EXPECT_EQ(VirtualDir(), dir);
  {
    ScriptedPeer live;
    ASSERT_TRUE(live.Listen(dir + "/b-live.sock", 0x6b3e, 0x3a06, Bytes({0x06, 0x00, 0xFF})));
    live.Start([](ScriptedPeer& p, const HostEvent& ev) {
      if (ev.type == UHID_OUTPUT) p.SendInput(Bytes({0x0A, 0x5A}));
    });
    {
      ScriptedPeer gone;  // a socket file whose server is gone
      ASSERT_TRUE(gone.Listen(dir + "/a-stale.sock", 1, 2, {}));
    }
    int stale = socket(AF_UNIX, SOCK_SEQPACKET, 0);  // recreate the file without a listener
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s/a-stale.sock", dir.c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(stale);

    std::vector<RawDevice> devices;
    VirtualBackend().enumerate(devices);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].node, dir + "/b-live.sock");
    EXPECT_EQ(devices[0].vendor_id, 0x6b3e);
    EXPECT_EQ(devices[0].product_id, 0x3a06);
    EXPECT_EQ(devices[0].report_descriptor, Bytes({0x06, 0x00, 0xFF}));

    OpenError err = OpenError::Other;
    EXPECT_EQ(VirtualBackend().open(dir + "/a-stale.sock", &err), -1);
    EXPECT_EQ(err, OpenError::NotFound);
    EXPECT_EQ(VirtualBackend().open(dir + "/missing.sock", &err), -1);
    EXPECT_EQ(err, OpenError::NotFound);
    int fd = VirtualBackend().open(dir + "/b-live.sock", &err);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(err, OpenError::None);
    uint8_t out[2] = {0x09, 1};
    ASSERT_EQ(WriteReport(fd, out, sizeof out, 500), 1);
    uint8_t in[4];
    ASSERT_EQ(ReadReport(fd, in, sizeof in, 500), 2);
    EXPECT_EQ(in[1], 0x5A);
    close(fd);
  }
  unsetenv("CORLINK_VIRTUAL_DIR");
  std::filesystem::remove_all(dir);
}

TEST(VirtualDirTest, FallsBackToRuntimeDirThenTmp) {
  std::string saved_runtime = getenv("XDG_RUNTIME_DIR") ? getenv("XDG_RUNTIME_DIR") : "";
  unsetenv("CORLINK_VIRTUAL_DIR");
  setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
  EXPECT_EQ(VirtualDir(), "/run/user/1234/corlink");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(VirtualDir(), "/tmp/corlink-" + std::to_string(getuid()));
  if (!saved_runtime.empty()) setenv("XDG_RUNTIME_DIR", saved_runtime.c_str(), 1);
}

}  // namespace
}  // namespace corlink::hid
