// Bytes as manifest.json after its signature verified: the JSON parser, then the manifest
// rules. Whatever parses must hold only safe paths.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/files.h"
#include "core/json.h"
#include "update/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tu::Manifest manifest;
  std::string err;
  if (!tu::parseManifest(tu::Json::parse(text), manifest, err)) return 0;
  for (const tu::ManifestFile& file : manifest.files) {
    if (!tu::isSafeRelativePath(file.path) || file.size < 0 || file.packed < 0) __builtin_trap();
  }
  for (const std::string& path : manifest.remove) {
    if (!tu::isSafeRelativePath(path)) __builtin_trap();
  }
  return 0;
}
