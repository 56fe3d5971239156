// verify.
#include "core/files.h"
#include "tarnbuilder/commands.h"
#include "tarnbuilder/key_file.h"
#include "tarnbuilder/progress_bar.h"
#include "tarnbuilder/verifier.h"

namespace tu::builder {

namespace {

constexpr const char* kHelp =
    R"(Usage: tarnbuilder verify --dir DIR (--pubkey HEX | --key KEYFILE) [--jobs N]

Checks a published folder the way a launcher will, with the launcher's own code: the
signature of manifest.json, the manifest's rules, and for every entry that files/<path>.tz
exists, has exactly the listed packed size, and unpacks to the listed size and SHA-256.
Lists every problem; exits 0 only when there is none.

  --dir DIR        the published folder (publish's --out)
  --pubkey HEX     the public key the launchers carry (TarnLauncher.json's "publicKey")
  --key KEYFILE    or the signing key, whose public key is used
  --jobs N         checking threads (default: one per processor)
)";

const std::vector<OptionSpec> kOptions = {{"dir"}, {"pubkey"}, {"key"}, {"jobs"}};

}  // namespace

int runVerify(const std::vector<std::string>& args, Console& console) {
  if (wantsHelp(args)) {
    console.out << kHelp;
    return kExitOk;
  }
  CommandLine line;
  int exitCode = kExitOk;
  if (!parseCommand(args, kOptions, 0, "verify", console, line, exitCode)) return exitCode;
  if (!line.has("dir")) return usageError(console, "verify", "--dir is required");
  if (line.has("pubkey") == line.has("key")) {
    return usageError(console, "verify", "give either --pubkey or --key");
  }
  VerifyOptions options;
  options.dir = pathFromUtf8(line.value("dir"));
  if (line.has("pubkey")) {
    options.publicKey = toLowerAscii(line.value("pubkey"));
    if (!isPublicKeyText(options.publicKey)) {
      return usageError(console, "verify", "--pubkey must be 64 hexadecimal digits");
    }
  } else {
    Seed seed;
    std::string error;
    if (!readKeyFile(pathFromUtf8(line.value("key")), seed, error)) {
      return failure(console, "verify", error);
    }
    options.publicKey = publicKeyOf(seed);
  }
  if (line.has("jobs")) {
    std::uint64_t jobs = 0;
    if (!parseNumber(line.value("jobs"), 1, 1024, false, jobs)) {
      return usageError(console, "verify", "--jobs must be 1 to 1024");
    }
    options.jobs = static_cast<unsigned>(jobs);
  }

  VerifyReport report;
  bool ok;
  {
    ProgressBar bar(console.err, "checking", console.progressBar, console.columns);
    ok = verifyPublished(options, report, [&](const VerifyProgress& p) {
      bar.update(p.filesDone, p.filesTotal, p.bytesDone, p.bytesTotal);
    });
  }
  if (!ok) {
    console.err << "tarnbuilder verify: " << report.problems.size()
                << (report.problems.size() == 1 ? " problem" : " problems") << " in "
                << line.value("dir") << ":\n";
    for (const std::string& problem : report.problems) console.err << "  " << problem << "\n";
    return kExitFailure;
  }
  console.out << "verified " << line.value("dir") << ": signature good, " << report.entries
              << " entries (" << formatBytes(report.bytes) << ", "
              << formatBytes(report.packedBytes) << " packed) unpack to their checksums";
  if (!report.build.empty()) console.out << "; build: " << report.build;
  console.out << "\n";
  return kExitOk;
}

}  // namespace tu::builder
