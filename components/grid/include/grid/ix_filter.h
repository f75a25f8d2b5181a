// The text filter of a table: compiled into the engine's filter buffer and
// installed on the table's cursor, where the engine evaluates it for every
// record it considers.
//
// The filter text: comparisons "field op value" (op one of = <> < > <= >=)
// joined by AND and OR (same precedence, grouped to the left), parentheses,
// and + - * / between operands. The left side of a comparison names a field
// of the table; the value on its right is read as a constant of that field's
// type. Blanks belong to unquoted values ("Sony TV" is one value); a value in
// double quotes keeps its inner blanks.
//
// The buffer (integers little-endian):
//   0  u16 version 1          2  u16 total bytes used
//   4  u16 node count         6  u16 node start (10)
//   8  u16 literal start (10 + nodes * 14)
//   10 nodes, 14 bytes each: u32 class, u32 operator, u16 operand 1..3
//      class 2 binary: operator (= 3, <> 4, > 5, < 6, >= 7, <= 8, AND 10,
//              OR 11, - 15, + 16, * 18, / 19), left and right child as
//              offsets from the node start
//      class 4 field: operator 13, running field number (1, 2 ... in
//              emission order), literal offset of the zero-terminated name
//      class 5 constant: operator 14, engine type code, size, literal offset
//   then the literal pool: names and constants packed without padding, at
//   most 1000 bytes (a filter that needs more is refused).
// Node 0 is the root; children always stand after their parent.
// Constant type codes: 1 zero-terminated text, 2 int32 day number, 4 int16
// logical, 5 int16, 6 int32, 7 double, 10 int32 milliseconds of the day,
// 11 double milliseconds (day number * 86400000 + time).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orbex32.h"

namespace framework {
class TTable;
}

namespace grid {

// The filter value types of the compiler (0: written as a field node).
enum FilterValueType : uint8_t {
  fvtNone = 0, fvtString = 1, fvtFloat = 2, fvtDateTime = 3, fvtDate = 4, fvtTime = 5,
  fvtBoolean = 6, fvtInteger = 7, fvtBCD = 8, fvtSmallint = 9,
};

inline constexpr size_t kFilterLiteralPoolBytes = 1000;
// Parentheses and "*"/"/" chains nest no deeper than this.
inline constexpr int kFilterMaxDepth = 100;

// The table the compiler looks its fields up in (set by ApplyFilter).
extern framework::TTable* CompileTable;

// The buffer for `text` over CompileTable; empty on a syntax error, an
// unknown field (after its message box) or literals beyond the pool. A
// constant its field's type cannot read raises framework::EConvertError.
std::vector<uint8_t> CompileFilter(const std::string& text);

// Installs `text` as the table's text filter (handle: the table's slot).
// On an inactive table without force: handle 0, true. An empty text drops
// the filter. The old filter stays installed until the new one is accepted,
// so a refused text leaves the table as it was. An active table is
// refreshed.
bool ApplyFilter(const std::string& text, framework::TTable& table, OrbFilter& handle, bool force);
// Deactivates and drops the filter in the slot; the slot becomes 0.
void DropEngineFilter(framework::TTable& table, OrbFilter& handle);
// Replaces the filter in the slot with one that calls `callback` for each
// record (client data: the table); a null callback only drops. Refreshes an
// active table.
bool InstallRecordFilter(OrbRecordFilterFn callback, framework::TTable& table, OrbFilter& handle);

}  // namespace grid
