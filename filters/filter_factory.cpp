#include "filters/filter_factory.h"

#include <new>

#include "platform/string_table.h"

namespace ztlive {

int CreateFilterProcessor(FilterTypeId typeId, std::unique_ptr<FilterProcessor>& engine, Prompts& prompts) {
  engine.reset();
  const FilterDescriptor* descriptor = FindFilterDescriptor(typeId);
  if (descriptor != nullptr && descriptor->traits.ownerDoesWork) return 1;
  if (descriptor == nullptr || !descriptor->Built()) {
    prompts.Show(StringText(StringId::kNoFilterSelected), "", PromptIcon::Warning);
    return 0;
  }
  try {
    engine = descriptor->create();
    engine->prompts = &prompts;
  } catch (const std::bad_alloc&) {
    engine.reset();  // the caller reports the shortage
  }
  return 1;
}

}  // namespace ztlive
