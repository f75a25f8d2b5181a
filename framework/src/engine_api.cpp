#include "engine_api.h"

#include <cstring>
#include <mutex>
#include <string_view>

#include "framework/db.h"
#include "framework/dbtables.h"
#include "platform/dynlib.h"

namespace framework::detail {

namespace {

// The engine's ordinals, for an engine that does not export a name.
struct Ordinal {
  const char* name;
  uint16_t ordinal;
};
constexpr Ordinal kOrdinals[] = {
    {"EngineOpenDatabase", 1},   {"EngineCloseDatabase", 2},    {"EngineCreateTable", 3},
    {"EngineOpenTable", 4},      {"EngineCloseCursor", 5},      {"EngineGetTableInfo", 6},
    {"EngineGetFieldDescs", 7},  {"EngineSetToBegin", 9},       {"EngineSetToEnd", 10},
    {"EngineGetNextRecord", 16}, {"EngineGetPriorRecord", 17},  {"EngineGetRecord", 18},
    {"EngineGetRecordCount", 21}, {"EngineGetSeqNo", 25},       {"EngineForceReread", 26},
    {"EngineGetBookmark", 27},   {"EngineSetToBookmark", 28},   {"EngineCompareBookmarks", 30},
    {"EngineInitRecord", 40},    {"EngineInsertRecord", 41},    {"EngineModifyRecord", 42},
    {"EngineDeleteRecord", 43},  {"EngineBeginBatch", 44},      {"EngineCommitBatch", 45},
    {"EngineRollbackBatch", 46}, {"EngineAddIndex", 50},        {"EngineDeleteIndex", 51},
    {"EngineSwitchToIndex", 52}, {"EngineGetActiveIndex", 53},  {"EngineGetIndexDescs", 54},
    {"EngineSetToKey", 55},      {"EngineSetToKeyText", 56},    {"EngineSetRange", 57},
    {"EngineResetRange", 58},    {"EngineOpenBlob", 100},       {"EngineGetBlobSize", 101},
    {"EngineGetBlob", 102},      {"EnginePutBlob", 103},        {"EngineTruncateBlob", 104},
    {"EngineFreeBlob", 105},     {"EngineGetField", 207},       {"EnginePutField", 208},
    {"EngineAddFilter", 840},    {"EngineActivateFilter", 842}, {"EngineDropFilter", 843},
    {"EngineQueryAlloc", 131},   {"EngineQueryPrepare", 132},   {"EngineQueryExecute", 136},
    {"EngineQueryFree", 137},    {"EngineQuerySetProp", 1072},  {"EngineQueryRowsAffected", 135},
    {"EngineQueryBindParam", 65}, {"EngineQueryParamCount", 1063}, {"EngineQueryParamName", 1068},
};

void* Resolve(platform::dynlib::Module module, const char* name) {
  if (void* p = platform::dynlib::Entry(module, name)) return p;
  for (const Ordinal& o : kOrdinals)
    if (std::strcmp(o.name, name) == 0) return platform::dynlib::EntryByOrdinal(module, o.ordinal);
  return nullptr;
}

std::mutex gLoadLock;
EngineApi* gEngine = nullptr;

}  // namespace

EngineApi& Engine() {
  std::lock_guard<std::mutex> lock(gLoadLock);
  if (gEngine) return *gEngine;
  uint32_t error = 0;
  platform::dynlib::Module module =
      platform::dynlib::Load("ORBEX32.DLL", TSession::Default().LibraryDirs, &error);
  if (!module)
    throw EDatabaseError("Unable to load the database engine ORBEX32.DLL (error " + std::to_string(error) + ")");
  auto api = std::make_unique<EngineApi>();
  std::string missing;
#define ORB_ENTRY(name)                                                                \
  api->name = reinterpret_cast<decltype(&::name)>(Resolve(module, #name));             \
  if (!api->name) missing += std::string(missing.empty() ? "" : ", ") + #name;
#include "engine_entries.inc"
#undef ORB_ENTRY
  if (!missing.empty()) {
    platform::dynlib::Free(module);
    throw EDatabaseError("The database engine ORBEX32.DLL lacks " + missing);
  }
  // The engine stays loaded for the life of the process, as its handles do.
  gEngine = api.release();
  return *gEngine;
}

std::string ErrorMessage(OrbResult result) {
  EngineApi& e = Engine();
  // The details first: they describe the last entry called on this thread.
  char context[512] = {0};
  bool haveContext = e.EngineGetErrorContext(context, sizeof context) == ORB_OK && context[0] != 0;
  std::string text = e.EngineErrorText(result);
  if (haveContext) text.append("\n").append(context);
  return text;
}

void Check(OrbResult result) {
  if (result != ORB_OK) throw EDatabaseError(ErrorMessage(result), result);
}

}  // namespace framework::detail
