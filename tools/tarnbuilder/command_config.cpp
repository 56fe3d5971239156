// config.
#include <system_error>

#include "core/files.h"
#include "tarnbuilder/commands.h"
#include "tarnbuilder/config_writer.h"

namespace tu::builder {

namespace {

constexpr const char* kHelp =
    R"(Usage: tarnbuilder config --pubkey HEX --update-url URL [options] OUT

Writes the launcher's configuration, TarnLauncher.json, to OUT (a file, or a folder to write
TarnLauncher.json into). Put it next to TarnLauncher.exe in the client folder you hand out.
The result is checked with the launcher's own reader before it is written.

  --pubkey HEX           the public key (tarnbuilder pubkey KEYFILE)
  --update-url URL       where the published folder is served, e.g. https://example.com/updater/
  --server-name TEXT     the name in the window's title (default "Lineage II")
  --news-url URL         the news document
  --status-url URL       the status document
  --status-host HOST     or probe this game server's port for the online indicator ...
  --status-port N        ... on this port
  --link NAME=URL        a web link the page offers, e.g. website=https://example.com (repeatable)
  --game PATH            the game's executable in the client folder (default system/L2.exe)
  --game-args TEXT       arguments for the game
  --options PATH         the game's options file (default system/Option.ini)
  --language CODE        the page's first language: lt, en or ru (default lt)
  --no-close-on-play     minimise the launcher when the game starts instead of closing it
  --no-desktop-shortcut  do not place a desktop shortcut
)";

const std::vector<OptionSpec> kOptions = {
    {"pubkey"},
    {"update-url"},
    {"server-name"},
    {"news-url"},
    {"status-url"},
    {"status-host"},
    {"status-port"},
    {"link", true, true},
    {"game"},
    {"game-args"},
    {"options"},
    {"language"},
    {"no-close-on-play", false},
    {"no-desktop-shortcut", false},
};

}  // namespace

int runConfig(const std::vector<std::string>& args, Console& console) {
  if (wantsHelp(args)) {
    console.out << kHelp;
    return kExitOk;
  }
  CommandLine line;
  int exitCode = kExitOk;
  if (!parseCommand(args, kOptions, 1, "config", console, line, exitCode)) return exitCode;
  for (const char* required : {"pubkey", "update-url"}) {
    if (!line.has(required)) {
      return usageError(console, "config", std::string("--") + required + " is required");
    }
  }
  LauncherConfig answers;
  answers.publicKey = line.value("pubkey");
  answers.updateUrl = line.value("update-url");
  answers.serverName = line.value("server-name", answers.serverName);
  answers.newsUrl = line.value("news-url");
  answers.statusUrl = line.value("status-url");
  answers.statusHost = line.value("status-host");
  if (line.has("status-port")) {
    std::uint64_t port = 0;
    if (!parseNumber(line.value("status-port"), 1, 65535, false, port)) {
      return usageError(console, "config", "--status-port must be 1 to 65535");
    }
    answers.statusPort = static_cast<std::int32_t>(port);
  }
  for (const std::string& link : line.values("link")) {
    const std::size_t equals = link.find('=');
    if (equals == std::string::npos) {
      return usageError(console, "config", "--link must be NAME=URL");
    }
    answers.links.emplace_back(link.substr(0, equals), link.substr(equals + 1));
  }
  answers.game = line.value("game", answers.game);
  answers.gameArgs = line.value("game-args");
  answers.options = line.value("options", answers.options);
  answers.language = toLowerAscii(line.value("language", answers.language));
  answers.closeOnPlay = !line.has("no-close-on-play");
  answers.desktopShortcut = !line.has("no-desktop-shortcut");

  std::string text;
  std::string error;
  if (!configText(answers, text, error)) return usageError(console, "config", error);
  std::filesystem::path out = pathFromUtf8(line.positionals()[0]);
  std::error_code ec;
  if (std::filesystem::is_directory(out, ec)) out /= "TarnLauncher.json";
  if (!writeFileAtomic(out, text))
    return failure(console, "config", "cannot write " + pathToUtf8(out));
  console.out << "wrote " << pathToUtf8(out) << "\n";
  return kExitOk;
}

}  // namespace tu::builder
