#include "view/snr_plot.h"

#include <wx/dcclient.h>

#include "data/snr/snr_plot_arrays.h"

namespace pelorin {

wxBEGIN_EVENT_TABLE(COpenGLControl_SNR, wxGLCanvas)
  EVT_PAINT(COpenGLControl_SNR::OnPaint)
  EVT_ERASE_BACKGROUND(COpenGLControl_SNR::OnEraseBackground)
wxEND_EVENT_TABLE()

COpenGLControl_SNR* COpenGLControl_SNR::CreateGLWindow(const wxRect& rect, wxWindow* parent) {
  auto* window = new COpenGLControl_SNR(parent, rect);
  window->CreateDevice();
  return window;
}

COpenGLControl_SNR::COpenGLControl_SNR(wxWindow* parent, const wxRect& rect)
    : wxGLCanvas(parent, GLWindowAttributes(0), wxID_ANY, rect.GetPosition(), rect.GetSize(),
                 wxFULL_REPAINT_ON_RESIZE, "OpenGL") {
  SetBackgroundColour(*wxBLACK);
  SetBackgroundStyle(wxBG_STYLE_PAINT);
}

bool COpenGLControl_SNR::CreateDevice() { return device_.Create(this, 0); }

COpenGLControl_SNR::~COpenGLControl_SNR() {
  if (glReady_ && device_.MakeCurrent(false)) {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
  }
}

void COpenGLControl_SNR::SizeSnrPlot(size_t floatCount) {
  vertices_.assign(floatCount, 0.0f);
  colours_.assign(floatCount, 0.0f);
  vertexCount_ = static_cast<int32_t>(floatCount / 3);
}

bool COpenGLControl_SNR::BuildSnrPlot(const EdgeBuffers& current, const EdgeBuffers& noise,
                                      const EdgeBuffers& signal) {
  if (BuildSnrPlotArrays(current, noise, signal, vertices_, colours_) == 0) return false;
  const SnrAxes axes = BuildSnrAxes(current.width, current.height);
  axisPoints_ = axes.points;
  axisColours_ = axes.colours;
  Refresh(false);
  return true;
}

void COpenGLControl_SNR::InitialGlState() {
  // Flat lines in drawing order: no depth test, no line smoothing.
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glReady_ = true;
}

void COpenGLControl_SNR::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);  // validates the window also when nothing can be drawn
  if (!device_.MakeCurrent(true)) return;
  if (!glReady_) InitialGlState();
  // The size and the projection are set at every paint: the context can only be made
  // current once the window is shown, which may be after its last size event.
  const wxSize size = GetClientSize();
  glViewport(0, 0, size.x, size.y > 0 ? size.y : 1);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-55.0, 55.0, -50.0, 50.0, 0.0, 120.0);
  glMatrixMode(GL_MODELVIEW);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  Draw();
  if (beforeSwap_) beforeSwap_();
  SwapBuffers();
}

void COpenGLControl_SNR::Draw() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glTranslatef(-55.0f, -45.0f, 0.0f);
  glVertexPointer(3, GL_FLOAT, 0, axisPoints_.data());
  glColorPointer(3, GL_FLOAT, 0, axisColours_.data());
  glDrawArrays(GL_LINES, 0, 10);
  DrawLegend();
  if (vertexCount_ > 0) {
    glVertexPointer(3, GL_FLOAT, 0, vertices_.data());
    glColorPointer(3, GL_FLOAT, 0, colours_.data());
    glDrawArrays(GL_LINES, 0, vertexCount_);
  }
}

void COpenGLControl_SNR::DrawLegend() {
  struct Entry {
    GLubyte r, g, b;
    float y;
    const char* text;
  };
  static constexpr Entry kEntries[] = {{135, 206, 235, 80.0f, "Noise"},
                                       {255, 255, 0, 85.0f, "Signal"},
                                       {255, 165, 0, 90.0f, "Real-Time Data"}};
  for (const Entry& e : kEntries) {
    glColor3ub(e.r, e.g, e.b);
    glBegin(GL_LINES);
    glVertex2f(70.0f, e.y);
    glVertex2f(75.0f, e.y);
    glEnd();
    // The raster colour is taken at glRasterPos: the colour is set before it.
    text_.PrintSnrText(76.0f, e.y - 1.0f, e.text);
  }
}

}  // namespace pelorin
