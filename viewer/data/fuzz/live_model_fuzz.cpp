// Feeds the live model arbitrary device replies and arbitrary hide, mask and order texts:
// detection, ordering, layout and two frame reads must stay inside every buffer and
// keep the frame consistent with the layout.
//
// Input: seven text lines (hide chip, hide drive list, hide sense list, mask drive list,
// mask sense list, mask points, order text), a 0 byte, four switch bytes (flags, source
// type, selected chip, filter threshold), then the device stream: per ReadData call one
// result byte (even = success), one length byte (taken modulo 53) and that many data bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "data/live_model.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

class Stream {
 public:
  Stream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelorin;
  // The model's retry messages would drown the fuzzer's own output.
  static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
  Check(quiet);
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const size_t zero = all.find('\0');
  const std::string_view text = all.substr(0, zero);
  const size_t rest = zero == std::string_view::npos ? size : zero + 1;
  Stream stream(data + rest, size - rest);

  std::vector<std::string> lines;
  size_t start = 0;
  while (lines.size() < 7) {
    const size_t end = text.find('\n', start);
    lines.emplace_back(start > text.size() ? std::string_view{} : text.substr(start, end - start));
    start = end == std::string_view::npos ? text.size() + 1 : end + 1;
  }

  DeviceIo io;
  io.OpenDevice = [](int) { return 3; };
  io.ReportToOS = [](int, bool, bool) { return true; };
  io.SetRawMode = [](int, int) { return 0; };
  io.SetChipIndex = [](int) {};
  io.ReadData = [&stream](int, uint32_t, uint8_t* buffer, uint32_t* count) {
    if (stream.Empty()) {
      *count = 0;
      return -1;
    }
    const bool ok = stream.Next() % 2 == 0;
    const uint32_t n = stream.Next() % (kDeviceReplyBytes + 1);
    for (uint32_t i = 0; i < n; ++i) buffer[i] = stream.Next();
    *count = n;
    return ok ? 0 : -2;
  };

  InstantModel model(io);
  const uint8_t flags = stream.Next();
  model.SetHideOn(flags & 1);
  model.SetHideShow(flags & 2);
  model.SetMaskOn(flags & 4);
  model.SetMaskShow(flags & 8);
  model.SetReverse(flags & 16);
  model.SetTurnOver(flags & 32);
  model.SetHideOverlap(flags & 64);
  model.SetAutoOrder(flags & 128);
  const int32_t type = stream.Next() % 7;
  model.SetSourceType(type);
  model.SetReadAddress(SourceReadAddress(type));
  const uint8_t chip = stream.Next();
  model.SetSelectedChip(chip < 128 ? -1 : chip % 12);
  model.SetFilterThreshold(stream.Next());
  model.SetFilterEnabled(true);
  for (auto& row : model.Kernel()) row = {1, 1, 1};
  model.SetHideChip(lines[0]);
  model.SetHideDriveList(lines[1]);
  model.SetHideSenseList(lines[2]);
  model.SetMaskDriveList(lines[3]);
  model.SetMaskSenseList(lines[4]);
  model.SetMaskPoints(lines[5]);

  if (!model.DetectChips() || !model.SetChipOrder(lines[6]) || !model.PrepareFrameBuffers()) return 0;
  Check(model.Width() > 0 && model.Height() > 0);
  Check(model.FrameMask().size() == static_cast<size_t>(model.Width()) * static_cast<size_t>(model.Height()));
  for (int i = 0; i < 2; ++i) {
    if (!model.ReadFrame()) break;
    const auto frame = model.CurrentFrame();
    Check(frame != nullptr && frame->number == i + 1);
    Check(frame->cells.size() == model.FrameMask().size());
  }
  return 0;
}
