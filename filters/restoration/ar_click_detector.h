// A click detector for one channel built on an autoregressive model of the signal. The model
// is refitted every few thousand samples to the channel's recent clean context (samples inside
// a click are replaced there by the model's own prediction, later by the repair), and each new
// sample is compared with what the model predicts from that context. The error's typical size
// is its robust level: the larger of the medians of the raw prediction errors just before and
// just after the sample (the detector reads kAhead samples ahead), so a click is found by
// being unpredictable, whatever its width, level and spectrum, bright music that the model
// follows is not, and a note or a syllable that starts out of silence raises the level in time.
// Inside a click the prediction runs on from the clean past; the threshold widens with the
// prediction's expected error at that distance, so a wide click is followed to its end.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "filters/restoration/gap_prediction.h"
#include "filters/restoration/tracked_median.h"

namespace ztlive {

class ArClickDetector {
 public:
  static constexpr size_t kOrder = 20;
  static constexpr size_t kContext = 1024;   // the clean context kept, a ring
  static constexpr size_t kRefit = 2048;     // samples between fits
  static constexpr size_t kFitLength = 768;  // the newest clean samples a fit takes
  static constexpr size_t kMaxHeld = 256;    // the widening table's length
  static constexpr size_t kAhead = 256;      // how far ahead the level looks, and back
  static constexpr size_t kLevelEvery = 64;  // samples between level updates
  static constexpr size_t kErrorsKept = 2048;  // the error ring: kAhead ahead, the rest behind
  static constexpr size_t kPeriodReach = 1536; // how far back repeats are looked for (three periods)

  // Sizes every buffer; throws std::bad_alloc. Then Reset.
  void Allocate();
  // Forgets the signal.
  void Reset();
  // The threshold in robust error levels.
  void SetSigmas(double sigmas) { m_sigmas = sigmas; }

  struct Verdict {
    double error;      // the sample minus its prediction
    double threshold;  // the error's allowed size here
  };
  // Judges the next sample x, given the sample kAhead after it (0 where none can be read);
  // no allocation.
  Verdict Examine(double x, double ahead);
  // Takes the sample into the context once the caller has decided: a sample held in a click
  // enters as its prediction and leaves the level alone.
  void Commit(double x, bool inClick);
  // Once a click is repaired: the committed sample `back` places before the newest takes
  // the repaired value, so the model goes on from the repair rather than its own guess.
  void Replace(size_t back, double x) {
    const size_t at = (m_written - 1 - back) & (kContext - 1);
    m_context[at] = m_context[at + kContext] = x;
  }
  size_t Held() const { return m_held; }
  // The prediction error's robust level (its standard deviation) here; 0 before the first fit.
  double Level() const { return m_level; }
  // Where the click that starts at the sample just examined ends: the offset of its last
  // sample (0 for a one-sample click), at most within - 1. The scan comes from the far side
  // with the model run backwards from the clean samples after the click, so a wide click is
  // marked to its end even where its inside is smooth enough for the forward model to follow.
  // Nothing when no sample there is unpredictable backwards either: a click surprises from
  // both sides, a note's onset or an edge into a new pattern only from the past.
  // readable: how many samples from this one on hold real values (the rest of the look-ahead
  // is past the stream's end).
  std::optional<size_t> ClickEnd(size_t within, size_t readable) const;
  // Which errors are partners (from what share of the error's size), and how many pairs of
  // equal spacings among them make the sample a repeat: at least leastRepeats, and at least
  // perPartner for every partner found.
  struct RepeatRule {
    double share;
    int leastRepeats;
    double perPartner;
  };
  // Clicks come at random times and have no partners: two repeats of a third of the size or
  // more (a voice's pulses grow and fade) mark the signal's own. Dense crackle has partners
  // everywhere and repeats by chance, so there the partners must be nearly as large and half
  // of them at equal spacings, as the pulses of a voice or the edges of a square wave are.
  static constexpr RepeatRule kClickRepeats{0.35, 2, 0.0};
  static constexpr RepeatRule kCrackleRepeats{0.7, 2, 0.5};
  // True when the sample just examined belongs to a repeating pattern rather than a click:
  // prediction errors of the rule's share of its size or more recur at equal spacing around it
  // (a period before and after, or one, two and three periods before), as the edges of a
  // square wave or the pulses of a voice do.
  bool RecursPeriodically(RepeatRule rule) const;

 private:
  void Refit();
  double AheadMedian();

  double m_sigmas = 4.0;
  std::vector<double> m_context;      // ring of kContext clean samples, held twice over
  std::vector<double> m_raw;          // ring of raw samples up to kAhead ahead, held twice over
  std::vector<double> m_errors;       // ring of |raw errors| up to kAhead ahead
  std::vector<double> m_scratch;      // the fit's unrolled context, the level's window
  TrackedMedian m_median;
  std::vector<double> m_coefficients; // x[t] ~ sum d[k] x[t-1-k]
  std::vector<double> m_reversed;     // the same, last first, against a window oldest first
  std::array<double, kMaxHeld> m_widening{};  // sqrt of the summed squared impulse response
  BurgWork m_burg;
  size_t m_written = 0;     // samples committed
  size_t m_sinceFit = 0;
  size_t m_held = 0;        // samples held so far in the current click
  bool m_fitted = false;
  double m_floor = 2.0;     // the least level, from the context's loudness
  double m_level = 0;       // robust error level; 0 until the first fit
  double m_prediction = 0;
  // The medians of the errors ahead, as they were at the last level updates: the one
  // kAhead / kLevelEvery updates back is the median of the errors just behind now.
  std::array<double, kAhead / kLevelEvery> m_aheadMedians{};
  size_t m_levelUpdates = 0;
};

}  // namespace ztlive
