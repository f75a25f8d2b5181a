#include "collation/collation_table.h"

#include <bit>

namespace slw {

namespace {
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
}  // namespace

CollationTable::CollationTable(uint8_t family) : family_(family) {
  highest_ = family == 1 ? 255 : 0xFFFF;
}

Status CollationTable::Parse(const uint8_t* body, std::size_t size) {
  if (body == nullptr || size < kCollationHeaderSize) return kLibRead;
  const uint8_t* h = body;
  CollationTable t(family_);
  t.builtIn_ = false;
  t.levels_ = U16(h + 2);
  if (t.levels_ > kMaxLevels) return kCategoryRead;
  for (int i = 0; i < kMaxLevels; ++i) t.attributes_[static_cast<std::size_t>(i)] = h[4 + i];
  t.lowest_ = U16(h + 28);
  t.highest_ = U16(h + 30);
  t.weights_ = h[32];
  t.chars_ = h[33];
  uint32_t contractionSize = U32(h + 34);
  t.recordSize_ = U16(h + 38);
  const bool narrow = family_ == 1;
  const std::size_t unit = narrow ? 1 : 2;
  if (t.levels_ == 0) {
    // No table: the collation belongs to the locale's extension library.
    t.lowest_ = 0;
    t.highest_ = narrow ? 255 : 0xFFFF;
    t.defaults_ = {0, 5, kCodeOrder};
    *this = std::move(t);
    return kOk;
  }
  std::size_t pos = kCollationHeaderSize;
  auto take = [&](std::size_t n, const uint8_t*& out) {
    if (n > size - pos) return false;
    out = body + pos;
    pos += n;
    return true;
  };
  const uint8_t* p = nullptr;
  if (narrow) {
    std::size_t n = std::size_t{t.levels_} * 256;
    if (!take(2 * n, p)) return kCategoryRead;
    t.entries_.resize(n);
    for (std::size_t i = 0; i < n; ++i) t.entries_[i] = U16(p + 2 * i);
  } else {
    const uint8_t* descriptors = nullptr;
    if (!take(34 * std::size_t{t.levels_}, descriptors)) return kCategoryRead;
    std::size_t total = 0;
    for (int l = 0; l < t.levels_; ++l) {
      const uint8_t* d = descriptors + 34 * l;
      int bits = 0;
      for (int i = 0; i < 32; ++i) bits += std::popcount(static_cast<unsigned>(d[2 + i]));
      if (bits != U16(d)) return kCategoryRead;
      total += static_cast<std::size_t>(bits);
    }
    if (!take(total * 512, p)) return kCategoryRead;
    t.entries_.assign((total + 1) * 256, 0);  // page 0: the shared zero page
    t.pageIndex_.assign(std::size_t{t.levels_} * 256, 0);
    uint32_t next = 1;
    for (int l = 0; l < t.levels_; ++l) {
      const uint8_t* d = descriptors + 34 * l;
      for (unsigned page = 0; page < 256; ++page) {
        if ((d[2 + page / 8] & (1u << (page % 8))) == 0) continue;
        for (unsigned i = 0; i < 256; ++i) t.entries_[next * 256 + i] = U16(p + (next - 1) * 512 + 2 * i);
        t.pageIndex_[static_cast<std::size_t>(l) * 256 + page] = next++;
      }
    }
  }
  if (contractionSize != 0) {
    if (!narrow && contractionSize > 0xFFFF) return kNoMemory;
    if (contractionSize > 0xFFFF) return kCategoryRead;
    std::size_t slots = 2 + unit * (t.chars_ + std::size_t{t.levels_} * t.weights_);
    if (t.recordSize_ == 0 || t.recordSize_ < slots || t.weights_ == 0) return kCategoryRead;
    if (!take(contractionSize, p)) return kCategoryRead;
    t.recordCount_ = contractionSize / t.recordSize_;
    t.contractions_.assign(p, p + t.recordCount_ * t.recordSize_);
    for (std::size_t r = 0; r < t.recordCount_; ++r) {
      const uint8_t* rec = t.Record(r);
      if (rec[0] > t.chars_ || rec[1] > t.weights_) return kCategoryRead;
      if (rec[0] > 1) t.longContraction_ = true;
    }
  }
  // Every contraction index must start a group that closes inside the table.
  std::vector<uint8_t> closes(t.recordCount_ + 1, 0);
  for (std::size_t r = t.recordCount_; r-- > 0;) closes[r] = t.Record(r)[0] == 0 || closes[r + 1];
  for (uint16_t e : t.entries_)
    if ((e & kContractionBit) != 0 && ((e & 0x7FFFu) >= t.recordCount_ || !closes[e & 0x7FFF])) return kCategoryRead;
  // Defaults: the weighted compare over every level; the fast path is
  // decided per locale (it depends on the defined characters).
  t.defaults_ = {t.levels_, 5, kWeighted};
  *this = std::move(t);
  return kOk;
}

bool CollationTable::FastPathFits(const std::vector<uint8_t>& defined) const {
  if (family_ != 1 || builtIn_ || levels_ == 0 || longContraction_) return false;
  for (int l = 0; l < levels_; ++l) {
    uint8_t a = attributes_[static_cast<std::size_t>(l)];
    if ((a & 0x21) != 0x21 || (a & (kBackwardLevel | kPositionLevel)) != 0) return false;
    for (unsigned c = 1; c < 256; ++c) {
      bool isDefined = c / 8 < defined.size() && (defined[c / 8] & (1u << (c % 8))) != 0;
      uint16_t e = entries_[static_cast<std::size_t>(l) * 256 + c];
      if (isDefined && (e == 0 || e >= 256)) return false;
    }
  }
  return true;
}

}  // namespace slw
