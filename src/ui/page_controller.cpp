#include "ui/page_controller.h"

#include <future>
#include <mutex>
#include <thread>
#include <utility>

#include "core/files.h"
#include "net/news_worker.h"
#include "ui/external_url.h"
#include "ui/page_messages.h"
#include "ui/play_command.h"
#include "ui/settings_commands.h"

namespace tu {

namespace {

constexpr const char* kLauncherVersion = "1.0.0";

}  // namespace

// What the detached pollers share with the PageController. Held by shared pointer, so it
// outlives whichever of them ends last; the host pointer is cleared when the controller goes.
struct PageController::PollerLink {
  std::mutex mutex;
  MainThread* target = nullptr;
  std::atomic<bool> quitting{false};

  void send(const Json& message) {
    std::lock_guard<std::mutex> lock(mutex);
    if (target) tu::postToPage(*target, message);
  }
};

PollerServices defaultPollerServices() {
  PollerServices services;
  services.makeFetcher = [] { return makeFetcher(); };
  services.probe = defaultTcpProbe();
  // Detached: a poller inside a network call must not hold up closing. Failing to start a
  // thread, or a poller that throws (out of memory), only leaves that part of the page empty.
  services.runDetached = runDetachedThread;
  return services;
}

void runDetachedThread(std::function<void()> body) {
  try {
    std::promise<void> detached;
    std::thread thread([body = std::move(body), started = detached.get_future()]() mutable {
      try {
        started.wait();
        body();
      } catch (...) {
      }
    });
    thread.detach();
    detached.set_value();
  } catch (...) {
  }
}

PageController::PageController(Host& host, const LauncherConfig& config, LauncherPaths paths,
                               Prefs& prefs, UpdateControl& update, PollerServices services)
    : host_(host),
      config_(config),
      paths_(std::move(paths)),
      prefs_(prefs),
      update_(update),
      services_(std::move(services)),
      bridge_(host),
      link_(std::make_shared<PollerLink>()) {
  link_->target = &host_;
}

PageController::~PageController() {
  link_->quitting = true;
  std::lock_guard<std::mutex> lock(link_->mutex);
  link_->target = nullptr;
}

void PageController::postToPage(const Json& message) {
  tu::postToPage(host_, message);
}

void PageController::handleMainMessage(MainMessage message) {
  switch (message.kind) {
    case MainMessage::Kind::PostJson: bridge_.deliverToPage(std::move(message.text)); break;
    case MainMessage::Kind::SelfUpdate: update_.onSelfUpdate(message.path); break;
    case MainMessage::Kind::UpdateDone: update_.onUpdateDone(); break;
  }
}

void PageController::handleWebMessage(std::string_view text) {
  using Handler = void (PageController::*)(const Json&);
  // Compared byte for byte, in this order; the first equal name runs.
  static const struct {
    std::string_view name;
    Handler handler;
  } kCommands[] = {
      {"ready", &PageController::onReady},
      {"play", &PageController::onPlay},
      {"check", &PageController::onCheck},
      {"repair", &PageController::onRepair},
      {"cancel", &PageController::onCancel},
      {"link", &PageController::onLink},
      {"openUrl", &PageController::onOpenUrl},
      {"minimize", &PageController::onMinimize},
      {"close", &PageController::onClose},
      {"drag", &PageController::onDrag},
      {"getSettings", &PageController::onGetSettings},
      {"saveSettings", &PageController::onSaveSettings},
      {"setLanguage", &PageController::onSetLanguage},
  };
  const Json command = Json::parse(text);
  const Json& name = command.get("cmd");
  if (!name.isString()) return;
  for (const auto& entry : kCommands) {
    if (name.asString() == entry.name) {
      (this->*entry.handler)(command);
      return;
    }
  }
}

void PageController::prepareToClose() {
  // Out of sight at once: whatever the wait for the worker below takes, the player never sees
  // a window that does not answer.
  host_.hideWindow();
  link_->quitting = true;
  update_.cancelUpdate();
  update_.joinWorker();
}

void PageController::markQuitting() {
  link_->quitting = true;
}

bool PageController::quitting() const {
  return link_->quitting;
}

void PageController::sendInit() {
  Json links = Json::object();
  for (const auto& link : config_.links) links.set(link.first, true);
  Json message = Json::object();
  message.set("type", "init");
  message.set("serverName", config_.serverName);
  message.set("version", kLauncherVersion);
  message.set("lang", prefs_.currentLanguage);
  message.set("links", std::move(links));
  message.set("news", !config_.newsUrl.empty());
  message.set("status", !config_.statusUrl.empty() ||
                            (!config_.statusHost.empty() && config_.statusPort > 0));
  postToPage(message);
}

void PageController::onReady(const Json&) {
  const bool announcedBefore = bridge_.pageReady();
  bridge_.pageAnnounced();
  // Through the queue like every other message, so "init" comes after whatever was already
  // posted.
  sendInit();
  if (announcedBefore) {
    for (std::string& text : bridge_.stateForReloadedPage(update_.isBusy())) {
      host_.post({MainMessage::Kind::PostJson, std::move(text), {}});
    }
  }
  if (workersStarted_) return;
  workersStarted_ = true;
  startPollers();
  update_.startUpdate(CheckMode::Check);
}

void PageController::startPollers() {
  const auto link = link_;
  const auto makeFetcher = services_.makeFetcher;
  const PageSink send = [link](const Json& message) { link->send(message); };
  if (!config_.newsUrl.empty()) {
    services_.runDetached([url = config_.newsUrl, makeFetcher, send] {
      const auto fetcher = makeFetcher();
      if (fetcher) newsWorker(url, *fetcher, send);
    });
  }
  const StatusSource source{config_.statusUrl, config_.statusHost, config_.statusPort};
  if (statusConfigured(source)) {
    services_.runDetached([source, link, makeFetcher, send, probe = services_.probe] {
      const auto fetcher = makeFetcher();
      if (fetcher) statusWorker(source, *fetcher, link->quitting, send, probe);
    });
  }
}

std::filesystem::path PageController::optionsFile() const {
  return resolveRelative(paths_.clientDir, config_.options);
}

void PageController::onPlay(const Json&) {
  launchGame(host_, config_, paths_.clientDir, update_.isBusy());
}

// A run in progress keeps its mode; the page disables these buttons meanwhile anyway.
void PageController::onCheck(const Json&) {
  if (!update_.isBusy()) update_.startUpdate(CheckMode::Check);
}

void PageController::onRepair(const Json&) {
  if (!update_.isBusy()) update_.startUpdate(CheckMode::Repair);
}

void PageController::onCancel(const Json&) {
  update_.cancelUpdate();
}

void PageController::onLink(const Json& command) {
  openExternalUrl(host_, linkUrl(config_, command.getString("name")));
}

void PageController::onOpenUrl(const Json& command) {
  openExternalUrl(host_, command.getString("url"));
}

void PageController::onMinimize(const Json&) {
  host_.minimizeWindow();
}

void PageController::onClose(const Json&) {
  host_.closeWindow();
}

void PageController::onDrag(const Json&) {
  host_.startWindowDrag();
}

void PageController::onGetSettings(const Json&) {
  sendSettings(host_, optionsFile(), prefs_.currentLanguage);
}

void PageController::onSaveSettings(const Json& command) {
  handleSaveSettings(host_, optionsFile(), command);
}

void PageController::onSetLanguage(const Json& command) {
  const std::string language = command.getString("lang");
  if (!isPageLanguage(language)) return;
  prefs_.currentLanguage = language;
  savePrefs(prefs_, paths_.dataFolder);
}

}  // namespace tu
