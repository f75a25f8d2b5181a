// The records of the benchmarks' inventory tables (the 22 inventory fields):
// record `i` as the engine stores it, the same in every benchmark so their
// figures compare.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "orbex32.h"

namespace bench {

// A field of a table the benchmarks create.
inline OrbFieldDesc F(const char* name, char type, uint16_t width, uint8_t decimals = 0) {
  OrbFieldDesc f{};
  std::strncpy(f.name, name, sizeof f.name - 1);
  f.type = type;
  f.width = width;
  f.decimals = decimals;
  return f;
}

// The 22 inventory fields, as keldro creates them.
inline const std::vector<OrbFieldDesc>& InventoryFields() {
  static const std::vector<OrbFieldDesc> fields = {
      F("Item", 'C', 40),       F("Brand", 'C', 20),    F("Model", 'C', 20),    F("Serial", 'C', 20),
      F("Location", 'C', 30),   F("Descriptio", 'C', 110), F("BoughtFrom", 'C', 40), F("IDMarks", 'C', 60),
      F("Quantity", 'N', 11, 0), F("PurchDate", 'D', 8), F("Cost", 'N', 12, 2), F("Category", 'C', 20),
      F("RepCost", 'N', 12, 2), F("Warranty", 'C', 3),  F("WarDate", 'D', 8),   F("WarNotes", 'C', 30),
      F("Owner", 'C', 30),      F("Value", 'N', 12, 2), F("UserDef1", 'C', 40), F("UserDef2", 'C', 40),
      F("UserDef3", 'C', 40),   F("UserDef4", 'C', 40)};
  return fields;
}

// Fills `record` (`size` bytes) with record `i`: a numbered item, a brand,
// a description, a quantity, a purchase date, a cost, one of five
// categories and a warranty; the other fields blank.
inline void PutInventoryRecord(OrbCursor cursor, uint8_t* record, uint32_t size, int i) {
  static const char* const kCategories[] = {"Kitchen", "Office", "Garage", "Garden", "Living"};
  EngineInitRecord(cursor, record, size);
  const std::string item = "Item number " + std::to_string(i);
  EnginePutField(cursor, 1, record, item.c_str());
  EnginePutField(cursor, 2, record, "Acme");
  EnginePutField(cursor, 6, record, "A description of the thing that is long enough to matter");
  double quantity = i % 7, cost = (i % 1000) * 1.25;
  int32_t day = 728000 + i % 3000;
  EnginePutField(cursor, 9, record, &quantity);
  EnginePutField(cursor, 10, record, &day);
  EnginePutField(cursor, 11, record, &cost);
  EnginePutField(cursor, 12, record, kCategories[i % 5]);
  EnginePutField(cursor, 14, record, i % 2 ? "Yes" : "No");
}

}  // namespace bench
