// One document window: the document (source and destination) and its two-pane view. It is
// the view a filter run works through: the selection of the source pane is the run's region,
// the destination pane shows what the run wrote.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "app/document_view.h"
#include "document/filter_run.h"
#include "document/zanto_document.h"

namespace ztlive {

class AppCore;

class CChildFrame : public QWidget, public RunView {
  Q_OBJECT

 public:
  CChildFrame(AppCore& core, const std::string& sourcePath, QWidget* parent = nullptr);
  ~CChildFrame() override;

  // False when the source could not be shown (the message has been shown).
  bool Opened() const { return m_opened; }
  DocumentView& View() { return *m_view; }
  CZantoDoc& Document() override { return *m_document; }

  // RunView
  void Selection(int64_t& first, int64_t& last) override;
  void SetDestinationName(const std::string& name) override;
  void MakeDestinationPaneActive() override;
  void StartCursorTimer() override;
  void ShowStatus(const std::string& text) override;
  void RefreshAll() override;
  void SetWaitCursor(bool on) override;

  // Asked before the window closes (the user may keep it open, or save what is unsaved);
  // false keeps the window open.
  void SetCloseGuard(std::function<bool(CChildFrame&)> guard) { m_closeGuard = std::move(guard); }

  // Shows the document's current source and destination again (after the destination
  // commands) and updates the caption.
  void ShowDocumentFiles();

 signals:
  void statusText(const QString& text);
  void documentChanged();

 protected:
  // Once the guard agrees, the document's unsaved temporary files are deleted.
  void closeEvent(QCloseEvent* event) override;

 private:
  void UpdateCaption();

  AppCore& m_core;
  std::unique_ptr<CZantoDoc> m_document;
  DocumentView* m_view = nullptr;
  bool m_opened = false;
  std::function<bool(CChildFrame&)> m_closeGuard;
};

}  // namespace ztlive
