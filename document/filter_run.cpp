#include "document/filter_run.h"

#include <algorithm>
#include <limits>

#include "core/peak_file.h"
#include "core/temp_files.h"
#include "document/file_checks.h"
#include "filters/filter_registry.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

// What a run must know of a type: its traits, or none for a type without a descriptor.
FilterTraits TraitsOf(FilterTypeId type) {
  const FilterDescriptor* descriptor = FindFilterDescriptor(type);
  return descriptor != nullptr ? descriptor->traits : FilterTraits{};
}

// A run can start: the type has an engine, or is the chain.
bool Runnable(FilterTypeId type) {
  const FilterDescriptor* descriptor = FindFilterDescriptor(type);
  return descriptor != nullptr && (descriptor->Built() || descriptor->traits.isChain);
}


// The source's channel count without any message (the run reports an unreadable source).
int SourceChannels(const std::string& path, RunState& run) {
  WaveStream probe(64, 0, run);
  if (probe.Open(path, kOpenRead) != kStreamOk) return 1;
  const int channels = probe.Format().channels;
  probe.Close();
  return channels;
}

bool StereoMode(int channelMode) {
  return channelMode == 1 || channelMode == 3 || channelMode == 8 || channelMode == 9;
}

}  // namespace

void FilterRun::UpdateRunningValues(const PresetValues& values) {
  m_fileRun.activePresetValues = values;
  m_fileRun.valuesChanged = true;
  if (m_processor != nullptr) m_processor->SetValues(values);
}

void FilterRun::SetBypass(int flag) {
  m_fileRun.bypass = flag;
  if (m_processor != nullptr) m_processor->bypass = flag;
}

void FilterRun::SetKeepResidue(int flag) {
  m_fileRun.keepResidue = flag;
  if (m_processor != nullptr) m_processor->keepResidue = flag;
}

void FilterRun::SetRegion(int64_t start, int64_t end) {
  if (start < 0 || end < 0) return;
  m_s.run.regionStart = static_cast<uint32_t>(std::min<int64_t>(start, 0xFFFFFFFF));
  m_s.run.regionEnd = static_cast<uint32_t>(std::min<int64_t>(end, 0xFFFFFFFF));
}

int64_t FilterRun::LoopMilliseconds() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(m_endTick - m_startTick).count();
}

int FilterRun::RunFilter(RunView* view, FilterTypeId type, RunDialog* dialog, bool preview, int channelMode,
                         const PresetValues& values) {
  const bool live = m_s.run.liveInput != 0;
  if (view == nullptr && !live) return 0;
  if (!Runnable(type)) {  // refused before any file is named, opened or made
    m_s.prompts.Show(std::string(StringText(StringId::kNoFilterSelected)), "", PromptIcon::Warning);
    return kRunNoProcessor;
  }
  const FilterTraits traits = TraitsOf(type);
  const bool analysis = traits.analysisOnly;
  if (m_s.run.engineState == kEnginePlaying || m_s.run.engineState == kEnginePaused) {
    RequestStop();
    m_s.devices.CloseOutput();
    return 0;
  }
  struct WaitCursor {
    RunView* view;
    explicit WaitCursor(RunView* v) : view(v) {
      if (view != nullptr) view->SetWaitCursor(true);
    }
    ~WaitCursor() {
      if (view != nullptr) view->SetWaitCursor(false);
    }
  } waitCursor(view);

  CZantoDoc* document = view != nullptr ? &view->Document() : nullptr;
  std::string destination;
  if (live) {
    // The log named for this run (none: nothing is logged), else the log file setting.
    destination = m_liveLogName.value_or(m_s.settings.Read(setting::kLogFileName));
    if (destination.empty() && !m_liveLogName) {
      // A fresh temporary log, kept as the log file name so that later runs append to it.
      destination = MakeTempFileName(
          document != nullptr ? document->TempFolder() : m_s.settings.Read(setting::kTempPath), m_s.prompts);
      if (destination.empty()) return 0;  // the message has been shown
      m_s.settings.Write(setting::kLogFileName, destination);
    }
  } else if (!preview && !analysis) {
    destination = document->DestinationName();
    if (destination.empty()) {
      destination = MakeTempFileName(document->TempFolder(), m_s.prompts);
      if (destination.empty()) return 0;  // the message has been shown
      document->SetDestinationName(destination, true);
    }
    view->SetDestinationName(destination);
  }

  const std::string source = document != nullptr ? document->SourceName() : std::string();
  if (channelMode == -1) channelMode = (!live && SourceChannels(source, m_s.run) == 2) || live ? 3 : 0;
  if (live && channelMode == 3 && m_s.input.Format().channels != 2) channelMode = 0;
  m_fileRun.activePresetValues = values;
  m_channelMode = channelMode <= 0 || channelMode > 9 ? 0 : channelMode;
  m_runSyncMode = live || document == nullptr ? 0 : document->SyncMode();
  if (!live) {
    int64_t first = 0;
    int64_t last = 0;
    view->Selection(first, last);
    SetRegion(first, last);
  }
  const bool normal = !analysis && !preview && !live;
  m_undo = normal ? &document->Undo() : nullptr;
  if (const FilterDescriptor* descriptor = FindFilterDescriptor(type); descriptor != nullptr)
    m_undoLabel = std::string(descriptor->displayName);
  if (normal) {
    document->SetModified(true);
    view->MakeDestinationPaneActive();
  }
  if (view != nullptr) view->StartCursorTimer();

  const int code = ExecuteFilterRun(source, destination, preview, type, dialog);
  m_undo = nullptr;
  if (code != kRunDone) return code;
  if (normal && !m_outputDeclined && FileExists(destination)) {
    view->ShowStatus(std::string(StringText(StringId::kBuildingPeaks)));
    PeakFile peaks(destination, m_s.run, m_s.prompts);
    // A filter that changes the length, and a run outside sync mode that makes a new file,
    // rebuild the whole file; a sync-mode run rebuilds its region.
    const int built = traits.changesLength || !m_runSyncMode ? peaks.Build(0, 0)
                                                             : peaks.Build(m_s.run.regionStart, m_s.run.regionEnd);
    view->RefreshAll();
    if (built != 0) return kRunWriteFailed;  // reported by the peak file
  }
  return 1;
}

int FilterRun::OpenDestination(const std::string& destination, const FilterTraits& traits, int syncMode,
                               bool& sizesDirty, bool& declined) {
  const bool analysis = traits.analysisOnly;
  RunState& run = m_s.run;
  WaveStream& in = m_s.input;
  WaveStream& out = m_s.output;
  const bool live = run.liveInput != 0;
  WaveFormat format = in.Format();
  format.channels = StereoMode(m_channelMode) ? 2 : 1;
  format.blockAlign = static_cast<uint16_t>(format.channels * in.BytesPerSample());
  format.avgBytesPerSecond = format.sampleRate * format.blockAlign;

  if (destination.empty() || analysis) {
    out.SetFormat(format);
    out.ResetEnd();
    out.SetMode(kModeMemory);
    return kRunDone;
  }
  // Only an existing file is written in place; anything else is made under a temporary name.
  const bool inPlace = (syncMode || live) && FileExists(destination);
  if (inPlace && !live && !RecordRunUndo(destination, format, traits)) {
    declined = true;
    return kRunDone;
  }
  std::string problem;
  m_staged = StagedOutput::Begin(destination, inPlace, problem);
  if (!m_staged) {
    m_s.prompts.Show(problem, "", PromptIcon::Error);
    return kRunDestinationFailed;
  }
  if (const int created = out.Create(m_staged->WritePath(), format, inPlace ? kCreateInPlace : kCreateOverwrite);
      created != kStreamOk) {
    // An existing file of another shape is incompatible; a new one fails for its width (the
    // source's 32 bits, which are never written) or for the file system.
    const std::string message =
        inPlace ? std::string(StringText(live ? StringId::kRunLogIncompatible : StringId::kRunDestinationIncompatible))
        : created == kStreamBadResolution ? FormatText(StringId::kInputIs32Bit, {m_sourceName})
                                          : std::string(StringText(StringId::kCannotWriteWave));
    m_s.prompts.Show(message, "", PromptIcon::Error);
    return kRunDestinationFailed;
  }
  out.SetMode(kModeFile);

  int64_t seek = 0;
  const uint64_t destinationBytes = out.DataBytes();
  if (live) {
    seek = out.SeekData(static_cast<int64_t>(destinationBytes), 0);
    sizesDirty = true;
  } else if (syncMode && destinationBytes < run.regionStart) {
    const bool append =
        destinationBytes >= 4 && m_s.prompts.Ask(std::string(StringText(StringId::kRunSyncTooShort)), "",
                                                 PromptButtons::YesNo, PromptIcon::Question) == PromptAnswer::Yes;
    if (!append) {
      // Nothing is filtered; the destination is finished as it always was, with one zero word.
      declined = true;
      out.SeekData(static_cast<int64_t>(destinationBytes), 0);
      if (out.PrepareWriteBuffer() != 0 || out.WriteWord(0) == 0 || out.FinishWrite(kFlagDirty, kFlagDirty) != 0) {
        m_s.prompts.Show(std::string(StringText(StringId::kCannotWriteWave)), "", PromptIcon::Error);
        return kRunWriteFailed;
      }
      return kRunDone;
    }
    seek = out.SeekData(static_cast<int64_t>(destinationBytes), 0);
    sizesDirty = true;
  } else if (syncMode) {
    seek = out.SeekData(run.regionStart, 0);
    if (run.regionEnd > destinationBytes) sizesDirty = true;
  }
  if (traits.changesLength && syncMode) sizesDirty = true;
  if (seek < 0) {
    m_s.prompts.Show(std::string(StringText(StringId::kRunSeekFailed)), "", PromptIcon::Error);
    return kRunSeekFailed;
  }
  return kRunDone;
}

bool FilterRun::RecordRunUndo(const std::string& destination, const WaveFormat& outputFormat,
                              const FilterTraits& traits) {
  if (m_undo == nullptr) return true;
  const RunState& run = m_s.run;
  const uint64_t inAlign = std::max<uint64_t>(m_s.input.Format().blockAlign, 1);
  const uint64_t regionBytes = (run.regionEnd - run.regionStart) / inAlign * outputFormat.blockAlign;
  // A filter that changes the length may write anywhere after the region's start.
  const uint64_t end = traits.changesLength ? std::numeric_limits<uint32_t>::max() : run.regionStart + regionBytes;
  const auto clamp32 = [](uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
  };
  if (m_undo->RecordFilterUndo(kPaneDestination, destination, clamp32(run.regionStart), clamp32(end), m_undoLabel) ==
      1)
    return true;
  return m_s.prompts.Ask(std::string(StringText(StringId::kUndoSaveFailed)), "", PromptButtons::YesNo,
                         PromptIcon::Question) == PromptAnswer::Yes;
}

void FilterRun::TickProgress(bool force) {
  if (m_progress == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - m_lastProgressTick < std::chrono::milliseconds(ProgressModel::kTickMs)) return;
  m_lastProgressTick = now;
  m_progress->Tick();
  if (m_progressListener) m_progressListener(*m_progress);
}

int FilterRun::RunProcessor(FilterTypeId type, const FilterTraits& traits, RunDialog* dialog) {
  WaveStream& in = m_s.input;
  WaveStream& out = m_s.output;
  std::unique_ptr<FilterProcessor> engine;
  const int made = CreateFilterProcessor(type, engine, m_s.prompts);
  if (engine == nullptr) {
    if (made == 1) m_s.prompts.Show(std::string(StringText(StringId::kNoMemory)), "", PromptIcon::Error);
    return kRunNoProcessor;
  }
  m_processor = std::move(engine);
  m_fileRun.runningEngine = m_processor.get();
  FilterProcessor* previous = nullptr;
  if (dialog != nullptr) {
    previous = dialog->AttachProcessor(m_processor.get());
    m_processor->SetDialogAttached(1);
    if (traits.takesExtraParams) dialog->PushExtraParams(*m_processor);
    dialog->EnableRunControls(false);
    dialog->EnableTextEntry(false);
  }
  auto release = [&] {
    if (dialog != nullptr) {
      dialog->AttachProcessor(previous);
      dialog->EnableRunControls(true);
      dialog->EnableTextEntry(true);
    }
    m_fileRun.runningEngine = nullptr;
    m_processor.reset();
  };

  m_processor->SetValues(m_fileRun.activePresetValues);
  m_processor->bypass = m_fileRun.bypass;
  m_processor->keepResidue = m_fileRun.keepResidue;
  if (m_processor->Prepare(in, out) == 0) {
    release();  // the engine has said why it cannot run (no noise print, no memory)
    return kRunNoProcessor;
  }
  const int history = m_processor->GetHistoryLength();
  const int lookAhead = m_processor->GetLookahead();
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  while (in.ReadBlock(history, lookAhead, &first, &last) == 0) {
    if (m_processor->Process(in, out) == 0) {
      release();
      // A write refused because a stop was requested (a cancel during a preview) is no failure.
      return m_s.run.stopRequested ? kRunDone : kRunWriteFailed;
    }
    m_s.run.clickCount = m_processor->ClickCount();
    TickProgress(false);
  }
  m_processor->Finish(in, out);
  if (traits.analysisOnly && dialog != nullptr) dialog->TakeAnalysisResult(*m_processor);
  release();
  return kRunDone;
}

int FilterRun::CloseOutput(bool sizesDirty, bool analysis) {
  WaveStream& out = m_s.output;
  if (!out.IsFileOpen()) {
    if (!m_s.run.stopRequested && !analysis && m_s.devices.OutputOpen()) m_s.devices.SubmitBlock(out, true);
  } else if (out.FinishWrite(kFlagDirty, sizesDirty ? kFlagDirty : 0) != 0) {
    m_s.prompts.Show(std::string(StringText(StringId::kCannotWriteWave)), "", PromptIcon::Error);
    return kRunWriteFailed;
  }
  m_endTick = std::chrono::steady_clock::now();
  // A preview returns when its playback has drained.
  while (m_s.devices.OutputOpen() && !m_s.run.stopRequested) m_s.devices.AwaitOutput(50);
  return kRunDone;
}

int FilterRun::CheckFileNames(const std::string& source, const std::string& destination, const FilterTraits& traits) {
  if (m_s.run.liveInput != 0) return kRunDone;
  if (IsPeakFileName(source)) {
    m_s.prompts.Show(FormatText(StringId::kPeakFileNameForWave, {source}), "", PromptIcon::Error);
    return kRunSourceUnreadable;
  }
  if (!destination.empty() && !traits.analysisOnly && SameFile(source, destination)) {
    m_s.prompts.Show(FormatText(StringId::kOutputIsInput, {destination, source}), "", PromptIcon::Error);
    return kRunDestinationFailed;
  }
  return kRunDone;
}

int FilterRun::SettleOutput(int code) {
  if (!m_staged) return code;
  if (code == kRunDone) {
    if (const std::string failure = m_staged->Commit(); !failure.empty()) {
      m_s.prompts.Show(failure, "", PromptIcon::Error);
      code = kRunWriteFailed;
    }
  }
  m_staged.reset();  // an output not committed is removed; the lock is let go
  return code;
}

int FilterRun::OpenSource(const std::string& source) {
  RunState& run = m_s.run;
  if (run.liveInput != 0) {
    run.regionStart = run.readPosition = 0;
    run.regionEnd = 0xFFFFFFFC;
    return kRunDone;
  }
  if (m_s.input.Open(source, kOpenRead) != kStreamOk) {
    if (!run.stopRequested) m_s.prompts.Show(std::string(StringText(StringId::kRangeReadError)), "", PromptIcon::Error);
    return kRunSourceUnreadable;
  }
  return kRunDone;
}

bool FilterRun::ConfirmOverwrite(const std::string& destination, bool preview, const FilterTraits& traits) {
  if (m_s.run.liveInput != 0 || preview || m_runSyncMode || traits.analysisOnly || !FileExists(destination))
    return true;
  const std::string question = FormatText(StringId::kRunOverwrite, {destination});
  return m_s.prompts.Ask(question, std::string(StringText(StringId::kCaptionFileExists)), PromptButtons::YesNo,
                         PromptIcon::Question) == PromptAnswer::Yes;
}

int FilterRun::CheckChannels() {
  const int sourceChannels = m_s.input.Format().channels;
  if (sourceChannels == 2 && (m_channelMode == 0 || m_channelMode == 1)) {
    m_s.prompts.Show(std::string(StringText(StringId::kRunSourceStereo)), "", PromptIcon::Error);
    return kRunStereoSource;
  }
  if (sourceChannels != 2 && m_channelMode != 0 && m_channelMode != 1) {
    m_s.prompts.Show(std::string(StringText(StringId::kRunSourceMono)), "", PromptIcon::Error);
    return kRunMonoSource;
  }
  m_s.input.AlignPositions(&m_s.run.regionStart, &m_s.run.regionEnd);
  return kRunDone;
}

int FilterRun::PrepareOutputBuffer() {
  // A device stream has no file buffer.
  if (m_s.output.IsFileOpen() && m_s.output.PrepareWriteBuffer() != 0) {
    m_s.prompts.Show(std::string(StringText(StringId::kUnknownError)), std::string(StringText(StringId::kCaptionZAnto32)),
                     PromptIcon::Error);
    return kRunBufferFailed;
  }
  return kRunDone;
}

int FilterRun::SeekToRegion() {
  RunState& run = m_s.run;
  WaveStream& in = m_s.input;
  if (run.liveInput != 0) return kRunDone;
  const uint64_t dataBytes = in.DataBytes();
  if (!in.IsFileOpen() || run.regionStart >= dataBytes || in.SeekData(run.regionStart, 0) < 0) {
    m_s.prompts.Show(std::string(StringText(StringId::kRunSeekFailed)), "", PromptIcon::Error);
    return kRunSeekFailed;
  }
  run.readPosition = run.regionStart;
  if (run.regionEnd == 0 || run.regionEnd > dataBytes) run.regionEnd = static_cast<uint32_t>(dataBytes);
  return kRunDone;
}

void FilterRun::StartProgress(const FilterTraits& traits) {
  RunState& run = m_s.run;
  m_progress = std::make_unique<ProgressModel>(run, run.regionEnd - run.regionStart, traits.countsClicks,
                                               m_s.input.Format().sampleRate);
  m_lastProgressTick = std::chrono::steady_clock::now();
  if (m_progressWindow) m_progressWindow(m_progress.get());
}

bool FilterRun::OpenDevice(const FilterTraits& traits) {
  RunState& run = m_s.run;
  WaveStream& out = m_s.output;
  const bool toDevice =
      run.liveInput != 0 || (!out.IsFileOpen() && !traits.analysisOnly && run.engineState != kEnginePlaying);
  m_playsToDevice = toDevice;
  if (!toDevice) return true;
  m_s.devices.SetFilterRunActive(true);
  // On failure the device engine has shown its message.
  return m_s.devices.OpenOutputForStream(DeviceEngine::DeviceFormat(out.Format()), run.regionEnd - run.regionStart) == 0;
}

int FilterRun::DriveEngine(FilterTypeId type, const FilterTraits& traits, RunDialog* dialog) {
  if (!traits.isChain) return RunProcessor(type, traits, dialog);
  if (!m_chainRunner) {
    m_s.prompts.Show(std::string(StringText(StringId::kNoFilterSelected)), "", PromptIcon::Warning);
    return kRunNoProcessor;
  }
  return m_chainRunner(m_s.input, m_s.output, [this](int64_t clicks) {
    m_s.run.clickCount = clicks;
    TickProgress(false);
  });
}

int FilterRun::ExecuteFilterRun(const std::string& source, const std::string& destination, bool preview,
                                FilterTypeId type, RunDialog* dialog) {
  RunState& run = m_s.run;
  const bool live = run.liveInput != 0;
  const FilterTraits traits = TraitsOf(type);
  run.stopRequested.store(0);
  run.clipOccurred.store(0);
  run.clickCount = 0;
  m_type = type;
  m_fileRun.valuesChanged = false;
  if (run.engineState == kEnginePlaying || run.engineState == kEnginePaused) return kRunBusy;
  if (m_runBusy) {
    RequestStop();  // a second request is a cancel
    return kRunBusy;
  }
  if (!Runnable(type)) {
    m_s.prompts.Show(std::string(StringText(StringId::kNoFilterSelected)), "", PromptIcon::Warning);
    return kRunNoProcessor;
  }
  m_runBusy = true;

  // A live run refused before its output device opens (a log file of another format, the
  // wrong channels) leaves live input running; once started, its end stops the input.
  bool liveStarted = false;
  auto finish = [&](int result) {
    m_s.devices.CloseOutput();
    m_s.devices.SetFilterRunActive(false);
    if (live && liveStarted) {
      if (m_liveInputStopper)
        m_liveInputStopper();
      else
        m_s.devices.CloseInput();
      m_s.queue.DispatchPending();
    }
    if (m_progress != nullptr && m_progressWindow) m_progressWindow(nullptr);
    m_progress.reset();
    m_s.input.Close();
    m_s.output.Close();
    result = SettleOutput(result);
    m_runBusy = false;
    return result;
  };

  m_sourceName = source;
  m_outputDeclined = false;
  m_playsToDevice = false;
  if (const int code = CheckFileNames(source, destination, traits); code != kRunDone) return finish(code);
  if (const int code = OpenSource(source); code != kRunDone) return finish(code);
  if (!ConfirmOverwrite(destination, preview, traits)) {
    m_outputDeclined = true;
    return finish(kRunDone);
  }
  if (const int code = CheckChannels(); code != kRunDone) return finish(code);
  bool sizesDirty = false;
  bool declined = false;
  if (const int code = OpenDestination(destination, traits, m_runSyncMode, sizesDirty, declined);
      code != kRunDone || declined) {
    m_outputDeclined = declined;
    return finish(code);
  }
  if (const int code = PrepareOutputBuffer(); code != kRunDone) return finish(code);
  if (const int code = SeekToRegion(); code != kRunDone) return finish(code);
  StartProgress(traits);
  liveStarted = live;
  if (!OpenDevice(traits)) return finish(kRunDeviceFailed);
  m_startTick = std::chrono::steady_clock::now();

  const int code = DriveEngine(type, traits, dialog);
  if (code == kRunWriteFailed) {
    m_s.prompts.Show(std::string(StringText(StringId::kCannotWriteWave)), "", PromptIcon::Error);
    if (m_s.output.IsFileOpen()) m_s.output.FinishWrite(kFlagDirty, kFlagDirty);  // the file keeps what was written
    return finish(code);
  }
  if (code != kRunDone) return finish(code);
  TickProgress(true);
  const int closed = CloseOutput(sizesDirty, traits.analysisOnly);
  // A run whose sound card stopped playing under it has failed; the engine has said why.
  return finish(closed == kRunDone && m_playsToDevice && m_s.devices.OutputLost() ? kRunDeviceFailed : closed);
}

}  // namespace ztlive
