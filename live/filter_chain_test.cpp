// The filter chain on real files: its output against the same filters run one after the
// other through files, the chain's editing and geometry, its presets in the preset file, and
// the format change after a conversion node.
#include "live/filter_chain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "filters/filter_registry.h"
#include "filters/framework/preset_store.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "live/chain_runner.h"
#include "platform/file_ops.h"
#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "testing/run_test_host.h"
#include "testing/test_signals.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::RunTestHost;
using test::TestFolder;

constexpr uint32_t kRate = 44100;
constexpr FilterTypeId kImpulse = 15;
constexpr FilterTypeId kContinuousNoise = 8;
constexpr FilterTypeId kMedian = 6;
constexpr FilterTypeId kNotch = 13;
constexpr FilterTypeId kLowPass = 19;
constexpr FilterTypeId kAveraging = 2;
constexpr FilterTypeId kHighPass = 12;

class NoNames : public PresetNameAsker {
 public:
  bool AskPresetName(std::string& name) override {
    if (answer.empty()) return false;
    name = answer;
    return true;
  }
  std::string answer;
};

// Music with clicks and hiss: something for every filter to do.
std::vector<SampleValue> DamagedMusic(int channels, double seconds) {
  std::vector<SampleValue> values = test::MusicLike(channels, seconds, kRate);
  values.resize(static_cast<size_t>(std::lround(seconds * kRate)) * static_cast<size_t>(channels), 0);
  test::Random random(7);
  for (SampleValue& v : values) v += static_cast<SampleValue>((random.Uniform() - 0.5) * 40000);
  for (size_t at = 3000; at + 40 < values.size(); at += 9001)
    for (size_t k = 0; k < 12; ++k) values[at + k] = (k % 2 ? 1 : -1) * 6000000;
  return values;
}

void WriteWave(const std::string& path, int channels, int bits, const std::vector<SampleValue>& values) {
  WaveFormat format;
  format.channels = static_cast<uint16_t>(channels);
  format.sampleRate = kRate;
  format.bitsPerSample = static_cast<uint16_t>(bits);
  format.blockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
  format.avgBytesPerSecond = kRate * format.blockAlign;
  WaveStream stream(4096, 0);
  ASSERT_EQ(stream.Create(path, format, kCreateOverwrite), kStreamOk);
  stream.SetMode(kModeFile);
  ASSERT_EQ(stream.PrepareWriteBuffer(), 0);
  for (const SampleValue v : values) ASSERT_EQ(stream.WriteSample(v), 1);
  ASSERT_EQ(stream.FinishWrite(kFlagDirty, kFlagDirty), 0);
  stream.Close();
}

// A flat noise print for the continuous noise filter, as if sampled from hiss.
NoisePrint FlatPrint(int32_t bins) {
  NoisePrint print;
  print.bins = bins;
  for (size_t i = 0; i < NoisePrint::kPoints; ++i)
    print.points[i] = {static_cast<int32_t>(1 + i * static_cast<size_t>(bins - 1) / 10), 4000.0, 4000.0};
  return print;
}

// Stands in for the continuous noise filter's window: it hands the engine its noise print.
class PrintGiver : public RunDialog {
 public:
  FilterProcessor* AttachProcessor(FilterProcessor* processor) override {
    std::swap(processor, m_attached);
    return processor;
  }
  void PushExtraParams(FilterProcessor& engine) override {
    if (auto* noise = dynamic_cast<NoiseReductionProcessor*>(&engine); noise != nullptr)
      noise->SetNoisePrint(FlatPrint(1024));
  }
  void EnableTextEntry(bool enabled) override { textEntryChanges.push_back(enabled); }
  std::vector<bool> textEntryChanges;

 private:
  FilterProcessor* m_attached = nullptr;
};

struct Member {
  FilterTypeId type;
  std::vector<int32_t> values;  // empty: the descriptor's starting values
};

PresetValues ValuesOf(const Member& member) {
  PresetValues values = FindFilterDescriptor(member.type)->StartingValues();
  if (!member.values.empty()) {
    values = PresetValues{};
    for (size_t i = 0; i < member.values.size(); ++i) values.p[i] = member.values[i];
  }
  return values;
}

struct ChainCase {
  const char* name;
  std::vector<Member> members;
  int channels;
  int bits;
  double seconds;
  double regionFrom;  // seconds; both 0: the whole file
  double regionTo;
};

class ChainAgainstFiles : public ::testing::TestWithParam<ChainCase> {};

// Each filter alone over the previous one's output file, as a user would run them one by one.
std::vector<uint8_t> RunOneAfterAnother(const ChainCase& c, const std::string& source, const TestFolder& folder,
                                        int64_t first, int64_t last) {
  std::string input = source;
  for (size_t k = 0; k < c.members.size(); ++k) {
    const std::string output = folder.File("step" + std::to_string(k) + ".wav");
    RunTestHost host(input);
    host.SetDestination(output);
    if (k == 0) host.SetSelection(first, last);
    PrintGiver noisePrint;
    EXPECT_EQ(host.Runner().RunFilter(&host, c.members[k].type, &noisePrint, false, -1, ValuesOf(c.members[k])), 1)
        << "step " << k;
    input = output;
  }
  return test::ReadBytes(input);
}

TEST_P(ChainAgainstFiles, WritesWhatTheFiltersWriteOneAfterAnother) {
  const ChainCase& c = GetParam();
  TestFolder folder;
  const std::string source = folder.File("source.wav");
  WriteWave(source, c.channels, c.bits, DamagedMusic(c.channels, c.seconds));
  const int64_t frameBytes = c.channels * c.bits / 8;
  const int64_t first = static_cast<int64_t>(c.regionFrom * kRate) * frameBytes;
  const int64_t last = static_cast<int64_t>(c.regionTo * kRate) * frameBytes;

  const std::vector<uint8_t> expected = RunOneAfterAnother(c, source, folder, first, last);

  RunTestHost host(source);
  host.SetDestination(folder.File("chain.wav"));
  host.SetSelection(first, last);
  NoNames names;
  FilterChain chain(host.Run(), host.Answers(), names);
  PrintGiver window;
  for (const Member& member : c.members) {
    ChainNode* node = chain.InsertFilter(member.type);
    ASSERT_NE(node, nullptr);
    window.PushExtraParams(*node->processor);  // the print first, then the values, as a file run does
    node->processor->SetValues(ValuesOf(member));
    node->dialog = &window;
  }
  ASSERT_EQ(RunChain(host.Runner(), chain, &host, false), 1) << ::testing::PrintToString(host.Answers().Texts());
  const std::vector<uint8_t> written = test::ReadBytes(folder.File("chain.wav"));
  ASSERT_GT(written.size(), 44u);
  ASSERT_EQ(written.size(), expected.size());
  const auto differs = std::mismatch(written.begin(), written.end(), expected.begin());
  EXPECT_TRUE(differs.first == written.end())
      << "the chain's output differs from the filters run one after another from byte "
      << (differs.first - written.begin()) << " of " << written.size();
  // Every bound window's text fields were locked for the run and given back after it.
  ASSERT_GE(window.textEntryChanges.size(), 2u);
  EXPECT_FALSE(window.textEntryChanges.front());
  EXPECT_TRUE(window.textEntryChanges.back());
  for (ChainNode& node : chain.Nodes()) node.dialog = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Chains, ChainAgainstFiles,
    ::testing::Values(
        ChainCase{"ImpulseThenMedianStereo16", {{kImpulse, {}}, {kMedian, {}}}, 2, 16, 3.0, 0, 0},
        ChainCase{"MedianThenImpulseMono24", {{kMedian, {}}, {kImpulse, {}}}, 1, 24, 3.0, 0, 0},
        ChainCase{"ImpulseMedianNoiseRegion",
                  {{kImpulse, {}}, {kMedian, {}}, {kContinuousNoise, {}}}, 2, 16, 4.0, 0.7, 3.1},
        ChainCase{"NoiseThenImpulseMono", {{kContinuousNoise, {}}, {kImpulse, {}}}, 1, 16, 3.0, 0, 0},
        // Impulse (prediction), a 50 Hz notch and continuous noise: a short last block, whole
        // blocks, less than one block.
        ChainCase{"RestorationStereo24",
                  {{kImpulse, {2000, 7, 1, 0, 20, 1}}, {kNotch, {0, 50, 29, 0}}, {kContinuousNoise, {20, 100, 100, 0}}},
                  2, 24, 2.0 + 777.0 / kRate, 0, 0},
        ChainCase{"RestorationMonoWholeBlocks",
                  {{kImpulse, {2000, 7, 1, 0, 20, 1}}, {kNotch, {0, 50, 29, 0}}, {kContinuousNoise, {20, 100, 100, 0}}},
                  1, 16, 4096.0 * 24 / kRate, 0, 0},
        ChainCase{"RestorationShorterThanABlock",
                  {{kImpulse, {2000, 7, 1, 0, 20, 1}}, {kNotch, {0, 50, 29, 0}}, {kContinuousNoise, {20, 100, 100, 0}}},
                  2, 16, 1500.0 / kRate, 0, 0},
        ChainCase{"ElevenFilters",
                  {{kImpulse, {}}, {kLowPass, {}}, {kMedian, {}}, {kNotch, {}}, {kAveraging, {}}, {kHighPass, {}},
                   {kImpulse, {}}, {kContinuousNoise, {}}, {kMedian, {}}, {kLowPass, {}}, {kNotch, {}}},
                  2, 16, 2.0, 0, 0}),
    [](const ::testing::TestParamInfo<ChainCase>& param) { return std::string(param.param.name); });

TEST(FilterChainRun, WithoutFiltersCopiesTheRegionValueByValue) {
  TestFolder folder;
  const std::string source = folder.File("source.wav");
  const std::vector<SampleValue> music = DamagedMusic(2, 1.0);
  WriteWave(source, 2, 16, music);
  RunTestHost host(source);
  host.SetDestination(folder.File("copy.wav"));
  host.SetSelection(4 * 1000, 4 * 30000);
  NoNames names;
  FilterChain chain(host.Run(), host.Answers(), names);
  ASSERT_EQ(RunChain(host.Runner(), chain, &host, false), 1);
  const std::vector<uint8_t> source16 = test::ReadBytes(source);
  const std::vector<uint8_t> copy = test::ReadBytes(folder.File("copy.wav"));
  ASSERT_EQ(copy.size(), 44u + 4 * 29000);
  EXPECT_TRUE(std::equal(copy.begin() + 44, copy.end(), source16.begin() + 44 + 4000));
}

TEST(FilterChainRun, BypassPassesTheSourceThroughAndAStopEndsTheRunEarly) {
  TestFolder folder;
  const std::string source = folder.File("source.wav");
  WriteWave(source, 2, 16, DamagedMusic(2, 2.0));
  RunTestHost host(source);
  NoNames names;
  FilterChain chain(host.Run(), host.Answers(), names);
  for (const FilterTypeId type : {kImpulse, kLowPass, kMedian}) ASSERT_NE(chain.InsertFilter(type), nullptr);

  chain.SetBypass(true);
  host.SetDestination(folder.File("bypassed.wav"));
  ASSERT_EQ(RunChain(host.Runner(), chain, &host, false), 1);
  EXPECT_TRUE(test::ReadBytes(folder.File("bypassed.wav")) == test::ReadBytes(source));

  // A stop requested while the chain runs (as the window's "Run Filter" does the second
  // time) ends it after the block in progress; what was written is kept.
  chain.SetBypass(false);
  host.SetDestination(folder.File("stopped.wav"));
  int pumps = 0;
  host.SetPump([&] {
    if (++pumps == 4) {
      EXPECT_EQ(RunChain(host.Runner(), chain, &host, false), 0);
    }
  });
  EXPECT_EQ(RunChain(host.Runner(), chain, &host, false), 1);
  const size_t stopped = test::ReadBytes(folder.File("stopped.wav")).size();
  EXPECT_GT(stopped, 44u);
  EXPECT_LT(stopped, test::ReadBytes(source).size() / 2);
  EXPECT_FALSE(chain.Running());
}

// A conversion engine that stands in for the File Conversion filter: stereo to mono by
// averaging the two channels (its mode, p[3], is 2).
class StereoToMono : public FilterProcessor {
 public:
  StereoToMono() {
    typeId = kFileConversionType;
    values.p[3] = 2;
  }
  int Prepare(WaveStream&, WaveStream& out) override { return out.Format().channels == 1 ? 1 : 0; }
  int Process(WaveStream& in, WaveStream& out) override {
    for (const SampleValue* v = in.Begin(); v + 1 < in.End(); v += 2)
      if (out.WriteSample((v[0] + v[1]) / 2) == 0) return 0;
    return 1;
  }
  int Finish(WaveStream&, WaveStream&) override { return 1; }
};

TEST(FilterChainRun, FiltersAfterAStereoToMonoConversionWorkOnOneChannel) {
  TestFolder folder;
  const std::string source = folder.File("source.wav");
  const std::vector<SampleValue> music = DamagedMusic(2, 1.0);
  WriteWave(source, 2, 24, music);
  RunTestHost host(source);
  host.SetDestination(folder.File("mono.wav"));
  NoNames names;
  FilterChain chain(host.Run(), host.Answers(), names);
  ASSERT_NE(chain.InsertEngine(std::make_unique<StereoToMono>(), 11), nullptr);
  ChainNode* median = chain.InsertFilter(kMedian);
  ChainNode* lowPass = chain.InsertFilter(kLowPass);
  ASSERT_EQ(chain.ConversionMode(), 2);
  ASSERT_EQ(RunChain(host.Runner(), chain, &host, false), 1) << ::testing::PrintToString(host.Answers().Texts());
  EXPECT_EQ(median->processor->GetTypeId(), kMedian);
  EXPECT_EQ(lowPass->processor->GetTypeId(), kLowPass);

  // The same two filters over a mono file of the averaged channels give the same bytes.
  std::vector<SampleValue> averaged;
  for (size_t i = 0; i + 1 < music.size(); i += 2) averaged.push_back((music[i] + music[i + 1]) / 2);
  WriteWave(folder.File("averaged.wav"), 1, 24, averaged);
  std::string input = folder.File("averaged.wav");
  for (const FilterTypeId type : {kMedian, kLowPass}) {
    const std::string output = folder.File("after" + std::to_string(type) + ".wav");
    RunTestHost step(input);
    step.SetDestination(output);
    ASSERT_EQ(step.Runner().RunFilter(&step, type, nullptr, false, -1, ValuesOf({type, {}})), 1);
    input = output;
  }
  EXPECT_TRUE(test::ReadBytes(folder.File("mono.wav")) == test::ReadBytes(input));
}

// ---- editing, geometry and the rules of a run ----------------------------------------------


struct ChainFixture : ::testing::Test {
  TestFolder home;
  test::ScopedEnvironment homeVariable{"ZTLIVE_HOME", home.Path()};
  RunState run;
  ScriptedPrompts prompts;
  NoNames names;
  FilterChain chain{run, prompts, names};

  std::vector<FilterTypeId> Types() const {
    std::vector<FilterTypeId> types;
    for (const ChainNode& node : chain.Nodes()) types.push_back(node.type);
    return types;
  }
};

using FilterChainEditing = ChainFixture;

TEST_F(FilterChainEditing, LaysOutDropsMovesAndDeletesAsTheGraphSays) {
  chain.SetGraphArea({10, 20, 410, 120});
  const ChainNode& input = chain.Nodes().front();
  const ChainNode& output = chain.Nodes().back();
  EXPECT_EQ(input.x, 13);
  EXPECT_EQ(output.x, 372);
  EXPECT_EQ(input.y, 20 + 50 - 16);

  ChainNode* impulse = chain.InsertFilter(kImpulse);
  ChainNode* notch = chain.InsertFilter(kNotch);
  ASSERT_NE(impulse, nullptr);
  ASSERT_NE(notch, nullptr);
  const int spacing = (410 - 10 - 41) / 3;
  EXPECT_EQ(impulse->x, 13 + spacing);
  EXPECT_EQ(notch->x, 13 + 2 * spacing);
  EXPECT_EQ(notch->y, input.y);
  EXPECT_EQ(chain.NodeLabel(*notch), "Notch 2");

  // A drop left of the first filter goes in front of it; right of Output or left of Input:
  // nothing.
  EXPECT_NE(chain.InsertAtDrop(kMedian, impulse->x - 5), nullptr);
  EXPECT_EQ(chain.InsertAtDrop(kMedian, output.x + 1), nullptr);
  EXPECT_EQ(chain.InsertAtDrop(kMedian, input.x - 1), nullptr);
  EXPECT_EQ(Types(), (std::vector<FilterTypeId>{-1, kMedian, kImpulse, kNotch, -1}));

  // The impulse node moves behind the notch node, keeping its engine.
  FilterProcessor* impulseEngine = impulse->processor.get();
  ASSERT_EQ(chain.SelectAt(impulse->x + 5, impulse->y + 5), impulse);
  chain.MoveSelectedNode(notch->x + 1);
  EXPECT_EQ(Types(), (std::vector<FilterTypeId>{-1, kMedian, kNotch, kImpulse, -1}));
  EXPECT_EQ(chain.FilterAt(3)->processor.get(), impulseEngine);

  // Input and Output are neither moved nor deleted.
  chain.SelectAt(input.x + 1, input.y + 1);
  chain.MoveSelectedNode(output.x - 1);
  chain.DeleteSelectedNode();
  chain.SelectAt(output.x + 1, output.y + 1);
  chain.DeleteSelectedNode();
  EXPECT_EQ(chain.FilterCount(), 3);

  chain.Select(chain.FilterAt(2));
  chain.DeleteSelectedNode();
  EXPECT_EQ(Types(), (std::vector<FilterTypeId>{-1, kMedian, kImpulse, -1}));
  chain.ClearChain();
  EXPECT_EQ(Types(), (std::vector<FilterTypeId>{-1, -1}));
}

TEST_F(FilterChainEditing, RefusesATwelfthFilterAFilterNotBuiltAndPunchAndCrunchFirst) {
  for (int i = 0; i < kChainSlots; ++i) ASSERT_NE(chain.InsertFilter(kLowPass), nullptr);
  EXPECT_EQ(chain.InsertFilter(kLowPass), nullptr);
  EXPECT_EQ(chain.FilterCount(), kChainSlots);
  EXPECT_EQ(prompts.Texts().back(), FormatText(StringId::kChainFull, {"11"}));
  chain.ClearChain();

  // Types without an engine are refused with a message; nothing is inserted.
  EXPECT_EQ(chain.InsertFilter(32), nullptr);
  EXPECT_EQ(prompts.Texts().back(), StringText(StringId::kChainCreateFailed));
  const FilterDescriptor* punch = FindFilterDescriptor(kPunchAndCrunchType);
  if (!punch->Built()) {
    EXPECT_EQ(chain.InsertFilter(kPunchAndCrunchType), nullptr);
    EXPECT_EQ(chain.FilterCount(), 0);
  }

  // The rule itself, with an engine standing in for Punch and Crunch.
  chain.SetGraphArea({0, 0, 500, 80});
  class Punch : public StereoToMono {
   public:
    Punch() { typeId = kPunchAndCrunchType; }
  };
  chain.InsertEngine(std::make_unique<Punch>(), 19);
  EXPECT_TRUE(chain.CheckRunnable());  // alone it may run
  chain.InsertFilter(kLowPass);
  prompts.Clear();
  EXPECT_FALSE(chain.CheckRunnable());
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{std::string(StringText(StringId::kPunchAndCrunchFirst))});
  chain.Select(chain.FilterAt(2));
  chain.MoveSelectedNode(chain.FilterAt(1)->x - 1);
  EXPECT_TRUE(chain.CheckRunnable());  // low pass first, then punch and crunch
}

TEST_F(FilterChainEditing, DialogAttachedFollowsTheLastOpenedNodeOfAType) {
  ChainNode* first = chain.InsertFilter(kImpulse);
  ChainNode* second = chain.InsertFilter(kImpulse);
  ChainNode* other = chain.InsertFilter(kNotch);
  EXPECT_EQ(first->processor->dialogAttached, 0);
  EXPECT_EQ(second->processor->dialogAttached, 1);
  chain.MarkDialogAttached(*first);
  EXPECT_EQ(first->processor->dialogAttached, 1);
  EXPECT_EQ(second->processor->dialogAttached, 0);
  EXPECT_EQ(other->processor->dialogAttached, 1);
  chain.SetBypass(true);
  for (ChainNode* node : {first, second, other}) EXPECT_EQ(node->processor->bypass, 1);
}

// ---- presets -------------------------------------------------------------------------------

std::string PresetFileText() {
  const std::vector<uint8_t> bytes = test::ReadBytes(PresetFile().Path());
  return std::string(bytes.begin(), bytes.end());
}

using FilterChainPresets = ChainFixture;

TEST_F(FilterChainPresets, SavesTypesAndHiddenSettingsAndLoadsThemBack) {
  ChainNode* first = chain.InsertFilter(kImpulse);
  ChainNode* second = chain.InsertFilter(kImpulse);
  PresetValues a = first->processor->values;
  a.p[0] += 3;
  first->processor->SetValues(a);
  PresetValues b = second->processor->values;
  b.p[1] += 1;
  second->processor->SetValues(b);

  ASSERT_EQ(chain.WriteChainPreset("A", PresetTextForm::TrailingLineFeed), 1);
  EXPECT_NE(PresetFileText().find("[FilterGraphSet]\nA=15,15,-1,-1,-1,-1,-1,-1,-1,-1,-1\n\n"), std::string::npos)
      << PresetFileText();
  const std::string impulseSection = PresetSection(FindFilterDescriptor(kImpulse)->sectionBase);
  const std::vector<std::string> keys = PresetFile().KeyNames(impulseSection, 4096);
  EXPECT_NE(std::find(keys.begin(), keys.end(), "_*xA1"), keys.end());
  EXPECT_NE(std::find(keys.begin(), keys.end(), "_*xA2"), keys.end());

  // Hidden keys are never listed in the filter's preset box.
  PresetList list(prompts, names);
  list.SetSection(FindFilterDescriptor(kImpulse)->sectionBase);
  class Box : public PresetComboBox {
   public:
    void Clear() override { items.clear(); }
    int Count() const override { return static_cast<int>(items.size()); }
    void Add(std::string_view text) override { items.emplace_back(text); }
    void Remove(int index) override { items.erase(items.begin() + index); }
    std::string ItemText(int index) const override { return items[static_cast<size_t>(index)]; }
    int Find(std::string_view text) const override {
      for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == text) return static_cast<int>(i);
      return -1;
    }
    int Selected() const override { return selected; }
    void Select(int index) override { selected = index; }
    std::string EditText() const override { return selected >= 0 ? items[static_cast<size_t>(selected)] : ""; }
    void Focus() override {}
    std::vector<std::string> items;
    int selected = -1;
  } box;
  list.FillList(box);
  EXPECT_TRUE(box.items.empty());

  // The automatic "Default" has a blank before the last number.
  chain.SaveDefaultPreset(box);
  EXPECT_NE(PresetFileText().find("Default=15,15,-1,-1,-1,-1,-1,-1,-1,-1, -1\n"), std::string::npos);

  chain.ClearChain();
  chain.InsertFilter(kNotch);
  ASSERT_EQ(chain.LoadChainPresetNamed("A"), 0);
  ASSERT_EQ(chain.FilterCount(), 2);
  EXPECT_EQ(chain.FilterAt(1)->processor->values.p[0], a.p[0]);
  EXPECT_EQ(chain.FilterAt(2)->processor->values.p[1], b.p[1]);
  EXPECT_EQ(chain.LoadChainPresetNamed("missing"), 1);
  EXPECT_EQ(chain.FilterCount(), 2);

  // Deleting through the box asks, then removes the chain's key and its hidden keys.
  box.Clear();
  chain.Presets().FillList(box);
  box.Select(box.Find("A"));
  prompts.Script(PromptAnswer::Yes);
  ASSERT_EQ(chain.DeleteChainPreset(box), 0);
  EXPECT_EQ(PresetFileText().find("_*xA"), std::string::npos);
  EXPECT_EQ(PresetFileText().find("\nA="), std::string::npos);
}

TEST_F(FilterChainPresets, ATypeTheListLacksGetsNoIconAndStillRuns) {
  // Type 7 is the second median: it has an engine but no place in the chain's list.
  PresetFile().WriteString("FilterGraphSet", "Odd", "7,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1");
  ASSERT_EQ(chain.LoadChainPresetNamed("Odd"), 0);
  ASSERT_EQ(chain.FilterCount(), 1);
  EXPECT_EQ(chain.FilterAt(1)->iconIndex, -1);
  EXPECT_EQ(chain.FilterAt(1)->type, 7);

  TestFolder folder;
  WriteWave(folder.File("in.wav"), 1, 16, DamagedMusic(1, 0.5));
  RunTestHost host(folder.File("in.wav"));
  host.SetDestination(folder.File("out.wav"));
  FilterChain odd(host.Run(), host.Answers(), names);
  ASSERT_NE(odd.InsertFilter(7), nullptr);
  EXPECT_EQ(RunChain(host.Runner(), odd, &host, false), 1);
  EXPECT_TRUE(FileExists(folder.File("out.wav")));
}

}  // namespace
}  // namespace ztlive
