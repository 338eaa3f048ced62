// The extension module behind `import pelorin`.
#include "py_common.h"

namespace pelorin::py {

namespace {
// Kept for the life of the process: the interpreter may be gone when statics die.
pyb::object& DeviceErrorType() {
  static auto* type = new pyb::object();
  return *type;
}
}  // namespace

void RaiseDeviceError(int code, const std::string& message, pyb::object recording) {
  pyb::object error = DeviceErrorType()(message);
  error.attr("code") = code;
  error.attr("message") = message;
  error.attr("recording") = recording;
  PyErr_SetObject(DeviceErrorType().ptr(), error.ptr());
  throw pyb::error_already_set();
}

}  // namespace pelorin::py

PYBIND11_MODULE(_pelorin, m) {
  namespace py = pelorin::py;
  m.doc() = "Recordings, live capture, panel tests and firmware of Pelorin and Corlink.";
  pybind11::object type = pybind11::reinterpret_steal<pybind11::object>(PyErr_NewExceptionWithDoc(
      "pelorin.DeviceError",
      "A device that cannot be opened, was lost, or refused a command. Attributes: code "
      "(the library's or tool's code), message, recording (the frames read before a lost "
      "device, or None).",
      PyExc_RuntimeError, nullptr));
  py::DeviceErrorType() = type;
  m.attr("DeviceError") = type;
  py::BindRecording(m);
  py::BindPanel(m);
  py::BindLive(m);
  py::BindDevice(m);
}
