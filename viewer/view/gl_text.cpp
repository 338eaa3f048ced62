#include "view/gl_text.h"

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/image.h>
#include <wx/settings.h>

namespace pelorin {

namespace {
constexpr int kCodes = 128;

GlyphBitmap Blank(int advance) {
  GlyphBitmap g;
  g.advance = advance;
  g.rows.assign(1, 0);
  return g;
}
}  // namespace

GlyphBitmap RasteriseGlyph(const wxFont& font, char code) {
  if (code < 32 || code == 127) return Blank(0);
  const wxString text(code);
  wxBitmap bitmap(1, 1, 24);
  wxMemoryDC dc(bitmap);
  dc.SetFont(font);
  wxCoord w = 0, h = 0, descent = 0;
  dc.GetTextExtent(text, &w, &h, &descent);
  dc.SelectObject(wxNullBitmap);
  if (w <= 0 || h <= 0) return Blank(std::max(w, 0));

  bitmap = wxBitmap(w, h, 24);
  dc.SelectObject(bitmap);
  dc.SetBackground(*wxBLACK_BRUSH);
  dc.Clear();
  dc.SetTextForeground(*wxWHITE);
  dc.SetTextBackground(*wxBLACK);
  dc.DrawText(text, 0, 0);
  dc.SelectObject(wxNullBitmap);
  const wxImage image = bitmap.ConvertToImage();

  GlyphBitmap g;
  g.width = w;
  g.height = h;
  g.baseline = descent;
  g.advance = w;
  const int stride = (w + 7) / 8;
  g.rows.assign(static_cast<size_t>(stride * h), 0);
  bool ink = false;
  for (int row = 0; row < h; ++row) {
    const int y = h - 1 - row;  // glBitmap wants the bottom row first
    for (int x = 0; x < w; ++x) {
      // Anti-aliased edges count from half intensity, as a 1-bit glyph needs.
      if (image.GetRed(x, y) >= 128) {
        g.rows[static_cast<size_t>(row * stride + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        ink = true;
      }
    }
  }
  return ink ? g : Blank(w);
}

void GlBitmapFont::Build(const wxFont& font) {
  const GLuint base = glGenLists(kCodes);
  if (base == 0) return;  // no current context: try again at the next paint
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int c = 0; c < kCodes; ++c) {
    const GlyphBitmap g = RasteriseGlyph(font, static_cast<char>(c));
    glNewList(base + static_cast<GLuint>(c), GL_COMPILE);
    glBitmap(g.width, g.height, 0.0f, static_cast<GLfloat>(g.baseline),
             static_cast<GLfloat>(g.advance), 0.0f, g.rows.data());
    glEndList();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  base_ = base;
}

void GlBitmapFont::Draw(std::string_view text) const {
  if (base_ == 0) return;
  for (const char ch : text) {
    const int code = static_cast<signed char>(ch);
    if (code >= 0) glCallList(base_ + static_cast<GLuint>(code));
  }
}

wxFont NormalLabelFont() { return wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT); }

wxFont LargeLabelFont() {
  // 24 pixels, bold, "Courier New" where installed, else the system's monospaced face.
  return wxFont(wxFontInfo(wxSize(0, 24)).Family(wxFONTFAMILY_TELETYPE).FaceName("Courier New").Bold());
}

void MapTextPrinter::PrintText(float x, float y, std::string_view text) {
  if (!normal_.Built()) {
    normal_.Build(NormalLabelFont());
    large_.Build(LargeLabelFont());
  }
  glRasterPos2f(x, y);
  if (text == "+" || text == "-") {
    large_.Draw(text);
  } else {
    normal_.Draw(text);
  }
}

void SnrTextPrinter::PrintSnrText(float x, float y, std::string_view text) {
  if (!font_.Built()) font_.Build(NormalLabelFont());
  glRasterPos2f(x, y);
  font_.Draw(text);
}

}  // namespace pelorin
