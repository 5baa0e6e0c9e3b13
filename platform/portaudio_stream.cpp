#include "platform/portaudio_stream.h"

namespace ztlive {

namespace {

PaSampleFormat NativeFormat(int bitsPerSample) {
  switch (bitsPerSample) {
    case 8:
      return paUInt8;
    case 16:
      return paInt16;
    case 20:  // stored in three bytes
    case 24:
      return paInt24;
    default:
      return paInt32;
  }
}

bool FormatValid(const WaveDeviceFormat& format) {
  const int bits = format.bitsPerSample;
  const bool width = bits == 8 || bits == 16 || bits == 20 || bits == 24 || bits == 32;
  return width && format.channels >= 1 && format.channels <= 2 && format.sampleRate > 0 &&
         format.blockAlign == format.channels * ((bits + 7) / 8);
}

}  // namespace

int PortAudioFailure::Set(PaError error) {
  text = Pa_GetErrorText(error);
  if (error == paUnanticipatedHostError) {
    const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
    if (host != nullptr && host->errorText != nullptr && host->errorText[0] != '\0') text += std::string(": ") + host->errorText;
  }
  switch (error) {
    case paInvalidDevice:
    case paDeviceUnavailable:
      result = kWaveBadDeviceId;
      break;
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
    case paInvalidChannelCount:
      result = kWaveBadFormat;
      break;
    case paInsufficientMemory:
      result = kWaveNoMemory;
      break;
    default:
      result = kWaveError;
      break;
  }
  return result;
}

std::string PortAudioFailure::TextFor(int wanted) const {
  return wanted == result && !text.empty() ? text : WaveResultText(wanted);
}

int OpenPortAudioStream(bool output, int deviceIndex, const WaveDeviceFormat& format, PaStreamCallback* callback,
                        void* user, PaStream*& stream, StreamPlan& plan, PortAudioFailure& failure) {
  failure = PortAudioFailure();
  const PaDeviceInfo* info = deviceIndex >= 0 ? Pa_GetDeviceInfo(deviceIndex) : nullptr;
  if (info == nullptr) return kWaveBadDeviceId;
  if (!FormatValid(format)) return kWaveBadFormat;

  PaStreamParameters parameters{};
  parameters.device = deviceIndex;
  parameters.channelCount = format.channels;
  parameters.sampleFormat = NativeFormat(format.bitsPerSample);
  parameters.suggestedLatency = output ? info->defaultLowOutputLatency : info->defaultLowInputLatency;
  const PaStreamParameters* in = output ? nullptr : &parameters;
  const PaStreamParameters* out = output ? &parameters : nullptr;

  plan = StreamPlan{false, static_cast<double>(format.sampleRate)};
  PaError supported = Pa_IsFormatSupported(in, out, plan.deviceRate);
  if (supported != paFormatIsSupported) {
    const PaError first = supported;
    parameters.sampleFormat = paFloat32;
    plan.converted = true;
    supported = Pa_IsFormatSupported(in, out, plan.deviceRate);
    if (supported != paFormatIsSupported) {
      plan.deviceRate = info->defaultSampleRate;
      supported = Pa_IsFormatSupported(in, out, plan.deviceRate);
    }
    if (supported != paFormatIsSupported) return failure.Set(first);
  }
  const PaError error = Pa_OpenStream(&stream, in, out, plan.deviceRate, paFramesPerBufferUnspecified,
                                      paClipOff | paDitherOff, callback, user);
  if (error != paNoError) {
    stream = nullptr;
    return failure.Set(error);
  }
  return kWaveOk;
}

}  // namespace ztlive
