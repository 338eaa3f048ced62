// What the binding files share: numpy arrays that own a C++ vector without a copy, the
// Python side of a recording, and pelorin.DeviceError.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "recording_data.h"

namespace pelorin::py {

namespace pyb = pybind11;

// An array over v's storage; the array keeps the vector alive.
template <typename T>
pyb::array ArrayOf(std::vector<T>&& v, std::vector<pyb::ssize_t> shape,
                   pyb::dtype dtype = pyb::dtype::of<T>()) {
  auto* owner = new std::vector<T>(std::move(v));
  pyb::capsule keep(owner, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  return pyb::array(dtype, std::move(shape), {}, owner->data(), keep);
}

// One source of a recording as numpy arrays.
struct Source {
  pyb::array frames;      // int32 (F, W, H)
  pyb::array valid;       // bool (F, W, H)
  pyb::array timeMs;      // int32 (F,)
  pyb::array frameNo;     // int32 (F,)
  pyb::array readErrors;  // int32 (F,)
  std::string source;     // type name
  std::string chips;      // chip order digits, "" when unknown
};

struct Recording {
  std::vector<Source> sources;
  pyb::object path = pyb::none();
  int32_t declaredFrames = 0;
  bool interrupted = false;
  std::vector<std::string> messages;  // what the acquisition reported on the way
};

// Moves the parsed data into arrays (the cells are not copied).
Source ToSource(SourceData&& s);
Recording ToRecording(RecordingData&& data);

// A Source's arrays as the C++ side reads them, kept alive (contiguous copies only where
// the arrays are not laid out as the reader makes them).
struct SourceView {
  SourceRef ref;
  std::vector<pyb::object> keep;
};
SourceView ViewOf(const Source& s);
// A Recording, a Source or a path (read first): every source, or only the first.
std::vector<Source> SourcesOf(const pyb::object& recording);
SourceView FirstSourceOf(const pyb::object& recording);

// Raises pelorin.DeviceError(message) with .code and .message (and .recording when given).
[[noreturn]] void RaiseDeviceError(int code, const std::string& message,
                                   pyb::object recording = pyb::none());

void BindRecording(pyb::module_& m);
void BindPanel(pyb::module_& m);
void BindLive(pyb::module_& m);
void BindDevice(pyb::module_& m);

}  // namespace pelorin::py
