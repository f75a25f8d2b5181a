// Key expressions of index tags: compiled once against a table's fields and
// evaluated on raw record bytes, producing the fixed-length key the index
// stores.
//
// The language: field names (any letter case), UPPER(c), LEFT(c, n),
// STR(n [, len [, dec]]), DTOS(d) and "+" joining character values.
// A tag whose expression is one numeric (N, F) or date (D) field gets a
// numeric key (12-byte BCD) or a date key (8-byte double of the Julian day);
// every other expression gives a character key.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mdx/mdx_status.h"

namespace orb::mdx {

// One field of the table as the record bytes hold it.
struct FieldDesc {
  std::string name;      // dBASE field name; matched without regard to case
  char type = 'C';       // C, N, F, D, L or M
  uint32_t offset = 0;   // of the field's first byte in the record (the deletion flag is byte 0)
  uint16_t width = 0;    // bytes
  uint8_t decimals = 0;
};

enum class KeyType : char { kCharacter = 'C', kNumeric = 'N', kDate = 'D' };

constexpr uint16_t kMaxCharacterKey = 100;  // bytes
constexpr uint16_t kNumericKeyLength = 12;
constexpr uint16_t kDateKeyLength = 8;

// Windows-1252 upper case of one byte (as the ANSI upper-casing does).
uint8_t Upper1252(uint8_t c);

// Compares two keys of one type. Character keys compare as bytes over `length`
// (a shorter `length` compares a leading part); numeric and date keys by value.
int CompareKeys(KeyType type, const uint8_t* a, const uint8_t* b, size_t length);

// The 12-byte key of a number written as text ("-12.50", blanks = 0).
void MakeNumericKey(std::string_view text, uint8_t out[kNumericKeyLength]);
// The 8-byte key of a date written "YYYYMMDD" (blank or invalid = no date).
void MakeDateKey(std::string_view yyyymmdd, uint8_t out[kDateKeyLength]);
// Julian day number of a proleptic Gregorian date.
int64_t JulianDay(int year, int month, int day);

// dBASE's STR(): right-aligned in `len`, rounded half away from zero to
// `dec` decimals, fewer decimals when they do not fit, "*" in every
// position when the whole number does not fit. `number` is the field text.
std::string FormatStr(std::string_view number, int len, int dec);

class KeyExpression {
 public:
  // Compiles `text` against `fields` of records of `recordLength` bytes.
  static MdxStatus Compile(std::string_view text, std::span<const FieldDesc> fields,
                           uint32_t recordLength, KeyExpression& out);

  const std::string& text() const { return text_; }
  KeyType type() const { return type_; }
  uint16_t keyLength() const { return keyLength_; }
  // Index of the field when the expression is that one field alone, else -1.
  int plainField() const { return plainField_; }

  // Writes keyLength() bytes of the key of `record` (recordLength bytes).
  void Evaluate(const uint8_t* record, uint8_t* key) const;

  enum class ValueKind : uint8_t { kChar, kNumber, kDate };
  enum class Op : uint8_t { kField, kUpper, kLeft, kStr, kDtos, kConcat };
  struct Node {
    Op op = Op::kField;
    ValueKind kind = ValueKind::kChar;
    uint16_t length = 0;  // bytes of a character result
    int a = -1, b = -1;   // operand nodes
    int field = -1;
    int n1 = 0, n2 = 0;   // LEFT count; STR length and decimals
    uint32_t scratch = 0; // offset of this node's work area (LEFT)
  };

 private:
  friend class ExprParser;
  void EvalChar(int node, const uint8_t* record, uint8_t* out) const;

  std::string text_;
  KeyType type_ = KeyType::kCharacter;
  uint16_t keyLength_ = 0;
  int plainField_ = -1;
  int root_ = -1;
  std::vector<Node> nodes_;
  std::vector<FieldDesc> fields_;
  mutable std::vector<uint8_t> scratch_;
};

}  // namespace orb::mdx
