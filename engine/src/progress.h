// Progress of the long passes over a table (pack, index regeneration),
// reported to the callback the calling thread set with
// EngineSetProgressCallback.
//
// A pass counts steps of its own; a pass begun while another runs on the
// same thread (the index rebuild at the end of a pack) fills what is left
// of the outer pass, so the caller sees one count that only grows. The
// callback hears the start (0), each further whole percent at most once,
// and the end (done == total) of the outermost pass.
#pragma once

#include <cstdint>

namespace orb {

class ProgressPass {
 public:
  explicit ProgressPass(uint64_t totalSteps);
  ~ProgressPass();
  ProgressPass(const ProgressPass&) = delete;
  ProgressPass& operator=(const ProgressPass&) = delete;

  void Advance(uint64_t steps = 1);

 private:
  // Where this pass stands in the outermost pass's steps.
  uint64_t OuterPosition() const;
  void Report(uint64_t outerDone);

  ProgressPass* outer_;
  uint64_t total_;
  uint64_t done_ = 0;
  // For a nested pass: the outer pass's position at its start and the
  // outer steps it fills.
  uint64_t base_ = 0;
  uint64_t span_ = 0;
  // Outermost only: the last whole percent reported.
  int lastPercent_ = -1;
};

}  // namespace orb
