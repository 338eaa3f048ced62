// The device side of the Start action, without a window: open the controller (closing
// the handle a previous Start left open), stop its touch reporting, find and order the
// chips, check the chip selection and lay out every live model's frame.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/device_io.h"
#include "data/live_model.h"

namespace pelorin {

struct StartOutcome {
  bool ok = false;
  int32_t statusCode = -1;  // the status line's code when !ok
  std::string argument;     // its argument ("master" for an illegal selection)
  // errno of a failed open (EBUSY: another program holds the device), 0 otherwise.
  int openErrno = 0;
};

// A line that names why Start failed: the status text, and for a device that another
// program holds, that it is in use.
std::string StartFailureText(const StartOutcome& outcome);

// Start steps: clear every model, open the device (handle receives it, 0 on failure),
// report-to-OS off, DetectChips, chip order (empty text: automatic order), selection
// check, PrepareFrameBuffers of model 0, then the chip set and layout of every further
// model. `handle` holds the handle of the previous Start on entry; a valid one is closed
// with closeHandle before the device is opened again.
StartOutcome PrepareAcquisition(const DeviceIo& io, const std::vector<InstantModel*>& models,
                                const std::string& orderText, int32_t& handle,
                                const std::function<void(int32_t)>& closeHandle);

// Closes a device handle the viewer opened.
void CloseDeviceHandle(int32_t handle);

}  // namespace pelorin
