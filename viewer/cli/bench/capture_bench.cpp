// Capture throughput of pelorin-capture next to the viewer's acquisition worker, at the
// full-speed pace (1 ms per report in each direction) and the default 10 ms delay, on a
// three-chip panel of 32 x 72 cells. Both record every frame, as a viewer recording
// does; the tool also gathers its per-cell figures and writes a MAT-file. They run in
// alternating rounds so that the machine's load weighs on both alike, and the medians of
// the rounds are compared. Never pass/fail: it prints the figures and their ratio.
// A second figure takes each side from its Start to the controller's touch reporting
// switched back on. CAPTURE_BENCH_FRAMES sets the frames per round, CAPTURE_BENCH_ROUNDS the
// rounds.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/capture.h"
#include "data/acquisition/acquisition_run.h"
#include "data/acquisition/acquisition_start.h"
#include "data/source_range_table.h"
#include "panelsim/server.h"

namespace pelorin {
namespace {

using Clock = std::chrono::steady_clock;

struct Rate {
  double frameRate = 0;  // the run's own figure: frames since the first frame per second
  double wall = 0;       // frames per second of wall time, Start included
};

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v ? std::max(1, std::atoi(v)) : fallback;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// The viewer's side: Start's device steps and the worker with a recording.
Rate Viewer(const std::string& dir, int frames) {
  SourceRangeTable ranges;
  InstantModel model;
  model.SetSourceType(kSourceBase);
  ApplySourceType(model, kSourceBase, ranges);
  model.SetDiagDelay(10);
  const auto t0 = Clock::now();
  int32_t handle = 0;
  if (!PrepareAcquisition(CorlinkDeviceIo(), {&model}, "", handle, CloseDeviceHandle).ok) return {};
  QuietHost host;
  AcquisitionSettings s;
  s.io = CorlinkDeviceIo();
  s.device = handle;
  s.models = {&model};
  s.workDir = dir;
  s.dumpEnabled = true;
  s.batchMode = true;
  s.batchFrameLimit = frames;
  s.recordingName = "viewer.csv";
  Rate r;
  {
    AcquisitionRun run(s, host);
    run.Start();
    run.WaitFinished(std::chrono::minutes(30));
    r.frameRate = run.FrameRate();
  }
  // As the viewer does when it closes (the library pauses after it, as for the tool).
  CorlinkDeviceIo().ReportToOS(handle, true, false);
  r.wall = frames / std::chrono::duration<double>(Clock::now() - t0).count();
  CloseDeviceHandle(handle);
  std::filesystem::remove(dir + "/viewer.csv");
  return r;
}

// The tool's side, as its main runs it.
Rate Tool(const std::string& dir, int frames) {
  CaptureOptions o;
  o.sourceType = kSourceBase;
  o.frames = frames;
  o.out = dir + "/tool.csv";
  o.mat = true;
  o.quiet = true;
  std::ostringstream sink;
  CaptureEnvironment env;
  env.out = &sink;
  env.err = &sink;
  CaptureSummary summary;
  const auto t0 = Clock::now();
  const int code = RunCapture(o, env, &summary);
  Rate r;
  r.wall = frames / std::chrono::duration<double>(Clock::now() - t0).count();
  r.frameRate = code == kExitOk ? summary.frameRate : 0;
  if (code != kExitOk) std::fprintf(stderr, "capture failed (%d): %s\n", code, sink.str().c_str());
  std::filesystem::remove(dir + "/tool.csv");
  std::filesystem::remove(dir + "/tool.mat");
  return r;
}

}  // namespace
}  // namespace pelorin

int main() {
  using namespace pelorin;
  const int frames = EnvInt("CAPTURE_BENCH_FRAMES", 40);
  const int rounds = EnvInt("CAPTURE_BENCH_ROUNDS", 5);
  char tmpl[] = "/tmp/pelorin-capture-bench-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  ::setenv("CORLINK_VIRTUAL_DIR", dir.c_str(), 1);
  panelsim::ServerConfig cfg;
  cfg.firmware.panel.chips = 3;
  cfg.firmware.panel.drive = 32;
  cfg.firmware.panel.sense = {24};
  cfg.firmware.panel.overlap = 0;
  cfg.folder = dir;
  cfg.pace_us = 1000;
  std::string err;
  auto server = panelsim::Server::Start(cfg, &err);
  if (!server) {
    std::fprintf(stderr, "panelsim: %s\n", err.c_str());
    return 1;
  }
  std::vector<double> viewerRate, toolRate, viewerWall, toolWall;
  for (int r = 0; r < rounds; ++r) {
    // Alternate which side goes first, so neither always follows the other.
    const bool toolFirst = r % 2 == 1;
    Rate t, v;
    if (toolFirst) t = Tool(dir, frames);
    v = Viewer(dir, frames);
    if (!toolFirst) t = Tool(dir, frames);
    viewerRate.push_back(v.frameRate);
    toolRate.push_back(t.frameRate);
    viewerWall.push_back(v.wall);
    toolWall.push_back(t.wall);
  }
  server->Stop();
  std::filesystem::remove_all(dir);
  const double vr = Median(viewerRate), tr = Median(toolRate), vw = Median(viewerWall),
               tw = Median(toolWall);
  std::printf(
      "full-speed pace, 10 ms delay, 32 x 72 Base, %d rounds of %d frames, every frame recorded:\n",
      rounds, frames);
  std::printf(
      "  frame rate: pelorin-capture %6.2f frames/s, viewer worker %6.2f frames/s, ratio %.3f "
      "(target >= 0.98)\n",
      tr, vr, vr > 0 ? tr / vr : 0.0);
  std::printf(
      "  Start to touch reporting back: pelorin-capture %6.2f frames/s, viewer worker %6.2f "
      "frames/s, ratio %.3f\n",
      tw, vw, vw > 0 ? tw / vw : 0.0);
  return 0;
}
