// LiveModelStandIn: the live source's settings holder until the device-backed live model
// arrives. It keeps what the settings file and the view controls give the live model
// (hide and mask lists, flags, delay, selected chip, read address) and reads nothing.
#pragma once

#include <cstdint>
#include <string>

#include "data/frame_model.h"

namespace pelorin {

class LiveModelStandIn : public PelorinModel {
 public:
  bool Clear() override { return true; }

  void SetReadAddress(uint32_t address) override { readAddress_ = address; }
  uint32_t GetReadAddress() const { return readAddress_; }

  void SetHideChip(std::string text) { hideChip_ = std::move(text); }
  void SetHideSenseList(std::string text) { hideSense_ = std::move(text); }
  void SetHideDriveList(std::string text) { hideDrive_ = std::move(text); }
  void SetMaskSenseList(std::string text) { maskSense_ = std::move(text); }
  void SetMaskDriveList(std::string text) { maskDrive_ = std::move(text); }
  void SetMaskPoints(std::string text) { maskPoints_ = std::move(text); }
  const std::string& GetHideChip() const { return hideChip_; }
  const std::string& GetHideSenseList() const { return hideSense_; }
  const std::string& GetHideDriveList() const { return hideDrive_; }
  const std::string& GetMaskSenseList() const { return maskSense_; }
  const std::string& GetMaskDriveList() const { return maskDrive_; }
  const std::string& GetMaskPoints() const { return maskPoints_; }

  void SetHideShow(bool v) { hideShow_ = v; }
  void SetMaskShow(bool v) { maskShow_ = v; }
  void SetMaskOn(bool v) { maskOn_ = v; }
  void SetHideOn(bool v) { hideOn_ = v; }
  void SetReverse(bool v) { reverse_ = v; }
  void SetTurnOver(bool v) { turnOver_ = v; }
  void SetHideOverlap(bool v) { hideOverlap_ = v; }
  bool GetHideShow() const { return hideShow_; }
  bool GetMaskShow() const { return maskShow_; }
  bool GetMaskOn() const { return maskOn_; }
  bool GetHideOn() const { return hideOn_; }
  bool GetReverse() const { return reverse_; }
  bool GetTurnOver() const { return turnOver_; }
  bool GetHideOverlap() const { return hideOverlap_; }

  void SetDiagDelay(int32_t ms) { diagDelay_ = ms; }
  int32_t GetDiagDelay() const { return diagDelay_; }
  void SetSelectedChip(int32_t chip) { selectedChip_ = chip; }
  int32_t GetSelectedChip() const { return selectedChip_; }

 private:
  std::string hideChip_, hideSense_, hideDrive_, maskSense_, maskDrive_, maskPoints_;
  uint32_t readAddress_ = 0;
  int32_t diagDelay_ = 0;
  int32_t selectedChip_ = -1;
  bool hideShow_ = false, maskShow_ = false, maskOn_ = false, hideOn_ = false;
  bool reverse_ = false, turnOver_ = false, hideOverlap_ = false;
};

}  // namespace pelorin
