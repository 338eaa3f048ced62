#include "view/desktop_window.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <wx/display.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#if defined(__WXGTK__)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#endif

namespace pelorin {

#if defined(__WXGTK__)
namespace {

// GTK and GDK calls looked up in the process, where wxWidgets has loaded them: the
// program builds without GTK's development headers.
struct GtkCalls {
  void (*widgetRealize)(void* widget);
  void* (*widgetGetWindow)(void* widget);
  unsigned long (*x11WindowGetXid)(void* gdkWindow);
  void (*windowSetTypeHint)(void* window, int hint);
  void (*windowMove)(void* window, int x, int y);

  bool Complete() const {
    return widgetRealize && widgetGetWindow && x11WindowGetXid && windowSetTypeHint && windowMove;
  }
};

template <typename Fn>
void Look(Fn& fn, const char* name) {
  fn = reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

const GtkCalls* Calls() {
  static const GtkCalls calls = [] {
    GtkCalls c{};
    Look(c.widgetRealize, "gtk_widget_realize");
    Look(c.widgetGetWindow, "gtk_widget_get_window");
    Look(c.x11WindowGetXid, "gdk_x11_window_get_xid");
    Look(c.windowSetTypeHint, "gtk_window_set_type_hint");
    Look(c.windowMove, "gtk_window_move");
    return c;
  }();
  return calls.Complete() ? &calls : nullptr;
}

constexpr int kTypeHintNormal = 0;  // GDK_WINDOW_TYPE_HINT_NORMAL

Display* XDisplay() { return static_cast<Display*>(wxGetX11Display()); }

// The window's X window, realized first; 0 where there is none (another GDK backend).
Window XWindowOf(wxTopLevelWindow* window) {
  const GtkCalls* gtk = Calls();
  if (gtk == nullptr || window == nullptr || window->GetHandle() == nullptr) return 0;
  gtk->widgetRealize(window->GetHandle());
  void* gdkWindow = gtk->widgetGetWindow(window->GetHandle());
  return gdkWindow != nullptr ? gtk->x11WindowGetXid(gdkWindow) : 0;
}

// The four CARDINALs of _NET_FRAME_EXTENTS, when the window has them.
bool ReadExtents(Display* d, Window w, Atom property, FrameExtents* out) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(d, w, property, 0, 4, False, XA_CARDINAL, &type, &format,
                                        &count, &after, &data);
  const bool ok = status == Success && type == XA_CARDINAL && format == 32 && count == 4;
  if (ok) {
    const auto* v = reinterpret_cast<const long*>(data);
    *out = FrameExtents{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                        static_cast<int>(v[3])};
  }
  if (data != nullptr) XFree(data);
  return ok;
}

}  // namespace

bool WindowManagerRunning() {
  Display* d = XDisplay();
  if (d == nullptr) return false;
  const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW,
                                        &type, &format, &count, &after, &data);
  const bool running = status == Success && type == XA_WINDOW && count == 1;
  if (data != nullptr) XFree(data);
  return running;
}

void UseNormalWindowType(wxTopLevelWindow* window) {
  const GtkCalls* gtk = Calls();
  if (gtk != nullptr && window != nullptr && window->GetHandle() != nullptr)
    gtk->windowSetTypeHint(window->GetHandle(), kTypeHintNormal);
}

FrameExtents RequestFrameExtents(wxTopLevelWindow* window, int timeoutMs) {
  Display* d = XDisplay();
  if (d == nullptr || !WindowManagerRunning()) return {};
  const Window w = XWindowOf(window);
  if (w == 0) return {};
  const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
  FrameExtents out;
  if (ReadExtents(d, w, extents, &out)) return out;
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = w;
  request.xclient.message_type = XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False);
  request.xclient.format = 32;
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureNotifyMask | SubstructureRedirectMask,
             &request);
  XFlush(d);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadExtents(d, w, extents, &out)) return out;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return {};
}

void MoveFrameTo(wxTopLevelWindow* window, const wxPoint& place) {
  if (window == nullptr) return;
  window->Move(place);
  // wx skips the request when its own idea of the place (which the window manager may
  // have overruled) is already the new one; GTK is asked directly as well.
  const GtkCalls* gtk = Calls();
  if (gtk != nullptr && window->GetHandle() != nullptr)
    gtk->windowMove(window->GetHandle(), place.x, place.y);
}

#else

void MoveFrameTo(wxTopLevelWindow* window, const wxPoint& place) {
  if (window != nullptr) window->Move(place);
}
bool WindowManagerRunning() { return false; }
void UseNormalWindowType(wxTopLevelWindow*) {}
FrameExtents RequestFrameExtents(wxTopLevelWindow*, int) { return {}; }

#endif

wxRect WorkArea(const wxWindow* window) {
  const int index = window != nullptr ? wxDisplay::GetFromWindow(window) : wxNOT_FOUND;
  const wxDisplay display(index != wxNOT_FOUND ? static_cast<unsigned>(index) : 0u);
  const wxRect area = display.GetClientArea();
  return area.IsEmpty() ? display.GetGeometry() : area;
}

wxPoint PlaceInside(const wxRect& rect, const wxRect& area) {
  // Right and bottom first, so that a rectangle too large for the area keeps its top-left
  // corner on the area.
  int x = std::min(rect.x, area.GetRight() + 1 - rect.width);
  int y = std::min(rect.y, area.GetBottom() + 1 - rect.height);
  x = std::max(x, area.x);
  y = std::max(y, area.y);
  return {x, y};
}

void KeepOnWorkArea(wxTopLevelWindow* window) {
  if (window == nullptr || window->IsFullScreen() || window->IsMaximized()) return;
  const wxRect rect = window->GetRect();
  const wxPoint place = PlaceInside(rect, WorkArea(window));
  if (place != rect.GetPosition()) window->Move(place);
}

void BringToFront(wxTopLevelWindow* window) {
  if (window == nullptr) return;
  window->Raise();
  window->SetFocus();
}

}  // namespace pelorin
