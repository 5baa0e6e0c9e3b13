#include "testing/run_test_host.h"

#include <poll.h>

#include <algorithm>

#include "filters/framework/preset_store.h"
#include "platform/file_ops.h"
#include "platform/portaudio_wave_system.h"
#include "platform/virtual_sound_card.h"

namespace ztlive::test {

namespace {

constexpr size_t kBlockValues = 4096;
constexpr size_t kHistoryCapacity = 8192;  // room for the longest history and look-ahead of any engine
constexpr int kLongestWaitMs = 10;         // a wait without limit comes back this often for the pump

}  // namespace

RunTestHost::RunTestHost(std::string sourcePath, SoundCards cards)
    : m_homeVariable("ZTLIVE_HOME", m_home.Path()),
      m_settings(m_home.File("settings.ini")),
      m_input(kBlockValues, kHistoryCapacity, m_run),
      m_output(kBlockValues, kHistoryCapacity, m_run) {
  m_settings.Write(setting::kTempPath, m_temp.Path());  // before the document reads it
  m_run.loopPreview = 0;                                // a preview plays its region once
  if (cards == SoundCards::Real)
    m_cards = std::make_unique<PortAudioWaveSystem>();
  else
    m_cards = std::make_unique<VirtualSoundCard>(0, 0);
  const DeviceEngine::Settings deviceSettings{static_cast<unsigned>(m_settings.Read(setting::kDevOut)),
                                              static_cast<unsigned>(m_settings.Read(setting::kDevIn)),
                                              m_settings.Read(setting::kPreRollBuffs)};
  m_devices = std::make_unique<DeviceEngine>(*m_cards, m_queue, m_prompts, m_run, m_output, m_input, deviceSettings);
  m_input.SetMessageQueue(&m_queue);
  m_queue.SetPumpHook([this](int maxWaitMs) {
    if (m_pump) m_pump();
    if (maxWaitMs == 0) return;
    pollfd wake{m_queue.WakeDescriptor(), POLLIN, 0};
    poll(&wake, 1, maxWaitMs < 0 ? kLongestWaitMs : std::min(maxWaitMs, kLongestWaitMs));
  });
  m_filterRun =
      std::make_unique<FilterRun>(RunServices{m_run, m_queue, m_prompts, m_settings, *m_devices, m_input, m_output});
  m_document = std::make_unique<CZantoDoc>(std::move(sourcePath), m_settings, m_prompts);
}

RunTestHost::~RunTestHost() {
  m_queue.SetPumpHook({});  // the members the hook uses go before the queue
  m_devices->CloseOutput();
  m_devices->CloseInput();
}

int RunTestHost::RunFilterFromWindow(FilterTypeId type, RunDialog* dialog, bool preview, const PresetValues& values) {
  ++m_runCount;
  m_lastResult = m_filterRun->RunFilter(this, type, dialog, preview, -1, values);
  return m_lastResult;
}

void RunTestHost::Selection(int64_t& first, int64_t& last) {
  first = m_selectionFirst;
  last = m_selectionLast;
}

void RunTestHost::SetSelection(int64_t first, int64_t last) {
  m_selectionFirst = first;
  m_selectionLast = last;
}

void RunTestHost::SetDestination(const std::string& path) {
  m_document->SetDestinationName(path, false);
  if (!FileExists(path)) m_document->SetSyncMode(0);  // nothing to write in place
}

bool RunTestHost::UseOutputDevice(std::string_view nameStart) {
  const std::vector<std::string> names = m_cards->OutputDeviceNames();
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].rfind(nameStart, 0) != 0) continue;
    m_settings.Write(setting::kDevOut, static_cast<int32_t>(i));
    m_devices->SetSettings({static_cast<unsigned>(i), static_cast<unsigned>(m_settings.Read(setting::kDevIn)),
                            m_settings.Read(setting::kPreRollBuffs)});
    return true;
  }
  return false;
}

std::string RunTestHost::PresetFilePath() const { return PresetFile().Path(); }

}  // namespace ztlive::test
