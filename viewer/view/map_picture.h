// "Save picture" of the map: what the map window shows, read from its GL frame and
// written as a PNG. The menu opens on a right click that did not drag (a right drag
// rotates the map).
#pragma once

#include <functional>
#include <string>

#include <wx/gdicmn.h>
#include <wx/string.h>

#include "data/export/png_map.h"

class wxMenu;

namespace pelorin {

class COpenGLControl;

// Draws the map as it is shown and reads it back, rows top to bottom. Empty (width 0)
// when the window has no GL context.
RgbImage ReadMapPicture(COpenGLControl& map);
bool SaveMapPicture(COpenGLControl& map, const std::string& path, std::string* error);

// Gives the map its context menu with "Save picture", which asks for a file name.
void AddSavePictureMenu(COpenGLControl& map);

// Where the menu meets the user: the item picked from the menu shown at `at` (wxID_NONE
// for none), the file to save to (empty when cancelled), a failure to save. An empty
// member is the toolkit's popup menu, save dialog or message box; tests answer instead,
// since each of those waits for the user.
struct SavePictureUi {
  std::function<int(COpenGLControl& map, wxMenu& menu, const wxPoint& at)> pick;
  std::function<wxString(COpenGLControl& map)> askPath;
  std::function<void(COpenGLControl& map, const std::string& error)> showError;
};
// For every map of the program (window thread only); returns the one it replaces.
SavePictureUi SetSavePictureUi(SavePictureUi ui);

}  // namespace pelorin
