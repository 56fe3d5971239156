#include "app/launch_paths.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tu {
namespace {

TEST(LaunchSwitches, AreCaseSensitiveSubstringsAnywhere) {
  EXPECT_FALSE(parseLaunchSwitches(L"").dev);
  EXPECT_TRUE(parseLaunchSwitches(L"--dev").dev);
  EXPECT_TRUE(parseLaunchSwitches(L"x --devtools y").dev);  // begins with --dev: counts
  EXPECT_FALSE(parseLaunchSwitches(L"--DEV").dev);
  EXPECT_FALSE(parseLaunchSwitches(L"--dev").updated);
  const LaunchSwitches both = parseLaunchSwitches(L"\"C:\\L2\\TarnLauncher.exe\" --updated --dev");
  EXPECT_TRUE(both.dev);
  EXPECT_TRUE(both.updated);
}

TEST(ClientDir, IsTheExecutablesFolderWithoutTrailingSeparators) {
  EXPECT_EQ(clientDirOf(L"C:\\Games\\L2\\TarnLauncher.exe"), L"C:\\Games\\L2");
  EXPECT_EQ(clientDirOf(L"C:\\Games\\L2\\\\TarnLauncher.exe"), L"C:\\Games\\L2");
  EXPECT_EQ(clientDirOf(L"\\\\server\\share\\l2/TarnLauncher.exe"), L"\\\\server\\share\\l2");
  EXPECT_EQ(clientDirOf(L"C:\\TarnLauncher.exe"), L"C:");
  EXPECT_EQ(clientDirOf(L"TarnLauncher.exe"), L"");
}

// GetModuleFileNameW's contract: as much as fits, terminated; the whole size when cut.
std::uint32_t moduleFileName(const std::wstring& path, wchar_t* buffer, std::uint32_t size) {
  const std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
  path.copy(buffer, copied);
  buffer[copied] = L'\0';
  return path.size() < size ? static_cast<std::uint32_t>(path.size()) : size;
}

TEST(WholePath, GrowsTheBufferUntilNothingIsCutOff) {
  int calls = 0;
  for (const std::size_t length : {1u, 1039u, 1040u, 1041u, 5000u, 32767u}) {
    const std::wstring path(length, L'x');
    calls = 0;
    EXPECT_EQ(readWholePath([&](wchar_t* buffer, std::uint32_t size) {
                ++calls;
                return moduleFileName(path, buffer, size);
              }),
              path);
  }
  EXPECT_EQ(calls, 6);  // 1040, 2080, ..., 33280 units for the longest
  EXPECT_EQ(readWholePath([](wchar_t*, std::uint32_t) { return 0u; }), L"");
}

}  // namespace
}  // namespace tu
