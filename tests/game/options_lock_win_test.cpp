// An options file that the running game holds open without sharing.
#include <windows.h>

#include <gtest/gtest.h>

#include "game/display_settings.h"
#include "game/game_options.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

TEST(GameOptionsLocked, AFileThatCannotBeReadIsLeftAloneAndReportedAsNotSaved) {
  test::TempDir dir;
  const auto file = dir / "system/Option.ini";
  const std::string original = "[Engine]\r\nCacheSize=64\r\n[Video]\r\nGamePlayViewportX=800\r\n";
  test::writeTestFile(file, original);
  HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  test::RecordingHost host;
  handleSaveSettings(host, file, Json::parse(R"({"windowed":false,"width":1920,"height":1080})"));
  CloseHandle(held);
  EXPECT_EQ(test::readTestFile(file), original);
  const auto posted = host.takePosted();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].dump(), R"({"type":"settingsSaved","ok":false})");
}

}  // namespace
}  // namespace tu
