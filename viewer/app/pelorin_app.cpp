// CPelorinApp: runs the main window modally and ends the process when it closes.
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

  // The modal run is the whole life of the program; its result is not used.
  int OnRun() override {
    auto* dlg = new CPelorinDlg(nullptr, args_);
    SetTopWindow(dlg);
    if (std::getenv("PELORIN_FIRST_PAINT_PROBE") != nullptr) ProbeFirstPaint(dlg);
    dlg->ShowModal();
    dlg->Destroy();
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
