#include "data/ini_reader.h"

#include <algorithm>
#include <limits>

namespace pelorin {
namespace {

// A stray NUL byte counts as a blank, so that a damaged file still reads line by line.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\0';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
  };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

IniReader::IniReader(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // UTF-8 byte-order mark
  std::string_view section;
  bool inSection = false;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));

    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    if (line.front() == '[') {
      line.remove_prefix(1);
      section = Trim(line.substr(0, line.find(']')));
      inSection = true;
      continue;
    }
    const size_t sep = line.find_first_of("=:");
    if (sep == std::string_view::npos || !inSection) continue;
    entries_.push_back({std::string(section), std::string(Trim(line.substr(0, sep))),
                        std::string(Trim(line.substr(sep + 1)))});
  }
}

const std::string* IniReader::Find(std::string_view section, std::string_view key) const {
  for (const Entry& e : entries_)
    if (SameName(e.section, section) && SameName(e.key, key)) return &e.value;
  return nullptr;
}

int32_t IniReader::ParseInt(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int64_t v = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    v = std::min(v * 10 + (c - '0'), kLimit);
  }
  if (negative) v = -v;
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int32_t IniReader::GetInt(std::string_view section, std::string_view key, int32_t fallback) const {
  const std::string* v = Find(section, key);
  return v == nullptr ? fallback : ParseInt(*v);
}

std::string IniReader::GetText(std::string_view section, std::string_view key,
                               std::string_view fallback, size_t maxLength) const {
  const std::string* v = Find(section, key);
  return std::string((v == nullptr ? fallback : std::string_view(*v)).substr(0, maxLength));
}

}  // namespace pelorin
