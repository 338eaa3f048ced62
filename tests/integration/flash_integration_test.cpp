// The `corlink` tool against panelsim over the real socket backend: a 64 KiB image flashed
// on each family lands in the emulated flash byte for byte and is verified; faults and bad
// files end with the right exit code. The transport's sleeps are recorded, not slept.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "corlink.h"
#include "fault_matrix.h"
#include "flash_job.h"
#include "hid/virtual.h"
#include "library_state.h"
#include "panelsim/server.h"
#include "transport/timing.h"

namespace {

std::vector<unsigned>& Sleeps() {
  static std::vector<unsigned> s;
  return s;
}
void RecordSleep(unsigned ms) { Sleeps().push_back(ms); }

std::vector<uint8_t> Image(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return v;
}

// Intel HEX of data at address: 32-byte data records, an extended linear address record
// wherever the upper 16 bits change.
std::string ToHex(const std::vector<uint8_t>& data, uint32_t address) {
  std::string out;
  auto record = [&](uint8_t type, uint16_t offset, const uint8_t* p, size_t n) {
    std::vector<uint8_t> b{static_cast<uint8_t>(n), static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset), type};
    b.insert(b.end(), p, p + n);
    uint8_t sum = 0;
    for (uint8_t x : b) sum = static_cast<uint8_t>(sum + x);
    b.push_back(static_cast<uint8_t>(-sum));
    char hex[4];
    out += ':';
    for (uint8_t x : b) std::snprintf(hex, sizeof hex, "%02X", x), out += hex;
    out += '\n';
  };
  uint32_t upper = 0xFFFFFFFF;
  for (size_t off = 0; off < data.size();) {
    const uint32_t a = address + static_cast<uint32_t>(off);
    if ((a >> 16) != upper) {
      upper = a >> 16;
      const uint8_t u[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
      record(0x04, 0, u, 2);
    }
    // A record does not cross a 64 KiB boundary.
    const size_t n = std::min<size_t>({32, data.size() - off, 0x10000 - (a & 0xFFFF)});
    record(0x00, static_cast<uint16_t>(a), data.data() + off, n);
    off += n;
  }
  record(0x01, 0, nullptr, 0);
  return out;
}

struct Family {
  panelsim::DeviceType sim;
  int type;
  uint32_t address;
  const char* name;
};

const Family kFamilies[] = {
    {panelsim::DeviceType::Z2UsbBrg, CORLINK_DEV_Z2_USB_BRG, 0x3000, "Z1"},
    {panelsim::DeviceType::Z2Usb, CORLINK_DEV_Z2_USB, 0x4000, "Z2"},
    {panelsim::DeviceType::Z3Usb, CORLINK_DEV_Z3_USB, 0x3000, "Z3"},
};

class FlashRig : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/corlink-flash-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    ::setenv("CORLINK_VIRTUAL_DIR", dir_.c_str(), 1);
    corlink::ResetState();
    Sleeps().clear();
    corlink::transport::TransportClock() = {RecordSleep, 500};
  }
  void TearDown() override {
    server_.reset();
    corlink::transport::ResetTransportClock();
    corlink::ResetState();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  panelsim::Server& Serve(panelsim::DeviceType type) {
    panelsim::ServerConfig cfg;
    cfg.firmware.type = type;
    cfg.firmware.panel.chips = 1;
    cfg.folder = dir_;
    std::string err;
    server_ = panelsim::Server::Start(cfg, &err);
    EXPECT_NE(server_, nullptr) << err;
    return *server_;
  }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    corlink_tool::Console console{out_, err_, false};
    return corlink_tool::RunTool(args, console);
  }

  std::string dir_;
  std::unique_ptr<panelsim::Server> server_;
  std::ostringstream out_, err_;
};

TEST_F(FlashRig, SixtyFourKibImageOnEveryFamilyLandsInFlashAndVerifies) {
  const std::vector<uint8_t> image = Image(64 * 1024, 17);
  for (const Family& f : kFamilies) {
    SCOPED_TRACE(f.name);
    corlink::ResetState();
    Sleeps().clear();
    panelsim::Server& sim = Serve(f.sim);
    const std::string file = WriteFile(std::string("image-") + f.name + ".hex", ToHex(image, f.address));
    ASSERT_EQ(Run({"--json", "flash", file}), 0) << err_.str() << out_.str();
    EXPECT_EQ(sim.firmware().PeekMemory(0, f.address, static_cast<int>(image.size())), image);
    // Around the image the flash stays erased.
    EXPECT_EQ(sim.firmware().PeekMemory(0, f.address - 1, 1), std::vector<uint8_t>{0xFF});
    EXPECT_EQ(sim.firmware().PeekMemory(0, f.address + 0x10000, 1), std::vector<uint8_t>{0xFF});
    const std::string json = out_.str();
    EXPECT_NE(json.find("\"bytes\":65536"), std::string::npos) << json;
    EXPECT_NE(json.find("\"segments\":2"), std::string::npos) << json;
    EXPECT_NE(json.find("\"verified_blocks\":16"), std::string::npos) << json;
    EXPECT_NE(json.find("\"exit\":0"), std::string::npos) << json;
    EXPECT_TRUE(sim.firmware().State().update_finished || f.type == CORLINK_DEV_Z2_USB_BRG);
    if (f.type == CORLINK_DEV_Z3_USB) {
      // Each 4096-byte block CRC waited the short pause.
      EXPECT_EQ(std::count(Sleeps().begin(), Sleeps().end(), 500u), 16);
      EXPECT_NE(json.find("\"verify\":\"block-crc\""), std::string::npos);
    } else {
      EXPECT_NE(json.find("\"verify\":\"read-back\""), std::string::npos);
    }
  }
}

TEST_F(FlashRig, RawBinaryNeedsAnAddress) {
  Serve(panelsim::DeviceType::Z3Usb);
  const std::vector<uint8_t> image = Image(1000, 3);
  const std::string file = WriteFile("image.bin", std::string(image.begin(), image.end()));
  EXPECT_EQ(Run({"flash", file}), 2);
  EXPECT_NE(err_.str().find("a raw binary needs --address"), std::string::npos);
  ASSERT_EQ(Run({"flash", file, "--address", "0x5000"}), 0) << err_.str();
  EXPECT_EQ(server_->firmware().PeekMemory(0, 0x5000, 1000), image);
  EXPECT_NE(out_.str().find("flashed 1000 bytes in 20 frames; 1 blocks verified"), std::string::npos) << out_.str();
}

TEST_F(FlashRig, AFaultMidUpdateFailsNamingTheFrame) {
  const std::vector<uint8_t> image = Image(4096, 5);
  const struct {
    Family family;
    panelsim::Fault fault;
  } cases[] = {
      {kFamilies[0], {panelsim::FaultKind::Nack, 0x84, 100, -1}},
      {kFamilies[1], {panelsim::FaultKind::Unplug, '<', 100, 1}},
      {kFamilies[2], {panelsim::FaultKind::Nack, 0x84, 40, -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family.name);
    corlink::ResetState();
    panelsim::Server& sim = Serve(c.family.sim);
    sim.faults().Add(c.fault);
    const std::string file = WriteFile("image.hex", ToHex(image, c.family.address));
    EXPECT_EQ(Run({"flash", file}), 1);
    // The message names the frame that failed. A Z2 master answers no frame: the host
    // learns of the unplug a few writes later, once the socket is gone. A Z1 chip's run of
    // refusals ends like a run of lost answers (-2), so the segment is sent once more
    // first, and its first frame is the one refused in turn.
    const std::string err = err_.str();
    const size_t at = err.find("corlink: frame ");
    ASSERT_NE(at, std::string::npos) << err;
    const int named = std::atoi(err.c_str() + at + 15);
    if (c.family.type == CORLINK_DEV_Z2_USB_BRG) {
      EXPECT_EQ(named, c.fault.skip + 2) << err;
      EXPECT_NE(err.find("(id 0, address 0x00003000) failed after sending the segment again"),
                std::string::npos)
          << err;
    } else if (c.fault.kind == panelsim::FaultKind::Nack) {
      EXPECT_EQ(named, c.fault.skip + 1) << err;
    } else {
      EXPECT_GT(named, c.fault.skip) << err;
    }
  }
}

TEST_F(FlashRig, ACorruptedHexFileExitsTwoAndSendsNothing) {
  panelsim::Server& sim = Serve(panelsim::DeviceType::Z3Usb);
  std::string hex = ToHex(Image(256, 1), 0x3000);
  const std::string good = hex;
  hex[20] = hex[20] == '0' ? '1' : '0';  // breaks the checksum of the second record
  const std::string bad_sum = WriteFile("sum.hex", hex);
  std::string chars = good;
  chars[12] = 'Z';
  const std::string bad_char = WriteFile("char.hex", chars);
  // The same record twice: overlapping bytes.
  const size_t second = good.find('\n', good.find('\n') + 1) + 1;
  const std::string rec = good.substr(good.find('\n') + 1, second - good.find('\n') - 1);
  const std::string overlap = WriteFile("overlap.hex", good.substr(0, second) + rec + good.substr(second));
  for (const auto& [file, reason] : std::vector<std::pair<std::string, std::string>>{
           {bad_sum, "checksum mismatch"}, {bad_char, "'Z' is not a hex digit"}, {overlap, "overlaps"}}) {
    EXPECT_EQ(Run({"flash", file}), 2);
    EXPECT_NE(err_.str().find(reason), std::string::npos) << err_.str();
  }
  EXPECT_EQ(sim.Stats().connections, 0) << "the device was not even opened";
  EXPECT_TRUE(sim.LastPackets().empty());
}

TEST_F(FlashRig, VerifyMismatchIsExitThree) {
  Serve(panelsim::DeviceType::Z3Usb);
  const int fd = IO_OpenDevice(0);
  ASSERT_GE(fd, 0);
  const std::vector<uint8_t> other(4096, 0x00);  // the flash there is erased (0xFF)
  std::string error;
  EXPECT_EQ(corlink_tool::VerifyBlock(fd, true, 0x3000, other.data(), 4096, &error), 3);
  EXPECT_NE(error.find("verify: block 0x00003000 (4096 bytes)"), std::string::npos) << error;
  const std::vector<uint8_t> erased(4096, 0xFF);
  EXPECT_EQ(corlink_tool::VerifyBlock(fd, true, 0x3000, erased.data(), 4096, &error), 0);
  // Read back instead of the chip's CRC: the same verdicts.
  EXPECT_EQ(corlink_tool::VerifyBlock(fd, false, 0x3000, erased.data(), 100, &error), 0);
  EXPECT_EQ(corlink_tool::VerifyBlock(fd, false, 0x3000, other.data(), 100, &error), 3);
  ::close(fd);
}

TEST_F(FlashRig, MaintenanceCommandsPrintTheirResults) {
  Serve(panelsim::DeviceType::Z3Usb);
  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_NE(out_.str().find("DEV_Z3_USB\t" + server_->SocketPath()), std::string::npos) << out_.str();
  EXPECT_EQ(Run({"--json", "crc", "0x3000", "16"}), 0);
  EXPECT_NE(out_.str().find("\"crc\":\"0x"), std::string::npos) << out_.str();
  EXPECT_EQ(Run({"reset"}), 0);
  EXPECT_EQ(Run({"calibrate"}), 0);
  EXPECT_EQ(server_->firmware().State().recalibrations, 1);
  EXPECT_EQ(Run({"mem", "read", "0xA000C024"}), 0);
  EXPECT_NE(out_.str().find("0xA000C024: 0x00001003"), std::string::npos) << out_.str();
  EXPECT_EQ(Run({"power", "2"}), 1) << "power mode is served through the slave tunnel only";
  EXPECT_EQ(Run({"crc", "0x3000", "70000"}), 2);
  EXPECT_EQ(Run({"frobnicate"}), 2);
  EXPECT_EQ(Run({}), 2);
  EXPECT_EQ(Run({"--device", server_->SocketPath() + "#vid_6b3e&pid_3a06", "info"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("DEV_Z3_USB (9)"), std::string::npos) << out_.str();
}

TEST_F(FlashRig, WithoutADeviceEveryCommandIsADeviceError) {
  EXPECT_EQ(Run({"info"}), 1);
  EXPECT_NE(err_.str().find("no device found"), std::string::npos);
  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_NE(out_.str().find("no devices found"), std::string::npos);
}

// A flash the device turns down (a segment outside its flash) leaves it ready for the next
// one: the refusal names the command, and the valid image after it goes through.
TEST_F(FlashRig, ARefusedUpdateLeavesTheDeviceReadyForTheNext) {
  const std::vector<uint8_t> image = Image(256, 7);
  const std::string bad = WriteFile("high.bin", std::string(image.begin(), image.end()));
  for (const Family& f : kFamilies) {
    SCOPED_TRACE(f.name);
    corlink::ResetState();
    panelsim::Server& sim = Serve(f.sim);
    EXPECT_EQ(Run({"flash", bad, "--address", "0xFFFFFF00"}), 1);
    // A Z2 master answers no write: it can only say so in the update's result.
    EXPECT_NE(
        err_.str().find(
            f.type == CORLINK_DEV_Z2_USB
                ? "the device reports the update failed"
                : "firmware information for 0xFFFFFF00 (256 bytes) failed: refused by the device"),
        std::string::npos)
        << err_.str();
    const std::string good = WriteFile("image.hex", ToHex(image, f.address));
    ASSERT_EQ(Run({"flash", good}), 0) << err_.str();
    EXPECT_EQ(sim.firmware().PeekMemory(0, f.address, static_cast<int>(image.size())), image);
  }
}

// The image file is judged by its size before it is read: nothing larger than an image can
// be is read whole, /dev/zero ends at once, and a small pipe is still fine.
TEST_F(FlashRig, FilesLargerThanAnImageAreRefusedBeforeTheyAreRead) {
  Serve(panelsim::DeviceType::Z3Usb);
  const std::string sparse = dir_ + "/huge.bin";
  { std::ofstream(sparse, std::ios::binary).put('\0'); }
  std::filesystem::resize_file(sparse, 3ull << 30);  // 3 GiB, no blocks
  const std::vector<uint8_t> small = Image(64, 2);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  ASSERT_EQ(::write(pipe_fds[1], small.data(), small.size()), static_cast<ssize_t>(small.size()));
  ::close(pipe_fds[1]);
  const std::string piped = "/dev/fd/" + std::to_string(pipe_fds[0]);
  const struct {
    std::vector<std::string> args;
    int exit;
    const char* message;
  } cases[] = {
      {{"flash", "/dev/zero", "--address", "0x3000"},
       2,
       "/dev/zero is too large: a firmware image holds at most 16 MiB"},
      {{"flash", "/dev/zero"},
       2,
       "/dev/zero is too large: a firmware image holds at most 16 MiB (64 MiB as Intel HEX text)"},
      {{"flash", sparse, "--address", "0x3000"}, 2, "huge.bin is too large"},
      {{"flash", sparse}, 2, "huge.bin is too large"},
      {{"flash", dir_}, 2, "a folder"},
      {{"flash", dir_ + "/missing.hex"}, 2, "cannot read"},
      {{"flash", piped, "--address", "0x3000"}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    EXPECT_EQ(Run(c.args), c.exit) << err_.str();
    EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
  }
  ::close(pipe_fds[0]);
  EXPECT_EQ(server_->firmware().PeekMemory(0, 0x3000, 64), small);
}

// A data frame whose answers are lost or garbled leaves the chip's place in the segment
// unknown (a copy sent again lands one place on): the update sends the segment again and
// completes, on Z3 and on Z1.
TEST_F(FlashRig, ALostAnswerMidUpdateSendsTheSegmentAgain) {
  corlink::transport::TransportClock() = {RecordSleep, 150};
  const corlink::hid::VirtualTimeouts saved = corlink::hid::GetVirtualTimeouts();
  corlink::hid::SetVirtualTimeouts({150, 1000});
  const std::vector<uint8_t> image = Image(300, 8);
  for (panelsim::FaultKind kind :
       {panelsim::FaultKind::Drop, panelsim::FaultKind::Garbage, panelsim::FaultKind::BadCrc}) {
    for (const Family& f : {kFamilies[2], kFamilies[0]}) {
      SCOPED_TRACE(std::string(f.name) + ": " + panelsim::FaultKindName(kind));
      corlink::ResetState();
      corlink::transport::TransportClock() = {RecordSleep, 150};
      panelsim::Server& sim = Serve(f.sim);
      sim.faults().Add({kind, 0x84, 1, 3});  // every try of the second frame
      const std::string file = WriteFile("image.hex", ToHex(image, f.address));
      const int code = Run({"--json", "flash", file});
      EXPECT_EQ(code, 0) << out_.str();
      EXPECT_EQ(sim.firmware().PeekMemory(0, f.address, static_cast<int>(image.size())), image);
      // Z1 acknowledgements carry no CRC to spoil.
      const bool spoiled =
          !(kind == panelsim::FaultKind::BadCrc && f.type == CORLINK_DEV_Z2_USB_BRG);
      EXPECT_NE(out_.str().find(spoiled ? "\"resent_segments\":1" : "\"resent_segments\":0"),
                std::string::npos)
          << out_.str();
      server_.reset();
    }
  }
  corlink::hid::SetVirtualTimeouts(saved);
}

// Every fault panelsim can inject, once and always, against `corlink flash` of a small
// image (one segment, one verified block) on a Z3, a Z1 and a Z2 device. Each
// run ends within the bound below with its exit status and a message naming the cause;
// exit 0 only when the whole image is in the flash (and was verified).
//
// Bound: the transport's time-outs are cut to kCap and its retry sleeps recorded, not
// slept. The longest a run can wait is every command of the update (at most 8) using up its
// tries (Z3: 3 attempts of a write and two status reads; Z1: 5 attempts of a feature
// exchange, each at most two feature time-outs of kCap), plus a margin for slow machines
// and sanitizers.
constexpr int kCapMs = 150;
constexpr auto kRunBound = std::chrono::milliseconds(8 * 5 * 3 * kCapMs) + std::chrono::seconds(30);

struct Outcome {
  int exit;
  const char* cause;  // in the message on standard error; empty for exit 0
};

// What each case ends with. A fault on the first answer ("once") hits the firmware
// information: a lost or garbled answer, and a Z1 NACK, are tried again and the update
// goes through; a Z3 refusal is the device's last word. "always" spoils every answer.
Outcome Expected(const fault_matrix::FaultCase& c, bool z1) {
  using K = panelsim::FaultKind;
  constexpr Outcome kOk{0, ""};
  constexpr Outcome kNoAnswer{
      1, "firmware information for 0x00003000 (100 bytes) failed: no valid answer after every try"};
  constexpr Outcome kRefused{
      1, "firmware information for 0x00003000 (100 bytes) failed: refused by the device"};
  switch (c.fault.kind) {
    case K::Drop:
    case K::Late:
    case K::Garbage: return c.always ? kNoAnswer : kOk;
    case K::BadCrc:
      // Z1 acknowledgements carry no CRC; the update's result does.
      if (!c.always) return kOk;
      return z1 ? Outcome{1, "no update result from the device"} : kNoAnswer;
    case K::WrongLength:
      // Z3 answers to the update's commands carry no data to shorten.
      return c.always && z1 ? kNoAnswer : kOk;
    case K::BadInnerCrc: return kOk;  // the slave tunnel only
    case K::Nack:
    case K::NackReason1:
      if (z1) return c.always ? kNoAnswer : kOk;
      return c.fault.kind == K::Nack ? kRefused
                                     : Outcome{1, "refused by the device (reason 1, -3)"};
    case K::Unplug: return {1, "failed: the device is gone (disconnected)"};
    case K::NeverReady: return {1, "no update result from the device"};
    case K::UpdateFailed: return {1, "the device reports the update failed"};
  }
  return {-1, "?"};
}

// A Z2 master answers none of the update's writes: the first answer a fault meets is the
// update's result (then the read-back's).
Outcome ExpectedZ2(const fault_matrix::FaultCase& c) {
  using K = panelsim::FaultKind;
  constexpr Outcome kNoResult{1, "no update result from the device"};
  switch (c.fault.kind) {
    case K::Drop:
    case K::Late:
    case K::Garbage: return c.always ? kNoResult : Outcome{0, ""};
    case K::Nack:  // the result word DE AD
    case K::NackReason1:
    case K::UpdateFailed: return {1, "the device reports the update failed"};
    case K::Unplug: return {1, "failed: the device is gone (disconnected)"};  // a few frames later
    case K::NeverReady: return kNoResult;
    default: return {0, ""};  // nothing of the update carries a CRC or a length to spoil
  }
}

class FlashFaultMatrix : public FlashRig,
                         public ::testing::WithParamInterface<fault_matrix::FaultCase> {};

TEST_P(FlashFaultMatrix, EndsInTimeWithItsExitStatusAndCause) {
  const fault_matrix::FaultCase& c = GetParam();
  corlink::transport::TransportClock() = {RecordSleep, kCapMs};
  const corlink::hid::VirtualTimeouts saved = corlink::hid::GetVirtualTimeouts();
  corlink::hid::SetVirtualTimeouts({kCapMs, 1000});
  const std::vector<uint8_t> image = Image(100, 21);
  for (const Family& f : {kFamilies[2], kFamilies[0], kFamilies[1]}) {
    SCOPED_TRACE(std::string(f.name) + ": " + c.Name());
    corlink::ResetState();
    corlink::transport::TransportClock() = {RecordSleep, kCapMs};
    panelsim::Server& sim = Serve(f.sim);
    sim.faults().Add(c.fault);
    const std::string file =
        WriteFile(std::string("image-") + f.name + ".hex", ToHex(image, f.address));
    const auto start = std::chrono::steady_clock::now();
    const int code = Run({"flash", file});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, kRunBound);
    const Outcome want = f.type == CORLINK_DEV_Z2_USB
                             ? ExpectedZ2(c)
                             : Expected(c, f.type == CORLINK_DEV_Z2_USB_BRG);
    EXPECT_EQ(code, want.exit) << err_.str();
    if (code == 0) {
      EXPECT_EQ(sim.firmware().PeekMemory(0, f.address, static_cast<int>(image.size())), image);
    } else {
      EXPECT_NE(err_.str().find(want.cause), std::string::npos) << err_.str();
      EXPECT_EQ(out_.str().find("flashed"), std::string::npos) << out_.str();
    }
    server_.reset();
  }
  corlink::hid::SetVirtualTimeouts(saved);
}

INSTANTIATE_TEST_SUITE_P(EveryFault, FlashFaultMatrix,
                         ::testing::ValuesIn(fault_matrix::AllFaultCases()),
                         [](const auto& param_info) {
                           return fault_matrix::TestName(param_info.param);
                         });

}  // namespace
