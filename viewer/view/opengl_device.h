// OpenGLDevice: the rendering context of one OpenGL window. Each GL window of the viewer
// (the 3-D map, the SNR plot) owns one; contexts are not shared, so every display list
// and every piece of GL state belongs to the window that made it.
#pragma once

#include <string>

class wxGLAttributes;
class wxGLCanvas;
class wxGLContext;

namespace pelorin {

// The pixel format every GL window asks for: RGBA, double-buffered, 16 depth bits and
// the stencil bits of the first call (both windows pass 0). Filled once and reused, so a
// second window gets exactly the format of the first.
const wxGLAttributes& GLWindowAttributes(int stencilBits = 0);

class OpenGLDevice {
 public:
  OpenGLDevice() = default;
  OpenGLDevice(const OpenGLDevice&) = delete;
  OpenGLDevice& operator=(const OpenGLDevice&) = delete;
  // Releases the context if it is current, then deletes it.
  virtual ~OpenGLDevice();

  // Makes a compatibility-profile context for the canvas once the toolkit has realized
  // it (it has its X window and visual then; a context asked for earlier is refused with
  // BadValue), or at the first paint where that comes first. False when there is no
  // canvas or GL is switched off; the device then stays empty, MakeCurrent does nothing
  // and FailureReason says why. The context is made current at the first paint: under X
  // it cannot be made current before the window is shown.
  //
  // The X server may still refuse a context (Mesa falls back to an indirect one, which
  // Xvfb does not allow); that refusal is an X error, trapped here and at the first
  // MakeCurrent, where it may also surface. A refused context is made once more, at the
  // first MakeCurrent with the window shown, and counted (GlContextRetries); when it is
  // refused again the device stays empty and "OpenGL is not available: <reason>" is
  // printed to standard error, once per program run.
  //
  // Environment: PELORIN_NO_GL=1 makes no context at all. PELORIN_GL_FAULT=refuse has
  // the server refuse every context, =refuse-once only the first of the program run.
  bool Create(wxGLCanvas* canvas, int stencilBits);

  // Makes this device's context current on its canvas (after releasing whatever is
  // current when releaseFirst is set). False, doing nothing, without a context or while
  // the canvas cannot take it (not shown yet).
  bool MakeCurrent(bool releaseFirst);

  bool HasContext() const { return context_ != nullptr; }
  // Why there is no context after a failed Create; empty when none was tried.
  const std::string& FailureReason() const { return failure_; }

 private:
  // One attempt: a context the server accepted, or none with failure_ set.
  wxGLContext* TryCreate(wxGLCanvas* canvas);
  // The one second attempt; false, with the failure reported, when it fails too.
  bool RetryOnce();
  // The attempt once the canvas is realized.
  bool CreateNow();
  void Fail(std::string reason);
  void DestroyContext();

  wxGLContext* context_ = nullptr;  // owned
  wxGLCanvas* canvas_ = nullptr;    // not owned: the window the context draws into
  bool proven_ = false;             // made current once without an X error
  bool retried_ = false;
  bool retryAtPaint_ = false;       // the first attempt failed; the second is due
  bool pending_ = false;            // waiting for the canvas to be realized
  std::string failure_;
};

// How many contexts of this program run were refused at their first attempt and needed
// the fallback one (window thread).
int GlContextRetries();

// "OpenGL is not available: <reason>", what a window without a context shows.
std::string GlUnavailableText(const std::string& reason);

}  // namespace pelorin
