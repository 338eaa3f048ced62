// CSNRDialog: the SNR page of the main window's tab control (template 131). The user
// enters the untouched frame count and the four line pins; the results of an evaluation
// are shown in its statics; the plot window fills area 1055.
#pragma once

#include <array>
#include <vector>

#include <wx/font.h>
#include <wx/panel.h>

#include "data/acquisition/frame_figures.h"
#include "data/snr/noise_table_text.h"
#include "data/snr/snr_evaluation.h"

class wxStaticText;
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

struct LiveFrame;
class COpenGLControl_SNR;

// The plot area 1055 in dialog units, before it is fitted to the screen and shortened.
inline constexpr int kSnrPlotArea[4] = {7, 175, 515, 225};

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

  // The plot's arrays, sized at acquisition start: floats per array (0 for no plot).
  void SizeSnrPlot(size_t floatCount);
  // Rebuilds the plot from the current frame's four lines and the run's maxima, then
  // repaints. Nothing happens for a frame that does not match the plot's size.
  void BuildSnrPlot(const LiveFrame& frame, const SnrPins& pins, const EdgeBuffers& noise,
                    const EdgeBuffers& signal);
  // The four result lines of an evaluation at Stop.
  void ShowSnrResults(const SnrResults& results);
  // The panel noise table below the results.
  void ShowPanelNoise(const PanelNoiseReport& report);

  COpenGLControl_SNR* Plot() const { return plot_; }
  // The table's texts, row by row: label, min, median, worst, worst cell.
  std::array<NoiseTableRow, kNoiseTableRows> NoiseTableTexts() const;
  wxString NoiseCaption() const;

  const std::vector<int>& ChildIds() const { return childIds_; }
  const wxFont& NormalFont() const { return normalFont_; }
  const wxFont& LargeFont() const { return largeFont_; }

 private:
  wxTextCtrl* Edit(int id) const;

  void CreateNoiseTable();

  std::vector<int> childIds_;
  COpenGLControl_SNR* plot_ = nullptr;  // a child of the page
  std::array<std::array<wxStaticText*, 5>, kNoiseTableRows> noiseCells_{};
  wxStaticText* noiseCaption_ = nullptr;
  wxFont normalFont_;
  wxFont largeFont_;
};

}  // namespace pelorin
