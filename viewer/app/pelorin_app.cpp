// CPelorinApp: runs the main window until it closes, then ends the process.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/image.h>

#include "app/default_settings.h"
#include "app/pelorin_dlg.h"
#include "app/program_exit.h"
#include "data/batch_args.h"
#include "view/opengl_device.h"

namespace pelorin {

class CPelorinApp : public wxApp {
 public:
  bool OnInit() override {
    for (int i = 1; i < argc; ++i) args_.push_back(argv[i].utf8_string());
    wxInitAllImageHandlers();
    ProvideDefaultSettings();
    InstallStopSignals();
    return true;
  }

  // The window's run is the whole life of the program; its result is not used. It runs
  // as a normal top-level window with an event loop of its own rather than as a modal
  // dialog: a window manager keeps a modal dialog above every other window of the
  // program, so help, About and the source dialogs would open behind it.
  int OnRun() override {
    auto* dlg = new CPelorinDlg(nullptr, args_);
    SetTopWindow(dlg);
    if (std::getenv("PELORIN_FIRST_PAINT_PROBE") != nullptr) ProbeFirstPaint(dlg);
    dlg->RunMainWindow();
    dlg->Destroy();
    // PELORIN_GL_STATS=1: how often a GL context was refused at its first attempt and
    // needed the fallback one (0 where contexts are made at the right moment).
    if (std::getenv("PELORIN_GL_STATS") != nullptr) {
      std::printf("gl context retries: %d\n", GlContextRetries());
      std::fflush(stdout);
    }
    // 0, or what a batch run that failed or a stop signal left.
    return ExitStatus();
  }

 private:
  // Diagnostic for start-up time: prints the wall-clock time of the first paint of the
  // main window (milliseconds since the epoch) and closes the window.
  static void ProbeFirstPaint(CPelorinDlg* dlg) {
    dlg->Bind(wxEVT_PAINT, [dlg](wxPaintEvent& event) {
      static bool done = false;
      event.Skip();
      if (done) return;
      done = true;
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      std::printf("first-paint %lld\n",
                  static_cast<long long>(
                      std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
      std::fflush(stdout);
      dlg->CallAfter([dlg] { dlg->Close(); });
    });
  }

  std::vector<std::string> args_;
};

}  // namespace pelorin

wxIMPLEMENT_APP_NO_MAIN(pelorin::CPelorinApp);

int main(int argc, char** argv) {
  // A bad batch argument is refused before the toolkit, a window or a device is touched.
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const pelorin::BatchArguments batch = pelorin::ParseBatchArguments(args);
  if (!batch.error.empty()) {
    std::fprintf(stderr, "pelorin: %s\n", batch.error.c_str());
    return 2;
  }
  return wxEntry(argc, argv);
}
