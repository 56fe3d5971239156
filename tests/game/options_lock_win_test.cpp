// An options file that the running game holds open without sharing.
#include <windows.h>

#include <gtest/gtest.h>

#include "game/game_options.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

TEST(GameOptionsLocked, AFileThatCannotBeReadIsLeftAloneAndReportedAsNotWritten) {
  test::TempDir dir;
  const auto file = dir / "system/Option.ini";
  const std::string original = "[Engine]\r\nCacheSize=64\r\n[Video]\r\nGamePlayViewportX=800\r\n";
  test::writeTestFile(file, original);
  HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const bool written = writeGameOptions(file, DisplayOptions{false, 1920, 1080});
  CloseHandle(held);
  EXPECT_FALSE(written);
  EXPECT_EQ(test::readTestFile(file), original);
}

}  // namespace
}  // namespace tu
