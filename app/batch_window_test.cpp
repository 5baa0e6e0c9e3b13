// The "Batch Editor" in the application window: real widgets under the offscreen platform, real
// wave files, and the real filter windows and documents of the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "app/app_core.h"
#include "app/child_frame.h"
#include "app/main_frame.h"
#include "document/destination_files.h"
#include "filters/eq/low_pass_filter.h"
#include "filters/filter_registry.h"
#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/preset_store.h"
#include "live/batch_window.h"
#include "live/multi_filter_window.h"
#include "live/playlist.h"
#include "platform/file_ops.h"
#include "platform/scripted_prompts.h"
#include "platform/string_table.h"
#include "platform/virtual_sound_card.h"
#include "testing/gui_test_support.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

constexpr uint32_t kRate = 22050;
constexpr FilterTypeId kLowPass = 19;

// A 200 Hz and a 6 kHz tone at the given level, mono, 16 bits.
void WriteTones(const std::string& path, double seconds, double level = 8000) {
  const auto frames = static_cast<size_t>(seconds * kRate);
  std::vector<int16_t> samples(frames);
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    samples[i] = static_cast<int16_t>(std::lround(level * (std::sin(2 * std::numbers::pi * 200 * t) +
                                                           std::sin(2 * std::numbers::pi * 6000 * t))));
  }
  test::WriteBytes(path, test::WaveBytes().Format(1, 1, kRate, 16).Data(test::Samples16(samples)).Build());
}

std::vector<uint8_t> Bytes(const std::string& path) {
  const std::string text = test::ReadFileText(path);
  return {text.begin(), text.end()};
}

bool Contains(const std::vector<std::string>& texts, std::string_view part) {
  for (const std::string& text : texts)
    if (text.find(part) != std::string::npos) return true;
  return false;
}

// Two low pass presets that filter audibly differently.
void WriteLowPassPresets() {
  const FilterDescriptor& low = LowPassProcessor::Descriptor();
  for (const auto& [name, hertz] : {std::pair{"Bright", 9000}, std::pair{"Muffled", 400}}) {
    PresetValues values = low.StartingValues();
    values.p[1] = hertz;
    WritePresetValuesTo(PresetSection(low.sectionBase), name, low.presetRecord.Store(values), PresetTextForm::Plain);
  }
}

class BatchWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_home = std::make_unique<test::ScopedEnvironment>("ZTLIVE_HOME", folder.File("home"));
    m_cache = std::make_unique<test::ScopedEnvironment>("XDG_CACHE_HOME", folder.File("cache"));
    core = std::make_unique<AppCore>(std::make_unique<VirtualSoundCard>(0, 0), prompts);
    frame = std::make_unique<CMainFrame>(*core);
    frame->show();
    window = frame->OpenBatchWindow();
  }

  void TearDown() override {
    frame.reset();
    core.reset();
  }

  // Chooses the filter row of type as a click does and sets the controls of a whole-file job.
  void ChooseFilter(FilterTypeId type, const QString& preset) {
    QListWidgetItem* item = window->FilterList().item(BatchFilterRow(type));
    ASSERT_NE(item, nullptr);
    window->FilterList().setCurrentItem(item);
    window->FillPresets(BatchFilterRow(type));
    window->PresetBox().setCurrentText(preset);
  }

  void AddFiles(const QStringList& files) {
    window->SetFilesChooser([files] { return files; });
    window->AddButton().click();
  }

  void Run() {
    prompts.Clear();
    window->RunButton().click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // The low pass run over a copy of source from its own window with the named preset, its
  // result saved at out: what one file alone gives.
  std::vector<uint8_t> DirectRun(const std::string& source, const std::string& preset, const std::string& out) {
    const std::string copy = out + ".source.wav";
    std::filesystem::copy_file(source, copy);
    EXPECT_TRUE(frame->OpenDocument(QString::fromStdString(copy)));
    CChildFrame& child = *frame->ActiveChild();
    auto* dialog = qobject_cast<FilterSettingsDialog*>(frame->OpenFilterWindow(kLowPass, QString()));
    if (dialog == nullptr) return {};
    const int index = dialog->PresetBox().findText(QString::fromStdString(preset));
    EXPECT_GE(index, 0) << preset;
    dialog->PresetBox().Select(index);
    emit dialog->PresetBox().activated(index);
    EXPECT_EQ(dialog->RunFilterOverFile(), 1);
    EXPECT_EQ(SaveDestinationAs(child.Document(), out, 0, core->Run()), 1);
    return Bytes(out);
  }

  test::TestFolder folder;
  ScriptedPrompts prompts;
  std::unique_ptr<test::ScopedEnvironment> m_home;
  std::unique_ptr<test::ScopedEnvironment> m_cache;
  std::unique_ptr<AppCore> core;
  std::unique_ptr<CMainFrame> frame;
  BatchWindow* window = nullptr;
};

TEST_F(BatchWindowTest, TheControlsSaveAndLoadTheJobAndRefuseATimeOutOfRange) {
  EXPECT_EQ(frame->OpenBatchWindow(), window) << "one window at a time";
  ASSERT_EQ(window->FilterList().count(), 23);
  EXPECT_EQ(window->FilterList().item(7)->text(), "Notch Filter");
  EXPECT_FALSE(window->FilterList().item(7)->icon().isNull());
  EXPECT_TRUE(window->CloseDocumentsBox().isChecked());
  // Normalize has no settings window; an audition needs a file chosen first.
  window->OpenFilterOfRow(BatchFilterRow(kNormalizeFilter));
  window->AuditionButton().click();
  EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{std::string(StringText(StringId::kBatchNoSettings)),
                                                        std::string(StringText(StringId::kBatchSelectAudition))}));
  EXPECT_EQ(window->AuditionButton().text(), "A&udition");

  // Each region mode enables its own time fields only (first, last, from, to).
  const struct {
    int mode;
    std::array<bool, 4> enabled;
  } modes[] = {{0, {false, false, false, false}},
               {1, {false, true, false, false}},
               {2, {true, false, false, false}},
               {3, {false, false, true, true}}};
  for (const auto& row : modes) {
    window->ModeButton(row.mode).click();
    for (int field = 0; field < 4; ++field)
      EXPECT_EQ(window->TimeField(field).isEnabled(), row.enabled[static_cast<size_t>(field)])
          << "mode " << row.mode << " field " << field;
  }

  ChooseFilter(13, QStringLiteral("Default"));
  window->ModeButton(2).click();
  window->TimeField(0).setText(QStringLiteral("3"));
  const std::string first = folder.File("a.wav");
  const std::string second = folder.File("b.wav");
  AddFiles({QString::fromStdString(first), QString::fromStdString(second)});
  const std::string saved = folder.File("job.fbt");
  window->SetBatchFileChooser([&saved](bool) { return QString::fromStdString(saved); });
  window->SaveButton().click();
  BatchJob expected;
  expected.filterType = 13;
  expected.presetName = "Default";
  expected.regionMode = 2;
  expected.files = {first, second};
  EXPECT_EQ(Bytes(saved), EncodeBatchFile(expected));

  // A refused field stops the save and keeps the file as it was.
  for (const char* refused : {"32000.5", "-1", "three"}) {
    prompts.Clear();
    window->TimeField(1).setText(QString::fromUtf8(refused));
    EXPECT_FALSE(window->SaveBatch()) << refused;
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{BatchSecondsRangeMessage()}) << refused;
    EXPECT_EQ(window->Job().lastSeconds, 3.0) << "the last accepted value stays";
  }
  EXPECT_EQ(Bytes(saved), EncodeBatchFile(expected));

  // Loaded into a fresh window: the Notch row, the preset text and every field come back.
  window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  window = frame->OpenBatchWindow();
  ASSERT_TRUE(window->LoadBatchFrom(QString::fromStdString(saved)));
  ASSERT_EQ(window->FilterList().selectedItems().size(), 1);
  EXPECT_EQ(window->FilterList().selectedItems().front()->text(), "Notch Filter");
  EXPECT_EQ(window->PresetBox().currentText(), "Default");
  EXPECT_TRUE(window->ModeButton(2).isChecked());
  EXPECT_TRUE(window->TimeField(0).isEnabled());
  ASSERT_TRUE(window->ReadControls());
  BatchJob shown = window->Job();
  shown.useDestinationDirectory = false;
  shown.destinationDirectory.clear();
  shown.keepDocumentsOpen = false;
  EXPECT_EQ(shown, expected);

  // A playlist fills the file list only.
  Playlist list(prompts);
  const std::string third = folder.File("c.wav");
  WriteTones(third, 0.1);
  ASSERT_TRUE(list.AddEntry(third));
  ASSERT_TRUE(list.Save(folder.File("list.wls")));
  ASSERT_TRUE(window->LoadBatchFrom(QString::fromStdString(folder.File("list.wls"))));
  ASSERT_TRUE(window->ReadControls());
  EXPECT_EQ(window->Job().files, std::vector<std::string>{third});
  EXPECT_EQ(window->Job().filterType, 13);
  EXPECT_TRUE(window->ModeButton(2).isChecked());

  // A damaged batch file says so and changes nothing.
  test::WriteFileText(folder.File("bad.fbt"), std::string(1, '\x20') + std::string(kBatchFileMagic) + "\x01");
  prompts.Clear();
  EXPECT_FALSE(window->LoadBatchFrom(QString::fromStdString(folder.File("bad.fbt"))));
  EXPECT_EQ(prompts.Texts().size(), 1u);
  EXPECT_EQ(window->FileList().count(), 1);

  // The destination settings outlive the window.
  window->DestinationBox().setChecked(true);
  window->DestinationField().setText(QString::fromStdString(folder.File("out")));
  window->CloseButton().click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(frame->BatchEditor(), nullptr);
  EXPECT_EQ(core->Settings().Read(setting::kBatchUseDestDir), 1);
  EXPECT_EQ(core->Settings().Read(setting::kBatchDestDir), folder.File("out"));
  window = frame->OpenBatchWindow();
  EXPECT_TRUE(window->DestinationBox().isChecked());
  EXPECT_TRUE(window->DestinationField().isEnabled());
}

// Three files, the second not a wave file and an MP3 entry after them: the good ones get the
// numbered names, each equal to a run of that file alone with the chosen preset; their
// documents close, or stay open with the box unchecked.
TEST_F(BatchWindowTest, TheRunSavesNumberedResultsGoesPastBadFilesAndClosesTheDocuments) {
  WriteLowPassPresets();
  const std::string alpha = folder.File("alpha.wav");
  const std::string broken = folder.File("broken.wav");
  const std::string gamma = folder.File("take3.wav");
  const std::string mp3 = folder.File("song.mp3");
  WriteTones(alpha, 0.4);
  test::WriteFileText(broken, "not a wave file");
  WriteTones(gamma, 0.3, 5000);
  test::WriteFileText(mp3, "ID3 not really");
  ChooseFilter(kLowPass, QStringLiteral("muf"));  // the first preset beginning so, any case
  AddFiles({QString::fromStdString(alpha), QString::fromStdString(broken), QString::fromStdString(gamma),
            QString::fromStdString(mp3)});
  test::SaveScreenshot(*window, QStringLiteral("batch_editor"));
  // A document open before the batch is the user's: used as it is and left open.
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(gamma)));
  Run();

  const std::vector<std::string> texts = prompts.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back().rfind(StringText(StringId::kBatchComplete), 0), 0u) << texts.back();
  EXPECT_TRUE(Contains(texts, FormatText(StringId::kBatchFileCannotOpen, {broken})));
  EXPECT_TRUE(Contains(texts, Mp3RefusedMessage(mp3)));
  EXPECT_FALSE(FileExists(folder.File("broken1.wav")));
  EXPECT_FALSE(FileExists(folder.File("song1.mp3")));
  ASSERT_TRUE(FileExists(folder.File("alpha1.wav")));
  ASSERT_TRUE(FileExists(folder.File("take4.wav")));
  ASSERT_EQ(frame->Children().size(), 1) << "every document the batch opened is closed";
  EXPECT_EQ(frame->Children().front()->Document().SourceName(), gamma);
  EXPECT_EQ(frame->Children().front()->Document().DestinationName(), folder.File("take4.wav"));
  EXPECT_EQ(window->RunButton().text(), "&Run Batch");
  EXPECT_TRUE(window->AddButton().isEnabled());

  const std::vector<uint8_t> muffled = DirectRun(alpha, "Muffled", folder.File("direct_muffled.wav"));
  const std::vector<uint8_t> bright = DirectRun(alpha, "Bright", folder.File("direct_bright.wav"));
  EXPECT_EQ(Bytes(folder.File("alpha1.wav")), muffled);
  EXPECT_NE(muffled, bright);
  EXPECT_NE(Bytes(folder.File("alpha1.wav")), Bytes(alpha));
  EXPECT_EQ(Bytes(folder.File("take4.wav")), DirectRun(gamma, "Muffled", folder.File("direct_take.wav")));
  for (CChildFrame* child : frame->Children()) static_cast<QWidget*>(child->parentWidget())->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // Unchecked, the documents stay, each showing its result under the next free name and its
  // source's selection set from the region: the first 0.1 s.
  window->CloseDocumentsBox().setChecked(false);
  window->ModeButton(2).click();
  window->TimeField(0).setText(QStringLiteral("0.1"));
  window->FileList().setCurrentRow(1);
  window->DeleteButton().click();
  window->FileList().setCurrentRow(2);
  window->DeleteButton().click();
  Run();
  const QList<CChildFrame*> children = frame->Children();
  ASSERT_EQ(children.size(), 2);
  std::vector<std::string> destinations;
  for (CChildFrame* child : children) {
    EXPECT_FALSE(child->Document().DestinationIsTemporary());
    destinations.push_back(child->Document().DestinationName());
    const WavePane& source = child->View().State().Pane(PaneId::Source);
    EXPECT_EQ(source.SelectionStart(), 0u);
    EXPECT_EQ(source.SelectionEnd(), kRate * 2 / 10);
  }
  std::sort(destinations.begin(), destinations.end());
  EXPECT_EQ(destinations, (std::vector<std::string>{folder.File("alpha2.wav"), folder.File("take5.wav")}));

  // The last 10 s of files shorter than that hold no sound: nothing is run or written for them.
  window->ModeButton(1).click();
  window->TimeField(1).setText(QStringLiteral("10"));
  Run();
  EXPECT_NE(prompts.Texts().back().find(FormatText(StringId::kBatchRegionEmpty, {alpha})), std::string::npos)
      << prompts.Texts().back();
  EXPECT_FALSE(FileExists(folder.File("alpha3.wav")));
  EXPECT_FALSE(FileExists(folder.File("take6.wav")));
}

// "MultiFilter" runs in the chain window: the chain preset is loaded there and the chain runs,
// its result going into the destination directory.
TEST_F(BatchWindowTest, TheMultiFilterRowLoadsTheChainPresetAndRunsTheChain) {
  MultiFilterWindow* chainWindow = frame->OpenChainWindow();
  ASSERT_NE(chainWindow->Chain().InsertFilter(kLowPass), nullptr);
  ASSERT_NE(chainWindow->Chain().InsertFilter(kLowPass), nullptr);
  ASSERT_EQ(chainWindow->Chain().WriteChainPreset("Lows", PresetTextForm::Plain), 1);
  chainWindow->Chain().ClearChain();
  const std::string side = folder.File("side.wav");
  WriteTones(side, 0.3);
  ChooseFilter(kMultiFilter, QStringLiteral("LOWS"));
  AddFiles({QString::fromStdString(side)});
  // Into a destination directory, under the source's own name.
  std::filesystem::create_directory(folder.File("out"));
  window->DestinationBox().setChecked(true);
  window->DestinationField().setText(QString::fromStdString(folder.File("out/")));
  Run();
  EXPECT_EQ(prompts.Texts().back(), StringText(StringId::kBatchComplete));
  EXPECT_EQ(chainWindow->Chain().FilterCount(), 2);
  const std::string result = folder.File("out/side.wav");
  ASSERT_TRUE(FileExists(result));
  EXPECT_FALSE(FileExists(folder.File("side1.wav")));
  EXPECT_NE(Bytes(result), Bytes(side));
  EXPECT_EQ(std::filesystem::file_size(result), std::filesystem::file_size(side));
}

TEST_F(BatchWindowTest, StopEndsTheBatchAfterTheCurrentFile) {
  std::vector<std::string> files;
  QStringList names;
  for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
    files.push_back(folder.File(name));
    WriteTones(files.back(), 0.2);
    names.push_back(QString::fromStdString(files.back()));
  }
  ChooseFilter(kLowPass, QString());
  AddFiles(names);
  // Pressed while the first file is being processed (the batch dispatches events).
  QTimer::singleShot(0, window, [this] {
    EXPECT_EQ(window->RunButton().text(), "Stop");
    EXPECT_FALSE(window->LoadButton().isEnabled());
    test::SaveScreenshot(*window, QStringLiteral("batch_editor_running"));
    window->RunButton().click();
  });
  Run();
  EXPECT_TRUE(FileExists(folder.File("one1.wav")));
  EXPECT_FALSE(FileExists(folder.File("two1.wav")));
  EXPECT_FALSE(FileExists(folder.File("three1.wav")));
  EXPECT_EQ(prompts.Texts().back(), FormatText(StringId::kBatchStopped, {"1", "3"}) + "\n");
}

// What happens before any file is touched: no filter, Normalize asked and declined or
// accepted (it writes nothing, so the destination directory does not count), no usable
// destination directory, an empty list.
TEST_F(BatchWindowTest, NormalizeAsksFirstAndOtherStartsAreReported) {
  const std::string quiet = folder.File("quiet.wav");
  WriteTones(quiet, 0.3, 1000);
  const std::vector<uint8_t> original = Bytes(quiet);
  const struct {
    const char* name;
    FilterTypeId type;  // kNoBatchFilter: no row chosen
    bool withFile;
    const char* destination;  // null: "Use Destination Directory:" unchecked
    std::optional<PromptAnswer> answer;
    std::string firstText;
    bool sourceChanged;
    std::string lastText;
  } cases[] = {
      {"no filter", kNoBatchFilter, true, nullptr, std::nullopt, std::string(StringText(StringId::kBatchNoFilterSelected)),
       false, std::string(StringText(StringId::kBatchNoFilterSelected))},
      {"normalize declined", kNormalizeFilter, true, nullptr, PromptAnswer::Cancel,
       std::string(StringText(StringId::kBatchNormalizeInPlace)), false,
       std::string(StringText(StringId::kBatchNormalizeInPlace))},
      {"no destination directory", kLowPass, true, "", std::nullopt,
       std::string(StringText(StringId::kBatchNoDestination)), false, std::string(StringText(StringId::kBatchNoDestination))},
      {"destination directory missing", kLowPass, true, "nowhere", std::nullopt,
       FormatText(StringId::kBatchDestinationMissing, {folder.File("nowhere")}), false,
       FormatText(StringId::kBatchDestinationMissing, {folder.File("nowhere")})},
      {"empty list", kLowPass, false, nullptr, std::nullopt, std::string(StringText(StringId::kBatchComplete)), false,
       std::string(StringText(StringId::kBatchComplete))},
      {"normalize accepted", kNormalizeFilter, true, "nowhere", PromptAnswer::Ok,
       std::string(StringText(StringId::kBatchNormalizeInPlace)), true,
       std::string(StringText(StringId::kBatchComplete))},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    window->RemoveAllButton().click();
    window->FilterList().clearSelection();
    if (row.type != kNoBatchFilter) ChooseFilter(row.type, QString());
    if (row.withFile) AddFiles({QString::fromStdString(quiet)});
    window->DestinationBox().setChecked(row.destination != nullptr);
    const std::string destination = row.destination == nullptr || *row.destination == 0 ? "" : folder.File(row.destination);
    window->DestinationField().setText(QString::fromStdString(destination));
    prompts.Clear();
    if (row.answer) prompts.Script(*row.answer);
    window->RunButton().click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const std::vector<std::string> texts = prompts.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), row.firstText);
    EXPECT_EQ(texts.back(), row.lastText);
    EXPECT_EQ(Bytes(quiet) != original, row.sourceChanged);
    EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);
    EXPECT_FALSE(FileExists(folder.File("quiet1.wav"))) << "nothing is written beside the source";
    EXPECT_FALSE(FileExists("quiet.wav")) << "nor where the program runs";
    EXPECT_TRUE(frame->Children().isEmpty());
  }
  EXPECT_NE(frame->FilterWindow(kLowPass), nullptr) << "the empty list still opened the filter's window";
}

}  // namespace
}  // namespace ztlive
