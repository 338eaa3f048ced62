#include "view/map_picture.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>

#include "view/map_window.h"

namespace pelorin {
namespace {

constexpr int kSavePictureId = wxID_HIGHEST + 701;
// A right button that moved less than this between press and release clicked.
constexpr int kClickSlack = 3;

SavePictureUi g_ui;  // window thread only

int Pick(COpenGLControl& map, wxMenu& menu, const wxPoint& at) {
  if (g_ui.pick) return g_ui.pick(map, menu, at);
  return map.GetPopupMenuSelectionFromUser(menu, at);
}

wxString AskPath(COpenGLControl& map) {
  if (g_ui.askPath) return g_ui.askPath(map);
  wxFileDialog dialog(&map, "Save picture", "", "Pelorin_map.png", "PNG pictures (*.png)|*.png",
                      wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  return dialog.ShowModal() == wxID_OK ? dialog.GetPath() : wxString();
}

void ShowError(COpenGLControl& map, const std::string& error) {
  if (g_ui.showError) return g_ui.showError(map, error);
  wxMessageBox(wxString::FromUTF8(error), "Save picture", wxOK | wxICON_ERROR, &map);
}

// The context menu of a right click at `at`, and what its item does.
void OfferMenu(COpenGLControl& map, const wxPoint& at) {
  wxMenu menu;
  menu.Append(kSavePictureId, "Save picture");
  if (Pick(map, menu, at) != kSavePictureId) return;
  const wxString path = AskPath(map);
  if (path.empty()) return;
  std::string error;
  if (!SaveMapPicture(map, path.utf8_string(), &error)) ShowError(map, error);
  map.Refresh(false);
}

}  // namespace

SavePictureUi SetSavePictureUi(SavePictureUi ui) {
  std::swap(ui, g_ui);
  return ui;
}

RgbImage ReadMapPicture(COpenGLControl& map) {
  RgbImage image;
  const wxSize size = map.GetClientSize();
  if (size.x <= 0 || size.y <= 0 || !map.DrawFrame()) return image;
  image.width = size.x;
  image.height = size.y;
  std::vector<uint8_t> bottomUp(size_t(size.x) * size_t(size.y) * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, size.x, size.y, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  // GL counts rows from the bottom, the picture from the top.
  image.rgb.resize(bottomUp.size());
  const size_t row = size_t(size.x) * 3;
  for (int32_t y = 0; y < size.y; ++y) {
    std::memcpy(&image.rgb[size_t(y) * row], &bottomUp[size_t(size.y - 1 - y) * row], row);
  }
  return image;
}

bool SaveMapPicture(COpenGLControl& map, const std::string& path, std::string* error) {
  const RgbImage image = ReadMapPicture(map);
  if (image.width == 0) {
    if (error != nullptr) *error = "the map has no picture to save (no OpenGL context)";
    return false;
  }
  return WritePng(path, image, error);
}

void AddSavePictureMenu(COpenGLControl& map) {
  auto pressedAt = std::make_shared<wxPoint>();
  map.Bind(wxEVT_RIGHT_DOWN, [pressedAt](wxMouseEvent& event) {
    *pressedAt = event.GetPosition();
    event.Skip();
  });
  map.Bind(wxEVT_RIGHT_UP, [&map, pressedAt](wxMouseEvent& event) {
    event.Skip();
    const wxPoint moved = event.GetPosition() - *pressedAt;
    if (std::abs(moved.x) > kClickSlack || std::abs(moved.y) > kClickSlack) return;
    OfferMenu(map, event.GetPosition());
  });
}

}  // namespace pelorin
