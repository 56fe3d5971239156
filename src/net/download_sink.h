// The receiving end of one download answer, shared by both fetchers: opens the destination as
// the answer's status asks, writes each block, keeps the count the progress callback sees, and
// words the failures ("cannot write <path>", "cancelled", "write failed (disk full?)").
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "net/download_file.h"
#include "net/fetcher.h"

namespace tu {

class DownloadSink {
 public:
  explicit DownloadSink(const ProgressCallback& progress) : progress_(progress) {}

  // Opens the destination: appended to when `append` is set (the count starts at `offset`),
  // else rewritten (the count starts at 0). Fails with "cannot write <path>".
  bool open(const std::filesystem::path& destination, bool append, std::uint64_t offset,
            std::string& error);
  // Holds the body to exactly `length` bytes (a range): a block that would take it further is
  // refused, and a body that ends short fails at finish() with "download: connection reset".
  void expectExactly(std::uint64_t length) { exactly_ = length; }
  // Writes one block and reports the new count. False (a refusal) when the write failed, the
  // block goes past an expected length, or the progress callback asked to stop.
  bool write(const char* data, std::size_t size);
  // Closes the file. When a write or the close failed, fails with "write failed (disk full?)";
  // past an expected length with "download: answer longer than the range"; otherwise the
  // body's own outcome stands.
  bool finish(bool bodyOk, std::string& error);
  // While the body stalls: reports the unchanged count again, so the progress callback can
  // still ask to stop. True (go on) before the destination is open.
  bool poll();

  bool isOpen() const { return file_.isOpen(); }
  // Bytes the destination holds so far.
  std::uint64_t count() const { return count_; }

 private:
  const ProgressCallback& progress_;
  DownloadFile file_;
  std::uint64_t count_ = 0;
  std::optional<std::uint64_t> exactly_;
  bool overrun_ = false;
};

}  // namespace tu
