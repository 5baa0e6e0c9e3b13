#include "platform/portaudio_wave_system.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <pa_jack.h>
#include <portaudio.h>

#include "platform/portaudio_input.h"
#include "platform/portaudio_output.h"

namespace ztlive {

namespace {

void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
void IgnoreJackMessage(const char*) {}

// The ALSA and JACK libraries print their probing (missing cards, no JACK server) to stderr;
// PortAudio's error texts already say what matters, so those messages are dropped.
void QuietAudioLibraries() {
  snd_lib_error_set_handler(IgnoreAlsaMessage);
  jack_set_error_function(IgnoreJackMessage);
  jack_set_info_function(IgnoreJackMessage);
}

std::string DeviceName(int index) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
  const PaHostApiInfo* host = Pa_GetHostApiInfo(info->hostApi);
  return std::string(info->name) + " (" + (host != nullptr ? host->name : "?") + ")";
}

// The default device first, then the others in PortAudio's order.
std::vector<int> DeviceList(bool output) {
  std::vector<int> list;
  const int preferred = output ? Pa_GetDefaultOutputDevice() : Pa_GetDefaultInputDevice();
  auto usable = [output](int index) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    return info != nullptr && (output ? info->maxOutputChannels : info->maxInputChannels) > 0;
  };
  if (preferred != paNoDevice && usable(preferred)) list.push_back(preferred);
  for (int index = 0; index < Pa_GetDeviceCount(); ++index)
    if (index != preferred && usable(index)) list.push_back(index);
  return list;
}

}  // namespace

PortAudioWaveSystem::PortAudioWaveSystem() {
  QuietAudioLibraries();
  PaJack_SetClientName("ZT-Live");
  const PaError error = Pa_Initialize();
  if (error != paNoError) {
    m_initError = Pa_GetErrorText(error);
    return;
  }
  m_initialized = true;
  ListDevices();
}

PortAudioWaveSystem::~PortAudioWaveSystem() {
  if (m_initialized && !m_streamAbandoned) Pa_Terminate();
}

void PortAudioWaveSystem::ListDevices() {
  m_outputDevices = DeviceList(true);
  m_inputDevices = DeviceList(false);
}

std::vector<std::string> PortAudioWaveSystem::OutputDeviceNames() {
  std::vector<std::string> names;
  for (int index : m_outputDevices) names.push_back(DeviceName(index));
  return names;
}

std::vector<std::string> PortAudioWaveSystem::InputDeviceNames() {
  std::vector<std::string> names;
  for (int index : m_inputDevices) names.push_back(DeviceName(index));
  return names;
}

int PortAudioWaveSystem::OutputDeviceIndex(unsigned deviceId) const {
  return deviceId < m_outputDevices.size() ? m_outputDevices[deviceId] : -1;
}

int PortAudioWaveSystem::InputDeviceIndex(unsigned deviceId) const {
  return deviceId < m_inputDevices.size() ? m_inputDevices[deviceId] : -1;
}

std::unique_ptr<WaveOut> PortAudioWaveSystem::MakeOutput() { return std::make_unique<PortAudioOutput>(*this); }
std::unique_ptr<WaveIn> PortAudioWaveSystem::MakeInput() { return std::make_unique<PortAudioInput>(*this); }

}  // namespace ztlive
