// The two equalizer windows on real widgets over real file runs: their controls, trackbars
// and handles moved with real mouse events reaching the engines, the overload lamp, the band
// tables through presets, and "Run Eq" / "&Run Filter" writing what the engine gives.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <cmath>

#include "filters/eq/graphic_eq_dialog.h"
#include "filters/eq/paragraphic_eq_dialog.h"
#include "filters/framework/preset_store.h"
#include "testing/engine_run.h"
#include "testing/gui_test_support.h"
#include "testing/run_test_host.h"
#include "testing/test_folder.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 44100;

// Presses the left button at from, moves in eight steps to to, and releases there.
void Drag(QWidget& widget, QPoint from, QPoint to) {
  QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, from);
  for (int step = 1; step <= 8; ++step) {
    const QPoint at = from + (to - from) * step / 8;
    QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
  }
  QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, to);
}

void TypeValue(QLineEdit& edit, const QString& text) {
  edit.selectAll();
  QTest::keyClicks(&edit, text);
  QTest::keyClick(&edit, Qt::Key_Return);
}

QColor LampColour(QWidget& lamp) { return lamp.grab().toImage().pixelColor(lamp.width() / 2, lamp.height() / 2); }

class EqualizerWindowTest : public ::testing::Test {
 protected:
  std::vector<SampleValue> WriteSource(double seconds) {
    std::vector<SampleValue> values = test::MusicLike(2, seconds, kRate);
    test::WriteValues24(source, 2, kRate, values);
    return values;
  }

  test::TestFolder files;
  const std::string source = files.File("source.wav");
  const std::string destination = files.File("out.wav");
  test::RunTestHost host{source};
};

TEST_F(EqualizerWindowTest, GraphicWindowTrackbarsReachTheEngineAndRunEqWritesItsOutput) {
  GraphicEqDialog dialog(host);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle(), "Graphic Equalizer");
  for (const char* text : {"31", "62", "125", "250", "500", "1000", "2000", "4000", "8000", "16000", "Hz", "+12dB",
                           "-12dB", "Gain", "Overload"}) {
    bool found = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) found = found || label->text() == text;
    EXPECT_TRUE(found) << text;
  }
  EXPECT_EQ(dialog.RunButton().text(), "Run Eq");
  EXPECT_EQ(dialog.ResetButton().text(), "Reset Levels");
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(dialog.Trackbar(i).value(), 50) << i;
    EXPECT_EQ(dialog.Trackbar(i).maximum(), 100);
  }
  EXPECT_EQ(dialog.Trackbar(10).tickInterval(), 10);
  EXPECT_FALSE(test::SaveScreenshot(dialog, "graphic_eq_window").isEmpty());

  // A drag to the top of the 1000 Hz trackbar: weight 2.0 in the attached engine.
  GraphicEqProcessor engine;
  dialog.AttachProcessor(&engine);
  QSlider& band = dialog.Trackbar(5);
  const QPoint middle(band.width() / 2, band.height() / 2);
  Drag(band, middle, QPoint(middle.x(), -50));
  test::ProcessEventsFor(GraphicEqDialog::kApplyIntervalMs * 2);
  EXPECT_EQ(band.value(), 0) << "0 is at the top";
  EXPECT_DOUBLE_EQ(engine.Weight(5), 2.0);
  EXPECT_EQ(host.FileRun().activePresetValues.p[5], 0);
  QTest::mouseClick(&dialog.ResetButton(), Qt::LeftButton);
  EXPECT_EQ(band.value(), 50);
  EXPECT_DOUBLE_EQ(engine.Weight(5), 0.0);
  // Moves reach the engine at most once per 100 ms: the first at once, the last one after.
  dialog.Trackbar(0).setValue(10);
  EXPECT_DOUBLE_EQ(engine.Weight(0), BandWeightOfSlider(10));
  dialog.Trackbar(0).setValue(20);
  dialog.Trackbar(0).setValue(30);
  EXPECT_DOUBLE_EQ(engine.Weight(0), BandWeightOfSlider(10));
  test::ProcessEventsFor(GraphicEqDialog::kApplyIntervalMs + 80);
  EXPECT_DOUBLE_EQ(engine.Weight(0), BandWeightOfSlider(30));
  QTest::mouseClick(&dialog.ResetButton(), Qt::LeftButton);
  dialog.AttachProcessor(nullptr);

  // The lamp: grey, red once a run has clipped, grey again after its time with the indicator cleared.
  EXPECT_EQ(LampColour(dialog.Lamp()), QColor(128, 128, 128));
  host.Run().clipOccurred.store(1);
  test::ProcessEventsFor(OverloadLamp::kPollMs * 3);
  EXPECT_TRUE(dialog.Lamp().Lit());
  EXPECT_EQ(LampColour(dialog.Lamp()), QColor(255, 0, 0));
  EXPECT_FALSE(test::SaveScreenshot(dialog, "graphic_eq_window_overload").isEmpty());
  test::ProcessEventsFor(1700);
  EXPECT_FALSE(dialog.Lamp().Lit());
  EXPECT_EQ(host.Run().clipOccurred.load(), 0);

  // "Run Eq" with the 250 Hz band up and the gain down writes what the engine gives.
  const std::vector<SampleValue> values = WriteSource(0.5);
  host.SetDestination(destination);
  dialog.Trackbar(3).setValue(20);
  dialog.Trackbar(10).setValue(70);
  QTest::mouseClick(&dialog.RunButton(), Qt::LeftButton);
  ASSERT_EQ(host.LastResult(), 1) << testing::PrintToString(host.Answers().Texts());
  PresetValues sliders;
  sliders.p.fill(50);
  sliders.p[3] = 20;
  sliders.p[10] = 70;
  GraphicEqProcessor reference;
  reference.SetValues(sliders);
  EXPECT_EQ(test::ReadValues24(destination), test::RunEngine(reference, 2, kRate, values));
}

TEST_F(EqualizerWindowTest, ParagraphicHandlesDraggedWithTheMouseChangeTheEngineBands) {
  ParagraphicEqDialog dialog(host);
  dialog.resize(900, 420);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle(), "Paragraphic Equalizer");
  EXPECT_EQ(dialog.CountBox().value(), 10);
  EXPECT_EQ(dialog.OctavesPair().Value(), 100);
  EXPECT_EQ(dialog.OctavesPair().Label().text(), "Octaves");
  EXPECT_EQ(dialog.GainPair().Range().minimum, -200);
  EXPECT_EQ(dialog.ResetButton().text(), "Reset &Levels");
  EXPECT_EQ(dialog.RunButton().text(), "&Run Filter");

  ParagraphicEqProcessor engine;
  dialog.AttachProcessor(&engine);
  ResponseGraph& graph = dialog.Graph();
  // Band 6 (640 Hz) up and to the right.
  const QPoint from = graph.HandlePosition(5).toPoint();
  const QPoint to(from.x() + 40, from.y() - 60);
  Drag(graph, from, to);
  EXPECT_EQ(dialog.SelectedBand(), 5);
  const double hz = graph.HzAt(to.x());
  const double db = graph.DbAt(to.y());
  EXPECT_GT(hz, 700);
  EXPECT_GT(db, 5);
  EXPECT_NEAR(engine.Bands().freq[5], hz, 1e-9);
  EXPECT_NEAR(20 * std::log10(engine.Bands().amp[5]), db, 1e-9);
  EXPECT_EQ(dialog.FrequencyBox().value(), static_cast<int>(std::lround(hz)));
  EXPECT_EQ(graph.ReadoutText(), QString::asprintf("%8.1fHz, %8.2fdB", hz, db));
  // Dragged past the axes, the handle stops at their ends.
  Drag(graph, to, QPoint(graph.width() + 100, -100));
  EXPECT_NEAR(engine.Bands().freq[5], kRate / 2.0 > 22000 ? 22000 : kRate / 2.0, 1e-6);
  EXPECT_NEAR(20 * std::log10(engine.Bands().amp[5]), 20.0, 1e-9);
  Drag(graph, graph.HandlePosition(5).toPoint(), to);

  // The width, the number of bands and the master gain follow their controls.
  TypeValue(dialog.OctavesPair().Edit(), "2.5");
  EXPECT_DOUBLE_EQ(engine.Bands().bw[5], 2.5);
  EXPECT_NEAR(20 * std::log10(engine.Bands().amp[5]), db, 1e-9) << "Enter in an edit changes nothing else";
  dialog.CountBox().setValue(7);
  EXPECT_EQ(engine.Bands().count, 7);
  TypeValue(dialog.GainPair().Edit(), "-6");
  EXPECT_EQ(dialog.GainPair().Value(), -60);
  EXPECT_NEAR(engine.Bands().master, std::pow(10.0, -6.0 / 20), 1e-12);
  EXPECT_FALSE(test::SaveScreenshot(dialog, "paragraphic_eq_window").isEmpty());
  dialog.AttachProcessor(nullptr);

  // "&Run Filter" hands the bands to the run's engine.
  const std::vector<SampleValue> values = WriteSource(0.5);
  host.SetDestination(destination);
  QTest::mouseClick(&dialog.RunButton(), Qt::LeftButton);
  ASSERT_EQ(host.LastResult(), 1) << testing::PrintToString(host.Answers().Texts());
  ParagraphicEqProcessor reference;
  reference.SetBands(dialog.Bands());
  const std::vector<SampleValue> written = test::ReadValues24(destination);
  EXPECT_EQ(written, test::RunEngine(reference, 2, kRate, values));
  EXPECT_NE(written, values);
}

TEST_F(EqualizerWindowTest, ParagraphicPresetsCarryTheBandTablesAndDeleteRemovesThem) {
  ParagraphicEqProcessor stored;
  ParagraphicBands bands = ParagraphicBands::Initial();
  bands.freq[0] = 250;
  bands.amp[0] = 2.0;
  bands.bw[0] = 0.5;
  bands.count = 4;
  bands.master = 0.5;
  stored.SetBands(bands);
  ASSERT_EQ(stored.WritePreset("Default"), 1);
  ASSERT_EQ(stored.WritePreset("Warm"), 1);

  ParagraphicEqDialog dialog(host);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.PresetBox().currentText(), "Default");
  EXPECT_EQ(dialog.Bands().freq[0], 250);
  EXPECT_EQ(dialog.Bands().amp[0], 2.0);
  EXPECT_EQ(dialog.CountBox().value(), 4);
  EXPECT_EQ(dialog.GainPair().Value(), -60);
  EXPECT_EQ(dialog.FrequencyBox().value(), 250);

  const std::string section = "ParametricSet";
  host.Answers().Script(PromptAnswer::Yes);
  dialog.PresetBox().setCurrentIndex(dialog.PresetBox().Find("Warm"));
  QTest::mouseClick(&dialog.DeleteButton(), Qt::LeftButton);
  EXPECT_EQ(PresetFile().ReadString(AmpSection(section), "Warm", "gone"), "gone");
  EXPECT_EQ(PresetFile().ReadString(FrequencySection(section), "Warm", "gone"), "gone");
  EXPECT_NE(PresetFile().ReadString(AmpSection(section), "Default", "gone"), "gone");
}

}  // namespace
}  // namespace ztlive
