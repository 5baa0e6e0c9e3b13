// The "Multi-Filter" window on real widgets over a real document: building the chain with the
// mouse (drops from the list, moving and deleting nodes, the context menu), settings windows
// bound to one node's engine, a run over the file, "Default" on closing, and the icons.
#include "live/multi_filter_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "app/filter_windows.h"
#include "filters/eq/filter_dialog.h"
#include "filters/filter_factory.h"
#include "filters/filter_icons.h"
#include "filters/filter_registry.h"
#include "filters/restoration/impulse_dialog.h"
#include "live/chain_filter_list_widget.h"
#include "live/chain_graph_widget.h"
#include "live/chain_runner.h"
#include "testing/engine_run.h"
#include "testing/gui_test_support.h"
#include "testing/run_test_host.h"
#include "testing/test_signals.h"

namespace ztlive {
namespace {

using test::RunTestHost;
using test::TestFolder;

constexpr uint32_t kRate = 44100;
constexpr FilterTypeId kImpulse = 15;
constexpr FilterTypeId kLowPass = 19;
constexpr FilterTypeId kNotch = 13;
constexpr FilterTypeId kMedian = 6;

// The chain window's application: the settings windows the Filters menu makes, one per
// shared type, and runs through the document host's filter run.
class ChainHost : public ChainWindowHost {
 public:
  explicit ChainHost(RunTestHost& files) : m_files(files) {}

  QDialog* OpenFilterWindow(FilterTypeId type, const QString& caption) override {
    std::unique_ptr<QDialog>& window = m_windows[SharedFilterWindowType(type)];
    if (window == nullptr) window.reset(MakeFilterWindow(type, m_files, nullptr));
    if (window == nullptr) return nullptr;
    SwitchFilterWindow(*window, type);
    window->setWindowTitle(caption);
    window->show();
    return window.get();
  }
  int RunChainOverDocument(FilterChain& chain, bool preview) override {
    return RunChain(m_files.Runner(), chain, &m_files, preview);
  }
  bool RunBusy() override { return m_files.Runner().RunBusy(); }
  RunState& Run() override { return m_files.Run(); }
  SettingsStore& Settings() override { return m_files.Settings(); }
  Prompts& WindowPrompts() override { return m_files.WindowPrompts(); }

  std::unique_ptr<QDialog>& Window(FilterTypeId type) { return m_windows[SharedFilterWindowType(type)]; }

 private:
  RunTestHost& m_files;
  std::map<FilterTypeId, std::unique_ptr<QDialog>> m_windows;
};

std::vector<FilterTypeId> Types(const FilterChain& chain) {
  std::vector<FilterTypeId> types;
  for (const ChainNode& node : chain.Nodes())
    if (node.IsFilter()) types.push_back(node.type);
  return types;
}

// A double click as the window system sends it: a click, then the second press as a double click.
void DoubleClick(QWidget& widget, QPoint point) {
  QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, point);
  QTest::mouseDClick(&widget, Qt::LeftButton, Qt::NoModifier, point);
}

// The context menu a right click opens at the point; the entry is chosen when it is enabled.
// False when the menu did not offer it enabled.
bool ChooseFromContextMenu(QWidget& widget, QPoint point, const QString& entry) {
  bool chosen = false;
  bool shown = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    poll.stop();
    shown = true;
    for (QAction* action : menu->actions())
      if (action->text() == entry && action->isEnabled()) {
        menu->setActiveAction(action);
        chosen = true;
      }
    QTest::keyClick(menu, chosen ? Qt::Key_Return : Qt::Key_Escape);
  });
  poll.start(5);
  QTest::mouseClick(&widget, Qt::RightButton, Qt::NoModifier, point);
  if (!shown) {  // the platform leaves the menu to the application
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, widget.mapToGlobal(point));
    QApplication::sendEvent(&widget, &event);
  }
  EXPECT_TRUE(shown);
  return chosen;
}

// A left-button drag from one widget's point to another widget's point, with the moves and
// the release going to the pressed widget as the window system sends them.
void Drag(QWidget& from, QPoint start, QWidget& over, QPoint end) {
  const QPoint target = from.mapFromGlobal(over.mapToGlobal(end));
  QTest::mousePress(&from, Qt::LeftButton, Qt::NoModifier, start);
  for (int step = 1; step <= 6; ++step) {
    const QPoint at = start + (target - start) * step / 6;
    QMouseEvent move(QEvent::MouseMove, at, from.mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&from, &move);
  }
  QTest::mouseRelease(&from, Qt::LeftButton, Qt::NoModifier, target);
}

class MultiFilterWindowTest : public ::testing::Test {
 protected:
  MultiFilterWindowTest() {
    test::WriteValues24(source, 2, kRate, test::MusicLike(2, 0.5, kRate));
    window.resize(900, 320);
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    test::ProcessEventsFor(20);  // the list lays its items out after a delay
  }

  FilterChain& Chain() { return window.Chain(); }
  ChainNode& Node(int position) { return *std::next(Chain().Nodes().begin(), position); }
  QWidget& ListViewport() { return *window.FilterList().viewport(); }
  QPoint ItemPoint(FilterTypeId type) {
    return window.FilterList().visualItemRect(window.FilterList().ItemOfType(type)).center();
  }
  void AddByDoubleClick(FilterTypeId type) {
    window.FilterList().scrollToItem(window.FilterList().ItemOfType(type));
    DoubleClick(ListViewport(), ItemPoint(type));
  }
  void DropOnGraph(FilterTypeId type, QPoint graphPoint) {
    window.FilterList().scrollToItem(window.FilterList().ItemOfType(type));
    Drag(ListViewport(), ItemPoint(type), window.Graph(), graphPoint);
  }
  QPoint Centre(int position) { return window.Graph().NodeCentre(Node(position)); }

  TestFolder files;
  const std::string source = files.File("source.wav");
  const std::string destination = files.File("out.wav");
  RunTestHost documentHost{source};
  ChainHost host{documentHost};
  MultiFilterWindow window{host};
};

TEST_F(MultiFilterWindowTest, BuildingTheChainWithTheMouse) {
  EXPECT_EQ(window.windowTitle(), "Multi-Filter");
  ASSERT_EQ(window.FilterList().count(), 20) << "every chain filter, without Input and Output";
  EXPECT_EQ(window.FilterList().item(0)->text(), "Impulse");
  EXPECT_EQ(ChainFilterListWidget::TypeOf(*window.FilterList().item(4)), kLowPass);

  AddByDoubleClick(kLowPass);
  AddByDoubleClick(kNotch);
  ASSERT_EQ(Types(Chain()), (std::vector<FilterTypeId>{kLowPass, kNotch}))
      << testing::PrintToString(documentHost.Answers().Texts());

  const GraphArea area = Chain().Area();
  const int middle = Node(0).y + 16;
  auto output = [this] { return Chain().Nodes().back().x; };
  struct DropCase {
    const char* what;
    FilterTypeId dropped;
    std::function<QPoint()> point;  // taken when the drop is made
    std::vector<FilterTypeId> expected;
  };
  const DropCase drops[] = {
      {"between Input and the first filter", kImpulse, [&] { return QPoint((Node(0).x + Node(1).x) / 2, middle); },
       {kImpulse, kLowPass, kNotch}},
      {"right of Output", kImpulse, [&] { return QPoint(output() + 1, middle); }, {kImpulse, kLowPass, kNotch}},
      {"outside the graph", kImpulse, [&] { return QPoint(area.right + 40, middle); }, {kImpulse, kLowPass, kNotch}},
      {"left of Input", kImpulse, [&] { return QPoint(area.left, middle); }, {kImpulse, kLowPass, kNotch}},
      {"just left of Output", kMedian, [&] { return QPoint(output() - 1, middle); },
       {kImpulse, kLowPass, kNotch, kMedian}},
  };
  for (const DropCase& drop : drops) {
    DropOnGraph(drop.dropped, drop.point());
    EXPECT_EQ(Types(Chain()), drop.expected) << drop.what;
  }

  // Moving the first filter to the right of the third, then dropping it outside deletes it.
  Drag(window.Graph(), Centre(1), window.Graph(), {Node(4).x - 2, middle});
  EXPECT_EQ(Types(Chain()), (std::vector<FilterTypeId>{kLowPass, kNotch, kImpulse, kMedian}));
  Drag(window.Graph(), Centre(2), window.Graph(), {area.left + 2, area.bottom + 30});
  EXPECT_EQ(Types(Chain()), (std::vector<FilterTypeId>{kLowPass, kImpulse, kMedian}));

  // The chain's two ends stay: dragged anywhere they neither move nor go.
  for (const int end : {0, 4}) {
    Drag(window.Graph(), Centre(end), window.Graph(), {area.right + 50, middle});
    Drag(window.Graph(), Centre(end), window.Graph(), Centre(2));
  }
  EXPECT_EQ(Types(Chain()), (std::vector<FilterTypeId>{kLowPass, kImpulse, kMedian}));
  EXPECT_EQ(Chain().Nodes().front().type, kChainInput);

  // The right button selects the node under it; "Delete Filter" deletes that one.
  EXPECT_TRUE(ChooseFromContextMenu(window.Graph(), Centre(2), "Delete Filter"));
  EXPECT_EQ(Types(Chain()), (std::vector<FilterTypeId>{kLowPass, kMedian}));
  EXPECT_FALSE(ChooseFromContextMenu(window.Graph(), Centre(3), "Delete Filter")) << "not for Output";
  EXPECT_TRUE(Node(3).selected);
  EXPECT_FALSE(Node(1).selected);
  EXPECT_EQ(Types(Chain()), (std::vector<FilterTypeId>{kLowPass, kMedian}));
}

TEST_F(MultiFilterWindowTest, ANodesSettingsWindowShowsAndChangesThatNodesEngine) {
  AddByDoubleClick(kImpulse);
  AddByDoubleClick(kImpulse);
  FilterProcessor& first = *Node(1).processor;
  FilterProcessor& second = *Node(2).processor;
  const PresetValues untouched = second.GetValues();

  DoubleClick(window.Graph(), Centre(1));
  auto* settings = dynamic_cast<ImpulseDialog*>(host.Window(kImpulse).get());
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(settings->windowTitle(), "Impulse 1");
  EXPECT_EQ(settings->Logic().AttachedEngine(), &first);
  EXPECT_EQ(Node(1).dialog, settings);
  settings->ThresholdPair().Edit().selectAll();
  QTest::keyClicks(&settings->ThresholdPair().Edit(), "3000");
  QTest::keyClick(&settings->ThresholdPair().Edit(), Qt::Key_Return);
  EXPECT_EQ(first.GetValues().p[0], 3000);
  EXPECT_EQ(second.GetValues(), untouched);

  // The open window turns to the second node: its values, and the first keeps its own.
  DoubleClick(window.Graph(), Centre(2));
  EXPECT_EQ(settings->windowTitle(), "Impulse 2");
  EXPECT_EQ(settings->ThresholdPair().Value(), untouched.p[0]);
  EXPECT_EQ(first.dialogAttached, 0);
  EXPECT_EQ(second.dialogAttached, 1);
  settings->ThresholdPair().Edit().selectAll();
  QTest::keyClicks(&settings->ThresholdPair().Edit(), "2000");
  QTest::keyClick(&settings->ThresholdPair().Edit(), Qt::Key_Return);
  EXPECT_EQ(second.GetValues().p[0], 2000);
  // Closed and opened again for the first node, it shows that node's values; opening loads
  // "Default" into neither engine.
  settings->close();
  DoubleClick(window.Graph(), Centre(1));
  EXPECT_EQ(settings->ThresholdPair().Value(), 3000);
  EXPECT_EQ(first.GetValues().p[0], 3000);
  EXPECT_EQ(second.GetValues().p[0], 2000);

  // Input asks for live input; Output opens nothing.
  int liveRequests = 0;
  QObject::connect(&window, &MultiFilterWindow::liveRequested, [&] { ++liveRequests; });
  DoubleClick(window.Graph(), Centre(0));
  QTest::mouseClick(&window.LiveButton(), Qt::LeftButton);
  DoubleClick(window.Graph(), Centre(3));
  EXPECT_EQ(liveRequests, 2);
  EXPECT_TRUE(documentHost.Answers().Texts().empty());

  // A settings window that goes away leaves no node pointing at it.
  host.Window(kImpulse).reset();
  EXPECT_EQ(Node(1).dialog, nullptr);
}

TEST_F(MultiFilterWindowTest, RunFilterWritesWhatTheFiltersWriteOneAfterTheOther) {
  const std::vector<SampleValue> values = test::MusicLike(2, 1.0, kRate);
  test::WriteValues24(source, 2, kRate, values);
  documentHost.SetDestination(destination);
  AddByDoubleClick(kLowPass);
  AddByDoubleClick(kNotch);
  DoubleClick(window.Graph(), Centre(1));
  auto* settings = dynamic_cast<FilterDialog*>(host.Window(kLowPass).get());
  ASSERT_NE(settings, nullptr);
  QLineEdit* field = &settings->FirstPair().Edit();

  int pumps = 0;
  bool lockedDuringRun = true;
  documentHost.SetPump([&] {
    ++pumps;
    lockedDuringRun = lockedDuringRun && !field->isEnabled() && !window.FilterList().isEnabled() &&
                      !window.PresetBox().isEnabled();
  });
  QTest::mouseClick(&window.RunButton(), Qt::LeftButton);
  ASSERT_TRUE(test::ReadValues24(destination).size() > 0) << testing::PrintToString(documentHost.Answers().Texts());
  EXPECT_GT(pumps, 0);
  EXPECT_TRUE(lockedDuringRun);
  EXPECT_TRUE(field->isEnabled() && window.FilterList().isEnabled() && window.PresetBox().isEnabled());

  std::vector<SampleValue> expected = values;
  for (const FilterTypeId type : {kLowPass, kNotch}) {
    std::unique_ptr<FilterProcessor> engine;
    ASSERT_EQ(CreateFilterProcessor(type, engine, documentHost.Answers()), 1);
    expected = test::RunEngine(*engine, 2, kRate, expected);
  }
  EXPECT_EQ(test::ReadValues24(destination), expected);
  EXPECT_NE(expected, values);
}

TEST_F(MultiFilterWindowTest, DuringARunBypassActsAtOnceAndCloseOnlyStopsTheRun) {
  test::WriteValues24(source, 2, kRate, test::MusicLike(2, 3.0, kRate));
  documentHost.SetDestination(destination);
  AddByDoubleClick(kLowPass);
  AddByDoubleClick(kNotch);
  int pumps = 0;
  documentHost.SetPump([&] {
    ++pumps;
    if (pumps == 2) {
      QTest::mouseClick(&window.BypassBox(), Qt::LeftButton);
      EXPECT_EQ(Node(1).processor->bypass, 1);
      EXPECT_EQ(Node(2).processor->bypass, 1);
    }
    if (pumps == 3) QTest::mouseClick(&window.CloseButton(), Qt::LeftButton);
  });
  QTest::mouseClick(&window.RunButton(), Qt::LeftButton);
  documentHost.SetPump({});
  EXPECT_LT(pumps, 20) << "the run stopped long before the end of its 3 seconds";
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(Types(Chain()), (std::vector<FilterTypeId>{kLowPass, kNotch}));
  EXPECT_FALSE(window.RunInProgress());
}

TEST_F(MultiFilterWindowTest, ClosingWithAutoSaveKeepsTheChainAsDefault) {
  documentHost.Settings().Write(setting::kAutoSaveDefault, 1);
  AddByDoubleClick(kImpulse);
  AddByDoubleClick(kLowPass);
  window.close();
  EXPECT_EQ(Chain().FilterCount(), 0);
  std::ifstream presets(documentHost.PresetFilePath());
  std::stringstream text;
  text << presets.rdbuf();
  EXPECT_NE(text.str().find("[FilterGraphSet]"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("Default=15,19,-1,-1,-1,-1,-1,-1,-1,-1, -1"), std::string::npos) << text.str();

  window.show();  // opening loads "Default"
  EXPECT_EQ(Types(Chain()), (std::vector<FilterTypeId>{kImpulse, kLowPass}));
  EXPECT_EQ(window.PresetBox().currentText(), "Default");
}

TEST_F(MultiFilterWindowTest, ThePresetRowSavesChoosesAndDeletesWholeChains) {
  AddByDoubleClick(kImpulse);
  AddByDoubleClick(kImpulse);
  test::WhenModalOpens([](QDialog& named) {
    named.findChild<QLineEdit*>()->setText("Tape");
    named.accept();
  });
  QTest::mouseClick(&window.SaveButton(), Qt::LeftButton);
  EXPECT_EQ(window.PresetBox().currentText(), "Tape");

  AddByDoubleClick(kLowPass);
  const int tape = window.PresetBox().Find("Tape");
  ASSERT_GE(tape, 0);
  window.PresetBox().setCurrentIndex(tape);
  emit window.PresetBox().activated(tape);  // as choosing it in the open list does
  EXPECT_EQ(Types(Chain()), (std::vector<FilterTypeId>{kImpulse, kImpulse}));

  documentHost.Answers().Script(PromptAnswer::Yes);
  QTest::mouseClick(&window.DeleteButton(), Qt::LeftButton);
  EXPECT_EQ(window.PresetBox().Find("Tape"), -1);
  std::vector<FilterTypeId> stored;
  EXPECT_FALSE(FilterChain::ReadChainPresetTypes("Tape", stored)) << "the chain preset is gone from the file";
}

TEST_F(MultiFilterWindowTest, TheLogFileNameComesFromTheSettingsAndLogToDiskActsAtOnce) {
  const QString chosen = QString::fromStdString(files.File("take.wav"));
  window.SetLogFileName(chosen);
  EXPECT_EQ(documentHost.Settings().Read(setting::kLogFileName), chosen.toStdString());
  window.close();
  window.LogNameField().clear();
  window.show();
  EXPECT_EQ(window.LogNameField().text(), chosen);

  QTest::mouseClick(&window.LogBox(), Qt::LeftButton);
  EXPECT_EQ(documentHost.Run().logToFile, 1);
  QTest::mouseClick(&window.LogBox(), Qt::LeftButton);
  EXPECT_EQ(documentHost.Run().logToFile, 0);
}

TEST(FilterIcons, EveryChainRowHasItsOwnIconOnATransparentTile) {
  std::vector<QImage> seen;
  const int rows = static_cast<int>(ChainFilterList().size());
  for (int row = 0; row < rows; ++row) {
    const QImage icon = FilterIconPixmap(row).toImage();
    ASSERT_EQ(icon.size(), QSize(kFilterIconSize, kFilterIconSize)) << row;
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << row << ": the corners are transparent";
    EXPECT_EQ(qAlpha(icon.pixel(18, 3)), 255) << row << ": the tile is opaque";
    for (const QImage& other : seen) EXPECT_NE(icon, other) << row << " looks like an earlier icon";
    seen.push_back(icon);
  }
  EXPECT_TRUE(FilterIconPixmap(rows).isNull());
  EXPECT_TRUE(FilterIconPixmap(-1).isNull());
  EXPECT_EQ(FilterIcon(7).pixmap(kFilterIconSize).toImage(), FilterIconPixmap(8).toImage()) << "the second median";
  for (const FilterTypeEntry& entry : BatchFilterList()) EXPECT_FALSE(FilterIcon(entry.typeId).isNull()) << entry.typeId;
}

TEST_F(MultiFilterWindowTest, Screenshot) {
  for (const FilterTypeId type : {kImpulse, kLowPass, kNotch, 8, kMedian, 2}) AddByDoubleClick(type);
  Chain().Select(&Node(2));
  window.FilterList().scrollToTop();
  window.Graph().update();
  ASSERT_EQ(Chain().FilterCount(), 6) << testing::PrintToString(documentHost.Answers().Texts());
  EXPECT_FALSE(test::SaveScreenshot(window, "multi_filter_window").isEmpty());

  // Every icon at twice its size, for a person to look at.
  const int rows = static_cast<int>(ChainFilterList().size());
  QPixmap sheet(rows * 80, 90);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  for (int row = 0; row < rows; ++row)
    painter.drawPixmap(QRect(row * 80 + 4, 4, 72, 72), FilterIconPixmap(row));
  painter.end();
  QLabel picture;
  picture.setPixmap(sheet);
  picture.resize(sheet.size());
  EXPECT_FALSE(test::SaveScreenshot(picture, "filter_icons").isEmpty());
}

}  // namespace
}  // namespace ztlive
