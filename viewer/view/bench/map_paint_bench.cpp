// Paint time of the 3-D map at 1280 x 1024 for one 64 x 128 frame, next to a baseline
// measured in the same run, the jobs interleaved: a clear of the same viewport. Also the
// copy of the mesh a paint takes under the mesh lock, which is all a rebuild on the
// playback thread can wait for. Then, once, the pixels in which the picture differs
// from the old way of drawing the mesh's lines (its triangles in line mode instead of
// its edge list, each shared edge once). Each job ends with glFinish, so the time is
// the renderer's, not the queue's. The draw routine is called directly with the
// context current; no paint event is waited for.
//
// Needs a display: run it under a virtual one, for example
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/release/bin/pelorin_map_paint_bench
// Prints figures only; it never fails on them.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/utils.h>

#include "view/map_window.h"
#include "view/mesh/mesh_edges.h"
#include "view/mesh/mesh_rebuild.h"
#include "view/mesh/shared_map_mesh.h"

namespace {

using Clock = std::chrono::steady_clock;
using pelorin::MeshFrame;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
constexpr int32_t kFrameWidth = 64;
constexpr int32_t kFrameHeight = 128;
constexpr int kRounds = 40;

// One live source with a 64 x 128 frame shaped like a touched panel: a slope and a bump.
class BenchSource : public pelorin::MeshSources {
 public:
  BenchSource() : cells_(static_cast<size_t>(kFrameWidth * kFrameHeight)) {
    for (int32_t x = 0; x < kFrameWidth; ++x) {
      for (int32_t y = 0; y < kFrameHeight; ++y) {
        const int32_t dx = x - 30, dy = y - 70;
        const int32_t bump = std::max(0, 120 - (dx * dx + dy * dy) / 4);
        cells_[static_cast<size_t>(x * kFrameHeight + y)] = 40 + x + y / 2 + bump;
      }
    }
  }
  pelorin::SourceKind Kind() const override { return pelorin::SourceKind::Live; }
  int32_t Count() const override { return 1; }
  bool Visible(int32_t) const override { return true; }
  int32_t Width(int32_t) const override { return kFrameWidth; }
  int32_t Height(int32_t) const override { return kFrameHeight; }
  int32_t SourceTypeOf(int32_t) const override { return 3; }
  bool Frame(int32_t, MeshFrame& frame) const override {
    frame.width = kFrameWidth;
    frame.height = kFrameHeight;
    frame.cells = cells_.data();
    frame.average = 120.0f;
    frame.rangeMin = 0;
    frame.rangeMax = 250;
    return true;
  }

 private:
  std::vector<int32_t> cells_;
};

class NoSnrPlot : public pelorin::SnrPlotTarget {
 public:
  void SizeSnrPlot(size_t) override {}
};

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

std::vector<unsigned char> ReadPicture(const wxSize& size) {
  std::vector<unsigned char> pixels(static_cast<size_t>(size.x) *
                                    static_cast<size_t>(size.y) * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, size.x, size.y, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Report(const char* name, const std::vector<double>& times, double baseline) {
  const double median = Median(times);
  std::printf("%-36s median %8.3f ms  min %8.3f ms  ratio to clear %6.2f\n", name, median,
              *std::min_element(times.begin(), times.end()), median / baseline);
}

}  // namespace

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::puts("no display: run under Xvfb (see the header of map_paint_bench.cpp)");
    return 0;
  }
  wxApp::SetInstance(new wxApp());
  if (!wxEntryStart(argc, argv)) {
    std::puts("the display cannot be opened");
    return 0;
  }
  {
    pelorin::MapViewState view;
    pelorin::MapDataState data;
    view.drawStyle = 1;
    view.rangeMax = 250;
    view.rangeMin = 0;
    static_cast<pelorin::MapOrientation&>(view) = pelorin::PresetOrientation(pelorin::ViewPoint::Default);
    auto* frame = new wxFrame(nullptr, wxID_ANY, "map paint", wxPoint(0, 0),
                              wxSize(kWidth, kHeight), wxBORDER_NONE);
    auto* map = pelorin::COpenGLControl::CreateGLWindow(wxRect(0, 0, kWidth, kHeight), frame,
                                                        view, data);
    frame->Show();
    BenchSource source;
    NoSnrPlot snr;
    map->SizeMesh(source, &snr);
    map->Rebuild(source);

    // The context can be made current once the window is on the screen: a bounded wait.
    bool ready = false;
    for (int i = 0; i < 400 && !ready; ++i) {
      wxYield();
      wxMilliSleep(5);
      ready = map->DrawFrame();
    }
    if (!ready) {
      std::puts("the map's GL context could not be made current");
    } else {
      const wxSize size = map->GetClientSize();
      std::printf("renderer: %s, map %d x %d, frame %d x %d (%d vertices), %d rounds\n",
                  reinterpret_cast<const char*>(glGetString(GL_RENDERER)), size.x, size.y,
                  kFrameWidth, kFrameHeight, map->Mesh().VertexCount(), kRounds);
      std::vector<double> clear, live, bothPasses, copy;
      const std::vector<pelorin::MeshGrid> grids(map->Mesh().Grids().begin(),
                                                 map->Mesh().Grids().end());
      auto paint = [&](bool secondPass) {
        data.showSecondPass = secondPass;
        const auto t0 = Clock::now();
        map->DrawFrame();
        glFinish();
        return Milliseconds(Clock::now() - t0);
      };
      pelorin::SharedMapMesh shared;
      shared.Change([&](pelorin::MapMesh& mesh) {
        mesh.Allocate(map->Mesh().FloatCount());
      });
      pelorin::SharedMapMesh::Copy copied;
      for (int round = 0; round < kRounds; ++round) {
        auto t0 = Clock::now();
        glViewport(0, 0, size.x, size.y);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
        clear.push_back(Milliseconds(Clock::now() - t0));

        // Live: the first pass only (the surface hides the lines behind it). After a run
        // and in playback: both passes, of which the second is seen.
        live.push_back(paint(false));
        bothPasses.push_back(paint(true));

        t0 = Clock::now();
        shared.CopyTo(copied);
        copy.push_back(Milliseconds(Clock::now() - t0));
      }
      const double baseline = Median(clear);
      Report("glClear + glFinish (baseline)", clear, baseline);
      Report("map paint, live (first pass)", live, baseline);
      Report("map paint, both passes", bothPasses, baseline);
      Report("mesh copy under the lock", copy, baseline);

      // The picture against the old way of drawing the lines, the triangles in line mode
      // (48006 lines here), which the map falls back to for arrays without their grids.
      const size_t vertices = static_cast<size_t>(map->Mesh().VertexCount());
      std::printf("lines: %zu edges, each once\n",
                  pelorin::MeshEdgeIndices(grids, vertices).size() / 2);
      for (const bool secondPass : {false, true}) {
        std::vector<unsigned char> picture[2];
        for (int way = 0; way < 2; ++way) {
          map->Mesh().SetGrids(way == 0 ? std::span<const pelorin::MeshGrid>(grids)
                                        : std::span<const pelorin::MeshGrid>());
          paint(secondPass);
          picture[way] = ReadPicture(size);
        }
        size_t lit = 0, differing = 0;
        for (size_t i = 0; i < picture[0].size(); i += 3) {
          const unsigned char* a = &picture[0][i];
          const unsigned char* b = &picture[1][i];
          if (a[0] | a[1] | a[2]) ++lit;
          if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) ++differing;
        }
        std::printf("picture of the %s: %zu lit pixels, %zu differ from the old way\n",
                    secondPass ? "second pass" : "live paint", lit, differing);
      }
    }
    delete frame;  // before the state it draws from
  }
  wxEntryCleanup();
  return 0;
}
