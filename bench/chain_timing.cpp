// chain_timing: the impulse, notch and continuous noise filters run over a real file, either as
// one filter chain or one after the other through files, each the way a user's run goes (the
// filter run over a document: region, staged destination, rename at the end).
//
//   chain_timing source OUT.wav SECONDS   a 16-bit stereo 44.1 kHz test file: one second of
//                                         hiss and hum, then music with hiss, hum and clicks
//   chain_timing chain IN.wav OUT.wav     one chain run of the three filters
//   chain_timing members IN.wav OUT.wav   three file runs; the first two write OUT.wav.1.wav
//                                         and OUT.wav.2.wav beside OUT.wav
//   chain_timing difference A.wav B.wav   the largest difference between the two files'
//                                         values, in steps of their sample width, and how
//                                         many values differ
//
// A run prints "<name> <seconds>" for each run it timed. Both modes take the noise print from
// the source's first second with a noise-sampling run first, which is not timed.
// The configuration folder is $ZTLIVE_HOME: point it at an empty folder.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/noise_print_holder.h"
#include "core/wave_stream.h"
#include "document/run_environment.h"
#include "live/chain_runner.h"
#include "live/filter_chain.h"
#include "platform/console_prompts.h"
#include "platform/file_ops.h"
#include "platform/virtual_sound_card.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;

// The members in chain order, with their settings.
struct Member {
  const char* name;
  FilterTypeId type;
  PresetValues values;
};

constexpr FilterTypeId kImpulseType = 15;
constexpr FilterTypeId kNotchType = 13;
constexpr FilterTypeId kContinuousNoiseType = 8;
constexpr FilterTypeId kNoiseSamplingType = 9;
constexpr int32_t kNoiseSizeIndex = 2;  // 1024 pairs: frames of 2048 values

PresetValues Values(std::initializer_list<int32_t> list) {
  PresetValues values;
  std::copy(list.begin(), list.end(), values.p.begin());
  return values;
}

const std::vector<Member>& Members() {
  static const std::vector<Member> members = {
      // threshold 2000, size 7, Vinyl LP detector, no residue, tracking 20, Accuracy (prediction)
      {"impulse", kImpulseType, Values({2000, 7, 1, 0, 20, 1})},
      // 50 Hz, 29/100 octave (45.2 to 55.3 Hz), a band stop
      {"notch", kNotchType, Values({0, 50, 29, 0})},
      // attack 20 ms, release 100 ms, attenuation 100
      {"continuous-noise", kContinuousNoiseType, Values({20, 100, 100, kNoiseSizeIndex})},
  };
  return members;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The test file. The music repeats every 0.75 s, so a few seconds of it are made and repeated;
// hiss (-50 dBFS rms), 50 Hz hum (-40 dBFS) and about four clicks a second are laid over it.
int WriteSource(const std::string& path, double seconds) {
  const size_t frames = static_cast<size_t>(seconds * kRate);
  const size_t lead = kRate;  // hiss and hum only, for the noise print
  const size_t tileFrames = static_cast<size_t>(3 * kRate);
  const std::vector<SampleValue> music = test::MusicLike(2, 3.0, kRate);
  std::vector<SampleValue> values(frames * 2, 0);
  for (size_t i = lead * 2; i < values.size(); ++i) values[i] = music[(i - lead * 2) % (tileFrames * 2)];
  test::AddRecordWear(values, 2, kRate, {.cleanFrames = lead});

  RunState run;
  WaveStream out(4096, 4096, run);
  WaveFormat format = MakePcmFormat(2, kRate, 16);
  const std::string part = path + ".part";
  if (out.Create(part, format, kCreateOverwrite) != kStreamOk) {
    std::fprintf(stderr, "cannot make %s\n", part.c_str());
    return 1;
  }
  out.SetMode(kModeFile);
  out.PrepareWriteBuffer();
  bool written = true;
  for (size_t i = 0; i < values.size() && written; ++i) written = out.WriteSample(values[i]) != 0;
  const bool finished = written && out.FinishWrite(kFlagDirty, kFlagDirty) == 0;
  out.Close();
  if (!finished || std::rename(part.c_str(), path.c_str()) != 0) {
    std::remove(part.c_str());
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}

// A document's view whose selection is fixed: byte offsets of the data, 0, 0 for all of it.
class FixedView : public RunView {
 public:
  FixedView(CZantoDoc& document, int64_t first, int64_t last) : m_document(document), m_first(first), m_last(last) {}
  CZantoDoc& Document() override { return m_document; }
  void Selection(int64_t& first, int64_t& last) override {
    first = m_first;
    last = m_last;
  }

 private:
  CZantoDoc& m_document;
  int64_t m_first;
  int64_t m_last;
};

class NoNames : public PresetNameAsker {
 public:
  bool AskPresetName(std::string&) override { return false; }
};

// The application around the runs, as the command line builds it: no sound card, questions
// answered No (a destination is never overwritten), messages on stderr.
class Bench {
 public:
  Bench() : m_prompts(ConsolePrompts::Policy::No) {
    m_environment = std::make_unique<RunEnvironment>(std::make_unique<VirtualSoundCard>(0, 0), m_run, m_settings, m_prompts);
    m_environment->Queue().SetPumpHook([this](int maxWaitMs) {
      if (maxWaitMs != 0) m_environment->Queue().PollWake(maxWaitMs < 0 ? 10 : std::min(maxWaitMs, 10));
    });
  }

  FilterRun& Runner() { return m_environment->Runner(); }
  RunState& Run() { return m_run; }
  Prompts& Messages() { return m_prompts; }
  SettingsStore& Settings() { return m_settings; }

  // The noise print from the source's first second, in the holder.
  bool SampleNoise(const std::string& source, cli::NoisePrintHolder& holder) {
    holder.SetSampleRate(kRate);
    CZantoDoc document(source, m_settings, m_prompts);
    FixedView firstSecond(document, 0, int64_t{kRate} * 4);
    PresetValues values;
    values.p[0] = int32_t{256} << kNoiseSizeIndex;
    return Runner().RunFilter(&firstSecond, kNoiseSamplingType, &holder, false, -1, values) == 1 && !holder.Print().Empty();
  }

  // A document from source into a new destination, as a run from the main window.
  std::unique_ptr<CZantoDoc> Document(const std::string& source, const std::string& destination) {
    auto document = std::make_unique<CZantoDoc>(source, m_settings, m_prompts);
    document->SetDestinationName(destination, false);
    if (!FileExists(destination)) document->SetSyncMode(0);
    return document;
  }

 private:
  SettingsStore m_settings;
  ConsolePrompts m_prompts;
  RunState m_run;
  std::unique_ptr<RunEnvironment> m_environment;
};

int RunMembers(const std::string& source, const std::string& destination) {
  Bench bench;
  cli::NoisePrintHolder holder;
  if (!bench.SampleNoise(source, holder)) return 1;
  const std::vector<Member>& members = Members();
  std::string input = source;
  for (size_t k = 0; k < members.size(); ++k) {
    const std::string output = k + 1 == members.size() ? destination : destination + "." + std::to_string(k + 1) + ".wav";
    std::unique_ptr<CZantoDoc> document = bench.Document(input, output);
    FixedView all(*document, 0, 0);
    const auto start = std::chrono::steady_clock::now();
    RunDialog* dialog = members[k].type == kContinuousNoiseType ? &holder : nullptr;  // hands over the print
    const int result = bench.Runner().RunFilter(&all, members[k].type, dialog, false, -1, members[k].values);
    const double seconds = SecondsSince(start);
    if (result != 1 || bench.Runner().OutputDeclined()) {
      std::fprintf(stderr, "%s: the run failed (%d)\n", members[k].name, result);
      return 1;
    }
    std::printf("%s %.4f\n", members[k].name, seconds);
    input = output;
  }
  return 0;
}

int RunAsChain(const std::string& source, const std::string& destination) {
  Bench bench;
  cli::NoisePrintHolder holder;
  if (!bench.SampleNoise(source, holder)) return 1;
  NoNames names;
  FilterChain chain(bench.Run(), bench.Messages(), names);
  for (const Member& member : Members()) {
    ChainNode* node = chain.InsertFilter(member.type);
    if (node == nullptr) return 1;
    node->processor->SetValues(member.values);
    holder.PushExtraParams(*node->processor);  // only the continuous noise engine takes it
  }
  std::unique_ptr<CZantoDoc> document = bench.Document(source, destination);
  FixedView all(*document, 0, 0);
  const auto start = std::chrono::steady_clock::now();
  const int result = RunChain(bench.Runner(), chain, &all, false);
  const double seconds = SecondsSince(start);
  if (result != 1 || bench.Runner().OutputDeclined()) {
    std::fprintf(stderr, "chain: the run failed (%d)\n", result);
    return 1;
  }
  std::printf("chain %.4f\n", seconds);
  return 0;
}

int PrintDifference(const std::string& firstPath, const std::string& secondPath) {
  RunState firstRun;
  RunState secondRun;
  WaveStream first(4096, 4096, firstRun);
  WaveStream second(4096, 4096, secondRun);
  for (auto [stream, path] : {std::pair{&first, &firstPath}, std::pair{&second, &secondPath}}) {
    if (const int error = stream->Open(*path, kOpenRead); error != kStreamOk) {
      std::fprintf(stderr, "%s: %s\n", path->c_str(), std::string(StreamErrorText(error)).c_str());
      return 1;
    }
  }
  if (first.DataBytes() != second.DataBytes() || first.BytesPerSample() != second.BytesPerSample()) {
    std::printf("the files differ in length or sample width\n");
    return 0;
  }
  for (RunState* run : {&firstRun, &secondRun}) {
    run->regionStart = run->readPosition = 0;
    run->regionEnd = static_cast<uint32_t>(first.DataBytes());
  }
  // Values are 24-bit: a step of a 16-bit file is 256 of them.
  const int step = 1 << (8 * (3 - std::min(first.BytesPerSample(), 3)));
  int64_t largest = 0;
  int64_t differing = 0;
  SampleValue* begin = nullptr;
  SampleValue* end = nullptr;
  while (first.ReadBlock(0, 0, &begin, &end) == 0) {
    SampleValue* otherBegin = nullptr;
    SampleValue* otherEnd = nullptr;
    if (second.ReadBlock(0, 0, &otherBegin, &otherEnd) != 0 || otherEnd - otherBegin != end - begin) return 1;
    for (ptrdiff_t i = 0; i < end - begin; ++i) {
      const int64_t difference = std::abs(int64_t{begin[i]} - otherBegin[i]) / step;
      largest = std::max(largest, difference);
      differing += difference != 0 ? 1 : 0;
    }
  }
  std::printf("largest %lld differing %lld\n", static_cast<long long>(largest), static_cast<long long>(differing));
  return 0;
}

}  // namespace
}  // namespace ztlive

int main(int argc, char** argv) {
  using namespace ztlive;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc == 4 && mode == "source") return WriteSource(argv[2], std::atof(argv[3]));
  if (argc == 4 && mode == "chain") return RunAsChain(argv[2], argv[3]);
  if (argc == 4 && mode == "members") return RunMembers(argv[2], argv[3]);
  if (argc == 4 && mode == "difference") return PrintDifference(argv[2], argv[3]);
  std::fprintf(stderr,
               "usage: chain_timing source OUT.wav SECONDS\n"
               "       chain_timing chain IN.wav OUT.wav\n"
               "       chain_timing members IN.wav OUT.wav\n"
               "       chain_timing difference A.wav B.wav\n");
  return 2;
}
