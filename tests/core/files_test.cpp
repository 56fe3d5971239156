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

TEST(WriteFileAtomic, CreatesMissingFoldersAndLeavesNoTemporary) {
  TempDir dir;
  const fs::path target = dir / "a/b/c/data.bin";
  const std::string data("one\0two\r\n", 9);
  ASSERT_TRUE(writeFileAtomic(target, data));
  EXPECT_EQ(readTestFile(target), data);
  EXPECT_FALSE(fs::exists(dir / "a/b/c/data.bin.tmp"));
}

TEST(WriteFileAtomic, EmptyDataGivesAnEmptyFile) {
  TempDir dir;
  ASSERT_TRUE(writeFileAtomic(dir / "empty", ""));
  std::string content = "untouched";
  ASSERT_TRUE(readFile(dir / "empty", content));
  EXPECT_EQ(content, "");
}

TEST(WriteFileAtomic, ReplacesAnExistingFileAndReusesAStaleTemporary) {
  TempDir dir;
  writeTestFile(dir / "cache.json", "old content that is longer");
  writeTestFile(dir / "cache.json.tmp", "left over from a failed write");
  ASSERT_TRUE(writeFileAtomic(dir / "cache.json", "new"));
  EXPECT_EQ(readTestFile(dir / "cache.json"), "new");
  EXPECT_FALSE(fs::exists(dir / "cache.json.tmp"));
}

TEST(WriteFileAtomic, FailsWithoutTouchingTheTargetWhenTheTemporaryCannotBeOpened) {
  TempDir dir;
  writeTestFile(dir / "prefs.json", "keep me");
  // A folder where the temporary should go makes opening it fail.
  fs::create_directories(dir / "prefs.json.tmp");
  EXPECT_FALSE(writeFileAtomic(dir / "prefs.json", "lost"));
  EXPECT_EQ(readTestFile(dir / "prefs.json"), "keep me");
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

TEST(HexEncodeAndLowerCase, Examples) {
  const unsigned char bytes[] = {0x00, 0xAB, 0xFF};
  EXPECT_EQ(hexEncode(bytes, 3), "00abff");
  EXPECT_EQ(hexEncode(bytes, 0), "");
  EXPECT_EQ(toLowerAscii("\xC3\x84"
                         "B-c"),
            "\xC3\x84"
            "b-c");
  EXPECT_EQ(toLowerAscii("SYSTEM/L2.EXE"), "system/l2.exe");
}

TEST(IsSafeRelativePath, RejectsEscapesAndOddNames) {
  for (const std::string& path : {std::string(),
                                  std::string("/x"),
                                  std::string("\\x"),
                                  std::string("a\\b"),
                                  std::string("c:x"),
                                  std::string("a//b"),
                                  std::string("a/"),
                                  std::string("./a"),
                                  std::string("a/../b"),
                                  std::string(".."),
                                  std::string("a/."),
                                  std::string("a/b?"),
                                  std::string("a<b"),
                                  std::string("a>b"),
                                  std::string("a\"b"),
                                  std::string("a|b"),
                                  std::string("a*b"),
                                  std::string("a\tb"),
                                  std::string("a\x1f"
                                              "b"),
                                  std::string("a\0b", 3),
                                  std::string(401, 'x')}) {
    EXPECT_FALSE(isSafeRelativePath(path)) << '"' << path << '"';
  }
}

TEST(IsSafeRelativePath, AcceptsOrdinaryAndNonAsciiNames) {
  for (const std::string& path :
       {std::string("system/L2.exe"), std::string(400, 'x'), std::string("dir.with.dots/..x"),
        std::string("...x"), std::string("a b/c d.ini"),
        std::string("\xC5\xBE"
                    "aidimas/\xD0\xB8.txt"),
        std::string("x\x7f")}) {
    EXPECT_TRUE(isSafeRelativePath(path)) << '"' << path << '"';
  }
}

TEST(PathText, Utf8RoundTripsThroughNativePaths) {
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
