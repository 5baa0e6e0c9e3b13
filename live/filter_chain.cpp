#include "live/filter_chain.h"

#include <algorithm>
#include <new>

#include "document/filter_run.h"
#include "filters/filter_registry.h"
#include "platform/string_table.h"

namespace ztlive {

namespace {

ChainNode MakeEnd(int iconIndex) {
  ChainNode node;
  node.iconIndex = iconIndex;
  return node;
}

// The format after a File Conversion node of the given mode: mode 1 makes a mono stream
// stereo, modes 2, 4, 5 and 6 make a stereo stream mono, every other mode keeps it.
WaveFormat ConvertedFormat(WaveFormat format, int mode) {
  if (mode == 1 && format.channels == 1) {
    format.channels = 2;
    format.avgBytesPerSecond *= 2;
    format.blockAlign = static_cast<uint16_t>(format.blockAlign * 2);
  } else if ((mode == 2 || mode == 4 || mode == 5 || mode == 6) && format.channels == 2) {
    format.channels = 1;
    format.avgBytesPerSecond >>= 1;
    format.blockAlign = static_cast<uint16_t>(format.blockAlign >> 1);
  }
  return format;
}

}  // namespace

FilterChain::FilterChain(RunState& run, Prompts& prompts, PresetNameAsker& nameAsker)
    : m_run(run), m_prompts(prompts), m_presets(prompts, nameAsker) {
  m_presets.SetSection(kChainSectionBase);
  m_nodes.push_back(MakeEnd(kInputIconIndex));
  m_nodes.push_back(MakeEnd(kOutputIconIndex));
  LayOut();
}

FilterChain::~FilterChain() { ClearChain(); }

FilterChain::Node FilterChain::Find(const ChainNode* node) {
  for (auto it = m_nodes.begin(); it != m_nodes.end(); ++it)
    if (&*it == node) return it;
  return m_nodes.end();
}

std::vector<ChainNode*> FilterChain::Filters() {
  std::vector<ChainNode*> filters;
  for (ChainNode& node : m_nodes)
    if (node.IsFilter()) filters.push_back(&node);
  return filters;
}

ChainNode* FilterChain::FilterAt(int n) {
  if (n < 1 || n > FilterCount()) return nullptr;
  return &*std::next(m_nodes.begin(), n);
}

int FilterChain::PositionOf(const ChainNode* node) const {
  int position = 0;
  for (const ChainNode& each : m_nodes) {
    if (&each == node) return position;
    ++position;
  }
  return -1;
}

std::string FilterChain::NodeLabel(const ChainNode& node) const {
  if (node.processor == nullptr) return {};
  return node.processor->GetDisplayName() + " " + std::to_string(PositionOf(&node));
}

// ---- editing -------------------------------------------------------------------------------

ChainNode* FilterChain::InsertNode(FilterTypeId type, int iconIndex, const ChainNode* before) {
  if (FilterCount() >= kChainSlots) {
    m_prompts.Show(FormatText(StringId::kChainFull, {std::to_string(kChainSlots)}), "", PromptIcon::Warning);
    return nullptr;
  }
  const FilterDescriptor* descriptor = FindFilterDescriptor(type);
  if (descriptor != nullptr && descriptor->create == nullptr && !descriptor->traits.ownerDoesWork &&
      !descriptor->traits.isChain) {
    m_prompts.Show(FormatText(StringId::kChainFilterNotBuilt, {std::string(descriptor->displayName)}), "",
                   PromptIcon::Warning);
    return nullptr;
  }
  std::unique_ptr<FilterProcessor> engine;
  if (descriptor != nullptr && !descriptor->traits.isChain) {
    try {
      engine = descriptor->create != nullptr ? descriptor->create() : nullptr;
    } catch (const std::bad_alloc&) {
      engine.reset();
    }
  }
  if (engine == nullptr) {
    m_prompts.Show(std::string(StringText(StringId::kChainCreateFailed)), "", PromptIcon::Error);
    return nullptr;
  }
  engine->prompts = &m_prompts;
  engine->LoadPreset("Default");
  return Link(type, std::move(engine), iconIndex, before);
}

ChainNode* FilterChain::InsertEngine(std::unique_ptr<FilterProcessor> engine, int iconIndex, const ChainNode* before) {
  if (engine == nullptr) return nullptr;
  const FilterTypeId type = engine->GetTypeId();
  return Link(type, std::move(engine), iconIndex, before);
}

ChainNode* FilterChain::Link(FilterTypeId type, std::unique_ptr<FilterProcessor> engine, int iconIndex,
                             const ChainNode* before) {
  if (FilterCount() >= kChainSlots) {
    m_prompts.Show(FormatText(StringId::kChainFull, {std::to_string(kChainSlots)}), "", PromptIcon::Warning);
    return nullptr;
  }
  engine->SetDialogAttached(1);
  ChainNode node;
  node.type = type;
  node.iconIndex = iconIndex;
  node.y = InputNode()->y;
  node.processor = std::move(engine);
  Node place = before != nullptr ? Find(before) : OutputNode();
  if (place == m_nodes.begin()) place = std::next(place);  // nothing goes in front of Input
  if (place == m_nodes.end()) place = OutputNode();
  ChainNode& added = *m_nodes.insert(place, std::move(node));
  LayOut();
  MarkDialogAttached(added);
  return &added;
}

ChainNode* FilterChain::InsertFilter(FilterTypeId type, const ChainNode* before) {
  return InsertNode(type, FindFilterType(ChainFilterList(), type), before);
}

ChainNode* FilterChain::InsertAtDrop(FilterTypeId type, int dropX) {
  for (ChainNode& node : m_nodes) {
    if (node.x <= dropX) continue;
    if (&node == &*InputNode()) return nullptr;
    return InsertFilter(type, &node);
  }
  return nullptr;
}

ChainNode* FilterChain::SelectedNode() {
  for (ChainNode& node : m_nodes)
    if (node.selected) return &node;
  return nullptr;
}

void FilterChain::DeleteSelectedNode() {
  ChainNode* selected = SelectedNode();
  if (selected == nullptr || !selected->IsFilter()) return;
  UnbindDialog(*selected);
  m_nodes.erase(Find(selected));
  LayOut();
}

void FilterChain::MoveSelectedNode(int dropX) {
  ChainNode* moving = SelectedNode();
  if (moving == nullptr || !moving->IsFilter()) return;
  Node target = m_nodes.end();
  for (auto it = m_nodes.begin(); it != m_nodes.end(); ++it)
    if (it->x > dropX) {
      target = it;
      break;
    }
  if (target == m_nodes.end() || target == InputNode() || &*target == moving) return;
  m_nodes.splice(target, m_nodes, Find(moving));  // the node keeps its engine and window
  LayOut();
}

void FilterChain::ClearChain() {
  for (auto it = std::next(m_nodes.begin()); it != OutputNode();) {
    UnbindDialog(*it);
    it = m_nodes.erase(it);
  }
  LayOut();
}

void FilterChain::Select(const ChainNode* node) {
  for (ChainNode& each : m_nodes) each.selected = &each == node ? 1 : 0;
}

ChainNode* FilterChain::SelectAt(int x, int y) {
  ChainNode* hit = NodeAt(x, y);
  Select(hit);
  return hit;
}

// ---- geometry ------------------------------------------------------------------------------

void FilterChain::SetGraphArea(const GraphArea& area) {
  m_area = area;
  LayOut();
}

void FilterChain::LayOut() {
  const int y = m_area.top + (m_area.bottom - m_area.top) / 2 - 16;
  const int count = static_cast<int>(m_nodes.size());
  const int spacing = count > 1 ? (m_area.right - m_area.left - 41) / (count - 1) : 0;
  int i = 0;
  for (ChainNode& node : m_nodes) {
    node.x = m_area.left + 3 + i * spacing;
    node.y = y;
    ++i;
  }
  OutputNode()->x = m_area.right - 38;
}

ChainNode* FilterChain::NodeAt(int x, int y) {
  for (ChainNode& node : m_nodes)
    if (x >= node.x && x < node.x + 32 && y >= node.y && y < node.y + 32) return &node;
  return nullptr;
}

// ---- flags ---------------------------------------------------------------------------------

void FilterChain::SetBypass(bool on) {
  m_bypass = on;
  for (ChainNode& node : m_nodes)
    if (node.processor != nullptr) node.processor->SetBypass(on ? 1 : 0);
}

void FilterChain::MarkDialogAttached(ChainNode& node) {
  if (node.processor != nullptr) node.processor->SetDialogAttached(1);
  for (ChainNode& other : m_nodes)
    if (&other != &node && other.type == node.type && other.processor != nullptr &&
        other.processor != node.processor)
      other.processor->SetDialogAttached(0);
}

void FilterChain::UnbindDialog(ChainNode& node) {
  if (node.dialog == nullptr) return;
  node.dialog->ReleaseEngine(node.processor.get());
  node.dialog = nullptr;
}

void FilterChain::EnableTextEntry(bool enabled) {
  for (ChainNode& node : m_nodes)
    if (node.dialog != nullptr) node.dialog->EnableTextEntry(enabled);
}

// ---- running -------------------------------------------------------------------------------

bool FilterChain::CheckRunnable() {
  if (FilterCount() >= 2 && FilterAt(1)->type == kPunchAndCrunchType) {
    m_prompts.Show(std::string(StringText(StringId::kPunchAndCrunchFirst)), "", PromptIcon::Warning);
    return false;
  }
  return true;
}

int FilterChain::ConversionMode() const {
  int mode = -1;
  for (const ChainNode& node : m_nodes)
    if (node.type == kFileConversionType && node.processor != nullptr) mode = node.processor->values.p[3];
  return mode;
}

int64_t FilterChain::ClickCount() const {
  int64_t clicks = 0;
  for (const ChainNode& node : m_nodes)
    if (node.processor != nullptr) clicks += node.processor->ClickCount();
  return clicks;
}

int FilterChain::Run(WaveStream& source, WaveStream& destination, const BlockListener& afterBlock) {
  m_running = true;
  struct Ending {
    FilterChain& chain;
    ~Ending() {
      chain.ReleaseStreams();
      chain.m_running = false;
    }
  } ending{*this};
  if (BuildStreams(source, destination) == 0) {
    m_prompts.Show(std::string(StringText(StringId::kNoMemory)), "", PromptIcon::Error);
    return kRunBufferFailed;
  }
  if (PrepareAll() == 0) return kRunNoProcessor;  // the engine has said why
  if (RunBlocks(afterBlock) == 0) return m_run.stopRequested ? kRunDone : kRunWriteFailed;
  if (FinishAll() == 0) return m_run.stopRequested ? kRunDone : kRunWriteFailed;
  return kRunDone;
}

int FilterChain::BuildStreams(WaveStream& source, WaveStream& destination) {
  ReleaseStreams();
  m_source = &source;
  m_destination = &destination;
  m_runFilters = Filters();
  ChainNode& output = *OutputNode();
  if (m_runFilters.empty()) {
    output.outputStream = &destination;
    return 1;
  }
  WaveStream* current = &source;
  WaveFormat format = source.Format();
  for (size_t k = 0; k < m_runFilters.size(); ++k) {
    ChainNode& node = *m_runFilters[k];
    node.inputStream = current;
    if (k + 1 == m_runFilters.size()) {
      node.outputStream = &destination;  // the last filter writes the destination itself
      break;
    }
    if (node.type == kFileConversionType) format = ConvertedFormat(format, node.processor->values.p[3]);
    auto link = std::make_unique<ChainLink>(source.BlockSize(), source.HistoryCapacity(), m_run);
    if (!link->HasBuffers()) return 0;
    // A live source reads short blocks: the links hand on blocks as short, adding no delay.
    link->SetBlockLength(source.LiveBlockLength());
    link->SetFormat(format);
    link->SetReadSpan(m_runFilters[k + 1]->processor->GetHistoryLength(),
                      m_runFilters[k + 1]->processor->GetLookahead());
    node.outputStream = &link->Sink();
    current = &link->Source();
    m_links.push_back(std::move(link));
  }
  return 1;
}

int FilterChain::PrepareAll() {
  for (size_t k = 0; k < m_runFilters.size(); ++k) {
    ChainNode& node = *m_runFilters[k];
    FilterProcessor& engine = *node.processor;
    engine.SetBypass(m_bypass ? 1 : 0);
    engine.keepResidue = 0;
    if (engine.Prepare(*node.inputStream, *node.outputStream) == 0) return 0;
    // The history may follow from the format Prepare has seen.
    if (k > 0) m_links[k - 1]->SetReadSpan(engine.GetHistoryLength(), engine.GetLookahead());
  }
  return 1;
}

bool FilterChain::ProcessAt(size_t index) {
  ChainNode& node = *m_runFilters[index];
  if (node.processor->Process(*node.inputStream, *node.outputStream) == 0) return false;
  return PassOn(index);
}

bool FilterChain::PassOn(size_t index) {
  if (index >= m_links.size()) return true;
  ChainLink& link = *m_links[index];
  link.Collect();
  while (link.NextBlock())
    if (!ProcessAt(index + 1)) return false;
  return true;
}

int FilterChain::RunBlocks(const BlockListener& afterBlock) {
  SampleValue* first = nullptr;
  SampleValue* last = nullptr;
  if (m_runFilters.empty()) {
    while (m_source->ReadBlock(0, 0, &first, &last) == 0) {
      for (const SampleValue* value = m_source->Begin(); value < m_source->End(); ++value)
        if (m_destination->WriteSample(*value) == 0) return 0;
      if (afterBlock) afterBlock();
    }
    return 1;
  }
  int history = 0;
  int lookAhead = 0;
  for (const ChainNode* node : m_runFilters) {
    history = std::max(history, node->processor->GetHistoryLength());
    lookAhead = std::max(lookAhead, node->processor->GetLookahead());
  }
  history = std::min(history, 8 * m_source->HistoryCapacity());
  EnableTextEntry(false);
  while (m_source->ReadBlock(history, lookAhead, &first, &last) == 0) {
    if (!ProcessAt(0)) {
      EnableTextEntry(true);
      return 0;
    }
    if (afterBlock) afterBlock();
  }
  EnableTextEntry(true);
  return 1;
}

int FilterChain::FinishAll() {
  // Each filter's flush passes through every filter after it before that one finishes.
  for (size_t k = 0; k < m_runFilters.size(); ++k) {
    ChainNode& node = *m_runFilters[k];
    if (node.processor->Finish(*node.inputStream, *node.outputStream) == 0) return 0;
    if (k < m_links.size()) {
      m_links[k]->Collect();
      m_links[k]->MarkFinished();
      if (!PassOn(k)) return 0;
    }
  }
  return 1;
}

void FilterChain::ReleaseStreams() {
  for (ChainNode& node : m_nodes) {
    node.inputStream = nullptr;
    node.outputStream = nullptr;
  }
  m_links.clear();
  m_runFilters.clear();
  m_source = nullptr;
  m_destination = nullptr;
}

}  // namespace ztlive
