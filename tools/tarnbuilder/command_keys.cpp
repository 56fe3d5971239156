// keygen and pubkey.
#include "core/files.h"
#include "tarnbuilder/commands.h"
#include "tarnbuilder/key_file.h"

namespace tu::builder {

namespace {

constexpr const char* kKeygenHelp = R"(Usage: tarnbuilder keygen KEYFILE

Makes a new signing key from the system's secure random source and writes it to KEYFILE
(64 hexadecimal digits; only you may read it). Prints the public key, the "publicKey" of
TarnLauncher.json. Never replaces an existing file.

Whoever has KEYFILE can make every player's launcher install anything: keep it off the web
server and out of the client folder, and keep a backup. Launchers handed out with the public
key accept updates signed with this key only; losing it means handing out new launchers.
)";

constexpr const char* kPubkeyHelp = R"(Usage: tarnbuilder pubkey KEYFILE

Prints the public key of KEYFILE: the "publicKey" of TarnLauncher.json, 64 hexadecimal digits.
)";

}  // namespace

int runKeygen(const std::vector<std::string>& args, Console& console) {
  if (wantsHelp(args)) {
    console.out << kKeygenHelp;
    return kExitOk;
  }
  CommandLine line;
  int exitCode = kExitOk;
  if (!parseCommand(args, {}, 1, "keygen", console, line, exitCode)) return exitCode;
  Seed seed;
  std::string error;
  if (!createKeyFile(pathFromUtf8(line.positionals()[0]), seed, error)) {
    return failure(console, "keygen", error);
  }
  console.out << publicKeyOf(seed) << "\n";
  return kExitOk;
}

int runPubkey(const std::vector<std::string>& args, Console& console) {
  if (wantsHelp(args)) {
    console.out << kPubkeyHelp;
    return kExitOk;
  }
  CommandLine line;
  int exitCode = kExitOk;
  if (!parseCommand(args, {}, 1, "pubkey", console, line, exitCode)) return exitCode;
  Seed seed;
  std::string error;
  if (!readKeyFile(pathFromUtf8(line.positionals()[0]), seed, error)) {
    return failure(console, "pubkey", error);
  }
  console.out << publicKeyOf(seed) << "\n";
  return kExitOk;
}

}  // namespace tu::builder
