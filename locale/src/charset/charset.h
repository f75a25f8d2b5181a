// locale/src/charset: character sets, conversions between them and the
// language-driver and Windows-locale-id tables.
//   charset.*            character-set tables and the three set classes
//   definitions.*        the conversion definitions (how a missing character goes)
//   conversion.*         open conversions, their code maps and the converters
//   language_drivers.cpp language-driver ids and Windows language ids
//
// Character-set table, all integers little-endian:
//   head, 44 bytes: name (32, zero-padded); four bytes (1, 1, 1, 0 in the
//     built-in tables); u16 LocaleFamily at 36; u16 class at 38 (1 DOS, 2
//     Windows, 19 US-ASCII); u16 1 at 40; u16 at 42: 0 single-byte, else
//     double-byte.
//   single-byte: 256 u16 Unicode values of the codes 0 to 255 (0: not defined).
//   double-byte: 256 u16 page indexes, one per high byte (0: no page), each
//     the position, in u16 units from the table's start, of that page's 256
//     u16 Unicode values; the one-byte codes live in page 0, and the bytes
//     with a page of their own are the lead bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"

namespace slw {

struct Client;

inline constexpr Status kConvInvalid = SL_STATUS_CONV_INVALID;
inline constexpr Status kConvHandle = SL_STATUS_CONV_HANDLE;
inline constexpr Status kConvOutput = SL_STATUS_CONV_OUTPUT;
inline constexpr Status kConvStopped = SL_STATUS_CONV_STOPPED;
inline constexpr Status kConvNotSingleByte = SL_STATUS_CONV_NOT_SBCS;
inline constexpr Status kConvSubstituted = SL_STATUS_CONV_SUBSTITUTED;
inline constexpr Status kResourceNotFound = SL_STATUS_RESOURCE_NOT_FOUND;
inline constexpr Status kResourceLoad = SL_STATUS_RESOURCE_LOAD;
inline constexpr Status kNoLangid = SL_STATUS_NO_LANGID;

inline constexpr std::size_t kCharsetHeadSize = 44;
inline constexpr std::size_t kCharsetPageBytes = 512;

// Kinds of a set (its table of operations).
enum SetKind : uint16_t { kSingleByteSet = 1, kUnicodeSet = 2, kDoubleByteSet = 3 };

// A map of 256 rows of 256 entries; a row is allocated on its first write
// and filled with the default entry; reading an absent row allocates nothing.
template <typename T>
class TwoLevelMap {
 public:
  explicit TwoLevelMap(T defaultEntry = T{}) : default_(defaultEntry) {}
  const T& Get(uint16_t code) const {
    const std::unique_ptr<T[]>& row = rows_[code >> 8];
    return row ? row[code & 0xFF] : default_;
  }
  // False (and the whole map marked invalid) when a row cannot be allocated.
  bool Set(uint16_t code, const T& value) {
    std::unique_ptr<T[]>& row = rows_[code >> 8];
    if (!row) {
      row.reset(new (std::nothrow) T[256]);
      if (!row) {
        valid_ = false;
        return false;
      }
      for (int i = 0; i < 256; ++i) row[i] = default_;
    }
    row[code & 0xFF] = value;
    return true;
  }
  bool valid() const { return valid_; }
  // The row of high byte 0, null when never written (the fast path of
  // single-byte sources).
  const T* Row(uint8_t high) const { return rows_[high].get(); }

 private:
  T default_;
  std::unique_ptr<T[]> rows_[256];
  bool valid_ = true;
};

// True when a table is whole: the head, 256 values or page indexes, and
// every page index pointing at a whole page after the index array.
bool ValidCharsetTable(const uint8_t* bytes, std::size_t size);

class CharacterSet {
 public:
  CharacterSet(std::string name, std::vector<uint8_t> table) : name_(std::move(name)), table_(std::move(table)) {}
  virtual ~CharacterSet() = default;

  const std::string& name() const { return name_; }
  const std::vector<uint8_t>& table() const { return table_; }
  virtual bool Loaded() const { return !table_.empty(); }
  virtual SetKind Kind() const = 0;
  bool SingleByte() const { return Kind() == kSingleByteSet; }

  virtual uint16_t ToUnicode(uint16_t code) const = 0;
  // The set's code of a Unicode character (0: none). The reverse map is built
  // on first use; false from ReverseValid when that failed.
  virtual uint16_t FromUnicode(uint16_t unicode);
  bool ReverseValid() const { return reverse_.valid(); }

  // Reads one code at `in`: 0 at a terminator. `length` receives its bytes.
  virtual uint16_t Read(const uint8_t* in, std::size_t& length) const = 0;
  // Writes a code when all its bytes fit `room`; false otherwise.
  virtual bool Write(uint16_t code, uint8_t* out, std::size_t room, std::size_t& written) const = 0;
  // Writes the escape form of a source code; false when it does not fit.
  virtual bool WriteEscape(uint16_t code, uint8_t* out, std::size_t room, std::size_t& written) const {
    written = 0;
    return true;
  }

 protected:
  virtual void BuildReverse() = 0;
  std::string name_;
  std::vector<uint8_t> table_;
  TwoLevelMap<uint16_t> reverse_;
  bool reverseBuilt_ = false;
};

// Opens a set by name: "Unicode" and "WIN1200" are Unicode; other names take
// the built-in table of that name, else the first library file of the
// client's list that holds one. Null when no valid table was found.
std::unique_ptr<CharacterSet> OpenCharacterSet(std::string_view name, Client* client);
// A set over a table already in memory (the tests and fuzzing); null when
// the table is not valid.
std::unique_ptr<CharacterSet> CharacterSetFromTable(std::string name, std::vector<uint8_t> table);

// The built-in table of a name, null when none.
const struct BuiltinTable* FindBuiltinTable(std::string_view name);

// "WIN" 2, "DOS" 1, "Unicode" 14, "MAC" 11, else 13.
uint16_t CharsetClassOfName(std::string_view name);

}  // namespace slw
