// COpenGLControl_SNR: the SNR page's plot of the four edge-line profiles. It draws, flat
// under a fixed orthographic projection, the axes, a legend and the three series its
// arrays hold (the current frame, the noise maxima, the signal maxima), values unscaled.
// The arrays are sized at acquisition start (SizeSnrPlot) and rewritten by the SNR timer
// (BuildSnrPlot); everything runs on the window thread.
#pragma once

#include <wx/glcanvas.h>

#include <array>
#include <functional>
#include <vector>

#include "data/acquisition/frame_figures.h"
#include "view/gl_text.h"
#include "view/mesh/map_mesh.h"
#include "view/opengl_device.h"

namespace pelorin {

class COpenGLControl_SNR : public wxGLCanvas, public SnrPlotTarget {
 public:
  // Makes the plot window (window text "OpenGL", black background) at `rect` in the
  // parent's client coordinates, and its GL context. A window without a context still
  // paints, showing nothing useful.
  static COpenGLControl_SNR* CreateGLWindow(const wxRect& rect, wxWindow* parent);
  ~COpenGLControl_SNR() override;

  // Frees both arrays and makes new zeroed ones of floatCount floats.
  void SizeSnrPlot(size_t floatCount) override;
  // Writes the three series and the axes for a width x height first source and asks for
  // a repaint. False (arrays left as they were) when the buffers do not fit the arrays.
  bool BuildSnrPlot(const EdgeBuffers& current, const EdgeBuffers& noise,
                    const EdgeBuffers& signal);

  int32_t VertexCount() const { return vertexCount_; }
  const std::vector<float>& Vertices() const { return vertices_; }
  const std::vector<float>& Colours() const { return colours_; }
  bool HasContext() const { return device_.HasContext(); }
  // Called in every paint after drawing, just before the buffers swap (tests read the
  // frame there).
  void SetBeforeSwap(std::function<void()> hook) { beforeSwap_ = std::move(hook); }

 protected:
  COpenGLControl_SNR(wxWindow* parent, const wxRect& rect);
  virtual bool CreateDevice();

 private:
  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent&) {}  // the GL frame covers the window
  void InitialGlState();
  void Draw();
  void DrawLegend();

  int32_t vertexCount_ = 0;
  std::vector<float> vertices_;
  std::vector<float> colours_;
  std::array<float, 30> axisPoints_{};
  std::array<float, 30> axisColours_{};
  OpenGLDevice device_;
  bool glReady_ = false;
  SnrTextPrinter text_;
  std::function<void()> beforeSwap_;
  wxDECLARE_EVENT_TABLE();
};

}  // namespace pelorin
