#include "fault.h"

#include <unistd.h>

namespace orb::fault {
namespace {

bool gArmed = false;
bool gSkipSyncs = false;
Plan gPlan;
int gCount = 0;
int gCounts[6] = {};

}  // namespace

void Arm(const Plan& plan) {
  gPlan = plan;
  gCount = 0;
  for (int& n : gCounts) n = 0;
  gArmed = true;
}

void Disarm() { gArmed = false; }
int Count() { return gCount; }
int CountOf(Op op) { return gCounts[static_cast<int>(op)]; }
void SkipSyncs(bool skip) { gSkipSyncs = skip; }
bool SyncsSkipped() { return gSkipSyncs; }

int Check(Op op, const std::filesystem::path&) {
  if (!gArmed) return 0;
  ++gCounts[static_cast<int>(op)];
  if (gPlan.writesOnly && op != Op::kWrite && op != Op::kTruncate) return 0;
  if (++gCount != gPlan.at) return 0;
  if (gPlan.stop) _exit(kStopCode);
  return gPlan.err;
}

}  // namespace orb::fault
