// A chain of the impulse, notch and continuous noise filters, run through the filter run over
// a worn recording, against the same three filters run one after the other through files:
// at 24 bits both write the same values; at 16 bits the files round between the filters and
// the chain does not, so they differ only by a few steps. Lengths cover whole blocks, a short
// last block, and less than one block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "filters/restoration/noise_print_keeper.h"
#include "live/chain_runner.h"
#include "live/filter_chain.h"
#include "testing/run_test_host.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;
constexpr FilterTypeId kNoiseSampling = 9;
constexpr FilterTypeId kContinuousNoise = 8;

struct Member {
  FilterTypeId type;
  PresetValues values;
};

PresetValues Values(std::initializer_list<int32_t> list) {
  PresetValues values;
  std::copy(list.begin(), list.end(), values.p.begin());
  return values;
}

// Impulse (Vinyl LP detector, prediction), a 50 Hz notch, continuous noise at 256 pairs.
const std::vector<Member> kMembers = {
    {15, Values({2000, 7, 1, 0, 20, 1})},
    {13, Values({0, 50, 29, 0})},
    {kContinuousNoise, Values({20, 100, 100, 0})},
};

// What the continuous noise filter's window keeps: the print of a sampling run.
class PrintKeeper : public RunDialog {
 public:
  FilterProcessor* AttachProcessor(FilterProcessor* processor) override {
    std::swap(processor, m_attached);
    return processor;
  }
  void PushExtraParams(FilterProcessor& engine) override { m_keeper.PushTo(engine); }
  void TakeAnalysisResult(FilterProcessor& engine) override { m_keeper.TakeSample(engine, kRate); }
  bool HasPrint() const { return m_keeper.HasPrint(); }

 private:
  FilterProcessor* m_attached = nullptr;
  NoisePrintKeeper m_keeper;
};

void WriteWave(const std::string& path, int channels, int bits, const std::vector<SampleValue>& values) {
  std::vector<uint8_t> bytes;
  for (const SampleValue v : values) {
    const auto word = static_cast<uint32_t>(v);
    if (bits == 24) bytes.push_back(static_cast<uint8_t>(word));
    bytes.insert(bytes.end(), {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word >> 16)});
  }
  test::WriteBytes(path, test::WaveBytes()
                             .Format(1, static_cast<uint16_t>(channels), kRate, static_cast<uint16_t>(bits))
                             .Data(bytes)
                             .Build());
}

// The values of a file of the given width written by a run, in steps of that width.
std::vector<int32_t> ReadSteps(const std::string& path, int bits) {
  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  const size_t width = static_cast<size_t>(bits / 8);
  std::vector<int32_t> steps;
  for (size_t i = 44; i + width <= bytes.size(); i += width) {
    uint32_t word = 0;
    for (size_t b = 0; b < width; ++b) word |= static_cast<uint32_t>(bytes[i + b]) << (8 * (4 - width + b));
    steps.push_back(static_cast<int32_t>(word) >> (32 - bits));
  }
  return steps;
}

class NoNames : public PresetNameAsker {
 public:
  bool AskPresetName(std::string&) override { return false; }
};

struct Case {
  const char* name;
  int channels;
  int bits;
  size_t frames;
  int32_t largestStep;  // allowed difference between the chain and the three runs
};

TEST(ChainFileRuns, AChainWritesWhatItsFiltersWriteOneAfterTheOtherThroughFiles) {
  const Case cases[] = {
      {"stereo 24-bit, a short last block", 2, 24, 2 * kRate + 777, 0},
      {"mono 24-bit, whole blocks", 1, 24, 4096 * 24, 0},
      {"stereo 24-bit, less than one block", 2, 24, 1500, 0},
      // Rounding to 16 bits moves the noise filter's gains a little; a block out of place
      // would differ by thousands of steps.
      {"stereo 16-bit", 2, 16, 2 * kRate + 777, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestFolder folder;
    // The noise print comes from half a second of hiss and hum alone.
    std::vector<SampleValue> noise(kRate / 2 * static_cast<size_t>(c.channels), 0);
    test::AddRecordWear(noise, c.channels, kRate, {.clicksPerSecond = 0, .seed = 7});
    WriteWave(folder.File("noise.wav"), c.channels, c.bits, noise);
    std::vector<SampleValue> worn = test::MusicLike(c.channels, double(c.frames) / kRate, kRate);
    worn.resize(c.frames * static_cast<size_t>(c.channels), 0);
    test::AddRecordWear(worn, c.channels, kRate, {.clicksPerSecond = 20});
    const std::string source = folder.File("worn.wav");
    WriteWave(source, c.channels, c.bits, worn);

    PrintKeeper print;
    {
      test::RunTestHost host(folder.File("noise.wav"));
      ASSERT_EQ(host.Runner().RunFilter(&host, kNoiseSampling, &print, false, -1, Values({256})), 1);
      ASSERT_TRUE(print.HasPrint());
    }
    std::string input = source;
    for (size_t k = 0; k < kMembers.size(); ++k) {
      const std::string output = folder.File("member" + std::to_string(k) + ".wav");
      test::RunTestHost host(input);
      host.SetDestination(output);
      RunDialog* dialog = kMembers[k].type == kContinuousNoise ? &print : nullptr;
      ASSERT_EQ(host.RunFilterFromWindow(kMembers[k].type, dialog, false, kMembers[k].values), 1);
      EXPECT_TRUE(host.Answers().Texts().empty());
      input = output;
    }
    const std::string chained = folder.File("chain.wav");
    {
      test::RunTestHost host(source);
      host.SetDestination(chained);
      NoNames names;
      FilterChain chain(host.Run(), host.Answers(), names);
      for (const Member& member : kMembers) {
        ChainNode* node = chain.InsertFilter(member.type);
        ASSERT_NE(node, nullptr);
        node->processor->SetValues(member.values);
        print.PushExtraParams(*node->processor);
      }
      ASSERT_EQ(RunChain(host.Runner(), chain, &host, false), 1);
      EXPECT_TRUE(host.Answers().Texts().empty());
    }

    const std::vector<int32_t> members = ReadSteps(input, c.bits);
    const std::vector<int32_t> chain = ReadSteps(chained, c.bits);
    ASSERT_EQ(chain.size(), worn.size());
    ASSERT_EQ(members.size(), chain.size());
    int32_t largest = 0;
    for (size_t i = 0; i < chain.size(); ++i) largest = std::max(largest, std::abs(chain[i] - members[i]));
    EXPECT_LE(largest, c.largestStep);
    // The filters changed the recording: a pass-through on both sides would also agree.
    EXPECT_NE(chain, ReadSteps(source, c.bits));
  }
}

}  // namespace
}  // namespace ztlive
