#include "tarnbuilder/key_file.h"

#include <vector>

#include "core/files.h"
#include "publish/manifest_writer.h"
#include "tarnbuilder/system.h"
#include "update/manifest.h"

namespace tu::builder {

namespace {

// Writes through a volatile pointer so the compiler cannot drop the stores as dead.
void wipe(void* data, std::size_t size) {
  volatile auto* bytes = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
}

}  // namespace

Seed::~Seed() {
  wipe(bytes.data(), bytes.size());
}

bool readKeyFile(const std::filesystem::path& file, Seed& seed, std::string& error) {
  std::string text;
  if (!readFile(file, text)) {
    error = "cannot read " + pathToUtf8(file);
    return false;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                           text.back() == '\t')) {
    text.pop_back();
  }
  std::vector<std::uint8_t> bytes;
  const bool ok = text.size() == 64 && hexDecode(text, bytes) && bytes.size() == 32;
  if (ok) std::copy(bytes.begin(), bytes.end(), seed.bytes.begin());
  wipe(text.data(), text.size());
  wipe(bytes.data(), bytes.size());
  if (!ok) {
    error = pathToUtf8(file) + " is not a tarnbuilder key (64 hexadecimal digits expected)";
    return false;
  }
  return true;
}

bool createKeyFile(const std::filesystem::path& file, Seed& seed, std::string& error) {
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(file, ec))) {
    error = pathToUtf8(file) + " already exists; keygen never replaces a key";
    return false;
  }
  std::string randomError;
  if (!secureRandom(seed.bytes.data(), seed.bytes.size(), randomError)) {
    error = randomError;
    return false;
  }
  std::string text = hexEncode(seed.bytes.data(), seed.bytes.size()) + "\n";
  std::string createError;
  const CreateResult result = createOwnerOnlyFile(file, text, createError);
  wipe(text.data(), text.size());
  switch (result) {
    case CreateResult::Created: return true;
    case CreateResult::Exists:
      error = pathToUtf8(file) + " already exists; keygen never replaces a key";
      return false;
    case CreateResult::Failed: break;
  }
  error = "cannot create " + pathToUtf8(file) + ": " + createError;
  return false;
}

std::string publicKeyOf(const Seed& seed) {
  return publicKeyText(seed.bytes.data());
}

bool isPublicKeyText(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  return text.size() == 64 && hexDecode(text, bytes);
}

}  // namespace tu::builder
