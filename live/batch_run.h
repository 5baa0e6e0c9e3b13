// The run of a batch job in the window: each file of the list is opened as a document, its
// selection set from the job's region, the filter's own settings window (the chain window for
// "MultiFilter") loads the preset and runs over it, and the destination is saved under the
// job's output name; then the document is closed unless the job keeps it open. "Normalize"
// normalizes each source in place instead. A file that cannot be opened, an MP3 entry, a run
// that fails and a result that is not saved are reported at the end; the others go on.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "live/batch_job.h"
#include "live/batch_window_host.h"

namespace ztlive {

struct BatchRunReport {
  bool started = false;  // false: no filter, Normalize declined, or no window to run in
  bool stopped = false;  // a stop ended the batch before its last file
  int total = 0;
  int done = 0;          // files whose result was saved (or normalized)
  int attempted = 0;     // files the batch got to
  std::vector<std::string> problems;  // one line per file not done, with its reason
};

class BatchRun {
 public:
  // Asked between files: true ends the batch there.
  using StopCheck = std::function<bool()>;
  // Told before each file: its index in the list.
  using FileStarted = std::function<void(int index)>;

  explicit BatchRun(BatchWindowHost& host) : m_host(host) {}

  // Runs the job and shows its end ("Batch processing is complete." and what was not done).
  BatchRunReport Run(const BatchJob& job, const StopCheck& stop, const FileStarted& started);

 private:
  // One file: true when its result was saved (or its source normalized).
  bool RunFile(const BatchJob& job, QDialog* window, const std::string& path, const std::string& output,
               std::string& problem);
  // The settings window of the job's filter in front (opened again when it was closed): the
  // chain window for "MultiFilter"; null when the filter has none.
  QDialog* OpenRunWindow(FilterTypeId type);
  // Selects the first preset beginning with the job's preset name and loads it, then runs the
  // window's filter over the active document: true when the run ended done.
  bool LoadPresetAndRun(QDialog& window, FilterTypeId type, const std::string& presetName);
  void ShowEnd(const BatchRunReport& report);

  BatchWindowHost& m_host;
};

}  // namespace ztlive
