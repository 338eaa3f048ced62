// Replay driver for fuzz targets when libFuzzer is not available (gcc builds).
// Feeds every file named on the command line (or found in a named folder), then a fixed
// number of deterministic mutations of them, to LLVMFuzzerTestOneInput.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
std::vector<uint8_t> read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::vector<uint8_t>> seeds;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path p(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(p, ec)) {
      for (const auto& e : std::filesystem::directory_iterator(p, ec))
        if (e.is_regular_file()) seeds.push_back(read_file(e.path()));
    } else if (std::filesystem::is_regular_file(p, ec)) {
      seeds.push_back(read_file(p));
    }
  }
  seeds.emplace_back();
  for (const auto& s : seeds) LLVMFuzzerTestOneInput(s.data(), s.size());

  std::mt19937 rng(12345);
  const int rounds = 20000;
  for (int r = 0; r < rounds; ++r) {
    std::vector<uint8_t> in = seeds[rng() % seeds.size()];
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      switch (rng() % 4) {
        case 0:  // flip a byte
          if (!in.empty()) in[rng() % in.size()] = static_cast<uint8_t>(rng());
          break;
        case 1:  // insert a byte
          in.insert(in.begin() + static_cast<long>(in.empty() ? 0 : rng() % in.size()),
                    static_cast<uint8_t>(rng()));
          break;
        case 2:  // drop a byte
          if (!in.empty()) in.erase(in.begin() + static_cast<long>(rng() % in.size()));
          break;
        default:  // truncate
          if (!in.empty()) in.resize(rng() % in.size());
          break;
      }
    }
    LLVMFuzzerTestOneInput(in.data(), in.size());
  }
  std::printf("fuzz replay: %zu seeds, %d mutations, no crash\n", seeds.size(), rounds);
  return 0;
}
