// tarn-update's console words: sizes, times, the live line within the terminal's width, and
// the result of every end code.
#include <gtest/gtest.h>

#include "app/console_progress.h"

namespace tu {
namespace {

// A progress message of file 1 of 4 with these members.
Json progress(const std::string& members) {
  return Json::parse(R"({"type":"progress","filesDone":1,"filesTotal":4,)" + members + "}");
}

TEST(ConsoleProgress, SizesAndTimes) {
  for (const auto& [bytes, text] : std::vector<std::pair<std::uint64_t, std::string>>{
           {0, "0 B"}, {1023, "1023 B"}, {1536, "1.50 KiB"}, {12897485, "12.3 MiB"},
           {524288000, "500 MiB"}, {2147483648, "2.00 GiB"}}) {
    EXPECT_EQ(sizeText(bytes), text);
  }
  for (const auto& [seconds, text] : std::vector<std::pair<double, std::string>>{
           {4.2, "0:05"}, {754, "12:34"}, {3723, "1:02:03"}, {-1, "--:--"}, {1e12, "--:--"}}) {
    EXPECT_EQ(durationText(seconds), text);
  }
}

TEST(ConsoleProgress, LiveLineFitsAndKeepsWhatMattersMost) {
  const std::string path = "system/textures/\xc3\xbc-very-long-folder-name/LineageWarrior.utx";
  const Json message = progress(R"("phase":"download","file":")" + path +
                                R"(","bytesDone":6291456,"bytesTotal":25165824,"speed":1048576)");
  const std::string wide = progressLine(message, 200);
  EXPECT_EQ(wide, "Downloading [#####---------------]  25%  " + path +
                      "  6.00 MiB / 24.0 MiB  1.00 MiB/s  0:18 left");
  // Narrower: the path loses its start first, then time left and speed go.
  EXPECT_EQ(progressLine(message, 100),
            "Downloading [#####---------------]  25%  ...Warrior.utx  "
            "6.00 MiB / 24.0 MiB  1.00 MiB/s  0:18 left");
  EXPECT_EQ(progressLine(message, 80),
            "Downloading [##--------]  25%  ...eWarrior.utx  6.00 MiB / 24.0 MiB  1.00 MiB/s");
  for (int width = 40; width <= 120; ++width) {
    const std::string line = progressLine(message, width);
    int columns = 0;
    for (const char c : line) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_LT(columns, width) << line;
    EXPECT_EQ(line.rfind("Downloading [##", 0), 0u) << line;
  }
  // The check phase has no speed; without byte counts the files count.
  const Json check = progress(R"("phase":"check","file":"a","bytesDone":0,"bytesTotal":0)");
  EXPECT_EQ(progressLine(check, 80),
            "Checking    [##--------]  25%  a  0 B / 0 B");
}

TEST(ConsoleProgress, ResultsInPlainWords) {
  for (const auto& [done, text] : std::vector<std::pair<std::string, std::string>>{
           {R"("code":"uptodate")", "Up to date (build 42)."},
           {R"("code":"updated")", "Updated (build 42)."},
           {R"("code":"offline","detail":"connect: timeout")",
            "Cannot reach the update server: connect: timeout"},
           {R"("code":"badsig","detail":"manifest signature does not match")",
            "Manifest rejected: manifest signature does not match"},
           {R"("code":"failed","detail":"a.bin: HTTP 404")", "Update failed: a.bin: HTTP 404"},
           {R"("code":"cancelled","canPlay":true)", "Cancelled."},
           {R"("code":"cancelled","canPlay":false,"detail":"a.bin: cancelled")",
            "Cancelled during a download; run again to complete the update."}}) {
    EXPECT_EQ(resultText(Json::parse(R"({"type":"done","build":"42",)" + done + "}")), text);
  }
}

}  // namespace
}  // namespace tu
