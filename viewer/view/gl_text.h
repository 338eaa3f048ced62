// Text in the GL windows: one display list per character code 0..127, each a glBitmap of
// the glyph rasterised from a system font. A label is glRasterPos plus one glCallList per
// character, so the raster colour (set before glRasterPos) colours the whole label.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include <GL/gl.h>

class wxFont;

namespace pelorin {

// One glyph as glBitmap takes it: rows bottom first, each (width + 7) / 8 bytes, most
// significant bit leftmost; the origin sits on the baseline.
struct GlyphBitmap {
  int width = 1;
  int height = 1;
  int baseline = 0;  // rows below the baseline (the font's descent)
  int advance = 0;   // pen movement after the glyph, pixels
  std::vector<uint8_t> rows;
  bool Bit(int x, int row) const {
    return (rows[static_cast<size_t>(row * ((width + 7) / 8) + x / 8)] >> (7 - x % 8)) & 1;
  }
};

// The glyph of one character. Control codes and characters with no ink get a blank 1 x 1
// bitmap (an empty glBitmap would not compile into a list); a space keeps its advance.
GlyphBitmap RasteriseGlyph(const wxFont& font, char code);

// 128 display lists for codes 0..127 of one font, made in the context current when Build
// runs; they belong to that context and die with it.
class GlBitmapFont {
 public:
  void Build(const wxFont& font);
  bool Built() const { return base_ != 0; }
  // Calls the lists of the text's characters at the current raster position; characters
  // outside 0..127 are skipped.
  void Draw(std::string_view text) const;

 private:
  GLuint base_ = 0;
};

// The 3-D map's labels: the window's own font, and a large bold monospaced face used for
// a text that is exactly "+" or "-" (the zoom indicator). Built at the first call, inside
// the context being painted.
class MapTextPrinter {
 public:
  void PrintText(float x, float y, std::string_view text);

 private:
  GlBitmapFont normal_;
  GlBitmapFont large_;
};

// The SNR plot's labels, in the window's own font.
class SnrTextPrinter {
 public:
  void PrintSnrText(float x, float y, std::string_view text);

 private:
  GlBitmapFont font_;
};

// The fonts the printers use: the system's GUI font and the large bold face.
wxFont NormalLabelFont();
wxFont LargeLabelFont();

}  // namespace pelorin
