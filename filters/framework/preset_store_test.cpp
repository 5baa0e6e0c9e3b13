// Several processes saving presets into the one preset file at once. Uses forked processes.
#include "filters/framework/preset_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::ScopedEnvironment;
using test::TestFolder;

constexpr int kWriters = 3;
constexpr int kPresetsEach = 30;
constexpr std::string_view kSection = "ImpulseSet";

PresetValues Numbered(int writer, int preset) {
  PresetValues values;
  for (size_t i = 0; i < values.p.size(); ++i) values.p[i] = writer * 1000 + preset * 10 + static_cast<int32_t>(i);
  return values;
}

std::string Name(int writer, int preset) { return "W" + std::to_string(writer) + " preset " + std::to_string(preset); }

// Until stopped: the preset written first always reads back, and the list of names never
// shrinks. Exit 0 when every look was whole.
int WatchPresets(test::Signal& stop) {
  size_t namesBefore = 0;
  int looks = 0;
  for (;;) {
    const bool stopping = stop.Take(0);
    PresetValues values;
    if (ReadPresetValues(kSection, "Default", values) != 0 || values != Numbered(9, 9)) return 2;
    const size_t names = PresetFile().KeyNames(kSection, 1 << 20).size();
    if (names < namesBefore) return 3;
    namesBefore = names;
    ++looks;
    if (stopping) return looks > 1 ? 0 : 4;
  }
}

TEST(PresetStoreConcurrency, ProcessesSavingAtOnceLoseNoPresetAndReadersSeeWholeFiles) {
  TestFolder folder;
  const ScopedEnvironment home("ZTLIVE_HOME", folder.Path());
  ASSERT_EQ(WritePresetValuesTo(kSection, "Default", Numbered(9, 9), PresetTextForm::BlankBeforeLast), 1);

  test::Signal stopWatcher;
  const pid_t watcher = test::StartChild([&] { return WatchPresets(stopWatcher); });
  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.push_back(test::StartChild([w] {
      for (int p = 0; p < kPresetsEach; ++p)
        if (WritePresetValuesTo(kSection, Name(w, p), Numbered(w, p), PresetTextForm::TrailingLineFeed) != 1) return 1;
      return 0;
    }));
  }
  for (const pid_t writer : writers) EXPECT_EQ(test::WaitChild(writer), 0);
  stopWatcher.Give();
  EXPECT_EQ(test::WaitChild(watcher), 0) << "2 the first preset was unreadable, 3 a name vanished, 4 too few looks";

  int wrong = 0;
  for (int w = 0; w < kWriters; ++w)
    for (int p = 0; p < kPresetsEach; ++p) {
      PresetValues values;
      if (ReadPresetValues(kSection, Name(w, p), values) != 0 || values != Numbered(w, p)) ++wrong;
    }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(PresetFile().KeyNames(kSection, 1 << 20).size(), 1u + kWriters * kPresetsEach);
}

}  // namespace
}  // namespace ztlive
