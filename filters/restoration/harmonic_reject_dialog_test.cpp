// The harmonic reject window over a real filter run: "Find" tunes the frequency and fine
// tuning to hum in the selection of a real file (and says why when it cannot), the method
// enables the notch width, and "Run Filter" with the found tuning takes the hum out.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cmath>

#include "filters/restoration/harmonic_reject_dialog.h"
#include "filters/restoration/harmonic_reject_filter.h"
#include "platform/string_table.h"
#include "testing/engine_run.h"
#include "testing/gui_test_support.h"
#include "testing/run_test_host.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;
constexpr double kHum = 49.963;

// Speech with hum on odd harmonics up to the 9th, -35 dBFS each.
std::vector<SampleValue> SpeechWithHum(double seconds) {
  std::vector<SampleValue> values = test::SpeechLike(1, seconds, kRate);
  for (size_t n = 0; n < values.size(); ++n)
    for (int i = 1; i <= 9; i += 2)
      values[n] += static_cast<SampleValue>(std::lround(0.0178 * 8388607 * std::sin(2 * M_PI * i * kHum * double(n) / kRate)));
  return values;
}

double HumPower(const std::vector<SampleValue>& values, const std::vector<SampleValue>& clean, size_t from) {
  double sum = 0;
  for (size_t n = from; n < values.size(); ++n) sum += std::pow(double(values[n]) - clean[n], 2);
  return sum;
}

TEST(HarmonicRejectWindow, FindTunesToTheHumAndTheRunTakesItOut) {
  test::TestFolder files;
  const std::string source = files.File("hum.wav");
  const std::vector<SampleValue> input = SpeechWithHum(6);
  test::WriteValues24(source, 1, kRate, input);
  test::RunTestHost host(source);
  HarmonicRejectDialog dialog(host);
  dialog.SetStretchProvider([&host, source]() -> std::optional<HarmonicRejectDialog::Stretch> {
    int64_t first = 0, last = 0;
    host.Selection(first, last);
    return HarmonicRejectDialog::Stretch{source, uint64_t(first), uint64_t(last)};
  });
  dialog.show();

  // Too short a selection: nothing changes, and the window says why.
  host.SetSelection(0, 3 * 22050);
  const int32_t before = dialog.FrequencyPair().Value();
  QTest::mouseClick(&dialog.FindButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.FrequencyPair().Value(), before);
  ASSERT_FALSE(host.Answers().Texts().empty());
  EXPECT_EQ(host.Answers().Texts().back(), FormatText(StringId::kHumStretchTooShort, {"1"}));

  host.SetSelection(0, 0);
  QTest::mouseClick(&dialog.FindButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.FrequencyPair().Value(), 500);
  EXPECT_NEAR(dialog.FineTuningSpin().value(), -37, 2);

  EXPECT_FALSE(dialog.NotchWidthPair().isEnabled());
  dialog.MethodList().setCurrentIndex(HarmonicRejectProcessor::kNarrowNotches);
  emit dialog.MethodList().activated(HarmonicRejectProcessor::kNarrowNotches);
  EXPECT_TRUE(dialog.NotchWidthPair().isEnabled());
  dialog.MaximumHarmonicSpin().setValue(9);
  dialog.AttenuationPair().SetValue(60);
  dialog.NotchWidthPair().SetValue(50);

  const std::string destination = files.File("clean.wav");
  host.SetDestination(destination);
  QTest::mouseClick(&dialog.RunButton(), Qt::LeftButton);
  ASSERT_EQ(host.LastResult(), 1);
  test::SaveScreenshot(dialog, "harmonic_reject_window");
  const std::vector<SampleValue> output = test::ReadValues24(destination);
  ASSERT_EQ(output.size(), input.size());
  const std::vector<SampleValue> clean = test::SpeechLike(1, 6, kRate);
  // After the notches settle, less than 1 % of the hum's power is left.
  EXPECT_LT(HumPower(output, clean, 3 * kRate), 0.01 * HumPower(input, clean, 3 * kRate));
}

TEST(HarmonicRejectWindow, FindWithoutAFileSaysSo) {
  test::TestFolder files;
  const std::string source = files.File("quiet.wav");
  test::WriteValues24(source, 1, kRate, test::SpeechLike(1, 2, kRate));
  test::RunTestHost host(source);
  HarmonicRejectDialog dialog(host);
  dialog.show();
  EXPECT_FALSE(dialog.FindFundamental());
  EXPECT_EQ(host.Answers().Texts().back(), std::string(StringText(StringId::kHumNoDocument)));
  dialog.SetStretchProvider([source] { return std::optional(HarmonicRejectDialog::Stretch{source, 0, 0}); });
  EXPECT_FALSE(dialog.FindFundamental());
  EXPECT_EQ(host.Answers().Texts().back(), std::string(StringText(StringId::kHumNotFound)));
}

}  // namespace
}  // namespace ztlive
