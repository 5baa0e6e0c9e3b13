#include "document/demo_recording.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/sample_codec.h"
#include "core/wave_stream.h"
#include "filters/framework/real_fft.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

// A plucked string: harmonics that decay faster the higher they are.
double Pluck(double frequency, double t) {
  if (t < 0) return 0;
  double sum = 0;
  for (int harmonic = 1; harmonic <= 8; ++harmonic) {
    const double decay = std::exp(-t * (1.5 + 0.9 * harmonic));
    sum += decay * std::sin(2 * M_PI * frequency * harmonic * t) / harmonic;
  }
  return sum * std::min(1.0, t * 400);  // a 2.5 ms attack keeps the onset from clicking
}

double MidiHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// Deterministic white noise in [-1, 1).
class NoiseSource {
 public:
  double Next() {
    m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(static_cast<int64_t>(m_state >> 11) - (int64_t{1} << 52)) / double(int64_t{1} << 52);
  }

 private:
  uint64_t m_state = 0x5A4E544Full;
};

std::vector<SampleValue> ReadFirstChannel(const std::string& path, RunState& run, unsigned& rate) {
  WaveStream in(4096, 0, run);
  std::vector<SampleValue> values;
  if (in.Open(path, kOpenRead) != kStreamOk) return values;
  rate = in.Format().sampleRate;
  const int channels = in.Format().channels;
  const int width = in.BytesPerSample();
  std::vector<uint8_t> bytes(in.DataBytes());
  in.SeekData(0, 0);
  const int64_t got = in.ReadRaw(bytes.data(), bytes.size());
  std::vector<SampleValue> all(static_cast<size_t>(std::max<int64_t>(got, 0)) / static_cast<size_t>(width));
  UnpackSamples(bytes.data(), all.size(), width, all.data());
  for (size_t i = 0; i < all.size(); i += static_cast<size_t>(channels)) values.push_back(all[i]);
  return values;
}

}  // namespace

int WriteDemoRecording(const std::string& path, const DemoRecordingInfo& info, RunState& run, Prompts& prompts) {
  WaveStream out(4096, 0, run);
  WaveFormat format = MakePcmFormat(2, info.sampleRate, 16);
  if (out.Create(path, format, kCreateOverwrite) != kStreamOk || (out.SetMode(kModeFile), out.PrepareWriteBuffer()) != 0) {
    prompts.Show(FormatText(StringId::kRangeWriteError, {path}), "", PromptIcon::Error);
    return 0;
  }
  // I - V - vi - IV in C, one chord per 1.5 s, its notes plucked a little apart.
  const int chords[4][4] = {{48, 60, 64, 67}, {43, 59, 62, 67}, {45, 60, 64, 69}, {41, 60, 65, 69}};
  const double chordSeconds = 1.5;
  const double hum = std::pow(10.0, info.humDbfs / 20.0);
  const double hiss = std::pow(10.0, info.hissDbfs / 20.0) * std::sqrt(3.0);  // uniform noise: rms = peak / sqrt(3)
  NoiseSource noise;
  const auto frames = static_cast<size_t>(info.seconds * info.sampleRate);
  // Click starts and widths (1 to 20 frames), spread over the recording.
  std::vector<std::pair<size_t, int>> clicks;
  for (int k = 0; k < info.clicks; ++k) {
    // Clicks fall in the music only, so that the lead-in stays a clean sample of the noise.
    const double music = double(frames) - info.leadInSeconds * info.sampleRate;
    const size_t at = static_cast<size_t>(info.leadInSeconds * info.sampleRate +
                                          (k + 0.5 + 0.4 * noise.Next()) * music / info.clicks);
    clicks.emplace_back(at, 1 + static_cast<int>(std::abs(noise.Next()) * 19));
  }
  size_t nextClick = 0;
  for (size_t i = 0; i < frames; ++i) {
    const double now = double(i) / info.sampleRate;
    const double t = std::max(0.0, now - info.leadInSeconds);  // the music's own time
    const int chord = static_cast<int>(t / chordSeconds) % 4;
    const double start = std::floor(t / chordSeconds) * chordSeconds;
    double left = 0;
    double right = 0;
    for (int n = 0; n < 4; ++n) {
      const double tone = now < info.leadInSeconds ? 0.0 : Pluck(MidiHz(chords[chord][n]), t - start - 0.06 * n);
      const double pan = n / 3.0;  // bass to the left, the top note to the right
      left += tone * (1.0 - 0.6 * pan);
      right += tone * (0.4 + 0.6 * pan);
    }
    const double mains = hum * (std::sin(2 * M_PI * info.humHz * now) + 0.5 * std::sin(4 * M_PI * info.humHz * now + 0.7));
    left = 0.18 * left + mains + hiss * noise.Next();
    right = 0.18 * right + mains + hiss * noise.Next();
    while (nextClick < clicks.size() && clicks[nextClick].first + static_cast<size_t>(clicks[nextClick].second) <= i)
      ++nextClick;
    if (nextClick < clicks.size() && i >= clicks[nextClick].first) {
      const double k = double(i - clicks[nextClick].first);
      const double click = 0.5 * std::exp(-2.5 * k / clicks[nextClick].second) * noise.Next();
      left += click;
      right += click;
    }
    for (const double value : {left, right}) {
      const auto sample = static_cast<SampleValue>(std::lround(std::clamp(value, -1.0, 1.0 - 1.0 / 32768) * 32768.0)) * 256;
      if (out.WriteSample(sample) == 0) {
        prompts.Show(FormatText(StringId::kRangeWriteError, {path}), "", PromptIcon::Error);
        return 0;
      }
    }
  }
  if (out.FinishWrite(kFlagDirty, kFlagDirty) != 0) {
    prompts.Show(FormatText(StringId::kRangeWriteError, {path}), "", PromptIcon::Error);
    return 0;
  }
  out.Close();
  return 1;
}

double ToneLevelDbfs(const std::string& path, double hz, RunState& run) {
  unsigned rate = 44100;
  const std::vector<SampleValue> values = ReadFirstChannel(path, run, rate);
  if (values.empty()) return -INFINITY;
  double re = 0;
  double im = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    const double phase = 2 * M_PI * hz * double(i) / rate;
    re += values[i] * std::cos(phase);
    im += values[i] * std::sin(phase);
  }
  const double amplitude = 2 * std::hypot(re, im) / double(values.size()) / 8388608.0;
  return 20 * std::log10(std::max(amplitude / std::sqrt(2.0), 1e-12));  // rms of the sine
}

double BandLevelAboveDbfs(const std::string& path, double hz, RunState& run) {
  unsigned rate = 44100;
  const std::vector<SampleValue> values = ReadFirstChannel(path, run, rate);
  constexpr int kSize = 4096;
  if (values.size() < kSize) return -INFINITY;
  RealFft fft;
  fft.Init(kSize);
  std::vector<double> frame(kSize);
  double energy = 0;
  int frames = 0;
  const int firstBin = static_cast<int>(std::ceil(hz * kSize / rate));
  for (size_t start = 0; start + kSize <= values.size(); start += kSize, ++frames) {
    for (int i = 0; i < kSize; ++i) frame[i] = values[start + i] / 8388608.0;
    fft.Forward(frame.data());
    // Bin k is held in frame[2k - 1] (real) and frame[2k] (imaginary).
    for (int k = std::max(firstBin, 1); k < kSize / 2; ++k)
      energy += 2 * (frame[2 * k - 1] * frame[2 * k - 1] + frame[2 * k] * frame[2 * k]);
  }
  const double meanSquare = energy / (double(kSize) * kSize * frames);
  return 10 * std::log10(std::max(meanSquare, 1e-24));
}

}  // namespace ztlive
