#include "core/config_model.h"

#include <cstring>
#include <filesystem>
#include <new>

#include "core/cfg_strings.h"
#include "core/engine_binding.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vtxcfg {
namespace {

constexpr size_t kRowBytes = 62;
constexpr size_t kRowName = 2;
constexpr size_t kRowNameBytes = 32;
constexpr size_t kRowType = 34;
constexpr size_t kRowOffset = 42;
constexpr size_t kRowLength = 44;
constexpr uint16_t kEndOfChildren = 0x2205;

std::string Oem(const std::string& ansi) { return platform::AnsiToOem(ansi); }
std::string Ansi(const std::string& oem) { return platform::OemToAnsi(oem); }

// Text of a fixed buffer, never past its end.
std::string Bounded(const char* p, size_t size) {
  size_t n = 0;
  while (n < size && p[n] != '\0') ++n;
  return std::string(p, n);
}

std::string Cut(const std::string& s, size_t chars) { return s.size() < chars ? s : s.substr(0, chars - 1); }

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void SetRow(uint8_t* rows, size_t i, const std::string& oemName) {
  uint8_t* row = rows + i * kRowBytes;
  std::memset(row, 0, kRowBytes);
  PutU16(row, static_cast<uint16_t>(i));
  std::memcpy(row + kRowName, oemName.data(), std::min(oemName.size(), kRowNameBytes - 1));
  PutU16(row + kRowType, 1);
  PutU16(row + kRowOffset, static_cast<uint16_t>(i * kEngineValueChars));
  PutU16(row + kRowLength, kEngineValueChars);
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && platform::AnsiCompareNoCase(s.substr(0, prefix.size()), prefix) == 0;
}

bool Live(const ConfigEntry& e) { return e.state != kDeleted && e.state != kDeletedToo; }

std::string FileOem(const std::string& ansiFile) { return Oem(ansiFile); }

// The list a read is building; swapped in only when the read succeeds.
ConfigList* g_building = nullptr;
ConfigList& Target() { return g_building ? *g_building : TheConfig(); }

ConfigEntry MakeEntry(const std::string& path, const std::string& name, const std::string& value, int32_t state) {
  ConfigEntry e;
  e.path = Cut(path, kEntryPathChars);
  e.name = Cut(name, kEntryNameChars);
  e.value = Cut(value, kEntryValueChars);
  e.state = state;
  return e;
}

void NodeRecord(const std::string& path, uint16_t count, uint8_t* rows, const char* values, int32_t state,
                bool insert) {
  for (uint16_t i = 0; i < count; ++i) {
    std::string name = Bounded(reinterpret_cast<const char*>(rows + i * kRowBytes + kRowName), kRowNameBytes);
    std::string value = Bounded(values + size_t{i} * kEngineValueChars, kEngineValueChars);
    if (insert)
      InsertEntry(path, name, value, state);
    else
      AppendEntry(path, name, value, state);
    SetRow(rows, i, name);
  }
}

}  // namespace

ConfigList& TheConfig() {
  static ConfigList* list = new ConfigList;
  return *list;
}

bool PathEqual(const std::string& a, const std::string& b) {
  return a.size() == b.size() && platform::AnsiCompareNoCase(a, b) == 0;
}

void AppendEntry(const std::string& path, const std::string& name, const std::string& value, int32_t state) {
  ConfigList& list = Target();
  list.entries.insert(list.entries.begin() + static_cast<std::ptrdiff_t>(list.current),
                      MakeEntry(path, name, value, state));
  ++list.current;
}

void InsertEntry(const std::string& path, const std::string& name, const std::string& value, int32_t state) {
  AppendEntry(path, name, value, state);  // after the current entry; the rest stays behind it
}

void AppendNodeRecord(const std::string& path, uint16_t count, uint8_t* rows, const char* values, int32_t state) {
  NodeRecord(path, count, rows, values, state, false);
}

void InsertNodeRecord(const std::string& path, uint16_t count, uint8_t* rows, const char* values, int32_t state) {
  NodeRecord(path, count, rows, values, state, true);
}

int ReadConfigNode(uint32_t handle, const std::string& path, int n) {
  const EngineEntries& engine = Engine();
  std::string oemPath = Oem(path);
  while (true) {
    char child[128] = {};
    if (engine.SetConfigNode(handle, oemPath.c_str()) != 0) return kNodeEngineFailed;
    uint16_t rc = 0;
    for (int i = 0; i < n; ++i) {
      std::memset(child, 0, sizeof child);
      rc = engine.NextConfigChild(handle, child);
      if (rc == kEndOfChildren) return kNodeEnded;
      if (rc != 0) break;
    }
    std::string name = Ansi(Bounded(child, sizeof child));
    if (rc == 0 && path == "\\" && PathEqual(name, "HELP")) {
      // The root's help subtree is the engine's own: never read.
      ++n;
      continue;
    }
    if (rc != 0) {
      uint16_t count = 0;
      if (engine.GetConfigRecord(handle, oemPath.c_str(), &count, nullptr, nullptr) != 0) return kNodeEngineFailed;
      if (count > 0) {
        std::vector<uint8_t> rows;
        std::vector<char> values;
        try {
          rows.assign(size_t{count} * kRowBytes, 0);
          values.assign(size_t{count} * kEngineValueChars, 0);
        } catch (const std::bad_alloc&) {
          return kNodeNoMemory;
        }
        uint16_t filled = count;
        if (engine.GetConfigRecord(handle, oemPath.c_str(), &filled, rows.data(), values.data()) != 0)
          return kNodeEngineFailed;
        filled = std::min(filled, count);
        for (uint16_t i = 0; i < filled; ++i) {
          char* name = reinterpret_cast<char*>(rows.data() + i * kRowBytes + kRowName);
          std::string ansiName = Ansi(Bounded(name, kRowNameBytes));
          std::memset(name, 0, kRowNameBytes);
          std::memcpy(name, ansiName.data(), std::min(ansiName.size(), kRowNameBytes - 1));
          std::string ansiValue = Ansi(Bounded(values.data() + size_t{i} * kEngineValueChars, kEngineValueChars));
          char* slot = values.data() + size_t{i} * kEngineValueChars;
          std::memset(slot, 0, kEngineValueChars);
          std::memcpy(slot, ansiValue.data(), std::min(ansiValue.size(), kEngineValueChars - 1));
        }
        AppendNodeRecord(path, filled, rows.data(), values.data(), kAsLoaded);
      }
      return kNodeLeafRead;
    }
    std::string childPath = path == "\\" ? "\\" + name : path + "\\" + name;
    if (childPath.size() < kEntryPathChars) {
      int r = ReadConfigNode(handle, childPath, 1);
      if (r == kNodeNoMemory || r == kNodeEngineFailed) return r;
    }
    // A path that does not fit is skipped with its subtree.
    ++n;
  }
}

int ReadConfigFile(const std::string* file) {
  const EngineEntries& engine = Engine();
  uint32_t handle = 0;
  bool opened = false;
  if (file && !file->empty()) {
    if (engine.OpenConfigFile(FileOem(*file).c_str(), 0, &handle) != 0) return 19;
    opened = true;
  }
  auto fail = [&](int code) {
    if (opened) engine.CloseConfigFile(&handle, 0, 0, 0);
    g_building = nullptr;
    return code;
  };
  ConfigList fresh;
  char root[128] = {};
  if (engine.GetConfigRoot(handle, 0, 0, 0, root) != 0) return fail(3);
  g_building = &fresh;
  int r = ReadConfigNode(handle, Ansi(Bounded(root, sizeof root)), 1);
  g_building = nullptr;
  if (r == kNodeNoMemory) return fail(2);
  if (r == kNodeEngineFailed) return fail(19);
  // A partial list never replaces the one in memory.
  CloseConfigHandle();
  ConfigList& list = TheConfig();
  list.entries = std::move(fresh.entries);
  list.current = 0;
  list.exists = true;
  list.heldHandle = handle;
  list.holding = opened;
  return 0;
}

void CloseConfigHandle() {
  ConfigList& list = TheConfig();
  if (list.holding) {
    uint32_t h = list.heldHandle;
    Engine().CloseConfigFile(&h, 0, 0, 0);
  }
  list.heldHandle = 0;
  list.holding = false;
}

void FreeConfigEntries() {
  ConfigList& list = TheConfig();
  list.entries.clear();
  list.current = 0;
  list.exists = false;
}

int CopyConfigFile(const std::string& source, const std::string& destination) {
  if (PathEqual(source, destination)) return 1;
  namespace fs = std::filesystem;
  fs::path from = platform::MapPath(platform::Cp1252ToUtf8(source));
  fs::path to = platform::MapPath(platform::Cp1252ToUtf8(destination));
  std::string bytes;
  if (platform::ReadWholeFile(from, bytes) != platform::ReadStatus::kOk) return 1;
  std::error_code ec;
  auto stamp = fs::last_write_time(from, ec);
  if (!platform::WriteFileAtomic(to, bytes)) {
    ReportCfgError(25);
    return 1;
  }
  if (!ec) fs::last_write_time(to, stamp, ec);
  return 0;
}

int WriteConfigFile(const std::string* target, const std::string* currentFile, int registryFlag, int formatFlag) {
  std::string file;
  if (!target) {
    if (!currentFile) return 1;
    file = *currentFile;
  } else {
    file = *target;
    if (currentFile && !currentFile->empty() && !PathEqual(*currentFile, *target) &&
        CopyConfigFile(*currentFile, *target) != 0)
      return 1;
  }
  const EngineEntries& engine = Engine();
  CloseConfigHandle();
  uint32_t handle = 0;
  if (engine.OpenConfigFile(FileOem(file).c_str(), 1, &handle) != 0) return 1;

  ConfigList& list = TheConfig();
  std::vector<uint8_t> rows(kGroupRows * kRowBytes, 0);
  std::vector<char> values(kGroupRows * kEngineValueChars, 0);
  std::string lastDeleted;
  std::vector<size_t> marked;
  int firstFailure = 0;
  size_t i = 0;
  while (i < list.entries.size()) {
    const std::string groupPath = list.entries[i].path;
    // Deleted entries never share a group with live ones of the same path
    // (an alias deleted and made again): their cleared names would spoil
    // the add, and the node must go before it is made again.
    const bool groupLive = Live(list.entries[i]);
    std::fill(values.begin(), values.end(), '\0');
    size_t k = 0;
    int op = 0;
    for (; i < list.entries.size() && k < kGroupRows && PathEqual(list.entries[i].path, groupPath) &&
           Live(list.entries[i]) == groupLive;
         ++i, ++k) {
      ConfigEntry& e = list.entries[i];
      std::string value = e.value;
      if (e.state != kAsLoaded && PathEqual(e.name, "LANGDRIVER")) value = LangDriverNameFromDesc(value);
      SetRow(rows.data(), k, Oem(e.name));
      std::string oemValue = Oem(value);
      std::memcpy(values.data() + k * kEngineValueChars, oemValue.data(),
                  std::min(oemValue.size(), kEngineValueChars - 1));
      if (e.state != kAsLoaded && e.written == 0) {
        e.written = 1;
        marked.push_back(i);
        op = e.state == kDeletedToo ? kDeleted : e.state;
      }
    }
    std::string oemPath = Oem(groupPath);
    uint16_t rc = 0;
    if (op == kModified) {
      rc = engine.ModifyConfigNode(handle, oemPath.c_str(), static_cast<uint16_t>(k), rows.data(), values.data());
    } else if (op == kAdded) {
      rc = engine.AddConfigNode(handle, oemPath.c_str(), static_cast<uint16_t>(k), rows.data(), values.data());
    } else if (op == kDeleted) {
      std::string parent = groupPath.substr(0, groupPath.rfind('\\'));
      if (!parent.empty() && !PathEqual(parent, lastDeleted)) {
        lastDeleted = parent;
        rc = engine.DeleteConfigNode(handle, Oem(parent).c_str());
      }
    }
    if (rc != 0 && firstFailure == 0) firstFailure = rc;
  }
  if (registryFlag == 0 && formatFlag == 0) formatFlag = 1;
  int result;
  if (firstFailure != 0) {
    // A save that failed part way is not saved at all.
    engine.CloseConfigFile(&handle, 0, 0, static_cast<uint16_t>(formatFlag));
    result = firstFailure;
  } else {
    result = engine.CloseConfigFile(&handle, 1, static_cast<uint16_t>(registryFlag),
                                    static_cast<uint16_t>(formatFlag));
  }
  if (result != 0)
    for (size_t m : marked) list.entries[m].written = 0;
  return result;
}

int MergeConfigFiles(const std::string& target, const std::string& source, int registryFlag, int formatFlag) {
  const EngineEntries& engine = Engine();
  CloseConfigHandle();
  uint32_t from = 0, to = 0;
  if (int rc = engine.OpenConfigFile(FileOem(source).c_str(), 0, &from)) return rc;
  if (registryFlag == 0 && formatFlag == 0) formatFlag = 1;
  int result = engine.OpenConfigFile(FileOem(target).c_str(), 1, &to);
  if (result == 0) {
    result = engine.MergeConfig(to, from, 0);
    if (result == 0)
      result = engine.CloseConfigFile(&to, 1, static_cast<uint16_t>(registryFlag), static_cast<uint16_t>(formatFlag));
    else
      engine.CloseConfigFile(&to, 0, 0, static_cast<uint16_t>(formatFlag));
  }
  engine.CloseConfigFile(&from, 0, 0, static_cast<uint16_t>(formatFlag));
  return result;
}

int ProbeConfigFile(const std::string& file) {
  const EngineEntries& engine = Engine();
  uint32_t h = 0;
  if (int rc = engine.OpenConfigFile(FileOem(file).c_str(), 0, &h)) return rc;
  int rc = engine.SetConfigNode(h, "\\");
  char child[128] = {};
  if (rc == 0) rc = engine.NextConfigChild(h, child);
  engine.CloseConfigFile(&h, 0, 0, 0);
  return rc;
}

const ConfigEntry* GetNodeEntry(const std::string& path, int n) {
  ConfigList& list = TheConfig();
  for (size_t i = 0; i < list.entries.size(); ++i) {
    const ConfigEntry& e = list.entries[i];
    if (!Live(e) || !PathEqual(e.path, path)) continue;
    size_t at = i + static_cast<size_t>(n);
    list.current = i + 1;
    if (n < 0 || at >= list.entries.size()) return nullptr;
    const ConfigEntry& found = list.entries[at];
    return Live(found) && PathEqual(found.path, path) ? &found : nullptr;
  }
  return nullptr;
}

int GetEntryValue(const std::string& path, const std::string& name, std::string& value) {
  for (const ConfigEntry& e : TheConfig().entries) {
    if (PathEqual(e.path, path) && PathEqual(e.name, name)) {
      value = e.value;
      return 0;
    }
  }
  return 1;
}

int SetEntryValue(const std::string& path, const std::string& name, const std::string& value) {
  // A language driver is chosen by its description and always kept by its name.
  std::string stored = PathEqual(name, "LANGDRIVER") ? LangDriverNameFromDesc(value) : value;
  stored = Cut(stored, kEntryValueChars);
  for (ConfigEntry& e : TheConfig().entries) {
    if (!PathEqual(e.path, path) || !PathEqual(e.name, name)) continue;
    if (PathEqual(e.value, stored)) continue;
    e.value = stored;
    if (e.state == kAsLoaded) e.state = kModified;
    e.written = 0;
    return 0;
  }
  return 1;
}

int GetChildName(const std::string& path, int n, std::string& name) {
  const std::string prefix = path + "\\";
  const auto& entries = TheConfig().entries;
  size_t i = 0;
  while (i < entries.size() && !(Live(entries[i]) && StartsWithNoCase(entries[i].path, prefix))) ++i;
  std::string last;
  int seen = -1;
  for (; i < entries.size() && StartsWithNoCase(entries[i].path, prefix); ++i) {
    if (!Live(entries[i])) continue;
    std::string rest = entries[i].path.substr(prefix.size());
    std::string component = rest.substr(0, rest.find('\\'));
    if (seen >= 0 && PathEqual(component, last)) continue;
    last = component;
    if (++seen == n) {
      name = component;
      return 0;
    }
  }
  return 1;
}

bool IsConfigModified() {
  for (const ConfigEntry& e : TheConfig().entries)
    if ((e.state == kModified || e.state == kAdded || e.state == kDeleted || e.state == kDeletedToo) &&
        e.written == 0)
      return true;
  return false;
}

void DeleteNodeEntries(const std::string& path) {
  ConfigList& list = TheConfig();
  const std::string prefix = path + "\\";
  std::vector<ConfigEntry> kept;
  kept.reserve(list.entries.size());
  for (ConfigEntry& e : list.entries) {
    if (StartsWithNoCase(e.path, prefix)) {
      if (e.state == kAdded) continue;  // never written: just forgotten
      e.state = kDeleted;
      e.name.clear();
    }
    kept.push_back(std::move(e));
  }
  list.entries = std::move(kept);
  list.current = std::min(list.current, list.entries.size());
}

namespace {
void FindRunEnd(const std::string& prefix) {
  ConfigList& list = TheConfig();
  size_t i = 0;
  while (i < list.entries.size() && !StartsWithNoCase(list.entries[i].path, prefix)) ++i;
  if (i == list.entries.size()) {
    list.current = list.entries.size();
    return;
  }
  while (i < list.entries.size() && StartsWithNoCase(list.entries[i].path, prefix)) ++i;
  list.current = i;
}
}  // namespace

void FindDriversEnd() { FindRunEnd("\\DRIVERS"); }
void FindDatabasesEnd() { FindRunEnd("\\DATABASES"); }

void GetAliasType(const std::string& alias, std::string& type) {
  type.clear();
  GetEntryValue("\\DATABASES\\" + alias + "\\DB INFO", "TYPE", type);
}

void GetAliasDriverPath(const std::string& path, std::string& out, bool dbOpen) {
  out.clear();
  // "\DATABASES\ALIAS..." -> the alias is the second component.
  size_t start = path.find('\\', 1);
  if (start == std::string::npos) return;
  std::string alias = path.substr(start + 1, path.find('\\', start + 1) - start - 1);
  std::string type;
  GetAliasType(alias, type);
  out = "\\DRIVERS\\" + type + (dbOpen ? "\\DB OPEN" : "");
}

namespace {
void Help(const std::string& path, const std::string& name, std::string& text) {
  char buffer[257] = {};
  text.clear();
  if (Engine().GetConfigHelp(TheConfig().heldHandle, Oem(path).c_str(), Oem(name).c_str(), buffer) == 0)
    text = Ansi(Bounded(buffer, 256));
}
bool IsAliasPath(const std::string& path) { return StartsWithNoCase(path, "\\DATABASES\\"); }
}  // namespace

void GetParamDescription(const std::string& path, const std::string& name, std::string& text) {
  if (!IsAliasPath(path)) return Help(path, name, text);
  text.clear();
  if (PathEqual(name, "TYPE")) return;
  std::string driverNode;
  GetAliasDriverPath(path, driverNode, true);
  Help(driverNode, name, text);
}

void GetNodeDescription(const std::string& path, std::string& text) {
  if (!IsAliasPath(path)) return Help(path, "", text);
  std::string driverNode;
  GetAliasDriverPath(path, driverNode, false);
  Help(driverNode, "", text);
}

bool IsOdbcDriver(const std::string& driver) {
  std::string path = "\\DRIVERS\\" + driver + "\\INIT";
  for (int n = 0; n < 17; ++n) {
    const ConfigEntry* e = GetNodeEntry(path, n);
    if (!e) break;
    if (PathEqual(e->name, "DLL") && (PathEqual(e->value, "OXODBC01.DLL") || PathEqual(e->value, "OXODBC32.DLL")))
      return true;
  }
  return false;
}

void GetDriverHelpFile(const std::string& driver, std::string& file) {
  file.clear();
  if (driver.empty() || PathEqual(driver, "TESSALY") || PathEqual(driver, "DBASE") || PathEqual(driver, "STANDARD"))
    return;
  std::string path = "\\DRIVERS\\" + driver + "\\INIT";
  std::string dll;
  GetEntryValue(path, "DLL32", dll);
  if (dll.empty()) GetEntryValue(path, "DLL", dll);
  if (dll.empty()) return;
  // A name without an extension takes ".hlp" whole.
  file = dll.substr(0, dll.find('.')) + ".hlp";
}

LanguageDriverList& LanguageDrivers() {
  static LanguageDriverList* list = new LanguageDriverList;
  return *list;
}

int ReadLanguageDrivers() {
  LanguageDriverList& list = LanguageDrivers();
  list.drivers.clear();
  try {
    list.drivers.reserve(kMaxLanguageDrivers);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  const EngineEntries& engine = Engine();
  uint32_t ld = 0;
  if (engine.OpenLdList(&ld) == 0) {
    uint32_t item = 0;
    // The list holds 256 drivers; more are left out rather than overrun it.
    while (list.drivers.size() < kMaxLanguageDrivers && engine.NextLd(ld, &item) == 0) {
      char name[21] = {}, desc[21] = {};
      LangDriverInfo info;
      engine.GetLdName(item, name);
      engine.GetLdDescription(item, desc);
      engine.GetLdValueA(item, &info.valueA);
      engine.GetLdValueB(item, &info.valueB);
      info.name = Ansi(Bounded(name, 20));
      info.description = Ansi(Bounded(desc, 20));
      list.drivers.push_back(std::move(info));
    }
    engine.CloseLdList(ld);
  }
  list.loaded = true;
  return 1;
}

std::string LangDriverNameFromDesc(const std::string& value) {
  if (value.empty()) return value;
  for (const LangDriverInfo& d : LanguageDrivers().drivers) {
    if (d.name.empty()) break;
    if (d.description == value) return d.name;
  }
  return value;
}

std::string LangDriverDescFromName(const std::string& value) {
  if (value.empty()) return value;
  for (const LangDriverInfo& d : LanguageDrivers().drivers) {
    if (d.description.empty()) break;
    if (d.name == value) return d.description;
  }
  return value;
}

DriverNameTable& DriverNames() {
  static DriverNameTable* table = new DriverNameTable;
  return *table;
}

void RefreshDriverTable() {
  DriverNameTable& t = DriverNames();
  t.names.fill({});
  t.count = 0;
  std::string name;
  for (int n = 0; t.count < static_cast<int>(kDriverSlots) && GetChildName("\\DRIVERS", n, name) == 0; ++n) {
    if (name.size() >= kDriverNameChars) continue;  // a name that does not fit its slot is left out
    t.names[static_cast<size_t>(t.count++)] = name;
  }
}

}  // namespace vtxcfg
