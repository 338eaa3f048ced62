#include "view/x_error_trap.h"

#include <X11/Xlib.h>

#include <array>
#include <cstdio>

namespace pelorin {
namespace {

XErrorTrap* g_installed = nullptr;  // window thread only

}  // namespace

struct XErrorTrapHandler {
  static int OnError(Display* display, XErrorEvent* e) {
    XErrorTrap* trap = g_installed;
    if (trap == nullptr || !trap->active_ || trap->display_ != display) return 0;
    if (!trap->caught_) {
      std::array<char, 160> text{};
      XGetErrorText(display, e->error_code, text.data(), static_cast<int>(text.size()));
      std::array<char, 96> request{};
      std::snprintf(request.data(), request.size(), " on request %d.%d, value 0x%lx",
                    e->request_code, e->minor_code, e->resourceid);
      trap->description_ = std::string(text.data()) + request.data();
    }
    trap->caught_ = true;
    return 0;
  }
};

XErrorTrap::XErrorTrap(Display* display) : display_(display) {
  if (display_ == nullptr || g_installed != nullptr) return;
  // Errors of requests sent before the trap belong to whoever sent them.
  XSync(display_, False);
  g_installed = this;
  active_ = true;
  previous_ = reinterpret_cast<void (*)()>(XSetErrorHandler(&XErrorTrapHandler::OnError));
}

XErrorTrap::~XErrorTrap() { Finish(); }

bool XErrorTrap::Finish() {
  if (!active_) return caught_;
  XSync(display_, False);
  XSetErrorHandler(reinterpret_cast<XErrorHandler>(previous_));
  active_ = false;
  g_installed = nullptr;
  return caught_;
}

void XErrorTrap::Provoke() {
  if (!active_) return;
  // Resource id 1 is never a client's: the server answers BadPixmap.
  XFreePixmap(display_, static_cast<Pixmap>(1));
}

}  // namespace pelorin
