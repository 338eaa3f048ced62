#include "cli/capture_options.h"

#include <charconv>

#include "data/source_type.h"

namespace pelorin {
namespace {

bool ToInt(const std::string& text, int64_t lo, int64_t hi, int32_t* out) {
  int64_t v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || v < lo || v > hi)
    return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// A serial number or station name: printable, no control characters (they end up in
// JSON, XML and a line's database), bounded.
bool IsLabel(const std::string& text) {
  if (text.empty() || text.size() > 200) return false;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return false;
  }
  return true;
}

std::optional<int32_t> SourceOf(const std::string& name) {
  if (name == "diff") return kSourceDiff;
  if (name == "base") return kSourceBase;
  if (name == "raw") return kSourceRawData;
  if (name == "rawdiff") return kSourceRawDiff;
  if (name == "cycle") return kSourceCycle;
  if (name == "loop") return kSourceLoop;
  return std::nullopt;
}

std::optional<int32_t> ChipOf(const std::string& name) {
  if (name == "all") return -1;
  if (name == "master") return 1;
  if (name.size() == 6 && name.compare(0, 5, "slave") == 0 && name[5] >= '1' && name[5] <= '7') {
    return 4 + (name[5] - '0');
  }
  return std::nullopt;
}

}  // namespace

std::string CaptureUsage() {
  return R"(Usage: pelorin-capture --source TYPE --frames N [options]
Reads N frames from the touch controller without a window, writes them as a recording
(the viewer loads it), prints the frame statistics and, with limits, judges the panel.

  --source TYPE      diff, base, raw, rawdiff, cycle or loop
  --frames N         frames to read (1 or more)
  --every K          record one frame in every K: frames 1, K+1, 2K+1, ... (default 1)
  --order DIGITS     chip order by position digits, e.g. 2134 (default: by position)
  --chip CHIP        all, master or slave1 .. slave7 (default all)
  --out FILE         the recording (default Pelorin_<Type><time stamp>.csv here)
  --format FORMAT    csv (default) or mat: also a MAT-file next to the recording
  --limits FILE      per-cell limits (see README); a failing cell fails the test
  --golden FILE      a recording whose mean frame is the reference
  --tolerance T      allowed distance from the golden mean: counts, or percent as 3%
  --failures FILE    CSV of the failing cells (default: beside the recording)
  --png FILE         the mean frame as a heat map with the viewer's colour ramp
  --range MIN:MAX    colour range of the picture (default: the source's display range)
  --delay MS         pause before each frame in ms (default 10, as the viewer)
  --max-bad-frames N fail (exit 3) when more than N frames are bad: all zero, the same as
                     the frame before, or a cell outside what the source can hold
                     (default: bad frames are counted, not judged)
  --report FILE      the run's record as JSON, for a production line: device, times,
                     each check with what was measured, its limits and outcome; written
                     whatever the run's end (device lost, disk full, interrupted)
  --junit FILE       the checks as JUnit XML, one test case each
  --serial SN        the unit's serial number, into the record
  --station NAME     the test station, into the record
  --json             print the summary as JSON
  --quiet            no progress line
  -h, --help         this text

Exit status: 0 ok, 1 device or recording error (in use, lost, not ready, disk full, a
report that could not be written),
2 usage, 3 limits failed or too many bad frames, 130 interrupted by Ctrl-C, 143 by SIGTERM (the frames read are kept).
)";
}

bool ParseCaptureOptions(const std::vector<std::string>& args, CaptureOptions* out,
                         std::string* error) {
  CaptureOptions o;
  bool haveSource = false, haveFrames = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      inlineValue = true;
    }
    auto next = [&]() -> bool {
      if (inlineValue) return true;
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    auto bad = [&](const std::string& what) {
      *error = "bad value for " + arg + ": \"" + value + "\" (" + what + ")";
      return false;
    };
    const bool flag = arg == "--json" || arg == "--quiet" || arg == "-h" || arg == "--help";
    if (flag && inlineValue) {
      *error = arg + " takes no value";
      return false;
    }
    if (arg == "--json") {
      o.json = true;
    } else if (arg == "--quiet") {
      o.quiet = true;
    } else if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "--source") {
      if (!next()) return false;
      const std::optional<int32_t> type = SourceOf(value);
      if (!type) return bad("diff, base, raw, rawdiff, cycle or loop");
      o.sourceType = *type;
      haveSource = true;
    } else if (arg == "--frames") {
      if (!next()) return false;
      if (!ToInt(value, 1, 100000000, &o.frames)) return bad("1 to 100000000");
      haveFrames = true;
    } else if (arg == "--every") {
      if (!next()) return false;
      if (!ToInt(value, 1, 100000000, &o.every)) return bad("1 or more");
    } else if (arg == "--order") {
      if (!next()) return false;
      if (value.empty() || value.size() > 6 ||
          value.find_first_not_of("12345678") != std::string::npos) {
        return bad("1 to 6 chip digits from 1 to 8");
      }
      o.order = value;
    } else if (arg == "--chip") {
      if (!next()) return false;
      const std::optional<int32_t> chip = ChipOf(value);
      if (!chip) return bad("all, master or slave1 to slave7");
      o.chip = *chip;
    } else if (arg == "--out") {
      if (!next()) return false;
      if (value.empty() || value.back() == '/') return bad("a file name");
      o.out = value;
    } else if (arg == "--format") {
      if (!next()) return false;
      if (value != "csv" && value != "mat") return bad("csv or mat");
      o.mat = value == "mat";
    } else if (arg == "--limits" || arg == "--golden" || arg == "--failures" || arg == "--png") {
      if (!next()) return false;
      if (value.empty()) return bad("a file name");
      (arg == "--limits"     ? o.limits
       : arg == "--golden"   ? o.golden
       : arg == "--failures" ? o.failures
                             : o.png) = value;
    } else if (arg == "--report" || arg == "--junit") {
      if (!next()) return false;
      if (value.empty() || value.back() == '/') return bad("a file name");
      (arg == "--report" ? o.report : o.junit) = value;
    } else if (arg == "--serial" || arg == "--station") {
      if (!next()) return false;
      if (!IsLabel(value)) return bad("1 to 200 printable characters");
      (arg == "--serial" ? o.serial : o.station) = value;
    } else if (arg == "--tolerance") {
      if (!next()) return false;
      o.tolerance = value;
      const std::string number =
          !value.empty() && value.back() == '%' ? value.substr(0, value.size() - 1) : value;
      double v = 0;
      auto r = std::from_chars(number.data(), number.data() + number.size(), v);
      if (number.empty() || r.ec != std::errc() || r.ptr != number.data() + number.size() ||
          !(v >= 0)) {
        return bad("counts or a percentage such as 3%, at least 0");
      }
    } else if (arg == "--range") {
      if (!next()) return false;
      const size_t colon = value.find(':');
      int32_t lo = 0, hi = 0;
      if (colon == std::string::npos || !ToInt(value.substr(0, colon), -1000000, 1000000, &lo) ||
          !ToInt(value.substr(colon + 1), -1000000, 1000000, &hi) || hi <= lo) {
        return bad("MIN:MAX with MIN below MAX");
      }
      o.range = std::make_pair(lo, hi);
    } else if (arg == "--max-bad-frames") {
      if (!next()) return false;
      int32_t n = 0;
      if (!ToInt(value, 0, 100000000, &n)) return bad("0 or more");
      o.maxBadFrames = n;
    } else if (arg == "--delay") {
      if (!next()) return false;
      if (!ToInt(value, 0, 10000, &o.delayMs)) return bad("0 to 10000 ms");
    } else {
      *error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (o.help) {
    *out = o;
    return true;
  }
  if (!haveSource || !haveFrames) {
    *error = !haveSource ? "--source is required" : "--frames is required";
    return false;
  }
  if (!o.report.empty() && o.report == o.junit) {
    *error = "--report and --junit name the same file";
    return false;
  }
  if (o.tolerance != "0" && o.golden.empty()) {
    *error = "--tolerance needs --golden";
    return false;
  }
  *out = o;
  return true;
}

}  // namespace pelorin
