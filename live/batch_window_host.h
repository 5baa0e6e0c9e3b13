// What the "Batch Editor" needs of the application around it: the filter's own settings window
// (or the chain window) to load the preset and run in, the documents each file of the list is
// opened, selected, saved and closed in, the sound card for an audition, and the process-wide
// run state, settings and prompts. The main window implements it.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "core/device_engine.h"
#include "core/run_state.h"
#include "filters/framework/filter_types.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

class QDialog;
class QWidget;

namespace ztlive {

class MultiFilterWindow;

// The source of a document the batch opened: its sound in data bytes and its format.
struct BatchSource {
  uint64_t dataBytes = 0;
  uint32_t bytesPerSecond = 0;
  uint32_t blockAlign = 0;
};

class BatchWindowHost {
 public:
  virtual ~BatchWindowHost() = default;

  // The settings window of the type, with the caption, in front; null when the type has none.
  virtual QDialog* OpenFilterWindow(FilterTypeId type, const QString& caption) = 0;
  // The "Multi-Filter" window, made when none is open, in front.
  virtual MultiFilterWindow* OpenChainWindow() = 0;

  // Opens path as a source document and makes it the active one: its window, or null when it
  // cannot be opened (the reason has been shown). openedNow is false for a document that was
  // open before (it is used as it is and left open).
  virtual QWidget* OpenBatchDocument(const std::string& path, bool& openedNow) = 0;
  // Makes the document the one a run works on.
  virtual void ActivateBatchDocument(QWidget& document) = 0;
  virtual BatchSource SourceOf(QWidget& document) = 0;
  // Sets the selection of the document's source (data bytes).
  virtual void SelectInSource(QWidget& document, uint64_t start, uint64_t end) = 0;
  // Gain-normalizes the source's selection in place to 0 dB without asking again (the batch
  // asked once): false when it failed.
  virtual bool NormalizeSourceSelection(QWidget& document) = 0;
  // Saves the document's destination under path, whole or not at all, asking before a file
  // there is replaced; the destination then is that file. False when not saved.
  virtual bool SaveBatchDestination(QWidget& document, const std::string& path) = 0;
  // Closes the document's window (its result has been saved).
  virtual void CloseBatchDocument(QWidget& document) = 0;

  virtual DeviceEngine& Devices() = 0;
  virtual RunState& Run() = 0;
  virtual SettingsStore& Settings() = 0;
  virtual Prompts& WindowPrompts() = 0;
};

}  // namespace ztlive
