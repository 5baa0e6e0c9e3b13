// `ztlive-cli analyze`: the report of real files made by sox, checked against sox's own
// statistics, and the hum-only form kept as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "testing/test_folder.h"

namespace ztlive::cli::test {
namespace {

// Every number after "key": in a JSON text, in order.
std::vector<double> JsonNumbers(const std::string& json, const std::string& key) {
  std::vector<double> numbers;
  const std::regex pattern("\"" + key + "\": (-?[0-9.]+)");
  for (auto it = std::sregex_iterator(json.begin(), json.end(), pattern); it != std::sregex_iterator(); ++it)
    numbers.push_back(std::stod((*it)[1]));
  return numbers;
}

// sox's figure in the "name" row of its statistics, per channel.
std::vector<double> SoxStat(const std::string& path, const std::string& name) {
  std::vector<double> values;
  if (FILE* pipe = popen(("sox '" + path + "' -n stats 2>&1").c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
      const std::string text(line);
      if (text.rfind(name, 0) != 0) continue;
      std::istringstream fields(text.substr(name.size()));
      double overall = 0, value = 0;
      fields >> overall;
      while (fields >> value) values.push_back(value);
    }
    pclose(pipe);
  }
  return values;
}

TEST(AnalyzeCli, JsonReportMatchesSoxAndFindsTheTones) {
  ztlive::test::TestFolder home, files;
  const std::string stereo = files.File("two tones.wav");
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 '" + stereo + "' synth 2 sine 1000 sine 2500 gain -6 dcshift 0.05").c_str()), 0);
  const CliResult result = RunCli({"analyze", stereo, "--json"}, home.Path());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::string& json = result.out;
  const auto peaks = JsonNumbers(json, "peak_dbfs"), rms = JsonNumbers(json, "rms_dbfs"), dc = JsonNumbers(json, "dc");
  const auto soxPeaks = SoxStat(stereo, "Pk lev dB"), soxRms = SoxStat(stereo, "RMS lev dB"), soxDc = SoxStat(stereo, "DC offset");
  ASSERT_EQ(peaks.size(), 2u) << json;
  ASSERT_EQ(soxPeaks.size(), 2u);
  ASSERT_EQ(soxDc.size(), 2u);
  for (size_t c = 0; c < 2; ++c) {
    EXPECT_NEAR(peaks[c], soxPeaks[c], 0.05) << c;
    EXPECT_NEAR(rms[c], soxRms[c], 0.05) << c;
    EXPECT_NEAR(dc[c], soxDc[c], 0.001) << c;
  }
  EXPECT_EQ(JsonNumbers(json, "clipped"), (std::vector<double>{0, 0}));
  // Both tones, each at half their level in the mono sum, the louder first (equal here).
  const auto hz = JsonNumbers(json, "hz");
  ASSERT_GE(hz.size(), 2u) << json;
  EXPECT_NEAR(std::min(hz[0], hz[1]), 1000, 3) << json;
  EXPECT_NEAR(std::max(hz[0], hz[1]), 2500, 3) << json;
  EXPECT_NE(json.find("\"thd_percent\": "), std::string::npos);
  EXPECT_NE(json.find("\"hum_hz\": "), std::string::npos);

  // The text form, a stretch too short for hum, and a file that is not one.
  const CliResult text = RunCli({"analyze", stereo, "--from", "0.5", "--to", "1"}, home.Path());
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("Channel 2: peak "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Mains hum: none found"), std::string::npos) << text.out;
  const CliResult shortJson = RunCli({"analyze", stereo, "--from", "0.5", "--to", "1", "--json"}, home.Path());
  EXPECT_NE(shortJson.out.find("\"hum_hz\": null"), std::string::npos) << shortJson.out;
  EXPECT_EQ(RunCli({"analyze", files.File("none.wav")}, home.Path()).exitCode, 1);
}

TEST(AnalyzeCli, HumAloneAndHumInTheFullReport) {
  ztlive::test::TestFolder home, files;
  const std::string hum = files.File("hum.wav");
  ASSERT_EQ(std::system(("sox -n -r 48000 -c 1 -b 24 " + hum +
                         " synth 3 sine 60 sine 180 sine 300 remix - gain -12").c_str()), 0);
  const CliResult alone = RunCli({"analyze", "--hum", hum, "--json"}, home.Path());
  ASSERT_EQ(alone.exitCode, 0) << alone.err;
  const auto aloneHz = JsonNumbers(alone.out, "hum_hz");
  ASSERT_EQ(aloneHz.size(), 1u) << alone.out;
  EXPECT_NEAR(aloneHz[0], 60, 0.05);
  EXPECT_NE(alone.out.find("hum_harmonics"), std::string::npos);
  const CliResult full = RunCli({"analyze", hum, "--json"}, home.Path());
  ASSERT_EQ(full.exitCode, 0) << full.err;
  EXPECT_EQ(JsonNumbers(full.out, "hum_hz"), aloneHz);
  const auto hz = JsonNumbers(full.out, "hz");
  ASSERT_GE(hz.size(), 3u) << full.out;
}

}  // namespace
}  // namespace ztlive::cli::test
