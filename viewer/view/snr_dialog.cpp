#include "view/snr_dialog.h"

#include <array>

#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "data/filter_choice.h"
#include "data/live_model.h"
#include "data/snr/snr_plot_arrays.h"
#include "view/dialog_template.h"
#include "view/resource.h"
#include "view/screen_fit.h"
#include "view/snr_picture.h"
#include "view/snr_plot.h"

namespace pelorin {
namespace {

using K = ControlKind;
using namespace res;

// Inputs on the left, results below them, the picture of the four lines on the right,
// the panel noise table under the results and the plot across the bottom.
constexpr std::array kSnrControls = {
    ControlSpec{IDC_STATIC, K::StaticText, "Untouched Frame Count", 10, 10, 96, 10},
    ControlSpec{IDC_UNTOUCHED_COUNT, K::EditBox, "", 108, 8, 40, 13},
    ControlSpec{IDC_STATIC, K::StaticText, "X1 pin(from 1st):+", 10, 28, 66, 10},
    ControlSpec{IDC_PIN_X1, K::EditBox, "", 78, 26, 30, 13},
    ControlSpec{IDC_STATIC, K::StaticText, "X2 pin(from last):-", 120, 28, 66, 10},
    ControlSpec{IDC_PIN_X2, K::EditBox, "", 188, 26, 30, 13},
    ControlSpec{IDC_STATIC, K::StaticText, "Y1 pin(from 1st):+", 10, 45, 66, 10},
    ControlSpec{IDC_PIN_Y1, K::EditBox, "", 78, 43, 30, 13},
    ControlSpec{IDC_STATIC, K::StaticText, "Y2 pin(from last):-", 120, 45, 66, 10},
    ControlSpec{IDC_PIN_Y2, K::EditBox, "", 188, 43, 30, 13},
    ControlSpec{IDC_SNR_X1_SIGNAL, K::StaticText, "X1 signal : ", 10, 64, 80, 10},
    ControlSpec{IDC_SNR_X1_NOISE, K::StaticText, "noise : ", 92, 64, 70, 10},
    ControlSpec{IDC_SNR_X1, K::StaticText, "SNR : ", 164, 64, 70, 10},
    ControlSpec{IDC_SNR_X1_INDEX, K::StaticText, "Index:", 236, 64, 50, 10},
    ControlSpec{IDC_SNR_X2_SIGNAL, K::StaticText, "X2 signal : ", 10, 77, 80, 10},
    ControlSpec{IDC_SNR_X2_NOISE, K::StaticText, "noise : ", 92, 77, 70, 10},
    ControlSpec{IDC_SNR_X2, K::StaticText, "SNR : ", 164, 77, 70, 10},
    ControlSpec{IDC_SNR_X2_INDEX, K::StaticText, "Index:", 236, 77, 50, 10},
    ControlSpec{IDC_SNR_Y1_SIGNAL, K::StaticText, "Y1 signal : ", 10, 90, 80, 10},
    ControlSpec{IDC_SNR_Y1_NOISE, K::StaticText, "noise : ", 92, 90, 70, 10},
    ControlSpec{IDC_SNR_Y1, K::StaticText, "SNR : ", 164, 90, 70, 10},
    ControlSpec{IDC_SNR_Y1_INDEX, K::StaticText, "Index:", 236, 90, 50, 10},
    ControlSpec{IDC_SNR_Y2_SIGNAL, K::StaticText, "Y2 signal : ", 10, 103, 80, 10},
    ControlSpec{IDC_SNR_Y2_NOISE, K::StaticText, "noise : ", 92, 103, 70, 10},
    ControlSpec{IDC_SNR_Y2, K::StaticText, "SNR : ", 164, 103, 70, 10},
    ControlSpec{IDC_SNR_Y2_INDEX, K::StaticText, "Index:", 236, 103, 50, 10},
    ControlSpec{IDC_SNR_PICTURE, K::Picture, "", 330, 6, 160, 110},
    ControlSpec{IDC_SNR_PLOT_AREA, K::Hidden, "", kSnrPlotArea[0], kSnrPlotArea[1], kSnrPlotArea[2],
                kSnrPlotArea[3]},
};

// The noise table: columns (x, width) in dialog units, rows 9 units apart from y 117.
constexpr std::array<std::array<int, 2>, 5> kNoiseColumns = {
    {{10, 50}, {62, 46}, {110, 46}, {158, 46}, {206, 60}}};
constexpr int kNoiseTop = 117;
constexpr int kNoiseRowHeight = 9;

// The static of each result of a line: signal, noise, SNR, index; in SnrLine order.
constexpr std::array<std::array<int, 4>, 4> kResultIds = {{
    {IDC_SNR_X1_SIGNAL, IDC_SNR_X1_NOISE, IDC_SNR_X1, IDC_SNR_X1_INDEX},
    {IDC_SNR_X2_SIGNAL, IDC_SNR_X2_NOISE, IDC_SNR_X2, IDC_SNR_X2_INDEX},
    {IDC_SNR_Y1_SIGNAL, IDC_SNR_Y1_NOISE, IDC_SNR_Y1, IDC_SNR_Y1_INDEX},
    {IDC_SNR_Y2_SIGNAL, IDC_SNR_Y2_NOISE, IDC_SNR_Y2, IDC_SNR_Y2_INDEX},
}};

}  // namespace

int ParseEditInt(const wxString& text) { return LeadingInt(text.utf8_string()); }

CSNRDialog::CSNRDialog(wxWindow* parent) : wxPanel(parent, IDD_SNR_DIALOG) {}

CSNRDialog::~CSNRDialog() = default;

void CSNRDialog::InitPage() {
  CreateControls(this, kSnrControls);
  CreateNoiseTable();
  Edit(IDC_UNTOUCHED_COUNT)->ChangeValue("100");
  for (int id : {IDC_PIN_X1, IDC_PIN_X2, IDC_PIN_Y1, IDC_PIN_Y2}) Edit(id)->ChangeValue("0");

  childIds_.clear();
  for (wxWindow* child : GetChildren()) childIds_.push_back(child->GetId());

  const ScreenFactors f = CurrentScreenFactors();
  normalFont_ = ScaledFont(GetFont(), f.sx, f.sy);
  largeFont_ = ScaledFont(GetFont(), 3 * f.sx, 3 * f.sy);
  for (wxWindow* child : GetChildren()) FitChild(child, normalFont_, f);

  // The plot area leaves a few pixels for the page's border.
  if (wxWindow* plot = FindWindow(IDC_SNR_PLOT_AREA)) {
    const int shorten = f.sy < 0.6 ? static_cast<int>(5 / f.sy) : 5;
    wxRect r = plot->GetRect();
    r.height -= shorten;
    plot->SetSize(r);
    plot_ = COpenGLControl_SNR::CreateGLWindow(r, this);
  }
  if (auto* picture = dynamic_cast<wxStaticBitmap*>(FindWindow(IDC_SNR_PICTURE))) {
    picture->SetBitmap(MakeSnrPicture(picture->GetSize()));
  }
}

SnrInputs CSNRDialog::ReadInputs() const {
  SnrInputs in;
  if (Edit(IDC_UNTOUCHED_COUNT) == nullptr) return in;  // page not initialised
  in.untouchedCount = ParseEditInt(Edit(IDC_UNTOUCHED_COUNT)->GetValue());
  in.pinX1 = ParseEditInt(Edit(IDC_PIN_X1)->GetValue());
  in.pinX2 = ParseEditInt(Edit(IDC_PIN_X2)->GetValue());
  in.pinY1 = ParseEditInt(Edit(IDC_PIN_Y1)->GetValue());
  in.pinY2 = ParseEditInt(Edit(IDC_PIN_Y2)->GetValue());
  return in;
}

void CSNRDialog::CloseAction() {
  childIds_.clear();
  normalFont_ = wxNullFont;
  largeFont_ = wxNullFont;
}

void CSNRDialog::CreateNoiseTable() {
  for (size_t row = 0; row < kNoiseTableRows; ++row) {
    for (size_t col = 0; col < kNoiseColumns.size(); ++col) {
      const int y = kNoiseTop + static_cast<int>(row) * kNoiseRowHeight;
      noiseCells_[row][col] = static_cast<wxStaticText*>(CreateControl(
          this,
          {IDC_STATIC, K::StaticText, "", kNoiseColumns[col][0], y, kNoiseColumns[col][1], 9}));
    }
  }
  noiseCaption_ = static_cast<wxStaticText*>(
      CreateControl(this, {IDC_STATIC, K::StaticText, "", 270, kNoiseTop, 250, 3 * 9}));
  // Before the first evaluation the table shows its frame and dashes.
  ShowPanelNoise(PanelNoiseReport{});
  noiseCaption_->SetLabel("panel noise: evaluated at Stop");
}

void CSNRDialog::SizeSnrPlot(size_t floatCount) {
  if (plot_ != nullptr) plot_->SizeSnrPlot(floatCount);
}

void CSNRDialog::BuildSnrPlot(const LiveFrame& frame, const SnrPins& pins, const EdgeBuffers& noise,
                              const EdgeBuffers& signal) {
  if (plot_ == nullptr || frame.width < 1 || frame.height < 1 ||
      frame.cells.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height)) {
    return;
  }
  plot_->BuildSnrPlot(CurrentEdges(frame.cells.data(), frame.width, frame.height, pins), noise,
                      signal);
  Refresh(false);
}

void CSNRDialog::ShowSnrResults(const SnrResults& results) {
  for (SnrLine line : kSnrLines) {
    const size_t i = static_cast<size_t>(line);
    const SnrLineTexts t = SnrResultTexts(line, results[i]);
    const std::array<const std::string*, 4> texts = {&t.signal, &t.noise, &t.snr, &t.index};
    for (size_t k = 0; k < texts.size(); ++k) {
      if (wxWindow* w = FindWindow(kResultIds[i][k])) w->SetLabel(wxString::FromUTF8(*texts[k]));
    }
  }
}

void CSNRDialog::ShowPanelNoise(const PanelNoiseReport& report) {
  const auto rows = NoiseTableRows(report);
  for (size_t row = 0; row < rows.size(); ++row) {
    const NoiseTableRow& r = rows[row];
    const std::array<const std::string*, 5> texts = {&r.label, &r.min, &r.median, &r.worst,
                                                     &r.cell};
    for (size_t col = 0; col < texts.size(); ++col) {
      if (noiseCells_[row][col] != nullptr)
        noiseCells_[row][col]->SetLabel(wxString::FromUTF8(*texts[col]));
    }
  }
  if (noiseCaption_ != nullptr)
    noiseCaption_->SetLabel(wxString::FromUTF8(NoiseTableCaption(report)));
}

std::array<NoiseTableRow, kNoiseTableRows> CSNRDialog::NoiseTableTexts() const {
  std::array<NoiseTableRow, kNoiseTableRows> rows;
  for (size_t row = 0; row < rows.size(); ++row) {
    std::array<std::string*, 5> out = {&rows[row].label, &rows[row].min, &rows[row].median,
                                       &rows[row].worst, &rows[row].cell};
    for (size_t col = 0; col < out.size(); ++col) {
      if (noiseCells_[row][col] != nullptr)
        *out[col] = noiseCells_[row][col]->GetLabel().utf8_string();
    }
  }
  return rows;
}

wxString CSNRDialog::NoiseCaption() const {
  return noiseCaption_ != nullptr ? noiseCaption_->GetLabel() : wxString();
}

wxTextCtrl* CSNRDialog::Edit(int id) const {
  return dynamic_cast<wxTextCtrl*>(FindWindow(id));
}

}  // namespace pelorin
