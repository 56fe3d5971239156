// The update engine's speed against what bounds it, each figure a ratio from the same run:
//   check:   an unchanged client with a warm cache at 1,000 to 50,000 files (time per file must
//            not grow), and 20,000 files against a bare loop making the same two stat calls;
//   repair:  hashing 2 GiB of files in the page cache against `openssl dgst -sha256`;
//   install: unpacking a 1 GiB packed file against inflating (on every core) and hashing its
//            blocks in memory.
// Each figure is the best of several runs, ours and the reference alternating, in wall time and
// in CPU time (user + system, of this process or of the reference's process): on a machine
// that other work keeps busy the CPU-time ratio is the steadier one. Every file lives under one
// temporary folder in /tmp, removed at the end.
//
//   update_bench [--benchmark_filter=REGEX]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

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
  void cancel() override {}

 private:
  std::string manifest_;
  std::string signature_;
};

// Wall and CPU seconds of one measured stretch.
struct Cost {
  double wall = 1e30;
  double cpu = 1e30;
};

double cpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Starts measuring at construction; cost() is what passed since, for this process (`who`
// RUSAGE_SELF) or its waited-for children (RUSAGE_CHILDREN).
class Stopwatch {
 public:
  explicit Stopwatch(int who = RUSAGE_SELF)
      : who_(who), wall_(Clock::now()), cpu_(cpuSeconds(who)) {}
  Cost cost() const {
    return {std::chrono::duration<double>(Clock::now() - wall_).count(), cpuSeconds(who_) - cpu_};
  }

 private:
  int who_;
  Clock::time_point wall_;
  double cpu_;
};

// The best of several costs, each measure on its own.
struct Best {
  Cost cost;
  void add(const Cost& next) {
    cost.wall = std::min(cost.wall, next.wall);
    cost.cpu = std::min(cost.cpu, next.cpu);
  }
};

// Ours against a reference over the same bytes: both throughputs and both ratios.
void reportPair(benchmark::State& state, const Best& ours, const Best& reference,
                std::uint64_t bytes) {
  state.counters["ours_MBps"] = static_cast<double>(bytes) / ours.cost.wall / 1e6;
  state.counters["reference_MBps"] = static_cast<double>(bytes) / reference.cost.wall / 1e6;
  state.counters["ratio_wall"] = reference.cost.wall / ours.cost.wall;
  state.counters["ratio_cpu"] = reference.cost.cpu / ours.cost.cpu;
}

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

  // From the start of the check phase to the end of the run: cache load, every file, cache
  // save, clean-up.
  Cost check(CheckMode mode) {
    std::optional<Stopwatch> watch;
    Cost cost;
    std::string code;
    Updater updater(
        dir, {}, config, *fetcher,
        [&](const std::string& phase) {
          if (phase == kPhaseCheck) watch.emplace();
        },
        nullptr,
        [&](const RunEnd& end) {
          if (watch) cost = watch->cost();
          code = endCodeText(end.code) + (end.detail.empty() ? "" : ": " + end.detail);
        },
        nullptr);
    updater.run(mode);
    if (code != "uptodate") {
      std::fprintf(stderr, "benchmark run ended with %s\n", code.c_str());
      std::exit(1);
    }
    return cost;
  }
};

std::uint64_t totalBytes(const Client& client) {
  std::uint64_t total = 0;
  for (const ManifestFile& entry : client.manifest.files) {
    total += static_cast<std::uint64_t>(entry.size);
  }
  return total;
}

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
    client.check(CheckMode::Check);  // fills the cache: the benchmark is the warm case
  }
  return client;
}

constexpr int kCheckSizes[] = {1000, 5000, 20000, 50000};
constexpr int kCheckWork = 50000;  // files per measure: small clients are checked repeatedly

// The floor: the two stat calls the check makes per file (size, then time stamp).
Cost twoStatsPerFile(const std::vector<std::string>& paths) {
  const Stopwatch watch;
  for (const std::string& path : paths) {
    struct stat first {};
    struct stat second {};
    benchmark::DoNotOptimize(::stat(path.c_str(), &first));
    benchmark::DoNotOptimize(::stat(path.c_str(), &second));
  }
  return watch.cost();
}

Cost perFile(Cost cost, int files) {
  cost.wall /= files;
  cost.cpu /= files;
  return cost;
}

// Every size in turn, round after round, with the bare stat loop among them, and each measure
// covering the same number of files: a machine whose speed drifts (a busy neighbour, a virtual
// CPU) slows all of them alike, and the best round of each is compared.
void BM_CheckScaling(benchmark::State& state) {
  std::map<int, Best> checks;
  for (const int files : kCheckSizes) checkClient(files);
  std::vector<std::string> paths;
  for (const ManifestFile& entry : checkClient(20000).manifest.files) {
    paths.push_back(resolveRelative(checkClient(20000).dir, entry.path).native());
  }
  Best stats;
  for (auto _ : state) {
    const Stopwatch round;
    for (const int files : kCheckSizes) {
      Cost total{0, 0};
      for (int done = 0; done < kCheckWork; done += files) {
        const Cost one = checkClient(files).check(CheckMode::Check);
        total.wall += one.wall;
        total.cpu += one.cpu;
      }
      checks[files].add(perFile(total, kCheckWork));
    }
    stats.add(perFile(twoStatsPerFile(paths), static_cast<int>(paths.size())));
    state.SetIterationTime(round.cost().wall);
  }
  for (const auto& [files, best] : checks) {
    state.counters["check" + std::to_string(files) + "_wall_us"] = best.cost.wall * 1e6;
    state.counters["check" + std::to_string(files) + "_cpu_us"] = best.cost.cpu * 1e6;
  }
  state.counters["stats_wall_us"] = stats.cost.wall * 1e6;
  state.counters["stats_cpu_us"] = stats.cost.cpu * 1e6;
}
BENCHMARK(BM_CheckScaling)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);

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

// Runs a program to its end, its output thrown away; its cost (the child's CPU time).
Cost runProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const Stopwatch watch(RUSAGE_CHILDREN);
  pid_t pid = 0;
  int status = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
      waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", argv[0]);
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  return watch.cost();
}

// A repair's hashing and openssl's over the same files, alternating.
void BM_RepairVsOpenssl(benchmark::State& state) {
  Client& client = repairClient();
  std::vector<std::string> args{"openssl", "dgst", "-sha256"};
  for (const ManifestFile& entry : client.manifest.files) {
    args.push_back(resolveRelative(client.dir, entry.path).native());
  }
  client.check(CheckMode::Repair);  // into the page cache
  Best ours;
  Best openssl;
  for (auto _ : state) {
    const Cost cost = client.check(CheckMode::Repair);
    ours.add(cost);
    openssl.add(runProgram(args));
    state.SetIterationTime(cost.wall);
  }
  reportPair(state, ours, openssl, totalBytes(client));
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

// The floor: the same blocks inflated (or taken raw) straight from memory on every core, with
// the installer's own inflater, and hashed in order as they come.
Cost inflateAndHashInMemory(const std::string& packed, const PackedFixture& file) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(packed.data());
  const std::uint32_t blockSize = le32(bytes + 12);
  const std::uint32_t count = le32(bytes + 16);
  const Stopwatch watch;
  std::vector<std::size_t> offsets(count + 1, kPackedHeaderSize + std::size_t{count} * 4);
  for (std::uint32_t i = 0; i < count; ++i) {
    offsets[i + 1] = offsets[i] + (le32(bytes + kPackedHeaderSize + std::size_t{i} * 4) &
                                   kPackedLengthMask);
  }
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t ring = 2 * threads;
  std::vector<std::vector<unsigned char>> outputs(ring, std::vector<unsigned char>(blockSize));
  std::vector<std::size_t> lengths(ring);
  std::vector<std::uint32_t> ready(ring, ~0u);  // the block each slot holds, once inflated
  std::uint32_t hashed = 0;
  std::mutex mutex;
  std::condition_variable changed;

  const auto inflateEvery = [&](std::uint32_t first) {
    for (std::uint32_t i = first; i < count; i += threads) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return i < hashed + ring; });
      }
      const std::uint32_t word = le32(bytes + kPackedHeaderSize + std::size_t{i} * 4);
      const std::uint64_t start = std::uint64_t{i} * blockSize;
      const std::size_t produced = std::min<std::uint64_t>(blockSize, file.size - start);
      if ((word & kPackedRawFlag) != 0) {
        std::memcpy(outputs[i % ring].data(), bytes + offsets[i], produced);
      } else if (!inflateBlock(bytes + offsets[i],
                               static_cast<std::uint32_t>(offsets[i + 1] - offsets[i]), produced,
                               outputs[i % ring])) {
        std::fprintf(stderr, "in-memory inflate failed\n");
        std::exit(1);
      }
      std::lock_guard<std::mutex> lock(mutex);
      lengths[i % ring] = produced;
      ready[i % ring] = i;
      changed.notify_all();
    }
  };
  std::vector<std::thread> inflaters;
  for (unsigned t = 0; t < threads; ++t) inflaters.emplace_back(inflateEvery, t);
  Sha256 hasher;
  for (std::uint32_t i = 0; i < count; ++i) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return ready[i % ring] == i; });
    }
    hasher.update(outputs[i % ring].data(), lengths[i % ring]);
    std::lock_guard<std::mutex> lock(mutex);
    hashed = i + 1;
    changed.notify_all();
  }
  for (std::thread& thread : inflaters) thread.join();
  std::uint8_t digest[Sha256::kDigestSize];
  hasher.final(digest);
  const Cost cost = watch.cost();
  if (hexEncode(digest, sizeof digest) != file.sha256) {
    std::fprintf(stderr, "in-memory digest differs\n");
    std::exit(1);
  }
  return cost;
}

// installPackedFile from a packed file in the page cache, against the in-memory floor.
void BM_InstallVsMemory(benchmark::State& state) {
  const PackedFixture& file = packedFile();
  std::string packed;
  readFile(file.packed, packed);
  Best ours;
  Best memory;
  std::string err;
  for (auto _ : state) {
    const Stopwatch watch;
    if (!installPackedFile(file.packed, file.target, file.size, file.sha256, nullptr, err)) {
      state.SkipWithError(err.c_str());
      break;
    }
    const Cost cost = watch.cost();
    ours.add(cost);
    fs::remove(file.target);
    memory.add(inflateAndHashInMemory(packed, file));
    state.SetIterationTime(cost.wall);
  }
  reportPair(state, ours, memory, file.size);
}
BENCHMARK(BM_InstallVsMemory)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// ---- figures ----------------------------------------------------------------------------------

// Keeps the counters of every benchmark for the figures.
class FigureReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const std::string& args = run.run_name.args;
      for (const auto& [name, counter] : run.counters) {
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
  for (const char* kind : {"wall", "cpu"}) {
    const auto perFile = [&](const std::string& what) {
      return value("BM_CheckScaling:" + what + "_" + kind + "_us");
    };
    double smallest = 1e30;
    double largest = 0;
    for (const int files : kCheckSizes) {
      const auto time = perFile("check" + std::to_string(files));
      if (!time) continue;
      std::printf("check, %5d files: %.3f us per file (%s)\n", files, *time, kind);
      smallest = std::min(smallest, *time);
      largest = std::max(largest, *time);
    }
    const auto check = perFile("check20000");
    const auto stats = perFile("stats");
    if (!check || !stats) continue;
    std::printf("check, %s time: largest / smallest per file = %.3f (target <= 1.3)\n", kind,
                largest / smallest);
    std::printf("check, %s time: 20,000 files / two stat calls per file = %.3f (target <= 3)\n",
                kind, *check / *stats);
  }
  const auto pair = [&](const std::string& name, const char* what, const char* reference) {
    const auto ours = value(name + ":ours_MBps");
    if (!ours) return;
    std::printf(
        "%s: %.0f MB/s, %s: %.0f MB/s; ratio %.3f in wall time, %.3f in CPU time "
        "(target >= 0.85)\n",
        what, *ours, reference, *value(name + ":reference_MBps"), *value(name + ":ratio_wall"),
        *value(name + ":ratio_cpu"));
  };
  pair("BM_RepairVsOpenssl", "repair hashing", "openssl dgst -sha256");
  pair("BM_InstallVsMemory", "install", "inflate and hash in memory");
}

}  // namespace
}  // namespace tu::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tu::bench::FigureReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\nload average: ");
  std::fflush(stdout);
  std::string load;
  tu::readFile("/proc/loadavg", load);
  std::printf("%s\n", load.c_str());
  tu::bench::printFigures(reporter.counters);
  std::error_code ec;
  std::filesystem::remove_all(tu::bench::root(), ec);
  return 0;
}
