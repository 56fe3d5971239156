#include "support/test_data.h"

#include <gtest/gtest.h>

#include "core/files.h"

namespace tu::test {

std::filesystem::path testDataPath(std::string_view relative) {
  return resolveRelative(pathFromUtf8(TARN_TEST_DATA_DIR), relative);
}

std::string readTestData(std::string_view relative) {
  std::string data;
  EXPECT_TRUE(readFile(testDataPath(relative), data)) << "missing test data " << relative;
  return data;
}

}  // namespace tu::test
