// Batch jobs: the batch file's bytes against the layout built here byte by byte, damaged and
// hostile files refused without touching the job, a playlist as the file list, the regions of
// every mode, the output names beside the source and in a destination directory, MP3 entries
// and the presets a batch row offers.
#include "live/batch_job.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "filters/filter_registry.h"
#include "filters/framework/preset_store.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;

const std::string kCannotOpen = "ERROR: Cannot open the file. The file may be in use by another program, or is corrupted.";

void Put(std::vector<uint8_t>& bytes, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<uint8_t>& bytes, const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

// The Notch job: preset "Default", the first 3 seconds of two files.
BatchJob NotchJob() {
  BatchJob job;
  job.filterType = 13;
  job.presetName = "Default";
  job.regionMode = 2;
  job.firstSeconds = 3.0;
  job.files = {"/music/a.wav", "/music/side b.wav"};
  return job;
}

// Its batch file, field by field.
std::vector<uint8_t> NotchJobBytes() {
  std::vector<uint8_t> bytes{0x20};
  PutText(bytes, "ZANTO32 BATCH FILE VER 1.00 1999");
  Put(bytes, 13, 4);
  Put(bytes, 2, 4);
  for (const double seconds : {3.0, 3.0, 0.0, 999.0}) Put(bytes, std::bit_cast<uint64_t>(seconds), 8);
  bytes.push_back(7);
  PutText(bytes, "Default");
  Put(bytes, 2, 4);
  bytes.push_back(12);
  PutText(bytes, "/music/a.wav");
  bytes.push_back(17);
  PutText(bytes, "/music/side b.wav");
  return bytes;
}

// A job that differs from NotchJob in every field, so that any change shows.
BatchJob OtherJob() {
  BatchJob job;
  job.filterType = 8;
  job.presetName = "Hiss";
  job.regionMode = 3;
  job.firstSeconds = 1.5;
  job.lastSeconds = 2.5;
  job.rangeFrom = 10.0;
  job.rangeTo = 20.0;
  job.files = {"/x.wav"};
  job.useDestinationDirectory = true;
  job.destinationDirectory = "/out";
  job.keepDocumentsOpen = true;
  return job;
}

TEST(BatchFile, NotchJobIsWrittenAndReadByteForByte) {
  EXPECT_EQ(EncodeBatchFile(NotchJob()), NotchJobBytes());

  TestFolder folder;
  const std::string path = folder.File("notch.fbt");
  ASSERT_EQ(SaveBatchJob(path, NotchJob()), "");
  EXPECT_EQ(test::ReadBytes(path), NotchJobBytes());

  // Loading takes every stored field and keeps the destination and the window's option.
  BatchJob loaded = OtherJob();
  ASSERT_EQ(LoadBatchJob(path, loaded), BatchLoadResult::Loaded);
  BatchJob expected = NotchJob();
  expected.useDestinationDirectory = true;
  expected.destinationDirectory = "/out";
  expected.keepDocumentsOpen = true;
  EXPECT_EQ(loaded, expected);
  ASSERT_GE(BatchFilterRow(loaded.filterType), 0);
  EXPECT_EQ(BatchFilterList()[static_cast<size_t>(BatchFilterRow(loaded.filterType))].name, "Notch Filter");
  EXPECT_EQ(BatchFilterRow(-1), -1);
  EXPECT_EQ(BatchFilterRow(9), -1);  // the noise sampler is in no list
}

TEST(BatchFile, StringLengthsUseTheirEncodingAndRoundTrip) {
  struct Case {
    size_t length;
    std::vector<uint8_t> prefix;
  };
  const Case cases[] = {
      {0, {0x00}},
      {254, {0xFE}},
      {255, {0xFF, 0xFF, 0x00}},
      {0xFFFD, {0xFF, 0xFD, 0xFF}},
      {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
      {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string text(c.length, 'p');
    std::vector<uint8_t> encoded;
    AppendBatchString(encoded, text);
    ASSERT_EQ(encoded.size(), c.prefix.size() + c.length);
    EXPECT_EQ(std::vector<uint8_t>(encoded.begin(), encoded.begin() + static_cast<long>(c.prefix.size())), c.prefix);

    BatchJob job = NotchJob();
    job.presetName = text;
    job.files = {text, "/b.wav", text};
    BatchJob loaded;
    ASSERT_EQ(DecodeBatchFile(EncodeBatchFile(job), loaded), BatchLoadResult::Loaded);
    EXPECT_EQ(loaded, job);
  }
}

TEST(BatchFile, WrongMagicDamagedAndHostileFilesLeaveTheJobUnchanged) {
  const std::vector<uint8_t> good = NotchJobBytes();
  const size_t afterMagic = 33;
  const size_t atCount = afterMagic + 4 + 4 + 32 + 8;  // after the preset name

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    BatchLoadResult result;
  };
  std::vector<Case> cases;
  {
    std::vector<uint8_t> bytes = good;
    bytes[32] = '8';  // "... 1998"
    cases.push_back({"other year", bytes, BatchLoadResult::WrongMagic});
    bytes = good;
    bytes[0] = 0x1F;
    cases.push_back({"other magic length", bytes, BatchLoadResult::WrongMagic});
    cases.push_back({"a wave file", test::WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(64)).Build(),
                     BatchLoadResult::WrongMagic});
    cases.push_back({"short text", {'h', 'i'}, BatchLoadResult::WrongMagic});
    cases.push_back({"empty", {}, BatchLoadResult::CannotOpen});
  }
  // Cut anywhere, the file is damaged.
  for (const size_t cut : {size_t{1}, size_t{20}, afterMagic, afterMagic + 3, afterMagic + 20, atCount - 1, atCount + 2,
                           good.size() - 1})
    cases.push_back({"cut", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut)),
                     BatchLoadResult::CannotOpen});
  // Counts and lengths that claim more than the file holds, or are absurd.
  const auto withCount = [&](uint32_t count) {
    std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(atCount));
    Put(bytes, count, 4);
    bytes.push_back(0);
    return bytes;
  };
  cases.push_back({"count 2^31-1", withCount(0x7FFFFFFF), BatchLoadResult::CannotOpen});
  cases.push_back({"count -1", withCount(0xFFFFFFFF), BatchLoadResult::CannotOpen});
  cases.push_back({"count 2, one path", withCount(2), BatchLoadResult::CannotOpen});
  {
    std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(atCount - 8));
    PutText(bytes, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF");  // a preset name of 4 GB
    PutText(bytes, "Default");
    cases.push_back({"32-bit length", bytes, BatchLoadResult::CannotOpen});
    bytes.resize(atCount - 8);
    bytes.insert(bytes.end(), {0xFF, 0x00, 0x10});  // 4096 bytes claimed
    PutText(bytes, "Default");
    cases.push_back({"16-bit length", bytes, BatchLoadResult::CannotOpen});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BatchJob job = OtherJob();
    EXPECT_EQ(DecodeBatchFile(c.bytes, job), c.result);
    EXPECT_EQ(job, OtherJob());
  }
  EXPECT_EQ(BatchLoadMessage(BatchLoadResult::CannotOpen), kCannotOpen);
  EXPECT_EQ(BatchLoadMessage(BatchLoadResult::WrongMagic), "");
}

TEST(BatchFile, FilesThatCannotBeReadAreRefused) {
  TestFolder folder;
  const std::string huge = folder.File("huge.fbt");
  test::WriteBytes(huge, NotchJobBytes());
  ASSERT_EQ(truncate(huge.c_str(), static_cast<off_t>(kMaxBatchFileBytes + 1)), 0);  // sparse
  const std::string pipe = folder.File("pipe.fbt");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& path : {folder.File("missing.fbt"), folder.Path(), huge, pipe}) {
    SCOPED_TRACE(path);
    BatchJob job = OtherJob();
    EXPECT_EQ(LoadBatchJob(path, job), BatchLoadResult::CannotOpen);
    EXPECT_EQ(job, OtherJob());
  }
}

// A playlist of the given paths: the 192-byte header, then 524-byte records.
std::vector<uint8_t> PlaylistBytes(const std::vector<std::string>& paths) {
  std::vector<uint8_t> bytes;
  PutText(bytes, "ZAnto WaveList Ver 1.00 1997");
  bytes.resize(192, 0);
  for (const std::string& path : paths) {
    const size_t at = bytes.size();
    PutText(bytes, path);
    bytes.resize(at + 524, 0);
  }
  return bytes;
}

TEST(BatchFile, PlaylistFillsOnlyTheFileList) {
  TestFolder folder;
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    BatchLoadResult result;
    std::vector<std::string> files;  // when loaded
  };
  std::vector<uint8_t> partial = PlaylistBytes({"/a.wav", "/b.wav"});
  partial.resize(partial.size() - 100);
  const std::vector<uint8_t> headerOnly = PlaylistBytes({});
  std::vector<uint8_t> wrongHeader = PlaylistBytes({"/a.wav"});
  wrongHeader[0] = 'z';
  const Case cases[] = {
      {"three.wls", PlaylistBytes({"/a.wav", "/b b.wav", "/c.wav"}), BatchLoadResult::Loaded, {"/a.wav", "/b b.wav", "/c.wav"}},
      {"empty.wls", PlaylistBytes({}), BatchLoadResult::Loaded, {}},
      {"partial.wls", partial, BatchLoadResult::Loaded, {"/a.wav"}},
      {"wrong.wls", wrongHeader, BatchLoadResult::CannotOpen, {}},
      {"short.wls", std::vector<uint8_t>(headerOnly.begin(), headerOnly.end() - 1),
       BatchLoadResult::CannotOpen, {}},
      // Only the exact extension "wls" makes a playlist; this one is read as a batch file.
      {"upper.WLS", PlaylistBytes({"/a.wav"}), BatchLoadResult::WrongMagic, {}},
      {"batch.wls.fbt", NotchJobBytes(), BatchLoadResult::Loaded, NotchJob().files},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(folder.File(c.name), c.bytes);
    BatchJob job = OtherJob();
    EXPECT_EQ(LoadBatchJob(folder.File(c.name), job), c.result);
    BatchJob expected = OtherJob();
    if (c.result == BatchLoadResult::Loaded) expected.files = c.files;
    if (std::string(c.name) == "batch.wls.fbt") {
      expected = NotchJob();
      expected.useDestinationDirectory = true;
      expected.destinationDirectory = "/out";
      expected.keepDocumentsOpen = true;
    }
    EXPECT_EQ(job, expected);
  }
}

TEST(BatchFile, SaveIsWholeAndNeverThroughALinkOrOverAnotherFile) {
  TestFolder folder;
  const std::string target = folder.File("target.txt");
  test::WriteFileText(target, "not a batch");
  const std::string link = folder.File("link.fbt");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  const std::string dangling = folder.File("dangling.fbt");
  ASSERT_EQ(symlink(folder.File("nothing").c_str(), dangling.c_str()), 0);

  EXPECT_NE(SaveBatchJob(link, NotchJob()).find("is a link"), std::string::npos);
  EXPECT_NE(SaveBatchJob(dangling, NotchJob()).find("is a link"), std::string::npos);
  EXPECT_NE(SaveBatchJob(target, NotchJob()).find("is not a batch file"), std::string::npos);
  EXPECT_EQ(test::ReadFileText(target), "not a batch");
  EXPECT_FALSE(std::filesystem::exists(folder.File("nothing")));
  EXPECT_NE(SaveBatchJob(folder.File("no folder/job.fbt"), NotchJob()), "");

  // A batch file and an empty file are replaced; nothing else is left beside them.
  const std::string path = folder.File("job.fbt");
  ASSERT_EQ(SaveBatchJob(path, OtherJob()), "");
  ASSERT_EQ(SaveBatchJob(path, NotchJob()), "");
  EXPECT_EQ(test::ReadBytes(path), NotchJobBytes());
  test::WriteFileText(folder.File("empty.fbt"), "");
  ASSERT_EQ(SaveBatchJob(folder.File("empty.fbt"), NotchJob()), "");
  EXPECT_EQ(test::ReadBytes(folder.File("empty.fbt")), NotchJobBytes());
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) ++entries;
  EXPECT_EQ(entries, 5u);  // target, the two links, job, empty: no temporary, no lock file
}

TEST(BatchFields, TimesAreAcceptedFromZeroTo32000) {
  const struct {
    double seconds;
    bool valid;
  } cases[] = {{0.0, true}, {32000.0, true}, {3.5, true}, {-0.001, false}, {32000.001, false},
               {std::nan(""), false}, {std::numeric_limits<double>::infinity(), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(IsBatchSecondsValid(c.seconds), c.valid);
    for (int field = 0; field < 4; ++field) {
      BatchJob job;
      double* fields[] = {&job.firstSeconds, &job.lastSeconds, &job.rangeFrom, &job.rangeTo};
      *fields[field] = c.seconds;
      EXPECT_EQ(FirstInvalidBatchTimeField(job), c.valid ? -1 : field);
    }
  }
  EXPECT_EQ(BatchSecondsRangeMessage(), "Please enter a number between 0 and 32000.");
}

TEST(BatchRegion, EveryModeInBytesOfWholeFrames) {
  // A 5-second 16-bit stereo file at 44100 Hz: 176400 bytes a second, 4 a frame.
  const uint64_t length = 882000;
  struct Case {
    const char* what;
    int32_t mode;
    double seconds;  // the mode's field (range: from)
    double to;       // range only
    BatchByteRegion region;
  };
  const Case cases[] = {
      {"entire", 0, 0, 0, {0, length}},
      {"unknown mode acts as entire", 7, 1, 2, {0, length}},
      {"last 3 s", 1, 3, 0, {length - 529200, length}},
      {"last 5 s: all", 1, 5, 0, {0, length}},
      {"last 10 s: empty at the end", 1, 10, 0, {length, length}},
      {"last 0 s", 1, 0, 0, {length, length}},
      {"first 3 s", 2, 3, 0, {0, 529200}},
      {"first 3 ms: 529 bytes, 528 in frames", 2, 0.003, 0, {0, 528}},
      {"first 1.9 ms: truncated to 1 ms", 2, 0.0019, 0, {0, 176}},
      {"first 10 s: clamped", 2, 10, 0, {0, length}},
      {"first 1e300 s: clamped", 2, 1e300, 0, {0, length}},
      {"first -1 s: empty", 2, -1, 0, {0, 0}},
      {"range 1 to 2 s", 3, 1, 2, {176400, 352800}},
      {"range 4 to 999 s", 3, 4, 999, {705600, length}},
      {"range reversed: empty at its start", 3, 2, 1, {352800, 352800}},
      {"range beyond the length", 3, 6, 7, {length, length}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BatchJob job;
    job.regionMode = c.mode;
    job.firstSeconds = job.lastSeconds = job.rangeFrom = c.seconds;
    job.rangeTo = c.to;
    EXPECT_EQ(BatchRegion(job, length, 176400, 4), c.region);
  }
  // A 24-bit mono file: frames of 3 bytes; 1 ms is 132.3 bytes, 132 in frames.
  BatchJob job;
  job.regionMode = 2;
  job.firstSeconds = 0.001;
  EXPECT_EQ(BatchRegion(job, 1000, 132300, 3), (BatchByteRegion{0, 132}));
  job.firstSeconds = 0.0021;  // 2 ms, 264.6 bytes -> 264
  EXPECT_EQ(BatchRegion(job, 1000, 132300, 3), (BatchByteRegion{0, 264}));
  job.regionMode = 1;
  job.lastSeconds = 0.001;  // 1000 - 132 = 868, 867 in frames
  EXPECT_EQ(BatchRegion(job, 1000, 132300, 3), (BatchByteRegion{867, 999}));
}

void Touch(const std::string& path) { test::WriteFileText(path, "x"); }

TEST(BatchOutputName, NumberedNamesBesideTheSource) {
  TestFolder folder;
  const auto f = [&](const std::string& name) { return folder.File(name); };
  for (const char* name : {"take3.wav", "song.wav", "mix.wav", "mix1.wav", "mix2.wav", "noext", "t999.wav", "big1000.wav"})
    Touch(f(name));
  ASSERT_EQ(symlink(f("gone").c_str(), f("mix3.wav").c_str()), 0);  // a dangling link is taken too
  const std::string longName(260, 'n');
  Touch(f(longName.substr(0, 250) + ".wav"));

  BatchJob job;
  const struct {
    std::string source;
    std::string output;
  } cases[] = {
      {f("take3.wav"), f("take4.wav")},
      {f("song.wav"), f("song1.wav")},
      {f("mix.wav"), f("mix4.wav")},
      {f("mix2.wav"), f("mix4.wav")},
      {f("noext"), f("noext1")},
      {f("t999.wav"), ""},  // 999 is the last number
      {f("big1000.wav"), ""},
      {f("new7.wav"), f("new8.wav")},  // never the source's own name, even when it is not there
      {f(longName.substr(0, 250) + ".wav"), f(longName.substr(0, 249) + "1.wav")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(BatchOutputName(job, c.source), c.output);
  }
  EXPECT_EQ(BatchOutputName(job, f("take3.wav"), {f("take4.wav"), f("./take5.wav")}), f("take6.wav"));

  // All of 1 ... 999 taken: no name, and the message says so.
  TestFolder full;
  for (int i = 1; i <= 999; ++i) Touch(full.File("s" + std::to_string(i) + ".wav"));
  Touch(full.File("s.wav"));
  EXPECT_EQ(BatchOutputName(job, full.File("s.wav")), "");
  EXPECT_NE(NoFreeOutputNameMessage(full.File("s.wav")).find(full.File("s.wav")), std::string::npos);
}

TEST(BatchOutputName, DestinationDirectoryAndOneOutputPerName) {
  TestFolder folder;
  const auto f = [&](const std::string& name) { return folder.File(name); };
  for (const char* dir : {"a", "b", "out"}) ASSERT_EQ(mkdir(f(dir).c_str(), 0700), 0);
  ASSERT_EQ(symlink(f("a").c_str(), f("alink").c_str()), 0);
  for (const char* name : {"a/song.wav", "b/song.wav", "a/take3.wav", "out/old.wav", "a/old.wav"}) Touch(f(name));

  struct Case {
    const char* what;
    bool useDirectory;
    std::string directory;
    std::vector<std::string> files;
    std::vector<std::string> outputs;
  };
  const Case cases[] = {
      {"trailing slash dropped", true, f("out/"), {f("a/song.wav")}, {f("out/song.wav")}},
      {"no trailing slash", true, f("out"), {f("a/take3.wav")}, {f("out/take3.wav")}},
      {"one file name from two folders", true, f("out"), {f("a/song.wav"), f("b/song.wav")},
       {f("out/song.wav"), f("out/song1.wav")}},
      {"an earlier run's result keeps its name", true, f("out"), {f("a/old.wav")}, {f("out/old.wav")}},
      {"the source's own folder: never the source", true, f("a"), {f("a/song.wav")}, {f("a/song1.wav")}},
      {"the source's folder by another spelling", true, f("b/../a/"), {f("a/take3.wav")}, {f("b/../a/take4.wav")}},
      {"one source twice, numbered", false, "", {f("a/take3.wav"), f("a/./take3.wav")},
       {f("a/take4.wav"), f("a/./take5.wav")}},
      {"one source through a folder link", false, "", {f("a/take3.wav"), f("alink/take3.wav")},
       {f("a/take4.wav"), f("alink/take5.wav")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BatchJob job;
    job.useDestinationDirectory = c.useDirectory;
    job.destinationDirectory = c.directory;
    job.files = c.files;
    EXPECT_EQ(BatchOutputNames(job), c.outputs);
    EXPECT_EQ(BatchOutputName(job, c.files.front()), c.outputs.front());
  }
}

TEST(BatchFiles, Mp3EntriesAreRecognisedAndRefused) {
  TestFolder folder;
  test::WriteBytes(folder.File("tagged.wav"), {'I', 'D', '3', 4, 0});
  test::WriteBytes(folder.File("frame.dat"), {0xFF, 0xFB, 0x90, 0x00});
  test::WriteBytes(folder.File("wave.wav"), test::WaveBytes().Format(1, 1, 8000, 16).Data(std::vector<uint8_t>(8)).Build());
  const struct {
    std::string path;
    bool mp3;
  } cases[] = {
      {"/nowhere/song.mp3", true}, {"/nowhere/SONG.Mp3", true}, {"/nowhere/song.mp3.wav", false},
      {folder.File("tagged.wav"), true}, {folder.File("frame.dat"), true}, {folder.File("wave.wav"), false},
      {folder.File("missing"), false},   {folder.Path(), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsMp3(c.path), c.mp3);
  }
  EXPECT_EQ(Mp3RefusedMessage("/m/a.mp3"), "/m/a.mp3 is an MP3 file: MP3 files cannot be processed yet. The batch goes on without it.");
}

TEST(BatchPresets, EachRowOffersItsSectionsVisiblePresets) {
  TestFolder folder;
  test::ScopedEnvironment home("ZTLIVE_HOME", folder.Path());
  PresetValues values;
  values[0] = 5;
  for (const char* name : {"Default", "_*member", "Vinyl crackle", "vinyl 2"})
    ASSERT_EQ(WritePresetValuesTo("NotchSetSet", name, values, PresetTextForm::Plain), 1);
  ASSERT_EQ(WritePresetValuesTo("FilterGraphSet", "Chain A", values, PresetTextForm::Plain), 1);

  const struct {
    FilterTypeId type;
    std::string section;
    std::vector<std::string> names;
  } cases[] = {
      {13, "NotchSetSet", {"Default", "Vinyl crackle", "vinyl 2"}},
      {kMultiFilter, "FilterGraphSet", {"Chain A"}},
      {kNormalizeFilter, "", {}},
      {23, "", {}},  // no engine yet
      {kNoBatchFilter, "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(BatchPresetSection(c.type), c.section);
    EXPECT_EQ(BatchPresetNames(c.type), c.names);
  }

  const std::vector<std::string> names = BatchPresetNames(13);
  const struct {
    const char* wanted;
    int index;
  } finds[] = {{"default", 0}, {"VINYL", 1}, {"vinyl 2", 2}, {"", 0}, {"Vinyl crackle and more", -1}, {"x", -1}};
  for (const auto& find : finds) {
    SCOPED_TRACE(find.wanted);
    EXPECT_EQ(FindBatchPreset(names, find.wanted), find.index);
  }
}

}  // namespace
}  // namespace ztlive
