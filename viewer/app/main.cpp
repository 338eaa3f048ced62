// Placeholder application: an empty main window until the shell lands.
#include <wx/wx.h>

class PlaceholderApp : public wxApp {
 public:
  bool OnInit() override {
    auto* frame = new wxFrame(nullptr, wxID_ANY, wxString("Pelorin - ") + PELORIN_VERSION_TEXT);
    frame->Show();
    return true;
  }
};
wxIMPLEMENT_APP(PlaceholderApp);
