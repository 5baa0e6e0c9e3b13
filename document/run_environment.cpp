#include "document/run_environment.h"

#include <algorithm>

namespace ztlive {

namespace {

constexpr int kMaxPreRollBuffers = 51;

DeviceEngine::Settings ReadDeviceSettings(const SettingsStore& settings) {
  return {static_cast<unsigned>(std::max(0, settings.Read(setting::kDevOut))),
          static_cast<unsigned>(std::max(0, settings.Read(setting::kDevIn))),
          std::min(settings.Read(setting::kPreRollBuffs), kMaxPreRollBuffers),
          DeviceEngine::LiveBlockValues(settings.Read(setting::kLiveBlockSize))};
}

}  // namespace

RunEnvironment::RunEnvironment(std::unique_ptr<WaveSystem> cards, RunState& run, SettingsStore& settings,
                               Prompts& prompts)
    : m_run(run),
      m_settings(settings),
      m_cards(std::move(cards)),
      m_input(kBlockValues, kHistoryCapacity, run),
      m_output(kBlockValues, kHistoryCapacity, run) {
  m_devices = std::make_unique<DeviceEngine>(*m_cards, m_queue, prompts, run, m_output, m_input,
                                             ReadDeviceSettings(settings));
  m_input.SetMessageQueue(&m_queue);
  m_filterRun = std::make_unique<FilterRun>(RunServices{run, m_queue, prompts, settings, *m_devices, m_input, m_output});
}

RunEnvironment::~RunEnvironment() {
  m_queue.SetPumpHook(nullptr);  // what the hook uses may already be gone
  m_run.stopRequested.store(1);
  m_devices->CloseOutput();
  m_devices->CloseInput();
}

void RunEnvironment::ApplyDeviceSettings() { m_devices->SetSettings(ReadDeviceSettings(m_settings)); }

}  // namespace ztlive
