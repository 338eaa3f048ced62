#include "cli/xml_text.h"

#include <cstdint>

namespace pelorin {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t b = byte(i);
  size_t n = 0;
  uint32_t cp = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    cp = b & 0x07;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates, beyond U+10FFFF, and U+FFFE / U+FFFF (not XML characters).
  if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) ||
      cp > 0x10FFFF || cp == 0xFFFE || cp == 0xFFFF) {
    return 0;
  }
  return n;
}

}  // namespace

std::string XmlEscape(std::string_view text, bool attribute) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    const auto u = static_cast<uint8_t>(c);
    if (u >= 0x80) {
      const size_t n = Utf8Length(text, i);
      if (n == 0) {
        out += kReplacement;
        ++i;
      } else {
        out.append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\n': out += attribute ? "&#10;" : "\n"; break;
      case '\r': out += "&#13;"; break;  // a parser would fold a bare one into the newline
      case '\t': out += attribute ? "&#9;" : "\t"; break;
      default: out += u < 0x20 ? '?' : c;
    }
    ++i;
  }
  return out;
}

}  // namespace pelorin
