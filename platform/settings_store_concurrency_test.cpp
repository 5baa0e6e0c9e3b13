// Several processes writing one settings file at once. Uses forked processes.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/profile_file.h"
#include "platform/settings_store.h"
#include "testing/child_process.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::TestFolder;

constexpr int kWriters = 3;
constexpr int kKeysEach = 40;

std::string KeyName(int writer, int key) { return "Key" + std::to_string(writer) + "_" + std::to_string(key); }

// Reads the whole file until stopped: each text must be complete (the first key in place, a
// line end at the end) and no key may disappear. Exit 0 when every read was whole.
int WatchWholeReads(const std::string& path, test::Signal& stop) {
  size_t keysBefore = 0;
  int reads = 0;
  for (;;) {
    const bool stopping = stop.Take(0);
    std::string contents;
    if (ReadWholeFile(path, contents) != 0) return 1;
    const ProfileText text(contents);
    if (contents.empty() || contents.back() != '\n' || !text.Find("Shared", "First")) return 2;
    size_t keys = 0;
    for (const std::string& section : text.SectionNames()) keys += text.KeyNames(section).size();
    if (keys < keysBefore) return 3;
    keysBefore = keys;
    ++reads;
    if (stopping) return reads > 1 ? 0 : 4;
  }
}

TEST(SettingsStoreConcurrency, ProcessesWritingAtOnceLoseNoKeyAndReadersSeeWholeFiles) {
  TestFolder folder;
  const std::string path = folder.File("settings.ini");
  ASSERT_EQ(SettingsStore(path).WriteText("Shared", "First", "here before the writers"), 0);

  test::Signal stopReader;
  const pid_t reader = test::StartChild([&] { return WatchWholeReads(path, stopReader); });
  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.push_back(test::StartChild([&path, w] {
      SettingsStore store(path);
      for (int k = 0; k < kKeysEach; ++k) {
        // Every writer also writes into one shared section, where a stale copy would drop keys.
        const int result = k % 2 == 0 ? store.WriteInt("Shared", KeyName(w, k), k)
                                      : store.WriteInt("Writer" + std::to_string(w), KeyName(w, k), k);
        if (result != 0) return 1;
      }
      return 0;
    }));
  }
  for (const pid_t writer : writers) EXPECT_EQ(test::WaitChild(writer), 0);
  stopReader.Give();
  EXPECT_EQ(test::WaitChild(reader), 0) << "1 unreadable, 2 torn, 3 a key vanished, 4 too few reads";

  const SettingsStore store(path);
  int missing = 0;
  for (int w = 0; w < kWriters; ++w)
    for (int k = 0; k < kKeysEach; ++k) {
      const std::string section = k % 2 == 0 ? "Shared" : "Writer" + std::to_string(w);
      if (store.ReadInt(section, KeyName(w, k), -1) != k) ++missing;
    }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(store.ReadText("Shared", "First", ""), "here before the writers");
  EXPECT_FALSE(std::filesystem::exists(folder.File("settings.ini.lock"))) << "no lock file is left";
}

// A writer that changes several keys in one turn: a reader sees all of them or none.
TEST(SettingsStoreConcurrency, ChangesOfOneTurnAppearTogether) {
  TestFolder folder;
  const std::string path = folder.File("presets.ini");
  ProfileFile file(path);
  ASSERT_EQ(file.WriteString("Pair", "A", "0"), 0);
  ASSERT_EQ(file.WriteString("Pair", "B", "0"), 0);

  const pid_t writer = test::StartChild([&path] {
    ProfileFile mine(path);
    for (int turn = 1; turn <= 60; ++turn) {
      const int result = mine.Update([turn](ProfileText& text) {
        const std::string value = std::to_string(turn);
        return text.Write("Pair", "A", value) && text.Write("Pair", "B", value) ? 0 : EINVAL;
      });
      if (result != 0) return 1;
    }
    return 0;
  });
  int mismatches = 0;
  std::string last;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (last != "60" && std::chrono::steady_clock::now() < giveUp) {
    ProfileText text;
    ASSERT_EQ(file.Load(text), 0);
    const std::string a(text.Find("Pair", "A").value_or("?"));
    const std::string b(text.Find("Pair", "B").value_or("!"));
    if (a != b) ++mismatches;
    last = a;
  }
  EXPECT_EQ(test::WaitChild(writer), 0);
  EXPECT_EQ(mismatches, 0);

  // An errno from the change is returned and nothing is written.
  EXPECT_EQ(file.Update([](ProfileText& text) {
    text.Write("Pair", "A", "dropped");
    return ENOSPC;
  }),
            ENOSPC);
  EXPECT_EQ(file.ReadString("Pair", "A", ""), "60");
}

}  // namespace
}  // namespace ztlive
