// The paragraphic equalizer's bands through the real ztlive-cli: --bands runs what the engine
// gives with those bands, a stored preset what the engine gives with the bands it keeps, bad
// band lists are refused with their reason and touch no
// file, and --bands belongs to the paragraphic equalizer alone.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "filters/eq/paragraphic_equalizer.h"
#include "platform/file_ops.h"
#include "testing/engine_run.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"

namespace ztlive::cli {
namespace {

using test::CliResult;
using test::RunCli;
using ztlive::test::TestFolder;

class EqualizerCliTest : public ::testing::Test {
 protected:
  void SetUp() override { ztlive::test::WriteValues24(source, 2, 44100, ztlive::test::MusicLike(2, 1.5, 44100)); }
  TestFolder home;
  ztlive::test::ScopedEnvironment environment{"ZTLIVE_HOME", home.Path()};
  const std::string source = home.File("in.wav");
};

TEST_F(EqualizerCliTest, BandsRunWhatTheEngineGivesWithThemAndSoDoesAStoredPreset) {
  ParagraphicEqProcessor engine;
  ParagraphicBands bands = ParagraphicBands::Initial();
  const double given[3][3] = {{120, 4.5, 0.5}, {1000, -6, 1.5}, {6000, 3, 1}};
  for (int k = 0; k < 3; ++k) {
    bands.freq[k] = given[k][0];
    bands.amp[k] = std::pow(10.0, given[k][1] / 20);
    bands.bw[k] = given[k][2];
  }
  bands.count = 3;
  bands.master = std::pow(10.0, -20 * 0.1 * 0.05);  // -2 dB, as the integer -20 stores it
  engine.SetBands(bands);
  ASSERT_EQ(engine.WritePreset("Three"), 1);

  const CliResult fromPreset =
      RunCli({"process", "--filter", "paragraphic-eq", "--preset", "Three", source, home.File("preset.wav")}, home.Path());
  ASSERT_EQ(fromPreset.exitCode, 0) << fromPreset.err;
  const CliResult fromBands = RunCli({"process", "--filter", "paragraphic-eq", "--values", "-20,0,0,10", "--bands",
                                      "120:4.5:0.5,1000:-6:1.5,6000:3:1", source, home.File("bands.wav")},
                                     home.Path());
  ASSERT_EQ(fromBands.exitCode, 0) << fromBands.err;
  const std::vector<SampleValue> input = ztlive::test::ReadValues24(source);
  const std::vector<SampleValue> written = ztlive::test::ReadValues24(home.File("bands.wav"));
  ParagraphicEqProcessor reference;
  reference.SetBands(bands);
  EXPECT_EQ(written, ztlive::test::RunEngine(reference, 2, 44100, input));
  EXPECT_NE(written, input);
  ParagraphicEqProcessor loaded;  // the preset's bands as the file keeps them
  ASSERT_EQ(loaded.LoadPreset("Three"), 0);
  EXPECT_EQ(loaded.Bands().count, 3);
  EXPECT_EQ(ztlive::test::ReadValues24(home.File("preset.wav")), ztlive::test::RunEngine(loaded, 2, 44100, input));
  // A chain member takes the same bands.
  const CliResult chain = RunCli({"process", "--chain", "paragraphic-eq:bands=120:4.5:0.5,1000:-6:1.5,6000:3:1", source,
                                  home.File("chain.wav")},
                                 home.Path());
  ASSERT_EQ(chain.exitCode, 0) << chain.err;
  ParagraphicBands unity = bands;
  unity.master = 1.0;  // no values given: the starting gain, 0 dB
  ParagraphicEqProcessor chained;
  chained.SetBands(unity);
  EXPECT_EQ(ztlive::test::ReadValues24(home.File("chain.wav")), ztlive::test::RunEngine(chained, 2, 44100, input));
  // Without a preset or bands: the starting bands, flat.
  const CliResult flat = RunCli({"process", "--filter", "paragraphic-eq", source, home.File("flat.wav")}, home.Path());
  ASSERT_EQ(flat.exitCode, 0) << flat.err;
  EXPECT_NE(ztlive::test::ReadValues24(home.File("flat.wav")), written);
}

TEST_F(EqualizerCliTest, BadBandListsAreRefusedWithTheirReasonAndTouchNoFile) {
  const struct {
    std::string filter;
    std::string bands;
    std::string says;
  } kRefused[] = {
      {"paragraphic-eq", "1000:6", "Band 1 of --bands, \"1000:6\", is not FREQUENCY:GAIN:WIDTH"},
      {"paragraphic-eq", "100:1:1,1000:x:1", "Band 2 of --bands, \"1000:x:1\""},
      {"paragraphic-eq", "1000:6:1:2", "is not FREQUENCY:GAIN:WIDTH"},
      {"paragraphic-eq", "1000:26:1", "Band 1 of --bands: the gain (dB) is 26. Please enter a number between -20 and 20."},
      {"paragraphic-eq", "5:0:1", "the frequency (Hz) is 5. Please enter a number between 10 and 22000."},
      {"paragraphic-eq", "1000:0:4", "the width (octaves) is 4. Please enter a number between 0.05 and 3.3."},
      {"paragraphic-eq", "10:0:1,20:0:1,30:0:1,40:0:1,50:0:1,60:0:1,70:0:1,80:0:1,90:0:1,100:0:1,110:0:1", "is not a list of 1 to 10"},
      {"paragraphic-eq", "", "is not a list of 1 to 10"},
      {"graphic-eq", "1000:6:1", "--bands is for the paragraphic equalizer"},
  };
  // In a chain the same checks hold, before any file is made.
  const CliResult chain =
      RunCli({"process", "--chain", "paragraphic-eq:bands=1000:26:1", source, home.File("out.wav")}, home.Path());
  EXPECT_EQ(chain.exitCode, 2);
  EXPECT_NE(chain.err.find("the gain (dB) is 26"), std::string::npos) << chain.err;
  EXPECT_FALSE(FileExists(home.File("out.wav")));
  for (const auto& each : kRefused) {
    SCOPED_TRACE(each.bands);
    const std::string out = home.File("out.wav");
    const CliResult result = RunCli({"process", "--filter", each.filter, "--bands", each.bands, source, out}, home.Path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find(each.says), std::string::npos) << result.err;
    EXPECT_FALSE(FileExists(out));
  }
}

}  // namespace
}  // namespace ztlive::cli
