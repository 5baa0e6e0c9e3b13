#include "document/zanto_document.h"

namespace ztlive {

namespace {

int UndoLevels(const SettingsStore& settings) {
  const int32_t levels = settings.Read(setting::kMaxUndoLevs);
  return levels <= 0 || levels > 500 ? 10 : levels;
}

}  // namespace

CZantoDoc::CZantoDoc(std::string sourceName, SettingsStore& settings, Prompts& prompts)
    : m_sourceName(std::move(sourceName)),
      m_syncMode(settings.Read(setting::kSyncMode) != 0 ? 1 : 0),
      m_settings(settings),
      m_prompts(prompts),
      m_tempFolder(settings.Read(setting::kTempPath)),
      m_undo(std::make_unique<UndoStore>(UndoLevels(settings), m_tempFolder, prompts)) {
  (void)m_reserved;
}

void CZantoDoc::SetDestinationName(std::string name, bool temporary) {
  m_destinationName = std::move(name);
  m_destinationIsTemporary = temporary;
}

void CZantoDoc::ClearDestination() {
  m_destinationName.clear();
  m_destinationIsTemporary = false;
}

void CZantoDoc::ToggleSyncMode() {
  m_syncMode = m_syncMode ? 0 : 1;
  m_settings.Write(setting::kSyncMode, m_syncMode);
}

}  // namespace ztlive
