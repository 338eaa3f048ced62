#include "discovery/custom_list.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "device_type.h"
#include "log_sink.h"
#include "small_file.h"

namespace corlink {

namespace {

constexpr size_t kLineMax = 1023;
constexpr const char* kFileName = "qortouch.ini";

CustomList g_list{};

void PrintUnknownType() { Log("The device type read from INI file is UNKNOWN.\n"); }

bool Contains(const char* s, const char* what) { return std::strstr(s, what) != nullptr; }

bool ContainsNoCase(const char* s, const char* what) { return strcasestr(s, what) != nullptr; }

// Parses "<prefix>XXXX" at s: up to four hex digits. Returns the position after the digits,
// or nullptr when the prefix or the digits are missing.
const char* HexField(const char* s, const char* prefix, int32_t* value) {
  const size_t n = std::strlen(prefix);
  if (std::strncmp(s, prefix, n) != 0) return nullptr;
  s += n;
  int32_t v = 0;
  int digits = 0;
  while (digits < 4 && std::isxdigit(static_cast<unsigned char>(*s))) {
    const char c = *s++;
    v = v * 16 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10);
    ++digits;
  }
  if (digits == 0) return nullptr;
  *value = v;
  return s;
}

// "vid_%4x&pid_%4x" (or "ven_%4x&dev_%4x") at the start of the token; like a scanf, a
// field that does not parse leaves its value, and the fields after it, untouched.
void ParseIds(const char* token, bool ven, int32_t* vendor, int32_t* product) {
  const char* rest = HexField(token, ven ? "ven_" : "vid_", vendor);
  if (rest != nullptr) HexField(rest, ven ? "&dev_" : "&pid_", product);
}

// Collection number of a "col" token: the digits right after "col" when they give a
// non-zero number, otherwise the last digit other than '0' in the token. Returns 0 when
// the token names none.
int32_t CollectionOfToken(const char* token) {
  const char* p = std::strstr(token, "col");
  if (p != nullptr) {
    p += 3;
    int32_t v = 0;
    int digits = 0;
    while (digits < 3 && std::isdigit(static_cast<unsigned char>(*p))) {
      v = v * 10 + (*p++ - '0');
      ++digits;
    }
    if (v > 0) return v;
  }
  int32_t last = 0;
  for (const char* q = token; *q; ++q)
    if (*q >= '1' && *q <= '9') last = *q - '0';
  return last;
}

void Lower(char* s) {
  for (; *s; ++s) *s = static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
}

class ListParser {
 public:
  explicit ListParser(CustomList& list) : list_(list) {
    list_.count = 0;
    std::memset(list_.entries, 0, sizeof list_.entries);
    std::memset(&entry_, 0, sizeof entry_);
  }

  // Returns false once reading must stop.
  bool Line(char* line) {
    if (char* semi = std::strchr(line, ';')) *semi = '\0';
    if (line[0] == '[') return Token(line);
    // Whether the line names a collection decides if a row gets the default one.
    line_has_col_ = ContainsNoCase(line, "col");
    char* save = nullptr;
    for (char* tok = strtok_r(line, " \r\n\t", &save); tok != nullptr;
         tok = strtok_r(nullptr, " \r\n\t", &save)) {
      if (!Token(tok)) return false;
    }
    return true;
  }

 private:
  bool Token(char* token) {
    Lower(token);
    if (token[0] == '[') {
      Section(token + 1);
    } else {
      const bool device = (Contains(token, "vid") && Contains(token, "pid")) ||
                          (Contains(token, "ven") && Contains(token, "dev"));
      if (device && !Device(token)) return false;
      if (Contains(token, "col")) {
        if (const int32_t c = CollectionOfToken(token)) entry_.collection = c;
      }
    }
    if (entry_.vendor_id > 0 && entry_.product_id > 0 && entry_.collection > 0 &&
        entry_.device_type != NOT_SET) {
      list_.entries[list_.count++] = entry_;
      std::memset(&entry_, 0, sizeof entry_);
    }
    return true;
  }

  void Section(const char* name) {
    std::string inner(name);
    const size_t close = inner.find(']');
    if (close != std::string::npos) inner.resize(close);
    section_type_ = TypeOfSection(inner.c_str());
    have_section_ = true;
  }

  bool Device(char* token) {
    // A full list refuses the next row, with one message, and reading stops there.
    if (list_.count >= kMaxCustomEntries) {
      Log("Error: exceed max custom device number(%d), remove unused entry in qortouch.ini\n",
          kMaxCustomEntries);
      return false;
    }
    if (char* comma = std::strchr(token, ',')) *comma = '\0';
    ParseIds(token, Contains(token, "ven"), &entry_.vendor_id, &entry_.product_id);
    std::snprintf(entry_.pattern, sizeof entry_.pattern, "%s", token);
    entry_.device_type =
        have_section_ ? section_type_ : TypeOfIds(entry_.vendor_id, entry_.product_id);
    if (!line_has_col_) entry_.collection = 4;
    entry_.enabled = 1;
    return true;
  }

  CustomList& list_;
  DeviceMatchEntry entry_;
  bool have_section_ = false;
  int32_t section_type_ = UNKNOWN;
  bool line_has_col_ = false;
};

}  // namespace

int32_t TypeOfSection(const char* name) {
  static const struct {
    const char* key;
    int32_t type;
  } kSections[] = {
      {"z2_usb_brg", DEV_Z2_USB_BRG},
      {"z2_i2c_master", DEV_Z2_I2C_MASTER},
      {"z3_usb_brg", DEV_Z3_USB_BRG},
      {"z3_i2c_master", DEV_Z3_I2C_MASTER},
      {"z2_usb", DEV_Z2_USB},
      {"z3_usb", DEV_Z3_USB},
      {"z3_hid_over_i2c", DEV_Z3_HID_OVER_I2C},
      {"spi", DEV_SPI},
      {"i2c", DEV_Z2_I2C},
  };
  for (const auto& s : kSections)
    if (Contains(name, s.key)) return s.type;
  PrintUnknownType();
  return UNKNOWN;
}

int32_t TypeOfIds(int32_t vendor_id, int32_t product_id) {
  if (vendor_id == 0x8086) return DEV_Z2_I2C;
  switch (product_id) {
    case 0x0100:
    case 0x3a04:
    case 0x3a05: return DEV_Z2_USB;
    case 0x3a01:
    case 0x3a02: return DEV_Z2_USB_BRG;
    case 0x3a06: return DEV_Z3_USB;
    case 0x3a03: return DEV_Z2_I2C_MASTER;
    case 0x3a08: return DEV_SPI;
    case 0x3a07: return DEV_Z3_USB_BRG;
    default: PrintUnknownType(); return UNKNOWN;
  }
}

void ParseCustomList(const char* text, size_t size, CustomList& list) {
  ListParser parser(list);
  char line[kLineMax + 1];
  size_t pos = 0;
  // Lines longer than the buffer are read in pieces, each taken as a line of its own.
  while (pos < size) {
    size_t n = 0;
    while (pos < size && n < kLineMax) {
      const char c = text[pos++];
      line[n++] = c;
      if (c == '\n') break;
    }
    line[n] = '\0';
    // An embedded NUL ends the line's text, as it would for any C string reader.
    if (!parser.Line(line)) break;
  }
}

CustomList& LoadCustomList() {
  if (g_list.loaded) return g_list;
  g_list.loaded = true;
  g_list.count = 0;
  // A list holds at most 128 rows; a megabyte is far more than any real one needs. A
  // missing file is an empty list.
  const std::string text = ReadSmallFile(kFileName, 1u << 20);
  ParseCustomList(text.data(), text.size(), g_list);
  return g_list;
}

void ResetCustomListForTest() { std::memset(&g_list, 0, sizeof g_list); }

}  // namespace corlink
