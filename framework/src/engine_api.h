// The engine's entries, bound at run time from "ORBEX32.DLL".
#pragma once

#include <string>

#include "orbex32.h"

namespace framework::detail {

struct EngineApi {
#define ORB_ENTRY(name) decltype(&::name) name = nullptr;
#include "engine_entries.inc"
#undef ORB_ENTRY
};

// Loads and binds the engine on first use; EDatabaseError when it cannot.
EngineApi& Engine();

// Throws EDatabaseError with the code, its text and the engine's details
// when `result` is not ORB_OK.
void Check(OrbResult result);
std::string ErrorMessage(OrbResult result);

}  // namespace framework::detail
