#include "filters/unbuilt_filters.h"

namespace ztlive::unbuilt {

namespace {

constexpr FilterTraits kOwnerDoesWork{.ownerDoesWork = true};

}  // namespace

#define ZTLIVE_DESCRIPTOR(Name, ...)                  \
  const FilterDescriptor& Name() {                    \
    static constexpr FilterDescriptor kDescriptor{__VA_ARGS__}; \
    return kDescriptor;                               \
  }

ZTLIVE_DESCRIPTOR(FileConversion, .typeId = 0, .sectionBase = "FileConversions", .displayName = "File Conversion",
                  .commandName = "file-conversion", .history = 2016, .lookAhead = 0)
ZTLIVE_DESCRIPTOR(PitchChange, .typeId = 21, .sectionBase = "Pitch", .displayName = "Pitch",
                  .commandName = "pitch-change", .history = 64, .lookAhead = 0, .traits = {.changesLength = true})
ZTLIVE_DESCRIPTOR(Reverb, .typeId = 23, .sectionBase = "ReverbSet", .displayName = "Reverb", .commandName = "reverb",
                  .history = std::nullopt, .lookAhead = 0)
ZTLIVE_DESCRIPTOR(VirtualValve, .typeId = 24, .sectionBase = "TubeSound", .displayName = "Virtual Valve",
                  .commandName = "virtual-valve", .history = 0, .lookAhead = 0,
                  .constructorValues = PresetValues{{80, 100, 50, 50}})
ZTLIVE_DESCRIPTOR(Dynamics, .typeId = 25, .sectionBase = "Compressor", .displayName = "Dynamics",
                  .commandName = "dynamics-processor", .history = 0, .lookAhead = 0,
                  .constructorValues = PresetValues{{-330, 20, 100, 200, 60, 0, 0, -200, 50}})
ZTLIVE_DESCRIPTOR(MultiFilter, .typeId = kMultiFilter, .sectionBase = "FilterGraph", .displayName = "MultiFilter",
                  .commandName = "multifilter", .traits = {.isChain = true})
ZTLIVE_DESCRIPTOR(ChannelBlender, .typeId = 29, .sectionBase = "Blender", .displayName = "Channel Blender",
                  .commandName = "channel-blender", .history = 0, .lookAhead = 0)
ZTLIVE_DESCRIPTOR(Normalize, .typeId = 32, .sectionBase = "None", .displayName = "Normalize",
                  .commandName = "normalize", .traits = kOwnerDoesWork)
ZTLIVE_DESCRIPTOR(PunchAndCrunch, .typeId = 33, .sectionBase = "Enhancer", .displayName = "Punch and Crunch",
                  .commandName = "punch-and-crunch", .history = 0, .lookAhead = 0)
ZTLIVE_DESCRIPTOR(Empty3, .typeId = 3, .sectionBase = "None", .displayName = "None", .traits = kOwnerDoesWork)
ZTLIVE_DESCRIPTOR(Empty5, .typeId = 5, .sectionBase = "None", .displayName = "None", .traits = kOwnerDoesWork)
ZTLIVE_DESCRIPTOR(Empty16, .typeId = 16, .sectionBase = "None", .displayName = "None", .traits = kOwnerDoesWork)

#undef ZTLIVE_DESCRIPTOR

}  // namespace ztlive::unbuilt
