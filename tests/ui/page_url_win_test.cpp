// The start page's URL and the program's resources, as Windows gives them.
#include <gtest/gtest.h>

#include "ui/program_resources.h"
#include "ui/start_page_url.h"

namespace tu {
namespace {

TEST(StartPageUrl, IsAFileUrlWithForwardSlashesAndEscapes) {
  EXPECT_EQ(
      startPageUrl(L"C:\\Users\\Vazid Ureverivo\\AppData\\Local\\TarnLauncher\\ui-1\\index.html"),
      L"file:///C:/Users/Vazid%20Ureverivo/AppData/Local/TarnLauncher/ui-1/index.html");
}

TEST(ProgramResources, AMissingResourceGivesNothing) {
  EXPECT_FALSE(loadProgramResource(kUiPackResource).has_value());
}

}  // namespace
}  // namespace tu
