// Bytes as a packed file, read the way installPackedFile reads a downloaded .part: header,
// block table, every block. The expected size is taken from the header so that inputs get
// past the header check and exercise the blocks.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "update/packed_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t expected = 0;
  if (size >= 12) {
    for (int i = 7; i >= 0; --i) expected = expected << 8 | data[4 + i];
  }
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  tu::PackedReader reader;
  std::string err;
  if (!reader.open(in, expected, err)) return 0;
  const unsigned char* block = nullptr;
  std::size_t length = 0;
  std::uint64_t total = 0;
  while (reader.next(block, length, err)) total += length;
  if (err.empty() && total != expected) __builtin_trap();  // a complete read yields every byte
  return 0;
}
