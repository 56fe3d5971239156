#include "net/download_sink.h"

#include "core/files.h"
#include "net/fetch_rules.h"

namespace tu {

bool DownloadSink::open(const std::filesystem::path& destination, bool append, std::uint64_t offset,
                        std::string& error) {
  if (!file_.open(destination, append)) {
    error = cannotWriteText(pathToUtf8(destination));
    return false;
  }
  count_ = append ? offset : 0;
  return true;
}

bool DownloadSink::write(const char* data, std::size_t size) {
  if (exactly_ && size > *exactly_ - count_) {
    overrun_ = true;
    return false;
  }
  if (!file_.write(data, size)) return false;
  count_ += size;
  return !progress_ || progress_(count_);  // a missing callback never stops the transfer
}

bool DownloadSink::poll() {
  return !file_.isOpen() || progress_(count_);
}

bool DownloadSink::finish(bool bodyOk, std::string& error) {
  if (!file_.close()) {
    error = kWriteFailedText;
    return false;
  }
  if (overrun_) {
    error = kLongerThanRangeText;
    return false;
  }
  if (bodyOk && exactly_ && count_ != *exactly_) {
    error = failureText(kStageDownload, NetFailure::ConnectionReset);
    return false;
  }
  return bodyOk;
}

}  // namespace tu
