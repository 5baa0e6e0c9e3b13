// The two equalizers against their formulas worked out here independently: the graphic
// equalizer's slider laws, band design and per-sample sum, its response to a swept sine; the
// paragraphic equalizer's bands, shelf and stored band tables.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

#include "filters/eq/graphic_equalizer.h"
#include "filters/eq/paragraphic_equalizer.h"
#include "filters/eq/paragraphic_response.h"
#include "filters/framework/preset_store.h"
#include "platform/folders.h"
#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "testing/engine_run.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::RunEngine;

std::vector<SampleValue> Noise(int channels, size_t frames, double amplitude, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-amplitude, amplitude);
  std::vector<SampleValue> values(frames * static_cast<size_t>(channels));
  for (SampleValue& v : values) v = static_cast<SampleValue>(value(random));
  return values;
}

// ---- graphic equalizer ----

struct GraphicReference {
  double alpha[10] = {}, beta[10] = {}, gamma[10] = {};
  int bands = 10;

  explicit GraphicReference(double fs) {
    bands = fs < 20000 ? 8 : (fs < 35000 ? 9 : 10);
    for (int k = 0; k < bands; ++k) {
      const double fc = 31.25 * std::pow(2.0, k);
      const double q = fc / (fc * std::exp(0.346575) - fc / std::exp(0.346575));
      const double t = std::tan(3.1415926535898 * fc / (q * fs));
      beta[k] = (1 - t) * 0.5 / (t + 1);
      gamma[k] = std::cos(6.2831853071796 * fc / fs) * (beta[k] + 0.5);
      alpha[k] = (0.5 - beta[k]) * 0.5;
    }
  }
  // The engine's output for a whole signal from silence.
  std::vector<SampleValue> Run(const std::vector<SampleValue>& in, int channels, const double g[10], double m) const {
    std::vector<SampleValue> out(in.size());
    double y1[2][10] = {}, y2[2][10] = {};
    for (size_t i = 0; i < in.size(); ++i) {
      const int c = static_cast<int>(i % static_cast<size_t>(channels));
      const double u = in[i] + 0.01;
      const double x2 = i >= static_cast<size_t>(2 * channels) ? in[i - 2 * channels] : 0.0;
      double s = u;
      for (int k = 0; k < bands; ++k) {
        const double r = 2 * (gamma[k] * y1[c][k] + alpha[k] * (u - x2) - beta[k] * y2[c][k]);
        y2[c][k] = y1[c][k];
        y1[c][k] = r;
        s = s + g[k] * r;
      }
      out[i] = static_cast<SampleValue>(std::trunc(s * m));
    }
    return out;
  }
  // The design's response at f Hz with the weights g (master gain 1).
  double ResponseDb(double f, double fs, const double g[10]) const {
    const std::complex<double> z1 = std::polar(1.0, -2 * M_PI * f / fs);
    std::complex<double> h = 1.0;
    for (int k = 0; k < bands; ++k)
      h += g[k] * 2.0 * alpha[k] * (1.0 - z1 * z1) / (1.0 - 2.0 * gamma[k] * z1 + 2.0 * beta[k] * z1 * z1);
    return 20 * std::log10(std::abs(h));
  }
};

TEST(GraphicEqualizer, SliderLawsAndTheirInverse) {
  GraphicEqProcessor engine;
  for (int32_t v = 0; v <= 100; ++v) {
    SCOPED_TRACE(v);
    const double r = (50 - v) * 0.02;
    const double g = r > 0 ? 2 * r : 0.8 * r;
    const double m = std::pow(10.0, (50 - v) * 0.01);
    PresetValues sliders;
    sliders.p.fill(v);
    engine.SetValues(sliders);
    EXPECT_DOUBLE_EQ(engine.Weight(3), g);
    EXPECT_DOUBLE_EQ(engine.MasterGain(), m);
    const PresetValues back = engine.SliderValues();
    // The inverse law gives the slider back (truncated, with no creep from rounding).
    EXPECT_EQ(back.p[3], v);
    EXPECT_EQ(back.p[10], v);
  }
  // The ends and the middle, as the sliders are labelled.
  const struct {
    int32_t slider;
    double weight;
    double master;
  } kEnds[] = {{0, 2.0, std::sqrt(10.0)}, {50, 0.0, 1.0}, {100, -0.8, 1 / std::sqrt(10.0)}};
  for (const auto& end : kEnds) {
    EXPECT_NEAR(BandWeightOfSlider(end.slider), end.weight, 1e-12);
    EXPECT_NEAR(MasterGainOfSlider(end.slider), end.master, 1e-12);
  }
  // The constructor's weights are all 1.0 until values arrive.
  GraphicEqProcessor fresh;
  double extra[11];
  fresh.GetExtraParams(extra, nullptr, nullptr, nullptr);
  for (const double value : extra) EXPECT_EQ(value, 1.0);
}

TEST(GraphicEqualizer, BandsFollowTheSampleRateAndTheOutputFollowsTheFormulas) {
  const struct {
    uint32_t rate;
    int bands;
  } kRates[] = {{44100, 10}, {48000, 10}, {22050, 9}, {11025, 8}};
  std::mt19937 random(5);
  std::uniform_int_distribution<int32_t> slider(0, 100);
  for (const auto& rate : kRates) {
    for (const int channels : {1, 2}) {
      SCOPED_TRACE(std::to_string(rate.rate) + (channels == 2 ? " stereo" : " mono"));
      GraphicEqProcessor engine;
      PresetValues sliders;
      for (int32_t& v : sliders.p) v = slider(random);
      sliders.p[10] = 60;  // a little below unity, so that little clips
      engine.SetValues(sliders);
      const std::vector<SampleValue> in = Noise(channels, 30000, 1.5e6, rate.rate);
      const std::vector<SampleValue> out = RunEngine(engine, channels, rate.rate, in);
      const GraphicReference reference(rate.rate);
      EXPECT_EQ(engine.ActiveBands(), rate.bands);
      for (int k = 0; k < 10; ++k) {
        EXPECT_DOUBLE_EQ(engine.Alpha(k), reference.alpha[k]);
        EXPECT_DOUBLE_EQ(engine.Beta(k), reference.beta[k]);
        EXPECT_DOUBLE_EQ(engine.Gamma(k), reference.gamma[k]);
      }
      double g[10];
      for (int k = 0; k < 10; ++k) g[k] = BandWeightOfSlider(sliders.p[k]);
      EXPECT_EQ(out, reference.Run(in, channels, g, MasterGainOfSlider(60))) << "every value, exactly";
    }
  }
}

TEST(GraphicEqualizer, FlatSlidersAddTheOffsetAndWeightsChangeWithoutRestart) {
  GraphicEqProcessor engine;
  PresetValues flat;
  flat.p.fill(50);
  engine.SetValues(flat);
  const std::vector<SampleValue> in = {5, 0, -5, -1, 7, -8388608, 8388607, 3};
  const std::vector<SampleValue> expected = {5, 0, -4, 0, 7, -8388607, 8388607, 3};
  EXPECT_EQ(RunEngine(engine, 1, 44100, in), expected) << "negative values come out one unit higher";

  // New weights between blocks take effect from the next sample, with the resonators running on.
  const std::vector<SampleValue> signal = Noise(2, 40000, 1e6, 9);
  double boosted[11];
  for (int k = 0; k < 10; ++k) boosted[k] = k == 5 ? 1.0 : 0.0;
  boosted[10] = 0.5;
  std::vector<SampleValue> changed;
  GraphicEqProcessor running;
  running.SetValues(flat);
  int blocks = 0;
  changed = RunEngine(running, 2, 44100, signal, [&](int block) {
    blocks = block;
    if (block == 2) running.SetExtraParams(boosted, nullptr, nullptr, nullptr);
  });
  ASSERT_GT(blocks, 2);
  // The first two blocks are flat; afterwards the output is no longer the input.
  for (size_t i = 0; i < 4096 && i < signal.size(); ++i) {
    EXPECT_EQ(changed[i], static_cast<SampleValue>(std::trunc(signal[i] + 0.01))) << i;
  }
  EXPECT_NE(std::vector<SampleValue>(changed.end() - 1000, changed.end()),
            std::vector<SampleValue>(signal.end() - 1000, signal.end()));
}

// A slow logarithmic sweep through a band boosted to +6 dB at 1 kHz: the level in short windows
// follows the design's own response within 0.1 dB.
TEST(GraphicEqualizer, SweptSineFollowsTheDesignedResponse) {
  const double fs = 44100;
  const double seconds = 16;
  const double f0 = 150;
  const double f1 = 7000;
  const size_t frames = static_cast<size_t>(seconds * fs);
  const double rate = std::log(f1 / f0) / seconds;
  std::vector<SampleValue> in(frames);
  for (size_t i = 0; i < frames; ++i) {
    const double t = i / fs;
    in[i] = static_cast<SampleValue>(std::lround(1e6 * std::sin(2 * M_PI * f0 * (std::exp(rate * t) - 1) / rate)));
  }
  GraphicEqProcessor engine;
  PresetValues sliders;
  sliders.p.fill(50);
  sliders.p[5] = 25;  // the 1000 Hz band: weight 1, gain 2 (+6.02 dB) at its centre
  engine.SetValues(sliders);
  const std::vector<SampleValue> out = RunEngine(engine, 1, 44100, in);
  const GraphicReference reference(fs);
  double g[10] = {};
  g[5] = 1.0;
  EXPECT_NEAR(reference.ResponseDb(1000, fs, g), 20 * std::log10(2.0), 1e-3);
  for (const double f : {200.0, 400.0, 700.0, 1000.0, 1400.0, 2000.0, 4000.0, 6000.0}) {
    SCOPED_TRACE(f);
    const double t = std::log(f / f0) / rate;
    const size_t centre = static_cast<size_t>(t * fs);
    const size_t half = static_cast<size_t>(0.02 * fs);
    double inEnergy = 0, outEnergy = 0;
    for (size_t i = centre - half; i < centre + half; ++i) {
      inEnergy += double(in[i]) * in[i];
      outEnergy += double(out[i]) * out[i];
    }
    EXPECT_NEAR(10 * std::log10(outEnergy / inEnergy), reference.ResponseDb(f, fs, g), 0.1);
  }
}

TEST(GraphicEqualizer, PresetsStoreTheSlidersOfTheWeights) {
  test::TestFolder home;
  test::ScopedEnvironment environment("ZTLIVE_HOME", home.Path());
  GraphicEqProcessor engine;
  double weights[11] = {2.0, 1.0, 0.5, 0.0, -0.4, -0.8, 0.02, -0.02, 1.5, 0.0, std::sqrt(10.0)};
  engine.SetExtraParams(weights, nullptr, nullptr, nullptr);
  ASSERT_EQ(engine.WritePreset("Bright"), 1);
  EXPECT_EQ(PresetFile().ReadString("EqSet", "Bright", ""), "0,25,37,50,75,100,49,51,12,50,0");

  GraphicEqProcessor loaded;
  ASSERT_EQ(loaded.LoadPreset("Bright"), 0);
  EXPECT_DOUBLE_EQ(loaded.Weight(1), 1.0);
  EXPECT_DOUBLE_EQ(loaded.Weight(5), -0.8);
  EXPECT_DOUBLE_EQ(loaded.MasterGain(), std::sqrt(10.0));
  // A missing preset keeps the weights.
  EXPECT_EQ(loaded.LoadPreset("Missing"), 1);
  EXPECT_DOUBLE_EQ(loaded.Weight(1), 1.0);
}

// ---- paragraphic equalizer ----

struct Biquad {
  double b0, b1, b2, a2;
};

Biquad PeakingReference(double f, double G, double bw, double fs) {
  if (f * std::pow(2.0, bw / 2) > 0.55 * fs) {
    f = 1.0;
    G = 1.0;
  }
  const double w = 2 * M_PI * f / fs;
  const double alpha = std::sin(w) * std::sinh(std::log(2.0) / 2 * bw * w / std::sin(w));
  const double A = std::sqrt(G);
  const double k = 1 + alpha / A;
  return {(1 + alpha * A) / k, -2 * std::cos(w) / k, (1 - alpha * A) / k, (1 - alpha / A) / k};
}

std::vector<SampleValue> ParagraphicReference(const std::vector<SampleValue>& in, int channels, double fs,
                                              const ParagraphicBands& bands) {
  const int peaking = bands.count - 1;
  std::vector<Biquad> designs;
  for (int k = 0; k < peaking; ++k) designs.push_back(PeakingReference(bands.freq[k], bands.amp[k], bands.bw[k], fs));
  const double K = 1 / std::tan((1 - 2 * bands.freq[peaking] / fs) * M_PI / 2);
  const double b0s = 1 / (1 + K), b1s = -1 / (1 + K), a1s = -(1 - K) / (1 + K);
  std::vector<SampleValue> out(in.size());
  double x1[2][10] = {}, x2[2][10] = {}, y1[2][10] = {}, y2[2][10] = {}, w1[2] = {};
  for (size_t i = 0; i < in.size(); ++i) {
    const int c = static_cast<int>(i % static_cast<size_t>(channels));
    const double x = in[i];
    double v = x + 0.01;
    for (int k = 0; k < peaking; ++k) {
      const double input = k == 0 ? x : v;
      const Biquad& d = designs[static_cast<size_t>(k)];
      if (k == 0) {
        x1[c][0] = i >= static_cast<size_t>(channels) ? in[i - channels] : 0;
        x2[c][0] = i >= static_cast<size_t>(2 * channels) ? in[i - 2 * channels] : 0;
      }
      const double y = d.b0 * input + d.b1 * x1[c][k] + d.b2 * x2[c][k] - d.b1 * y1[c][k] - d.a2 * y2[c][k];
      x2[c][k] = x1[c][k];
      x1[c][k] = input;
      y2[c][k] = y1[c][k];
      y1[c][k] = y;
      v = y;
    }
    const double w0 = v - a1s * w1[c];
    const double hp = b0s * w0 + b1s * w1[c];
    w1[c] = w0;
    out[i] = static_cast<SampleValue>(std::trunc((v + hp * (bands.amp[peaking] - 1)) * bands.master));
  }
  return out;
}

TEST(ParagraphicEqualizer, BandsAndShelfFollowTheFormulas) {
  ParagraphicBands varied = ParagraphicBands::Initial();
  const double gains[10] = {1.5, 0.5, 2.0, 0.8, 1.2, 0.3, 3.0, 1.0, 0.7, 1.9};
  for (int k = 0; k < 10; ++k) {
    varied.amp[k] = gains[k];
    varied.bw[k] = 0.2 + 0.25 * k;
    varied.freq[k] = 60.0 * std::pow(1.7, k);
  }
  varied.master = 0.8;
  ParagraphicBands highBand = ParagraphicBands::Initial();
  highBand.amp[9] = 4.0;
  highBand.bw[9] = 3.0;  // the 10240 Hz band reaches 28963 Hz: above 0.55 of 22050, neutral
  highBand.count = 10;
  ParagraphicBands shelfOnly = varied;
  shelfOnly.count = 1;
  ParagraphicBands four = varied;
  four.count = 4;
  const struct {
    const char* name;
    ParagraphicBands bands;
    uint32_t rate;
  } kCases[] = {{"ten bands", varied, 44100}, {"above the limit", highBand, 22050}, {"shelf only", shelfOnly, 44100},
                {"four bands", four, 48000}};
  for (const auto& each : kCases) {
    for (const int channels : {1, 2}) {
      SCOPED_TRACE(std::string(each.name) + (channels == 2 ? " stereo" : " mono"));
      ParagraphicEqProcessor engine;
      engine.SetBands(each.bands);
      const std::vector<SampleValue> in = Noise(channels, 20000, 1e6, 11);
      EXPECT_EQ(RunEngine(engine, channels, each.rate, in), ParagraphicReference(in, channels, each.rate, each.bands));
    }
  }
  // The neutral band is an identity section; a band below the limit is not.
  const PeakingCoefficients neutral = DesignPeakingBand(10240, 4.0, 3.0, 22050);
  EXPECT_DOUBLE_EQ(neutral.b0, 1.0);
  EXPECT_DOUBLE_EQ(neutral.b2, neutral.a2);
  EXPECT_NE(DesignPeakingBand(5000, 4.0, 1.0, 22050).b0, 1.0);
  // Flat bands and master 1: the input plus 0.01, truncated.
  ParagraphicEqProcessor flat;
  const std::vector<SampleValue> in = {9, -9, 0, 4, -1};
  EXPECT_EQ(RunEngine(flat, 1, 44100, in), (std::vector<SampleValue>{9, -8, 0, 4, 0}));
}

TEST(ParagraphicEqualizer, ExtraParamsCarryTheBandsCountAndMaster) {
  ParagraphicEqProcessor engine;
  double bw[11], amp[11], freq[11], count = 6.7;
  for (int k = 0; k < 11; ++k) {
    bw[k] = 0.5 + k;
    amp[k] = 1.0 + 0.1 * k;
    freq[k] = 100.0 * (k + 1);
  }
  amp[10] = 2.0;  // master, +6.02 dB
  engine.SetExtraParams(bw, amp, freq, &count);
  EXPECT_EQ(engine.values.p[3], 6);
  EXPECT_EQ(engine.values.p[0], 60);
  EXPECT_EQ(engine.needsPrepare, 1);
  double outBw[11] = {}, outAmp[11] = {}, outFreq[11] = {}, outCount = 0;
  engine.GetExtraParams(outBw, outAmp, outFreq, &outCount);
  EXPECT_EQ(outCount, 6);
  EXPECT_EQ(outAmp[10], 2.0);
  for (int k = 0; k < 10; ++k) EXPECT_TRUE(outBw[k] == bw[k] && outAmp[k] == amp[k] && outFreq[k] == freq[k]) << k;
  // The integers carry the master gain and the count; a count outside 1..10 is not taken.
  PresetValues integers;
  integers.p[0] = -60;
  integers.p[3] = 4;
  engine.SetValues(integers);
  EXPECT_DOUBLE_EQ(engine.Bands().master, std::pow(10.0, -0.3));
  EXPECT_EQ(engine.Bands().count, 4);
  integers.p[3] = 0;
  engine.SetValues(integers);
  EXPECT_EQ(engine.Bands().count, 4);
  // A count outside 1..10 is held inside.
  for (const double wild : {0.0, -3.0, 25.0}) {
    double c = wild;
    engine.SetExtraParams(bw, amp, freq, &c);
    EXPECT_GE(engine.values.p[3], 1);
    EXPECT_LE(engine.values.p[3], 10);
  }
}

TEST(ParagraphicEqualizer, BandLinesAreReadAsTheirPatternReadsThem) {
  const struct {
    const char* line;
    int read;
  } kLines[] = {
      {"1,2,3,4,5,6,7,8,9,10,", 10},
      {" 1 , 2 , 3, 4, 5, 6, 7, 8, 9, 10 ", 10},
      {"1e3,-2.5,+3,4,5,6,7,8,9,10", 10},
      {"1 ,2 ,3 ,4,5,6,7,8,9,10", 3},  // no blank before the commas after the third number
      {"1,2,3,4,5,6,7,8,9", 9},
      {"1,2,x,4", 2},
      {"", 0},
  };
  for (const auto& each : kLines) {
    SCOPED_TRACE(each.line);
    std::array<double, 10> values;
    values.fill(-7);
    EXPECT_EQ(ParseBandLine(each.line, values), each.read);
    for (int k = each.read; k < 10; ++k) EXPECT_EQ(values[k], -7) << "kept";
    if (each.read > 0) {
      EXPECT_EQ(values[0], each.line[0] == '1' && each.line[1] == 'e' ? 1000 : 1);
    }
  }
}

TEST(ParagraphicEqualizer, PresetRecordsAreWrittenByteForByteAndReadBack) {
  test::TestFolder home;
  test::ScopedEnvironment environment("ZTLIVE_HOME", home.Path());
  ScriptedPrompts prompts;
  ParagraphicEqProcessor engine;
  engine.prompts = &prompts;
  ParagraphicBands bands = ParagraphicBands::Initial();
  bands.amp[2] = 1.995262315;
  bands.freq[4] = 1234.5678;
  bands.bw[7] = 0.05;
  bands.master = 0.5;
  bands.count = 7;
  engine.SetBands(bands);
  ASSERT_EQ(engine.WritePreset("Voice"), 1);
  // Every line as "%g," of the C library in the C locale would write it.
  auto line = [](const std::array<double, 10>& values) {
    std::string text;
    for (const double v : values) {
      char item[32];
      std::snprintf(item, sizeof item, "%g,", v);
      text += item;
    }
    return text;
  };
  const std::string file = test::ReadFileText(PresetFilePath());
  const std::string expected = "[ParametricSet]\nVoice=-60,0,0,7,0,0,0,0,0,0,0\n";
  EXPECT_NE(file.find(expected), std::string::npos) << file;
  EXPECT_NE(file.find("[ParametricSet_amp]\nVoice=" + line(bands.amp) + "\n"), std::string::npos) << file;
  EXPECT_NE(file.find("[ParametricSet_q]\nVoice=" + line(bands.bw) + "\n"), std::string::npos) << file;
  EXPECT_NE(file.find("[ParametricSet_freq]\nVoice=" + line(bands.freq) + "\n"), std::string::npos) << file;
  EXPECT_NE(file.find("Voice=1,1,1.99526,1,1,1,1,1,1,1,"), std::string::npos);
  EXPECT_NE(file.find("Voice=20,40,80,160,1234.57,640,1280,2560,5120,10240,"), std::string::npos);

  // A file written in the stored layout by hand loads exactly; p[1] and p[2] come back 0.
  test::WriteFileText(PresetFilePath(),
                      "[ParametricSet]\nHand=-35,4,2,3,0,0,0,0,0,0,0\n"
                      "[ParametricSet_amp]\nHand=2,0.5,1.5,1,1,1,1,1,1,1,\n"
                      "[ParametricSet_q]\nHand=0.5,1,2,1,1,1,1,1,1,1,\n"
                      "[ParametricSet_freq]\nHand=100,1000,8000,20,20,20,20,20,20,20,\n"
                      "[ParametricSet_amp]\nShort=3,3,3,3,3,3,3,3,3,\n"
                      "[ParametricSet]\nShort=0,0,0,10,0,0,0,0,0,0,0\n"
                      "[ParametricSet_q]\nShort=1,1,1,1,1,1,1,1,1,1,\n"
                      "[ParametricSet_freq]\nShort=20,40,80,160,320,640,1280,2560,5120,10240,\n");
  ParagraphicEqProcessor loaded;
  loaded.prompts = &prompts;
  ASSERT_EQ(loaded.LoadPreset("Hand"), 0);
  const ParagraphicBands hand = loaded.Bands();
  EXPECT_EQ(hand.count, 3);
  EXPECT_DOUBLE_EQ(hand.master, std::pow(10.0, -35 * 0.005));
  EXPECT_EQ(hand.amp[0], 2.0);
  EXPECT_EQ(hand.bw[2], 2.0);
  EXPECT_EQ(hand.freq[2], 8000.0);
  EXPECT_EQ(loaded.values.p[1], 0);
  EXPECT_EQ(loaded.values.p[2], 0);
  EXPECT_TRUE(prompts.Entries().empty());

  // Nine numbers in a line: nine are taken, the tenth is kept, and the message is shown.
  ASSERT_EQ(loaded.LoadPreset("Short"), 0);
  EXPECT_EQ(loaded.Bands().amp[8], 3.0);
  EXPECT_EQ(loaded.Bands().amp[9], 1.0);
  ASSERT_EQ(prompts.Entries().size(), 1u);
  EXPECT_EQ(prompts.Entries()[0].text, StringText(StringId::kPresetLoadFailed));

  // No integers: the count returns to 10 and nothing else changes.
  loaded.SetBands(hand);
  EXPECT_EQ(loaded.LoadPreset("Missing"), 1);
  EXPECT_EQ(loaded.Bands().count, 10);
  EXPECT_EQ(loaded.Bands().amp, hand.amp);
}

TEST(ParagraphicEqualizer, DrawnResponseSpansTheAxisAndFollowsTheBands) {
  const double fs = 44100;
  EXPECT_DOUBLE_EQ(ResponsePointHz(0, fs), 10.0);
  EXPECT_NEAR(ResponsePointHz(kResponsePoints, fs), fs / 2, 1e-6);
  ParagraphicBands bands = ParagraphicBands::Initial();
  bands.count = 3;
  bands.freq[0] = 1000;
  bands.amp[0] = 2.0;  // +6.02 dB at its centre
  bands.freq[1] = 9000;
  bands.bw[1] = 2.0;   // 9000·2 = 18000 Hz reaches past 0.55 of half the rate: drawn flat
  bands.amp[1] = 4.0;
  bands.freq[2] = 15000;
  bands.amp[2] = 0.5;  // the shelf: -6 dB far above its corner
  bands.master = 1.0;
  const struct {
    double hz;
    double db;
    double within;
  } kPoints[] = {{1000, 20 * std::log10(2.0), 0.05}, {20, 0, 0.05}, {9000, -0.92, 0.05}, {22000, -3.11, 0.05}};
  for (const auto& point : kPoints) {
    SCOPED_TRACE(point.hz);
    EXPECT_NEAR(ParagraphicResponseDb(bands, point.hz, fs), point.db, point.within);
  }
  bands.master = 0.5;
  EXPECT_NEAR(ParagraphicResponseDb(bands, 1000, fs), 0.0, 0.05) << "the master gain is part of the curve";
  const ResponseCurve curve = ParagraphicResponse(bands, fs);
  EXPECT_DOUBLE_EQ(curve.hz[100], ResponsePointHz(100, fs));
  EXPECT_DOUBLE_EQ(curve.db[100], ParagraphicResponseDb(bands, curve.hz[100], fs));
}

}  // namespace
}  // namespace ztlive
