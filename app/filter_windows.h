// The filter settings windows the main window can open: the menu entries, which types share
// one window (the classic filters share the "Filter" window), and making and switching them.
#pragma once

#include <span>
#include <string_view>

#include "filters/framework/filter_window_host.h"

class QDialog;
class QWidget;

namespace ztlive {

struct FilterWindowEntry {
  FilterTypeId typeId;
  std::string_view menuCommand;  // "&Low Pass..."
  std::string_view caption;      // the window's title for this filter
  std::string_view statusTip;
};

std::span<const FilterWindowEntry> FilterWindowEntries();
// The type under which the window serving this type is kept.
FilterTypeId SharedFilterWindowType(FilterTypeId type);
// A new settings window for the type, or null for a type without one.
QDialog* MakeFilterWindow(FilterTypeId type, FilterWindowHost& host, QWidget* parent);
// Points a shared window at the type's filter.
void SwitchFilterWindow(QDialog& window, FilterTypeId type);

}  // namespace ztlive
