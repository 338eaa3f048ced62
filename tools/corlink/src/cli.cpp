#include "cli.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "corlink.h"
#include "flash_job.h"
#include "image.h"
#include "progress.h"

namespace corlink_tool {

namespace {

struct Options {
  std::string command;
  std::vector<std::string> operands;
  std::string device;
  std::optional<uint32_t> address;
  bool json = false;
  bool help = false;
  int verbose = 0;
};

const char* TypeName(int type) {
  static const char* const kNames[] = {
      "NOT_SET",         "UNKNOWN",           "DEV_Z2_I2C",     "DEV_Z3_I2C",
      "DEV_Z2_USB_BRG",  "DEV_Z2_I2C_MASTER", "DEV_Z3_USB_BRG", "DEV_Z3_I2C_MASTER",
      "DEV_Z2_USB",      "DEV_Z3_USB",        "DEV_SPI",        "DEV_Z3_HID_OVER_I2C",
      "DEV_USB_Z6SLAVE", "DEV_USB_Z7SLAVE",   "DEV_USB_BRG_EP1"};
  return type >= 0 && type < 15 ? kNames[type] : "UNKNOWN";
}

// The types discovery can be asked for, each a separate search.
constexpr int kListedTypes[] = {CORLINK_DEV_Z2_I2C,     CORLINK_DEV_Z2_USB_BRG,
                                CORLINK_DEV_Z3_USB_BRG, CORLINK_DEV_Z2_USB,
                                CORLINK_DEV_Z3_USB,     CORLINK_DEV_Z3_HID_OVER_I2C};

bool ParseNumber(const std::string& text, uint64_t max, uint64_t* out) {
  if (text.empty()) return false;
  size_t used = 0;
  unsigned long long v = 0;
  try {
    v = std::stoull(text, &used, 0);
  } catch (...) {
    return false;
  }
  if (used != text.size() || text[0] == '-' || v > max) return false;
  *out = v;
  return true;
}

std::string Hex(uint32_t v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

bool ParseArgs(const std::vector<std::string>& args, Options* o, std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* v) {
      if (i + 1 >= args.size()) return *error = a + " needs a value", false;
      *v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o->help = true;
    } else if (a == "--json") {
      o->json = true;
    } else if (a == "--device") {
      if (!value(&o->device)) return false;
    } else if (a == "--address") {
      uint64_t n = 0;
      if (!value(&v)) return false;
      if (!ParseNumber(v, 0xFFFFFFFFu, &n)) return *error = "bad --address: " + v, false;
      o->address = static_cast<uint32_t>(n);
    } else if (a == "--verbose") {
      uint64_t n = 0;
      if (!value(&v)) return false;
      if (!ParseNumber(v, 2, &n)) return *error = "bad --verbose: " + v, false;
      o->verbose = static_cast<int>(n);
    } else if (a.size() > 1 && a[0] == '-' && a.rfind("--", 0) == 0) {
      return *error = "unknown option " + a, false;
    } else if (o->command.empty()) {
      o->command = a;
    } else {
      o->operands.push_back(a);
    }
  }
  if (o->help) return true;
  if (o->command.empty()) return *error = "no command given", false;
  return true;
}

// What a command prints: text lines, or fields of one JSON object.
class Report {
 public:
  Report(Console& c, bool json, const std::string& command) : c_(c), json_(json) {
    obj_["command"] = command;
  }
  nlohmann::ordered_json& json() { return obj_; }
  void Line(const std::string& text) { lines_ += text + "\n"; }
  int Finish(int code, const std::string& error = {}) {
    obj_["exit"] = code;
    if (!error.empty()) obj_["error"] = error;
    if (json_) {
      // Replace: a path or message from outside may hold bytes that are not UTF-8.
      c_.out << obj_.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    } else {
      c_.out << lines_;
      if (!error.empty()) c_.err << "corlink: " << error << "\n";
    }
    return code;
  }

 private:
  Console& c_;
  bool json_;
  nlohmann::ordered_json obj_;
  std::string lines_;
};

// What `list` can reach: every device when the console can enumerate them, else the first
// device of each type discovery can be asked for.
std::vector<FoundDevice> Candidates(const Console& console, int* in_use) {
  if (console.devices) return console.devices();
  std::vector<FoundDevice> found;
  for (int type : kListedTypes) {
    const int fd = IO_OpenDevice(type);
    if (fd < 0) {
      if (errno == EBUSY) ++*in_use;  // the library's line names it and its holder
      continue;
    }
    char path[512] = {};
    IO_GetDevicePath(path);
    ::close(fd);
    found.push_back({path, IO_GetDeviceType()});
  }
  return found;
}

int List(Report& report, const Console& console) {
  nlohmann::ordered_json devices = nlohmann::ordered_json::array();
  std::vector<std::string> seen;
  int in_use = 0;
  for (const FoundDevice& d : Candidates(console, &in_use)) {
    if (std::find(seen.begin(), seen.end(), d.path) != seen.end()) continue;
    if (console.devices) {
      // Listed only when this program could use it: another one may hold it.
      std::vector<char> path(d.path.begin(), d.path.end());
      path.push_back('\0');
      const int fd = IO_OpenDeviceByPath(path.data());
      if (fd < 0) {
        if (errno == EBUSY) ++in_use;
        continue;
      }
      ::close(fd);
    }
    seen.push_back(d.path);
    devices.push_back({{"type", d.type}, {"type_name", TypeName(d.type)}, {"path", d.path}});
    report.Line(std::string(TypeName(d.type)) + "\t" + d.path);
  }
  report.json()["devices"] = devices;
  report.json()["in_use"] = in_use;
  if (in_use > 0)
    report.Line(std::to_string(in_use) + " device(s) in use by another program, not listed");
  if (seen.empty() && in_use == 0) report.Line("no devices found");
  return report.Finish(kExitOk);
}

// Opens the device: --device picks one path (matched against discovery so that its type
// is the one discovery gives), otherwise the first discovery finds.
int Open(const Options& o, std::string* error) {
  if (o.device.empty()) {
    const int fd = IO_OpenDevice(0);
    if (fd < 0) *error = errno == EBUSY ? kInUseMessage : "no device found";
    return fd;
  }
  for (int type : kListedTypes) {
    const int fd = IO_OpenDevice(type);
    if (fd < 0) continue;
    char path[512] = {};
    IO_GetDevicePath(path);
    if (o.device == path) return fd;
    ::close(fd);
  }
  std::vector<char> path(o.device.begin(), o.device.end());
  path.push_back('\0');
  const int fd = IO_OpenDeviceByPath(path.data());
  if (fd < 0) *error = errno == EBUSY ? std::string(kInUseMessage) : "cannot open " + o.device;
  return fd;
}

// The largest file that can hold an image of kMaxImageBytes: the binary itself, or its
// Intel HEX text (two digits a byte plus the records' framing, at most 4 characters a byte
// for any sane record length).
size_t FileLimit(bool raw) { return raw ? kMaxImageBytes : kMaxImageBytes * 4; }

// Reads the file only when it can be an image: a regular file is judged by its size before
// a byte is read; a pipe or device is read up to the limit and refused beyond it, so that
// /dev/zero ends at once instead of filling memory.
bool ReadFile(const std::string& name, bool raw, std::vector<uint8_t>* bytes, std::string* error) {
  const size_t limit = FileLimit(raw);
  const std::string too_large =
      name + " is too large: a firmware image holds at most " +
      std::to_string(kMaxImageBytes / (1024 * 1024)) + " MiB" +
      (raw ? "" : " (" + std::to_string(limit / (1024 * 1024)) + " MiB as Intel HEX text)");
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return *error = "cannot read " + name + ": " + std::strerror(errno), false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return *error = "cannot read " + name + ": " +
                    (S_ISDIR(st.st_mode) ? "a folder" : std::strerror(errno)),
           false;
  }
  if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) > limit) {
    ::close(fd);
    return *error = too_large, false;
  }
  bytes->clear();
  uint8_t buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int code = errno;
      ::close(fd);
      return *error = "cannot read " + name + ": " + std::strerror(code), false;
    }
    if (n == 0) break;
    if (bytes->size() + static_cast<size_t>(n) > limit) {
      ::close(fd);
      bytes->clear();
      return *error = too_large, false;
    }
    bytes->insert(bytes->end(), buf, buf + n);
  }
  ::close(fd);
  return true;
}

bool LoadImage(const Options& o, Image* image, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadFile(o.operands[0], o.address.has_value(), &bytes, error)) return false;
  if (o.address) return RawImage(bytes, *o.address, image, error);
  const std::string& name = o.operands[0];
  const bool hex_name = name.size() > 4 && (name.ends_with(".hex") || name.ends_with(".ihx") ||
                                            name.ends_with(".ihex"));
  if (!hex_name && (bytes.empty() || bytes[0] != ':'))
    return *error = name + ": not an Intel HEX file; a raw binary needs --address", false;
  std::string text(bytes.begin(), bytes.end());
  if (!ParseIntelHex(text, image, error)) return *error = name + ": " + *error, false;
  return true;
}

int DeviceCommand(const Options& o, Report& report, Console& console) {
  const std::string& cmd = o.command;
  const auto& ops = o.operands;
  // Everything that can be checked without the device is checked first.
  Image image;
  uint64_t a = 0, b = 0;
  std::string error;
  if (cmd == "flash") {
    if (ops.size() != 1)
      return report.Finish(kExitUsage, "usage: corlink flash FILE [--address ADDR]");
    if (!LoadImage(o, &image, &error)) return report.Finish(kExitUsage, error);
  } else if (cmd == "mem") {
    if (ops.size() != 2 || ops[0] != "read" || !ParseNumber(ops[1], 0xFFFFFFFFu, &a))
      return report.Finish(kExitUsage, "usage: corlink mem read ADDR");
  } else if (cmd == "crc") {
    if (ops.size() != 2 || !ParseNumber(ops[0], 0xFFFFFFFFu, &a) ||
        !ParseNumber(ops[1], 0xFFFF, &b) || b == 0)
      return report.Finish(kExitUsage, "usage: corlink crc ADDR LEN (LEN 1..65535)");
  } else if (cmd == "power") {
    if (ops.size() > 1 || (ops.size() == 1 && !ParseNumber(ops[0], 0xFE, &a)))
      return report.Finish(kExitUsage, "usage: corlink power [MODE] (MODE 0..254)");
  } else if (!ops.empty()) {
    return report.Finish(kExitUsage, cmd + " takes no operands");
  }

  const int fd = Open(o, &error);
  if (fd < 0) return report.Finish(kExitDevice, error);
  IO_SetVerbose(o.verbose);
  const int type = IO_GetDeviceType();
  report.json()["type"] = type;
  report.json()["type_name"] = TypeName(type);
  int code = kExitOk;
  std::string message;
  auto check = [&](int rc, const std::string& what) {
    if (rc == CORLINK_OK) return true;
    code = kExitDevice;
    message = what + " failed (" + std::to_string(rc) + ")";
    return false;
  };
  if (cmd == "info") {
    char path[512] = {};
    IO_GetDevicePath(path);
    uint16_t vid = 0, pid = 0;
    IO_GetVidPiD(&vid, &pid);
    uint32_t unit_address = 0;
    uint8_t unit = 0;
    IO_GetUpdateFwUnit(&unit_address, &unit);
    report.json().update({{"path", path},
                          {"vid", Hex(vid, 4)},
                          {"pid", Hex(pid, 4)},
                          {"unit_address", Hex(unit_address, 8)},
                          {"unit_length", unit}});
    report.Line(std::string("type:         ") + TypeName(type) + " (" + std::to_string(type) + ")");
    report.Line(std::string("path:         ") + path);
    report.Line("vid:pid:      " + Hex(vid, 4) + ":" + Hex(pid, 4));
    report.Line("update unit:  " + std::to_string(unit) + " bytes, image at " +
                Hex(unit_address, 8));
  } else if (cmd == "reset") {
    if (check(IO_Reset(fd), "reset")) report.Line("reset");
  } else if (cmd == "calibrate") {
    if (check(IO_ReCalibrate(fd), "calibration")) report.Line("calibrated");
  } else if (cmd == "mem") {
    int32_t words[4] = {};
    if (check(IO_ReadWriteSpecialMem(fd, static_cast<uint32_t>(a), words), "memory read")) {
      // The 64-byte carriers answer four words, the others one.
      const int n = (type == CORLINK_DEV_Z3_USB || type == CORLINK_DEV_Z3_USB_BRG ||
                     type == CORLINK_DEV_USB_Z7SLAVE)
                        ? 4
                        : 1;
      nlohmann::ordered_json list = nlohmann::ordered_json::array();
      std::string line = Hex(static_cast<uint32_t>(a), 8) + ":";
      for (int i = 0; i < n; ++i) {
        list.push_back(Hex(static_cast<uint32_t>(words[i]), 8));
        line += " " + Hex(static_cast<uint32_t>(words[i]), 8);
      }
      report.json().update({{"address", Hex(static_cast<uint32_t>(a), 8)}, {"words", list}});
      report.Line(line);
    }
  } else if (cmd == "crc") {
    uint32_t crc = 0;
    if (check(IO_GetBlockCRC(fd, static_cast<uint32_t>(a), static_cast<uint32_t>(b), 0, &crc),
              "block CRC")) {
      report.json().update(
          {{"address", Hex(static_cast<uint32_t>(a), 8)}, {"length", b}, {"crc", Hex(crc, 4)}});
      report.Line("crc " + Hex(static_cast<uint32_t>(a), 8) + " +" + std::to_string(b) + ": " +
                  Hex(crc, 4));
    }
  } else if (cmd == "power") {
    // 0xFF asks without setting.
    int32_t mode = ops.empty() ? 0xFF : static_cast<int32_t>(a);
    if (check(IO_ReadWritePowerMod(fd, &mode), "power mode")) {
      report.json()["mode"] = mode;
      report.Line("power mode: " + std::to_string(mode));
    }
  } else if (cmd == "flash") {
    ProgressPrinter printer(console.err, console.terminal && !o.json);
    const FlashResult r = FlashImage(
        fd, image,
        [&](FlashPhase phase, size_t done, size_t total) {
          printer.Show(phase == FlashPhase::kWrite ? "write " : "verify", done, total);
        },
        console.interrupted);
    printer.Done();
    report.json().update({{"bytes", r.bytes},
                          {"frames", r.frames},
                          {"segments", r.segments},
                          {"verified_blocks", r.blocks},
                          {"verify", r.verify_method},
                          {"resent_segments", r.resent_segments}});
    if (r.interrupted) report.json()["status"] = "interrupted";
    code = r.exit_code;
    message = r.error;
    if (code == kExitOk)
      report.Line("flashed " + std::to_string(r.bytes) + " bytes in " + std::to_string(r.frames) +
                  " frames; " + std::to_string(r.blocks) + " blocks verified (" + r.verify_method +
                  ")");
  } else {
    ::close(fd);
    return report.Finish(kExitUsage, "unknown command " + cmd);
  }
  ::close(fd);
  // A signal during a short command: the command finished, but the user asked to stop.
  if (code == kExitOk && console.interrupted && console.interrupted()) {
    report.json()["status"] = "interrupted";
    return report.Finish(kExitInterrupted, "interrupted");
  }
  return report.Finish(code, message);
}

}  // namespace

std::string Usage() {
  return "usage: corlink [--device PATH] [--json] [--verbose N] COMMAND [ARGS]\n"
         "\n"
         "commands:\n"
         "  list               every device discovery finds, with its type and path\n"
         "  info               type, path, ids and firmware unit of the device\n"
         "  reset              reset the chip\n"
         "  calibrate          recalibrate the chip\n"
         "  mem read ADDR      read memory words at ADDR\n"
         "  crc ADDR LEN       the chip's CRC-16 of LEN bytes from ADDR\n"
         "  power [MODE]       read, or set, the power mode\n"
         "  flash FILE         write an Intel HEX image (or a raw binary with --address ADDR),\n"
         "                     wait for the chip's result and verify every block\n"
         "\n"
         "options:\n"
         "  --device PATH      use this device (a path `corlink list` shows)\n"
         "  --address ADDR     load address of a raw binary image\n"
         "  --json             print the result as one JSON object\n"
         "  --verbose N        library packet dumps (1) and CRC trace (2)\n"
         "\n"
         "exit codes: 0 ok, 1 device error (also: the device is in use by another program),\n"
         "            2 usage or bad file, 3 verify mismatch, 130 interrupted (SIGINT, SIGTERM)\n";
}

int RunTool(const std::vector<std::string>& args, Console& console) {
  Options o;
  std::string error;
  if (!ParseArgs(args, &o, &error)) {
    console.err << "corlink: " << error << "\n" << Usage();
    return kExitUsage;
  }
  if (o.help) {
    console.out << Usage();
    return kExitOk;
  }
  Report report(console, o.json, o.command);
  if (o.command == "list") {
    if (!o.operands.empty()) return report.Finish(kExitUsage, "list takes no operands");
    return List(report, console);
  }
  return DeviceCommand(o, report, console);
}

}  // namespace corlink_tool
