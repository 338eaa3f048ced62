#include "data/limits/limits_file.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "data/whole_file.h"

namespace pelorin {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> fields;
  while (true) {
    const size_t comma = line.find(',');
    fields.push_back(Trim(line.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    line.remove_prefix(comma + 1);
  }
  return fields;
}

bool Lower(std::string_view s, std::string_view word) {
  if (s.size() != word.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

bool ParseCoordinate(std::string_view s, int32_t* out) {
  if (s == "*") {
    *out = -1;
    return true;
  }
  int32_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size() || v < 0 ||
      v > kMaxLimitCoordinate) {
    return false;
  }
  *out = v;
  return true;
}

// An empty field is no bound. Value limits are whole 32-bit counts.
bool ParseBound(std::string_view s, bool whole, std::optional<double>* out) {
  if (s.empty()) {
    out->reset();
    return true;
  }
  if (whole) {
    int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() ||
        v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
      return false;
    }
    *out = double(v);
    return true;
  }
  double v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v) || v < 0)
    return false;
  *out = v;
  return true;
}

std::optional<LimitKind> KindOf(std::string_view word) {
  if (Lower(word, "value")) return LimitKind::Value;
  if (Lower(word, "noise_pp")) return LimitKind::NoisePp;
  if (Lower(word, "noise_rms")) return LimitKind::NoiseRms;
  return std::nullopt;
}

}  // namespace

const char* LimitKindName(LimitKind kind) {
  switch (kind) {
    case LimitKind::Value: return "value";
    case LimitKind::NoisePp: return "noise_pp";
    case LimitKind::NoiseRms: return "noise_rms";
  }
  return "?";
}

bool ParseLimits(std::string_view text, LimitsFile* out, std::string* error) {
  LimitsFile result;
  // Line 0: the file as a whole.
  auto fail = [&](int32_t line, const std::string& why) {
    *error = line > 0 ? "line " + std::to_string(line) + ": " + why : why;
    return false;
  };
  if (text.size() > kMaxLimitsBytes) return fail(0, "the file is larger than 64 MB");
  int32_t lineNo = 0;
  while (!text.empty()) {
    ++lineNo;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    line = Trim(line);
    if (line.empty()) continue;
    if (line.find('\0') != std::string_view::npos) return fail(lineNo, "a NUL byte");
    const std::vector<std::string_view> f = Split(line);
    if (Lower(f[0], "source")) {
      if (f.size() != 2 || f[1].empty()) return fail(lineNo, "\"source\" takes one name");
      result.source = std::string(f[1]);
      continue;
    }
    const std::optional<LimitKind> kind = KindOf(f[0]);
    if (!kind)
      return fail(lineNo, "unknown rule \"" + std::string(f[0].substr(0, 40)) +
                              "\" (value, noise_pp, noise_rms or source)");
    if (f.size() != 5) return fail(lineNo, "a rule has five fields: what, x, y, min, max");
    LimitRule rule;
    rule.kind = *kind;
    rule.line = lineNo;
    if (!ParseCoordinate(f[1], &rule.x))
      return fail(lineNo, "x must be * or a line number from 0 to 4095");
    if (!ParseCoordinate(f[2], &rule.y))
      return fail(lineNo, "y must be * or a line number from 0 to 4095");
    const bool whole = *kind == LimitKind::Value;
    const char* what = whole ? "a whole number of counts" : "a number of counts of at least 0";
    if (!ParseBound(f[3], whole, &rule.min))
      return fail(lineNo, std::string("min must be empty or ") + what);
    if (!ParseBound(f[4], whole, &rule.max))
      return fail(lineNo, std::string("max must be empty or ") + what);
    if (!rule.min && !rule.max) return fail(lineNo, "the rule sets neither min nor max");
    if (rule.min && rule.max && *rule.min > *rule.max) return fail(lineNo, "min is above max");
    result.rules.push_back(rule);
  }
  // A test that checks nothing must not pass.
  if (result.rules.empty())
    return fail(0, "no rule to check (a rule is a value, noise_pp or noise_rms line)");
  *out = std::move(result);
  return true;
}

bool LoadLimits(const std::string& path, LimitsFile* out, std::string* error) {
  const FileRead read = ReadWholeFile(path, kMaxLimitsBytes);
  if (!read.Whole()) {
    *error = "limits file: " + DescribeFileRead(path, read);
    return false;
  }
  if (!ParseLimits(read.text, out, error)) {
    *error = path + (error->starts_with("line ") ? ", " : ": ") + *error;
    return false;
  }
  return true;
}

bool HasRules(const LimitsFile& limits, LimitKind kind) {
  for (const LimitRule& r : limits.rules) {
    if (r.kind == kind) return true;
  }
  return false;
}

bool ResolveLimits(const LimitsFile& limits, LimitKind kind, int32_t width, int32_t height,
                   std::vector<CellBounds>* out, std::string* error, std::vector<int32_t>* ruleOf) {
  out->assign(width > 0 && height > 0 ? size_t(width) * size_t(height) : 0, CellBounds{});
  if (ruleOf != nullptr) ruleOf->assign(out->size(), -1);
  // Specificity of the rule that set each cell: 0 none, 1 panel, 2 line, 3 cell.
  std::vector<uint8_t> level(out->size(), 0);
  for (size_t n = 0; n < limits.rules.size(); ++n) {
    const LimitRule& r = limits.rules[n];
    if (r.kind != kind) continue;
    if (r.x >= width || r.y >= height) {
      *error = "limits line " + std::to_string(r.line) + " names (" +
               (r.x < 0 ? "*" : std::to_string(r.x)) + ", " +
               (r.y < 0 ? "*" : std::to_string(r.y)) + "), outside the " + std::to_string(width) +
               " x " + std::to_string(height) + " panel";
      return false;
    }
    const uint8_t specific = static_cast<uint8_t>(1 + (r.x >= 0) + (r.y >= 0));
    const int32_t x0 = r.x < 0 ? 0 : r.x, x1 = r.x < 0 ? width : r.x + 1;
    const int32_t y0 = r.y < 0 ? 0 : r.y, y1 = r.y < 0 ? height : r.y + 1;
    for (int32_t x = x0; x < x1; ++x) {
      for (int32_t y = y0; y < y1; ++y) {
        const size_t i = size_t(x) * size_t(height) + size_t(y);
        if (specific < level[i]) continue;
        level[i] = specific;
        (*out)[i] = CellBounds{r.min, r.max};
        if (ruleOf != nullptr) (*ruleOf)[i] = static_cast<int32_t>(n);
      }
    }
  }
  return true;
}

}  // namespace pelorin
