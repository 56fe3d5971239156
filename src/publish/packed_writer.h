// Writing packed files (the layout is in update/packed_file.h and docs/formats.md): the file
// is cut into blocks of a chosen size; each block is deflated with zlib at a chosen level and
// kept that way only when that makes it smaller, otherwise stored raw. Streaming: memory holds
// one block in, one block out and the block table, whatever the file's size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

namespace tu {

struct PackOptions {
  std::uint32_t blockSize = 1048576;  // 1 to 16,777,216
  int level = 9;                      // zlib level, 0 to 9
};

// What the manifest needs to know about a packed file.
struct PackResult {
  std::uint64_t size = 0;    // unpacked bytes
  std::string sha256;        // of the unpacked bytes, lowercase hexadecimal
  std::uint64_t packed = 0;  // bytes of the packed file
  std::string index;         // its block index, "" when it gets none (publish/block_index_writer.h)
};

// Packs exactly `size` bytes of `in` into `out`, which must be seekable: the block table is
// filled in after the blocks. Fails on bad options, a short source or a failed write.
bool writePacked(std::istream& in, std::uint64_t size, std::ostream& out,
                 const PackOptions& options, PackResult& result, std::string& error);

// Asked once a source was read to its end: false (with the reason) when it changed while it
// was read, so that what was packed may be half old, half new.
using SourceCheck = std::function<bool(std::string& error)>;

// Packs `size` bytes of `in` into the packed file `destination`: written as a ".tmp" sibling
// (missing folders are created), flushed to disk, then moved over it, so `destination` is
// either the old file or the whole new one; a failure removes the temporary. Then writes the
// block index beside it as `destination` + "i" (files/<path>.tzi), or removes a stale one when
// it gets none. `sourceUnchanged` (may be empty) is asked before anything is replaced. A
// failure while packing, flushing or of that check is told as `name`, ": " and the reason; one
// to create the temporary or replace `destination` names that file.
bool packToFile(std::istream& in, std::uint64_t size, std::string_view name,
                const std::filesystem::path& destination, const PackOptions& options,
                const SourceCheck& sourceUnchanged, PackResult& result, std::string& error);

// packToFile for the whole file `source`, named by its path.
bool packFile(const std::filesystem::path& source, const std::filesystem::path& destination,
              const PackOptions& options, PackResult& result, std::string& error);

// The packed form of bytes in memory (tests, fuzzer seeds). Empty on bad options.
std::string packBytes(std::string_view data, const PackOptions& options = {});

}  // namespace tu
