#include "app/launch_paths.h"

#include <gtest/gtest.h>

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

TEST(InstanceMutex, NamesTheClientFolderHashInDecimal) {
  EXPECT_EQ(instanceMutexName(2906646095u), L"Local\\TarnLauncher_2906646095");
  EXPECT_EQ(instanceMutexName(7u), L"Local\\TarnLauncher_7");
  EXPECT_EQ(oldExecutablePath(L"C:\\L2\\TarnLauncher.exe"), L"C:\\L2\\TarnLauncher.exe.old");
}

}  // namespace
}  // namespace tu
