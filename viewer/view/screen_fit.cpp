#include "view/screen_fit.h"

#include <algorithm>

#include <wx/display.h>
#include <wx/window.h>

namespace pelorin {

ScreenFactors ScreenFactorsFor(int screenWidth, int screenHeight) {
  ScreenFactors f;
  if (screenWidth > 0 && screenWidth < 1280) f.sx = screenWidth / 1280.0;
  if (screenHeight > 0 && screenHeight < 1024) f.sy = screenHeight / 1024.0;
  return f;
}

ScreenFactors FitFactors(ScreenFactors screen, wxSize client, wxSize frame, wxSize area) {
  ScreenFactors f = screen;
  if (client.x > 0 && client.x * f.sx + frame.x > area.x)
    f.sx = std::max(area.x - frame.x, 1) / static_cast<double>(client.x);
  if (client.y > 0 && client.y * f.sy + frame.y > area.y)
    f.sy = std::max(area.y - frame.y, 1) / static_cast<double>(client.y);
  return f;
}

wxSize CurrentScreenSize() {
  return wxDisplay(static_cast<unsigned>(0)).GetGeometry().GetSize();
}

ScreenFactors CurrentScreenFactors() {
  const wxSize size = CurrentScreenSize();
  return ScreenFactorsFor(size.x, size.y);
}

wxFont ScaledFont(const wxFont& font, double /*fx*/, double fy) {
  wxFont scaled(font);
  if (fy != 1.0) scaled.SetFractionalPointSize(font.GetFractionalPointSize() * fy);
  return scaled;
}

wxRect ScaleRect(const wxRect& rect, double sx, double sy) {
  return {static_cast<int>(rect.x * sx), static_cast<int>(rect.y * sy),
          static_cast<int>(rect.width * sx), static_cast<int>(rect.height * sy)};
}

void FitChild(wxWindow* child, const wxFont& font, ScreenFactors factors) {
  if (font.IsOk()) child->SetFont(font);
  child->SetSize(ScaleRect(child->GetRect(), factors.sx, factors.sy));
}

void FitChildren(wxWindow* parent, const std::vector<int>& ids, const wxFont& font,
                 ScreenFactors factors) {
  for (int id : ids) {
    wxWindow* child = parent->FindWindow(id);
    if (child == nullptr || child->GetParent() != parent) continue;
    FitChild(child, font, factors);
  }
}

}  // namespace pelorin
