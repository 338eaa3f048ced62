// CAboutDlg: the About box (template 100), opened from the main window's About entry.
#pragma once

#include <wx/dialog.h>

namespace pelorin {

class CAboutDlg : public wxDialog {
 public:
  explicit CAboutDlg(wxWindow* parent);
};

}  // namespace pelorin
