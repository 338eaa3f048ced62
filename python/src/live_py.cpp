// pelorin.capture and pelorin.stream: a live acquisition from Python. The device is read
// by the acquisition worker; the calling thread waits without the interpreter's lock in
// short slices and looks for KeyboardInterrupt between them, which stops the run as the
// Stop button does.
#include <pybind11/functional.h>
#include <pybind11/stl.h>

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "live_session.h"
#include "py_common.h"

namespace pelorin::py {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr milliseconds kSlice{50};

// True when a KeyboardInterrupt came in (and was taken); other exceptions a signal
// handler raises propagate.
bool Interrupted() {
  if (PyErr_CheckSignals() == 0) return false;
  if (PyErr_ExceptionMatches(PyExc_KeyboardInterrupt)) {
    PyErr_Clear();
    return true;
  }
  throw pyb::error_already_set();
}

std::string ChipText(const pyb::object& chip) {
  if (pyb::isinstance<pyb::int_>(chip)) {
    const int v = chip.cast<int>();
    return v < 0 ? "all" : v == 0 ? "master" : "slave" + std::to_string(v);
  }
  return pyb::str(chip).cast<std::string>();
}

std::string SourceText(const pyb::object& source) { return pyb::str(source).cast<std::string>(); }

std::string OrderText(const pyb::object& order) {
  return order.is_none() ? std::string() : pyb::str(order).cast<std::string>();
}

std::string DeviceText(const pyb::object& device) {
  if (device.is_none()) return {};
  if (pyb::hasattr(device, "path")) return device.attr("path").cast<std::string>();
  return pyb::str(device).cast<std::string>();
}

CaptureOptions Options(const pyb::object& source, int32_t frames, int32_t every,
                       const pyb::object& order, const pyb::object& chip, int32_t delayMs) {
  CaptureOptions o;
  std::string error;
  if (!ParseLiveOptions(SourceText(source), frames, every, OrderText(order), ChipText(chip),
                        delayMs, &o, &error))
    throw pyb::value_error(error);
  return o;
}

// A private folder for a capture kept in memory; removed with what it holds.
struct ScratchDir {
  std::string path;
  ScratchDir() {
    std::error_code ec;
    std::string base = (fs::temp_directory_path(ec) / "pelorin-capture-XXXXXX").string();
    if (ec) base = "/tmp/pelorin-capture-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr)
      throw pyb::value_error("can't create a temporary folder");
    path = base;
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// The recording's folder and name; what pelorin-capture refuses before it opens the
// device is refused here too, so no capture runs for a file it cannot write.
void SetRecordingTarget(const std::string& target, LiveOptions* options) {
  const fs::path p(target);
  if (fs::exists(p)) throw pyb::value_error(target + " exists already");
  options->workDir = p.has_parent_path() ? p.parent_path().string() : ".";
  options->recordingName = p.filename().string();
  if (::access(options->workDir.c_str(), W_OK) != 0)
    throw pyb::value_error("can't write in " + options->workDir);
}

void RaiseStartFailure(const LiveSession& s) {
  RaiseDeviceError(s.LastDeviceCode() != 0 ? s.LastDeviceCode() : -1, s.Error());
}

Recording Capture(const pyb::object& source, int32_t frames, const pyb::object& device,
                  int32_t every, const pyb::object& order, const pyb::object& chip,
                  const pyb::object& progress, const pyb::object& out, int32_t delayMs) {
  if (frames < 1) throw pyb::value_error("frames must be 1 or more");
  LiveOptions options;
  options.capture = Options(source, frames, every, order, chip, delayMs);
  options.device = DeviceText(device);
  std::unique_ptr<ScratchDir> scratch;
  std::string target;
  if (out.is_none()) {
    scratch = std::make_unique<ScratchDir>();
    options.workDir = scratch->path;
    options.recordingName = "capture.csv";
  } else {
    target = pyb::str(pyb::module_::import("os").attr("fspath")(out)).cast<std::string>();
    SetRecordingTarget(target, &options);
  }

  LiveSession session(options);
  bool started = false;
  {
    pyb::gil_scoped_release release;
    started = session.Start();
  }
  if (!started) RaiseStartFailure(session);
  bool interrupted = false;
  int32_t shown = -1;
  for (;;) {
    bool ended = false;
    {
      pyb::gil_scoped_release release;
      ended = session.WaitEnded(kSlice);
    }
    if (!interrupted && Interrupted()) {
      interrupted = true;
      session.RequestStop();
    }
    const int32_t done = session.FramesRead();
    if (!progress.is_none() && done != shown && !ended) {
      shown = done;
      try {
        progress(done, frames);
      } catch (pyb::error_already_set& e) {
        session.RequestStop();
        // Ctrl-C inside the progress function is Ctrl-C during the capture.
        if (e.matches(PyExc_KeyboardInterrupt)) {
          interrupted = true;
        } else {
          pyb::gil_scoped_release release;
          session.WaitEnded(std::chrono::hours(1));
          throw;
        }
      }
    }
    if (ended) break;
  }
  if (!progress.is_none() && session.FramesRead() != shown) progress(session.FramesRead(), frames);

  Recording r;
  const std::string path = session.RecordingPath();
  if (!path.empty()) {
    RecordingData data;
    std::string error;
    bool ok = false;
    {
      pyb::gil_scoped_release release;
      ok = ReadRecordingData(path, &data, &error);
    }
    if (!ok) throw pyb::value_error("the capture's recording does not read back: " + error);
    for (SourceData& s : data.sources) s.chips = session.Chips();
    r = ToRecording(std::move(data));
    if (scratch == nullptr) r.path = pyb::str(path);
  }
  r.interrupted = interrupted;
  r.messages = session.Messages();
  if (session.DeviceLost()) {
    const std::string message =
        "the device was lost after " + std::to_string(session.FramesRead()) + " frames";
    RaiseDeviceError(session.LastDeviceCode(), message, pyb::cast(std::move(r)));
  }
  if (path.empty()) {
    std::string why = "the recording could not be completed";
    for (const std::string& m : r.messages) why += "; " + m;
    throw pyb::value_error(why);
  }
  return r;
}

// One frame of a stream.
struct StreamFrame {
  pyb::array cells;  // int32 (width, height)
  pyb::array valid;  // bool (width, height)
  int32_t frameNo = 0;
  int32_t timeMs = 0;
  int32_t readErrors = 0;
};

class Stream {
 public:
  Stream(LiveOptions options) : session_(std::make_unique<LiveSession>(std::move(options))) {
    bool started = false;
    {
      pyb::gil_scoped_release release;
      started = session_->Start();
    }
    if (!started) RaiseStartFailure(*session_);
  }
  ~Stream() {
    if (session_) {
      pyb::gil_scoped_release release;
      session_.reset();
    }
  }

  StreamFrame Next() {
    if (!session_ || closed_) throw pyb::stop_iteration();
    for (;;) {
      LiveFrameOut out;
      bool got = false;
      {
        pyb::gil_scoped_release release;
        got = session_->WaitFrame(kSlice, &out);
      }
      if (got) return ToFrame(out);
      if (Interrupted()) {
        interrupted_ = true;
        Close();
        throw pyb::stop_iteration();
      }
      if (session_->Ended()) {
        Close();
        if (session_->DeviceLost())
          RaiseDeviceError(
              session_->LastDeviceCode(),
              "the device was lost after " + std::to_string(session_->FramesRead()) + " frames");
        throw pyb::stop_iteration();
      }
    }
  }

  // Stops the run as Stop does, finishes the recording and gives the device back.
  void Close() {
    if (!session_ || closed_) return;
    session_->RequestStop();
    {
      pyb::gil_scoped_release release;
      session_->WaitEnded(std::chrono::hours(1));
    }
    closed_ = true;
  }

  int32_t FramesRead() const { return session_ ? session_->FramesRead() : 0; }
  int32_t Dropped() const { return session_ ? session_->Dropped() : 0; }
  bool InterruptedFlag() const { return interrupted_; }
  pyb::object RecordingPath() const {
    if (!session_ || !closed_ || session_->RecordingPath().empty()) return pyb::none();
    return pyb::str(session_->RecordingPath());
  }
  std::string Chips() const { return session_ ? session_->Chips() : std::string(); }
  std::vector<std::string> Messages() const {
    return session_ ? session_->Messages() : std::vector<std::string>{};
  }

 private:
  StreamFrame ToFrame(const LiveFrameOut& out) {
    const LiveFrame& f = *out.frame;
    StreamFrame s;
    s.cells = ArrayOf(std::vector<int32_t>(f.cells), {f.width, f.height});
    s.valid = ArrayOf(std::vector<uint8_t>(f.mask), {f.width, f.height}, pyb::dtype("bool"));
    s.frameNo = f.number;
    s.timeMs = out.timeMs;
    s.readErrors = f.readErrors;
    return s;
  }

  std::unique_ptr<LiveSession> session_;
  bool closed_ = false;
  bool interrupted_ = false;
};

std::unique_ptr<Stream> MakeStream(const pyb::object& source, const pyb::object& frames,
                                   const pyb::object& device, int32_t every,
                                   const pyb::object& order, const pyb::object& chip,
                                   const pyb::object& out, int32_t delayMs) {
  const int32_t n = frames.is_none() ? 0 : frames.cast<int32_t>();
  if (!frames.is_none() && n < 1) throw pyb::value_error("frames must be 1 or more, or None");
  LiveOptions options;
  options.capture = Options(source, n, every, order, chip, delayMs);
  options.device = DeviceText(device);
  options.queueFrames = true;
  if (!out.is_none()) {
    SetRecordingTarget(pyb::str(pyb::module_::import("os").attr("fspath")(out)).cast<std::string>(),
                       &options);
  }
  return std::make_unique<Stream>(std::move(options));
}

}  // namespace

void BindLive(pyb::module_& m) {
  m.def("capture", &Capture, pyb::arg("source") = "diff", pyb::arg("frames") = 100,
        pyb::arg("device") = pyb::none(), pyb::arg("every") = 1, pyb::arg("order") = pyb::none(),
        pyb::arg("chip") = "all", pyb::arg("progress") = pyb::none(), pyb::arg("out") = pyb::none(),
        pyb::arg("delay_ms") = 10,
        R"(Captures frames from the touch controller, as pelorin-capture does.

source    diff, base, raw, rawdiff, cycle or loop
frames    frames to read
device    a device path (or a Device); None: the first one discovery finds
every     record frames 1, every+1, 2*every+1, ...
order     chip order digits ("2134"); None: by position
chip      "all", "master" or "slave1".."slave7"
progress  called as progress(frames_read, frames) while the capture runs
out       also keep the recording in this file (it must not exist)
delay_ms  pause before each frame (DELAY_BEFORE_ENABLE_DIGNOSIS)

Returns a Recording: exactly what the run's recording file holds, with chips set.
KeyboardInterrupt stops the capture as the Stop button does: the frames read so far are
returned (and written) and recording.interrupted is True. A device that cannot be
opened, or is lost during the run, raises DeviceError; for a lost device its
.recording holds the frames read before.)");

  pyb::class_<StreamFrame>(m, "Frame", "One live frame of a stream.")
      .def_readonly("cells", &StreamFrame::cells, "int32 (width, height); masked cells 0")
      .def_readonly("valid", &StreamFrame::valid, "bool (width, height); False where masked")
      .def_readonly("frame_no", &StreamFrame::frameNo, "the live frame counter, from 1")
      .def_readonly("time_ms", &StreamFrame::timeMs,
                    "milliseconds since the stream's first frame arrived")
      .def_readonly("read_errors", &StreamFrame::readErrors,
                    "retries the chip reads used for this frame");

  pyb::class_<Stream>(m, "Stream", R"(Live frames one by one; see pelorin.stream.)")
      .def("__iter__", [](pyb::object self) { return self; })
      .def("__next__", &Stream::Next)
      .def("close", &Stream::Close,
           "Stops the acquisition as Stop does, finishes the recording, gives the device back.")
      .def("__enter__", [](pyb::object self) { return self; })
      .def("__exit__", [](Stream& s, pyb::args) { s.Close(); })
      .def_property_readonly("frames_read", &Stream::FramesRead)
      .def_property_readonly("dropped", &Stream::Dropped,
                             "frames dropped because the reader fell more than 1024 behind")
      .def_property_readonly("interrupted", &Stream::InterruptedFlag)
      .def_property_readonly("recording_path", &Stream::RecordingPath,
                             "the recording written (with out=...), once the stream is closed")
      .def_property_readonly("chips", &Stream::Chips)
      .def_property_readonly("messages", &Stream::Messages);

  m.def("stream", &MakeStream, pyb::arg("source") = "diff", pyb::arg("frames") = pyb::none(),
        pyb::arg("device") = pyb::none(), pyb::arg("every") = 1, pyb::arg("order") = pyb::none(),
        pyb::arg("chip") = "all", pyb::arg("out") = pyb::none(), pyb::arg("delay_ms") = 10,
        R"(Yields live frames one by one (pelorin.Frame), for live plots.

The arguments are capture's; frames=None reads until the stream is closed. The
acquisition runs on its own thread and never waits for the reader: a reader more than
1024 frames behind loses the oldest (counted in .dropped). KeyboardInterrupt while
waiting for a frame stops the run as Stop does and ends the iteration; a lost device
raises DeviceError. Use it in a with block, or call close(), to stop early.)");
}

}  // namespace pelorin::py
