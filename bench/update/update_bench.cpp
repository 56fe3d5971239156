// The update engine's speed against what bounds it, each figure a ratio from the same run:
//   check:   an unchanged client with a warm cache at 1,000 to 50,000 files (time per file must
//            not grow), and 20,000 files against a bare loop making the same two stat calls;
//   repair:  hashing 2 GiB of files in the page cache against `openssl dgst -sha256`;
//   install: unpacking a 1 GiB packed file against inflating and hashing its blocks in memory.
// Every file lives under one temporary folder in /tmp, removed at the end.
//
//   update_bench [--benchmark_filter=REGEX]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <optional>

#include "bench_data.h"
#include "core/files.h"
#include "crypto/sha256.h"
#include "publish/manifest_writer.h"
#include "publish/packed_writer.h"
#include "update/packed_file.h"
#include "update/updater.h"

extern char** environ;

namespace tu::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kSeed[32] = {7};
constexpr std::uint64_t kMiB = 1048576;

const fs::path& root() {
  static const fs::path path = [] {
    const fs::path folder =
        fs::temp_directory_path() / ("tarn-update-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    return folder;
  }();
  return path;
}

std::string sha256Hex(std::string_view data) {
  Sha256 hasher;
  hasher.update(data.data(), data.size());
  std::uint8_t digest[Sha256::kDigestSize];
  hasher.final(digest);
  return hexEncode(digest, sizeof digest);
}

void writeWhole(const fs::path& path, std::string_view data) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

// Serves the signed manifest from memory; there is never anything to download.
class MemoryFetcher : public Fetcher {
 public:
  MemoryFetcher(std::string manifest, std::string signature)
      : manifest_(std::move(manifest)), signature_(std::move(signature)) {}
  bool getText(const std::string& url, std::string& out, std::string& error) override {
    if (url.ends_with("manifest.json")) {
      out = manifest_;
    } else if (url.ends_with("manifest.sig")) {
      out = signature_;
    } else {
      error = "HTTP 404 " + url;
      return false;
    }
    return true;
  }
  bool download(const std::string&, const fs::path&, std::uint64_t, const ProgressCallback&,
                std::string& error) override {
    error = "not served";
    return false;
  }

 private:
  std::string manifest_;
  std::string signature_;
};

// A client folder that already matches its manifest.
struct Client {
  fs::path dir;
  Manifest manifest;
  LauncherConfig config;
  std::unique_ptr<MemoryFetcher> fetcher;

  void sign() {
    const std::string text = manifestText(manifest);
    fetcher = std::make_unique<MemoryFetcher>(text, signatureText(text, kSeed));
    config.updateUrl = "http://127.0.0.1:1/";
    config.publicKey = publicKeyText(kSeed);
  }

  void add(const std::string& path, std::string_view content) {
    writeWhole(resolveRelative(dir, path), content);
    ManifestFile entry;
    entry.path = path;
    entry.size = static_cast<std::int64_t>(content.size());
    entry.sha256 = sha256Hex(content);
    entry.packed = 1;
    manifest.files.push_back(std::move(entry));
  }

  // Seconds from the start of the check phase to the end of the run (cache load, every file,
  // cache save, clean-up).
  double checkSeconds(CheckMode mode) {
    Clock::time_point start;
    Clock::time_point end;
    std::string code;
    Updater updater(
        dir, {}, config, *fetcher,
        [&](const std::string& phase) {
          if (phase == kPhaseCheck) start = Clock::now();
        },
        nullptr,
        [&](bool, bool, const std::string& doneCode, const std::string& detail) {
          end = Clock::now();
          code = doneCode + (detail.empty() ? "" : ": " + detail);
        },
        nullptr);
    updater.run(mode);
    if (code != "uptodate") {
      std::fprintf(stderr, "benchmark run ended with %s\n", code.c_str());
      std::exit(1);
    }
    return std::chrono::duration<double>(end - start).count();
  }
};

// ---- check ------------------------------------------------------------------------------------

Client& checkClient(int files) {
  static std::map<int, Client> clients;
  auto [it, fresh] = clients.try_emplace(files);
  Client& client = it->second;
  if (fresh) {
    client.dir = root() / ("check-" + std::to_string(files));
    // Folders of 250 files, like a client's data folders.
    for (int i = 0; i < files; ++i) {
      client.add("data" + std::to_string(i / 250) + "/file" + std::to_string(i) + ".dat",
                 "content of file " + std::to_string(i));
    }
    client.sign();
    client.checkSeconds(CheckMode::Check);  // fills the cache: the benchmark is the warm case
  }
  return client;
}

void BM_CheckWarm(benchmark::State& state) {
  const auto files = static_cast<int>(state.range(0));
  Client& client = checkClient(files);
  for (auto _ : state) state.SetIterationTime(client.checkSeconds(CheckMode::Check));
  state.counters["us_per_file"] = benchmark::Counter(
      static_cast<double>(files) * 1e-6,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CheckWarm)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(50000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The floor: the two stat calls the check makes per file (size, then time stamp), on paths
// made beforehand.
void BM_TwoStatsPerFile(benchmark::State& state) {
  const auto files = static_cast<int>(state.range(0));
  Client& client = checkClient(files);
  std::vector<std::string> paths;
  for (const ManifestFile& entry : client.manifest.files) {
    paths.push_back(resolveRelative(client.dir, entry.path).native());
  }
  double quickest = 1e30;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    for (const std::string& path : paths) {
      struct stat first {};
      struct stat second {};
      benchmark::DoNotOptimize(::stat(path.c_str(), &first));
      benchmark::DoNotOptimize(::stat(path.c_str(), &second));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    quickest = std::min(quickest, seconds);
    state.SetIterationTime(seconds);
  }
  state.counters["min_us_per_file"] = quickest / files * 1e6;
}
BENCHMARK(BM_TwoStatsPerFile)
    ->Arg(20000)
    ->MinTime(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// ---- repair -----------------------------------------------------------------------------------

// 2 GiB as a client holds it: 16 files of 64 MiB, 128 of 4 MiB, 1,024 of 512 KiB.
Client& repairClient() {
  static std::optional<Client> client;
  if (!client) {
    client.emplace();
    client->dir = root() / "repair";
    std::uint32_t seed = 1;
    const auto addFiles = [&](int count, std::uint64_t size, const std::string& folder) {
      for (int i = 0; i < count; ++i) {
        client->add(folder + "/f" + std::to_string(i) + ".bin", mixedContent(size, seed++));
      }
    };
    addFiles(16, 64 * kMiB, "large");
    addFiles(128, 4 * kMiB, "medium");
    addFiles(1024, kMiB / 2, "small");
    client->sign();
  }
  return *client;
}

// The quickest time of our code and of the reference it is measured against.
struct MinPair {
  double oursSeconds = 1e30;
  double floorSeconds = 1e30;
  double last = 0;
  void ours(double seconds) {
    oursSeconds = std::min(oursSeconds, seconds);
    last = seconds;
  }
  void floor(double seconds) { floorSeconds = std::min(floorSeconds, seconds); }
  // Counters: both throughputs in MB/s and ours / reference.
  void report(benchmark::State& state, std::uint64_t bytes) const {
    state.counters["ours_MBps"] = static_cast<double>(bytes) / oursSeconds / 1e6;
    state.counters["reference_MBps"] = static_cast<double>(bytes) / floorSeconds / 1e6;
    state.counters["ratio"] = floorSeconds / oursSeconds;
  }
};

std::uint64_t totalBytes(const Client& client) {
  std::uint64_t total = 0;
  for (const ManifestFile& entry : client.manifest.files)
    total += static_cast<std::uint64_t>(entry.size);
  return total;
}

// Runs a program to its end; its wall time in seconds.
double runProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const Clock::time_point start = Clock::now();
  pid_t pid = 0;
  int status = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
      waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", argv[0]);
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Ours and openssl's over the same files, alternating so that both see the same machine; the
// quickest of each counts.
void BM_RepairVsOpenssl(benchmark::State& state) {
  Client& client = repairClient();
  std::vector<std::string> args{"openssl", "dgst", "-sha256"};
  for (const ManifestFile& entry : client.manifest.files) {
    args.push_back(resolveRelative(client.dir, entry.path).native());
  }
  client.checkSeconds(CheckMode::Repair);  // into the page cache
  MinPair times;
  for (auto _ : state) {
    times.ours(client.checkSeconds(CheckMode::Repair));
    times.floor(runProgram(args));
    state.SetIterationTime(times.last);
  }
  times.report(state, totalBytes(client));
}
BENCHMARK(BM_RepairVsOpenssl)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// ---- install ----------------------------------------------------------------------------------

struct PackedFixture {
  fs::path packed;
  fs::path target;
  std::uint64_t size = 0;
  std::string sha256;
};

// A 1 GiB file packed the way the publisher packs it (1 MiB blocks).
const PackedFixture& packedFile() {
  static std::optional<PackedFixture> fixture;
  if (!fixture) {
    fixture.emplace();
    const fs::path source = root() / "install/source.bin";
    writeWhole(source, mixedContent(1024 * kMiB, 99));
    fixture->packed = root() / "install/file.tz";
    fixture->target = root() / "install/target.bin";
    PackResult result;
    std::string err;
    if (!packFile(source, fixture->packed, PackOptions{1048576, 6}, result, err)) {
      std::fprintf(stderr, "%s\n", err.c_str());
      std::exit(1);
    }
    fs::remove(source);
    fixture->size = result.size;
    fixture->sha256 = result.sha256;
  }
  return *fixture;
}

std::uint32_t le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The floor: the same blocks inflated (or taken raw) and hashed straight from memory.
double inflateAndHashInMemory(const std::string& packed, const PackedFixture& file) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(packed.data());
  const std::uint32_t blockSize = le32(bytes + 12);
  const std::uint32_t count = le32(bytes + 16);
  std::vector<unsigned char> output(blockSize);
  const Clock::time_point start = Clock::now();
  Sha256 hasher;
  std::size_t offset = kPackedHeaderSize + std::size_t{count} * 4;
  std::uint64_t left = file.size;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t word = le32(bytes + kPackedHeaderSize + std::size_t{i} * 4);
    const std::uint32_t stored = word & kPackedLengthMask;
    const auto expected = static_cast<std::size_t>(std::min<std::uint64_t>(blockSize, left));
    if ((word & kPackedRawFlag) != 0) {
      hasher.update(bytes + offset, stored);
    } else {
      uLongf produced = expected;
      uncompress(output.data(), &produced, bytes + offset, stored);
      hasher.update(output.data(), produced);
    }
    offset += stored;
    left -= expected;
  }
  std::uint8_t digest[Sha256::kDigestSize];
  hasher.final(digest);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (hexEncode(digest, sizeof digest) != file.sha256) {
    std::fprintf(stderr, "in-memory digest differs\n");
    std::exit(1);
  }
  return seconds;
}

// installPackedFile from a packed file in the page cache, against the in-memory floor.
void BM_InstallVsMemory(benchmark::State& state) {
  const PackedFixture& file = packedFile();
  std::string packed;
  readFile(file.packed, packed);
  MinPair times;
  std::string err;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    if (!installPackedFile(file.packed, file.target, file.size, file.sha256, err, nullptr)) {
      state.SkipWithError(err.c_str());
      break;
    }
    times.ours(std::chrono::duration<double>(Clock::now() - start).count());
    fs::remove(file.target);
    times.floor(inflateAndHashInMemory(packed, file));
    state.SetIterationTime(times.last);
  }
  times.report(state, file.size);
}
BENCHMARK(BM_InstallVsMemory)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// ---- figures ----------------------------------------------------------------------------------

// Keeps the counters of every benchmark for the figures.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      for (const auto& [name, counter] : run.counters) {
        const std::string& args = run.run_name.args;
        counters[run.run_name.function_name + (args.empty() ? "" : "/" + args) + ":" + name] =
            counter.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> counters;
};

void printFigures(const std::map<std::string, double>& c) {
  const auto value = [&](const std::string& name) -> std::optional<double> {
    const auto it = c.find(name);
    return it == c.end() ? std::nullopt : std::optional<double>(it->second);
  };
  double smallest = 1e30;
  double largest = 0;
  int sizes = 0;
  for (const int files : {1000, 5000, 20000, 50000}) {
    const auto perFile = value("BM_CheckWarm/" + std::to_string(files) + ":min_us_per_file");
    if (!perFile) continue;
    std::printf("check, %5d files: %.3f us per file\n", files, *perFile);
    smallest = std::min(smallest, *perFile);
    largest = std::max(largest, *perFile);
    ++sizes;
  }
  if (sizes > 1) {
    std::printf("check: largest / smallest time per file = %.3f (target <= 1.3)\n",
                largest / smallest);
  }
  const auto check20 = value("BM_CheckWarm/20000:min_us_per_file");
  const auto stats20 = value("BM_TwoStatsPerFile/20000:min_us_per_file");
  if (check20 && stats20) {
    std::printf("check of 20,000 files / two stat calls per file = %.3f (target <= 3)\n",
                *check20 / *stats20);
  }
  if (const auto ratio = value("BM_RepairVsOpenssl:ratio")) {
    std::printf("repair: %.0f MB/s, openssl dgst -sha256: %.0f MB/s, ratio %.3f (target >= 0.85)\n",
                *value("BM_RepairVsOpenssl:ours_MBps"), *value("BM_RepairVsOpenssl:reference_MBps"),
                *ratio);
  }
  if (const auto ratio = value("BM_InstallVsMemory:ratio")) {
    std::printf(
        "install: %.0f MB/s, inflate and hash in memory: %.0f MB/s, ratio %.3f "
        "(target >= 0.85)\n",
        *value("BM_InstallVsMemory:ours_MBps"), *value("BM_InstallVsMemory:reference_MBps"),
        *ratio);
  }
}

}  // namespace
}  // namespace tu::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tu::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\n");
  tu::bench::printFigures(reporter.counters);
  std::error_code ec;
  std::filesystem::remove_all(tu::bench::root(), ec);
  return 0;
}
