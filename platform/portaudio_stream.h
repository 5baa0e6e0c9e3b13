// Opening a PortAudio stream for a wave device format, shared by output and input. The
// stream runs in the file's own sample format and rate where the device offers them; else
// it runs in floats, at the file's rate or, failing that, at the device's own rate, and the
// caller converts (the rate too, when it differs).
#pragma once

#include <portaudio.h>

#include <string>

#include "platform/wave_device.h"

namespace ztlive {

struct StreamPlan {
  bool converted = false;  // the stream carries floats, not the file's bytes
  double deviceRate = 0;   // the stream's sample rate
};

// A failed PortAudio call: the model's result for it, with PortAudio's text kept for ErrorText.
struct PortAudioFailure {
  int result = kWaveOk;
  std::string text;

  int Set(PaError error);
  std::string TextFor(int wanted) const;
};

int OpenPortAudioStream(bool output, int deviceIndex, const WaveDeviceFormat& format, PaStreamCallback* callback,
                        void* user, PaStream*& stream, StreamPlan& plan, PortAudioFailure& failure);

}  // namespace ztlive
