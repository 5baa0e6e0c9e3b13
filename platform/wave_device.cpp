#include "platform/wave_device.h"

namespace ztlive {

int PrepareWaveHeader(WaveHeader& header) {
  if (header.data == nullptr) return kWaveError;
  header.flags |= kWaveHeaderPrepared;
  return kWaveOk;
}

int UnprepareWaveHeader(WaveHeader& header) {
  if (header.flags & kWaveHeaderInQueue) return kWaveStillPlaying;
  header.flags &= ~kWaveHeaderPrepared;
  return kWaveOk;
}

std::string WaveResultText(int result) {
  switch (result) {
    case kWaveOk:
      return "The operation succeeded.";
    case kWaveBadDeviceId:
      return "The device number is out of range.";
    case kWaveInvalidHandle:
      return "The device is not open.";
    case kWaveNoMemory:
      return "Not enough memory for the device.";
    case kWaveBadFormat:
      return "The device does not support this format.";
    case kWaveStillPlaying:
      return "Buffers are still queued on the device.";
    case kWaveUnprepared:
      return "The buffer has not been prepared.";
    default:
      return "The device reported an error.";
  }
}

}  // namespace ztlive
