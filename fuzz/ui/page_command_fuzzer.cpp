// Page commands on any bytes: each line is one web message, handled as the window handles it,
// over a recording host and a recording update control, so nothing real is started; an empty
// line stands for the end of a run. Whatever the page sends, the host answers only with the
// messages commands give, opens only web addresses, starts only the configured game (never
// during a run), keeps a page language, and writes nothing but prefs.json and the options
// file, whole.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "core/files.h"
#include "core/prefs.h"
#include "support/recording_host.h"
#include "ui/external_url.h"
#include "ui/page_controller.h"

namespace {

namespace fs = std::filesystem;

void check(bool condition) {
  if (!condition) std::abort();
}

// Like the update controller: a start while a run is going does nothing.
class RecordingUpdate : public tu::UpdateControl {
 public:
  bool busy = false;
  void startUpdate(tu::CheckMode) override { busy = true; }
  void cancelUpdate() override {}
  bool isBusy() const override { return busy; }
  void onUpdateDone() override { busy = false; }
  void onSelfUpdate(const fs::path&) override {}
  void joinWorker() override {}
};

const fs::path& scratch() {
  static const fs::path folder = [] {
    std::error_code ec;
    const fs::path path =
        fs::temp_directory_path(ec) / ("tarn-page-command-fuzz-" + std::to_string(getpid()));
    check(tu::writeFileAtomic(path / "client" / "system" / "L2.exe", "game"));
    return path;
  }();
  return folder;
}

tu::LauncherConfig config() {
  tu::LauncherConfig config;
  config.newsUrl = "http://news.example/";
  config.statusUrl = "http://status.example/";
  config.links = {{"website", "https://www.example/"}, {"forum", "http://forum.example/"}};
  return config;
}

void checkPageMessage(const std::string& text) {
  static const std::set<std::string> kAnswers = {"init", "settings", "settingsSaved", "notice"};
  const tu::Json message = tu::Json::parse(text);
  check(message.isObject() && kAnswers.count(message.getString("type")) == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path client = scratch() / "client";
  const fs::path dataFolder = scratch() / "data";
  const fs::path options = client / "system" / "Option.ini";
  std::error_code ec;
  fs::remove_all(dataFolder, ec);
  fs::remove(options, ec);

  static const tu::LauncherConfig kConfig = config();
  tu::test::RecordingHost host;
  host.modes = {{1920, 1080, 32}, {800, 600, 16}};
  RecordingUpdate update;
  tu::Prefs prefs;
  tu::PollerServices pollers;
  pollers.makeFetcher = [] { return nullptr; };
  pollers.runDetached = [](std::function<void()>) {};
  tu::PageController page(host, kConfig, {scratch() / "TarnLauncher.exe", client, dataFolder},
                          prefs, update, pollers);

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  while (start <= input.size()) {
    std::size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view line = input.substr(start, end - start);
    const bool duringRun = update.busy;
    const std::size_t starts = host.starts.size();
    if (line.empty()) {
      page.handleMainMessage({tu::MainMessage::Kind::UpdateDone, {}, {}});
    } else {
      page.handleWebMessage(line);
    }
    host.pump([&](tu::MainMessage message) { page.handleMainMessage(std::move(message)); });
    check(!duringRun || host.starts.size() == starts);
    start = end + 1;
  }

  for (const std::string& text : host.delivered) checkPageMessage(text);
  for (const std::string& text : page.pendingToPage()) checkPageMessage(text);
  for (const std::string& url : host.opened) check(tu::isExternalUrl(url));
  for (const auto& started : host.starts) check(started.program == client / "system" / "L2.exe");
  check(tu::isPageLanguage(prefs.currentLanguage));

  static const std::set<fs::path> kWritable = {client / "system" / "L2.exe", options,
                                               dataFolder / "prefs.json"};
  for (fs::recursive_directory_iterator it(scratch(), ec), end; !ec && it != end;
       it.increment(ec)) {
    if (!it->is_directory(ec)) check(kWritable.count(it->path()) == 1);
  }
  return 0;
}
