// Running a filter over a document: RunFilter fixes the region, the destination and the
// channel mode; ExecuteFilterRun opens the source, makes the destination (or the output
// device, for a preview), and drives the engine block by block. Everything runs on the main
// thread; the messages dispatched inside every block read keep windows alive, let settings
// windows change the running engine's values, and let a second run request stop the first.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/device_engine.h"
#include "core/run_state.h"
#include "core/wave_stream.h"
#include "document/progress_model.h"
#include "document/staged_output.h"
#include "document/zanto_document.h"
#include "filters/filter_factory.h"
#include "filters/framework/filter_settings_logic.h"
#include "filters/framework/run_dialog.h"
#include "platform/message_queue.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"

namespace ztlive {

// Codes of ExecuteFilterRun.
enum RunCode : int {
  kRunDone = 0,             // also: the user declined a question
  kRunBusy = 1,
  kRunSeekFailed = 2,
  kRunStereoSource = 4,     // a stereo source for a mono conversion
  kRunMonoSource = 5,       // a mono source for a stereo conversion
  kRunNoProcessor = 6,
  kRunBufferFailed = 7,
  kRunWriteFailed = 8,
  kRunSourceUnreadable = 9,
  kRunDestinationFailed = 10,
  kRunDeviceFailed = 11,    // the output device of a preview or live run could not be opened, or stopped
};

// What the run needs of the view that started it.
class RunView {
 public:
  virtual ~RunView() = default;
  virtual CZantoDoc& Document() = 0;
  // The selection as first and last byte offset of the source's data.
  virtual void Selection(int64_t& first, int64_t& last) = 0;
  virtual void SetDestinationName(const std::string&) {}
  virtual void MakeDestinationPaneActive() {}
  virtual void StartCursorTimer() {}
  virtual void ShowStatus(const std::string&) {}
  virtual void RefreshAll() {}
  virtual void SetWaitCursor(bool) {}
};

struct RunServices {
  RunState& run;
  MessageQueue& queue;
  Prompts& prompts;
  SettingsStore& settings;
  DeviceEngine& devices;
  WaveStream& input;   // the source, or the input device's stream
  WaveStream& output;  // the destination, or the output device's stream
};

class FilterRun {
 public:
  // Called by the chain after every block has passed all its filters, with the clicks its
  // engines have found.
  using ChainBlockListener = std::function<void(int64_t clicks)>;
  // The filter chain (type 28) between the two streams; code as ExecuteFilterRun.
  using ChainRunner = std::function<int(WaveStream& in, WaveStream& out, const ChainBlockListener& afterBlock)>;
  using ProgressListener = std::function<void(const ProgressModel&)>;
  // Opens the progress window over the run's model, or (null) closes it.
  using ProgressWindowHook = std::function<void(ProgressModel*)>;

  explicit FilterRun(RunServices services) : m_s(services) {}

  // 1 on success, 0 or a failure code otherwise. channelMode -1 keeps the channels.
  int RunFilter(RunView* view, FilterTypeId type, RunDialog* dialog, bool preview, int channelMode,
                const PresetValues& values);
  int ExecuteFilterRun(const std::string& source, const std::string& destination, bool preview, FilterTypeId type,
                       RunDialog* dialog);

  // From a settings window while its engine runs.
  void UpdateRunningValues(const PresetValues& values);
  void SetBypass(int flag);
  void SetKeepResidue(int flag);
  // Replaced only when both are >= 0.
  void SetRegion(int64_t start, int64_t end);
  void RequestStop() { m_s.run.stopRequested.store(1); }

  bool RunBusy() const { return m_runBusy; }
  // The last run ended at a question answered No: nothing was filtered into the destination.
  bool OutputDeclined() const { return m_outputDeclined; }
  bool ValuesChanged() const { return m_fileRun.valuesChanged; }
  const PresetValues& ActivePresetValues() const { return m_fileRun.activePresetValues; }
  // What the settings windows change: the values, bypass and keep-residue of the next run,
  // and the engine of the run in progress.
  FileRunSettings& FileRun() { return m_fileRun; }
  int ChannelMode() const { return m_channelMode; }
  FilterProcessor* CurrentProcessor() const { return m_processor.get(); }
  // Milliseconds of the processing loop of the last run.
  int64_t LoopMilliseconds() const;

  void SetChainRunner(ChainRunner runner) { m_chainRunner = std::move(runner); }
  // The log file of the live runs that follow, in place of the setting "LogFileName"; an
  // empty name: no log file at all. Nothing: the setting again.
  void SetLiveLogName(std::optional<std::string> name) { m_liveLogName = std::move(name); }
  // Called at every progress tick (every 1200 ms) and once at the end of the loop.
  void SetProgressListener(ProgressListener listener) { m_progressListener = std::move(listener); }
  // Called when the run has its region (before the engine is made) and when it ends.
  void SetProgressWindowHook(ProgressWindowHook hook) { m_progressWindow = std::move(hook); }
  // Stops live input when a live run ends (the recording window's Stop); without one the
  // input is closed directly.
  void SetLiveInputStopper(std::function<void()> stopper) { m_liveInputStopper = std::move(stopper); }

 private:
  // The steps of ExecuteFilterRun, in order; each shows its own message and returns a code.
  // Refuses a peak-file name as a wave file and an output that is the source by any spelling.
  int CheckFileNames(const std::string& source, const std::string& destination, const FilterTraits& traits);
  int OpenSource(const std::string& source);
  // The overwrite question for a new file over an existing one: false when declined.
  bool ConfirmOverwrite(const std::string& destination, bool preview, const FilterTraits& traits);
  int CheckChannels();
  int OpenDestination(const std::string& destination, const FilterTraits& traits, int syncMode, bool& sizesDirty,
                      bool& declined);
  // Before a run writes over an existing destination: an undo entry of its own; false when
  // saving it failed and the user chose not to go on without one.
  bool RecordRunUndo(const std::string& destination, const WaveFormat& outputFormat, const FilterTraits& traits);
  int PrepareOutputBuffer();
  int SeekToRegion();
  void StartProgress(const FilterTraits& traits);
  // Opens the output device for a preview or live run: false when it could not.
  bool OpenDevice(const FilterTraits& traits);
  int DriveEngine(FilterTypeId type, const FilterTraits& traits, RunDialog* dialog);
  int RunProcessor(FilterTypeId type, const FilterTraits& traits, RunDialog* dialog);
  int CloseOutput(bool sizesDirty, bool analysis);
  // After the streams are closed: a run that ended well (or was cancelled) puts a staged
  // output in place; any other removes it. Returns the run's code, or the failure to commit.
  int SettleOutput(int code);
  void TickProgress(bool force);

  RunServices m_s;
  bool m_runBusy = false;
  FileRunSettings m_fileRun;
  int m_channelMode = 0;
  int m_runSyncMode = 0;
  FilterTypeId m_type = 0;
  std::string m_sourceName;
  bool m_outputDeclined = false;  // of the run in progress, for its messages
  bool m_playsToDevice = false;   // the run in progress plays on the sound card
  std::unique_ptr<FilterProcessor> m_processor;
  std::unique_ptr<ProgressModel> m_progress;
  std::optional<StagedOutput> m_staged;  // the destination file of the run in progress
  std::chrono::steady_clock::time_point m_startTick;
  std::chrono::steady_clock::time_point m_endTick;
  std::chrono::steady_clock::time_point m_lastProgressTick;
  ChainRunner m_chainRunner;
  std::optional<std::string> m_liveLogName;
  ProgressListener m_progressListener;
  ProgressWindowHook m_progressWindow;
  std::function<void()> m_liveInputStopper;
  UndoStore* m_undo = nullptr;  // the document's, for a run that writes a destination
  std::string m_undoLabel;      // the filter's display name for the undo menu
};

}  // namespace ztlive
