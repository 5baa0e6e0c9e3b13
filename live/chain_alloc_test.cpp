// A chain run allocates its streams once: a longer file costs no more allocations.
#include <gtest/gtest.h>

#include "live/filter_chain.h"
#include "platform/scripted_prompts.h"
#include "testing/counting_allocator.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

class NoNames : public PresetNameAsker {
 public:
  bool AskPresetName(std::string&) override { return false; }
};

// Allocations of one chain run over seconds of stereo silence with a few clicks.
long AllocationsOfARun(double seconds) {
  test::TestFolder folder;
  RunState run;
  WaveStream input(4096, 8192, run);
  WaveStream output(4096, 8192, run);
  WaveFormat format = MakePcmFormat(2, 44100, 16);
  EXPECT_EQ(output.Create(folder.File("in.wav"), format, kCreateOverwrite), kStreamOk);
  EXPECT_EQ(output.WriteSilenceAndClose(seconds), 1);
  EXPECT_EQ(input.Open(folder.File("in.wav"), kOpenRead), kStreamOk);
  WaveFormat outFormat = format;
  EXPECT_EQ(output.Create(folder.File("out.wav"), outFormat, kCreateOverwrite), kStreamOk);
  output.SetMode(kModeFile);
  EXPECT_EQ(output.PrepareWriteBuffer(), 0);
  run.regionStart = run.readPosition = 0;
  run.regionEnd = static_cast<uint32_t>(input.DataBytes());

  ScriptedPrompts prompts;
  NoNames names;
  FilterChain chain(run, prompts, names);
  for (const FilterTypeId type : {15, 19, 6, 13}) EXPECT_NE(chain.InsertFilter(type), nullptr);
  const long before = test::AllocationCount();
  EXPECT_EQ(chain.Run(input, output), 0);
  const long made = test::AllocationCount() - before;
  EXPECT_EQ(output.FinishWrite(kFlagDirty, kFlagDirty), 0);
  return made;
}

TEST(FilterChainAllocation, ALongerRunMakesNoMoreAllocations) {
  const long shortRun = AllocationsOfARun(1.0);
  const long longRun = AllocationsOfARun(12.0);
  EXPECT_EQ(longRun, shortRun);
}

}  // namespace
}  // namespace ztlive
