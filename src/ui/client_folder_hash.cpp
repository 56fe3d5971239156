#include "ui/client_folder_hash.h"

#include "core/files.h"

namespace tu {

std::uint32_t fnv1a32(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 16777619u;
  }
  return hash;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const std::size_t size = utf8.size();
  std::size_t i = 0;
  while (i < size) {
    const auto lead = static_cast<unsigned char>(utf8[i++]);
    if (lead < 0x80) {
      out.push_back(lead);
      continue;
    }
    // Continuation count and the allowed range of the first continuation byte, which rules
    // out overlong forms, surrogates and values above U+10FFFF.
    int need = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      need = 1;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      need = 2;
      code = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      need = 3;
      code = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      out.push_back(0xFFFD);
      continue;
    }
    int have = 0;
    while (have < need && i < size) {
      const auto next = static_cast<unsigned char>(utf8[i]);
      if (next < low || next > high) break;
      code = (code << 6) | (next & 0x3F);
      low = 0x80;
      high = 0xBF;
      ++i;
      ++have;
    }
    if (have < need) {
      out.push_back(0xFFFD);  // the byte that broke the sequence is looked at again
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

std::uint32_t clientFolderHashOfText(std::string_view utf8PathText) {
  const std::u16string units = utf8ToUtf16(utf8PathText);
  // Little-endian bytes whatever the machine's byte order.
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return fnv1a32(bytes.data(), bytes.size());
}

std::uint32_t clientFolderHash(const std::filesystem::path& clientDir) {
  return clientFolderHashOfText(pathToUtf8(clientDir));
}

}  // namespace tu
