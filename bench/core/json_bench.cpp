// Json on the shape of cache.json, its biggest document: one member per client file, keyed by
// the file's path, holding [size, "stamp", "sha-256 hex"].
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "core/files.h"
#include "core/json.h"

namespace {

std::string fileName(int i) {
  return "system/textures/file" + std::to_string(i) + ".utx";
}

// A cache-shaped object of `count` members, from a fixed seed.
tu::Json cacheDocument(int count) {
  std::mt19937_64 random(20240601);
  tu::Json cache = tu::Json::object();
  for (int i = 0; i < count; ++i) {
    unsigned char digest[32];
    for (unsigned char& byte : digest) byte = static_cast<unsigned char>(random());
    tu::Json entry = tu::Json::array();
    entry.push(static_cast<std::int64_t>(random() % 50000000));
    entry.push(std::to_string(133500000000000000ULL + random() % 10000000000000ULL));
    entry.push(tu::hexEncode(digest, sizeof digest));
    cache.set(fileName(i), std::move(entry));
  }
  return cache;
}

void parseCache(benchmark::State& state) {
  const std::string text = cacheDocument(20000).dump();
  for (auto _ : state) {
    tu::Json parsed = tu::Json::parse(text);
    benchmark::DoNotOptimize(parsed);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
  state.counters["document_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(parseCache)->Unit(benchmark::kMillisecond);

void dumpCache(benchmark::State& state) {
  const tu::Json cache = cacheDocument(20000);
  std::size_t size = 0;
  for (auto _ : state) {
    std::string text = cache.dump();
    size = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(dumpCache)->Unit(benchmark::kMillisecond);

// 20,000 lookup keys for an object of `members` members: either cycling over the same 1,000
// members whatever the size (the cost of the lookup itself), or spread over the whole object
// in random order (which adds the cache misses of a document that no longer fits the cache).
std::vector<std::string> lookupKeys(int members, bool spread) {
  std::mt19937 random(7);
  std::vector<std::string> keys;
  for (int i = 0; i < 20000; ++i) {
    keys.push_back(fileName(spread ? static_cast<int>(random() % members) : i % 1000));
  }
  return keys;
}

void lookups(benchmark::State& state, bool spread) {
  const int members = static_cast<int>(state.range(0));
  const tu::Json cache = cacheDocument(members);
  const std::vector<std::string> keys = lookupKeys(members, spread);
  for (auto _ : state) {
    for (const std::string& key : keys) benchmark::DoNotOptimize(&cache.get(key));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()));
}
BENCHMARK_CAPTURE(lookups, sameKeys, false)
    ->Arg(1000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(lookups, spreadKeys, true)
    ->Arg(1000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

// For comparison: what a scan of the members in order costs for the same spread keys.
void scanLookups(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  const tu::Json cache = cacheDocument(members);
  const std::vector<std::string> keys = lookupKeys(members, true);
  for (auto _ : state) {
    for (const std::string& key : keys) {
      for (const tu::Json::Member& member : cache.members()) {
        if (member.first == key) {
          benchmark::DoNotOptimize(&member.second);
          break;
        }
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()));
}
BENCHMARK(scanLookups)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
