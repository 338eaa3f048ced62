// pelorin.check_limits, pelorin.compare_golden and pelorin.noise_report: the judgement of
// pelorin-capture (cell statistics, limits, golden mean, panel noise) over a recording.
#include <pybind11/stl.h>

#include <cctype>
#include <cmath>
#include <sstream>

#include "data/limits/limits_file.h"
#include "data/limits/panel_check.h"
#include "data/snr/panel_noise.h"
#include "data/source_type.h"
#include "py_common.h"

namespace pelorin::py {
namespace {

struct PanelResult {
  bool passed = true;
  pyb::array failures;
  std::vector<std::string> lines;  // one per failure, as pelorin-capture prints them
  int32_t frames = 0;
};

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Whether `name` (of a limits file or a golden recording) names the recording's source
// type, by its model name or its caption, as pelorin-capture decides.
bool SameSource(const std::string& name, const std::string& recordingSource) {
  const std::string n = Lower(name), r = Lower(recordingSource);
  if (n == r) return true;
  for (int32_t t = kFirstSourceType; t <= kLastSourceType; ++t) {
    if (Lower(std::string(SourceModelName(t))) != r) continue;
    return n == Lower(std::string(SourceCaption(t)));
  }
  return false;
}

CellStatistics StatisticsOf(const SourceRef& s) {
  CellStatistics stats;
  stats.Reset(s.width, s.height);
  for (int32_t f = 0; f < s.frames; ++f) stats.Add(s.Cells(f), s.Mask(f));
  return stats;
}

// Every frame untouched, as a panel under test is: the figures the noise rules check.
PanelNoiseReport NoiseOf(const SourceRef& s, int32_t untouched) {
  PanelNoiseAccumulator acc(s.width, s.height);
  const size_t n = s.CellsPerFrame();
  std::vector<int32_t> cells(n);
  std::vector<uint8_t> valid(n);
  for (int32_t f = 0; f < s.frames; ++f) {
    cells.assign(s.Cells(f), s.Cells(f) + n);
    valid.assign(s.Mask(f), s.Mask(f) + n);
    if (f < untouched) {
      acc.AddUntouched(cells, valid);
    } else {
      acc.AddTouched(cells, valid);
    }
  }
  return acc.Report();
}

pyb::array FailureArray(const std::vector<CellFailure>& failures) {
  pyb::module_ np = pyb::module_::import("numpy");
  pyb::list fields;
  fields.append(pyb::make_tuple("check", "U9"));
  fields.append(pyb::make_tuple("x", "i4"));
  fields.append(pyb::make_tuple("y", "i4"));
  fields.append(pyb::make_tuple("value", "f8"));
  fields.append(pyb::make_tuple("limit", "f8"));
  fields.append(pyb::make_tuple("below", "?"));
  pyb::list rows;
  for (const CellFailure& f : failures)
    rows.append(pyb::make_tuple(f.check, f.x, f.y, f.value, f.limit, f.below));
  return np.attr("array")(rows, pyb::arg("dtype") = np.attr("dtype")(fields)).cast<pyb::array>();
}

PanelResult ResultOf(const std::vector<CellFailure>& failures, int32_t frames) {
  PanelResult r;
  r.passed = failures.empty();
  r.failures = FailureArray(failures);
  for (const CellFailure& f : failures) r.lines.push_back(DescribeFailure(f));
  r.frames = frames;
  return r;
}

// Rows as (what, x, y, min, max): "*" or None for every line, None for no bound.
std::string LimitsText(const pyb::iterable& rows) {
  std::ostringstream text;
  auto field = [](const pyb::handle& v, const char* none) {
    if (v.is_none()) return std::string(none);
    if (pyb::isinstance<pyb::float_>(v)) return pyb::repr(v).cast<std::string>();
    return pyb::str(v).cast<std::string>();
  };
  for (const pyb::handle row : rows) {
    if (pyb::isinstance<pyb::str>(row)) {
      text << row.cast<std::string>() << "\n";
      continue;
    }
    const pyb::tuple t = pyb::tuple(pyb::reinterpret_borrow<pyb::object>(row));
    if (t.size() == 2) {
      text << field(t[0], "") << ", " << field(t[1], "") << "\n";  // ("source", "Base")
      continue;
    }
    if (t.size() != 5) throw pyb::value_error("a limits row is (what, x, y, min, max)");
    text << field(t[0], "") << ", " << field(t[1], "*") << ", " << field(t[2], "*") << ", "
         << field(t[3], "") << ", " << field(t[4], "") << "\n";
  }
  return text.str();
}

LimitsFile LimitsOf(const pyb::object& limits) {
  LimitsFile file;
  std::string error;
  if (pyb::isinstance<pyb::str>(limits) || pyb::hasattr(limits, "__fspath__")) {
    const std::string path =
        pyb::str(pyb::module_::import("os").attr("fspath")(limits)).cast<std::string>();
    if (!LoadLimits(path, &file, &error)) throw pyb::value_error(error);
  } else if (!ParseLimits(LimitsText(limits.cast<pyb::iterable>()), &file, &error)) {
    throw pyb::value_error(error);
  }
  return file;
}

PanelResult CheckLimits(const pyb::object& recording, const pyb::object& limitsArg) {
  const LimitsFile limits = LimitsOf(limitsArg);
  const SourceView view = FirstSourceOf(recording);
  const SourceRef& s = view.ref;
  if (!limits.source.empty() && !SameSource(limits.source, s.name))
    throw pyb::value_error("the limits are for " + limits.source + ", the capture reads " + s.name);
  std::vector<CellFailure> failures;
  std::string error;
  bool ok = true;
  {
    pyb::gil_scoped_release release;
    const CellStatistics stats = StatisticsOf(s);
    std::vector<CellBounds> bounds, pp, rms;
    ok = ResolveLimits(limits, LimitKind::Value, s.width, s.height, &bounds, &error);
    if (ok) CheckValueLimits(stats, bounds, &failures);
    if (ok && (HasRules(limits, LimitKind::NoisePp) || HasRules(limits, LimitKind::NoiseRms))) {
      ok = ResolveLimits(limits, LimitKind::NoisePp, s.width, s.height, &pp, &error) &&
           ResolveLimits(limits, LimitKind::NoiseRms, s.width, s.height, &rms, &error);
      if (ok) CheckNoiseLimits(NoiseFiguresOf(NoiseOf(s, s.frames)), pp, rms, &failures);
    }
  }
  if (!ok) throw pyb::value_error(error);
  return ResultOf(failures, s.frames);
}

PanelResult CompareGolden(const pyb::object& recording, const pyb::object& goldenArg,
                          const pyb::object& toleranceArg) {
  Tolerance tolerance;
  const std::string tolText = pyb::str(toleranceArg).cast<std::string>();
  if (!ParseTolerance(tolText, &tolerance))
    throw pyb::value_error("bad tolerance \"" + tolText + "\"");
  GoldenFrame golden;
  std::string error;
  if (pyb::isinstance<pyb::str>(goldenArg) || pyb::hasattr(goldenArg, "__fspath__")) {
    const std::string path =
        pyb::str(pyb::module_::import("os").attr("fspath")(goldenArg)).cast<std::string>();
    if (!LoadGolden(path, &golden, &error)) throw pyb::value_error(error);
  } else {
    // A reference in memory: its mean frame as LoadGolden makes it from a file.
    const SourceView g = FirstSourceOf(goldenArg);
    if (g.ref.frames == 0) throw pyb::value_error("the golden recording holds no frame");
    const CellStatistics stats = StatisticsOf(g.ref);
    golden.width = g.ref.width;
    golden.height = g.ref.height;
    golden.frames = g.ref.frames;
    golden.source = g.ref.name;
    for (size_t i = 0; i < g.ref.CellsPerFrame(); ++i) {
      golden.mean.push_back(stats.Mean(i));
      golden.valid.push_back(stats.Seen(i) ? 1 : 0);
    }
  }
  const SourceView view = FirstSourceOf(recording);
  const SourceRef& s = view.ref;
  if (!SameSource(golden.source, s.name))
    throw pyb::value_error("the golden recording holds " + golden.source + ", the capture reads " +
                           s.name);
  std::vector<CellFailure> failures;
  bool ok = false;
  {
    pyb::gil_scoped_release release;
    ok = CheckGolden(StatisticsOf(s), golden, tolerance, &failures, &error);
  }
  if (!ok) throw pyb::value_error(error);
  return ResultOf(failures, s.frames);
}

struct NoiseResult {
  pyb::array noisePp, noiseRms, signal, snr, snrDb, noiseZero;
  int32_t untouchedFrames = 0, touchedFrames = 0;
  pyb::dict summary;
};

pyb::dict SummaryOf(const FigureSummary& f) {
  pyb::dict d;
  d["count"] = f.count;
  d["min"] = f.min;
  d["median"] = f.median;
  d["max"] = f.max;
  d["worst"] = f.worst;
  d["worst_cell"] = pyb::make_tuple(f.worstX, f.worstY);
  return d;
}

NoiseResult NoiseReport(const pyb::object& recording, int32_t untouched) {
  if (untouched < 0) throw pyb::value_error("untouched must be 0 or more");
  const SourceView view = FirstSourceOf(recording);
  PanelNoiseReport report;
  {
    pyb::gil_scoped_release release;
    report = NoiseOf(view.ref, untouched);
  }
  const size_t n = report.cells.size();
  std::vector<double> pp(n), rms(n), signal(n), snr(n), snrDb(n);
  std::vector<uint8_t> zero(n);
  for (size_t i = 0; i < n; ++i) {
    const CellNoise& c = report.cells[i];
    const double nan = std::nan("");
    pp[i] = c.untouchedFrames > 0 ? c.noisePp : nan;
    rms[i] = c.untouchedFrames > 0 ? c.noiseRms : nan;
    signal[i] = c.untouchedFrames > 0 && c.touchedFrames > 0 ? c.signal : nan;
    snr[i] = c.snr;
    snrDb[i] = c.snrDb;
    zero[i] = c.noiseZero ? 1 : 0;
  }
  const pyb::ssize_t w = report.width, h = report.height;
  NoiseResult r;
  r.noisePp = ArrayOf(std::move(pp), {w, h});
  r.noiseRms = ArrayOf(std::move(rms), {w, h});
  r.signal = ArrayOf(std::move(signal), {w, h});
  r.snr = ArrayOf(std::move(snr), {w, h});
  r.snrDb = ArrayOf(std::move(snrDb), {w, h});
  r.noiseZero = ArrayOf(std::move(zero), {w, h}, pyb::dtype("bool"));
  r.untouchedFrames = report.untouchedFrames;
  r.touchedFrames = report.touchedFrames;
  r.summary["noise_pp"] = SummaryOf(report.noisePp);
  r.summary["noise_rms"] = SummaryOf(report.noiseRms);
  r.summary["signal"] = SummaryOf(report.signal);
  r.summary["snr"] = SummaryOf(report.snr);
  r.summary["snr_db"] = SummaryOf(report.snrDb);
  r.summary["noise_zero_cells"] = report.noiseZeroCells;
  return r;
}

}  // namespace

void BindPanel(pyb::module_& m) {
  pyb::class_<PanelResult>(m, "PanelResult", R"(The judgement of a panel test.

passed    True when no cell failed.
failures  numpy structured array, one row per failing cell: check ("value", "golden",
          "noise_pp", "noise_rms"), x, y, value (what the cell showed), limit (the bound
          it crossed) and below (True: under a minimum, False: over a maximum).
lines     the failures as pelorin-capture prints them.
frames    frames judged.)")
      .def_readonly("passed", &PanelResult::passed)
      .def_readonly("failures", &PanelResult::failures)
      .def_readonly("lines", &PanelResult::lines)
      .def_readonly("frames", &PanelResult::frames)
      .def("__bool__", [](const PanelResult& r) { return r.passed; })
      .def("__repr__", [](const PanelResult& r) {
        return std::string("<pelorin.PanelResult ") + (r.passed ? "PASS" : "FAIL") + ", " +
               std::to_string(r.lines.size()) + " failing cells>";
      });

  pyb::class_<NoiseResult>(m, "NoiseReport", R"(Per-cell noise and SNR, arrays (width, height).

noise_pp    largest minus smallest value over the untouched frames
noise_rms   standard deviation over the untouched frames
signal      mean over the touched frames minus mean over the untouched frames
snr, snr_db signal / noise_pp, and 20 log10 of it (NaN where a cell has no figure)
noise_zero  True where the noise is 0 (no SNR)
summary     count, min, median, max, worst and worst_cell of each figure)")
      .def_readonly("noise_pp", &NoiseResult::noisePp)
      .def_readonly("noise_rms", &NoiseResult::noiseRms)
      .def_readonly("signal", &NoiseResult::signal)
      .def_readonly("snr", &NoiseResult::snr)
      .def_readonly("snr_db", &NoiseResult::snrDb)
      .def_readonly("noise_zero", &NoiseResult::noiseZero)
      .def_readonly("untouched_frames", &NoiseResult::untouchedFrames)
      .def_readonly("touched_frames", &NoiseResult::touchedFrames)
      .def_readonly("summary", &NoiseResult::summary);

  m.def("check_limits", &CheckLimits, pyb::arg("recording"), pyb::arg("limits"),
        R"(Checks the first source of a recording against limits, as pelorin-capture --limits.

recording: a Recording, a Source or a path. limits: a limits file's path, or rows
(what, x, y, min, max) with "*" or None for every line and None for no bound, and an
optional ("source", "Base") row; text lines are taken as they are. Each cell's lowest and
highest value over the frames are checked; noise rules check the panel noise with every
frame untouched. Raises ValueError for a bad limits file or a capture of another type.)");
  m.def("compare_golden", &CompareGolden, pyb::arg("recording"), pyb::arg("golden"),
        pyb::arg("tolerance") = 0,
        R"(Compares the mean frame of a recording with a golden reference's mean frame.

golden: a path, a Recording or a Source of the same source type. tolerance: counts (a
number) or percent of the reference's magnitude ("3%").)");
  m.def("noise_report", &NoiseReport, pyb::arg("recording"), pyb::arg("untouched") = 100,
        R"(Per-cell noise and SNR of a recording's first source: its first `untouched`
frames are the untouched phase (noise), the rest the touched phase (signal).)");
}

}  // namespace pelorin::py
