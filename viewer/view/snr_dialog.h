// CSNRDialog: the SNR page of the main window's tab control (template 131). The user
// enters the untouched frame count and the four line pins; the results of an evaluation
// are shown in its statics; the plot window fills area 1055.
#pragma once

#include <vector>

#include <wx/font.h>
#include <wx/panel.h>

class wxTextCtrl;

namespace pelorin {

// The inputs of an evaluation as typed on the page.
struct SnrInputs {
  int untouchedCount = 0;
  int pinX1 = 0;
  int pinX2 = 0;
  int pinY1 = 0;
  int pinY2 = 0;
};

// An edit's text as a signed decimal integer: leading blanks, an optional sign, then the
// leading digits; 0 when there are none. Values beyond 32 bits are clamped.
int ParseEditInt(const wxString& text);

class CSNRDialog : public wxPanel {
 public:
  explicit CSNRDialog(wxWindow* parent);
  ~CSNRDialog() override;

  // Creates the template's controls with their initial values and fits them to the screen.
  void InitPage();

  // The values of edits 1023, 1056, 1057, 1054 and 1058.
  SnrInputs ReadInputs() const;

  // The page's own close action: forgets the children and releases the fonts.
  void CloseAction();

  const std::vector<int>& ChildIds() const { return childIds_; }
  const wxFont& NormalFont() const { return normalFont_; }
  const wxFont& LargeFont() const { return largeFont_; }

 private:
  wxTextCtrl* Edit(int id) const;

  std::vector<int> childIds_;
  wxFont normalFont_;
  wxFont largeFont_;
};

}  // namespace pelorin
