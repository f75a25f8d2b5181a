#include "ordinals.h"

#include <array>

namespace orb {
namespace {

// Indexed by ordinal: registration runs during static initialisation, before
// any caller can look an entry up, so no lock is needed.
struct Table {
  std::array<void*, 65536> entries{};
  int duplicates = 0;
};

Table& TheTable() {
  static Table table;
  return table;
}

}  // namespace

OrdinalRegistrar::OrdinalRegistrar(std::initializer_list<OrdinalEntry> entries) {
  Table& table = TheTable();
  for (const OrdinalEntry& e : entries) {
    if (table.entries[e.ordinal] != nullptr) ++table.duplicates;
    table.entries[e.ordinal] = e.entry;
  }
}

void* FindOrdinal(uint16_t ordinal) { return TheTable().entries[ordinal]; }
int DuplicateOrdinals() { return TheTable().duplicates; }

}  // namespace orb

extern "C" __attribute__((visibility("default"))) void* OrbEntryByOrdinal(uint16_t ordinal) {
  return orb::FindOrdinal(ordinal);
}
extern "C" __attribute__((visibility("default"))) int OrbDuplicateOrdinals() {
  return orb::DuplicateOrdinals();
}
