// The factory: makes the engine of a filter type from its descriptor in the registry.
#pragma once

#include <memory>

#include "filters/filter_registry.h"
#include "filters/framework/filter_processor.h"
#include "platform/prompts.h"

namespace ztlive {

// Makes the engine of a type. 1 with an engine for every type whose engine exists; 1 with
// none for the types whose owner does the work (3, 5, 16, 32) or when memory ran out; 0 after
// the message "ERROR: No filter is selected to run. Try Again" for every other type,
// the chain (its owners build it) and the types not built yet.
int CreateFilterProcessor(FilterTypeId typeId, std::unique_ptr<FilterProcessor>& engine, Prompts& prompts);

}  // namespace ztlive
