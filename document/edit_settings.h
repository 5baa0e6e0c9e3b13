// What the edit dialogs hand to the edit commands: plain values, in the units the dialogs
// store them in, so the window, the command line and the tests drive the same commands.
#pragma once

#include <cstdint>
#include <string>

#include "platform/settings_store.h"

namespace ztlive {

// The curve the "Fade" dialog chooses.
enum class FadeCurve : int { Linear = 0, Logarithmic = 1, Adjustable = 2 };

// The "Fade" dialog: start and end level in hundredths of a dB, the curve, and for the
// adjustable curve the curve editor's two control levels (hundredths of a dB as well).
struct FadeSettings {
  int startLevel = 0;
  int endLevel = 0;
  FadeCurve curve = FadeCurve::Linear;
  int firstControlLevel = 0;
  int secondControlLevel = 0;
};

// Gain Normalize: without the "Normalized Gain Scaling" dialog the target is 0 dB and the
// plain question is asked; with it, the chosen target level.
struct NormalizeSettings {
  bool scalingDialog = false;
  double targetDb = 0.0;
};

// Paste Mix: the two percentages of the mix dialog.
struct MixSettings {
  int clipPercent = 50;
  int filePercent = 50;
};

// The "CrossFade" dialog: four level sliders in tenths of a dB (start and end level of the
// file faded in, start and end level of the file faded into), the "Slope" choice, and the
// file form with its preview option.
struct CrossfadeSettings {
  int fadeInStart = 0;
  int fadeInEnd = 0;
  int fadeOutStart = 0;
  int fadeOutEnd = 0;
  int slope = 0;
  bool fileForm = false;
  bool preview = false;
};

// Where "Insert Silence" puts the silence ("SilencePaste").
enum class SilencePlace : int { FileStart = 0, FileEnd = 1, SelectionStart = 2 };

struct SilenceSettings {
  double seconds = 3.0;
  SilencePlace place = SilencePlace::FileStart;
};

// "Number of seconds to insert".
inline constexpr double kSilenceSecondsMinimum = 0.001;
inline constexpr double kSilenceSecondsMaximum = 3600.0;

// "SilenceLength" is a text of seconds; one that is no number in range gives the default.
SilenceSettings ReadSilenceSettings(const SettingsStore& settings);
// Writes the seconds as "%g" would, whatever the locale (a window's locale may write commas).
void WriteSilenceSettings(SettingsStore& settings, const SilenceSettings& silence);

// Interpolate: which channels of a stereo file are rebuilt.
enum class InterpolateChannels : int { Both = 0, Left = 1, Right = 2 };

// "Find and Mark silence": threshold in dB (-100 ... 0) and minimum length in tenths of a
// second (1 ... 100).
struct MarkSilenceSettings {
  int thresholdDb = -40;
  int minimumTenths = 30;
};

inline constexpr int kMarkSilenceThresholdMinimum = -100;
inline constexpr int kMarkSilenceThresholdMaximum = 0;
inline constexpr int kMarkSilenceTenthsMinimum = 1;
inline constexpr int kMarkSilenceTenthsMaximum = 100;

// "MarkSilence"/"Thresh" and "Length", held in the dialog's ranges.
MarkSilenceSettings ReadMarkSilenceSettings(const SettingsStore& settings);
void WriteMarkSilenceSettings(SettingsStore& settings, const MarkSilenceSettings& values);

}  // namespace ztlive
