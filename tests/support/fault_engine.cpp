#include "fault_engine.h"

#include <cstdio>
#include <cstdlib>

#include "framework/dbtables.h"
#include "platform/dynlib.h"

namespace testing_support::fault_engine {

namespace {

void* EntryOf(const char* name) {
  platform::dynlib::Module engine = platform::dynlib::LoadedModule("ORBEX32.DLL");
  void* entry = engine != nullptr ? platform::dynlib::Entry(engine, name) : nullptr;
  if (entry == nullptr) {
    // The engine in the process is not the test engine: a sweep would test nothing.
    std::fprintf(stderr, "fault engine: %s not found (Use() before any table opens)\n", name);
    std::abort();
  }
  return entry;
}

}  // namespace

std::filesystem::path Dir() { return STASHWELL_FAULT_ENGINE_DIR; }

void Use() {
  auto& dirs = framework::TSession::Default().LibraryDirs;
  dirs.insert(dirs.begin(), Dir());
  if (platform::dynlib::Load("ORBEX32.DLL", {Dir()}) == nullptr) {
    std::fprintf(stderr, "fault engine: cannot load %s\n", Dir().c_str());
    std::abort();
  }
}

void Arm(int at, int err, bool stop, bool writesOnly) {
  reinterpret_cast<void (*)(int, int, int, int)>(EntryOf("StashwellFaultArm"))(at, err, stop ? 1 : 0,
                                                                                 writesOnly ? 1 : 0);
}

void Disarm() { reinterpret_cast<void (*)()>(EntryOf("StashwellFaultDisarm"))(); }
int Count() { return reinterpret_cast<int (*)()>(EntryOf("StashwellFaultCount"))(); }
void SkipSyncs(bool skip) { reinterpret_cast<void (*)(int)>(EntryOf("StashwellFaultSkipSyncs"))(skip ? 1 : 0); }

}  // namespace testing_support::fault_engine
