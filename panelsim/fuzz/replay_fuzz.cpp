// Feeds arbitrary bytes to the replay loader as a recording, with the chip count, overlap
// and flags taken from the first byte, and reads every chip's block of every region of
// the first and the last frame from what loads: a layout that sends a chip past its
// frame's cells shows under the sanitizers.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "panelsim/panel_model.h"
#include "panelsim/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    char pattern[] = "/tmp/panelsim-replay-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp") + "/input.csv";
  }();
  if (size == 0) return 0;
  const uint8_t knobs = data[0];
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 1 && std::fwrite(data + 1, 1, size - 1, f) != size - 1) {
    std::fclose(f);
    return 0;
  }
  std::fclose(f);

  panelsim::ReplayOptions options;
  options.file = path;
  options.reverse = (knobs & 0x10) != 0;
  options.turn_over = (knobs & 0x20) != 0;
  options.pace = (knobs & 0x40) != 0 ? panelsim::ReplayPace::Fast : panelsim::ReplayPace::Recorded;
  panelsim::PanelConfig panel;
  panel.chips = 1 + (knobs & 0x07);
  panel.overlap = (knobs >> 3) & 0x01 ? 2 : 0;
  panel.master_senses = (knobs & 0x80) == 0 || panel.chips < 2;
  panelsim::ReplayData::Given given{true, false, true};
  std::string error;
  auto replay = panelsim::ReplayData::Load(options, given, &panel, &error);
  if (replay) {
    const panelsim::PanelModel model(panel);
    const size_t last = replay->frame_count() - 1;
    for (size_t frame : {size_t{0}, last}) {
      for (int chip = 0; chip < model.chip_count(); ++chip) {
        for (int region = 0x50; region <= 0x55; ++region) {
          auto bytes =
              replay->Block(model, chip, static_cast<panelsim::Region>(region), frame, true);
          if (bytes.size() <
              static_cast<size_t>(model.Stride(chip, static_cast<panelsim::Region>(region))))
            __builtin_trap();
        }
      }
    }
  }
  unlink(path.c_str());
  return 0;
}
