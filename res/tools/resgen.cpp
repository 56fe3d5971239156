// resgen: makes the binary resource files of TarnLauncher.exe on the build machine (CMake
// cannot write binary files). Built with the build machine's own compiler, standalone.
//
//   resgen uipack OUT NAME=FILE...   the UI pack ("TUI1", little-endian counts and sizes,
//                                    entries in the order given)
//   resgen ico OUT PNG...            an icon file whose images are the PNG files as they are
//
// Exits 1 with a message on stderr when an input cannot be read or does not fit the format.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool readAll(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool writeAll(const std::string& path, const std::string& data) {
  // A sibling first, renamed over the target, so a failed run leaves no half file behind.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out.flush()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

void put16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

std::uint32_t bigEndian32(const std::string& data, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<unsigned char>(data[at + i]);
  return value;
}

int fail(const std::string& message) {
  std::cerr << "resgen: " << message << "\n";
  return 1;
}

int makeUiPack(const std::string& output, const std::vector<std::string>& inputs) {
  std::string pack = "TUI1";
  put32(pack, static_cast<std::uint32_t>(inputs.size()));
  for (const std::string& input : inputs) {
    const std::size_t equals = input.find('=');
    if (equals == std::string::npos || equals == 0 || equals > 0xFFFF) {
      return fail("expected NAME=FILE, got " + input);
    }
    const std::string name = input.substr(0, equals);
    std::string data;
    if (!readAll(input.substr(equals + 1), data)) return fail("cannot read " + input);
    if (data.size() > 0xFFFFFFFFu) return fail(input + " is too large");
    put16(pack, static_cast<std::uint32_t>(name.size()));
    pack += name;
    put32(pack, static_cast<std::uint32_t>(data.size()));
    pack += data;
  }
  return writeAll(output, pack) ? 0 : fail("cannot write " + output);
}

int makeIcon(const std::string& output, const std::vector<std::string>& inputs) {
  static const std::string kPngSignature = "\x89PNG\r\n\x1a\n";
  std::vector<std::string> images;
  std::string directory;
  put16(directory, 0);  // reserved
  put16(directory, 1);  // an icon
  put16(directory, static_cast<std::uint32_t>(inputs.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(inputs.size());
  for (const std::string& input : inputs) {
    std::string png;
    if (!readAll(input, png)) return fail("cannot read " + input);
    // The signature, then the IHDR chunk: length, "IHDR", width, height (big-endian).
    if (png.size() < 24 || png.compare(0, 8, kPngSignature) != 0 ||
        png.compare(12, 4, "IHDR") != 0) {
      return fail(input + " is not a PNG file");
    }
    const std::uint32_t width = bigEndian32(png, 16);
    const std::uint32_t height = bigEndian32(png, 20);
    if (width == 0 || height == 0 || width > 256 || height > 256) {
      return fail(input + " is not between 1 and 256 pixels square");
    }
    directory.push_back(static_cast<char>(width == 256 ? 0 : width));  // 0 stands for 256
    directory.push_back(static_cast<char>(height == 256 ? 0 : height));
    directory.push_back(0);  // no palette
    directory.push_back(0);  // reserved
    put16(directory, 1);     // colour planes
    put16(directory, 32);    // bits per pixel
    put32(directory, static_cast<std::uint32_t>(png.size()));
    put32(directory, offset);
    offset += static_cast<std::uint32_t>(png.size());
    images.push_back(std::move(png));
  }
  std::string file = directory;
  for (const std::string& image : images) file += image;
  return writeAll(output, file) ? 0 : fail("cannot write " + output);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return fail("usage: resgen uipack|ico OUT INPUT...");
  const std::string command = argv[1];
  const std::string output = argv[2];
  const std::vector<std::string> inputs(argv + 3, argv + argc);
  if (command == "uipack") return makeUiPack(output, inputs);
  if (command == "ico") return makeIcon(output, inputs);
  return fail("unknown command " + command);
}
