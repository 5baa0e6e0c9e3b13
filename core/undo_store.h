// The undo store of a document: before an edit changes a byte range of a file, the range is
// copied into a temporary wave file; undoing copies it back (or, for a cut, inserts it again,
// and for a paste insert cuts the inserted range out). Entries are kept newest first, at
// most maxLevels of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/prompts.h"

namespace ztlive {

enum UndoAction : int32_t {
  kUndoMute = 0,
  kUndoLinearFade = 1,
  kUndoLogFadeIn = 2,
  kUndoLogFadeOut = 3,
  kUndoPasteOver = 5,
  kUndoPasteInsert = 6,
  kUndoCut = 7,
  kUndoGainChange = 8,
  kUndoMix = 9,
  kUndoCrossFade = 10,
  // A filter run that wrote over part of an existing destination; undoing it also cuts off
  // what the run added beyond the file's old end.
  kUndoFilter = 11,
};

enum UndoPane : int32_t { kPaneDestination = 0, kPaneSource = 1 };

struct UndoEntry {
  UndoAction action = kUndoMute;
  UndoPane pane = kPaneDestination;
  uint32_t start = 0;        // data byte offset where the changed range starts
  uint32_t end = 0;          // one past it (a cut: what was removed; an insert: what was inserted)
  int32_t done = 0;
  std::string target;        // the edited file
  std::string savedCopy;     // the old bytes; empty for a paste insert
  int32_t channels = 1;
  int32_t sampleRate = 44100;
  int32_t bytesPerFrame = 0;
  std::string label;         // a filter run: the filter's display name, shown in the menu
  uint64_t targetLength = 0; // a filter run: the target's data length before the run
};

// One item of the "Undo " submenu.
struct UndoMenuItem {
  int commandId;   // 34000 + index
  std::string text;
  bool routed;     // only the first 20 ids reach the apply command
  bool enabled;
};

class UndoStore {
 public:
  static constexpr int kFirstCommandId = 34000;
  static constexpr int kRoutedCommands = 20;

  // maxLevels: the setting "MaxUndoLevs", held to 1 ... 500.
  UndoStore(int maxLevels, std::string tempFolder, Prompts& prompts);
  ~UndoStore() { ClearUndo(); }
  UndoStore(const UndoStore&) = delete;
  UndoStore& operator=(const UndoStore&) = delete;

  // Saves the range [start, end) of target before an edit: 1 recorded, 0 failed (the edit then
  // asks whether to go on without undo).
  int RecordUndo(UndoAction action, UndoPane pane, const std::string& target, uint32_t start, uint32_t end);
  // Before a filter run writes over [start, end) of an existing file: saves the part of that
  // range the file holds and its length, so undoing also removes what the run appended.
  // 1 recorded, 0 failed.
  int RecordFilterUndo(UndoPane pane, const std::string& target, uint32_t start, uint32_t end, std::string label);
  // Undoes entry index (0 is the newest): its action, or -1; start and end give its range.
  int ApplyUndo(int index, uint32_t& start, uint32_t& end);
  // Removes an entry and its saved copy: 1, or -1 for an index the store does not hold.
  int RemoveUndoEntry(int index);
  void ClearUndo();
  // The menu text of an entry, e.g. "Undo Dest: Cut  00:01.250-00:02.000".
  std::string DescribeUndoEntry(int index) const;
  // The submenu's items, newest first; one disabled "No Undo's Available" when empty.
  std::vector<UndoMenuItem> MenuItems() const;

  int Count() const { return static_cast<int>(m_entries.size()); }
  int MaxLevels() const { return m_maxLevels; }
  const UndoEntry& Entry(int index) const { return m_entries[static_cast<size_t>(index)]; }

 private:
  std::vector<UndoEntry> m_entries;  // newest first
  int m_maxLevels;
  std::string m_tempFolder;
  Prompts& m_prompts;
};

}  // namespace ztlive
