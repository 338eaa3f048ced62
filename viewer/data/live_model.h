// InstantModel: the frame source that reads the touch controller live. It finds the chips
// of the cascade (DetectChips), puts them in frame order (SetChipOrder, or CopyChipSet
// for a second source), lays the frame out once per acquisition with the hidden lines
// and the mask (PrepareFrameBuffers), and then assembles one frame per ReadFrame from
// every chip's block: reverse, turn-over and, for Diff frames, the filter.
//
// Threads. Detection, ordering and layout run on the window thread at Start, before the
// acquisition worker exists; Clear runs only while no worker runs. After Start only the
// worker calls ReadFrame (and the device). The window reads frames with CurrentFrame():
// every ReadFrame assembles into a fresh LiveFrame and publishes it whole, under a short
// lock, once it is complete (filter included). A reader holds its shared_ptr as long as
// it likes; it sees the previous complete frame or the new one, never a torn or freed
// one. The switches the window may flip during an acquisition (turn-over, reverse,
// filter on/off, selected chip) are atomics and take effect at the next frame. The
// layout (Width, Height, the active chips) and the read-error list change only at Start.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/chip_set.h"
#include "data/device_io.h"
#include "data/frame_model.h"

namespace pelorin {

// Device addresses of the chip status (byte 3: 1 master with slaves, 11 slaves only,
// 0 single chip; then per chip its status reply), the cascade information (byte 0: the
// number of slaves) and the chip geometry.
inline constexpr uint32_t kAddrChipStatus = 0xA000C024;
inline constexpr uint32_t kAddrCascadeInfo = 0xA000C028;
inline constexpr uint32_t kAddrChipGeometry = 0x5A000000;

// A device read that fails this many times is given up.
inline constexpr int32_t kReadAttempts = 3;

// One assembled frame. Cell (x, y) at [x * height + y]; x over the drive lines (Width),
// y over the sense lines of all chips in chip order (Height).
struct LiveFrame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<int32_t> cells;
  std::vector<uint8_t> mask;  // 1 = value, 0 = masked
  // Over the cells placed, before the filter ran.
  int32_t max = 0;
  int32_t min = kNoMinimum;
  int64_t sum = 0;
  int32_t average = 0;   // sum / (width x height), integer quotient
  int32_t number = 0;    // frames read since Clear, this one included
  int32_t readErrors = 0;  // retries the chips' reads used for this frame

  int32_t Cell(int32_t x, int32_t y) const {
    return cells[static_cast<size_t>(x) * static_cast<size_t>(height) + static_cast<size_t>(y)];
  }
  uint8_t Valid(int32_t x, int32_t y) const {
    return mask[static_cast<size_t>(x) * static_cast<size_t>(height) + static_cast<size_t>(y)];
  }
};

class InstantModel : public PelorinModel {
 public:
  explicit InstantModel(DeviceIo io = CorlinkDeviceIo());
  ~InstantModel() override;

  // Drops the chips, the layout, the frames and the read-error list; device 0, frame
  // counter 0, extremes reset. Returns true.
  bool Clear() override;
  void SetReadAddress(uint32_t address) override { readAddress_ = address; }
  uint32_t GetReadAddress() const { return readAddress_; }

  // Reads the chip status, the cascade information and each chip's status and geometry.
  // False when a read fails three times or the status names no known cascade. Leaves the
  // master chosen. Where slaves cannot be reached (a slave's status does not name the
  // index it was chosen by: the master answered in its place) the master alone is kept,
  // as a single chip, or detection fails when it has no lines.
  bool DetectChips();
  // autoOrder: sorts the detected chips by position; two chips at the same position give
  // the controller back to the system (IO_ReportToOS with enable 1) and fail. Otherwise
  // `order` names the chips by digit ("21": slave 1, then the master).
  bool SetChipOrder(std::string_view order);
  // Takes another model's detected chips (the second source shares the first's panel).
  bool CopyChipSet(const ChipSet& other);
  // Fixes Width, Height, the hidden lines, the mask and every buffer for the acquisition.
  bool PrepareFrameBuffers();
  // Reads every active chip and publishes the assembled frame. a and b must hold
  // MaxBlockBytes() bytes (b only for Raw Diff). False when a chip read fails.
  bool ReadFrame(std::span<uint8_t> a, std::span<uint8_t> b);
  // The same with buffers of the model's own.
  bool ReadFrame();
  // Reads size bytes at address into buffer (which must hold size bytes) with up to three
  // failed attempts; bytesRead receives the bytes the device delivered. Returns the
  // failed attempts: three or more means failure.
  int32_t ReadWithRetry(int32_t handle, std::span<uint8_t> buffer, uint32_t address,
                        uint32_t size, uint32_t& bytesRead);

  // The frame published last; null before the first frame after Start.
  std::shared_ptr<const LiveFrame> CurrentFrame() const;

  const ChipSet& GetDetectedSet() const { return detected_; }
  int32_t DetectedCount() const { return static_cast<int32_t>(detected_.chips.size()); }
  int32_t GetCascadeMode() const { return detected_.cascadeMode; }
  const ChipSet& GetActiveSet() const { return active_; }
  int32_t Width() const { return active_.width; }
  int32_t Height() const { return active_.height; }
  int32_t MaxSense() const { return maxSense_; }
  int32_t MaxDrive() const { return maxDrive_; }
  // Largest chip block of the layout: the size buffers a and b of ReadFrame need.
  uint32_t MaxBlockBytes() const;
  // The frame mask of the layout, [x * Height + y].
  const std::vector<uint8_t>& FrameMask() const { return mask_; }
  // Visible drive and sense lines of active chip i (1 = shown).
  const std::vector<uint8_t>& DriveVisible(size_t i) const { return chipState_.at(i).driveVisible; }
  const std::vector<uint8_t>& SenseVisible(size_t i) const { return chipState_.at(i).senseVisible; }
  // One entry per recent frame read, oldest first: the retries its chip reads used. At
  // least the last kReadErrorHistory frames are kept. Worker thread only.
  static constexpr size_t kReadErrorHistory = 1024;
  const std::vector<int32_t>& ReadErrors() const { return readErrors_; }

  int32_t GetFrameCounter() const { return frameCounter_.load(std::memory_order_acquire); }
  int32_t GetDevice() const { return device_; }
  void SetDevice(int32_t handle) { device_ = handle; }
  int32_t GetSelectedChip() const { return selectedChip_.load(std::memory_order_relaxed); }
  void SetSelectedChip(int32_t chip) { selectedChip_.store(chip, std::memory_order_relaxed); }
  int32_t GetDiagDelay() const { return diagDelay_; }
  void SetDiagDelay(int32_t ms) { diagDelay_ = ms; }

  // Switches of the layout (taken at the next PrepareFrameBuffers) and of the frame
  // assembly (reverse, turn-over: taken at the next frame).
  void SetAutoOrder(bool on) { autoOrder_ = on; }
  bool GetAutoOrder() const { return autoOrder_; }
  void SetHideOverlap(bool on) { hideOverlap_ = on; }
  bool GetHideOverlap() const { return hideOverlap_; }
  void SetReverse(bool on) { reverse_.store(on, std::memory_order_relaxed); }
  bool GetReverse() const { return reverse_.load(std::memory_order_relaxed); }
  void SetTurnOver(bool on) { turnOver_.store(on, std::memory_order_relaxed); }
  bool GetTurnOver() const { return turnOver_.load(std::memory_order_relaxed); }
  void SetHideOn(bool on) { hideOn_ = on; }
  bool GetHideOn() const { return hideOn_; }
  void SetMaskOn(bool on) { maskOn_ = on; }
  bool GetMaskOn() const { return maskOn_; }
  void SetHideShow(bool on) { hideShow_ = on; }
  bool GetHideShow() const { return hideShow_; }
  void SetMaskShow(bool on) { maskShow_ = on; }
  bool GetMaskShow() const { return maskShow_; }

  // "LAST", "ALL" or a chip name ("MASTER", "SINGLE", "S0" .. "S7").
  void SetHideChip(std::string text) { hideChip_ = std::move(text); }
  const std::string& GetHideChip() const { return hideChip_; }
  void SetHideDriveList(std::string text) { hideDriveList_ = std::move(text); }
  const std::string& GetHideDriveList() const { return hideDriveList_; }
  void SetHideSenseList(std::string text) { hideSenseList_ = std::move(text); }
  const std::string& GetHideSenseList() const { return hideSenseList_; }
  void SetMaskDriveList(std::string text) { maskDriveList_ = std::move(text); }
  const std::string& GetMaskDriveList() const { return maskDriveList_; }
  void SetMaskSenseList(std::string text) { maskSenseList_ = std::move(text); }
  const std::string& GetMaskSenseList() const { return maskSenseList_; }
  void SetMaskPoints(std::string text) { maskPoints_ = std::move(text); }
  const std::string& GetMaskPoints() const { return maskPoints_; }

 private:
  // Slave `slave` answered as chip `answeredAs`, not by its own index: keeps the master
  // alone, or fails when the master has no lines.
  bool KeepReachableChips(int32_t slave, int32_t answeredAs);
  // What the layout keeps per active chip.
  struct ChipState {
    int32_t visibleDrive = 0;
    int32_t visibleSense = 0;
    std::vector<uint8_t> driveVisible;
    std::vector<uint8_t> senseVisible;
    std::vector<int32_t> cells;  // driveCount x senseCount, [r * senseCount + k]
  };

  bool FillActiveSet();
  void HideDriveLines();
  void HideSenseLines();
  void ApplyMask();
  bool ReadChips(std::span<uint8_t> a, std::span<uint8_t> b, int32_t& errors);
  void JoinChips(LiveFrame& frame) const;
  // Line index within chip c that hide number t (from 1) names in the LAST and chip-name
  // modes: shifted past the lead overlap when the chip's Diff data include it.
  int32_t ShiftedSenseLine(const ChipInfo& chip, int32_t t) const;
  bool DiffWithOverlap(const ChipInfo& chip) const;

  DeviceIo io_;
  ChipSet active_;
  std::vector<int32_t> readErrors_;
  std::vector<ChipState> chipState_;
  std::vector<uint8_t> mask_;
  std::vector<uint8_t> bufferA_, bufferB_;
  mutable std::mutex publishMutex_;
  std::shared_ptr<const LiveFrame> published_;
  int32_t device_ = 0;
  std::atomic<int32_t> frameCounter_{0};
  uint32_t readAddress_ = 0;
  std::atomic<int32_t> selectedChip_{-1};
  int32_t maxSense_ = 0;
  int32_t maxDrive_ = 0;
  int32_t diagDelay_ = 0;
  bool autoOrder_ = true;
  bool hideOverlap_ = false;
  std::atomic<bool> reverse_{false};
  std::atomic<bool> turnOver_{false};
  bool hideOn_ = false;
  bool maskOn_ = false;
  bool hideShow_ = false;
  bool maskShow_ = false;
  std::string hideChip_;
  std::string hideDriveList_;
  std::string hideSenseList_;
  std::string maskDriveList_;
  std::string maskSenseList_;
  std::string maskPoints_;
  ChipSet detected_;
};

}  // namespace pelorin
