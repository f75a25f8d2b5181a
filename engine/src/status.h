// Result codes: the text of each, and the per-thread detail of the last
// failure.
#pragma once

#include <string>

#include "orbex32.h"

namespace orb {

const char* CodeText(OrbResult code);

// Records the detail of a failure for EngineGetErrorContext and answers
// the code, so `return Fail(ORB_ERR_CORRUPT, "...");` reads naturally.
OrbResult Fail(OrbResult code, std::string detail);
void ClearContext();
const std::string& Context();

}  // namespace orb
