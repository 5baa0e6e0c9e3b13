// The base of every filter settings window: a modeless dialog over the values of one filter.
// It holds the window's FilterSettingsLogic and preset list, and the controls every filter
// window shares, laid out around the subclass's own controls:
//
//   +-------------------------------+------------+
//   | Content(): the filter's own   | &Preview   |
//   | controls                      | Run &Filter|
//   |                               | &Close     |
//   |                               |            |
//   |                               | [ ] Bypass |
//   +-------------------------------+------------+
//   | [preset combo box       v] &Save  &Delete  |
//   +--------------------------------------------+
//
// The subclass makes its value controls from the filter's parameter records
// (MakeValueControls) and lays them out; the base reads and sets them (ShownValues,
// ShowValues). When the window opens it lists its filter's presets and loads "Default"
// (a window bound to a chain node's engine shows that engine's values instead); choosing a
// preset loads it. Every change reaches the attached engine, the next run over a
// file and the run in progress at once. Closing while a run is in progress only asks that run to stop;
// otherwise the window hides (it is not deleted) and emits finished().
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <span>
#include <string>
#include <string_view>

#include "filters/framework/filter_window_host.h"
#include "filters/framework/filter_settings_logic.h"
#include "filters/framework/preset_combo_box.h"
#include "filters/framework/preset_name_dialog.h"
#include "filters/framework/value_controls.h"

class QCheckBox;
class QPushButton;

namespace ztlive {

class FilterSettingsDialog : public QDialog, public RunDialog {
  Q_OBJECT

 public:
  explicit FilterSettingsDialog(FilterWindowHost& host, QWidget* parent = nullptr);
  ~FilterSettingsDialog() override;

  // RunDialog: the engine of a run started from this window, or null when it ends.
  FilterProcessor* AttachProcessor(FilterProcessor* processor) override;
  // During a run the run button that did not start it is disabled; pressing the one that
  // did stops the run.
  void EnableRunControls(bool enabled) override;
  // While a run reads the values, every text field is disabled except the ones
  // FieldsChangeableDuringRun() names (a spin box's own field included); afterwards the
  // fields disabled here are enabled again.
  void EnableTextEntry(bool enabled) override;

  // Binds the window to an engine that belongs to someone else (a node of the filter chain):
  // the controls show the engine's values and every change reaches it. Opening the window
  // or choosing this filter again keeps the engine's values; no "Default" is loaded into it.
  // The binding ends when the engine is released or detached (AttachProcessor(nullptr)),
  // when another filter is chosen in the window, or with BindEngine(nullptr).
  void BindEngine(FilterProcessor* engine);
  FilterProcessor* BoundEngine() const { return m_boundEngine; }
  void ReleaseEngine(FilterProcessor* engine) override;

  // A preview (to the output device) or a run over the document's selection into its
  // destination, with the values shown: 1 when done, else 0 or the run's code (its message
  // has been shown). While a run is in progress either one only asks it to stop (0).
  int Preview();
  int RunFilterOverFile();
  bool RunInProgress() const;

  FilterSettingsLogic& Logic() { return m_logic; }
  PresetComboWidget& PresetBox() { return *m_presetBox; }
  PresetNameDialog& NameDialog() { return *m_nameDialog; }
  QPushButton& SaveButton() { return *m_saveButton; }
  QPushButton& DeleteButton() { return *m_deleteButton; }
  QPushButton& PreviewButton() { return *m_previewButton; }
  QPushButton& RunButton() { return *m_runButton; }
  QPushButton& CloseButton() { return *m_closeButton; }
  QCheckBox& BypassBox() { return *m_bypassBox; }
  // The value controls, one per parameter record (made by the subclass's constructor).
  ValueControls& Controls() const { return *m_controls; }

 protected:
  // The filter the window sets: its type, section, ranges and stored order.
  virtual const FilterDescriptor& Descriptor() const = 0;
  virtual FilterTypeId TypeId() const { return Descriptor().typeId; }
  // The eleven values the controls show, in the engine's order. By default the value
  // controls' values (0 where the filter has no record).
  virtual PresetValues ShownValues() const;
  // Sets the controls from a preset record, in the filter's stored order (what StoredValues
  // gives and the preset list reads). By default the record is put into the engine's order
  // with Descriptor().presetRecord over what the controls show (values a load does not take
  // back keep theirs) and shown by the value controls, which hold values outside their ranges
  // at the nearest end.
  virtual void ShowValues(const PresetValues& stored);
  // The record a preset stores, in the filter's stored order.
  virtual PresetValues StoredValues() const { return Descriptor().presetRecord.Store(ShownValues()); }
  // After a preset was written under a name (also the automatic "Default"), or read and
  // shown: for what a filter keeps beside its integers (a noise print).
  virtual void PresetSaved(const std::string&) {}
  virtual void PresetLoaded(const std::string&) {}
  // Before a run from this window starts: false keeps it from starting (the window has said
  // why). After it has ended, whatever its result.
  virtual bool RunStarting(bool /*preview*/) { return true; }
  virtual void RunEnded(bool /*preview*/) {}
  // The engine's preset section base, e.g. "LowPassSet".
  std::string_view SectionBase() const { return Descriptor().sectionBase; }
  // What the controls start at when the window opens and no "Default" can be loaded, as a
  // preset record: the descriptor's starting values in the stored order.
  PresetValues InitialValues() const { return Descriptor().presetRecord.Store(Descriptor().StartingValues()); }

  // The area the subclass puts its own controls in.
  QWidget& Content() { return *m_content; }
  // Makes one control per record inside Content() (the subclass lays them out); each change
  // the user makes calls ControlEdited. Called once, from the subclass's constructor.
  ValueControls& MakeValueControls(std::span<const ParameterRecord> records);
  // The user changed the value p[index]: by default the shown values go to the engines.
  virtual void ControlEdited(int /*index*/) { ValuesEdited(); }
  // Opening: the controls start at InitialValues(), the preset list is filled and "Default"
  // loaded over them, bypass is cleared, and the values are applied. Called when the window
  // is shown; a subclass whose filter changes while it is open calls it again.
  void LoadPresetsOnOpening();
  // Every change of a control calls this: the shown values go to the engines.
  void ValuesEdited();
  // Sets the bypass flag of the attached engine, the next file run and the running engine.
  void ApplyBypass(bool on);

  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Escape closes the window the same way as "&Close".
  void reject() override;
  // The fields that stay usable during a run (their changes reach the running engine).
  virtual QList<QWidget*> FieldsChangeableDuringRun() const { return {}; }

 private:
  enum class RunKind { None, Preview, File };

  void LoadSelectedPreset();
  void SavePreset();
  void DeletePreset();
  int RunFromWindow(RunKind kind);
  // The bound engine's values in the controls and its bypass in the check box.
  void ShowBoundEngine();

  FilterWindowHost& m_host;
  PresetNameDialog* m_nameDialog;
  FilterSettingsLogic m_logic;
  RunKind m_activeRun = RunKind::None;
  QWidget* m_content;
  ValueControls* m_controls = nullptr;
  PresetComboWidget* m_presetBox;
  QPushButton* m_saveButton;
  QPushButton* m_deleteButton;
  QPushButton* m_previewButton;
  QPushButton* m_runButton;
  QPushButton* m_closeButton;
  QCheckBox* m_bypassBox;
  FilterProcessor* m_boundEngine = nullptr;
  // The bound engine while a run from this window has its own engine attached; bound again
  // when the run puts it back.
  FilterProcessor* m_setAsideEngine = nullptr;
  QList<QPointer<QLineEdit>> m_lockedFields;
};

}  // namespace ztlive
