// Paths, serial numbers and device messages reach the JUnit file with any bytes in them:
// whatever comes in, what goes out must be well-formed XML character data, UTF-8 and free
// of the characters XML 1.0 cannot hold.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/xml_text.h"

namespace {

// Length of the UTF-8 sequence at s[i] and its code point; 0 when malformed.
size_t Sequence(std::string_view s, size_t i, uint32_t* cp) {
  const auto b = static_cast<uint8_t>(s[i]);
  const size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  *cp = n == 1 ? b : b & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    const auto c = static_cast<uint8_t>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    *cp = (*cp << 6) | (c & 0x3F);
  }
  return n;
}

void Check(std::string_view out, bool attribute) {
  for (size_t i = 0; i < out.size();) {
    uint32_t cp = 0;
    const size_t n = Sequence(out, i, &cp);
    if (n == 0) __builtin_trap();
    const bool allowed = cp == 0x9 || cp == 0xA || (cp >= 0x20 && cp <= 0xD7FF) ||
                         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
    if (!allowed || cp == '<' || cp == '>' || cp == '"' || cp == '\'') __builtin_trap();
    if (attribute && (cp == 0x9 || cp == 0xA)) __builtin_trap();  // a parser folds them
    if (cp == '&') {
      const size_t end = out.find(';', i);
      if (end == std::string_view::npos) __builtin_trap();
      const std::string_view entity = out.substr(i, end - i + 1);
      if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;" &&
          entity != "&apos;" && entity != "&#10;" && entity != "&#13;" && entity != "&#9;")
        __builtin_trap();
    }
    i += n;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Check(pelorin::XmlEscape(text, true), true);
  Check(pelorin::XmlEscape(text, false), false);
  return 0;
}
