// The desktop shortcut's name, marker and once-per-folder rule. Creating the shell link itself
// is Windows-only (desktop_shortcut_win_test.cpp).
#include "game/desktop_shortcut.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeTestFile;

TEST(DesktopShortcut, NameReplacesWhatFileNamesCannotHold) {
  EXPECT_EQ(shortcutFileName("Vazid: Ureverivo"), "Vazid_ Ureverivo.lnk");
  EXPECT_EQ(shortcutFileName("a\\b/c:d*e?f\"g<h>i|j\tk\x1fl"), "a_b_c_d_e_f_g_h_i_j_k_l.lnk");
  EXPECT_EQ(shortcutFileName(" Тарн. "), " Тарн. .lnk");  // no trimming, non-ASCII kept
  EXPECT_EQ(shortcutFileName(""), "Lineage II.lnk");
}

// Once per client folder: switched off or already marked, nothing is touched; a file of that
// name already on the desktop is left alone, and the folder is marked as done.
TEST(DesktopShortcut, OnlyOnceAndNeverOverAnExistingFile) {
  TempDir dir;
  LauncherConfig config;
  config.serverName = "Vazid";
  Prefs prefs;
  const auto place = [&] {
    placeDesktopShortcutIn(dir / "desktop", config, {dir / "TarnLauncher.exe", dir.path(), 7},
                           prefs, dir / "data");
  };
  config.desktopShortcut = false;
  place();
  config.desktopShortcut = true;
  prefs.prefs.set("shortcut-7", true);
  place();
  EXPECT_FALSE(fs::exists(dir / "desktop"));
  EXPECT_FALSE(fs::exists(dir / "data"));

  prefs = {};
  writeTestFile(dir / "desktop/Vazid.lnk", "made by hand");
  place();
  EXPECT_EQ(test::readTestFile(dir / "desktop/Vazid.lnk"), "made by hand");
  EXPECT_TRUE(prefs.prefs.get("shortcut-7").asBool());
  EXPECT_TRUE(Json::parse(test::readTestFile(dir / "data/prefs.json")).get("shortcut-7").asBool());
}

}  // namespace
}  // namespace tu
