// A bare wx dialog of the main window's size, shown modally like the viewer's main window:
// the start-up cost of the toolkit alone, the baseline that first_paint.sh sets the viewer
// against. With PELORIN_FIRST_PAINT_PROBE set it prints the wall-clock time of its first
// paint ("first-paint <ms since the epoch>") and closes, as the viewer does.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dialog.h>

namespace pelorin {

class BaselineApp : public wxApp {
 public:
  int OnRun() override {
    auto* dlg = new wxDialog(nullptr, wxID_ANY, "baseline", wxDefaultPosition, wxSize(964, 1011));
    new wxButton(dlg, wxID_OK, "OK", wxPoint(20, 20));
    if (std::getenv("PELORIN_FIRST_PAINT_PROBE") != nullptr) {
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
        dlg->CallAfter([dlg] { dlg->EndModal(wxID_OK); });
      });
    }
    dlg->ShowModal();
    dlg->Destroy();
    return 0;
  }
};

}  // namespace pelorin

wxIMPLEMENT_APP(pelorin::BaselineApp);
