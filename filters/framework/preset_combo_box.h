// The preset list's combo box in a settings window: an editable QComboBox, so a new preset's
// name can be typed into it before "Save". Pressing Enter in it never adds an entry; only the
// preset list does.
#pragma once

#include <QComboBox>

#include "filters/framework/preset_list.h"

namespace ztlive {

class PresetComboWidget : public QComboBox, public PresetComboBox {
  Q_OBJECT

 public:
  explicit PresetComboWidget(QWidget* parent = nullptr);

  void Clear() override;
  int Count() const override;
  void Add(std::string_view text) override;
  void Remove(int index) override;
  std::string ItemText(int index) const override;
  int Find(std::string_view text) const override;
  int Selected() const override;
  void Select(int index) override;
  std::string EditText() const override;
  void Focus() override;
};

}  // namespace ztlive
