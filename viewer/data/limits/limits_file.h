#pragma once
// Limits of a panel test, read from a text file of comma-separated rules:
//
//   # comment; blank lines are ignored
//   source, Base                 optional: the source type the limits were made for
//   value, *, *, 120, 230        every cell: lowest and highest value allowed
//   value, 3, *, 125, 225        every cell of drive line x = 3
//   value, *, 5, , 228           every cell of sense line y = 5, upper limit only
//   value, 3, 5, 130, 220        the cell (3, 5)
//   noise_pp, *, *, , 8          peak-to-peak noise, at most 8 counts (untouched frames)
//   noise_rms, *, *, , 2.5       RMS noise, at most 2.5 counts
//
// Columns: what, x, y, min, max. x and y count from 0; "*" is every line. An empty min
// or max sets no bound there. For each cell and each kind the most specific rule wins
// (a cell over a line over the whole panel; among rules as specific, the later one).
// Values are whole counts (32-bit), noise limits may have decimals.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

enum class LimitKind { Value, NoisePp, NoiseRms };
const char* LimitKindName(LimitKind kind);  // "value", "noise_pp", "noise_rms"

struct LimitRule {
  LimitKind kind = LimitKind::Value;
  int32_t x = -1;  // -1 = every drive line
  int32_t y = -1;  // -1 = every sense line
  std::optional<double> min, max;
  int32_t line = 0;  // line of the file, from 1
};

struct LimitsFile {
  std::string source;  // empty when the file names none
  std::vector<LimitRule> rules;
};

// Bounds that keep a hostile file from exhausting memory.
inline constexpr size_t kMaxLimitsBytes = 64u << 20;
inline constexpr int32_t kMaxLimitCoordinate = 4095;

// Parses the text; false with "line N: reason" in *error on the first bad line, and
// with a reason when the text holds no rule at all (only comments, blanks, "source").
bool ParseLimits(std::string_view text, LimitsFile* out, std::string* error);
// Reads a regular file whole and parses it; every refusal names the file, and the line
// where there is one.
bool LoadLimits(const std::string& path, LimitsFile* out, std::string* error);

// The bounds of one cell after the precedence rules.
struct CellBounds {
  std::optional<double> min, max;
};

// Per-cell bounds of one kind for a width x height panel, [x * height + y]. False when
// a rule names a line outside the panel. ruleOf, when given, receives for each cell the
// index in limits.rules of the rule that set its bounds, or -1.
bool ResolveLimits(const LimitsFile& limits, LimitKind kind, int32_t width, int32_t height,
                   std::vector<CellBounds>* out, std::string* error,
                   std::vector<int32_t>* ruleOf = nullptr);

bool HasRules(const LimitsFile& limits, LimitKind kind);

}  // namespace pelorin
