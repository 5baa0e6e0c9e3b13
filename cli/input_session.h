// The sound card's input for `record` and `live`: the run environment on the real sound cards,
// the input device ("DevIn") opened in a format, Ctrl+C, SIGTERM and a time limit turned into
// the stop request, and a status line that only a terminal gets.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/command.h"
#include "document/run_environment.h"
#include "platform/portaudio_wave_system.h"
#include "platform/settings_store.h"

namespace ztlive::cli {

class InputSession {
 public:
  explicit InputSession(CommandContext& context);
  ~InputSession();
  InputSession(const InputSession&) = delete;
  InputSession& operator=(const InputSession&) = delete;

  RunState& State() { return m_run; }
  SettingsStore& Settings() { return m_settings; }
  // After StartDevices.
  RunEnvironment& Environment() { return *m_environment; }

  // Starts the sound system and makes the recording window's device check ("DevIn" names an
  // input device): false after its message.
  bool StartDevices();
  // Opens the input device in format: recording into path (made anew), or, with live input
  // set, into the input stream's blocks. False after the device's message.
  bool OpenInput(const std::string& path, const WaveFormat& format);

  // Seconds of input taken so far: written into the file, or read into the input stream.
  double InputSeconds() const;
  // Once this much input has been taken the stop request is raised (nothing: no limit).
  void SetTimeLimit(std::optional<double> seconds) { m_limit = seconds; }
  bool LimitReached() const;
  bool Interrupted() const;

  // The status line's text, asked for at most ten times a second while the session waits and
  // shown over the last one; only when the error stream is a terminal.
  void SetStatus(std::function<std::string()> text) { m_status = std::move(text); }
  // Ends the status line, if one was shown.
  void EndStatus();

  // Input frames the device had no buffer for, and output frames played as silence because
  // no buffer was queued in time.
  uint64_t LostInputFrames() const { return m_cards != nullptr ? m_cards->OverrunFrames() : 0; }
  uint64_t SilentOutputFrames() const { return m_cards != nullptr ? m_cards->UnderrunFrames() : 0; }

 private:
  void OnPump(int maxWaitMs);
  void ShowStatus();

  CommandContext& m_context;
  SettingsStore m_settings;
  RunState m_run;
  PortAudioWaveSystem* m_cards = nullptr;  // owned by the environment, once started
  std::unique_ptr<RunEnvironment> m_environment;
  WaveFormat m_format;
  std::optional<double> m_limit;
  std::function<std::string()> m_status;
  bool m_terminal = false;
  bool m_statusShown = false;
  std::chrono::steady_clock::time_point m_lastStatus;
};

}  // namespace ztlive::cli
