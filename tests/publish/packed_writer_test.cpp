#include "publish/packed_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "support/temp_dir.h"
#include "update/packed_file.h"

namespace tu {
namespace {

using test::readTestFile;
using test::TempDir;
using test::writeTestFile;

std::uint32_t tableWord(const std::string& packed, std::size_t block) {
  std::uint32_t word = 0;
  for (int i = 3; i >= 0; --i) {
    word = word << 8 | static_cast<unsigned char>(packed[20 + 4 * block + i]);
  }
  return word;
}

std::string unpack(const std::string& packed, std::uint64_t size) {
  std::istringstream in(packed);
  PackedReader reader;
  std::string err;
  std::string out;
  EXPECT_TRUE(reader.open(in, size, err)) << err;
  const unsigned char* data = nullptr;
  std::size_t length = 0;
  while (reader.next(data, length, err)) out.append(reinterpret_cast<const char*>(data), length);
  EXPECT_EQ(err, "");
  return out;
}

TEST(PackedWriter, CompressesWhatShrinksAndStoresTheRestRaw) {
  std::mt19937 random(11);
  std::string noise(100, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string data = std::string(100, 'z') + noise + "tail";
  const std::string packed = packBytes(data, {100, 9});
  ASSERT_EQ(packed.size() >= 20 + 3 * 4, true);
  EXPECT_EQ(tableWord(packed, 0) & kPackedRawFlag, 0u);
  EXPECT_LT(tableWord(packed, 0), 100u);
  EXPECT_EQ(tableWord(packed, 1), kPackedRawFlag | 100u);
  EXPECT_EQ(tableWord(packed, 2), kPackedRawFlag | 4u);  // "tail" does not shrink
  EXPECT_EQ(unpack(packed, data.size()), data);
}

TEST(PackedWriter, LevelZeroStoresEverythingRaw) {
  const std::string data(1000, 'a');
  const std::string packed = packBytes(data, {300, 0});
  EXPECT_EQ(packed.size(), 20 + 4 * 4 + 1000u);
  EXPECT_EQ(unpack(packed, data.size()), data);
}

TEST(PackedWriter, RejectsBadOptions) {
  std::istringstream in("abc");
  std::ostringstream out;
  PackResult result;
  std::string err;
  EXPECT_FALSE(writePacked(in, 3, out, {0, 9}, result, err));
  EXPECT_FALSE(writePacked(in, 3, out, {16777217, 9}, result, err));
  EXPECT_FALSE(writePacked(in, 3, out, {16, 10}, result, err));
  EXPECT_FALSE(writePacked(in, 4, out, {16, 9}, result, err)) << "source shorter than its size";
}

TEST(PackedWriter, PackFileReportsWhatTheManifestNeeds) {
  TempDir dir;
  std::string data;
  for (int i = 0; i < 5000; ++i) data += std::to_string(i) + ",";
  writeTestFile(dir / "source.txt", data);
  PackResult result;
  std::string err;
  ASSERT_TRUE(packFile(dir / "source.txt", dir / "out/files/source.txt.tz", {4096, 9}, result, err))
      << err;
  const std::string packed = readTestFile(dir / "out/files/source.txt.tz");
  EXPECT_EQ(packed, packBytes(data, {4096, 9}));
  EXPECT_EQ(result.size, data.size());
  EXPECT_EQ(result.packed, packed.size());
  EXPECT_EQ(result.sha256.size(), 64u);
  EXPECT_FALSE(std::filesystem::exists(dir / "out/files/source.txt.tz.tmp"));
  EXPECT_FALSE(packFile(dir / "missing", dir / "x.tz", {}, result, err));
}

}  // namespace
}  // namespace tu
