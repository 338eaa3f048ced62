// A recording served as the chips' data: how a file is laid out over the cascade, which
// files are refused (and where), what the chips answer, and how frames advance.
// How the chips lay each frame out (chip split, overlap, reverse, turn-over) is checked
// whole by the round trips in tests/integration.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "firmware_helpers.h"
#include "packets.h"
#include "panelsim/options.h"
#include "panelsim/replay.h"

namespace panelsim::test {
namespace {

namespace fs = std::filesystem;

using Cell = std::function<std::string(int f, int s, int x, int y)>;

// A recording as the viewer writes it: sources of one Width, each frame's blocks in
// source order, cell (x, y) of source s in frame f given by `cell`, frame f stamped
// stamps[f] ms (10 ms apart when not given).
std::string Recording(int width, const std::vector<int>& heights,
                      const std::vector<std::string>& types, int frames, const Cell& cell,
                      const std::vector<int>& stamps = {}) {
  std::ostringstream o;
  auto list = [&](const char* word, auto value) {
    o << word << ", ";
    for (size_t i = 0; i < heights.size(); ++i) o << (i ? "," : "") << value(i);
    o << "\n";
  };
  o << "Pelorin\nFrameCount, " << frames << "\n";
  list("Width", [&](size_t) { return width; });
  list("Height", [&](size_t i) { return heights[i]; });
  list("Type", [&](size_t i) { return types[i]; });
  for (int f = 0; f < frames; ++f) {
    for (size_t s = 0; s < heights.size(); ++s) {
      const int ms = stamps.empty() ? f * 10 : stamps[size_t(f)];
      o << "\nNo , " << f + 1 << ", " << std::string(8, ' ') << ms << "ms, Read Error Times , 0\n";
      for (int x = 0; x < width; ++x) {
        for (int y = 0; y < heights[s]; ++y) o << cell(f, int(s), x, y) << ",";
        o << "\n";
      }
    }
  }
  o << "\n";
  return o.str();
}

// A distinct byte per frame, source and cell.
std::string Byte(int f, int s, int x, int y) {
  return std::to_string((f * 50 + s * 7 + x * 11 + y) % 256);
}
// f + 1 in every cell of frame f.
std::string FrameNumber(int f, int, int, int) { return std::to_string(f + 1); }

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
}

class ReplayFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/panelsim-replay-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& text, const std::string& name = "rec.csv") {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }

  // Loads `file` through the command line's own path (options, then the recording) with
  // the flags given; the options end in *o.
  std::shared_ptr<const ReplayData> Load(const std::string& file, const std::string& flags,
                                         ProgramOptions* o, std::string* error) {
    const std::vector<std::string> args = Words("--replay " + file + " " + flags);
    if (!ParseOptions(args, o, error) || !PrepareReplay(o, error)) return nullptr;
    return o->server.firmware.replay;
  }
  // The firmware of a device of `type` serving `file`.
  std::unique_ptr<Firmware> Serve(const std::string& file, const std::string& flags,
                                  DeviceType type = DeviceType::Z3Usb) {
    ProgramOptions o;
    std::string err;
    if (!Load(file, flags, &o, &err)) {
      ADD_FAILURE() << err;
      return nullptr;
    }
    FirmwareConfig c = o.server.firmware;
    c.type = type;
    return std::make_unique<Firmware>(c);
  }

  fs::path dir_;
};

TEST_F(ReplayFiles, TheCascadeIsLaidOutFromTheFileAndTheChipOptions) {
  struct Case {
    const char* what;
    std::vector<int> heights;
    std::vector<std::string> types;
    const char* flags;
    std::vector<int> sense;  // one count per chip
    int overlap;
  };
  const Case cases[] = {
      {"one chip by default", {18}, {"RawData"}, "", {18}, 0},
      {"even split", {18}, {"Base"}, "--chips 3", {6, 6, 6}, 0},
      {"first chips take the rest", {20}, {"Base"}, "--chips 3", {7, 7, 6}, 0},
      {"split as --sense lists it", {18}, {"Base"}, "--chips 3 --sense 5,6,7", {5, 6, 7}, 0},
      {"overlap from the Diff Height", {18, 26}, {"RawData", "Diff"}, "--chips 3", {6, 6, 6}, 2},
      {"Diff alone with --overlap", {26}, {"Diff"}, "--chips 3 --overlap 2", {6, 6, 6}, 2},
      {"Diff alone, no overlap said", {26}, {"Diff"}, "--chips 3", {9, 9, 8}, 0},
      {"slaves only", {12}, {"Base"}, "--chips 3 --slaves-only", {1, 6, 6}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramOptions o;
    std::string err;
    ASSERT_TRUE(Load(Write(Recording(4, c.heights, c.types, 2, Byte)), c.flags, &o, &err)) << err;
    const PanelConfig& p = o.server.firmware.panel;
    EXPECT_EQ(p.chips, int(c.sense.size()));
    EXPECT_EQ(p.drive, 4);
    EXPECT_EQ(p.sense, c.sense);
    EXPECT_EQ(p.overlap, c.overlap);
    EXPECT_TRUE(p.fingers == 0 && p.noise == 0) << "the model's touches and noise stay off";
  }
}

TEST_F(ReplayFiles, BadFilesAreRefusedNamingFileAndLine) {
  const std::string good = Recording(3, {4}, {"Base"}, 2, Byte);
  auto with = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  // Frame 1's block header is line 7, its rows lines 8 to 10; frame 2's rows 13 to 15.
  const size_t lastRow = good.rfind('\n', good.size() - 3) + 1;
  std::string late = good;
  late.replace(lastRow, good.find(',', lastRow) - lastRow, "300");  // frame 2's last row
  struct Case {
    const char* what;
    std::string text;
    const char* flags;
    std::string message;  // expected after "FILE: "
  };
  const Case cases[] = {
      {"not a recording", "hello\n", "", "line 1: not a Pelorin recording"},
      {"over 255", with("\n0,1,2,3,", "\n0,1,256,3,"), "",
       "line 8: cell value 256 is outside 0 to 255"},
      {"over 255 late in the file", late, "", "line 15: cell value 300"},
      {"negative", with("\n0,1,2,3,", "\n0,-1,2,3,"), "", "line 8: cell value -1"},
      {"unknown type", with("Type, Base", "Type, Pressure"), "",
       "line 5: source type \"Pressure\""},
      {"ends inside a frame", good.substr(0, lastRow), "", "line 14: the file ends inside a frame"},
      {"no such source", good, "--replay-source diff", "line 5: the file holds no diff"},
      {"too many lines for one chip", Recording(2, {300}, {"Base"}, 1, Byte), "",
       "does not give 1 to 255 sense lines"},
      {"--sense not adding up", good, "--chips 2 --sense 1,2", "--sense gives 3 sense lines"},
      {"RawDiff not fitting its Base",
       Recording(2, {3, 3}, {"Base", "RawDiff"}, 1,
                 [](int, int s, int, int) { return s == 0 ? "10" : "50"; }),
       "", "line 12: RawDiff 50 does not fit"},
      {"Diff not fitting the overlap", Recording(2, {12, 15}, {"Base", "Diff"}, 1, Byte),
       "--chips 3", "line 4: the Height of Diff (15)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = Write(c.text);
    ProgramOptions o;
    std::string err;
    EXPECT_FALSE(Load(file, c.flags, &o, &err));
    EXPECT_EQ(err.rfind(file + ": ", 0), 0u) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_FALSE(o.server.firmware.replay);
  }
  ProgramOptions o;
  std::string err;
  EXPECT_FALSE(Load((dir_ / "missing.csv").string(), "", &o, &err));
  EXPECT_NE(err.find("missing.csv: cannot be opened"), std::string::npos) << err;
}

// Drives a Z3 USB master the way a host does.
class Host {
 public:
  explicit Host(Firmware& fw) : fw_(fw) {}
  void StartCycle() { Ask(fw_, Z3Packet(0x85, {0x21, 0x01})); }
  bool Ready() { return Read(0x50000000, 4).at(0) == 1; }
  // The bytes of a read, or nothing when the chip refused it.
  std::vector<uint8_t> Read(uint32_t address, uint16_t count) {
    std::vector<uint8_t> p = Le32(address);
    p.push_back(static_cast<uint8_t>(count));
    p.push_back(static_cast<uint8_t>(count >> 8));
    auto a = Ask(fw_, Z3Packet(0x86, p));
    if (!a || ((*a)[4] == 0xAD && (*a)[5] == 0xDE)) return {};
    return std::vector<uint8_t>(a->begin() + 8, a->begin() + 8 + count);
  }

 private:
  Firmware& fw_;
};

// Whether a data read of `address` came back, asked as a host of that carrier asks.
bool Answered(Firmware& fw, DeviceType type, uint32_t address) {
  switch (type) {
    case DeviceType::Z2UsbBrg:  // Z1 on the feature channel: a refusal is the retry NACK
      return Command(fw, 0x86, Z1Address(address)).size() == 14;
    case DeviceType::Z2Usb: {  // Z2 letters have no refusal: no answer at all
      std::vector<uint8_t> r(19, 0);
      r[0] = 0x09;
      r[1] = 0x1E;
      for (int i = 0; i < 4; ++i) r[size_t(4 + i)] = uint8_t(address >> (8 * i));
      return !SendOutput(fw, r).answers.empty();
    }
    default: return !Host(fw).Read(address, 8).empty();
  }
}

TEST_F(ReplayFiles, OnlyTheFilesSourceTypesAreServedAndEachCarrierRefusesTheRest) {
  struct Case {
    DeviceType carrier;
    std::vector<std::string> types;
    const char* flags;
    std::vector<uint8_t> served, refused;  // regions (the address's top byte)
  };
  const Case cases[] = {
      {DeviceType::Z3Usb, {"Base"}, "", {0x51, 0x50}, {0x52, 0x53, 0x54, 0x55}},
      {DeviceType::Z3Usb, {"Cycle", "Loop"}, "", {0x54, 0x55}, {0x51, 0x52, 0x53}},
      {DeviceType::Z3Usb, {"Cycle", "Loop"}, "--replay-source loop", {0x55}, {0x54}},
      // Raw difference is read from Base and Raw Data: both are served from it.
      {DeviceType::Z3Usb, {"RawDiff"}, "", {0x51, 0x52}, {0x53, 0x54}},
      {DeviceType::Z2UsbBrg, {"Base"}, "", {0x51}, {0x53}},
      {DeviceType::Z2Usb, {"Base"}, "", {0x51}, {0x53}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << DeviceTypeName(c.carrier) << " " << c.types[0] << " " << c.flags);
    const std::vector<int> heights(c.types.size(), 3);
    auto fw = Serve(Write(Recording(2, heights, c.types, 1, Byte)), c.flags, c.carrier);
    ASSERT_TRUE(fw);
    for (uint32_t r : c.served) EXPECT_TRUE(Answered(*fw, c.carrier, r << 24)) << std::hex << r;
    for (uint32_t r : c.refused) EXPECT_FALSE(Answered(*fw, c.carrier, r << 24)) << std::hex << r;
  }
}

TEST_F(ReplayFiles, RawDiffIsRebuiltFromWhatTheFileLacks) {
  // Base - Raw Data must give the recorded difference whichever of the two the file holds.
  auto cell = [](int, int s, int x, int y) {
    if (s == 1) return std::to_string(100 + x + y);          // Base or RawData
    return std::to_string((x * 3 + y) % 2 == 0 ? -40 : 25);  // RawDiff
  };
  for (const char* partner : {"Base", "RawData", ""}) {
    SCOPED_TRACE(partner);
    std::vector<std::string> types = {"RawDiff"};
    if (*partner != '\0') types.push_back(partner);
    auto fw = Serve(Write(Recording(2, std::vector<int>(types.size(), 3), types, 1, cell)), "");
    ASSERT_TRUE(fw);
    const auto base = fw->PeekMemory(0, 0x51000000, 8);
    const auto raw = fw->PeekMemory(0, 0x52000000, 8);
    for (int x = 0; x < 2; ++x)
      for (int y = 0; y < 3; ++y)
        EXPECT_EQ(int(base[size_t(x * 4 + y)]) - int(raw[size_t(x * 4 + y)]),
                  std::stoi(cell(0, 0, x, y)));
  }
}

TEST_F(ReplayFiles, FramesAdvanceOncePerReadCycleAndEndOrLoop) {
  // Frame f holds f + 1 in every Base and RawDiff cell (Raw Data is then 0). A Z3 host
  // reads Base after each cycle's start; mode words without a read in between must keep
  // the frame. The buffered data channel streams the master's raw difference on
  // get-feature requests and moves on once a block was streamed.
  const std::string text = Recording(1, {2, 2}, {"Base", "RawDiff"}, 4, FrameNumber);
  std::string tbl = text;
  for (char& ch : tbl) ch = static_cast<char>(static_cast<uint8_t>(ch) + 0x4D);
  struct Case {
    const char* what;
    DeviceType carrier;
    const char* name;  // the file's name: .tbl files are decoded
    const char* flags;
    std::vector<int> seen;  // the cell each cycle reads; -1: not ready
  };
  const Case cases[] = {
      {"to the end", DeviceType::Z3Usb, "rec.csv", "", {1, 2, 3, 4, -1, -1}},
      {"looped", DeviceType::Z3Usb, "rec.csv", "--loop", {1, 2, 3, 4, 1, 2}},
      {"bad frames, .tbl",
       DeviceType::Z3Usb,
       "rec.tbl",
       "--bad-frames repeat:2,zero:4",
       {1, 2, 2, 0}},
      {"buffered channel", DeviceType::UsbBrgEp1, "rec.csv", "", {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = Write(std::string(c.name).ends_with(".tbl") ? tbl : text, c.name);
    auto fw = Serve(file, std::string("--replay-pace fast ") + c.flags, c.carrier);
    ASSERT_TRUE(fw);
    Host host(*fw);
    if (c.carrier == DeviceType::Z3Usb) host.StartCycle();  // as report-to-OS off does first
    std::vector<int> seen;
    for (size_t i = 0; i < c.seen.size(); ++i) {
      if (c.carrier == DeviceType::UsbBrgEp1) {
        Command(*fw, 0x85, {0x21});
        auto g = GetFeature(*fw);  // 09 55 10 n, then the block: 4 header bytes and the cells
        ASSERT_TRUE(g && (*g)[1] == 0x55);
        seen.push_back((*g)[4 + 4]);
        continue;
      }
      host.StartCycle();
      host.StartCycle();
      seen.push_back(host.Ready() ? host.Read(0x51000000, 4).at(0) : -1);
    }
    EXPECT_EQ(seen, c.seen);
  }
}

TEST_F(ReplayFiles, FramesAreDueAsPaced) {
  // Stamps that go back (a clock step) or repeat never make a frame due earlier than the
  // one before it.
  const std::string file = Write(Recording(1, {1}, {"Base"}, 4, Byte, {1000, 1150, 1100, 1400}));
  struct Case {
    const char* pace;
    std::vector<int64_t> due;
  };
  const Case cases[] = {
      {"recorded", {0, 150, 150, 450}},
      {"fast", {0, 0, 0, 0}},
      {"40", {0, 40, 80, 120}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pace);
    ProgramOptions o;
    std::string err;
    auto data = Load(file, std::string("--replay-pace ") + c.pace, &o, &err);
    ASSERT_TRUE(data) << err;
    std::vector<int64_t> due;
    for (size_t i = 0; i < data->frame_count(); ++i) due.push_back(data->DueMs(i));
    EXPECT_EQ(due, c.due);
  }
}

}  // namespace
}  // namespace panelsim::test
