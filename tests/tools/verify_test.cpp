// verify: a good publish passes; every kind of damage is found and listed, all at once.
#include <gtest/gtest.h>

#include "core/files.h"
#include "publish/manifest_writer.h"
#include "support/test_data.h"
#include "tarnbuilder/key_file.h"
#include "tarnbuilder/verifier.h"
#include "tools/tarnbuilder_fixture.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

class Verify : public TarnbuilderTest {
 protected:
  Verify() {
    // Which texts the launcher's own check of a packed file gives is PackedInstall's; here
    // that verify runs it and lists what it finds.
    writeClient({{"a.txt", std::string(10000, 'a')},
                 {"d.txt", std::string(20000, 'd')},
                 {"e.txt", "e"},
                 {"f.txt", "untouched"},
                 {"g.bin", noise(70000, 3)},  // large enough for block indexes
                 {"h.bin", noise(70000, 4)}});
    publish();
  }
  builder::VerifyReport verify(const std::string& key) const {
    builder::VerifyReport report;
    const bool ok = builder::verifyPublished({out, key, 2}, report);
    EXPECT_EQ(ok, report.problems.empty());
    return report;
  }
};

TEST_F(Verify, PassesAGoodPublishAndListsEveryDamagedPackedFile) {
  const builder::VerifyReport good = verify(publicKey);
  EXPECT_EQ(good.problems, std::vector<std::string>{});
  EXPECT_TRUE(good.signatureGood && good.manifestGood);
  EXPECT_EQ(good.entries, 6u);
  EXPECT_EQ(good.bytes, 10000u + 20000 + 1 + 9 + 2 * 70000);

  const std::string a = readTestFile(packed("a.txt"));
  writeTestFile(packed("a.txt"), a.substr(0, a.size() - 1));
  std::string d = readTestFile(packed("d.txt"));
  d[d.size() - 3] ^= 0x40;  // inside the last compressed block
  writeTestFile(packed("d.txt"), d);
  fs::remove(packed("e.txt"));
  std::string g = readTestFile(out / "files/g.bin.tzi");
  g[g.size() - 1] ^= 1;
  writeTestFile(out / "files/g.bin.tzi", g);
  fs::remove(out / "files/h.bin.tzi");

  const builder::VerifyReport report = verify(publicKey);
  EXPECT_TRUE(report.signatureGood);
  EXPECT_EQ(report.problems, (std::vector<std::string>{
                                 "a.txt: files/a.txt.tz has " + std::to_string(a.size() - 1) +
                                     " bytes, the manifest says " + std::to_string(a.size()),
                                 "d.txt: files/d.txt.tz: packed file is damaged",
                                 "e.txt: files/e.txt.tz is missing",
                                 "g.bin: files/g.bin.tzi does not match its packed file",
                                 "h.bin: files/h.bin.tzi is missing (launchers download the "
                                 "whole file)",
                             }));
}

TEST_F(Verify, FindsBadSignaturesAndManifestsTheLauncherRefuses) {
  builder::Seed other;
  std::string err;
  ASSERT_TRUE(builder::createKeyFile(root / "other.txt", other, err)) << err;
  const std::string badsig =
      "manifest.sig: does not verify manifest.json with this public key (launchers would report "
      "\"badsig\" and install nothing)";
  EXPECT_EQ(verify(builder::publicKeyOf(other)).problems, std::vector<std::string>{badsig});

  // Signed, but against the launcher's rules.
  std::string dup = readTestFile(out / "manifest.json");
  dup.replace(dup.find("\"f.txt\""), 7, "\"A.TXT\"");
  ASSERT_TRUE(builder::readKeyFile(keyFile, other, err)) << err;
  writeTestFile(out / "manifest.json", dup);
  writeTestFile(out / "manifest.sig", signatureText(dup, other.bytes.data()));
  EXPECT_EQ(verify(publicKey).problems,
            std::vector<std::string>{"manifest.json: duplicate path in manifest: A.TXT"});

  fs::remove(out / "manifest.sig");
  EXPECT_EQ(verify(publicKey).problems[0], "manifest.sig: missing or unreadable");
}

}  // namespace
}  // namespace tu::test
