// The category classes of the three families and the data they hold.
//
// Every category record is the 70-byte head and a body in the layout of its
// kind and family; texts of the narrow family are bytes, of the wide family
// 16-bit units, and the multi-byte family stores byte strings in the wide
// family's field widths. In memory every text is held as a string of code
// units (char16_t), whatever the family: a narrow or multi-byte unit is one
// byte.
//
// Body layouts (byte counts; "n/w" = narrow/wide and multi-byte widths):
//   LC_CTYPE    32 class names of 16 bytes; class table (narrow 256 x u32,
//               wide a plane); u16 n and n x 13 bytes; u16 t (at most 8)
//               translations: t headers of 530 bytes (name 16, u16 count of
//               multi-character entries, 256 u16 first-entry indexes, 0xFFFF
//               none), then per translation its table (narrow 256 x u16, wide
//               a plane of 512-byte pages) and its multi-character entries
//               (narrow 18 bytes: length, 8 bytes, length, 8 bytes; wide 34
//               bytes: u16 length, 8 units, u16 length, 8 units).
//   plane       u16 count of present pages (below 63, and equal to the bits
//               set), a 32-byte map of present pages, the present pages.
//   LC_TIME     7 + 7 day names (16/32 bytes n, 32/64 w), 12 + 12 month
//               names, AM and PM (16 n, 32 w), nine formats (32 n, 64 w), a
//               byte (era years from 1 January), u16 era table length, u16
//               alternative-digit length, the era table, the digits.
//               Era record: u16 year, month, day, u16 year, month, day, name
//               and format (16 n, 32 w each); 40 bytes n, 72 w.
//   LC_NUMERIC  decimal point 2/4, thousands separator 2/4, grouping 10
//               (bytes), exponent marker 5/10, list separator 5/10.
//   LC_MONETARY international symbol 5/10, symbol 5/10, decimal point 2/4,
//               thousands separator 2/4, grouping 10, positive sign 5/10,
//               negative sign 5/10, eight bytes.
//   LC_MESSAGES yes 5/10, no 5/10, third string 32/64.
//   soundex     narrow 256 bytes; wide a plane of 256-byte pages.
//   userdef     not interpreted.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "collation/collation_table.h"
#include "locale_object.h"

namespace slw {

using Text = std::u16string;

// A table of 65536 entries kept as 256 pages; an absent page reads as zeros.
template <typename T>
struct PagedTable {
  std::array<int16_t, 256> page{};  // index into pages, -1 absent
  std::vector<std::array<T, 256>> pages;
  PagedTable() { page.fill(-1); }
  T At(uint16_t code) const {
    int16_t p = page[code >> 8];
    return p < 0 ? T{} : pages[static_cast<std::size_t>(p)][code & 0xFF];
  }
};

struct MultiCharEntry {
  Text source;
  Text target;
};

struct Translation {
  std::string name;
  PagedTable<uint16_t> table;   // narrow: page 0 only
  std::array<uint16_t, 256> first{};
  std::vector<MultiCharEntry> entries;
};

struct Era {
  int16_t startYear = 0;
  uint8_t startMonth = 0, startDay = 0;
  int16_t endYear = 0;
  uint8_t endMonth = 0, endDay = 0;
  Text name;
  Text format;
};

// Fields of a loaded LC_TIME in item order: 7 + 7 day names, 12 + 12 month
// names, AM, PM, then the nine formats.
inline constexpr int kTimeTexts = 7 + 7 + 12 + 12 + 2 + 9;

class CategoryBase : public Category {
 public:
  CategoryBase(int slot, uint8_t family) : Category(slot, family) {}
  // Parses a body (the record after its head); the category's data change
  // only when the whole body is valid.
  virtual Status Parse(const uint8_t* body, std::size_t size) = 0;
  Status Load(const uint8_t* record, std::size_t size) override;
  // Filled from the platform's locale information (src/platform).
  Status FillFromPlatform(uint32_t lcid) override;
  bool wide() const { return family_ == SL_FAMILY_WIDE; }
  // Bytes of a text field of `narrowWidth` narrow bytes in this family.
  std::size_t Width(std::size_t narrowWidth) const { return family_ == SL_FAMILY_NARROW ? narrowWidth : 2 * narrowWidth; }
  // Reads a text field of `bytes` bytes in this family's unit size.
  Text ReadText(const uint8_t* p, std::size_t bytes) const;
};

class CollateCategory : public CategoryBase {
 public:
  CollateCategory(int slot, uint8_t family) : CategoryBase(slot, family), table(family) { data_ = Data::kCollate; }
  Status Parse(const uint8_t* body, std::size_t size) override;
  CollationTable table;  // the built-in POSIX data until loaded
};

class CtypeCategory : public CategoryBase {
 public:
  CtypeCategory(int slot, uint8_t family);
  Status Parse(const uint8_t* body, std::size_t size) override;
  uint32_t ClassOf(uint16_t code) const;
  // The translation `index` of a code; a missing translation, or an entry of
  // 0 for a code other than 0, maps the code unchanged.
  uint16_t Translate(int index, uint16_t code) const;
  int upperIndex() const { return upper_; }
  int lowerIndex() const { return lower_; }
  const std::vector<Translation>& translationTables() const { return tables_; }
  // Tables of the platform fill: classes, and "toupper" (0) and "tolower" (1).
  void SetPlatformTables(PagedTable<uint32_t> classes, std::vector<Translation> tables);

 private:
  bool posix_ = true;
  PagedTable<uint32_t> classTable_;
  std::vector<Translation> tables_;
  int upper_ = 0, lower_ = 1;
};

class TimeCategory : public CategoryBase {
 public:
  TimeCategory(int slot, uint8_t family);
  Status Parse(const uint8_t* body, std::size_t size) override;
  std::array<Text, kTimeTexts> texts;
  uint8_t fromFirstJanuary = 0;
  std::vector<Era> eras;
  std::vector<Text> altDigits;
};

class NumericCategory : public CategoryBase {
 public:
  NumericCategory(int slot, uint8_t family);
  Status Parse(const uint8_t* body, std::size_t size) override;
  Text decimalPoint, thousands, exponent, list;
  std::string grouping;
};

class MonetaryCategory : public CategoryBase {
 public:
  MonetaryCategory(int slot, uint8_t family);
  Status Parse(const uint8_t* body, std::size_t size) override;
  // The sign position the formatter uses for an amount: parentheses (0) only
  // for a negative amount; a non-negative one whose position is unset or 0
  // gets its sign before the value and symbol (1).
  uint8_t SignPosition(bool negative) const;
  Text intlSymbol, symbol, decimalPoint, thousands, positiveSign, negativeSign;
  std::string grouping;
  // International and local fractional digits, symbol precedes and space for
  // a positive and a negative value, sign position positive and negative.
  std::array<uint8_t, 8> values{};
};

class MessagesCategory : public CategoryBase {
 public:
  MessagesCategory(int slot, uint8_t family);
  Status Parse(const uint8_t* body, std::size_t size) override;
  Text yes, no, third;
};

class SoundexCategory : public CategoryBase {
 public:
  SoundexCategory(int slot, uint8_t family) : CategoryBase(slot, family) { data_ = Data::kSoundex; }
  Status Parse(const uint8_t* body, std::size_t size) override;
  uint8_t CodeOf(uint16_t code) const { return table_.At(family_ == SL_FAMILY_NARROW ? code & 0xFF : code); }

 private:
  PagedTable<uint8_t> table_;
};

class UserdefCategory : public CategoryBase {
 public:
  UserdefCategory(int slot, uint8_t family) : CategoryBase(slot, family) {}
  Status Parse(const uint8_t*, std::size_t) override { return kOk; }
};

// The classes by family; each differs only in its family byte.
template <class Kind, uint8_t F, int Slot>
class FamilyCategory : public Kind {
 public:
  FamilyCategory() : Kind(Slot, F) {}
};
using NarrowCollate = FamilyCategory<CollateCategory, SL_FAMILY_NARROW, 0>;
using NarrowCtype = FamilyCategory<CtypeCategory, SL_FAMILY_NARROW, 1>;
using NarrowTime = FamilyCategory<TimeCategory, SL_FAMILY_NARROW, 2>;
using NarrowMonetary = FamilyCategory<MonetaryCategory, SL_FAMILY_NARROW, 3>;
using NarrowNumeric = FamilyCategory<NumericCategory, SL_FAMILY_NARROW, 4>;
using NarrowMessages = FamilyCategory<MessagesCategory, SL_FAMILY_NARROW, 5>;
using NarrowSoundex = FamilyCategory<SoundexCategory, SL_FAMILY_NARROW, 6>;
using NarrowUserdef = FamilyCategory<UserdefCategory, SL_FAMILY_NARROW, 7>;
using WideCollate = FamilyCategory<CollateCategory, SL_FAMILY_WIDE, 0>;
using WideCtype = FamilyCategory<CtypeCategory, SL_FAMILY_WIDE, 1>;
using WideTime = FamilyCategory<TimeCategory, SL_FAMILY_WIDE, 2>;
using WideMonetary = FamilyCategory<MonetaryCategory, SL_FAMILY_WIDE, 3>;
using WideNumeric = FamilyCategory<NumericCategory, SL_FAMILY_WIDE, 4>;
using WideMessages = FamilyCategory<MessagesCategory, SL_FAMILY_WIDE, 5>;
using WideSoundex = FamilyCategory<SoundexCategory, SL_FAMILY_WIDE, 6>;
using WideUserdef = FamilyCategory<UserdefCategory, SL_FAMILY_WIDE, 7>;
using MultiCollate = FamilyCategory<CollateCategory, SL_FAMILY_MULTI, 0>;
using MultiCtype = FamilyCategory<CtypeCategory, SL_FAMILY_MULTI, 1>;
using MultiTime = FamilyCategory<TimeCategory, SL_FAMILY_MULTI, 2>;
using MultiMonetary = FamilyCategory<MonetaryCategory, SL_FAMILY_MULTI, 3>;
using MultiNumeric = FamilyCategory<NumericCategory, SL_FAMILY_MULTI, 4>;
using MultiMessages = FamilyCategory<MessagesCategory, SL_FAMILY_MULTI, 5>;
using MultiSoundex = FamilyCategory<SoundexCategory, SL_FAMILY_MULTI, 6>;
using MultiUserdef = FamilyCategory<UserdefCategory, SL_FAMILY_MULTI, 7>;

// A new category object of a kind and family with the built-in defaults;
// null for another slot or family, or out of memory.
Category* NewCategoryObject(int slot, uint8_t family);

// The data of a locale's categories (null when the slot holds none).
const CollateCategory* CollateOf(const CLocale& l);
const CtypeCategory* CtypeOf(const CLocale& l);
const TimeCategory* TimeOf(const CLocale& l);
const NumericCategory* NumericOf(const CLocale& l);
const MonetaryCategory* MonetaryOf(const CLocale& l);
const MessagesCategory* MessagesOf(const CLocale& l);
const SoundexCategory* SoundexOf(const CLocale& l);

// The mask of the class at a position of the class names.
uint32_t ClassMaskOfPosition(std::size_t position);

}  // namespace slw
