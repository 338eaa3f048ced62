#include "view/opengl_device.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <wx/debug.h>
#include <wx/event.h>
#include <wx/glcanvas.h>
#include <wx/log.h>
#include <wx/utils.h>

#include "view/x_error_trap.h"

namespace pelorin {
namespace {

bool EnvIs(const char* name, const char* value) {
  const char* v = std::getenv(name);
  return v != nullptr && std::strcmp(v, value) == 0;
}

// Window thread only, like everything here.
bool g_refusedOnce = false;  // PELORIN_GL_FAULT=refuse-once has been served
bool g_reported = false;     // the "not available" line has been printed
int g_retriesNeeded = 0;     // contexts refused at their first attempt

// Whether this attempt is to be refused on purpose (PELORIN_GL_FAULT).
bool RefuseOnPurpose() {
  if (EnvIs("PELORIN_GL_FAULT", "refuse")) return true;
  if (EnvIs("PELORIN_GL_FAULT", "refuse-once") && !g_refusedOnce) {
    g_refusedOnce = true;
    return true;
  }
  return false;
}

std::string Refusal(const XErrorTrap& trap) {
  return "the X server refused the GL context (" + trap.Description() + ")";
}

}  // namespace

std::string GlUnavailableText(const std::string& reason) {
  return "OpenGL is not available: " + reason;
}

const wxGLAttributes& GLWindowAttributes(int stencilBits) {
  static const wxGLAttributes attributes = [stencilBits] {
    wxGLAttributes a;
    a.PlatformDefaults().RGBA().DoubleBuffer().Depth(16);
    if (stencilBits > 0) a.Stencil(stencilBits);
    a.EndList();
    return a;
  }();
  return attributes;
}

OpenGLDevice::~OpenGLDevice() { DestroyContext(); }

void OpenGLDevice::DestroyContext() {
  if (context_ == nullptr) return;
  // wx has no call to release the current context; deleting it (glXDestroyContext)
  // takes it off the thread when it is current. A context the server refused answers
  // its destruction with one more error.
  XErrorTrap trap(wxGetX11Display());
  delete context_;
  context_ = nullptr;
  proven_ = false;
}

bool OpenGLDevice::Create(wxGLCanvas* canvas, int stencilBits) {
  if (canvas == nullptr || context_ != nullptr || canvas_ != nullptr) return false;
  // PELORIN_NO_GL=1 runs the viewer without a rendering context: the map says so and
  // everything else works. For thread-checking runs, where the software renderer cannot
  // make a direct context, and for machines whose GL misbehaves.
  if (EnvIs("PELORIN_NO_GL", "1")) {
    Fail("switched off (PELORIN_NO_GL=1)");
    return false;
  }
  (void)GLWindowAttributes(stencilBits);
  canvas_ = canvas;
  // A context asked for before the canvas has its X window and visual is refused
  // (BadValue, value 0): it is made when the toolkit has realized the canvas, or at the
  // first paint where that comes first.
  pending_ = true;
  canvas->Bind(wxEVT_CREATE, [this](wxWindowCreateEvent& event) {
    event.Skip();
    if (event.GetWindow() == canvas_ && pending_) CreateNow();
  });
  if (canvas->IsShownOnScreen()) return CreateNow();
  return true;
}

bool OpenGLDevice::CreateNow() {
  pending_ = false;
  context_ = TryCreate(canvas_);
  if (context_ != nullptr) {
    failure_.clear();
    return true;
  }
  // Refused although the canvas was realized: the one fallback attempt follows at the
  // next paint, counted so that a machine where it is still needed shows up.
  ++g_retriesNeeded;
  retryAtPaint_ = true;
  std::fprintf(stderr, "%s; trying once more when the window is shown\n", failure_.c_str());
  return false;
}

bool OpenGLDevice::RetryOnce() {
  retryAtPaint_ = false;
  if (retried_) return false;
  retried_ = true;
  context_ = TryCreate(canvas_);
  if (context_ == nullptr) {
    Fail(failure_);
    return false;
  }
  failure_.clear();
  return true;
}

int GlContextRetries() { return g_retriesNeeded; }

wxGLContext* OpenGLDevice::TryCreate(wxGLCanvas* canvas) {
  // wx reports a failed context in a message box, and asserts (another box, waiting
  // for a click) when Mesa cannot make even its probing context; the window says it
  // instead.
  wxLogNull quiet;
  const wxAssertHandler_t asserts = wxSetAssertHandler(nullptr);
  XErrorTrap trap(wxGetX11Display());
  if (RefuseOnPurpose()) trap.Provoke();
  wxGLContextAttrs attrs;
  attrs.PlatformDefaults().CompatibilityProfile().EndList();
  auto* context = new wxGLContext(canvas, nullptr, &attrs);
  const bool refused = trap.Finish();
  wxSetAssertHandler(asserts);
  if (!refused && context->IsOK()) return context;
  failure_ = refused ? Refusal(trap) : std::string("no GL context could be made");
  XErrorTrap cleanup(wxGetX11Display());
  delete context;
  return nullptr;
}

void OpenGLDevice::Fail(std::string reason) {
  failure_ = std::move(reason);
  if (g_reported) return;
  g_reported = true;
  std::fprintf(stderr, "%s\n", GlUnavailableText(failure_).c_str());
}

bool OpenGLDevice::MakeCurrent(bool releaseFirst) {
  if (context_ == nullptr && pending_ && canvas_->IsShownOnScreen()) {
    // Refused here, the fallback waits for the next paint: a moment later it mostly
    // succeeds where an attempt right after the refusal fails the same way.
    if (!CreateNow()) {
      canvas_->Refresh(false);
      return false;
    }
  }
  if (context_ == nullptr && (!retryAtPaint_ || !canvas_->IsShownOnScreen() || !RetryOnce()))
    return false;
  // Releasing first is implicit under GLX: making a context current replaces the one
  // current on this thread.
  (void)releaseFirst;
  if (!canvas_->IsShownOnScreen()) return false;
  if (proven_) return context_->SetCurrent(*canvas_);
  // The first use is where an indirect context that the server would not make shows
  // up; after that the context is known good.
  bool current = false;
  {
    XErrorTrap trap(wxGetX11Display());
    current = context_->SetCurrent(*canvas_);
    if (!trap.Finish()) {
      proven_ = current;
      return current;
    }
    failure_ = Refusal(trap);
  }
  DestroyContext();
  if (!retried_) {
    ++g_retriesNeeded;
    std::fprintf(stderr, "%s; trying once more\n", failure_.c_str());
    if (RetryOnce()) return MakeCurrent(releaseFirst);
    return false;
  }
  Fail(failure_);
  return false;
}

}  // namespace pelorin
