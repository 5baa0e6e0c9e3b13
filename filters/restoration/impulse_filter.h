// The impulse filter (type 15): removes clicks and crackle. A detector watches each channel;
// while it exceeds an adaptive threshold the output is held back, and when the disturbance
// has ended the held stretch is rebuilt from the good samples on both sides (smoothing,
// a cubic curve, or a two-sided autoregressive prediction) before the output goes on.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "filters/framework/filter_design.h"
#include "filters/framework/filter_processor.h"
#include "filters/restoration/ar_click_detector.h"
#include "filters/restoration/gap_prediction.h"
#include "filters/restoration/smooth_click_repair.h"

namespace ztlive {

class ImpulseProcessor : public FilterProcessor {
 public:
  static constexpr int kMaxClick = 256;       // a click held this long is ended by force
  static constexpr int kRingValues = 8192;    // the stereo output ring: 4096 frames
  static constexpr int kSmoothingHalf = 16;   // Savitzky-Golay window: 16 each side
  static constexpr int kModelBased = 3;       // the recording type of the model-based detector
  static constexpr int kModelMaxClick = 64;   // its clicks are ended by force sooner
  static constexpr int kLeastClickSize = 4;   // the model-based detector's smaller sizes are for crackle
  // The other detectors start from rest (filters and envelope at zero): their first values
  // answer the step into the signal, not a click, so a run's first samples start none.
  static constexpr int kSettling = 128;

  ImpulseProcessor();
  int Prepare(WaveStream& in, WaveStream& out) override;
  int Process(WaveStream& in, WaveStream& out) override;
  int Finish(WaveStream& in, WaveStream& out) override;
  int64_t ClickCount() const override { return m_clicks; }

  static std::unique_ptr<FilterProcessor> Create() { return std::make_unique<ImpulseProcessor>(); }
  static const FilterDescriptor& Descriptor();

 private:
  struct Channel {
    SectionState detector1;
    SectionState detector2;
    double envelope = 0;
    int32_t guard = 0;     // G
    int32_t delay = 0;     // D
    int32_t offset = 0;    // E: 0 normal, negative while a click is held
    int32_t quiet = 0;
    int32_t positive = 0;
    int32_t negative = 0;
    int32_t extent = 0;    // samples the model-based detector still holds as the click's own
    int32_t settling = 0;  // samples left before the other detectors may start a click
  };
  // Where a channel's output goes: straight to the stream (mono) or into its ring lane.
  struct Sink;

  void Derive(double fs);
  int DetectionValue(Channel& state, const SampleValue* value, int stride, bool mono, double y1);
  // One sample of one channel; false when a write failed.
  bool Step(int channel, const SampleValue* value, int stride, const WaveStream& in, Sink& sink);
  // The model-based detector's threshold for this sample: its own, or -1 while a click found
  // whole at its start is held, or one never reached when a would-be click is the signal's
  // own (a repeat, or predictable from what follows). Notes the click's extent at its start.
  int64_t ModelThreshold(Channel& s, const ArClickDetector& model, int64_t c, double threshold, const WaveStream& in,
                         const SampleValue* value, int stride);
  // The hold-and-repair rules for one sample judged by its detection value c.
  bool Advance(int channel, const SampleValue* value, int stride, const WaveStream& in, Sink& sink, int64_t c,
               int64_t threshold);
  bool EndClick(int channel, const SampleValue* value, int stride, const WaveStream& in, Sink& sink);
  void Rebuild(int channel, const SampleValue* value, int stride, const WaveStream& in, int32_t a, int32_t n,
               SampleValue* rebuilt);
  void CubicCurve(const SampleValue* value, int stride, int32_t a, int32_t guard, int32_t n, SampleValue* rebuilt) const;
  bool FlushRing(WaveStream& out);

  // Derived from the values.
  SectionCoefficients m_detector1;
  SectionCoefficients m_detector2;
  double m_hqGain = 1.0;
  double m_decay = 0;
  double m_thresholdScale = 0;
  int32_t m_minimumThreshold = 0;
  int32_t m_window = 7;   // t
  int32_t m_half = 3;     // u
  int32_t m_quietTarget = 7;
  bool m_medianMode = false;
  bool m_modelMode = false;     // the model-based detector judges, prediction repairs
  int32_t m_maxClick = kMaxClick;
  int32_t m_extentWindow = kModelMaxClick;  // the model-based detector's reach for a click's end
  bool m_crackle = false;                   // crackle: only many repeats pass a sample
  bool m_keepResidue = false;  // this block outputs the clicks instead of the repair
  int32_t m_quality = 0;

  std::array<Channel, 2> m_channels;
  std::array<ArClickDetector, 2> m_models;
  int64_t m_clicks = 0;
  std::vector<double> m_smoothing;           // weights for offsets -16 ... +16
  std::vector<SampleValue> m_medianWindow;   // t values
  std::vector<SampleValue> m_rebuilt;        // a stretch being rebuilt
  SmoothClickRepair m_smoothClick;
  GapPredictionScratch m_prediction;
  std::vector<SampleValue> m_ring;
  std::array<size_t, 2> m_ringWrite{};       // values written per lane
  size_t m_ringRead = 0;                     // frames passed on
};

}  // namespace ztlive
