// What the recording window does, without the window: the format chosen by its controls, the
// record / preview / stop / save / close buttons over the device engine and the run state, the
// questions and messages they show, and the texts of the status, time and disk-space fields.
// The Qt window only mirrors the controls into RecordChoices and shows what this reports.
//
// The recording lives in a temporary file until it is saved (moved to the chosen name) or
// discarded on closing. With "FeedThru Mode" the input feeds a live run instead of a file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/wave_format.h"
#include "document/run_environment.h"

namespace ztlive {

// The recording window's format and mode controls.
struct RecordChoices {
  int channelChoice = 0;  // 0 stereo, 1 mono ("RecordStereo")
  int rateChoice = 1;     // 0 48000, 1 44100, 2 22050, 3 11025, 4 the custom rate ("RecordRate")
  int customRate = 48000;  // "CustomRate", 8000 ... 97000
  int bitsPerSample = 16;  // 8, 16, 20 or 24 ("RecordBits")
  bool liveMode = false;   // "FeedThru Mode"

  bool operator==(const RecordChoices&) const = default;
};

inline constexpr int kMinCustomRate = 8000;
inline constexpr int kMaxCustomRate = 97000;

// The sample rate of the choices.
uint32_t RecordRate(const RecordChoices& choices);
// The PCM format of the choices: block align = channels x bytes per sample (3 bytes for 20 bits).
WaveFormat RecordFormat(const RecordChoices& choices);
// The "Resolution" list's entry for a bit count and back (8, 16, 20, 24; anything else is 16).
int ResolutionIndex(int bitsPerSample);
int ResolutionBits(int index);

// Free space as "%5.2fKB", "%7.2fMB" or "%7.2fGB".
std::string FreeSpaceText(uint64_t freeBytes);
// The recording time free space allows, as "%02d:%02d min:sec".
std::string AvailableTimeText(uint64_t freeBytes, uint32_t bytesPerSecond);
// Recorded bytes as minutes and seconds, "%02d:%02d".
std::string ElapsedText(uint64_t bytes, uint32_t bytesPerSecond);
// The status field's text of an engine state.
std::string StateText(int engineState);

struct DiskSpace {
  std::string freeText;
  std::string availableText;
  int percentFree = 0;
};

class RecordingSession {
 public:
  // What saving needs of the window: the save-file dialog (empty: cancelled) and the
  // application's open-document operation.
  using AskSaveName = std::function<std::string(const std::string& proposed)>;
  using OpenDocument = std::function<bool(const std::string& path)>;

  enum class SaveResult { Cancelled, Declined, Failed, Saved };

  RecordingSession(RunEnvironment& environment, RunState& run, SettingsStore& settings, Prompts& prompts);
  ~RecordingSession();
  RecordingSession(const RecordingSession&) = delete;
  RecordingSession& operator=(const RecordingSession&) = delete;

  // The controls as the settings left them.
  const RecordChoices& Choices() const { return m_choices; }
  // "FeedThru Mode" is read when input starts.
  void SetLiveMode(bool on) { m_choices.liveMode = on; }

  // "&Record": starts recording (or live input); while recording or live it stops.
  void Record();
  // "&Preview": monitors the input, or pauses recording or live input.
  void Preview();
  // "Stop" (also the main window's Stop); ends a live run.
  void Stop();
  // A format control changed to next: false when the user kept the recording (the window
  // puts its controls back). A custom rate outside its range is refused with a message.
  bool ChangeFormat(const RecordChoices& next);
  // The "Recording device" list: the position becomes the input device at once.
  void ChooseDevice(int index);
  // Rewind while stopped: the elapsed time shows zero again.
  void ResetElapsed();
  SaveResult Save(const AskSaveName& askName, const OpenDocument& open);
  // "&Close": false when the user keeps the recording and the window.
  bool Close();

  // What the window shows.
  int State() const;
  bool InputRunning() const;  // the timers run
  bool FormatControlsEnabled() const { return !InputRunning(); }
  bool SaveEnabled() const { return !InputRunning() && m_started && !m_fileName.empty(); }
  std::string RecordCaption() const;
  std::string StatusText() const { return StateText(State()); }
  std::string ElapsedTimeText() const;
  DiskSpace FreeDiskSpace() const;
  std::vector<std::string> InputDevices() const;
  int InputDevice() const;
  int PeakLeft() const;
  int PeakRight() const;

  const std::string& FileName() const { return m_fileName; }
  bool Recorded() const { return m_recorded; }
  uint32_t BytesPerSecond() const { return m_bytesPerSecond; }

 private:
  bool CheckDevices();
  bool CheckFormat(const WaveFormat& format);
  bool TakeFileName();
  // Starts input from the stopped state: live input in live mode, else the file state.
  void StartInput(int fileState);
  // Opens the input: false after its message.
  bool OpenInput(int createMode, int runningState);
  void WriteChoices();

  RunEnvironment& m_environment;
  RunState& m_run;
  SettingsStore& m_settings;
  Prompts& m_prompts;
  RecordChoices m_choices;
  std::string m_fileName;
  bool m_recorded = false;   // written into the file since it was last emptied
  bool m_started = false;    // input has been started at least once
  uint32_t m_recordedTime = 0;     // input positions added up at each stop
  uint32_t m_bytesPerSecond = 44100;
  std::string m_elapsed = "00:00.00";  // the time field while no recording runs
};

}  // namespace ztlive
