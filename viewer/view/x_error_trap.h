// XErrorTrap: catches the X protocol errors of a stretch of Xlib calls instead of letting
// the toolkit's handler end the program. An X server may refuse a GL context (Xvfb does
// when Mesa falls back to an indirect one), and that refusal is only an error event.
#pragma once

#include <string>

struct _XDisplay;

namespace pelorin {

class XErrorTrap {
 public:
  // Installs the trap on `display` (none: the trap does nothing and catches nothing).
  // Traps do not nest: only one is installed at a time, on the window thread.
  explicit XErrorTrap(_XDisplay* display);
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;
  // Ends the trap (as Finish) and puts the previous handler back.
  ~XErrorTrap();

  // Waits until the server has answered every request sent so far, so that their errors
  // have arrived, and stops catching. True when an error was caught.
  bool Finish();
  bool Caught() const { return caught_; }
  // The first error caught, e.g. "BadValue (integer parameter out of range for
  // operation) on request 150.3, value 0x0"; empty when none was.
  const std::string& Description() const { return description_; }

  // Sends a request the server always refuses (frees a pixmap that does not exist): the
  // stand-in for a refused GL context when that failure is asked for on purpose.
  void Provoke();

 private:
  friend struct XErrorTrapHandler;  // the Xlib handler, which records into the trap
  _XDisplay* display_;
  bool active_ = false;
  bool caught_ = false;
  std::string description_;
  void (*previous_)() = nullptr;  // the handler to put back, in Xlib's own type
};

}  // namespace pelorin
