// Reading blocks with history and look-ahead, and writing samples into files, memory and the
// device hand-over.
#include "core/wave_stream.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <numeric>
#include <thread>
#include <vector>

#include "testing/wave_bytes.h"
#include "platform/message_queue.h"
#include "platform/scripted_prompts.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::Samples16;
using test::TestFolder;
using test::WaveBytes;

// A mono 16-bit file whose sample n is n + 1, so every value tells where it came from.
std::vector<uint8_t> RampFile(int count) {
  std::vector<int16_t> samples(static_cast<size_t>(count));
  std::iota(samples.begin(), samples.end(), int16_t{1});
  return WaveBytes().Format(1, 1, 8000, 16).Data(Samples16(samples)).Build();
}

class WaveBlocks : public ::testing::Test {
 protected:
  void OpenRamp(int count, uint32_t regionStartSample, uint32_t regionEndSample) {
    test::WriteBytes(folder.File("ramp.wav"), RampFile(count));
    ASSERT_EQ(stream.Open(folder.File("ramp.wav"), kOpenRead), kStreamOk);
    run.regionStart = run.readPosition = regionStartSample * 2;
    run.regionEnd = regionEndSample * 2;
  }
  static SampleValue Ramp(int sample) { return sample * 256; }  // value of sample index n - 1

  TestFolder folder;
  RunState run;
  WaveStream stream{8, 8, run};  // blocks of 8 values, history room of 64
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
};

TEST_F(WaveBlocks, HistoryStartsSilentThenCarriesTheTailAndLookAheadShowsWhatFollows) {
  OpenRamp(20, 0, 20);
  ASSERT_EQ(stream.ReadBlock(3, 4, &first, &last), 0);
  ASSERT_EQ(last - first, 8);
  EXPECT_EQ(first[-3], 0);
  EXPECT_EQ(first[-1], 0);
  EXPECT_EQ(first[0], Ramp(1));
  EXPECT_EQ(first[7], Ramp(8));
  EXPECT_EQ(last[0], Ramp(9)) << "look-ahead";
  EXPECT_EQ(last[3], Ramp(12));
  EXPECT_EQ(stream.LastBlock(), 0u);
  EXPECT_EQ(run.readPosition, 16u);

  ASSERT_EQ(stream.ReadBlock(3, 4, &first, &last), 0);
  EXPECT_EQ(first[-3], Ramp(6));
  EXPECT_EQ(first[-1], Ramp(8));
  EXPECT_EQ(first[0], Ramp(9)) << "the look-ahead is read again as the head of the next block";

  // 20 samples: the third block is short and the last; look-ahead past the data is silence.
  ASSERT_EQ(stream.ReadBlock(3, 4, &first, &last), 0);
  EXPECT_EQ(last - first, 4);
  EXPECT_EQ(first[3], Ramp(20));
  EXPECT_EQ(last[0], 0);
  EXPECT_EQ(stream.LastBlock(), 1u);
  EXPECT_EQ(stream.ReadBlock(3, 4, &first, &last), 1);
}

TEST_F(WaveBlocks, ARegionEndsInsideTheFileWithItsLookAheadStillReadable) {
  OpenRamp(40, 5, 15);
  ASSERT_EQ(stream.ReadBlock(0, 2, &first, &last), 0);
  EXPECT_EQ(first[0], Ramp(6));
  ASSERT_EQ(stream.ReadBlock(0, 2, &first, &last), 0);
  EXPECT_EQ(last - first, 2);
  EXPECT_EQ(stream.LastBlock(), 1u);
  EXPECT_EQ(last[0], Ramp(16)) << "look-ahead goes past the region end";
  EXPECT_EQ(run.readPosition, run.regionEnd);
}

TEST_F(WaveBlocks, ALoopingPreviewStartsAgainAtTheRegionStartOnlyWhilePlaying) {
  OpenRamp(40, 4, 14);
  run.loopPreview = 1;
  run.engineState = kEnginePlaying;
  ASSERT_EQ(stream.ReadBlock(0, 0, &first, &last), 0);
  ASSERT_EQ(stream.ReadBlock(0, 0, &first, &last), 0);
  EXPECT_EQ(stream.LastBlock(), 1u);
  ASSERT_EQ(stream.ReadBlock(0, 0, &first, &last), 0);
  EXPECT_EQ(first[0], Ramp(5));
  run.engineState = kEngineStopped;
  ASSERT_EQ(stream.ReadBlock(0, 0, &first, &last), 0);
  EXPECT_EQ(stream.ReadBlock(0, 0, &first, &last), 1);
}

TEST_F(WaveBlocks, AStopRequestIsReturnedByTheRead) {
  OpenRamp(40, 0, 40);
  run.stopRequested = 1;
  EXPECT_EQ(stream.ReadBlock(0, 0, &first, &last), 1);
}

TEST_F(WaveBlocks, ConsumeBlockCarriesTheTailOfAMemoryStream) {
  WaveStream memory(8, 8, run);
  ASSERT_EQ(memory.ReadBlock(2, 0, &first, &last), 1);  // sets the history count; no file
  for (SampleValue v = 1; v <= 5; ++v) memory.WriteSample(v);
  memory.ConsumeBlock();
  EXPECT_EQ(memory.End(), memory.Begin());
  EXPECT_EQ(memory.Begin()[-2], 4);
  EXPECT_EQ(memory.Begin()[-1], 5);
}

class WaveWrite : public ::testing::Test {
 protected:
  TestFolder folder;
  RunState run;
  WaveStream stream{4096, 4096, run};
};

TEST_F(WaveWrite, SamplesWrittenAcrossManyIoBuffersReadBackAndClip) {
  WaveFormat format = MakePcmFormat(2, 44100, 16);
  ASSERT_EQ(stream.Create(folder.File("out.wav"), format, kCreateOverwrite), kStreamOk);
  stream.SetMode(kModeFile);
  ASSERT_EQ(stream.PrepareWriteBuffer(), 0);
  constexpr int kValues = 30001;  // odd: the last frame is half written
  for (int i = 0; i < kValues; ++i) ASSERT_EQ(stream.WriteSample((i - 15000) * 256), 1);
  EXPECT_EQ(run.clipOccurred, 0);
  ASSERT_EQ(stream.WriteSample(0x800000), 1);
  EXPECT_EQ(run.clipOccurred, 1);
  ASSERT_EQ(stream.FinishWrite(kFlagDirty, kFlagDirty), 0);
  stream.Close();

  const std::vector<uint8_t> bytes = test::ReadBytes(folder.File("out.wav"));
  ASSERT_EQ(bytes.size(), 44u + 2 * (kValues + 1));
  ASSERT_EQ(stream.Open(folder.File("out.wav"), kOpenRead), kStreamOk);
  EXPECT_EQ(stream.DataBytes(), 2u * (kValues + 1));
  ASSERT_EQ(stream.ReadValues(4096), 8192);
  EXPECT_EQ(stream.Begin()[0], -15000 * 256);
  EXPECT_EQ(stream.Begin()[4095], (4095 - 15000) * 256);
  stream.SeekData(2 * kValues, 0);
  ASSERT_EQ(stream.ReadValues(1), 2);
  EXPECT_EQ(stream.Begin()[0], 0x7FFF00) << "0x800000 was stored as the clip high";
}

TEST_F(WaveWrite, AnExistingFileOfAnotherShapeIsRefusedUnlessOverwritten) {
  WaveFormat format = MakePcmFormat(2, 44100, 16);
  ASSERT_EQ(stream.Create(folder.File("a.wav"), format, kCreateOverwrite), kStreamOk);
  ASSERT_EQ(stream.WriteSilenceAndClose(0.5), 1);

  WaveFormat other = MakePcmFormat(2, 22050, 16);
  EXPECT_EQ(stream.Create(folder.File("a.wav"), other, kCreateInPlace), kStreamBadFormat);
  EXPECT_FALSE(stream.IsFileOpen());
  EXPECT_EQ(stream.Create(folder.File("a.wav"), other, kCreateOverwrite), kStreamOk);
  stream.Close();
  ASSERT_EQ(stream.Open(folder.File("a.wav"), kOpenRead), kStreamOk);
  EXPECT_EQ(stream.Format().sampleRate, 22050u);
  EXPECT_EQ(stream.DataBytes(), 0u);

  // Only channels and rate must agree: the file's own width wins and the caller sees it.
  WaveFormat wider = MakePcmFormat(2, 22050, 24);
  EXPECT_EQ(stream.Create(folder.File("a.wav"), wider, kCreateInPlace), kStreamOk);
  EXPECT_EQ(wider.bitsPerSample, 16);
}

TEST_F(WaveWrite, AppendAddsAfterTheDataAndInPlaceOverwritesItsStart) {
  test::WriteBytes(folder.File("a.wav"),
                   WaveBytes().Format(1, 1, 8000, 16).Data(Samples16({1, 2, 3})).Chunk("LIST", {'a', 'b'}).Build());
  WaveFormat format = MakePcmFormat(1, 8000, 16);
  ASSERT_EQ(stream.Create(folder.File("a.wav"), format, kCreateInPlace), kStreamOk);
  stream.SetMode(kModeFile);
  ASSERT_EQ(stream.PrepareWriteBuffer(), 0);
  stream.WriteSample(9 * 256);
  ASSERT_EQ(stream.FinishWrite(kFlagDirty, kFlagDirty), 0);
  stream.Close();
  ASSERT_EQ(stream.Open(folder.File("a.wav"), kOpenRead), kStreamOk);
  ASSERT_EQ(stream.ReadValues(8), 6);
  EXPECT_EQ(std::vector<SampleValue>(stream.Begin(), stream.End()), (std::vector<SampleValue>{9 * 256, 2 * 256, 3 * 256}));
  EXPECT_EQ(stream.Layout().chunkCount, 3u) << "the LIST after the data is kept";

  ASSERT_EQ(stream.Create(folder.File("a.wav"), format, kCreateAppend), kStreamOk);
  stream.SetMode(kModeFile);
  ASSERT_EQ(stream.PrepareWriteBuffer(), 0);
  for (int v : {4, 5}) stream.WriteSample(v * 256);
  ASSERT_EQ(stream.FinishWrite(kFlagDirty, kFlagDirty), 0);
  stream.Close();
  ASSERT_EQ(stream.Open(folder.File("a.wav"), kOpenRead), kStreamOk);
  ASSERT_EQ(stream.ReadValues(8), 10);
  EXPECT_EQ(stream.End()[-1], 5 * 256);
}

TEST_F(WaveWrite, SilenceIsMidScaleForEightBitsAndAMemoryFileHoldsAWholeWave) {
  WaveFormat format = MakePcmFormat(1, 8000, 8);
  ASSERT_EQ(stream.Create(folder.File("s.wav"), format, kCreateOverwrite), kStreamOk);
  ASSERT_EQ(stream.WriteSilenceAndClose(0.125), 1);
  const std::vector<uint8_t> bytes = test::ReadBytes(folder.File("s.wav"));
  ASSERT_EQ(bytes.size(), 44u + 1000);
  EXPECT_EQ(bytes[44], 0x80);
  EXPECT_EQ(bytes.back(), 0x80);

  WaveFormat stereo = MakePcmFormat(2, 44100, 24);
  ASSERT_EQ(stream.Create("", stereo, kCreateOverwrite), kStreamOk);
  stream.SetMode(kModeFile);
  ASSERT_EQ(stream.PrepareWriteBuffer(), 0);
  for (int i = 0; i < 100000; ++i) stream.WriteSample(-1);
  ASSERT_EQ(stream.FinishWrite(kFlagDirty, kFlagDirty), 0);
  const std::span<const uint8_t> memory = stream.MemoryFile();
  ASSERT_EQ(memory.size(), 44u + 300000) << "the bytes written, not the room";
  EXPECT_EQ(memory[40] | memory[41] << 8 | memory[42] << 16, 300000);
  EXPECT_EQ(memory[44 + 299999], 0xFF);
}

// The device engine's side of the hand-over, recording what reached it.
struct Device {
  static int Take(void* context, WaveStream& stream) {
    auto* device = static_cast<Device*>(context);
    device->blocks.emplace_back(stream.Begin(), stream.End());
    return device->accept;
  }
  std::vector<std::vector<SampleValue>> blocks;
  int accept = 1;
};

TEST_F(WaveWrite, DeviceModesHandOverFullBlocksAndAFailedHandOverStops) {
  WaveStream output(4, 4, run);
  output.SetMode(kModeDevice);
  EXPECT_EQ(output.WriteSample(1), 1);
  for (SampleValue v = 2; v <= 4; ++v) output.WriteSample(v);
  EXPECT_EQ(output.WriteSample(5), 0) << "no device engine to take the block";

  Device device;
  output.SetDeviceHandOver(&Device::Take, &device);
  for (SampleValue v = 5; v <= 9; ++v) ASSERT_EQ(output.WriteSample(v), 1);
  ASSERT_EQ(device.blocks.size(), 2u);
  EXPECT_EQ(device.blocks[0], (std::vector<SampleValue>{1, 2, 3, 4})) << "the refused block is kept";
  EXPECT_EQ(device.blocks[1], (std::vector<SampleValue>{5, 6, 7, 8}));
  device.accept = 0;
  for (SampleValue v = 10; v <= 12; ++v) output.WriteSample(v);
  EXPECT_EQ(output.WriteSample(13), 0);

  run.stopRequested = 1;
  const SampleValue* end = output.End();
  EXPECT_EQ(output.WriteSample(14), 1) << "a stop request is returned as it stands";
  EXPECT_EQ(output.End(), end) << "and nothing is written";
}

TEST_F(WaveWrite, DeviceAndLogPacksIntoTheFileOnlyWhileLogging) {
  WaveStream output(4, 4, run);
  Device device;
  output.SetDeviceHandOver(&Device::Take, &device);
  WaveFormat format = MakePcmFormat(1, 8000, 16);
  ASSERT_EQ(output.Create(folder.File("log.wav"), format, kCreateOverwrite), kStreamOk);
  output.SetMode(kModeDeviceAndLog);
  ASSERT_EQ(output.PrepareWriteBuffer(), 0);
  run.logToFile = 1;
  for (SampleValue v = 1; v <= 4; ++v) output.WriteSample(v * 256);
  run.logToFile = 0;
  for (SampleValue v = 5; v <= 8; ++v) output.WriteSample(v * 256);
  output.WriteSample(0);
  ASSERT_EQ(output.FinishWrite(kFlagDirty, kFlagDirty), 0);
  output.Close();
  ASSERT_EQ(device.blocks.size(), 2u);
  EXPECT_EQ(device.blocks[1][3], 8 * 256);
  ASSERT_EQ(stream.Open(folder.File("log.wav"), kOpenRead), kStreamOk);
  EXPECT_EQ(stream.DataBytes(), 8u);
}

TEST_F(WaveWrite, AStoppedLogEndsAfterAWholeBlock) {
  // A stop comes while the device waits for a free buffer: the block is refused, or taken
  // with the stop raised meanwhile. Either way the value after the block is not logged.
  struct StoppingDevice {
    static int Take(void* context, WaveStream&) {
      auto* device = static_cast<StoppingDevice*>(context);
      device->run->stopRequested = 1;
      return device->accept;
    }
    RunState* run;
    int accept;
  };
  for (const int accept : {0, 1}) {
    SCOPED_TRACE(accept ? "taken" : "refused");
    run.stopRequested = 0;
    WaveStream output(4, 4, run);
    StoppingDevice device{&run, accept};
    output.SetDeviceHandOver(&StoppingDevice::Take, &device);
    WaveFormat format = MakePcmFormat(2, 8000, 16);
    ASSERT_EQ(output.Create(folder.File("log.wav"), format, kCreateOverwrite), kStreamOk);
    output.SetMode(kModeDeviceAndLog);
    ASSERT_EQ(output.PrepareWriteBuffer(), 0);
    run.logToFile = 1;
    for (SampleValue v = 1; v <= 4; ++v) ASSERT_EQ(output.WriteSample(v * 256), 1);
    EXPECT_EQ(output.WriteSample(5 * 256), 0);
    ASSERT_EQ(output.FinishWrite(kFlagDirty, kFlagDirty), 0);
    output.Close();
    ASSERT_EQ(stream.Open(folder.File("log.wav"), kOpenRead), kStreamOk);
    EXPECT_EQ(stream.DataBytes(), 8u) << "two whole frames, not the left half of a third";
    stream.Close();
  }
}

TEST_F(WaveWrite, TwentyBitFilesAreReadAndWrittenAsThreeByteData) {
  test::WriteBytes(folder.File("20.wav"), WaveBytes().Format(1, 1, 96000, 20).Data({0xFF, 0xFF, 0xFF, 0x12, 0x34, 0x56}).Build());
  ASSERT_EQ(stream.Open(folder.File("20.wav"), kOpenRead), kStreamOk);
  ASSERT_EQ(stream.ReadValues(2), 6);
  EXPECT_EQ(stream.Begin()[0], -1);
  EXPECT_EQ(stream.Begin()[1], 0x563412);
  WaveFormat format = MakePcmFormat(1, 96000, 20);
  ASSERT_EQ(stream.Create(folder.File("20out.wav"), format, kCreateOverwrite), kStreamOk);
  EXPECT_EQ(format.blockAlign, 3);
  stream.SetMode(kModeFile);
  stream.PrepareWriteBuffer();
  stream.WriteSample(0x0FFFFF);
  stream.FinishWrite(kFlagDirty, kFlagDirty);
  stream.Close();
  const auto bytes = test::ReadBytes(folder.File("20out.wav"));
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()), (std::vector<uint8_t>{0xFF, 0xFF, 0x0F, 0x00}))
      << "three data bytes and the pad byte";
}

}  // namespace
}  // namespace ztlive

namespace ztlive {
namespace {

// The operating system refuses writes past a size limit, as a full disk would.
TEST(WaveWriteFailure, ARefusedWriteStopsTheWriterAndLeavesAValidFile) {
  TestFolder folder;
  const std::string path = folder.File("full.wav");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100001, 100001};
    setrlimit(RLIMIT_FSIZE, &limit);
    RunState run;
    WaveStream stream(4096, 4096, run);
    WaveFormat format = MakePcmFormat(2, 44100, 16);
    if (stream.Create(path, format, kCreateOverwrite) != kStreamOk) _exit(2);
    stream.SetMode(kModeFile);
    stream.PrepareWriteBuffer();
    int result = 1;
    for (int i = 0; i < 100000 && result == 1; ++i) result = stream.WriteSample(i);
    stream.FinishWrite(kFlagDirty, kFlagDirty);
    stream.Close();
    _exit(result == 0 ? 0 : 3);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "WriteSample must report the refused write";

  RunState run;
  WaveStream stream(4096, 4096, run);
  ASSERT_EQ(stream.Open(path, kOpenRead), kStreamOk);
  const auto size = test::ReadBytes(path).size();
  EXPECT_EQ(stream.DataBytes() + 44, size) << "the header matches the data on disk";
  EXPECT_GT(stream.DataBytes(), 90000u);
  EXPECT_EQ(stream.DataBytes() % 4, 0u) << "whole frames";
}

// The input device's side of live input: it fills the block when its message comes.
class FakeInputDevice : public MessageHandler {
 public:
  explicit FakeInputDevice(WaveStream& stream) : m_stream(stream) {}
  void OnMessage(const Message& message) override {
    for (int i = 0; i < message.value && m_stream.End() < m_stream.Limit(); ++i) {
      *m_stream.End() = static_cast<SampleValue>(i);
      m_stream.SetEnd(m_stream.End() + 1);
    }
  }

 private:
  WaveStream& m_stream;
};

TEST(WaveLiveInput, ReadBlockWaitsWhileMessagesFillTheBlockAndEndsOnAStop) {
  RunState run;
  run.liveInput = 1;
  run.regionEnd = 0xFFFFFFFF;
  WaveStream input(64, 64, run);
  MessageQueue queue;
  FakeInputDevice device(input);
  const uint32_t target = queue.Register(&device);
  input.SetMessageQueue(&queue);

  std::thread recorder([&] {
    for (int i = 0; i < 4; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      queue.Post({target, 1, 0, 16});
    }
  });
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  EXPECT_EQ(input.ReadBlock(0, 0, &first, &last), 0);
  recorder.join();
  EXPECT_EQ(last - first, 64);
  EXPECT_EQ(first[17], 1);
  EXPECT_EQ(run.readPosition, 64u);

  run.stopRequested = 1;
  EXPECT_EQ(input.ReadBlock(0, 0, &first, &last), 1);
}

TEST(WaveWriteWord, StoresRawWordsInAFileAndInTheBlock) {
  TestFolder folder;
  RunState run;
  WaveStream stream(8, 8, run);
  WaveFormat format = MakePcmFormat(1, 8000, 16);
  ASSERT_EQ(stream.Create(folder.File("w.wav"), format, kCreateOverwrite), kStreamOk);
  stream.SetMode(kModeFile);
  ASSERT_EQ(stream.PrepareWriteBuffer(), 0);
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(stream.WriteWord(static_cast<int16_t>(-i)), 1);
  ASSERT_EQ(stream.FinishWrite(kFlagDirty, kFlagDirty), 0);
  stream.Close();
  const auto bytes = test::ReadBytes(folder.File("w.wav"));
  ASSERT_EQ(bytes.size(), 44u + 10000);
  EXPECT_EQ(bytes[44 + 2 * 4999] | bytes[45 + 2 * 4999] << 8, 0x10000 - 4999);

  WaveStream memory(8, 8, run);
  memory.WriteWord(-5);
  EXPECT_EQ(memory.Begin()[0], -5);
}

TEST(StreamErrorReport, ShowsTheTextInAFileErrorWarningAndNothingForSuccess) {
  ScriptedPrompts prompts;
  ReportStreamError(prompts, kStreamOk);
  EXPECT_TRUE(prompts.Entries().empty());
  ReportStreamError(prompts, kStreamBadFormat);
  ReportStreamError(prompts, 999);
  ASSERT_EQ(prompts.Entries().size(), 2u);
  EXPECT_EQ(prompts.Entries()[0].text, "ERROR: The wavefile contains a format is not supported by ZA-nto.");
  EXPECT_EQ(prompts.Entries()[0].caption, "File Error");
  EXPECT_EQ(prompts.Entries()[0].icon, PromptIcon::Warning);
  EXPECT_EQ(prompts.Entries()[1].text,
            "ERROR: Could not open the specified file. An error occured while accessing the file.");
  EXPECT_EQ(StreamErrorText(kStreamBadResolution),
            "ERROR: The wave file was recorded at a resolution that is not supported by ZA-nto. ZA-nto  supports "
            "files that have16 bit resolution.");
}

}  // namespace
}  // namespace ztlive
