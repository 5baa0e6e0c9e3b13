// Playlists on disk: the .wls bytes against the layout built here byte by byte, the stored
// and the true playing times, reading damaged and short files, the edits, and saving that
// never leaves half a list nor writes through a link or over a file that is not a playlist.
#include "live/playlist.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;

const std::string kWrongType = "ERROR: Incorrect file type or corrupt file.";

// A silent PCM wave of the given format and length.
void WriteSilence(const std::string& path, uint16_t channels, uint32_t rate, uint16_t bits, double seconds) {
  const size_t frames = static_cast<size_t>(seconds * rate);
  const size_t bytes = frames * channels * ((bits + 7) / 8);
  test::WriteBytes(path, test::WaveBytes().Format(1, channels, rate, bits).Data(std::vector<uint8_t>(bytes, bits == 8 ? 128 : 0)).Build());
}

void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One record as the layout has it: the path in 512 zero-padded bytes, 0, data size, time.
std::vector<uint8_t> Record(const std::string& path, uint32_t dataBytes, uint32_t ms) {
  std::vector<uint8_t> record(path.begin(), path.end());
  record.resize(512, 0);
  Put32(record, 0);
  Put32(record, dataBytes);
  Put32(record, ms);
  return record;
}

std::vector<uint8_t> Header() {
  const std::string magic = "ZAnto WaveList Ver 1.00 1997";
  std::vector<uint8_t> header(magic.begin(), magic.end());
  header.resize(192, 0);
  return header;
}

std::string Text(const std::vector<uint8_t>& bytes, size_t from, size_t length) {
  return std::string(reinterpret_cast<const char*>(bytes.data()) + from, length);
}

std::string Today(const char* pattern) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, pattern, &local);
  return text;
}

TEST(Playlist, TwoEntriesAreWrittenInTheFileLayoutByteForByte) {
  TestFolder folder;
  const std::string stereo = folder.File("stereo16.wav");
  const std::string mono8 = folder.File("mono8.wav");
  WriteSilence(stereo, 2, 44100, 16, 1.0);  // 176400 bytes
  WriteSilence(mono8, 1, 8000, 8, 1.0);     // 8000 bytes, stored as half a second
  ScriptedPrompts prompts;
  Playlist list(prompts);
  ASSERT_TRUE(list.AddEntry(stereo));
  ASSERT_TRUE(list.AddEntry(mono8));
  const std::string wls = folder.File("two.wls");
  const std::string dateBefore = Today("%m/%d/%y");
  ASSERT_TRUE(list.Save(wls));
  const std::string dateAfter = Today("%m/%d/%y");
  EXPECT_TRUE(prompts.Entries().empty());
  EXPECT_FALSE(list.Modified());

  const std::vector<uint8_t> bytes = test::ReadBytes(wls);
  ASSERT_EQ(bytes.size(), 1240u);
  const std::vector<uint8_t> header = Header();
  EXPECT_TRUE(std::equal(header.begin(), header.begin() + 32, bytes.begin())) << "magic, its terminator, then zeros";
  const std::string date = Text(bytes, 32, 8);
  EXPECT_TRUE(date == dateBefore || date == dateAfter) << date;
  EXPECT_EQ(bytes[40], 0);
  EXPECT_EQ(bytes[41], 0);
  const std::string time = Text(bytes, 42, 8);
  ASSERT_EQ(time.size(), 8u);
  for (size_t i : {0u, 1u, 3u, 4u, 6u, 7u}) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(time[i]))) << time;
  EXPECT_EQ(time[2], ':');
  EXPECT_EQ(time[5], ':');
  EXPECT_TRUE(std::all_of(bytes.begin() + 50, bytes.begin() + 192, [](uint8_t b) { return b == 0; }))
      << "the time's terminator and padding, and both empty texts";

  std::vector<uint8_t> records = Record(stereo, 176400, 1000);
  const std::vector<uint8_t> second = Record(mono8, 8000, 500);
  records.insert(records.end(), second.begin(), second.end());
  EXPECT_TRUE(std::equal(records.begin(), records.end(), bytes.begin() + 192));
}

TEST(Playlist, StoredTimesCountTwoBytesASampleButTheShownTimesAreTrue) {
  struct Case {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    double seconds;
    int32_t storedMs;
    int64_t trueMs;
  };
  const Case cases[] = {
      {2, 44100, 16, 1.0, 1000, 1000}, {1, 8000, 8, 1.0, 500, 1000},  {2, 48000, 24, 1.0, 1500, 1000},
      {1, 22050, 16, 0.5, 500, 500},   {2, 8000, 8, 2.25, 1125, 2250}, {1, 96000, 24, 0.1, 150, 100},
  };
  TestFolder folder;
  ScriptedPrompts prompts;
  Playlist list(prompts);
  int64_t total = 0;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    WriteSilence(folder.File(std::to_string(i) + ".wav"), c.channels, c.rate, c.bits, c.seconds);
    ASSERT_TRUE(list.AddEntry(folder.File(std::to_string(i) + ".wav")));
    total += c.trueMs;
  }
  ASSERT_TRUE(list.Save(folder.File("times.wls")));
  Playlist reopened(prompts);
  ASSERT_EQ(reopened.Open(folder.File("times.wls")), Playlist::OpenResult::Opened);
  for (const Playlist* shown : {&list, &reopened}) {
    ASSERT_EQ(shown->Count(), static_cast<int>(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i) {
      SCOPED_TRACE(i);
      const PlaylistEntry& entry = shown->Entries()[i];
      EXPECT_EQ(entry.storedMs, cases[i].storedMs);
      EXPECT_EQ(entry.ShownMs(), cases[i].trueMs);
      EXPECT_TRUE(entry.available);
    }
    EXPECT_EQ(shown->TotalMs(), total);
  }
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST(Playlist, TheTotalIsShownAsMinutesAndSecondsWithThreeDecimals) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "00:0.000"},       {61500, "01:1.500"},   {59999, "00:59.999"},
      {600000, "10:0.000"},  {3723456, "62:3.456"}, {1, "00:0.001"},
  };
  for (const auto& [ms, text] : cases) EXPECT_EQ(PlayingTimeText(ms), text) << ms;
}

TEST(Playlist, ShortDamagedAndMissingListsReadAsTheRulesSay) {
  TestFolder folder;
  const std::string wave = folder.File("a.wav");
  WriteSilence(wave, 1, 8000, 16, 0.25);
  std::vector<uint8_t> oneAndAHalf = Header();
  const std::vector<uint8_t> record = Record(wave, 4000, 250);
  oneAndAHalf.insert(oneAndAHalf.end(), record.begin(), record.end());
  oneAndAHalf.insert(oneAndAHalf.end(), record.begin(), record.begin() + 400);  // two records by length, the second incomplete
  std::vector<uint8_t> wrongMagic = Header();
  wrongMagic[5] = 'X';
  wrongMagic.insert(wrongMagic.end(), record.begin(), record.end());
  std::vector<uint8_t> magicNotTerminated = Header();
  magicNotTerminated[28] = '!';
  magicNotTerminated.insert(magicNotTerminated.end(), record.begin(), record.end());

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;  // empty with folder/missing
    bool makeFolder;
    Playlist::OpenResult result;
    int entries;
    std::vector<std::string> messages;
  };
  const std::string cannotOpen(StringText(StringId::kStreamCannotOpen));
  const Case cases[] = {
      {"header only", Header(), false, Playlist::OpenResult::Opened, 0, {}},
      {"523 bytes of anything", std::vector<uint8_t>(523, 'x'), false, Playlist::OpenResult::Opened, 0, {}},
      {"empty", std::vector<uint8_t>{}, false, Playlist::OpenResult::Opened, 0, {}},
      {"one and a half records", oneAndAHalf, false, Playlist::OpenResult::Opened, 1, {}},
      {"wrong magic", wrongMagic, false, Playlist::OpenResult::WrongType, 0, {kWrongType}},
      {"magic not terminated", magicNotTerminated, false, Playlist::OpenResult::WrongType, 0, {kWrongType}},
      {"a folder", {}, true, Playlist::OpenResult::CannotOpen, 0, {cannotOpen}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File(std::string(c.name) + ".wls");
    if (c.makeFolder)
      std::filesystem::create_directory(path);
    else
      test::WriteBytes(path, c.bytes);
    ScriptedPrompts prompts;
    Playlist list(prompts);
    EXPECT_EQ(list.Open(path), c.result);
    EXPECT_EQ(list.Count(), c.entries);
    EXPECT_EQ(prompts.Texts(), c.messages);
    EXPECT_FALSE(list.Modified());
  }
  ScriptedPrompts prompts;
  Playlist list(prompts);
  EXPECT_EQ(list.Open(folder.File("none.wls")), Playlist::OpenResult::Missing);
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST(Playlist, AnEntryWhoseFileIsGoneShowsItsStoredTimeNeverBelowZero) {
  TestFolder folder;
  std::vector<uint8_t> bytes = Header();
  const std::vector<uint8_t> gone = Record(folder.File("gone.wav"), 88200, 61500);
  bytes.insert(bytes.end(), gone.begin(), gone.end());
  WriteSilence(folder.File("here.wav"), 1, 8000, 8, 2.0);  // stored as 1 s, truly 2 s
  const std::vector<uint8_t> here = Record(folder.File("here.wav"), 16000, 1000);
  bytes.insert(bytes.end(), here.begin(), here.end());
  const std::vector<uint8_t> damaged = Record(folder.File("damaged.wav"), 4, 0xFFFFFFFF);  // a negative time
  bytes.insert(bytes.end(), damaged.begin(), damaged.end());
  test::WriteBytes(folder.File("list.wls"), bytes);

  ScriptedPrompts prompts;
  Playlist list(prompts);
  ASSERT_EQ(list.Open(folder.File("list.wls")), Playlist::OpenResult::Opened);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Entries()[2].ShownMs(), 0);
  EXPECT_FALSE(list.Entries()[0].available);
  EXPECT_EQ(list.Entries()[0].ShownMs(), 61500);
  EXPECT_TRUE(list.Entries()[1].available);
  EXPECT_EQ(list.Entries()[1].ShownMs(), 2000);
  EXPECT_EQ(list.TotalText(), "01:3.500");
  // Saved again, both records keep what they held.
  ASSERT_TRUE(list.Save(folder.File("again.wls")));
  const std::vector<uint8_t> again = test::ReadBytes(folder.File("again.wls"));
  ASSERT_EQ(again.size(), bytes.size());
  EXPECT_TRUE(std::equal(bytes.begin() + 192, bytes.end(), again.begin() + 192));
}

TEST(Playlist, FilesThatCannotBeAddedAreRefusedWithTheStreamErrorFirst) {
  TestFolder folder;
  test::WriteFileText(folder.File("notes.wav"), "not a wave file at all, just some text");
  const std::string longName = folder.File(std::string(200, 'n') + "/" + std::string(200, 'm') + "/" + std::string(120, 'x') + ".wav");
  struct Case {
    std::string path;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {folder.File("notes.wav"), {std::string(StringText(StringId::kStreamBadFormat)), kWrongType}},
      {folder.File("missing.wav"), {std::string(StringText(StringId::kStreamCannotOpen)), kWrongType}},
      {longName, {FormatText(StringId::kPlaylistPathTooLong, {longName, "511"})}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ScriptedPrompts prompts;
    Playlist list(prompts);
    EXPECT_FALSE(list.AddEntry(c.path));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Modified());
    EXPECT_EQ(prompts.Texts(), c.messages);
  }
}

TEST(Playlist, RelativeNamesAreStoredAsFullPaths) {
  TestFolder folder;
  WriteSilence(folder.File("take.wav"), 1, 8000, 16, 0.1);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  ScriptedPrompts prompts;
  Playlist list(prompts);
  const bool added = list.AddEntry("./sub/../take.wav");
  const bool plain = list.AddEntry("./take.wav");
  std::filesystem::current_path(before);
  EXPECT_FALSE(added) << "sub does not exist, so neither does sub/..";
  ASSERT_TRUE(plain);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Entries()[0].path, folder.File("take.wav"));
}

TEST(Playlist, MovesAndDeletesChangeOnlyWhatTheyCanAndMarkTheListModified) {
  TestFolder folder;
  ScriptedPrompts prompts;
  Playlist list(prompts);
  for (const char* name : {"a", "b", "c"}) {
    WriteSilence(folder.File(std::string(name) + ".wav"), 1, 8000, 16, 0.5);
    ASSERT_TRUE(list.AddEntry(folder.File(std::string(name) + ".wav")));
  }
  ASSERT_TRUE(list.Save(folder.File("abc.wls")));
  const auto order = [&] {
    std::string names;
    for (const PlaylistEntry& entry : list.Entries()) names += std::filesystem::path(entry.path).stem().string();
    return names;
  };
  struct Step {
    const char* what;
    bool (Playlist::*edit)(int);
    int index;
    bool changes;
    const char* after;
  };
  const Step steps[] = {
      {"up on the first", &Playlist::MoveUp, 0, false, "abc"},
      {"down on the last", &Playlist::MoveDown, 2, false, "abc"},
      {"up without a selection", &Playlist::MoveUp, -1, false, "abc"},
      {"down beyond the list", &Playlist::MoveDown, 3, false, "abc"},
      {"delete beyond the list", &Playlist::Delete, 3, false, "abc"},
      {"up on the second", &Playlist::MoveUp, 1, true, "bac"},
      {"down on the first", &Playlist::MoveDown, 0, true, "abc"},
      {"down on the second", &Playlist::MoveDown, 1, true, "acb"},
      {"delete the middle", &Playlist::Delete, 1, true, "ab"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    ASSERT_TRUE(list.Save(folder.File("abc.wls")));
    EXPECT_EQ((list.*step.edit)(step.index), step.changes);
    EXPECT_EQ(list.Modified(), step.changes);
    EXPECT_EQ(order(), step.after);
    EXPECT_EQ(list.TotalMs(), 500 * list.Count());
  }
}

TEST(Playlist, SavingNeverWritesThroughALinkNorOverAFileThatIsNotAPlaylist) {
  TestFolder folder;
  WriteSilence(folder.File("a.wav"), 1, 8000, 16, 0.5);
  const std::vector<uint8_t> waveBytes = test::ReadBytes(folder.File("a.wav"));
  ScriptedPrompts prompts;
  Playlist list(prompts);
  ASSERT_TRUE(list.AddEntry(folder.File("a.wav")));
  std::filesystem::create_symlink(folder.File("a.wav"), folder.File("link.wls"));
  test::WriteFileText(folder.File("old.wls"), "");
  std::filesystem::create_directory(folder.File("dir.wls"));

  struct Case {
    std::string path;
    bool saved;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"", false, {"List Name connot be blank"}},
      {folder.File("link.wls"), false, {FormatText(StringId::kPlaylistIsLink, {folder.File("link.wls")}), kWrongType}},
      {folder.File("a.wav"), false, {FormatText(StringId::kPlaylistNotAPlaylist, {folder.File("a.wav")}), kWrongType}},
      {folder.File("dir.wls"), false, {FormatText(StringId::kOutputIsFolder, {folder.File("dir.wls")}), kWrongType}},
      {folder.File("no/such/folder.wls"), false,
       {FormatText(StringId::kOutputFolderMissing, {folder.File("no/such/folder.wls"), folder.File("no/such")}), kWrongType}},
      {folder.File("old.wls"), true, {}},  // an empty file may be replaced
      {folder.File("old.wls"), true, {}},  // and so may a playlist
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    prompts.Clear();
    EXPECT_EQ(list.Save(c.path), c.saved);
    EXPECT_EQ(prompts.Texts(), c.messages);
  }
  EXPECT_EQ(test::ReadBytes(folder.File("a.wav")), waveBytes) << "the wave behind the link and under its own name";
  EXPECT_TRUE(std::filesystem::is_symlink(folder.File("link.wls")));
  EXPECT_EQ(test::ReadBytes(folder.File("old.wls")).size(), 192u + 524u);
  for (const auto& item : std::filesystem::directory_iterator(folder.Path()))
    EXPECT_EQ(item.path().string().find(".ztpart"), std::string::npos) << "no temporary is left: " << item.path();
}

}  // namespace
}  // namespace ztlive
