// Recording and live runs through the real ztlive-cli: the input format from the options or the
// stored choices, refusals before any device or file is touched, and, on a private JACK server,
// recordings of a signal played into the program's input, Ctrl+C and SIGTERM during a recording, a
// live low-pass filter whose played and logged output is compared with the same filter run over
// a file, and logs appended to or refused. The JACK tests run the program as a child process
// while this process plays and records through PortAudio's threads.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "cli/input_options.h"
#include "core/device_engine.h"
#include "platform/console_prompts.h"
#include "platform/pcm_float.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "testing/jack_test_server.h"
#include "testing/loopback_signal.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive::cli {
namespace {

using test::CliProcess;
using test::CliResult;
using test::RunCli;
using ztlive::test::ReadBytes;
using ztlive::test::TestFolder;
using Clock = std::chrono::steady_clock;

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(InputOptions, TheFormatComesFromTheOptionsOrTheStoredChoicesWithWholeFrames) {
  TestFolder folder;
  const struct {
    std::vector<std::pair<std::string, int>> stored;  // ZANTO keys
    std::vector<std::string> args;
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    uint16_t blockAlign;
  } cases[] = {
      {{}, {}, 2, 44100, 16, 4},
      {{{"RecordRate", 0}, {"RecordStereo", 1}, {"RecordBits", 8}}, {}, 1, 48000, 8, 1},
      {{{"RecordRate", 3}, {"RecordBits", 20}}, {}, 2, 11025, 20, 6},
      {{{"RecordRate", 4}, {"CustomRate", 32000}, {"RecordBits", 12}}, {}, 2, 32000, 16, 4},
      {{{"RecordRate", 4}, {"CustomRate", 500}}, {}, 2, 8000, 16, 4},
      {{}, {"--bits", "24", "--mono"}, 1, 44100, 24, 3},
      {{}, {"--bits", "20", "--mono", "--rate", "96000"}, 1, 96000, 20, 3},
      {{{"RecordRate", 2}}, {"--bits", "8"}, 2, 22050, 8, 2},
  };
  int n = 0;
  for (const auto& job : cases) {
    SCOPED_TRACE(n);
    SettingsStore settings(folder.File("settings" + std::to_string(n++) + ".ini"));
    for (const auto& [key, value] : job.stored) ASSERT_EQ(settings.WriteInt("ZANTO", key, value), 0);
    ConsolePrompts prompts(ConsolePrompts::Policy::Default);
    CommandContext context{prompts, stdout, stderr};
    InputOptions options;
    ASSERT_TRUE(ReadInputOptions(ParseArguments(job.args, {{"rate", true}, {"bits", true}, {"mono", false}}, "t"),
                                 settings, options, context));
    EXPECT_EQ(options.format.channels, job.channels);
    EXPECT_EQ(options.format.sampleRate, job.rate);
    EXPECT_EQ(options.format.bitsPerSample, job.bits);
    EXPECT_EQ(options.format.blockAlign, job.blockAlign);
    EXPECT_EQ(options.format.avgBytesPerSecond, job.rate * job.blockAlign);
    EXPECT_FALSE(options.seconds.has_value());
  }
}

TEST(InputOptions, LevelsArePeaksPerChannelInDecibelsOfFullScale) {
  const struct {
    std::vector<SampleValue> values;
    int channels;
    SampleValue left;
    SampleValue right;
    const char* leftText;
  } cases[] = {
      {{kSampleMax, -5, 3, 2}, 2, kSampleMax, 5, "  0.0 dB"},
      {{1, -kSampleMax / 2 - 1, 3, 2}, 1, kSampleMax / 2 + 1, kSampleMax / 2 + 1, " -6.0 dB"},
      {{0, 0, 0, 0}, 2, 0, 0, " -inf dB"},
      {{1, 0}, 2, 1, 0, "-99.9 dB"},
      {{INT32_MIN, 0}, 2, INT32_MAX, 0, " 48.2 dB"},
  };
  for (const auto& job : cases) {
    SCOPED_TRACE(job.leftText);
    SampleValue left = -1;
    SampleValue right = -1;
    MeasurePeaks(job.values.data(), job.values.data() + job.values.size(), job.channels, left, right);
    EXPECT_EQ(left, job.left);
    EXPECT_EQ(right, job.right);
    EXPECT_EQ(PeakText(left), job.leftText);
  }
}

TEST(LiveCli, WrongUsageExitsWithTwoBeforeAnyDeviceOrFileIsTouched) {
  TestFolder home;
  TestFolder files;
  const std::string out = files.File("out.wav");
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"record"}, "Wrong arguments. Usage: ztlive-cli record OUT.wav"},
      {{"record", out, files.File("two.wav")}, "Wrong arguments. Usage: ztlive-cli record"},
      {{"record", out, "--bits", "12"}, "The width must be 8, 16, 20 or 24 bits, not \"12\"."},
      {{"record", out, "--rate", "44.1k"}, "from 8000 to 97000, not \"44.1k\"."},
      {{"record", out, "--rate", "200000"}, "from 8000 to 97000, not \"200000\"."},
      {{"record", out, "--seconds", "soon"}, "\"soon\" is not a time in seconds."},
      {{"record", out, "--seconds", "0"}, "above 0, not \"0\"."},
      {{"record", out, "--seconds", "-3"}, "above 0, not \"-3\"."},
      {{"record", out, "--stereo"}, "Unknown option \"--stereo\" for \"record\"."},
      {{"live"}, "Wrong arguments. Usage: ztlive-cli live"},
      {{"live", "--filter", "low-pass", "--chain", "median"}, "Wrong arguments. Usage: ztlive-cli live"},
      {{"live", "--chain", "median", "--values", "0,5"}, "Wrong arguments. Usage: ztlive-cli live"},
      {{"live", "--filter", "median", "--preset", "A", "--values", "0,5"}, "Wrong arguments. Usage: ztlive-cli live"},
      {{"live", "--filter", "median", out}, "Wrong arguments. Usage: ztlive-cli live"},
      {{"live", "--filter", "warp-drive"}, "Unknown filter \"warp-drive\"."},
      {{"live", "--filter", "median", "--values", "0,50"}, "Value 1 (Samples) is 50."},
      {{"live", "--chain", "median++low-pass"}, "has an empty member"},
      {{"live", "--filter", "median", "--seconds", "x", "--log", out}, "\"x\" is not a time in seconds."},
  };
  for (const auto& job : cases) {
    SCOPED_TRACE(job.args.size() > 1 ? job.args[0] + " " + job.args[1] : job.args[0]);
    const CliResult result = RunCli(job.args, home.Path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find(job.message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_TRUE(FolderEntries(files.Path()).empty());
}

TEST(LiveCli, ARecordingNeverGoesThroughALinkIntoAFolderOrOverAFileItMayNotReplace) {
  TestFolder home;
  TestFolder files;
  const std::string target = files.File("target.wav");
  const std::string link = files.File("link.wav");
  const std::string kept = files.File("kept.wav");
  ztlive::test::WriteFileText(target, "not ours to touch");
  ztlive::test::WriteFileText(kept, "an earlier take");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(mkdir(files.File("folder.wav").c_str(), 0755), 0);
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"record", link}, "is a link: a recording is never written through a link or over one."},
      {{"record", files.File("folder.wav")}, "folder"},
      {{"--no", "record", kept}, "Nothing was recorded into " + kept + ": the question was answered No."},
      {{"record", files.File("missing/out.wav")}, files.File("missing")},
  };
  const std::vector<std::string> before = FolderEntries(files.Path());
  for (const auto& job : cases) {
    SCOPED_TRACE(job.args.back());
    const CliResult result = RunCli(job.args, home.Path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(job.message), std::string::npos) << result.err;
  }
  EXPECT_EQ(FolderEntries(files.Path()), before) << "no temporary or lock file is left";
  EXPECT_EQ(ztlive::test::ReadFileText(target), "not ours to touch");
  EXPECT_EQ(ztlive::test::ReadFileText(kept), "an earlier take");
  EXPECT_EQ(std::filesystem::read_symlink(link), target);
}

// A wave file's samples as floats (whatever its header's length).
std::vector<float> WaveFloats(const std::string& path) {
  RunState run;
  WaveStream stream(64, 0, run);
  if (stream.Open(path, kOpenRead) != kStreamOk) return {};
  std::vector<uint8_t> bytes(stream.DataBytes());
  if (stream.ReadRaw(bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) return {};
  const int width = stream.BytesPerSample();
  std::vector<float> values(bytes.size() / width);
  PcmToFloat(bytes.data(), values.size(), width, values.data());
  return values;
}

// The frames sox finds in a file, or -1.
long SoxFrames(const std::string& path) {
  const std::string text = ztlive::test::ProgramOutput({"sox", "--i", "-s", path});
  return text.empty() ? -1 : std::stol(text);
}

// The ports connected to `port` (jack_lsp -c lists each port with its connections indented).
std::vector<std::string> ConnectionsOf(const std::string& server, const std::string& port) {
  std::istringstream listing(ztlive::test::ProgramOutput({"jack_lsp", "-c", "-s", server}));
  std::vector<std::string> connected;
  bool inside = false;
  for (std::string line; std::getline(listing, line);) {
    if (line.empty()) continue;
    if (line[0] != ' ') {
      inside = line == port;
    } else if (inside) {
      connected.push_back(line.substr(line.find_first_not_of(' ')));
    }
  }
  return connected;
}

// The program's ports among the ports connected to `port`: this process's client, the first
// to open, is "ZT-Live", so the program's is another.
std::vector<std::string> ProgramPorts(const std::string& server, const std::string& port) {
  std::vector<std::string> ports;
  for (const std::string& connected : ConnectionsOf(server, port))
    if (connected.rfind("ZT-Live:", 0) != 0) ports.push_back(connected);
  return ports;
}

// This process's ports among the ports connected to `port`.
std::vector<std::string> OwnPorts(const std::string& server, const std::string& port) {
  std::vector<std::string> ports;
  for (const std::string& connected : ConnectionsOf(server, port))
    if (connected.rfind("ZT-Live:", 0) == 0) ports.push_back(connected);
  return ports;
}

// The JACK server with the program playing on and recording from the silent "system" device.
// Signals go from client to client by direct connections, which the server runs in the order
// of the data; the loopback device, between processes, may repeat or skip a period.
class LiveCliJack : public ::testing::Test {
 protected:
  static constexpr int kSystemDevice = 0;

  void SetUp() override {
    if (!server.Running()) GTEST_SKIP() << "no JACK server: " << server.FailureText();
    devices = std::make_unique<PortAudioWaveSystem>();
    const std::vector<std::string> outputs = devices->OutputDeviceNames();
    ASSERT_TRUE(!outputs.empty() && outputs[0].rfind("system ", 0) == 0) << ztlive::test::JoinedNames(outputs);
    const std::vector<std::string> inputs = devices->InputDeviceNames();
    ASSERT_TRUE(!inputs.empty() && inputs[0].rfind("system ", 0) == 0) << ztlive::test::JoinedNames(inputs);
    for (const char* key : {"DevIn", "DevOut"})
      ASSERT_EQ(RunCli({"settings", "set", "ZANTO", key, std::to_string(kSystemDevice)}, home.Path()).exitCode, 0);
    player = std::make_unique<DeviceEngine>(*devices, queue, prompts, playerRun, playStream, unusedStream,
                                            DeviceEngine::Settings{kSystemDevice, kSystemDevice, 7});
  }

  void TearDown() override {
    if (player != nullptr) player->CloseOutput();
  }

  // Dispatches until done() or the time is up; false when it was.
  bool DispatchUntil(const std::function<bool()>& done, int seconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
      if (Clock::now() > deadline) return false;
      queue.DispatchOne(10);
    }
    return true;
  }

  // Waits until the program has as many input ports as channels (it records from then on).
  bool ProgramListens(CliProcess& program, int channels, std::vector<std::string> inputs[2]) {
    return DispatchUntil(
               [&] {
                 if (!program.Running()) return true;
                 for (int c = 0; c < channels; ++c)
                   inputs[c] = ProgramPorts(server.Name(), "system:capture_" + std::to_string(c + 1));
                 return inputs[0].size() == 1 && (channels == 1 || inputs[1].size() == 1);
               },
               20) &&
           program.Running();
  }

  // Plays path on this process's output and joins it to the program's inputs: a second of
  // silence in front of the played signal covers the time the joining takes.
  bool PlayInto(const std::string& path, int channels, const std::vector<std::string> inputs[2]) {
    if (player->PlayFileRegion(path, 0, 0) != 0) return false;
    for (int c = 0; c < channels; ++c) {
      const std::vector<std::string> own = OwnPorts(server.Name(), "system:playback_" + std::to_string(c + 1));
      if (own.size() != 1 || ztlive::test::RunProgram({"jack_connect", "-s", server.Name(), own[0], inputs[c][0]}) != 0)
        return false;
    }
    return true;
  }

  // A signal of `seconds` of white noise after a second of silence, and the noise alone.
  void MakeSignal(const std::string& path, const std::string& noise, int channels, int bits, double seconds) {
    const std::string format = "-r 44100 -c " + std::to_string(channels) + " -b " + std::to_string(bits) + " ";
    ASSERT_EQ(std::system(("sox -n " + format + noise + " synth " + std::to_string(seconds) +
                           " whitenoise vol 0.3 && sox " + noise + " " + path + " pad 1 0")
                              .c_str()),
              0);
  }

  ztlive::test::JackTestServer server{44100, 512};
  TestFolder home;
  TestFolder files;
  TestFolder signals;
  std::unique_ptr<PortAudioWaveSystem> devices;
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState playerRun;
  WaveStream playStream{4096, 4096, playerRun};
  WaveStream unusedStream{4096, 4096, playerRun};
  std::unique_ptr<DeviceEngine> player;
};

TEST_F(LiveCliJack, ARecordingHoldsThePlayedSignalAndIsExactlyAsLongAsAsked) {
  const struct {
    int channels;
    int bits;
    std::vector<std::string> options;
    double tolerance;  // one step of the file's width: the way through the server's floats
  } cases[] = {
      {2, 16, {}, 1.01 / 32768},
      {1, 24, {"--bits", "24", "--mono"}, 1.01 / 8388608},
  };
  for (const auto& job : cases) {
    SCOPED_TRACE(std::to_string(job.bits) + " bits, " + std::to_string(job.channels) + " channel(s)");
    const std::string played = signals.File("played" + std::to_string(job.bits) + ".wav");
    const std::string noise = signals.File("noise" + std::to_string(job.bits) + ".wav");
    MakeSignal(played, noise, job.channels, job.bits, 2);
    const std::string out = files.File("take" + std::to_string(job.bits) + ".wav");
    std::vector<std::string> args{"record", out, "--seconds", "5"};
    args.insert(args.end(), job.options.begin(), job.options.end());
    CliProcess recorder(args, home.Path());
    std::vector<std::string> inputs[2];
    ASSERT_TRUE(ProgramListens(recorder, job.channels, inputs));
    ASSERT_TRUE(PlayInto(played, job.channels, inputs));
    ASSERT_TRUE(DispatchUntil([&] { return !recorder.Running() && !player->OutputOpen(); }, 30));
    const CliResult result = recorder.Finish();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Recorded 5.000 s into " + out), std::string::npos) << result.out;

    EXPECT_EQ(SoxFrames(out), 5 * 44100) << "sox reads the whole recording";
    const std::vector<float> signal = WaveFloats(noise);
    const std::vector<float> recording = WaveFloats(out);
    ASSERT_EQ(recording.size(), size_t(5 * 44100 * job.channels));
    const long lag = ztlive::test::FindLag(recording, signal, 0, 2048, job.channels);
    ASSERT_GE(lag, 0) << "the played signal is not in the recording";
    // Exact (to the rounding of the server's floats) after the delay; a period dropped under
    // a heavy load is allowed for.
    EXPECT_GE(ztlive::test::ShareFoundIn(recording, signal, job.channels, 1024, job.tolerance), 0.95);
    EXPECT_LE(ztlive::test::WorstDifference(
                  std::vector<float>(recording.begin(), recording.begin() + lag + long(signal.size()) / 2),
                  std::vector<float>(signal.begin(), signal.begin() + long(signal.size()) / 2), lag),
              job.tolerance)
        << "the first second is there as it was played";
  }
  EXPECT_EQ(FolderEntries(files.Path()), (std::vector<std::string>{"take16.wav", "take24.wav"}));
}

TEST_F(LiveCliJack, CtrlCOrSigtermEndsARecordingAndKeepsAValidFile) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const std::string out = files.File("take" + std::to_string(signal) + ".wav");
    CliProcess recorder({"record", out}, home.Path());
    std::vector<std::string> inputs[2];
    ASSERT_TRUE(ProgramListens(recorder, 2, inputs));
    DispatchUntil([] { return false; }, 1);
    ASSERT_TRUE(recorder.Send(signal));
    const CliResult result = recorder.Finish();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Recorded "), std::string::npos) << result.out;
    const long frames = SoxFrames(out);
    EXPECT_GT(frames, 44100 / 2) << "about a second was recorded";
    EXPECT_EQ(ReadBytes(out).size(), 44u + 4u * static_cast<size_t>(std::max(frames, 0L)))
        << "the header's sizes cover the data exactly";
  }
  EXPECT_EQ(FolderEntries(files.Path()), (std::vector<std::string>{"take15.wav", "take2.wav"}))
      << "no temporary or lock file is left";
}

TEST_F(LiveCliJack, ALiveLowPassPlaysAndLogsExactlyWhatTheFilterMakesOfTheInput) {
  // This process plays the source into the program's input, and records the program's output
  // by joining it to its own input from the silent "system" device.
  RunState listenerRun;
  listenerRun.engineState = 183;
  WaveStream listenerPlay(4096, 4096, listenerRun);
  WaveStream listenerRecord(4096, 4096, listenerRun);
  DeviceEngine listener(*devices, queue, prompts, listenerRun, listenerPlay, listenerRecord,
                        DeviceEngine::Settings{kSystemDevice, kSystemDevice, 7});
  ASSERT_EQ(listener.OpenInput(files.File("heard.wav"), MakePcmFormat(2, 44100, 16), kCreateOverwrite), 0);

  const std::string played = signals.File("played.wav");
  const std::string source = signals.File("source.wav");
  MakeSignal(played, source, 2, 16, 4);
  const std::string expected = signals.File("expected.wav");
  ASSERT_EQ(RunCli({"process", "--filter", "low-pass", "--values", "2,3000", source, expected}, home.Path()).exitCode, 0);

  const std::string log = files.File("log.wav");
  CliProcess live({"live", "--filter", "low-pass", "--values", "2,3000", "--log", log, "--seconds", "8"}, home.Path());
  std::vector<std::string> inputs[2];
  ASSERT_TRUE(ProgramListens(live, 2, inputs));
  std::vector<std::string> outputs[2];
  ASSERT_TRUE(DispatchUntil(
      [&] {
        for (int c = 0; c < 2; ++c) outputs[c] = ProgramPorts(server.Name(), "system:playback_" + std::to_string(c + 1));
        return !live.Running() || (outputs[0].size() == 1 && outputs[1].size() == 1);
      },
      20));
  ASSERT_TRUE(live.Running());
  for (int c = 0; c < 2; ++c) {
    const std::vector<std::string> listening = OwnPorts(server.Name(), "system:capture_" + std::to_string(c + 1));
    ASSERT_EQ(listening.size(), 1u);
    ASSERT_EQ(ztlive::test::RunProgram({"jack_connect", "-s", server.Name(), outputs[c][0], listening[0]}), 0);
  }
  ASSERT_TRUE(PlayInto(played, 2, inputs));
  ASSERT_TRUE(DispatchUntil([&] { return !live.Running(); }, 40));
  DispatchUntil([] { return false; }, 1);
  listener.CloseInput();
  const CliResult result = live.Finish();
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("low-pass: "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Logged "), std::string::npos) << result.out;

  // The filter's output is found in stretches (a period dropped under a heavy load is allowed
  // for), in the log and in what was played. Each way through the server's floats may cost a
  // step of rounding (into the program, and out of it to this process), and the filter's own
  // rounding of a value one step off one more.
  const double step = 1.0 / 32768;
  const std::vector<float> filtered = WaveFloats(expected);
  ASSERT_EQ(filtered.size(), size_t(2 * 4 * 44100));
  const std::vector<float> logged = WaveFloats(log);
  EXPECT_EQ(logged.size() % 4096, 0u) << "the log ends after a whole block";
  EXPECT_GE(ztlive::test::ShareFoundIn(logged, filtered, 2, 1024, 2.01 * step), 0.9);
  const std::vector<float> heard = WaveFloats(files.File("heard.wav"));
  EXPECT_GE(ztlive::test::ShareFoundIn(heard, filtered, 2, 1024, 3.01 * step), 0.9);
  // What was found is not the source itself: the filter took most of the noise's energy away.
  const std::vector<float> noise = WaveFloats(source);
  double noiseEnergy = 0;
  double filteredEnergy = 0;
  for (size_t i = 0; i < noise.size() && i < filtered.size(); ++i) {
    noiseEnergy += double(noise[i]) * noise[i];
    filteredEnergy += double(filtered[i]) * filtered[i];
  }
  EXPECT_LT(filteredEnergy, 0.5 * noiseEnergy);
}

TEST_F(LiveCliJack, LiveRunsAppendToOneLogAndALogOfAnotherRateIsRefused) {
  const std::string log = files.File("log.wav");
  const std::vector<std::string> run{"live", "--chain", "low-pass:values=2,3000+median:values=0,5", "--log", log,
                                     "--seconds", "1"};
  const CliResult first = RunCli(run, home.Path());
  ASSERT_EQ(first.exitCode, 0) << first.err;
  const std::vector<uint8_t> afterFirst = ReadBytes(log);
  const CliResult second = RunCli(run, home.Path());
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_NE(second.out.find("low-pass+median: "), std::string::npos) << second.out;
  const std::vector<uint8_t> afterSecond = ReadBytes(log);
  const size_t firstData = afterFirst.size() - 44;
  const size_t bothData = afterSecond.size() - 44;
  EXPECT_GE(firstData, size_t(44100 * 4 * 3 / 4)) << "most of a second";
  EXPECT_GE(bothData, 2 * firstData - 2 * 4 * 4096) << "the second run's second follows the first";
  EXPECT_EQ(bothData % 4, 0u);
  EXPECT_EQ(SoxFrames(log), long(bothData / 4)) << "the data chunk's size covers both runs";
  EXPECT_TRUE(std::equal(afterFirst.begin() + 44, afterFirst.end(), afterSecond.begin() + 44))
      << "the first run's audio is kept as it was";

  // A log at another sample rate is refused, and nothing is written into it.
  const std::string other = files.File("other.wav");
  ASSERT_EQ(std::system(("sox -n -r 22050 -c 2 -b 16 " + other + " synth 0.5 sine 300").c_str()), 0);
  const std::vector<uint8_t> otherBefore = ReadBytes(other);
  const CliResult refused = RunCli({"live", "--filter", "median", "--log", other, "--seconds", "1"}, home.Path());
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("The Live log file is incompatible with this filter."), std::string::npos) << refused.err;
  EXPECT_EQ(ReadBytes(other), otherBefore);

  // Without --log nothing is written, not even into the log the window has chosen.
  const std::string chosen = files.File("chosen.wav");
  ASSERT_EQ(RunCli({"settings", "set", "FilterGraph", "LogFileName", chosen}, home.Path()).exitCode, 0);
  const std::vector<std::string> before = FolderEntries(files.Path());
  const CliResult unlogged = RunCli({"live", "--filter", "median", "--seconds", "1"}, home.Path());
  EXPECT_EQ(unlogged.exitCode, 0) << unlogged.err;
  EXPECT_EQ(unlogged.out.find("Logged"), std::string::npos) << unlogged.out;
  EXPECT_EQ(FolderEntries(files.Path()), before);

  // An input device that does not exist.
  ASSERT_EQ(RunCli({"settings", "set", "ZANTO", "DevIn", "99"}, home.Path()).exitCode, 0);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"record", files.File("none.wav")},
                                               std::vector<std::string>{"live", "--filter", "median"}}) {
    const CliResult missing = RunCli(args, home.Path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Sorry, could not find any waveform audio devices to use for recording."),
              std::string::npos)
        << missing.err;
  }
  EXPECT_EQ(FolderEntries(files.Path()), before);
}

}  // namespace
}  // namespace ztlive::cli
