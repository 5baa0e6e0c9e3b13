#include "live/batch_run.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>
#include <algorithm>

#include "filters/filter_registry.h"
#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/preset_combo_box.h"
#include "live/multi_filter_window.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

// The end message lists at most this many files that were not done.
constexpr size_t kListedProblems = 20;

std::string RowName(FilterTypeId type) {
  const std::span<const FilterTypeEntry> list = BatchFilterList();
  const int row = FindFilterType(list, type);
  return row >= 0 ? std::string(list[static_cast<size_t>(row)].name) : std::to_string(type);
}

std::vector<std::string> EntriesOf(const PresetComboWidget& box) {
  std::vector<std::string> names;
  for (int i = 0; i < box.Count(); ++i) names.push_back(box.ItemText(i));
  return names;
}

// Chooses the first entry beginning with presetName the way the user does, so the window
// loads it. A preset stored since the window filled its list (saved from another window) is
// listed first.
void ChoosePreset(PresetComboWidget& box, const PresetList& presets, FilterTypeId type, const std::string& presetName) {
  int index = FindBatchPreset(EntriesOf(box), presetName);
  if (index < 0 && FindBatchPreset(BatchPresetNames(type), presetName) >= 0) {
    presets.FillList(box);
    index = FindBatchPreset(EntriesOf(box), presetName);
  }
  if (index < 0) return;  // the window keeps the settings it shows
  box.Select(index);
  emit box.activated(index);
}

}  // namespace

QDialog* BatchRun::OpenRunWindow(FilterTypeId type) {
  if (type == kMultiFilter) return m_host.OpenChainWindow();
  return m_host.OpenFilterWindow(type, QString::fromStdString(RowName(type)));
}

bool BatchRun::LoadPresetAndRun(QDialog& window, FilterTypeId type, const std::string& presetName) {
  if (type == kMultiFilter) {
    auto* chain = qobject_cast<MultiFilterWindow*>(&window);
    if (chain == nullptr) return false;
    ChoosePreset(chain->PresetBox(), chain->Chain().Presets(), type, presetName);
    return chain->RunFilter() == 1;
  }
  auto* dialog = qobject_cast<FilterSettingsDialog*>(&window);
  if (dialog == nullptr) return false;
  ChoosePreset(dialog->PresetBox(), dialog->Logic().Presets(), type, presetName);
  // The run is synchronous: it has ended, and its destination is complete, when this returns.
  return dialog->RunFilterOverFile() == 1;
}

bool BatchRun::RunFile(const BatchJob& job, QDialog* window, const std::string& path, const std::string& output,
                       std::string& problem) {
  bool openedNow = false;
  QPointer<QWidget> document = m_host.OpenBatchDocument(path, openedNow);
  if (document == nullptr) {
    problem = FormatText(StringId::kBatchFileCannotOpen, {path});
    return false;
  }
  QCoreApplication::processEvents();
  if (document == nullptr) {
    problem = FormatText(StringId::kBatchFileRunFailed, {path});
    return false;
  }
  const BatchSource source = m_host.SourceOf(*document);
  const BatchByteRegion region = BatchRegion(job, source.dataBytes, source.bytesPerSecond, source.blockAlign);
  // An empty region (the last 10 s of a 5 s file) has nothing to filter; an empty selection
  // would make the run take the whole file instead.
  if (region.end <= region.start) {
    problem = FormatText(StringId::kBatchRegionEmpty, {path});
    if (openedNow && !job.keepDocumentsOpen) m_host.CloseBatchDocument(*document);
    return false;
  }
  m_host.SelectInSource(*document, region.start, region.end);
  m_host.ActivateBatchDocument(*document);

  bool done = false;
  if (job.filterType == kNormalizeFilter) {
    done = m_host.NormalizeSourceSelection(*document);
    if (!done) problem = FormatText(StringId::kBatchNormalizeFailed, {path});
  } else if (window == nullptr || !LoadPresetAndRun(*window, job.filterType, job.presetName) || document == nullptr) {
    problem = FormatText(StringId::kBatchFileRunFailed, {path});
  } else {
    done = m_host.SaveBatchDestination(*document, output);
    if (!done) problem = FormatText(StringId::kBatchFileNotSaved, {path, output});
  }
  // A document whose result is not saved stays open, so nothing of it is lost; one that was
  // open before the batch is the user's and stays too.
  if (done && openedNow && !job.keepDocumentsOpen && document != nullptr) m_host.CloseBatchDocument(*document);
  return done;
}

BatchRunReport BatchRun::Run(const BatchJob& job, const StopCheck& stop, const FileStarted& started) {
  BatchRunReport report;
  Prompts& prompts = m_host.WindowPrompts();
  const std::string caption(StringText(StringId::kCaptionBatchEditor));
  if (job.filterType == kNoBatchFilter || BatchFilterRow(job.filterType) < 0) {
    prompts.Show(StringText(StringId::kBatchNoFilterSelected), caption, PromptIcon::Warning);
    return report;
  }
  // Every result would fail alike: said once, before anything runs.
  if (job.filterType != kNormalizeFilter && job.useDestinationDirectory) {
    if (job.destinationDirectory.empty()) {
      prompts.Show(StringText(StringId::kBatchNoDestination), caption, PromptIcon::Warning);
      return report;
    }
    if (!QFileInfo(QString::fromStdString(job.destinationDirectory)).isDir()) {
      prompts.Show(FormatText(StringId::kBatchDestinationMissing, {job.destinationDirectory}), caption,
                   PromptIcon::Warning);
      return report;
    }
  }
  QPointer<QDialog> window;
  if (job.filterType == kNormalizeFilter) {
    if (prompts.Ask(StringText(StringId::kBatchNormalizeInPlace), caption, PromptButtons::OkCancel,
                    PromptIcon::Question) != PromptAnswer::Ok)
      return report;
  } else {
    window = OpenRunWindow(job.filterType);
    if (window == nullptr) {
      prompts.Show(FormatText(StringId::kBatchNoFilterWindow, {RowName(job.filterType)}), caption,
                   PromptIcon::Warning);
      return report;
    }
  }
  report.started = true;
  report.total = static_cast<int>(job.files.size());
  // Every output name is decided before the first file is written, so no result of this
  // batch takes the name another of its files was given.
  const std::vector<std::string> outputs =
      job.filterType == kNormalizeFilter ? std::vector<std::string>(job.files.size()) : BatchOutputNames(job);
  for (int index = 0; index < report.total; ++index) {
    if (index > 0 && stop && stop()) {
      report.stopped = true;
      break;
    }
    if (started) started(index);
    ++report.attempted;
    const std::string& path = job.files[static_cast<size_t>(index)];
    if (IsMp3(path)) {
      report.problems.push_back(Mp3RefusedMessage(path));
      continue;
    }
    const std::string& output = outputs[static_cast<size_t>(index)];
    if (job.filterType != kNormalizeFilter && output.empty()) {
      report.problems.push_back(NoFreeOutputNameMessage(path));
      continue;
    }
    // The settings window may have been closed between files: it is opened again.
    if (job.filterType != kNormalizeFilter && (window == nullptr || !window->isVisible()))
      window = OpenRunWindow(job.filterType);
    std::string problem;
    if (RunFile(job, window.data(), path, output, problem))
      ++report.done;
    else
      report.problems.push_back(problem);
  }
  ShowEnd(report);
  return report;
}

void BatchRun::ShowEnd(const BatchRunReport& report) {
  std::string text = report.stopped ? FormatText(StringId::kBatchStopped,
                                                 {std::to_string(report.attempted), std::to_string(report.total)}) +
                                          "\n"
                                    : std::string(StringText(StringId::kBatchComplete));
  if (!report.problems.empty()) {
    text += "\n" + FormatText(StringId::kBatchFilesNotDone,
                              {std::to_string(report.problems.size()), std::to_string(report.total)});
    const size_t listed = std::min(report.problems.size(), kListedProblems);
    for (size_t i = 0; i < listed; ++i) text += "\n" + report.problems[i];
    if (report.problems.size() > listed)
      text += "\n" + FormatText(StringId::kBatchMoreNotDone, {std::to_string(report.problems.size() - listed)});
  }
  m_host.WindowPrompts().Show(text, StringText(StringId::kCaptionBatchEditor),
                              report.problems.empty() ? PromptIcon::Information : PromptIcon::Warning);
}

}  // namespace ztlive
