// The Edit menu in the main window: the commands and their keys on the active pane, the
// clipboard between them, the Undo submenu and Ctrl+Z back to the original bytes, and a
// filter run over an existing destination undone like an edit.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QtTest/QTest>

#include "app/app_core.h"
#include "app/child_frame.h"
#include "app/main_frame.h"
#include "platform/scripted_prompts.h"
#include "platform/virtual_sound_card.h"
#include "testing/gui_test_support.h"
#include "testing/test_folder.h"
#include "testing/wave_bytes.h"

namespace ztlive {
namespace {

using test::TestFolder;

class EditMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_home = std::make_unique<test::ScopedEnvironment>("ZTLIVE_HOME", folder.File("home"));
    m_cache = std::make_unique<test::ScopedEnvironment>("XDG_CACHE_HOME", folder.File("cache"));
    core = std::make_unique<AppCore>(std::make_unique<VirtualSoundCard>(0, 0), prompts);
    frame = std::make_unique<CMainFrame>(*core);
    frame->show();
    QApplication::setActiveWindow(frame.get());
  }
  void TearDown() override {
    frame.reset();
    core.reset();
  }

  // A 16-bit stereo file whose frame i holds i and -i.
  std::string WriteCounting(const std::string& name, int frames) {
    std::vector<int16_t> values;
    for (int i = 0; i < frames; ++i) {
      values.push_back(static_cast<int16_t>(i));
      values.push_back(static_cast<int16_t>(-i));
    }
    const std::string path = folder.File(name);
    test::WriteBytes(path, test::WaveBytes().Format(1, 2, 8000, 16).Data(test::Samples16(values)).Build());
    return path;
  }

  std::vector<uint8_t> Data(const std::string& path) {
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    return std::vector<uint8_t>(bytes.begin() + 44, bytes.end());
  }

  void Select(CChildFrame& child, uint64_t start, uint64_t end) {
    child.View().State().Active().SetSelection(start, end);
    child.View().PanesChanged();
  }

  // Sends a key to the active document's source pane, where the user's keys arrive.
  void Press(CChildFrame& child, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget& pane = child.View().PaneWidget(PaneId::Source);
    pane.setFocus();
    QTest::keyClick(&pane, static_cast<Qt::Key>(key), modifiers);
  }

  TestFolder folder;
  ScriptedPrompts prompts;
  std::unique_ptr<test::ScopedEnvironment> m_home;
  std::unique_ptr<test::ScopedEnvironment> m_cache;
  std::unique_ptr<AppCore> core;
  std::unique_ptr<CMainFrame> frame;
};

TEST_F(EditMenuTest, KeysCopyPasteMuteAndUndoBackToTheOriginalBytes) {
  const std::string path = WriteCounting("take.wav", 4000);
  const std::vector<uint8_t> original = Data(path);
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(path)));
  CChildFrame& child = *frame->ActiveChild();

  // Every key the menus name is there and shown in the menu.
  for (const auto& [name, keys] : std::vector<std::pair<const char*, QKeySequence>>{
           {"cut", QKeySequence::Cut},
           {"copy", QKeySequence::Copy},
           {"pasteInsert", QKeySequence::Paste},
           {"undoLast", QKeySequence::Undo},
           {"selectAll", QKeySequence::SelectAll},
           {"playStop", QKeySequence(Qt::Key_Space)},
           {"caretToStart", QKeySequence(Qt::Key_Home)},
           {"caretToEnd", QKeySequence(Qt::Key_End)},
           {"zoomIn", QKeySequence(Qt::Key_Plus)},
           {"zoomOut", QKeySequence(Qt::Key_Minus)},
           {"recordFile", QKeySequence(Qt::CTRL | Qt::Key_R)}}) {
    SCOPED_TRACE(name);
    ASSERT_NE(frame->Command(name), nullptr);
    EXPECT_EQ(frame->Command(name)->shortcut(), QKeySequence(keys));
  }

  // Ctrl+C copies frames 1000 ... 1999; the clipboard then holds a wave and paste is enabled.
  Select(child, 4000, 8000);
  Press(child, Qt::Key_C, Qt::ControlModifier);
  ASSERT_FALSE(core->Clipboard().ClipboardWaveFile().empty());
  EXPECT_EQ(Data(core->Clipboard().ClipboardWaveFile()),
            std::vector<uint8_t>(original.begin() + 4000, original.begin() + 8000));
  EXPECT_TRUE(frame->Command("pasteInsert")->isEnabled());

  // Ctrl+V inserts it at the selection start.
  Select(child, 0, 0);
  Press(child, Qt::Key_V, Qt::ControlModifier);
  std::vector<uint8_t> expected(original.begin() + 4000, original.begin() + 8000);
  expected.insert(expected.end(), original.begin(), original.end());
  ASSERT_EQ(Data(path), expected);
  EXPECT_EQ(child.View().State().Active().DataLength(), expected.size()) << "the pane read the longer file";

  // Mute (from the pane's context menu) asks first and silences the selection.
  Select(child, 400, 800);
  prompts.Script(PromptAnswer::Yes);
  emit child.View().editRequested(QStringLiteral("Mute"));
  std::fill(expected.begin() + 400, expected.begin() + 800, 0);
  ASSERT_EQ(Data(path), expected);

  // Ctrl+A then Cut empties the file.
  Press(child, Qt::Key_A, Qt::ControlModifier);
  Press(child, Qt::Key_X, Qt::ControlModifier);
  EXPECT_TRUE(Data(path).empty());

  // The Undo submenu lists the three edits, newest first; Ctrl+Z takes them back one by one.
  UndoStore& undo = child.Document().Undo();
  ASSERT_EQ(undo.Count(), 3);
  EXPECT_EQ(undo.DescribeUndoEntry(0).rfind("Undo Source: Cut ", 0), 0u);
  EXPECT_EQ(undo.DescribeUndoEntry(1), "Undo Source: Mute ");
  EXPECT_EQ(undo.DescribeUndoEntry(2).rfind("Undo Source: Paste Insert ", 0), 0u);
  for (int remaining = 3; remaining > 0; --remaining) {
    Press(child, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undo.Count(), remaining - 1);
  }
  EXPECT_EQ(Data(path), original);
  EXPECT_EQ(child.View().State().Active().DataLength(), original.size());
  EXPECT_EQ(prompts.UnscriptedQuestions(), 0u);
}

TEST_F(EditMenuTest, TheEditMenuShowsItsCommandsWithTheirKeys) {
  const std::string path = WriteCounting("look.wav", 8000);
  ASSERT_TRUE(frame->OpenDocument(QString::fromStdString(path)));
  QMenu* edit = frame->Command("cut")->associatedObjects().isEmpty()
                    ? nullptr
                    : qobject_cast<QMenu*>(frame->Command("cut")->associatedObjects().front());
  ASSERT_NE(edit, nullptr);
  edit->popup(frame->mapToGlobal(QPoint(60, 30)));
  QApplication::processEvents();
  EXPECT_FALSE(test::SaveScreenshot(*edit, QStringLiteral("edit_menu")).isEmpty());
  edit->hide();
}

}  // namespace
}  // namespace ztlive
