// The device engine: moves samples between the program and the sound card on the main
// thread. It plays a byte range of a wave file, and plays what a filter run writes into the
// output stream (with a pre-roll before the device starts). The device reports finished
// buffers as messages on the queue; the waits dispatch messages, so the handlers run. It also
// records from the input device into a file or, for live input, into the input stream's
// block: recorded buffers wait in order until the input stream's ReadBlock takes them, so a
// filter never sees its block change under it. Buffers wait only while a live run plays (its
// output is open); before that live input only feeds the meters, and a run starts with the
// input that arrives after its output opened, so waiting input never adds to its delay.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
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
  static constexpr int kSmallestLiveBlock = 256;

  struct Settings {
    unsigned outputDevice = 0;  // "DevOut"
    unsigned inputDevice = 0;   // "DevIn"
    int preRollBuffers = 7;     // "PreRollBuffs", held to 2 ... 51 for streamed output
    // "LiveBlockSize": values per input buffer, input block and play buffer of live runs
    // (the pre-roll counts these buffers); held to an allowed size when used.
    int liveBlockValues = kValuesPerBuffer;
  };

  // The allowed live block size nearest to a stored one: a power of two from 256 to 4096
  // values (halfway between two, the larger).
  static int LiveBlockValues(int stored);

  // Gets a copy of every buffer the output device has played, with its format.
  using OutputObserver = std::function<void(const uint8_t* bytes, size_t length, const WaveDeviceFormat& format)>;

  // playStream: the output stream (file playback reads it, streamed output packs its block);
  // recordStream: the input stream (recording writes its file, live input fills its block).
  DeviceEngine(WaveSystem& devices, MessageQueue& queue, Prompts& prompts, RunState& run, WaveStream& playStream,
               WaveStream& recordStream, Settings settings);
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

  // Opens the input: records into path (made with createMode), or with live input into the
  // record stream's block. 0, 1 when the file cannot be made, or the device's error.
  int OpenInput(const std::string& path, const WaveFormat& format, int createMode);
  void CloseInput();
  bool InputOpen() const { return m_input != nullptr; }
  // Bytes the input device has recorded; 0 when it is closed.
  uint32_t RecordPosition();
  // Bytes recorded into the file or the block so far.
  uint32_t BytesRecorded() const { return m_bytesRecorded; }
  void OnInputData(uintptr_t handle, WaveHeader* header);

  // Bytes of the played file's data now heard.
  uint32_t PlayPosition();
  bool OutputOpen() const { return m_output != nullptr; }
  // Checks that the output device still plays. One that stopped by itself would never hand
  // its buffers back, and everything waiting for them would wait for ever: the engine says
  // so, closes the output and requests a stop. False when the device was lost.
  bool CheckOutput();
  // Handles one message (waiting up to timeoutMs for it), then checks the output: the wait
  // of everything that waits for playback.
  void AwaitOutput(int timeoutMs);
  // The last output opened was lost while it played (until the next open).
  bool OutputLost() const { return m_outputLost; }
  bool PlaybackDrained() const { return m_playbackDrained; }
  int PeakLeft() const { return m_peakLeft; }
  int PeakRight() const { return m_peakRight; }
  // The peaks of the last input buffer alone.
  int InputPeakLeft() const { return m_inputPeakLeft; }
  int InputPeakRight() const { return m_inputPeakRight; }

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
  static bool FillLiveBlock(void* context, WaveStream& stream);
  void RequeueInput(WaveHeader& header);
  // Gives the waiting live buffers back to the input device, unread.
  void DropWaitingInput();
  void ReleaseInputBuffers();
  void ShowDeviceError(const std::string& text);

  WaveSystem& m_devices;
  MessageQueue& m_queue;
  Prompts& m_prompts;
  RunState& m_run;
  WaveStream& m_playStream;
  WaveStream& m_recordStream;
  Settings m_settings;
  uint32_t m_target = MessageQueue::kNoTarget;
  std::vector<OutputObserver> m_observers;

  std::unique_ptr<WaveOut> m_output;
  WaveDeviceFormat m_outputFormat;
  std::array<Buffer, kOutputBufferCount> m_outputBuffers;
  int m_bytesPerSample = 2;
  int m_outputBlockValues = kValuesPerBuffer;  // values per play buffer of the open output
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
  bool m_outputLost = false;
  int m_peakLeft = 0;
  int m_inputPeakLeft = 0;
  int m_inputPeakRight = 0;
  int m_peakRight = 0;

  std::unique_ptr<WaveIn> m_input;
  WaveDeviceFormat m_inputFormat;
  int m_inputBlockValues = kValuesPerBuffer;  // values per input buffer of the open input
  std::array<Buffer, kInputBufferCount> m_inputBuffers;
  std::deque<WaveHeader*> m_liveBuffers;  // recorded, waiting for the input stream's ReadBlock
  bool m_liveRunPlaying = false;          // a live run's output is open: its input waits for it
  uint64_t m_inputBytesArrived = 0;       // bytes of the input buffers handled since the input opened
  uint64_t m_staleInputBytes = 0;         // recorded before the live run's output opened: dropped
  uint32_t m_bytesRecorded = 0;
};

}  // namespace ztlive
