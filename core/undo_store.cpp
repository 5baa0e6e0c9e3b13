#include "core/undo_store.h"

#include <algorithm>
#include <cstdio>

#include "core/temp_files.h"
#include "core/wave_ranges.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

StringId ActionName(UndoAction action) {
  switch (action) {
    case kUndoMute:
      return StringId::kUndoMute;
    case kUndoLinearFade:
      return StringId::kUndoLinearFade;
    case kUndoLogFadeIn:
      return StringId::kUndoLogFadeIn;
    case kUndoLogFadeOut:
      return StringId::kUndoLogFadeOut;
    case kUndoPasteOver:
      return StringId::kUndoPasteOver;
    case kUndoPasteInsert:
      return StringId::kUndoPasteInsert;
    case kUndoCut:
      return StringId::kUndoCut;
    case kUndoGainChange:
      return StringId::kUndoGainChange;
    case kUndoMix:
      return StringId::kUndoMix;
    case kUndoCrossFade:
      return StringId::kUndoCrossFade;
    case kUndoFilter:
      return StringId::kUndoFilter;
  }
  return StringId::kUndoUnknown;
}

bool IsKnown(UndoAction action) { return ActionName(action) != StringId::kUndoUnknown; }

// "%M:%S" and ".%03d": minutes within the hour, seconds, milliseconds.
std::string MenuTime(uint32_t offset, const UndoEntry& entry) {
  const uint64_t bytesPerSecond = static_cast<uint64_t>(std::max(entry.sampleRate, 1)) * std::max(entry.bytesPerFrame, 1);
  const uint64_t milliseconds = static_cast<uint64_t>(offset) * 1000 / bytesPerSecond;
  const uint64_t seconds = milliseconds / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%02llu:%02llu.%03llu", static_cast<unsigned long long>(seconds / 60 % 60),
                static_cast<unsigned long long>(seconds % 60), static_cast<unsigned long long>(milliseconds % 1000));
  return text;
}

}  // namespace

UndoStore::UndoStore(int maxLevels, std::string tempFolder, Prompts& prompts)
    : m_maxLevels(std::clamp(maxLevels, 1, 500)), m_tempFolder(std::move(tempFolder)), m_prompts(prompts) {}

int UndoStore::RecordUndo(UndoAction action, UndoPane pane, const std::string& target, uint32_t start, uint32_t end) {
  UndoEntry entry;
  entry.action = action;
  entry.pane = pane;
  entry.start = start;
  entry.end = end;
  entry.target = target;

  WaveInfo info;
  if (action == kUndoPasteInsert) {
    // Undoing an insert removes the inserted range: nothing to save.
    if (ReadWaveInfo(target, info, m_prompts) != 0) return 0;
  } else {
    entry.savedCopy = MakeTempFileName(m_tempFolder, m_prompts);
    if (entry.savedCopy.empty()) return 0;
    if (CopyRange(target, entry.savedCopy, start, end, 0, 0, m_prompts) != 1 ||
        ReadWaveInfo(entry.savedCopy, info, m_prompts) != 0) {
      DeleteFile(entry.savedCopy);
      return 0;
    }
  }
  entry.channels = info.channels;
  entry.sampleRate = static_cast<int32_t>(info.sampleRate);
  entry.bytesPerFrame = info.blockAlign;
  m_entries.insert(m_entries.begin(), std::move(entry));
  while (Count() > m_maxLevels) RemoveUndoEntry(Count() - 1);
  return 1;
}

int UndoStore::RecordFilterUndo(UndoPane pane, const std::string& target, uint32_t start, uint32_t end,
                                std::string label) {
  WaveInfo info;
  if (ReadWaveInfo(target, info, m_prompts) != 0) return 0;
  UndoEntry entry;
  entry.action = kUndoFilter;
  entry.pane = pane;
  entry.target = target;
  entry.label = std::move(label);
  entry.targetLength = info.dataBytes;
  // Only what the file holds now can be saved; the rest of the range is new and is cut off.
  entry.start = static_cast<uint32_t>(std::min<uint64_t>(start, info.dataBytes));
  entry.end = static_cast<uint32_t>(std::min<uint64_t>(std::max(start, end), info.dataBytes));
  if (entry.end > entry.start) {
    entry.savedCopy = MakeTempFileName(m_tempFolder, m_prompts);
    if (entry.savedCopy.empty()) return 0;
    if (CopyRange(target, entry.savedCopy, entry.start, entry.end, 0, 0, m_prompts) != 1) {
      DeleteFile(entry.savedCopy);
      return 0;
    }
  }
  entry.end = std::max(entry.end, end);  // the menu shows the whole range the run writes
  entry.channels = info.channels;
  entry.sampleRate = static_cast<int32_t>(info.sampleRate);
  entry.bytesPerFrame = info.blockAlign;
  m_entries.insert(m_entries.begin(), std::move(entry));
  while (Count() > m_maxLevels) RemoveUndoEntry(Count() - 1);
  return 1;
}

int UndoStore::ApplyUndo(int index, uint32_t& start, uint32_t& end) {
  if (index < 0 || index >= Count()) return -1;
  UndoEntry& entry = m_entries[static_cast<size_t>(index)];
  start = entry.start;
  end = entry.end;
  // A file deleted since (a discarded temporary destination) is never made again by an undo.
  if (!FileExists(entry.target)) {
    m_prompts.Show(FormatText(StringId::kUndoTargetGone, {entry.target}), StringText(StringId::kCaptionUndo),
                   PromptIcon::Warning);
    return -1;
  }
  switch (entry.action) {
    case kUndoCut:
      if (InsertFile(entry.target, entry.start, entry.savedCopy, m_tempFolder, m_prompts) != 1) {
        m_prompts.Show(StringText(StringId::kUndoCutRestoreFailed), StringText(StringId::kCaptionUndo),
                       PromptIcon::Error);
        return -1;  // the entry and its saved copy stay, so the cut audio is not lost
      }
      entry.done = 1;
      break;
    case kUndoPasteInsert:
      if (CutRange(entry.target, entry.start, entry.end, m_prompts) != 1) return -1;
      entry.done = 0;
      break;
    case kUndoFilter: {
      if (!entry.savedCopy.empty() &&
          CopyRange(entry.savedCopy, entry.target, 0, 0, entry.start, 0, m_prompts) != 1)
        return -1;
      WaveInfo info;
      if (ReadWaveInfo(entry.target, info, m_prompts) != 0) return -1;
      if (info.dataBytes > entry.targetLength &&
          CutRange(entry.target, entry.targetLength, info.dataBytes, m_prompts) != 1)
        return -1;
      break;
    }
    default:
      if (CopyRange(entry.savedCopy, entry.target, 0, 0, entry.start, entry.end, m_prompts) != 1) return -1;
      break;
  }
  return entry.action;
}

int UndoStore::RemoveUndoEntry(int index) {
  if (index < 0 || index >= Count()) return -1;
  const auto position = m_entries.begin() + index;
  if (!position->savedCopy.empty()) DeleteFile(position->savedCopy);
  m_entries.erase(position);
  return 1;
}

void UndoStore::ClearUndo() {
  for (const UndoEntry& entry : m_entries)
    if (!entry.savedCopy.empty()) DeleteFile(entry.savedCopy);
  m_entries.clear();
}

std::string UndoStore::DescribeUndoEntry(int index) const {
  if (m_entries.empty()) return std::string(StringText(StringId::kNoUndoAvailable));
  if (index < 0 || index >= Count()) return std::string(StringText(StringId::kUndoUnknown));
  const UndoEntry& entry = m_entries[static_cast<size_t>(index)];
  std::string text(StringText(entry.pane == kPaneSource ? StringId::kUndoSourcePrefix : StringId::kUndoDestPrefix));
  text += StringText(ActionName(entry.action));
  if (entry.action == kUndoFilter) text += entry.label;
  if (entry.action != kUndoMute && IsKnown(entry.action))
    text += " " + MenuTime(entry.start, entry) + "-" + MenuTime(entry.end, entry);
  return text;
}

std::vector<UndoMenuItem> UndoStore::MenuItems() const {
  std::vector<UndoMenuItem> items;
  if (m_entries.empty()) {
    items.push_back({kFirstCommandId, DescribeUndoEntry(0), false, false});
    return items;
  }
  for (int i = 0; i < Count(); ++i)
    items.push_back({kFirstCommandId + i, DescribeUndoEntry(i), i < kRoutedCommands, i < kRoutedCommands});
  return items;
}

}  // namespace ztlive
