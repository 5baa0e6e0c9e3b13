#include "app/child_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QVBoxLayout>

#include "app/app_core.h"
#include "document/destination_files.h"
#include "platform/string_table.h"

namespace ztlive {

CChildFrame::CChildFrame(AppCore& core, const std::string& sourcePath, QWidget* parent)
    : QWidget(parent), m_core(core) {
  setAttribute(Qt::WA_DeleteOnClose);
  m_document = std::make_unique<CZantoDoc>(sourcePath, core.Settings(), core.GetPrompts());
  m_view = new DocumentView(core.Run(), core.GetPrompts(), core.Engine(), core.Settings(), this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_view);
  m_view->ShowFiles(sourcePath, "");
  m_opened = m_view->State().Pane(PaneId::Source).FileName() == sourcePath;
  if (!m_opened) core.GetPrompts().Show(std::string(StringText(StringId::kRangeReadError)), "", PromptIcon::Error);
  m_view->SetSync(m_document->SyncMode() != 0);
  UpdateCaption();
}

CChildFrame::~CChildFrame() = default;

void CChildFrame::closeEvent(QCloseEvent* event) {
  if (m_closeGuard && !m_closeGuard(*this)) {
    event->ignore();
    return;
  }
  DeleteTemporaryFiles(*m_document);
  event->accept();
}

void CChildFrame::Selection(int64_t& first, int64_t& last) {
  const WavePane& source = m_view->State().Pane(PaneId::Source);
  // An empty selection runs over the whole file.
  if (source.SelectionEnd() <= source.SelectionStart()) {
    first = last = 0;
    return;
  }
  first = static_cast<int64_t>(source.SelectionStart());
  last = static_cast<int64_t>(source.SelectionEnd());
}

void CChildFrame::SetDestinationName(const std::string&) { ShowDocumentFiles(); }

void CChildFrame::MakeDestinationPaneActive() {
  m_view->SetActivePane(PaneId::Destination);
}

void CChildFrame::StartCursorTimer() { m_view->StartCursorTimer(); }

void CChildFrame::ShowStatus(const std::string& text) { emit statusText(QString::fromStdString(text)); }

void CChildFrame::RefreshAll() {
  ShowDocumentFiles();
  m_view->RefreshPanes();
  emit statusText(QString());
}

void CChildFrame::SetWaitCursor(bool on) {
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void CChildFrame::ShowDocumentFiles() {
  m_view->ShowFiles(m_document->SourceName(), m_document->DestinationName());
  m_view->SetSync(m_document->SyncMode() != 0);
  UpdateCaption();
  emit documentChanged();
}

void CChildFrame::UpdateCaption() {
  QString caption = QFileInfo(QString::fromStdString(m_document->SourceName())).fileName();
  if (!m_document->DestinationName().empty())
    caption += QStringLiteral(" \u2192 ") + QFileInfo(QString::fromStdString(m_document->DestinationName())).fileName();
  setWindowTitle(caption + QStringLiteral("[*]"));
  setWindowModified(m_document->Modified());
}

}  // namespace ztlive
