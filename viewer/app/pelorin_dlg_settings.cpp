// The main window's side of PLsetting.ini: the values read at start applied to the models
// and controls, and the values written back at close.
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/filefn.h>
#include <wx/slider.h>

#include "app/pelorin_dlg.h"
#include "data/live_model.h"
#include "data/settings_file.h"
#include "view/show_dialog.h"

namespace pelorin {

void CPelorinDlg::LoadSettings() {
  settingsPath_ = SettingsPathIn(wxGetCwd().utf8_string());
  SettingsSnapshot s = pelorin::LoadSettings(settingsPath_);
  settingsStore_ = std::move(s.store);

  if (s.stage >= LoadStage::kRangesRead) sourceRanges_ = s.ranges;

  PelorinModel& first = *models_[0];
  if (s.stage >= LoadStage::kFirstSourceRead) {
    first.SetSourceType(s.sourceType);
    ApplySourceType(first, s.sourceType, sourceRanges_);

    InstantModel* live = LiveModel(0);
    if (live != nullptr) {
      live->SetHideSenseList(s.hideRx);
      live->SetHideDriveList(s.hideTx);
      live->SetHideChip(s.rxChipIndex);
      live->SetHideShow(s.hideShow);
      live->SetMaskOn(s.isMask);
      live->SetMaskSenseList(s.maskRx);
      live->SetMaskDriveList(s.maskTx);
      live->SetMaskPoints(s.maskPoint);
      live->SetMaskShow(s.maskShow);
    }
    first.Kernel() = s.kernel;
    first.SetFilterThreshold(s.filterThreshold);
    first.SetFilterType(s.filterType);

    first.ClampRange();
    maxSlider_->SetValue(MaxSliderPosition(first.GetRangeMax()));
    minSlider_->SetValue(MinSliderPosition(first.GetRangeMin()));

    if (live != nullptr) live->SetReverse(s.reverse);
    reverseCheck_->SetValue(s.reverse);
    if (live != nullptr) live->SetDiagDelay(s.diagDelay);
  }

  if (s.stage >= LoadStage::kAllRead) {
    if (s.secondSourceType >= kSourceLoop && s.secondSourceType <= kSourceDiff) {
      if (models_.size() < 2) models_.push_back(std::make_unique<InstantModel>());
      models_[1]->SetSourceType(s.secondSourceType);
      ApplySourceType(*models_[1], s.secondSourceType, sourceRanges_);
    }

    drawStyle_->SetSelection(s.drawStyle);
    state_.drawStyle = s.drawStyle;
    mapPage_->View().drawStyle = s.drawStyle;

    dumpType_->SetSelection(s.dumpType);
    state_.dumpType = s.dumpType;

    ApplyViewPoint(s.viewPoint);

    state_.dumpInterval = s.dumpInterval;
    displayRangeShift_ = s.displayRangeShift;
    autoCenter_ = s.autoCenter;
  }

  if (s.statusCode >= 0) ShowStatusMessage(s.statusCode, s.statusArgument);
}

void CPelorinDlg::SaveSettings() {
  if (!settingsStore_) return;
  SettingsToSave values;
  values.viewPoint = state_.viewPoint;
  values.ranges = sourceRanges_;
  if (!models_.empty()) {
    const PelorinModel& first = *models_[0];
    const InstantModel* live = LiveModel(0);
    values.reverse = live != nullptr && live->GetReverse();
    values.sourceType = first.GetSourceType();
    values.kernel = first.Kernel();
    values.filterThreshold = first.GetFilterThreshold();
    values.filterType = first.GetFilterType();
  }
  values.secondSourceType = models_.size() > 1 ? models_[1]->GetSourceType() : 0;
  values.drawStyle = state_.drawStyle;
  values.dumpType = state_.dumpType;
  values.displayRangeShift = displayRangeShift_;
  values.autoCenter = autoCenter_;

  for (const std::string& title : WriteSettings(*settingsStore_, values)) {
    ShowMessageBox(wxString(kSetConfigFailedText.data(), kSetConfigFailedText.size()),
                   wxString::FromUTF8(title));
  }
  // A file that cannot be written is reported by the store; the close goes on, so the
  // controller is still given back and the models released.
  settingsStore_->Save(settingsPath_);
  Release(settingsStore_);
}

}  // namespace pelorin
