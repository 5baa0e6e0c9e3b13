// Every filter settings window over its filter's descriptor, as the Filters menu opens it:
// one control per parameter record, captioned, ranged and with the choices the record gives;
// the starting values when no "Default" is stored; values kept through the preset file; and
// stored values outside the ranges held at the range ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <memory>

#include "app/filter_windows.h"
#include "filters/filter_registry.h"
#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/preset_store.h"
#include "filters/framework/slider_edit_pair.h"
#include "testing/engine_run.h"
#include "testing/gui_test_support.h"
#include "testing/run_test_host.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// What a window shows where it documents a difference from its values' records.
using Documented = void (*)(PresetValues& shown);

void AsRecorded(PresetValues&) {}

// Keep residue goes only with a "Run Filter" run; on opening, the loaded recording type's
// unused control (tracking for 78's and the model-based detector, which use the threshold;
// the threshold for the two high-pass types) is set to 1.
void ImpulseOnOpening(PresetValues& shown) {
  shown.p[3] = 0;
  const bool usesThreshold = shown.p[2] == 0 || shown.p[2] == 3;
  shown.p[usesThreshold ? 4 : 0] = 1;
}

struct WindowCase {
  FilterTypeId type;
  const char* screenshot;
  Documented documented;
};

void PrintTo(const WindowCase& window, std::ostream* out) { *out << window.screenshot; }

constexpr WindowCase kWindows[] = {
    {15, "settings_window_impulse", ImpulseOnOpening},
    {8, "settings_window_continuous_noise", AsRecorded},
    {19, "settings_window_low_pass", AsRecorded},
    {12, "settings_window_high_pass", AsRecorded},
    {11, "settings_window_band_pass", AsRecorded},
    {13, "settings_window_notch", AsRecorded},
    {2, "settings_window_averaging", AsRecorded},
    {6, "settings_window_median", AsRecorded},
    {31, "settings_window_brick_wall", AsRecorded},
};

class SettingsWindows : public ::testing::TestWithParam<WindowCase> {
 protected:
  void SetUp() override {
    test::WriteValues24(m_source, 1, 44100, test::MusicLike(1, 0.2, 44100));
    m_host = std::make_unique<test::RunTestHost>(m_source);
    m_descriptor = FindFilterDescriptor(GetParam().type);
    ASSERT_NE(m_descriptor, nullptr);
  }

  // A new window for the case's filter, as the Filters menu makes it.
  std::unique_ptr<FilterSettingsDialog> Open() {
    std::unique_ptr<QDialog> window(MakeFilterWindow(GetParam().type, *m_host, nullptr));
    if (window == nullptr) return nullptr;
    SwitchFilterWindow(*window, GetParam().type);
    std::unique_ptr<FilterSettingsDialog> settings(dynamic_cast<FilterSettingsDialog*>(window.release()));
    if (settings != nullptr) settings->show();
    return settings;
  }

  // The values the window sent to the engines when it opened.
  PresetValues Applied() const { return m_host->FileRun().activePresetValues; }

  PresetValues Documented(PresetValues values) const {
    GetParam().documented(values);
    return values;
  }

  test::TestFolder m_files;
  std::string m_source = m_files.File("source.wav");
  std::unique_ptr<test::RunTestHost> m_host;
  const FilterDescriptor* m_descriptor = nullptr;
};

TEST_P(SettingsWindows, ShowOneControlPerRecordAndOpenAtTheStartingValues) {
  const std::unique_ptr<FilterSettingsDialog> window = Open();
  ASSERT_NE(window, nullptr);
  const ValueControls& controls = window->Controls();
  EXPECT_EQ(window->windowTitle().toStdString(), m_descriptor->windowTitle);
  for (const ParameterRecord& record : m_descriptor->parameters) {
    SCOPED_TRACE(record.label);
    const int i = record.index;
    ASSERT_NE(controls.Widget(i), nullptr);
    EXPECT_TRUE(controls.Widget(i)->isVisible());
    switch (record.kind) {
      case ControlKind::LinearSlider:
      case ControlKind::LogSlider: {
        SliderEditPair& pair = *controls.Pair(i);
        EXPECT_EQ(pair.Label().text(), Text(record.label));
        EXPECT_EQ(pair.Range().minimum, record.minimum);
        EXPECT_EQ(pair.Range().maximum, record.maximum);
        EXPECT_EQ(pair.Range().logarithmic, record.kind == ControlKind::LogSlider);
        EXPECT_EQ(pair.Range().scale, record.scale);
        break;
      }
      case ControlKind::RadioChoice:
        EXPECT_EQ(controls.Group(i)->title(), Text(record.group));
        ASSERT_EQ(controls.Buttons(i)->buttons().size(), static_cast<qsizetype>(record.choices.size()));
        for (size_t c = 0; c < record.choices.size(); ++c)
          EXPECT_EQ(controls.Button(i, static_cast<int>(c))->text(), Text(record.choices[c]));
        break;
      case ControlKind::ListChoice:
        EXPECT_EQ(controls.Label(i)->text(), Text(record.label));
        ASSERT_EQ(controls.Combo(i)->count(), static_cast<int>(record.choices.size()));
        for (size_t c = 0; c < record.choices.size(); ++c)
          EXPECT_EQ(controls.Combo(i)->itemText(static_cast<int>(c)), Text(record.choices[c]));
        break;
      case ControlKind::Check:
        EXPECT_EQ(controls.Box(i)->text(), Text(record.label));
        break;
      case ControlKind::Spin:
        EXPECT_EQ(controls.Label(i)->text(), Text(record.label));
        EXPECT_EQ(controls.Spin(i)->minimum(), record.minimum);
        EXPECT_EQ(controls.Spin(i)->maximum(), record.maximum);
        break;
    }
  }
  // No control shows for a value the filter has no record of (a shared window hides them).
  int shown = 0;
  for (int i = 0; i < kPresetValueCount; ++i) shown += controls.Widget(i) != nullptr && controls.Widget(i)->isVisible();
  EXPECT_EQ(shown, static_cast<int>(m_descriptor->parameters.size()));

  EXPECT_EQ(Applied(), Documented(m_descriptor->StartingValues()));
  QApplication::processEvents();
  EXPECT_FALSE(test::SaveScreenshot(*window, GetParam().screenshot).isEmpty());
}

TEST_P(SettingsWindows, KeepInRangeValuesThroughThePresetFile) {
  // For every record a value other than its start: two thirds up a range, the last choice,
  // the second list entry, a ticked box.
  PresetValues values;
  for (const ParameterRecord& record : m_descriptor->parameters) {
    int32_t& value = values.p[static_cast<size_t>(record.index)];
    switch (record.kind) {
      case ControlKind::ListChoice:
        value = record.start == 1 ? 2 : 1;
        break;
      case ControlKind::Check:
      case ControlKind::RadioChoice:
        value = record.maximum;
        break;
      default:
        value = record.minimum + (record.maximum - record.minimum) * 2 / 3;
        if (value == record.start) ++value;
    }
  }
  m_host->Settings().Write(setting::kAutoSaveDefault, 1);
  {
    const std::unique_ptr<FilterSettingsDialog> window = Open();
    ASSERT_NE(window, nullptr);
    window->Controls().Show(values);
    window->close();  // stores "Default"
  }
  const std::unique_ptr<FilterSettingsDialog> window = Open();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Applied(), Documented(values));
}

TEST_P(SettingsWindows, HoldStoredValuesOutsideTheRangesAtTheEnds) {
  for (const bool above : {true, false}) {
    SCOPED_TRACE(above ? "above" : "below");
    PresetValues stored;
    PresetValues expected;
    for (const ParameterRecord& record : m_descriptor->parameters) {
      const auto i = static_cast<size_t>(record.index);
      stored.p[i] = above ? record.maximum + 5000 : record.minimum - 5000;
      expected.p[i] = above ? record.maximum : record.minimum;
      if (record.kind == ControlKind::ListChoice) expected.p[i] = record.start;  // no such entry
    }
    ASSERT_EQ(WritePresetValuesTo(PresetSection(m_descriptor->sectionBase), "Default",
                                  m_descriptor->presetRecord.Store(stored), PresetTextForm::Plain),
              1);
    const std::unique_ptr<FilterSettingsDialog> window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Applied(), Documented(expected));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, SettingsWindows, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<WindowCase>& param) {
                           return std::string(param.param.screenshot).substr(sizeof("settings_window_") - 1);
                         });

}  // namespace
}  // namespace ztlive
