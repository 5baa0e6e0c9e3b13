// The filter chain: several filters in a row, run as one filter. It always begins with an
// Input node and ends with an Output node; between them stand the filter nodes in processing
// order, each owning an engine with settings of its own. A run pushes every source block
// through all filters in order; links between the filters (ChainLink) hand each filter the
// blocks a read of the previous filter's output file would give, so a chain writes exactly
// what running its filters one after the other through files writes.
//
// The nodes also carry their place in the chain window's graph (x, y, icon) and the settings
// window bound to them; the geometry is laid out here so that the window and the tests agree
// on where a drop lands. Everything runs on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/run_state.h"
#include "core/wave_stream.h"
#include "filters/framework/filter_processor.h"
#include "filters/framework/filter_types.h"
#include "filters/framework/preset_list.h"
#include "filters/framework/run_dialog.h"
#include "live/chain_link.h"
#include "platform/prompts.h"

namespace ztlive {

inline constexpr int kChainSlots = 11;  // filters a chain preset holds
inline constexpr int kInputIconIndex = 20;
inline constexpr int kOutputIconIndex = 21;
inline constexpr FilterTypeId kFileConversionType = 0;
inline constexpr FilterTypeId kPunchAndCrunchType = 33;
inline constexpr std::string_view kChainSectionBase = "FilterGraph";  // presets in "FilterGraphSet"

struct ChainNode {
  int32_t x = 0;
  int32_t y = 0;
  int32_t iconIndex = -1;  // row of the chain's filter list; -1 for a type the list lacks
  FilterTypeId type = -1;  // -1 for the Input and Output nodes
  int selected = 0;
  std::unique_ptr<FilterProcessor> processor;
  RunDialog* dialog = nullptr;            // the settings window bound to the engine; not owned
  WaveStream* inputStream = nullptr;      // set for each run
  WaveStream* outputStream = nullptr;

  bool IsFilter() const { return type >= 0; }
};

// The rectangle of the chain window's graph frame, shrunk by 2 on every side.
struct GraphArea {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

class FilterChain {
 public:
  using NodeList = std::list<ChainNode>;
  using Node = NodeList::iterator;
  // Called after every block of a run has passed every filter (the run's progress).
  using BlockListener = std::function<void()>;

  FilterChain(RunState& run, Prompts& prompts, PresetNameAsker& nameAsker);
  ~FilterChain();
  FilterChain(const FilterChain&) = delete;
  FilterChain& operator=(const FilterChain&) = delete;

  // Editing (not during a run).
  // Adds a filter node in front of `before` (the Output node when none is given), with a new
  // engine at its "Default" preset. Null after a message: the engine could not be made, or
  // the chain already holds as many filters as a chain preset can.
  ChainNode* InsertNode(FilterTypeId type, int iconIndex, const ChainNode* before = nullptr);
  // As above with an engine made elsewhere (its type is the node's).
  ChainNode* InsertEngine(std::unique_ptr<FilterProcessor> engine, int iconIndex, const ChainNode* before = nullptr);
  // As above, with the type's icon in the chain's filter list.
  ChainNode* InsertFilter(FilterTypeId type, const ChainNode* before = nullptr);
  // A list item dropped at x: in front of the first node right of x; nothing when that node
  // is the Input node or when no node lies to the right.
  ChainNode* InsertAtDrop(FilterTypeId type, int dropX);
  // The first selected node, unless it is the Input or the Output node.
  void DeleteSelectedNode();
  // The selected filter node goes in front of the first node right of x, keeping its engine.
  void MoveSelectedNode(int dropX);
  // Deletes every filter node; Input and Output stay.
  void ClearChain();
  // Marks the node under the point selected and every other one not: the node, or null.
  ChainNode* SelectAt(int x, int y);
  void Select(const ChainNode* node);
  ChainNode* SelectedNode();

  // The nodes in processing order, Input first and Output last.
  const NodeList& Nodes() const { return m_nodes; }
  NodeList& Nodes() { return m_nodes; }
  int FilterCount() const { return static_cast<int>(m_nodes.size()) - 2; }
  // The filter at position n (1 for the first filter), or null.
  ChainNode* FilterAt(int n);
  // The position of a node counted from 0 at the Input node; -1 when it is not in the chain.
  int PositionOf(const ChainNode* node) const;
  // The node's label under its icon: display name and position from 1.
  std::string NodeLabel(const ChainNode& node) const;

  // Geometry.
  void SetGraphArea(const GraphArea& area);
  const GraphArea& Area() const { return m_area; }
  void LayOut();
  // The node whose 32 x 32 hit rectangle holds the point, or null.
  ChainNode* NodeAt(int x, int y);

  // Flags.
  // Sets every engine's bypass at once, also during a run.
  void SetBypass(bool on);
  bool Bypass() const { return m_bypass; }
  // The node's settings window was opened: its engine reports to it, the other engines of
  // the same type do not.
  void MarkDialogAttached(ChainNode& node);
  // Unbinds the settings window from the node's engine.
  void UnbindDialog(ChainNode& node);

  // Running.
  // The Punch-and-Crunch rule: false after the message when the chain may not run.
  bool CheckRunnable();
  // -1, or the conversion mode of the last File Conversion node.
  int ConversionMode() const;
  bool Running() const { return m_running; }
  // The clicks the engines have found since they were prepared.
  int64_t ClickCount() const;
  // The whole run between two open streams (the filter run calls this for the chain):
  // BuildStreams, PrepareAll, RunBlocks, FinishAll, ReleaseStreams. Returns the filter run's
  // code: kRunDone (also when stopped), kRunNoProcessor when an engine could not prepare
  // (it has said why), kRunWriteFailed when a block could not be written.
  int Run(WaveStream& source, WaveStream& destination, const BlockListener& afterBlock = {});
  int BuildStreams(WaveStream& source, WaveStream& destination);
  int PrepareAll();
  int RunBlocks(const BlockListener& afterBlock = {});
  int FinishAll();
  void ReleaseStreams();

  // Chain presets: section "FilterGraphSet", the filter types under the preset's name and each
  // engine's settings under "_*x" + name + position in its own section.
  PresetList& Presets() { return m_presets; }
  // Writes the chain under name (form: the user's save or the automatic "Default"), replacing
  // the hidden settings of a chain stored there before: 1 when all was written, 0 for an
  // empty name, a name the file cannot hold or a write that failed.
  int WriteChainPreset(std::string_view name, PresetTextForm form);
  // Rebuilds the chain from a stored preset: 0 when loaded, 1 when it is missing or unreadable
  // (the chain is then unchanged).
  int LoadChainPresetNamed(std::string_view name);
  // Removes the preset's key and its filters' hidden presets: 0 when it was there and all of
  // it is gone.
  int DeleteChainPresetNamed(std::string_view name);
  // The stored filter types of a preset (the -1 slots left out); false when it is missing.
  static bool ReadChainPresetTypes(std::string_view name, std::vector<FilterTypeId>& types);
  // The combo-box flows of the chain window: "Default" on close, "Save", the selection,
  // "Delete" (with their questions and messages).
  void SaveDefaultPreset(PresetComboBox& combo);
  int SaveChainPresetAs(PresetComboBox& combo);
  int LoadSelectedChainPreset(PresetComboBox& combo);
  int DeleteChainPreset(PresetComboBox& combo);

 private:
  Node InputNode() { return m_nodes.begin(); }
  Node OutputNode() { return std::prev(m_nodes.end()); }
  Node Find(const ChainNode* node);
  ChainNode* Link(FilterTypeId type, std::unique_ptr<FilterProcessor> engine, int iconIndex, const ChainNode* before);
  std::vector<ChainNode*> Filters();
  PresetValues SlotTypes() const;
  void EnableTextEntry(bool enabled);
  // Processes the block in node's input stream and passes what it wrote on down the chain.
  bool ProcessAt(size_t index);
  bool PassOn(size_t index);

  RunState& m_run;
  Prompts& m_prompts;
  PresetList m_presets;
  NodeList m_nodes;
  GraphArea m_area;
  bool m_bypass = false;
  bool m_running = false;

  // One run's streams: the links between filters, and the filters in order.
  std::vector<std::unique_ptr<ChainLink>> m_links;
  std::vector<ChainNode*> m_runFilters;
  WaveStream* m_source = nullptr;
  WaveStream* m_destination = nullptr;
};

}  // namespace ztlive
