#include "filters/framework/filter_types.h"


namespace ztlive {

int FindFilterType(std::span<const FilterTypeEntry> list, FilterTypeId typeId) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].typeId == typeId) return static_cast<int>(i);
  return -1;
}

}  // namespace ztlive
