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
#include "view/opengl_device.h"

namespace pelorin {

class COpenGLControl : public wxGLCanvas, public MeshTarget {
 public:
  // Makes the map window (window text "OpenGL", black background) at `rect` in the
  // parent's client coordinates, and its GL context. A window whose context could not
  // be made still exists and paints, showing nothing useful.
  static COpenGLControl* CreateGLWindow(const wxRect& rect, wxWindow* parent);

  ~COpenGLControl() override;

  // MeshTarget: the arrays the builders fill, their sizing, and a repaint request (also
  // from the playback thread).
  MapMesh& Mesh() override { return mesh_; }
  void AllocateMesh(size_t floatCount) override;
  void Invalidate() override;

  // Entry points of the acquisition and playback: size the arrays at Start or file load
  // and rebuild them with every new frame (timer, playback step), then repaint.
  // During playback the caller holds the playback lock around each call.
  void SizeLiveMesh(const LiveMeshSources& live, SnrPlotTarget& snrPlot);
  void RebuildLive(const LiveMeshSources& live, DrawStyle style);
  void SizePlaybackMesh(const PlaybackMeshSources& recorded);
  void RebuildPlayback(const PlaybackMeshSources& recorded, int32_t frameIndex, DrawStyle style);

  void ResetView() { camera_.ResetView(); }
  float TotalScale() const { return camera_.TotalScale(); }
  void PushZoom(float x, float y, float s) { camera_.PushZoom(x, y, s); }
  ValueColour ColourOf(int32_t value) const { return mesh_.ColourOf(value); }

  // The view the window draws; the main window's view controls write it directly.
  MapOrientation& Orientation() { return view_; }
  MapCamera& Camera() { return camera_; }
  MapDataState& Data() { return data_; }
  DrawStyle GetDrawStyle() const { return drawStyle_; }
  void SetDrawStyle(DrawStyle style) { drawStyle_ = style; }
  void SetRange(int32_t rangeMax, int32_t rangeMin) {
    mesh_.rangeMax = rangeMax;
    mesh_.rangeMin = rangeMin;
  }
  void SetAverageValue(float average) { mesh_.averageValue = average; }
  void SetMaxLabel(int32_t value) { data_.maxLabel = value; }
  void SetMinLabel(int32_t value) { data_.minLabel = value; }
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
  // Called in every paint after drawing, just before the buffers swap (tests read the
  // frame there; the back buffer is undefined after the swap).
  void SetBeforeSwap(std::function<void()> hook) { beforeSwap_ = std::move(hook); }

 protected:
  explicit COpenGLControl(wxWindow* parent, const wxRect& rect);
  // Makes the context; false leaves the window without one.
  virtual bool CreateDevice();

 private:
  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent&) {}  // the GL frame covers the window
  void OnMouseMove(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnKeyDown(wxKeyEvent& event);

  void InitialGlState();
  // The drawing steps of one paint (map_draw.cpp).
  void DrawMap();
  void ApplyZooms() const;
  void DrawMeshLines() const;
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
  MapMesh mesh_;
  MapCamera camera_;
  MapOrientation view_;
  DrawStyle drawStyle_ = DrawStyle::Style2;
  MapDataState data_;
  bool mouseZoom_ = true;
  bool dragBlocked_ = false;
  float averageHeight_ = 0.0f;
  PassMatrices pass_;
  wxPoint lastMouse_;
  std::function<void()> beforeSwap_;
  wxDECLARE_EVENT_TABLE();
};

// The map keyboard's virtual-key number for a toolkit key code; -1 for keys not in it.
int MapVirtualKey(int wxKeyCode);

}  // namespace pelorin
