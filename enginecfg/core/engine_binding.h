// Loading, starting and stopping the engine "ORBEX32.DLL" and binding its
// configuration entries.
//
// OrbInitFn and OrbExit are bound by name when the engine starts and stops;
// the configuration entries by ordinal on first use, under the loader lock.
// The library is searched in the DLLPATH directory of the registry, then the
// program directory, then by the system's search; never in the current
// directory. Tests put a table of their own in place of the bound one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vtxcfg {

// Codes of the binding (the engine's own codes pass through unchanged).
enum BindCode : uint16_t {
  kRegistryWriteFailed = 8453,
  kEngineNotFound = 8456,
  kEngineLoadFailed = 8457,
  kEngineBindFailed = 8458,
  kNoMemory = 9473,
  kEntryMissing = 10063,
  kNoDllPath = 10756,
  kNoInitEntry = 10758,
  kAlreadyStarted = 10759,
  kShareMissing = 11273,
};

// The configuration operations, in the form the engine exports them.
struct EngineEntries {
  uint16_t (*OpenConfigFile)(const char* path, uint16_t mode, uint32_t* handle);
  uint16_t (*CloseConfigFile)(uint32_t* handle, uint16_t save, uint16_t registry, uint16_t format);
  uint16_t (*GetConfigRoot)(uint32_t handle, uint32_t, uint32_t, uint32_t, char* rootPath);
  uint16_t (*SetConfigNode)(uint32_t handle, const char* path);
  uint16_t (*NextConfigChild)(uint32_t handle, char* name);
  uint16_t (*GetConfigRecord)(uint32_t handle, const char* path, uint16_t* count, uint8_t* rows, char* values);
  uint16_t (*AddConfigNode)(uint32_t handle, const char* path, uint16_t count, const uint8_t* rows,
                            const char* values);
  uint16_t (*ModifyConfigNode)(uint32_t handle, const char* path, uint16_t count, const uint8_t* rows,
                               const char* values);
  uint16_t (*DeleteConfigNode)(uint32_t handle, const char* path);
  uint16_t (*GetConfigHelp)(uint32_t handle, const char* path, const char* name, char* text);
  uint16_t (*MergeConfig)(uint32_t target, uint32_t source, uint32_t reserved);
  uint16_t (*OpenLdList)(uint32_t* list);
  uint16_t (*NextLd)(uint32_t list, uint32_t* item);
  uint16_t (*GetLdName)(uint32_t item, char* name);
  uint16_t (*GetLdDescription)(uint32_t item, char* text);
  uint16_t (*GetLdValueA)(uint32_t item, int16_t* value);
  uint16_t (*GetLdValueB)(uint32_t item, int16_t* value);
  uint16_t (*CloseLdList)(uint32_t list);
};

// The entries the utility calls: the engine's, bound on first use, or the
// table a test installed.
const EngineEntries& Engine();
void SetEngineEntriesForTesting(const EngineEntries* entries);  // null: the engine's again

// The start record, 588 bytes, as OrbInitFn takes it.
inline constexpr size_t kEngineEnvBytes = 588;
struct EngineEnv {
  uint8_t bytes[kEngineEnvBytes] = {};
  void SetConfigFile(const std::string& oemPath);
  void SetLanguage(const std::string& language);
};

uint16_t EngineInit(uint16_t version, EngineEnv* env);
uint16_t EngineExit();

// The module, null when it cannot be found; *error is a Win32 load code.
void* LoadEngineLibrary(const char* directory, const std::string& fileName, uint32_t* error = nullptr);
void UnloadEngineLibrary();

int EnterLoaderLock();
void LeaveLoaderLock();

// Registry values under HKEY_LOCAL_MACHINE\Software\Vantrix\Database Engine.
// Paths here are Windows-1252 text, as everywhere in the model.
uint16_t GetEngineDllPath(std::string& dir);             // 0 or kNoDllPath
uint16_t GetRegisteredConfigFile(std::string& path);     // 0; "ORBEX.CFG" when not registered
uint16_t SetRegisteredConfigFile(const std::string& path);  // 0 or kRegistryWriteFailed
// 0 and the file; 1 and an empty path when neither the registered file nor
// "ORBEX.CFG" in the system directory exists.
int LocateConfigFile(std::string& path);

// For tests: the library name to load ("ORBEX32.DLL"), how often the
// binding freed a module, the engine's use count.
void SetEngineLibraryNameForTesting(const std::string& name);
int EngineModuleFreesForTesting();
int EngineUseCountForTesting();

}  // namespace vtxcfg
