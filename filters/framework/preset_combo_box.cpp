#include "filters/framework/preset_combo_box.h"

#include <QLineEdit>

#include "filters/framework/preset_store.h"

namespace ztlive {

namespace {
QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
}  // namespace

PresetComboWidget::PresetComboWidget(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setDuplicatesEnabled(false);
  lineEdit()->setMaxLength(static_cast<int>(kPresetNameMaxChars));
  // Preset names are matched exactly, as the file holds them.
  setCompleter(nullptr);
}

void PresetComboWidget::Clear() { clear(); }

int PresetComboWidget::Count() const { return count(); }

void PresetComboWidget::Add(std::string_view text) { addItem(ToQString(text)); }

void PresetComboWidget::Remove(int index) { removeItem(index); }

std::string PresetComboWidget::ItemText(int index) const { return itemText(index).toStdString(); }

int PresetComboWidget::Find(std::string_view text) const {
  return findText(ToQString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

int PresetComboWidget::Selected() const { return currentIndex(); }

void PresetComboWidget::Select(int index) {
  setCurrentIndex(index);
  if (index >= 0) setEditText(itemText(index));
}

std::string PresetComboWidget::EditText() const { return currentText().toStdString(); }

void PresetComboWidget::Focus() { setFocus(Qt::OtherFocusReason); }

}  // namespace ztlive
