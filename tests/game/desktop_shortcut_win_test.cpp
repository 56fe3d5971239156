// The shell link on a (scratch) desktop, read back through the shell.
#include <windows.h>

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "core/files.h"
#include "game/desktop_shortcut.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct ShellLinkFields {
  std::wstring path, workingFolder, description, icon;
  int iconIndex = -1;
};

bool readShellLink(const fs::path& file, ShellLinkFields& fields) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  IPersistFile* persist = nullptr;
  bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
  ok = ok && SUCCEEDED(persist->Load(file.c_str(), STGM_READ));
  wchar_t text[MAX_PATH];
  if (ok && SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) fields.path = text;
  if (ok && SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) fields.workingFolder = text;
  if (ok && SUCCEEDED(link->GetDescription(text, MAX_PATH))) fields.description = text;
  if (ok && SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &fields.iconIndex))) fields.icon = text;
  if (persist) persist->Release();
  link->Release();
  return ok;
}

class DesktopShortcutWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    test::writeTestFile(target.exePath, "MZ");
  }
  void TearDown() override { CoUninitialize(); }
  void place() { placeDesktopShortcutIn(desktop, config, target, prefs, dir / "data"); }

  TempDir dir;
  fs::path desktop = dir / "Desktop";
  LauncherConfig config;
  ShortcutTarget target{dir / "client/TarnLauncher.exe", dir / "client", 2906646095u};
  Prefs prefs;
};

// A link that cannot be saved (no desktop folder) leaves the folder unmarked, so the next start
// tries again; once made, it is marked, and one the player deleted is not made again.
TEST_F(DesktopShortcutWinTest, MakesALinkToTheLauncherAndMarksItOnceSaved) {
  config.serverName = "Vazid: Ureverivo";
  const fs::path link = desktop / L"Vazid_ Ureverivo.lnk";
  place();
  EXPECT_FALSE(fs::exists(link));
  EXPECT_FALSE(prefs.prefs.has("shortcut-2906646095"));
  fs::create_directories(desktop);
  place();
  ShellLinkFields fields;
  ASSERT_TRUE(readShellLink(link, fields));
  EXPECT_EQ(fields.path, target.exePath.native());
  EXPECT_EQ(fields.workingFolder, target.clientDir.native());
  EXPECT_EQ(fields.description, L"Vazid: Ureverivo");
  EXPECT_EQ(fields.icon, target.exePath.native());
  EXPECT_EQ(fields.iconIndex, 0);
  EXPECT_EQ(Json::parse(test::readTestFile(dir / "data/prefs.json")).dump(),
            R"({"shortcut-2906646095":true,"lang":"lt"})");

  fs::remove(link);
  place();
  EXPECT_FALSE(fs::exists(link));
}

}  // namespace
}  // namespace tu
