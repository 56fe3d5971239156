#include "update/hash_cache.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tu::test {
namespace {


// What a stored cache.json gives back, and that an unchanged cache is not written again. (When
// a save is due, UpdateRun shows.)
TEST(HashCache, TrustsOnlyWellFormedRecordsOfTheManifestsFilesAndWritesOnlyChanges) {
  test::TempDir dir;
  const std::filesystem::path file = dir / "cache.json";
  HashCache cache(file);
  Manifest manifest;
  for (const char* path : {"a", "b", "c", "d", "e", "f"}) manifest.files.push_back({path, 1});
  for (const char* text : {"[1,2]", "garbage", "{\"a\":"}) {
    writeTestFile(file, text);
    cache.load(manifest, 0);
    cache.save(0);
    EXPECT_EQ(readTestFile(file), "{}\n") << text;
  }
  writeTestFile(file, R"({"gone":[1,"2","h"],"a":[1,"2","h"],"b":["1","2","h"],"c":[1,2,"h"],)"
                      R"("d":[1],"e":"x","f":[1,"","h"]})");
  cache.load(manifest, 100);
  EXPECT_EQ(cache.lookup("a", 1, "2"), "h");
  EXPECT_FALSE(cache.lookup("a", 2, "2"));
  EXPECT_FALSE(cache.lookup("a", 1, "3"));
  for (const char* path : {"gone", "b", "c", "d", "e"}) EXPECT_FALSE(cache.lookup(path, 1, "2"));
  EXPECT_FALSE(cache.lookup("f", 1, "")) << "a file without a stamp is never trusted";

  cache.save(100);
  EXPECT_EQ(readTestFile(file).find("gone"), std::string::npos);
  writeTestFile(file, "not written again while nothing changed");
  cache.save(101);
  EXPECT_EQ(readTestFile(file), "not written again while nothing changed");
}

}  // namespace
}  // namespace tu::test
