// The preset file "ZTLiveDemoPresets.ini" in the configuration folder, shared by every
// dialog and engine. Each call reads or writes the file at once; nothing is cached.
#pragma once

#include <string>
#include <string_view>

#include "filters/framework/preset_values.h"
#include "platform/profile_file.h"

namespace ztlive {

// The preset file of the current configuration folder.
ProfileFile PresetFile();

// A preset section: the engine's section base followed by "Set", always ("AveragingSet"
// gives "AveragingSetSet").
std::string PresetSection(std::string_view sectionBase);

// Reads the preset name of a section: 0 when read, 1 when the name is empty or the stored
// value is missing or 10 characters or fewer. Integers the value does not supply are 0.
int ReadPresetValues(std::string_view section, std::string_view name, PresetValues& values);
// Writes the values under the name: 1 when written, 0 for an empty name or a name the file
// cannot hold.
int WritePresetValuesTo(std::string_view section, std::string_view name, const PresetValues& values,
                        PresetTextForm form);

// Preset keys beginning with these two characters are never listed (chain members' settings).
bool IsHiddenPresetName(std::string_view name);

inline constexpr size_t kPresetReadBufferChars = 256;
inline constexpr size_t kPresetKeyListBytes = 4096;
inline constexpr size_t kPresetNameMaxChars = 64;

}  // namespace ztlive
