#include "filters/restoration/notch_cascade.h"

#include <cstring>

namespace ztlive {

namespace {

// Both channels of a frame in the two lanes of one vector: each lane does exactly its own
// channel's arithmetic, in the same order as the scalar step.
using Pair = double __attribute__((vector_size(16)));

struct PairCoefficients {
  Pair a, b, g, removed;
};

struct PairState {
  Pair x1, x2, y1, y2;
};

Pair Both(double left, double right) {
  Pair v = {left, right};
  return v;
}

PairCoefficients Broadcast(const NotchCoefficients& k, double removed) {
  PairCoefficients pair;
  pair.a = Both(k.a, k.a);
  pair.b = Both(k.b, k.b);
  pair.g = Both(k.g, k.g);
  pair.removed = Both(removed, removed);
  return pair;
}

PairState Load(const ResonatorState& left, const ResonatorState& right) {
  PairState s;
  s.x1 = Both(left.x1, right.x1);
  s.x2 = Both(left.x2, right.x2);
  s.y1 = Both(left.y1, right.y1);
  s.y2 = Both(left.y2, right.y2);
  return s;
}

void Store(const PairState& s, ResonatorState& left, ResonatorState& right) {
  left = {s.x1[0], s.x2[0], s.y1[0], s.y2[0]};
  right = {s.x1[1], s.x2[1], s.y1[1], s.y2[1]};
}

inline Pair Step(const PairCoefficients& k, PairState& s, Pair x0) {
  const Pair y = (k.a * (x0 - s.x2) - k.b * s.y2) + k.g * s.y1;
  s.x2 = s.x1;
  s.x1 = x0;
  s.y2 = s.y1;
  s.y1 = y;
  return x0 - k.removed * y;
}

inline Pair Get(const double* frames, size_t i) {
  Pair v;
  std::memcpy(&v, frames + 2 * i, sizeof v);
  return v;
}

inline void Put(double* frames, size_t i, Pair v) { std::memcpy(frames + 2 * i, &v, sizeof v); }

inline double Step(const NotchCoefficients& k, ResonatorState& s, double x0, double removed) {
  const double y = (k.a * (x0 - s.x2) - k.b * s.y2) + k.g * s.y1;
  s.x2 = s.x1;
  s.x1 = x0;
  s.y2 = s.y1;
  s.y1 = y;
  return x0 - removed * y;
}

// As RunMonoPair, for interleaved stereo frames.
void RunStereoPair(const PairCoefficients& first, const PairCoefficients& second, double* frames, PairState& s1,
                   PairState& s2, size_t count) {
  Put(frames, 0, Step(first, s1, Get(frames, 0)));
  for (size_t i = 1; i < count; ++i) {
    Put(frames, i, Step(first, s1, Get(frames, i)));
    Put(frames, i - 1, Step(second, s2, Get(frames, i - 1)));
  }
  Put(frames, count - 1, Step(second, s2, Get(frames, count - 1)));
}

void RunStereo(const PairCoefficients& k, double* frames, PairState& s, size_t count) {
  for (size_t i = 0; i < count; ++i) Put(frames, i, Step(k, s, Get(frames, i)));
}

// Notch `first` on sample i while notch `second` takes sample i - 1, which `first` finished in
// the step before.
void RunMonoPair(const NotchCoefficients first, const NotchCoefficients second, double removed, double* x,
                 ResonatorState& firstState, ResonatorState& secondState, size_t count) {
  ResonatorState s1 = firstState;
  ResonatorState s2 = secondState;
  x[0] = Step(first, s1, x[0], removed);
  for (size_t i = 1; i < count; ++i) {
    x[i] = Step(first, s1, x[i], removed);
    x[i - 1] = Step(second, s2, x[i - 1], removed);
  }
  x[count - 1] = Step(second, s2, x[count - 1], removed);
  firstState = s1;
  secondState = s2;
}

void RunMono(const NotchCoefficients k, double removed, double* x, ResonatorState& state, size_t count) {
  ResonatorState s = state;
  for (size_t i = 0; i < count; ++i) x[i] = Step(k, s, x[i], removed);
  state = s;
}

}  // namespace

void RunNotchCascade(std::span<const NotchCoefficients> notches, double removed, double* x, size_t count,
                     ResonatorState* states) {
  if (count == 0) return;
  const size_t n = notches.size();
  size_t i = 0;
  for (; i + 1 < n; i += 2) RunMonoPair(notches[i], notches[i + 1], removed, x, states[i], states[i + 1], count);
  if (i < n) RunMono(notches[i], removed, x, states[i], count);
}

void RunNotchCascadeStereo(std::span<const NotchCoefficients> notches, double removed, double* frames, size_t count,
                           ResonatorState* leftStates, ResonatorState* rightStates) {
  if (count == 0) return;
  const size_t n = notches.size();
  size_t i = 0;
  for (; i + 1 < n; i += 2) {
    PairState s1 = Load(leftStates[i], rightStates[i]);
    PairState s2 = Load(leftStates[i + 1], rightStates[i + 1]);
    RunStereoPair(Broadcast(notches[i], removed), Broadcast(notches[i + 1], removed), frames, s1, s2, count);
    Store(s1, leftStates[i], rightStates[i]);
    Store(s2, leftStates[i + 1], rightStates[i + 1]);
  }
  if (i < n) {
    PairState s = Load(leftStates[i], rightStates[i]);
    RunStereo(Broadcast(notches[i], removed), frames, s, count);
    Store(s, leftStates[i], rightStates[i]);
  }
}

}  // namespace ztlive
