#include "ui/settings_commands.h"

#include <gtest/gtest.h>

#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

using test::readTestFile;
using test::RecordingHost;
using test::TempDir;
using test::writeTestFile;

TEST(SaveSettings, SizeChangesOnlyWithinTheLimitsWindowModeAlways) {
  const DisplayOptions stored{true, 1024, 768};
  auto saved = [&](const char* command) {
    const DisplayOptions options = savedDisplayOptions(stored, Json::parse(command));
    return std::to_string(options.windowed) + " " + std::to_string(options.width) + "x" +
           std::to_string(options.height);
  };
  EXPECT_EQ(saved(R"({"windowed":false,"width":1920.9,"height":1080.2})"), "0 1920x1080");
  EXPECT_EQ(saved(R"({"windowed":false,"width":639,"height":1080})"), "0 1024x768");
  EXPECT_EQ(saved(R"({"width":640,"height":480})"), "1 640x480");
  EXPECT_EQ(saved(R"({"width":16384,"height":16384})"), "1 16384x16384");
  EXPECT_EQ(saved(R"({"width":16385,"height":1000})"), "1 1024x768");
  EXPECT_EQ(saved(R"({"width":1000,"height":479})"), "1 1024x768");
  EXPECT_EQ(saved(R"({"width":1e300,"height":1000})"), "1 1024x768");
  EXPECT_EQ(saved(R"({"windowed":"false","width":"1920","height":1080})"), "1 1024x1080");
  EXPECT_EQ(saved(R"({"height":800})"), "1 1024x800");  // the stored width is in range
}

TEST(SaveSettings, AnswersWhetherTheFileWasWritten) {
  TempDir dir;
  RecordingHost host;
  writeTestFile(dir / "Option.ini", "[Video]\nGamePlayViewportX=800\nGamePlayViewportY=600\n");
  handleSaveSettings(host, dir / "Option.ini", Json::parse(R"({"windowed":false,"width":639})"));
  EXPECT_EQ(
      readTestFile(dir / "Option.ini"),
      "[Video]\r\nGamePlayViewportX=800\r\nGamePlayViewportY=600\r\nStartupFullScreen=True\r\n");
  std::filesystem::create_directories(dir / "folder.ini");
  handleSaveSettings(host, dir / "folder.ini", Json::parse(R"({"windowed":true})"));
  const auto posted = host.takePosted();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].dump(), R"({"type":"settingsSaved","ok":true})");
  EXPECT_EQ(posted[1].dump(), R"({"type":"settingsSaved","ok":false})");
}

TEST(GetSettings, SendsTheFilesValuesAndTheOfferedSizes) {
  TempDir dir;
  RecordingHost host;
  host.modes = {{800, 600, 32}, {1024, 768, 32}};
  sendSettings(host, dir / "missing.ini", "en");
  writeTestFile(dir / "Option.ini",
                "[Video]\nGamePlayViewportX=640\nGamePlayViewportY=480\n"
                "StartupFullScreen=True\n");
  sendSettings(host, dir / "Option.ini", "ru");
  const auto posted = host.takePosted();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].dump(), R"({"type":"settings","windowed":true,"width":1024,"height":768,)"
                              R"("lang":"en","resolutions":[[1024,768],[800,600]]})");
  EXPECT_EQ(posted[1].dump(), R"({"type":"settings","windowed":false,"width":640,"height":480,)"
                              R"("lang":"ru","resolutions":[[1024,768],[800,600],[640,480]]})");
}

}  // namespace
}  // namespace tu
