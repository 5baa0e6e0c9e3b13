// Test signals for the sound card loopback tests and the comparisons that find a played
// signal inside a recording (after the loop's delay, whole or fractional).
#pragma once

#include <cstddef>
#include <vector>

namespace ztlive::test {

// Interleaved floats: a chord on the left, another on the right, with a slow envelope, at
// about -10 dBFS. A mono signal carries the left chord.
std::vector<float> ChordValues(size_t frames, size_t channels, double sampleRate);

// Where played[from...] begins inside `recorded`, minus `from` (in samples, in whole frames),
// by least squares over `window` samples; negative when it is not there.
long FindLag(const std::vector<float>& recorded, const std::vector<float>& played, size_t from, size_t window,
             size_t channels);

// The share of the played signal's stretches of stretchFrames frames that the recording holds
// value for value (within tolerance), each wherever it is found: a loaded machine may drop or
// repeat a server period between two JACK clients.
double ShareFoundIn(const std::vector<float>& recorded, const std::vector<float>& played, size_t channels,
                    size_t stretchFrames, double tolerance);

// The largest difference between the played samples and the recording from lag on.
double WorstDifference(const std::vector<float>& recorded, const std::vector<float>& played, long lag);

// Finds the fractional delay (in frames, near lagFrames) that best fits frames [from, to) of
// played to the recording.
double FitFractionalLag(const std::vector<float>& recorded, const std::vector<float>& played, size_t channels,
                        double lagFrames, size_t from, size_t to);

// Error energy against signal energy, in dB, over frames [from, to) of played delayed by
// lagFrames (fractional, by windowed-sinc interpolation).
double ErrorDb(const std::vector<float>& recorded, const std::vector<float>& played, size_t channels, double lagFrames,
               size_t from, size_t to);

}  // namespace ztlive::test
