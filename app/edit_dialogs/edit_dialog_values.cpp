#include "app/edit_dialogs/edit_dialog_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "filters/framework/preset_store.h"

namespace ztlive {

namespace {

int Held(int value, int minimum, int maximum) { return std::clamp(value, minimum, maximum); }

int HeldFadeLevel(int level) { return Held(level, kFadeLevelMinimum, kFadeLevelMaximum); }

int HeldCrossfadeLevel(int level) { return Held(level, kCrossfadeLevelMinimum, kCrossfadeLevelMaximum); }

}  // namespace

FadeSettings DefaultFadeSettings() {
  FadeSettings fade;
  fade.startLevel = 0;
  fade.endLevel = kFadeLevelMinimum;
  fade.curve = FadeCurve::Linear;
  StraightControlLevels(fade);
  return fade;
}

void StraightControlLevels(FadeSettings& fade) {
  const int span = fade.endLevel - fade.startLevel;
  fade.firstControlLevel = fade.startLevel + span / 3;
  fade.secondControlLevel = fade.startLevel + span * 2 / 3;
}

FadeSettings HeldFadeSettings(FadeSettings fade) {
  fade.startLevel = HeldFadeLevel(fade.startLevel);
  fade.endLevel = HeldFadeLevel(fade.endLevel);
  fade.firstControlLevel = HeldFadeLevel(fade.firstControlLevel);
  fade.secondControlLevel = HeldFadeLevel(fade.secondControlLevel);
  const int curve = static_cast<int>(fade.curve);
  if (curve < static_cast<int>(FadeCurve::Linear) || curve > static_cast<int>(FadeCurve::Adjustable))
    fade.curve = FadeCurve::Linear;
  return fade;
}

PresetValues FadePresetValues(const FadeSettings& fade) {
  PresetValues values;
  values[0] = fade.startLevel;
  values[1] = fade.endLevel;
  values[2] = static_cast<int32_t>(fade.curve);
  values[3] = fade.firstControlLevel;
  values[4] = fade.secondControlLevel;
  return values;
}

FadeSettings FadeFromPresetValues(const PresetValues& values) {
  FadeSettings fade;
  fade.startLevel = values[0];
  fade.endLevel = values[1];
  fade.curve = static_cast<FadeCurve>(values[2]);
  fade.firstControlLevel = values[3];
  fade.secondControlLevel = values[4];
  return HeldFadeSettings(fade);
}

FadeSettings ReadFadePreset() {
  PresetValues values;
  if (ReadPresetValues(kFadePresetSection, kFadePresetName, values) != 0) return DefaultFadeSettings();
  return FadeFromPresetValues(values);
}

int WriteFadePreset(const FadeSettings& fade) {
  return PresetFile().WriteString(kFadePresetSection, kFadePresetName,
                                  FormatPresetValues(FadePresetValues(fade), PresetTextForm::Plain));
}

NormalizeSettings ReadNormalizeScaling(const SettingsStore& settings) {
  const int target =
      Held(settings.Read(setting::kGainNormalizeLastGain), kNormalizeTargetMinimum, kNormalizeTargetMaximum);
  return {.scalingDialog = true, .targetDb = static_cast<double>(target)};
}

void WriteNormalizeScaling(SettingsStore& settings, const NormalizeSettings& normalize) {
  settings.Write(setting::kGainNormalizeLastGain, static_cast<int32_t>(std::lround(normalize.targetDb)));
}

MixSettings ReadMixSettings(const SettingsStore& settings) {
  return {.clipPercent = Held(settings.Read(setting::kPasteMixClipPercent), 0, 100),
          .filePercent = Held(settings.Read(setting::kPasteMixFilePercent), 0, 100)};
}

void WriteMixSettings(SettingsStore& settings, const MixSettings& mix) {
  settings.Write(setting::kPasteMixClipPercent, mix.clipPercent);
  settings.Write(setting::kPasteMixFilePercent, mix.filePercent);
}

CrossfadeSettings ReadCrossfadeSettings(const SettingsStore& settings) {
  CrossfadeSettings crossfade;
  crossfade.fadeInStart = HeldCrossfadeLevel(settings.Read(setting::kCrossFadeFadeInStart));
  crossfade.fadeInEnd = HeldCrossfadeLevel(settings.Read(setting::kCrossFadeFadeInEnd));
  crossfade.fadeOutStart = HeldCrossfadeLevel(settings.Read(setting::kCrossFadeFadeOutStart));
  crossfade.fadeOutEnd = HeldCrossfadeLevel(settings.Read(setting::kCrossFadeFadeOutEnd));
  const int slope = settings.Read(setting::kCrossFadeSlope);
  crossfade.slope = slope >= 0 && slope < kCrossfadeSlopeCount ? slope : 0;
  return crossfade;
}

void WriteCrossfadeSettings(SettingsStore& settings, const CrossfadeSettings& crossfade) {
  settings.Write(setting::kCrossFadeFadeInStart, crossfade.fadeInStart);
  settings.Write(setting::kCrossFadeFadeInEnd, crossfade.fadeInEnd);
  settings.Write(setting::kCrossFadeFadeOutStart, crossfade.fadeOutStart);
  settings.Write(setting::kCrossFadeFadeOutEnd, crossfade.fadeOutEnd);
  settings.Write(setting::kCrossFadeSlope, crossfade.slope);
}

}  // namespace ztlive
