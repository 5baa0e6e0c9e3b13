// The "Play List Editor" on real widgets over the deterministic sound card: adding, moving,
// saving and reopening a list, the questions on closing, auditioning and playing the list
// with the captions following, the files of a split given to a new list, and the open dialog.
#include "live/playlist_window.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "platform/message_queue.h"
#include "platform/scripted_prompts.h"
#include "platform/virtual_sound_card.h"
#include "testing/gui_test_support.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;

const std::string kWrongType = "ERROR: Incorrect file type or corrupt file.";

class TestHost : public PlaylistWindowHost {
 public:
  DeviceEngine& Devices() override { return engine; }
  RunState& Run() override { return run; }
  SettingsStore& Settings() override { return settings; }
  Prompts& WindowPrompts() override { return prompts; }

  // Plays the card until the engine's output has closed, the window's timer polling meanwhile.
  void PlayOn(int milliseconds) {
    for (int i = 0; i < milliseconds / 10; ++i) {
      card.Advance(441);
      queue.DispatchPending();
      test::ProcessEventsFor(10);
    }
  }

  VirtualSoundCard card;
  MessageQueue queue;
  ScriptedPrompts prompts;
  RunState run;
  SettingsStore settings;
  WaveStream playStream{4096, 4096, run};
  WaveStream recordStream{4096, 4096, run};
  DeviceEngine engine{card, queue, prompts, run, playStream, recordStream, {}};
};

std::string WriteWave(const TestFolder& folder, const std::string& name, uint16_t channels, uint16_t bits, double seconds) {
  const std::string path = folder.File(name);
  const size_t bytes = static_cast<size_t>(seconds * 44100) * channels * (bits / 8);
  test::WriteBytes(path, test::WaveBytes().Format(1, channels, 44100, bits).Data(std::vector<uint8_t>(bytes, 1)).Build());
  return path;
}

std::vector<std::string> Shown(PlaylistWindow& window) {
  std::vector<std::string> rows;
  for (int i = 0; i < window.Entries().topLevelItemCount(); ++i)
    rows.push_back(window.Entries().topLevelItem(i)->text(0).toStdString() + " | " +
                   window.Entries().topLevelItem(i)->text(1).toStdString());
  return rows;
}

TEST(PlaylistWindow, FilesAreAddedMovedSavedAndReadBack) {
  TestFolder folder;
  TestHost host;
  const std::string a = WriteWave(folder, "a.wav", 2, 16, 1.0);
  const std::string b = WriteWave(folder, "b.wav", 1, 8, 2.5);  // stored as 1.25 s, truly 2.5 s
  const std::string c = WriteWave(folder, "c.wav", 2, 24, 0.5);  // stored as 0.75 s
  const std::string bad = folder.File("bad.wav");
  test::WriteFileText(bad, "no wave here");
  const std::string d = WriteWave(folder, "d.wav", 1, 16, 0.1);
  const QString wls = QString::fromStdString(folder.File("list.wls"));

  PlaylistWindow window(host);
  ASSERT_TRUE(window.Load(wls));
  window.show();
  EXPECT_EQ(window.NameField().text(), wls);
  EXPECT_EQ(window.TotalLabel().text(), "00:0.000");
  window.SetFileChooser([&] {
    return QStringList{QString::fromStdString(a), QString::fromStdString(b), QString::fromStdString(c),
                       QString::fromStdString(bad), QString::fromStdString(d)};
  });
  QTest::mouseClick(&window.AddButton(), Qt::LeftButton);
  EXPECT_EQ(Shown(window), (std::vector<std::string>{a + " | 00:1.000", b + " | 00:2.500", c + " | 00:0.500"}))
      << "the first failure ends the adding";
  EXPECT_EQ(host.prompts.Texts().back(), kWrongType);
  EXPECT_EQ(window.TotalLabel().text(), "00:4.000");
  EXPECT_TRUE(window.List().Modified());

  struct Step {
    const char* what;
    int selected;
    QPushButton* button;
    std::vector<std::string> order;
    int selectedAfter;
  };
  const Step steps[] = {
      {"MOVEUP on the first", 0, &window.MoveUpButton(), {a, b, c}, 0},
      {"MOVEUP on the last", 2, &window.MoveUpButton(), {a, c, b}, 1},
      {"MOVEDOWN on the first", 0, &window.MoveDownButton(), {c, a, b}, 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    window.SelectIndex(step.selected);
    QTest::mouseClick(step.button, Qt::LeftButton);
    std::vector<std::string> paths;
    for (const PlaylistEntry& entry : window.List().Entries()) paths.push_back(entry.path);
    EXPECT_EQ(paths, step.order);
    EXPECT_EQ(window.Entries().topLevelItem(0)->text(0).toStdString(), step.order[0]);
    EXPECT_EQ(window.SelectedIndex(), step.selectedAfter) << "the moved entry stays selected";
  }
  test::SaveScreenshot(window, "playlist_editor");

  host.prompts.Clear();
  QTest::mouseClick(&window.SaveButton(), Qt::LeftButton);
  EXPECT_TRUE(host.prompts.Entries().empty()) << host.prompts.Texts().front();
  EXPECT_FALSE(window.List().Modified());
  EXPECT_EQ(test::ReadBytes(wls.toStdString()).size(), 192u + 3 * 524u);
  QTest::mouseClick(&window.CloseButton(), Qt::LeftButton);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(host.prompts.Entries().empty()) << "a saved list closes without a question";

  PlaylistWindow reopened(host);
  ASSERT_TRUE(reopened.Load(wls));
  EXPECT_EQ(Shown(reopened), (std::vector<std::string>{c + " | 00:0.500", a + " | 00:1.000", b + " | 00:2.500"}));
  EXPECT_EQ(reopened.TotalLabel().text(), "00:4.000");
  EXPECT_FALSE(reopened.List().Modified());
  reopened.SelectIndex(1);
  QTest::mouseClick(&reopened.DeleteButton(), Qt::LeftButton);
  EXPECT_EQ(reopened.TotalLabel().text(), "00:3.000");
  EXPECT_EQ(reopened.SelectedIndex(), 1);
  reopened.show();
  host.prompts.Script(PromptAnswer::No);
  reopened.close();
  EXPECT_EQ(host.prompts.Texts(), (std::vector<std::string>{"The playlist has been modified, Do you want to save the changes?"}));
  EXPECT_EQ(test::ReadBytes(wls.toStdString()).size(), 192u + 3 * 524u) << "No keeps the file as it was";
}

TEST(PlaylistWindow, ClosingAModifiedListSavesOnYesAndStaysOpenWhenTheSaveFails) {
  TestFolder folder;
  TestHost host;
  const std::string a = WriteWave(folder, "a.wav", 2, 16, 0.2);
  const std::string b = WriteWave(folder, "b.wav", 2, 16, 0.3);
  const QString wls = QString::fromStdString(folder.File("split.wls"));
  PlaylistWindow window(host);
  // The files of a split at markers make the new list.
  ASSERT_TRUE(window.Load(wls, {QString::fromStdString(a), QString::fromStdString(b)}));
  window.show();
  EXPECT_EQ(window.List().Count(), 2);
  EXPECT_TRUE(window.List().Modified());
  EXPECT_EQ(window.TotalLabel().text(), "00:0.500");

  window.NameField().clear();
  host.prompts.Script(PromptAnswer::Yes);
  window.close();
  EXPECT_TRUE(window.isVisible()) << "a list that could not be saved is not thrown away";
  EXPECT_EQ(host.prompts.Texts().back(), "List Name connot be blank");

  window.NameField().setText(wls);
  host.prompts.Clear();
  host.prompts.Script(PromptAnswer::Yes);
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(host.prompts.Texts(), (std::vector<std::string>{"The playlist has been modified, Do you want to save the changes?"}));
  EXPECT_EQ(test::ReadBytes(wls.toStdString()).size(), 192u + 2 * 524u);

  // An existing list ignores the files given.
  PlaylistWindow again(host);
  ASSERT_TRUE(again.Load(wls, {QString::fromStdString(a)}));
  EXPECT_EQ(again.List().Count(), 2);
  EXPECT_FALSE(again.List().Modified());
  // A list that cannot be opened closes the editor after its message.
  std::filesystem::create_directory(folder.File("folder.wls"));
  host.prompts.Clear();
  PlaylistWindow refused(host);
  EXPECT_FALSE(refused.Load(QString::fromStdString(folder.File("folder.wls"))));
  EXPECT_EQ(host.prompts.Texts(),
            (std::vector<std::string>{"ERROR: Cannot open the file. The file may be in use by another program, or is corrupted."}));
}

TEST(PlaylistWindow, AuditionAndPlayListFollowThePlaybackInTheirCaptions) {
  TestFolder folder;
  TestHost host;
  const std::string a = WriteWave(folder, "a.wav", 2, 16, 0.3);
  const std::string b = WriteWave(folder, "b.wav", 2, 16, 0.3);
  PlaylistWindow window(host);
  ASSERT_TRUE(window.Load(QString::fromStdString(folder.File("p.wls")), {QString::fromStdString(a), QString::fromStdString(b)}));
  window.show();

  window.SelectIndex(-1);
  QTest::mouseClick(&window.AuditionButton(), Qt::LeftButton);
  ASSERT_EQ(host.prompts.Entries().size(), 1u);
  EXPECT_EQ(host.prompts.Entries()[0].text, "Please select a file first.");
  EXPECT_EQ(host.prompts.Entries()[0].caption, "Audition file");
  EXPECT_FALSE(host.engine.OutputOpen());

  window.SelectIndex(1);
  QTest::mouseClick(&window.AuditionButton(), Qt::LeftButton);
  EXPECT_EQ(window.AuditionButton().text(), "Stop");
  EXPECT_TRUE(host.engine.OutputOpen());
  QTest::mouseClick(&window.AuditionButton(), Qt::LeftButton);
  EXPECT_EQ(window.AuditionButton().text(), "Audition");
  EXPECT_FALSE(host.engine.OutputOpen());
  QTest::mouseClick(&window.AuditionButton(), Qt::LeftButton);
  host.PlayOn(800);
  EXPECT_FALSE(host.engine.OutputOpen());
  EXPECT_EQ(window.AuditionButton().text(), "Audition") << "the caption comes back when the file has played";

  const size_t before = host.card.Played().size();
  window.SelectIndex(-1);
  QTest::mouseClick(&window.PlayListButton(), Qt::LeftButton);
  EXPECT_EQ(window.PlayListButton().text(), "Stop List");
  EXPECT_EQ(window.SelectedIndex(), 0) << "the playing entry is selected";
  host.PlayOn(450);
  EXPECT_EQ(window.SelectedIndex(), 1);
  EXPECT_EQ(window.PlayListButton().text(), "Stop List");
  host.PlayOn(800);
  EXPECT_EQ(window.PlayListButton().text(), "Play List");
  EXPECT_EQ(host.card.Played().size() - before, 2u * 13230u * 4u) << "both files played whole";

  QTest::mouseClick(&window.PlayListButton(), Qt::LeftButton);
  host.PlayOn(100);
  QTest::mouseClick(&window.PlayListButton(), Qt::LeftButton);
  EXPECT_EQ(window.PlayListButton().text(), "Play List");
  EXPECT_FALSE(host.engine.OutputOpen());
  EXPECT_EQ(host.prompts.Entries().size(), 1u);
}

TEST(PlaylistWindow, ADoubleClickShowsTheFilesFormatLengthAndPath) {
  TestFolder folder;
  TestHost host;
  const std::string a = WriteWave(folder, "a.wav", 1, 24, 1.5);
  PlaylistWindow window(host);
  ASSERT_TRUE(window.Load(QString::fromStdString(folder.File("i.wls")), {QString::fromStdString(a)}));
  window.show();
  test::ProcessEventsFor(50);  // laid out, so that the row has its place
  QTreeWidgetItem* item = window.Entries().topLevelItem(0);
  ASSERT_NE(item, nullptr);
  const QRect cell = window.Entries().visualItemRect(item);
  QTest::mouseClick(window.Entries().viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  QTest::mouseDClick(window.Entries().viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  ASSERT_EQ(host.prompts.Entries().size(), 1u);
  EXPECT_EQ(host.prompts.Entries()[0].text, a + "\n\n44100 Hz, 24 bits, mono\nLength: 00:1.500 (198450 bytes of sound)");
  EXPECT_EQ(host.prompts.Entries()[0].caption, "a.wav");
}

TEST(PlaylistWindow, TheOpenDialogNamesTheListAndTheEditorOpensOnIt) {
  TestFolder folder;
  TestHost host;
  const std::string a = WriteWave(folder, "a.wav", 2, 16, 0.2);
  Playlist list(host.prompts);
  ASSERT_TRUE(list.AddEntry(a));
  ASSERT_TRUE(list.Save(folder.File("named.wls")));

  bool editorSeen = false;
  test::WhenModalOpens([&](QDialog& dialog) {
    auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
    if (name == nullptr) return dialog.reject();
    EXPECT_EQ(name->text(), "untitled.wls");
    name->setText(QString::fromStdString(folder.File("named.wls")));
    test::WhenModalOpens([&](QDialog& editor) {
      auto* window = qobject_cast<PlaylistWindow*>(&editor);
      editorSeen = window != nullptr && window->List().Count() == 1 &&
                   window->NameField().text().toStdString() == folder.File("named.wls");
      editor.close();
    });
    dialog.accept();
  });
  RunPlaylistEditor(host, nullptr);
  EXPECT_TRUE(editorSeen);
  EXPECT_TRUE(host.prompts.Entries().empty());
}

}  // namespace
}  // namespace ztlive
