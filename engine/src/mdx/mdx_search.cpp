#include "mdx/mdx_internal.h"

namespace orb::mdx {

namespace {

// memcmp's order (<0, 0, >0), eight bytes at a time: keys share long
// leading parts, where a call per compare costs more than the compare.
int CompareBytes(const uint8_t* a, const uint8_t* b, size_t n) {
  for (; n >= 8; n -= 8, a += 8, b += 8) {
    uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    if (x != y) return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
  }
  for (; n > 0; --n, ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
  }
  return 0;
}

}  // namespace

// Character keys in the driver's order: a whole key exactly (trailing blanks
// alike), a leading part as dBASE compares one; byte order compares the
// leading bytes.
int MdxFile::CompareTo(const TagState& t, const uint8_t* key, const uint8_t* target, size_t targetLength) const {
  if (t.type != KeyType::kCharacter) return CompareKeys(t.type, key, target, t.keyLength);
  targetLength = std::min<size_t>(targetLength, t.keyLength);
  if (!collate_) {
    // Byte order: what CompareKeys answers, without the call.
    const int c = targetLength ? std::memcmp(key, target, targetLength) : 0;
    return (c > 0) - (c < 0);
  }
  return collate_->Compare(key, t.keyLength, target, targetLength, targetLength == t.keyLength);
}

int MdxFile::CompareKey(int tag, const uint8_t* key, const uint8_t* target, size_t targetLength) const {
  if (tag < 0 || tag >= TagCount()) return 0;
  return CompareTo(*tags_[tag], key, target, targetLength);
}

bool MdxFile::OrderStale() const {
  const OrderStamp now = options_.order ? options_.order->stamp() : OrderStamp{};
  if (orderStamp_ == now) return false;
  return std::any_of(tags_.begin(), tags_.end(), [](const auto& t) { return t->type == KeyType::kCharacter; });
}

int MdxFile::CompareEntry(const TagState& t, const uint8_t* key, uint32_t recno, const Target& target) const {
  int c = CompareTo(t, key, target.key, target.length);
  if (c == 0 && target.after) return -1;
  if (c != 0 || !target.withRecno) return c;
  return recno < target.recno ? -1 : (recno > target.recno ? 1 : 0);
}

uint32_t MdxFile::MaxRecno(const TagState& t, uint32_t page) {
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    const uint8_t* b = Block(page);
    uint32_t n = RawCount(t, b);
    if (RawLeaf(t, b, n)) return n == 0 ? 0 : Get32(b + 8 + size_t(n - 1) * t.itemLength);
    page = Get32(b + 8 + size_t(n) * t.itemLength);
  }
  Damaged("tag " + t.name + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
}

// Whether child i's keys reach the target: its separator is the largest key
// below it, so the first child whose separator is at or after the target
// holds the first entry at or after it.
bool MdxFile::ChildQualifies(const TagState& t, const uint8_t* blk, int i, const Target& target) {
  const uint8_t* item = blk + 8 + size_t(i) * t.itemLength;
  int c = CompareTo(t, item + 4, target.key, target.length);
  if (c == 0 && target.after) return false;
  if (c != 0) return c > 0;
  if (!target.withRecno) return true;
  return MaxRecno(t, Get32(item)) >= target.recno;
}

void MdxFile::Descend(const TagState& t, const Target& target, Path& path) {
  path.clear();
  uint32_t page = t.root;
  for (int depth = 0;; ++depth) {
    if (depth >= kMaxDepth) Damaged("tag " + t.name + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
    const uint8_t* b = Block(page);
    uint32_t n = RawCount(t, b);
    int lo = 0, hi = static_cast<int>(n);
    bool leaf = RawLeaf(t, b, n);
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      bool atOrAfter;
      if (leaf) {
        const uint8_t* item = b + 8 + size_t(mid) * t.itemLength;
        atOrAfter = CompareEntry(t, item + 4, Get32(item), target) >= 0;
      } else {
        // Looking below only adds blocks to the cache: a block's bytes stay
        // where they are (see BlockCache), so b stays valid.
        atOrAfter = ChildQualifies(t, b, mid, target);
      }
      if (atOrAfter)
        hi = mid;
      else
        lo = mid + 1;
    }
    path.push_back({page, lo});
    if (leaf) return;
    page = Get32(b + 8 + size_t(lo) * t.itemLength);
  }
}

// Descend to a target past every key equal to `key` (Target::after): at
// every level the first item whose key lies after it. An append takes this
// path, so the keys are compared in place, byte-order keys eight bytes at
// a time.
void MdxFile::DescendPast(const TagState& t, const uint8_t* key, Path& path) {
  path.clear();
  const bool bytes = t.type == KeyType::kCharacter && !collate_;
  const size_t length = t.keyLength;
  uint32_t page = t.root;
  for (int depth = 0;; ++depth) {
    if (depth >= kMaxDepth) Damaged("tag " + t.name + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
    const uint8_t* b = Block(page);
    const uint32_t n = RawCount(t, b);
    const uint8_t* keys = b + 12;  // item i's key at i x item length
    int lo = 0, hi = static_cast<int>(n);
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      const uint8_t* k = keys + size_t(mid) * t.itemLength;
      const bool after = bytes ? CompareBytes(k, key, length) > 0 : CompareTo(t, k, key, length) > 0;
      if (after)
        hi = mid;
      else
        lo = mid + 1;
    }
    path.push_back({page, lo});
    if (RawLeaf(t, b, n)) return;
    page = Get32(b + 8 + size_t(lo) * t.itemLength);
    // The search below probes lines of the block one after another: the
    // count's and those of its first two probes are asked for at once.
    if (const Cached* c = cache_.Find(page)) {
      for (size_t at = 0; at < blockSize_; at += 64) __builtin_prefetch(c->data() + at);
    }
  }
}

bool MdxFile::DescendEdge(const TagState& t, uint32_t page, bool last, Path& path) {
  for (;;) {
    if (path.size() >= kMaxDepth) Damaged("tag " + t.name + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
    const uint8_t* b = Block(page);
    uint32_t n = RawCount(t, b);
    if (RawLeaf(t, b, n)) {
      path.push_back({page, last ? static_cast<int>(n) - 1 : 0});
      return n > 0;
    }
    int i = last ? static_cast<int>(n) : 0;
    path.push_back({page, i});
    page = Get32(b + 8 + size_t(i) * t.itemLength);
  }
}

// Leaves the path on an entry: past the end of a leaf it moves to the next
// leaf's first entry. False at the end of the index.
bool MdxFile::Normalize(const TagState& t, Path& path) {
  size_t budget = size_t(pages_) * 2 + 64;
  while (!path.empty()) {
    const uint8_t* b = Block(path.back().page);
    uint32_t n = RawCount(t, b);
    if (path.back().index >= 0 && static_cast<uint32_t>(path.back().index) < n) return true;
    if (budget-- == 0) Damaged("tag " + t.name + ": walk does not end");
    // Up to the first ancestor with a child to the right, then down its left edge.
    path.pop_back();
    while (!path.empty()) {
      const uint8_t* pb = Block(path.back().page);
      uint32_t pn = RawCount(t, pb);
      if (static_cast<uint32_t>(path.back().index) < pn) {
        ++path.back().index;
        uint32_t child = Get32(pb + 8 + size_t(path.back().index) * t.itemLength);
        DescendEdge(t, child, false, path);
        break;
      }
      path.pop_back();
    }
  }
  return false;
}

bool MdxFile::SeekLower(const TagState& t, const Target& target, Path& path) {
  Descend(t, target, path);
  return Normalize(t, path);
}

bool MdxFile::StepNext(const TagState& t, Path& path) {
  if (path.empty()) return false;
  ++path.back().index;
  return Normalize(t, path);
}

bool MdxFile::StepPrior(const TagState& t, Path& path) {
  size_t budget = size_t(pages_) * 2 + 64;
  if (path.empty()) return false;
  if (path.back().index > 0) {
    --path.back().index;
    return true;
  }
  for (;;) {
    if (budget-- == 0) Damaged("tag " + t.name + ": walk does not end");
    path.pop_back();
    while (!path.empty() && path.back().index == 0) path.pop_back();
    if (path.empty()) return false;
    --path.back().index;
    const uint8_t* pb = Block(path.back().page);
    RawCount(t, pb);
    uint32_t child = Get32(pb + 8 + size_t(path.back().index) * t.itemLength);
    if (DescendEdge(t, child, true, path)) return true;
    // An empty leaf (another tool's file): keep going left.
  }
}

void MdxFile::ReadEntry(const TagState& t, const Path& path, Entry& out) {
  const uint8_t* b = Block(path.back().page);
  const uint8_t* item = b + 8 + size_t(path.back().index) * t.itemLength;
  out.recno = Get32(item);
  out.key.assign(item + 4, item + 4 + t.keyLength);
}

}  // namespace orb::mdx
