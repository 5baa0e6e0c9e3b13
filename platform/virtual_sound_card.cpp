#include "platform/virtual_sound_card.h"

#include <algorithm>

#include "platform/message_queue.h"

namespace ztlive {

namespace {

// What both directions share: open state, the queue of buffers, notification.
struct Endpoint {
  bool open = false;
  bool running = false;
  uintptr_t handle = 0;
  WaveDeviceFormat format;
  MessageQueue* queue = nullptr;
  uint32_t target = 0;
  std::deque<WaveHeader*> queued;
  uint64_t position = 0;  // bytes through the device since the open or reset
  uint32_t headFill = 0;  // bytes of the head buffer already played or recorded

  void Return(WaveHeader& header, uint32_t message) {
    header.flags = (header.flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    queue->Post({target, message, reinterpret_cast<uintptr_t>(&header), static_cast<intptr_t>(handle)});
  }

  int SetRunning(bool run) {
    if (!open) return kWaveInvalidHandle;
    running = run;
    return kWaveOk;
  }

  int Position(uint64_t& bytes) const {
    if (!open) return kWaveInvalidHandle;
    bytes = position;
    return kWaveOk;
  }

  // Moves frames of the clock through the queued buffers: transfer(head, offset, count) moves
  // count bytes at offset of the head buffer, full(head) takes a filled head off the queue.
  // Returns the frames for which no buffer was queued.
  template <typename Transfer, typename Full>
  uint64_t Walk(uint32_t frames, Transfer transfer, Full full) {
    if (!open || !running) return 0;
    const uint64_t frameBytes = std::max<uint16_t>(format.blockAlign, 1);
    uint64_t bytes = static_cast<uint64_t>(frames) * frameBytes;
    while (bytes > 0) {
      if (queued.empty()) return bytes / frameBytes;
      WaveHeader& head = *queued.front();
      const auto take = static_cast<uint32_t>(std::min<uint64_t>(bytes, head.bufferLength - headFill));
      transfer(head, headFill, take);
      headFill += take;
      position += take;
      bytes -= take;
      if (headFill >= head.bufferLength) full(head);
    }
    return 0;
  }
};

int Enqueue(Endpoint& endpoint, WaveHeader& header) {
  if (!endpoint.open) return kWaveInvalidHandle;
  if (!(header.flags & kWaveHeaderPrepared)) return kWaveUnprepared;
  header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  endpoint.queued.push_back(&header);
  return kWaveOk;
}

int OpenEndpoint(Endpoint& endpoint, int check, uintptr_t handle, const WaveDeviceFormat& format,
                 MessageQueue& queue, uint32_t target, bool running) {
  if (check != kWaveOk) return check;
  if (endpoint.open) return kWaveError;
  endpoint = Endpoint();
  endpoint.open = true;
  endpoint.running = running;
  endpoint.handle = handle;
  endpoint.format = format;
  endpoint.queue = &queue;
  endpoint.target = target;
  return kWaveOk;
}

int CloseEndpoint(Endpoint& endpoint) {
  if (!endpoint.open) return kWaveInvalidHandle;
  if (!endpoint.queued.empty()) return kWaveStillPlaying;
  endpoint.open = false;
  endpoint.handle = 0;
  return kWaveOk;
}

}  // namespace

class VirtualSoundCard::Output : public WaveOut {
 public:
  explicit Output(VirtualSoundCard& card) : m_card(card) { m_card.m_outputs.push_back(this); }
  ~Output() override {
    auto& list = m_card.m_outputs;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }

  int Open(unsigned deviceId, const WaveDeviceFormat& format, MessageQueue& queue, uint32_t target) override {
    // An output plays as soon as buffers are written, unless it is paused.
    return OpenEndpoint(m_endpoint, m_card.CheckOpen(deviceId, m_card.m_outputDevices, format), m_card.NextHandle(),
                        format, queue, target, true);
  }
  int Prepare(WaveHeader& header) override { return PrepareWaveHeader(header); }
  int Unprepare(WaveHeader& header) override { return UnprepareWaveHeader(header); }
  int Write(WaveHeader& header) override { return Enqueue(m_endpoint, header); }
  int Pause() override { return m_endpoint.SetRunning(false); }
  int Restart() override { return m_endpoint.SetRunning(true); }
  int Reset() override {
    if (!m_endpoint.open) return kWaveInvalidHandle;
    while (!m_endpoint.queued.empty()) {
      WaveHeader* header = m_endpoint.queued.front();
      m_endpoint.queued.pop_front();
      m_endpoint.Return(*header, kWaveOutDone);
    }
    m_endpoint.position = 0;
    m_endpoint.headFill = 0;
    return kWaveOk;
  }
  int Close() override { return CloseEndpoint(m_endpoint); }
  int Position(uint64_t& bytes) override { return m_endpoint.Position(bytes); }
  std::string ErrorText(int result) const override { return WaveResultText(result); }
  uintptr_t Handle() const override { return m_endpoint.handle; }

  void Advance(uint32_t frames) {
    m_card.m_underrunFrames += m_endpoint.Walk(
        frames,
        [this](WaveHeader& head, uint32_t offset, uint32_t count) {
          m_card.m_played.insert(m_card.m_played.end(), head.data + offset, head.data + offset + count);
        },
        [this](WaveHeader& head) {
          m_endpoint.queued.pop_front();
          m_endpoint.headFill = 0;
          m_endpoint.Return(head, kWaveOutDone);
        });
  }

 private:
  VirtualSoundCard& m_card;
  Endpoint m_endpoint;
};

class VirtualSoundCard::Input : public WaveIn {
 public:
  explicit Input(VirtualSoundCard& card) : m_card(card) { m_card.m_inputs.push_back(this); }
  ~Input() override {
    auto& list = m_card.m_inputs;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }

  int Open(unsigned deviceId, const WaveDeviceFormat& format, MessageQueue& queue, uint32_t target) override {
    return OpenEndpoint(m_endpoint, m_card.CheckOpen(deviceId, m_card.m_inputDevices, format), m_card.NextHandle(),
                        format, queue, target, false);
  }
  int Prepare(WaveHeader& header) override { return PrepareWaveHeader(header); }
  int Unprepare(WaveHeader& header) override { return UnprepareWaveHeader(header); }
  int Add(WaveHeader& header) override {
    header.bytesRecorded = 0;
    return Enqueue(m_endpoint, header);
  }
  int Start() override { return m_endpoint.SetRunning(true); }
  int Stop() override {
    if (const int result = m_endpoint.SetRunning(false); result != kWaveOk) return result;
    // The buffer being filled comes back with what it holds; empty ones stay queued.
    if (!m_endpoint.queued.empty() && m_endpoint.headFill > 0) ReturnHead();
    return kWaveOk;
  }
  int Reset() override {
    if (const int result = m_endpoint.SetRunning(false); result != kWaveOk) return result;
    while (!m_endpoint.queued.empty()) ReturnHead();
    return kWaveOk;
  }
  int Close() override { return CloseEndpoint(m_endpoint); }
  int Position(uint64_t& bytes) override { return m_endpoint.Position(bytes); }
  std::string ErrorText(int result) const override { return WaveResultText(result); }
  uintptr_t Handle() const override { return m_endpoint.handle; }

  void Advance(uint32_t frames) {
    const uint64_t lost = m_endpoint.Walk(
        frames,
        [this](WaveHeader& head, uint32_t offset, uint32_t count) {
          for (uint32_t i = 0; i < count; ++i)
            head.data[offset + i] = m_card.m_signal ? m_card.m_signal(m_endpoint.position + i) : 0;
        },
        [this](WaveHeader&) { ReturnHead(); });
    m_card.m_overrunFrames += lost;
    m_endpoint.position += lost * m_endpoint.format.blockAlign;  // the signal goes on; these bytes are lost
  }

 private:
  void ReturnHead() {
    WaveHeader& head = *m_endpoint.queued.front();
    m_endpoint.queued.pop_front();
    head.bytesRecorded = m_endpoint.headFill;
    m_endpoint.headFill = 0;
    m_endpoint.Return(head, kWaveInData);
  }

  VirtualSoundCard& m_card;
  Endpoint m_endpoint;
};

VirtualSoundCard::VirtualSoundCard(int outputDevices, int inputDevices)
    : m_outputDevices(outputDevices), m_inputDevices(inputDevices) {}

VirtualSoundCard::~VirtualSoundCard() = default;

std::vector<std::string> VirtualSoundCard::OutputDeviceNames() {
  std::vector<std::string> names;
  for (int i = 0; i < m_outputDevices; ++i) names.push_back("Virtual Output " + std::to_string(i + 1));
  return names;
}

std::vector<std::string> VirtualSoundCard::InputDeviceNames() {
  std::vector<std::string> names;
  for (int i = 0; i < m_inputDevices; ++i) names.push_back("Virtual Input " + std::to_string(i + 1));
  return names;
}

std::unique_ptr<WaveOut> VirtualSoundCard::MakeOutput() { return std::make_unique<Output>(*this); }
std::unique_ptr<WaveIn> VirtualSoundCard::MakeInput() { return std::make_unique<Input>(*this); }

int VirtualSoundCard::CheckOpen(unsigned deviceId, int deviceCount, const WaveDeviceFormat& format) const {
  if (deviceId >= static_cast<unsigned>(deviceCount)) return kWaveBadDeviceId;
  const bool width = format.bitsPerSample == 8 || format.bitsPerSample == 16 || format.bitsPerSample == 20 ||
                     format.bitsPerSample == 24 || format.bitsPerSample == 32;
  if (!width || format.channels < 1 || format.channels > 2 || format.sampleRate == 0 || format.blockAlign == 0 ||
      format.sampleRate == m_refusedRate)
    return kWaveBadFormat;
  return kWaveOk;
}

void VirtualSoundCard::Advance(uint32_t frames) {
  for (Output* output : m_outputs) output->Advance(frames);
  for (Input* input : m_inputs) input->Advance(frames);
}

}  // namespace ztlive
