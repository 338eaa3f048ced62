// COpenGLControl: the 3-D voltage map. Shows the mesh in its arrays (filled by the mesh
// builders) from one of four view points, with pan, rotation and a stack of local zooms,
// and a flat overlay: colour legend, zoom indicator, side-view grid, statistic and the
// list of sources. It draws only when painted and never builds geometry itself.
#pragma once

#include <array>
#include <functional>

#include <wx/glcanvas.h>

#include "view/gl_text.h"
#include "view/map_camera.h"
#include "view/map_view_state.h"
#include "view/mesh/draw_style.h"
#include "view/mesh/map_mesh.h"
#include "view/mesh/mesh_sources.h"
#include "view/mesh/shared_map_mesh.h"
#include "view/opengl_device.h"

namespace pelorin {

class COpenGLControl : public wxGLCanvas, public MeshTarget {
 public:
  // Makes the map window (window text "OpenGL", black background) at `rect` in the
  // parent's client coordinates, and its GL context. It draws from `view` and `data`,
  // which must outlive it (the map page and the main window own them). A window whose
  // context could not be made still exists and paints, showing nothing useful.
  static COpenGLControl* CreateGLWindow(const wxRect& rect, wxWindow* parent,
                                        MapViewState& view, MapDataState& data);

  ~COpenGLControl() override;

  // MeshTarget: the arrays the builders fill, their sizing, and a repaint request (also
  // from the playback thread). Mesh() is for the builders, which run inside the entry
  // points below, and for reading on the window thread while no playback runs.
  MapMesh& Mesh() override { return mesh_.Unguarded(); }
  void AllocateMesh(size_t floatCount) override;
  void AllocateGrids(std::span<const MeshGrid> grids) override;
  void Invalidate() override;

  // Entry points of the acquisition and playback, for live and recorded sources alike:
  // size the arrays at Start, file load or a hide button (with the SNR plot when live) and
  // rebuild them with every new frame (timer, playback step), then repaint. They build
  // with the view's draw style and range of the moment. The playback thread calls them
  // while the window thread paints: the arrays change only under the mesh lock, and a
  // paint draws a copy taken under the same lock.
  void SizeMesh(const MeshSources& sources, SnrPlotTarget* snrPlot = nullptr);
  void Rebuild(const MeshSources& sources);

  void ResetView() { camera_.ResetView(); }
  float TotalScale() const { return camera_.TotalScale(); }
  void PushZoom(float x, float y, float s) { camera_.PushZoom(x, y, s); }
  ValueColour ColourOf(int32_t value) const {
    return pelorin::ColourOf(value, view_.rangeMin, view_.rangeMax, kPaletteBandWidth,
                             kPaletteLastIndex);
  }

  // The view the window draws: the map page's, which the view controls write directly.
  MapViewState& View() { return view_; }
  MapOrientation& Orientation() { return view_; }
  MapCamera& Camera() { return camera_; }
  MapDataState& Data() { return data_; }
  DrawStyle GetDrawStyle() const { return view_.Style(); }
  void SetDrawStyle(DrawStyle style) { view_.drawStyle = static_cast<int>(style); }
  void SetRange(int32_t rangeMax, int32_t rangeMin) {
    view_.rangeMax = rangeMax;
    view_.rangeMin = rangeMin;
  }
  // The frame on display: its average and its largest and smallest cell ("Max:%d" and
  // "Min:%d" of the side views). Any thread; kept with the mesh.
  void SetAverageValue(float average) { mesh_.SetAverageValue(average); }
  void SetMaxLabel(int32_t value) { mesh_.SetMaxLabel(value); }
  void SetMinLabel(int32_t value) { mesh_.SetMinLabel(value); }
  bool MouseZoom() const { return mouseZoom_; }
  void SetMouseZoom(bool on) { mouseZoom_ = on; }
  void SetDragBlocked(bool blocked) { dragBlocked_ = blocked; }
  bool DragBlocked() const { return dragBlocked_; }

  // Matrices of the last mesh pass, as the zoom picker used them.
  struct PassMatrices {
    std::array<GLint, 4> viewport{};
    std::array<GLdouble, 16> projection{};
    std::array<GLdouble, 16> modelview{};
  };
  const PassMatrices& LastPass() const { return pass_; }
  bool HasContext() const { return device_.HasContext(); }
  // Why the window has no context (and says so in its area); empty when it has one.
  const std::string& GlFailure() const { return device_.FailureReason(); }
  // Called in every paint after drawing, just before the buffers swap (tests read the
  // frame there; the back buffer is undefined after the swap).
  void SetBeforeSwap(std::function<void()> hook) { beforeSwap_ = std::move(hook); }
  // Draws one frame into the back buffer without swapping, outside any paint event (the
  // paint-time benchmark). False when the context cannot be made current yet.
  bool DrawFrame();

 protected:
  COpenGLControl(wxWindow* parent, const wxRect& rect, MapViewState& view, MapDataState& data);
  // Makes the context; false leaves the window without one.
  virtual bool CreateDevice();

 private:
  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent&) {}  // the GL frame covers the window
  void OnMouseMove(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnKeyDown(wxKeyEvent& event);

  void InitialGlState();
  // The drawing steps of one paint (map_draw.cpp).
  void DrawMap();
  void ApplyZooms() const;
  void DrawMeshLines();
  void ResolvePendingZoom();
  void DrawAxes() const;
  void DrawOverlay();
  void DrawLegend(float s);
  void DrawZoomIndicator();
  void DrawSideGrid(float s);
  void DrawTexts(float s);

  OpenGLDevice device_;
  bool glReady_ = false;
  MapTextPrinter text_;
  SharedMapMesh mesh_;
  SharedMapMesh::Copy paint_;  // what the paint under way draws
  MeshEdgeList edges_;         // its lines, each edge once
  MapCamera camera_;
  MapViewState& view_;
  MapDataState& data_;
  bool mouseZoom_ = true;
  bool dragBlocked_ = false;
  float averageHeight_ = 0.0f;
  PassMatrices pass_;
  wxPoint lastMouse_;
  std::function<void()> beforeSwap_;
  wxDECLARE_EVENT_TABLE();
};

// The key table's virtual-key number for a toolkit key code (letters in either case);
// -1 for keys not in it.
int MapVirtualKey(int wxKeyCode);

}  // namespace pelorin
