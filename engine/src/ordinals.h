// The engine's table of entry points by ordinal.
//
// Each source file registers its own ordinals with ORB_ORDINALS at load
// time; OrbEntryByOrdinal (exported) answers from the one table, so callers
// that bind by ordinal (the framework, vtxcfg32) reach every entry.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace orb {

struct OrdinalEntry {
  uint16_t ordinal;
  void* entry;
};

// Registers entries; a second registration of one ordinal is a build error
// caught by the engine's tests (DuplicateOrdinals()).
struct OrdinalRegistrar {
  OrdinalRegistrar(std::initializer_list<OrdinalEntry> entries);
};

void* FindOrdinal(uint16_t ordinal);
int DuplicateOrdinals();  // how many ordinals were registered twice

}  // namespace orb

#define ORB_ORDINAL_CAT2(a, b) a##b
#define ORB_ORDINAL_CAT(a, b) ORB_ORDINAL_CAT2(a, b)
// ORB_ORDINALS({246, (void*)&OrbPackTable}, {249, (void*)&OrbRegenIndexes});
#define ORB_ORDINALS(...) \
  static const ::orb::OrdinalRegistrar ORB_ORDINAL_CAT(orbOrdinals_, __LINE__){__VA_ARGS__}
