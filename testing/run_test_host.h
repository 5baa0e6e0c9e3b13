// The application around a filter settings window, for window tests: a real FilterRun over a
// real document on a given source file, with a settable selection and destination, scripted
// prompts, a private configuration folder (settings and presets) and either a sound card
// without devices or the real sound cards (a preview on the JACK test server).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/device_engine.h"
#include "filters/framework/filter_window_host.h"
#include "document/run_environment.h"
#include "platform/scripted_prompts.h"
#include "platform/wave_device.h"
#include "testing/test_folder.h"

namespace ztlive::test {

class RunTestHost : public FilterWindowHost, public RunView {
 public:
  enum class SoundCards { None, Real };

  // The real sound cards are opened at once: start the JACK test server first.
  explicit RunTestHost(std::string sourcePath, SoundCards cards = SoundCards::None);
  ~RunTestHost() override;
  RunTestHost(const RunTestHost&) = delete;
  RunTestHost& operator=(const RunTestHost&) = delete;

  // FilterWindowHost: runs the filter over the selection of the source with its channels kept.
  int RunFilterFromWindow(FilterTypeId type, RunDialog* dialog, bool preview, const PresetValues& values) override;
  std::string ActiveSourceName() override { return Document().SourceName(); }
  FileRunSettings& FileRun() override { return Runner().FileRun(); }
  RunState& Run() override { return m_run; }
  SettingsStore& Settings() override { return m_settings; }
  Prompts& WindowPrompts() override { return m_prompts; }

  // RunView.
  CZantoDoc& Document() override { return *m_document; }
  void Selection(int64_t& first, int64_t& last) override;

  // First and last data byte offset of the region; 0, 0 (the start) is the whole file.
  void SetSelection(int64_t first, int64_t last);
  // The destination the runs write; one that does not exist yet is made outside sync mode.
  void SetDestination(const std::string& path);
  // The output device whose name begins with nameStart (e.g. "loopback"); false when none.
  bool UseOutputDevice(std::string_view nameStart);

  // Called whenever the message queue pumps (once per block read, and while a preview waits
  // for its playback): a test's stand-in for the window system's own events.
  void SetPump(std::function<void()> pump) { m_pump = std::move(pump); }

  ScriptedPrompts& Answers() { return m_prompts; }
  FilterRun& Runner() { return m_environment->Runner(); }
  // The message queue every block read dispatches (its pump hook is the host's own).
  MessageQueue& Queue() { return m_environment->Queue(); }
  DeviceEngine& Devices() { return m_environment->Devices(); }
  WaveSystem& Cards() { return m_environment->Cards(); }
  // The configuration folder ($ZTLIVE_HOME while the host exists): settings.ini and presets.
  const std::string& HomeFolder() const { return m_home.Path(); }
  std::string PresetFilePath() const;
  // Calls of RunFilterFromWindow and the result of the last one.
  int RunCount() const { return m_runCount; }
  int LastResult() const { return m_lastResult; }

 private:
  TestFolder m_home;
  ScopedEnvironment m_homeVariable;
  TestFolder m_temp;
  SettingsStore m_settings;
  ScriptedPrompts m_prompts;
  RunState m_run;
  std::unique_ptr<RunEnvironment> m_environment;
  std::unique_ptr<CZantoDoc> m_document;
  std::function<void()> m_pump;
  int64_t m_selectionFirst = 0;
  int64_t m_selectionLast = 0;
  int m_runCount = 0;
  int m_lastResult = 0;
};

}  // namespace ztlive::test
