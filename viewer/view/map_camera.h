// The 3-D map's view: orientation, pan and the stack of local zooms, and the rules of the
// keyboard, the mouse drag and the zoom resolution. Headless, so the rules are tested
// without a display; the map window applies them and draws with the result.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace pelorin {

// Stored as VIEW_POINT in the settings. Default and ZAxis are the free views (pan,
// rotation and zoom); XAxis and YAxis are the side views.
enum class ViewPoint : int32_t { Default = 0, XAxis = 1, YAxis = 2, ZAxis = 3 };

inline bool IsFreeView(int viewPoint) {
  return viewPoint == static_cast<int>(ViewPoint::Default) ||
         viewPoint == static_cast<int>(ViewPoint::ZAxis);
}

// Rotations in degrees about X, Y and Z, applied in that order, and the view point.
struct MapOrientation {
  double rotX = 0.0;
  double rotY = 0.0;
  double rotZ = 0.0;
  int viewPoint = 0;
};

// The rotations each view preset sets.
MapOrientation PresetOrientation(ViewPoint viewPoint);

// Where the Default view puts the field: its centre (40, 40) goes to (x, y) of the view
// and the field is scaled by `scale` about it, before the rotations.
struct FieldPlacement {
  float x = -10.0f, y = -16.0f;  // the fixed placement: translate (-50, -56), then the centre
  float scale = 1.0f;
};
// The Default view's placement for the preset rotations: the fixed one when the whole
// field (0..80 square, heights lowZ..highZ) lies inside the drawing area at zoom 1x,
// else the field scaled down and centred in that area so that it does. The area is the
// view (-55..55 x -50..50) less the zoom indicator on the left, the legend on the right
// and the source line on top.
FieldPlacement DefaultFieldPlacement(float lowZ, float highZ);
// The view rectangle (left, bottom, right, top) that the field of the placement covers
// with the preset rotations, heights lowZ..highZ.
std::array<float, 4> PlacedFieldBounds(const FieldPlacement& placement, float lowZ, float highZ);

// Virtual-key numbers of the keys that steer the map (the key table holds the rest);
// the windows turn their toolkit's key codes into these.
namespace vk {
inline constexpr int kPrior = 0x21, kNext = 0x22, kLeft = 0x25, kUp = 0x26, kRight = 0x27,
                     kDown = 0x28;
inline constexpr int kLetterD = 0x44, kLetterI = 0x49, kLetterO = 0x4F, kLetterX = 0x58,
                     kLetterY = 0x59, kLetterZ = 0x5A;
inline constexpr int kNumpad4 = 0x64, kNumpad9 = 0x69, kDivide = 0x6F, kF9 = 0x78,
                     kF10 = 0x79, kF11 = 0x7A;
}  // namespace vk

// The largest total zoom the map window's keyboard zooms in to.
inline constexpr float kMapZoomInLimit = 1.4f;
// Where a keyboard zoom step points: outside every viewport, so it always misses and
// zooms about (45, 45).
inline constexpr float kKeyboardZoomPoint = 9999.9f;

// A field point under the cursor, read back from the depth buffer.
struct PickedPoint {
  float x, y, z;
};

class MapCamera {
 public:
  MapCamera() { ResetView(); }

  // Pan and zoom back to the start; the rotations are not touched.
  void ResetView();
  // Product of every stacked zoom scale and the current one.
  float TotalScale() const;
  void PushZoom(float x, float y, float s);
  // A zoom step at a window point (pixels, y downwards), resolved at the next paint.
  void RequestZoom(float mouseX, float mouseY, bool zoomIn);
  // Resolves the pending step with the point picked under it (none when the depth read
  // fell outside the window). Does nothing when no step is pending.
  void ResolveZoom(const std::optional<PickedPoint>& picked, float averageHeight, bool mouseZoom);

  // Left-button drag: pans the camera by the cursor movement (pixels).
  void Pan(float dx, float dy);

  // Pan: camera eye offset and look-at point.
  float eyeX = 0, eyeY = 0;
  float centreX = 0, centreY = 0, centreZ = 0;
  // The current (innermost) zoom and the earlier ones, oldest first.
  float scale = 1.0f;
  float zoomCentreX = 0, zoomCentreY = 0;
  std::vector<float> zoomStackX, zoomStackY, zoomStackScale;
  // A step waiting for the next paint.
  float zoomFactor = 1.0f;  // 0.99 out, 1.01 in
  bool zoomPending = false;
  bool zoomInRequested = false, zoomOutRequested = false;
  float zoomMouseX = 0, zoomMouseY = 0;
  bool freshView = true;  // the next hit does not freeze the current zoom
  bool lastPickHit = false;
};

// Mouse buttons and modifiers of a drag; only a single button alone does something.
enum class DragButtons { LeftOnly, RightOnly, Other };

// One mouse move of dx, dy pixels: a left drag pans unless the drag is blocked, a right
// drag rotates about X and Z.
void ApplyMapDrag(DragButtons buttons, float dx, float dy, bool dragBlocked,
                  MapOrientation& view, MapCamera& camera);

}  // namespace pelorin
