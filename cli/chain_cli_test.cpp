// Filter chains through the real ztlive-cli: a chain writes what its filters write one after
// the other, chain presets round-trip through save, show and process, bad filter lists touch no file,
// and a preview plays the chain's output on the sound card. The preview test records the JACK
// loopback while the program runs as a child process.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "core/device_engine.h"
#include "platform/pcm_float.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "testing/jack_test_server.h"
#include "testing/loopback_signal.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive::cli {
namespace {

using test::CliResult;
using test::RunCli;
using ztlive::test::ReadBytes;
using ztlive::test::ReadFileText;
using ztlive::test::TestFolder;

bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::symlink_status(path)); }

// Two seconds of hiss alone, then two of a tone under the same hiss; stereo.
std::string MakeSource(const TestFolder& files, int bits = 24) {
  const std::string format = "-r 44100 -c 2 -b " + std::to_string(bits) + " ";
  const std::string source = files.File("source" + std::to_string(bits) + ".wav");
  const std::string make = "cd " + files.Path() + " && sox -n " + format + "lead.wav synth 2 whitenoise vol 0.02 && " +
                           "sox -n " + format + "tone.wav synth 2 sine 440 vol 0.3 && " + "sox -n " + format +
                           "hiss.wav synth 2 whitenoise vol 0.02 && sox -m tone.wav hiss.wav " + format +
                           "mix.wav && sox lead.wav mix.wav " + source;
  EXPECT_EQ(std::system(make.c_str()), 0);
  return source;
}

TEST(ChainCli, AChainWritesWhatItsFiltersWriteOneAfterTheOther) {
  TestFolder home;
  TestFolder files;
  // 16 bits: the chain cuts the values between its filters as the files of one-by-one runs do.
  const std::string source = MakeSource(files, 16);
  const struct {
    const char* filterList;
    std::vector<std::string> chainOptions;
    std::vector<std::vector<std::string>> steps;  // the options of each filter's run on its own
  } cases[] = {
      {"impulse:values=2000,7,0,0,1,1+median:values=0,5",
       {},
       {{"--filter", "impulse", "--values", "2000,7,0,0,1,1"}, {"--filter", "median", "--values", "0,5"}}},
      {"low-pass:values=2,5000+high-pass:values=1,200+averaging:values=0,4",
       {"--from", "0.5", "--to", "3.25"},
       {{"--filter", "low-pass", "--values", "2,5000", "--from", "0.5", "--to", "3.25"},
        {"--filter", "high-pass", "--values", "1,200"},
        {"--filter", "averaging", "--values", "0,4"}}},
      // The noise print is sampled from the source, as the window's "Sample Noise" does.
      {"continuous-noise:values=20,100,100,0+notch:values=0,440,20,1",
       {"--noise-from", "0.1", "--noise-to", "1.9"},
       {{"--filter", "continuous-noise", "--values", "20,100,100,0", "--noise-from", "0.1", "--noise-to", "1.9"},
        {"--filter", "notch", "--values", "0,440,20,1"}}},
  };
  int n = 0;
  for (const auto& job : cases) {
    SCOPED_TRACE(job.filterList);
    const std::string chained = files.File("chained" + std::to_string(n) + ".wav");
    std::vector<std::string> args{"process", "--chain", job.filterList};
    args.insert(args.end(), job.chainOptions.begin(), job.chainOptions.end());
    args.insert(args.end(), {source, chained});
    const CliResult chain = RunCli(args, home.Path());
    ASSERT_EQ(chain.exitCode, 0) << chain.err;

    std::string input = source;
    for (const std::vector<std::string>& step : job.steps) {
      const std::string output = files.File("step" + std::to_string(n++) + ".wav");
      std::vector<std::string> stepArgs{"process"};
      stepArgs.insert(stepArgs.end(), step.begin(), step.end());
      stepArgs.insert(stepArgs.end(), {input, output});
      ASSERT_EQ(RunCli(stepArgs, home.Path()).exitCode, 0);
      input = output;
    }
    EXPECT_EQ(ReadBytes(chained), ReadBytes(input));
    EXPECT_NE(ReadBytes(chained), ReadBytes(source)) << "the chain changed the sound";
  }
}

// The values the filter list below leaves out are 0, so `chain show` gives this filter list back.
constexpr const char* kTapeSpec = "impulse:values=2000,7,0,0,1,1+median:values=0,5";

TEST(ChainCli, ChainPresetsRoundTripThroughSaveListShowProcessAndDelete) {
  TestFolder home;
  TestFolder files;
  const std::string source = MakeSource(files);
  const CliResult saved = RunCli({"chain", "save", "Tape", "impulse:values=2000,7+median:values=0,5"}, home.Path());
  ASSERT_EQ(saved.exitCode, 0) << saved.err;
  ASSERT_EQ(RunCli({"chain", "save", "Tape", kTapeSpec}, home.Path()).exitCode, 0) << "overwritten on the default Yes";
  ASSERT_EQ(RunCli({"chain", "save", "Hum", "notch:values=0,50,10"}, home.Path()).exitCode, 0);
  EXPECT_EQ(RunCli({"chain", "list"}, home.Path()).out, "Tape\nHum\n") << "never the filters' hidden keys";
  const std::string presets = ReadFileText(home.File("ZTLiveDemoPresets.ini"));
  EXPECT_NE(presets.find("Tape=15,6,-1,-1,-1,-1,-1,-1,-1,-1,-1\n"), std::string::npos) << presets;
  EXPECT_NE(presets.find("_*xTape2="), std::string::npos) << presets;

  const CliResult shown = RunCli({"chain", "show", "Tape"}, home.Path());
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_EQ(shown.out, std::string(kTapeSpec) + "\n");
  const std::string fromPreset = files.File("preset.wav");
  const std::string fromShown = files.File("shown.wav");
  ASSERT_EQ(RunCli({"process", "--chain-preset", "Tape", source, fromPreset}, home.Path()).exitCode, 0);
  const std::string filterList = shown.out.substr(0, shown.out.size() - 1);
  ASSERT_EQ(RunCli({"process", "--chain", filterList, source, fromShown}, home.Path()).exitCode, 0);
  EXPECT_EQ(ReadBytes(fromPreset), ReadBytes(fromShown));

  // Answered No, an existing preset stays as it was; "Default" is never deleted.
  const CliResult kept = RunCli({"--no", "chain", "save", "Tape", "median"}, home.Path());
  EXPECT_EQ(kept.exitCode, 1);
  EXPECT_NE(kept.err.find("The preset Tape already exists. Do you want to overwrite it?"), std::string::npos);
  EXPECT_EQ(RunCli({"chain", "show", "Tape"}, home.Path()).out, shown.out);
  ASSERT_EQ(RunCli({"chain", "save", "Default", "median"}, home.Path()).exitCode, 0);
  const CliResult undeletable = RunCli({"chain", "delete", "Default"}, home.Path());
  EXPECT_EQ(undeletable.exitCode, 1);
  EXPECT_EQ(undeletable.err, "The Default Settings cannot be deleted.\n");
  EXPECT_EQ(RunCli({"--no", "chain", "delete", "Tape"}, home.Path()).exitCode, 1);

  const CliResult deleted = RunCli({"chain", "delete", "Tape"}, home.Path());
  EXPECT_EQ(deleted.exitCode, 0) << deleted.err;
  EXPECT_EQ(RunCli({"chain", "list"}, home.Path()).out, "Hum\nDefault\n");
  EXPECT_EQ(ReadFileText(home.File("ZTLiveDemoPresets.ini")).find("_*xTape"), std::string::npos)
      << "the filters' hidden settings go with the chain";
  for (const char* action : {"show", "delete"}) {
    const CliResult missing = RunCli({"chain", action, "Tape"}, home.Path());
    EXPECT_EQ(missing.exitCode, 1) << action;
    EXPECT_EQ(missing.err, "The Preset  Tape  was not found\n") << action;
  }

  // A hand-edited member value outside its range never runs.
  ztlive::test::WriteFileText(home.File("ZTLiveDemoPresets.ini"),
                              "[FilterGraphSet]\nBad=6,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1\n\n"
                              "[MedianSetSet]\n_*xBad1=0,99,0,0,0,0,0,0,0,0,0\n");
  const CliResult damaged = RunCli({"process", "--chain-preset", "Bad", source, files.File("bad.wav")}, home.Path());
  EXPECT_EQ(damaged.exitCode, 1);
  EXPECT_NE(damaged.err.find("The preset Bad cannot be used: Value 1 (Samples) is 99."), std::string::npos)
      << damaged.err;
  EXPECT_FALSE(Exists(files.File("bad.wav")));
}

TEST(ChainCli, BadSpecsAreRefusedBeforeAnyFileIsTouched) {
  TestFolder home;
  TestFolder files;
  const std::string source = MakeSource(files);
  const std::string out = files.File("out.wav");
  ztlive::test::WriteFileText(home.File("ZTLiveDemoPresets.ini"), "[MedianSetSet]\nWide=0,50,0,0,0,0,0,0,0,0,0\n");
  const std::string before = ReadFileText(home.File("ZTLiveDemoPresets.ini"));
  const std::string eleven = "median+median+median+median+median+median+median+median+median+median+median";
  const struct {
    std::vector<std::string> args;  // before IN OUT
    int exitCode;
    std::string message;
  } cases[] = {
      {{"--chain", "impulse++median"}, 2, "The chain \"impulse++median\" has an empty member"},
      {{"--chain", "median+"}, 2, "The chain \"median+\" has an empty member"},
      {{"--chain", "median:size=5"}, 2, "\"median:size=5\" is not a chain member."},
      {{"--chain", "median:values="}, 2, "\"median:values=\" is not a chain member."},
      {{"--chain", ":values=0,5"}, 2, "\":values=0,5\" is not a chain member."},
      {{"--chain", "median+warp-drive"}, 2, "Unknown filter \"warp-drive\". Filters: impulse,"},
      {{"--chain", "low-pass+median:values=0,50"}, 2, "Value 1 (Samples) is 50. Please enter an integer between 3"},
      {{"--chain", "median:values=0,five"}, 2, "\"0,five\" is not a list of up to eleven whole numbers"},
      {{"--chain", "median:preset=Wide"}, 1, "The preset Wide cannot be used: Value 1 (Samples) is 50."},
      {{"--chain", "median:preset=Narrow"}, 1, "The Preset  Narrow  was not found"},
      {{"--chain", "median+reverb"}, 1, "The filter \"reverb\" (type 23) is not available yet; nothing was written."},
      {{"--chain", eleven + "+median"}, 2, "A chain holds at most 11 filters."},
      {{"--chain", "punch-and-crunch+low-pass"}, 1, "The Punch & Crunch filter cannont be used as the first filter"},
      {{"--chain-preset", "Missing"}, 1, "The Preset  Missing  was not found"},
      {{"--chain", "median", "--values", "0,5"}, 2, "Wrong arguments. Usage: ztlive-cli process"},
      {{"--chain", "median", "--filter", "median"}, 2, "Wrong arguments. Usage: ztlive-cli process"},
  };
  for (const auto& job : cases) {
    SCOPED_TRACE(job.args[1]);
    std::vector<std::string> args{"process"};
    args.insert(args.end(), job.args.begin(), job.args.end());
    args.insert(args.end(), {source, out});
    const CliResult refused = RunCli(args, home.Path());
    EXPECT_EQ(refused.exitCode, job.exitCode);
    EXPECT_NE(refused.err.find(job.message), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_FALSE(Exists(out));
    if (job.args[0] != "--chain" || job.args.size() > 2) continue;
    // The same filter list is not saved either.
    const CliResult save = RunCli({"chain", "save", "Refused", job.args[1]}, home.Path());
    EXPECT_EQ(save.exitCode, job.exitCode);
    EXPECT_EQ(ReadFileText(home.File("ZTLiveDemoPresets.ini")), before);
  }
  // A name the preset-name dialog could not have given.
  EXPECT_EQ(RunCli({"chain", "save", std::string(65, 'n'), "median"}, home.Path()).exitCode, 2);
  EXPECT_EQ(RunCli({"chain", "save", "_*x", "median"}, home.Path()).exitCode, 2);
  EXPECT_EQ(ReadFileText(home.File("ZTLiveDemoPresets.ini")), before);
}

std::vector<float> WaveFloats(const std::string& path) {
  const std::vector<uint8_t> file = ReadBytes(path);
  std::vector<float> values(file.size() > 44 ? (file.size() - 44) / 2 : 0);
  if (!values.empty()) PcmToFloat(file.data() + 44, values.size(), 2, values.data());
  return values;
}

// The root mean square of the values from `from` on.
double Rms(const std::vector<float>& values, size_t from) {
  double sum = 0;
  for (size_t i = from; i < values.size(); ++i) sum += double(values[i]) * values[i];
  return values.size() > from ? std::sqrt(sum / double(values.size() - from)) : 0;
}

// Where the loudest stretch of `length` values starts (the played part of a recording).
size_t Loudest(const std::vector<float>& values, size_t length) {
  if (values.size() <= length) return 0;
  size_t best = 0;
  double bestSum = -1;
  for (size_t from = 0; from + length <= values.size(); from += 4096) {
    double sum = 0;
    for (size_t i = from; i < from + length; ++i) sum += double(values[i]) * values[i];
    if (sum > bestSum) {
      bestSum = sum;
      best = from;
    }
  }
  return best;
}

// The root mean square of the left channel's second difference over `frames` frames from
// `from`: the hiss above a few kilohertz, next to which a 440 Hz tone hardly counts.
double HissLevel(const std::vector<float>& stereo, size_t from, size_t frames) {
  double sum = 0;
  size_t count = 0;
  for (size_t i = from + 4; i + 1 < stereo.size() && i < from + 2 * frames; i += 2, ++count) {
    const double d = double(stereo[i]) - 2.0 * stereo[i - 2] + stereo[i - 4];
    sum += d * d;
  }
  return count > 0 ? std::sqrt(sum / double(count)) : 0;
}

// Uses a JACK server, PortAudio's threads and the program as a child process.
TEST(ChainCli, APreviewPlaysTheChainsOutputOnTheSoundCard) {
  ztlive::test::JackTestServer server(44100, 512);
  if (!server.Running()) GTEST_SKIP() << "no JACK server: " << server.FailureText();
  TestFolder home;
  TestFolder files;
  const std::string source = MakeSource(files, 16);
  const std::vector<std::string> chain{"--chain", "low-pass:values=2,3000+notch:values=0,440,20,1", "--from", "2",
                                       "--to", "3.5", source};
  std::vector<std::string> toFile{"process"};
  toFile.insert(toFile.end(), chain.begin(), chain.end());
  toFile.push_back(files.File("expected.wav"));
  ASSERT_EQ(RunCli(toFile, home.Path()).exitCode, 0);

  PortAudioWaveSystem devices;
  const int output = ztlive::test::LoopbackDeviceId(devices.OutputDeviceNames());
  const int input = ztlive::test::LoopbackDeviceId(devices.InputDeviceNames());
  ASSERT_GE(output, 0);
  ASSERT_GE(input, 0);
  ASSERT_EQ(RunCli({"settings", "set", "ZANTO", "DevOut", std::to_string(output)}, home.Path()).exitCode, 0);
  // An engine of this process records the loopback; its run state stays in recording (183).
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  run.engineState = 183;
  WaveStream playStream(4096, 4096, run);
  WaveStream recordStream(4096, 4096, run);
  DeviceEngine recorder(devices, queue, prompts, run, playStream, recordStream,
                        DeviceEngine::Settings{unsigned(output), unsigned(input), 7});
  ASSERT_EQ(recorder.OpenInput(files.File("recorded.wav"), MakePcmFormat(2, 44100, 16), kCreateOverwrite), 0);

  std::vector<std::string> preview{"process"};
  preview.insert(preview.end(), chain.begin(), chain.end());
  preview.push_back("--preview");
  test::CliProcess player(preview, home.Path());
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (player.Running() && Clock::now() < deadline) queue.DispatchOne(10);
  const auto tail = Clock::now() + std::chrono::milliseconds(300);
  while (Clock::now() < tail) queue.DispatchOne(10);
  recorder.CloseInput();
  const CliResult played = player.Finish();
  ASSERT_EQ(played.exitCode, 0) << played.err;
  EXPECT_NE(played.out.find("low-pass+notch: 1.500 s of"), std::string::npos) << played.out;

  // A loaded machine may drop or repeat a server period, so the played chain output is found
  // in stretches; what holds whatever the load: the level is the chain's, and the hiss the low
  // pass took out of the source's region is not there.
  const std::vector<float> expected = WaveFloats(files.File("expected.wav"));
  ASSERT_EQ(expected.size(), size_t{2 * 66150});
  const std::vector<float> recorded = WaveFloats(files.File("recorded.wav"));
  EXPECT_GT(ztlive::test::ShareFoundIn(recorded, expected, 2, 1024, 1.01 / 32768), 0.0) << "no stretch of the chain's output was played as it is";
  const double level = Rms(recorded, Loudest(recorded, expected.size()));
  EXPECT_NEAR(level / Rms(expected, 0), 1.0, 0.35);
  const std::vector<float> original = WaveFloats(source);
  EXPECT_LT(HissLevel(recorded, Loudest(recorded, expected.size()), 66150), 0.5 * HissLevel(original, 2 * 88200, 66150));
}

}  // namespace
}  // namespace ztlive::cli
