// Batch mode: the command line turns recording on and names the source, the frame limit
// and the recording. The application has refused bad arguments before the window exists.
#include <wx/slider.h>

#include "app/pelorin_dlg.h"
#include "data/batch_args.h"

namespace pelorin {

void CPelorinDlg::ApplyCommandLine() {
  const BatchArguments batch = ParseBatchArguments(args_);
  if (!batch.batch || !batch.error.empty()) return;
  dumpEnabled_ = true;
  state_.batchMode = true;

  PelorinModel& first = *models_[0];
  if (batch.sourceType) {
    first.SetSourceType(*batch.sourceType);
    ApplySourceType(first, *batch.sourceType, sourceRanges_);
    first.ClampRange();
    maxSlider_->SetValue(MaxSliderPosition(first.GetRangeMax()));
    minSlider_->SetValue(MinSliderPosition(first.GetRangeMin()));
  }
  state_.batchFrameLimit = batch.frameLimit;
  if (batch.name) state_.batchName = BatchName(*batch.name, first.GetName());
}

}  // namespace pelorin
