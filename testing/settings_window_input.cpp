#include "testing/settings_window_input.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <algorithm>

#include "filters/framework/filter_settings_dialog.h"
#include "filters/framework/preset_name_dialog.h"
#include "filters/framework/slider_edit_pair.h"
#include "testing/gui_test_support.h"

namespace ztlive::test {

void TypeValue(SliderEditPair& pair, const QString& text) {
  pair.Edit().selectAll();
  QTest::keyClicks(&pair.Edit(), text);
  QTest::keyClick(&pair.Edit(), Qt::Key_Return);
}

void TypeValue(SliderEditPair& pair, int value) { TypeValue(pair, QString::number(value)); }

void TypeValue(QSpinBox& spin, int value) {
  spin.selectAll();
  QTest::keyClicks(&spin, QString::number(value));
  QTest::keyClick(&spin, Qt::Key_Return);
}

void Click(QAbstractButton& button) {
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(std::min(8, button.width() / 2), button.height() / 2));
}

void ChoosePreset(QComboBox& box, const QString& name) {
  const int index = box.findText(name);
  ASSERT_GE(index, 0) << name.toStdString();
  box.setCurrentIndex(index);
  emit box.activated(index);
}

void SaveAs(FilterSettingsDialog& dialog, const QString& name) {
  WhenModalOpens([name](QDialog& asked) {
    auto& nameDialog = static_cast<PresetNameDialog&>(asked);
    nameDialog.NameEdit().setText(name);
    nameDialog.accept();
  });
  Click(dialog.SaveButton());
}

}  // namespace ztlive::test
