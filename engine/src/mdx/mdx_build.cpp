#include "mdx/mdx_internal.h"

#include <memory>
#include <numeric>

namespace orb::mdx {

namespace {

// Runs of positions [first, second) in a sorted order whose keys are equal.
using Ties = std::vector<std::pair<size_t, size_t>>;

// Orders positions of fixed-length keys by their bytes, equal keys by
// position (record order). The keys are compared eight bytes at a time as
// big-endian integers held beside the position, so the sort touches the
// keys once per slice instead of once per compare; a run whose slice is
// the same everywhere (long equal prefixes, repeated keys) is passed on to
// the next slice without sorting, as it is already in position order.
// `ties`, when given, gets the runs of equal keys longer than one.
void SortByteKeys(const uint8_t* base, size_t len, std::vector<uint32_t>& order, Ties* ties = nullptr) {
  struct Item {
    uint64_t slice;
    uint32_t index;
    bool operator<(const Item& o) const { return slice != o.slice ? slice < o.slice : index < o.index; }
  };
  auto slice = [base, len](uint32_t index, size_t at) {
    uint8_t bytes[8] = {};  // past the key's end: zeros, the same in every key
    std::memcpy(bytes, base + size_t(index) * len + at, std::min<size_t>(8, len - at));
    uint64_t v = 0;
    for (uint8_t b : bytes) v = (v << 8) | b;
    return v;
  };
  const size_t n = order.size();
  // Uninitialized: every item is written before it is read, and memory
  // the process takes afresh is cleared once by the system already.
  std::unique_ptr<Item[]> items(new Item[n]);
  for (size_t i = 0; i < n; ++i) items[i].index = order[i];
  struct Run {
    size_t lo, hi, at;  // items [lo, hi) share bytes [0, at) and are in position order
  };
  // Least significant byte first, each pass stable: equal slices keep the
  // position order the run came in. A byte the same in every item costs
  // no pass.
  std::unique_ptr<Item[]> spare;
  auto RadixSort = [n, &spare](Item* a, size_t count) {
    if (!spare) spare.reset(new Item[n]);
    std::vector<std::array<size_t, 256>> counts(8);
    for (auto& c : counts) c.fill(0);
    for (size_t i = 0; i < count; ++i)
      for (int b = 0; b < 8; ++b) ++counts[b][(a[i].slice >> (8 * b)) & 0xFF];
    Item* from = a;
    Item* to = spare.get();
    for (int b = 0; b < 8; ++b) {
      auto& c = counts[b];
      if (c[(from[0].slice >> (8 * b)) & 0xFF] == count) continue;
      size_t sum = 0;
      for (size_t& v : c) {
        size_t k = v;
        v = sum;
        sum += k;
      }
      for (size_t i = 0; i < count; ++i) to[c[(from[i].slice >> (8 * b)) & 0xFF]++] = from[i];
      std::swap(from, to);
    }
    if (from != a) std::copy(from, from + count, a);
  };
  std::vector<Run> work;
  if (n > 1) work.push_back({0, n, 0});
  while (!work.empty()) {
    Run r = work.back();
    work.pop_back();
    for (; r.at < len; r.at += 8) {
      bool same = true;
      for (size_t i = r.lo; i < r.hi; ++i) {
        // The run's keys lie scattered over the whole buffer: fetched ahead.
        if (i + 16 < r.hi) __builtin_prefetch(base + size_t(items[i + 16].index) * len + r.at);
        items[i].slice = slice(items[i].index, r.at);
        same = same && items[i].slice == items[r.lo].slice;
      }
      if (same) continue;
      if (r.hi - r.lo < 64)
        std::sort(items.get() + r.lo, items.get() + r.hi);
      else
        RadixSort(items.get() + r.lo, r.hi - r.lo);
      const bool last = r.at + 8 >= len;
      if (!last || ties) {
        for (size_t i = r.lo; i < r.hi;) {
          size_t j = i + 1;
          while (j < r.hi && items[j].slice == items[i].slice) ++j;
          if (j - i > 1) {
            if (!last)
              work.push_back({i, j, r.at + 8});
            else
              ties->emplace_back(i, j);
          }
          i = j;
        }
      }
      break;
    }
    if (r.at >= len && ties) ties->emplace_back(r.lo, r.hi);  // the same to the end
  }
  for (size_t i = 0; i < n; ++i) order[i] = items[i].index;
}

// Sorts record indexes by their keys in `collate`'s order through keys made
// once per record (KeyOrder::LeadingKeys), so the sort is a byte sort;
// records of equal leading keys are ordered by the compare. SLW32's own
// sort keys may order a few texts otherwise than its compare: the result
// is then checked pair by pair against the compare. False when a key has
// no sort key or the two ever disagree: the compare must then decide alone.
bool SortByLeadingKeys(const KeyOrder& collate, const uint8_t* base, uint16_t len, std::vector<uint32_t>& order) {
  std::vector<uint8_t> leading;
  size_t width = 0;
  if (!collate.LeadingKeys(base, len, order.size(), leading, width)) return false;
  Ties ties;
  SortByteKeys(leading.data(), width, order, &ties);
  auto compare = [&collate, base, len](uint32_t x, uint32_t y) {
    // Keys of the same bytes compare equal.
    const uint8_t* a = base + size_t(x) * len;
    const uint8_t* b = base + size_t(y) * len;
    return std::memcmp(a, b, len) == 0 ? 0 : collate.Compare(a, len, b, len, true);
  };
  for (const auto& [lo, hi] : ties) {
    // Equal leading keys, in record order: most are of the same bytes too.
    const uint8_t* first = base + size_t(order[lo]) * len;
    size_t i = lo + 1;
    while (i < hi && std::memcmp(first, base + size_t(order[i]) * len, len) == 0) ++i;
    if (i < hi)
      std::stable_sort(order.begin() + lo, order.begin() + hi,
                       [&compare](uint32_t x, uint32_t y) { return compare(x, y) < 0; });
  }
  if (collate.HasWeights()) return true;  // keys made from the weights order as their compare
  for (size_t i = 1; i < order.size(); ++i) {
    // Only differing neighbours are asked.
    const int c = compare(order[i - 1], order[i]);
    if (c > 0 || (c == 0 && order[i - 1] > order[i])) return false;
  }
  return true;
}

}  // namespace

void MdxFile::CollectKeys(const TagState& t, RecordSource& records, std::unique_ptr<uint8_t[]>& keys,
                          std::vector<uint32_t>& order) {
  uint32_t n = records.RecordCount();
  keys.reset(new uint8_t[size_t(n) * t.keyLength]);  // each key written whole
  order.resize(n);
  for (uint32_t r = 1; r <= n;) {
    uint32_t got = 0;
    const uint8_t* run = records.Records(r, n - r + 1, &got);
    if (!run || got == 0) Fail(MdxCode::kIoError, "cannot read record " + std::to_string(r));
    for (uint32_t i = 0; i < got; ++i, ++r)
      t.expr.Evaluate(run + size_t(i) * recordLength_, keys.get() + size_t(r - 1) * t.keyLength);
  }
  std::iota(order.begin(), order.end(), 0u);
  const uint8_t* base = keys.get();
  const uint16_t len = t.keyLength;
  if (t.type == KeyType::kCharacter && collate_) {
    const KeyOrder* collate = collate_;
    auto compare = [base, len, collate](uint32_t a, uint32_t b) {
      return collate->Compare(base + size_t(a) * len, len, base + size_t(b) * len, len, true);
    };
    const bool byKeys = SortByLeadingKeys(*collate, base, len, order);
    if (!byKeys) {
      std::sort(order.begin(), order.end(), [&compare](uint32_t a, uint32_t b) {
        int c = compare(a, b);
        return c != 0 ? c < 0 : a < b;
      });
    }
  } else if (t.type == KeyType::kCharacter) {
    SortByteKeys(base, len, order);
  } else {
    KeyType type = t.type;
    std::sort(order.begin(), order.end(), [base, len, type](uint32_t a, uint32_t b) {
      int c = CompareKeys(type, base + size_t(a) * len, base + size_t(b) * len, len);
      return c != 0 ? c < 0 : a < b;
    });
  }
}

// Sorted keys are laid into full leaves, then each level of interior blocks
// is made from the one below until one block, the root, remains.
void MdxFile::BuildTree(TagState& t, RecordSource& records) {
  std::unique_ptr<uint8_t[]> keys;
  std::vector<uint32_t> order;
  CollectKeys(t, records, keys, order);
  const size_t n = order.size();
  const uint32_t perBlock = t.maxKeys;

  struct Child {
    uint32_t page;
    uint32_t maxIndex;  // into order: the child's largest key
  };
  std::vector<Child> level;
  auto newBlock = [&](uint32_t count, const uint32_t* ptrs, const uint32_t* keyIdx, bool interior,
                      uint32_t extra) -> uint32_t {
    uint32_t page = Allocate(t);
    uint8_t* b = MutableBlock(page);
    Put32(b, count);
    for (uint32_t i = 0; i < count; ++i) {
      uint8_t* item = b + 8 + size_t(i) * t.itemLength;
      Put32(item, ptrs[i]);
      std::memcpy(item + 4, keys.get() + size_t(keyIdx[i]) * t.keyLength, t.keyLength);
    }
    if (interior) Put32(b + 8 + size_t(count) * t.itemLength, extra);
    return page;
  };

  if (n == 0) {
    t.root = Allocate(t);
    return;
  }
  std::vector<uint32_t> ptrs(perBlock + 1), idx(perBlock + 1);
  for (size_t i = 0; i < n; i += perBlock) {
    uint32_t count = static_cast<uint32_t>(std::min<size_t>(perBlock, n - i));
    for (uint32_t j = 0; j < count; ++j) {
      idx[j] = order[i + j];
      ptrs[j] = order[i + j] + 1;
    }
    uint32_t page = newBlock(count, ptrs.data(), idx.data(), false, 0);
    level.push_back({page, order[i + count - 1]});
    if (dirty_.size() > 4096) {
      // The pages only: until this tree is whole the tag headers still
      // name the old root, which a rebuild has already cut off the file.
      const bool headerDirty = headerDirty_;
      headerDirty_ = false;
      Flush();
      headerDirty_ = headerDirty;
      cache_.Clear();
    }
  }
  while (level.size() > 1) {
    // Children are spread evenly so that no interior block is left thin.
    size_t fan = perBlock + 1;
    size_t blocks = (level.size() + fan - 1) / fan;
    size_t base = level.size() / blocks, extraCount = level.size() % blocks;
    std::vector<Child> up;
    size_t at = 0;
    for (size_t b = 0; b < blocks; ++b) {
      size_t take = base + (b < extraCount ? 1 : 0);
      uint32_t count = static_cast<uint32_t>(take - 1);
      for (uint32_t j = 0; j < count; ++j) {
        ptrs[j] = level[at + j].page;
        idx[j] = level[at + j].maxIndex;
      }
      const Child& lastChild = level[at + take - 1];
      uint32_t page = newBlock(count, ptrs.data(), idx.data(), true, lastChild.page);
      up.push_back({page, lastChild.maxIndex});
      at += take;
    }
    level.swap(up);
  }
  t.root = level[0].page;
}

void MdxFile::FreeTree(TagState& t, uint32_t page, int depth, size_t& budget) {
  if (depth >= kMaxDepth || budget == 0) return;
  --budget;
  try {
    const uint8_t* b = Block(page);
    uint32_t n = RawCount(t, b);
    if (!RawLeaf(t, b, n)) {
      std::vector<uint32_t> children(n + 1);
      for (uint32_t i = 0; i <= n; ++i) children[i] = Get32(b + 8 + size_t(i) * t.itemLength);
      for (uint32_t c : children) FreeTree(t, c, depth + 1, budget);
    }
  } catch (const Failure&) {
    return;  // a damaged subtree is left where it is, never followed
  }
  Free(t, page);
}

}  // namespace orb::mdx
