// pelorin.read_recording, pelorin.write_recording and the Source and Recording types.
#include <pybind11/stl.h>

#include "py_common.h"

namespace pelorin::py {
namespace {

using Int32Array = pyb::array_t<int32_t, pyb::array::c_style | pyb::array::forcecast>;

pyb::array Int32Vector(std::vector<int32_t>&& v) {
  const auto n = pyb::ssize_t(v.size());
  return ArrayOf(std::move(v), {n});
}

// A C-contiguous array of `dtype`, converted (and copied) only when it is not one already.
pyb::array Contiguous(const pyb::object& value, const char* dtype) {
  pyb::module_ np = pyb::module_::import("numpy");
  return np.attr("ascontiguousarray")(value, pyb::arg("dtype") = dtype).cast<pyb::array>();
}

std::string PathText(const pyb::object& path) {
  return pyb::str(pyb::module_::import("os").attr("fspath")(path)).cast<std::string>();
}

Source MakeSource(const pyb::object& frames, const pyb::object& valid, const pyb::object& timeMs,
                  const pyb::object& frameNo, const pyb::object& readErrors,
                  const std::string& name, const std::string& chips) {
  pyb::array cells = Contiguous(frames, "int32");
  if (cells.ndim() == 2) cells = cells.attr("reshape")(1, cells.shape(0), cells.shape(1));
  if (cells.ndim() != 3) throw pyb::value_error("frames must be (frames, width, height)");
  const pyb::ssize_t f = cells.shape(0), w = cells.shape(1), h = cells.shape(2);
  if (w <= 0 || h <= 0) throw pyb::value_error("frames must have at least one cell");
  Source s;
  s.frames = cells;
  s.source = name;
  s.chips = chips;
  pyb::module_ np = pyb::module_::import("numpy");
  if (valid.is_none()) {
    s.valid = np.attr("broadcast_to")(np.attr("ones")(pyb::make_tuple(w, h), "bool"),
                                      pyb::make_tuple(f, w, h));
  } else {
    pyb::array v = np.attr("asarray")(valid, pyb::arg("dtype") = "bool").cast<pyb::array>();
    s.valid = np.attr("broadcast_to")(v, pyb::make_tuple(f, w, h));
  }
  auto column = [&](const pyb::object& value, const char* what, int32_t first, int32_t step) {
    if (value.is_none()) {
      std::vector<int32_t> v(static_cast<size_t>(f));
      for (size_t i = 0; i < v.size(); ++i) v[i] = first + int32_t(i) * step;
      return Int32Vector(std::move(v));
    }
    pyb::array a = Contiguous(value, "int32");
    if (a.ndim() != 1 || a.shape(0) != f)
      throw pyb::value_error(std::string(what) + " must hold one value per frame");
    return a;
  };
  s.timeMs = column(timeMs, "time_ms", 0, 0);
  s.frameNo = column(frameNo, "frame_no", 1, 1);
  s.readErrors = column(readErrors, "read_errors", 0, 0);
  return s;
}

Recording ReadRecording(const pyb::object& path) {
  const std::string p = PathText(path);
  RecordingData data;
  std::string error;
  bool ok = false;
  {
    pyb::gil_scoped_release release;
    ok = ReadRecordingData(p, &data, &error);
  }
  if (!ok) throw pyb::value_error(error);
  Recording r = ToRecording(std::move(data));
  r.path = pyb::str(p);
  return r;
}

void WriteRecording(const pyb::object& path, const pyb::object& data) {
  const std::string p = PathText(path);
  std::vector<Source> sources;
  if (pyb::isinstance<pyb::array>(data)) {
    sources.push_back(
        MakeSource(data, pyb::none(), pyb::none(), pyb::none(), pyb::none(), "Diff", ""));
  } else {
    sources = SourcesOf(data);
  }
  std::vector<SourceView> views;
  std::vector<SourceRef> refs;
  for (const Source& s : sources) {
    views.push_back(ViewOf(s));
    refs.push_back(views.back().ref);
  }
  std::string error;
  bool ok = false;
  {
    pyb::gil_scoped_release release;
    ok = WriteRecordingData(p, refs, &error);
  }
  if (!ok) throw pyb::value_error(error);
}

pyb::object First(const Recording& r, const char* what) {
  if (r.sources.empty())
    throw pyb::value_error(std::string("the recording has no source for ") + what);
  return pyb::cast(r.sources.front());
}

}  // namespace

Source ToSource(SourceData&& d) {
  const pyb::ssize_t f = d.frames, w = d.width, h = d.height;
  Source s;
  s.source = std::move(d.name);
  s.chips = std::move(d.chips);
  s.frames = ArrayOf(std::move(d.cells), {f, w, h});
  if (d.masks.empty()) {
    // One mask for every frame: a read-only view that repeats it, no copy per frame.
    auto* owner = new std::vector<uint8_t>(std::move(d.sharedMask));
    if (owner->empty()) owner->assign(size_t(w * h), 1);
    pyb::capsule keep(owner, [](void* p) { delete static_cast<std::vector<uint8_t>*>(p); });
    s.valid = pyb::array(pyb::dtype("bool"), {f, w, h}, {pyb::ssize_t(0), h, pyb::ssize_t(1)},
                         owner->data(), keep);
    s.valid.attr("setflags")(pyb::arg("write") = false);
  } else {
    s.valid = ArrayOf(std::move(d.masks), {f, w, h}, pyb::dtype("bool"));
  }
  s.timeMs = Int32Vector(std::move(d.timeMs));
  s.frameNo = Int32Vector(std::move(d.frameNo));
  s.readErrors = Int32Vector(std::move(d.readErrors));
  return s;
}

Recording ToRecording(RecordingData&& data) {
  Recording r;
  r.declaredFrames = data.declaredFrames;
  for (SourceData& s : data.sources) r.sources.push_back(ToSource(std::move(s)));
  return r;
}

SourceView ViewOf(const Source& s) {
  SourceView v;
  pyb::array cells = Contiguous(s.frames, "int32");
  pyb::array valid = s.valid;
  const bool shared = valid.ndim() == 3 && valid.itemsize() == 1 && valid.strides(0) == 0 &&
                      valid.strides(1) == valid.shape(2) && valid.strides(2) == 1;
  if (!shared) valid = Contiguous(valid, "bool");
  pyb::array frameNo = Contiguous(s.frameNo, "int32"), timeMs = Contiguous(s.timeMs, "int32"),
             readErrors = Contiguous(s.readErrors, "int32");
  const pyb::ssize_t f = cells.shape(0);
  if (cells.ndim() != 3 || valid.ndim() != 3 || valid.shape(0) != f ||
      valid.shape(1) != cells.shape(1) || valid.shape(2) != cells.shape(2) || frameNo.size() != f ||
      timeMs.size() != f || readErrors.size() != f)
    throw pyb::value_error("a source's arrays do not fit each other");
  v.ref.name = s.source;
  v.ref.frames = int32_t(f);
  v.ref.width = int32_t(cells.shape(1));
  v.ref.height = int32_t(cells.shape(2));
  v.ref.cells = static_cast<const int32_t*>(cells.data());
  v.ref.masks = static_cast<const uint8_t*>(valid.data());
  v.ref.maskStride = shared ? 0 : int64_t(v.ref.CellsPerFrame());
  v.ref.frameNo = static_cast<const int32_t*>(frameNo.data());
  v.ref.timeMs = static_cast<const int32_t*>(timeMs.data());
  v.ref.readErrors = static_cast<const int32_t*>(readErrors.data());
  v.keep = {cells, valid, frameNo, timeMs, readErrors};
  return v;
}

std::vector<Source> SourcesOf(const pyb::object& recording) {
  if (pyb::isinstance<Recording>(recording)) return recording.cast<const Recording&>().sources;
  if (pyb::isinstance<Source>(recording)) return {recording.cast<Source>()};
  if (pyb::isinstance<pyb::str>(recording) || pyb::hasattr(recording, "__fspath__"))
    return ReadRecording(recording).sources;
  if (pyb::isinstance<pyb::sequence>(recording)) {
    std::vector<Source> out;
    for (const pyb::handle item : recording) out.push_back(item.cast<Source>());
    return out;
  }
  throw pyb::type_error("expected a Recording, a Source, a list of Sources or a path");
}

SourceView FirstSourceOf(const pyb::object& recording) {
  std::vector<Source> sources = SourcesOf(recording);
  if (sources.empty()) throw pyb::value_error("the recording has no source");
  return ViewOf(sources.front());
}

void BindRecording(pyb::module_& m) {
  pyb::class_<Source>(m, "Source", R"(One source of a recording: every frame of one source type.

frames       int32 (frames, width, height): cell (x, y) of frame f is frames[f, x, y];
             x runs over the drive lines, y over the sense lines of all chips. A masked
             cell ("N/A" in the file) holds 0.
valid        bool (frames, width, height): False where a cell is masked. When every frame
             shares one mask this is a read-only view of that mask.
time_ms      int32 (frames,): each frame's time since the acquisition began.
frame_no     int32 (frames,): the live frame counter of each recorded frame (from 1).
read_errors  int32 (frames,): retries the chip reads used for each frame.
source       the source type's name ("Diff", "Base", "RawData", ...).
chips        chip order, one digit per chip in frame order ("" when the file does not say).)")
      .def(pyb::init(&MakeSource), pyb::arg("frames"), pyb::arg("valid") = pyb::none(),
           pyb::arg("time_ms") = pyb::none(), pyb::arg("frame_no") = pyb::none(),
           pyb::arg("read_errors") = pyb::none(), pyb::arg("source") = "Diff",
           pyb::arg("chips") = "",
           "A source from arrays: frames (frames, width, height) or one (width, height) "
           "frame; valid broadcast to the frames' shape (default: every cell valid); "
           "time_ms 0, frame_no 1.. and read_errors 0 by default.")
      .def_readonly("frames", &Source::frames)
      .def_readonly("valid", &Source::valid)
      .def_readonly("time_ms", &Source::timeMs)
      .def_readonly("frame_no", &Source::frameNo)
      .def_readonly("read_errors", &Source::readErrors)
      .def_readonly("source", &Source::source)
      .def_readonly("chips", &Source::chips)
      .def_property_readonly("width", [](const Source& s) { return s.frames.shape(1); })
      .def_property_readonly("height", [](const Source& s) { return s.frames.shape(2); })
      .def("__len__", [](const Source& s) { return s.frames.shape(0); })
      .def("__repr__", [](const Source& s) {
        return "<pelorin.Source " + s.source + ": " + std::to_string(s.frames.shape(0)) +
               " frames of " + std::to_string(s.frames.shape(1)) + " x " +
               std::to_string(s.frames.shape(2)) + ">";
      });

  auto forward = [](const char* name) {
    return [name](const Recording& r) { return pyb::object(First(r, name).attr(name)); };
  };
  pyb::class_<Recording>(m, "Recording", R"(A recording: its sources in file order.

The attributes frames, valid, time_ms, frame_no, read_errors, source and chips are those
of the first source; recording[i] or recording.sources[i] gives source i.)")
      .def_readonly("sources", &Recording::sources)
      .def_readonly("path", &Recording::path, "The file, or None for a capture kept in memory.")
      .def_readonly("declared_frames", &Recording::declaredFrames,
                    "The header's FrameCount (the frames actually read are len(frames)).")
      .def_readonly("interrupted", &Recording::interrupted,
                    "True when KeyboardInterrupt stopped the capture early.")
      .def_readonly("messages", &Recording::messages,
                    "What the acquisition reported on the way (status texts).")
      .def_property_readonly("frames", forward("frames"))
      .def_property_readonly("valid", forward("valid"))
      .def_property_readonly("time_ms", forward("time_ms"))
      .def_property_readonly("frame_no", forward("frame_no"))
      .def_property_readonly("read_errors", forward("read_errors"))
      .def_property_readonly("source", forward("source"))
      .def_property_readonly("chips", forward("chips"))
      .def("__len__", [](const Recording& r) { return r.sources.size(); })
      .def("__getitem__",
           [](const Recording& r, pyb::ssize_t i) {
             const auto n = pyb::ssize_t(r.sources.size());
             if (i < 0) i += n;
             if (i < 0 || i >= n) throw pyb::index_error("no such source");
             return r.sources[size_t(i)];
           })
      .def("__repr__", [](const Recording& r) {
        std::string names;
        for (const Source& s : r.sources) names += (names.empty() ? "" : ", ") + s.source;
        const long frames = r.sources.empty() ? 0 : long(r.sources.front().frames.shape(0));
        return "<pelorin.Recording [" + names + "], " + std::to_string(frames) + " frames>";
      });

  m.def("read_recording", &ReadRecording, pyb::arg("path"),
        R"(Reads a recording (".csv", ".txt", or ".tbl") with every source.

Returns a Recording. Raises ValueError naming the line when the file is not a clean
recording, and when it cannot be opened.)");
  m.def("write_recording", &WriteRecording, pyb::arg("path"), pyb::arg("recording"),
        R"(Writes a recording file the viewer loads.

recording: a Recording, a Source, a list of Sources (same frame count and width) or an
int32 array (frames, width, height) written as one Diff source. Masked cells are written
as "N/A". The file is written beside path and renamed into place, so an existing file is
replaced whole or not at all.)");
}

}  // namespace pelorin::py
