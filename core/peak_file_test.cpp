#include "core/peak_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <random>

#include "core/wave_ranges.h"
#include "core/wave_stream.h"
#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::ReadFileText;
using test::TestFolder;
using test::WaveBytes;

// Every value of a file, read plainly.
std::vector<SampleValue> AllValues(const std::string& path, int& channels) {
  RunState run;
  WaveStream stream(4096, 4096, run);
  EXPECT_EQ(stream.Open(path, kOpenRead), kStreamOk);
  channels = stream.Format().channels;
  std::vector<SampleValue> values;
  while (stream.ReadValues(4096) > 0) values.insert(values.end(), stream.Begin(), stream.End());
  return values;
}

int32_t Magnitude(SampleValue value) { return static_cast<int32_t>(std::min<int64_t>(std::abs(int64_t{value}) >> 8, 32767)); }

// The records as defined: record n holds (the largest |value| over frames 200 n ... 200 n + 199,
// and from n = 1 on also frame 200 n - 1) shifted right by 8; the frames after the last whole
// record make a last record of their own.
std::vector<int16_t> ReferenceRecords(const std::vector<SampleValue>& values, int channels) {
  const size_t frames = values.size() / static_cast<size_t>(channels);
  std::vector<int16_t> records;
  for (size_t n = 0; n * 200 < frames; ++n) {
    for (int c = 0; c < channels; ++c) {
      int64_t largest = 0;
      for (size_t f = n == 0 ? 0 : 200 * n - 1; f < std::min(200 * n + 200, frames); ++f)
        largest = std::max(largest, std::abs(int64_t{values[f * static_cast<size_t>(channels) + static_cast<size_t>(c)]}));
      records.push_back(static_cast<int16_t>(std::min<int64_t>(largest >> 8, 32767)));
    }
  }
  return records;
}

std::vector<int16_t> StoredRecords(const std::string& peakPath) {
  const std::vector<uint8_t> bytes = test::ReadBytes(peakPath);
  std::vector<int16_t> records;
  for (size_t i = PeakFile::kHeaderBytes; i + 1 < bytes.size(); i += 2)
    records.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return records;
}

std::vector<uint8_t> RandomBytes(size_t count, std::mt19937& random) {
  std::vector<uint8_t> bytes(count);
  // Mostly quiet, with loud bursts, so that records differ from each other.
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i % 3 == 2 && random() % 97 != 0 ? random() % 8 : random());
  return bytes;
}

class PeakFileTest : public ::testing::Test {
 protected:
  TestFolder folder;
  RunState run;
  ScriptedPrompts prompts;
};

TEST(PeakFileName, ReplacesTheLastExtension) {
  EXPECT_EQ(PeakFile::PeakFileName("/m/take.wav"), "/m/take.pkf");
  EXPECT_EQ(PeakFile::PeakFileName("/m/take"), "/m/take.pkf");
  EXPECT_EQ(PeakFile::PeakFileName("/m/a.b.wav"), "/m/a.b.pkf");
  EXPECT_EQ(PeakFile::PeakFileName("/m.d/take"), "/m.d/take.pkf");
}

TEST_F(PeakFileTest, RecordsOfAStereo24BitFileMatchTheReferenceAlsoAfterARangeRebuild) {
  std::mt19937 random(5);
  const std::string wave = folder.File("take.wav");
  test::WriteBytes(wave, WaveBytes().Format(1, 2, 48000, 24).Data(RandomBytes(6 * 123457, random)).Build());
  PeakFile peaks(wave, run, prompts);
  ASSERT_EQ(peaks.Build(0, 0), 0);
  int channels = 0;
  std::vector<SampleValue> values = AllValues(wave, channels);
  std::vector<int16_t> reference = ReferenceRecords(values, channels);
  ASSERT_EQ(StoredRecords(peaks.PeakPath()), reference);
  EXPECT_EQ(peaks.LargestPeak(), *std::max_element(reference.begin(), reference.end()));

  // Paste new bytes over an arbitrary range and rebuild just that range.
  const uint64_t from = 6 * 31337 + 6;
  const uint64_t to = from + 6 * 5003;
  test::WriteBytes(folder.File("clip.wav"), WaveBytes().Format(1, 2, 48000, 24).Data(RandomBytes(to - from, random)).Build());
  ASSERT_EQ(CopyRange(folder.File("clip.wav"), wave, 0, 0, from, to, prompts), 1);
  ASSERT_EQ(peaks.Build(from, to), 0);
  values = AllValues(wave, channels);
  EXPECT_EQ(StoredRecords(peaks.PeakPath()), ReferenceRecords(values, channels));
  EXPECT_TRUE(prompts.Entries().empty());
}

TEST_F(PeakFileTest, FullScaleSixteenBitSamplesGiveTheLargestRecord) {
  std::vector<int16_t> samples(400, 0);
  samples[10] = 32767;
  samples[300] = -32768;
  const std::string wave = folder.File("full");
  test::WriteBytes(wave, WaveBytes().Format(1, 1, 8000, 16).Data(test::Samples16(samples)).Build());
  PeakFile peaks(wave, run, prompts);
  ASSERT_EQ(peaks.Build(0, 0), 0);
  EXPECT_EQ(StoredRecords(folder.File("full.pkf")), (std::vector<int16_t>{32767, 32767}));
}

TEST_F(PeakFileTest, DisplayPeaksFromSamplesWhenZoomedInAndFromRecordsOtherwise) {
  std::mt19937 random(9);
  const std::string wave = folder.File("take.wav");
  test::WriteBytes(wave, WaveBytes().Format(1, 2, 44100, 16).Data(RandomBytes(4 * 200000, random)).Build());
  PeakFile peaks(wave, run, prompts);
  int channels = 0;
  const std::vector<SampleValue> values = AllValues(wave, channels);

  // 1000 frames over 100 columns: fewer than 100 samples a column, so read directly.
  std::vector<int16_t> shown;
  int columns = 100;
  ASSERT_EQ(peaks.ReadDisplayPeaks(shown, columns, 4 * 5000, 4 * 6000), 1);
  for (int column = 0; column < 100; ++column) {
    int32_t left = 0;
    for (int f = 10 * column; f < 10 * column + 10; ++f) left = std::max(left, Magnitude(values[2 * static_cast<size_t>(5000 + f)]));
    ASSERT_EQ(shown[2 * static_cast<size_t>(column)], left) << column;
  }
  EXPECT_FALSE(std::ifstream(peaks.PeakPath()).good()) << "no peak file needed";

  // The whole file over 1000 columns: from records, building the peak file first.
  columns = 1000;
  ASSERT_EQ(peaks.ReadDisplayPeaks(shown, columns, 0, 0), 1);
  const std::vector<int16_t> records = ReferenceRecords(values, channels);
  const size_t recordCount = 200000 / 200;
  std::vector<int16_t> folded(2 * 1000, 0);
  for (size_t r = 0; r < recordCount; ++r)
    for (size_t c = 0; c < 2; ++c) folded[2 * (r * 1000 / recordCount) + c] = std::max(folded[2 * (r * 1000 / recordCount) + c], records[2 * r + c]);
  EXPECT_EQ(shown, folded);
  columns = 777;  // columns that do not divide the records
  ASSERT_EQ(peaks.ReadDisplayPeaks(shown, columns, 0, 0), 1);
  folded.assign(2 * 777, 0);
  for (size_t r = 0; r < recordCount; ++r)
    for (size_t c = 0; c < 2; ++c) folded[2 * (r * 777 / recordCount) + c] = std::max(folded[2 * (r * 777 / recordCount) + c], records[2 * r + c]);
  EXPECT_EQ(shown, folded);

  // A very short range is read over at least 16 frames and no more columns than frames.
  columns = 500;
  ASSERT_EQ(peaks.ReadDisplayPeaks(shown, columns, 0, 4 * 3), 1);
  EXPECT_EQ(columns, 16);
}

TEST_F(PeakFileTest, AnOldPeakFileIsNotReadAndAskedToBeRebuilt) {
  const std::string wave = folder.File("take.wav");
  test::WriteBytes(wave, WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(200000, 3)).Build());
  // An older layout's signature differs from today's in its first eight bytes only.
  std::vector<uint8_t> old(30000, 0x55);
  const uint8_t oldSignature[16] = {0x17, 0x2A, 0x05, 0xE1, 0x44, 0x31, 0xD3, 0x11,
                                    0xB0, 0x64, 0x82, 0xD9, 0x1B, 0xE8, 0xD7, 0x4D};
  std::copy(std::begin(oldSignature), std::end(oldSignature), old.begin());
  test::WriteBytes(folder.File("take.pkf"), old);
  PeakFile peaks(wave, run, prompts);
  std::vector<int16_t> shown;
  int columns = 10;
  EXPECT_EQ(peaks.ReadDisplayPeaks(shown, columns, 0, 0), 0);
  ASSERT_EQ(prompts.Entries().size(), 1u);
  EXPECT_EQ(prompts.Entries()[0].text.substr(0, 43), "An old peak file format has been detected. ");
  ASSERT_EQ(peaks.Build(0, 0), 0) << "a rebuild replaces it";
  EXPECT_EQ(test::ReadBytes(folder.File("take.pkf")).size(), PeakFile::kHeaderBytes + 500 * 2) << "nothing old is kept";
  EXPECT_EQ(peaks.ReadDisplayPeaks(shown, columns, 0, 0), 1);
}

TEST_F(PeakFileTest, MarkersStaySortedAreLimitedAndSurviveReopening) {
  const std::string wave = folder.File("take.wav");
  test::WriteBytes(wave, WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(4000, 0)).Build());
  PeakFile peaks(wave, run, prompts);
  ASSERT_EQ(peaks.Build(0, 0), 0);
  ASSERT_EQ(peaks.AddMarker(800), 1);
  ASSERT_EQ(peaks.AddMarker(200), 1);
  EXPECT_EQ(peaks.MarkerPosition(0), 200u) << "added before the first, it comes first";
  EXPECT_EQ(peaks.Markers()[0].label, "1");
  EXPECT_EQ(peaks.Markers()[1].label, "0");
  for (int i = 2; i < 100; ++i) ASSERT_EQ(peaks.AddMarker(static_cast<uint32_t>(1000 + i)), 1);
  EXPECT_EQ(peaks.AddMarker(5), 0) << "the 101st";
  peaks.SetMarker(0, 5000);
  EXPECT_EQ(peaks.MarkerPosition(99), 5000u);
  peaks.RemoveMarker(99);

  PeakFile reopened(wave, run, prompts);
  ASSERT_EQ(reopened.MarkerCount(), 99);
  EXPECT_EQ(reopened.MarkerPosition(0), 800u);
  ASSERT_EQ(reopened.Build(0, 0), 0);
  EXPECT_EQ(PeakFile(wave, run, prompts).MarkerCount(), 99) << "a build keeps the markers";
  reopened.RemoveMarker(-1);
  EXPECT_EQ(PeakFile(wave, run, prompts).MarkerCount(), 0);
}

TEST_F(PeakFileTest, WhilePeaksAreSuppressedNothingIsBuilt) {
  const std::string wave = folder.File("take.wav");
  test::WriteBytes(wave, WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(4000, 0)).Build());
  run.suppressPeaks = 1;
  PeakFile peaks(wave, run, prompts);
  EXPECT_EQ(peaks.Build(0, 0), 0);
  EXPECT_FALSE(std::ifstream(peaks.PeakPath()).good());
  EXPECT_EQ(PeakFile(folder.File("missing.wav"), run, prompts).Build(0, 0), 0);
  run.suppressPeaks = 0;
  EXPECT_EQ(PeakFile(folder.File("missing.wav"), run, prompts).Build(0, 0), kStreamCannotOpen);
}

TEST(PeakFileName, PeakNamesAreRecognisedInAnyCase) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"x.pkf", true},       {"/m/Take.PKF", true}, {"a.wav.Pkf", true}, {".pkf", true},
      {"x.wav", false},      {"pkf", false},        {"x.pkf.wav", false}, {"/m.pkf/take", false},
      {"xpkf", false},       {"", false},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(IsPeakFileName(name), expected) << name;
}

TEST_F(PeakFileTest, RecordsShiftTheLargestMagnitudeSoNegativeValuesAreNotOneTooHigh) {
  // One loud sample in 200 frames of silence; the record is (|value|) >> 8.
  const std::vector<std::pair<int32_t, int16_t>> cases = {
      {-1, 0},   {-255, 0},  {-256, 1},  {-257, 1},         {-511, 1},       {-512, 2},
      {255, 0},  {257, 1},   {-0x7FFF00, 32767}, {-0x800000, 32767}, {0x7FFFFF, 32767}, {-0x123456, 0x1234},
  };
  for (const auto& [value, record] : cases) {
    std::vector<uint8_t> data(3 * 200, 0);
    for (int i = 0; i < 3; ++i) data[300 + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    const std::string wave = folder.File("one.wav");
    test::WriteBytes(wave, WaveBytes().Format(1, 1, 48000, 24).Data(data).Build());
    PeakFile peaks(wave, run, prompts);
    ASSERT_EQ(peaks.Build(0, 0), 0) << value;
    EXPECT_EQ(StoredRecords(peaks.PeakPath()), std::vector<int16_t>{record}) << value;
    EXPECT_EQ(peaks.LargestPeak(), record) << value;
  }
}

TEST_F(PeakFileTest, ShortFilesAndTheTailAfterTheLastWholeRecordHaveTheirPeaks) {
  struct Case {
    size_t frames;
    size_t loudAt;
    std::vector<int16_t> records;
  };
  const std::vector<Case> cases = {
      {150, 70, {20000}},            // shorter than one record
      {1, 0, {20000}},               // a single frame
      {450, 430, {0, 0, 20000}},     // loud in the tail after two whole records
      {400, 399, {0, 20000}},        // loud in the last frame of the last whole record
  };
  for (const Case& c : cases) {
    std::vector<int16_t> samples(c.frames, 0);
    samples[c.loudAt] = -20000;
    const std::string wave = folder.File("short.wav");
    test::WriteBytes(wave, WaveBytes().Format(1, 1, 8000, 16).Data(test::Samples16(samples)).Build());
    PeakFile peaks(wave, run, prompts);
    ASSERT_EQ(peaks.Build(0, 0), 0) << c.frames;
    EXPECT_EQ(StoredRecords(peaks.PeakPath()), c.records) << c.frames;
    EXPECT_EQ(peaks.LargestPeak(), 20000) << c.frames;
  }
}

TEST_F(PeakFileTest, ARangeAtOrBeyondTheEndOfAGrownFileRebuildsWhatChanged) {
  std::mt19937 random(3);
  const std::string wave = folder.File("take.wav");
  const std::vector<uint8_t> data = RandomBytes(2 * 1203, random);
  // The file grows from 1001 to 1203 frames; the range given is where it grew, or lies past
  // its end (which tells nothing of what changed).
  for (const auto& [from, to] : std::vector<std::pair<uint64_t, uint64_t>>{{2002, 2406}, {3000, 3400}, {9000, 9500}}) {
    test::WriteBytes(wave, WaveBytes().Format(1, 1, 8000, 16).Data({data.begin(), data.begin() + 2 * 1001}).Build());
    PeakFile peaks(wave, run, prompts);
    ASSERT_EQ(peaks.Build(0, 0), 0);
    test::WriteBytes(wave, WaveBytes().Format(1, 1, 8000, 16).Data(data).Build());
    ASSERT_EQ(peaks.Build(from, to), 0) << from;
    int channels = 0;
    EXPECT_EQ(StoredRecords(peaks.PeakPath()), ReferenceRecords(AllValues(wave, channels), 1)) << from;
  }
  EXPECT_TRUE(prompts.Entries().empty());
}

// Whatever else carries the peak file's name is left exactly as it was, and every operation
// that would write it fails with the message.
TEST_F(PeakFileTest, LinksFoldersAndOtherFilesUnderThePeakNameAreRefusedAndLeftAlone) {
  const std::string wave = folder.File("take.wav");
  const std::string peakPath = folder.File("take.pkf");
  const std::string victim = folder.File("victim.txt");
  test::WriteBytes(wave, WaveBytes().Format(1, 1, 8000, 16).Data(test::Samples16(std::vector<int16_t>(1000, 7))).Build());
  const std::vector<uint8_t> otherWave = WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(26100, 1)).Build();
  struct Case {
    const char* what;
    std::function<void()> make;
  };
  const std::vector<Case> cases = {
      {"a link to a text file", [&] { ASSERT_EQ(symlink(victim.c_str(), peakPath.c_str()), 0); }},
      {"a link to a peak file", [&] {
         PeakFile(folder.File("other.wav"), run, prompts).Build(0, 0);
         ASSERT_EQ(symlink(folder.File("other.pkf").c_str(), peakPath.c_str()), 0);
       }},
      {"a dangling link", [&] { ASSERT_EQ(symlink(folder.File("nowhere").c_str(), peakPath.c_str()), 0); }},
      {"a wave file", [&] { test::WriteBytes(peakPath, otherWave); }},
      {"a text file", [&] { test::WriteFileText(peakPath, std::string(30000, 't')); }},
      {"an empty file", [&] { test::WriteBytes(peakPath, {}); }},
      {"a folder", [&] { ASSERT_EQ(mkdir(peakPath.c_str(), 0755), 0); }},
      {"a pipe", [&] { ASSERT_EQ(mkfifo(peakPath.c_str(), 0644), 0); }},
  };
  test::WriteBytes(folder.File("other.wav"), otherWave);
  for (const Case& c : cases) {
    test::WriteFileText(victim, "not a peak file");
    c.make();
    const auto snapshot = [&] {
      struct stat info {};
      lstat(peakPath.c_str(), &info);
      std::string bytes = std::to_string(info.st_mode) + ":" + std::to_string(info.st_size) + ":";
      if (S_ISREG(info.st_mode)) bytes += ReadFileText(peakPath);
      if (S_ISLNK(info.st_mode)) bytes += ReadFileText(folder.File("other.pkf"));
      return bytes + ReadFileText(victim);
    };
    const std::string before = snapshot();
    prompts.Clear();

    PeakFile peaks(wave, run, prompts);
    EXPECT_EQ(peaks.Build(0, 0), -1) << c.what;
    EXPECT_EQ(peaks.AddMarker(40), 1) << c.what;
    EXPECT_TRUE(peaks.SaveFailed()) << c.what;
    EXPECT_FALSE(peaks.RemoveMarker(-1)) << c.what;
    std::vector<int16_t> shown;
    int columns = 2;
    EXPECT_EQ(peaks.ReadDisplayPeaks(shown, columns, 0, 0), 0) << c.what;
    EXPECT_EQ(snapshot(), before) << c.what;
    EXPECT_FALSE(std::ifstream(folder.File("nowhere")).good()) << c.what;
    ASSERT_FALSE(prompts.Entries().empty()) << c.what;
    EXPECT_EQ(prompts.Entries()[0].text, peakPath + " is not a peak file (it is a link, a folder or another file) and was left as it is; no peak data was written.") << c.what;

    if (rmdir(peakPath.c_str()) != 0) {
      ASSERT_EQ(unlink(peakPath.c_str()), 0) << c.what;
    }
  }
}

TEST_F(PeakFileTest, AnUnwritablePeakFileIsAFailureWithTheReason) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only files";
  const std::string wave = folder.File("take.wav");
  test::WriteBytes(wave, WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(4000, 0)).Build());
  PeakFile peaks(wave, run, prompts);
  ASSERT_EQ(peaks.Build(0, 0), 0);
  ASSERT_EQ(chmod(peaks.PeakPath().c_str(), 0444), 0);
  EXPECT_EQ(peaks.Build(0, 0), -1);
  EXPECT_EQ(peaks.AddMarker(8), 1);
  EXPECT_TRUE(peaks.SaveFailed());
  ASSERT_FALSE(prompts.Entries().empty());
  EXPECT_EQ(prompts.Entries().back().text, "The peak file " + peaks.PeakPath() + " could not be written: Permission denied");
  ASSERT_EQ(chmod(peaks.PeakPath().c_str(), 0644), 0);
  EXPECT_TRUE(peaks.SetMarker(0, 12));
  EXPECT_FALSE(peaks.SaveFailed());
  EXPECT_EQ(PeakFile(wave, run, prompts).MarkerPosition(0), 12u);
}

}  // namespace
}  // namespace ztlive
