#include "core/undo_store.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "core/wave_ranges.h"
#include "core/wave_stream.h"
#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;
using test::WaveBytes;

constexpr int kFrame = 4;  // 16-bit stereo

std::vector<uint8_t> DataOf(const std::string& path) {
  RunState run;
  WaveStream stream(4096, 4096, run);
  EXPECT_EQ(stream.Open(path, kOpenRead), kStreamOk);
  std::vector<uint8_t> data(stream.DataBytes());
  stream.ReadRaw(data.data(), data.size());
  return data;
}

void WriteWave(const std::string& path, const std::vector<uint8_t>& data) {
  test::WriteBytes(path, WaveBytes().Format(1, 2, 1000, 16).Data(data).Build());
}

size_t FilesIn(const std::string& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

class UndoStoreTest : public ::testing::Test {
 protected:
  TestFolder files;
  TestFolder temp;
  ScriptedPrompts prompts;
};

TEST_F(UndoStoreTest, TheLevelLimitDeletesTheOldestSavedCopy) {
  const std::string target = files.File("a.wav");
  WriteWave(target, std::vector<uint8_t>(4000, 1));
  UndoStore store(10, temp.Path(), prompts);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(store.RecordUndo(kUndoGainChange, kPaneDestination, target, 0, 400), 1);
  const std::string oldest = store.Entry(9).savedCopy;
  EXPECT_EQ(FilesIn(temp.Path()), 10u);
  ASSERT_EQ(store.RecordUndo(kUndoMute, kPaneSource, target, 0, 400), 1);
  EXPECT_EQ(store.Count(), 10);
  EXPECT_EQ(FilesIn(temp.Path()), 10u);
  EXPECT_FALSE(std::filesystem::exists(oldest));
  store.ClearUndo();
  EXPECT_EQ(FilesIn(temp.Path()), 0u);
  EXPECT_EQ(UndoStore(0, temp.Path(), prompts).MaxLevels(), 1);
}

TEST_F(UndoStoreTest, MenuTextsNameThePaneTheActionAndTheTimes) {
  const std::string target = files.File("a.wav");
  WriteWave(target, std::vector<uint8_t>(400000, 1));  // 1000 Hz stereo 16-bit: 4000 bytes a second
  UndoStore store(10, temp.Path(), prompts);
  EXPECT_EQ(store.DescribeUndoEntry(0), "No Undo's Available");
  ASSERT_EQ(store.MenuItems().size(), 1u);
  EXPECT_FALSE(store.MenuItems()[0].enabled);

  ASSERT_EQ(store.RecordUndo(kUndoCut, kPaneDestination, target, 5000, 250004), 1);
  ASSERT_EQ(store.RecordUndo(kUndoMute, kPaneSource, target, 0, 4000), 1);
  EXPECT_EQ(store.DescribeUndoEntry(0), "Undo Source: Mute ");
  EXPECT_EQ(store.DescribeUndoEntry(1), "Undo Dest: Cut  00:01.250-01:02.501");
  EXPECT_EQ(store.DescribeUndoEntry(2), "Unknown Action ");
  const auto items = store.MenuItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].commandId, 34000);
  EXPECT_EQ(items[1].commandId, 34001);
  EXPECT_EQ(items[1].text, "Undo Dest: Cut  00:01.250-01:02.501");
}

TEST_F(UndoStoreTest, OnlyTheFirstTwentyEntriesAreRouted) {
  const std::string target = files.File("a.wav");
  WriteWave(target, std::vector<uint8_t>(400, 1));
  UndoStore store(30, temp.Path(), prompts);
  for (int i = 0; i < 25; ++i) ASSERT_EQ(store.RecordUndo(kUndoPasteInsert, kPaneDestination, target, 0, 4), 1);
  const auto items = store.MenuItems();
  ASSERT_EQ(items.size(), 25u);
  EXPECT_TRUE(items[19].routed);
  EXPECT_FALSE(items[20].routed);
  EXPECT_EQ(FilesIn(temp.Path()), 0u) << "a paste insert saves no copy";
  EXPECT_EQ(store.RemoveUndoEntry(30), -1);
}

// Random edits on a real file, each recorded first, then undone newest first: after every
// undo the file's data must equal the model of what it held before that edit.
TEST_F(UndoStoreTest, RandomEditsUndoneNewestFirstRestoreEveryByte) {
  std::mt19937 random(4242);
  const std::string target = files.File("edit.wav");
  const std::string clip = files.File("clip.wav");
  std::vector<uint8_t> model(40000);
  for (uint8_t& b : model) b = static_cast<uint8_t>(random());
  WriteWave(target, model);
  UndoStore store(500, temp.Path(), prompts);
  std::vector<std::vector<uint8_t>> history;

  auto frameAt = [&](size_t limit) { return static_cast<uint32_t>(random() % (limit / kFrame + 1) * kFrame); };
  for (int step = 0; step < 60; ++step) {
    history.push_back(model);
    const int kind = static_cast<int>(random() % 4);
    uint32_t from = frameAt(model.size());
    uint32_t to = std::min<uint32_t>(static_cast<uint32_t>(model.size()), from + frameAt(8000));
    if (kind == 0) {  // cut
      ASSERT_EQ(store.RecordUndo(kUndoCut, kPaneDestination, target, from, to), 1);
      ASSERT_EQ(CutRange(target, from, to, prompts), 1);
      model.erase(model.begin() + from, model.begin() + to);
    } else if (kind == 1) {  // paste insert of a random clip
      std::vector<uint8_t> bytes(frameAt(6000) + kFrame);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
      WriteWave(clip, bytes);
      ASSERT_EQ(InsertFile(target, from, clip, temp.Path(), prompts), 1);
      ASSERT_EQ(store.RecordUndo(kUndoPasteInsert, kPaneDestination, target, from, from + static_cast<uint32_t>(bytes.size())), 1);
      model.insert(model.begin() + from, bytes.begin(), bytes.end());
    } else if (kind == 2) {  // paste over
      std::vector<uint8_t> bytes(to - from);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
      WriteWave(clip, bytes);
      ASSERT_EQ(store.RecordUndo(kUndoPasteOver, kPaneDestination, target, from, to), 1);
      ASSERT_EQ(CopyRange(clip, target, 0, 0, from, to, prompts), 1);
      std::copy(bytes.begin(), bytes.end(), model.begin() + from);
    } else {  // gain: halve every sample of the range, in place
      ASSERT_EQ(store.RecordUndo(kUndoGainChange, kPaneDestination, target, from, to), 1);
      RunState run;
      WaveStream stream(4096, 4096, run);
      ASSERT_EQ(stream.Open(target, kOpenWrite), kStreamOk);
      std::vector<uint8_t> bytes(to - from);
      stream.SeekData(from, 0);
      stream.ReadRaw(bytes.data(), bytes.size());
      for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto sample = static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8);
        const auto halved = static_cast<uint16_t>(sample / 2);
        bytes[i] = static_cast<uint8_t>(halved);
        bytes[i + 1] = static_cast<uint8_t>(halved >> 8);
      }
      stream.SeekData(from, 0);
      ASSERT_TRUE(stream.WriteRaw(bytes.data(), bytes.size()));
      stream.Close();
      std::copy(bytes.begin(), bytes.end(), model.begin() + from);
    }
    ASSERT_EQ(DataOf(target), model) << "edit " << step;
  }
  while (store.Count() > 0) {
    uint32_t start = 0;
    uint32_t end = 0;
    ASSERT_GE(store.ApplyUndo(0, start, end), 0);
    ASSERT_EQ(store.RemoveUndoEntry(0), 1);
    model = history.back();
    history.pop_back();
    ASSERT_EQ(DataOf(target), model) << "after undoing down to " << history.size() << " edits";
  }
  EXPECT_TRUE(prompts.Entries().empty());
  EXPECT_EQ(FilesIn(temp.Path()), 0u);
}

// An edit that runs out of disk space part-way leaves the undo copy whole and usable.
TEST_F(UndoStoreTest, AFailedEditLeavesTheUndoCopyIntact) {
  const std::string target = files.File("a.wav");
  std::vector<uint8_t> original(40000);
  for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<uint8_t>(i * 13);
  WriteWave(target, original);
  WriteWave(files.File("big.wav"), std::vector<uint8_t>(80000, 9));
  UndoStore store(10, temp.Path(), prompts);
  ASSERT_EQ(store.RecordUndo(kUndoPasteOver, kPaneDestination, target, 8000, 40000), 1);
  const std::string copy = store.Entry(0).savedCopy;

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{60000, 60000};
    setrlimit(RLIMIT_FSIZE, &limit);
    ScriptedPrompts childPrompts;
    // Paste the big clip over the end: the file must grow past the limit.
    _exit(CopyRange(files.File("big.wav"), target, 0, 0, 8000, 0, childPrompts) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);

  EXPECT_EQ(DataOf(copy), std::vector<uint8_t>(original.begin() + 8000, original.end()));
  EXPECT_EQ(std::system(("sox '" + copy + "' -n stat >/dev/null 2>&1").c_str()), 0);
  uint32_t start = 0;
  uint32_t end = 0;
  ASSERT_EQ(store.ApplyUndo(0, start, end), kUndoPasteOver);
  const std::vector<uint8_t> restored = DataOf(target);
  ASSERT_GE(restored.size(), original.size());
  EXPECT_EQ(std::vector<uint8_t>(restored.begin(), restored.begin() + 40000), original);
}

TEST_F(UndoStoreTest, AnEntryWhoseFileIsGoneFailsWithoutMakingTheFileAgain) {
  const std::string target = files.File("gone.wav");
  WriteWave(target, std::vector<uint8_t>(4000, 3));
  UndoStore store(10, temp.Path(), prompts);
  ASSERT_EQ(store.RecordUndo(kUndoMute, kPaneDestination, target, 0, 400), 1);
  std::filesystem::remove(target);
  uint32_t start = 0;
  uint32_t end = 0;
  EXPECT_EQ(store.ApplyUndo(0, start, end), -1);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(prompts.Texts().back(), target + " no longer exists: this edit cannot be undone.");
  EXPECT_EQ(store.Count(), 1) << "the entry and its saved copy stay";
}

}  // namespace
}  // namespace ztlive
