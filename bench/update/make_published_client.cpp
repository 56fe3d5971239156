// make_published_client OUT FILES TOTAL_MIB [BLOCK_KIB]: publishes a synthetic client of FILES
// files holding TOTAL_MIB MiB in all (sizes spread over three orders of magnitude, content half
// text, half noise) into OUT/site (manifest.json, manifest.sig, files/), the way the staff tool
// would, with blocks of BLOCK_KIB KiB (default 1024). Prints the public key that verifies it.
// The sources are deleted as they are packed.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_data.h"
#include "core/files.h"
#include "publish/manifest_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kSeed[32] = {7};
constexpr std::uint64_t kChunk = 64 * 1048576;

bool writeSource(const fs::path& path, std::uint64_t size, std::uint32_t seed) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (std::uint64_t done = 0; done < size; done += kChunk) {
    const std::string chunk = tu::bench::mixedContent(
        static_cast<std::size_t>(std::min(kChunk, size - done)), seed * 1000 + done / kChunk);
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: make_published_client OUT FILES TOTAL_MIB [BLOCK_KIB]\n");
    return 2;
  }
  const fs::path out = argv[1];
  const int files = std::stoi(argv[2]);
  const std::uint64_t total = std::stoull(argv[3]) * 1048576;
  const auto blockSize = static_cast<std::uint32_t>(argc == 5 ? std::stoul(argv[4]) * 1024 : 1048576);

  // Weights from e^0 to e^7, so the largest files are about a thousand times the smallest.
  std::mt19937 random(1);
  std::vector<double> weights;
  double sum = 0;
  for (int i = 0; i < files; ++i) {
    weights.push_back(std::exp(std::uniform_real_distribution<double>(0, 7)(random)));
    sum += weights.back();
  }

  tu::Manifest manifest;
  manifest.build = "bench";
  const fs::path site = out / "site";
  const fs::path source = out / "source.tmp";
  std::uint64_t assigned = 0;
  std::string err;
  for (int i = 0; i < files; ++i) {
    std::uint64_t size = static_cast<std::uint64_t>(weights[i] / sum * static_cast<double>(total));
    if (i == files - 1) size = total - std::min(assigned, total);
    assigned += size;
    const std::string path =
        "data/d" + std::to_string(i / 100) + "/file" + std::to_string(i) + ".bin";
    tu::ManifestFile entry;
    if (!writeSource(source, size, static_cast<std::uint32_t>(i + 1)) ||
        !tu::publishFile(source, site, path, tu::PackOptions{blockSize, 6}, entry, err)) {
      std::fprintf(stderr, "make_published_client: %s\n", err.empty() ? "cannot write" : err.c_str());
      return 1;
    }
    manifest.files.push_back(entry);
  }
  std::error_code ec;
  fs::remove(source, ec);
  if (!tu::writeSignedManifest(site, manifest, kSeed, err)) {
    std::fprintf(stderr, "make_published_client: %s\n", err.c_str());
    return 1;
  }
  std::printf("%s\n", tu::publicKeyText(kSeed).c_str());
  return 0;
}
