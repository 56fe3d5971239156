// fetch_file URL DEST: one download with the platform's fetcher, for download_bench.sh.
#include <cstdio>
#include <string>

#include "core/files.h"
#include "net/fetcher.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fetch_file URL DEST\n");
    return 2;
  }
  const std::unique_ptr<tu::Fetcher> fetcher = tu::makeFetcher();
  std::string error;
  if (!fetcher->download(
          argv[1], tu::pathFromUtf8(argv[2]), 0, [](std::uint64_t) { return true; }, error)) {
    std::fprintf(stderr, "fetch_file: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
