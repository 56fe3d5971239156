// The new content of a client file on its way in: written beside the target as
// <target>.tznew, hashed as it is written, and renamed over the target in one step only when its
// SHA-256 is the one expected and its data is on the disk. So the target holds its old content or its new content, never a
// mix, and the new file is never read back. Used by the packed-file installer and by block-level
// updates.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "crypto/sha256.h"

namespace tu {

class BlockWriter;

class ReplacementFile {
 public:
  explicit ReplacementFile(std::filesystem::path target);
  // Deletes the temporary unless finish() or commit() kept it.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the target's missing folders and the temporary. With `overlapWrites` the bytes go to
  // the disk on a second thread, so writing one block overlaps making the next. Failure:
  // "cannot write <temporary> (file in use or no permission?)".
  bool open(bool overlapWrites, std::string& error);

  // Hashes the first `size` bytes of `block` and writes them; `block` gets back the storage of
  // a block whose write is done (its content is then unspecified). Failure:
  // "write failed (disk full?)".
  bool write(std::vector<unsigned char>& block, std::size_t size, std::string& error);

  // Finishes the writes, closes the temporary and compares its digest with `sha256` (hex,
  // either case). On success the temporary stays, complete and checked, for placeReplacement;
  // on failure it is deleted. Failures: "write failed (disk full?)", "checksum mismatch after
  // download".
  bool finish(const std::string& sha256, std::string& error);

  // finish, then placeReplacement and a flush of the target's folder: the whole replacement at
  // once. Failures: those of finish and of placeReplacement.
  bool commit(const std::string& sha256, std::string& error);

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::ofstream out_;
  std::unique_ptr<BlockWriter> writer_;
  Sha256 hasher_;
  bool opened_ = false;
  bool kept_ = false;  // finished: the temporary is no longer ours to delete
};

// Makes the finished temporary of `target` (`target` + ".tznew") the target: flushes it to
// disk, then moves it over the target (moveIntoPlace, which never deletes the target). The
// folder is not flushed, so that a caller placing many files flushes each folder once. On
// failure the temporary is deleted and the target is as it was; `error` is "write failed (disk
// full?)" or "cannot replace <target> (is the game running?)".
bool placeReplacement(const std::filesystem::path& target, std::string& error);

}  // namespace tu
