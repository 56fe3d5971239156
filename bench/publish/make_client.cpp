// Writes a deterministic sample client for the publish benchmark: `files` files totalling
// about `bytes`, spread over nested folders, sizes from a quarter to 1.75 times the mean;
// every other file is text-like (compresses about 5:1), the rest random (does not compress).
//
//   make_client DIR FILES BYTES [SEED]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
  }
};

void textLike(std::string& out, std::size_t size, Random& random) {
  char row[128];
  while (out.size() < size) {
    const std::uint64_t r = random.next();
    const int length = std::snprintf(
        row, sizeof row, "row %06u mesh=%u u=%.3f v=%.3f alpha=1.0 mip=%u flags=0x%04x\n",
        static_cast<unsigned>(r & 0xFFFFF), static_cast<unsigned>((r >> 20) & 0x3F),
        static_cast<double>((r >> 26) & 0x3FF) / 1024,
        static_cast<double>((r >> 36) & 0x3FF) / 1024, static_cast<unsigned>((r >> 46) & 7),
        static_cast<unsigned>((r >> 49) & 0xF0F0));
    out.append(row, static_cast<std::size_t>(length));
  }
  out.resize(size);
}

void noise(std::string& out, std::size_t size, Random& random) {
  out.resize(size);
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t r = random.next();
    for (std::size_t j = 0; j < 8 && i + j < size; ++j)
      out[i + j] = static_cast<char>(r >> (8 * j));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: make_client DIR FILES BYTES [SEED]\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const std::uint64_t files = std::strtoull(argv[2], nullptr, 10);
  const std::uint64_t bytes = std::strtoull(argv[3], nullptr, 10);
  Random random{argc > 4 ? std::strtoull(argv[4], nullptr, 10) | 1 : 0x9E3779B97F4A7C15ULL};
  const double mean = static_cast<double>(bytes) / static_cast<double>(files);
  std::string data;
  for (std::uint64_t i = 0; i < files; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "d%02u/s%02u/file%05u.%s", static_cast<unsigned>(i % 40),
                  static_cast<unsigned>(i / 40 % 10), static_cast<unsigned>(i),
                  i % 2 == 0 ? "utx" : "uax");
    const double scale = 0.25 + 1.5 * static_cast<double>(random.next() >> 11) / 9007199254740992.0;
    const auto size = static_cast<std::size_t>(mean * scale);
    data.clear();
    if (i % 2 == 0)
      textLike(data, size, random);
    else
      noise(data, size, random);
    const std::filesystem::path path = dir / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
