// "Save picture" of the map: what the map window shows, read from its GL frame and
// written as a PNG. The menu opens on a right click that did not drag (a right drag
// rotates the map).
#pragma once

#include <string>

#include "data/export/png_map.h"

namespace pelorin {

class COpenGLControl;

// Draws the map as it is shown and reads it back, rows top to bottom. Empty (width 0)
// when the window has no GL context.
RgbImage ReadMapPicture(COpenGLControl& map);
bool SaveMapPicture(COpenGLControl& map, const std::string& path, std::string* error);

// Gives the map its context menu with "Save picture", which asks for a file name.
void AddSavePictureMenu(COpenGLControl& map);

}  // namespace pelorin
