#include "app/app_core.h"

#include "filters/framework/preset_store.h"
#include "filters/ready_presets.h"

namespace ztlive {

AppCore::AppCore(std::unique_ptr<WaveSystem> cards, Prompts& prompts)
    : m_run(TheRunState()),
      m_prompts(prompts),
      m_environment(std::move(cards), m_run, m_settings, prompts),
      m_pump(m_environment.Queue()),
      m_clipboard(prompts, [this] { return m_settings.Read(setting::kTempPath); }) {
  m_run.loopPreview = m_settings.Read(setting::kLoopPreview);
  // The presets the filters ship, on the first start; a file that cannot take them only
  // means they are not listed (the filters still answer to their names).
  ProfileFile presets = PresetFile();
  WriteReadyPresets(presets);
}

}  // namespace ztlive
