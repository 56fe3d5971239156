// Which local path a "file:" address names: the web view's navigation rule stands on it.
#include "ui/file_url.h"

#include <gtest/gtest.h>

namespace tu {
namespace {

TEST(FileUrl, GivesTheWindowsPathOfLocalAndSharedFiles) {
  EXPECT_EQ(windowsPathOfFileUrl("file:///C:/Users/Vazid%20U/ui-1/index.html?x=1#top"),
            "C:\\Users\\Vazid U\\ui-1\\index.html");
  EXPECT_EQ(windowsPathOfFileUrl("FILE://localhost/D:/%C5%BE.html"), "D:\\\xC5\xBE.html");
  EXPECT_EQ(windowsPathOfFileUrl("file://server/share/a.html"), "\\\\server\\share\\a.html");
  // An escaped slash is a separator like any other; the ".." stays for the caller to resolve.
  EXPECT_EQ(windowsPathOfFileUrl("file:///C:/ui/..%2F..%2Fx"), "C:\\ui\\..\\..\\x");
}

TEST(FileUrl, RefusesOtherSchemesAndBrokenEscapes) {
  for (const char* url : {"https://example.com/", "about:blank", "file:C:/x", "file:///C:/%",
                          "file:///C:/%4", "file:///C:/%zz", "file:///C:/a%00b"}) {
    EXPECT_FALSE(windowsPathOfFileUrl(url)) << url;
  }
}

}  // namespace
}  // namespace tu
