#include "update/manifest.h"

#include <gtest/gtest.h>

#include "publish/manifest_writer.h"

namespace tu {
namespace {

const std::uint8_t kSeed[32] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
const std::string kSha(64, 'a');

TEST(ManifestSignature, ExactBytesOnly) {
  const std::string body = "{\"format\":1}\n";
  const std::string key = publicKeyText(kSeed);
  const std::string sig = signatureText(body, kSeed);  // digits + "\n"
  const std::string digits = sig.substr(0, 128);
  EXPECT_TRUE(verifyManifestSignature(body, digits, key));
  EXPECT_TRUE(verifyManifestSignature(body, digits + "\r\n \n", key));
  std::string upper = digits;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(verifyManifestSignature(body, upper, key));
  for (const std::string& bad :
       {" " + digits, digits + "\t", digits.substr(0, 126), digits + "00"}) {
    EXPECT_FALSE(verifyManifestSignature(body, bad, key)) << bad;
  }
  EXPECT_FALSE(verifyManifestSignature(body + "\n", digits, key));
  EXPECT_FALSE(verifyManifestSignature(body, digits, key.substr(0, 62)));
  EXPECT_FALSE(verifyManifestSignature(body, digits, "zz" + key.substr(2)));
}

std::string parseError(const std::string& text, Manifest* out = nullptr) {
  Manifest manifest;
  std::string err;
  if (parseManifest(Json::parse(text), manifest, err)) err.clear();
  if (out != nullptr) *out = manifest;
  return err;
}

std::string withFile(const std::string& entry) {
  return R"({"format":1,"files":[)" + entry + "]}";
}

std::string entry(const std::string& path, const std::string& size = "1",
                  const std::string& packed = "30", const std::string& sha = kSha) {
  return R"({"path":")" + path + R"(","size":)" + size + R"(,"sha256":")" + sha + R"(","packed":)" +
         packed + "}";
}

TEST(ParseManifest, FormatAndOptionalMembersWithTheirFallbacks) {
  EXPECT_EQ(parseError(R"({"format":1.9})"), "");
  for (const std::string& text : std::vector<std::string>{
           R"({"format":"1"})", R"({"format":2})", R"({})", R"([1])", "not json",
           "\xef\xbb\xbf{\"format\":1}", std::string(65, '[') + std::string(65, ']')}) {
    EXPECT_EQ(parseError(text), "unknown manifest format") << text;
  }
  Manifest m;
  EXPECT_EQ(parseError(R"({"format":1,"generated":5,"build":"b1","launcher":"x",)"
                       R"("files":{},"remove":"a","extra":[]})",
                       &m),
            "");
  EXPECT_EQ(m.generated, "");
  EXPECT_EQ(m.build, "b1");
  EXPECT_EQ(m.launcher.path, "");
  EXPECT_TRUE(m.files.empty());
  EXPECT_TRUE(m.remove.empty());
}

TEST(ParseManifest, EntryFields) {
  Manifest m;
  std::string upper(64, 'B');
  ASSERT_EQ(parseError(withFile(entry("a.txt", "10.7", "-0.5", upper) + "," +
                                R"({"path":"b","size":0,"sha256":")" + kSha +
                                R"(","packed":20,"mode":"once"})"),
                       &m),
            "");
  ASSERT_EQ(m.files.size(), 2u);
  EXPECT_EQ(m.files[0].size, 10);
  EXPECT_EQ(m.files[0].packed, 0);
  EXPECT_EQ(m.files[0].sha256, std::string(64, 'b'));
  EXPECT_FALSE(m.files[0].once);
  EXPECT_TRUE(m.files[1].once);
  // Sizes beyond 64 bits saturate instead of overflowing.
  ASSERT_EQ(parseError(withFile(entry("huge", "1e300", "1e19")), &m), "");
  EXPECT_EQ(m.files[0].size, INT64_MAX);
  EXPECT_EQ(m.files[0].packed, INT64_MAX);
}

TEST(ParseManifest, BadEntries) {
  for (const std::string& bad : std::vector<std::string>{
           entry("a/b", "-1"), entry("a/b", "1", "-1"), entry("a/b", "-1e300"),
           entry("a/b", "\"1\""), entry("a/b", "1", "1", kSha.substr(1)),
           entry("a/b", "1", "1", kSha + "a"), entry("a/b", "1", "1", "g" + kSha.substr(1)),
           R"({"path":"a/b","size":1,"sha256":")" + kSha + "\"}"}) {
    EXPECT_EQ(parseError(withFile(bad)), "bad entry in manifest: a/b") << bad;
  }
  // The launcher entry follows the same rules when it is an object.
  EXPECT_EQ(parseError(R"({"format":1,"launcher":)" + entry("a/b", "null") + "}"),
            "bad entry in manifest: a/b");
}

// The path rule itself is isSafeRelativePath's (files_test); here that both lists apply it,
// and keep out of the work folder.
TEST(ParseManifest, UnsafePaths) {
  for (const std::string& path : std::vector<std::string>{
           "/x", "a/../b", "a\\\\b", "C:/x", std::string(401, 'p'), "nul.txt",
           ".Tarn_Update/cache.json"}) {
    EXPECT_EQ(parseError(withFile(entry(path))).rfind("unsafe path in manifest: ", 0), 0u) << path;
    EXPECT_EQ(parseError(R"({"format":1,"remove":[")" + path + "\"]}").rfind("unsafe path", 0), 0u);
  }
  EXPECT_EQ(parseError(withFile(entry("a/b?"))), "unsafe path in manifest: a/b?");
  EXPECT_EQ(parseError(withFile("7")), "unsafe path in manifest: ");
  EXPECT_EQ(parseError(withFile(R"({"path":5})")), "unsafe path in manifest: ");
  EXPECT_EQ(parseError(R"({"format":1,"remove":[5]})"), "unsafe path in manifest: ");
  // The path is judged before the other fields.
  EXPECT_EQ(parseError(withFile(entry("../x", "-1"))), "unsafe path in manifest: ../x");
}

TEST(ParseManifest, DuplicatesByLetterCase) {
  EXPECT_EQ(parseError(withFile(entry("a/b.txt") + "," + entry("A/B.TXT"))),
            "duplicate path in manifest: A/B.TXT");
  EXPECT_EQ(parseError(withFile(entry("x") + "," + entry("x"))), "duplicate path in manifest: x");
  // The launcher and the remove list take no part in it.
  EXPECT_EQ(parseError(R"({"format":1,"launcher":)" + entry("x") + R"(,"files":[)" + entry("x") +
                       R"(],"remove":["x","x"]})"),
            "");
}

}  // namespace
}  // namespace tu
