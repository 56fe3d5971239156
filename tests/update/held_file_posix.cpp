// POSIX has no mandatory locks: nothing to hold.
#include "update/update_fixture.h"

namespace tu::test {

HeldFile::HeldFile(const std::filesystem::path&) {}
HeldFile::~HeldFile() = default;

}  // namespace tu::test
