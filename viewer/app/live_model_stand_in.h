// LiveModelStandIn: the device-backed live model (InstantModel) with read-back of the
// settings the window gives it (hide and mask lists, flags), which the live model keeps
// only for its own layout. Every setter also reaches the live model.
#pragma once

#include <cstdint>
#include <string>

#include "data/live_model.h"

namespace pelorin {

class LiveModelStandIn : public InstantModel {
 public:
  void SetHideChip(std::string text) { hideChip_ = text; InstantModel::SetHideChip(std::move(text)); }
  void SetHideSenseList(std::string text) { hideSense_ = text; InstantModel::SetHideSenseList(std::move(text)); }
  void SetHideDriveList(std::string text) { hideDrive_ = text; InstantModel::SetHideDriveList(std::move(text)); }
  void SetMaskSenseList(std::string text) { maskSense_ = text; InstantModel::SetMaskSenseList(std::move(text)); }
  void SetMaskDriveList(std::string text) { maskDrive_ = text; InstantModel::SetMaskDriveList(std::move(text)); }
  void SetMaskPoints(std::string text) { maskPoints_ = text; InstantModel::SetMaskPoints(std::move(text)); }
  const std::string& GetHideChip() const { return hideChip_; }
  const std::string& GetHideSenseList() const { return hideSense_; }
  const std::string& GetHideDriveList() const { return hideDrive_; }
  const std::string& GetMaskSenseList() const { return maskSense_; }
  const std::string& GetMaskDriveList() const { return maskDrive_; }
  const std::string& GetMaskPoints() const { return maskPoints_; }

  void SetHideShow(bool v) { hideShow_ = v; InstantModel::SetHideShow(v); }
  void SetMaskShow(bool v) { maskShow_ = v; InstantModel::SetMaskShow(v); }
  void SetMaskOn(bool v) { maskOn_ = v; InstantModel::SetMaskOn(v); }
  void SetHideOn(bool v) { hideOn_ = v; InstantModel::SetHideOn(v); }
  void SetReverse(bool v) { reverse_ = v; InstantModel::SetReverse(v); }
  void SetTurnOver(bool v) { InstantModel::SetTurnOver(v); }
  void SetHideOverlap(bool v) { hideOverlap_ = v; InstantModel::SetHideOverlap(v); }
  bool GetHideShow() const { return hideShow_; }
  bool GetMaskShow() const { return maskShow_; }
  bool GetMaskOn() const { return maskOn_; }
  bool GetHideOn() const { return hideOn_; }
  bool GetReverse() const { return reverse_; }
  bool GetHideOverlap() const { return hideOverlap_; }

 private:
  std::string hideChip_, hideSense_, hideDrive_, maskSense_, maskDrive_, maskPoints_;
  bool hideShow_ = false, maskShow_ = false, maskOn_ = false, hideOn_ = false;
  bool reverse_ = false, hideOverlap_ = false;
};

}  // namespace pelorin
