// Everything a filter run from the command line needs: the run state, the message queue,
// the two streams, the device engine (real sound cards only for a preview), the settings and
// a document whose view's selection is the region given on the command line.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/command.h"
#include "cli/region_options.h"
#include "core/device_engine.h"
#include "document/filter_run.h"
#include "document/run_environment.h"
#include "live/filter_chain.h"
#include "platform/settings_store.h"
#include "platform/wave_device.h"

namespace ztlive::cli {

struct FilterJob {
  std::string source;
  std::string destination;  // empty for a preview
  FilterTypeId type = 0;
  PresetValues values;
  Region region;            // to = 0: to the end
  bool preview = false;
  bool loop = false;        // a preview starts again at the region's start
  // An existing destination is replaced whole (a new file renamed over it), never written
  // over in place.
  bool replaceDestination = false;
};

class FilterSession {
 public:
  FilterSession(CommandContext& context, bool withSoundCards);
  ~FilterSession();

  // RunFilter's result: 1 done, else 0 or the run's code (the message has been shown).
  // dialog: what stands in for the filter's settings window, if the filter needs one.
  int Run(const FilterJob& job, RunDialog* dialog = nullptr);
  // The chain as one filter over the job's source (the job's type and values are not used);
  // the same result as Run. The chain must be built on State().
  int RunChain(const FilterJob& job, FilterChain& chain);
  bool Interrupted() const;
  // The last run ended at a question answered No: nothing was written.
  bool Declined() const { return m_environment->Runner().OutputDeclined(); }
  double LoopSeconds() const { return m_environment->Runner().LoopMilliseconds() / 1000.0; }
  SettingsStore& Settings() { return m_settings; }
  RunState& State() { return m_run; }

 private:
  // A document over the job's source and destination whose view selects the job's region.
  int RunOnDocument(const FilterJob& job, const std::function<int(RunView&)>& run);

  CommandContext& m_context;
  bool m_progressShown = false;
  SettingsStore m_settings;
  RunState m_run;
  std::unique_ptr<RunEnvironment> m_environment;
};

// The values of a filter from --values, --preset, the stored "Default" or the window's
// starting values, each checked against the filter's ranges; a preset is loaded into the
// engine (with what it keeps beside the values). False after a message, with the exit code.
bool ReadFilterValues(const ParsedArguments& parsed, FilterProcessor& engine, PresetValues& values, int& exitCode,
                      CommandContext& context);
// The same from the texts of a --values list and a --preset name, either or both absent.
bool ReadFilterValues(const std::optional<std::string>& givenValues, const std::optional<std::string>& presetName,
                      FilterProcessor& engine, PresetValues& values, int& exitCode, CommandContext& context);

}  // namespace ztlive::cli
