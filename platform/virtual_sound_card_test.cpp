#include "platform/virtual_sound_card.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/message_queue.h"

namespace ztlive {
namespace {

// Collects the device messages as a window would receive them.
class Window : public MessageHandler {
 public:
  void OnMessage(const Message& message) override { messages.push_back(message); }
  std::vector<Message> messages;
};

WaveDeviceFormat Stereo16() { return {2, 44100, 16, 4}; }

struct Buffers {
  explicit Buffers(size_t count, uint32_t bytes) : storage(count, std::vector<uint8_t>(bytes)), headers(count) {
    for (size_t i = 0; i < count; ++i) {
      for (size_t b = 0; b < bytes; ++b) storage[i][b] = static_cast<uint8_t>(i * 16 + b % 16);
      headers[i].data = storage[i].data();
      headers[i].bufferLength = bytes;
      headers[i].user = static_cast<intptr_t>(i);
    }
  }
  std::vector<std::vector<uint8_t>> storage;
  std::vector<WaveHeader> headers;
};

class VirtualCard : public ::testing::Test {
 protected:
  VirtualSoundCard card{2, 1};
  MessageQueue queue;
  Window window;
  uint32_t target = queue.Register(&window);
};

TEST_F(VirtualCard, OutputBuffersPlayInOrderAndComeBackDoneAsMessages) {
  auto out = card.MakeOutput();
  ASSERT_EQ(out->Open(0, Stereo16(), queue, target), kWaveOk);
  Buffers buffers(3, 400);
  ASSERT_EQ(out->Pause(), kWaveOk);
  for (WaveHeader& header : buffers.headers) {
    ASSERT_EQ(out->Prepare(header), kWaveOk);
    ASSERT_EQ(out->Write(header), kWaveOk);
  }
  card.Advance(1000);
  EXPECT_EQ(queue.DispatchPending(), 0u) << "paused: nothing plays";
  ASSERT_EQ(out->Restart(), kWaveOk);
  card.Advance(150);  // 600 bytes: the first buffer and half the second
  queue.DispatchPending();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].id, kWaveOutDone);
  EXPECT_EQ(window.messages[0].param, reinterpret_cast<uintptr_t>(&buffers.headers[0]));
  EXPECT_EQ(static_cast<uintptr_t>(window.messages[0].value), out->Handle());
  EXPECT_TRUE(buffers.headers[0].flags & kWaveHeaderDone);
  EXPECT_FALSE(buffers.headers[0].flags & kWaveHeaderInQueue);
  uint64_t position = 0;
  ASSERT_EQ(out->Position(position), kWaveOk);
  EXPECT_EQ(position, 600u);
  EXPECT_EQ(out->Unprepare(buffers.headers[1]), kWaveStillPlaying);

  card.Advance(200);
  queue.DispatchPending();
  ASSERT_EQ(window.messages.size(), 3u);
  EXPECT_EQ(window.messages[2].param, reinterpret_cast<uintptr_t>(&buffers.headers[2]));
  EXPECT_EQ(card.UnderrunFrames(), 50u);
  std::vector<uint8_t> written;
  for (const auto& storage : buffers.storage) written.insert(written.end(), storage.begin(), storage.end());
  EXPECT_EQ(card.Played(), written);
  EXPECT_EQ(out->Close(), kWaveOk);
  EXPECT_EQ(out->Handle(), 0u);
}

TEST_F(VirtualCard, ResetReturnsEveryQueuedBufferAndCloseWaitsForIt) {
  auto out = card.MakeOutput();
  ASSERT_EQ(out->Open(1, Stereo16(), queue, target), kWaveOk);
  Buffers buffers(4, 256);
  for (WaveHeader& header : buffers.headers) {
    out->Prepare(header);
    out->Write(header);
  }
  card.Advance(10);
  EXPECT_EQ(out->Close(), kWaveStillPlaying);
  ASSERT_EQ(out->Reset(), kWaveOk);
  queue.DispatchPending();
  ASSERT_EQ(window.messages.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(window.messages[i].param, reinterpret_cast<uintptr_t>(&buffers.headers[i]));
  uint64_t position = 1;
  out->Position(position);
  EXPECT_EQ(position, 0u);
  EXPECT_EQ(out->Close(), kWaveOk);
}

TEST_F(VirtualCard, OpenRefusesUnknownDevicesFormatsAndRates) {
  auto out = card.MakeOutput();
  EXPECT_EQ(out->Open(2, Stereo16(), queue, target), kWaveBadDeviceId);
  EXPECT_EQ(out->Open(0, {3, 44100, 16, 6}, queue, target), kWaveBadFormat);
  EXPECT_EQ(out->Open(0, {2, 44100, 12, 4}, queue, target), kWaveBadFormat);
  card.RefuseSampleRate(22050);
  EXPECT_EQ(out->Open(0, {2, 22050, 16, 4}, queue, target), kWaveBadFormat);
  WaveHeader unprepared;
  std::vector<uint8_t> bytes(16);
  unprepared.data = bytes.data();
  unprepared.bufferLength = 16;
  EXPECT_EQ(out->Write(unprepared), kWaveInvalidHandle);
  ASSERT_EQ(out->Open(0, Stereo16(), queue, target), kWaveOk);
  EXPECT_EQ(out->Open(0, Stereo16(), queue, target), kWaveError) << "already open";
  EXPECT_EQ(out->Write(unprepared), kWaveUnprepared);
  EXPECT_EQ(card.OutputDeviceNames(), (std::vector<std::string>{"Virtual Output 1", "Virtual Output 2"}));
  EXPECT_EQ(out->ErrorText(kWaveBadFormat), "The device does not support this format.");
}

TEST_F(VirtualCard, InputBuffersFillFromTheSignalInOrderAndStopReturnsThePartOne) {
  card.SetInputSignal([](uint64_t offset) { return static_cast<uint8_t>(offset * 3); });
  auto in = card.MakeInput();
  ASSERT_EQ(in->Open(0, Stereo16(), queue, target), kWaveOk);
  Buffers buffers(2, 100);
  for (WaveHeader& header : buffers.headers) {
    ASSERT_EQ(in->Prepare(header), kWaveOk);
    ASSERT_EQ(in->Add(header), kWaveOk);
  }
  card.Advance(100);
  EXPECT_EQ(queue.DispatchPending(), 0u) << "not started";
  ASSERT_EQ(in->Start(), kWaveOk);
  card.Advance(30);  // 120 bytes: the first buffer and 20 bytes of the second
  queue.DispatchPending();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].id, kWaveInData);
  EXPECT_EQ(buffers.headers[0].bytesRecorded, 100u);
  EXPECT_EQ(buffers.storage[0][99], static_cast<uint8_t>(99 * 3));
  ASSERT_EQ(in->Stop(), kWaveOk);
  queue.DispatchPending();
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(buffers.headers[1].bytesRecorded, 20u);
  EXPECT_EQ(buffers.storage[1][0], static_cast<uint8_t>(100 * 3));
  uint64_t position = 0;
  in->Position(position);
  EXPECT_EQ(position, 120u);
  card.Advance(10);
  EXPECT_EQ(card.OverrunFrames(), 0u) << "stopped: nothing recorded";
  ASSERT_EQ(in->Start(), kWaveOk);
  card.Advance(10);
  EXPECT_EQ(card.OverrunFrames(), 10u) << "no buffer queued";
  EXPECT_EQ(in->Close(), kWaveOk);
}

}  // namespace
}  // namespace ztlive
