// The configuration store's exported entries: handles on configuration
// files, the tree walk, the parameter rows, changes, descriptions, merge and
// the language-driver list.
#include <cstring>
#include <map>
#include <mutex>

#include "cfg/cfg_store.h"
#include "cfg/cfg_tree.h"
#include "orbex32_cfg.h"
#include "ordinals.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <unistd.h>

#define ORB_EXPORT extern "C" __attribute__((visibility("default")))

namespace orb::cfg {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxHandles = 256;

struct Open {
  fs::path file;       // empty for the built-in defaults
  bool writable = false;
  std::unique_ptr<Node> tree;
  Node* position = nullptr;
  size_t nextChild = 0;
};

struct Store {
  std::mutex mutex;
  std::map<uint32_t, Open> handles;
  uint32_t nextHandle = 1;
  Open defaults;  // handle 0; its tree is the shared defaults, never changed
};

Store& TheStore() {
  static Store* store = [] {
    auto* s = new Store;
    s->defaults.tree = Defaults().Clone();
    return s;
  }();
  return *store;
}

Open* Lookup(Store& s, uint32_t handle) {
  if (handle == 0) return &s.defaults;
  auto it = s.handles.find(handle);
  return it == s.handles.end() ? nullptr : &it->second;
}

// Copies at most size - 1 bytes and always terminates.
void CopyOut(char* out, size_t size, std::string_view text) {
  size_t n = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

std::string Bounded(const char* in, size_t size) {
  size_t n = 0;
  while (n < size && in[n] != '\0') ++n;
  return std::string(in, n);
}

// An incoming OEM string, bounded, as Windows-1252.
std::string FromOem(const char* in, size_t size) { return platform::OemToAnsi(Bounded(in, size)); }

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}
uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

struct Row {
  std::string name;
  std::string value;
};

// Reads and checks every row before anything changes.
uint16_t ReadRows(uint16_t count, const uint8_t* rows, const char* values, std::vector<Row>& out) {
  if (count > 0 && (!rows || !values)) return ORBCFG_INVALID_ARGUMENT;
  const size_t blockBytes = size_t{count} * ORB_CFG_VALUE_BYTES;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* row = rows + size_t{i} * ORB_CFG_ROW_BYTES;
    Row r;
    r.name = FromOem(reinterpret_cast<const char*>(row + ORB_ROW_NAME), ORB_ROW_NAME_BYTES);
    size_t offset = GetU16(row + ORB_ROW_OFFSET);
    size_t length = GetU16(row + ORB_ROW_LENGTH);
    if (length == 0 || length > ORB_CFG_VALUE_BYTES || offset + length > blockBytes)
      return ORBCFG_INVALID_ARGUMENT;
    r.value = FromOem(values + offset, length);
    if (!ValidParamName(r.name) || !ValidValue(r.value, kMaxValue)) return ORBCFG_INVALID_ARGUMENT;
    out.push_back(std::move(r));
  }
  return 0;
}

// A file handed in by name: OEM bytes of a Windows-style path.
fs::path FileFromOem(const char* path) {
  std::string ansi = FromOem(path, 261);
  return platform::MapPath(platform::Cp1252ToUtf8(ansi));
}

bool CanWrite(const fs::path& file) {
  std::error_code ec;
  if (fs::exists(file, ec)) return ::access(file.c_str(), W_OK) == 0;
  fs::path dir = file.parent_path();
  if (dir.empty()) dir = ".";
  return fs::is_directory(dir, ec) && ::access(dir.c_str(), W_OK) == 0;
}

}  // namespace

uint16_t LoadFile(const fs::path& file, Node& tree) {
  std::string bytes;
  switch (platform::ReadWholeFile(file, bytes)) {
    case platform::ReadStatus::kOk: break;
    case platform::ReadStatus::kNotFound: return ORBCFG_FILE_NOT_FOUND;
    case platform::ReadStatus::kError: return ORBCFG_ACCESS_DENIED;
  }
  return Parse(bytes, tree) == ParseResult::kOk ? 0 : ORBCFG_BAD_FORMAT;
}

}  // namespace orb::cfg

using namespace orb::cfg;

ORB_EXPORT const char* OrbCfgResultText(uint16_t code) {
  switch (code) {
    case 0: return "Success.";
    case ORBCFG_NOT_FOUND: return "No such configuration node or parameter.";
    case ORBCFG_END_OF_CHILDREN: return "No more items.";
    case ORBCFG_NO_CHILDREN: return "The node has no child nodes.";
    case ORBCFG_NOT_POSITIONED: return "No configuration node is selected.";
    case ORBCFG_INVALID_HANDLE: return "Invalid configuration handle.";
    case ORBCFG_INVALID_ARGUMENT: return "Invalid argument.";
    case ORBCFG_READ_ONLY: return "The configuration was opened for reading only.";
    case ORBCFG_FILE_NOT_FOUND: return "Configuration file not found.";
    case ORBCFG_ACCESS_DENIED: return "The configuration file cannot be written.";
    case ORBCFG_BAD_FORMAT: return "The file is not a readable configuration file.";
    case ORBCFG_WRITE_FAILED: return "The configuration file could not be written.";
    case ORBCFG_BUFFER_TOO_SMALL: return "The buffers hold fewer rows than the node has.";
    case ORBCFG_TOO_MANY_HANDLES: return "Too many configuration handles are open.";
    case ORBCFG_ALREADY_STARTED: return "The engine is already started.";
    default: return "";
  }
}

ORB_EXPORT uint16_t EngineOpenConfigFile(const char* path, uint16_t mode, uint32_t* handle) {
  if (!path || !handle || mode > 1 || path[0] == '\0') return ORBCFG_INVALID_ARGUMENT;
  *handle = 0;
  fs::path file = FileFromOem(path);
  Open open;
  open.file = file;
  open.writable = mode == 1;
  open.tree = std::make_unique<Node>();
  uint16_t rc = LoadFile(file, *open.tree);
  if (rc == ORBCFG_FILE_NOT_FOUND && mode == 1) {
    // A new file starts from the defaults, so that writing only the changed
    // nodes still gives a whole configuration.
    open.tree = Defaults().Clone();
    rc = 0;
  }
  if (rc != 0) return rc;
  if (mode == 1 && !CanWrite(file)) return ORBCFG_ACCESS_DENIED;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.handles.size() >= kMaxHandles) return ORBCFG_TOO_MANY_HANDLES;
  uint32_t h = s.nextHandle++;
  if (s.nextHandle == 0) s.nextHandle = 1;
  s.handles.emplace(h, std::move(open));
  *handle = h;
  return 0;
}

ORB_EXPORT uint16_t EngineCloseConfigFile(uint32_t* handle, uint16_t save, uint16_t registry, uint16_t format) {
  if (!handle || save > 1 || registry > 1 || format > 1) return ORBCFG_INVALID_ARGUMENT;
  if (*handle == 0) return 0;  // the defaults are never closed
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.handles.find(*handle);
  if (it == s.handles.end()) return ORBCFG_INVALID_HANDLE;
  uint16_t rc = 0;
  if (save == 1) {
    if (!it->second.writable) {
      rc = ORBCFG_READ_ONLY;
    } else if (!platform::WriteFileAtomic(it->second.file, Serialize(*it->second.tree))) {
      rc = ORBCFG_WRITE_FAILED;
    }
  }
  s.handles.erase(it);
  *handle = 0;
  return rc;
}

ORB_EXPORT uint16_t EngineGetConfigRoot(uint32_t handle, uint32_t, uint32_t, uint32_t, char* rootPath) {
  if (!rootPath) return ORBCFG_INVALID_ARGUMENT;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!Lookup(s, handle)) return ORBCFG_INVALID_HANDLE;
  CopyOut(rootPath, ORB_CFG_PATH_BYTES, "\\");
  return 0;
}

ORB_EXPORT uint16_t EngineSetConfigNode(uint32_t handle, const char* path) {
  if (!path) return ORBCFG_INVALID_ARGUMENT;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  Open* open = Lookup(s, handle);
  if (!open) return ORBCFG_INVALID_HANDLE;
  Node* node = FindNode(*open->tree, FromOem(path, ORB_CFG_PATH_BYTES));
  if (!node) return ORBCFG_NOT_FOUND;
  open->position = node;
  open->nextChild = 0;
  return 0;
}

ORB_EXPORT uint16_t EngineNextConfigChild(uint32_t handle, char* name) {
  if (!name) return ORBCFG_INVALID_ARGUMENT;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  Open* open = Lookup(s, handle);
  if (!open) return ORBCFG_INVALID_HANDLE;
  if (!open->position) return ORBCFG_NOT_POSITIONED;
  const Node& node = *open->position;
  if (node.children.empty()) return open->nextChild++ == 0 ? ORBCFG_NO_CHILDREN : ORBCFG_END_OF_CHILDREN;
  if (open->nextChild >= node.children.size()) return ORBCFG_END_OF_CHILDREN;
  CopyOut(name, ORB_CFG_NAME_BYTES, platform::AnsiToOem(node.children[open->nextChild++]->name));
  return 0;
}

ORB_EXPORT uint16_t EngineGetConfigRecord(uint32_t handle, const char* path, uint16_t* count, uint8_t* rows,
                                          char* values) {
  if (!path || !count || (rows == nullptr) != (values == nullptr)) return ORBCFG_INVALID_ARGUMENT;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  Open* open = Lookup(s, handle);
  if (!open) return ORBCFG_INVALID_HANDLE;
  Node* node = FindNode(*open->tree, FromOem(path, ORB_CFG_PATH_BYTES));
  if (!node) return ORBCFG_NOT_FOUND;
  const size_t have = node->params.size();
  if (!rows) {
    *count = static_cast<uint16_t>(have);
    return 0;
  }
  const size_t room = *count;
  const size_t n = std::min(room, have);
  for (size_t i = 0; i < n; ++i) {
    uint8_t* row = rows + i * ORB_CFG_ROW_BYTES;
    std::memset(row, 0, ORB_CFG_ROW_BYTES);
    PutU16(row + ORB_ROW_NUMBER, static_cast<uint16_t>(i));
    CopyOut(reinterpret_cast<char*>(row + ORB_ROW_NAME), ORB_ROW_NAME_BYTES,
            platform::AnsiToOem(node->params[i].name));
    PutU16(row + ORB_ROW_TYPE, 1);
    PutU16(row + ORB_ROW_OFFSET, static_cast<uint16_t>(i * ORB_CFG_VALUE_BYTES));
    PutU16(row + ORB_ROW_LENGTH, ORB_CFG_VALUE_BYTES);
    char* slot = values + i * ORB_CFG_VALUE_BYTES;
    std::memset(slot, 0, ORB_CFG_VALUE_BYTES);
    CopyOut(slot, ORB_CFG_VALUE_BYTES, platform::AnsiToOem(node->params[i].value));
  }
  *count = static_cast<uint16_t>(n);
  return have > room ? ORBCFG_BUFFER_TOO_SMALL : 0;
}

namespace {

uint16_t ChangeNode(uint32_t handle, const char* path, uint16_t count, const uint8_t* rows, const char* values,
                    bool add) {
  if (!path) return ORBCFG_INVALID_ARGUMENT;
  std::vector<Row> parsed;
  if (uint16_t rc = ReadRows(count, rows, values, parsed)) return rc;
  std::string ansiPath = FromOem(path, ORB_CFG_PATH_BYTES);
  std::vector<std::string> parts;
  if (!SplitPath(ansiPath, parts)) return ORBCFG_INVALID_ARGUMENT;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  Open* open = Lookup(s, handle);
  if (!open) return ORBCFG_INVALID_HANDLE;
  if (!open->writable) return ORBCFG_READ_ONLY;
  Node* node = FindNode(*open->tree, ansiPath);
  if (!add) {
    if (!node) return ORBCFG_NOT_FOUND;
    for (const Row& r : parsed)
      if (!node->FindParam(r.name)) return ORBCFG_NOT_FOUND;
  } else {
    size_t fresh = 0;
    for (const Row& r : parsed)
      if (!node || !node->FindParam(r.name)) ++fresh;
    if ((node ? node->params.size() : 0) + fresh > kMaxParamsPerNode) return ORBCFG_INVALID_ARGUMENT;
    if (!node && CountNodes(*open->tree) + parts.size() > kMaxNodes) return ORBCFG_INVALID_ARGUMENT;
    node = EnsureNode(*open->tree, ansiPath);
    if (!node) return ORBCFG_INVALID_ARGUMENT;
  }
  for (const Row& r : parsed) {
    if (Param* p = node->FindParam(r.name))
      p->value = r.value;
    else
      node->params.push_back(Param{r.name, r.value, {}});
  }
  // The walk may have been positioned inside a changed tree.
  open->position = nullptr;
  return 0;
}

}  // namespace

ORB_EXPORT uint16_t EngineAddConfigNode(uint32_t handle, const char* path, uint16_t count, const uint8_t* rows,
                                        const char* values) {
  return ChangeNode(handle, path, count, rows, values, true);
}

ORB_EXPORT uint16_t EngineModifyConfigNode(uint32_t handle, const char* path, uint16_t count,
                                           const uint8_t* rows, const char* values) {
  return ChangeNode(handle, path, count, rows, values, false);
}

ORB_EXPORT uint16_t EngineDeleteConfigNode(uint32_t handle, const char* path) {
  if (!path) return ORBCFG_INVALID_ARGUMENT;
  std::string ansiPath = FromOem(path, ORB_CFG_PATH_BYTES);
  std::vector<std::string> parts;
  if (!SplitPath(ansiPath, parts) || parts.empty()) return ORBCFG_INVALID_ARGUMENT;
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  Open* open = Lookup(s, handle);
  if (!open) return ORBCFG_INVALID_HANDLE;
  if (!open->writable) return ORBCFG_READ_ONLY;
  Node* parent = open->tree.get();
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    parent = parent->Child(parts[i]);
    if (!parent) return ORBCFG_NOT_FOUND;
  }
  auto& kids = parent->children;
  for (auto it = kids.begin(); it != kids.end(); ++it) {
    if (EqualNoCase((*it)->name, parts.back())) {
      kids.erase(it);
      open->position = nullptr;
      return 0;
    }
  }
  return ORBCFG_NOT_FOUND;
}

ORB_EXPORT uint16_t EngineGetConfigHelp(uint32_t handle, const char* path, const char* name, char* text) {
  if (!path || !text) return ORBCFG_INVALID_ARGUMENT;
  text[0] = '\0';
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  Open* open = Lookup(s, handle);
  if (!open) return ORBCFG_INVALID_HANDLE;
  Node* node = FindNode(*open->tree, FromOem(path, ORB_CFG_PATH_BYTES));
  if (!node) return ORBCFG_NOT_FOUND;
  std::string paramName = name ? FromOem(name, ORB_CFG_NAME_BYTES) : std::string();
  if (paramName.empty()) {
    CopyOut(text, ORB_CFG_HELP_BYTES, platform::AnsiToOem(node->help));
    return 0;
  }
  Param* p = node->FindParam(paramName);
  if (!p) return ORBCFG_NOT_FOUND;
  CopyOut(text, ORB_CFG_HELP_BYTES, platform::AnsiToOem(p->help));
  return 0;
}

ORB_EXPORT uint16_t EngineMergeConfig(uint32_t target, uint32_t source, uint32_t) {
  Store& s = TheStore();
  std::lock_guard<std::mutex> lock(s.mutex);
  Open* to = Lookup(s, target);
  Open* from = Lookup(s, source);
  if (!to || !from) return ORBCFG_INVALID_HANDLE;
  if (!to->writable) return ORBCFG_READ_ONLY;
  if (to == from) return 0;
  Merge(*to->tree, *from->tree);
  to->position = nullptr;
  return 0;
}

// The language drivers: a fixed table. Value A is the driver's number, value
// B its family: 1 the Tessaly drivers, 2 the dBASE ones.
namespace {

struct LangDriver {
  const char* name;
  const char* description;
  int16_t valueA;
  int16_t valueB;
};

constexpr LangDriver kLangDrivers[] = {
    {"ascii", "Tessaly 'ascii'", 1, 1},      {"intl", "Tessaly 'intl'", 2, 1},
    {"intl850", "Tessaly 'intl' 850", 4, 1}, {"nordan", "Tessaly 'nordan'", 3, 1},
    {"swedfin", "Tessaly 'swedfin'", 5, 1},  {"turk", "Tessaly 'turk'", 6, 1},
    {"DB437US0", "dBASE ENU cp437", 7, 2},   {"DB850US0", "dBASE ENU cp850", 8, 2},
    {"DB437UK0", "dBASE ENG cp437", 9, 2},   {"DB850UK0", "dBASE ENG cp850", 10, 2},
    {"DB437DE0", "dBASE DEU cp437", 11, 2},  {"DB850DE0", "dBASE DEU cp850", 12, 2},
    {"DB437FR0", "dBASE FRA cp437", 13, 2},  {"DB850FR0", "dBASE FRA cp850", 14, 2},
    {"DB437NL0", "dBASE NLD cp437", 15, 2},  {"DB850NL0", "dBASE NLD cp850", 16, 2},
    {"DB437IT0", "dBASE ITA cp437", 17, 2},  {"DB850IT0", "dBASE ITA cp850", 18, 2},
    {"DB437ES0", "dBASE ESP cp437", 19, 2},  {"DB850ES0", "dBASE ESP cp850", 20, 2},
    {"DB865DA0", "dBASE DAN cp865", 21, 2},  {"DB865NO0", "dBASE NOR cp865", 22, 2},
    {"DB437SV0", "dBASE SVE cp437", 23, 2},  {"DB850SV0", "dBASE SVE cp850", 24, 2},
    {"DB437FI0", "dBASE FIN cp437", 25, 2},  {"DB860PT0", "dBASE PTG cp860", 26, 2},
    {"WEurope", "Windows WEurope", 27, 1},   {"WEstern", "Windows Western", 28, 1},
};
constexpr uint32_t kLangDriverCount = sizeof(kLangDrivers) / sizeof(kLangDrivers[0]);

struct LdLists {
  std::mutex mutex;
  std::map<uint32_t, uint32_t> next;  // list -> index of its next item
  uint32_t nextList = 1;
};

LdLists& TheLdLists() {
  static LdLists* lists = new LdLists;
  return *lists;
}

// Items are 1-based indexes into the table.
const LangDriver* LdItem(uint32_t item) {
  if (item == 0 || item > kLangDriverCount) return nullptr;
  return &kLangDrivers[item - 1];
}

}  // namespace

ORB_EXPORT uint16_t EngineOpenLdList(uint32_t* list) {
  if (!list) return ORBCFG_INVALID_ARGUMENT;
  LdLists& l = TheLdLists();
  std::lock_guard<std::mutex> lock(l.mutex);
  if (l.next.size() >= kMaxHandles) return ORBCFG_TOO_MANY_HANDLES;
  uint32_t id = l.nextList++;
  if (l.nextList == 0) l.nextList = 1;
  l.next[id] = 0;
  *list = id;
  return 0;
}

ORB_EXPORT uint16_t EngineNextLd(uint32_t list, uint32_t* item) {
  if (!item) return ORBCFG_INVALID_ARGUMENT;
  LdLists& l = TheLdLists();
  std::lock_guard<std::mutex> lock(l.mutex);
  auto it = l.next.find(list);
  if (it == l.next.end()) return ORBCFG_INVALID_HANDLE;
  if (it->second >= kLangDriverCount) return ORBCFG_LD_END_OF_LIST;
  *item = ++it->second;
  return 0;
}

ORB_EXPORT uint16_t EngineGetLdName(uint32_t item, char* name) {
  const LangDriver* d = LdItem(item);
  if (!d || !name) return ORBCFG_INVALID_ARGUMENT;
  CopyOut(name, ORB_LD_TEXT_BYTES, platform::AnsiToOem(d->name));
  return 0;
}

ORB_EXPORT uint16_t EngineGetLdDescription(uint32_t item, char* text) {
  const LangDriver* d = LdItem(item);
  if (!d || !text) return ORBCFG_INVALID_ARGUMENT;
  CopyOut(text, ORB_LD_TEXT_BYTES, platform::AnsiToOem(d->description));
  return 0;
}

ORB_EXPORT uint16_t EngineGetLdValueA(uint32_t item, int16_t* value) {
  const LangDriver* d = LdItem(item);
  if (!d || !value) return ORBCFG_INVALID_ARGUMENT;
  *value = d->valueA;
  return 0;
}

ORB_EXPORT uint16_t EngineGetLdValueB(uint32_t item, int16_t* value) {
  const LangDriver* d = LdItem(item);
  if (!d || !value) return ORBCFG_INVALID_ARGUMENT;
  *value = d->valueB;
  return 0;
}

ORB_EXPORT uint16_t EngineCloseLdList(uint32_t list) {
  LdLists& l = TheLdLists();
  std::lock_guard<std::mutex> lock(l.mutex);
  return l.next.erase(list) ? 0 : ORBCFG_INVALID_HANDLE;
}

ORB_ORDINALS({1064, (void*)&EngineOpenConfigFile}, {1065, (void*)&EngineCloseConfigFile},
             {401, (void*)&EngineGetConfigRoot}, {402, (void*)&EngineSetConfigNode},
             {403, (void*)&EngineNextConfigChild}, {404, (void*)&EngineGetConfigRecord},
             {405, (void*)&EngineAddConfigNode}, {406, (void*)&EngineModifyConfigNode},
             {407, (void*)&EngineDeleteConfigNode}, {409, (void*)&EngineGetConfigHelp},
             {410, (void*)&EngineMergeConfig}, {814, (void*)&EngineOpenLdList}, {815, (void*)&EngineNextLd},
             {798, (void*)&EngineGetLdName}, {813, (void*)&EngineGetLdDescription},
             {800, (void*)&EngineGetLdValueA}, {819, (void*)&EngineGetLdValueB},
             {818, (void*)&EngineCloseLdList});
