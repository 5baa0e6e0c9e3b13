// The edit dialogs on real widgets: each opens with its remembered values and returns what its
// controls show; the fade curve matches the edit's formulas; a control point dragged with the
// mouse sets its level; the "FADE" preset survives a round trip; the crossfade button runs,
// reads "Cancel" and stops a run that dispatches events. Pictures of every dialog go to the
// build's screenshots folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>

#include "app/edit_dialogs/crossfade_dialog.h"
#include "app/edit_dialogs/edit_dialog_values.h"
#include "app/edit_dialogs/fade_curve.h"
#include "app/edit_dialogs/fade_dialog.h"
#include "app/edit_dialogs/gain_curve_editor.h"
#include "app/edit_dialogs/insert_silence_dialog.h"
#include "app/edit_dialogs/interpolate_channels_dialog.h"
#include "app/edit_dialogs/mark_silence_dialog.h"
#include "app/edit_dialogs/normalize_scaling_dialog.h"
#include "app/edit_dialogs/paste_mix_dialog.h"
#include "filters/framework/preset_store.h"
#include "filters/framework/slider_edit_pair.h"
#include "platform/folders.h"
#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "testing/gui_test_support.h"
#include "testing/test_folder.h"

namespace ztlive {
namespace {

using test::ScopedEnvironment;
using test::TestFolder;

// Every test has its own settings and preset file.
class EditDialogsTest : public ::testing::Test {
 protected:
  TestFolder folder;
  ScopedEnvironment home{"ZTLIVE_HOME", folder.Path()};
  SettingsStore settings{folder.File("settings.ini")};
  ScriptedPrompts prompts;
  RunState run;
};

void TypeInto(QLineEdit& field, const QString& text) {
  QWidget* window = field.window();
  window->show();
  window->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(window));
  field.setFocus();
  field.selectAll();
  QTest::keyClicks(&field, text);
  QTest::keyClick(&field, Qt::Key_Tab);  // leaving the field takes the number
}

void Picture(QDialog& dialog, const QString& name) {
  dialog.show();
  QApplication::processEvents();
  EXPECT_FALSE(test::SaveScreenshot(dialog, name).isEmpty()) << name.toStdString();
}

TEST_F(EditDialogsTest, StoredValuesAreReadInsideTheirRangesAndSecondsWrittenAsPercentG) {
  struct Case {
    const char* length;
    int paste, thresh, tenths, slope, clip, lastGain;
    SilenceSettings silence;
    MarkSilenceSettings mark;
    int heldSlope, heldClip, heldTarget;
  };
  const Case cases[] = {
      {"2.5", 2, -55, 12, 2, 30, -7, {2.5, SilencePlace::SelectionStart}, {-55, 12}, 2, 30, -7},
      {" 7 ", 1, -100, 100, 1, 0, 0, {7.0, SilencePlace::FileEnd}, {-100, 100}, 1, 0, 0},
      {"abc", 3, -200, 0, 3, 150, 12, {3.0, SilencePlace::FileStart}, {-100, 1}, 0, 100, 0},
      {"-1", -1, 5, 500, -1, -5, -300, {3.0, SilencePlace::FileStart}, {0, 100}, 0, 0, -96},
      {"1e9", 0, -40, 30, 0, 50, 0, {3.0, SilencePlace::FileStart}, {-40, 30}, 0, 50, 0},
      {"2.5s", 0, -40, 30, 0, 50, 0, {3.0, SilencePlace::FileStart}, {-40, 30}, 0, 50, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    settings.Write(setting::kSilenceLength, c.length);
    settings.Write(setting::kSilencePaste, c.paste);
    settings.Write(setting::kMarkSilenceThresh, c.thresh);
    settings.Write(setting::kMarkSilenceLength, c.tenths);
    settings.Write(setting::kCrossFadeSlope, c.slope);
    settings.Write(setting::kPasteMixClipPercent, c.clip);
    settings.Write(setting::kGainNormalizeLastGain, c.lastGain);
    const SilenceSettings silence = ReadSilenceSettings(settings);
    EXPECT_DOUBLE_EQ(silence.seconds, c.silence.seconds);
    EXPECT_EQ(silence.place, c.silence.place);
    const MarkSilenceSettings mark = ReadMarkSilenceSettings(settings);
    EXPECT_EQ(mark.thresholdDb, c.mark.thresholdDb);
    EXPECT_EQ(mark.minimumTenths, c.mark.minimumTenths);
    EXPECT_EQ(ReadCrossfadeSettings(settings).slope, c.heldSlope);
    EXPECT_EQ(ReadMixSettings(settings).clipPercent, c.heldClip);
    EXPECT_EQ(ReadNormalizeScaling(settings).targetDb, c.heldTarget);
  }
  const std::pair<double, const char*> written[] = {{3.0, "3"}, {2.5, "2.5"}, {0.1, "0.1"}, {1234567.0, "1.23457e+06"}};
  for (const auto& [seconds, text] : written) {
    WriteSilenceSettings(settings, {seconds, SilencePlace::FileEnd});
    EXPECT_EQ(settings.Read(setting::kSilenceLength), text);
  }
}

TEST(FadeCurve, LevelsFollowTheEditsGainFormulas) {
  constexpr double kE10 = 22026.465794806718;
  const auto db = [](double gain) { return 20.0 * std::log10(gain); };
  const double g1 = std::pow(10.0, -2000 * 0.0005);  // -20 dB
  struct Case {
    const char* what;
    FadeSettings fade;
    double t;
    double expectedDb;
  };
  const Case cases[] = {
      {"linear start", {0, -9600, FadeCurve::Linear, 0, 0}, 0.0, 0.0},
      {"linear middle is half the gain", {0, -9600, FadeCurve::Linear, 0, 0}, 0.5,
       db((1.0 + std::pow(10.0, -4.8)) / 2)},
      {"linear end", {0, -9600, FadeCurve::Linear, 0, 0}, 1.0, -96.0},
      {"log fade in starts above g1", {-2000, 0, FadeCurve::Logarithmic, 0, 0}, 0.0, db(g1 + (1.0 - g1) / kE10)},
      {"log fade in ends at g2", {-2000, 0, FadeCurve::Logarithmic, 0, 0}, 1.0, 0.0},
      {"log fade out starts at g1", {0, -2000, FadeCurve::Logarithmic, 0, 0}, 0.0, 0.0},
      {"log fade out ends above g2", {0, -2000, FadeCurve::Logarithmic, 0, 0}, 1.0, db(g1 + (1.0 - g1) / kE10)},
      {"adjustable start", {-600, 300, FadeCurve::Adjustable, -4000, 1200}, 0.0, -6.0},
      {"adjustable middle", {-600, 300, FadeCurve::Adjustable, -4000, 1200}, 0.5,
       (-6.0 + 3 * -40.0 + 3 * 12.0 + 3.0) / 8},
      {"adjustable end", {-600, 300, FadeCurve::Adjustable, -4000, 1200}, 1.0, 3.0},
  };
  for (const Case& c : cases) EXPECT_NEAR(FadeLevelDb(c.fade, c.t), c.expectedDb, 1e-9) << c.what;
}

TEST_F(EditDialogsTest, FadeOpensWithThePresetReturnsItsControlsAndStoresThemOnOk) {
  ASSERT_EQ(WriteFadePreset({-1250, 600, FadeCurve::Adjustable, -3000, 450}), 0);
  FadeDialog dialog(prompts);
  EXPECT_EQ(dialog.StartLevel().Edit().text().trimmed(), "-12.50");
  EXPECT_EQ(dialog.EndLevel().Value(), 600);
  EXPECT_TRUE(dialog.CurveButton(FadeCurve::Adjustable).isChecked());
  EXPECT_EQ(dialog.CurveEditor().Fade().firstControlLevel, -3000);
  EXPECT_TRUE(dialog.CurveEditor().ControlPointsActive());
  Picture(dialog, "fade_dialog");

  TypeInto(dialog.EndLevel().Edit(), "-3.25");
  QTest::mouseClick(&dialog.CurveButton(FadeCurve::Logarithmic), Qt::LeftButton, {},
                    QPoint(6, dialog.CurveButton(FadeCurve::Logarithmic).height() / 2));
  FadeSettings shown = dialog.Settings();
  EXPECT_EQ(shown.endLevel, -325);
  EXPECT_EQ(shown.curve, FadeCurve::Logarithmic);
  EXPECT_EQ(shown.firstControlLevel, -3000) << "the control levels stay for a later adjustable curve";
  EXPECT_EQ(dialog.CurveEditor().Fade().endLevel, -325) << "the editor draws what the sliders show";
  EXPECT_FALSE(dialog.CurveEditor().ControlPointsActive());

  struct Quick {
    QPushButton& button;
    int start, end;
  };
  for (const Quick& quick : {Quick{dialog.FadeInButton(), kFadeLevelMinimum, 0},
                             Quick{dialog.FadeOutButton(), 0, kFadeLevelMinimum}}) {
    QTest::mouseClick(&quick.button, Qt::LeftButton);
    shown = dialog.Settings();
    EXPECT_EQ(shown.startLevel, quick.start);
    EXPECT_EQ(shown.endLevel, quick.end);
    EXPECT_EQ(shown.curve, FadeCurve::Logarithmic);
    EXPECT_EQ(shown.secondControlLevel, quick.start + (quick.end - quick.start) * 2 / 3);
  }
  dialog.accept();
  EXPECT_TRUE(prompts.Texts().empty());
  const FadeSettings stored = ReadFadePreset();
  EXPECT_EQ(FadePresetValues(stored), FadePresetValues(shown));
  const FadeSettings reopened = FadeDialog(prompts).Settings();
  EXPECT_EQ(FadePresetValues(reopened), FadePresetValues(shown));
  EXPECT_EQ(PresetFile().ReadString(kFadePresetSection, kFadePresetName, ""),
            FormatPresetValues(FadePresetValues(shown), PresetTextForm::Plain));
}

TEST_F(EditDialogsTest, FadeStartsFromAFadeOutWithoutPresetAndHoldsADamagedOneInRange) {
  EXPECT_EQ(FadePresetValues(FadeDialog(prompts).Settings()), FadePresetValues(DefaultFadeSettings()));
  ASSERT_EQ(PresetFile().WriteString(kFadePresetSection, kFadePresetName, "99999,-99999,7,50000,-50000"), 0);
  const FadeSettings held = FadeDialog(prompts).Settings();
  EXPECT_EQ(held.startLevel, kFadeLevelMaximum);
  EXPECT_EQ(held.endLevel, kFadeLevelMinimum);
  EXPECT_EQ(held.curve, FadeCurve::Linear);
  EXPECT_EQ(held.firstControlLevel, kFadeLevelMaximum);
  EXPECT_EQ(held.secondControlLevel, kFadeLevelMinimum);
}

TEST_F(EditDialogsTest, AFadePresetThatCannotBeStoredIsReportedAndTheValuesStillReturned) {
  ASSERT_EQ(EnsureFolder(PresetFilePath()), 0);  // a folder where the preset file belongs
  FadeDialog dialog(prompts);
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  ASSERT_EQ(prompts.Texts().size(), 1u);
  const std::string expected = FormatText(StringId::kPresetNotSaved, {"FADE", ""});
  EXPECT_EQ(prompts.Texts()[0].substr(0, expected.size()), expected);
  EXPECT_GT(prompts.Texts()[0].size(), expected.size()) << "the reason is given";
}

TEST_F(EditDialogsTest, ControlPointsDraggedOrMovedByKeysSetTheirLevelsOnlyForTheAdjustableCurve) {
  ASSERT_EQ(WriteFadePreset({0, -4800, FadeCurve::Adjustable, -1600, -3200}), 0);
  FadeDialog dialog(prompts);
  dialog.resize(720, 420);
  dialog.show();
  QApplication::processEvents();
  GainCurveEditor& editor = dialog.CurveEditor();

  struct Drag {
    int point;
    int dy;
  };
  for (const Drag drag : {Drag{0, 40}, Drag{1, -60}, Drag{0, -1000}}) {
    const FadeSettings before = dialog.Settings();
    const QPoint from = editor.ControlPoint(drag.point).toPoint();
    const QPoint to = from + QPoint(25, drag.dy);  // sideways moves change nothing
    QTest::mousePress(&editor, Qt::LeftButton, {}, from);
    QTest::mouseMove(&editor, from + QPoint(5, drag.dy / 2));
    QTest::mouseMove(&editor, to);
    QTest::mouseRelease(&editor, Qt::LeftButton, {}, to);
    const FadeSettings after = dialog.Settings();
    const int dragged = drag.point == 0 ? after.firstControlLevel : after.secondControlLevel;
    const int other = drag.point == 0 ? after.secondControlLevel : after.firstControlLevel;
    const int otherBefore = drag.point == 0 ? before.secondControlLevel : before.firstControlLevel;
    EXPECT_EQ(dragged, editor.LevelAtY(to.y()));
    EXPECT_NE(dragged, drag.point == 0 ? before.firstControlLevel : before.secondControlLevel);
    EXPECT_EQ(other, otherBefore);
    EXPECT_NEAR(editor.ControlPoint(drag.point).x(), from.x(), 1.0) << "the time position is fixed";
  }
  EXPECT_EQ(dialog.Settings().firstControlLevel, kFadeLevelMaximum) << "a drag past the top holds the level";
  Picture(dialog, "fade_dialog_dragged");

  struct Key {
    Qt::Key key;
    int first, second;  // the control levels after it
  };
  const int top = kFadeLevelMaximum;
  const int second = dialog.Settings().secondControlLevel;
  const Key keys[] = {{Qt::Key_Down, top - 100, second},        {Qt::Key_Right, top - 100, second},
                      {Qt::Key_PageDown, top - 100, second - 1000}, {Qt::Key_Left, top - 100, second - 1000},
                      {Qt::Key_PageUp, top, second - 1000},     {Qt::Key_Up, top, second - 1000}};
  for (const Key& key : keys) {
    QTest::keyClick(&editor, key.key);
    EXPECT_EQ(dialog.Settings().firstControlLevel, key.first) << key.key;
    EXPECT_EQ(dialog.Settings().secondControlLevel, key.second) << key.key;
  }

  dialog.CurveButton(FadeCurve::Linear).setChecked(true);
  const FadeSettings before = dialog.Settings();
  const QPoint from = editor.ControlPoint(1).toPoint();
  QTest::mousePress(&editor, Qt::LeftButton, {}, from);
  QTest::mouseMove(&editor, from + QPoint(0, 30));
  QTest::mouseRelease(&editor, Qt::LeftButton, {}, from + QPoint(0, 30));
  QTest::keyClick(&editor, Qt::Key_Up);
  EXPECT_EQ(dialog.Settings().secondControlLevel, before.secondControlLevel);
  EXPECT_EQ(dialog.Settings().firstControlLevel, before.firstControlLevel);
}

TEST_F(EditDialogsTest, NormalizeMixSilenceAndChannelDialogsOpenWithStoredValuesAndReturnTheirControls) {
  settings.Write(setting::kGainNormalizeLastGain, -7);
  settings.Write(setting::kPasteMixClipPercent, 30);
  settings.Write(setting::kPasteMixFilePercent, 80);
  settings.Write(setting::kSilenceLength, "2.5");
  settings.Write(setting::kSilencePaste, 2);

  NormalizeScalingDialog normalize(settings);
  EXPECT_EQ(normalize.TargetField().value(), -7);
  Picture(normalize, "normalize_scaling_dialog");
  normalize.TargetField().setValue(-3);
  normalize.accept();
  EXPECT_TRUE(normalize.Settings().scalingDialog);
  EXPECT_EQ(normalize.Settings().targetDb, -3.0);
  EXPECT_EQ(settings.Read(setting::kGainNormalizeLastGain), -3);

  PasteMixDialog mix(settings);
  EXPECT_EQ(mix.ClipPercent().Value(), 30);
  EXPECT_EQ(mix.FilePercent().Value(), 80);
  Picture(mix, "paste_mix_dialog");
  TypeInto(mix.FilePercent().Edit(), "65");
  TypeInto(mix.ClipPercent().Edit(), "140");
  EXPECT_EQ(mix.Settings().clipPercent, 100);
  EXPECT_EQ(mix.Settings().filePercent, 65);
  mix.accept();
  EXPECT_EQ(ReadMixSettings(settings).filePercent, 65);
  EXPECT_EQ(ReadMixSettings(settings).clipPercent, 100);

  InsertSilenceDialog silence(settings);
  EXPECT_EQ(silence.SecondsField().text(), "2.5");
  EXPECT_TRUE(silence.PlaceButton(SilencePlace::SelectionStart).isChecked());
  Picture(silence, "insert_silence_dialog");
  struct Typed {
    const char* text;
    std::optional<double> seconds;
  };
  for (const Typed& typed : {Typed{"4", 4.0}, Typed{"0", std::nullopt}, Typed{"0.25", 0.25}, Typed{"", std::nullopt}}) {
    silence.SecondsField().setText(QString::fromLatin1(typed.text));
    EXPECT_EQ(silence.OkButton().isEnabled(), typed.seconds.has_value()) << typed.text;
    const std::optional<SilenceSettings> chosen = silence.Settings();
    ASSERT_EQ(chosen.has_value(), typed.seconds.has_value()) << typed.text;
    if (chosen) {
      EXPECT_DOUBLE_EQ(chosen->seconds, *typed.seconds);
    }
  }
  silence.SecondsField().setText(QStringLiteral("1.5"));
  QTest::mouseClick(&silence.PlaceButton(SilencePlace::FileEnd), Qt::LeftButton, {},
                    QPoint(6, silence.PlaceButton(SilencePlace::FileEnd).height() / 2));
  EXPECT_EQ(silence.Settings()->place, SilencePlace::FileEnd);
  EXPECT_EQ(settings.Read(setting::kSilenceLength), "2.5") << "the command stores the values, not the dialog";

  InterpolateChannelsDialog channels;
  EXPECT_EQ(channels.Channels(), InterpolateChannels::Both);
  Picture(channels, "interpolate_channels_dialog");
  for (InterpolateChannels choice : {InterpolateChannels::Right, InterpolateChannels::Left}) {
    QTest::mouseClick(&channels.ChannelButton(choice), Qt::LeftButton, {},
                      QPoint(6, channels.ChannelButton(choice).height() / 2));
    EXPECT_EQ(channels.Channels(), choice);
  }
}

TEST_F(EditDialogsTest, AskReturnsTheValuesOfOkAndNothingForCancel) {
  settings.Write(setting::kGainNormalizeLastGain, -12);
  for (const bool ok : {true, false}) {
    test::WhenModalOpens([ok](QDialog& dialog) { ok ? dialog.accept() : dialog.reject(); });
    const std::optional<NormalizeSettings> chosen = NormalizeScalingDialog::Ask(settings, nullptr);
    ASSERT_EQ(chosen.has_value(), ok);
    if (chosen) {
      EXPECT_EQ(chosen->targetDb, -12.0);
    }
  }
  test::WhenModalOpens([](QDialog& dialog) {
    auto* fade = qobject_cast<FadeDialog*>(&dialog);
    ASSERT_NE(fade, nullptr);
    fade->SetFadeIn();
    fade->accept();
  });
  const std::optional<FadeSettings> fade = FadeDialog::Ask(prompts, nullptr);
  ASSERT_TRUE(fade.has_value());
  EXPECT_EQ(fade->startLevel, kFadeLevelMinimum);
  EXPECT_EQ(ReadFadePreset().startLevel, kFadeLevelMinimum);
}

TEST_F(EditDialogsTest, MarkSilenceSearchesWithItsSlidersStoresThemAndOnlyStopsWhatRuns) {
  settings.Write(setting::kMarkSilenceThresh, -55);
  settings.Write(setting::kMarkSilenceLength, 12);
  std::vector<MarkSilenceSettings> searches;
  MarkSilenceDialog dialog(settings, run, [&](const MarkSilenceSettings& mark) {
    searches.push_back(mark);
    EXPECT_EQ(dialog.OkButton().text(), "Stop");
    run.stopRequested = 0;
    QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);  // pressed during its own search
    EXPECT_EQ(run.stopRequested, 1);
    EXPECT_EQ(searches.size(), 1u) << "no second search starts";
  });
  EXPECT_EQ(dialog.ThresholdSlider().value(), -55);
  EXPECT_EQ(dialog.ThresholdText().text(), "-55 dB");
  EXPECT_EQ(dialog.IntervalText().text(), "1.2 s");
  Picture(dialog, "mark_silence_dialog");

  dialog.ThresholdSlider().setValue(-70);
  QTest::keyClick(&dialog.IntervalSlider(), Qt::Key_PageUp);
  EXPECT_EQ(dialog.IntervalText().text(), "2.2 s");

  for (const int state : {kEnginePlaying, kEnginePaused}) {
    run.engineState = state;
    run.stopRequested = 0;
    QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(run.stopRequested, 1);
    EXPECT_TRUE(searches.empty());
  }
  run.engineState = kEngineStopped;
  bool otherRun = true;
  dialog.SetBusyCheck([&] { return otherRun; });
  run.stopRequested = 0;
  QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);
  EXPECT_EQ(run.stopRequested, 1);
  EXPECT_TRUE(searches.empty());
  EXPECT_EQ(settings.Read(setting::kMarkSilenceThresh), -55) << "nothing stored without a search";

  otherRun = false;
  QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);
  ASSERT_EQ(searches.size(), 1u);
  EXPECT_EQ(searches[0].thresholdDb, -70);
  EXPECT_EQ(searches[0].minimumTenths, 22);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.OkButton().text(), "OK");
  EXPECT_EQ(settings.Read(setting::kMarkSilenceThresh), -70);
  EXPECT_EQ(settings.Read(setting::kMarkSilenceLength), 22);
}

TEST_F(EditDialogsTest, CrossfadeOpensWithStoredLevelsAndReturnsItsControls) {
  settings.Write(setting::kCrossFadeFadeInStart, -450);
  settings.Write(setting::kCrossFadeFadeInEnd, 15);
  settings.Write(setting::kCrossFadeFadeOutStart, -20);
  settings.Write(setting::kCrossFadeFadeOutEnd, -2000);  // below the range: held
  settings.Write(setting::kCrossFadeSlope, 2);
  for (const bool fileFormOffered : {false, true}) {
    CrossfadeDialog dialog(settings, run, {}, fileFormOffered);
    EXPECT_EQ(dialog.Level(0).Edit().text().trimmed(), "-45.00");
    EXPECT_EQ(dialog.Level(1).Value(), 15);
    EXPECT_EQ(dialog.Level(2).Value(), -20);
    EXPECT_EQ(dialog.Level(3).Value(), kCrossfadeLevelMinimum);
    EXPECT_EQ(dialog.SlopeBox().currentText(), "Fast Start");
    EXPECT_EQ(dialog.FileFormBox().isEnabled(), fileFormOffered);
    EXPECT_FALSE(dialog.PreviewBox().isEnabled()) << "a preview needs the file form";
    dialog.FileFormBox().setChecked(true);
    dialog.PreviewBox().setChecked(true);
    const CrossfadeSettings shown = dialog.Settings();
    EXPECT_EQ(shown.fileForm, fileFormOffered);
    EXPECT_EQ(shown.preview, fileFormOffered);
    EXPECT_EQ(dialog.PreviewBox().isEnabled(), fileFormOffered);
    if (fileFormOffered) Picture(dialog, "crossfade_dialog");
  }
}

// A crossfade of the given pieces that dispatches events before each piece, as the real one
// does, and stops when asked. Records what the dialog shows during the run; at piece
// pressAt it posts the user's second press, which that piece's dispatch delivers.
struct PiecewiseRun {
  RunState& run;
  CrossfadeDialog*& dialog;
  int pieces;
  int pressAt = -1;
  std::function<void()> press;
  int done = 0;
  std::vector<QString> buttonTexts;
  std::vector<bool> levelsEnabled;

  bool operator()(const CrossfadeSettings&) {
    for (done = 0; done < pieces; ++done) {
      if (done == pressAt) QTimer::singleShot(0, dialog, press);
      QApplication::processEvents();
      if (run.stopRequested.load() != 0) return false;
      buttonTexts.push_back(dialog->RunButton().text());
      levelsEnabled.push_back(dialog->Level(0).isEnabled());
    }
    return true;
  }
};

TEST_F(EditDialogsTest, TheCrossfadeButtonRunsReadsCancelWhileRunningAndASecondPressStops) {
  struct Case {
    const char* what;
    bool preview;
    int pressAt;        // the piece before which the user acts again; -1 for never
    bool closeInstead;  // Esc instead of the button
    bool stopped;
    int result;  // the dialog's result after the run; -1 still open
  };
  const Case cases[] = {
      {"a full run closes the dialog", false, -1, false, false, QDialog::Accepted},
      {"a second press stops the run", false, 10, false, true, -1},
      {"a preview leaves the dialog open", true, -1, false, false, -1},
      {"Esc during a run stops it, then closes", false, 10, true, true, QDialog::Rejected},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CrossfadeDialog* dialog = nullptr;
    PiecewiseRun perform{run, dialog, 40, c.pressAt};
    run.stopRequested = 1;  // a stop left over from earlier must not end this run
    CrossfadeDialog shown(
        settings, run, [&perform](const CrossfadeSettings& crossfade) { return perform(crossfade); }, true);
    dialog = &shown;
    perform.press = [&shown, &c] {
      if (c.closeInstead) {
        QTest::keyClick(&shown, Qt::Key_Escape);
      } else {
        QTest::mouseClick(&shown.RunButton(), Qt::LeftButton);
      }
    };
    shown.show();
    shown.SlopeBox().setCurrentIndex(1);
    shown.FileFormBox().setChecked(c.preview);
    shown.PreviewBox().setChecked(c.preview);
    shown.setResult(-1);
    QTest::mouseClick(&shown.RunButton(), Qt::LeftButton);
    EXPECT_EQ(perform.done, c.stopped ? c.pressAt : perform.pieces) << "the stop is seen by the dispatch that took it";
    ASSERT_FALSE(perform.buttonTexts.empty());
    for (const QString& text : perform.buttonTexts) EXPECT_EQ(text, "Cancel");
    for (const bool enabled : perform.levelsEnabled) EXPECT_FALSE(enabled);
    EXPECT_EQ(run.stopRequested.load() != 0, c.stopped);
    EXPECT_EQ(shown.RunButton().text(), "Do Crossfade");
    EXPECT_FALSE(shown.Running());
    EXPECT_TRUE(shown.Level(0).isEnabled());
    EXPECT_EQ(shown.result(), c.result);
    EXPECT_EQ(shown.isVisible(), c.result == -1);
    EXPECT_EQ(settings.Read(setting::kCrossFadeSlope), 1) << "the slope is stored when a run starts";
  }
}

}  // namespace
}  // namespace ztlive
