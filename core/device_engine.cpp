#include "core/device_engine.h"

#include <algorithm>

#include "platform/string_table.h"

namespace ztlive {

int DeviceEngine::LiveBlockValues(int stored) {
  int allowed = kSmallestLiveBlock;
  while (allowed < kValuesPerBuffer && int64_t{stored} - allowed >= 2 * allowed - int64_t{stored}) allowed *= 2;
  return allowed;
}

WaveDeviceFormat DeviceEngine::DeviceFormat(const WaveFormat& format) {
  return {format.channels, format.sampleRate, format.bitsPerSample, format.blockAlign};
}

DeviceEngine::DeviceEngine(WaveSystem& devices, MessageQueue& queue, Prompts& prompts, RunState& run,
                           WaveStream& playStream, WaveStream& recordStream, Settings settings)
    : m_devices(devices), m_queue(queue), m_prompts(prompts), m_run(run), m_playStream(playStream),
      m_recordStream(recordStream), m_settings(settings) {
  m_target = m_queue.Register(this);
  m_playStream.SetDeviceHandOver(&DeviceEngine::HandOver, this);
  m_recordStream.SetLiveFill(&DeviceEngine::FillLiveBlock, this);
  m_recordStream.SetMessageQueue(&m_queue);
}

DeviceEngine::~DeviceEngine() {
  CloseOutput();
  CloseInput();
  m_playStream.SetDeviceHandOver(nullptr, nullptr);
  m_recordStream.SetLiveFill(nullptr, nullptr);
  m_queue.Unregister(m_target);
}

int DeviceEngine::HandOver(void* context, WaveStream& stream) {
  return static_cast<DeviceEngine*>(context)->SubmitBlock(stream, false);
}

void DeviceEngine::ShowDeviceError(const std::string& text) {
  m_prompts.Show(text.substr(0, 128), StringText(StringId::kCaptionWaveOpenDevice), PromptIcon::Error);
}

int DeviceEngine::OpenOutputDevice(const WaveDeviceFormat& format) {
  std::unique_ptr<WaveOut> output = m_devices.MakeOutput();
  const int result = output->Open(m_settings.outputDevice, format, m_queue, m_target);
  if (result != kWaveOk) {
    ShowDeviceError(output->ErrorText(result));
    return result;
  }
  m_output = std::move(output);
  m_outputLost = false;
  m_outputFormat = format;
  m_bytesPerSample = std::max(1, (format.bitsPerSample + 7) / 8);
  m_playbackDrained = false;
  return kWaveOk;
}

bool DeviceEngine::AllocateOutputBuffers(int bytesPerSample) {
  try {
    for (int i = 0; i < kOutputBufferCount; ++i) {
      Buffer& buffer = m_outputBuffers[static_cast<size_t>(i)];
      buffer.data.assign(16384 * static_cast<size_t>(bytesPerSample), 0);
      buffer.header = WaveHeader();
      buffer.header.data = buffer.data.data();
      buffer.header.bufferLength = static_cast<uint32_t>(kValuesPerBuffer * bytesPerSample);
      buffer.header.user = -1;
      buffer.free = true;
    }
  } catch (const std::bad_alloc&) {
    ReleaseOutputBuffers();
    return false;
  }
  return true;
}

void DeviceEngine::ReleaseOutputBuffers() {
  for (Buffer& buffer : m_outputBuffers) {
    if (m_output != nullptr && (buffer.header.flags & kWaveHeaderPrepared)) m_output->Unprepare(buffer.header);
    buffer.data = std::vector<uint8_t>();
    buffer.header = WaveHeader();
    buffer.header.user = -1;
    buffer.free = true;
  }
}

int64_t DeviceEngine::FillFromFile(Buffer& buffer) {
  const uint32_t wanted = std::min<uint32_t>(static_cast<uint32_t>(kValuesPerBuffer * m_bytesPerSample), m_playTo - m_bytesQueued);
  const int64_t got = m_playStream.ReadRaw(buffer.data.data(), wanted);
  if (got > 0) buffer.header.bufferLength = static_cast<uint32_t>(got);
  return got == static_cast<int64_t>(wanted) ? got : (got < 0 ? -1 : 0);
}

int DeviceEngine::PlayFileRegion(const std::string& path, uint32_t from, uint32_t to) {
  if (path.empty()) {
    m_prompts.Show(StringText(StringId::kNullFileName), StringText(StringId::kCaptionErrorUpper), PromptIcon::Error);
    return 1;
  }
  CloseOutput();
  if (const int result = m_playStream.Open(path, kOpenRead); result != kStreamOk) {
    ReportStreamError(m_prompts, result);
    return result;
  }
  m_playStream.AlignPositions(&from, &to);
  const auto length = static_cast<uint32_t>(m_playStream.DataBytes() - m_playStream.DataBytes() % std::max<uint16_t>(m_playStream.Format().blockAlign, 1));
  if (from > length || m_playStream.SeekData(from, 0) < 0) {
    m_playStream.Close();
    m_prompts.Show(StringText(StringId::kRangeReadError), "", PromptIcon::Warning);
    return 1;
  }
  if (to == 0 || to > length) to = length;
  m_playFrom = m_bytesQueued = from;
  m_playTo = to;
  m_streaming = false;

  if (const int result = OpenOutputDevice(DeviceFormat(m_playStream.Format())); result != kWaveOk) {
    m_playStream.Close();
    return result;
  }
  if (!AllocateOutputBuffers(m_bytesPerSample)) {
    m_prompts.Show(StringText(StringId::kNoPlayBufferMemory), "", PromptIcon::Error);
    CloseOutput();
    return kWaveNoMemory;
  }
  m_output->Pause();
  for (int i = 0; i < kOutputBufferCount && m_bytesQueued < m_playTo; ++i) {
    Buffer& buffer = m_outputBuffers[static_cast<size_t>(i)];
    const int64_t got = FillFromFile(buffer);
    if (got < 0) {
      m_prompts.Show(StringText(StringId::kRangeReadError), "", PromptIcon::Warning);
      CloseOutput();
      return 1;
    }
    if (got == 0) break;
    buffer.header.user = i;
    buffer.free = false;
    if (m_output->Prepare(buffer.header) != kWaveOk) {
      m_prompts.Show(StringText(StringId::kPlayPrepareFailed), StringText(StringId::kCaptionPlay), PromptIcon::Error);
      CloseOutput();
      return 1;
    }
    if (m_output->Write(buffer.header) != kWaveOk) {
      m_prompts.Show(StringText(StringId::kPlayAddFailed), StringText(StringId::kCaptionPlay), PromptIcon::Error);
      CloseOutput();
      return 1;
    }
    m_bytesQueued += static_cast<uint32_t>(got);
  }
  m_output->Restart();
  m_run.engineState = m_run.engineState == 183 ? 237 : kEnginePlaying;
  return 0;
}

int DeviceEngine::OpenOutputForStream(const WaveDeviceFormat& format, uint32_t length) {
  CloseOutput();
  if (const int result = OpenOutputDevice(format); result != kWaveOk) return result;
  m_preRollCount = std::clamp(m_settings.preRollBuffers, 2, kOutputBufferCount);
  // A live run plays buffers of the live block size; previews keep whole blocks.
  m_outputBlockValues = m_run.liveInput ? LiveBlockValues(m_settings.liveBlockValues) : kValuesPerBuffer;
  m_submittedCount = 0;
  m_deviceStarted = false;
  m_playFrom = 0;
  m_playTo = length;
  m_bytesQueued = 0;
  m_streaming = true;
  if (!AllocateOutputBuffers(m_bytesPerSample)) {
    m_prompts.Show(StringText(StringId::kNoMemory), "", PromptIcon::Error);
    CloseOutput();
    return kWaveNoMemory;  // a shortage is a failure: the run must not go on
  }
  if (m_run.liveInput) {
    m_playStream.SetMode(kModeDeviceAndLog);
  } else {
    m_playStream.Close();
    m_playStream.SetMode(kModeDevice);
  }
  m_fillIndex = 0;
  m_outputBuffers[0].free = false;
  m_outputBuffers[0].header.flags |= kWaveHeaderDone;
  m_playStream.ResetCursor();
  m_playStream.SetLiveBlockLength(m_outputBlockValues);
  m_output->Pause();
  if (m_run.engineState != 237) m_run.engineState = kEnginePlaying;
  if (m_run.liveInput && m_input != nullptr) {
    // The run reads from the next buffer on: what the device recorded before now (waiting
    // here, or filled and not yet handled) only fed the meters.
    DropWaitingInput();
    uint64_t delivered = 0;
    const uint64_t mostPending = static_cast<uint64_t>(kInputBufferCount) * static_cast<uint64_t>(m_inputBlockValues) *
                                 static_cast<uint64_t>(std::max(1, (m_inputFormat.bitsPerSample + 7) / 8));
    if (m_input->Position(delivered) == kWaveOk && delivered > m_inputBytesArrived)
      m_staleInputBytes = std::min(delivered - m_inputBytesArrived, mostPending);
  }
  m_liveRunPlaying = m_run.liveInput != 0;
  return 0;
}

int DeviceEngine::SubmitBlock(WaveStream& stream, bool final) {
  if (m_output == nullptr) return 0;
  // Reserve the buffer for the block after this one, waiting for one to come back. Any
  // dispatch may run a Stop that closes the output (and frees the buffers): check after each.
  m_queue.DispatchPending();
  if (m_output == nullptr) return 0;
  int reserved = -1;
  while (reserved < 0) {
    for (int i = 0; i < m_preRollCount && m_output != nullptr; ++i) {
      if (m_outputBuffers[static_cast<size_t>(i)].free) {
        reserved = i;
        break;
      }
    }
    if (reserved >= 0) break;
    AwaitOutput(100);
    if (m_run.stopRequested.load(std::memory_order_relaxed) || m_output == nullptr) return 0;
  }
  m_outputBuffers[static_cast<size_t>(reserved)].free = false;

  Buffer& buffer = m_outputBuffers[static_cast<size_t>(m_fillIndex)];
  const auto count = static_cast<size_t>(std::clamp<ptrdiff_t>(stream.End() - stream.Begin(), 0, kValuesPerBuffer));
  if (count > 0) {
    PackSamples(stream.Begin(), count, std::min(m_bytesPerSample, 3), buffer.data.data());
    buffer.header.user = m_fillIndex;
    buffer.header.flags = 0;
    buffer.header.bufferLength = static_cast<uint32_t>(count) * static_cast<uint32_t>(m_bytesPerSample);
    const int prepared = m_output->Prepare(buffer.header);
    if (prepared != kWaveOk) {
      if (prepared == kWaveInvalidHandle || prepared == kWaveNoMemory) m_run.stopRequested.store(1);
      CloseOutput();
      return 0;
    }
    ++m_submittedCount;
  } else {
    buffer.free = true;  // an empty final block: nothing to queue, the buffer is free again
  }
  if (!m_deviceStarted && (m_submittedCount >= m_preRollCount - 1 || final)) {
    m_output->Restart();
    m_deviceStarted = true;
  }
  if (count > 0) {
    m_bytesQueued += static_cast<uint32_t>(count) * static_cast<uint32_t>(m_bytesPerSample);
    if (m_output->Write(buffer.header) != kWaveOk) {
      CloseOutput();
      return 0;
    }
  }
  if (final) {
    m_outputBuffers[static_cast<size_t>(reserved)].free = true;
    return 0;
  }
  m_fillIndex = reserved;
  stream.ResetEnd();
  return 1;
}

void DeviceEngine::OnMessage(const Message& message) {
  auto* header = reinterpret_cast<WaveHeader*>(message.param);
  if (message.id == kWaveOutDone) OnOutputDone(static_cast<uintptr_t>(message.value), header);
  if (message.id == kWaveInData) OnInputData(static_cast<uintptr_t>(message.value), header);
}

void DeviceEngine::OnOutputDone(uintptr_t handle, WaveHeader* header) {
  if (m_output == nullptr || header == nullptr || handle != m_output->Handle()) return;
  const intptr_t index = header->user;
  if (index < 0 || index >= kOutputBufferCount) return;
  Buffer& buffer = m_outputBuffers[static_cast<size_t>(index)];
  if (&buffer.header != header || !(header->flags & kWaveHeaderDone) || buffer.free) return;
  m_output->Unprepare(*header);
  if (!m_run.stopRequested.load(std::memory_order_relaxed)) {
    MeasurePeaks(header->data, header->bufferLength, m_outputFormat);
    for (const OutputObserver& observer : m_observers) observer(header->data, header->bufferLength, m_outputFormat);
  }
  header->user = -1;
  buffer.free = true;
  const bool allFree = std::all_of(m_outputBuffers.begin(), m_outputBuffers.end(), [](const Buffer& b) { return b.free; });

  if (m_bytesQueued < m_playTo) {
    if (m_streaming) return;  // the producer refills
    const int64_t got = FillFromFile(buffer);
    if (got > 0) {
      header->user = index;
      buffer.free = false;
      m_bytesQueued += static_cast<uint32_t>(got);
      if (m_output->Prepare(*header) == kWaveOk && m_output->Write(*header) == kWaveOk) return;
      CloseOutput();
      return;
    }
    // The file delivered less than expected: end once the queued buffers have played.
    if (m_output->Close() == kWaveStillPlaying) return;
    CloseOutput();  // closed already: this releases the buffers and the file
    return;
  }
  if (m_filterRun && m_run.loopPreview) {
    m_bytesQueued = 0;
    return;
  }
  if (!allFree) return;
  m_run.stopRequested.store(1);
  m_playbackDrained = true;
  CloseOutput();
}

void DeviceEngine::CloseOutput() {
  if (m_output == nullptr) return;
  m_output->Reset();
  m_submittedCount = 0;
  if (!m_run.liveInput) m_playStream.Close();
  ReleaseOutputBuffers();
  m_output->Close();
  m_output.reset();
  m_liveRunPlaying = false;
  DropWaitingInput();  // live input goes on feeding the meters
  m_playStream.SetLiveBlockLength(0);
  m_outputBlockValues = kValuesPerBuffer;
  m_run.engineState = kEngineStopped;
}

bool DeviceEngine::CheckOutput() {
  if (m_output == nullptr || !m_output->Lost()) return true;
  m_outputLost = true;
  m_run.stopRequested.store(1);
  CloseOutput();
  m_prompts.Show(std::string(StringText(StringId::kOutputDeviceLost)), "", PromptIcon::Error);
  return false;
}

void DeviceEngine::AwaitOutput(int timeoutMs) {
  m_queue.DispatchOne(timeoutMs);
  CheckOutput();
}

int DeviceEngine::PauseOutput() { return m_output != nullptr ? m_output->Pause() : kWaveInvalidHandle; }

int DeviceEngine::RestartOutput() { return m_output != nullptr ? m_output->Restart() : kWaveInvalidHandle; }

int DeviceEngine::OpenInput(const std::string& path, const WaveFormat& format, int createMode) {
  CloseInput();
  m_recordStream.SetFormat(format);
  m_peakLeft = m_peakRight = m_inputPeakLeft = m_inputPeakRight = 0;
  // Live input records buffers of the live block size, each one block of the input stream.
  m_inputBlockValues = m_run.liveInput ? LiveBlockValues(m_settings.liveBlockValues) : kValuesPerBuffer;
  if (m_run.liveInput) {
    m_recordStream.SetMode(kModeLiveInput);
    m_recordStream.ResetEnd();
  } else {
    WaveFormat fileFormat = format;
    if (m_recordStream.Create(path, fileFormat, createMode) != kStreamOk) {
      m_prompts.Show(StringText(StringId::kCannotWriteWave), "", PromptIcon::Error);
      return 1;
    }
  }
  std::unique_ptr<WaveIn> input = m_devices.MakeInput();
  const WaveDeviceFormat deviceFormat = DeviceFormat(format);
  if (const int result = input->Open(m_settings.inputDevice, deviceFormat, m_queue, m_target); result != kWaveOk) {
    ShowDeviceError(input->ErrorText(result));
    if (!m_run.liveInput) m_recordStream.Close();
    return result;
  }
  m_input = std::move(input);
  m_inputFormat = deviceFormat;
  if (m_run.liveInput) m_recordStream.SetLiveBlockLength(m_inputBlockValues);
  const int bytesPerSample = std::max(1, (format.bitsPerSample + 7) / 8);
  for (int i = 0; i < kInputBufferCount; ++i) {
    Buffer& buffer = m_inputBuffers[static_cast<size_t>(i)];
    buffer.data.assign(8192 * static_cast<size_t>(bytesPerSample), 0);
    buffer.header = WaveHeader();
    buffer.header.data = buffer.data.data();
    buffer.header.bufferLength = static_cast<uint32_t>(m_inputBlockValues * bytesPerSample);
    buffer.header.user = i;
    if (m_input->Prepare(buffer.header) != kWaveOk || m_input->Add(buffer.header) != kWaveOk) {
      m_prompts.Show(StringText(StringId::kRecordSetupFailed), "", PromptIcon::Error);
      CloseInput();
      return kWaveError;  // a failure, so that the caller does not go on recording nothing
    }
  }
  m_bytesRecorded = m_run.liveInput ? 0 : static_cast<uint32_t>(m_recordStream.DataBytes());
  m_inputBytesArrived = m_staleInputBytes = 0;
  m_input->Start();
  return 0;
}

void DeviceEngine::RequeueInput(WaveHeader& header) {
  if (m_input != nullptr && m_input->Prepare(header) == kWaveOk) m_input->Add(header);
}

void DeviceEngine::OnInputData(uintptr_t handle, WaveHeader* header) {
  if (m_input == nullptr || header == nullptr || handle != m_input->Handle()) return;
  m_input->Unprepare(*header);
  MeasurePeaks(header->data, header->bytesRecorded, m_inputFormat);
  m_inputPeakLeft = m_peakLeft;  // the recording meters show the input, also while output plays
  m_inputPeakRight = m_peakRight;
  m_inputBytesArrived += header->bytesRecorded;
  const bool recording = m_run.engineState == 183 || m_run.engineState == 237;
  if (recording && m_run.liveInput) {
    if (m_liveRunPlaying && m_staleInputBytes == 0) {
      m_liveBuffers.push_back(header);  // the input stream takes it when its ReadBlock waits
      return;
    }
    // No run reads it, or it was recorded before the run began: it only fed the meters.
    m_staleInputBytes -= std::min<uint64_t>(m_staleInputBytes, header->bytesRecorded);
    RequeueInput(*header);
    return;
  }
  if (recording) {
    if (!m_recordStream.WriteRaw(header->data, header->bytesRecorded)) {
      m_prompts.Show(StringText(StringId::kCannotWriteWave), "", PromptIcon::Error);
      m_run.stopRequested.store(1);
    }
    m_bytesRecorded += header->bytesRecorded;
  }
  RequeueInput(*header);
}

bool DeviceEngine::FillLiveBlock(void* context, WaveStream& stream) {
  auto* engine = static_cast<DeviceEngine*>(context);
  if (engine->m_liveBuffers.empty()) {
    engine->CheckOutput();  // a live run whose output went stops rather than waits
    return false;
  }
  WaveHeader* header = engine->m_liveBuffers.front();
  engine->m_liveBuffers.pop_front();
  stream.UnpackBytes(header->data, static_cast<int>(header->bytesRecorded));
  engine->m_bytesRecorded += header->bytesRecorded;
  engine->RequeueInput(*header);
  return true;
}

void DeviceEngine::DropWaitingInput() {
  while (!m_liveBuffers.empty()) {
    WaveHeader* header = m_liveBuffers.front();
    m_liveBuffers.pop_front();
    RequeueInput(*header);
  }
}

void DeviceEngine::ReleaseInputBuffers() {
  for (Buffer& buffer : m_inputBuffers) {
    if (m_input != nullptr && (buffer.header.flags & kWaveHeaderPrepared)) m_input->Unprepare(buffer.header);
    buffer.data = std::vector<uint8_t>();
    buffer.header = WaveHeader();
  }
  m_liveBuffers.clear();
}

void DeviceEngine::CloseInput() {
  if (m_input == nullptr) return;
  m_input->Stop();
  m_input->Reset();
  if (!m_run.liveInput && m_recordStream.IsFileOpen()) {
    m_recordStream.CloseChunks(kFlagDirty);
    m_recordStream.Close();
  }
  m_input->Close();
  ReleaseInputBuffers();
  m_input.reset();
  m_recordStream.SetLiveBlockLength(0);
  m_inputBlockValues = kValuesPerBuffer;
}

uint32_t DeviceEngine::RecordPosition() {
  uint64_t bytes = 0;
  if (m_input == nullptr || m_input->Position(bytes) != kWaveOk) return 0;
  return static_cast<uint32_t>(bytes);
}

uint32_t DeviceEngine::PlayPosition() {
  if (m_output == nullptr || m_filterRun) return m_bytesQueued + m_run.regionStart;
  uint64_t bytes = 0;
  if (m_output->Position(bytes) != kWaveOk) return 0;
  return static_cast<uint32_t>(bytes) + m_playFrom;
}

void DeviceEngine::MeasurePeaks(const uint8_t* bytes, size_t length, const WaveDeviceFormat& format) {
  m_peakLeft = m_peakRight = 0;
  const int width = std::max(1, (format.bitsPerSample + 7) / 8);
  const bool stereo = format.channels == 2;
  SampleValue values[1024];
  const size_t samples = length / static_cast<size_t>(width);
  for (size_t done = 0; done < samples;) {
    const size_t count = std::min<size_t>(1024, samples - done);
    UnpackSamples(bytes + done * static_cast<size_t>(width), count, width, values);
    for (size_t i = 0; i < count; ++i) {
      const int magnitude = values[i] == INT32_MIN ? INT32_MAX : std::abs(values[i]);
      int& peak = (stereo && ((done + i) & 1)) ? m_peakRight : m_peakLeft;
      peak = std::max(peak, magnitude);
    }
    done += count;
  }
}

}  // namespace ztlive
