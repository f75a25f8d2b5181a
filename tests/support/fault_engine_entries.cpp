// The entries of the test engine: the engine's own fault plan, reached from
// a program that loads this library as its "ORBEX32.DLL".
#include "fault.h"

#define FAULT_ENGINE_API extern "C" __attribute__((visibility("default")))

FAULT_ENGINE_API void StashwellFaultArm(int at, int err, int stop, int writesOnly) {
  orb::fault::Plan plan;
  plan.at = at;
  plan.err = err;
  plan.stop = stop != 0;
  plan.writesOnly = writesOnly != 0;
  orb::fault::Arm(plan);
}

FAULT_ENGINE_API void StashwellFaultDisarm() { orb::fault::Disarm(); }
FAULT_ENGINE_API int StashwellFaultCount() { return orb::fault::Count(); }
FAULT_ENGINE_API void StashwellFaultSkipSyncs(int skip) { orb::fault::SkipSyncs(skip != 0); }
