#include <gtest/gtest.h>

#include "core/files.h"

namespace tu {
namespace {

namespace fs = std::filesystem;

// The separators are the platform's own: '\' on Windows, '/' elsewhere.
#ifdef _WIN32
TEST(ResolveRelative, JoinsWithBackslashes) {
  EXPECT_EQ(resolveRelative(L"C:\\Game", "system/L2.exe").native(), L"C:\\Game\\system\\L2.exe");
  EXPECT_EQ(resolveRelative(L"C:\\Game\\", "system/L2.exe").native(), L"C:\\Game\\system\\L2.exe");
  EXPECT_EQ(resolveRelative(L"C:\\Game", "\xC5\xBE.ini").native(), L"C:\\Game\\\u017E.ini");
}
#else
TEST(ResolveRelative, JoinsWithSlashes) {
  EXPECT_EQ(resolveRelative("/games/l2", "system/L2.exe").native(), "/games/l2/system/L2.exe");
  EXPECT_EQ(resolveRelative("/games/l2/", "system/L2.exe").native(), "/games/l2/system/L2.exe");
  EXPECT_EQ(resolveRelative("", "a/b").native(), "a/b");
}
#endif

}  // namespace
}  // namespace tu
