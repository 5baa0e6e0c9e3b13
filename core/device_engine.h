// The device engine: moves samples between the program and the sound card on the main
// thread. It plays a byte range of a wave file, and plays what a filter run writes into the
// output stream (with a pre-roll before the device starts). The device reports finished
// buffers as messages on the queue; the waits dispatch messages, so the handlers run.
// (Recording and live input are still to come.)
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/run_state.h"
#include "core/wave_stream.h"
#include "platform/message_queue.h"
#include "platform/prompts.h"
#include "platform/wave_device.h"

namespace ztlive {

class DeviceEngine : public MessageHandler {
 public:
  static constexpr int kOutputBufferCount = 51;
  static constexpr int kInputBufferCount = 18;
  static constexpr int kValuesPerBuffer = 4096;

  struct Settings {
    unsigned outputDevice = 0;  // "DevOut"
    unsigned inputDevice = 0;   // "DevIn"
    int preRollBuffers = 7;     // "PreRollBuffs", held to 2 ... 51 for streamed output
  };

  // Gets a copy of every buffer the output device has played, with its format.
  using OutputObserver = std::function<void(const uint8_t* bytes, size_t length, const WaveDeviceFormat& format)>;

  // playStream: the output stream (file playback reads it, streamed output packs its block).
  // The engine becomes playStream's device hand-over.
  DeviceEngine(WaveSystem& devices, MessageQueue& queue, Prompts& prompts, RunState& run, WaveStream& playStream,
               Settings settings);
  ~DeviceEngine() override;
  DeviceEngine(const DeviceEngine&) = delete;
  DeviceEngine& operator=(const DeviceEngine&) = delete;

  void SetSettings(const Settings& settings) { m_settings = settings; }
  // While a filter run streams through the engine (its preview loops, its position is the run's).
  void SetFilterRunActive(bool active) { m_filterRun = active; }
  void AddOutputObserver(OutputObserver observer) { m_observers.push_back(std::move(observer)); }

  // Plays data bytes [from, to) of a file (to = 0 or beyond the data: to its end).
  int PlayFileRegion(const std::string& path, uint32_t from, uint32_t to);
  // Opens the output for blocks written into the play stream; length: the region's bytes.
  int OpenOutputForStream(const WaveDeviceFormat& format, uint32_t length);
  // Queues the play stream's block: 1 to go on, 0 to stop (final: the last block).
  int SubmitBlock(WaveStream& stream, bool final);
  void CloseOutput();
  int PauseOutput();
  int RestartOutput();

  // Bytes of the played file's data now heard.
  uint32_t PlayPosition();
  bool OutputOpen() const { return m_output != nullptr; }
  bool PlaybackDrained() const { return m_playbackDrained; }
  int PeakLeft() const { return m_peakLeft; }
  int PeakRight() const { return m_peakRight; }

  // The largest magnitude per channel of raw samples, in sample-value scale.
  void MeasurePeaks(const uint8_t* bytes, size_t length, const WaveDeviceFormat& format);

  void OnMessage(const Message& message) override;
  void OnOutputDone(uintptr_t handle, WaveHeader* header);

  static WaveDeviceFormat DeviceFormat(const WaveFormat& format);

 private:
  struct Buffer {
    WaveHeader header;
    std::vector<uint8_t> data;
    bool free = true;
  };

  int OpenOutputDevice(const WaveDeviceFormat& format);
  bool AllocateOutputBuffers(int bytesPerSample);
  void ReleaseOutputBuffers();
  // File playback: fills a buffer with the next raw bytes; the byte count, or -1.
  int64_t FillFromFile(Buffer& buffer);
  static int HandOver(void* context, WaveStream& stream);
  void ShowDeviceError(const std::string& text);

  WaveSystem& m_devices;
  MessageQueue& m_queue;
  Prompts& m_prompts;
  RunState& m_run;
  WaveStream& m_playStream;
  Settings m_settings;
  uint32_t m_target = MessageQueue::kNoTarget;
  std::vector<OutputObserver> m_observers;

  std::unique_ptr<WaveOut> m_output;
  WaveDeviceFormat m_outputFormat;
  std::array<Buffer, kOutputBufferCount> m_outputBuffers;
  int m_bytesPerSample = 2;
  int m_preRollCount = 7;
  int m_submittedCount = 0;
  bool m_deviceStarted = false;
  int m_fillIndex = 0;
  uint32_t m_playFrom = 0;
  uint32_t m_playTo = 0;
  uint32_t m_bytesQueued = 0;
  bool m_streaming = false;  // streamed output rather than file playback
  bool m_filterRun = false;
  bool m_playbackDrained = false;
  int m_peakLeft = 0;
  int m_peakRight = 0;
};

}  // namespace ztlive
