// The preset list of a filter settings window: a combo box of the presets stored in the
// filter's section, with "Save" and "Delete", its "Default" entry and its messages. Written
// against a small combo-box interface and Prompts, so the Qt window and the tests share it.
#pragma once

#include <string>
#include <string_view>

#include "filters/framework/preset_values.h"
#include "platform/prompts.h"

namespace ztlive {

// The combo box a preset list fills and reads.
class PresetComboBox {
 public:
  virtual ~PresetComboBox() = default;
  virtual void Clear() = 0;
  virtual int Count() const = 0;
  virtual void Add(std::string_view text) = 0;
  virtual void Remove(int index) = 0;
  virtual std::string ItemText(int index) const = 0;
  // Index of the entry with exactly this text, or -1.
  virtual int Find(std::string_view text) const = 0;
  // Selected index, or -1.
  virtual int Selected() const = 0;
  // Selects an entry; the edit text becomes its text.
  virtual void Select(int index) = 0;
  // The text in the combo box's edit field.
  virtual std::string EditText() const = 0;
  virtual void Focus() = 0;
};

// The "Preset Name" dialog: an edit field of at most 64 characters under "Enter a name for
// this preset", with "OK" and "Cancel". False for Cancel.
class PresetNameAsker {
 public:
  virtual ~PresetNameAsker() = default;
  virtual bool AskPresetName(std::string& name) = 0;
};

class PresetList {
 public:
  PresetList(Prompts& prompts, PresetNameAsker& nameAsker) : m_prompts(prompts), m_nameAsker(nameAsker) {}

  // section = sectionBase + "Set".
  void SetSection(std::string_view sectionBase);
  // Lists the section's keys in file order, leaving out the hidden "_*" keys.
  void FillList(PresetComboBox& combo) const;
  // Selects "Default" (adding it when missing) and loads it: 0 when values were read.
  int LoadDefault(PresetComboBox& combo, PresetValues& values);
  // Loads the selected entry: 0 when values were read, 1 for no selection or no preset.
  int LoadSelected(PresetComboBox& combo, PresetValues& values);
  // Asks for a name and stores values under it: 0 when saved, 1 when not.
  int SavePresetAs(PresetComboBox& combo, const PresetValues& values);
  // Deletes the preset named in the combo box after asking: 0 when deleted, 1 when not.
  int DeleteSelected(PresetComboBox& combo);
  // Stores values as "Default" (as a window closes with auto-save on).
  void SaveDefault(PresetComboBox& combo, const PresetValues& values);

  const std::string& Section() const { return m_section; }
  const std::string& CurrentName() const { return m_currentName; }

 private:
  void SelectDefault(PresetComboBox& combo) const;

  Prompts& m_prompts;
  PresetNameAsker& m_nameAsker;
  std::string m_section = "Default";
  std::string m_currentName;
};

}  // namespace ztlive
