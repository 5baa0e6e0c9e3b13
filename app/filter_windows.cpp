#include "app/filter_windows.h"

#include <vector>

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/progress_window.h"  // main_frame.h keeps it in a QPointer
#include "filters/eq/brick_wall_dialog.h"
#include "filters/eq/brick_wall_filter.h"
#include "filters/eq/filter_dialog.h"
#include "filters/eq/graphic_eq_dialog.h"
#include "filters/eq/paragraphic_eq_dialog.h"
#include "filters/restoration/adaptive_speech_dialog.h"
#include "filters/restoration/adaptive_speech_filter.h"
#include "filters/restoration/continuous_noise_dialog.h"
#include "filters/restoration/continuous_noise_filter.h"
#include "filters/restoration/dynamic_noise_dialog.h"
#include "filters/restoration/dynamic_noise_filter.h"
#include "filters/restoration/harmonic_reject_dialog.h"
#include "filters/restoration/harmonic_reject_filter.h"
#include "filters/restoration/impulse_dialog.h"
#include "filters/restoration/impulse_filter.h"

namespace ztlive {

namespace {

constexpr FilterTypeId kClassicWindow = 19;  // the low pass's type keys the shared window

std::vector<FilterWindowEntry> MakeEntries() {
  std::vector<FilterWindowEntry> entries;
  auto add = [&entries](const FilterDescriptor& descriptor) {
    entries.push_back({descriptor.typeId, descriptor.menuCommand, descriptor.windowTitle, descriptor.windowTitle});
  };
  // The restoration filters, each with a window of its own, the classic filters' shared one,
  // then the equalizers.
  add(ImpulseProcessor::Descriptor());
  add(NoiseReductionProcessor::Descriptor());
  add(HarmonicRejectProcessor::Descriptor());
  add(DynamicNoiseProcessor::Descriptor());
  add(AdaptiveProcessor::Descriptor());
  for (const FilterDescriptor* mode : FilterDialog::Modes()) add(*mode);
  add(GraphicEqProcessor::Descriptor());
  add(ParagraphicEqProcessor::Descriptor());
  add(BrickWallProcessor::Descriptor());
  return entries;
}

}  // namespace

std::span<const FilterWindowEntry> FilterWindowEntries() {
  static const std::vector<FilterWindowEntry> entries = MakeEntries();
  return entries;
}

FilterTypeId SharedFilterWindowType(FilterTypeId type) {
  return FilterDialog::FindMode(type) != nullptr ? kClassicWindow : type;
}

QDialog* MakeFilterWindow(FilterTypeId type, FilterWindowHost& host, QWidget* parent) {
  if (FilterDialog::FindMode(type) != nullptr) return new FilterDialog(host, parent);
  if (type == ImpulseDialog::kType) return new ImpulseDialog(host, parent);
  if (type == DynamicNoiseDialog::kType) return new DynamicNoiseDialog(host, parent);
  if (type == HarmonicRejectDialog::kType) {
    auto* window = new HarmonicRejectDialog(host, parent);
    // "Find" listens to the selection of the active document's source.
    if (auto* frame = dynamic_cast<CMainFrame*>(&host); frame != nullptr)
      window->SetStretchProvider([frame]() -> std::optional<HarmonicRejectDialog::Stretch> {
        CChildFrame* child = frame->ActiveChild();
        if (child == nullptr) return std::nullopt;
        int64_t first = 0;
        int64_t last = 0;
        child->Selection(first, last);
        return HarmonicRejectDialog::Stretch{child->Document().SourceName(), static_cast<uint64_t>(first),
                                             static_cast<uint64_t>(last)};
      });
    return window;
  }
  if (type == AdaptiveSpeechDialog::kType) return new AdaptiveSpeechDialog(host, parent);
  if (type == GraphicEqDialog::kType) return new GraphicEqDialog(host, parent);
  if (type == ParagraphicEqDialog::kType) return new ParagraphicEqDialog(host, parent);
  if (type == BrickWallDialog::kType) return new BrickWallDialog(host, parent);
  if (type == ContinuousNoiseDialog::kType) {
    auto* window = new ContinuousNoiseDialog(host, parent);
    // Noise is sampled from the source of the active document; its rate places the print.
    if (auto* frame = dynamic_cast<CMainFrame*>(&host); frame != nullptr)
      window->SetSourceNameProvider([frame] {
        CChildFrame* child = frame->ActiveChild();
        return child != nullptr ? child->Document().SourceName() : std::string();
      });
    return window;
  }
  return nullptr;
}

void SwitchFilterWindow(QDialog& window, FilterTypeId type) {
  if (FilterDialog::FindMode(type) == nullptr) return;
  if (auto* dialog = qobject_cast<FilterDialog*>(&window); dialog != nullptr) dialog->SetMode(type);
}

}  // namespace ztlive
