// CAdditionalDlg: a spare dialog (template 140, 316 x 183 dialog units, no controls) that
// the main window constructs and keeps without ever showing it.
#pragma once

#include <wx/dialog.h>

namespace pelorin {

class CAdditionalDlg : public wxDialog {
 public:
  static constexpr int kWidth = 316;
  static constexpr int kHeight = 183;

  // Construction only: the window itself is never created.
  explicit CAdditionalDlg(wxWindow* parent) : parent_(parent) {}

  wxWindow* Owner() const { return parent_; }

 private:
  wxWindow* parent_;
};

}  // namespace pelorin
