// A fresh, empty folder for one test, removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace tu::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / relative ('/'-separated UTF-8), with parent folders created for files.
  std::filesystem::path operator/(std::string_view relative) const;

 private:
  std::filesystem::path path_;
};

// Writes `data` to `path` (binary), creating parent folders; fails the test when it cannot.
void writeTestFile(const std::filesystem::path& path, std::string_view data);
// The whole content of `path`, or "<missing>" when it cannot be read.
std::string readTestFile(const std::filesystem::path& path);
// Every regular file under `folder` as '/'-separated path -> content, leaving out the
// launcher's work folder ".tarn_update".
std::map<std::string, std::string> clientFiles(const std::filesystem::path& folder);

}  // namespace tu::test
