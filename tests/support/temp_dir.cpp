#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

#include "core/files.h"

namespace tu::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  // Unique per process and object, so test programs running side by side never share one.
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = fs::current_path();
  for (;;) {
    std::ostringstream name;
    name << "tarn-test-" << random() << "-" << counter++;
    path_ = base / name.str();
    if (fs::create_directories(path_, ec)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

fs::path TempDir::operator/(std::string_view relative) const {
  return resolveRelative(path_, relative);
}

void writeTestFile(const fs::path& path, std::string_view data) {
  std::error_code ec;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  out.close();
  ASSERT_TRUE(out.good()) << "cannot write " << pathToUtf8(path);
}

std::string readTestFile(const fs::path& path) {
  std::string data;
  if (!readFile(path, data)) return "<missing>";
  return data;
}

std::map<std::string, std::string> clientFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->path().filename() == ".tarn_update") {
      it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file()) continue;
    std::string relative;
    for (const fs::path& piece : fs::relative(it->path(), folder)) {
      relative += (relative.empty() ? "" : "/") + pathToUtf8(piece);
    }
    files[relative] = readTestFile(it->path());
  }
  return files;
}

}  // namespace tu::test
