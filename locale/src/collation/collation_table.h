// Collation: the LC_COLLATE data of the three families (CollationTable and
// its loader), the weighted compare with its narrow fast path, sort keys, the
// dBASE-order and code-order compares, the collation settings, and the
// operations a locale binds for each collation mode.
//
// LC_COLLATE body, all integers little-endian:
//   header, 40 bytes: u16 (not read); u16 levels (0 to 8); u8[8] level
//     attributes (0x02 backward, 0x10 position, 0x01 with 0x20: the narrow
//     fast path may take the level); u16[8] (not read); i16 lowest and i16
//     highest character; u8 W weights per level of a contraction record; u8 C
//     characters of a record; u32 contraction table size in bytes; u16 record
//     size.
//   narrow: levels x 256 u16 entries. Wide and multi-byte: per level a plane
//     descriptor (u16 present pages, 32-byte page map), then per level its
//     present pages of 256 u16 entries in page order.
//   the contraction table: records of the record size: u8 sequence length k
//     (0 closes a group), u8 expansion count (0 read as 1), C character slots
//     (bytes narrow, u16 otherwise), then per level W weight slots (likewise).
// An entry is 0 (ignorable), bit 15 and a record index (the first record of
// the character's contraction group), or a weight.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "status.h"

namespace slw {

inline constexpr std::size_t kCollationHeaderSize = 40;
inline constexpr int kMaxLevels = 8;
inline constexpr uint8_t kBackwardLevel = 0x02;
inline constexpr uint8_t kPositionLevel = 0x10;
inline constexpr uint16_t kContractionBit = 0x8000;

// Compare flags.
inline constexpr uint16_t kTrimBlanks = 0x0002;
inline constexpr uint16_t kUndefinedPass = 0x0004;

// Collation modes.
enum CollationMode : uint16_t { kCodeOrder = 1, kWeighted = 2, kPlatform = 3, kWeightedFast = 4 };

struct CollationSettings {
  uint16_t levels = 1;
  uint16_t flags = 5;
  uint16_t mode = kCodeOrder;
};

class CollationTable {
 public:
  // The built-in POSIX data of a family: one level, code order.
  explicit CollationTable(uint8_t family = 1);

  // Reads a whole LC_COLLATE body; every count and index of the file is
  // checked so that no walk leaves the table. 0x0204 short header, 0x0404
  // malformed or short data, 0x0601 a wide contraction table over 0xFFFF
  // bytes. The table is unchanged on failure.
  Status Parse(const uint8_t* body, std::size_t size);

  uint8_t family() const { return family_; }
  bool builtIn() const { return builtIn_; }
  uint16_t levels() const { return levels_; }
  uint8_t attribute(int level) const { return attributes_[static_cast<std::size_t>(level)]; }
  uint16_t lowest() const { return lowest_; }
  uint16_t highest() const { return highest_; }
  const CollationSettings& defaults() const { return defaults_; }

  // The entry of a character code at a level.
  uint16_t Entry(int level, uint16_t code) const {
    if (family_ == 1) return entries_[static_cast<std::size_t>(level) * 256 + (code & 0xFF)];
    uint32_t page = pageIndex_[static_cast<std::size_t>(level) * 256 + (code >> 8)];
    return entries_[page * 256 + (code & 0xFF)];
  }
  const uint16_t* NarrowEntries(int level) const { return entries_.data() + static_cast<std::size_t>(level) * 256; }

  // Contraction records.
  std::size_t recordCount() const { return recordCount_; }
  const uint8_t* Record(std::size_t index) const { return contractions_.data() + index * recordSize_; }
  uint8_t charsPerRecord() const { return chars_; }
  uint8_t weightsPerLevel() const { return weights_; }
  // Slot j of a record's character sequence, and weight slot w of level L.
  uint16_t RecordChar(const uint8_t* record, std::size_t j) const {
    return family_ == 1 ? record[2 + j] : ReadSlot(record + 2 + 2 * j);
  }
  const uint8_t* RecordWeights(const uint8_t* record, int level) const {
    std::size_t unit = family_ == 1 ? 1 : 2;
    return record + 2 + unit * (chars_ + static_cast<std::size_t>(level) * weights_);
  }
  bool HasLongContraction() const { return longContraction_; }

  // Whether the narrow fast path gives the weighted compare's results for a
  // locale with this defined-character bitmap.
  bool FastPathFits(const std::vector<uint8_t>& defined) const;

  static uint16_t ReadSlot(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

 private:
  uint8_t family_;
  bool builtIn_ = true;
  uint16_t levels_ = 1;
  std::array<uint8_t, kMaxLevels> attributes_{};
  uint16_t lowest_ = 0, highest_ = 255;
  uint8_t weights_ = 0, chars_ = 0;
  uint16_t recordSize_ = 0;
  std::size_t recordCount_ = 0;
  bool longContraction_ = false;
  CollationSettings defaults_{1, 5, kCodeOrder};
  // Narrow: levels x 256 entries. Wide and multi-byte: pages of 256 entries,
  // page 0 the shared page of zeros, and per level 256 page numbers.
  std::vector<uint16_t> entries_;
  std::vector<uint32_t> pageIndex_;
  std::vector<uint8_t> contractions_;
};

}  // namespace slw
