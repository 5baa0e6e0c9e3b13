// The PortAudio sound card layer on a private JACK server (dummy driver, loopback ports):
// what an output plays on the loopback device is recorded from it again, so the tests check
// the real callbacks, buffer order, positions and the rate conversion end to end.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>

#include "platform/device_buffer_queue.h"
#include "platform/message_queue.h"
#include "platform/pcm_float.h"
#include "platform/portaudio_input.h"
#include "platform/portaudio_output.h"
#include "platform/portaudio_wave_system.h"
#include "testing/jack_test_server.h"
#include "testing/loopback_signal.h"

namespace ztlive {
namespace {

using test::JackTestServer;

struct Collector : MessageHandler {
  void OnMessage(const Message& message) override { messages.push_back(message); }
  std::deque<Message> messages;
};

struct Buffers {
  Buffers(size_t count, size_t bytes) : data(count, std::vector<uint8_t>(bytes)), headers(count) {
    for (size_t i = 0; i < count; ++i) {
      headers[i].data = data[i].data();
      headers[i].bufferLength = static_cast<uint32_t>(bytes);
      headers[i].user = static_cast<intptr_t>(i);
    }
  }
  std::vector<std::vector<uint8_t>> data;
  std::vector<WaveHeader> headers;
};

WaveDeviceFormat Format(uint16_t channels, uint32_t rate, uint16_t bits) {
  return {channels, rate, bits, static_cast<uint16_t>(channels * PcmSampleBytes(bits))};
}

std::vector<uint8_t> Chord(size_t frames, const WaveDeviceFormat& format) {
  const std::vector<float> values = test::ChordValues(frames, format.channels, format.sampleRate);
  std::vector<uint8_t> bytes(values.size() * PcmSampleBytes(format.bitsPerSample));
  FloatToPcm(values.data(), values.size(), PcmSampleBytes(format.bitsPerSample), bytes.data());
  return bytes;
}

std::vector<float> ToFloats(const std::vector<uint8_t>& bytes, int bits) {
  const int width = PcmSampleBytes(bits);
  std::vector<float> values(bytes.size() / width);
  PcmToFloat(bytes.data(), values.size(), width, values.data());
  return values;
}

// Plays `signal` on the loopback output and records the loopback input meanwhile; returns
// the recording. Checks the order, flags and handles of every returned buffer on the way.
class LoopbackTest : public ::testing::Test {
 protected:
  virtual int ServerRate() const { return 44100; }

  void SetUp() override {
    server = std::make_unique<JackTestServer>(ServerRate(), 512);
    if (!server->Running()) GTEST_SKIP() << "no JACK server for the sound card tests: " << server->FailureText();
    system = std::make_unique<PortAudioWaveSystem>();
    outputId = test::LoopbackDeviceId(system->OutputDeviceNames());
    inputId = test::LoopbackDeviceId(system->InputDeviceNames());
    ASSERT_GE(outputId, 0) << "the JACK loopback device is not listed among: " << test::JoinedNames(system->OutputDeviceNames());
    ASSERT_GE(inputId, 0);
    target = queue.Register(&collector);
  }

  std::vector<uint8_t> PlayAndRecord(const WaveDeviceFormat& format, const std::vector<uint8_t>& signal,
                                     size_t bufferBytes) {
    std::vector<uint8_t> recording;
    auto output = system->MakeOutput();
    auto input = system->MakeInput();
    Buffers inputBuffers(8, 4096);
    EXPECT_EQ(input->Open(static_cast<unsigned>(inputId), format, queue, target), kWaveOk);
    inputPlan = static_cast<PortAudioInput&>(*input).Plan();
    for (WaveHeader& header : inputBuffers.headers) {
      input->Prepare(header);
      EXPECT_EQ(input->Add(header), kWaveOk);
    }
    EXPECT_EQ(input->Start(), kWaveOk);

    const size_t count = (signal.size() + bufferBytes - 1) / bufferBytes;
    Buffers outputBuffers(count, bufferBytes);
    EXPECT_EQ(output->Open(static_cast<unsigned>(outputId), format, queue, target), kWaveOk);
    outputPlan = static_cast<PortAudioOutput&>(*output).Plan();
    for (size_t i = 0; i < count; ++i) {
      const size_t length = std::min(bufferBytes, signal.size() - i * bufferBytes);
      std::memcpy(outputBuffers.data[i].data(), signal.data() + i * bufferBytes, length);
      outputBuffers.headers[i].bufferLength = static_cast<uint32_t>(length);
      output->Prepare(outputBuffers.headers[i]);
      EXPECT_EQ(output->Write(outputBuffers.headers[i]), kWaveOk);
    }
    EXPECT_EQ(output->Close(), kWaveStillPlaying) << "close must be refused while buffers are queued";

    size_t returned = 0;
    uint64_t lastPosition = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto stopRecording = std::chrono::steady_clock::time_point::max();
    while (std::chrono::steady_clock::now() < std::min(deadline, stopRecording)) {
      queue.DispatchOne(20);
      while (!collector.messages.empty()) {
        const Message message = collector.messages.front();
        collector.messages.pop_front();
        auto* header = reinterpret_cast<WaveHeader*>(message.param);
        EXPECT_TRUE(header->flags & kWaveHeaderDone);
        EXPECT_FALSE(header->flags & kWaveHeaderInQueue);
        if (message.id == kWaveOutDone) {
          EXPECT_EQ(static_cast<uintptr_t>(message.value), output->Handle());
          EXPECT_EQ(header, &outputBuffers.headers[returned]) << "output buffers come back in order";
          ++returned;
          uint64_t position = 0;
          EXPECT_EQ(output->Position(position), kWaveOk);
          EXPECT_GE(position, lastPosition);
          lastPosition = position;
          if (returned == count) stopRecording = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        } else {
          EXPECT_EQ(message.id, static_cast<uint32_t>(kWaveInData));
          EXPECT_EQ(static_cast<uintptr_t>(message.value), input->Handle());
          recording.insert(recording.end(), header->data, header->data + header->bytesRecorded);
          EXPECT_EQ(input->Add(*header), kWaveOk);
        }
      }
    }
    EXPECT_EQ(returned, count) << "every output buffer must come back";
    EXPECT_EQ(lastPosition, signal.size());
    EXPECT_EQ(output->Close(), kWaveOk);
    EXPECT_EQ(input->Stop(), kWaveOk);
    EXPECT_EQ(input->Reset(), kWaveOk);
    queue.DispatchPending();
    for (const Message& message : collector.messages) {
      auto* header = reinterpret_cast<WaveHeader*>(message.param);
      recording.insert(recording.end(), header->data, header->data + header->bytesRecorded);
    }
    collector.messages.clear();
    EXPECT_EQ(input->Close(), kWaveOk);
    return recording;
  }

  std::unique_ptr<JackTestServer> server;
  std::unique_ptr<PortAudioWaveSystem> system;  // after the server: PortAudio finds JACK at its start
  MessageQueue queue;
  Collector collector;
  uint32_t target = 0;
  int outputId = -1;
  int inputId = -1;
  StreamPlan outputPlan;
  StreamPlan inputPlan;
};

class ConvertedLoopbackTest : public LoopbackTest {
 protected:
  int ServerRate() const override { return 48000; }
};

TEST_F(LoopbackTest, WhatIsPlayedInTheFilesFormatIsRecordedAgain) {
  for (const WaveDeviceFormat format : {Format(2, 44100, 16), Format(1, 44100, 24), Format(2, 44100, 8)}) {
    SCOPED_TRACE(format.bitsPerSample);
    const std::vector<uint8_t> signal = Chord(22050, format);
    const std::vector<uint8_t> recording = PlayAndRecord(format, signal, 8192);
    EXPECT_FALSE(outputPlan.converted) << "the device offers the file's format";
    EXPECT_FALSE(inputPlan.converted);
    const std::vector<float> played = ToFloats(signal, format.bitsPerSample);
    const std::vector<float> recorded = ToFloats(recording, format.bitsPerSample);
    const long lag = test::FindLag(recorded, played, 10000, 2000, format.channels);
    ASSERT_GE(lag, 0) << "the played signal is not in the recording";
    ASSERT_LE(static_cast<size_t>(lag) + played.size(), recorded.size());
    // Through the server's floats a sample may move by one step (a 32767/32768 scale).
    const double step = std::ldexp(1.0, 1 - PcmSampleBytes(format.bitsPerSample) * 8);
    EXPECT_LE(test::WorstDifference(recorded, played, lag), 1.01 * step);
  }
  EXPECT_EQ(system->UnderrunFrames(), 0u) << "every buffer was queued before the first one ended";
  EXPECT_EQ(system->OverrunFrames(), 0u);
}

TEST_F(ConvertedLoopbackTest, AFileRateTheDeviceLacksIsConvertedBothWays) {
  const WaveDeviceFormat format = Format(2, 44100, 16);
  const std::vector<uint8_t> signal = Chord(44100, format);
  const std::vector<uint8_t> recording = PlayAndRecord(format, signal, 16384);
  EXPECT_TRUE(outputPlan.converted);
  EXPECT_EQ(outputPlan.deviceRate, 48000);
  EXPECT_TRUE(inputPlan.converted);
  EXPECT_EQ(inputPlan.deviceRate, 48000);
  const std::vector<float> played = ToFloats(signal, 16);
  const std::vector<float> recorded = ToFloats(recording, 16);
  // The recording is in the file's rate: about as long as the time it ran, and the signal
  // is in it at the file's pitch (a wrong rate would leave a large error).
  const long lag = test::FindLag(recorded, played, 20000, 4000, 2);
  ASSERT_GE(lag, 0);
  ASSERT_LE(static_cast<size_t>(lag) + played.size(), recorded.size());
  // The loop's delay is whole frames of the device's rate, a fraction of a file frame: find it.
  const double bestLag = test::FitFractionalLag(recorded, played, 2, lag / 2.0, 10000, 11000);
  EXPECT_LT(test::ErrorDb(recorded, played, 2, bestLag, 1000, 43000), -70) << "two conversions must stay inaudible";
}

// Dispatches until `count` messages have arrived or `ms` have passed.
void WaitForMessages(MessageQueue& queue, Collector& collector, size_t count, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (collector.messages.size() < count && std::chrono::steady_clock::now() < deadline) queue.DispatchOne(10);
}

TEST_F(LoopbackTest, PauseHoldsThePositionResetReturnsEverythingAndGapsAreUnderruns) {
  const WaveDeviceFormat format = Format(2, 44100, 16);
  auto output = system->MakeOutput();
  ASSERT_EQ(output->Open(static_cast<unsigned>(outputId), format, queue, target), kWaveOk);
  Buffers buffers(6, 4 * 2205);  // 50 ms each
  for (WaveHeader& header : buffers.headers) ASSERT_EQ(output->Prepare(header), kWaveOk);

  // Paused, nothing is taken; restarted, the first buffer plays and comes back.
  ASSERT_EQ(output->Pause(), kWaveOk);
  ASSERT_EQ(output->Write(buffers.headers[0]), kWaveOk);
  WaitForMessages(queue, collector, 1, 150);
  uint64_t position = 1;
  ASSERT_EQ(output->Position(position), kWaveOk);
  EXPECT_EQ(position, 0u);
  EXPECT_TRUE(collector.messages.empty());
  ASSERT_EQ(output->Restart(), kWaveOk);
  WaitForMessages(queue, collector, 1, 2000);
  ASSERT_EQ(collector.messages.size(), 1u);
  EXPECT_EQ(system->UnderrunFrames(), 0u) << "silence before the first buffer is no underrun";

  // A buffer that arrives after the last one ran out leaves a gap of silence: an underrun.
  WaitForMessages(queue, collector, 2, 100);
  ASSERT_EQ(output->Write(buffers.headers[1]), kWaveOk);
  WaitForMessages(queue, collector, 2, 2000);
  ASSERT_EQ(collector.messages.size(), 2u);
  EXPECT_GT(system->UnderrunFrames(), 0u);

  // Reset returns the queued buffers at once, in order, and starts the position again.
  collector.messages.clear();
  ASSERT_EQ(output->Pause(), kWaveOk);
  for (size_t i = 2; i < 6; ++i) ASSERT_EQ(output->Write(buffers.headers[i]), kWaveOk);
  EXPECT_EQ(output->Close(), kWaveStillPlaying);
  EXPECT_EQ(output->Unprepare(buffers.headers[2]), kWaveStillPlaying);
  ASSERT_EQ(output->Reset(), kWaveOk);
  ASSERT_EQ(output->Position(position), kWaveOk);
  EXPECT_EQ(position, 0u);
  queue.DispatchPending();
  ASSERT_EQ(collector.messages.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(reinterpret_cast<WaveHeader*>(collector.messages[i].param), &buffers.headers[i + 2]);
    EXPECT_TRUE(buffers.headers[i + 2].flags & kWaveHeaderDone);
  }
  EXPECT_EQ(output->Close(), kWaveOk);
  EXPECT_EQ(output->Handle(), 0u);
  EXPECT_EQ(output->Write(buffers.headers[0]), kWaveInvalidHandle);
}

TEST_F(LoopbackTest, BadDeviceIdsAndFormatsAreRefusedWithTexts) {
  auto output = system->MakeOutput();
  const int badId = output->Open(99, Format(2, 44100, 16), queue, target);
  EXPECT_EQ(badId, kWaveBadDeviceId);
  EXPECT_FALSE(output->ErrorText(badId).empty());
  EXPECT_EQ(output->Open(static_cast<unsigned>(outputId), Format(2, 44100, 12), queue, target), kWaveBadFormat);
  auto input = system->MakeInput();
  // The loopback ports are two: a third channel is the device's refusal, in PortAudio's words.
  WaveDeviceFormat wide = Format(2, 44100, 16);
  wide.channels = 3;
  wide.blockAlign = 6;
  EXPECT_EQ(input->Open(static_cast<unsigned>(inputId), wide, queue, target), kWaveBadFormat);
  EXPECT_EQ(input->Start(), kWaveInvalidHandle);
}

TEST(PcmFloat, EveryWidthRoundTripsAndClips) {
  for (const int bytes : {1, 2, 3, 4}) {
    SCOPED_TRACE(bytes);
    const double step = std::ldexp(1.0, 1 - bytes * 8);
    const std::vector<float> values = {0.0f, 0.5f, -0.5f, -1.0f, static_cast<float>(1 - step), 0.25f};
    std::vector<uint8_t> packed(values.size() * bytes);
    FloatToPcm(values.data(), values.size(), bytes, packed.data());
    std::vector<float> back(values.size());
    PcmToFloat(packed.data(), values.size(), bytes, back.data());
    for (size_t i = 0; i < values.size(); ++i) EXPECT_NEAR(back[i], values[i], bytes == 4 ? 1e-7 : 0) << i;
    const float loud[2] = {1.5f, -3.0f};
    uint8_t clipped[8];
    FloatToPcm(loud, 2, bytes, clipped);
    float clippedBack[2];
    PcmToFloat(clipped, 2, bytes, clippedBack);
    EXPECT_NEAR(clippedBack[0], 1 - step, bytes == 4 ? 1e-7 : 0);
    EXPECT_EQ(clippedBack[1], -1.0f);
  }
  const uint8_t eightBit[3] = {0x80, 0x00, 0xFF};
  float eight[3];
  PcmToFloat(eightBit, 3, 1, eight);
  EXPECT_EQ(eight[0], 0.0f) << "8-bit samples are unsigned around 128";
  EXPECT_EQ(eight[1], -1.0f);
  EXPECT_EQ(eight[2], 127.0f / 128);
  EXPECT_EQ(PcmSampleBytes(20), 3);
  EXPECT_EQ(PcmSilenceByte(8), 0x80);
}

TEST(DeviceBufferQueue, BuffersComeBackInOrderWhenUsedUpOrWithWhatTheyHold) {
  MessageQueue queue;
  Collector collector;
  DeviceBufferQueue buffers;
  buffers.Bind(&queue, queue.Register(&collector), kWaveInData, 77);
  Buffers storage(3, 6);
  for (WaveHeader& header : storage.headers) ASSERT_TRUE(buffers.Push(header));
  const uint8_t recorded[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(buffers.StoreIn(recorded, 8), 8u);
  EXPECT_EQ(buffers.BytesMoved(), 8u);
  buffers.ReturnPartialHead();
  buffers.ReturnPartialHead();  // nothing stored in the next one: it stays queued
  queue.DispatchPending();
  ASSERT_EQ(collector.messages.size(), 2u);
  EXPECT_EQ(storage.headers[0].bytesRecorded, 6u);
  EXPECT_EQ(storage.headers[1].bytesRecorded, 2u);
  EXPECT_EQ(storage.data[1][1], 8);
  EXPECT_EQ(collector.messages[1].value, 77);
  EXPECT_FALSE(buffers.Empty());
  buffers.ReturnAll();
  EXPECT_TRUE(buffers.Empty());

  // Output: bytes are taken across buffer ends; a full queue refuses another buffer.
  for (size_t i = 0; i < 3; ++i) std::fill(storage.data[i].begin(), storage.data[i].end(), static_cast<uint8_t>(i + 1));
  for (WaveHeader& header : storage.headers) ASSERT_TRUE(buffers.Push(header));
  buffers.ClearBytesMoved();
  uint8_t taken[20] = {};
  EXPECT_EQ(buffers.TakeOut(taken, 20), 18u);
  EXPECT_EQ(buffers.BytesMoved(), 18u) << "only the bytes really taken count";
  EXPECT_EQ(taken[5], 1);
  EXPECT_EQ(taken[6], 2);
  EXPECT_EQ(taken[17], 3);
  EXPECT_TRUE(buffers.Empty());
  WaveHeader spare;
  for (size_t i = 0; i < DeviceBufferQueue::kCapacity; ++i) ASSERT_TRUE(buffers.Push(spare));
  EXPECT_FALSE(buffers.Push(spare));
}

}  // namespace
}  // namespace ztlive
