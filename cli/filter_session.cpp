#include "cli/filter_session.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <sstream>

#include "cli/interrupts.h"
#include "filters/framework/preset_loading.h"
#include "live/chain_runner.h"
#include "platform/file_ops.h"
#include "platform/portaudio_wave_system.h"
#include "platform/string_table.h"
#include "platform/virtual_sound_card.h"

namespace ztlive::cli {

namespace {

// The view of a command-line document: its selection is the region of the command line.
class CommandLineView : public RunView {
 public:
  CommandLineView(CZantoDoc& document, const Region& region) : m_document(document), m_region(region) {}
  CZantoDoc& Document() override { return m_document; }
  void Selection(int64_t& first, int64_t& last) override {
    first = m_region.from;
    last = m_region.to;
  }

 private:
  CZantoDoc& m_document;
  Region m_region;
};


constexpr int kInterruptCheckMs = 100;

}  // namespace

FilterSession::FilterSession(CommandContext& context, bool withSoundCards) : m_context(context) {
  // Without a preview no sound card is opened: a card with no devices stands in.
  std::unique_ptr<WaveSystem> cards;
  if (withSoundCards)
    cards = std::make_unique<PortAudioWaveSystem>();
  else
    cards = std::make_unique<VirtualSoundCard>(0, 0);
  m_environment = std::make_unique<RunEnvironment>(std::move(cards), m_run, m_settings, context.prompts);
  // Ctrl+C becomes the stop request; waits are cut into short ones so that it is seen soon.
  m_environment->Queue().SetPumpHook([this](int maxWaitMs) {
    if (InterruptGuard::Interrupted()) m_run.stopRequested.store(1);
    if (maxWaitMs != 0) m_environment->Queue().PollWake(maxWaitMs < 0 ? kInterruptCheckMs : std::min(maxWaitMs, kInterruptCheckMs));
  });
  if (isatty(fileno(context.err))) {
    m_environment->Runner().SetProgressListener([this](const ProgressModel& progress) {
      std::fprintf(m_context.err, "\r%4d%%", progress.Percent());
      if (progress.ShowsClicks()) std::fprintf(m_context.err, "  %s", progress.TotalClicksText().c_str());
      std::fflush(m_context.err);
      m_progressShown = true;
    });
  }
}

FilterSession::~FilterSession() = default;

bool FilterSession::Interrupted() const { return InterruptGuard::Interrupted(); }

int FilterSession::Run(const FilterJob& job, RunDialog* dialog) {
  return RunOnDocument(job, [&](RunView& view) {
    return m_environment->Runner().RunFilter(&view, job.type, dialog, job.preview, -1, job.values);
  });
}

int FilterSession::RunChain(const FilterJob& job, FilterChain& chain) {
  return RunOnDocument(job, [&](RunView& view) {
    return ztlive::RunChain(m_environment->Runner(), chain, &view, job.preview);
  });
}

int FilterSession::RunOnDocument(const FilterJob& job, const std::function<int(RunView&)>& run) {
  CZantoDoc document(job.source, m_settings, m_context.prompts);
  if (!job.preview) {
    document.SetDestinationName(job.destination, false);
    // A destination that does not exist yet has no positions to mirror.
    if (job.replaceDestination || !FileExists(job.destination)) document.SetSyncMode(0);
  }
  m_run.loopPreview = job.loop ? 1 : 0;
  CommandLineView view(document, job.region);
  const int result = run(view);
  if (m_progressShown) std::fprintf(m_context.err, "\n");
  m_progressShown = false;
  return result;
}

namespace {

// --values: up to eleven integers, each inside its parameter's range.
bool ParseGivenValues(const std::string& given, const FilterDescriptor& descriptor, PresetValues& values,
                      int& exitCode, CommandContext& context) {
  values = PresetValues();
  std::stringstream list(given);
  std::string item;
  size_t index = 0;
  while (std::getline(list, item, ',')) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || errno != 0 || index >= values.p.size() || value < INT32_MIN ||
        value > INT32_MAX) {
      PrintError(context, FormatText(StringId::kCliBadValues, {given}));
      exitCode = kExitUsage;
      return false;
    }
    values.p[index++] = static_cast<int32_t>(value);
  }
  if (const std::string problem = DescribeValueOutOfRange(descriptor, values); !problem.empty()) {
    PrintError(context, problem);
    exitCode = kExitUsage;
    return false;
  }
  return true;
}

}  // namespace

bool ReadFilterValues(const ParsedArguments& parsed, FilterProcessor& engine, PresetValues& values, int& exitCode,
                      CommandContext& context) {
  auto given = [&](const char* option) {
    const auto value = parsed.values.find(option);
    return value != parsed.values.end() ? std::optional<std::string>(value->second) : std::nullopt;
  };
  return ReadFilterValues(given("values"), given("preset"), engine, values, exitCode, context);
}

bool ReadFilterValues(const std::optional<std::string>& givenValues, const std::optional<std::string>& presetName,
                      FilterProcessor& engine, PresetValues& values, int& exitCode, CommandContext& context) {
  const FilterDescriptor& descriptor = *engine.Descriptor();
  if (givenValues.has_value()) return ParseGivenValues(*givenValues, descriptor, values, exitCode, context);
  // Without --preset, the preset "Default" when it is stored, as the settings window opens.
  const std::string name = presetName.value_or("Default");
  const PresetLoadOutcome loaded = LoadNamedPreset(engine, name);
  if (loaded.result == PresetLoadResult::OutOfRange) {
    PrintError(context, FormatText(StringId::kPresetUnusable, {name, loaded.problem}));
    exitCode = kExitFailure;
    return false;
  }
  if (loaded.Loaded()) {
    values = engine.values;
    return true;
  }
  if (presetName.has_value()) {
    PrintError(context, FormatText(StringId::kPresetNotFound, {name}));
    exitCode = kExitFailure;
    return false;
  }
  values = descriptor.StartingValues();  // no "Default": the window's starting values
  return true;
}

}  // namespace ztlive::cli
