// A recording served as the chips' data: how a file is laid out over the cascade, which
// files are refused (and where), what the chips answer, and how frames advance.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "firmware_helpers.h"
#include "packets.h"
#include "panelsim/options.h"
#include "panelsim/replay.h"

namespace panelsim::test {
namespace {

namespace fs = std::filesystem;

// A recording as the viewer writes it: sources of one Width, each frame's blocks in
// source order, cell (x, y) of source s in frame f given by `cell`.
std::string Recording(int width, const std::vector<int>& heights,
                      const std::vector<std::string>& types, int frames,
                      const std::function<std::string(int f, int s, int x, int y)>& cell,
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

  // Loads through the command line's own path: options, then the recording.
  std::shared_ptr<const ReplayData> Load(const std::vector<std::string>& args, ProgramOptions* out,
                                         std::string* error) {
    if (!ParseOptions(args, out, error) || !PrepareReplay(out, error)) return nullptr;
    return out->server.firmware.replay;
  }

  fs::path dir_;
};

TEST_F(ReplayFiles, TheCascadeIsLaidOutFromTheFileAndTheChipOptions) {
  struct Case {
    const char* what;
    std::vector<int> heights;
    std::vector<std::string> types;
    std::vector<std::string> extra;
    int chips;
    std::vector<int> sense;
    int overlap;
  };
  const Case cases[] = {
      {"one chip by default", {18}, {"RawData"}, {}, 1, {18}, 0},
      {"even split", {18}, {"Base"}, {"--chips", "3"}, 3, {6, 6, 6}, 0},
      {"first chips take the rest", {20}, {"Base"}, {"--chips", "3"}, 3, {7, 7, 6}, 0},
      {"split as --sense lists it",
       {18},
       {"Base"},
       {"--chips", "3", "--sense", "5,6,7"},
       3,
       {5, 6, 7},
       0},
      {"overlap from the Diff Height",
       {18, 26},
       {"RawData", "Diff"},
       {"--chips", "3"},
       3,
       {6, 6, 6},
       2},
      {"Diff alone with --overlap",
       {26},
       {"Diff"},
       {"--chips", "3", "--overlap", "2"},
       3,
       {6, 6, 6},
       2},
      {"Diff alone, no overlap said", {26}, {"Diff"}, {"--chips", "3"}, 3, {9, 9, 8}, 0},
      {"slaves only: the master senses nothing",
       {12},
       {"Base"},
       {"--chips", "3", "--slaves-only"},
       3,
       {1, 6, 6},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = Write(Recording(4, c.heights, c.types, 2, Byte));
    std::vector<std::string> args = {"--replay", file};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ProgramOptions o;
    std::string err;
    auto data = Load(args, &o, &err);
    ASSERT_TRUE(data) << err;
    const PanelConfig& p = o.server.firmware.panel;
    EXPECT_EQ(p.chips, c.chips);
    EXPECT_EQ(p.drive, 4);
    EXPECT_EQ(p.sense, c.sense);
    EXPECT_EQ(p.overlap, c.overlap);
    EXPECT_EQ(p.fingers, 0);
    EXPECT_EQ(p.noise, 0);
    EXPECT_EQ(data->frame_count(), 2u);
  }
}

TEST_F(ReplayFiles, BadFilesAreRefusedNamingFileAndLine) {
  const std::string good = Recording(3, {4}, {"Base"}, 2, Byte);
  auto with = [&](const std::string& from, const std::string& to) {
    std::string t = good;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> extra;
    std::string message;  // expected after "FILE: "
  };
  // Frame 1's block header is line 7, its rows lines 8 to 10; frame 2's rows 13 to 15.
  const size_t lastRow = good.rfind('\n', good.size() - 3) + 1;
  std::string late = good;
  late.replace(lastRow, good.find(',', lastRow) - lastRow, "300");  // frame 2's last row
  const Case cases[] = {
      {"not a recording", "hello\n", {}, "line 1: not a Pelorin recording"},
      {"a byte out of range",
       with("\n0,1,2,3,", "\n0,1,256,3,"),
       {},
       "line 8: cell value 256 is outside 0 to 255"},
      {"out of range late in the file", late, {}, "line 15: cell value 300"},
      {"negative", with("\n0,1,2,3,", "\n0,-1,2,3,"), {}, "line 8: cell value -1"},
      {"unknown type",
       with("Type, Base", "Type, Pressure"),
       {},
       "line 5: source type \"Pressure\""},
      {"the file ends inside a frame",
       good.substr(0, lastRow),
       {},
       "line 14: the file ends inside a frame"},
      {"the source asked for is missing",
       good,
       {"--replay-source", "diff"},
       "line 5: the file holds no diff"},
      {"too many lines for one chip",
       Recording(2, {300}, {"Base"}, 1, Byte),
       {},
       "does not give 1 to 255 sense lines"},
      {"--sense not adding up",
       good,
       {"--chips", "2", "--sense", "1,2"},
       "--sense gives 3 sense lines"},
      {"RawDiff not fitting its Base",
       Recording(2, {3, 3}, {"Base", "RawDiff"}, 1,
                 [](int, int s, int, int) { return s == 0 ? "10" : "50"; }),
       {},
       "line 12: RawDiff 50 does not fit"},
      {"Diff not fitting the overlap",
       Recording(2, {12, 15}, {"Base", "Diff"}, 1, Byte),
       {"--chips", "3"},
       "line 4: the Height of Diff (15)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = Write(c.text);
    std::vector<std::string> args = {"--replay", file};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ProgramOptions o;
    std::string err;
    EXPECT_FALSE(Load(args, &o, &err));
    EXPECT_EQ(err.rfind(file + ": ", 0), 0u) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_FALSE(o.server.firmware.replay);
  }
  ProgramOptions o;
  std::string err;
  EXPECT_FALSE(Load({"--replay", (dir_ / "missing.csv").string()}, &o, &err));
  EXPECT_NE(err.find("missing.csv: cannot be opened"), std::string::npos) << err;
  EXPECT_FALSE(ParseOptions({"--loop"}, &o, &err));
  EXPECT_NE(err.find("go with --replay FILE"), std::string::npos) << err;
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

FirmwareConfig Served(const ProgramOptions& o) {
  FirmwareConfig c = o.server.firmware;
  c.type = DeviceType::Z3Usb;
  return c;
}

TEST_F(ReplayFiles, ChipsServeTheFileUndoingReverseAndTurnOver) {
  // Two chips of 3 sense lines with 1 overlap line: RawData is 6 high, Diff 8.
  const std::string file = Write(Recording(2, {6, 8}, {"RawData", "Diff"}, 1, Byte));
  struct Case {
    std::vector<std::string> flags;
    uint32_t address;
    int chip;
    std::vector<uint8_t> rows;  // the chip's block, 2 rows of 4 bytes (stride)
  };
  auto b = [](int s, int x, int y) { return uint8_t(std::stoi(Byte(0, s, x, y))); };
  const Case cases[] = {
      {{},
       0x52000000,
       0,
       {b(0, 0, 0), b(0, 0, 1), b(0, 0, 2), 0, b(0, 1, 0), b(0, 1, 1), b(0, 1, 2), 0}},
      {{},
       0x52000000,
       1,
       {b(0, 0, 3), b(0, 0, 4), b(0, 0, 5), 0, b(0, 1, 3), b(0, 1, 4), b(0, 1, 5), 0}},
      // Diff: chip 0 holds its 3 lines and 1 tail line, chip 1 a lead line and its 3.
      {{},
       0x53000000,
       1,
       {b(1, 0, 4), b(1, 0, 5), b(1, 0, 6), b(1, 0, 7), b(1, 1, 4), b(1, 1, 5), b(1, 1, 6),
        b(1, 1, 7)}},
      {{"--replay-reverse"},
       0x52000000,
       1,
       {b(0, 0, 5), b(0, 0, 4), b(0, 0, 3), 0, b(0, 1, 5), b(0, 1, 4), b(0, 1, 3), 0}},
      {{"--replay-reverse"},
       0x53000000,
       0,
       {b(1, 0, 3), b(1, 0, 2), b(1, 0, 1), b(1, 0, 0), b(1, 1, 3), b(1, 1, 2), b(1, 1, 1),
        b(1, 1, 0)}},
      {{"--replay-turn-over"},
       0x52000000,
       0,
       {b(0, 1, 0), b(0, 1, 1), b(0, 1, 2), 0, b(0, 0, 0), b(0, 0, 1), b(0, 0, 2), 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.address << " chip " << c.chip << " "
                                    << (c.flags.empty() ? "" : c.flags[0]));
    std::vector<std::string> args = {"--replay", file, "--chips", "2", "--replay-pace", "fast"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    ProgramOptions o;
    std::string err;
    ASSERT_TRUE(Load(args, &o, &err)) << err;
    Firmware fw(Served(o));
    EXPECT_EQ(fw.PeekMemory(c.chip, c.address, 8), c.rows);
  }
}

TEST_F(ReplayFiles, OnlyTheFilesSourceTypesAreServed) {
  struct Case {
    std::vector<std::string> types;
    std::vector<std::string> extra;
    std::vector<uint32_t> served, refused;
  };
  const Case cases[] = {
      {{"Base"}, {}, {0x51000000, 0x50000000}, {0x52000000, 0x53000000, 0x54000000, 0x55000000}},
      {{"Cycle", "Loop"}, {}, {0x54000000, 0x55000000}, {0x51000000, 0x52000000, 0x53000000}},
      {{"Cycle", "Loop"}, {"--replay-source", "loop"}, {0x55000000}, {0x54000000}},
      // Raw difference is read from Base and Raw Data: both are served from it.
      {{"RawDiff"}, {}, {0x51000000, 0x52000000}, {0x53000000, 0x54000000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.types[0] + (c.extra.empty() ? "" : " " + c.extra[1]));
    std::vector<int> heights(c.types.size(), 3);
    const std::string file = Write(Recording(2, heights, c.types, 1, Byte));
    std::vector<std::string> args = {"--replay", file};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ProgramOptions o;
    std::string err;
    ASSERT_TRUE(Load(args, &o, &err)) << err;
    Firmware fw(Served(o));
    Host host(fw);
    for (uint32_t a : c.served) EXPECT_EQ(host.Read(a, 8).size(), 8u) << std::hex << a;
    for (uint32_t a : c.refused) EXPECT_TRUE(host.Read(a, 8).empty()) << std::hex << a;
  }
}

TEST_F(ReplayFiles, EachCarrierRefusesAsItsChipsDo) {
  // A Base recording: Base is served, Diff refused in the carrier's own way.
  const std::string file = Write(Recording(2, {3}, {"Base"}, 1, Byte));
  ProgramOptions o;
  std::string err;
  ASSERT_TRUE(Load({"--replay", file}, &o, &err)) << err;
  auto z2Read = [](uint32_t a) {
    std::vector<uint8_t> r(19, 0);
    r[0] = 0x09;
    r[1] = 0x1E;
    for (int i = 0; i < 4; ++i) r[size_t(4 + i)] = uint8_t(a >> (8 * i));
    return r;
  };
  struct Case {
    DeviceType type;
    std::function<bool(Firmware&, uint32_t)> answered;  // a data answer came back
  };
  const Case cases[] = {
      // Z1 on the feature channel: the retry NACK instead of 12 bytes and a CRC.
      {DeviceType::Z2UsbBrg,
       [](Firmware& fw, uint32_t a) { return Command(fw, 0x86, Z1Address(a)).size() == 14; }},
      // Z2 letters have no refusal: no answer at all.
      {DeviceType::Z2Usb,
       [&](Firmware& fw, uint32_t a) { return !SendOutput(fw, z2Read(a)).answers.empty(); }},
      {DeviceType::Z3Usb, [](Firmware& fw, uint32_t a) { return !Host(fw).Read(a, 8).empty(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(DeviceTypeName(c.type));
    FirmwareConfig cfg = o.server.firmware;
    cfg.type = c.type;
    Firmware fw(cfg);
    EXPECT_TRUE(c.answered(fw, 0x51000000));
    EXPECT_FALSE(c.answered(fw, 0x53000000));
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
    std::vector<int> heights = {3};
    if (*partner != '\0') {
      types.push_back(partner);
      heights.push_back(3);
    }
    const std::string file = Write(Recording(2, heights, types, 1, cell));
    ProgramOptions o;
    std::string err;
    ASSERT_TRUE(Load({"--replay", file}, &o, &err)) << err;
    Firmware fw(Served(o));
    const auto base = fw.PeekMemory(0, 0x51000000, 8);
    const auto raw = fw.PeekMemory(0, 0x52000000, 8);
    for (int x = 0; x < 2; ++x)
      for (int y = 0; y < 3; ++y)
        EXPECT_EQ(int(base[size_t(x * 4 + y)]) - int(raw[size_t(x * 4 + y)]),
                  std::stoi(cell(0, 0, x, y)));
  }
}

TEST_F(ReplayFiles, FramesAdvancePerReadCycleAndEndOrLoop) {
  // Frame f holds f + 1 in every cell. Mode words without a read in between keep the frame.
  const std::string file = Write(
      Recording(1, {2}, {"Base"}, 3, [](int f, int, int, int) { return std::to_string(f + 1); }));
  struct Case {
    bool loop;
    std::vector<int> seen;  // the cell each cycle reads; 0: not ready
  };
  const Case cases[] = {{false, {1, 2, 3, 0, 0}}, {true, {1, 2, 3, 1, 2}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loop ? "loop" : "no loop");
    std::vector<std::string> args = {"--replay", file, "--replay-pace", "fast"};
    if (c.loop) args.push_back("--loop");
    ProgramOptions o;
    std::string err;
    ASSERT_TRUE(Load(args, &o, &err)) << err;
    Firmware fw(Served(o));
    Host host(fw);
    host.StartCycle();  // as report-to-OS off does at the host's start
    std::vector<int> seen;
    for (size_t i = 0; i < c.seen.size(); ++i) {
      host.StartCycle();
      host.StartCycle();  // a repeated mode word changes nothing
      seen.push_back(host.Ready() ? host.Read(0x51000000, 4).at(0) : 0);
    }
    EXPECT_EQ(seen, c.seen);
  }
}

TEST_F(ReplayFiles, TheBufferedDataChannelMovesOnOnceABlockWasStreamed) {
  // DEV_USB_BRG_EP1 streams the master's raw-difference block on get-feature requests.
  const std::string file = Write(Recording(
      1, {2}, {"RawDiff"}, 3, [](int f, int, int, int) { return std::to_string(f + 1); }));
  ProgramOptions o;
  std::string err;
  ASSERT_TRUE(Load({"--replay", file, "--replay-pace", "fast"}, &o, &err)) << err;
  FirmwareConfig cfg = o.server.firmware;
  cfg.type = DeviceType::UsbBrgEp1;
  Firmware fw(cfg);
  std::vector<int> seen;
  for (int i = 0; i < 3; ++i) {
    Command(fw, 0x85, {0x21});
    auto g = GetFeature(fw);  // 09 55 10 n, then the block: 4 header bytes and the cells
    ASSERT_TRUE(g && (*g)[1] == 0x55);
    seen.push_back((*g)[4 + 4]);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
}

TEST_F(ReplayFiles, FramesAreDueAsPaced) {
  // Stamps that go back (a clock step) or repeat never make a frame due earlier than the
  // one before it.
  const std::string file = Write(Recording(1, {1}, {"Base"}, 4, Byte, {1000, 1150, 1100, 1400}));
  struct Case {
    std::string pace;
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
    auto data = Load({"--replay", file, "--replay-pace", c.pace}, &o, &err);
    ASSERT_TRUE(data) << err;
    std::vector<int64_t> due;
    for (size_t i = 0; i < data->frame_count(); ++i) due.push_back(data->DueMs(i));
    EXPECT_EQ(due, c.due);
  }
}

TEST_F(ReplayFiles, BadFramesAndTblFilesWorkWithReplay) {
  const std::string text =
      Recording(1, {2}, {"Base"}, 4, [](int f, int, int, int) { return std::to_string(f + 1); });
  std::string tbl = text;
  for (char& ch : tbl) ch = static_cast<char>(static_cast<uint8_t>(ch) + 0x4D);
  const std::string file = Write(tbl, "rec.tbl");
  ProgramOptions o;
  std::string err;
  ASSERT_TRUE(Load({"--replay", file, "--replay-pace", "fast", "--bad-frames", "repeat:2,zero:4"},
                   &o, &err))
      << err;
  Firmware fw(Served(o));
  Host host(fw);
  host.StartCycle();
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) {
    host.StartCycle();
    seen.push_back(host.Ready() ? host.Read(0x51000000, 4).at(0) : -1);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 2, 0}));
}

}  // namespace
}  // namespace panelsim::test
