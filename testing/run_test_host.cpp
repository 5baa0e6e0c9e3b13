#include "testing/run_test_host.h"


#include <algorithm>

#include "filters/framework/preset_store.h"
#include "platform/file_ops.h"
#include "platform/portaudio_wave_system.h"
#include "platform/virtual_sound_card.h"

namespace ztlive::test {

namespace {

constexpr int kLongestWaitMs = 10;         // a wait without limit comes back this often for the pump

}  // namespace

RunTestHost::RunTestHost(std::string sourcePath, SoundCards cards)
    : m_homeVariable("ZTLIVE_HOME", m_home.Path()), m_settings(m_home.File("settings.ini")) {
  m_settings.Write(setting::kTempPath, m_temp.Path());  // before the document reads it
  m_run.loopPreview = 0;                                // a preview plays its region once
  std::unique_ptr<WaveSystem> soundCards;
  if (cards == SoundCards::Real)
    soundCards = std::make_unique<PortAudioWaveSystem>();
  else
    soundCards = std::make_unique<VirtualSoundCard>(0, 0);
  m_environment = std::make_unique<RunEnvironment>(std::move(soundCards), m_run, m_settings, m_prompts);
  m_environment->Queue().SetPumpHook([this](int maxWaitMs) {
    if (m_pump) m_pump();
    if (maxWaitMs != 0) Queue().PollWake(maxWaitMs < 0 ? kLongestWaitMs : std::min(maxWaitMs, kLongestWaitMs));
  });
  m_document = std::make_unique<CZantoDoc>(std::move(sourcePath), m_settings, m_prompts);
}

RunTestHost::~RunTestHost() = default;

int RunTestHost::RunFilterFromWindow(FilterTypeId type, RunDialog* dialog, bool preview, const PresetValues& values) {
  ++m_runCount;
  m_lastResult = Runner().RunFilter(this, type, dialog, preview, -1, values);
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
  const std::vector<std::string> names = Cards().OutputDeviceNames();
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].rfind(nameStart, 0) != 0) continue;
    m_settings.Write(setting::kDevOut, static_cast<int32_t>(i));
    m_environment->ApplyDeviceSettings();
    return true;
  }
  return false;
}

std::string RunTestHost::PresetFilePath() const { return PresetFile().Path(); }

}  // namespace ztlive::test
