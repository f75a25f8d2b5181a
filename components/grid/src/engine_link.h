// The engine entries the components call directly, bound by ordinal on
// first use from the engine the framework loaded.
#pragma once

#include <string>

#include "orbex32.h"

namespace grid::detail {

struct EngineLink {
  decltype(&::EngineAddFilter) AddFilter = nullptr;           // 840
  decltype(&::EngineDeactivateFilter) DeactivateFilter = nullptr;  // 841
  decltype(&::EngineActivateFilter) ActivateFilter = nullptr;  // 842
  decltype(&::EngineDropFilter) DropFilter = nullptr;         // 843
  decltype(&::EngineGetField) GetField = nullptr;             // 207
  // The locate routine's raw scan.
  decltype(&::EngineGetNextRecord) GetNextRecord = nullptr;   // 16
  // The memo stream's reads.
  decltype(&::EngineGetTableInfo) GetTableInfo = nullptr;     // 6
  decltype(&::EngineGetRecord) GetRecord = nullptr;           // 18
  decltype(&::EngineOpenBlob) OpenBlob = nullptr;             // 100
  decltype(&::EngineGetBlob) GetBlob = nullptr;               // 102
  decltype(&::EngineFreeBlob) FreeBlob = nullptr;             // 105
  // The query datasets.
  decltype(&::EngineGetErrorText) GetErrorText = nullptr;     // 60
  decltype(&::EngineQueryAlloc) QueryAlloc = nullptr;         // 131
  decltype(&::EngineQueryPrepare) QueryPrepare = nullptr;     // 132
  decltype(&::EngineQueryExecute) QueryExecute = nullptr;     // 136
  decltype(&::EngineQueryFree) QueryFree = nullptr;           // 137
  decltype(&::EngineQuerySetProp) QuerySetProp = nullptr;     // 1072
  decltype(&::EngineMakePermanent) MakePermanent = nullptr;   // 12
  decltype(&::EngineBatchCopy) BatchCopy = nullptr;           // 13
  decltype(&::EngineGetAliasPath) GetAliasPath = nullptr;     // 29
  decltype(&::EngineGetAnswerPath) GetAnswerPath = nullptr;   // 234
  decltype(&::EngineCreateTable) CreateTable = nullptr;       // 3
  decltype(&::EngineOpenTable) OpenTable = nullptr;           // 4
  decltype(&::EngineCloseCursor) CloseCursor = nullptr;       // 5
  decltype(&::EngineGetFieldDescs) GetFieldDescs = nullptr;   // 7
};

// EDatabaseError when the engine cannot be loaded or lacks an entry.
EngineLink& Engine();

// The engine's text of a code with the details of the last failure.
std::string EngineErrorMessage(OrbResult code);

}  // namespace grid::detail
