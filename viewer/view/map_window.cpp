#include "view/map_window.h"

#include <wx/dcclient.h>
#include <wx/thread.h>

#include "view/key_table.h"
#include "view/map_picture.h"
#include "view/mesh/mesh_rebuild.h"

namespace pelorin {
namespace {

// What the map shows when it has no GL context: why, in white on black.
void DrawUnavailable(wxDC& dc, const wxSize& size, const std::string& reason) {
  dc.SetBackground(*wxBLACK_BRUSH);
  dc.Clear();
  dc.SetTextForeground(*wxWHITE);
  dc.DrawLabel(wxString::FromUTF8(GlUnavailableText(reason)), wxRect(wxPoint(0, 0), size),
               wxALIGN_CENTER);
}

}  // namespace

wxBEGIN_EVENT_TABLE(COpenGLControl, wxGLCanvas)
  EVT_PAINT(COpenGLControl::OnPaint)
  EVT_ERASE_BACKGROUND(COpenGLControl::OnEraseBackground)
  EVT_MOTION(COpenGLControl::OnMouseMove)
  EVT_LEFT_DOWN(COpenGLControl::OnLeftDown)
  EVT_LEFT_UP(COpenGLControl::OnLeftUp)
  EVT_KEY_DOWN(COpenGLControl::OnKeyDown)
wxEND_EVENT_TABLE()

COpenGLControl* COpenGLControl::CreateGLWindow(const wxRect& rect, wxWindow* parent,
                                               MapViewState& view, MapDataState& data) {
  auto* window = new COpenGLControl(parent, rect, view, data);
  window->CreateDevice();
  AddSavePictureMenu(*window);
  return window;
}

COpenGLControl::COpenGLControl(wxWindow* parent, const wxRect& rect, MapViewState& view,
                               MapDataState& data)
    : wxGLCanvas(parent, GLWindowAttributes(0), wxID_ANY, rect.GetPosition(), rect.GetSize(),
                 wxFULL_REPAINT_ON_RESIZE | wxWANTS_CHARS, "OpenGL"),
      view_(view),
      data_(data) {
  SetBackgroundColour(*wxBLACK);
  SetBackgroundStyle(wxBG_STYLE_PAINT);
}

bool COpenGLControl::CreateDevice() { return device_.Create(this, 0); }

COpenGLControl::~COpenGLControl() {
  if (glReady_ && device_.MakeCurrent(false)) {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
  }
  // The arrays go with mesh_, the context with device_.
}

void COpenGLControl::AllocateMesh(size_t floatCount) {
  camera_.ResetView();
  mesh_.Change([&](MapMesh& mesh) { mesh.Allocate(floatCount); });
}

void COpenGLControl::AllocateGrids(std::span<const MeshGrid> grids) {
  camera_.ResetView();
  // One change, so no paint copies the new arrays without the grids that go with them.
  mesh_.Change([&](MapMesh& mesh) {
    mesh.Allocate(MeshGridVertexCount(grids) * 3);
    mesh.SetGrids(grids);
  });
}

void COpenGLControl::Invalidate() {
  if (wxThread::IsMain()) {
    Refresh(false);
  } else {
    // The playback thread rebuilds the mesh; only the window thread may touch the window.
    CallAfter([this] { Refresh(false); });
  }
}

void COpenGLControl::SizeMesh(const MeshSources& sources, SnrPlotTarget* snrPlot) {
  pelorin::SizeMesh(sources, *this, snrPlot);  // AllocateGrids takes the lock
}

void COpenGLControl::Rebuild(const MeshSources& sources) {
  mesh_.Change([&](MapMesh& mesh) {
    mesh.rangeMax = view_.rangeMax;
    mesh.rangeMin = view_.rangeMin;
    RebuildMesh(sources, *this, view_.Style());
  });
}

bool COpenGLControl::DrawFrame() {
  // The copy is the paint's only contact with the threads that build the mesh; it is
  // taken also when there is nothing to draw it with, so thread checks see that side too.
  mesh_.CopyTo(paint_);
  if (!device_.MakeCurrent(true)) return false;
  if (!glReady_) InitialGlState();
  const wxSize size = GetClientSize();
  glViewport(0, 0, size.x, size.y > 0 ? size.y : 1);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  DrawMap();
  return true;
}

void COpenGLControl::InitialGlState() {
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LINE_SMOOTH);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glReady_ = true;
}

void COpenGLControl::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);  // validates the window also when nothing can be drawn
  if (!DrawFrame()) {
    if (!device_.HasContext() && !device_.FailureReason().empty())
      DrawUnavailable(dc, GetClientSize(), device_.FailureReason());
    return;
  }
  if (beforeSwap_) beforeSwap_();
  SwapBuffers();
}

void COpenGLControl::OnMouseMove(wxMouseEvent& event) {
  const wxPoint now = event.GetPosition();
  const float dx = static_cast<float>(now.x - lastMouse_.x);
  const float dy = static_cast<float>(now.y - lastMouse_.y);
  lastMouse_ = now;
  const bool others = event.MiddleIsDown() || event.Aux1IsDown() || event.Aux2IsDown() ||
                      event.ShiftDown() || event.ControlDown();
  DragButtons buttons = DragButtons::Other;
  if (!others && event.LeftIsDown() && !event.RightIsDown()) buttons = DragButtons::LeftOnly;
  if (!others && event.RightIsDown() && !event.LeftIsDown()) buttons = DragButtons::RightOnly;
  ApplyMapDrag(buttons, dx, dy, dragBlocked_, view_, camera_);
  Refresh(false);
  event.Skip();
}

void COpenGLControl::OnLeftDown(wxMouseEvent& event) {
  // A click on the map gives it the keyboard, away from whichever control had it.
  SetFocus();
  event.Skip();
}

void COpenGLControl::OnLeftUp(wxMouseEvent& event) {
  dragBlocked_ = false;
  event.Skip();
}

void COpenGLControl::OnKeyDown(wxKeyEvent& event) {
  // The main window sees every key first; what reaches the map is run here when it only
  // needs the map's view, by the same table.
  const int code = MapVirtualKey(event.GetKeyCode());
  const KeyBinding* binding = code < 0 ? nullptr : FindKeyBinding(code, event.ShiftDown(), event.ControlDown());
  if (binding == nullptr || !IsMapViewAction(binding->action)) {
    event.Skip();
    return;
  }
  ApplyMapViewAction(*binding, view_, camera_);
  Refresh(false);
}

int MapVirtualKey(int wxKeyCode) {
  switch (wxKeyCode) {
    case WXK_UP: return vk::kUp;
    case WXK_DOWN: return vk::kDown;
    case WXK_LEFT: return vk::kLeft;
    case WXK_RIGHT: return vk::kRight;
    case WXK_PAGEUP: return vk::kPrior;
    case WXK_PAGEDOWN: return vk::kNext;
    case WXK_NUMPAD4: return vk::kNumpad4;
    case WXK_NUMPAD9: return vk::kNumpad9;
    case WXK_NUMPAD_DIVIDE: return vk::kDivide;
    case WXK_F9: return vk::kF9;
    case WXK_F10: return vk::kF10;
    case WXK_F11: return vk::kF11;
    case WXK_F2: return vk::kF2;
    case WXK_F3: return vk::kF3;
    case WXK_SPACE: return vk::kSpace;
    default: break;
  }
  // Letter keys arrive as their upper-case character, which is their virtual-key number.
  if (wxKeyCode >= 'A' && wxKeyCode <= 'Z') return wxKeyCode;
  if (wxKeyCode >= 'a' && wxKeyCode <= 'z') return wxKeyCode - 'a' + 'A';
  if (wxKeyCode >= '0' && wxKeyCode <= '9') return wxKeyCode;
  return -1;
}

}  // namespace pelorin
