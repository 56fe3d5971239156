// The two kinds of update run. Only `Check` consults the hash cache; any other value behaves as
// a repair, which hashes every file whose size matches.
#pragma once

namespace tu {

enum class CheckMode : int { Check = 0, Repair = 1 };

}  // namespace tu
