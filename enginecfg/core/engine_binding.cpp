#include "core/engine_binding.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "platform/dynlib.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace vtxcfg {
namespace {

namespace dynlib = platform::dynlib;
namespace reg = platform::registry;

constexpr const char* kEngineKey = "Software\\Vantrix\\Database Engine";
constexpr const char* kClientTag = "VTXCFG";

// Slot order of EngineEntries and each slot's ordinal.
constexpr uint16_t kOrdinals[] = {1064, 1065, 401, 402, 403, 404, 405, 406, 407,
                                  409,  410,  814, 815, 798, 813, 800, 819, 818};
constexpr size_t kSlots = sizeof(kOrdinals) / sizeof(kOrdinals[0]);
static_assert(sizeof(EngineEntries) == kSlots * sizeof(void*));

struct ModuleState {
  std::recursive_mutex lock;  // the loader lock
  std::string libraryName = "ORBEX32.DLL";
  dynlib::Module startModule = nullptr;  // loaded for OrbInitFn
  uint16_t useCount = 0;
  // The module the ordinals are bound in.
  dynlib::Module bindModule = nullptr;
  bool bindLoadedBySelf = false;
  std::atomic<void*> slots[kSlots] = {};
  int frees = 0;
  const EngineEntries* fake = nullptr;
};

ModuleState& State() {
  static ModuleState* state = new ModuleState;
  return *state;
}

void FreeModule(ModuleState& s, dynlib::Module m) {
  dynlib::Free(m);
  ++s.frees;
}

uint16_t EnsureEngineLoaded(ModuleState& s) {
  if (s.bindModule) return 0;
  s.bindModule = dynlib::LoadedModule(s.libraryName);
  if (s.bindModule) {
    s.bindLoadedBySelf = false;
  } else {
    s.bindModule = LoadEngineLibrary(nullptr, s.libraryName);
    if (!s.bindModule) return kEngineBindFailed;
    s.bindLoadedBySelf = true;
  }
  if (auto init = reinterpret_cast<void (*)(const void*)>(dynlib::Entry(s.bindModule, "DLLINITFUNCTION"))) {
    // A 16-bit 1, the library's name (32 bytes) and the client tag (8 bytes).
    uint8_t record[42] = {1, 0};
    std::memcpy(record + 2, "ORBEX32.DLL", 11);
    std::memcpy(record + 34, kClientTag, std::strlen(kClientTag));
    init(record);
  }
  return 0;
}

// The address of slot `index`, bound on first use; 0 and the address, or a code.
uint16_t ResolveEngineOrdinal(size_t index, void** entry) {
  ModuleState& s = State();
  if (void* bound = s.slots[index].load(std::memory_order_acquire)) {
    *entry = bound;
    return 0;
  }
  if (!EnterLoaderLock()) return kNoInitEntry;
  uint16_t rc = EnsureEngineLoaded(s);
  if (rc == 0) {
    void* found = dynlib::EntryByOrdinal(s.bindModule, kOrdinals[index]);
    if (!found) {
      rc = kEntryMissing;
    } else {
      s.slots[index].store(found, std::memory_order_release);
      *entry = found;
    }
  }
  LeaveLoaderLock();
  return rc;
}

template <size_t Index, typename... Args>
uint16_t Thunk(Args... args) {
  void* entry = nullptr;
  if (uint16_t rc = ResolveEngineOrdinal(Index, &entry)) return rc;
  return reinterpret_cast<uint16_t (*)(Args...)>(entry)(args...);
}

const EngineEntries kBound = {
    &Thunk<0, const char*, uint16_t, uint32_t*>,
    &Thunk<1, uint32_t*, uint16_t, uint16_t, uint16_t>,
    &Thunk<2, uint32_t, uint32_t, uint32_t, uint32_t, char*>,
    &Thunk<3, uint32_t, const char*>,
    &Thunk<4, uint32_t, char*>,
    &Thunk<5, uint32_t, const char*, uint16_t*, uint8_t*, char*>,
    &Thunk<6, uint32_t, const char*, uint16_t, const uint8_t*, const char*>,
    &Thunk<7, uint32_t, const char*, uint16_t, const uint8_t*, const char*>,
    &Thunk<8, uint32_t, const char*>,
    &Thunk<9, uint32_t, const char*, const char*, char*>,
    &Thunk<10, uint32_t, uint32_t, uint32_t>,
    &Thunk<11, uint32_t*>,
    &Thunk<12, uint32_t, uint32_t*>,
    &Thunk<13, uint32_t, char*>,
    &Thunk<14, uint32_t, char*>,
    &Thunk<15, uint32_t, int16_t*>,
    &Thunk<16, uint32_t, int16_t*>,
    &Thunk<17, uint32_t>,
};

void CopyField(uint8_t* env, size_t offset, size_t size, const std::string& text) {
  std::memset(env + offset, 0, size);
  std::memcpy(env + offset, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

const EngineEntries& Engine() {
  ModuleState& s = State();
  return s.fake ? *s.fake : kBound;
}

void SetEngineEntriesForTesting(const EngineEntries* entries) { State().fake = entries; }

void EngineEnv::SetConfigFile(const std::string& oemPath) { CopyField(bytes, 261, 261, oemPath); }
void EngineEnv::SetLanguage(const std::string& language) { CopyField(bytes, 524, 10, language); }

int EnterLoaderLock() {
  State().lock.lock();
  return 1;
}

void LeaveLoaderLock() { State().lock.unlock(); }

void* LoadEngineLibrary(const char* directory, const std::string& fileName, uint32_t* error) {
  // The directory named, then DLLPATH; dynlib goes on with the program
  // directory and the system's search, and never looks in the current one.
  std::vector<std::filesystem::path> dirs;
  if (directory && *directory) dirs.push_back(platform::MapPath(platform::Cp1252ToUtf8(directory)));
  std::string dllPath;
  if (GetEngineDllPath(dllPath) == 0 && !dllPath.empty())
    dirs.push_back(platform::MapPath(platform::Cp1252ToUtf8(dllPath)));
  uint32_t err = 0;
  void* module = dynlib::Load(fileName, dirs, &err);
  if (error) *error = module ? 0 : err;
  return module;
}

void UnloadEngineLibrary() {
  ModuleState& s = State();
  EnterLoaderLock();
  if (s.bindModule) {
    if (auto done = reinterpret_cast<void (*)()>(dynlib::Entry(s.bindModule, "DLLEXITFUNCTION"))) {
      done();
    } else if (auto done2 = reinterpret_cast<void (*)(const char*)>(
                   dynlib::Entry(s.bindModule, "DLLEXITFUNCTION2"))) {
      done2(kClientTag);
    }
    if (s.bindLoadedBySelf) FreeModule(s, s.bindModule);
  }
  for (auto& slot : s.slots) slot.store(nullptr, std::memory_order_release);
  s.bindModule = nullptr;
  s.bindLoadedBySelf = false;
  LeaveLoaderLock();
}

uint16_t EngineInit(uint16_t version, EngineEnv* env) {
  ModuleState& s = State();
  EnterLoaderLock();
  bool loadedHere = false;
  dynlib::Module module = s.startModule;
  if (!module) {
    uint32_t err = 0;
    module = LoadEngineLibrary(nullptr, s.libraryName, &err);
    if (!module) {
      LeaveLoaderLock();
      switch (err) {
        case dynlib::kFileNotFound:
        case dynlib::kPathNotFound:
        case dynlib::kModNotFound:
        case dynlib::kBadPathName: return kEngineNotFound;
        case dynlib::kOutOfMemory: return kNoMemory;
        default: return kEngineLoadFailed;
      }
    }
    loadedHere = true;
  }
  auto init = reinterpret_cast<uint16_t (*)(uint16_t, const void*)>(dynlib::Entry(module, "OrbInitFn"));
  uint16_t rc = init ? init(version, env->bytes) : uint16_t{kNoInitEntry};
  if (rc == 0) {
    if (s.useCount == 0) s.startModule = module;
    else if (loadedHere) FreeModule(s, module);
    ++s.useCount;
  } else if (loadedHere) {
    FreeModule(s, module);
    UnloadEngineLibrary();
  }
  LeaveLoaderLock();
  return rc;
}

uint16_t EngineExit() {
  ModuleState& s = State();
  EnterLoaderLock();
  // Without a started module there is nothing to stop and nothing to free.
  if (!s.startModule) {
    LeaveLoaderLock();
    return 0;
  }
  auto exitFn = reinterpret_cast<uint16_t (*)()>(dynlib::Entry(s.startModule, "OrbExit"));
  uint16_t rc = exitFn ? exitFn() : uint16_t{kEntryMissing};
  if (rc == 0 && s.useCount > 0 && --s.useCount == 0) {
    // The bound entries point into the module: unbind before it goes.
    UnloadEngineLibrary();
    FreeModule(s, s.startModule);
    s.startModule = nullptr;
  }
  LeaveLoaderLock();
  return rc;
}

uint16_t GetEngineDllPath(std::string& dir) {
  dir.clear();
  reg::Key key;
  if (reg::OpenKey(reg::Hive::LocalMachine, kEngineKey, false, key) != reg::kSuccess) return kNoDllPath;
  if (key.QueryString("DLLPATH", dir) != reg::kSuccess) return kNoDllPath;
  return 0;
}

uint16_t GetRegisteredConfigFile(std::string& path) {
  path = "ORBEX.CFG";
  reg::Key key;
  std::string value;
  if (reg::OpenKey(reg::Hive::LocalMachine, kEngineKey, false, key) == reg::kSuccess &&
      key.QueryString("CONFIGFILE01", value) == reg::kSuccess && !value.empty())
    path = value.substr(0, 259);
  return 0;
}

uint16_t SetRegisteredConfigFile(const std::string& path) {
  reg::Key key;
  // A key that cannot be opened for writing is a failed write, not a success.
  if (reg::CreateKey(reg::Hive::LocalMachine, kEngineKey, key) != reg::kSuccess) return kRegistryWriteFailed;
  if (key.SetString("CONFIGFILE01", path) != reg::kSuccess) return kRegistryWriteFailed;
  return 0;
}

int LocateConfigFile(std::string& path) {
  std::string registered;
  GetRegisteredConfigFile(registered);
  std::error_code ec;
  // A bare name would be looked for in the current directory: only a path
  // counts here, the bare default is the system directory's file below.
  bool isPath = registered.find_first_of("\\/") != std::string::npos;
  if (isPath && std::filesystem::is_regular_file(platform::MapPath(platform::Cp1252ToUtf8(registered)), ec)) {
    path = registered;
    return 0;
  }
  std::filesystem::path inSystem = platform::FindFileNoCase(platform::SystemDir(), "ORBEX.CFG");
  if (std::filesystem::is_regular_file(inSystem, ec)) {
    path = platform::Utf8ToCp1252(inSystem.string());
    return 0;
  }
  path.clear();
  return 1;
}

void SetEngineLibraryNameForTesting(const std::string& name) {
  State().libraryName = name.empty() ? "ORBEX32.DLL" : name;
}
int EngineModuleFreesForTesting() { return State().frees; }
int EngineUseCountForTesting() { return State().useCount; }

}  // namespace vtxcfg
