// Feeds arbitrary bytes to the recording parser as a text file, and through the ".tbl"
// decoder first when the first byte is odd. The visitor keeps every block it is given
// and reads every cell back, so a parser writing past a block or leaving cells unwritten
// shows under the sanitizers.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "recording/recording_parser.h"

namespace {

class KeepingVisitor : public pelorin::RecordingVisitor {
 public:
  void Sources(int32_t width, const std::vector<int32_t>& heights, int32_t) override {
    width_ = width;
    heights_ = heights;
  }
  void Name(size_t, std::string_view) override {}
  void BeginBlock(size_t source, const pelorin::BlockStamp&, int32_t** cells,
                  uint8_t** mask) override {
    const size_t n = size_t(width_) * size_t(heights_.at(source));
    cells_.assign(n, 0);
    mask_.assign(n, 2);
    *cells = cells_.data();
    *mask = mask_.data();
  }
  void EndBlock(size_t, const pelorin::BlockFigures& f, int32_t, int32_t) override {
    int64_t sum = 0;
    for (size_t i = 0; i < cells_.size(); ++i) {
      if (mask_[i] > 1) __builtin_trap();  // a cell the parser never wrote
      if (mask_[i] == 1) sum += cells_[i];
    }
    if (sum != f.sum) __builtin_trap();
  }

 private:
  int32_t width_ = 0;
  std::vector<int32_t> heights_;
  std::vector<int32_t> cells_;
  std::vector<uint8_t> mask_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char pattern[] = "/tmp/pelorin-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  const bool tbl = size > 0 && (data[0] & 1) != 0;
  const std::string path = dir + (tbl ? "/input.tbl" : "/input.csv");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 0 && std::fwrite(data, 1, size, f) != size) {
    std::fclose(f);
    return 0;
  }
  std::fclose(f);
  std::string text = path;
  std::string decoded;
  if (tbl) {
    if (!pelorin::DecodeTbl(path, decoded)) {
      unlink(path.c_str());
      return 0;
    }
    text = decoded;
  }
  KeepingVisitor visitor;
  std::string error;
  (void)pelorin::ParseRecording(text, visitor, &error);
  if (!decoded.empty()) unlink(decoded.c_str());
  unlink(path.c_str());
  return 0;
}
