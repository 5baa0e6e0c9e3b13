// The chain presets: the filter types under the preset's name in "FilterGraphSet", and each
// filter's own settings hidden under "_*x" + name + position in that filter's section.
#include <string>

#include "filters/filter_registry.h"
#include "filters/framework/preset_store.h"
#include "live/filter_chain.h"

namespace ztlive {

namespace {

std::string HiddenKey(std::string_view name, int position) {
  return "_*x" + std::string(name) + std::to_string(position);
}

std::string ChainSection() { return PresetSection(kChainSectionBase); }

// The hidden presets of the filters a chain preset's slots name. The filter's section is its
// descriptor's; no engine is needed to learn it.
// Returns 0 when every one is gone.
int DeleteHiddenPresets(std::string_view name, const PresetValues& slots) {
  int failure = 0;
  for (size_t i = 0; i < slots.p.size(); ++i) {
    if (slots.p[i] < 0) continue;
    if (const FilterDescriptor* descriptor = FindFilterDescriptor(slots.p[i]); descriptor != nullptr)
      if (const int deleted = PresetFile().DeleteKey(PresetSection(descriptor->sectionBase),
                                                     HiddenKey(name, static_cast<int>(i) + 1));
          deleted != 0)
        failure = deleted;
  }
  return failure;
}

}  // namespace

PresetValues FilterChain::SlotTypes() const {
  PresetValues slots;
  slots.p.fill(-1);
  size_t slot = 0;
  for (const ChainNode& node : m_nodes)
    if (node.IsFilter() && slot < slots.p.size()) slots.p[slot++] = node.type;
  return slots;
}

bool FilterChain::ReadChainPresetTypes(std::string_view name, std::vector<FilterTypeId>& types) {
  PresetValues slots;
  if (ReadPresetValues(ChainSection(), name, slots) != 0) return false;
  types.clear();
  for (const int32_t type : slots.p)
    if (type >= 0) types.push_back(type);
  return true;
}

int FilterChain::WriteChainPreset(std::string_view name, PresetTextForm form) {
  if (name.empty()) return 0;
  // A preset written over holds only this chain's filters: the old ones' settings go first.
  if (PresetValues old; ReadPresetValues(ChainSection(), name, old) == 0 && DeleteHiddenPresets(name, old) != 0)
    return 0;
  if (WritePresetValuesTo(ChainSection(), name, SlotTypes(), form) == 0) return 0;
  int position = 0;
  int written = 1;
  for (ChainNode& node : m_nodes) {
    if (node.IsFilter() && node.processor->WritePreset(HiddenKey(name, position)) != 1) written = 0;
    ++position;
  }
  return written;
}

int FilterChain::LoadChainPresetNamed(std::string_view name) {
  std::vector<FilterTypeId> types;
  if (!ReadChainPresetTypes(name, types)) return 1;
  ClearChain();
  // Slot n's hidden preset belongs to the filter made for slot n, also when an earlier slot's
  // engine could not be made.
  int slot = 0;
  for (const FilterTypeId type : types) {
    ++slot;
    if (ChainNode* node = InsertFilter(type); node != nullptr) node->processor->LoadPreset(HiddenKey(name, slot));
  }
  return 0;
}

int FilterChain::DeleteChainPresetNamed(std::string_view name) {
  PresetValues slots;
  if (name.empty() || ReadPresetValues(ChainSection(), name, slots) != 0) return 1;
  if (PresetFile().DeleteKey(ChainSection(), name) != 0) return 1;
  return DeleteHiddenPresets(name, slots) == 0 ? 0 : 1;
}

void FilterChain::SaveDefaultPreset(PresetComboBox& combo) {
  m_presets.SaveDefault(combo, SlotTypes());
  WriteChainPreset("Default", PresetTextForm::BlankBeforeLast);
}

int FilterChain::SaveChainPresetAs(PresetComboBox& combo) {
  if (m_presets.SavePresetAs(combo, SlotTypes()) != 0) return 1;
  return WriteChainPreset(m_presets.CurrentName(), PresetTextForm::TrailingLineFeed) == 1 ? 0 : 1;
}

int FilterChain::LoadSelectedChainPreset(PresetComboBox& combo) {
  const int selected = combo.Selected();
  if (selected < 0) return 1;
  return LoadChainPresetNamed(combo.ItemText(selected));
}

int FilterChain::DeleteChainPreset(PresetComboBox& combo) {
  const std::string name = combo.EditText();
  if (name.empty()) return 1;
  PresetValues slots;
  if (ReadPresetValues(ChainSection(), name, slots) != 0) {
    LoadSelectedChainPreset(combo);
    return 1;
  }
  if (m_presets.DeleteSelected(combo) != 0) return 1;
  DeleteHiddenPresets(name, slots);  // the chain's own key is gone; its filters' go with it
  LoadSelectedChainPreset(combo);
  return 0;
}

}  // namespace ztlive
