#include "data/acquisition/acquisition_start.h"

#include <unistd.h>

#include <cerrno>

#include "data/acquisition/frame_figures.h"
#include "data/status_text.h"

namespace pelorin {

void CloseDeviceHandle(int32_t handle) {
  if (handle > 0) ::close(handle);
}

std::string StartFailureText(const StartOutcome& outcome) {
  std::string text = StatusMessageText(outcome.statusCode, outcome.argument);
  // Only the causes the library reports for certain; other values of errno may be left
  // over from its search.
  if (outcome.statusCode == kStatusOpenDeviceError && outcome.openErrno == EBUSY) {
    text += " (the device is in use by another program)";
  } else if (outcome.statusCode == kStatusOpenDeviceError && outcome.openErrno == EACCES) {
    text += " (permission denied)";
  }
  return text;
}

StartOutcome PrepareAcquisition(const DeviceIo& io, const std::vector<InstantModel*>& models,
                                const std::string& orderText, int32_t& handle,
                                const std::function<void(int32_t)>& closeHandle) {
  StartOutcome out;
  if (models.empty()) {
    out.statusCode = kStatusPrepareFrameBufFail;
    return out;
  }
  for (InstantModel* m : models) m->Clear();
  // The handle a previous Start opened is not used by anyone any more.
  if (handle > 0 && closeHandle) closeHandle(handle);
  errno = 0;
  handle = io.OpenDevice(0);
  if (handle == -1 || handle <= 0) {
    out.openErrno = errno;
    handle = 0;
    out.statusCode = kStatusOpenDeviceError;
    return out;
  }
  io.ReportToOS(handle, false, false);
  InstantModel& first = *models[0];
  first.SetDevice(handle);
  if (!first.DetectChips()) {
    out.statusCode = kStatusReadChipInfoFail;
    return out;
  }
  const std::string order = orderText.substr(0, 6);
  first.SetAutoOrder(order.empty());
  first.SetChipOrder(order);
  const int32_t selected = first.GetSelectedChip();
  if (ChipSelectionIllegal(selected, first.DetectedCount(), first.GetCascadeMode())) {
    out.statusCode = kStatusIllegalSelection;
    out.argument = ChipSelectionName(selected);
    return out;
  }
  if (!first.PrepareFrameBuffers()) {
    out.statusCode = kStatusPrepareFrameBufFail;
    return out;
  }
  for (size_t i = 1; i < models.size(); ++i) {
    models[i]->SetDevice(handle);
    if (!models[i]->CopyChipSet(first.GetDetectedSet())) {
      out.statusCode = kStatusSecondSourceUnreadable;
      return out;
    }
    models[i]->PrepareFrameBuffers();
  }
  out.ok = true;
  return out;
}

}  // namespace pelorin
