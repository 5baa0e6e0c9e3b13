// Saving, converting, promoting and discarding a document's destination, read back by sox.
#include "document/destination_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/peak_file.h"
#include "platform/file_ops.h"
#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;

std::string Output(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
  }
  return output;
}

class DestinationFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<int16_t> values(2 * 5000);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(i * 37 - 30000);
    samples = values;
    test::WriteBytes(folder.File("source.wav"), test::WaveBytes().Format(1, 2, 44100, 16).Data(test::Samples16(values)).Build());
    test::WriteBytes(temp.File("zttmp1.wav"), test::WaveBytes().Format(1, 2, 44100, 16).Data(test::Samples16(values)).Build());
    test::WriteFileText(PeakFile::PeakFileName(temp.File("zttmp1.wav")), "peaks");
    document.SetDestinationName(temp.File("zttmp1.wav"), true);
  }

  TestFolder folder;
  TestFolder temp;
  SettingsStore settings{folder.File("settings.ini")};
  ScriptedPrompts prompts;
  RunState run;
  CZantoDoc document{folder.File("source.wav"), settings, prompts};
  std::vector<int16_t> samples;
};

TEST_F(DestinationFilesTest, SavingAtTheSameWidthCopiesWithThePeaksAndForgetsTheTemporary) {
  EXPECT_EQ(SuggestDestinationName(document), folder.File("source1.wav"));
  ASSERT_EQ(SaveDestinationAs(document, folder.File("kept.wav"), 16, run), 1);
  EXPECT_EQ(document.DestinationName(), folder.File("kept.wav"));
  EXPECT_FALSE(document.DestinationIsTemporary());
  EXPECT_FALSE(FileExists(temp.File("zttmp1.wav")));
  EXPECT_FALSE(FileExists(PeakFile::PeakFileName(temp.File("zttmp1.wav"))));
  EXPECT_EQ(test::ReadFileText(PeakFile::PeakFileName(folder.File("kept.wav"))), "peaks");
  EXPECT_EQ(test::ReadBytes(folder.File("kept.wav")), test::ReadBytes(folder.File("source.wav")));
}

TEST_F(DestinationFilesTest, SavingAtAnotherWidthConvertsEverySample) {
  for (const int bits : {24, 20, 8}) {
    SCOPED_TRACE(bits);
    document.SetDestinationName(folder.File("source.wav"), false);
    const std::string path = folder.File("wide" + std::to_string(bits) + ".wav");
    ASSERT_EQ(ConvertBits(folder.File("source.wav"), path, bits, run, prompts), 1);
    EXPECT_EQ(Output("soxi -b " + path), std::to_string(bits) + "\n");
    // sox counts a 20-bit file's samples from 20 bits a sample, not from its 3-byte frames.
    if (bits != 20) {
      EXPECT_EQ(Output("soxi -s " + path), "5000\n");
    }
    const std::vector<uint8_t> bytes = test::ReadBytes(path);
    const size_t width = bits == 8 ? 1 : 3;
    ASSERT_EQ(bytes.size(), 44 + samples.size() * width);
    for (size_t i = 0; i < samples.size(); ++i) {
      const uint8_t* p = &bytes[44 + i * width];
      if (bits == 8) {
        ASSERT_EQ(p[0], static_cast<uint8_t>((samples[i] >> 8) + 128)) << i;
      } else {
        const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                                   static_cast<uint32_t>(p[2]) << 24) >> 8;
        ASSERT_EQ(value, samples[i] * 256) << i;  // 16-bit values fit 20 bits: nothing is lost
      }
    }
  }
  // Through SaveDestinationAs the width decides between copy and conversion.
  ASSERT_EQ(SaveDestinationAs(document, folder.File("out24.wav"), 24, run), 1);
  EXPECT_EQ(Output("soxi -b " + folder.File("out24.wav")), "24\n");
}

TEST_F(DestinationFilesTest, TheSourcesNameIsRefusedAndAnExistingFileIsReplacedOnlyAfterTheQuestion) {
  EXPECT_EQ(SaveDestinationAs(document, folder.File("source.wav"), 16, run), 0);
  EXPECT_EQ(prompts.Entries().back().text,
            "Cannot make the destination file name the same as the source file. Use the \"\"Make Destination the "
            "Source\" command instead.");
  test::WriteFileText(folder.File("taken.wav"), "keep me");
  prompts.Script(PromptAnswer::No);
  EXPECT_EQ(SaveDestinationAs(document, folder.File("taken.wav"), 16, run), 0);
  EXPECT_EQ(prompts.Entries().back().text, "The file " + folder.File("taken.wav") + " already exists, Do you want to overwrite it?");
  EXPECT_EQ(prompts.Entries().back().caption, "File Replace");
  EXPECT_EQ(test::ReadFileText(folder.File("taken.wav")), "keep me");
  EXPECT_TRUE(document.DestinationIsTemporary());
  prompts.Script(PromptAnswer::Yes);
  EXPECT_EQ(SaveDestinationAs(document, folder.File("taken.wav"), 16, run), 1);
  EXPECT_EQ(Output("soxi -s " + folder.File("taken.wav")), "5000\n");
}

TEST_F(DestinationFilesTest, MakingTheDestinationTheSourceMovesATemporaryAndDiscardDeletes) {
  const std::string opened = MakeDestinationTheSource(document, folder.File("promoted.wav"));
  EXPECT_EQ(opened, folder.File("promoted.wav"));
  EXPECT_TRUE(document.DestinationName().empty());
  EXPECT_FALSE(FileExists(temp.File("zttmp1.wav")));
  EXPECT_EQ(test::ReadFileText(PeakFile::PeakFileName(opened)), "peaks");
  EXPECT_EQ(settings.Read(setting::kLastPath), opened);

  document.SetDestinationName(opened, false);
  EXPECT_EQ(MakeDestinationTheSource(document, ""), opened) << "a saved destination opens as it is";
  EXPECT_TRUE(FileExists(opened));

  document.SetDestinationName(opened, false);
  DiscardDestination(document);
  EXPECT_TRUE(FileExists(opened)) << "a destination saved under the user's name is closed, not deleted";
  EXPECT_TRUE(FileExists(PeakFile::PeakFileName(opened)));
  EXPECT_TRUE(document.DestinationName().empty());

  const std::string temporary = temp.File("zttmp2.wav");
  test::WriteFileText(temporary, "audio");
  test::WriteFileText(PeakFile::PeakFileName(temporary), "peaks");
  document.SetDestinationName(temporary, true);
  DiscardDestination(document);
  EXPECT_FALSE(FileExists(temporary));
  EXPECT_FALSE(FileExists(PeakFile::PeakFileName(temporary)));
  EXPECT_TRUE(document.DestinationName().empty());
}

TEST_F(DestinationFilesTest, ATemporarySourceIsSavedByMovingItAndClosingDeletesOnlyWhatIsTemporary) {
  const std::string recovered = temp.File("zttmp7.wav");
  test::WriteFileText(recovered, "recovered audio");
  test::WriteFileText(PeakFile::PeakFileName(recovered), "its peaks");
  CZantoDoc restored(recovered, settings, prompts);
  restored.SetSourceIsTemporary(true);
  EXPECT_EQ(SaveTemporarySource(restored, recovered), 0) << "the file itself is no place to save it";
  EXPECT_TRUE(FileExists(recovered));

  const std::string kept = folder.File("kept.wav");
  EXPECT_EQ(SaveTemporarySource(restored, kept), 1);
  EXPECT_EQ(restored.SourceName(), kept);
  EXPECT_FALSE(restored.SourceIsTemporary());
  EXPECT_EQ(test::ReadFileText(kept), "recovered audio");
  EXPECT_EQ(test::ReadFileText(PeakFile::PeakFileName(kept)), "its peaks");
  EXPECT_FALSE(FileExists(recovered));

  // Closing: a temporary destination goes with its peak file; the saved source stays.
  const std::string filtered = temp.File("zttmp8.wav");
  test::WriteFileText(filtered, "filtered");
  test::WriteFileText(PeakFile::PeakFileName(filtered), "peaks");
  restored.SetDestinationName(filtered, true);
  DeleteTemporaryFiles(restored);
  EXPECT_FALSE(FileExists(filtered));
  EXPECT_FALSE(FileExists(PeakFile::PeakFileName(filtered)));
  EXPECT_TRUE(FileExists(kept));

  // An unsaved temporary source goes too; a named destination stays.
  const std::string other = temp.File("zttmp9.wav");
  test::WriteFileText(other, "left over");
  CZantoDoc discarded(other, settings, prompts);
  discarded.SetSourceIsTemporary(true);
  discarded.SetDestinationName(kept, false);
  DeleteTemporaryFiles(discarded);
  EXPECT_FALSE(FileExists(other));
  EXPECT_TRUE(FileExists(kept));
}

// Saving the destination onto itself by another spelling at another width, or onto the
// source, is refused with the files as they were; replacing a file of the user's writes the
// new one whole and only then puts it in place.
TEST_F(DestinationFilesTest, SavingOntoItselfOrTheSourceIsRefusedAndAReplacedFileIsSwappedWhole) {
  const std::vector<uint8_t> destinationBytes = test::ReadBytes(temp.File("zttmp1.wav"));
  const std::vector<uint8_t> sourceBytes = test::ReadBytes(folder.File("source.wav"));
  ASSERT_EQ(symlink(folder.File("source.wav").c_str(), folder.File("alias.wav").c_str()), 0);
  const struct {
    const char* name;
    std::string path;
    int bits;
  } refused[] = {{"destination, another spelling", temp.Path() + "/./zttmp1.wav", 24},
                 {"source by a link", folder.File("alias.wav"), 16},
                 {"source, another spelling", folder.Path() + "/./source.wav", 24},
                 {"peak-file name", folder.File("saved.pkf"), 24}};
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SaveDestinationAs(document, c.path, c.bits, run), 0);
    EXPECT_EQ(test::ReadBytes(temp.File("zttmp1.wav")), destinationBytes);
    EXPECT_EQ(test::ReadBytes(folder.File("source.wav")), sourceBytes);
    EXPECT_EQ(document.DestinationName(), temp.File("zttmp1.wav"));
  }
  EXPECT_FALSE(FileExists(folder.File("saved.pkf")));
  EXPECT_EQ(ConvertBits(folder.File("source.wav"), folder.File("alias.wav"), 24, run, prompts), 0);
  EXPECT_EQ(test::ReadBytes(folder.File("source.wav")), sourceBytes);

  // A file of the user's is replaced by a complete conversion; declined, it stays.
  test::WriteFileText(folder.File("kept.wav"), "the user's earlier file");
  prompts.Script(PromptAnswer::No);
  EXPECT_EQ(SaveDestinationAs(document, folder.File("kept.wav"), 24, run), 0);
  EXPECT_EQ(test::ReadFileText(folder.File("kept.wav")), "the user's earlier file");
  prompts.Script(PromptAnswer::Yes);
  ASSERT_EQ(SaveDestinationAs(document, folder.File("kept.wav"), 24, run), 1);
  EXPECT_EQ(test::ReadBytes(folder.File("kept.wav")).size(), 44u + samples.size() * 3);
  EXPECT_FALSE(FileExists(folder.Path() + "/.kept.wav.ztpart"));
}

}  // namespace
}  // namespace ztlive
