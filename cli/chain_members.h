// Filling a filter chain from the command line: from a filter list's members, each engine with its
// checked values, or from a stored chain preset, checked as a run from the window is not
// (a hand-edited preset with a value out of range never runs).
#pragma once

#include <string>
#include <vector>

#include "cli/chain_spec.h"
#include "cli/command.h"
#include "live/filter_chain.h"

namespace ztlive::cli {

// The preset-name question of a chain's "Save": on the command line the name is given, so the
// answer is always that name (an empty one is the preset list's to refuse).
class GivenPresetName : public PresetNameAsker {
 public:
  explicit GivenPresetName(std::string name = {}) : m_name(std::move(name)) {}
  bool AskPresetName(std::string& name) override {
    name = m_name;
    return true;
  }

 private:
  std::string m_name;
};

// Adds an engine per member: values from ":values=", ":preset=", the stored "Default" or the
// starting values, as --filter takes them. False after a message, with the exit code.
bool AddChainMembers(const std::vector<ChainMember>& members, FilterChain& chain, CommandContext& context,
                     int& exitCode);

// The stored filter types of a chain preset, checked as a filter list's are; false after a message.
bool ReadStoredChainTypes(const std::string& name, std::vector<FilterTypeId>& types, CommandContext& context,
                          int& exitCode);

// Loads a stored chain preset (after ReadStoredChainTypes) and checks that every filter was
// made and every value lies in its range; false after a message.
bool LoadStoredChain(const std::string& name, const std::vector<FilterTypeId>& types, FilterChain& chain,
                     CommandContext& context, int& exitCode);

}  // namespace ztlive::cli
