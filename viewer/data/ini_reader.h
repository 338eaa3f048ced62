// IniReader: reads single values from an INI-style text by section and key, the way the
// viewer reads PLsetting.ini at start. It works on the file itself, independent of the
// SettingsStore (a file too large for the store is still read).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

class IniReader {
 public:
  // Of a larger file, only this much is read.
  static constexpr size_t kMaxReadSize = 16u << 20;

  // Lines: "[name]" starts a section; "key = value" (or "key : value") belongs to the
  // section above; "#" starts a comment that runs to the end of the line. Names and
  // values are trimmed of blanks. Keys before the first section belong to no section. A
  // UTF-8 byte-order mark at the start is skipped.
  explicit IniReader(std::string_view text);

  // The value of the first matching key in the first matching section, names compared
  // without regard to ASCII case; nullptr when missing.
  const std::string* Find(std::string_view section, std::string_view key) const;

  // Signed decimal integer: optional sign, digits up to the first other character
  // (none gives 0), held to the 32-bit range. fallback when the key is missing.
  int32_t GetInt(std::string_view section, std::string_view key, int32_t fallback) const;

  // The value, cut to maxLength characters; fallback when the key is missing.
  std::string GetText(std::string_view section, std::string_view key, std::string_view fallback,
                      size_t maxLength) const;

  // The number parsing of GetInt on its own.
  static int32_t ParseInt(std::string_view text);

 private:
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  std::vector<Entry> entries_;
};

}  // namespace pelorin
