#include "view/map_camera.h"

#include <algorithm>
#include <cmath>

namespace pelorin {

namespace {

// Field units of the map: the mesh spans 0..80 in x and y.
constexpr float kFieldSize = 80.0f;
constexpr float kMissCentre = 45.0f;
constexpr float kPanPerPixel = 0.25f;
constexpr float kRotatePerPixel = 0.25f;

void WrapOnce(double& angle) {
  if (angle >= 360.0) angle -= 360.0;
}

}  // namespace

MapOrientation PresetOrientation(ViewPoint viewPoint) {
  switch (viewPoint) {
    case ViewPoint::XAxis: return {-90.0, 0.0, 0.0, 1};
    case ViewPoint::YAxis: return {-90.0, 0.0, 90.0, 2};
    case ViewPoint::ZAxis: return {0.0, 0.0, 0.0, 3};
    case ViewPoint::Default: break;
  }
  return {-50.0, 15.0, 107.0, 0};
}

namespace {

// The drawing area of the Default view, in view units: right of the zoom indicator (from
// -51), left of the legend bar (from 45), below the source line (47).
constexpr std::array<float, 4> kFreeArea = {-50.0f, -49.0f, 44.0f, 45.0f};

// A field point relative to the field centre, rotated as glRotatef about X, Y, then Z.
std::array<double, 3> Rotate(const MapOrientation& o, double x, double y, double z) {
  constexpr double kRad = 3.14159265358979323846 / 180.0;
  const double cz = std::cos(o.rotZ * kRad), sz = std::sin(o.rotZ * kRad);
  const double x1 = cz * x - sz * y, y1 = sz * x + cz * y;
  const double cy = std::cos(o.rotY * kRad), sy = std::sin(o.rotY * kRad);
  const double x2 = cy * x1 + sy * z, z2 = -sy * x1 + cy * z;
  const double cx = std::cos(o.rotX * kRad), sx = std::sin(o.rotX * kRad);
  return {x2, cx * y1 - sx * z2, sx * y1 + cx * z2};
}

// Left, bottom, right, top of the rotated field box about its centre, unscaled.
std::array<float, 4> RotatedBounds(float lowZ, float highZ) {
  const MapOrientation o = PresetOrientation(ViewPoint::Default);
  std::array<float, 4> b = {1e9f, 1e9f, -1e9f, -1e9f};
  for (const double x : {0.0, static_cast<double>(kFieldSize)}) {
    for (const double y : {0.0, static_cast<double>(kFieldSize)}) {
      for (const double z : {static_cast<double>(lowZ), static_cast<double>(highZ)}) {
        const auto p = Rotate(o, x - kFieldSize / 2, y - kFieldSize / 2, z);
        b[0] = std::min(b[0], static_cast<float>(p[0]));
        b[1] = std::min(b[1], static_cast<float>(p[1]));
        b[2] = std::max(b[2], static_cast<float>(p[0]));
        b[3] = std::max(b[3], static_cast<float>(p[1]));
      }
    }
  }
  return b;
}

}  // namespace

std::array<float, 4> PlacedFieldBounds(const FieldPlacement& placement, float lowZ, float highZ) {
  const std::array<float, 4> b = RotatedBounds(lowZ, highZ);
  return {placement.x + placement.scale * b[0], placement.y + placement.scale * b[1],
          placement.x + placement.scale * b[2], placement.y + placement.scale * b[3]};
}

FieldPlacement DefaultFieldPlacement(float lowZ, float highZ) {
  const FieldPlacement fixed;
  const std::array<float, 4> placed = PlacedFieldBounds(fixed, lowZ, highZ);
  if (placed[0] >= kFreeArea[0] && placed[1] >= kFreeArea[1] && placed[2] <= kFreeArea[2] &&
      placed[3] <= kFreeArea[3])
    return fixed;
  const std::array<float, 4> b = RotatedBounds(lowZ, highZ);
  FieldPlacement fit;
  fit.scale = std::min({1.0f, (kFreeArea[2] - kFreeArea[0]) / (b[2] - b[0]),
                        (kFreeArea[3] - kFreeArea[1]) / (b[3] - b[1])});
  fit.x = (kFreeArea[0] + kFreeArea[2]) / 2 - fit.scale * (b[0] + b[2]) / 2;
  fit.y = (kFreeArea[1] + kFreeArea[3]) / 2 - fit.scale * (b[1] + b[3]) / 2;
  return fit;
}

void MapCamera::ResetView() {
  eyeX = eyeY = centreX = centreY = centreZ = 0.0f;
  scale = 1.0f;
  zoomCentreX = zoomCentreY = 0.0f;
  zoomStackX.clear();
  zoomStackY.clear();
  zoomStackScale.clear();
  freshView = true;
  zoomInRequested = zoomOutRequested = lastPickHit = false;
}

float MapCamera::TotalScale() const {
  float total = scale;
  for (const float s : zoomStackScale) total *= s;
  return total;
}

void MapCamera::PushZoom(float x, float y, float s) {
  zoomStackX.push_back(x);
  zoomStackY.push_back(y);
  zoomStackScale.push_back(s);
}

void MapCamera::RequestZoom(float mouseX, float mouseY, bool zoomIn) {
  zoomMouseX = mouseX;
  zoomMouseY = mouseY;
  zoomFactor = zoomIn ? 1.01f : 0.99f;
  zoomInRequested = zoomIn;
  zoomOutRequested = !zoomIn;
  zoomPending = true;
}

void MapCamera::ResolveZoom(const std::optional<PickedPoint>& picked, float averageHeight,
                            bool mouseZoom) {
  if (!zoomPending) return;
  const bool hit = mouseZoom && picked && picked->x > 0.0f && picked->x < kFieldSize &&
                   picked->y > 0.0f && picked->y < kFieldSize &&
                   picked->z - averageHeight > -5.0f && picked->z - averageHeight < 5.0f;
  if (hit) {
    lastPickHit = true;
    if (freshView) {
      freshView = false;
    } else if (std::fabs(zoomCentreX - picked->x) > 1.0f ||
               std::fabs(zoomCentreY - picked->y) > 1.0f) {
      // A step away from the current centre freezes the current zoom and starts anew.
      PushZoom(zoomCentreX, zoomCentreY, scale);
      scale = 1.0f;
    }
    zoomCentreX = picked->x;
    zoomCentreY = picked->y;
    scale *= zoomFactor;
  } else {
    if (!freshView && lastPickHit) {
      PushZoom(zoomCentreX, zoomCentreY, scale);
      scale = 1.0f;
    }
    zoomCentreX = zoomCentreY = kMissCentre;
    scale *= zoomFactor;
    freshView = false;
    lastPickHit = false;
  }
  zoomPending = zoomInRequested = zoomOutRequested = false;
}

void MapCamera::Pan(float dx, float dy) {
  eyeX -= kPanPerPixel * dx;
  eyeY += kPanPerPixel * dy;
  centreX -= kPanPerPixel * dx;
  centreY += kPanPerPixel * dy;
}

void ApplyMapDrag(DragButtons buttons, float dx, float dy, bool dragBlocked,
                  MapOrientation& view, MapCamera& camera) {
  if (buttons == DragButtons::LeftOnly && !dragBlocked) {
    camera.Pan(dx, dy);
  } else if (buttons == DragButtons::RightOnly) {
    view.rotX += kRotatePerPixel * dy;
    WrapOnce(view.rotX);
    view.rotZ += kRotatePerPixel * dx;
    WrapOnce(view.rotZ);
  }
}

}  // namespace pelorin
