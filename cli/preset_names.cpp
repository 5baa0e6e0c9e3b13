#include "cli/preset_names.h"

namespace ztlive::cli {

void PresetNames::Clear() {
  m_items.clear();
  m_selected = -1;
  m_edit.clear();
}

void PresetNames::Remove(int index) {
  if (index < 0 || index >= Count()) return;
  m_items.erase(m_items.begin() + index);
  if (m_selected == index) m_selected = -1;
  else if (m_selected > index) --m_selected;
}

std::string PresetNames::ItemText(int index) const {
  return index >= 0 && index < Count() ? m_items[static_cast<size_t>(index)] : std::string();
}

int PresetNames::Find(std::string_view text) const {
  for (size_t i = 0; i < m_items.size(); ++i)
    if (m_items[i] == text) return static_cast<int>(i);
  return -1;
}

void PresetNames::Select(int index) {
  if (index < 0 || index >= Count()) return;
  m_selected = index;
  m_edit = m_items[static_cast<size_t>(index)];
}

}  // namespace ztlive::cli
