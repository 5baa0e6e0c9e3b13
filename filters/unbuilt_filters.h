// The descriptors of the filter types whose engines are not built yet, and of the types that
// have no engine by design. Each engine, when it is built, takes its descriptor into its own
// file and adds its parameters there.
#pragma once

#include "filters/framework/filter_descriptor.h"

namespace ztlive::unbuilt {

const FilterDescriptor& FileConversion();
const FilterDescriptor& PitchChange();
const FilterDescriptor& Reverb();
const FilterDescriptor& VirtualValve();
const FilterDescriptor& Dynamics();
const FilterDescriptor& MultiFilter();
const FilterDescriptor& ChannelBlender();
const FilterDescriptor& Normalize();
const FilterDescriptor& PunchAndCrunch();
// The types 3, 5 and 16: nothing behind them, and no engine is made.
const FilterDescriptor& Empty3();
const FilterDescriptor& Empty5();
const FilterDescriptor& Empty16();

}  // namespace ztlive::unbuilt
