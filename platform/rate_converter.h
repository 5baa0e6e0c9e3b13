// Sample-rate conversion of interleaved float frames for a sound card that does not offer a
// file's rate. A thin owner of a libsamplerate converter (band-limited sinc interpolation);
// Process neither allocates nor locks, so the audio callback may call it.
#pragma once

#include <cstddef>

namespace ztlive {

class RateConverter {
 public:
  RateConverter() = default;
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;

  // Converts from inputRate to outputRate. False when the converter cannot be made.
  bool Init(int channels, double inputRate, double outputRate);
  bool Active() const { return m_state != nullptr; }
  double Ratio() const { return m_ratio; }

  // Consumes up to inputFrames and produces up to outputCapacity frames; reports both counts.
  // False on a converter error.
  bool Process(const float* input, size_t inputFrames, float* output, size_t outputCapacity, size_t& inputUsed,
               size_t& outputMade);
  void Reset();
  // Frees the converter; Active() is false afterwards.
  void Release();

 private:
  void* m_state = nullptr;  // SRC_STATE
  double m_ratio = 1.0;
};

}  // namespace ztlive
