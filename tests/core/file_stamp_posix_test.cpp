#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/files.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

// Nanoseconds since 1970 no longer fit in 64 bits after the year 2262; such a file time
// (a clock set wrong, a crafted archive) still gives a stamp, and a distinct one.
TEST(FileStamp, FarFutureTimesDoNotOverflow) {
  test::TempDir dir;
  test::writeTestFile(dir / "f", "x");
  const auto stampAt = [&](long long seconds, long nanoseconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds},
                               {static_cast<time_t>(seconds), nanoseconds}};
    EXPECT_EQ(::utimensat(AT_FDCWD, (dir / "f").c_str(), times, 0), 0);
    return fileStamp(dir / "f");
  };
  EXPECT_EQ(stampAt(1700000000, 5), "1700000000000000005");
  // The year 2286; ext4 and tmpfs keep it exactly, some file systems clamp it.
  const std::string farOff = stampAt(10000000000LL, 7);
  if (farOff.size() < 20) GTEST_SKIP() << "the file system clamps the time: " << farOff;
  EXPECT_EQ(farOff, "10000000000000000007");
  EXPECT_EQ(stampAt(10000000000LL, 8), "10000000000000000008");
}

}  // namespace
}  // namespace tu
