// Synthetic client content for the update benchmarks: deterministic, and as mixed as a game
// client (blocks of text that deflate well beside blocks of noise that do not).
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

namespace tu::bench {

// `size` bytes: 64 KiB pieces, each either text or noise (about half each), from `seed`.
inline std::string mixedContent(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::string out;
  out.reserve(size);
  constexpr std::size_t kPiece = 65536;
  while (out.size() < size) {
    const std::size_t piece = std::min(kPiece, size - out.size());
    if (random() % 2 == 0) {
      for (std::size_t i = 0; i < piece; i += 4) {
        const std::uint32_t word = static_cast<std::uint32_t>(random());
        out.append(reinterpret_cast<const char*>(&word), std::min<std::size_t>(4, piece - i));
      }
    } else {
      const std::size_t end = out.size() + piece;
      while (out.size() < end) {
        std::string line = "item " + std::to_string(random() % 5000) + " = " +
                           std::to_string(random() % 100) + "\n";
        out.append(line, 0, std::min(line.size(), end - out.size()));
      }
    }
  }
  return out;
}

}  // namespace tu::bench
