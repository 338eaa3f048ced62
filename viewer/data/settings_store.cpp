#include "data/settings_store.h"

#include <algorithm>
#include <cstdio>

#include "data/diagnostics.h"

namespace pelorin {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsSeparator(char c) { return c == '=' || c == ':'; }

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

size_t Bucket(std::string_view name) {
  return SettingsStore::Hash(name) % SettingsStore::kBucketCount;
}

// States of the parser, one line (or a run of lines) at a time.
enum class ParseState { kLineStart, kSection, kComment, kKey, kAfterKey, kBeforeValue, kValue };

}  // namespace

SettingsStore::SettingsStore() { SectionNamed(kDefaultSection); }

uint32_t SettingsStore::Hash(std::string_view name) {
  uint32_t h = 0;
  for (const char ch : name) {
    int32_t c = static_cast<int8_t>(ch);
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    h = (static_cast<uint32_t>(c) ^ h) * 2u;
  }
  return h;
}

std::unique_ptr<SettingsStore> SettingsStore::Parse(std::string_view text) {
  std::unique_ptr<SettingsStore> store(new SettingsStore());
  if (text.starts_with(kUtf16LeMark) || text.starts_with(kUtf16BeMark)) {
    store->notWhole_ = std::string("the file is UTF-16 text (byte-order mark ") +
                       (text.starts_with(kUtf16LeMark) ? "FF FE" : "FE FF") + ")";
    return store;
  }
  if (text.starts_with(kUtf8Mark)) {
    store->utf8Mark_ = true;
    text.remove_prefix(kUtf8Mark.size());
  }
  // The text ends at a NUL byte; what follows it would be lost by a write-back.
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) {
    const auto line =
        1 + std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(nul), '\n');
    store->notWhole_ =
        "the file holds a NUL byte on line " + std::to_string(line) + ", where reading stopped";
    text = text.substr(0, nul);
  }

  // CR LF becomes one line feed; a lone CR stays as it is.
  std::string t;
  t.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    t.push_back(text[i]);
  }

  ParseState state = ParseState::kLineStart;
  std::string section(kDefaultSection);
  size_t sectionStart = 0, keyStart = 0, keyEnd = 0, valueStart = 0;
  const auto key = [&] { return std::string_view(t).substr(keyStart, keyEnd - keyStart); };
  const auto value = [&](size_t end) {
    return std::string_view(t).substr(valueStart, end - valueStart);
  };

  size_t i = 0;
  while (i < t.size()) {
    const char c = t[i];
    switch (state) {
      case ParseState::kLineStart:
        if (c == '[') {
          sectionStart = i + 1;
          state = ParseState::kSection;
        } else if (c == '#') {
          state = ParseState::kComment;
        } else if (!IsBlank(c)) {
          keyStart = i;
          state = ParseState::kKey;
          continue;  // the key's first character is examined as part of the key
        }
        break;
      case ParseState::kSection:
        if (c == ']') {
          section.assign(t, sectionStart, i - sectionStart);
          state = ParseState::kLineStart;
        }
        break;
      case ParseState::kComment:
        if (c == '\n') state = ParseState::kLineStart;
        break;
      case ParseState::kKey:
        if (IsBlank(c) || IsSeparator(c)) {
          keyEnd = i;
          state = ParseState::kAfterKey;
          continue;  // a separator that ends the key also starts the value
        }
        break;
      case ParseState::kAfterKey:
        // Anything between the key and its separator is skipped, line feeds included.
        if (IsSeparator(c)) state = ParseState::kBeforeValue;
        break;
      case ParseState::kBeforeValue:
        if (c == ' ' || c == '\t') break;
        valueStart = i;
        state = ParseState::kValue;
        continue;  // a line feed or "#" right after the separator gives an empty value
      case ParseState::kValue:
        if (c == '\n' || c == '#') {
          store->Store(section, key(), value(i));
          state = c == '\n' ? ParseState::kLineStart : ParseState::kComment;
        }
        break;
    }
    ++i;
  }
  // A last line without a line feed counts like any other.
  if (state == ParseState::kValue) store->Store(section, key(), value(t.size()));
  if (state == ParseState::kBeforeValue) store->Store(section, key(), "");
  return store;
}

SettingsStore::Section* SettingsStore::FindSection(std::string_view name) {
  for (Section& s : sections_[Bucket(name)])
    if (s.name == name) return &s;
  return nullptr;
}

const SettingsStore::Section* SettingsStore::FindSection(std::string_view name) const {
  for (const Section& s : sections_[Bucket(name)])
    if (s.name == name) return &s;
  return nullptr;
}

SettingsStore::Section& SettingsStore::SectionNamed(std::string_view name) {
  if (Section* s = FindSection(name)) return *s;
  Section& created = sections_[Bucket(name)].emplace_back();
  created.name = std::string(name);
  return created;
}

void SettingsStore::Store(std::string_view section, std::string_view key, std::string_view value) {
  std::vector<Entry>& chain = SectionNamed(section).keys[Bucket(key)];
  for (Entry& e : chain) {
    if (e.name == key) {
      e.value = std::string(value);
      return;
    }
  }
  chain.push_back({std::string(key), std::string(value)});
}

bool SettingsStore::SetInt(std::string_view section, std::string_view key, int32_t value) {
  Section* s = FindSection(section);
  if (s == nullptr) {
    const std::string name(section);
    Diagnostic("do not exit section %s\n", name.c_str());
    return false;
  }
  for (Entry& e : s->keys[Bucket(key)]) {
    if (e.name == key) {
      e.value = std::to_string(value);
      return true;
    }
  }
  return false;
}

const std::string* SettingsStore::Find(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return nullptr;
  for (const Entry& e : s->keys[Bucket(key)])
    if (e.name == key) return &e.value;
  return nullptr;
}

size_t SettingsStore::SectionCount() const {
  size_t n = 0;
  for (const auto& chain : sections_) n += chain.size();
  return n;
}

std::string SettingsStore::Serialize() const {
  std::string out(utf8Mark_ ? kUtf8Mark : std::string_view());
  for (const auto& chain : sections_) {
    for (auto s = chain.rbegin(); s != chain.rend(); ++s) {
      out += '[';
      out += s->name;
      out += "]\n";
      for (const auto& keys : s->keys) {
        for (auto e = keys.rbegin(); e != keys.rend(); ++e) {
          out += e->name;
          out += '=';
          out += e->value;
          out += '\n';
        }
      }
      out += '\n';
    }
  }
  return out;
}

void Release(std::unique_ptr<SettingsStore>& store) { store.reset(); }

}  // namespace pelorin
