// Block inflation with zlib's one-shot uncompress: the Windows builds link zlib statically from
// the cross toolchain's packages, which hold no libdeflate.
#include <zlib.h>

#include "update/packed_file.h"

namespace tu {

bool inflateBlock(const unsigned char* stored, std::uint32_t length, std::size_t expected,
                  std::vector<unsigned char>& output) {
  // One-shot inflate into exactly the expected room: a stream that is cut short, corrupt,
  // fails its Adler-32 or wants more room fails here.
  if (output.size() < expected) output.resize(expected);
  uLongf produced = static_cast<uLongf>(expected);
  const int result = uncompress(output.data(), &produced, stored, static_cast<uLong>(length));
  return result == Z_OK && produced == expected;
}

}  // namespace tu
