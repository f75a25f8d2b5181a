#include "progress.h"

#include <algorithm>

#include "orbex32.h"
#include "ordinals.h"

namespace orb {
namespace {

// Per thread: a program that packs on one thread never hears of another
// thread's passes.
struct ThreadProgress {
  OrbProgressFn fn = nullptr;
  void* user = nullptr;
  ProgressPass* current = nullptr;
};
thread_local ThreadProgress progress;

}  // namespace

ProgressPass::ProgressPass(uint64_t totalSteps) : outer_(progress.current), total_(totalSteps) {
  if (outer_) {
    base_ = outer_->OuterPosition();
    const ProgressPass* top = outer_;
    while (top->outer_) top = top->outer_;
    span_ = top->total_ > base_ ? top->total_ - base_ : 0;
  }
  progress.current = this;
  if (!outer_) Report(0);
}

ProgressPass::~ProgressPass() {
  progress.current = outer_;
  if (!outer_) Report(total_);
}

uint64_t ProgressPass::OuterPosition() const {
  if (!outer_) return std::min(done_, total_);
  if (total_ == 0) return base_ + span_;
  return base_ + span_ * std::min(done_, total_) / total_;
}

void ProgressPass::Advance(uint64_t steps) {
  done_ += steps;
  ProgressPass* top = this;
  while (top->outer_) top = top->outer_;
  top->Report(OuterPosition());
}

void ProgressPass::Report(uint64_t outerDone) {
  if (!progress.fn) return;
  const int percent = total_ == 0 ? 100 : static_cast<int>(std::min<uint64_t>(outerDone, total_) * 100 / total_);
  if (percent <= lastPercent_) return;
  lastPercent_ = percent;
  // The callback's counts are 32-bit: a larger pass is reported scaled.
  uint64_t done = std::min(outerDone, total_), total = total_;
  while (total > UINT32_MAX) {
    total >>= 1;
    done >>= 1;
  }
  progress.fn(progress.user, static_cast<uint32_t>(done), static_cast<uint32_t>(total));
}

}  // namespace orb

OrbResult EngineSetProgressCallback(OrbProgressFn fn, void* user) {
  orb::progress.fn = fn;
  orb::progress.user = fn ? user : nullptr;
  return ORB_OK;
}

ORB_ORDINALS({250, (void*)&EngineSetProgressCallback});
