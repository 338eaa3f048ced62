// OpenGLDevice: the rendering context of one OpenGL window. Each GL window of the viewer
// (the 3-D map, the SNR plot) owns one; contexts are not shared, so every display list
// and every piece of GL state belongs to the window that made it.
#pragma once

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

  // Makes a compatibility-profile context for the canvas. False when there is no canvas
  // or no context could be made; the device then stays empty and MakeCurrent does
  // nothing. The context is made current at the first paint: under X it cannot be made
  // current before the window is shown.
  bool Create(wxGLCanvas* canvas, int stencilBits);

  // Makes this device's context current on its canvas (after releasing whatever is
  // current when releaseFirst is set). False, doing nothing, without a context or while
  // the canvas cannot take it (not shown yet).
  bool MakeCurrent(bool releaseFirst);

  bool HasContext() const { return context_ != nullptr; }

 private:
  wxGLContext* context_ = nullptr;  // owned
  wxGLCanvas* canvas_ = nullptr;    // not owned: the window the context draws into
};

}  // namespace pelorin
