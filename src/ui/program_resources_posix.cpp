// Programs built for POSIX systems carry no resources: the page comes from the client's "ui"
// folder there, and tests pass their own ResourceLoader.
#include "ui/program_resources.h"

namespace tu {

std::optional<std::string> loadProgramResource(int) {
  return std::nullopt;
}

}  // namespace tu
