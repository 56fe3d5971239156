// The committed test vectors under tests/data, and made-up content.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tu::test {

// The whole file under tests/data; fails the test (and returns "") when it is missing.
std::string readTestData(std::string_view relative);
// `size` seeded pseudo-random bytes: content that does not compress, the same for each seed.
std::string noise(std::size_t size, unsigned seed);

}  // namespace tu::test
