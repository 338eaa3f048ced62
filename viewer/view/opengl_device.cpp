#include "view/opengl_device.h"

#include <cstdlib>
#include <cstring>

#include <wx/glcanvas.h>

namespace pelorin {

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

OpenGLDevice::~OpenGLDevice() {
  if (context_ == nullptr) return;
  // wx has no call to release the current context; deleting it (glXDestroyContext)
  // takes it off the thread when it is current.
  delete context_;
}

bool OpenGLDevice::Create(wxGLCanvas* canvas, int stencilBits) {
  if (canvas == nullptr || context_ != nullptr) return false;
  // PELORIN_NO_GL=1 runs the viewer without a rendering context: the map stays empty and
  // everything else works. For machines whose GL would end the program at start (an X
  // server that refuses the context is fatal to the toolkit) and for thread-checking runs,
  // where the software renderer cannot make a direct context.
  if (const char* off = std::getenv("PELORIN_NO_GL"); off != nullptr && std::strcmp(off, "1") == 0)
    return false;
  (void)GLWindowAttributes(stencilBits);
  wxGLContextAttrs attrs;
  attrs.CompatibilityProfile().EndList();
  auto* context = new wxGLContext(canvas, nullptr, &attrs);
  if (!context->IsOK()) {
    delete context;
    return false;
  }
  context_ = context;
  canvas_ = canvas;
  return true;
}

bool OpenGLDevice::MakeCurrent(bool releaseFirst) {
  if (context_ == nullptr) return false;
  // Releasing first is implicit under GLX: making a context current replaces the one
  // current on this thread.
  (void)releaseFirst;
  if (!canvas_->IsShownOnScreen()) return false;
  return context_->SetCurrent(*canvas_);
}

}  // namespace pelorin
