#include "document/recording_session.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/full_scale.h"
#include "core/temp_files.h"
#include "core/wave_stream.h"
#include "document/file_checks.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

constexpr int kStateMonitoring = 110;
constexpr int kStateRecording = 183;
constexpr int kStateLive = 237;
constexpr int kResolutionBits[] = {8, 16, 20, 24};

std::string Printf(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

std::string MinutesSeconds(uint64_t seconds, const char* suffix) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d:%02d%s", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60),
                suffix);
  return text;
}

}  // namespace

uint32_t RecordRate(const RecordChoices& choices) {
  switch (choices.rateChoice) {
    case 0: return 48000;
    case 2: return 22050;
    case 3: return 11025;
    case 4: return static_cast<uint32_t>(choices.customRate);
    default: return 44100;
  }
}

WaveFormat RecordFormat(const RecordChoices& choices) {
  const uint16_t channels = choices.channelChoice == 1 ? 1 : 2;
  return MakePcmFormat(channels, RecordRate(choices), static_cast<uint16_t>(ResolutionBits(ResolutionIndex(choices.bitsPerSample))));
}

int ResolutionIndex(int bitsPerSample) {
  for (int i = 0; i < 4; ++i)
    if (kResolutionBits[i] == bitsPerSample) return i;
  return 1;
}

int ResolutionBits(int index) { return index >= 0 && index < 4 ? kResolutionBits[index] : 16; }

std::string FreeSpaceText(uint64_t freeBytes) {
  const double kilobytes = static_cast<double>(freeBytes) / 1024.0;
  if (kilobytes < 1024.0) return Printf("%5.2fKB", kilobytes);
  if (kilobytes < 1024000.0) return Printf("%7.2fMB", kilobytes / 1024.0);
  return Printf("%7.2fGB", kilobytes / 1024000.0);
}

std::string AvailableTimeText(uint64_t freeBytes, uint32_t bytesPerSecond) {
  return MinutesSeconds(freeBytes / std::max<uint32_t>(1, bytesPerSecond), " min:sec");
}

std::string ElapsedText(uint64_t bytes, uint32_t bytesPerSecond) {
  return MinutesSeconds(bytes / std::max<uint32_t>(1, bytesPerSecond), "");
}

std::string StateText(int engineState) {
  switch (engineState) {
    case kEnginePlaying: return std::string(StringText(StringId::kCaptionPlay));
    case kStateMonitoring: return std::string(StringText(StringId::kRecordStateRecPause));
    case kStateRecording: return std::string(StringText(StringId::kRecordStateRecording));
    case kStateLive: return std::string(StringText(StringId::kRecordStateRecordPlay));
    default: return std::string(StringText(StringId::kRecordStateStopped));
  }
}

RecordingSession::RecordingSession(RunEnvironment& environment, RunState& run, SettingsStore& settings,
                                   Prompts& prompts)
    : m_environment(environment), m_run(run), m_settings(settings), m_prompts(prompts) {
  m_choices.channelChoice = settings.Read(setting::kRecordStereo) == 1 ? 1 : 0;
  const int rate = settings.Read(setting::kRecordRate);
  m_choices.rateChoice = rate >= 0 && rate <= 4 ? rate : 1;
  m_choices.customRate = std::clamp(settings.Read(setting::kCustomRate), kMinCustomRate, kMaxCustomRate);
  m_choices.bitsPerSample = ResolutionBits(ResolutionIndex(settings.Read(setting::kRecordBits)));
  SetFullScale(LargestMagnitude(m_choices.bitsPerSample));
  m_environment.Runner().SetLiveInputStopper([this] { Stop(); });
}

RecordingSession::~RecordingSession() {
  m_environment.Runner().SetLiveInputStopper({});
  // A recording not saved stays in the temporary folder, where the next start offers it.
  if (InputRunning()) Stop();
}

int RecordingSession::State() const { return m_run.engineState; }

bool RecordingSession::InputRunning() const { return m_environment.Devices().InputOpen(); }

bool RecordingSession::CheckDevices() {
  const int device = m_settings.Read(setting::kDevIn);
  if (device < 0 || static_cast<size_t>(device) >= m_environment.Cards().InputDeviceNames().size()) {
    m_prompts.Show(StringText(StringId::kNoRecordingDevices), "", PromptIcon::Error);
    return false;
  }
  return true;
}

bool RecordingSession::CheckFormat(const WaveFormat& format) {
  // A query only: the device is opened with the format and closed again at once.
  std::unique_ptr<WaveIn> probe = m_environment.Cards().MakeInput();
  const int result = probe->Open(static_cast<unsigned>(m_settings.Read(setting::kDevIn)),
                                 DeviceEngine::DeviceFormat(format), m_environment.Queue(), MessageQueue::kNoTarget);
  if (result == kWaveOk) {
    probe->Close();
    return true;
  }
  std::string text;
  switch (result) {
    case 2: text = StringText(StringId::kInputDeviceMissing); break;
    case 4: text = StringText(StringId::kInputDeviceInUse); break;
    case 6: text = StringText(StringId::kInputDriverNotLoaded); break;
    case kWaveBadFormat: text = StringText(StringId::kInputFormatRefused); break;
    default: text = probe->ErrorText(result);
  }
  m_prompts.Show(text, "", PromptIcon::Error);
  return false;
}

bool RecordingSession::TakeFileName() {
  if (!m_fileName.empty()) return true;
  m_fileName = MakeTempFileName(m_settings.Read(setting::kTempPath), m_prompts);
  return !m_fileName.empty();  // the message has been shown
}

bool RecordingSession::OpenInput(int createMode, int runningState) {
  const WaveFormat format = RecordFormat(m_choices);
  if (!CheckFormat(format)) return false;
  m_bytesPerSecond = format.avgBytesPerSecond;
  const bool live = m_run.liveInput != 0;
  if (!live && !TakeFileName()) return false;
  if (m_environment.Devices().OpenInput(live ? std::string() : m_fileName, format, createMode) != 0) {
    m_prompts.Show(StringText(StringId::kRecordSetupFailed), "", PromptIcon::Error);
    m_run.engineState = kEngineStopped;
    if (!live && !m_recorded) {
      // Holds nothing: the next start takes a new name (the folder may have been the fault).
      if (FileExists(m_fileName)) DeleteTempFile(m_fileName);
      m_fileName.clear();
    }
    return false;
  }
  m_run.engineState = runningState;
  m_started = true;
  if (!live) m_recorded = m_recorded || runningState == kStateRecording;
  return true;
}

void RecordingSession::Record() {
  const int state = State();
  if (InputRunning() && (state == kStateRecording || state == kStateLive)) {
    Stop();  // captioned "Stop" while recording or live
    return;
  }
  if (InputRunning() && state == kStateMonitoring) {
    m_run.engineState = kStateRecording;
    if (m_run.liveInput == 0) m_recorded = true;
    return;
  }
  if (state == kEnginePlaying || state == kEnginePaused) {
    m_environment.Devices().CloseOutput();
    return;
  }
  if (InputRunning() || !CheckDevices()) return;
  StartInput(kStateRecording);
}

void RecordingSession::Preview() {
  const int state = State();
  if (state == kEnginePlaying) {
    m_environment.Devices().PauseOutput();
    return;
  }
  if (InputRunning()) {
    if (state == kStateRecording || state == kStateLive) m_run.engineState = kStateMonitoring;
    return;
  }
  if (state == kEnginePaused || !CheckDevices()) return;
  StartInput(kStateMonitoring);
}

void RecordingSession::StartInput(int fileState) {
  // "FeedThru Mode" is copied into the run state only for as long as live input runs.
  m_run.liveInput = m_choices.liveMode ? 1 : 0;
  const int state = m_choices.liveMode ? kStateLive : fileState;
  // A recording not yet saved is kept: new input is appended (monitoring writes nothing).
  if (!OpenInput(m_recorded ? kCreateAppend : kCreateOverwrite, state)) m_run.liveInput = 0;
}

void RecordingSession::Stop() {
  DeviceEngine& engine = m_environment.Devices();
  const int state = State();
  if (state == kEnginePlaying || state == kEnginePaused) {
    engine.CloseOutput();
    return;
  }
  const bool wasRunning = InputRunning();
  m_recordedTime += engine.RecordPosition();
  engine.CloseInput();
  if (state == kStateLive || m_choices.liveMode || m_run.liveInput != 0) {
    m_run.stopRequested.store(1);  // ends the live run
    engine.CloseOutput();
    m_run.liveInput = 0;
  }
  m_run.engineState = kEngineStopped;
  if (wasRunning) m_elapsed = ElapsedText(engine.BytesRecorded(), m_bytesPerSecond);
}

void RecordingSession::ResetElapsed() {
  if (!InputRunning()) m_elapsed = "00:00";
}

std::string RecordingSession::ElapsedTimeText() const {
  const int state = State();
  if (InputRunning() && (state == kStateRecording || state == kStateLive))
    return ElapsedText(m_environment.Devices().BytesRecorded(), m_bytesPerSecond);
  return m_elapsed;
}

std::string RecordingSession::RecordCaption() const {
  if (InputRunning()) return "Stop";
  return m_started ? "Re-Record" : "&Record";
}

bool RecordingSession::ChangeFormat(const RecordChoices& next) {
  const bool rateOutOfRange = next.customRate < kMinCustomRate || next.customRate > kMaxCustomRate;
  if (rateOutOfRange && (next.rateChoice == 4 || next.customRate != m_choices.customRate)) {
    m_prompts.Show(FormatText(StringId::kIntegerRange,
                              {std::to_string(kMinCustomRate), std::to_string(kMaxCustomRate)}),
                   "", PromptIcon::Warning);
    return false;
  }
  if (InputRunning()) return false;  // the format controls are disabled while input runs
  const bool formatChanges = RecordFormat(next) != RecordFormat(m_choices);
  // Asked whenever the file holds audio: appending another format would spoil it.
  if (formatChanges && m_recorded) {
    if (m_prompts.Ask(StringText(StringId::kRecordFormatChange), "", PromptButtons::YesNo, PromptIcon::Question) !=
        PromptAnswer::Yes)
      return false;
    m_recorded = false;  // the next recording empties the file
    m_recordedTime = 0;
    m_elapsed = "00:00";
  }
  m_choices = next;
  // Level edits clip to and measure against the resolution being recorded.
  SetFullScale(LargestMagnitude(m_choices.bitsPerSample));
  return true;
}

void RecordingSession::ChooseDevice(int index) {
  if (index < 0) return;
  m_settings.Write(setting::kDevIn, index);
  m_environment.ApplyDeviceSettings();
}

std::vector<std::string> RecordingSession::InputDevices() const { return m_environment.Cards().InputDeviceNames(); }

int RecordingSession::InputDevice() const { return m_settings.Read(setting::kDevIn); }

int RecordingSession::PeakLeft() const { return m_environment.Devices().InputPeakLeft(); }

int RecordingSession::PeakRight() const { return m_environment.Devices().InputPeakRight(); }

DiskSpace RecordingSession::FreeDiskSpace() const {
  DiskSpace space;
  const std::string folder = m_settings.Read(setting::kTempPath);
  struct statvfs info {};
  if (statvfs(folder.c_str(), &info) != 0) return space;
  const uint64_t freeBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  const uint64_t totalBytes = static_cast<uint64_t>(info.f_blocks) * info.f_frsize;
  space.freeText = FreeSpaceText(freeBytes);
  space.availableText = AvailableTimeText(freeBytes, m_bytesPerSecond);
  space.percentFree = totalBytes > 0 ? static_cast<int>(freeBytes * 100 / totalBytes) : 0;
  return space;
}

void RecordingSession::WriteChoices() {
  m_settings.Write(setting::kCustomRate, m_choices.customRate);
  m_settings.Write(setting::kRecordRate, m_choices.rateChoice);
  m_settings.Write(setting::kRecordStereo, m_choices.channelChoice);
  m_settings.Write(setting::kRecordBits, m_choices.bitsPerSample);
}

RecordingSession::SaveResult RecordingSession::Save(const AskSaveName& askName, const OpenDocument& open) {
  if (InputRunning()) Stop();
  if (m_fileName.empty() || !FileExists(m_fileName)) return SaveResult::Failed;
  const std::string chosen = askName(m_fileName);
  if (chosen.empty()) return SaveResult::Cancelled;
  if (!SameFile(chosen, m_fileName)) {
    if (const std::string problem = DescribeOutputProblem(chosen); !problem.empty()) {
      m_prompts.Show(problem, "", PromptIcon::Error);
      return SaveResult::Failed;
    }
    if (FileExists(chosen) &&
        m_prompts.Ask(FormatText(StringId::kSaveReplaceQuestion, {chosen}), StringText(StringId::kCaptionFileReplace),
                      PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes)
      return SaveResult::Declined;
    // Put in place in one step over the old file, so a failure leaves both as they were.
    if (MoveFile(m_fileName, chosen, false) != 0) {
      m_prompts.Show(StringText(StringId::kRecordRenameFailed), StringText(StringId::kCaptionError),
                     PromptIcon::Error);
      return SaveResult::Failed;
    }
  }
  m_settings.Write(setting::kLastPath, chosen);
  m_fileName.clear();  // saved: nothing is left to discard
  m_recorded = false;
  WriteChoices();
  if (open) open(chosen);
  return SaveResult::Saved;
}

bool RecordingSession::Close() {
  if (InputRunning()) Stop();
  if (!m_fileName.empty()) {
    if (m_recorded && m_prompts.Ask(StringText(StringId::kDiscardRecording), "", PromptButtons::YesNo,
                                    PromptIcon::Question) != PromptAnswer::Yes)
      return false;
    DeleteTempFile(m_fileName);
    m_fileName.clear();
    m_recorded = false;
  }
  WriteChoices();
  return true;
}

}  // namespace ztlive
