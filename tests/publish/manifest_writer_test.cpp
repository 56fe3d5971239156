#include "publish/manifest_writer.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tu {
namespace {

using test::readTestFile;
using test::TempDir;
using test::writeTestFile;

const std::uint8_t kSeed[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

TEST(ManifestWriter, WritesWhatTheLauncherReadsBack) {
  TempDir dir;
  writeTestFile(dir / "client/system/L2 Config.ini", "[Video]\n");
  Manifest manifest;
  manifest.generated = "2026-12-06";
  manifest.build = "build 7";
  ManifestFile entry;
  std::string err;
  ASSERT_TRUE(publishFile(dir / "client/system/L2 Config.ini", dir / "site",
                          "system/L2 Config.ini", {}, entry, err))
      << err;
  entry.once = true;
  manifest.files.push_back(entry);
  manifest.remove.push_back("old/readme.txt");
  EXPECT_TRUE(std::filesystem::exists(dir / "site/files/system/L2 Config.ini.tz"));

  ASSERT_TRUE(writeSignedManifest(dir / "site", manifest, kSeed, err)) << err;
  const std::string body = readTestFile(dir / "site/manifest.json");
  const std::string sig = readTestFile(dir / "site/manifest.sig");
  EXPECT_EQ(body.back(), '\n');
  ASSERT_EQ(sig.size(), 129u);
  EXPECT_EQ(sig.find_first_not_of("0123456789abcdef"), 128u);
  EXPECT_TRUE(verifyManifestSignature(body, sig, publicKeyText(kSeed)));

  Manifest parsed;
  ASSERT_TRUE(parseManifest(Json::parse(body), parsed, err)) << err;
  EXPECT_EQ(parsed.generated, "2026-12-06");
  EXPECT_EQ(parsed.build, "build 7");
  EXPECT_TRUE(parsed.launcher.path.empty());
  ASSERT_EQ(parsed.files.size(), 1u);
  EXPECT_EQ(parsed.files[0].path, "system/L2 Config.ini");
  EXPECT_EQ(parsed.files[0].size, 8);
  EXPECT_EQ(parsed.files[0].sha256, entry.sha256);
  EXPECT_EQ(parsed.files[0].packed, entry.packed);
  EXPECT_TRUE(parsed.files[0].once);
  EXPECT_EQ(parsed.remove, manifest.remove);
}

TEST(ManifestWriter, RefusesUnsafePaths) {
  TempDir dir;
  writeTestFile(dir / "a", "x");
  ManifestFile entry;
  std::string err;
  EXPECT_FALSE(publishFile(dir / "a", dir / "site", "../a", {}, entry, err));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.tz"));
}

}  // namespace
}  // namespace tu
