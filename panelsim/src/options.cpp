#include "panelsim/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "panelsim/faults.h"

namespace panelsim {
namespace {

bool ToLong(const std::string& text, long lo, long hi, long* out) {
  if (text.empty() || text.size() > 20) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

// A USB device name as sysfs spells it: bus, '-', then ports from the root hub down joined
// by '.' ("1-1.4"); numbers 1 to 255 (the bus to 999), at most seven ports.
bool ValidPortLocation(const std::string& text) {
  size_t i = 0, numbers = 0;
  while (i <= text.size()) {
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    const std::string digits = text.substr(start, i - start);
    long v = 0;
    if (digits.empty() || digits[0] == '0' || !ToLong(digits, 1, numbers == 0 ? 999 : 255, &v)) return false;
    ++numbers;
    if (i == text.size()) break;
    if (text[i] != (numbers == 1 ? '-' : '.')) return false;
    ++i;
  }
  return numbers >= 2 && numbers <= 8;
}

}  // namespace

static std::string UsageTemplate() {
  return R"(Usage: panelsim [options]
Emulates the firmware of a touch-controller chip cascade and serves it as one HID
device until SIGINT or SIGTERM.

Device:
  --type TYPE         device type (default DEV_Z3_USB). One of: NOT_SET, DEV_Z2_I2C,
                      DEV_Z2_USB_BRG, DEV_USB_BRG_EP1 (feature channel), DEV_Z2_USB
                      (Z6 slaves), DEV_Z3_USB (Z7 slaves), DEV_Z3_USB_BRG,
                      DEV_Z3_HID_OVER_I2C; short forms z3usb, z2usb, ... or the number
  --chips N           chips in the cascade, 1 to 8: the master and N-1 slaves (default 3)
  --drive N           drive lines, shared by every chip, 1 to 255 (default 32)
  --sense N[,N...]    sense lines per chip, 1 to 255: one value for all chips or one per
                      chip (default 24)
  --overlap N         overlap lines between neighbouring chips, 0 to 15 (default 2)
  --slaves-only       the master carries no sensor lines (cascade mode "slaves only")
  --seed N            seed of the panel model: same seed, same data (default 1)
  --fingers N         moving finger touches, 0 to 10 (default 2)
  --touch-from N      the fingers touch from frame N on; earlier frames are untouched
                      (default 0: from the start)
  --noise N           noise amplitude in counts, 0 to 50 (default 3)
  --ready-after N     reads of the ready flag that still say "not ready" after each
                      new frame (default 0)
  --bad-frames LIST   frames the host should flag, e.g. repeat:5,zero:9: frame 5 is
                      served twice, frame 9 as all zero (frames count from 1)
  --product ID        product id to announce (hex, e.g. 3a02; default that of the type)
  --z5-mode           a bridge in the Z5 mode: DEV_Z2_USB_BRG announced as 6b3e:3a02
                      (four collections), the device a hub refresh hands to the
                      mode-change program

Replay (a recording served as the chips' data; see the README):
  --replay FILE       serve the frames of a recording (.csv or .tbl) in place of the
                      panel model: Width gives the drive lines, Height the sense lines,
                      split over --chips chips (default 1 with --replay) evenly or as
                      --sense lists them; each source type of the file at its address,
                      the others refused; masked cells ("N/A") read 0
  --replay-source T   serve only the source type T of the file (RawData, Base, Diff,
                      Cycle, Loop, RawDiff, or raw, base, ...)
  --replay-pace P     recorded (default): a frame is ready once its recorded time has
                      come; fast: one frame per frame cycle; MS: one every MS ms
                      (--pace recorded and --pace fast say the same)
  --loop              start again after the last frame (default: after the last frame
                      the firmware stays not ready)
  --replay-reverse    the file was recorded with each chip's sense lines reversed
  --replay-turn-over  the file was recorded with the drive lines turned over

Wire:
  --folder DIR        socket folder (default $CORLINK_VIRTUAL_DIR, else
                      $XDG_RUNTIME_DIR/corlink, else /tmp/corlink-<uid>)
  --name NAME         socket name without ".sock", lower case (default panelsim-<type>,
                      e.g. panelsim-z3usb)
  --pace US           microseconds each report takes in each direction; 1000 emulates
                      full-speed USB (default 0)
  --port LOC          USB port location to announce, as sysfs names devices (e.g. 1-1.4:
                      port 4 of the hub on port 1 of bus 1), so hub lists place it
  --uhid              create a kernel HID device through /dev/uhid instead of a socket
                      (exit status 1 where /dev/uhid is missing)

Faults (repeatable):
  --fault FAULT       KIND[:cmd=C,skip=S,count=N,delay=MS]; KIND is one of
@KINDS@.
                      cmd limits the fault to one command code (e.g. 0x86), skip
                      lets the first S matching answers through, count spoils N
                      answers (-1 = all, default 1), delay is the lateness in ms
                      (default 4000). Example: --fault nack:cmd=0x86,count=3

Other:
  -q, --quiet         no start-up line
  -h, --help          this text
)";
}

// The fault kinds come from the one table of names, wrapped to the help's column.
std::string Usage() {
  std::string text = UsageTemplate();
  std::string kinds, line = "                     ";
  const std::string list = FaultKindList();
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(", ", start);
    std::string word =
        list.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
    start = end == std::string::npos ? list.size() : end + 2;
    if (line.size() + 1 + word.size() > 88) {
      kinds += line + "\n";
      line = "                     ";
    }
    line += " " + word;
  }
  kinds += line;
  text.replace(text.find("@KINDS@"), 7, kinds);
  return text;
}

// "repeat:N,zero:M", either part alone too.
static bool ParseBadFrames(const std::string& text, FirmwareConfig* firmware) {
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, end - start);
    const size_t colon = item.find(':');
    long v = 0;
    if (colon == std::string::npos || !ToLong(item.substr(colon + 1), 1, 0xFFFFFFFFL, &v))
      return false;
    const std::string kind = item.substr(0, colon);
    if (kind == "repeat") {
      firmware->repeat_frame = static_cast<uint32_t>(v);
    } else if (kind == "zero") {
      firmware->zero_frame = static_cast<uint32_t>(v);
    } else {
      return false;
    }
    start = end + 1;
  }
  return true;
}

bool ParseOptions(const std::vector<std::string>& args, ProgramOptions* out, std::string* error) {
  ProgramOptions o;
  auto& panel = o.server.firmware.panel;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool has_inline = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      has_inline = true;
    }
    auto next = [&](std::string* v) {
      if (has_inline) {
        *v = value;
        return true;
      }
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      *v = args[++i];
      return true;
    };
    auto number = [&](long lo, long hi, long* v) {
      std::string text;
      if (!next(&text)) return false;
      if (!ToLong(text, lo, hi, v)) {
        *error = "bad value for " + arg + ": \"" + text + "\" (" + std::to_string(lo) + " to " + std::to_string(hi) + ")";
        return false;
      }
      return true;
    };
    long v = 0;
    std::string text;
    if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "-q" || arg == "--quiet") {
      o.quiet = true;
    } else if (arg == "--uhid") {
      o.uhid = true;
    } else if (arg == "--slaves-only") {
      panel.master_senses = false;
    } else if (arg == "--type") {
      if (!next(&text)) return false;
      auto t = ParseDeviceType(text);
      if (!t) {
        *error = "unknown device type \"" + text + "\"";
        return false;
      }
      o.server.firmware.type = *t;
    } else if (arg == "--chips") {
      if (!number(1, 8, &v)) return false;
      panel.chips = static_cast<int>(v);
      o.given.chips = true;
    } else if (arg == "--drive") {
      if (!number(1, 255, &v)) return false;
      panel.drive = static_cast<int>(v);
    } else if (arg == "--sense") {
      if (!next(&text)) return false;
      o.given.sense = true;
      panel.sense.clear();
      size_t start = 0;
      while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!ToLong(item, 1, 255, &v) || panel.sense.size() >= 8) {
          *error = "bad value for --sense: \"" + text + "\" (1 to 255, at most 8 values)";
          return false;
        }
        panel.sense.push_back(static_cast<int>(v));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else if (arg == "--overlap") {
      if (!number(0, 15, &v)) return false;
      panel.overlap = static_cast<int>(v);
      o.given.overlap = true;
    } else if (arg == "--seed") {
      if (!number(0, 0xFFFFFFFFL, &v)) return false;
      panel.seed = static_cast<uint32_t>(v);
    } else if (arg == "--fingers") {
      if (!number(0, 10, &v)) return false;
      panel.fingers = static_cast<int>(v);
    } else if (arg == "--touch-from") {
      if (!number(0, 0xFFFFFFFFL, &v)) return false;
      panel.touch_from = static_cast<uint32_t>(v);
    } else if (arg == "--noise") {
      if (!number(0, 50, &v)) return false;
      panel.noise = static_cast<int>(v);
    } else if (arg == "--ready-after") {
      if (!number(0, 1000000, &v)) return false;
      o.server.firmware.ready_after_polls = static_cast<int>(v);
    } else if (arg == "--bad-frames") {
      if (!next(&text)) return false;
      if (!ParseBadFrames(text, &o.server.firmware)) {
        *error = "bad value for --bad-frames: \"" + text +
                 "\" (repeat:N and/or zero:M, comma-separated, frames from 1)";
        return false;
      }
    } else if (arg == "--product") {
      if (!next(&text)) return false;
      if (!ToLong(text.rfind("0x", 0) == 0 ? text : "0x" + text, 1, 0xFFFF, &v)) {
        *error = "bad value for --product: \"" + text + "\" (a hex product id, 1 to ffff)";
        return false;
      }
      o.server.firmware.product = static_cast<uint16_t>(v);
    } else if (arg == "--z5-mode") {
      o.server.firmware.type = DeviceType::Z2UsbBrg;
      o.server.firmware.product = 0x3a02;
    } else if (arg == "--port") {
      if (!next(&o.server.port)) return false;
      if (!ValidPortLocation(o.server.port)) {
        *error = "bad value for --port: \"" + o.server.port + "\" (a USB location such as 1-1.4)";
        return false;
      }
    } else if (arg == "--replay") {
      if (!next(&o.replay.file)) return false;
      if (o.replay.file.empty()) {
        *error = "--replay needs a file name";
        return false;
      }
    } else if (arg == "--replay-source") {
      if (!next(&o.replay.source)) return false;
    } else if (arg == "--loop") {
      o.replay.loop = true;
    } else if (arg == "--replay-reverse") {
      o.replay.reverse = true;
    } else if (arg == "--replay-turn-over") {
      o.replay.turn_over = true;
    } else if (arg == "--replay-pace" || arg == "--pace") {
      // --pace alone is the wire's microseconds; its words recorded and fast (no number
      // can be mistaken for them) pace a replay.
      if (!next(&text)) return false;
      if (text == "recorded") {
        o.replay.pace = ReplayPace::Recorded;
      } else if (text == "fast") {
        o.replay.pace = ReplayPace::Fast;
      } else if (arg == "--replay-pace" && ToLong(text, 1, 3600000, &v)) {
        o.replay.pace = ReplayPace::Fixed;
        o.replay.interval_ms = static_cast<int>(v);
      } else if (arg == "--pace" && ToLong(text, 0, 1000000, &v)) {
        o.server.pace_us = static_cast<int>(v);
      } else {
        *error = "bad value for " + arg + ": \"" + text + "\" (" +
                 (arg == "--pace" ? "microseconds 0 to 1000000, or recorded or fast"
                                  : "recorded, fast, or milliseconds 1 to 3600000") +
                 ")";
        return false;
      }
    } else if (arg == "--folder") {
      if (!next(&o.server.folder)) return false;
    } else if (arg == "--name") {
      if (!next(&o.server.name)) return false;
      if (o.server.name.empty() || o.server.name.find('/') != std::string::npos) {
        *error = "bad value for --name: it must be non-empty and hold no '/'";
        return false;
      }
    } else if (arg == "--fault") {
      if (!next(&text)) return false;
      std::string why;
      auto f = ParseFault(text, &why);
      if (!f) {
        *error = why;
        return false;
      }
      o.server.faults.push_back(*f);
    } else {
      *error = "unknown option \"" + args[i] + "\" (see --help)";
      return false;
    }
  }
  if (std::string why = CheckPanelConfig(panel); !why.empty()) {
    *error = why;
    return false;
  }
  const bool replayOnly = o.replay.loop || o.replay.reverse || o.replay.turn_over ||
                          !o.replay.source.empty() || o.replay.pace != ReplayPace::Recorded;
  if (replayOnly && o.replay.file.empty()) {
    *error = "--replay-source, --replay-pace, --loop, --replay-reverse and --replay-turn-over "
             "go with --replay FILE";
    return false;
  }
  *out = o;
  return true;
}

bool PrepareReplay(ProgramOptions* options, std::string* error) {
  if (options->replay.file.empty()) return true;
  auto data = ReplayData::Load(options->replay, options->given, &options->server.firmware.panel,
                               error);
  if (!data) return false;
  options->server.firmware.replay = std::move(data);
  return true;
}

}  // namespace panelsim
