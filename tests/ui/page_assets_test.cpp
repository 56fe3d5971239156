// Where the page comes from: the client's "ui" folder, else the UI pack, else the single files.
#include "ui/page_assets.h"

#include <gtest/gtest.h>

#include <map>

#include "support/temp_dir.h"
#include "ui/client_folder_hash.h"
#include "ui/ui_pack.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::readTestFile;
using test::TempDir;
using test::writeTestFile;

class PageAssetsTest : public ::testing::Test {
 protected:
  PageAssetsTest() {
    resources[kPageIndexResource] = "<html>default</html>";
    resources[kPageStyleResource] = "body{}";
    resources[kPageScriptResource] = "go();";
    resources[kPageLogoResource] = std::string("\x89PNG\0", 5);
  }
  fs::path resolve() {
    return resolveUiStartPage(clientDir, dataFolder, clientFolderHash(clientDir),
                              [this](int id) -> std::optional<std::string> {
                                const auto found = resources.find(id);
                                if (found == resources.end()) return std::nullopt;
                                return found->second;
                              });
  }
  void addPack(std::vector<UiPackEntry> entries) {
    std::string error;
    ASSERT_TRUE(buildUiPack(std::move(entries), resources[kUiPackResource], error));
  }
  fs::path packFolder() const { return dataFolder / uiPackFolderName(clientFolderHash(clientDir)); }

  TempDir dir;
  fs::path clientDir = dir / "client";
  fs::path dataFolder = dir / "data";
  std::map<int, std::string> resources;
};

TEST(PageAssets, PackFolderIsNamedByTheHashWithoutLeadingZeros) {
  EXPECT_EQ(uiPackFolderName(2906646095u), "ui-6646095");
  EXPECT_EQ(uiPackFolderName(655976943u), "ui-55976943");
}

TEST_F(PageAssetsTest, TheClientsUiFolderComesFirstThenThePackForThisClientFolder) {
  writeTestFile(clientDir / "ui" / "index.html", "server page");  // without its style.css
  addPack({{"index.html", "pack page"}});
  EXPECT_EQ(resolve(), clientDir / "ui" / "index.html");
  EXPECT_FALSE(fs::exists(dataFolder));  // nothing extracted

  // The pack folder is named by this client folder, so two clients never share one.
  fs::remove_all(clientDir / "ui");
  addPack({{"index.html", "pack page"}, {"app.js", "pack();"}});
  EXPECT_EQ(resolve(), packFolder() / "index.html");
  EXPECT_EQ(readTestFile(packFolder() / "app.js"), "pack();");
  EXPECT_FALSE(fs::exists(dataFolder / "ui-default"));
}

TEST_F(PageAssetsTest, WithoutAUsablePackTheSingleFilesAreUsed) {
  for (const std::string& pack : {std::string("TUI1\0\0\0\0", 8), std::string("damaged")}) {
    resources[kUiPackResource] = pack;  // an empty pack has no index.html
    EXPECT_EQ(resolve(), dataFolder / "ui-default" / "index.html");
  }
  EXPECT_EQ(readTestFile(dataFolder / "ui-default" / "index.html"), "<html>default</html>");
  EXPECT_EQ(readTestFile(dataFolder / "ui-default" / "logo.png"), std::string("\x89PNG\0", 5));
}

TEST_F(PageAssetsTest, SingleFilesAreRewrittenOnlyWhenTheyDiffer) {
  writeTestFile(dataFolder / "ui-default" / "style.css", "changed");
  writeTestFile(dataFolder / "ui-default" / "stray.txt", "left alone");
  resources.erase(kPageScriptResource);  // a resource that cannot be loaded is skipped
  EXPECT_EQ(resolve(), dataFolder / "ui-default" / "index.html");
  EXPECT_EQ(readTestFile(dataFolder / "ui-default" / "style.css"), "body{}");
  EXPECT_EQ(readTestFile(dataFolder / "ui-default" / "stray.txt"), "left alone");
  EXPECT_FALSE(fs::exists(dataFolder / "ui-default" / "app.js"));
}

}  // namespace
}  // namespace tu
