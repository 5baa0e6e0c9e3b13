#include "filters/ready_presets.h"

#include <string>

#include "filters/filter_registry.h"
#include "filters/framework/preset_store.h"
#include "filters/framework/preset_values.h"

namespace ztlive {

namespace {

// Hidden from every preset list (it begins with "_*").
constexpr std::string_view kWrittenKey = "_*ready";

}  // namespace

int WriteReadyPresets(ProfileFile& presets) {
  return presets.Update([](ProfileText& text) {
    bool changed = false;
    for (const FilterDescriptor* descriptor : BuiltFilters()) {
      if (descriptor->readyPresets.empty()) continue;
      const std::string section = PresetSection(descriptor->sectionBase);
      if (text.Find(section, kWrittenKey)) continue;
      for (const ReadyPreset& preset : descriptor->readyPresets)
        if (!text.Find(section, preset.name))
          text.Write(section, preset.name, FormatPresetValues(preset.values, PresetTextForm::Plain));
      text.Write(section, kWrittenKey, "1");
      changed = true;
    }
    return changed ? 0 : kProfileUnchanged;
  });
}

}  // namespace ztlive
