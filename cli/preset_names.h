// The preset combo box of a settings window stood in for on the command line: a list of the
// names, one selection and an edit text, so the windows' preset flows (save with its
// overwrite question, delete with its checks) run unchanged.
#pragma once

#include <string>
#include <vector>

#include "filters/framework/preset_list.h"

namespace ztlive::cli {

class PresetNames : public PresetComboBox {
 public:
  void Clear() override;
  int Count() const override { return static_cast<int>(m_items.size()); }
  void Add(std::string_view text) override { m_items.emplace_back(text); }
  void Remove(int index) override;
  std::string ItemText(int index) const override;
  int Find(std::string_view text) const override;
  int Selected() const override { return m_selected; }
  void Select(int index) override;
  std::string EditText() const override { return m_edit; }
  void Focus() override {}

  // As if typed into the edit field.
  void SetEditText(std::string text) { m_edit = std::move(text); }
  const std::vector<std::string>& Items() const { return m_items; }

 private:
  std::vector<std::string> m_items;
  int m_selected = -1;
  std::string m_edit;
};

}  // namespace ztlive::cli
