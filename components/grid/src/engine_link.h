// The engine entries the components call directly, bound by ordinal on
// first use from the engine the framework loaded.
#pragma once

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
};

// EDatabaseError when the engine cannot be loaded or lacks an entry.
EngineLink& Engine();

}  // namespace grid::detail
