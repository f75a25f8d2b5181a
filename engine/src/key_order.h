// The order of character keys and texts: the dBASE-order compare of the
// table's language driver (header byte 29), reached through SLW32, which is
// loaded at run time. Without SLW32, or for a driver SLW32 has no locale for,
// texts keep byte order.
//
// A locale handle of SLW32 belongs to the thread that opened it, and its
// compare switches the locale's settings for each call: so every thread
// opens its own handle for each driver it compares in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orb {

// What an index records about the order its character tags were built in:
// the driver and a CRC-32 of the locale's sort keys of the 255 one-character
// strings; byte order is 0 and 0.
struct OrderStamp {
  uint8_t ldid = 0;
  uint32_t crc = 0;
  bool operator==(const OrderStamp&) const = default;
};

// OrbTableInfo.keyOrder.
enum class KeyOrderKind : uint16_t {
  kDriver = 1,         // the driver's order
  kUnknownDriver = 2,  // byte order: SLW32 opens no locale for the driver
  kNoLibrary = 3,      // byte order: SLW32 could not be loaded
};

constexpr uint8_t kDefaultDriver = 0x57;  // what a 0 in byte 29 reads as

class KeyOrder {
 public:
  // The order of a table whose header byte 29 holds `languageDriver`;
  // one object per driver for the life of the process.
  static std::shared_ptr<const KeyOrder> ForDriver(uint8_t languageDriver);

  uint8_t ldid() const { return ldid_; }
  KeyOrderKind kind() const { return kind_; }
  bool collates() const { return kind_ == KeyOrderKind::kDriver; }
  OrderStamp stamp() const { return collates() ? OrderStamp{ldid_, crc_} : OrderStamp{}; }
  // Why the order is byte order, naming the driver ("" in the driver's order).
  std::string FallbackReason() const;

  // <0, 0, >0 as a sorts before, with, after b. An exact compare ignores
  // trailing blanks; one that is not also answers 0 when a begins with b.
  // Byte order compares bytes, trailing blanks cut.
  int Compare(const uint8_t* a, size_t na, const uint8_t* b, size_t nb, bool exact) const;
  // A sort key of the text whose bytes order (as memcmp, then length) as
  // the exact compare does, so a long sort compares keys made once (from
  // the weights when the order has them, else SLW32's own, which may
  // disagree with the compare where one text's weights at a level begin
  // another's). False in byte order or when SLW32 cannot make one.
  bool SortKey(const uint8_t* s, size_t n, std::string& out) const;
  // Shorter keys for long sorts: texts whose keys differ order as the keys
  // do; texts of equal keys are ordered by the exact compare. With weights,
  // only the first level's; without, the sort key. The keys of `count`
  // texts of `length` bytes each, laid one after another from `texts`, go
  // into `out` `width` bytes apart (the longest key's length), each padded
  // with zeros, so that they sort as fixed-length bytes. False as SortKey.
  bool LeadingKeys(const uint8_t* texts, size_t length, size_t count, std::vector<uint8_t>& out,
                   size_t& width) const;
  // Compare's answer asked of SLW32 itself, weights or not.
  int LibraryCompare(const uint8_t* a, size_t na, const uint8_t* b, size_t nb, bool exact) const;

  // Locale handles open on all threads together; a thread's handles are
  // closed when it ends.
  static int OpenThreadHandles();

  // SLW32's weights of every byte at every level, read from its sort keys
  // when the driver's order is first asked for. Used for exact compares
  // only when the weights, joined level by level, give SLW32's own sort key
  // of every text of one and two characters and agree with its compare on
  // a sample of longer texts: a locale whose order depends on neighbouring
  // characters (contractions, positions, levels read backwards) has none.
  struct Weights;
  // Whether exact compares are answered from the weights.
  bool HasWeights() const { return weights_ != nullptr; }

  KeyOrder(uint8_t ldid, KeyOrderKind kind, uint32_t crc, bool multiByte);
  ~KeyOrder();

 private:
  char* WriteWeightKey(const uint8_t* s, size_t n, int levels, char* p) const;
  void WeightKey(const uint8_t* s, size_t n, int levels, std::string& out) const;
  int CompareByWeights(const uint8_t* a, size_t na, const uint8_t* b, size_t nb) const;

  uint8_t ldid_;
  KeyOrderKind kind_;
  uint32_t crc_;
  bool multiByte_;
  std::array<bool, 256> leads_{};  // a multi-byte locale's lead bytes
  std::unique_ptr<const Weights> weights_;
};

}  // namespace orb
