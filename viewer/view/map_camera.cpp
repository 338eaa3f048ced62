#include "view/map_camera.h"

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
