// Updater: the state of one update run, created by the update worker for that run and
// destroyed after it. It fetches and verifies the manifest, replaces the launcher when the
// manifest offers another one, checks every file (with the hash cache), downloads and installs
// what differs, deletes what the manifest removes, and reports through four callbacks:
// phases, throttled progress objects, exactly one end ("done") unless a launcher replacement
// was handed over.
//
// Threads: everything runs on the worker that calls run(), the callbacks included, except the
// unpacking of downloads, which runs on threads of the run's own that touch nothing else. Only
// cancel may be called from another thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/config.h"
#include "core/json.h"
#include "net/fetcher.h"
#include "update/check_mode.h"
#include "update/hash_cache.h"
#include "update/manifest.h"
#include "update/progress_meter.h"
#include "update/run_end.h"

namespace tu {

class BlockUpdates;

// The phase words a run announces, in the order it can announce them.
inline constexpr const char* kPhaseManifest = "manifest";
inline constexpr const char* kPhaseSelfUpdate = "selfupdate";
inline constexpr const char* kPhaseCheck = "check";
inline constexpr const char* kPhaseDownload = "download";

// In the work folder: locked by the run that works on the client folder.
inline constexpr const char* kLockFileName = "update.lock";

class Updater {
 public:
  using PhaseHandler = std::function<void(const std::string& phase)>;
  using ProgressHandler = std::function<void(const Json& progress)>;
  using DoneHandler = std::function<void(const RunEnd& end)>;
  using SelfUpdateHandler = std::function<void(const std::filesystem::path& replacement)>;

  // Any callback may be empty; the run then skips it. An empty launcherPath disables the
  // launcher's self-update. The progress messages, the cache saves and the download batches
  // take their time from `clock` (the steady clock when empty).
  Updater(std::filesystem::path clientDir, std::filesystem::path launcherPath,
          const LauncherConfig& config, Fetcher& fetcher, PhaseHandler onPhase,
          ProgressHandler onProgress, DoneHandler onDone, SelfUpdateHandler onSelfUpdate,
          ProgressMeter::Clock clock = nullptr);
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // One whole run. Blocking; reports only through the callbacks.
  void run(CheckMode mode);
  // Asks the run to stop as soon as it can; from any thread, at any time.
  void cancel() { cancelFlag_ = true; }
  // The verified manifest's build text; empty before (for the callbacks' messages).
  const std::string& build() const { return build_; }

 private:
  // A download unpacked and checked beside its target, waiting for placeDownloads.
  struct Download {
    ManifestFile entry;
    std::filesystem::path target;
    std::filesystem::path part;
  };

  // How the install of a downloaded .part ended.
  enum class InstallResult {
    Installed,  // the temporary beside the target holds the checked content
    Damaged,    // the download was wrong and is deleted: fetch it again if attempts are left
    Stopped,    // cancelled, or the temporary cannot be written: the run ends, the .part stays
  };
  // A download installing on its own thread while the next entry downloads.
  struct Installing {
    const ManifestFile* entry = nullptr;
    std::filesystem::path target;
    int attempt = 1;  // of the download that brought the .part
    InstallResult result = InstallResult::Stopped;
    std::string error;
  };

  // Fetches manifest.json and manifest.sig, verifies and parses. On failure sets `failure`
  // (NoConfig, Offline, BadSignature, BadManifest) and `error`; on success keeps the
  // manifest's build text.
  bool fetchManifest(Manifest& out, EndCode& failure, std::string& error);
  // When the manifest offers a launcher that differs from launcherPath, downloads it to
  // launcherPath + ".new" and hands it over through onSelfUpdate: true means the run must stop
  // at once. Any failure is silent (false) and the run goes on.
  bool selfUpdate(const Manifest& manifest);
  // Reports one progress object (phase, entry path, counts, bytes, the meter's speed while
  // downloading) when the meter says one is due.
  void sendProgress(const std::string& phase, const ManifestFile& entry, std::uint32_t doneFiles,
                    std::uint32_t totalFiles, std::uint64_t bytesDone, std::uint64_t totalBytes,
                    bool force);

  // The download phase: brings every needed entry in, in manifest order, and places them.
  // File k+1 downloads while file k installs; k+2 waits for k's install to end. Everything
  // but the unpacking runs on the calling thread, messages and the cache included.
  bool downloadAll(const std::vector<const ManifestFile*>& needed, BlockUpdates& blocks,
                   std::string& error);
  // Waits for the install in flight, if any, and takes in its end: a damaged download is
  // fetched and installed again (its remaining attempts), an installed one is added to
  // `unplaced` and reported. False with the entry's error when it was not installed.
  bool settle(std::optional<Installing>& installing, std::thread& installer, std::string& error);
  // An entry the check phase planned by blocks: placed and recorded at once, or (on Fallback)
  // left to the whole download with the byte counts corrected. False on Failed.
  bool applyBlocks(const ManifestFile& entry, const std::filesystem::path& target,
                   BlockUpdates& blocks, bool& installed, std::string& error);
  // Reports the entry just installed (filesDone grows) and places the older batch when due.
  bool reportInstalled(const ManifestFile& entry, std::string& error);
  // The resumable download of `entry` to its .part, from `attempt` up to the third; `attempt`
  // ends at the one that succeeded. Progress counts from bytesBase.
  bool fetchPart(const ManifestFile& entry, int& attempt, std::string& error);
  // Unpacks a complete .part to `target` + ".tznew". Touches no state of the run, so it may
  // run on another thread.
  static InstallResult installDownload(const ManifestFile& entry,
                                       const std::filesystem::path& target,
                                       const std::filesystem::path& part,
                                       const std::atomic<bool>& cancel, std::string& error);
  // fetchPart and installDownload in turn, from `attempt` up to the third; adds the result
  // to `unplaced`. Each download after a damaged one adds to bytesTotal.
  bool downloadOne(const ManifestFile& entry, const std::filesystem::path& target, int attempt,
                   std::string& error);
  std::filesystem::path partPath(const ManifestFile& entry) const;
  void addUnplaced(const ManifestFile& entry, const std::filesystem::path& target);
  // The cache record of a file just installed, so the next check trusts it without hashing.
  void recordInstalled(const ManifestFile& entry, const std::filesystem::path& target);
  // Places the first `count` unplaced downloads: flushes each to disk, moves it over its
  // target, records it in the cache and deletes its .part; then flushes their folders once
  // each. Stops at the first failure: false with "<path>: " and the text of
  // placeReplacement, and every later download is dropped (its .part stays).
  bool placeDownloads(std::size_t count, std::string& error);
  // Downloads are placed a batch behind: when the newer batch is full (placingDue), the older
  // one is placed and the newer one becomes the older. So the disk writes a batch while the
  // next one downloads, and one commit of the file system covers many files.
  bool placingDue() const;
  bool placeOlderBatch(std::string& error);
  void announce(const char* phase);
  void finish(const RunEnd& end);

  std::filesystem::path clientDir_;
  std::filesystem::path launcherPath_;
  std::filesystem::path workDir_;  // clientDir/.tarn_update: cache.json and the .part files
  const LauncherConfig& config_;
  Fetcher& fetcher_;
  PhaseHandler onPhase_;
  ProgressHandler onProgress_;
  DoneHandler onDone_;
  SelfUpdateHandler onSelfUpdate_;
  std::atomic<bool> cancelFlag_{false};
  std::string build_;
  ProgressMeter meter_;  // also the run's clock
  HashCache cache_;
  std::uint64_t bytesBase_ = 0;
  std::uint64_t bytesTotal_ = 0;
  std::uint32_t filesDone_ = 0;
  std::uint32_t filesTotal_ = 0;

  std::vector<Download> unplaced_;  // in manifest order
  std::size_t olderBatch_ = 0;      // the first this many of them
  std::uint64_t newerBytes_ = 0;    // unpacked bytes of the others
  double newerSince_ = 0;           // meter_.now() when the first of the others was added
};

}  // namespace tu
