#include "document/wave_edits.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/device_engine.h"
#include "core/full_scale.h"
#include "core/run_state.h"
#include "core/stream_error.h"
#include "core/wave_stream.h"
#include "filters/restoration/gap_prediction.h"
#include "platform/message_queue.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr int kPieceValues = 4096;
constexpr double kE10 = 22026.465794806718;  // e^10

uint64_t FloorToFrame(uint64_t offset, int blockAlign) {
  const auto frame = static_cast<uint64_t>(std::max(blockAlign, 1));
  return offset - offset % frame;
}

// Values per piece: up to 4096, whole frames.
int PieceValues(int channels) { return kPieceValues - kPieceValues % std::max(channels, 1); }

// A product truncated towards zero, held inside the 32-bit range before the conversion.
int64_t Truncate(double value) {
  constexpr double kMost = 2147483647.0;
  return static_cast<int64_t>(std::clamp(value, -kMost - 1, kMost));
}

void ShowText(Prompts& prompts, StringId id) { prompts.Show(StringText(id), "", PromptIcon::Warning); }
void ShowWriteError(Prompts& prompts, const std::string& path) {
  prompts.Show(FormatText(StringId::kRangeWriteError, {path}), "", PromptIcon::Warning);
}

// The factor of ApplyGainCurve at x of length bytes.
double GainFactor(int mode, double g1, double g2, double p1, double p2, double x, double length) {
  const double t = x / length;
  switch (mode) {
    case kGainMute:
      return 0.0;
    case kGainLinear:
      return g1 + (g2 - g1) * t;
    case kGainLogFadeIn:
      return g1 + (g2 - g1) / kE10 * std::exp(10.0 * t);
    case kGainLogFadeOut:
      return g2 + (g1 - g2) / kE10 * std::exp(10.0 * (1.0 - t));
    case kGainAdjustable: {
      const double c = 3.0 * (p1 - g1);
      const double b = 3.0 * (p2 - p1) - c;
      const double a = g2 - g1 - c - b;
      const double level = g1 + c * t + b * t * t + a * t * t * t;
      return std::pow(10.0, level * 0.05);
    }
    default:
      return 1.0;
  }
}

// The crossfade's gain between start and end with r of n samples still to do.
double CrossfadeGain(int curve, double start, double end, double r, double n) {
  switch (curve) {
    case kCrossfadeSilence:
      return 0.0;
    case kCrossfadeLinear:
      return end + (start - end) * r / n;
    case kCrossfadeLogIn:
      return end + (start - end) / kE10 * std::exp(10.0 * r / n);
    case kCrossfadeLogOut:
      return start + (end - start) / kE10 * std::exp(10.0 * (1.0 - r / n));
    default:
      return 100.0;
  }
}

}  // namespace

int ApplyGainCurve(const std::string& file, uint64_t from, uint64_t to, double g1, double g2, int mode, double p1,
                   double p2, Prompts& prompts) {
  if (from > to) {
    ShowText(prompts, StringId::kArraySizeMismatch);
    return 0;
  }
  RunState run;
  WaveStream stream(kPieceValues, 0, run);
  if (const int result = stream.Open(file, kOpenWrite); result != kStreamOk) {
    ReportStreamError(prompts, result);
    return 0;
  }
  const int frame = stream.Format().blockAlign;
  from = FloorToFrame(from, frame);
  to = FloorToFrame(to, frame);
  if (to > stream.DataBytes()) {
    prompts.Show(StringText(StringId::kArraySizeMismatch), "", PromptIcon::Warning);
    return 0;
  }
  const uint64_t length = to - from;
  if (length == 0) return 1;
  const int width = stream.BytesPerSample();
  const int channels = stream.Format().channels;
  const uint64_t pieceBytes = static_cast<uint64_t>(PieceValues(channels)) * static_cast<uint64_t>(width);
  uint64_t x = 0;
  for (uint64_t at = from; at < to;) {
    const uint64_t bytes = std::min(pieceBytes, to - at);
    if (stream.SeekData(static_cast<int64_t>(at), 0) < 0 ||
        stream.ReadValues(static_cast<int>(bytes / width)) != static_cast<int64_t>(bytes)) {
      ShowText(prompts, StringId::kRangeReadError);
      return 0;
    }
    SampleValue* value = stream.Begin();
    const SampleValue* const end = value + bytes / width;
    while (value < end) {
      const double factor = GainFactor(mode, g1, g2, p1, p2, static_cast<double>(x), static_cast<double>(length));
      for (int c = 0; c < channels && value < end; ++c, ++value) {
        *value = stream.ClipValue(static_cast<SampleValue>(
            std::clamp<int64_t>(Truncate(*value * factor), std::numeric_limits<SampleValue>::min(),
                                std::numeric_limits<SampleValue>::max())));
        x += static_cast<uint64_t>(width);
      }
    }
    if (stream.SeekData(static_cast<int64_t>(at), 0) < 0 ||
        stream.WriteBytes(static_cast<int>(bytes)) != static_cast<int64_t>(bytes)) {
      ShowWriteError(prompts, file);
      return 0;
    }
    at += bytes;
  }
  return 1;
}

int MixIntoFile(const std::string& clipFile, const std::string& file, uint64_t clipFrom, uint64_t clipTo,
                uint64_t from, uint64_t to, int clipPercent, int filePercent, Prompts& prompts) {
  RunState run;
  WaveStream clip(kPieceValues, 0, run);
  WaveStream target(kPieceValues, 0, run);
  if (const int result = clip.Open(clipFile, kOpenRead); result != kStreamOk) {
    ReportStreamError(prompts, result);
    return 0;
  }
  WaveFormat format = clip.Format();
  if (const int result = target.Create(file, format, kCreateNoIoBuffer); result != kStreamOk) {
    if (result == kStreamBadFormat)
      prompts.Show(StringText(StringId::kFormatsDiffer), "", PromptIcon::Warning);
    else
      ShowWriteError(prompts, file);
    return 0;
  }
  const int clipWidth = clip.BytesPerSample();
  const int targetWidth = target.BytesPerSample();
  if (clipTo == 0 || clipTo > clip.DataBytes()) clipTo = clip.DataBytes();
  clipFrom = FloorToFrame(clipFrom, clip.Format().blockAlign);
  clipTo = FloorToFrame(clipTo, clip.Format().blockAlign);
  from = FloorToFrame(from, target.Format().blockAlign);
  to = FloorToFrame(to, target.Format().blockAlign);
  if (clipFrom > clipTo || from > to || from > target.DataBytes() ||
      clip.SeekData(static_cast<int64_t>(clipFrom), 0) < 0) {
    ShowText(prompts, StringId::kSeekNewPositionError);
    return 0;
  }
  const uint64_t count = std::min((clipTo - clipFrom) / clipWidth, (to - from) / targetWidth);
  const uint64_t dataBefore = target.DataBytes();
  const uint64_t piece = static_cast<uint64_t>(PieceValues(format.channels));
  for (uint64_t done = 0; done < count;) {
    const auto values = static_cast<int>(std::min(piece, count - done));
    const uint64_t at = from + done * static_cast<uint64_t>(targetWidth);
    if (target.SeekData(static_cast<int64_t>(at), 0) < 0) {
      ShowText(prompts, StringId::kSeekNewPositionError);
      return 0;
    }
    if (clip.ReadValues(values) != static_cast<int64_t>(values) * clipWidth) {
      ShowText(prompts, StringId::kCannotReadSourceFile);
      return 0;
    }
    // The target's part beyond its data (it grows) counts as silence.
    const int64_t got = target.ReadValues(values);
    if (got < 0) {
      ShowText(prompts, StringId::kCannotReadSourceFile);
      return 0;
    }
    SampleValue* mixed = target.Begin();
    std::fill(mixed + got / targetWidth, mixed + values, SampleValue{0});
    const SampleValue* clipValue = clip.Begin();
    for (int i = 0; i < values; ++i) {
      const int64_t sum = static_cast<int64_t>(clipValue[i]) * clipPercent + static_cast<int64_t>(mixed[i]) * filePercent;
      mixed[i] = target.ClipValue(static_cast<SampleValue>(std::clamp<int64_t>(
          sum / 100, std::numeric_limits<SampleValue>::min(), std::numeric_limits<SampleValue>::max())));
    }
    const int bytes = values * targetWidth;
    if (target.SeekData(static_cast<int64_t>(at), 0) < 0 || target.WriteBytes(bytes) != bytes) {
      ShowWriteError(prompts, file);
      return 0;
    }
    done += static_cast<uint64_t>(values);
  }
  if (target.CloseChunks(target.DataBytes() > dataBefore ? kFlagDirty : 0) != 0) {
    ShowWriteError(prompts, file);
    return 0;
  }
  return 1;
}

int CrossfadeFiles(const std::string& fileA, const std::string& fileB, uint64_t aFrom, uint64_t aTo, uint64_t bFrom,
                   uint64_t bTo, const CrossfadeLevels& levels, int curve, const CrossfadeControl& control,
                   Prompts& prompts) {
  const bool preview = control.Preview();
  RunState localRun;
  RunState& run = control.run != nullptr ? *control.run : localRun;
  run.stopRequested.store(0);  // a stop of an earlier run does not end this one
  WaveStream a(kPieceValues, 0, localRun);
  WaveStream b(kPieceValues, 0, localRun);
  if (const int result = a.Open(fileA, kOpenRead); result != kStreamOk) {
    ReportStreamError(prompts, result);
    return 0;
  }
  WaveFormat format = a.Format();
  // A preview only reads B; otherwise B is written in place.
  int opened = preview ? b.Open(fileB, kOpenRead) : b.Create(fileB, format, kCreateNoIoBuffer);
  if (opened == kStreamOk && (b.Format().channels != format.channels || b.Format().sampleRate != format.sampleRate))
    opened = kStreamBadFormat;
  if (opened != kStreamOk) {
    if (opened == kStreamBadFormat)
      prompts.Show(StringText(StringId::kFormatsDiffer), "", PromptIcon::Warning);
    else if (preview)
      ReportStreamError(prompts, opened);
    else
      ShowWriteError(prompts, fileB);
    return 0;
  }
  const int aWidth = a.BytesPerSample();
  const int bWidth = b.BytesPerSample();
  aFrom = FloorToFrame(aFrom, format.blockAlign);
  aTo = FloorToFrame(std::min(aTo, a.DataBytes()), format.blockAlign);
  bFrom = FloorToFrame(bFrom, b.Format().blockAlign);
  bTo = FloorToFrame(bTo, b.Format().blockAlign);
  if (bFrom > bTo || bFrom > b.DataBytes() || (aFrom < aTo && a.SeekData(static_cast<int64_t>(aFrom), 0) < 0)) {
    ShowText(prompts, StringId::kSeekNewPositionError);
    return 0;
  }
  const uint64_t n = (bTo - bFrom) / static_cast<uint64_t>(bWidth);
  if (n == 0) return 1;
  uint64_t aLeft = aFrom < aTo ? (aTo - aFrom) / static_cast<uint64_t>(aWidth) : 0;  // A's values still to read

  WaveStream* play = control.playStream;
  if (preview) {
    play->SetFormat(b.Format());
    // On failure the device engine has shown its message.
    if (control.devices->OpenOutputForStream(DeviceEngine::DeviceFormat(b.Format()),
                                             static_cast<uint32_t>(std::min<uint64_t>(n * bWidth, UINT32_MAX))) != 0)
      return 0;
  }
  auto finishPreview = [&](bool drain) {
    if (!preview) return;
    if (drain && !run.stopRequested.load() && control.devices->OutputOpen())
      control.devices->SubmitBlock(*play, true);
    while (drain && control.devices->OutputOpen() && !run.stopRequested.load()) control.devices->AwaitOutput(50);
    control.devices->CloseOutput();
  };

  const uint64_t dataBefore = b.DataBytes();
  const int channels = format.channels;
  const uint64_t piece = static_cast<uint64_t>(PieceValues(channels));
  const auto total = static_cast<double>(n);
  uint64_t r = n;
  bool stopped = false;
  while (r > 0) {
    if (control.queue != nullptr) control.queue->DispatchPending();
    if (run.stopRequested.load()) {
      stopped = true;
      break;
    }
    const auto values = static_cast<int>(std::min(piece, r));
    const uint64_t at = bFrom + (n - r) * static_cast<uint64_t>(bWidth);
    const auto fromA = static_cast<int>(std::min<uint64_t>(aLeft, static_cast<uint64_t>(values)));
    const int64_t gotB = b.SeekData(static_cast<int64_t>(at), 0) < 0 ? -1 : b.ReadValues(values);
    if ((fromA > 0 && a.ReadValues(fromA) != static_cast<int64_t>(fromA) * aWidth) || gotB < 0) {
      ShowText(prompts, StringId::kRangeReadError);
      finishPreview(false);
      return 0;
    }
    aLeft -= static_cast<uint64_t>(fromA);
    SampleValue* aValues = a.Begin();
    SampleValue* bValues = b.Begin();
    std::fill(aValues + fromA, aValues + values, SampleValue{0});
    std::fill(bValues + gotB / bWidth, bValues + values, SampleValue{0});
    const auto high = static_cast<int64_t>(FullScaleHigh());
    const auto low = static_cast<int64_t>(FullScaleLow());
    for (int i = 0; i < values;) {
      const auto left = static_cast<double>(r);
      const double gainA = CrossfadeGain(curve, levels.a0, levels.a1, left, total);
      const double gainB = CrossfadeGain(curve, levels.b0, levels.b1, left, total);
      for (int c = 0; c < channels && i < values; ++c, ++i) {
        const auto mixed = static_cast<SampleValue>(
            std::clamp(Truncate((aValues[i] * gainA + bValues[i] * gainB) / 100.0), low, high));
        if (!preview) {
          bValues[i] = mixed;
        } else if (play->WriteSample(mixed) == 0) {
          stopped = true;
          break;
        }
      }
      if (stopped) break;
      r -= std::min<uint64_t>(r, static_cast<uint64_t>(channels));
    }
    if (stopped) break;
    if (!preview) {
      const int bytes = values * bWidth;
      if (b.SeekData(static_cast<int64_t>(at), 0) < 0) {
        ShowText(prompts, StringId::kSeekNewPositionError);
        return 0;
      }
      if (b.WriteBytes(bytes) != bytes) {
        ShowWriteError(prompts, fileB);
        return 0;
      }
    }
  }
  if (preview) {
    finishPreview(!stopped);
    return 1;
  }
  if (b.CloseChunks(b.DataBytes() > dataBefore ? kFlagDirty : 0) != 0) {
    ShowWriteError(prompts, fileB);
    return 0;
  }
  return 1;
}

int ReverseRange(const std::string& source, const std::string& destination, uint64_t from, uint64_t to,
                 uint64_t destFrom, Prompts& prompts) {
  RunState run;
  WaveStream input(kPieceValues, 0, run);
  WaveStream output(kPieceValues, 0, run);
  if (const int result = input.Open(source, kOpenRead); result != kStreamOk) {
    ReportStreamError(prompts, result);
    return 0;
  }
  WaveFormat format = input.Format();
  if (output.Create(destination, format, kCreateNoIoBuffer) != kStreamOk) {
    ShowText(prompts, StringId::kReverseCreateFailed);
    return 0;
  }
  const int frame = input.Format().blockAlign;
  const int channels = input.Format().channels;
  const int inWidth = input.BytesPerSample();
  const int outWidth = output.BytesPerSample();
  from = FloorToFrame(from, frame);
  to = FloorToFrame(to, frame);
  destFrom = FloorToFrame(destFrom, output.Format().blockAlign);
  if (from > to || to > input.DataBytes() || destFrom > output.DataBytes() ||
      output.SeekData(static_cast<int64_t>(destFrom), 0) < 0) {
    ShowText(prompts, StringId::kSeekNewPositionError);
    return 0;
  }
  const uint64_t dataBefore = output.DataBytes();
  const uint64_t pieceBytes = static_cast<uint64_t>(PieceValues(channels)) * static_cast<uint64_t>(inWidth);
  for (uint64_t at = to; at > from;) {
    const uint64_t bytes = std::min(pieceBytes, at - from);
    at -= bytes;
    const auto values = static_cast<int>(bytes / static_cast<uint64_t>(inWidth));
    if (input.SeekData(static_cast<int64_t>(at), 0) < 0) {
      ShowText(prompts, StringId::kSeekNewPositionError);
      return 0;
    }
    if (input.ReadValues(values) != static_cast<int64_t>(bytes)) {
      ShowText(prompts, StringId::kRangeReadError);
      return 0;
    }
    // Whole frames in reverse order, each frame's channels in their places.
    const SampleValue* in = input.Begin();
    SampleValue* out = output.Begin();
    const int frames = values / channels;
    for (int f = 0; f < frames; ++f)
      for (int c = 0; c < channels; ++c) out[f * channels + c] = in[(frames - 1 - f) * channels + c];
    const int outBytes = values * outWidth;
    if (output.WriteBytes(outBytes) != outBytes) {
      ShowWriteError(prompts, destination);
      return 0;
    }
  }
  if (output.CloseChunks(output.DataBytes() > dataBefore ? kFlagDirty : 0) != 0) {
    ShowWriteError(prompts, destination);
    return 0;
  }
  return 1;
}

int WriteSilenceFile(const std::string& path, WaveFormat format, double seconds, Prompts& prompts) {
  RunState run;
  WaveStream stream(kPieceValues, 0, run);
  if (stream.Create(path, format, kCreateOverwrite) != kStreamOk) {
    ShowText(prompts, StringId::kTempCreateFailed);
    return 0;
  }
  if (stream.WriteSilenceAndClose(std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0) != 1) {
    ShowText(prompts, StringId::kSilenceCreateFailed);
    return 0;
  }
  return 1;
}

int InterpolateRange(const std::string& file, uint64_t from, uint64_t to, InterpolateChannels channels,
                     Prompts& prompts) {
  if (to < from || to - from >= kInterpolateLimitBytes) {
    prompts.Show(StringText(StringId::kInterpolateTooLarge), "", PromptIcon::Warning);
    return 0;
  }
  RunState run;
  WaveStream stream(kPieceValues, 0, run);
  if (const int result = stream.Open(file, kOpenWrite); result != kStreamOk) {
    ReportStreamError(prompts, result);
    return 0;
  }
  const int frame = stream.Format().blockAlign;
  const int count = stream.Format().channels;
  const int width = stream.BytesPerSample();
  from = FloorToFrame(from, frame);
  to = FloorToFrame(to, frame);
  if (to > stream.DataBytes()) {
    ShowText(prompts, StringId::kSeekNewPositionError);
    return 0;
  }
  const size_t gap = (to - from) / static_cast<uint64_t>(frame);
  if (gap == 0) return 1;
  // 4096 values from 2048 values before the selection (or from the start).
  const uint64_t lead = static_cast<uint64_t>(kPieceValues / 2) * static_cast<uint64_t>(width);
  const uint64_t windowStart = FloorToFrame(from > lead ? from - lead : 0, frame);
  if (stream.SeekData(static_cast<int64_t>(windowStart), 0) < 0) {
    ShowText(prompts, StringId::kSeekNewPositionError);
    return 0;
  }
  const int64_t got = stream.ReadValues(kPieceValues - kPieceValues % count);
  if (got < 0 || static_cast<uint64_t>(got) < to - windowStart) {
    ShowText(prompts, StringId::kRangeReadError);
    return 0;
  }
  const auto values = static_cast<size_t>(got / width);
  const size_t frames = values / static_cast<size_t>(count);
  const size_t before = (from - windowStart) / static_cast<uint64_t>(frame);
  const size_t after = frames - before - gap;
  SampleValue* data = stream.Begin();
  GapPredictionScratch scratch;
  for (int c = 0; c < count; ++c) {
    const bool wanted = count == 1 || channels == InterpolateChannels::Both ||
                        (channels == InterpolateChannels::Left && c == 0) ||
                        (channels == InterpolateChannels::Right && c == 1);
    if (!wanted) continue;
    const SampleValue* lastBefore = data + (before > 0 ? (before - 1) * count : 0) + c;
    const SampleValue* firstAfter = data + (before + gap) * count + c;
    GapPrediction(lastBefore, before, firstAfter, after, gap, count, data + before * count + c, count, scratch);
  }
  const auto bytes = static_cast<int>(values * static_cast<size_t>(width));
  if (stream.SeekData(static_cast<int64_t>(windowStart), 0) < 0 || stream.WriteBytes(bytes) != bytes) {
    ShowWriteError(prompts, file);
    return 0;
  }
  return 1;
}

}  // namespace ztlive
