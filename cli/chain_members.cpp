#include "cli/chain_members.h"

#include <new>

#include "cli/equalizer_bands.h"
#include "cli/filter_session.h"
#include "filters/framework/preset_loading.h"
#include "platform/string_table.h"

namespace ztlive::cli {

namespace {

bool Refuse(const ChainRefusal& refusal, CommandContext& context, int& exitCode) {
  PrintError(context, refusal.message);
  exitCode = refusal.exitCode;
  return false;
}

}  // namespace

bool AddChainMembers(const std::vector<ChainMember>& members, FilterChain& chain, CommandContext& context,
                     int& exitCode) {
  std::vector<FilterTypeId> types;
  for (const ChainMember& member : members) types.push_back(member.descriptor->typeId);
  if (const auto refusal = CheckChainFilters(types)) return Refuse(*refusal, context, exitCode);
  for (const ChainMember& member : members) {
    std::unique_ptr<FilterProcessor> engine;
    try {
      engine = member.descriptor->create();
    } catch (const std::bad_alloc&) {
      engine.reset();
    }
    if (engine == nullptr)
      return Refuse({std::string(StringText(StringId::kChainCreateFailed)), kExitFailure}, context, exitCode);
    engine->prompts = &context.prompts;
    PresetValues values;
    ExtraParamsHolder bands;  // the engine keeps its bands itself; nothing is handed over later
    if (!ReadFilterValues(member.values, member.preset, *engine, values, exitCode, context) ||
        !ReadEqualizerBands(member.bands, member.values.has_value(), *engine, values, bands, exitCode, context))
      return false;
    engine->SetValues(values);
    const FilterTypeId type = engine->GetTypeId();
    // The chain has said why when it refuses the engine.
    if (chain.InsertEngine(std::move(engine), FindFilterType(ChainFilterList(), type)) == nullptr) {
      exitCode = kExitFailure;
      return false;
    }
  }
  return true;
}

bool ReadStoredChainTypes(const std::string& name, std::vector<FilterTypeId>& types, CommandContext& context,
                          int& exitCode) {
  if (!FilterChain::ReadChainPresetTypes(name, types))
    return Refuse({FormatText(StringId::kPresetNotFound, {name}), kExitFailure}, context, exitCode);
  if (const auto refusal = CheckChainFilters(types)) return Refuse(*refusal, context, exitCode);
  return true;
}

bool LoadStoredChain(const std::string& name, const std::vector<FilterTypeId>& types, FilterChain& chain,
                     CommandContext& context, int& exitCode) {
  if (chain.LoadChainPresetNamed(name) != 0)
    return Refuse({FormatText(StringId::kPresetNotFound, {name}), kExitFailure}, context, exitCode);
  // A filter the chain could not make has been named by the chain; the rest must not run alone.
  if (chain.FilterCount() != static_cast<int>(types.size()))
    return Refuse({FormatText(StringId::kCliChainIncomplete,
                              {name, std::to_string(types.size()), std::to_string(chain.FilterCount())}),
                   kExitFailure},
                  context, exitCode);
  for (const ChainNode& node : chain.Nodes()) {
    if (!node.IsFilter()) continue;
    const std::string problem = DescribeValueOutOfRange(*node.processor->Descriptor(), node.processor->values);
    if (!problem.empty())
      return Refuse({FormatText(StringId::kPresetUnusable, {name, problem}), kExitFailure}, context, exitCode);
  }
  return true;
}

}  // namespace ztlive::cli
