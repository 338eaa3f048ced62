// Loading a recording for replay: the shared parser fills one store per source, which is
// checked (values a chip can hold), laid out over the cascade and turned into the bytes
// of each data region.
#include "panelsim/replay.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <optional>

#include "recording/recording_parser.h"

namespace panelsim {
namespace {

// What a source of the file is served as. RawDiff is no region of its own: the host
// computes it from Base and Raw Data.
enum class Kind { Raw, Base, Diff, Cycle, Loop, RawDiff };

struct KindName {
  Kind kind;
  const char* model;  // the type name a recording carries
  const char* short_name;
};
constexpr KindName kKinds[] = {
    {Kind::Raw, "RawData", "raw"}, {Kind::Base, "Base", "base"},
    {Kind::Diff, "Diff", "diff"},  {Kind::Cycle, "Cycle", "cycle"},
    {Kind::Loop, "Loop", "loop"},  {Kind::RawDiff, "RawDiff", "rawdiff"},
};

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A Type field without the blank the writer puts after "Type,".
std::string_view Trimmed(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\r')) name.remove_suffix(1);
  return name;
}

std::optional<Kind> KindOf(std::string_view name) {
  name = Trimmed(name);
  for (const KindName& k : kKinds)
    if (SameWord(name, k.model) || SameWord(name, k.short_name)) return k.kind;
  return std::nullopt;
}

Region RegionOf(Kind kind) {
  switch (kind) {
    case Kind::Raw: return Region::Raw;
    case Kind::Base: return Region::Base;
    case Kind::Diff: return Region::Diff;
    case Kind::Cycle: return Region::Cycle;
    case Kind::Loop: return Region::Loop;
    case Kind::RawDiff: break;
  }
  return Region::RawDiff;
}

std::string KnownNames() {
  std::string s;
  for (const KindName& k : kKinds) s += std::string(s.empty() ? "" : ", ") + k.model;
  return s;
}

// Keeps the blocks of the sources to be served, checking every cell as it comes.
class ReplayLoader : public pelorin::RecordingVisitor {
 public:
  struct Source {
    std::optional<Kind> kind;
    bool keep = false;
    int height = 0;
    std::vector<std::vector<int16_t>> frames;
  };

  explicit ReplayLoader(const ReplayOptions& options) : options_(options) {}

  void Sources(int32_t width, const std::vector<int32_t>& heights, int32_t) override {
    width_ = width;
    for (int32_t h : heights) sources_.push_back(Source{std::nullopt, false, h, {}});
  }
  void Name(size_t source, std::string_view name) override {
    Source& s = sources_.at(source);
    s.kind = KindOf(name);
    if (!s.kind) {
      Error(5, "source type \"" + std::string(Trimmed(name)) + "\" is none the chips serve (" +
                   KnownNames() + ")");
      return;
    }
    const bool wanted = options_.source.empty() || KindOf(options_.source) == s.kind;
    const bool first = std::none_of(sources_.begin(), sources_.begin() + long(source),
                                    [&](const Source& o) { return o.keep && o.kind == s.kind; });
    s.keep = wanted && first;  // a second source of a type serves nothing new
  }
  void BeginBlock(size_t source, const pelorin::BlockStamp& stamp, int32_t** cells,
                  uint8_t** mask) override {
    if (source == 0) stamps_.push_back(stamp.timeMs);
    const size_t n = size_t(width_) * size_t(sources_.at(source).height);
    cells_.assign(n, 0);
    mask_.assign(n, 0);
    *cells = cells_.data();
    *mask = mask_.data();
  }
  void EndBlock(size_t source, const pelorin::BlockFigures&, int32_t frameIndex, int32_t) override {
    Source& s = sources_.at(source);
    if (!s.keep || !error_.empty()) return;
    const int lo = s.kind == Kind::RawDiff ? -255 : 0;
    std::vector<int16_t> frame(cells_.size());
    for (size_t i = 0; i < cells_.size(); ++i) {
      const int32_t v = mask_[i] != 0 ? cells_[i] : 0;  // "N/A" is served as 0
      if (v < lo || v > 255) {
        Error(LineOf(source, size_t(frameIndex), i / size_t(s.height)),
              "cell value " + std::to_string(v) + " is outside " + std::to_string(lo) +
                  " to 255, what a chip's " + KindText(*s.kind) + " cell can hold");
        return;
      }
      frame[i] = static_cast<int16_t>(v);
    }
    s.frames.push_back(std::move(frame));
  }

  static std::string KindText(Kind kind) {
    for (const KindName& k : kKinds)
      if (k.kind == kind) return k.model;
    return "?";
  }

  // The line of a cell row: blocks follow the header in frame order, each source's block
  // a header line, Width rows and an empty line.
  int64_t LineOf(size_t source, size_t frame, size_t row) const {
    const int64_t block = int64_t(frame) * int64_t(sources_.size()) + int64_t(source);
    return pelorin::kFirstBlockLine + block * (int64_t(width_) + 2) + 1 + int64_t(row);
  }

  const std::string& error() const { return error_; }
  int width() const { return width_; }
  std::vector<Source>& sources() { return sources_; }
  const std::vector<int32_t>& stamps() const { return stamps_; }

 private:
  void Error(int64_t line, const std::string& what) {
    if (error_.empty()) error_ = "line " + std::to_string(line) + ": " + what;
  }

  const ReplayOptions& options_;
  int width_ = 0;
  std::vector<Source> sources_;
  std::vector<int32_t> stamps_;
  std::vector<int32_t> cells_;
  std::vector<uint8_t> mask_;
  std::string error_;
};

// Sense lines per chip: the counts given when there is one per chip, else Height split
// evenly over the sensing chips (the first ones one line more when it does not divide).
bool SplitSense(int height, int chips, bool master_senses, const std::vector<int>& given,
                std::vector<int>* sense, std::string* error) {
  const int sensing = master_senses ? chips : chips - 1;
  const int first = chips - sensing;
  sense->assign(size_t(chips), 1);
  if (given.size() == size_t(chips) && chips > 1) {
    int sum = 0;
    for (int c = first; c < chips; ++c) sum += given[size_t(c)];
    if (sum != height) {
      *error = "--sense gives " + std::to_string(sum) + " sense lines, the file's Height is " +
               std::to_string(height);
      return false;
    }
    *sense = given;
  } else {
    for (int c = first; c < chips; ++c)
      (*sense)[size_t(c)] = height / sensing + (c - first < height % sensing ? 1 : 0);
  }
  for (int c = first; c < chips; ++c) {
    if ((*sense)[size_t(c)] < 1 || (*sense)[size_t(c)] > 255) {
      *error = "Height " + std::to_string(height) + " over " + std::to_string(sensing) +
               " sensing chip(s) does not give 1 to 255 sense lines a chip (set --chips)";
      return false;
    }
  }
  return true;
}

}  // namespace

std::shared_ptr<const ReplayData> ReplayData::Load(const ReplayOptions& options, Given given,
                                                   PanelConfig* panel, std::string* error) {
  const std::string& path = options.file;
  auto fail = [&](const std::string& what) {
    *error = path + ": " + what;
    return nullptr;
  };
  if (!options.source.empty() && !KindOf(options.source))
    return fail("--replay-source \"" + options.source + "\" is no source type (" + KnownNames() +
                ")");
  std::string text = path;
  std::string decoded;
  const bool tbl = path.size() > 4 && path.compare(path.size() - 4, 4, ".tbl") == 0;
  if (tbl && !pelorin::DecodeTbl(path, decoded)) return fail("cannot decode this .tbl file");
  if (tbl) text = decoded;
  ReplayLoader loader(options);
  std::string why;
  const bool parsed = pelorin::ParseRecording(text, loader, &why);
  if (!decoded.empty()) ::unlink(decoded.c_str());
  if (!parsed) return fail(why.rfind("can't open", 0) == 0 ? "cannot be opened" : why);
  if (!loader.error().empty()) return fail(loader.error());

  // Which sources are served; Heights of the sources that are not Diff must agree.
  const auto& sources = loader.sources();
  const ReplayLoader::Source* diff = nullptr;
  const ReplayLoader::Source* raw_diff = nullptr;
  int height = 0;
  bool any = false;
  for (const auto& s : sources) {
    if (!s.keep) continue;
    any = true;
    if (s.kind == Kind::Diff) {
      diff = &s;
      continue;
    }
    if (s.kind == Kind::RawDiff) raw_diff = &s;
    if (height != 0 && s.height != height)
      return fail("line 4: the sources other than Diff differ in Height (" +
                  std::to_string(height) + " and " + std::to_string(s.height) +
                  "); serve one with --replay-source");
    height = s.height;
  }
  if (!any && !options.source.empty())
    return fail("line 5: the file holds no " + options.source + " source");
  if (!any) return fail("line 5: the file names no source type");
  const int width = loader.width();
  if (width > 255)
    return fail("line 3: Width " + std::to_string(width) + " is more than 255 drive lines");

  const int chips = given.chips ? panel->chips : 1;
  const int sensing = panel->master_senses ? chips : chips - 1;
  int overlap = 0;
  if (diff != nullptr && sensing > 1) {
    if (height == 0) {
      overlap = given.overlap ? panel->overlap : 0;
      height = diff->height - 2 * (sensing - 1) * overlap;
    } else {
      const int extra = diff->height - height;
      if (extra < 0 || extra % (2 * (sensing - 1)) != 0 || extra / (2 * (sensing - 1)) > 15)
        return fail("line 4: the Height of Diff (" + std::to_string(diff->height) +
                    ") is not that of the other sources (" + std::to_string(height) +
                    ") plus the overlap lines of " + std::to_string(sensing) + " chips");
      overlap = extra / (2 * (sensing - 1));
    }
  } else if (diff != nullptr) {
    if (height != 0 && height != diff->height)
      return fail("line 4: the Height of Diff (" + std::to_string(diff->height) +
                  ") differs from the other sources' (" + std::to_string(height) +
                  ") on one chip (set --chips)");
    height = diff->height;
  }
  std::vector<int> sense;
  if (!SplitSense(height, chips, panel->master_senses,
                  given.sense ? panel->sense : std::vector<int>{}, &sense, &why))
    return fail(why);
  for (int c = chips - sensing; c < chips; ++c)
    if (sense[size_t(c)] < overlap) return fail("the overlap is wider than a chip's sense lines");

  PanelConfig cascade = *panel;
  cascade.chips = chips;
  cascade.drive = width;
  cascade.sense = sense;
  cascade.overlap = overlap;
  cascade.fingers = 0;
  cascade.noise = 0;
  if (std::string bad = CheckPanelConfig(cascade); !bad.empty()) return fail(bad);

  auto data = std::make_shared<ReplayData>();
  data->options_ = options;
  data->width_ = width;
  auto take = [&](Region region, const ReplayLoader::Source& s) {
    Plane& p = data->planes_[size_t(Slot(region))];
    p.served = true;
    p.height = s.height;
    p.frames.reserve(s.frames.size());
    for (const auto& f : s.frames) p.frames.emplace_back(f.begin(), f.end());
  };
  for (const auto& s : sources)
    if (s.keep && s.kind != Kind::RawDiff) take(RegionOf(*s.kind), s);
  if (raw_diff != nullptr) {
    // Base - Raw Data = difference: derive what the file lacks.
    Plane& raw = data->planes_[size_t(Slot(Region::Raw))];
    Plane& base = data->planes_[size_t(Slot(Region::Base))];
    if (!raw.served || !base.served) {
      const bool haveRaw = raw.served, haveBase = base.served;
      for (Plane* p : {&raw, &base}) {
        if (p->served) continue;
        p->served = true;
        p->height = raw_diff->height;
        p->frames.assign(raw_diff->frames.size(), std::vector<uint8_t>());
      }
      for (size_t f = 0; f < raw_diff->frames.size(); ++f) {
        const auto& d = raw_diff->frames[f];
        auto& r = raw.frames[f];
        auto& b = base.frames[f];
        if (!haveRaw) r.assign(d.size(), 0);
        if (!haveBase) b.assign(d.size(), 0);
        for (size_t i = 0; i < d.size(); ++i) {
          int rv = r[i], bv = b[i];
          if (haveBase)
            rv = bv - d[i];
          else if (haveRaw)
            bv = rv + d[i];
          else
            bv = std::max<int>(d[i], 0), rv = std::max<int>(-d[i], 0);
          if (rv < 0 || rv > 255 || bv < 0 || bv > 255) {
            const size_t source = size_t(raw_diff - sources.data());
            return fail("line " +
                        std::to_string(loader.LineOf(source, f, i / size_t(raw_diff->height))) +
                        ": RawDiff " + std::to_string(d[i]) +
                        " does not fit the Base or RawData cell beside it (0 to 255)");
          }
          r[i] = uint8_t(rv);
          b[i] = uint8_t(bv);
        }
      }
    }
  }

  // When each frame may be served.
  const auto& stamps = loader.stamps();
  data->due_ms_.assign(stamps.size(), 0);
  for (size_t i = 1; i < stamps.size(); ++i) {
    int64_t step = 0;
    if (options.pace == ReplayPace::Recorded)
      step = std::max<int64_t>(0, int64_t(stamps[i]) - int64_t(stamps[i - 1]));
    else if (options.pace == ReplayPace::Fixed)
      step = options.interval_ms;
    data->due_ms_[i] = data->due_ms_[i - 1] + step;
  }
  *panel = cascade;
  return data;
}

bool ReplayData::Serves(Region region) const {
  return region == Region::RawDiff || planes_[size_t(Slot(region))].served;
}

std::string ReplayData::ServedNames() const {
  std::string s;
  for (const KindName& k : kKinds) {
    if (k.kind == Kind::RawDiff) continue;
    if (Serves(RegionOf(k.kind))) s += std::string(s.empty() ? "" : ",") + k.model;
  }
  return s;
}

std::vector<uint8_t> ReplayData::Block(const PanelModel& model, int chip, Region region,
                                       size_t frame, bool ready) const {
  const ChipGeometry& g = model.chip(chip);
  const int stride = model.Stride(chip, region);
  const size_t header = region == Region::RawDiff ? 4 : 0;
  std::vector<uint8_t> out(header + size_t(g.drive) * size_t(stride), 0);
  if (region == Region::RawDiff) {
    const uint32_t number = static_cast<uint32_t>(frame + 1);
    out[0] = ready ? 1 : 0;
    out[1] = static_cast<uint8_t>(number);
    out[2] = static_cast<uint8_t>(number >> 8);
    out[3] = static_cast<uint8_t>(number >> 16);
  }
  if (!g.senses) return out;
  const bool diff = region == Region::Diff;
  // The chip's first column in the file: the lines of the sensing chips before it, with
  // their overlap lines in a Diff frame.
  int start = 0;
  for (int c = 0; c < chip; ++c) {
    const ChipGeometry& o = model.chip(c);
    if (o.senses) start += diff ? o.lead + o.sense + o.tail : o.sense;
  }
  const int lines = diff ? g.lead + g.sense + g.tail : g.sense;
  const Plane* a = nullptr;  // the plane served, or Base and Raw Data for 0x50
  const Plane* b = nullptr;
  if (region == Region::RawDiff) {
    a = &planes_[size_t(Slot(Region::Base))];
    b = &planes_[size_t(Slot(Region::Raw))];
    if (!a->served || !b->served) return out;
  } else {
    a = &planes_[size_t(Slot(region))];
    if (!a->served) return out;
  }
  const size_t f = std::min(frame, a->frames.size() - 1);
  for (int d = 0; d < g.drive; ++d) {
    const int x = options_.turn_over ? g.drive - 1 - d : d;
    for (int i = 0; i < lines; ++i) {
      const int y = start + (options_.reverse ? lines - 1 - i : i);
      if (y >= a->height) continue;
      const size_t cell = size_t(x) * size_t(a->height) + size_t(y);
      uint8_t v = a->frames[f][cell];
      if (b != nullptr)
        v = static_cast<uint8_t>(
            static_cast<int8_t>(std::clamp(int(v) - int(b->frames[f][cell]), -128, 127)));
      out[header + size_t(d) * size_t(stride) + size_t(i)] = v;
    }
  }
  return out;
}

}  // namespace panelsim
