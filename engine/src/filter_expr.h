// Expression filters: the filter buffer a caller hands to EngineAddFilter,
// checked once and then evaluated against each record the cursor considers.
//
// The buffer (little-endian; the layout its compiler writes):
//   0 u16 version 1, 2 u16 total bytes, 4 u16 node count, 6 u16 node start
//   (10), 8 u16 literal start (10 + count * 14); nodes of 14 bytes (u32
//   class, u32 operator, three u16 operands), then the literal pool.
//   class 2: binary operator (3 = 4 <> 5 > 6 < 7 >= 8 <= 10 AND 11 OR
//            15 - 16 + 18 * 19 /), operands: left, right node offsets
//   class 4: field (operator 13), operand 2: pool offset of its name
//   class 5: constant (operator 14), operands: type code, size, pool offset
//            1 text (zero-terminated), 2 int32 day number, 4 int16 logical,
//            5 int16, 6 int32, 7 double, 10 int32 milliseconds of the day,
//            11 double milliseconds (day number * 86400000 + time)
// Node 0 is the root. A buffer is refused unless every child stands after
// its parent and belongs to one parent only (so the nodes form a tree and
// are evaluated in one pass from the last to the first), every offset and
// size stays inside the buffer, texts end inside the pool, and every field
// name is a non-memo field of the table.
//
// How values compare (dBASE has no rule of its own for these):
// - character fields drop their trailing blanks, and so do text constants;
//   texts compare in the dBASE order of the table's language driver (exact:
//   "=" is equality, not a leading part), or byte by byte when the driver
//   sorts in byte order;
// - numbers, dates (day numbers), logicals (1 or 0) compare as numbers; a
//   date-time constant counts as its day number with the time as fraction;
// - a blank field is "" or 0;
// - a text never equals a number: every comparison between the two is
//   false, as is any comparison with an undefined value (division by zero,
//   arithmetic on texts other than + between two texts).
// AND and OR take a comparison's result, a non-zero number or a non-empty
// text as true.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "key_order.h"
#include "orbex32.h"
#include "table.h"

namespace orb {

class FilterExpr {
 public:
  // The total size the header claims, 0 when the first bytes are no header
  // (the caller then knows how far it may read).
  static size_t ClaimedSize(const uint8_t* header4);
  // Checks `size` bytes of buffer against the table's fields; on success
  // *out holds the filter.
  static OrbResult Parse(const uint8_t* buffer, size_t size, const std::vector<FieldInfo>& fields,
                         std::unique_ptr<FilterExpr>* out, std::shared_ptr<const KeyOrder> order = nullptr);

  // True when the record (a whole record buffer of the table) passes.
  bool Matches(const uint8_t* record) const;

 private:
  struct Node {
    uint8_t kind = 0;       // 2 binary, 4 field, 5 constant
    uint32_t op = 0;
    uint16_t left = 0, right = 0;  // node indexes of a binary node
    const FieldInfo* field = nullptr;
    uint16_t constType = 0;
    std::string text;       // a text constant
    double number = 0;      // any other constant
  };
  std::vector<Node> nodes_;
  std::vector<FieldInfo> fields_;
  std::shared_ptr<const KeyOrder> order_;  // null: byte order
};

}  // namespace orb
