// The file a download writes: opened without sharing restrictions (a virus scanner or the
// player's file manager may look at it meanwhile), written unbuffered in the blocks the network
// delivers, and closed with any failure reported. Owns the platform's file handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace tu {

class DownloadFile {
 public:
  DownloadFile() = default;
  ~DownloadFile();
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

  // Opens (creating it when missing) for writing: emptied first, or positioned at its end when
  // `append` is set. False when it cannot be opened.
  bool open(const std::filesystem::path& path, bool append);
  bool isOpen() const;
  // Writes the whole block. False once any write has failed; later writes are refused too.
  bool write(const char* data, std::size_t size);
  // Closes the file. False when any write or the close itself failed.
  bool close();

 private:
  std::intptr_t handle_ = -1;
  bool failed_ = false;
};

}  // namespace tu
