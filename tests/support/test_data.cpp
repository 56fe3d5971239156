#include "support/test_data.h"

#include <gtest/gtest.h>

#include <random>

#include "core/files.h"

namespace tu::test {

std::string readTestData(std::string_view relative) {
  std::string data;
  EXPECT_TRUE(readFile(resolveRelative(pathFromUtf8(TARN_TEST_DATA_DIR), relative), data)) << "missing test data " << relative;
  return data;
}

std::string noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random());
  return out;
}

}  // namespace tu::test
