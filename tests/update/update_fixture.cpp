#include "update/update_fixture.h"

#include <map>

#include "core/files.h"
#include "net/fetcher.h"

namespace tu::test {

namespace fs = std::filesystem;

UpdateFixture::UpdateFixture() {
  fs::create_directories(client);
  config.updateUrl = updateUrl();
  config.publicKey = publicKey();
}

RunRecord UpdateFixture::run(CheckMode mode, const fs::path& launcher) {
  RunRecord record;
  std::unique_ptr<Fetcher> fetcher = makeFetcher();
  Updater* self = nullptr;
  Updater updater(
      client, launcher, config, *fetcher,
      [&](const std::string& phase) {
        record.phases.push_back(phase);
        record.events.push_back("phase " + phase);
        if (onPhase) onPhase(*self, phase);
      },
      [&](const Json& progress) {
        record.progress.push_back(progress);
        record.events.push_back("progress " + progress.getString("phase") + " " +
                                std::to_string(progress.getInt64("filesDone", -1)));
        if (onProgress) onProgress(*self, progress);
      },
      [&](const RunEnd& end) {
        EXPECT_FALSE(record.done) << "a second end";
        record.done = true;
        record.ok = end.ok;
        record.canPlay = end.canPlay;
        record.code = endCodeText(end.code);
        record.detail = end.detail;
        record.build = self->build();
        record.events.push_back("done");
      },
      [&](const fs::path& replacement) { record.handedOver.push_back(replacement); },
      [this] { return now += clockStep; });
  self = &updater;
  updater.run(mode);
  return record;
}

void UpdateFixture::expectClient(const std::vector<ClientFile>& files) const {
  std::map<std::string, std::string> expected;
  for (const ClientFile& file : files) expected[file.path] = file.content;
  EXPECT_EQ(clientFiles(client), expected);
}

}  // namespace tu::test
