#include "core/files.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::readTestFile;
using test::TempDir;
using test::writeTestFile;

// A stale temporary from a failed write is reused; a longer old file leaves no tail; a
// temporary that cannot be opened fails the write without touching the target.
TEST(WriteFileAtomic, CreatesFoldersReplacesAndLeavesNoTemporary) {
  TempDir dir;
  const fs::path target = dir / "a/b/c/data.bin";
  const std::string data("one\0two\r\n", 9);
  ASSERT_TRUE(writeFileAtomic(target, data));
  fs::create_directories(dir / "a/b/c/data.bin.tmp");
  EXPECT_FALSE(writeFileAtomic(target, "lost"));
  EXPECT_EQ(readTestFile(target), data);

  fs::remove(dir / "a/b/c/data.bin.tmp");
  writeTestFile(dir / "a/b/c/data.bin.tmp", "left over from a failed write");
  ASSERT_TRUE(writeFileAtomic(target, ""));
  EXPECT_EQ(readTestFile(target), "");
  EXPECT_FALSE(fs::exists(dir / "a/b/c/data.bin.tmp"));
}

TEST(ReadFile, EmptyMissingAndBinaryFiles) {
  TempDir dir;
  std::string content = "untouched";
  EXPECT_FALSE(readFile(dir / "missing", content));
  EXPECT_EQ(content, "untouched");

  writeTestFile(dir / "empty", "");
  EXPECT_TRUE(readFile(dir / "empty", content));
  EXPECT_EQ(content, "");

  std::string binary;
  for (int i = 0; i < 200000; ++i) binary.push_back(static_cast<char>(i * 7));
  writeTestFile(dir / "binary", binary);
  EXPECT_TRUE(readFile(dir / "binary", content));
  EXPECT_EQ(content, binary);
}

TEST(ReplaceFile, RenamesOverAnExistingTargetAndReportsFailure) {
  TempDir dir;
  writeTestFile(dir / "from", "new");
  writeTestFile(dir / "to", "old");
  EXPECT_EQ(replaceFile(dir / "from", dir / "to"), 0);
  EXPECT_EQ(readTestFile(dir / "to"), "new");
  EXPECT_FALSE(fs::exists(dir / "from"));
  EXPECT_NE(replaceFile(dir / "missing", dir / "to"), 0);
}

TEST(FileStamp, MissingUnchangedAndRewritten) {
  TempDir dir;
  EXPECT_EQ(fileStamp(dir / "missing"), "");
  writeTestFile(dir / "f", "one");
  const std::string first = fileStamp(dir / "f");
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.find_first_not_of("-0123456789"), std::string::npos);
  EXPECT_EQ(fileStamp(dir / "f"), first);

  // Rewriting a file changes its stamp even when it happens within the same second.
  fs::last_write_time(dir / "f", fs::last_write_time(dir / "f") - std::chrono::seconds(5));
  const std::string older = fileStamp(dir / "f");
  EXPECT_NE(older, first);
  ASSERT_TRUE(writeFileAtomic(dir / "f", "two"));
  EXPECT_NE(fileStamp(dir / "f"), older);
}

TEST(ToLowerAscii, ChangesOnlyAsciiLetters) {
  EXPECT_EQ(toLowerAscii("\xC3\x84SYSTEM/L2.Exe"), "\xC3\x84system/l2.exe");
}

TEST(IsSafeRelativePath, AcceptedAndRejectedNames) {
  using namespace std::string_literals;
  for (const std::string& path :
       {""s,     "/x"s,     "\\x"s, "a\\b"s, "c:x"s,   "a//b"s, "a/"s,
        "./a"s,  "a/../b"s, ".."s,  "a/."s,  "a/b?"s,  "a<b"s,  "a>b"s,
        "a\"b"s, "a|b"s,    "a*b"s, "a\tb"s, "a\x1f"s, "a\0b"s, std::string(401, 'x')}) {
    EXPECT_FALSE(isSafeRelativePath(path)) << '"' << path << '"';
  }
  // Names Windows would change (a trailing dot or space is dropped) or take for a device.
  for (const char* path : {"a.", "a./b", "b/a ", "CON", "con.txt", "a/Nul.tar.gz", "CON .ini",
                           "COM1", "lpt9.log", "com\xC2\xB9", "CONOUT$"}) {
    EXPECT_FALSE(isSafeRelativePath(path)) << '"' << path << '"';
  }
  for (const std::string& path :
       {"system/L2.exe"s, std::string(400, 'x'), "dir.with.dots/..x"s, "...x"s, "a b/c d.ini"s,
        " lead"s, "CONSOLE.txt"s, "com10"s, "lpt"s, "nul_x/aux1"s,
        "\xC5\xBE"
        "aidimas/\xD0\xB8.txt"s,
        "x\x7f"s}) {
    EXPECT_TRUE(isSafeRelativePath(path)) << '"' << path << '"';
  }
}

TEST(PathText, Utf8RoundTripsThroughNativePathsJoinedWithTheNativeSeparator) {
#ifdef _WIN32
  EXPECT_EQ(resolveRelative(L"C:\\Game", "system/L2.exe").native(), L"C:\\Game\\system\\L2.exe");
  EXPECT_EQ(resolveRelative(L"C:\\Game\\", "system/L2.exe").native(), L"C:\\Game\\system\\L2.exe");
  EXPECT_EQ(resolveRelative(L"C:\\Game", "\xC5\xBE.ini").native(), L"C:\\Game\\\u017E.ini");
#else
  EXPECT_EQ(resolveRelative("/games/l2", "system/L2.exe").native(), "/games/l2/system/L2.exe");
  EXPECT_EQ(resolveRelative("/games/l2/", "system/L2.exe").native(), "/games/l2/system/L2.exe");
  EXPECT_EQ(resolveRelative("", "a/b").native(), "a/b");
#endif
  const std::string name =
      "\xC5\xBD"
      "aidimas \xD0\x98\xD0\xB3\xD1\x80\xD0\xB0.ini";
  EXPECT_EQ(pathToUtf8(pathFromUtf8(name)), name);
  TempDir dir;
  writeTestFile(dir / name, "x");
  std::string content;
  EXPECT_TRUE(readFile(dir.path() / pathFromUtf8(name), content));
  EXPECT_EQ(content, "x");
}

}  // namespace
}  // namespace tu
