// The brick wall's settings window on real widgets: the upper edge follows the mode, every
// change reaches the engines and the picture, and "Run Filter" over a real file keeps the
// low tone, removes the high one and leaves the result lined up with the source.
#include "filters/eq/brick_wall_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cmath>

#include "filters/eq/brick_wall_filter.h"
#include "filters/eq/brick_wall_picture.h"
#include "testing/engine_run.h"
#include "testing/gui_test_support.h"
#include "testing/run_test_host.h"
#include "testing/settings_window_input.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::ChoosePreset;
using test::Click;
using test::RunTestHost;
using test::SaveAs;
using test::TypeValue;

constexpr uint32_t kRate = 44100;

// The picture's response at the point nearest to hz.
double PictureDb(BrickWallPicture& picture, double hz) {
  int nearest = 0;
  for (int point = 1; point < BrickWallPicture::kPoints; ++point)
    if (std::abs(std::log(BrickWallPicture::PointFrequency(point) / hz)) <
        std::abs(std::log(BrickWallPicture::PointFrequency(nearest) / hz)))
      nearest = point;
  return picture.ResponseDb()[static_cast<size_t>(nearest)];
}

// Stereo: a 300 Hz tone in both channels, a 6 kHz tone on top in the left one.
std::vector<SampleValue> TwoTones(size_t frames, bool withHigh) {
  std::vector<SampleValue> values(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    const double low = 2e6 * std::sin(2 * M_PI * 300 * double(i) / kRate);
    const double high = withHigh ? 2e6 * std::sin(2 * M_PI * 6000 * double(i) / kRate) : 0.0;
    values[2 * i] = static_cast<SampleValue>(std::lround(low + high));
    values[2 * i + 1] = static_cast<SampleValue>(std::lround(low));
  }
  return values;
}

class BrickWallWindow : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteValues24(m_source, 2, kRate, TwoTones(kFrames, true)); }

  static constexpr size_t kFrames = 3 * kRate;
  test::TestFolder m_files;
  std::string m_source = m_files.File("source.wav");
};

TEST_F(BrickWallWindow, UpperEdgeFollowsTheModeAndEveryChangeReachesEngineAndPicture) {
  RunTestHost host(m_source);
  BrickWallDialog dialog(host);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Brick Wall Filter");
  EXPECT_EQ(dialog.FrequencyPair().Label().text(), "Frequency");
  EXPECT_EQ(dialog.UpperPair().Label().text(), "Upper Freq");
  EXPECT_EQ(dialog.LengthPair().Label().text(), "Length");
  EXPECT_EQ(host.FileRun().activePresetValues, (PresetValues{{1000, 200, 64, 0}}));

  BrickWallProcessor engine;
  dialog.AttachProcessor(&engine);
  // The upper edge takes no typing while the low pass leaves it disabled.
  TypeValue(dialog.UpperPair(), 2000);
  EXPECT_EQ(engine.values.p[1], 200);
  Click(dialog.TypeButton(2));
  TypeValue(dialog.FrequencyPair(), 1000);
  TypeValue(dialog.UpperPair(), 2000);
  TypeValue(dialog.LengthPair(), 4095);
  struct Case {
    int mode;
    const char* label;
    bool band;
    double passHz, stopHz;
  };
  const Case cases[] = {
      {0, "Lowpass", false, 500, 2000},
      {1, "Highpass", false, 4000, 500},
      {2, "Bandpass", true, 1500, 4000},
      {3, "Bandstop", true, 4000, 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Click(dialog.TypeButton(c.mode));
    EXPECT_EQ(dialog.TypeButton(c.mode).text(), c.label);
    EXPECT_EQ(dialog.UpperPair().Label().isVisible(), c.band);
    EXPECT_EQ(dialog.UpperPair().isEnabled(), c.band);
    EXPECT_EQ(engine.values, (PresetValues{{1000, 2000, 4095, c.mode}}));
    EXPECT_EQ(engine.needsPrepare, 1);
    EXPECT_EQ(host.FileRun().activePresetValues, engine.values);
    EXPECT_NEAR(PictureDb(dialog.Picture(), c.passHz), 0.0, 1.0);
    EXPECT_LT(PictureDb(dialog.Picture(), c.stopHz), -20.0);
  }
  // Unwindowed, the low pass's side lobes 100 Hz past the edge are still near -46 dB; with
  // the Kaiser window for 80 dB the stop band there is below -70 dB.
  Click(dialog.TypeButton(0));
  EXPECT_GT(PictureDb(dialog.Picture(), 1100), -60.0);
  TypeValue(dialog.KaiserPair(), 80);
  EXPECT_EQ(engine.values, (PresetValues{{1000, 2000, 4095, 0, 80}}));
  EXPECT_LT(PictureDb(dialog.Picture(), 1100), -70.0);
  EXPECT_NEAR(PictureDb(dialog.Picture(), 500), 0.0, 0.01);
  dialog.AttachProcessor(nullptr);
}

TEST_F(BrickWallWindow, RunFilterKeepsTheLowToneLinedUpAndRemovesTheHighOne) {
  RunTestHost host(m_source);
  const std::string filtered = m_files.File("filtered.wav");
  host.SetDestination(filtered);
  BrickWallDialog dialog(host);
  dialog.show();
  TypeValue(dialog.FrequencyPair(), 1000);
  TypeValue(dialog.LengthPair(), 4095);
  Click(dialog.TypeButton(0));
  test::SaveScreenshot(dialog, "brick_wall_window");

  Click(dialog.RunButton());
  ASSERT_EQ(host.LastResult(), 1);
  const std::vector<SampleValue> out = test::ReadValues24(filtered);
  const std::vector<SampleValue> low = TwoTones(kFrames, false);
  ASSERT_EQ(out.size(), low.size());
  // Away from the ends, where the filter runs into silence, the output is the 300 Hz tone at
  // the same place: without the delay taken back it would be 2047 frames late.
  double worst = 0;
  for (size_t i = 2 * 4096; i + 2 * 4096 < out.size(); ++i) worst = std::max(worst, std::abs(double(out[i]) - low[i]));
  EXPECT_LT(worst, 2e6 * 0.1);
}

}  // namespace
}  // namespace ztlive
