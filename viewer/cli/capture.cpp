#include "cli/capture.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>

#include "cli/line_report.h"
#include "cli/run_info.h"
#include "data/acquisition/acquisition_run.h"
#include "data/acquisition/acquisition_start.h"
#include "data/export/png_map.h"
#include "data/limits/limits_file.h"
#include "data/snr/panel_noise.h"
#include "data/source_range_table.h"
#include "data/source_type.h"
#include "data/status_text.h"

namespace pelorin {
namespace {

// Receives the worker's reports on its own thread: the per-cell figures of every new
// frame, the progress line and the messages.
class CaptureHost : public AcquisitionHost {
 public:
  // withNoise: the frames also go to the panel noise report (all of them untouched: a
  // panel under test is not touched).
  CaptureHost(const InstantModel& model, const CaptureOptions& o, CaptureEnvironment& env,
              bool withNoise)
      : model_(model),
        options_(o),
        env_(env),
        noise_(withNoise ? model.Width() : 0, withNoise ? model.Height() : 0) {
    stats_.Reset(model.Width(), model.Height());
  }

  void SourceNames(std::vector<std::string>) override {}
  void Status(int32_t code, std::string argument) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(StatusMessageText(code, argument));
  }
  void StatusText(std::string text) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(std::move(text));
  }
  void Frame(const FrameReport& report) override {
    const std::shared_ptr<const LiveFrame> frame = model_.CurrentFrame();
    std::lock_guard lock(mutex_);
    last_ = report;
    if (!frame || frame->number <= lastNumber_) {
      ++readFailures_;  // the read failed: the previous frame is still in place
      return;
    }
    lastNumber_ = frame->number;
    if (frame->width == stats_.Width() && frame->height == stats_.Height()) {
      stats_.Add(frame->cells.data(), frame->mask.data());
      if (noise_.Width() > 0) noise_.AddUntouched(*frame);
    }
    Progress(report);
  }
  void MoveRangeSliders(SliderPositions) override {}
  void BatchLimitReached() override {}
  void RunEnded() override {
    if (!options_.quiet && env_.progressIsTerminal && env_.err != nullptr) *env_.err << "\n";
  }

  // After the run.
  const CellStatistics& Stats() const { return stats_; }
  PanelNoiseReport Noise() const { return noise_.Report(); }
  const FrameReport& Last() const { return last_; }
  int32_t ReadFailures() const { return readFailures_; }
  const std::vector<std::string>& Messages() const { return messages_; }

 private:
  void Progress(const FrameReport& r) {
    if (options_.quiet || env_.err == nullptr) return;
    const int32_t n = r.frameCount, total = options_.frames;
    char line[128];
    std::snprintf(line, sizeof line, "frame %d/%d  %.1f frames/s", n, total, double(r.frameRate));
    if (env_.progressIsTerminal) {
      *env_.err << "\r" << line << std::flush;
    } else if (n == 1 || n == total || (total >= 10 && n % (total / 10) == 0)) {
      *env_.err << line << "\n" << std::flush;
    }
  }

  const InstantModel& model_;
  const CaptureOptions& options_;
  CaptureEnvironment& env_;
  std::mutex mutex_;
  CellStatistics stats_;
  PanelNoiseAccumulator noise_;
  FrameReport last_;
  int32_t lastNumber_ = 0;
  int32_t readFailures_ = 0;
  std::vector<std::string> messages_;
};

// The outcome word of the summary and the JSON.
std::string OutcomeName(RunEnd end, bool interrupted) {
  if (interrupted) return "interrupted";
  switch (end) {
    case RunEnd::BatchLimit: return "complete";
    case RunEnd::DeviceLost: return "device lost";
    case RunEnd::FirmwareNotReady: return "firmware not ready";
    case RunEnd::ReadFailed: return "read failed";
    case RunEnd::RecordingFailed: return "recording failed";
    default: return "stopped";
  }
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Whether a source name of a limits file or a golden recording names the capture's type.
bool SameSource(const std::string& name, int32_t type) {
  const std::string n = Lower(name);
  return n == Lower(std::string(SourceModelName(type))) ||
         n == Lower(std::string(SourceCaption(type)));
}

// A refusal of the command line or of a file it names; the line report says why.
int Usage(CaptureEnvironment& env, CaptureSummary& s, const std::string& message) {
  if (env.err != nullptr) *env.err << "pelorin-capture: " << message << "\n";
  s.error = message;
  return kExitUsage;
}

// Whether two names lead to the same file (or to where it would be made).
bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ec1, ec2;
  const auto pa = std::filesystem::weakly_canonical(a, ec1);
  const auto pb = std::filesystem::weakly_canonical(b, ec2);
  return ec1 || ec2 ? a == b : pa == pb;
}

// Where the report and the JUnit file go must be writable, and must not be a file the
// run reads or writes otherwise: it would be replaced at the end. Found before anything
// else, since a report that cannot be written cannot say so itself.
bool CheckReportPaths(const CaptureOptions& o, std::string* error) {
  for (const std::string* file : {&o.report, &o.junit}) {
    if (file->empty()) continue;
    const std::filesystem::path p(*file);
    const std::string dir = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    if (::access(dir.c_str(), W_OK) != 0) {
      *error = "can't write " + *file + ": the folder " + dir + " is not writable";
      return false;
    }
    std::error_code ec;
    if (std::filesystem::exists(p, ec) && !std::filesystem::is_regular_file(p, ec)) {
      *error = "can't write " + *file + ": not a regular file";
      return false;
    }
    for (const std::string* other : {&o.out, &o.limits, &o.golden, &o.failures, &o.png}) {
      if (SameFile(*file, *other)) {
        *error = *file + " is given for the report and for another file of the run";
        return false;
      }
    }
  }
  return true;
}

int Capture(const CaptureOptions& o, CaptureEnvironment& env, CaptureSummary& s,
            bool* summaryReady);

}  // namespace

int RunCapture(const CaptureOptions& options, CaptureEnvironment& env) {
  CaptureSummary summary;
  return RunCapture(options, env, &summary);
}

int RunCapture(const CaptureOptions& o, CaptureEnvironment& env, CaptureSummary* summary) {
  CaptureSummary& s = *summary;
  s = CaptureSummary{};
  s.requested = o.frames;
  s.source = std::string(SourceModelName(o.sourceType));
  const auto wallStart = std::chrono::system_clock::now();
  const auto start = std::chrono::steady_clock::now();
  s.startTime = IsoTimeUtc(wallStart);
  const bool reporting = !o.report.empty() || !o.junit.empty();
  std::string error;
  if (reporting && !CheckReportPaths(o, &error)) return Usage(env, s, error);

  bool summaryReady = false;
  int code = Capture(o, env, s, &summaryReady);
  // The shell's convention: 128 + the signal (130 for Ctrl-C, 143 for SIGTERM).
  if (code == kExitInterrupted && env.signalNumber != nullptr && env.signalNumber->load() > 0)
    code = 128 + env.signalNumber->load();
  s.endTime = IsoTimeUtc(std::chrono::system_clock::now());
  s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  s.exitStatus = code;
  if (reporting) {
    if (!WriteLineReports(o, s, &error) && env.err != nullptr)
      *env.err << "pelorin-capture: " << error << "\n";
    code = s.exitStatus;
  }
  if (summaryReady && env.out != nullptr)
    *env.out << (o.json ? SummaryJson(s) : SummaryText(s)) << std::flush;
  return code;
}

namespace {

int Capture(const CaptureOptions& o, CaptureEnvironment& env, CaptureSummary& s,
            bool* summaryReady) {
  // Everything that can be wrong with the command line is found before the device opens.
  LimitsFile limits;
  std::string error;
  if (!o.limits.empty()) {
    if (!LoadLimits(o.limits, &limits, &error)) return Usage(env, s, error);
    if (!limits.source.empty() && !SameSource(limits.source, o.sourceType)) {
      return Usage(env, s,
                   "the limits are for " + limits.source + ", the capture reads " + s.source);
    }
  }
  GoldenFrame golden;
  Tolerance tolerance;
  if (!o.golden.empty()) {
    if (!LoadGolden(o.golden, &golden, &error)) return Usage(env, s, error);
    if (!SameSource(golden.source, o.sourceType)) {
      return Usage(
          env, s,
          "the golden recording holds " + golden.source + ", the capture reads " + s.source);
    }
  }
  if (!ParseTolerance(o.tolerance, &tolerance))
    return Usage(env, s, "bad tolerance \"" + o.tolerance + "\"");
  s.rules = UncheckedRules(limits);
  if (!o.golden.empty()) {
    s.golden = GoldenResult{.file = o.golden,
                            .source = golden.source,
                            .frames = golden.frames,
                            .tolerance = o.tolerance,
                            .parsed = tolerance};
  }
  const std::filesystem::path outPath =
      o.out.empty() ? std::filesystem::path() : std::filesystem::path(o.out);
  const std::string workDir =
      outPath.has_parent_path() ? outPath.parent_path().string() : std::string(".");
  if (::access(workDir.c_str(), W_OK) != 0) return Usage(env, s, "can't write in " + workDir);
  if (!o.out.empty() && std::filesystem::exists(outPath))
    return Usage(env, s, o.out + " exists already");

  const DeviceIo& io = env.io;
  InstantModel model(io);
  model.SetSourceType(o.sourceType);
  ApplySourceType(model, o.sourceType, SourceRangeTable{});
  model.SetDiagDelay(o.delayMs);
  model.SetSelectedChip(o.chip);
  int32_t handle = 0;
  const StartOutcome start = PrepareAcquisition(io, {&model}, o.order, handle, CloseDeviceHandle);
  if (handle > 0) s.device = env.identify ? env.identify() : CorlinkIdentity();
  if (!start.ok) {
    s.error = StartFailureText(start);
    if (env.err != nullptr) *env.err << "pelorin-capture: " << s.error << "\n";
    CloseDeviceHandle(handle);
    return start.statusCode == kStatusIllegalSelection ? kExitUsage : kExitDeviceError;
  }
  s.width = model.Width();
  s.height = model.Height();

  AcquisitionSettings settings;
  settings.io = io;
  settings.device = handle;
  settings.models = {&model};
  settings.dumpEnabled = true;
  settings.dumpInterval = o.every;
  settings.workDir = workDir;
  settings.recordingName = outPath.filename().string();
  settings.batchMode = true;
  settings.batchFrameLimit = o.frames;
  settings.matlabDump = o.mat;
  if (env.deviceGone) settings.deviceGone = env.deviceGone;
  const bool noiseRules =
      HasRules(limits, LimitKind::NoisePp) || HasRules(limits, LimitKind::NoiseRms);
  // The report holds the noise figures of every run; the noise costs a pass over each frame.
  const bool withNoise = noiseRules || !o.report.empty();
  CaptureHost host(model, o, env, withNoise);
  RunOutcome outcome;
  {
    AcquisitionRun run(settings, host);
    run.Start();
    while (!run.WaitFinished(std::chrono::milliseconds(100))) {
      if (env.interrupted != nullptr && env.interrupted->load() && run.Running()) {
        s.interrupted = true;
        run.RequestStop();
      }
    }
    outcome = run.Outcome();
    s.recording = run.RecordingPath();
    s.mat = run.MatPath();
    s.recorded = run.FramesRecorded();
    s.frameRate = run.FrameRate();
    s.standardDeviation = run.StandardDeviation();
    s.flatness = run.Flatness();
  }
  // Normal touch reporting back, as the viewer does when it closes.
  s.deviceLost = outcome.end == RunEnd::DeviceLost;
  if (!s.deviceLost) io.ReportToOS(handle, true, false);
  CloseDeviceHandle(handle);

  s.frames = model.GetFrameCounter();
  s.readFailures = host.ReadFailures();
  s.messages = host.Messages();
  const FrameReport& last = host.Last();
  s.average = last.average;
  s.frameMax = last.frameMax;
  s.overallMax = last.overallMax;
  s.frameMin = last.frameMin;
  s.overallMin = last.overallMin;

  int code = kExitOk;
  s.outcome = OutcomeName(outcome.end, s.interrupted);
  if (!outcome.cause.empty() && outcome.end != RunEnd::RecordingFailed)
    s.messages.push_back(outcome.cause + " after " + std::to_string(s.frames) + " frames");
  if (s.interrupted) {
    code = kExitInterrupted;
  } else if (outcome.end != RunEnd::BatchLimit || s.frames < o.frames) {
    code = kExitDeviceError;
  }
  if (!outcome.recordingError.empty()) {
    s.messages.push_back("the recording failed: " + outcome.recordingError);
    if (code == kExitOk) code = kExitDeviceError;
  } else if (s.recording.empty() || (o.mat && s.mat.empty())) {
    s.messages.push_back("the recording could not be completed");
    if (code == kExitOk) code = kExitDeviceError;
  }
  s.badFrames = outcome.badFrames;
  s.captured = code == kExitOk;
  const CellStatistics& stats = host.Stats();
  const PanelNoiseReport noiseReport = withNoise ? host.Noise() : PanelNoiseReport{};
  if (withNoise) s.noise = NoiseFiguresFor(noiseReport);
  const CellNoiseFigures noiseFigures =
      withNoise ? NoiseFiguresOf(noiseReport) : CellNoiseFigures{};

  if (code == kExitOk && (!o.limits.empty() || !o.golden.empty())) {
    std::vector<CellBounds> bounds;
    if (!ResolveLimits(limits, LimitKind::Value, stats.Width(), stats.Height(), &bounds, &error)) {
      code = Usage(env, s, error);
    } else {
      CheckValueLimits(stats, bounds, &s.failures);
      std::vector<CellBounds> pp, rms;
      if (noiseRules) {
        if (!ResolveLimits(limits, LimitKind::NoisePp, stats.Width(), stats.Height(), &pp,
                           &error) ||
            !ResolveLimits(limits, LimitKind::NoiseRms, stats.Width(), stats.Height(), &rms,
                           &error)) {
          code = Usage(env, s, error);
        } else {
          s.noiseChecked = true;
          s.noisePpMax = noiseReport.noisePp.max;
          s.noiseRmsMax = noiseReport.noiseRms.max;
          CheckNoiseLimits(noiseFigures, pp, rms, &s.failures);
        }
      }
      if (code == kExitOk && !o.golden.empty() &&
          !CheckGolden(stats, golden, tolerance, &s.failures, &error)) {
        code = Usage(env, s, error);
      }
    }
    if (code == kExitOk) {
      s.judged = true;
      if (!JudgedRules(limits, stats, noiseRules ? &noiseFigures : nullptr, s.failures, &s.rules,
                       &error)) {
        s.messages.push_back(error);  // refused by the checks above already
      }
      if (s.golden) MeasureGolden(stats, golden, s.failures, &*s.golden);
      if (!s.failures.empty()) {
        code = kExitLimitsFailed;
        s.failuresCsv =
            !o.failures.empty() ? o.failures
            : !s.recording.empty()
                ? std::filesystem::path(s.recording).replace_extension().string() + "_failures.csv"
                : std::string("pelorin_failures.csv");
        // An earlier list of the same name is replaced only by a whole one.
        if (!WriteFileReplacing(s.failuresCsv, FailuresCsv(s.failures), &error)) {
          s.messages.push_back(error);
          s.failuresCsv.clear();
        }
      }
    }
  }

  // Judged after the limits, so that both verdicts are in the summary.
  if (o.maxBadFrames && (code == kExitOk || code == kExitLimitsFailed)) {
    s.judged = true;
    s.maxBadFrames = *o.maxBadFrames;
    if (s.badFrames.Total() > *o.maxBadFrames) {
      s.tooManyBadFrames = true;
      code = kExitLimitsFailed;
    }
  }

  if (!o.png.empty() && stats.Frames() > 0) {
    HeatMap map;
    map.width = stats.Width();
    map.height = stats.Height();
    map.cells = stats.MeanFrame();
    map.valid = stats.SeenMask();
    map.rangeMin = o.range ? o.range->first : model.GetRangeMin();
    map.rangeMax = o.range ? o.range->second : model.GetRangeMax();
    if (WritePng(o.png, RenderHeatMap(map), &error)) {
      s.png = o.png;
    } else {
      s.messages.push_back(error);
      if (code == kExitOk) code = kExitUsage;
    }
  }

  *summaryReady = true;
  return code;
}

}  // namespace

}  // namespace pelorin
