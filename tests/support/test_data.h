// The committed test vectors under tests/data.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tu::test {

std::filesystem::path testDataPath(std::string_view relative);
// The whole file under tests/data; fails the test (and returns "") when it is missing.
std::string readTestData(std::string_view relative);

}  // namespace tu::test
