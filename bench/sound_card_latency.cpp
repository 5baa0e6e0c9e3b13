// Latency and callback cost of the sound card layer on a private JACK server (dummy driver,
// loopback ports). Prints a table; takes about a minute.
//
//  1. Platform round trip: a click written to the loopback output is found in the loopback
//     input's recording; the frames between the input's position at the write and the
//     click's place in the recording, against what JACK itself needs (the loop's period plus
//     the output and input latencies the server reports).
//  2. Streamed output as a live run drives it: every recorded input buffer (the dummy
//     capture) makes one output buffer through the device engine's SubmitBlock, with the
//     pre-roll; the click's delay against the design's figure: one input buffer plus
//     PreRollBuffs - 1 play buffers plus the server period.
//  3. CPU: the process's CPU time while the engine plays 10 s of a file, direct and through
//     the rate converter.
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "core/device_engine.h"
#include "platform/pcm_float.h"
#include "platform/portaudio_input.h"
#include "platform/portaudio_output.h"
#include "platform/portaudio_wave_system.h"
#include "platform/scripted_prompts.h"
#include "testing/jack_test_server.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kRate = 44100;
constexpr int kPeriod = 512;

struct Collector : MessageHandler {
  void OnMessage(const Message& message) override { messages.push_back(message); }
  std::deque<Message> messages;
};

WaveDeviceFormat Stereo16(uint32_t rate) { return {2, rate, 16, 4}; }

// Index (in frames) of the first sample above half scale in 16-bit stereo bytes, or -1.
long FindClick(const std::vector<uint8_t>& recording, size_t fromFrame) {
  for (size_t frame = fromFrame; frame * 4 + 2 <= recording.size(); ++frame) {
    int16_t left = 0;
    std::memcpy(&left, &recording[frame * 4], 2);
    if (std::abs(left) > 8000) return static_cast<long>(frame);
  }
  return -1;
}

// A recorder on the loopback input: keeps its buffers queued and collects what they bring.
class Recorder {
 public:
  Recorder(PortAudioWaveSystem& system, MessageQueue& queue, uint32_t rate)
      : m_input(system.MakeInput()), m_buffers(16, std::vector<uint8_t>(2048)), m_headers(16) {
    m_target = queue.Register(&m_collector);
    m_input->Open(static_cast<unsigned>(test::LoopbackDeviceId(system.InputDeviceNames())), Stereo16(rate), queue,
                  m_target);
    for (size_t i = 0; i < m_headers.size(); ++i) {
      m_headers[i].data = m_buffers[i].data();
      m_headers[i].bufferLength = 2048;
      m_input->Prepare(m_headers[i]);
      m_input->Add(m_headers[i]);
    }
    m_input->Start();
  }
  ~Recorder() {
    m_input->Reset();
    m_input->Close();
  }
  // Takes the buffers that have arrived.
  void Collect() {
    for (const Message& message : m_collector.messages) {
      auto* header = reinterpret_cast<WaveHeader*>(message.param);
      if (message.value != static_cast<intptr_t>(m_input->Handle())) continue;
      m_recording.insert(m_recording.end(), header->data, header->data + header->bytesRecorded);
      m_input->Add(*header);
    }
    m_collector.messages.clear();
  }
  uint64_t PositionFrames() {
    uint64_t bytes = 0;
    m_input->Position(bytes);
    return bytes / 4;
  }
  const std::vector<uint8_t>& Recording() const { return m_recording; }
  double LatencySeconds() const { return static_cast<PortAudioInput&>(*m_input).InputLatencySeconds(); }

 private:
  std::unique_ptr<WaveIn> m_input;
  std::vector<std::vector<uint8_t>> m_buffers;
  std::vector<WaveHeader> m_headers;
  Collector m_collector;
  uint32_t m_target = 0;
  std::vector<uint8_t> m_recording;
};

void DispatchFor(MessageQueue& queue, Recorder& recorder, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    queue.DispatchOne(5);
    recorder.Collect();
  }
}

void PlatformRoundTrip(int serverRate) {
  test::JackTestServer server(serverRate, kPeriod);
  if (!server.Running()) {
    std::printf("no JACK server: %s\n", server.FailureText().c_str());
    return;
  }
  PortAudioWaveSystem system;
  MessageQueue queue;
  Recorder recorder(system, queue, kRate);
  Collector done;
  auto output = system.MakeOutput();
  output->Open(static_cast<unsigned>(test::LoopbackDeviceId(system.OutputDeviceNames())), Stereo16(kRate), queue,
               queue.Register(&done));
  const double outputLatency = static_cast<PortAudioOutput&>(*output).OutputLatencySeconds();
  std::vector<uint8_t> click(4 * 256, 0);
  const int16_t loud = 30000;
  std::memcpy(click.data(), &loud, 2);
  WaveHeader header{click.data(), static_cast<uint32_t>(click.size())};
  output->Prepare(header);
  std::vector<double> trips;
  for (int i = 0; i < 20; ++i) {
    DispatchFor(queue, recorder, 150 + 17 * i);  // the output has long been idle
    const uint64_t at = recorder.PositionFrames();
    output->Write(header);
    DispatchFor(queue, recorder, 250);
    const long found = FindClick(recorder.Recording(), at);
    if (found >= 0) trips.push_back(double(found - static_cast<long>(at)) / kRate * 1000);
  }
  output->Reset();
  output->Close();
  double mean = 0;
  double worst = 0;
  for (double trip : trips) {
    mean += trip / trips.size();
    worst = std::max(worst, trip);
  }
  // What the loop itself takes: one server period (the loopback ports deliver a cycle later).
  const double loop = kPeriod * 1000.0 / serverRate;
  std::printf("| platform round trip, server %d Hz%s | %zu/20 | %.1f ms (worst %.1f) | %.1f ms (loop) | %+.1f ms |\n",
              serverRate, serverRate == int(kRate) ? "" : " (converted)", trips.size(), mean, worst, loop, mean - loop);
  std::printf("|   reported by the server: output %.1f ms, input %.1f ms | | | | |\n", outputLatency * 1000,
              recorder.LatencySeconds() * 1000);
}

void StreamedRoundTrip() {
  test::JackTestServer server(kRate, kPeriod);
  if (!server.Running()) return;
  PortAudioWaveSystem system;
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  WaveStream playStream(4096, 4096, run);
  WaveStream recordStream(4096, 4096, run);
  const int preRoll = 7;
  const auto loopbackOut = static_cast<unsigned>(test::LoopbackDeviceId(system.OutputDeviceNames()));
  DeviceEngine engine(system, queue, prompts, run, playStream, recordStream, {loopbackOut, 0, preRoll});
  Recorder recorder(system, queue, kRate);
  // The pacing input: the dummy capture, 4096 values (1024 stereo frames... of 16 bits: 2048).
  auto pacing = system.MakeInput();
  Collector paced;
  pacing->Open(0, Stereo16(kRate), queue, queue.Register(&paced));
  std::vector<std::vector<uint8_t>> inputData(18, std::vector<uint8_t>(4096 * 2));
  std::vector<WaveHeader> inputHeaders(18);
  for (size_t i = 0; i < inputHeaders.size(); ++i) {
    inputHeaders[i] = WaveHeader{inputData[i].data(), 4096 * 2};
    pacing->Prepare(inputHeaders[i]);
    pacing->Add(inputHeaders[i]);
  }
  const WaveFormat format = MakePcmFormat(2, kRate, 16);
  playStream.SetFormat(format);
  engine.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0);
  pacing->Start();
  std::vector<double> trips;
  long pendingAt = -1;  // the recorder's position when the last click was written
  for (int block = 0; block < 300 && trips.size() < 12; ++block) {
    while (paced.messages.empty()) {
      queue.DispatchOne(5);
      recorder.Collect();
      if (pendingAt >= 0) {
        const long found = FindClick(recorder.Recording(), static_cast<size_t>(pendingAt));
        // The input buffer was full when the click was written: its first frame came one
        // buffer (2048 frames) earlier, and that is where a live run's delay starts.
        if (found >= 0) trips.push_back((double(found - pendingAt) + 2048) / kRate * 1000);
        if (found >= 0) pendingAt = -1;
      }
    }
    auto* header = reinterpret_cast<WaveHeader*>(paced.messages.front().param);
    paced.messages.pop_front();
    pacing->Add(*header);
    const bool withClick = block > 20 && block % 15 == 0 && pendingAt < 0;
    if (withClick) pendingAt = static_cast<long>(recorder.PositionFrames());
    for (int i = 0; i < 4096; ++i) playStream.WriteSample(withClick && i == 0 ? 30000 * 256 : 0);
  }
  pacing->Reset();
  pacing->Close();
  run.stopRequested = 1;
  engine.CloseOutput();
  double mean = 0;
  for (double trip : trips) mean += trip / trips.size();
  const double design = (2048.0 + (preRoll - 1) * 2048.0 + kPeriod) / kRate * 1000;
  std::printf("| streamed output, PreRollBuffs %d | %zu | %.1f ms | %.1f ms (design) | %+.1f ms |\n", preRoll, trips.size(),
              mean, design, mean - design);
}

void PlaybackCpu(int serverRate) {
  test::JackTestServer server(serverRate, kPeriod);
  if (!server.Running()) return;
  test::TestFolder folder;
  std::vector<float> values(kRate * 10 * 2);
  for (size_t i = 0; i < values.size(); ++i) values[i] = 0.3f * std::sin(0.05f * float(i / 2));
  std::vector<uint8_t> data(values.size() * 2);
  FloatToPcm(values.data(), values.size(), 2, data.data());
  test::WriteBytes(folder.File("ten.wav"), test::WaveBytes().Format(1, 2, kRate, 16).Data(data).Build());
  PortAudioWaveSystem system;
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  WaveStream playStream(4096, 4096, run);
  WaveStream recordStream(4096, 4096, run);
  DeviceEngine engine(system, queue, prompts, run, playStream, recordStream,
                      {static_cast<unsigned>(test::LoopbackDeviceId(system.OutputDeviceNames())), 0, 7});
  timespec cpuStart{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuStart);
  const auto start = Clock::now();
  engine.PlayFileRegion(folder.File("ten.wav"), 0, 0);
  while (engine.OutputOpen()) queue.DispatchOne(50);
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  timespec cpuEnd{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpuEnd);
  const double cpu = double(cpuEnd.tv_sec - cpuStart.tv_sec) + 1e-9 * double(cpuEnd.tv_nsec - cpuStart.tv_nsec);
  std::printf("| 10 s playback, server %d Hz%s | %.2f s wall | %.3f s CPU | %.2f %% of one core |\n", serverRate,
              serverRate == int(kRate) ? " (direct)" : " (converted)", wall, cpu, 100 * cpu / wall);
}

}  // namespace
}  // namespace ztlive

int main() {
  std::printf("| measure | count | measured | reference | difference |\n|---|---|---|---|---|\n");
  ztlive::PlatformRoundTrip(44100);
  ztlive::PlatformRoundTrip(48000);
  ztlive::StreamedRoundTrip();
  std::printf("\n| playback | wall | CPU | share |\n|---|---|---|---|\n");
  ztlive::PlaybackCpu(44100);
  ztlive::PlaybackCpu(48000);
  return 0;
}
