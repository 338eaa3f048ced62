#include "panelsim/panel_model.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace panelsim {
namespace {

uint64_t Mix(uint64_t x) {  // splitmix64 finaliser
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  double Uniform(double lo, double hi) {
    state_ = Mix(state_);
    return lo + (hi - lo) * static_cast<double>(state_ >> 11) / 9007199254740992.0;
  }

 private:
  uint64_t state_;
};

int RoundUp4(int n) { return (n + 3) & ~3; }

}  // namespace

std::string CheckPanelConfig(const PanelConfig& c) {
  if (c.chips < 1 || c.chips > 8) return "chip count must be 1 to 8";
  if (!c.master_senses && c.chips < 2) return "a master without sensor lines needs at least one slave";
  if (c.drive < 1 || c.drive > 255) return "drive lines must be 1 to 255";
  if (c.sense.empty() || (c.sense.size() != 1 && static_cast<int>(c.sense.size()) != c.chips))
    return "give one sense-line count, or one per chip";
  for (int s : c.sense)
    if (s < 1 || s > 255) return "sense lines must be 1 to 255";
  if (c.overlap < 0 || c.overlap > 15) return "overlap must be 0 to 15";
  if (c.fingers < 0 || c.fingers > 10) return "fingers must be 0 to 10";
  if (c.noise < 0 || c.noise > 50) return "noise must be 0 to 50";
  return {};
}

PanelModel::PanelModel(const PanelConfig& config) : config_(config) {
  Rng rng(Mix(config.seed) ^ 0x5A5A5A5Aull);
  int first = config.master_senses ? 0 : 1;
  int sensing = config.chips - first;
  int column = 0;
  for (int i = 0; i < config.chips; ++i) {
    ChipGeometry g;
    g.drive = config.drive;
    g.sense = config.sense.size() == 1 ? config.sense[0] : config.sense[static_cast<size_t>(i)];
    g.senses = i >= first;
    if (g.senses) {
      int k = i - first;  // position among the sensing chips
      g.lead = k > 0 ? std::min(config.overlap, g.sense) : 0;
      g.tail = k < sensing - 1 ? std::min(config.overlap, g.sense) : 0;
      g.column = column;
      column += g.sense;
    }
    chips_.push_back(g);
    chip_offset_.push_back(static_cast<int>(std::lround(rng.Uniform(-8, 8))));
  }
  columns_ = column;
  for (int f = 0; f < config.fingers; ++f) {
    Finger fg;
    fg.ax = rng.Uniform(0.25, 0.45);
    fg.ay = rng.Uniform(0.25, 0.45);
    fg.fx = rng.Uniform(0.02, 0.07);
    fg.fy = rng.Uniform(0.02, 0.07);
    fg.px = rng.Uniform(0, 6.283);
    fg.py = rng.Uniform(0, 6.283);
    fg.amplitude = rng.Uniform(50, 80);
    fg.radius = rng.Uniform(1.2, 2.2);
    fingers_.push_back(fg);
  }
}

int PanelModel::Stride(int chip, Region region) const {
  const ChipGeometry& g = chips_.at(static_cast<size_t>(chip));
  if (!g.senses) return 0;
  if (region == Region::Diff) return RoundUp4(g.lead + g.sense + g.tail);
  return RoundUp4(g.sense);
}

double PanelModel::TouchAt(int drive, int column, uint32_t frame) const {
  if (frame < config_.touch_from) return 0;
  double sum = 0;
  double w = config_.drive, h = std::max(columns_, 1);
  for (const Finger& f : fingers_) {
    double cx = w * (0.5 + f.ax * std::sin(f.fx * frame + f.px));
    double cy = h * (0.5 + f.ay * std::sin(f.fy * frame + f.py));
    double dx = drive + 0.5 - cx, dy = column + 0.5 - cy;
    double d2 = (dx * dx + dy * dy) / (f.radius * f.radius);
    if (d2 < 30) sum += f.amplitude * std::exp(-0.5 * d2);
  }
  return sum;
}

int PanelModel::BaseAt(int chip, int drive, int column) const {
  double w = std::max(config_.drive - 1, 1), h = std::max(columns_ - 1, 1);
  double v = 150 + 20.0 * drive / w - 15.0 * column / h + chip_offset_.at(static_cast<size_t>(chip));
  return std::clamp(static_cast<int>(std::lround(v)), 0, 255);
}

int PanelModel::RawAt(int chip, int drive, int column, uint32_t frame) const {
  int base = BaseAt(chip, drive, column);
  int noise = 0;
  if (config_.noise > 0) {
    uint64_t h = Mix(Mix(Mix(config_.seed) ^ frame) ^ (static_cast<uint64_t>(chip) << 40) ^
                     (static_cast<uint64_t>(drive) << 20) ^ static_cast<uint64_t>(column + 1024));
    noise = static_cast<int>(h % static_cast<uint64_t>(2 * config_.noise + 1)) - config_.noise;
  }
  int raw = static_cast<int>(std::lround(base - TouchAt(drive, column, frame))) + noise;
  return std::clamp(raw, base / 4, 255);
}

std::vector<uint8_t> PanelModel::Block(int chip, Region region, uint32_t frame, bool ready) const {
  const ChipGeometry& g = chips_.at(static_cast<size_t>(chip));
  int stride = Stride(chip, region);
  size_t header = region == Region::RawDiff ? 4 : 0;
  std::vector<uint8_t> out(header + static_cast<size_t>(g.drive) * static_cast<size_t>(stride), 0);
  if (region == Region::RawDiff) {
    out[0] = ready ? 1 : 0;
    out[1] = static_cast<uint8_t>(frame);
    out[2] = static_cast<uint8_t>(frame >> 8);
    out[3] = static_cast<uint8_t>(frame >> 16);
  }
  if (!g.senses) return out;
  int first = region == Region::Diff ? -g.lead : 0;
  int last = region == Region::Diff ? g.sense + g.tail : g.sense;
  for (int d = 0; d < g.drive; ++d) {
    for (int k = first; k < last; ++k) {
      int column = g.column + k;
      int base = BaseAt(chip, d, column);
      int raw = RawAt(chip, d, column, frame);
      int cycle = base / 4;
      int v = 0;
      switch (region) {
        case Region::Base: v = base; break;
        case Region::Raw: v = raw; break;
        case Region::Diff: v = std::max(0, base - raw); break;
        case Region::Cycle: v = cycle; break;
        case Region::Loop: v = raw - cycle; break;
        case Region::RawDiff: v = static_cast<uint8_t>(static_cast<int8_t>(std::clamp(base - raw, -128, 127))); break;
      }
      out[header + static_cast<size_t>(d) * static_cast<size_t>(stride) + static_cast<size_t>(k - first)] =
          static_cast<uint8_t>(v);
    }
  }
  return out;
}

}  // namespace panelsim
