// A user's input to a filter settings window, for the window tests: typing into a value's
// field, clicking a button where it takes clicks, choosing a preset and saving one by name.
#pragma once

#include <QString>

class QAbstractButton;
class QComboBox;
class QSpinBox;

namespace ztlive {
class FilterSettingsDialog;
class SliderEditPair;
}  // namespace ztlive

namespace ztlive::test {

// Selects the field's text, types the value and presses Return.
void TypeValue(SliderEditPair& pair, int value);
void TypeValue(SliderEditPair& pair, const QString& text);
void TypeValue(QSpinBox& spin, int value);

// Clicks a button on its left part: a radio button or check box takes clicks only on its
// indicator and text, which may be narrower than the widget.
void Click(QAbstractButton& button);

// Picks a preset in the box as the user does (a failed test when the box lacks it).
void ChoosePreset(QComboBox& box, const QString& name);

// Saves the shown values from "Save" under a name typed into the "Preset Name" dialog.
void SaveAs(FilterSettingsDialog& dialog, const QString& name);

}  // namespace ztlive::test
