// Block inflation with libdeflate, which inflates a whole buffer about two and a half times as
// fast as zlib's streaming inflate (the install's largest cost). The blocks are small and their
// unpacked length is known, which is the one-shot case it is made for.
#include <libdeflate.h>

#include <memory>

#include "update/packed_file.h"

namespace tu {

namespace {

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// A decompressor is not shared between threads; each inflating thread keeps its own.
libdeflate_decompressor* threadDecompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
      libdeflate_alloc_decompressor());
  return decompressor.get();
}

}  // namespace

bool inflateBlock(const unsigned char* stored, std::uint32_t length, std::size_t expected,
                  std::vector<unsigned char>& output) {
  libdeflate_decompressor* decompressor = threadDecompressor();
  if (decompressor == nullptr) return false;
  if (output.size() < expected) output.resize(expected);
  // Exactly `expected` bytes or failure: LIBDEFLATE_SHORT_OUTPUT and LIBDEFLATE_INSUFFICIENT_SPACE
  // are failures too, and the Adler-32 is checked.
  std::size_t produced = 0;
  return libdeflate_zlib_decompress(decompressor, stored, length, output.data(), expected,
                                    &produced) == LIBDEFLATE_SUCCESS &&
         produced == expected;
}

}  // namespace tu
