#include "filters/framework/preset_store.h"

#include "platform/folders.h"

namespace ztlive {

ProfileFile PresetFile() { return ProfileFile(PresetFilePath()); }

std::string PresetSection(std::string_view sectionBase) { return std::string(sectionBase) + "Set"; }

int ReadPresetValues(std::string_view section, std::string_view name, PresetValues& values) {
  if (name.empty()) return 1;
  char buffer[kPresetReadBufferChars];
  const size_t length = PresetFile().ReadString(section, name, "", buffer, sizeof buffer);
  if (length <= 10) return 1;
  ParsePresetValues(std::string_view(buffer, length), values);
  return 0;
}

int WritePresetValuesTo(std::string_view section, std::string_view name, const PresetValues& values,
                        PresetTextForm form) {
  if (name.empty()) return 0;
  return PresetFile().WriteString(section, name, FormatPresetValues(values, form)) == 0 ? 1 : 0;
}

bool IsHiddenPresetName(std::string_view name) { return name.substr(0, 2) == "_*"; }

}  // namespace ztlive
