// The base of every filter engine. An engine turns the input stream's blocks into output
// samples; its owner (a file run, the chain, a batch entry) drives it in this order:
//
//   create by type -> SetValues (or LoadPreset), bypass / keepResidue / dialogAttached
//   -> Prepare (0: cannot run) -> history and look-ahead onto the input stream
//   -> Process for every block (0: stop) -> Finish -> destroy
//
// SetValues may come between any two Process calls; it sets needsPrepare, and an engine whose
// coefficients follow from the values re-derives them at its next Process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filters/framework/filter_descriptor.h"
#include "filters/framework/preset_values.h"

namespace ztlive {

class Prompts;
class WaveStream;

class FilterProcessor {
 public:
  FilterProcessor() = default;
  // Takes the type, section, names and starting values from the filter's descriptor.
  explicit FilterProcessor(const FilterDescriptor& descriptor);
  virtual ~FilterProcessor() = default;
  FilterProcessor(const FilterProcessor&) = delete;
  FilterProcessor& operator=(const FilterProcessor&) = delete;

  // Values after the current block that must be readable (counted in values); the
  // descriptor's, unless the engine works it out itself.
  virtual int32_t GetLookahead();
  // Values before the current block that must stay readable; as above.
  virtual int32_t GetHistoryLength();
  // a, b, c: arrays of 11 doubles, d: one double; each engine reads what it needs.
  virtual void SetExtraParams(double* a, double* b, double* c, double* d);
  virtual void GetExtraParams(double* a, double* b, double* c, double* d);
  // 0 when the stored preset (or, where the file lacks it, a preset the program ships) was
  // read into out, 1 when not.
  virtual int ReadPreset(std::string_view name, PresetValues& out);
  // Stores values under name in the descriptor's stored order: 1 when written, 0 for an
  // empty name.
  virtual int WritePreset(std::string_view name);
  // ReadPreset, then the stored record back into values as the descriptor says (without one,
  // p[0]..p[8]): 0 when loaded, 1 when not.
  virtual int LoadPreset(std::string_view name);
  // 1: ready; 0: cannot run.
  virtual int Prepare(WaveStream& in, WaveStream& out) = 0;
  // After the last block: writes what the engine still holds. 1 on success.
  virtual int Finish(WaveStream& in, WaveStream& out) = 0;
  // Consumes the input block and writes output samples: 1 to go on, 0 to stop.
  virtual int Process(WaveStream& in, WaveStream& out) = 0;
  // Takes new settings; they apply from the next Process. Returns 0.
  virtual int SetValues(const PresetValues& values);
  // Clicks found since Prepare, for the progress window (the click filters count them).
  virtual int64_t ClickCount() const { return 0; }

  int32_t GetTypeId() const { return typeId; }
  PresetValues GetValues() const { return values; }
  void SetBypass(int flag) { bypass = flag; }
  void SetDialogAttached(int flag) { dialogAttached = flag; }
  std::string GetSectionBase() const { return sectionBase; }
  std::string GetDisplayName() const { return displayName; }
  // Stores the given values (not the engine's) under name, as WritePreset does.
  int WritePresetValues(std::string_view name, const PresetValues& stored);
  // The preset section: sectionBase + "Set".
  std::string PresetSectionName() const;
  // The filter's descriptor; null for an engine made without one.
  const FilterDescriptor* Descriptor() const { return m_descriptor; }

  // The fields every engine shares; the owners and the engines read and write them directly.
  int32_t typeId = 0;             // the engine's FilterTypeId
  PresetValues values;            // the current settings p[0]..p[10]
  int32_t needsPrepare = 0;       // set by SetValues; cleared by the engine when it re-derives
  int32_t bypass = 0;             // pass the input through unchanged
  int32_t keepResidue = 0;        // output what is removed instead of the cleaned signal
  std::string sectionBase = "None";
  std::string displayName = "None";
  int32_t dialogAttached = 0;     // this engine's settings window is open
  Prompts* prompts = nullptr;     // where an engine's own messages go (set by the factory)

 private:
  const FilterDescriptor* m_descriptor = nullptr;
};

}  // namespace ztlive
