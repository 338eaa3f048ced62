#include "progress.h"

namespace corlink_tool {

void ProgressPrinter::Show(const std::string& phase, size_t done, size_t total) {
  if (phase != phase_) {
    if (drawn_ && terminal_) out_ << "\n";
    phase_ = phase;
    last_tenth_ = -1;
    last_percent_ = -1;
    drawn_ = false;
  }
  const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
  if (terminal_) {
    if (percent == last_percent_) return;
    last_percent_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    out_ << "\r" << phase << " [" << std::string(static_cast<size_t>(filled), '#')
         << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << percent << "% " << done << "/" << total
         << " bytes" << std::flush;
    drawn_ = true;
    return;
  }
  const int tenth = percent / 10;
  if (tenth == last_tenth_) return;
  last_tenth_ = tenth;
  out_ << phase << " " << done << "/" << total << " bytes (" << percent << "%)\n";
}

void ProgressPrinter::Done() {
  if (drawn_ && terminal_) out_ << "\n";
  drawn_ = false;
}

}  // namespace corlink_tool
