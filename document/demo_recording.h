// The demo recording the program makes itself: a few seconds of music-like synthesis (a
// plucked chord progression over a bass line) with mains hum, tape hiss and record crackle
// added, always the same, so a new user can try the filters on something that needs them.
#pragma once

#include <string>

#include "core/run_state.h"
#include "platform/prompts.h"

namespace ztlive {

struct DemoRecordingInfo {
  double seconds = 6.0;
  unsigned sampleRate = 44100;
  double humHz = 50.0;       // with its second harmonic at 100 Hz
  double humDbfs = -26.0;
  double hissDbfs = -42.0;   // white, over the whole band
  int clicks = 24;           // crackle: short broadband clicks at random places
  double leadInSeconds = 0.5;  // hum and hiss alone before the music, to sample the noise from
};

// Writes the recording as 16-bit stereo; 1 done, 0 failed (reported).
int WriteDemoRecording(const std::string& path, const DemoRecordingInfo& info, RunState& run, Prompts& prompts);

// The level in dBFS of one frequency in the first channel of a wave file (a single-bin DFT
// over the whole file), for the demo's before-and-after report.
double ToneLevelDbfs(const std::string& path, double hz, RunState& run);
// The level in dBFS of what lies above a frequency in the first channel (hiss).
double BandLevelAboveDbfs(const std::string& path, double hz, RunState& run);

}  // namespace ztlive
