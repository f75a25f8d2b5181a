// The configuration in memory: one entry per parameter of every leaf node,
// read through the engine's tree walk, changed by the pages and dialogs, and
// written back node by node on Save.
//
// Text in the list is Windows-1252; it is converted to the OEM code page
// only in the buffers handed to the engine, so the list is never left in
// the wrong code page, whatever fails. Paths and names compare without
// regard to letter case. One list per process.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vtxcfg {

enum ConfigEntryState : int32_t { kAsLoaded = 0, kModified = 1, kAdded = 2, kDeleted = 3, kDeletedToo = 4 };

// Sizes of the fields, terminator included.
inline constexpr size_t kEntryPathChars = 128;
inline constexpr size_t kEntryNameChars = 32;
inline constexpr size_t kEntryValueChars = 149;
inline constexpr size_t kEngineValueChars = 128;
inline constexpr size_t kGroupRows = 17;

struct ConfigEntry {
  std::string path;   // "\DATABASES\MYDATA\DB INFO"
  std::string name;   // "PATH"; cleared when deleted
  std::string value;
  int32_t state = kAsLoaded;
  int32_t written = 0;
};

struct ConfigList {
  std::vector<ConfigEntry> entries;  // in file order
  size_t current = 0;                // index + 1 of the current entry; 0 is the head
  bool exists = false;               // a read has succeeded
  uint32_t heldHandle = 0;           // engine handle of the loaded file; 0 = defaults
  bool holding = false;
};

ConfigList& TheConfig();

// Results of the node walk.
enum NodeReadResult { kNodeLeafRead = 1, kNodeEnded = 10, kNodeNoMemory = 11, kNodeEngineFailed = 12 };

// 0; 2 out of memory; 3 no root; 19 the engine cannot open or walk the file.
// Null or empty: the engine's built-in defaults. On failure the list is as before.
int ReadConfigFile(const std::string* file);
int ReadConfigNode(uint32_t handle, const std::string& path, int childNumber);
// 0 saved; 1 the copy or the open for writing failed; else the engine's
// first failure. On failure nothing is marked written.
int WriteConfigFile(const std::string* target, const std::string* currentFile, int registryFlag, int formatFlag);
// 0, or the first failure; a failed merge never saves the target.
int MergeConfigFiles(const std::string& target, const std::string& source, int registryFlag, int formatFlag);
int ProbeConfigFile(const std::string& file);
// 0 copied; 1 failed (error 25 reported when the destination cannot be written).
// The source is read whole first: a source that cannot be read leaves the
// destination untouched.
int CopyConfigFile(const std::string& source, const std::string& destination);
void CloseConfigHandle();
void FreeConfigEntries();

void AppendEntry(const std::string& path, const std::string& name, const std::string& value, int32_t state);
void InsertEntry(const std::string& path, const std::string& name, const std::string& value, int32_t state);
void AppendNodeRecord(const std::string& path, uint16_t count, uint8_t* rows, const char* values, int32_t state);
void InsertNodeRecord(const std::string& path, uint16_t count, uint8_t* rows, const char* values, int32_t state);

const ConfigEntry* GetNodeEntry(const std::string& path, int n);
int GetEntryValue(const std::string& path, const std::string& name, std::string& value);
int SetEntryValue(const std::string& path, const std::string& name, const std::string& value);
int GetChildName(const std::string& path, int n, std::string& name);
bool IsConfigModified();
void DeleteNodeEntries(const std::string& path);
void FindDriversEnd();
void FindDatabasesEnd();

void GetAliasType(const std::string& alias, std::string& type);
void GetAliasDriverPath(const std::string& path, std::string& out, bool dbOpen = false);
void GetParamDescription(const std::string& path, const std::string& name, std::string& text);
void GetNodeDescription(const std::string& path, std::string& text);
bool IsOdbcDriver(const std::string& driver);
void GetDriverHelpFile(const std::string& driver, std::string& file);

struct LangDriverInfo {
  std::string name;         // up to 19 characters
  std::string description;  // up to 19 characters
  int16_t valueA = 0;
  int16_t valueB = 0;
};
inline constexpr size_t kMaxLanguageDrivers = 256;
struct LanguageDriverList {
  std::vector<LangDriverInfo> drivers;
  bool loaded = false;
};
LanguageDriverList& LanguageDrivers();
// 1 read (at most 256 drivers), 0 out of memory.
int ReadLanguageDrivers();
std::string LangDriverNameFromDesc(const std::string& value);
std::string LangDriverDescFromName(const std::string& value);

inline constexpr size_t kDriverSlots = 35;
inline constexpr size_t kDriverNameChars = 32;
struct DriverNameTable {
  std::array<std::string, kDriverSlots> names;
  int count = 0;
};
DriverNameTable& DriverNames();
void RefreshDriverTable();

bool PathEqual(const std::string& a, const std::string& b);

}  // namespace vtxcfg
