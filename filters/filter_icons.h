// The filter icons: one 36 x 36 picture per filter type of the two filter lists, plus the
// chain's Input and Output ends, painted in code on a transparent background. Every icon is a
// rounded tile in its family's colour (restoration, equalising, effects, the chain's ends)
// with a white sign of what the filter does.
#pragma once

#include <QIcon>
#include <QPixmap>

#include "filters/framework/filter_types.h"

namespace ztlive {

inline constexpr int kFilterIconSize = 36;

// The icon of the chain list's row iconIndex (ChainFilterList(); 20 is Input, 21 Output); a
// null pixmap for an index outside the list.
QPixmap FilterIconPixmap(int iconIndex);
// The icon of a registry icon id (FilterTypeEntry::iconId); null for an unknown id.
QPixmap FilterIconById(int32_t iconId);
// The icon of a filter type (the second median type shows the median's); an empty icon for a
// type no list shows.
QIcon FilterIcon(FilterTypeId type);

}  // namespace ztlive
