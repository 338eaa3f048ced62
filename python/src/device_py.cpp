// pelorin.devices and pelorin.Device: the corlink tool's commands, run through the tool's
// own code (RunTool with --json), so results and failure messages are the tool's.
#include <pybind11/stl.h>

#include <mutex>
#include <sstream>
#include <streambuf>

#include "cli.h"
#include "flash_job.h"
#include "py_common.h"

namespace pelorin::py {
namespace {

// Collects the tool's standard error and turns its flash progress lines
// ("write  12/345 bytes (3%)") into calls of a Python progress function.
class ProgressBuf : public std::streambuf {
 public:
  explicit ProgressBuf(pyb::object progress) : progress_(std::move(progress)) {}
  const std::string& Text() const { return text_; }
  // An exception the progress function raised, rethrown once the tool has finished.
  std::exception_ptr error;

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return 0;
    text_.push_back(char(c));
    if (c == '\n') Line();
    return c;
  }

 private:
  void Line() {
    const size_t start = text_.rfind('\n', text_.size() - 2);
    const std::string line = text_.substr(start == std::string::npos ? 0 : start + 1);
    char phase[16] = {};
    unsigned long done = 0, total = 0;
    if (progress_.is_none() || error ||
        std::sscanf(line.c_str(), "%15s %lu/%lu bytes", phase, &done, &total) != 3)
      return;
    pyb::gil_scoped_acquire gil;
    try {
      progress_(std::string(phase), done, total);
    } catch (...) {
      error = std::current_exception();
    }
  }

  pyb::object progress_;
  std::string text_;
};

// Runs `corlink args...` with --json and returns its JSON document as a dict; raises
// DeviceError (device error, verify mismatch) or ValueError (usage, bad file) with the
// tool's message.
pyb::dict RunJson(std::vector<std::string> args, const pyb::object& progress = pyb::none()) {
  args.insert(args.begin(), "--json");
  std::ostringstream out;
  ProgressBuf errBuf(progress);
  std::ostream err(&errBuf);
  int code = 0;
  {
    // Corlink serves one thread at a time; the module keeps its calls in order.
    static std::mutex toolMutex;
    pyb::gil_scoped_release release;
    std::lock_guard lock(toolMutex);
    corlink_tool::Console console{out, err, false};
    code = corlink_tool::RunTool(args, console);
  }
  if (errBuf.error) std::rethrow_exception(errBuf.error);
  pyb::dict result;
  try {
    result = pyb::module_::import("json").attr("loads")(out.str());
  } catch (const pyb::error_already_set&) {
    const std::string text = errBuf.Text();
    throw pyb::value_error(text.empty() ? "corlink printed no result" : text);
  }
  if (code == 0) return result;
  const std::string message =
      result.contains("error") ? result["error"].cast<std::string>() : errBuf.Text();
  if (code == corlink_tool::kExitUsage) throw pyb::value_error(message);
  RaiseDeviceError(code, message);
}

pyb::list Devices() {
  pyb::dict r = RunJson({"list"});
  pyb::list out;
  for (const pyb::handle d : r["devices"]) out.append(d);
  return out;
}

int64_t HexValue(const pyb::handle& text) {
  return pyb::module_::import("builtins").attr("int")(text, 16).cast<int64_t>();
}

class Device {
 public:
  explicit Device(const pyb::object& path) {
    if (!path.is_none()) {
      path_ = pyb::str(path).cast<std::string>();
      return;
    }
    pyb::list found = Devices();
    if (found.empty()) RaiseDeviceError(corlink_tool::kExitDevice, "no device found");
    path_ = found[0]["path"].cast<std::string>();
  }

  const std::string& Path() const { return path_; }

  pyb::dict Info() const { return Run({"info"}); }
  void Reset() const { Run({"reset"}); }
  void Calibrate() const { Run({"calibrate"}); }
  std::vector<int64_t> ReadMemory(uint32_t address) const {
    pyb::dict r = Run({"mem", "read", std::to_string(address)});
    std::vector<int64_t> words;
    for (const pyb::handle w : r["words"]) words.push_back(HexValue(w));
    return words;
  }
  int64_t BlockCrc(uint32_t address, uint32_t length) const {
    return HexValue(Run({"crc", std::to_string(address), std::to_string(length)})["crc"]);
  }
  int PowerMode(const pyb::object& mode) const {
    std::vector<std::string> args = {"power"};
    if (!mode.is_none()) args.push_back(std::to_string(mode.cast<int>()));
    return Run(args)["mode"].cast<int>();
  }
  pyb::dict Flash(const pyb::object& file, const pyb::object& progress,
                  const pyb::object& address) const {
    const std::string path =
        pyb::str(pyb::module_::import("os").attr("fspath")(file)).cast<std::string>();
    std::vector<std::string> args = {"flash", path};
    if (!address.is_none())
      args.insert(args.end(), {"--address", std::to_string(address.cast<uint32_t>())});
    return Run(args, progress);
  }

 private:
  pyb::dict Run(std::vector<std::string> args, const pyb::object& progress = pyb::none()) const {
    args.insert(args.begin(), {"--device", path_});
    return RunJson(std::move(args), progress);
  }

  std::string path_;
};

}  // namespace

void BindDevice(pyb::module_& m) {
  m.def("devices", &Devices,
        R"(Every device discovery finds: a list of dicts with type, type_name and path.)");

  pyb::class_<Device>(m, "Device", R"(A touch controller, for the corlink tool's commands.

Each command opens the device, runs and closes it again, exactly as `corlink --device
PATH COMMAND` does, and fails with the tool's message: DeviceError (with .code, the
tool's exit status: 1 device error, 3 verify mismatch) or ValueError (a bad argument or
image file).)")
      .def(pyb::init<const pyb::object&>(), pyb::arg("path") = pyb::none(),
           "path: a path devices() lists; None: the first device discovery finds.")
      .def_property_readonly("path", &Device::Path)
      .def("info", &Device::Info, "type, type_name, path, vid, pid, unit_address, unit_length")
      .def("reset", &Device::Reset, "Resets the chip.")
      .def("calibrate", &Device::Calibrate, "Recalibrates the chip.")
      .def("read_memory", &Device::ReadMemory, pyb::arg("address"),
           "The memory words at address (four on the 64-byte carriers, else one).")
      .def("block_crc", &Device::BlockCrc, pyb::arg("address"), pyb::arg("length"),
           "The chip's CRC-16 of length (1 to 65535) bytes from address.")
      .def("power_mode", &Device::PowerMode, pyb::arg("mode") = pyb::none(),
           "Reads the power mode, or sets it (0 to 254) and returns what the chip reports.")
      .def("flash", &Device::Flash, pyb::arg("path"), pyb::arg("progress") = pyb::none(),
           pyb::arg("address") = pyb::none(),
           R"(Writes a firmware image and verifies every block, as `corlink flash`.

path: an Intel HEX file, or a raw binary with address. progress: called as
progress(phase, done, total) with phase "write" or "verify" at every tenth of the way.
Returns bytes, frames, segments, verified_blocks and verify (the method).)")
      .def("__repr__", [](const Device& d) { return "<pelorin.Device " + d.Path() + ">"; });
}

}  // namespace pelorin::py
