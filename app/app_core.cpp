#include "app/app_core.h"

#include <algorithm>

namespace ztlive {

namespace {

constexpr int kBlockValues = 4096;
constexpr int kHistoryCapacity = 8192;  // room for the longest history and look-ahead of any engine
constexpr int kMaxPreRollBuffers = 51;

DeviceEngine::Settings ReadDeviceSettings(const SettingsStore& settings) {
  return {static_cast<unsigned>(std::max(0, settings.Read(setting::kDevOut))),
          static_cast<unsigned>(std::max(0, settings.Read(setting::kDevIn))),
          std::min(settings.Read(setting::kPreRollBuffs), kMaxPreRollBuffers)};
}

}  // namespace

AppCore::AppCore(std::unique_ptr<WaveSystem> devices, Prompts& prompts)
    : m_run(TheRunState()),
      m_prompts(prompts),
      m_pump(m_queue),
      m_devices(std::move(devices)),
      m_input(kBlockValues, kHistoryCapacity, m_run),
      m_output(kBlockValues, kHistoryCapacity, m_run) {
  m_run.loopPreview = m_settings.Read(setting::kLoopPreview);
  m_run.suppressPeaks = 0;
  m_engine = std::make_unique<DeviceEngine>(*m_devices, m_queue, m_prompts, m_run, m_output, m_input,
                                            ReadDeviceSettings(m_settings));
  m_input.SetMessageQueue(&m_queue);
  m_filterRun = std::make_unique<FilterRun>(
      RunServices{m_run, m_queue, m_prompts, m_settings, *m_engine, m_input, m_output});
}

AppCore::~AppCore() {
  m_run.stopRequested.store(1);
  m_engine->CloseOutput();
  m_engine->CloseInput();
}

void AppCore::ApplyDeviceSettings() { m_engine->SetSettings(ReadDeviceSettings(m_settings)); }

}  // namespace ztlive
