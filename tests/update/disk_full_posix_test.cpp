// A full disk while unpacking, made with RLIMIT_FSIZE in a child process: the install fails
// with the disk-full text and leaves the target and no temporary behind.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "publish/packed_writer.h"
#include "support/temp_dir.h"
#include "update/packed_bytes.h"
#include "update/packed_file.h"

namespace tu {
namespace {

namespace fs = std::filesystem;

void installWithLimit(const fs::path& part, const fs::path& target, const std::string& content) {
  std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails instead of killing
  const rlimit limit{100000, 100000};
  setrlimit(RLIMIT_FSIZE, &limit);
  std::string err;
  const bool ok =
      installPackedFile(part, target, content.size(), test::sha256Hex(content), err, nullptr);
  const bool clean = !fs::exists(fs::path(target.string() + ".tznew")) &&
                     test::readTestFile(target) == "old content";
  std::_Exit(!ok && err == "write failed (disk full?)" && clean ? 0 : 1);
}

TEST(DiskFull, InstallFailsAndDamagesNothing) {
  test::TempDir dir;
  const std::string content(300000, 'w');
  test::writeTestFile(dir / "file.part", packBytes(content, {65536, 9}));
  test::writeTestFile(dir / "target.bin", "old content");
  EXPECT_EXIT(installWithLimit(dir / "file.part", dir / "target.bin", content),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tu
