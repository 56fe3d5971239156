// publish.
#include <chrono>
#include <cstdio>

#include "core/files.h"
#include "tarnbuilder/commands.h"
#include "tarnbuilder/progress_bar.h"
#include "tarnbuilder/publisher.h"

namespace tu::builder {

namespace {

constexpr const char* kHelp =
    R"(Usage: tarnbuilder publish --key KEYFILE --client DIR --out DIR [options]

Publishes every file under the client folder DIR into the output folder: OUT/manifest.json
(paths in byte order), OUT/manifest.sig and OUT/files/<path>.tz. Serve OUT, as it is, as the
launcher's "updateUrl" from any static web server or CDN.

  --key KEYFILE       the signing key (tarnbuilder keygen)
  --client DIR        the client folder as players should have it
  --out DIR           the output folder (created when missing)
  --build LABEL       a text the launcher shows with the result, e.g. "2024-06-01 patch"
  --launcher FILE     also publish the launcher's executable: launchers replace themselves
                      with it. Its path is its place in the client folder when it lies
                      there, else its file name; it is not listed again as a client file
  --remove PATH       make launchers delete this client file (repeatable)
  --once PATH         install this published file only where it is missing, and leave the
                      player's own copy alone afterwards, e.g. system/Option.ini (repeatable)
  --exclude GLOB      leave out matching files and folders (repeatable). Without a "/" a
                      pattern matches any name ("*.log", "screenshots"); with one, the path
                      from the client folder's top ("system/*.bak"); * ** ? [a-z] work;
                      letters match either case
  --block-size N      bytes per packed block, 1 to 16M (default 1M; K and M suffixes work)
  --level N           zlib compression level 0 to 9 (default 6)
  --jobs N            packing threads (default: one per processor)
  --fresh             pack every file again, ignoring what earlier publishes packed

Never published: the launcher's work folder ".tarn_update" and files ending ".part" or
".tznew". A path the launcher would refuse (unsafe, or equal to another but for letter case)
stops the publish before anything is written, naming every such path.

Packed files of unchanged files (same size and modification time) are reused from the last
publish into the same OUT; packed files no longer listed are removed after the new manifest is
in place. manifest.json and manifest.sig are written last, each in one step.
To publish while players are downloading, publish into a new folder and switch the served
folder in one step: see docs/publishing.md.
)";

const std::vector<OptionSpec> kOptions = {
    {"key"},
    {"client"},
    {"out"},
    {"build"},
    {"launcher"},
    {"remove", true, true},
    {"once", true, true},
    {"exclude", true, true},
    {"block-size"},
    {"level"},
    {"jobs"},
    {"fresh", false},
};

}  // namespace

int runPublish(const std::vector<std::string>& args, Console& console) {
  if (wantsHelp(args)) {
    console.out << kHelp;
    return kExitOk;
  }
  CommandLine line;
  int exitCode = kExitOk;
  if (!parseCommand(args, kOptions, 0, "publish", console, line, exitCode)) return exitCode;
  for (const char* required : {"key", "client", "out"}) {
    if (!line.has(required)) {
      return usageError(console, "publish", std::string("--") + required + " is required");
    }
  }
  PublishOptions options;
  options.keyFile = pathFromUtf8(line.value("key"));
  options.client = pathFromUtf8(line.value("client"));
  options.out = pathFromUtf8(line.value("out"));
  options.build = line.value("build");
  if (line.has("launcher")) options.launcher = pathFromUtf8(line.value("launcher"));
  options.remove = line.values("remove");
  options.once = line.values("once");
  options.exclude = line.values("exclude");
  options.fresh = line.has("fresh");
  std::uint64_t number = 0;
  if (line.has("block-size")) {
    if (!parseNumber(line.value("block-size"), 1, 16777216, true, number)) {
      return usageError(console, "publish", "--block-size must be 1 to 16M");
    }
    options.pack.blockSize = static_cast<std::uint32_t>(number);
  }
  if (line.has("level")) {
    if (!parseNumber(line.value("level"), 0, 9, false, number)) {
      return usageError(console, "publish", "--level must be 0 to 9");
    }
    options.pack.level = static_cast<int>(number);
  }
  if (line.has("jobs")) {
    if (!parseNumber(line.value("jobs"), 1, 1024, false, number)) {
      return usageError(console, "publish", "--jobs must be 1 to 1024");
    }
    options.jobs = static_cast<unsigned>(number);
  }

  const auto start = std::chrono::steady_clock::now();
  PublishSummary summary;
  std::string error;
  bool ok;
  {
    ProgressBar bar(console.err, "packing", console.progressBar, console.columns);
    ok = publishClient(options, summary, error, [&](const PublishProgress& p) {
      bar.update(p.filesDone, p.filesTotal, p.bytesDone, p.bytesTotal);
    });
  }
  for (const std::string& note : summary.notes) console.err << "note: " << note << "\n";
  if (!ok) return failure(console, "publish", error);

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char time[32];
  std::snprintf(time, sizeof time, "%.1f s", seconds);
  console.out << "published " << summary.files << " files"
              << (summary.launcher ? " and the launcher" : "") << " (" << formatBytes(summary.bytes)
              << ", " << formatBytes(summary.packedBytes) << " packed) to " << line.value("out")
              << " in " << time << "\n"
              << "  packed " << summary.packed << ", reused " << summary.reused << ", removed "
              << summary.pruned << " old packed files";
  if (summary.excluded > 0) console.out << ", left out " << summary.excluded;
  if (summary.removals > 0) console.out << ", " << summary.removals << " to delete";
  console.out << "\n";
  if (!options.build.empty()) console.out << "  build: " << options.build << "\n";
  console.out << "  public key: " << summary.publicKey << "\n";
  return kExitOk;
}

}  // namespace tu::builder
