#include "fake_engine.h"

#include <cstring>

namespace {

FakeEngine* g_fake = nullptr;

std::string Parent(const std::string& path) {
  size_t cut = path.rfind('\\');
  return cut == 0 ? "\\" : path.substr(0, cut);
}
std::string LastName(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

void Copy(char* out, size_t size, const std::string& s) {
  size_t n = std::min(s.size(), size - 1);
  std::memcpy(out, s.data(), n);
  out[n] = '\0';
}

std::vector<std::pair<std::string, std::string>> Rows(uint16_t count, const uint8_t* rows, const char* values) {
  std::vector<std::pair<std::string, std::string>> out;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* r = rows + i * 62;
    int offset = r[42] | (r[43] << 8);
    out.emplace_back(std::string(reinterpret_cast<const char*>(r + 2), strnlen(reinterpret_cast<const char*>(r + 2), 32)),
                     std::string(values + offset, strnlen(values + offset, 128)));
  }
  return out;
}

uint16_t Open(const char* path, uint16_t mode, uint32_t* handle) {
  FakeCall c{"open", path, {}, 0, 0, 0, mode, 0};
  auto it = g_fake->failOpen.find(path);
  uint16_t rc = it != g_fake->failOpen.end() ? it->second : 0;
  if (rc == 0 && mode == 1) rc = g_fake->failOpenForWriting;
  if (rc == 0) *handle = c.handle = g_fake->nextHandle++;
  g_fake->calls.push_back(c);
  return rc;
}
uint16_t Close(uint32_t* handle, uint16_t save, uint16_t registry, uint16_t format) {
  g_fake->calls.push_back({"close", "", {}, save, registry, format, 0, *handle});
  *handle = 0;
  return 0;
}
uint16_t Root(uint32_t, uint32_t, uint32_t, uint32_t, char* root) {
  Copy(root, 128, "\\");
  return 0;
}
uint16_t SetNode(uint32_t, const char* path) {
  if (!g_fake->nodes.count(path)) return 0x2206;
  g_fake->position = path;
  g_fake->nextChild = 0;
  return 0;
}
uint16_t NextChild(uint32_t, char* name) {
  const FakeNode& n = g_fake->nodes[g_fake->position];
  if (n.children.empty()) return g_fake->nextChild++ == 0 ? 0x22F1 : 0x2205;
  if (g_fake->nextChild >= n.children.size()) return 0x2205;
  Copy(name, 128, n.children[g_fake->nextChild++]);
  return 0;
}
uint16_t Record(uint32_t, const char* path, uint16_t* count, uint8_t* rows, char* values) {
  if (++g_fake->recordReads == g_fake->failRecordAt) return 0x2102;
  const FakeNode& n = g_fake->nodes[path];
  if (!rows) {
    *count = static_cast<uint16_t>(n.params.size());
    return 0;
  }
  for (size_t i = 0; i < n.params.size() && i < *count; ++i) {
    std::memset(rows + i * 62, 0, 62);
    Copy(reinterpret_cast<char*>(rows + i * 62 + 2), 32, n.params[i].first);
    Copy(values + i * 128, 128, n.params[i].second);
  }
  return 0;
}
uint16_t Add(uint32_t h, const char* path, uint16_t count, const uint8_t* rows, const char* values) {
  g_fake->calls.push_back({"add", path, Rows(count, rows, values), 0, 0, 0, 0, h});
  return 0;
}
uint16_t Modify(uint32_t h, const char* path, uint16_t count, const uint8_t* rows, const char* values) {
  g_fake->calls.push_back({"modify", path, Rows(count, rows, values), 0, 0, 0, 0, h});
  return g_fake->failModify;
}
uint16_t Delete(uint32_t h, const char* path) {
  g_fake->calls.push_back({"delete", path, {}, 0, 0, 0, 0, h});
  return 0;
}
uint16_t Help(uint32_t, const char* path, const char* name, char* text) {
  Copy(text, 256, std::string("help of ") + path + (name && *name ? std::string(":") + name : ""));
  return 0;
}
uint16_t Merge(uint32_t target, uint32_t source, uint32_t) {
  g_fake->calls.push_back({"merge", "", {}, 0, 0, 0, 0, target});
  return g_fake->failMerge;
}
uint16_t OpenLd(uint32_t* list) {
  g_fake->ldNext = 0;
  *list = 77;
  return 0;
}
uint16_t NextLd(uint32_t, uint32_t* item) {
  if (g_fake->ldNext >= g_fake->langDrivers.size()) return 0x2205;
  *item = static_cast<uint32_t>(++g_fake->ldNext);
  return 0;
}
uint16_t LdName(uint32_t item, char* name) {
  // Up to the 20 bytes the interface allows, terminator included.
  Copy(name, 20, g_fake->langDrivers[item - 1].first);
  return 0;
}
uint16_t LdDesc(uint32_t item, char* text) {
  Copy(text, 20, g_fake->langDrivers[item - 1].second);
  return 0;
}
uint16_t LdA(uint32_t item, int16_t* v) {
  *v = static_cast<int16_t>(item);
  return 0;
}
uint16_t LdB(uint32_t item, int16_t* v) {
  *v = item - 1 < g_fake->langValueB.size() ? g_fake->langValueB[item - 1] : 1;
  return 0;
}
uint16_t CloseLd(uint32_t) { return 0; }

const vtxcfg::EngineEntries kFake = {&Open,   &Close,  &Root,   &SetNode, &NextChild, &Record,
                                     &Add,    &Modify, &Delete, &Help,    &Merge,     &OpenLd,
                                     &NextLd, &LdName, &LdDesc, &LdA,     &LdB,       &CloseLd};

}  // namespace

FakeEngine::FakeEngine() {
  g_fake = this;
  nodes["\\"];
  vtxcfg::SetEngineEntriesForTesting(&kFake);
}

FakeEngine::~FakeEngine() {
  vtxcfg::SetEngineEntriesForTesting(nullptr);
  g_fake = nullptr;
}

void FakeEngine::Branch(const std::string& path) {
  if (path == "\\" || nodes.count(path)) return;
  Branch(Parent(path));
  nodes[Parent(path)].children.push_back(LastName(path));
  nodes[path];
}

void FakeEngine::Leaf(const std::string& path, const std::vector<std::pair<std::string, std::string>>& params) {
  Branch(path);
  nodes[path].params = params;
}

std::vector<FakeCall> FakeEngine::Changes() const {
  std::vector<FakeCall> out;
  for (const FakeCall& c : calls)
    if (c.op == "modify" || c.op == "add" || c.op == "delete" || c.op == "merge") out.push_back(c);
  return out;
}

const FakeCall* FakeEngine::LastClose() const {
  for (auto it = calls.rbegin(); it != calls.rend(); ++it)
    if (it->op == "close") return &*it;
  return nullptr;
}
