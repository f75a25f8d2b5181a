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
// Every entry clears the context: a trivial flag, tested inline, spares the
// string's per-access guard and a call (a scan makes millions of entries).
// Initial-exec: the library is loaded by name at run time, where the
// general model makes each access a call into the loader.
extern constinit thread_local bool tHasContext __attribute__((tls_model("initial-exec")));
void ClearSetContext();
inline void ClearContext() {
  if (tHasContext) ClearSetContext();
}
const std::string& Context();

}  // namespace orb
