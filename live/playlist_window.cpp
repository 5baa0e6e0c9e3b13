#include "live/playlist_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr int kPollMs = 50;

QString Qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QPushButton* MakeButton(const char* text, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setAutoDefault(false);  // Enter in the name field must not press a button
  button->setDefault(false);
  return button;
}

}  // namespace

PlaylistWindow::PlaylistWindow(PlaylistWindowHost& host, QWidget* parent)
    : QDialog(parent),
      m_host(host),
      m_list(host.WindowPrompts()),
      m_player(host.Devices(), host.Run(), m_list),
      m_name(new QLineEdit(this)),
      m_entries(new QTreeWidget(this)),
      m_total(new QLabel(this)),
      m_addButton(MakeButton("Add Files", this)),
      m_deleteButton(MakeButton("Delete File", this)),
      m_upButton(MakeButton("MOVEUP", this)),
      m_downButton(MakeButton("MOVEDOWN", this)),
      m_auditionButton(MakeButton("Audition", this)),
      m_playButton(MakeButton("Play List", this)),
      m_saveButton(MakeButton("Save", this)),
      m_closeButton(MakeButton("Close", this)) {
  setWindowTitle(Qs(StringText(StringId::kCaptionPlayListEditor)));
  setObjectName(QStringLiteral("playListEditor"));
  m_chooseFiles = [this] { return AskFiles(); };

  m_entries->setColumnCount(2);
  m_entries->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Length")});
  m_entries->setRootIsDecorated(false);
  m_entries->setUniformRowHeights(true);
  m_entries->setSelectionMode(QAbstractItemView::SingleSelection);
  m_entries->header()->setStretchLastSection(false);
  m_entries->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_entries->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  m_entries->setMinimumSize(460, 220);

  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(new QLabel(QStringLiteral("Playlist Name"), this));
  nameRow->addWidget(m_name, 1);

  auto* totalRow = new QHBoxLayout;
  totalRow->addWidget(new QLabel(QStringLiteral("Total Time:"), this));
  totalRow->addWidget(m_total);
  totalRow->addStretch(1);

  auto* left = new QVBoxLayout;
  left->addLayout(nameRow);
  left->addWidget(m_entries, 1);
  left->addLayout(totalRow);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {m_addButton, m_deleteButton, m_upButton, m_downButton}) buttons->addWidget(button);
  buttons->addSpacing(12);
  buttons->addWidget(m_auditionButton);
  buttons->addWidget(m_playButton);
  buttons->addStretch(1);
  buttons->addWidget(m_saveButton);
  buttons->addWidget(m_closeButton);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(buttons);

  connect(m_addButton, &QPushButton::clicked, this, &PlaylistWindow::AddFiles);
  connect(m_deleteButton, &QPushButton::clicked, this, &PlaylistWindow::DeleteFile);
  connect(m_upButton, &QPushButton::clicked, this, &PlaylistWindow::MoveUp);
  connect(m_downButton, &QPushButton::clicked, this, &PlaylistWindow::MoveDown);
  connect(m_auditionButton, &QPushButton::clicked, this, &PlaylistWindow::Audition);
  connect(m_playButton, &QPushButton::clicked, this, &PlaylistWindow::PlayList);
  connect(m_saveButton, &QPushButton::clicked, this, [this] { Save(); });
  connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
  connect(m_entries, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { ShowFileInformation(m_entries->indexOfTopLevelItem(item)); });

  m_player.SetEntryStarted([this](int index) {
    SelectIndex(index);
    m_playButton->setText(QStringLiteral("Stop List"));
  });
  m_player.SetListEnded([this] { m_playButton->setText(QStringLiteral("Play List")); });
  m_pollTimer.setInterval(kPollMs);
  connect(&m_pollTimer, &QTimer::timeout, this, &PlaylistWindow::OnPollTimer);
  ShowEntries(-1);
}

PlaylistWindow::~PlaylistWindow() = default;

bool PlaylistWindow::Load(const QString& path, const QStringList& files) {
  m_name->setText(path);
  const Playlist::OpenResult result = m_list.Open(path.toStdString());
  if (result == Playlist::OpenResult::CannotOpen) return false;
  if (result == Playlist::OpenResult::Missing) {
    for (const QString& file : files)
      if (!m_list.AddEntry(file.toStdString())) break;
  }
  ShowEntries(-1);
  return true;
}

QStringList PlaylistWindow::AskFiles() {
  QFileDialog dialog(this, QStringLiteral("Add Files"), Qs(m_host.Settings().Read(setting::kLastPath)),
                     QStringLiteral("Wave file (*.wav);;All files (*.*)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setDefaultSuffix(QStringLiteral("wav"));
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

void PlaylistWindow::AddFiles() {
  const QStringList files = m_chooseFiles();
  for (const QString& file : files) {
    if (!m_list.AddEntry(file.toStdString())) break;  // the first failure ends the adding
  }
  ShowEntries(SelectedIndex());
}

void PlaylistWindow::DeleteFile() {
  const int index = SelectedIndex();
  if (!m_list.Delete(index)) return;
  ShowEntries(std::min(index, m_list.Count() - 1));
}

void PlaylistWindow::MoveUp() {
  const int index = SelectedIndex();
  if (m_list.MoveUp(index)) ShowEntries(index - 1);
}

void PlaylistWindow::MoveDown() {
  const int index = SelectedIndex();
  if (m_list.MoveDown(index)) ShowEntries(index + 1);
}

void PlaylistWindow::Audition() {
  if (m_player.AudioPlaying()) {
    m_auditionButton->setText(QStringLiteral("Audition"));
    m_player.Stop();
    return;
  }
  const int index = SelectedIndex();
  if (index < 0) {
    m_host.WindowPrompts().Show(StringText(StringId::kPlaylistSelectFirst), StringText(StringId::kCaptionAuditionFile),
                                PromptIcon::Warning);
    return;
  }
  m_auditionButton->setText(QStringLiteral("Stop"));
  if (m_player.Audition(m_list.Entries()[static_cast<size_t>(index)].path) != 0) {
    m_auditionButton->setText(QStringLiteral("Audition"));
    return;
  }
  m_pollTimer.start();
}

void PlaylistWindow::PlayList() {
  if (m_player.ListPlaying()) {
    m_player.Stop();
    return;
  }
  m_auditionButton->setText(QStringLiteral("Audition"));
  m_player.StartList(SelectedIndex());
  if (m_player.ListPlaying()) m_pollTimer.start();
}

void PlaylistWindow::OnPollTimer() {
  m_player.Poll();
  if (m_player.AudioPlaying()) return;
  // The audition's file, or the list, has ended.
  m_auditionButton->setText(QStringLiteral("Audition"));
  if (!m_player.ListPlaying()) m_pollTimer.stop();
}

bool PlaylistWindow::Save() {
  if (!m_list.Save(m_name->text().toStdString())) return false;
  ShowEntries(SelectedIndex());
  return true;
}

void PlaylistWindow::ShowFileInformation(int index) {
  if (index < 0 || index >= m_list.Count()) return;
  PlaylistEntry entry = m_list.Entries()[static_cast<size_t>(index)];
  const std::string caption = QFileInfo(Qs(entry.path)).fileName().toStdString();
  if (!ReadEntryFormat(entry)) {
    m_host.WindowPrompts().Show(FormatText(StringId::kPlaylistFileMissing, {entry.path, PlayingTimeText(entry.storedMs)}),
                                caption, PromptIcon::Warning);
    return;
  }
  const std::string_view layout = StringText(entry.channels == 2 ? StringId::kCliStereo : StringId::kCliMono);
  m_host.WindowPrompts().Show(
      FormatText(StringId::kPlaylistFileInfo,
                 {entry.path, std::to_string(entry.sampleRate), std::to_string(entry.bitsPerSample), layout,
                  PlayingTimeText(entry.trueMs), std::to_string(entry.fileDataBytes)}),
      caption, PromptIcon::Information);
}

int PlaylistWindow::SelectedIndex() const {
  const QList<QTreeWidgetItem*> selected = m_entries->selectedItems();
  return selected.isEmpty() ? -1 : m_entries->indexOfTopLevelItem(selected.front());
}

void PlaylistWindow::SelectIndex(int index) {
  m_entries->clearSelection();
  if (QTreeWidgetItem* item = m_entries->topLevelItem(index); item != nullptr) {
    item->setSelected(true);
    m_entries->setCurrentItem(item);
    m_entries->scrollToItem(item);
  }
}

void PlaylistWindow::ShowEntries(int selected) {
  m_entries->clear();
  for (const PlaylistEntry& entry : m_list.Entries()) {
    auto* item = new QTreeWidgetItem(m_entries);
    item->setText(0, Qs(entry.path));
    item->setText(1, Qs(PlayingTimeText(entry.ShownMs())));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    if (!entry.available) {
      // The file cannot be read now: its stored length stands in for the true one.
      item->setText(0, Qs(entry.path) + QStringLiteral("  (cannot be read)"));
      for (int column = 0; column < 2; ++column) item->setForeground(column, palette().brush(QPalette::Disabled, QPalette::Text));
    }
  }
  SelectIndex(selected);
  m_total->setText(Qs(m_list.TotalText()));
}

void PlaylistWindow::closeEvent(QCloseEvent* event) {
  if (m_list.Modified()) {
    const PromptAnswer answer =
        m_host.WindowPrompts().Ask(StringText(StringId::kPlaylistModified), StringText(StringId::kCaptionPlayListEditor),
                                   PromptButtons::YesNo, PromptIcon::Question);
    // A list that could not be saved is not lost: the window stays open.
    if (answer == PromptAnswer::Yes && !Save()) {
      event->ignore();
      return;
    }
  }
  m_pollTimer.stop();
  if (m_player.AudioPlaying() || m_player.ListPlaying()) m_player.Stop();
  m_list.Clear();
  ShowEntries(-1);
  event->accept();
  QDialog::done(QDialog::Rejected);
}

void PlaylistWindow::reject() { close(); }

QString AskPlaylistPath(QWidget* parent, const QString& folder) {
  QFileDialog dialog(parent, QStringLiteral("Open Playlist"), folder,
                     QStringLiteral("Wave Playlist (*.wls);;All files (*.*)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);  // a list that does not exist yet is made
  dialog.setDefaultSuffix(QStringLiteral("wls"));
  dialog.selectFile(QStringLiteral("untitled.wls"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

void RunPlaylistEditor(PlaylistWindowHost& host, QWidget* parent) {
  const QString last = Qs(host.Settings().Read(setting::kLastPath));
  const QString path = AskPlaylistPath(parent, last.isEmpty() ? QString() : QFileInfo(last).path());
  if (path.isEmpty()) return;
  RunPlaylistEditor(host, path, {}, parent);
}

void RunPlaylistEditor(PlaylistWindowHost& host, const QString& path, const QStringList& files, QWidget* parent) {
  PlaylistWindow window(host, parent);
  if (!window.Load(path, files)) return;
  window.exec();
}

}  // namespace ztlive
