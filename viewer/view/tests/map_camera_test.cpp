#include "view/key_table.h"
#include "view/map_camera.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

TEST(MapKeys, UpAndDownWrapRotXInTheFreeViews) {
  MapOrientation view;
  MapCamera camera;
  for (int i = 0; i < 360; ++i) ASSERT_TRUE(ApplyMapKey(vk::kUp, view, camera));
  EXPECT_EQ(view.rotX, 0.0);
  ASSERT_TRUE(ApplyMapKey(vk::kDown, view, camera));
  EXPECT_EQ(view.rotX, 359.0);

  ApplyMapKey(vk::kLeft, view, camera);
  EXPECT_EQ(view.rotY, 359.0);
  ApplyMapKey(vk::kPrior, view, camera);
  ApplyMapKey(vk::kPrior, view, camera);
  ApplyMapKey(vk::kNext, view, camera);
  EXPECT_EQ(view.rotZ, 1.0);
}

TEST(MapKeys, SideViewsSwallowRotationKeysWithoutEffect) {
  MapOrientation view = PresetOrientation(ViewPoint::XAxis);
  MapCamera camera;
  EXPECT_TRUE(ApplyMapKey(vk::kUp, view, camera));
  EXPECT_TRUE(ApplyMapKey(vk::kRight, view, camera));
  EXPECT_TRUE(ApplyMapKey(vk::kNumpad9, view, camera));
  EXPECT_EQ(view.rotX, -90.0);
  EXPECT_EQ(view.rotY, 0.0);
  EXPECT_FALSE(camera.zoomPending);
}

TEST(MapKeys, ZoomKeysAndTheLetterI) {
  MapOrientation view;
  MapCamera camera;
  // The letter I zooms in as the main window's key does, up to 1.5.
  EXPECT_TRUE(ApplyMapKey(vk::kLetterI, view, camera));
  EXPECT_TRUE(camera.zoomInRequested);
  camera.zoomPending = camera.zoomInRequested = false;

  // Zooming out needs a zoom to undo.
  EXPECT_TRUE(ApplyMapKey(vk::kLetterO, view, camera));
  EXPECT_FALSE(camera.zoomPending);

  EXPECT_TRUE(ApplyMapKey(vk::kNumpad9, view, camera));
  EXPECT_TRUE(camera.zoomPending);
  EXPECT_TRUE(camera.zoomInRequested);
  EXPECT_FLOAT_EQ(camera.zoomFactor, 1.01f);
  EXPECT_FLOAT_EQ(camera.zoomMouseX, kKeyboardZoomPoint);

  camera.scale = 1.2f;
  for (const int code : {vk::kLetterO, vk::kDivide}) {
    camera.zoomPending = false;
    EXPECT_TRUE(ApplyMapKey(code, view, camera));
    EXPECT_TRUE(camera.zoomOutRequested);
    EXPECT_FLOAT_EQ(camera.zoomFactor, 0.99f);
  }

  // The zoom-in limit.
  camera.zoomPending = false;
  camera.scale = 1.0f;
  camera.PushZoom(45, 45, 1.4f);
  EXPECT_TRUE(ApplyMapKey(vk::kNumpad9, view, camera));
  EXPECT_FALSE(camera.zoomPending);
  EXPECT_TRUE(ApplyMapKey(vk::kLetterI, view, camera));
  EXPECT_TRUE(camera.zoomPending);
  camera.zoomPending = false;
  camera.PushZoom(45, 45, 1.1f);  // 1.54
  EXPECT_TRUE(ApplyMapKey(vk::kLetterI, view, camera));
  EXPECT_FALSE(camera.zoomPending);
}

TEST(MapKeys, PresetsSetRotationsAndResetPanAndZoom) {
  struct Case { int code; int viewPoint; double x, y, z; };
  const Case cases[] = {{vk::kLetterD, 0, -50, 15, 107}, {vk::kNumpad4, 0, -50, 15, 107},
                        {vk::kLetterX, 1, -90, 0, 0},    {vk::kF9, 1, -90, 0, 0},
                        {vk::kLetterY, 2, -90, 0, 90},   {vk::kF10, 2, -90, 0, 90},
                        {vk::kLetterZ, 3, 0, 0, 0},      {vk::kF11, 3, 0, 0, 0}};
  for (const Case& c : cases) {
    MapOrientation view{12, 34, 56, 2};
    MapCamera camera;
    camera.Pan(4, 4);
    camera.PushZoom(10, 10, 1.1f);
    camera.scale = 1.2f;
    camera.freshView = false;
    EXPECT_TRUE(ApplyMapKey(c.code, view, camera));
    EXPECT_EQ(view.viewPoint, c.viewPoint) << c.code;
    EXPECT_EQ(view.rotX, c.x);
    EXPECT_EQ(view.rotY, c.y);
    EXPECT_EQ(view.rotZ, c.z);
    EXPECT_TRUE(camera.zoomStackScale.empty());
    EXPECT_FLOAT_EQ(camera.TotalScale(), 1.0f);
    EXPECT_EQ(camera.eyeX, 0.0f);
    EXPECT_TRUE(camera.freshView);
  }
}

TEST(MapZoom, HitsKeepMultiplyingNearTheCentreAndFreezeWhenFar) {
  MapCamera camera;
  const float level = 10.0f;
  camera.RequestZoom(100, 100, true);
  camera.ResolveZoom(PickedPoint{20, 20, 12}, level, true);
  // The first hit after a reset does not freeze the (identity) zoom.
  EXPECT_TRUE(camera.lastPickHit);
  EXPECT_TRUE(camera.zoomStackScale.empty());
  EXPECT_FLOAT_EQ(camera.scale, 1.01f);
  EXPECT_FLOAT_EQ(camera.zoomCentreX, 20.0f);
  EXPECT_FALSE(camera.zoomPending);

  camera.RequestZoom(100, 100, true);
  camera.ResolveZoom(PickedPoint{20.5f, 19.5f, 10}, level, true);
  EXPECT_TRUE(camera.zoomStackScale.empty());
  EXPECT_FLOAT_EQ(camera.scale, 1.01f * 1.01f);

  camera.RequestZoom(100, 100, true);
  camera.ResolveZoom(PickedPoint{60, 60, 10}, level, true);
  ASSERT_EQ(camera.zoomStackScale.size(), 1u);
  EXPECT_FLOAT_EQ(camera.zoomStackX[0], 20.5f);
  EXPECT_FLOAT_EQ(camera.zoomStackScale[0], 1.01f * 1.01f);
  EXPECT_FLOAT_EQ(camera.scale, 1.01f);
  EXPECT_FLOAT_EQ(camera.TotalScale(), 1.01f * 1.01f * 1.01f);

  // The first miss after hits freezes too, then zooms about (45, 45).
  camera.RequestZoom(100, 100, false);
  camera.ResolveZoom(std::nullopt, level, true);
  EXPECT_EQ(camera.zoomStackScale.size(), 2u);
  EXPECT_FLOAT_EQ(camera.zoomCentreX, 45.0f);
  EXPECT_FLOAT_EQ(camera.scale, 0.99f);
  EXPECT_FALSE(camera.lastPickHit);
  EXPECT_FALSE(camera.zoomOutRequested);
}

TEST(MapZoom, PointsOffTheSurfaceOrWithMouseZoomOffMiss) {
  const PickedPoint misses[] = {{0, 40, 10}, {80, 40, 10}, {40, 0, 10}, {40, 80, 10},
                                {40, 40, 15}, {40, 40, 5}};
  for (const PickedPoint& p : misses) {
    MapCamera camera;
    camera.RequestZoom(1, 1, true);
    camera.ResolveZoom(p, 10.0f, true);
    EXPECT_FALSE(camera.lastPickHit) << p.x << "," << p.y << "," << p.z;
    EXPECT_FLOAT_EQ(camera.zoomCentreX, 45.0f);
  }
  MapCamera camera;
  camera.RequestZoom(1, 1, true);
  camera.ResolveZoom(PickedPoint{40, 40, 10}, 10.0f, false);
  EXPECT_FALSE(camera.lastPickHit);

  // Nothing pending: nothing happens.
  MapCamera idle;
  idle.ResolveZoom(PickedPoint{40, 40, 10}, 10.0f, true);
  EXPECT_FLOAT_EQ(idle.scale, 1.0f);
}

TEST(MapDrag, LeftPansUnlessBlockedRightRotatesOnlyAloneAndWrapsOnce) {
  MapOrientation view;
  MapCamera camera;
  ApplyMapDrag(DragButtons::LeftOnly, 8, 4, false, view, camera);
  EXPECT_FLOAT_EQ(camera.eyeX, -2.0f);
  EXPECT_FLOAT_EQ(camera.eyeY, 1.0f);
  EXPECT_FLOAT_EQ(camera.centreX, -2.0f);
  EXPECT_FLOAT_EQ(camera.centreY, 1.0f);
  ApplyMapDrag(DragButtons::LeftOnly, 8, 4, true, view, camera);
  EXPECT_FLOAT_EQ(camera.eyeX, -2.0f);
  ApplyMapDrag(DragButtons::Other, 8, 4, false, view, camera);
  EXPECT_FLOAT_EQ(camera.eyeX, -2.0f);
  EXPECT_EQ(view.rotX, 0.0);

  view.rotX = 359.0;
  ApplyMapDrag(DragButtons::RightOnly, 8, 8, false, view, camera);
  EXPECT_EQ(view.rotX, 1.0);
  EXPECT_EQ(view.rotZ, 2.0);
  ApplyMapDrag(DragButtons::RightOnly, -400, -8, false, view, camera);
  EXPECT_EQ(view.rotX, -1.0);  // only the upper end wraps
  EXPECT_EQ(view.rotZ, -98.0);
}

}  // namespace
}  // namespace pelorin
