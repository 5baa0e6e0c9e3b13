// The starting values of the edit dialogs and where they are remembered: the "FADE" preset,
// and the program settings of the other dialogs. Every value read is held inside the range
// its control offers, so a hand-edited or damaged file never reaches a command out of range.
#pragma once

#include <string_view>

#include "document/edit_settings.h"
#include "filters/framework/preset_values.h"
#include "platform/settings_store.h"

namespace ztlive {

// Fade levels and control levels: hundredths of a dB.
inline constexpr int kFadeLevelMinimum = -9600;
inline constexpr int kFadeLevelMaximum = 2000;
// The fade dialog's last values are the preset "FADE" of this section of the preset file.
inline constexpr std::string_view kFadePresetSection = "FadeSet";
inline constexpr std::string_view kFadePresetName = "FADE";

// "Normalize to:" in whole dB.
inline constexpr int kNormalizeTargetMinimum = -96;
inline constexpr int kNormalizeTargetMaximum = 0;

// Crossfade levels: tenths of a dB. Slopes: 0 linear, 1 slow start, 2 fast start.
inline constexpr int kCrossfadeLevelMinimum = -960;
inline constexpr int kCrossfadeLevelMaximum = 200;
inline constexpr int kCrossfadeSlopeCount = 3;

// The fade shown before any "FADE" preset exists: a fade out to the lowest level, with the
// control levels on the straight line between the two ends.
FadeSettings DefaultFadeSettings();
// Levels and control levels held inside the range, an unknown curve taken as linear.
FadeSettings HeldFadeSettings(FadeSettings fade);
// The control levels a third and two thirds of the way from the start level to the end level.
void StraightControlLevels(FadeSettings& fade);

// The preset's values: start level, end level, curve, first and second control level.
PresetValues FadePresetValues(const FadeSettings& fade);
FadeSettings FadeFromPresetValues(const PresetValues& values);
// The stored "FADE" preset, or DefaultFadeSettings() when there is none.
FadeSettings ReadFadePreset();
// 0 or errno.
int WriteFadePreset(const FadeSettings& fade);

NormalizeSettings ReadNormalizeScaling(const SettingsStore& settings);
void WriteNormalizeScaling(SettingsStore& settings, const NormalizeSettings& normalize);

MixSettings ReadMixSettings(const SettingsStore& settings);
void WriteMixSettings(SettingsStore& settings, const MixSettings& mix);

// The four levels and the slope; the file form and its preview always start off.
CrossfadeSettings ReadCrossfadeSettings(const SettingsStore& settings);
void WriteCrossfadeSettings(SettingsStore& settings, const CrossfadeSettings& crossfade);


}  // namespace ztlive
