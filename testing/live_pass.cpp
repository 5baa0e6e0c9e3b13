#include "testing/live_pass.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace ztlive::test {

namespace {

constexpr SampleValue kSoundThreshold = kSampleMax / 100;  // -40 dBFS

bool CarriesSound(const std::vector<SampleValue>& values, size_t from, size_t count) {
  for (size_t i = from; i < from + count; ++i)
    if (std::abs(values[i]) > kSoundThreshold) return true;
  return false;
}

bool EqualAt(const LiveCapture& capture, size_t from, size_t count, long lag, SampleValue tolerance) {
  for (size_t i = from; i < from + count; ++i)
    if (std::abs(capture.right[i] - capture.left[i - static_cast<size_t>(lag)]) > tolerance) return false;
  return true;
}

}  // namespace

LiveCapture RunLivePass(DeviceEngine& engine, MessageQueue& queue, WaveStream& input, WaveStream& output,
                        RunState& run, uint32_t rate, size_t frames, int idleMs,
                        const std::function<void()>& beforeClose) {
  LiveCapture capture;
  capture.left.reserve(frames + 8192);
  capture.right.reserve(frames + 8192);
  run.stopRequested.store(0);
  run.liveInput = 1;
  run.engineState = 237;
  run.readPosition = run.regionStart = 0;
  run.regionEnd = 0xFFFFFFFC;
  const WaveFormat format = MakePcmFormat(2, rate, 16);
  output.SetFormat(format);
  capture.opened = engine.OpenInput("", format, kCreateInPlace) == 0;
  // Live input feeds the meters for a while before the run starts, as in the recording window.
  const auto runStarts = std::chrono::steady_clock::now() + std::chrono::milliseconds(idleMs);
  while (capture.opened && std::chrono::steady_clock::now() < runStarts) queue.DispatchOne(5);
  capture.opened = capture.opened && engine.OpenOutputForStream(DeviceEngine::DeviceFormat(format), 0) == 0;
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  bool playing = capture.opened;
  while (playing && capture.left.size() < frames && input.ReadBlock(0, 0, &first, &last) == 0) {
    capture.blockLengths.push_back(static_cast<int>(last - first));
    for (const SampleValue* frame = first; frame + 1 < last && playing; frame += 2) {
      capture.left.push_back(frame[0]);
      capture.right.push_back(frame[1]);
      playing = output.WriteSample(0) != 0 && output.WriteSample(frame[0]) != 0;
    }
  }
  if (beforeClose) beforeClose();
  run.stopRequested.store(1);
  engine.CloseOutput();
  engine.CloseInput();
  run.liveInput = 0;
  run.engineState = kEngineStopped;
  return capture;
}

LagSurvey SurveyLags(const LiveCapture& capture, size_t chunkFrames, long maxLag, SampleValue tolerance) {
  LagSurvey survey;
  const size_t frames = std::min(capture.left.size(), capture.right.size());
  for (size_t from = 0; from + chunkFrames <= frames; from += chunkFrames) {
    if (!CarriesSound(capture.right, from, chunkFrames)) continue;
    ++survey.heard;
    const long most = std::min<long>(maxLag, static_cast<long>(from));
    for (long lag = 0; lag <= most; ++lag) {
      if (EqualAt(capture, from, chunkFrames, lag, tolerance)) {
        survey.lags.push_back(lag);
        break;
      }
    }
  }
  return survey;
}

double DesignLagFrames(int blockValues, int preRoll, int channels, int periodFrames) {
  const double bufferFrames = double(blockValues) / channels;
  return bufferFrames + (preRoll - 1) * bufferFrames + periodFrames;
}

}  // namespace ztlive::test
