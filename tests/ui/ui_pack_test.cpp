// The UI pack: writer and reader agree, and every damaged form is refused without stepping
// outside the pack or the target folder.
#include "ui/ui_pack.h"

#include <gtest/gtest.h>

#include "core/files.h"
#include "support/temp_dir.h"
#include "ui/client_folder_hash.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::readTestFile;
using test::TempDir;
using test::writeTestFile;

std::string packOf(std::vector<UiPackEntry> entries) {
  std::string pack;
  std::string error;
  EXPECT_TRUE(buildUiPack(std::move(entries), pack, error)) << error;
  return pack;
}

std::string littleEndian(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}
std::string entry(std::string_view name, std::string_view data) {
  return littleEndian(static_cast<std::uint32_t>(name.size()), 2) + std::string(name) +
         littleEndian(static_cast<std::uint32_t>(data.size()), 4) + std::string(data);
}
std::string header(std::uint32_t count) {
  return "TUI1" + littleEndian(count, 4);
}

std::string unpackError(std::string_view pack, const fs::path& folder) {
  std::string error;
  return unpackUiPack(pack, folder, error) ? "ok" : error;
}

TEST(UiPack, WriterSortsNamesByteWiseAndReaderRestoresTheFiles) {
  std::string pack = packOf(
      {{"b.css", "body{}"}, {"img/logo.png", std::string("\x89PNG\0\xff", 6)}, {"Index.html", ""}});
  EXPECT_EQ(pack, header(3) + entry("Index.html", "") + entry("b.css", "body{}") +
                      entry("img/logo.png", std::string("\x89PNG\0\xff", 6)));
  TempDir dir;
  ASSERT_EQ(unpackError(pack + "trailing bytes are ignored", dir.path()), "ok");
  EXPECT_EQ(readTestFile(dir / "Index.html"), "");
  EXPECT_EQ(readTestFile(dir / "b.css"), "body{}");
  EXPECT_EQ(readTestFile(dir / "img/logo.png"), std::string("\x89PNG\0\xff", 6));

  // The writer refuses what the reader would.
  std::string error;
  EXPECT_FALSE(buildUiPack({{"../up.html", ""}}, pack, error));
  EXPECT_EQ(error, "../up.html: not a usable name in a ui pack");
  EXPECT_FALSE(buildUiPack({{"a.html", "1"}, {"a.html", "2"}}, pack, error));
  EXPECT_EQ(error, "a.html: named twice");
}

TEST(UiPack, ForeignDataIsNotAPackAndEveryTruncationIsDamaged) {
  TempDir empty;
  EXPECT_EQ(unpackError("", empty.path()), "not a ui pack");
  EXPECT_EQ(unpackError(header(0).substr(0, 7), empty.path()), "not a ui pack");
  EXPECT_EQ(unpackError("TUI2" + header(0).substr(4), empty.path()), "not a ui pack");
  EXPECT_EQ(unpackError(header(0), empty.path()), "ok");
  EXPECT_TRUE(fs::is_empty(empty.path()));

  const std::string pack = header(2) + entry("index.html", "<html></html>") + entry("a.js", "x");
  for (std::size_t size = 8; size < pack.size(); ++size) {
    TempDir dir;
    EXPECT_EQ(unpackError(pack.substr(0, size), dir.path()), "ui pack is damaged") << size;
  }
  TempDir dir;
  EXPECT_EQ(unpackError(header(3) + entry("a.js", "x"), dir.path()), "ui pack is damaged");
  EXPECT_EQ(readTestFile(dir / "a.js"), "x");  // what came before the damage stays
}

TEST(UiPack, UnsafeNamesMakeThePackDamaged) {
  for (const char* name : {"../escape.html", "a/../../escape.html", "a//b.html", "", "/root.html",
                           "C:/x.html", "a\\b.html", "a:b", "./a.html", "a/"}) {
    TempDir dir;
    EXPECT_EQ(unpackError(header(1) + entry(name, "x"), dir.path() / "ui"), "ui pack is damaged")
        << name;
    EXPECT_FALSE(fs::exists(dir / "escape.html"));
  }
}

TEST(UiPack, AnEntryThatCannotBeWrittenIsNamed) {
  TempDir dir;
  writeTestFile(dir / "ui", "a file where the folder should be");
  EXPECT_EQ(unpackError(header(1) + entry("index.html", "x"), dir / "ui"),
            "cannot write index.html");
}

TEST(UiPack, ExtractsOncePerPackVersionAndNeverMarksADamagedOne) {
  TempDir dir;
  const fs::path folder = dir / "ui-1";
  const std::string first = packOf({{"index.html", "one"}});
  ASSERT_TRUE(extractUiPack(first, folder));
  EXPECT_EQ(readTestFile(folder / ".version"), uiPackVersion(first));
  writeTestFile(folder / "stray.txt", "");
  ASSERT_TRUE(extractUiPack(first, folder));
  EXPECT_TRUE(fs::exists(folder / "stray.txt"));  // nothing was removed or written

  const std::string second = packOf({{"index.html", "two"}});
  ASSERT_TRUE(extractUiPack(second, folder));
  EXPECT_FALSE(fs::exists(folder / "stray.txt"));
  EXPECT_EQ(readTestFile(folder / "index.html"), "two");

  fs::remove(folder / "index.html");  // a missing page means extracting again
  ASSERT_TRUE(extractUiPack(second, folder));
  EXPECT_EQ(readTestFile(folder / "index.html"), "two");

  EXPECT_FALSE(extractUiPack(header(2) + entry("index.html", "x"), dir / "ui-2"));
  EXPECT_FALSE(fs::exists(dir / "ui-2/.version"));  // a damaged pack leaves no version
}

TEST(ClientFolderHash, IsFnv1aOverTheUtf16LeBytesOfThePathTextConvertedFromUtf8) {
  EXPECT_EQ(clientFolderHashOfText("C:\\Games\\L2"), 2906646095u);
  EXPECT_EQ(clientFolderHashOfText("C:\\Games\\l2"), 655976943u);
  EXPECT_EQ(clientFolderHash(pathFromUtf8("C:\\Games\\L2")), 2906646095u);
  EXPECT_EQ(utf8ToUtf16("A\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80"), u"A\u0416\u20AC\U0001F600");
  // Ill-formed input: a stray continuation byte, a cut sequence, an encoded surrogate, an
  // overlong form; each maximal bad piece is one U+FFFD.
  EXPECT_EQ(utf8ToUtf16("\x80"
                        "a\xE2\x82"
                        "b\xED\xA0\x80"
                        "c\xC0\xAF"),
            u"\uFFFDa\uFFFDb\uFFFD\uFFFD\uFFFDc\uFFFD\uFFFD");
}

}  // namespace
}  // namespace tu
