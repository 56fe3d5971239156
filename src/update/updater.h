// Updater: the state of one update run, created by the update worker for that run and
// destroyed after it. It fetches and verifies the manifest, replaces the launcher when the
// manifest offers another one, checks every file (with the hash cache), downloads and installs
// what differs, deletes what the manifest removes, and reports through four callbacks:
// phases, throttled progress objects, exactly one end ("done") unless a launcher replacement
// was handed over.
//
// Threads: everything runs on the worker that calls run(), the callbacks included, except the
// unpacking of downloads, which runs on threads of the run's own that touch nothing else. Only
// cancelFlag may be set from another thread, at any time.
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
#include "update/manifest.h"
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

// While files are installed, the hash cache is saved at most this often.
inline constexpr double kCacheSaveSeconds = 5.0;

class Updater {
 public:
  using PhaseHandler = std::function<void(const std::string& phase)>;
  using ProgressHandler = std::function<void(const Json& progress)>;
  using DoneHandler = std::function<void(const RunEnd& end)>;
  using SelfUpdateHandler = std::function<void(const std::filesystem::path& replacement)>;
  // Monotonic seconds.
  using Clock = std::function<double()>;

  // Any callback may be empty; the run then skips it. An empty launcherPath disables the
  // launcher's self-update.
  Updater(std::filesystem::path clientDir, std::filesystem::path launcherPath,
          const LauncherConfig& config, Fetcher& fetcher, PhaseHandler onPhase,
          ProgressHandler onProgress, DoneHandler onDone, SelfUpdateHandler onSelfUpdate);
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // One whole run. Blocking; reports only through the callbacks.
  void run(CheckMode mode);

  // Fetches manifest.json and manifest.sig, verifies and parses. On failure sets `failure`
  // (NoConfig, Offline, BadSignature, BadManifest) and `error`; on success keeps the
  // manifest's build text in `build`.
  bool fetchManifest(Manifest& out, EndCode& failure, std::string& error);

  // When the manifest offers a launcher that differs from launcherPath, downloads it to
  // launcherPath + ".new" and hands it over through onSelfUpdate: true means the run must stop
  // at once. Any failure is silent (false) and the run goes on.
  bool selfUpdate(const Manifest& manifest);

  // The hash cache in workDir/cache.json: a missing or malformed file gives an empty cache,
  // and only the records of the manifest's files are kept. A save writes only a changed cache;
  // a failed one is ignored (the next run hashes again). saveCacheWhenDue saves when the last
  // save is kCacheSaveSeconds old by `clock`.
  void loadCache(const Manifest& manifest);
  void saveCache();
  void saveCacheWhenDue();

  // Whether the local file at `local` is correct for `entry`: it exists, and for entries not
  // installed "once" its size matches and its content hashes to the entry's sha256 (taken
  // from the cache when size and stamp are unchanged and the mode is Check). Records every
  // hash it computes in the cache, matching or not.
  bool checkFile(const ManifestFile& entry, const std::filesystem::path& local, CheckMode mode);

  // Reports one progress object (phase, entry path, counts, bytes, smoothed speed), at most
  // one per 0.1 s unless `force` is set. Keeps the speed estimate: a rate per window of at
  // least one second, smoothed with weight 0.4 on the newest window.
  void sendProgress(const std::string& phase, const ManifestFile& entry, std::uint32_t doneFiles,
                    std::uint32_t totalFiles, std::uint64_t bytesDone, std::uint64_t totalBytes,
                    bool force);

  std::filesystem::path clientDir;
  std::filesystem::path launcherPath;
  std::filesystem::path workDir;  // clientDir/.tarn_update: cache.json and the .part files
  const LauncherConfig& config;
  Fetcher& fetcher;
  PhaseHandler onPhase;
  ProgressHandler onProgress;
  DoneHandler onDone;
  SelfUpdateHandler onSelfUpdate;
  std::atomic<bool> cancelFlag{false};
  std::string build;  // the verified manifest's build text; empty before
  Json cache;         // the hash cache: an object keyed by manifest path; null before loadCache
  std::string cacheSavedText;  // what cache.json holds as far as this run knows
  double cacheSavedAt = 0;     // `clock` at the last save (or the load)
  double lastSent = 0;
  double speedTime = 0;  // start of the current speed window; 0: no window yet
  std::uint64_t speedBytes = 0;
  double speed = 0;
  std::uint64_t bytesBase = 0;
  std::uint64_t bytesTotal = 0;
  std::uint32_t filesDone = 0;
  std::uint32_t filesTotal = 0;

  // Files whose content this run hashed in checkFile (a figure for front ends and tests).
  std::uint32_t filesHashed = 0;
  // Where sendProgress and the cache saves take their time; a steady clock unless a test
  // drives it.
  Clock clock;

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

  // The download phase: brings every needed entry in, in manifest order, and places them.
  // File k+1 downloads while file k installs; k+2 waits for k's install to end. Everything
  // but the unpacking runs on the calling thread, messages and the cache included.
  bool downloadAll(const std::vector<const ManifestFile*>& needed, BlockUpdates& blocks,
                   std::string& err);
  // Waits for the install in flight, if any, and takes in its end: a damaged download is
  // fetched and installed again (its remaining attempts), an installed one is added to
  // `unplaced` and reported. False with the entry's error when it was not installed.
  bool settle(std::optional<Installing>& installing, std::thread& installer, std::string& err);
  // An entry the check phase planned by blocks: placed and recorded at once, or (on Fallback)
  // left to the whole download with the byte counts corrected. False on Failed.
  bool applyBlocks(const ManifestFile& entry, const std::filesystem::path& target,
                   BlockUpdates& blocks, bool& installed, std::string& err);
  // Reports the entry just installed (filesDone grows) and places the older batch when due.
  bool reportInstalled(const ManifestFile& entry, std::string& err);
  // The resumable download of `entry` to its .part, from `attempt` up to the third; `attempt`
  // ends at the one that succeeded. Progress counts from bytesBase.
  bool fetchPart(const ManifestFile& entry, int& attempt, std::string& err);
  // Unpacks a complete .part to `target` + ".tznew". Touches no state of the run, so it may
  // run on another thread.
  static InstallResult installDownload(const ManifestFile& entry,
                                       const std::filesystem::path& target,
                                       const std::filesystem::path& part,
                                       const std::atomic<bool>& cancel, std::string& err);
  // fetchPart and installDownload in turn, from `attempt` up to the third; adds the result
  // to `unplaced`. Each download after a damaged one adds to bytesTotal.
  bool downloadOne(const ManifestFile& entry, const std::filesystem::path& target, int attempt,
                   std::string& err);
  std::filesystem::path partPath(const ManifestFile& entry) const;
  void addUnplaced(const ManifestFile& entry, const std::filesystem::path& target);
  // The cache record of a file just installed, so the next check trusts it without hashing.
  void recordInstalled(const ManifestFile& entry, const std::filesystem::path& target);
  // Places the first `count` unplaced downloads: flushes each to disk, moves it over its
  // target, records it in the cache and deletes its .part; then flushes their folders once
  // each. Stops at the first failure: false with "<path>: " and the text of
  // placeReplacement, and every later download is dropped (its .part stays).
  bool placeDownloads(std::size_t count, std::string& err);
  // Downloads are placed a batch behind: when the newer batch is full (placingDue), the older
  // one is placed and the newer one becomes the older. So the disk writes a batch while the
  // next one downloads, and one commit of the file system covers many files.
  bool placingDue() const;
  bool placeOlderBatch(std::string& err);
  void announce(const char* phase);
  void finish(const RunEnd& end);

  std::vector<Download> unplaced;  // in manifest order
  std::size_t olderBatch = 0;      // the first this many of them
  std::uint64_t newerBytes = 0;    // unpacked bytes of the others
  double newerSince = 0;           // `clock` when the first of the others was added
};

}  // namespace tu
