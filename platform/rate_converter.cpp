#include "platform/rate_converter.h"

#include <samplerate.h>

namespace ztlive {

RateConverter::~RateConverter() { Release(); }

void RateConverter::Release() {
  if (m_state != nullptr) src_delete(static_cast<SRC_STATE*>(m_state));
  m_state = nullptr;
  m_ratio = 1.0;
}

bool RateConverter::Init(int channels, double inputRate, double outputRate) {
  Release();
  int error = 0;
  // Medium quality: better than 16-bit transparency, at a small part of one core.
  m_state = src_new(SRC_SINC_MEDIUM_QUALITY, channels, &error);
  m_ratio = outputRate / inputRate;
  return m_state != nullptr && src_is_valid_ratio(m_ratio);
}

bool RateConverter::Process(const float* input, size_t inputFrames, float* output, size_t outputCapacity,
                            size_t& inputUsed, size_t& outputMade) {
  SRC_DATA data{};
  data.data_in = input;
  data.data_out = output;
  data.input_frames = static_cast<long>(inputFrames);
  data.output_frames = static_cast<long>(outputCapacity);
  data.src_ratio = m_ratio;
  data.end_of_input = 0;
  const int error = src_process(static_cast<SRC_STATE*>(m_state), &data);
  inputUsed = static_cast<size_t>(data.input_frames_used);
  outputMade = static_cast<size_t>(data.output_frames_gen);
  return error == 0;
}

void RateConverter::Reset() {
  if (m_state != nullptr) src_reset(static_cast<SRC_STATE*>(m_state));
}

}  // namespace ztlive
