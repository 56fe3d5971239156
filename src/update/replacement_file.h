// The new content of a client file on its way in: written beside the target as
// <target>.tznew, hashed as it is written, and renamed over the target in one step only when its
// SHA-256 is the one expected. So the target holds its old content or its new content, never a
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
  // Deletes the temporary unless commit() moved it over the target.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the target's missing folders and the temporary. With `overlapWrites` the bytes go to
  // the disk on a second thread, so writing one block overlaps making the next. Failure:
  // "cannot write <temporary> (file in use or no permission?)".
  bool open(bool overlapWrites, std::string& err);

  // Hashes the first `size` bytes of `block` and writes them; `block` gets back the storage of
  // a block whose write is done (its content is then unspecified). Failure:
  // "write failed (disk full?)".
  bool write(std::vector<unsigned char>& block, std::size_t size, std::string& err);

  // Finishes the writes and closes the temporary, compares the digest with `sha256` (hex, either
  // case), and renames the temporary over the target; when that fails, makes the target
  // writable, deletes it and renames once more. Failures: "write failed (disk full?)",
  // "checksum mismatch after download", "cannot replace <target> (is the game running?)".
  bool commit(const std::string& sha256, std::string& err);

 private:
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::ofstream out_;
  std::unique_ptr<BlockWriter> writer_;
  Sha256 hasher_;
  bool opened_ = false;
  bool committed_ = false;
};

}  // namespace tu
