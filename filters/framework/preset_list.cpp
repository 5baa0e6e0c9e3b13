#include "filters/framework/preset_list.h"

#include "filters/framework/preset_store.h"
#include "platform/file_ops.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {
constexpr std::string_view kDefault = "Default";
}  // namespace

void PresetList::SetSection(std::string_view sectionBase) { m_section = PresetSection(sectionBase); }

void PresetList::FillList(PresetComboBox& combo) const {
  combo.Clear();
  for (const std::string& name : PresetFile().KeyNames(m_section, kPresetKeyListBytes))
    if (!IsHiddenPresetName(name)) combo.Add(name);
}

void PresetList::SelectDefault(PresetComboBox& combo) const {
  int index = combo.Find(kDefault);
  if (index < 0) {
    combo.Add(kDefault);
    index = combo.Find(kDefault);
  }
  combo.Select(index);
}

int PresetList::LoadDefault(PresetComboBox& combo, PresetValues& values) {
  SelectDefault(combo);
  return LoadSelected(combo, values);
}

int PresetList::LoadSelected(PresetComboBox& combo, PresetValues& values) {
  const int selected = combo.Selected();
  if (selected < 0) return 1;
  m_currentName = combo.ItemText(selected);
  return ReadPresetValues(m_section, m_currentName, values);
}

int PresetList::SavePresetAs(PresetComboBox& combo, const PresetValues& values) {
  std::string name = combo.EditText();
  if (!m_nameAsker.AskPresetName(name)) return 1;
  name = name.substr(0, kPresetNameMaxChars);
  m_currentName = name;
  if (name.empty()) {
    m_prompts.Show(StringText(StringId::kPresetNameEmpty), "", PromptIcon::Warning);
    combo.Focus();
    return 1;
  }
  const bool listed = combo.Find(name) >= 0;
  if (listed && name != kDefault) {
    const PromptAnswer answer = m_prompts.Ask(FormatText(StringId::kPresetExists, {name}),
                                              StringText(StringId::kCaptionSettingExists),
                                              PromptButtons::YesNo, PromptIcon::Question);
    if (answer != PromptAnswer::Yes) return 1;
  }
  const int written = PresetFile().WriteString(m_section, name, FormatPresetValues(values, PresetTextForm::TrailingLineFeed));
  if (written != 0) {
    // A name the file cannot hold ('=' in it, a leading '[' or ';') or a file that cannot be
    // written: say so rather than lose the settings silently.
    m_prompts.Show(FormatText(StringId::kPresetNotSaved, {name, SystemErrorText(written)}), "", PromptIcon::Warning);
    return 1;
  }
  if (!listed) combo.Add(name);
  combo.Select(combo.Find(name));
  return 0;
}

int PresetList::DeleteSelected(PresetComboBox& combo) {
  const std::string name = combo.EditText();
  if (name == kDefault) {
    m_prompts.Show(StringText(StringId::kPresetDefaultUndeletable), "", PromptIcon::Warning);
    return 1;
  }
  const int index = combo.Find(name);
  if (index < 0) {
    m_prompts.Show(FormatText(StringId::kPresetNotFound, {name}), StringText(StringId::kCaptionDeleteSetting),
                   PromptIcon::None);
    return 1;
  }
  const PromptAnswer answer = m_prompts.Ask(FormatText(StringId::kPresetDeleteQuestion, {name}),
                                            StringText(StringId::kCaptionDeletePreset), PromptButtons::YesNo,
                                            PromptIcon::Question);
  if (answer != PromptAnswer::Yes) return 1;
  if (const int deleted = PresetFile().DeleteKey(m_section, name); deleted != 0) {
    m_prompts.Show(FormatText(StringId::kPresetNotDeleted, {name, SystemErrorText(deleted)}), "", PromptIcon::Warning);
    return 1;
  }
  combo.Remove(index);
  if (combo.Count() > 0) combo.Select(0);
  m_currentName = combo.EditText();
  return 0;
}

void PresetList::SaveDefault(PresetComboBox& combo, const PresetValues& values) {
  SelectDefault(combo);
  const int written =
      PresetFile().WriteString(m_section, kDefault, FormatPresetValues(values, PresetTextForm::BlankBeforeLast));
  if (written != 0)
    m_prompts.Show(FormatText(StringId::kPresetNotSaved, {kDefault, SystemErrorText(written)}), "", PromptIcon::Warning);
  SelectDefault(combo);
}

}  // namespace ztlive
