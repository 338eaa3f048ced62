// The drawing of one paint of the map window, in the order the steps must run: the
// first (picking) pass, the zoom resolution against its depth buffer, the visible
// second pass, the axes, then the flat overlay.
#include <GL/glu.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include <wx/settings.h>

#include "view/map_window.h"
#include "view/mesh/levels.h"

namespace pelorin {

namespace {

constexpr float kFieldCentre = 40.0f;
// The heights the Default view's fit keeps in view: the panel's surface and moderate
// touches (a third of the height scale); higher peaks may leave at the top.
constexpr float kFieldLevelTop = kLowestHeight + 33.0f;
constexpr int kLabelCount = 25;

void Grey() { glColor3ub(190, 190, 190); }

std::string Fixed3(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// The value labels of the Style2 legend and the side-view grid: 25 steps over the range.
int32_t RangeLabel(int32_t lo, int32_t hi, int i) {
  return static_cast<int32_t>(lo + (int64_t{hi} - lo) * i / kLabelCount);
}

}  // namespace

void COpenGLControl::ApplyZooms() const {
  for (size_t i = 0; i < camera_.zoomStackScale.size(); ++i) {
    const float s = camera_.zoomStackScale[i];
    glTranslatef(camera_.zoomStackX[i], camera_.zoomStackY[i], 0.0f);
    glScalef(s, s, s);
    glTranslatef(-camera_.zoomStackX[i], -camera_.zoomStackY[i], 0.0f);
  }
  glTranslatef(camera_.zoomCentreX, camera_.zoomCentreY, 0.0f);
  glScalef(camera_.scale, camera_.scale, camera_.scale);
  glTranslatef(-camera_.zoomCentreX, -camera_.zoomCentreY, 0.0f);
}

// The triangles' outlines, each shared edge drawn once: the picture of the triangles in
// line mode at about half the lines (see MeshEdgeIndices). Arrays sized without their
// grids are drawn as the triangles in line mode.
void COpenGLControl::DrawMeshLines() {
  const GLsizei count = paint_.VertexCount();
  if (count <= 0) return;
  const std::span<const uint32_t> edges = edges_.For(paint_.grids, static_cast<size_t>(count));
  if (!edges.empty() && edges.size() <= static_cast<size_t>(INT32_MAX)) {
    glDrawElements(GL_LINES, static_cast<GLsizei>(edges.size()), GL_UNSIGNED_INT, edges.data());
    return;
  }
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glDrawArrays(GL_TRIANGLES, 0, count);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void COpenGLControl::DrawMap() {
  const int viewPoint = view_.viewPoint;
  const bool freeView = IsFreeView(viewPoint);
  const GLsizei count = paint_.VertexCount();
  if (count > 0) {
    glVertexPointer(3, GL_FLOAT, 0, paint_.vertices.data());
    glColorPointer(3, GL_FLOAT, 0, paint_.colours.data());
  }

  // 1. Projection and a clean frame.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-55, 55, -50, 50, -400, 400);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushMatrix();

  // 2. Camera: the free views follow the pan, the side views look straight on.
  if (freeView) {
    gluLookAt(camera_.eyeX, camera_.eyeY, 80, camera_.centreX, camera_.centreY,
              camera_.centreZ, 0, 1, 0);
  } else {
    gluLookAt(0, 0, 80, 0, 0, 0, 0, 1, 0);
  }

  // 3. Placement of the field in the view.
  if (viewPoint == static_cast<int>(ViewPoint::ZAxis)) {
    glTranslatef(-41.0f, -39.0f, 0.0f);
  } else if (freeView) {
    // The fixed placement (-50, -56) cuts the field at the left and the bottom at zoom
    // 1x: the field is scaled and centred in the free area instead, once for all paints.
    static const FieldPlacement place = DefaultFieldPlacement(kLowestHeight, kFieldLevelTop);
    glTranslatef(place.x - kFieldCentre * place.scale, place.y - kFieldCentre * place.scale, 0.0f);
    glScalef(place.scale, place.scale, place.scale);
  } else {
    glTranslatef(-51.0f, -78.0f, -37.8f);
  }

  // 4. The level the zoom picker accepts a surface point around.
  averageHeight_ = RefLevel(paint_.averageValue, view_.rangeMin, view_.rangeMax);

  // 5. Rotation about the field centre.
  glTranslatef(kFieldCentre, kFieldCentre, 0.0f);
  glRotatef(static_cast<GLfloat>(view_.rotX), 1, 0, 0);
  glRotatef(static_cast<GLfloat>(view_.rotY), 0, 1, 0);
  glRotatef(static_cast<GLfloat>(view_.rotZ), 0, 0, 1);
  glTranslatef(-kFieldCentre, -kFieldCentre, 0.0f);

  // 6. First pass. With mouse zoom on, a black fill pushed slightly back gives the
  // depth buffer a surface to pick on and hides the lines behind it.
  glPushMatrix();
  ApplyZooms();
  // With the second pass on, this pass is cleared away before anyone sees it; it is drawn
  // only when a zoom step needs its depth. The picture stays the same, the paint halves.
  const bool firstPassDrawn = !data_.showSecondPass || camera_.zoomPending;
  if (firstPassDrawn && mouseZoom_ && count > 0) {
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.0f, 1.0f);
    glDisableClientState(GL_COLOR_ARRAY);
    glColor3f(0.0f, 0.0f, 0.0f);
    glDrawArrays(GL_TRIANGLES, 0, count);
    glEnableClientState(GL_COLOR_ARRAY);
    glDisable(GL_POLYGON_OFFSET_FILL);
  }
  if (firstPassDrawn) DrawMeshLines();
  glGetIntegerv(GL_VIEWPORT, pass_.viewport.data());
  glGetDoublev(GL_PROJECTION_MATRIX, pass_.projection.data());
  glGetDoublev(GL_MODELVIEW_MATRIX, pass_.modelview.data());
  glPopMatrix();

  // 7. A pending zoom step is resolved against this pass's depth buffer.
  ResolvePendingZoom();

  // 8. Second pass: the plain line mesh, with the zoom applied on the rotated matrix.
  if (data_.showSecondPass) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ApplyZooms();
    DrawMeshLines();
  }

  // 9. Axes along the field's x and y edges.
  if (freeView) DrawAxes();
  glPopMatrix();

  // 10 - 15. The flat overlay.
  DrawOverlay();
}

void COpenGLControl::ResolvePendingZoom() {
  if (!camera_.zoomPending) return;
  const auto& vp = pass_.viewport;
  const double wx = camera_.zoomMouseX;
  const double wy = vp[3] - camera_.zoomMouseY;
  std::optional<PickedPoint> picked;
  // A point outside the window (the keyboard's step) has no depth to read: a miss.
  if (wx >= vp[0] && wx < vp[0] + vp[2] && wy >= vp[1] && wy < vp[1] + vp[3]) {
    GLfloat depth = 1.0f;
    glReadPixels(static_cast<GLint>(wx), static_cast<GLint>(wy), 1, 1, GL_DEPTH_COMPONENT,
                 GL_FLOAT, &depth);
    GLdouble px = 0, py = 0, pz = 0;
    if (gluUnProject(wx, wy, depth, pass_.modelview.data(), pass_.projection.data(),
                     vp.data(), &px, &py, &pz) == GL_TRUE) {
      picked = PickedPoint{static_cast<float>(px), static_cast<float>(py),
                           static_cast<float>(pz)};
    }
  }
  camera_.ResolveZoom(picked, averageHeight_, mouseZoom_);
}

void COpenGLControl::DrawAxes() const {
  const bool style1 = view_.Style() == DrawStyle::Style1;
  glDisableClientState(GL_COLOR_ARRAY);
  glBegin(GL_LINES);
  if (style1) glColor3f(1.0f, 1.0f, 0.5f); else glColor3f(1.0f, 1.0f, 1.0f);
  glVertex3f(0, 0, 0);
  glVertex3f(80, 0, 0);
  if (style1) glColor3f(0.0f, 0.0f, 1.0f);
  glVertex3f(0, 0, 0);
  glVertex3f(0, 80, 0);
  glEnd();
  glEnableClientState(GL_COLOR_ARRAY);
}

void COpenGLControl::DrawOverlay() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-55, 55, -50, 50, 0, 200);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // Label positions follow the screen, so narrow screens keep them on the window.
  const int screenWidth = wxSystemSettings::GetMetric(wxSYS_SCREEN_X);
  const float s = 5.0f * std::min(static_cast<float>(screenWidth) / 1280.0f, 1.0f);

  DrawLegend(s);
  if (IsFreeView(view_.viewPoint)) DrawZoomIndicator();
  const bool sideView = !IsFreeView(view_.viewPoint);
  if (sideView && view_.rotX == -90.0) DrawSideGrid(s);
  DrawTexts(s);
}

void COpenGLControl::DrawLegend(float s) {
  const int32_t lo = view_.rangeMin;
  const int32_t hi = view_.rangeMax;
  if (view_.Style() == DrawStyle::Style2) {
    const float barX = s + 45.0f;
    struct Stop { float y, r, g, b; };
    constexpr Stop stops[] = {{50, 1, 0, 0}, {25, 1, 1, 0}, {0, 0, 1, 0}, {-25, 0, 1, 1},
                              {-50, 0, 0, 1}};
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
      const Stop& top = stops[i];
      const Stop& bottom = stops[i + 1];
      glColor3f(top.r, top.g, top.b);
      glVertex2f(barX, top.y);
      glVertex2f(barX + 2.0f, top.y);
      glColor3f(bottom.r, bottom.g, bottom.b);
      glVertex2f(barX + 2.0f, bottom.y);
      glVertex2f(barX, bottom.y);
    }
    glEnd();
    glColor3f(1, 1, 1);
    for (int i = 0; i < kLabelCount; ++i) {
      text_.PrintText(s + 47.0f, 4.0f * i - 50.0f, std::to_string(RangeLabel(lo, hi, i)));
    }
  } else {
    glBegin(GL_QUADS);
    for (int i = 0; i < kPaletteSize; ++i) {
      const PaletteRgb& c = kPalette[static_cast<size_t>(i)];
      glColor3ub(static_cast<GLubyte>(c.r), static_cast<GLubyte>(c.g), static_cast<GLubyte>(c.b));
      const float y = 2.0f * i - 50.0f;
      glVertex2f(50, y);
      glVertex2f(52, y);
      glVertex2f(52, y + 2);
      glVertex2f(50, y + 2);
    }
    glEnd();
    glColor3f(1, 1, 1);
    for (int i = 0; i < kPaletteSize; i += 2) {
      text_.PrintText(52.0f, 2.0f * i - 50.0f, std::to_string(kPaletteBandWidth * i));
    }
  }
}

void COpenGLControl::DrawZoomIndicator() {
  Grey();
  glRectf(-52.0f, 26.0f, -51.5f, 47.0f);
  glColor3f(1, 1, 1);
  text_.PrintText(-52.5f, 47.4f, "+");
  text_.PrintText(-52.5f, 24.0f, "-");
  const float total = std::clamp(camera_.TotalScale(), 1.0f, kMapZoomInLimit);
  const float t = (total - 1.0f) / 0.4f * 20.0f;
  glColor3f(1, 1, 1);
  glRectf(-52.75f, t + 26.0f, -50.75f, t + 27.0f);
}

void COpenGLControl::DrawSideGrid(float s) {
  Grey();
  glBegin(GL_LINES);
  for (int i = 0; i < kLabelCount; ++i) {
    glVertex2f(-51.0f, 4.0f * i - 50.0f);
    glVertex2f(29.0f, 4.0f * i - 50.0f);
  }
  glEnd();
  text_.PrintText(s + 30.0f, -15.0f, "Min:" + std::to_string(paint_.minLabel));
  text_.PrintText(s + 30.0f, 15.0f, "Max:" + std::to_string(paint_.maxLabel));
  for (int i = 0; i < kLabelCount; ++i) {
    text_.PrintText(-55.0f, 4.0f * i - 50.0f,
                    std::to_string(RangeLabel(view_.rangeMin, view_.rangeMax, i)));
  }
}

void COpenGLControl::DrawTexts(float s) {
  // The texts keep the colour last set (the grey of the side-view grid, else white).
  if (data_.showSD) {
    text_.PrintText(s + 30.0f, 0.0f, "SD:" + Fixed3(data_.standardDeviation));
  } else if (data_.showFlatness) {
    text_.PrintText(s + 30.0f, 0.0f, "Flatness:" + Fixed3(data_.flatness));
  }
  if (data_.sourceNames.size() >= 2) {
    std::string names = "Load type:";
    for (size_t i = 0; i < data_.sourceNames.size(); ++i) {
      if (i > 0) names += " / ";
      names += data_.sourceNames[i];
    }
    text_.PrintText(-55.0f, 47.0f, names);
  }
}

}  // namespace pelorin
