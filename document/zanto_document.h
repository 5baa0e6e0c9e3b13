// A document: the source wave file the user opened and selects in, and the destination file
// that receives what the filters produce (none yet, a temporary file, or a file of the user's).
#pragma once

#include <memory>
#include <string>

#include "core/undo_store.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

namespace ztlive {

class CZantoDoc {
 public:
  CZantoDoc(std::string sourceName, SettingsStore& settings, Prompts& prompts);

  const std::string& SourceName() const { return m_sourceName; }
  void SetSourceName(std::string name) { m_sourceName = std::move(name); }
  // The source is a temporary file recovered from an ended session, not yet saved by the user.
  bool SourceIsTemporary() const { return m_sourceIsTemporary; }
  void SetSourceIsTemporary(bool temporary) { m_sourceIsTemporary = temporary; }

  const std::string& DestinationName() const { return m_destinationName; }
  // A destination the user has named, or (temporary = true) one made in the temporary folder.
  void SetDestinationName(std::string name, bool temporary);
  void ClearDestination();
  bool DestinationIsTemporary() const { return m_destinationIsTemporary; }

  int SyncMode() const { return m_syncMode; }
  // The Sync command: toggles the mode and stores it at once.
  void ToggleSyncMode();
  // For this document only (the setting is left as it is).
  void SetSyncMode(int mode) { m_syncMode = mode ? 1 : 0; }

  bool Modified() const { return m_modified; }
  void SetModified(bool modified) { m_modified = modified; }

  UndoStore& Undo() { return *m_undo; }
  // The folder for temporary destinations and undo copies.
  const std::string& TempFolder() const { return m_tempFolder; }
  SettingsStore& Settings() { return m_settings; }
  Prompts& GetPrompts() { return m_prompts; }

 private:
  std::string m_sourceName;
  bool m_sourceIsTemporary = false;
  std::string m_destinationName;
  bool m_destinationIsTemporary = false;
  int m_syncMode = 1;
  bool m_modified = false;
  int m_reserved = 0;
  SettingsStore& m_settings;
  Prompts& m_prompts;
  std::string m_tempFolder;
  std::unique_ptr<UndoStore> m_undo;
};

}  // namespace ztlive
