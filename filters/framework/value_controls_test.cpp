// The value controls on real widgets: every kind made from a record, user edits reported
// once with their value's index, Show() reporting nothing and holding values in range, and
// retargeting to another filter's records.
#include "filters/framework/value_controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <array>
#include <functional>

#include "filters/framework/slider_edit_pair.h"

namespace ztlive {
namespace {

constexpr std::array<std::string_view, 3> kShapes{"Round", "Square", "Saw"};
constexpr std::array<std::string_view, 4> kSizes{"64", "128", "256", "512"};

// One record of every kind, on scattered values, with p[9] and p[10] left without one.
constexpr std::array<ParameterRecord, 6> kRecords{{
    {.index = 0, .label = "Level", .minimum = -20, .maximum = 20, .start = 0},
    {.index = 2, .label = "Rate", .unit = "Hz", .minimum = 5, .maximum = 20000, .start = 1000,
     .kind = ControlKind::LogSlider},
    {.index = 3, .label = "Shape", .minimum = 0, .maximum = 2, .start = 1, .kind = ControlKind::RadioChoice,
     .choices = kShapes, .group = "Wave Shape"},
    {.index = 4, .label = "Block", .minimum = 0, .maximum = 3, .start = 2, .kind = ControlKind::ListChoice,
     .choices = kSizes},
    {.index = 5, .label = "Invert", .minimum = 0, .maximum = 1, .kind = ControlKind::Check},
    {.index = 8, .label = "Voices", .minimum = 1, .maximum = 16, .start = 4, .kind = ControlKind::Spin},
}};

PresetValues Values(std::initializer_list<std::pair<int, int32_t>> set) {
  PresetValues values;
  for (const auto& [index, value] : set) values.p[static_cast<size_t>(index)] = value;
  return values;
}

// A radio button or check box takes clicks on its indicator and text only.
void ClickIndicator(QAbstractButton& button) {
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(6, button.height() / 2));
}

class ValueControlsTest : public ::testing::Test {
 protected:
  QWidget parent;
  ValueControls controls{kRecords, &parent};
};

TEST_F(ValueControlsTest, ShowHoldsValuesInRangeAndTouchesOnlyRecordedValues) {
  QSignalSpy edits(&controls, &ValueControls::edited);
  const PresetValues inRange = Values({{0, -7}, {2, 440}, {3, 2}, {4, 1}, {5, 1}, {8, 9}});
  PresetValues given = inRange;
  given.p[1] = 33;  // no record: neither shown nor read
  given.p[9] = 77;
  controls.Show(given);
  EXPECT_EQ(controls.Values(), inRange);
  EXPECT_TRUE(controls.Button(3, 2)->isChecked());
  EXPECT_EQ(controls.Combo(4)->currentText(), "128");

  struct Case {
    const char* what;
    PresetValues shown;
    PresetValues expected;
  };
  const Case cases[] = {
      {"above", Values({{0, 99}, {2, 90000}, {3, 7}, {4, 9}, {5, 5}, {8, 40}}),
       Values({{0, 20}, {2, 20000}, {3, 2}, {4, 2}, {5, 1}, {8, 16}})},
      {"below", Values({{0, -99}, {2, -3}, {3, -1}, {4, -1}, {5, -5}, {8, -40}}),
       Values({{0, -20}, {2, 5}, {3, 0}, {4, 2}, {5, 0}, {8, 1}})},
  };
  for (const Case& c : cases) {
    controls.Show(c.shown);
    EXPECT_EQ(controls.Values(), c.expected) << c.what << " (a list value outside shows the start)";
  }
  EXPECT_EQ(edits.count(), 0) << "Show reports no edit";
}

TEST_F(ValueControlsTest, EachUserEditReportsItsValueOnce) {
  parent.show();
  QSignalSpy edits(&controls, &ValueControls::edited);
  struct Edit {
    int index;
    std::function<void()> act;
    int32_t value;
  };
  const Edit userEdits[] = {
      {0, [&] {
         QLineEdit& edit = controls.Pair(0)->Edit();
         edit.selectAll();
         QTest::keyClicks(&edit, "-12");
         QTest::keyClick(&edit, Qt::Key_Return);
       },
       -12},
      {3, [&] { ClickIndicator(*controls.Button(3, 0)); }, 0},
      {4, [&] { controls.Combo(4)->setCurrentIndex(3); }, 3},
      {5, [&] { ClickIndicator(*controls.Box(5)); }, 1},
      {8, [&] { controls.Spin(8)->stepUp(); }, 5},
  };
  for (const Edit& edit : userEdits) {
    SCOPED_TRACE(edit.index);
    edits.clear();
    edit.act();
    ASSERT_EQ(edits.count(), 1);
    EXPECT_EQ(edits.at(0).at(0).toInt(), edit.index);
    EXPECT_EQ(controls.Values().p[static_cast<size_t>(edit.index)], edit.value);
  }
}

TEST_F(ValueControlsTest, ControlsCarryTheRecordsCaptionsChoicesAndStarts) {
  EXPECT_EQ(controls.Values(), Values({{0, 0}, {2, 1000}, {3, 1}, {4, 2}, {5, 0}, {8, 4}}));
  EXPECT_EQ(controls.Pair(0)->Label().text(), "Level");
  EXPECT_TRUE(controls.Pair(2)->Range().logarithmic);
  EXPECT_EQ(controls.Group(3)->title(), "Wave Shape");
  EXPECT_EQ(controls.Button(3, 1)->text(), "Square");
  EXPECT_EQ(controls.Button(3, 3), nullptr);
  EXPECT_EQ(controls.Label(4)->text(), "Block");
  EXPECT_EQ(controls.Combo(4)->count(), 4);
  EXPECT_EQ(controls.Box(5)->text(), "Invert");
  EXPECT_EQ(controls.Label(8)->text(), "Voices");
  EXPECT_EQ(controls.Spin(8)->maximum(), 16);
  // Every control belongs to one value only, and values without a record have none.
  EXPECT_EQ(controls.Pair(3), nullptr);
  EXPECT_EQ(controls.Combo(0), nullptr);
  EXPECT_EQ(controls.Widget(1), nullptr);
  EXPECT_EQ(controls.Widget(9), nullptr);
}

TEST_F(ValueControlsTest, RetargetingTakesTheNewRecordsAndHidesTheRest) {
  parent.show();
  controls.Show(Values({{0, 5}, {2, 3000}, {3, 2}, {5, 1}}));
  constexpr std::array<std::string_view, 3> kSlopes{"Gentle", "Steep", "Steeper"};
  // Another filter: p[0] a log slider now, p[3] other choices, p[5] gone.
  const std::array<ParameterRecord, 2> other{{
      {.index = 0, .label = "Cutoff", .minimum = 100, .maximum = 1000, .kind = ControlKind::LogSlider},
      {.index = 3, .label = "Slope", .minimum = 0, .maximum = 2, .kind = ControlKind::RadioChoice,
       .choices = kSlopes, .group = "Slope"},
  }};
  ASSERT_TRUE(controls.Retarget(other));
  EXPECT_EQ(controls.Pair(0)->Label().text(), "Cutoff");
  EXPECT_EQ(controls.Button(3, 2)->text(), "Steeper");
  EXPECT_TRUE(controls.Widget(0)->isVisible());
  EXPECT_FALSE(controls.Widget(5)->isVisible());
  EXPECT_FALSE(controls.Widget(2)->isVisible());
  EXPECT_EQ(controls.Values(), Values({{0, 100}, {3, 2}})) << "held in the new range; hidden ones not read";

  QSignalSpy edits(&controls, &ValueControls::edited);
  controls.Box(5)->setChecked(false);  // a hidden control reports nothing
  EXPECT_EQ(edits.count(), 0);

  // A record without a control of its kind or number of choices changes nothing.
  const std::array<ParameterRecord, 1> wrongKind{
      {{.index = 0, .label = "On", .maximum = 1, .kind = ControlKind::Check}}};
  const std::array<ParameterRecord, 1> fewerChoices{{{.index = 3,
                                                      .label = "Two",
                                                      .maximum = 1,
                                                      .kind = ControlKind::RadioChoice,
                                                      .choices = std::span(kSlopes).first(2)}}};
  const std::array<ParameterRecord, 1> noControl{{{.index = 7, .label = "New", .maximum = 9}}};
  for (std::span<const ParameterRecord> refused : {std::span<const ParameterRecord>(wrongKind),
                                                   std::span<const ParameterRecord>(fewerChoices),
                                                   std::span<const ParameterRecord>(noControl)}) {
    EXPECT_FALSE(controls.Retarget(refused));
    EXPECT_EQ(controls.Records().size(), 2u);
    EXPECT_EQ(controls.Pair(0)->Label().text(), "Cutoff");
  }
  ASSERT_TRUE(controls.Retarget(kRecords));
  EXPECT_TRUE(controls.Widget(5)->isVisible());
  EXPECT_EQ(controls.Group(3)->title(), "Wave Shape");
}

}  // namespace
}  // namespace ztlive
