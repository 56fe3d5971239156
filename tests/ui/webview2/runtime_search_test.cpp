#include "ui/webview2/runtime_search.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

namespace tu {
namespace {

TEST(RuntimeVersion, ParsesExactlyFourNumbersFromTheFolderName) {
  EXPECT_EQ(parseRuntimeVersion(L"120.0.2210.91"), (RuntimeVersion{120, 0, 2210, 91}));
  EXPECT_EQ(parseRuntimeVersion(L"86.0.616.0"), (RuntimeVersion{86, 0, 616, 0}));
  for (const wchar_t* bad :
       {L"", L"120.0.2210", L"120.0.2210.91.1", L"120..2210.91", L".1.2.3", L"1.2.3.",
        L"120.0.2210.91 beta", L"a.b.c.d", L"1234567890.0.0.0", L"-1.0.0.0"}) {
    EXPECT_FALSE(parseRuntimeVersion(bad)) << std::wstring(bad).size();
  }
  EXPECT_EQ(lastPathComponent(L"C:\\EdgeWebView\\Application\\120.0.2210.91"), L"120.0.2210.91");
  EXPECT_EQ(lastPathComponent(L"C:\\EdgeWebView\\Application\\120.0.2210.91\\\\"),
            L"120.0.2210.91");
  EXPECT_EQ(lastPathComponent(L"C:/a/86.0.616.0"), L"86.0.616.0");
  EXPECT_EQ(lastPathComponent(L"86.0.616.0"), L"86.0.616.0");
  EXPECT_EQ(runtimeDllPath(L"C:\\R\\120.0.1.2\\", L"x86"),
            L"C:\\R\\120.0.1.2\\EBWebView\\x86\\EmbeddedBrowserWebView.dll");
}

// A registry of "EBWebView" values and a set of existing files. A per-user install of the stable
// channel is how the end-to-end tests install their runtime.
class RuntimeSearchTest : public ::testing::Test {
 protected:
  void install(RegistryRoot root, int channel, const std::wstring& folder, bool withDll = true) {
    values_[{root, runtimeChannelKeys()[channel]}] = folder;
    if (withDll) files_.insert(runtimeDllPath(folder, L"x86"));
  }
  std::optional<std::wstring> find() {
    RuntimeSearch search;
    search.readEbWebView = [this](RegistryRoot root, const std::wstring& key) {
      const auto found = values_.find({root, key});
      return found == values_.end() ? std::nullopt : std::optional<std::wstring>(found->second);
    };
    search.fileExists = [this](const std::wstring& path) { return files_.count(path) > 0; };
    search.arch = L"x86";
    return findInstalledRuntime(search);
  }

  std::map<std::pair<RegistryRoot, std::wstring>, std::wstring> values_;
  std::set<std::wstring> files_;
};

TEST_F(RuntimeSearchTest, PrefersTheMachineThenTheStableChannelAndSkipsWhatCannotServe) {
  install(RegistryRoot::CurrentUser, 0, L"C:\\U\\120.0.0.1");
  install(RegistryRoot::LocalMachine, 0, L"C:\\M\\119.0.0.1");
  install(RegistryRoot::LocalMachine, 1, L"C:\\Beta\\121.0.0.1");
  EXPECT_EQ(find(), L"C:\\M\\119.0.0.1\\EBWebView\\x86\\EmbeddedBrowserWebView.dll");

  values_.clear();
  files_.clear();
  install(RegistryRoot::LocalMachine, 0, L"C:\\M\\86.0.615.99");  // below 86.0.616.0
  install(RegistryRoot::CurrentUser, 0, L"C:\\U\\not-a-version");
  install(RegistryRoot::LocalMachine, 1, L"C:\\Beta\\121.0.0.1", /*withDll=*/false);
  EXPECT_FALSE(find());
  install(RegistryRoot::CurrentUser, 2, L"C:\\Dev\\86.0.616.0");
  EXPECT_EQ(find(), L"C:\\Dev\\86.0.616.0\\EBWebView\\x86\\EmbeddedBrowserWebView.dll");
}

}  // namespace
}  // namespace tu
