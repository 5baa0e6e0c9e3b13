// The classic filters' settings window on real widgets over a real filter run: the six modes
// and their layout, the value controls through mouse and keyboard, presets through the real
// "Preset Name" dialog, runs over a file with changes while they run, closing, and a preview
// on the JACK test server.
#include "filters/eq/filter_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <chrono>
#include <cstring>

#include "filters/eq/low_pass_filter.h"
#include "filters/filter_factory.h"
#include "filters/framework/preset_store.h"
#include "platform/file_ops.h"
#include "testing/engine_run.h"
#include "testing/gui_test_support.h"
#include "testing/jack_test_server.h"
#include "testing/run_test_host.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

using test::RunTestHost;
using test::TestFolder;

constexpr uint32_t kRate = 44100;

PresetValues Values(std::initializer_list<int32_t> list) {
  PresetValues values;
  size_t i = 0;
  for (const int32_t v : list) values.p[i++] = v;
  return values;
}

// Replaces the edit's text by typing, then confirms it with Enter.
void TypeValue(QLineEdit& edit, const QString& text) {
  edit.selectAll();
  QTest::keyClicks(&edit, text);
  QTest::keyClick(&edit, Qt::Key_Return);
}

// The centre of the trackbar's handle and the groove's pixel span, as the style draws them.
struct SliderGeometry {
  QPoint handle;
  int grooveTop;
  int grooveBottom;
};

SliderGeometry MeasureSlider(QSlider& slider) {
  QStyleOptionSlider option;
  option.initFrom(&slider);
  option.orientation = slider.orientation();
  option.minimum = slider.minimum();
  option.maximum = slider.maximum();
  option.sliderPosition = slider.sliderPosition();
  option.sliderValue = slider.value();
  option.upsideDown = !slider.invertedAppearance();  // as a vertical QSlider sets it
  option.subControls = QStyle::SC_All;
  const QRect handle = slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider);
  const QRect groove = slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, &slider);
  return {handle.center(), groove.top(), groove.bottom()};
}

// Drags the handle with the left button to the pixel row y (trackbar coordinates).
void DragSliderTo(QSlider& slider, int y) {
  const QPoint from = MeasureSlider(slider).handle;
  QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, from);
  for (int step = 1; step <= 8; ++step) {
    const QPoint at(from.x(), from.y() + (y - from.y()) * step / 8);
    QMouseEvent move(QEvent::MouseMove, at, slider.mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&slider, &move);
  }
  QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(from.x(), y));
}

// Every visible control shows its whole text and no two controls overlap.
void ExpectLaidOutCleanly(QWidget& window) {
  std::vector<QWidget*> controls;
  for (QWidget* child : window.findChildren<QWidget*>()) {
    if (!child->isVisible() || qobject_cast<QComboBox*>(child->parentWidget()) != nullptr) continue;
    const bool control = qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child) ||
                         qobject_cast<QLineEdit*>(child) || qobject_cast<QSlider*>(child) ||
                         qobject_cast<QComboBox*>(child);
    if (!control) continue;
    controls.push_back(child);
    if (qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child)) {
      EXPECT_GE(child->width(), child->sizeHint().width()) << child->metaObject()->className() << " clipped";
      EXPECT_GE(child->height(), child->sizeHint().height()) << child->metaObject()->className() << " clipped";
    }
    const QRect inWindow(child->mapTo(&window, QPoint(0, 0)), child->size());
    EXPECT_TRUE(window.rect().contains(inWindow)) << child->metaObject()->className() << " outside the window";
  }
  for (size_t i = 0; i < controls.size(); ++i)
    for (size_t j = i + 1; j < controls.size(); ++j) {
      const QRect a(controls[i]->mapTo(&window, QPoint(0, 0)), controls[i]->size());
      const QRect b(controls[j]->mapTo(&window, QPoint(0, 0)), controls[j]->size());
      EXPECT_FALSE(a.intersects(b)) << controls[i]->metaObject()->className() << " overlaps "
                                    << controls[j]->metaObject()->className();
    }
}

QPushButton* ButtonWithText(QWidget& window, const QString& text) {
  for (QPushButton* button : window.findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

class FilterWindowTest : public ::testing::Test {
 protected:
  // A stereo 24-bit source of music-like sound.
  std::vector<SampleValue> WriteSource(double seconds) {
    std::vector<SampleValue> values = test::MusicLike(2, seconds, kRate);
    test::WriteValues24(source, 2, kRate, values);
    return values;
  }

  std::vector<SampleValue> LowPassed(const std::vector<SampleValue>& values, const PresetValues& settings) {
    LowPassProcessor engine;
    engine.SetValues(settings);
    return test::RunEngine(engine, 2, kRate, values);
  }

  // Stores a preset as the engine of the type does, in its own section.
  static void StorePreset(FilterTypeId type, const std::string& name, const PresetValues& values) {
    ScriptedPrompts prompts;
    std::unique_ptr<FilterProcessor> engine;
    CreateFilterProcessor(type, engine, prompts);
    ASSERT_NE(engine, nullptr);
    engine->SetValues(values);
    ASSERT_EQ(engine->WritePreset(name), 1);
  }

  TestFolder files;
  const std::string source = files.File("source.wav");
  const std::string destination = files.File("out.wav");
  RunTestHost host{source};
  FilterDialog dialog{host};
};

struct ModeCase {
  FilterTypeId type;
  const char* screenshot;
};

TEST_F(FilterWindowTest, EachModeShowsItsTitleControlsAndRangesLaidOutCleanly) {
  dialog.show();
  for (const ModeCase& mode : {ModeCase{19, "filter_dialog_low_pass"}, {12, "filter_dialog_high_pass"},
                               {11, "filter_dialog_band_pass"}, {13, "filter_dialog_notch"},
                               {2, "filter_dialog_averaging"}, {6, "filter_dialog_median"}}) {
    SCOPED_TRACE(mode.screenshot);
    ASSERT_TRUE(dialog.SetMode(mode.type));
    QApplication::processEvents();
    const FilterDescriptor& info = *FilterDialog::FindMode(mode.type);
    const ParameterRecord* first = info.Parameter(1);
    const ParameterRecord* second = info.Parameter(2);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(dialog.windowTitle().toStdString(), info.windowTitle);
    EXPECT_TRUE(dialog.FirstPair().isVisible());
    EXPECT_EQ(dialog.FirstPair().Label().text().toStdString(), first->label);
    EXPECT_EQ(dialog.SecondPair().isVisible(), second != nullptr);
    if (second != nullptr) {
      EXPECT_EQ(dialog.SecondPair().Label().text().toStdString(), second->label);
    }
    EXPECT_EQ(dialog.SlopeGroup().isVisible(), info.Parameter(0) != nullptr);
    EXPECT_EQ(dialog.SlotBox().isVisible(), info.Parameter(3) != nullptr);
    EXPECT_EQ(dialog.FirstPair().Range().minimum, first->minimum);
    EXPECT_EQ(dialog.FirstPair().Range().maximum, first->maximum);
    EXPECT_EQ(dialog.FirstPair().Range().logarithmic, first->kind == ControlKind::LogSlider);
    for (QPushButton* button : {&dialog.SaveButton(), &dialog.DeleteButton(), &dialog.PreviewButton(),
                                &dialog.RunButton(), &dialog.CloseButton()})
      EXPECT_TRUE(button->isVisible()) << button->text().toStdString();
    EXPECT_TRUE(dialog.BypassBox().isVisible());
    EXPECT_EQ(dialog.PresetBox().currentText(), "Default");
    ExpectLaidOutCleanly(dialog);
    EXPECT_FALSE(test::SaveScreenshot(dialog, mode.screenshot).isEmpty());
  }
  EXPECT_EQ(dialog.SlopeButton(0).text(), "6dB/Octave");
  EXPECT_EQ(dialog.SlopeButton(1).text(), "12dB/Octave");
  EXPECT_EQ(dialog.SlopeButton(2).text(), "18dB/Octave");
  EXPECT_EQ(dialog.SlopeGroup().title(), "Filter Slope");
  EXPECT_EQ(dialog.SlotBox().text(), "Slot Filter");
  EXPECT_EQ(dialog.BypassBox().text(), "Bypass");
  for (const char* text : {"&Save", "&Delete", "&Preview", "Run &Filter", "&Close"})
    EXPECT_NE(ButtonWithText(dialog, text), nullptr) << text;

  // The notch's bandwidth shows hundredths of an octave as octaves.
  ASSERT_TRUE(dialog.SetMode(13));
  EXPECT_EQ(dialog.SecondPair().Range().scale, 100);
  EXPECT_EQ(dialog.SecondPair().Edit().text(), "  2.00") << "2000 held at 200";
  EXPECT_FALSE(dialog.SetMode(99));
  EXPECT_EQ(dialog.windowTitle(), "Notch Filter") << "an unknown type changes nothing";
}

TEST_F(FilterWindowTest, OpeningLoadsEachFiltersDefaultOrStartsAtTheDialogDefaultsHeldInRange) {
  // No preset yet: slope 0, 1000 and 2000, each held inside its control.
  const std::pair<FilterTypeId, PresetValues> initial[] = {
      {19, Values({0, 1000})}, {11, Values({0, 1000, 2000})}, {13, Values({0, 1000, 200})},
      {2, Values({0, 100})},   {6, Values({0, 20})}};
  for (const auto& [type, expected] : initial) {
    ASSERT_TRUE(dialog.SetMode(type));
    dialog.show();
    EXPECT_EQ(host.FileRun().activePresetValues, expected) << type;
    dialog.close();
  }
  // Each mode reads "Default" from its own engine's section.
  const std::pair<FilterTypeId, PresetValues> stored[] = {
      {19, Values({2, 3500})},     {12, Values({1, 80})}, {11, Values({1, 300, 3000})},
      {13, Values({1, 800, 50, 1})}, {2, Values({0, 7})},   {6, Values({0, 5})}};
  for (const auto& [type, values] : stored) StorePreset(type, "Default", values);
  for (const auto& [type, expected] : stored) {
    ASSERT_TRUE(dialog.SetMode(type));
    dialog.show();
    EXPECT_EQ(host.FileRun().activePresetValues, expected) << type;
    dialog.close();
  }
  ASSERT_TRUE(dialog.SetMode(13));
  dialog.show();
  EXPECT_EQ(dialog.SecondPair().Edit().text(), "  0.50");
  EXPECT_TRUE(dialog.SlopeButton(1).isChecked());
  EXPECT_TRUE(dialog.SlotBox().isChecked());
  dialog.close();

  // A stored value outside the controls is held; hidden chain keys are never listed.
  StorePreset(19, "Default", Values({1, 50000}));
  StorePreset(19, "_*chain member", Values({1, 600}));
  StorePreset(19, "Warm", Values({0, 700}));
  ASSERT_TRUE(dialog.SetMode(19));
  dialog.show();
  EXPECT_EQ(host.FileRun().activePresetValues, Values({1, 20000}));
  EXPECT_EQ(dialog.PresetBox().Find("_*chain member"), -1);
  EXPECT_GE(dialog.PresetBox().Find("Warm"), 0);
  EXPECT_EQ(dialog.PresetBox().currentText(), "Default");
}

TEST_F(FilterWindowTest, DraggingALogarithmicTrackbarShowsTheMappedValueInTheEdit) {
  dialog.show();
  SliderEditPair& pair = dialog.FirstPair();  // "Frequency", 5..20000 Hz, logarithmic
  QSlider& slider = pair.Slider();
  QSignalSpy changes(&pair, &SliderEditPair::valueChanged);
  const SliderGeometry geometry = MeasureSlider(slider);
  EXPECT_NEAR(pair.Position(), 3612, 2) << "1000 Hz sits a little above the middle";

  DragSliderTo(slider, (geometry.grooveTop + geometry.grooveBottom) / 2);
  EXPECT_NEAR(pair.Position(), 5000, 250);
  EXPECT_GE(pair.Value(), 260);
  EXPECT_LE(pair.Value(), 380) << "half way up a 5..20000 Hz scale is about 316 Hz";
  EXPECT_EQ(pair.Edit().text(), QString::number(pair.Value()));
  ASSERT_GT(changes.count(), 0);
  EXPECT_EQ(changes.last().at(0).toInt(), pair.Value());
  for (qsizetype i = 1; i < changes.count(); ++i)
    EXPECT_NE(changes.at(i).at(0).toInt(), changes.at(i - 1).at(0).toInt()) << "one signal per change";
  EXPECT_EQ(host.FileRun().activePresetValues.p[1], pair.Value());

  DragSliderTo(slider, geometry.grooveTop - 40);
  EXPECT_EQ(pair.Position(), 0);
  EXPECT_EQ(pair.Edit().text(), "20000");
  DragSliderTo(slider, geometry.grooveBottom + 40);
  EXPECT_EQ(pair.Position(), 10000);
  EXPECT_EQ(pair.Edit().text(), "5");

  // Up moves towards the top, the maximum.
  slider.setFocus();
  const int32_t before = pair.Value();
  QTest::keyClick(&slider, Qt::Key_PageUp);
  EXPECT_GT(pair.Value(), before);
  EXPECT_LT(pair.Position(), 10000);
}

TEST_F(FilterWindowTest, TypedValuesAreScaledHeldInRangeAndMoveTheTrackbar) {
  ASSERT_TRUE(dialog.SetMode(13));
  dialog.show();
  dialog.activateWindow();
  QApplication::setActiveWindow(&dialog);
  SliderEditPair& bandwidth = dialog.SecondPair();  // 1..200, shown as 0.01..2.00
  QSignalSpy changes(&bandwidth, &SliderEditPair::valueChanged);

  TypeValue(bandwidth.Edit(), "0.29");
  EXPECT_EQ(bandwidth.Value(), 29);
  EXPECT_EQ(bandwidth.Edit().text(), "  0.29");
  EXPECT_EQ(changes.count(), 1);
  const int position29 = bandwidth.Position();
  EXPECT_GT(position29, 0);
  EXPECT_LT(position29, 10000);

  TypeValue(bandwidth.Edit(), "5");
  EXPECT_EQ(bandwidth.Value(), 200) << "held at the maximum";
  EXPECT_EQ(bandwidth.Edit().text(), "  2.00");
  EXPECT_EQ(bandwidth.Position(), 0);
  TypeValue(bandwidth.Edit(), "-1");
  EXPECT_EQ(bandwidth.Value(), 1);
  EXPECT_EQ(bandwidth.Position(), 10000);
  EXPECT_EQ(changes.count(), 3);
  TypeValue(bandwidth.Edit(), "0.010");
  EXPECT_EQ(changes.count(), 3) << "the same value again is no change";

  // Text that is no number keeps the value, also when the field is left with it.
  bandwidth.Edit().setFocus();
  bandwidth.Edit().selectAll();
  QTest::keyClicks(&bandwidth.Edit(), "wide");
  dialog.FirstPair().Edit().setFocus();
  QApplication::processEvents();
  EXPECT_EQ(bandwidth.Value(), 1);
  EXPECT_EQ(bandwidth.Edit().text(), "  0.01");
  EXPECT_EQ(changes.count(), 3);
  // Leaving the field confirms a typed value as Enter does.
  bandwidth.Edit().setFocus();
  bandwidth.Edit().selectAll();
  QTest::keyClicks(&bandwidth.Edit(), "1.5");
  dialog.FirstPair().Edit().setFocus();
  QApplication::processEvents();
  EXPECT_EQ(bandwidth.Value(), 150);

  TypeValue(dialog.FirstPair().Edit(), "25000");
  EXPECT_EQ(dialog.FirstPair().Value(), 19000) << "the notch's centre goes up to 19000 Hz";
  EXPECT_EQ(host.FileRun().activePresetValues, Values({0, 19000, 150, 0}));
  EXPECT_EQ(host.RunCount(), 0) << "Enter in an edit never starts a run";
}

TEST_F(FilterWindowTest, EveryChangeReachesTheAttachedEngineAndTheNextFileRun) {
  ASSERT_TRUE(dialog.SetMode(13));
  dialog.show();
  LowPassProcessor attached;  // what a preview or the chain attaches
  EXPECT_EQ(dialog.AttachProcessor(&attached), nullptr);

  TypeValue(dialog.FirstPair().Edit(), "2500");
  EXPECT_EQ(attached.values, Values({0, 2500, 200, 0}));
  EXPECT_EQ(attached.needsPrepare, 1);
  QTest::mouseClick(&dialog.SlotBox(), Qt::LeftButton);
  EXPECT_EQ(attached.values, Values({0, 2500, 200, 1}));
  ASSERT_TRUE(dialog.SetMode(19));
  QTest::mouseClick(&dialog.SlopeButton(2), Qt::LeftButton);
  EXPECT_EQ(attached.values, Values({2, 1000})) << "the low pass has no second value and no slot";
  EXPECT_EQ(host.FileRun().activePresetValues, attached.values);

  QTest::mouseClick(&dialog.BypassBox(), Qt::LeftButton);
  EXPECT_EQ(attached.bypass, 1);
  EXPECT_EQ(host.FileRun().bypass, 1);
  QTest::mouseClick(&dialog.BypassBox(), Qt::LeftButton);
  EXPECT_EQ(attached.bypass, 0);
  EXPECT_EQ(host.FileRun().bypass, 0);
  EXPECT_EQ(dialog.AttachProcessor(nullptr), &attached);

  // A window that opens does not inherit an earlier window's bypass.
  QTest::mouseClick(&dialog.BypassBox(), Qt::LeftButton);
  dialog.close();
  ASSERT_TRUE(dialog.SetMode(12));
  dialog.show();
  EXPECT_FALSE(dialog.BypassBox().isChecked());
  EXPECT_EQ(host.FileRun().bypass, 0);
}

TEST_F(FilterWindowTest, PresetsAreSavedThroughThePresetNameDialogChosenAndDeleted) {
  StorePreset(19, "Default", Values({1, 3000}));
  StorePreset(19, "_*chain member", Values({1, 600}));
  dialog.show();
  const std::string section = PresetSection("LowPassSet");
  TypeValue(dialog.FirstPair().Edit(), "800");

  bool asked = false;
  test::WhenModalOpens([&](QDialog& named) {
    asked = true;
    EXPECT_EQ(named.windowTitle(), "Preset Name");
    bool prompt = false;
    for (QLabel* label : named.findChildren<QLabel*>()) prompt |= label->text() == "Enter a name for this preset";
    EXPECT_TRUE(prompt);
    auto* edit = named.findChild<QLineEdit*>();
    EXPECT_EQ(edit->text(), "Default") << "prefilled with the combo box's text";
    EXPECT_EQ(edit->maxLength(), 64);
    ExpectLaidOutCleanly(named);
    test::SaveScreenshot(named, "preset_name_dialog");
    edit->setText("Bright");
    QTest::mouseClick(ButtonWithText(named, "OK"), Qt::LeftButton);
  });
  QTest::mouseClick(&dialog.SaveButton(), Qt::LeftButton);
  ASSERT_TRUE(asked);
  PresetValues read;
  ASSERT_EQ(ReadPresetValues(section, "Bright", read), 0);
  EXPECT_EQ(read, Values({1, 800}));
  EXPECT_EQ(dialog.PresetBox().currentText(), "Bright");

  // A listed name asks before it is overwritten; No keeps the stored values.
  TypeValue(dialog.FirstPair().Edit(), "900");
  host.Answers().Script(PromptAnswer::No);
  test::WhenModalOpens([](QDialog& named) { QTest::mouseClick(ButtonWithText(named, "OK"), Qt::LeftButton); });
  QTest::mouseClick(&dialog.SaveButton(), Qt::LeftButton);
  ASSERT_FALSE(host.Answers().Entries().empty());
  EXPECT_EQ(host.Answers().Entries().back().text, "The preset Bright already exists. Do you want to overwrite it?");
  EXPECT_EQ(host.Answers().Entries().back().caption, "Setting Exists");
  ASSERT_EQ(ReadPresetValues(section, "Bright", read), 0);
  EXPECT_EQ(read.p[1], 800);
  // Cancel writes nothing.
  test::WhenModalOpens([](QDialog& named) {
    named.findChild<QLineEdit*>()->setText("Other");
    QTest::mouseClick(ButtonWithText(named, "Cancel"), Qt::LeftButton);
  });
  QTest::mouseClick(&dialog.SaveButton(), Qt::LeftButton);
  EXPECT_EQ(ReadPresetValues(section, "Other", read), 1);
  EXPECT_EQ(dialog.PresetBox().Find("Other"), -1);

  // Choosing an entry loads it into the controls and the engines.
  QTest::keyClick(&dialog.PresetBox(), Qt::Key_Up);
  EXPECT_EQ(dialog.PresetBox().currentText(), "Default");
  EXPECT_EQ(dialog.FirstPair().Value(), 3000);
  EXPECT_EQ(host.FileRun().activePresetValues, Values({1, 3000}));
  QTest::keyClick(&dialog.PresetBox(), Qt::Key_Down);
  EXPECT_EQ(dialog.FirstPair().Value(), 800);

  // Delete asks, removes the key and loads the first entry; hidden keys stay.
  host.Answers().Script(PromptAnswer::Yes);
  QTest::mouseClick(&dialog.DeleteButton(), Qt::LeftButton);
  EXPECT_EQ(host.Answers().Entries().back().text, "Are you sure you want to delete the preset: Bright ?");
  EXPECT_EQ(host.Answers().Entries().back().caption, "Delete preset");
  EXPECT_EQ(ReadPresetValues(section, "Bright", read), 1);
  EXPECT_EQ(dialog.PresetBox().Find("Bright"), -1);
  EXPECT_EQ(dialog.PresetBox().currentText(), "Default");
  EXPECT_EQ(dialog.FirstPair().Value(), 3000);
  EXPECT_EQ(ReadPresetValues(section, "_*chain member", read), 0);
  QTest::mouseClick(&dialog.DeleteButton(), Qt::LeftButton);
  EXPECT_EQ(host.Answers().Entries().back().text, "The Default Settings cannot be deleted.");
  EXPECT_EQ(host.Answers().UnscriptedQuestions(), 0u);
}

TEST_F(FilterWindowTest, RunFilterWritesTheDestinationThroughTheLowPass) {
  const std::vector<SampleValue> values = WriteSource(1.0);
  host.SetDestination(destination);
  dialog.show();
  TypeValue(dialog.FirstPair().Edit(), "1200");
  QTest::mouseClick(&dialog.SlopeButton(1), Qt::LeftButton);
  QTest::mouseClick(&dialog.RunButton(), Qt::LeftButton);
  ASSERT_EQ(host.LastResult(), 1) << testing::PrintToString(host.Answers().Texts());
  const std::vector<SampleValue> written = test::ReadValues24(destination);
  EXPECT_EQ(written, LowPassed(values, Values({1, 1200})));
  EXPECT_NE(written, values);
  EXPECT_EQ(dialog.Logic().AttachedEngine(), nullptr) << "the run's engine is detached when it ends";
  EXPECT_TRUE(dialog.PreviewButton().isEnabled());
  EXPECT_TRUE(dialog.RunButton().isEnabled());
  EXPECT_TRUE(host.Answers().Texts().empty());
}

TEST_F(FilterWindowTest, ABoundEngineKeepsItsValuesWhenTheWindowOpensRunsOrCloses) {
  StorePreset(19, "Default", Values({0, 5000}));  // what an unbound window would load
  LowPassProcessor engine;  // a chain node's
  engine.SetValues(Values({2, 3000}));
  dialog.BindEngine(&engine);
  dialog.show();
  EXPECT_EQ(engine.values, Values({2, 3000}));
  EXPECT_EQ(dialog.FirstPair().Value(), 3000);
  EXPECT_GE(dialog.PresetBox().Find("Default"), 0) << "the presets are listed all the same";
  TypeValue(dialog.FirstPair().Edit(), "2500");
  EXPECT_EQ(engine.values.p[1], 2500);

  // A run from the window attaches its own engine and gives the bound one back at the end.
  WriteSource(0.3);
  host.SetDestination(destination);
  QTest::mouseClick(&dialog.RunButton(), Qt::LeftButton);
  ASSERT_EQ(host.LastResult(), 1);
  EXPECT_EQ(dialog.BoundEngine(), &engine);
  dialog.close();
  dialog.show();
  EXPECT_EQ(engine.values.p[1], 2500);
  EXPECT_EQ(dialog.FirstPair().Value(), 2500);

  // Another engine going away leaves this one bound; its own going away ends the binding.
  LowPassProcessor other;
  dialog.ReleaseEngine(&other);
  EXPECT_EQ(dialog.BoundEngine(), &engine);
  dialog.ReleaseEngine(&engine);
  EXPECT_EQ(dialog.BoundEngine(), nullptr);
  EXPECT_EQ(dialog.Logic().AttachedEngine(), nullptr);
  // Another filter chosen in the window lets go of the engine without touching it.
  dialog.BindEngine(&engine);
  ASSERT_TRUE(dialog.SetMode(13));
  EXPECT_EQ(dialog.BoundEngine(), nullptr);
  EXPECT_EQ(dialog.Logic().AttachedEngine(), nullptr);
  EXPECT_EQ(engine.values.p[1], 2500);
}

// A window whose second field stays usable during a run.
class SecondFieldOpenWindow : public FilterDialog {
 public:
  using FilterDialog::FilterDialog;

 protected:
  QList<QWidget*> FieldsChangeableDuringRun() const override {
    return {&const_cast<SecondFieldOpenWindow*>(this)->SecondPair()};
  }
};

TEST_F(FilterWindowTest, TextFieldsAreLockedDuringARunExceptTheOnesTheWindowKeepsOpen) {
  SecondFieldOpenWindow window(host);
  ASSERT_TRUE(window.SetMode(11));  // the band pass has two fields
  window.show();
  QLineEdit& locked = window.FirstPair().Edit();
  QLineEdit& open = window.SecondPair().Edit();
  QLineEdit& presetName = *window.PresetBox().lineEdit();
  struct Round {
    bool lockedBefore;   // the field was disabled before the run
    bool lockedAfter;
  };
  for (const Round round : {Round{false, false}, Round{true, true}}) {
    locked.setEnabled(!round.lockedBefore);
    window.EnableTextEntry(false);
    EXPECT_FALSE(locked.isEnabled());
    EXPECT_TRUE(open.isEnabled());
    EXPECT_TRUE(presetName.isEnabled());
    EXPECT_TRUE(window.FirstPair().Slider().isEnabled()) << "only text fields are locked";
    window.EnableTextEntry(true);
    EXPECT_EQ(locked.isEnabled(), !round.lockedAfter) << "a field disabled before stays so";
    EXPECT_TRUE(open.isEnabled());
  }
}

TEST_F(FilterWindowTest, ChangesAndBypassDuringARunReachTheRunningEngineAtOnce) {
  const std::vector<SampleValue> values = WriteSource(3.0);
  host.SetDestination(destination);
  dialog.show();
  int pumps = 0;
  host.SetPump([&] {
    ++pumps;
    FilterProcessor* running = host.Runner().CurrentProcessor();
    if (pumps == 2) {
      ASSERT_NE(running, nullptr);
      EXPECT_EQ(dialog.Logic().AttachedEngine(), running);
      EXPECT_FALSE(dialog.PreviewButton().isEnabled()) << "a preview cannot start during a run";
      EXPECT_TRUE(dialog.RunButton().isEnabled()) << "pressing it again stops the run";
      EXPECT_FALSE(dialog.FirstPair().Edit().isEnabled()) << "the text fields are locked while a run reads them";
      EXPECT_TRUE(dialog.PresetBox().lineEdit()->isEnabled());
      for (int step = 0; step < 3; ++step) dialog.FirstPair().Slider().triggerAction(QAbstractSlider::SliderPageStepAdd);
      EXPECT_NE(dialog.FirstPair().Value(), 1000);
      EXPECT_EQ(running->values.p[1], dialog.FirstPair().Value());
      EXPECT_EQ(running->needsPrepare, 1);
    }
    if (pumps == 30) {
      QTest::mouseClick(&dialog.BypassBox(), Qt::LeftButton);
      EXPECT_EQ(running->bypass, 1);
    }
  });
  QTest::mouseClick(&dialog.RunButton(), Qt::LeftButton);
  host.SetPump({});
  ASSERT_EQ(host.LastResult(), 1);
  EXPECT_TRUE(dialog.FirstPair().Edit().isEnabled());
  EXPECT_TRUE(host.Runner().ValuesChanged());
  const std::vector<SampleValue> written = test::ReadValues24(destination);
  ASSERT_EQ(written.size(), values.size());
  // The first block has the old cutoff, the later ones the new; the end is passed unchanged.
  const std::vector<SampleValue> atStart = LowPassed(values, Values({0, 1000}));
  EXPECT_TRUE(std::equal(written.begin(), written.begin() + 4096, atStart.begin()));
  const size_t lastQuarter = values.size() * 3 / 4;
  EXPECT_TRUE(std::equal(written.begin() + lastQuarter, written.end(), values.begin() + lastQuarter));
  EXPECT_FALSE(std::equal(written.begin(), written.begin() + 40000, values.begin()));
  EXPECT_FALSE(std::equal(written.begin() + 4096, written.begin() + 40000, atStart.begin() + 4096))
      << "the new cutoff reached the running engine";
}

TEST_F(FilterWindowTest, ClosingDuringARunOnlyStopsItAndClosingAfterwardsSavesDefaultWhenAsked) {
  const std::vector<SampleValue> values = WriteSource(3.0);
  host.SetDestination(destination);
  host.Settings().Write(setting::kAutoSaveDefault, 1);
  dialog.show();
  TypeValue(dialog.FirstPair().Edit(), "1500");
  int pumps = 0;
  bool stayedOpen = false;
  host.SetPump([&] {
    if (++pumps != 5) return;
    QTest::mouseClick(&dialog.CloseButton(), Qt::LeftButton);
    stayedOpen = dialog.isVisible();
    EXPECT_EQ(host.Run().stopRequested.load(), 1);
  });
  QTest::mouseClick(&dialog.RunButton(), Qt::LeftButton);
  host.SetPump({});
  EXPECT_TRUE(stayedOpen);
  EXPECT_TRUE(dialog.isVisible());
  const std::vector<SampleValue> written = test::ReadValues24(destination);
  EXPECT_GT(written.size(), 0u);
  EXPECT_LT(written.size(), values.size() / 2) << "the run stopped after the current block";
  PresetValues read;
  EXPECT_EQ(ReadPresetValues(PresetSection("LowPassSet"), "Default", read), 1) << "nothing saved yet";

  QTest::mouseClick(&dialog.CloseButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_EQ(ReadPresetValues(PresetSection("LowPassSet"), "Default", read), 0);
  EXPECT_EQ(read, Values({0, 1500}));
  EXPECT_EQ(PresetFile().ReadString(PresetSection("LowPassSet"), "Default", ""), "0,1500,0,0,0,0,0,0,0,0, 0");

  // With auto-save off, closing (here with Escape) leaves the preset file as it is.
  host.Settings().Write(setting::kAutoSaveDefault, 0);
  dialog.show();
  TypeValue(dialog.FirstPair().Edit(), "700");
  std::string before;
  ASSERT_EQ(ReadWholeFile(host.PresetFilePath(), before), 0);
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  std::string after;
  ASSERT_EQ(ReadWholeFile(host.PresetFilePath(), after), 0);
  EXPECT_EQ(after, before);
}

TEST(FilterWindowPreview, APreviewPlaysTheLowPassedRegionOnTheSoundCardAndASecondPressStopsIt) {
  test::JackTestServer server(kRate, 512);
  if (!server.Running()) GTEST_SKIP() << "no JACK server: " << server.FailureText();
  TestFolder files;
  const std::string source = files.File("source.wav");
  const std::vector<SampleValue> values = test::MusicLike(2, 1.0, kRate);
  test::WriteValues24(source, 2, kRate, values);
  RunTestHost host(source, RunTestHost::SoundCards::Real);
  ASSERT_TRUE(host.UseOutputDevice("loopback"));
  std::vector<uint8_t> played;
  WaveDeviceFormat playedFormat;
  host.Devices().AddOutputObserver([&](const uint8_t* bytes, size_t length, const WaveDeviceFormat& format) {
    played.insert(played.end(), bytes, bytes + length);
    playedFormat = format;
  });
  FilterDialog dialog(host);
  dialog.show();
  TypeValue(dialog.FirstPair().Edit(), "2000");
  QTest::mouseClick(&dialog.SlopeButton(2), Qt::LeftButton);

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  QTest::mouseClick(&dialog.PreviewButton(), Qt::LeftButton);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ASSERT_EQ(host.LastResult(), 1) << testing::PrintToString(host.Answers().Texts());
  EXPECT_GE(seconds, 0.9) << "the region played on the device's clock";
  EXPECT_TRUE(host.Document().DestinationName().empty()) << "a preview writes no file";
  EXPECT_EQ(playedFormat.channels, 2);
  ASSERT_EQ(playedFormat.bitsPerSample, 24);
  LowPassProcessor engine;
  engine.SetValues(Values({2, 2000}));
  const std::vector<SampleValue> expected = test::RunEngine(engine, 2, kRate, values);
  ASSERT_GE(played.size() / 3, expected.size());
  std::vector<SampleValue> heard(expected.size());
  for (size_t i = 0; i < heard.size(); ++i)
    heard[i] = static_cast<SampleValue>(static_cast<uint32_t>(played[3 * i]) << 8 |
                                        static_cast<uint32_t>(played[3 * i + 1]) << 16 |
                                        static_cast<uint32_t>(played[3 * i + 2]) << 24) >> 8;
  EXPECT_EQ(heard, expected);

  // Pressing "&Preview" again while it plays stops it.
  const auto second = Clock::now();
  bool pressed = false;
  host.SetPump([&] {
    if (pressed || Clock::now() - second < std::chrono::milliseconds(250)) return;
    pressed = true;
    QTest::mouseClick(&dialog.PreviewButton(), Qt::LeftButton);
  });
  QTest::mouseClick(&dialog.PreviewButton(), Qt::LeftButton);
  host.SetPump({});
  EXPECT_TRUE(pressed);
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - second).count(), 0.8);
  EXPECT_EQ(host.RunCount(), 2) << "the second press started nothing";
}

}  // namespace
}  // namespace ztlive
