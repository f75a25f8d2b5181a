// A tiny library for the loader tests: one named entry and an ordinal table.
#include <cstdint>

extern "C" int DynTestAnswer() { return 42; }
extern "C" int DynTestSeven() { return 7; }

extern "C" void* OrbEntryByOrdinal(uint16_t ordinal) {
  switch (ordinal) {
    case 1: return reinterpret_cast<void*>(&DynTestAnswer);
    case 7: return reinterpret_cast<void*>(&DynTestSeven);
    default: return nullptr;
  }
}
