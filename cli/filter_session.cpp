#include "cli/filter_session.h"

#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "cli/interrupts.h"
#include "filters/eq/filter_modes.h"
#include "filters/filter_factory.h"
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
  CZantoDoc document(job.source, m_settings, m_context.prompts);
  if (!job.preview) {
    document.SetDestinationName(job.destination, false);
    // A destination that does not exist yet has no positions to mirror.
    if (!FileExists(job.destination)) document.SetSyncMode(0);
  }
  m_run.loopPreview = job.loop ? 1 : 0;
  CommandLineView view(document, job.region);
  const int result = m_environment->Runner().RunFilter(&view, job.type, dialog, job.preview, -1, job.values);
  if (m_progressShown) std::fprintf(m_context.err, "\n");
  m_progressShown = false;
  return result;
}

bool ReadFilterValues(const ParsedArguments& parsed, FilterTypeId type, PresetValues& values, int& exitCode,
                      CommandContext& context) {
  const FilterModeInfo* mode = FindFilterMode(type);
  if (const auto given = parsed.values.find("values"); given != parsed.values.end()) {
    values = PresetValues();
    std::stringstream list(given->second);
    std::string item;
    size_t index = 0;
    while (std::getline(list, item, ',')) {
      char* end = nullptr;
      const long value = std::strtol(item.c_str(), &end, 10);
      if (item.empty() || *end != '\0' || index >= values.p.size() || value < INT32_MIN || value > INT32_MAX) {
        PrintError(context, FormatText(StringId::kCliBadValues, {given->second}));
        exitCode = kExitUsage;
        return false;
      }
      values.p[index++] = static_cast<int32_t>(value);
    }
    if (mode != nullptr) {
      if (const std::optional<int> bad = FirstValueOutOfRange(*mode, values)) {
        const ValueControl* control = *bad == 1 ? &mode->first : *bad == 2 ? &mode->second : nullptr;
        const std::string low = control != nullptr ? std::to_string(control->minimum) : "0";
        const std::string high = control != nullptr ? std::to_string(control->maximum) : (*bad == 0 ? "2" : "1");
        const std::string label = control != nullptr ? std::string(control->label) : (*bad == 0 ? "slope" : "slot");
        PrintError(context, FormatText(StringId::kCliValueOutOfRange, {std::to_string(*bad), label, low, high}));
        exitCode = kExitUsage;
        return false;
      }
    }
    return true;
  }
  std::unique_ptr<FilterProcessor> engine;
  CreateFilterProcessor(type, engine, context.prompts);
  if (engine == nullptr) {
    values = PresetValues();  // the run reports the missing engine
    return true;
  }
  if (const auto preset = parsed.values.find("preset"); preset != parsed.values.end()) {
    if (engine->LoadPreset(preset->second) != 0) {
      PrintError(context, FormatText(StringId::kPresetNotFound, {preset->second}));
      exitCode = kExitFailure;
      return false;
    }
    values = engine->values;
    return true;
  }
  // The settings window opens on the preset "Default", or on its own defaults.
  if (engine->LoadPreset("Default") == 0)
    values = engine->values;
  else if (mode != nullptr)
    values = DefaultModeValues(*mode);
  else if (const FilterFactoryRow* row = FindFactoryRow(type); row != nullptr && row->defaults)
    values = *row->defaults;
  else
    values = engine->values;
  return true;
}

}  // namespace ztlive::cli
