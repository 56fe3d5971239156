// One entry from the server into the client folder: a resumable .part file named after the
// content's checksum, then the packed-file installer.
#include "update/download.h"

#include <system_error>

#include "core/files.h"
#include "update/counts.h"
#include "update/packed_file.h"
#include "update/paths.h"
#include "update/updater.h"

namespace tu {

namespace fs = std::filesystem;

std::string fileUrlPath(const ManifestFile& entry, std::string_view suffix) {
  static const char digits[] = "0123456789ABCDEF";
  std::string url = "files/";
  for (const char c : entry.path + std::string(suffix)) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' ||
                       c == '~' || c == '/';
    if (plain) {
      url += c;
    } else {
      url += '%';
      url += digits[byte >> 4];
      url += digits[byte & 15];
    }
  }
  return url;
}

namespace {

// The .part file's size; a file whose size cannot be read, or that is longer than the packed
// file can be, is deleted and counts as 0.
std::uint64_t partSize(const fs::path& part, std::uint64_t packed) {
  std::error_code ec;
  const fs::file_status status = fs::status(part, ec);
  if (!ec && !fs::exists(status)) return 0;
  const std::uint64_t size = ec ? 0 : fs::file_size(part, ec);
  if (ec || size > packed) {
    fs::remove(part, ec);
    return 0;
  }
  return size;
}

}  // namespace

bool Updater::downloadOne(const ManifestFile& entry, const fs::path& target, std::string& err) {
  std::error_code ec;
  fs::create_directories(workDir, ec);
  const fs::path part = resolveRelative(workDir, entry.sha256 + ".part");
  const std::string url =
      config.updateUrl + fileUrlPath(entry) + "?v=" + entry.sha256.substr(0, 12);
  const auto packed = static_cast<std::uint64_t>(entry.packed);

  for (int attempt = 1; attempt <= 3; ++attempt) {
    if (cancelFlag) {
      err = "cancelled";
      return false;
    }

    const std::uint64_t have = partSize(part, packed);
    if (have < packed) {
      // A server that sends more than the packed size (broken, or hostile over plain http)
      // must not fill the disk: the transfer stops at the first block past `packed`.
      bool overrun = false;
      const ProgressCallback progress = [&](std::uint64_t bytes) {
        if (bytes > packed) {
          overrun = true;
          return false;
        }
        sendProgress(kPhaseDownload, entry, filesDone, filesTotal, addSaturated(bytesBase, bytes),
                     bytesTotal, false);
        return !cancelFlag;
      };
      std::string fetchError;
      const bool fetched = fetcher.download(url, part, have, progress, fetchError);
      if (!fetched && !overrun) {
        err = entry.path + ": " + fetchError;
        if (cancelFlag) return false;
        continue;  // the .part stays: the next attempt resumes from its end
      }
      std::error_code sizeError;
      const std::uint64_t got = overrun ? 0 : fs::file_size(part, sizeError);
      if (overrun || sizeError || got != packed) {
        err = entry.path + ": download size does not match";
        fs::remove(part, ec);
        continue;
      }
    }

    std::string installError;
    if (!installPackedFile(part, target, static_cast<std::uint64_t>(entry.size), entry.sha256,
                           installError, &cancelFlag)) {
      err = entry.path + ": " + installError;
      // The download is fine when the target cannot be written (the game holds it): keep it
      // for the next run, which then installs without downloading.
      if (installError.find("cannot replace") != std::string::npos ||
          installError.find("cannot write") != std::string::npos) {
        return false;
      }
      if (cancelFlag) return false;
      fs::remove(part, ec);
      continue;
    }

    fs::remove(part, ec);
    recordInstalled(entry, target);
    return true;
  }
  return false;
}

void Updater::recordInstalled(const ManifestFile& entry, const fs::path& target) {
  Json record = Json::array();
  record.push(static_cast<std::uint64_t>(entry.size));
  record.push(fileStamp(target));
  record.push(entry.sha256);
  cache.set(entry.path, std::move(record));
}

}  // namespace tu
