#include "document/filter_run.h"

#include <algorithm>

#include "core/peak_file.h"
#include "core/temp_files.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

bool IsAnalysis(FilterTypeId type) { return type == 9 || type == 27; }


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
  const bool analysis = IsAnalysis(type);
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
    destination = m_s.settings.Read(setting::kLogFileName);
    if (destination.empty() && document != nullptr) destination = MakeTempFileName(document->TempFolder(), m_s.prompts);
  } else if (!preview && type != 9) {
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
  if (normal) {
    document->SetModified(true);
    view->MakeDestinationPaneActive();
  }
  if (view != nullptr) view->StartCursorTimer();

  const int code = ExecuteFilterRun(source, destination, preview, type, dialog);
  if (code != kRunDone) return code;
  if (normal && FileExists(destination)) {
    view->ShowStatus(std::string(StringText(StringId::kBuildingPeaks)));
    PeakFile peaks(destination, m_s.run, m_s.prompts);
    // A pitch change may change the length, and a run outside sync mode makes a new file:
    // both rebuild the whole file; a sync-mode run rebuilds its region.
    if (type == 21 || !m_runSyncMode)
      peaks.Build(0, 0);
    else
      peaks.Build(m_s.run.regionStart, m_s.run.regionEnd);
    view->RefreshAll();
  }
  return 1;
}

int FilterRun::OpenDestination(const std::string& destination, bool analysis, int syncMode, FilterTypeId type,
                               bool& sizesDirty, bool& declined) {
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
  const int createMode = syncMode || live ? kCreateInPlace : kCreateOverwrite;
  if (out.Create(destination, format, createMode) != kStreamOk) {
    m_s.prompts.Show(std::string(StringText(live ? StringId::kRunLogIncompatible : StringId::kRunDestinationIncompatible)),
                     "", PromptIcon::Error);
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
  if (type == 21 && syncMode) sizesDirty = true;
  if (seek < 0) {
    m_s.prompts.Show(std::string(StringText(StringId::kRunSeekFailed)), "", PromptIcon::Error);
    return kRunSeekFailed;
  }
  return kRunDone;
}

void FilterRun::TickProgress(bool force) {
  if (m_progress == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - m_lastProgressTick < std::chrono::milliseconds(ProgressModel::kTickMs)) return;
  m_lastProgressTick = now;
  m_progress->Tick();
  if (m_progressListener) m_progressListener(*m_progress);
}

int FilterRun::RunProcessor(FilterTypeId type, RunDialog* dialog) {
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
    // The paragraphic equalizer's bands and the continuous noise filter's noise print.
    if (type == 26 || type == 8) dialog->PushExtraParams(*m_processor);
    dialog->EnableRunControls(false);
  }
  auto release = [&] {
    if (dialog != nullptr) {
      dialog->AttachProcessor(previous);
      dialog->EnableRunControls(true);
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
  if (type == 9 && dialog != nullptr) dialog->TakeAnalysisResult(*m_processor);
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
  while (m_s.devices.OutputOpen() && !m_s.run.stopRequested) m_s.queue.DispatchOne(50);
  return kRunDone;
}

int FilterRun::ExecuteFilterRun(const std::string& source, const std::string& destination, bool preview,
                                FilterTypeId type, RunDialog* dialog) {
  RunState& run = m_s.run;
  WaveStream& in = m_s.input;
  WaveStream& out = m_s.output;
  const bool live = run.liveInput != 0;
  const bool analysis = IsAnalysis(type);
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
  m_runBusy = true;

  int code = kRunDone;
  bool sizesDirty = false;
  bool declined = false;
  auto finish = [&](int result) {
    m_s.devices.CloseOutput();
    m_s.devices.SetFilterRunActive(false);
    if (live) {
      m_s.devices.CloseInput();
      m_s.queue.DispatchPending();
    }
    if (m_progress != nullptr && m_progressWindow) m_progressWindow(nullptr);
    m_progress.reset();
    in.Close();
    out.Close();
    m_runBusy = false;
    return result;
  };

  // The source.
  if (live) {
    run.regionStart = run.readPosition = 0;
    run.regionEnd = 0xFFFFFFFC;
  } else if (in.Open(source, kOpenRead) != kStreamOk) {
    if (!run.stopRequested) m_s.prompts.Show(std::string(StringText(StringId::kRangeReadError)), "", PromptIcon::Error);
    return finish(kRunSourceUnreadable);
  }
  // The overwrite question.
  if (!live && !preview && !m_runSyncMode && !analysis && FileExists(destination)) {
    const std::string question = FormatText(StringId::kRunOverwrite, {destination});
    if (m_s.prompts.Ask(question, std::string(StringText(StringId::kCaptionFileExists)), PromptButtons::YesNo,
                        PromptIcon::Question) != PromptAnswer::Yes)
      return finish(kRunDone);
  }
  // Channels.
  const int sourceChannels = in.Format().channels;
  if (sourceChannels == 2 && (m_channelMode == 0 || m_channelMode == 1)) {
    m_s.prompts.Show(std::string(StringText(StringId::kRunSourceStereo)), "", PromptIcon::Error);
    return finish(kRunStereoSource);
  }
  if (sourceChannels != 2 && m_channelMode != 0 && m_channelMode != 1) {
    m_s.prompts.Show(std::string(StringText(StringId::kRunSourceMono)), "", PromptIcon::Error);
    return finish(kRunMonoSource);
  }
  in.AlignPositions(&run.regionStart, &run.regionEnd);

  // The destination, or the device.
  if (code = OpenDestination(destination, analysis, m_runSyncMode, type, sizesDirty, declined);
      code != kRunDone || declined)
    return finish(code);
  if (out.IsFileOpen() && out.PrepareWriteBuffer() != 0) {  // a device stream has no file buffer
    m_s.prompts.Show(std::string(StringText(StringId::kUnknownError)), std::string(StringText(StringId::kCaptionZAnto32)),
                     PromptIcon::Error);
    return finish(kRunBufferFailed);
  }
  if (!live) {
    const uint64_t dataBytes = in.DataBytes();
    if (!in.IsFileOpen() || run.regionStart >= dataBytes || in.SeekData(run.regionStart, 0) < 0) {
      m_s.prompts.Show(std::string(StringText(StringId::kRunSeekFailed)), "", PromptIcon::Error);
      return finish(kRunSeekFailed);
    }
    run.readPosition = run.regionStart;
    if (run.regionEnd == 0 || run.regionEnd > dataBytes) run.regionEnd = static_cast<uint32_t>(dataBytes);
  }
  m_progress = std::make_unique<ProgressModel>(run, run.regionEnd - run.regionStart, type, in.Format().sampleRate);
  m_lastProgressTick = std::chrono::steady_clock::now();
  if (m_progressWindow) m_progressWindow(m_progress.get());

  const bool toDevice = live || (!out.IsFileOpen() && !analysis && run.engineState != kEnginePlaying);
  if (toDevice) {
    m_s.devices.SetFilterRunActive(true);
    if (m_s.devices.OpenOutputForStream(DeviceEngine::DeviceFormat(out.Format()), run.regionEnd - run.regionStart) != 0)
      return finish(kRunDone);  // the device engine has shown its message
  }
  m_startTick = std::chrono::steady_clock::now();

  if (type == kMultiFilter) {
    if (!m_chainRunner) {
      m_s.prompts.Show(std::string(StringText(StringId::kNoFilterSelected)), "", PromptIcon::Warning);
      return finish(kRunNoProcessor);
    }
    code = m_chainRunner(in, out);
  } else {
    code = RunProcessor(type, dialog);
  }
  if (code == kRunWriteFailed) {
    m_s.prompts.Show(std::string(StringText(StringId::kCannotWriteWave)), "", PromptIcon::Error);
    if (out.IsFileOpen()) out.FinishWrite(kFlagDirty, kFlagDirty);  // the file keeps what was written
    return finish(code);
  }
  if (code != kRunDone) return finish(code);
  TickProgress(true);
  return finish(CloseOutput(sizesDirty, analysis));
}

}  // namespace ztlive
