#include "mdx/mdx_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <cerrno>
#include <ctime>
#include <functional>
#include <new>
#include <numeric>

namespace orb::mdx {

namespace {

constexpr uint32_t kPageSize = 512;
constexpr uint32_t kHeaderPages = 4;        // header and tag table
constexpr uint32_t kTagTableOffset = 544;
constexpr uint32_t kTagEntryLength = 32;
constexpr int kMaxDepth = 24;
constexpr uint32_t kMaxPages = 0x7FFFFFFF / kPageSize * 8;  // keeps offsets in 64-bit range

struct Failure {
  MdxCode code;
  std::string message;
};

[[noreturn]] void Fail(MdxCode code, std::string message) { throw Failure{code, std::move(message)}; }
[[noreturn]] void Damaged(std::string message) { Fail(MdxCode::kCorrupt, std::move(message)); }

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string UpperName(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

bool ValidTagName(std::string_view n) {
  if (n.empty() || n.size() > kMaxTagName) return false;
  if (!std::isalpha(static_cast<unsigned char>(n[0]))) return false;
  return std::all_of(n.begin(), n.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

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
  std::vector<Item> items(n);
  for (size_t i = 0; i < n; ++i) items[i].index = order[i];
  struct Run {
    size_t lo, hi, at;  // items [lo, hi) share bytes [0, at) and are in position order
  };
  // Least significant byte first, each pass stable: equal slices keep the
  // position order the run came in. A byte the same in every item costs
  // no pass.
  std::vector<Item> spare;
  auto RadixSort = [](Item* a, size_t count, std::vector<Item>& tmp) {
    tmp.resize(std::max(tmp.size(), count));
    std::vector<std::array<size_t, 256>> counts(8);
    for (auto& c : counts) c.fill(0);
    for (size_t i = 0; i < count; ++i)
      for (int b = 0; b < 8; ++b) ++counts[b][(a[i].slice >> (8 * b)) & 0xFF];
    Item* from = a;
    Item* to = tmp.data();
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
        std::sort(items.begin() + r.lo, items.begin() + r.hi);
      else
        RadixSort(items.data() + r.lo, r.hi - r.lo, spare);
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

void PutDate(uint8_t* p, const Ymd& d) {
  p[0] = static_cast<uint8_t>(std::clamp(d.year - 1900, 0, 255));
  p[1] = static_cast<uint8_t>(d.month);
  p[2] = static_cast<uint8_t>(d.day);
}

}  // namespace

struct MdxFile::TagState {
  std::string name;
  uint32_t headerPage = 0;
  uint32_t root = 0;
  uint32_t sizePages = 0;
  uint8_t keyFormat = 0x10;
  KeyType type = KeyType::kCharacter;
  uint16_t keyLength = 0;
  uint16_t maxKeys = 0;     // keys per block
  uint16_t itemLength = 0;  // bytes of one pointer and key
  uint8_t serial = 0;
  uint32_t leftLink = 0, rightLink = 0;
  KeyExpression expr;
  uint64_t changes = 1;     // counted up on every change (cursors re-find their entry)
  uint8_t links[3] = {};
};

// A decoded tree block: a leaf holds count record numbers, an interior
// block count + 1 child pages.
struct MdxFile::Node {
  bool leaf = true;
  std::vector<uint32_t> ptr;
  std::vector<uint8_t> keys;  // count x key length
  uint32_t count(uint16_t keyLength) const { return static_cast<uint32_t>(keys.size() / keyLength); }
};

namespace {
// 4 MiB: past about 1,000 changed blocks a checkpoint costs a write for
// nearly every block; a larger set lets one write carry several changes.
size_t gHeldLimit = size_t(4) << 20;
}  // namespace

size_t HeldLimit() { return gHeldLimit; }
void SetHeldLimit(size_t bytes) { gHeldLimit = std::max<size_t>(bytes, 1); }

MdxFile::MdxFile() = default;
MdxFile::~MdxFile() = default;

// Runs f; a failure (or running out of memory) is answered as a status,
// after `undo` has dealt with what f left.
template <typename F, typename U>
MdxStatus MdxFile::Attempt(F&& f, U&& undo) {
  try {
    f();
    return MdxStatus::Ok();
  } catch (const Failure& e) {
    undo();
    return MdxStatus::Make(e.code, e.message);
  } catch (const std::bad_alloc&) {
    undo();
    return MdxStatus::Make(MdxCode::kIoError, "out of memory");
  }
}

template <typename F>
MdxStatus MdxFile::Guard(F&& f) {
  if (writeBack_ && Holding()) {
    // A change with the whole file in view starts from a file that holds
    // every change made before it.
    MdxStatus st = Checkpoint();
    if (!st.ok()) {
      stampPending_ = false;
      return st;
    }
  }
  return Attempt(
      [&] {
        TakeStamp();
        f();
        Flush();
      },
      [&] { Reload(); });
}

// A held change cannot be dropped by reading the file again, as Guard
// does: the file does not hold the changes before it. So what the change
// alters is noted first (UndoState), and put back when it fails.
template <typename F>
MdxStatus MdxFile::Change(F&& f) {
  if (!writeBack_) return Guard(std::forward<F>(f));
  MdxStatus st = Attempt(
      [&] {
        // Held blocks past the limit are written first: the change that
        // finds them reports a failure to write them, before it changes
        // anything.
        if (HeldBytes() >= HeldLimit()) Flush();
        TrimCache();
        undo_.pages = pages_;
        undo_.firstFree = firstFree_;
        undo_.blocksAvailable = blocksAvailable_;
        undo_.headerDirty = headerDirty_;
        undo_.stampDirty = stampDirty_;
        undo_.stamp = stamp_;
        undo_.dirtyCount = dirty_.size();
        undo_.saved.clear();
        undo_.tags.resize(tags_.size());
        for (size_t i = 0; i < tags_.size(); ++i) {
          const TagState& t = *tags_[i];
          undo_.tags[i] = {t.root, t.sizePages, t.serial, t.changes};
        }
      },
      [&] { stampPending_ = false; });
  if (!st.ok()) return st;
  ++changeCount_;
  undoing_ = true;
  return Attempt(
      [&] {
        TakeStamp();
        f();
        undoing_ = false;
      },
      [&] { Undo(); });
}

// Without write-back as Guard (a read flushes nothing; a failure reads the
// header again). Held changes are not in the file: a failure keeps them.
template <typename F>
MdxStatus MdxFile::Read(F&& f) {
  return Attempt(
      [&] {
        if (writeBack_) TrimCache();
        f();
        if (!writeBack_) Flush();
      },
      [&] {
        if (!writeBack_) Reload();
      });
}

// Puts back what a failed held change altered: blocks it changed get their
// old bytes (and their old clean mark), blocks it added go, the header and
// the tags take their old values. Earlier held changes stay as they were.
void MdxFile::Undo() {
  undoing_ = false;
  for (size_t i = undo_.dirtyCount; i < dirty_.size(); ++i) {
    Cached* c = cache_.Find(dirty_[i]);
    if (c == nullptr) continue;
    if (dirty_[i] >= undo_.pages) {
      cache_.Erase(dirty_[i]);
    } else {
      c->dirty = false;
    }
  }
  dirty_.resize(undo_.dirtyCount);
  for (size_t i = 0; i < undo_.saved.size(); ++i) {
    if (Cached* c = cache_.Find(undo_.saved[i]))
      std::memcpy(c->data(), undo_.savedBytes.data() + i * blockSize_, blockSize_);
  }
  undo_.saved.clear();
  pages_ = undo_.pages;
  firstFree_ = undo_.firstFree;
  blocksAvailable_ = undo_.blocksAvailable;
  headerDirty_ = undo_.headerDirty;
  stampDirty_ = undo_.stampDirty;
  stamp_ = undo_.stamp;
  for (size_t i = 0; i < tags_.size() && i < undo_.tags.size(); ++i) {
    TagState& t = *tags_[i];
    t.root = undo_.tags[i].root;
    t.sizePages = undo_.tags[i].sizePages;
    t.serial = undo_.tags[i].serial;
    t.changes = undo_.tags[i].changes + 1;  // cursors find their place again
  }
}

// Written back, the cache is all that is read, for as long as the open
// lasts: blocks only read are dropped when it holds four times the held
// limit. (Between operations nothing points into it.)
void MdxFile::TrimCache() {
  if (CachedBytes() > 4 * HeldLimit()) cache_.DropClean();
}

void MdxFile::TakeStamp() {
  if (!stampPending_) return;
  stamp_ = nextStamp_;
  stampDirty_ = true;
  stampPending_ = false;
}

// After a failed operation nothing of it is kept in memory: blocks not yet
// written are dropped and the header is read again, so the state matches
// the file (which a failed operation leaves as it was, short of a failing
// disk). When even that fails the tag definitions stay, so a regenerate can
// still rebuild the file.
void MdxFile::Reload() {
  cache_.Clear();
  dirty_.clear();
  headerDirty_ = false;
  stampDirty_ = false;
  stampPending_ = false;
  std::vector<std::unique_ptr<TagState>> old;
  old.swap(tags_);
  try {
    ReadHeader();
  } catch (...) {
    tags_.clear();
    old.swap(tags_);
  }
  for (size_t i = 0; i < tags_.size() && i < old.size(); ++i)
    if (old[i] && tags_[i] != old[i]) tags_[i]->changes = old[i]->changes + 1;
}

// Every change writes the date: the calendar is asked once a second.
Ymd MdxFile::Today() const {
  if (options_.today) return options_.today();
  std::time_t now = std::time(nullptr);
  if (now == todayAt_) return today_;
  std::tm tm{};
  localtime_r(&now, &tm);
  today_ = Ymd{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
  todayAt_ = now;
  return today_;
}

// ---------------------------------------------------------------- header

MdxStatus MdxFile::Create(std::unique_ptr<BlockFile> file, std::string_view tableName,
                          std::span<const FieldDesc> fields, uint32_t recordLength,
                          std::unique_ptr<MdxFile>& out, Options options) {
  out.reset();
  if (!file) return MdxStatus::Make(MdxCode::kIoError, "no file");
  std::unique_ptr<MdxFile> m(new MdxFile());
  m->file_ = std::move(file);
  m->options_ = std::move(options);
  if (m->options_.order && m->options_.order->collates()) m->collate_ = m->options_.order.get();
  m->orderStamp_ = m->options_.order ? m->options_.order->stamp() : OrderStamp{};
  m->fields_.assign(fields.begin(), fields.end());
  m->recordLength_ = recordLength;
  m->dataName_ = UpperName(tableName.substr(0, 16));
  PutDate(m->created_, m->Today());
  m->pages_ = kHeaderPages;
  MdxStatus st = m->Guard([&] {
    if (!m->file_->Truncate(0)) m->WriteFailed("cannot empty the index file");
    m->headerDirty_ = true;
  });
  if (st.ok()) out = std::move(m);
  return st;
}

MdxStatus MdxFile::Open(std::unique_ptr<BlockFile> file, std::span<const FieldDesc> fields,
                        uint32_t recordLength, std::unique_ptr<MdxFile>& out, Options options) {
  out.reset();
  if (!file) return MdxStatus::Make(MdxCode::kIoError, "no file");
  std::unique_ptr<MdxFile> m(new MdxFile());
  m->file_ = std::move(file);
  m->options_ = std::move(options);
  if (m->options_.order && m->options_.order->collates()) m->collate_ = m->options_.order.get();
  m->fields_.assign(fields.begin(), fields.end());
  m->recordLength_ = recordLength;
  try {
    m->ReadHeader();
  } catch (const Failure& e) {
    return MdxStatus::Make(e.code, e.message);
  } catch (const std::bad_alloc&) {
    return MdxStatus::Make(MdxCode::kCorrupt, "index header claims impossible sizes");
  }
  out = std::move(m);
  return MdxStatus::Ok();
}

void MdxFile::ReadHeader() {
  uint8_t h[kHeaderPages * kPageSize];
  uint64_t size = file_->Size();
  if (size < sizeof h) Damaged("index file shorter than its header");
  if (!file_->ReadAt(0, h, sizeof h)) Fail(MdxCode::kIoError, "cannot read the index header");
  if (h[0] != 2) Damaged("not a dBASE IV production index (version " + std::to_string(h[0]) + ")");
  std::memcpy(created_, h + 1, 3);
  dataName_.assign(reinterpret_cast<const char*>(h + 4), strnlen(reinterpret_cast<const char*>(h + 4), 16));
  blockFactor_ = Get16(h + 20);
  blockSize_ = Get16(h + 22);
  if (blockFactor_ < 1 || blockFactor_ > 32 || blockSize_ != blockFactor_ * kPageSize)
    Damaged("block size " + std::to_string(blockSize_) + " does not match " + std::to_string(blockFactor_) +
            " pages");
  tagEntries_ = h[25];
  if (h[26] != kTagEntryLength) Damaged("tag table entries are not 32 bytes");
  uint16_t inUse = Get16(h + 28);
  if (inUse > kMaxTags || inUse > tagEntries_) Damaged("tag count " + std::to_string(inUse) + " out of range");
  pages_ = Get32(h + 32);
  firstFree_ = Get32(h + 36);
  blocksAvailable_ = Get32(h + 40);
  if (pages_ < kHeaderPages || pages_ > kMaxPages) Damaged("page count out of range");
  if (uint64_t(pages_) * kPageSize > size) Damaged("index file shorter than its page count (torn write?)");
  filePages_ = pages_;
  stamp_ = Stamp{};
  if (h[48] == 'S' && h[49] == 'W' && h[50] == 1) stamp_ = Stamp{true, Get32(h + 52), Get32(h + 56)};
  orderStamp_ = h[60] == 'O' ? OrderStamp{h[61], Get32(h + 64)} : OrderStamp{};

  for (int i = 0; i < inUse; ++i) {
    const uint8_t* e = h + kTagTableOffset + kTagEntryLength * i;
    auto t = std::make_unique<TagState>();
    t->headerPage = Get32(e);
    t->name.assign(reinterpret_cast<const char*>(e + 4), strnlen(reinterpret_cast<const char*>(e + 4), 11));
    std::string label = "tag " + std::to_string(i + 1);
    if (!ValidTagName(t->name)) Damaged(label + ": invalid name");
    t->name = UpperName(t->name);
    label = "tag " + t->name;
    if (FindTag(t->name) >= 0) Damaged(label + ": name used twice");
    CheckPage(t->headerPage);
    std::vector<uint8_t> th(blockSize_);
    if (!file_->ReadAt(uint64_t(t->headerPage) * kPageSize, th.data(), blockSize_))
      Fail(MdxCode::kIoError, label + ": cannot read its header");
    t->root = Get32(th.data());
    t->sizePages = Get32(th.data() + 4);
    t->keyFormat = th[8];
    char type = static_cast<char>(th[9]);
    if (type != 'C' && type != 'N' && type != 'D') Damaged(label + ": unknown key type");
    t->type = static_cast<KeyType>(type);
    if (e[20] != 0 && e[20] != th[9]) Damaged(label + ": key type differs between tag table and header");
    t->keyLength = Get16(th.data() + 12);
    t->maxKeys = Get16(th.data() + 14);
    t->itemLength = Get16(th.data() + 18);
    t->serial = th[20];
    t->leftLink = Get32(th.data() + 248);
    t->rightLink = Get32(th.data() + 252);
    uint16_t wantLength = t->type == KeyType::kNumeric ? kNumericKeyLength
                          : t->type == KeyType::kDate  ? kDateKeyLength
                                                       : t->keyLength;
    if (t->keyLength == 0 || t->keyLength > kMaxCharacterKey || t->keyLength != wantLength)
      Damaged(label + ": key length out of range");
    if (t->itemLength != ((t->keyLength + 4 + 3) & ~3)) Damaged(label + ": item length does not fit the key");
    uint32_t fit = (blockSize_ - 12) / t->itemLength;
    if (t->maxKeys < 2 || t->maxKeys > fit) Damaged(label + ": keys per block out of range");
    const char* ex = reinterpret_cast<const char*>(th.data() + 24);
    size_t exLen = strnlen(ex, kMaxExpressionLength + 1);
    if (exLen > kMaxExpressionLength) Damaged(label + ": key expression not terminated");
    MdxStatus st = KeyExpression::Compile(std::string_view(ex, exLen), fields_, recordLength_, t->expr);
    if (!st.ok()) Fail(MdxCode::kMismatch, label + ": " + st.message);
    if (t->expr.type() != t->type || t->expr.keyLength() != t->keyLength)
      Fail(MdxCode::kMismatch, label + ": its expression no longer gives its key type and length");
    CheckPage(t->root);
    tags_.push_back(std::move(t));
  }
  // The tag tree is ours to write: files whose links were left 0 get them
  // with their next change.
  LinkTagTree();
  headerDirty_ = false;
}

void MdxFile::WriteHeader() {
  uint8_t h[kHeaderPages * kPageSize];
  HeaderBytes(h);
  if (!file_->WriteAt(0, h, sizeof h)) WriteFailed("cannot write the index header");
  headerDirty_ = false;
  stampDirty_ = false;
}

void MdxFile::HeaderBytes(uint8_t* h) {
  std::memset(h, 0, kHeaderPages * kPageSize);
  h[0] = 2;
  std::memcpy(h + 1, created_, 3);
  std::memcpy(h + 4, dataName_.data(), std::min<size_t>(dataName_.size(), 16));
  Put16(h + 20, blockFactor_);
  Put16(h + 22, blockSize_);
  h[24] = 1;
  h[25] = tagEntries_;
  h[26] = kTagEntryLength;
  Put16(h + 28, static_cast<uint32_t>(tags_.size()));
  h[31] = 0x1B;
  Put32(h + 32, pages_);
  Put32(h + 36, firstFree_);
  Put32(h + 40, blocksAvailable_);
  PutDate(h + 44, Today());
  if (stamp_.present) {
    h[48] = 'S';
    h[49] = 'W';
    h[50] = 1;
    Put32(h + 52, stamp_.counter);
    Put32(h + 56, stamp_.records);
  }
  if (orderStamp_ != OrderStamp{}) {
    h[60] = 'O';
    h[61] = orderStamp_.ldid;
    Put32(h + 64, orderStamp_.crc);
  }
  for (size_t i = 0; i < tags_.size(); ++i) {
    const TagState& t = *tags_[i];
    uint8_t* e = h + kTagTableOffset + kTagEntryLength * i;
    Put32(e, t.headerPage);
    std::memcpy(e + 4, t.name.data(), std::min<size_t>(t.name.size(), 11));
    e[15] = t.keyFormat;
    std::memcpy(e + 16, t.links, 3);
    e[19] = 0x02;
    e[20] = static_cast<uint8_t>(t.type);
  }
}

void MdxFile::WriteFailed(const std::string& what, int err) {
  if (err < 0) err = file_->LastError();
  // A change that had already rewritten pages of the file leaves it torn.
  // (Written back, every held block stays held and the next checkpoint
  // writes them all again; the stamp on the file lags until then.)
  if (inPlace_ && !writeBack_) torn_ = true;
  if (err == ENOSPC || err == EFBIG || err == EDQUOT) Fail(MdxCode::kDiskFull, what + ": the disk is full");
  Fail(MdxCode::kIoError, what);
}

void MdxFile::SetStamp(uint32_t counter, uint32_t records) {
  nextStamp_ = Stamp{true, counter, records};
  stampPending_ = true;
}

MdxStatus MdxFile::WriteStamp(uint32_t counter, uint32_t records) {
  SetStamp(counter, records);
  if (writeBack_) {
    // Held as the changes are; it changes no block.
    TakeStamp();
    return MdxStatus::Ok();
  }
  return Guard([] {});
}

void MdxFile::WriteTagHeader(const TagState& t) {
  std::vector<uint8_t> b(blockSize_);
  TagHeaderBytes(t, b.data());
  inPlace_ = true;
  if (!file_->WriteAt(uint64_t(t.headerPage) * kPageSize, b.data(), b.size()))
    WriteFailed("cannot write the header of tag " + t.name);
  cache_.Erase(t.headerPage);
}

void MdxFile::TagHeaderBytes(const TagState& t, uint8_t* out) {
  std::memset(out, 0, blockSize_);
  uint8_t* b = out;
  Put32(b, t.root);
  Put32(b + 4, t.sizePages);
  b[8] = t.keyFormat;
  b[9] = static_cast<uint8_t>(t.type);
  Put16(b + 12, t.keyLength);
  Put16(b + 14, t.maxKeys);
  Put16(b + 16, t.type == KeyType::kDate ? 1 : 0);
  Put16(b + 18, t.itemLength);
  b[20] = t.serial;
  b[23] = 0;
  std::memcpy(b + 24, t.expr.text().data(), std::min(t.expr.text().size(), kMaxExpressionLength));
  b[245] = 0;
  const uint8_t* root = Block(t.root);
  b[246] = RawCount(t, root) > 0 ? 1 : 0;
  Put32(b + 248, t.leftLink);
  Put32(b + 252, t.rightLink);
  b[480] = t.expr.plainField() >= 0 ? 1 : 0;
}

// Pages beyond the file's old end go first: a disk that fills up then
// fails the change before any page the file already holds is touched, and
// the file is cut back to its old length. The file header goes last.
void MdxFile::Flush() {
  if (Holding()) unsynced_ = true;
  std::sort(dirty_.begin(), dirty_.end());
  dirty_.erase(std::unique(dirty_.begin(), dirty_.end()), dirty_.end());
  inPlace_ = false;
  // Blocks that follow each other in the file go in one write (a build
  // writes thousands), gathered from the cache, up to 1 MiB a write.
  std::vector<const uint8_t*>& run = runBlocks_;
  auto write = [&](bool beyondEnd) {
    for (size_t i = 0; i < dirty_.size();) {
      const uint32_t page = dirty_[i];
      const Cached* c = cache_.Find(page);
      if ((page >= filePages_) != beyondEnd || c == nullptr) {
        ++i;
        continue;
      }
      size_t next = i + 1;
      bool written;
      // A failed write may have written part of its bytes: from its start,
      // a page the file held counts as rewritten.
      if (!beyondEnd) inPlace_ = true;
      if (next < dirty_.size() && dirty_[next] == page + blockFactor_) {
        run.assign(1, c->data());
        for (; next < dirty_.size() && run.size() * blockSize_ < (size_t(1) << 20); ++next) {
          const uint32_t p = dirty_[next];
          const Cached* at = cache_.Find(p);
          if (p != page + run.size() * blockFactor_ || (p >= filePages_) != beyondEnd || at == nullptr) break;
          run.push_back(at->data());
        }
        written = file_->WriteBlocks(uint64_t(page) * kPageSize, run.data(), run.size(), blockSize_);
      } else {
        written = file_->WriteAt(uint64_t(page) * kPageSize, c->data(), blockSize_);
      }
      if (!written) {
        const int err = file_->LastError();
        if (beyondEnd) file_->Truncate(uint64_t(filePages_) * kPageSize);
        WriteFailed("cannot write index page " + std::to_string(page), err);
      }
      i = next;
    }
  };
  write(true);
  write(false);
  for (uint32_t page : dirty_) {
    if (Cached* c = cache_.Find(page)) c->dirty = false;
  }
  dirty_.clear();
  if (headerDirty_) {
    // The header goes last; a tag header in the block right after it goes
    // with it in one write (the first tag's, in files we create).
    const TagState* joined = JoinedTag();
    for (auto& t : tags_) {
      if (t.get() != joined) WriteTagHeader(*t);
    }
    std::vector<uint8_t>& h = headBuffer_;
    h.resize(kHeaderPages * kPageSize + (joined != nullptr ? blockSize_ : 0));
    HeaderBytes(h.data());
    if (joined != nullptr) TagHeaderBytes(*joined, h.data() + kHeaderPages * kPageSize);
    inPlace_ = true;
    if (!file_->WriteAt(0, h.data(), h.size())) WriteFailed("cannot write the index header");
    if (joined != nullptr) cache_.Erase(joined->headerPage);
    headerDirty_ = false;
    stampDirty_ = false;
  } else if (stampDirty_) {
    // Only the stamp moved: its 12 bytes, not the whole header.
    uint8_t st[12] = {'S', 'W', 1, 0};
    Put32(st + 4, stamp_.counter);
    Put32(st + 8, stamp_.records);
    inPlace_ = true;
    if (!file_->WriteAt(48, st, sizeof st)) WriteFailed("cannot write the index header");
    stampDirty_ = false;
  }
  filePages_ = std::max(filePages_, pages_);
  inPlace_ = false;
}

const MdxFile::TagState* MdxFile::JoinedTag() const {
  for (const auto& t : tags_) {
    if (t->headerPage == kHeaderPages) return t.get();
  }
  return nullptr;
}

bool MdxFile::HeadsMatch() {
  if (torn_ || headerDirty_ || stampDirty_ || !dirty_.empty() || blockSize_ == 0) return false;
  try {
    const TagState* joined = JoinedTag();
    const size_t headLength = kHeaderPages * kPageSize + (joined != nullptr ? blockSize_ : 0);
    std::vector<uint8_t> want(headLength), got(headLength);
    HeaderBytes(want.data());
    if (joined != nullptr) TagHeaderBytes(*joined, want.data() + kHeaderPages * kPageSize);
    if (!file_->ReadAt(0, got.data(), got.size()) || got != want) return false;
    for (const auto& t : tags_) {
      if (t.get() == joined) continue;
      want.resize(blockSize_);
      got.resize(blockSize_);
      TagHeaderBytes(*t, want.data());
      if (!file_->ReadAt(uint64_t(t->headerPage) * kPageSize, got.data(), got.size()) || got != want) return false;
    }
    return true;
  } catch (const Failure&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void MdxFile::Refresh() {
  // Written back, nobody else writes the file, and it lacks what is held.
  if (writeBack_) return;
  if (!HeadsMatch()) Reload();
}

void MdxFile::SyncFile() {
  if (!file_->Sync()) WriteFailed("cannot flush the index file");
  unsynced_ = false;
}

MdxStatus MdxFile::Sync() {
  if (!writeBack_) return Guard([&] { SyncFile(); });
  if (!unsynced_) return MdxStatus::Ok();
  return Read([&] { SyncFile(); });
}

MdxStatus MdxFile::Checkpoint() {
  if (!writeBack_) return MdxStatus::Ok();  // each change was written and synced
  return Read([&] {
    if (Holding()) Flush();
    if (unsynced_) SyncFile();
  });
}

// ---------------------------------------------------------------- blocks

void MdxFile::CheckPage(uint32_t page) const {
  if (page < kHeaderPages || page >= pages_ || pages_ - page < blockFactor_)
    Damaged("page " + std::to_string(page) + " lies outside the index file");
}

void MdxFile::DropCached::operator()(Cached* c) const {
  c->~Cached();
  ::operator delete(c);
}

MdxFile::Cached& MdxFile::BlockCache::Slot(uint32_t page, size_t size) {
  const size_t at = page >> kTableBits;
  if (at >= tables_.size()) tables_.resize(at + 1);
  if (!tables_[at]) tables_[at] = std::make_unique<Table>();
  auto& slot = (*tables_[at])[page & kTableMask];
  if (!slot) {
    void* memory = ::operator new(sizeof(Cached) + size);
    Cached* c = new (memory) Cached;
    std::memset(c->data(), 0, size);
    slot.reset(c);
    ++count_;
  }
  return *slot;
}

void MdxFile::BlockCache::Erase(uint32_t page) {
  const size_t at = page >> kTableBits;
  if (at < tables_.size() && tables_[at] && (*tables_[at])[page & kTableMask]) {
    (*tables_[at])[page & kTableMask].reset();
    --count_;
  }
}

void MdxFile::BlockCache::Clear() {
  tables_.clear();
  count_ = 0;
}

void MdxFile::BlockCache::DropClean() {
  for (auto& table : tables_) {
    if (!table) continue;
    for (auto& slot : *table) {
      if (slot && !slot->dirty) {
        slot.reset();
        --count_;
      }
    }
  }
}

MdxFile::Cached& MdxFile::CacheEntry(uint32_t page) {
  if (Cached* c = cache_.Find(page)) return *c;
  CheckPage(page);
  Cached& c = cache_.Slot(page, blockSize_);
  if (!file_->ReadAt(uint64_t(page) * kPageSize, c.data(), blockSize_)) {
    cache_.Erase(page);
    Damaged("cannot read index page " + std::to_string(page));
  }
  return c;
}

const uint8_t* MdxFile::Block(uint32_t page) { return CacheEntry(page).data(); }

uint8_t* MdxFile::MutableBlock(uint32_t page) {
  // The cache holds its blocks writable: one look-up, not two.
  Cached& c = CacheEntry(page);
  if (undoing_ && c.saved != changeCount_ && page < undo_.pages) {
    // The block as the held change found it, once per change.
    const size_t at = undo_.saved.size() * blockSize_;
    if (undo_.savedBytes.size() < at + blockSize_) undo_.savedBytes.resize(at + blockSize_);
    std::memcpy(undo_.savedBytes.data() + at, c.data(), blockSize_);
    undo_.saved.push_back(page);
    c.saved = changeCount_;
  }
  if (!c.dirty) {
    dirty_.push_back(page);
    c.dirty = true;
  }
  return c.data();
}

uint32_t MdxFile::Allocate(TagState& t) {
  uint32_t page = 0;
  if (firstFree_ != 0) {
    try {
      const uint8_t* b = Block(firstFree_);
      page = firstFree_;
      uint32_t next = Get32(b + 4);
      firstFree_ = (next == 0 || next == page || next < kHeaderPages || next >= pages_) ? 0 : next;
      if (blocksAvailable_ > 0) --blocksAvailable_;
    } catch (const Failure&) {
      firstFree_ = 0;  // a damaged free chain is dropped, never followed
      blocksAvailable_ = 0;
      page = 0;
    }
  }
  if (page == 0) {
    if (pages_ > kMaxPages - blockFactor_) Fail(MdxCode::kIoError, "index file full");
    page = pages_;
    pages_ += blockFactor_;
    std::memset(cache_.Slot(page, blockSize_).data(), 0, blockSize_);
  }
  uint8_t* b = MutableBlock(page);
  std::memset(b, 0, blockSize_);
  t.sizePages += blockFactor_;
  headerDirty_ = true;
  return page;
}

void MdxFile::Free(TagState& t, uint32_t page) {
  uint8_t* b = MutableBlock(page);
  std::memset(b, 0, blockSize_);
  Put32(b + 4, firstFree_);
  firstFree_ = page;
  ++blocksAvailable_;
  if (t.sizePages >= blockFactor_) t.sizePages -= blockFactor_;
  headerDirty_ = true;
}

uint32_t MdxFile::RawCount(const TagState& t, const uint8_t* blk) const {
  uint32_t n = Get32(blk);
  if (n > t.maxKeys) Damaged("tag " + t.name + ": block holds " + std::to_string(n) + " keys");
  return n;
}

bool MdxFile::RawLeaf(const TagState& t, const uint8_t* blk, uint32_t count) const {
  return Get32(blk + 8 + size_t(count) * t.itemLength) == 0;
}

MdxFile::Node MdxFile::Load(const TagState& t, uint32_t page) {
  const uint8_t* b = Block(page);
  uint32_t n = RawCount(t, b);
  Node node;
  node.leaf = RawLeaf(t, b, n);
  node.keys.resize(size_t(n) * t.keyLength);
  node.ptr.resize(n + (node.leaf ? 0 : 1));
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t* item = b + 8 + size_t(i) * t.itemLength;
    node.ptr[i] = Get32(item);
    std::memcpy(node.keys.data() + size_t(i) * t.keyLength, item + 4, t.keyLength);
  }
  if (!node.leaf) node.ptr[n] = Get32(b + 8 + size_t(n) * t.itemLength);
  return node;
}

void MdxFile::Store(TagState& t, uint32_t page, const Node& n) {
  uint32_t count = n.count(t.keyLength);
  uint8_t* b = MutableBlock(page);
  std::memset(b, 0, blockSize_);
  Put32(b, count);
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* item = b + 8 + size_t(i) * t.itemLength;
    Put32(item, n.ptr[i]);
    std::memcpy(item + 4, n.keys.data() + size_t(i) * t.keyLength, t.keyLength);
  }
  if (!n.leaf) Put32(b + 8 + size_t(count) * t.itemLength, n.ptr[count]);
}

// ---------------------------------------------------------------- search

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

// ---------------------------------------------------------------- changes

void MdxFile::SetMaxUpward(TagState& t, const Path& path, int level, const uint8_t* key) {
  for (int j = level - 1; j >= 0; --j) {
    const uint8_t* b = Block(path[j].page);
    uint32_t n = RawCount(t, b);
    if (static_cast<uint32_t>(path[j].index) < n) {
      uint8_t* w = MutableBlock(path[j].page);
      std::memcpy(w + 8 + size_t(path[j].index) * t.itemLength + 4, key, t.keyLength);
      return;
    }
  }
}

// Where a new entry goes: the first entry at or after (key, recno). An
// append's record number is above every other, so the place after the
// equal keys is tried first: it costs no look below the separators equal
// to the key. It is the place when the entry before it, in the same leaf,
// lies before the new one (every child on the way then holds an entry
// before it, and none of the skipped children one after it); otherwise
// the descent by key and record number decides.
void MdxFile::DescendToInsert(const TagState& t, const uint8_t* key, uint32_t recno, Path& path) {
  DescendPast(t, key, path);
  const int at = path.back().index;
  if (at > 0) {
    const uint8_t* b = Block(path.back().page);
    const uint32_t n = RawCount(t, b);
    if (RawLeaf(t, b, n) && static_cast<uint32_t>(at) <= n) {
      const uint8_t* before = b + 8 + size_t(at - 1) * t.itemLength;
      if (CompareEntry(t, before + 4, Get32(before), Target{key, t.keyLength, recno, true}) < 0) return;
    }
  }
  Descend(t, Target{key, t.keyLength, recno, true}, path);
}

// A leaf with room takes the entry where it stands, its bytes as Store
// writes them (count, no free-chain link, items on zeros, zeros after).
// The leaf is marked written at once: a full one is rewritten by the split,
// and a failure drops every change.
bool MdxFile::InsertInLeaf(TagState& t, const Path& path, const uint8_t* key, uint32_t recno) {
  const uint32_t page = path.back().page;
  uint8_t* w = MutableBlock(page);
  const uint8_t* b = w;
  const uint32_t n = RawCount(t, b);
  if (!RawLeaf(t, b, n)) Damaged("tag " + t.name + ": search ended on an interior block");
  const uint32_t pos = static_cast<uint32_t>(path.back().index);
  if (pos > n) Damaged("tag " + t.name + ": search ended past a block's keys");
  if (pos < n) {
    const uint8_t* item = b + 8 + size_t(pos) * t.itemLength;
    if (Get32(item) == recno && CompareTo(t, item + 4, key, t.keyLength) == 0)
      Fail(MdxCode::kMismatch, "tag " + t.name + ": record " + std::to_string(recno) + " is already indexed");
  }
  if (n + 1 > t.maxKeys) return false;
  Put32(w, n + 1);
  Put32(w + 4, 0);
  uint8_t* at = w + 8 + size_t(pos) * t.itemLength;
  std::memmove(at + t.itemLength, at, size_t(n - pos) * t.itemLength);
  std::memset(at, 0, t.itemLength);
  Put32(at, recno);
  std::memcpy(at + 4, key, t.keyLength);
  const size_t used = 8 + size_t(n + 1) * t.itemLength;
  std::memset(w + used, 0, blockSize_ - used);
  const size_t pad = t.itemLength - 4 - t.keyLength;
  if (pad > 0) {
    for (uint32_t i = 0; i <= n; ++i) std::memset(w + 8 + size_t(i) * t.itemLength + 4 + t.keyLength, 0, pad);
  }
  if (pos == n) SetMaxUpward(t, path, static_cast<int>(path.size()) - 1, key);
  return true;
}

// A full leaf whose parent has room (or that is the root) splits in place:
// the bytes the general split below leaves, without decoding the blocks.
// The left block keeps the first half (all but the new entry when it goes
// last, as a run of appends fills blocks), the right one is allocated,
// and the parent takes the left block's largest key before the pointer
// that now leads to the right one. False, with nothing changed, when the
// parent is full.
bool MdxFile::SplitLeaf(TagState& t, const Path& path, const uint8_t* key, uint32_t recno) {
  const int level = static_cast<int>(path.size()) - 1;
  const uint32_t page = path[level].page;
  const uint32_t pos = static_cast<uint32_t>(path[level].index);
  const size_t item = t.itemLength;
  const uint8_t* b = Block(page);
  const uint32_t n = RawCount(t, b);
  if (!RawLeaf(t, b, n) || pos > n) Damaged("tag " + t.name + ": search ended on an interior block");
  uint32_t parentPage = 0, i = 0, pn = 0;
  if (level > 0) {
    parentPage = path[level - 1].page;
    const uint8_t* pb = Block(parentPage);
    pn = RawCount(t, pb);
    i = static_cast<uint32_t>(path[level - 1].index);
    if (RawLeaf(t, pb, pn) || i > pn) Damaged("tag " + t.name + ": tree changed under a split");
    if (pn + 1 > t.maxKeys) return false;
  }
  const uint32_t count = n + 1;
  const bool appended = pos == n;
  const uint32_t h = appended ? count - 1 : count / 2;
  const size_t pad = item - 4 - t.keyLength;
  // Entry j of the leaf with the new one in place, written as Store writes it.
  auto put = [&](uint8_t* to, uint32_t j) {
    if (j == pos) {
      Put32(to, recno);
      std::memcpy(to + 4, key, t.keyLength);
    } else {
      std::memcpy(to, b + 8 + size_t(j < pos ? j : j - 1) * item, 4 + t.keyLength);
    }
    if (pad > 0) std::memset(to + 4 + t.keyLength, 0, pad);
  };
  const uint32_t rightPage = Allocate(t);
  uint8_t* r = MutableBlock(rightPage);
  Put32(r, count - h);
  for (uint32_t j = h; j < count; ++j) put(r + 8 + size_t(j - h) * item, j);
  // The left block's largest key goes up; read before the block changes.
  uint8_t push[kMaxCharacterKey];
  static_assert(kMaxCharacterKey >= kNumericKeyLength && kMaxCharacterKey >= kDateKeyLength);
  if (h - 1 == pos) {
    std::memcpy(push, key, t.keyLength);
  } else {
    std::memcpy(push, b + 8 + size_t(h - 1 < pos ? h - 1 : h - 2) * item + 4, t.keyLength);
  }
  uint8_t* w = MutableBlock(page);
  if (pos < h) {
    std::memmove(w + 8 + size_t(pos + 1) * item, w + 8 + size_t(pos) * item, size_t(h - 1 - pos) * item);
    put(w + 8 + size_t(pos) * item, pos);
  }
  Put32(w, h);
  Put32(w + 4, 0);
  std::memset(w + 8 + size_t(h) * item, 0, blockSize_ - 8 - size_t(h) * item);
  if (pad > 0) {
    for (uint32_t j = 0; j < h; ++j) std::memset(w + 8 + size_t(j) * item + 4 + t.keyLength, 0, pad);
  }
  if (level == 0) {
    const uint32_t rootPage = Allocate(t);
    uint8_t* root = MutableBlock(rootPage);
    Put32(root, 1);
    Put32(root + 8, page);
    std::memcpy(root + 12, push, t.keyLength);
    Put32(root + 8 + item, rightPage);
    t.root = rootPage;
    return true;
  }
  uint8_t* pw = MutableBlock(parentPage);
  // Items i.. and the last pointer move up one: item i takes the left
  // block and its largest key; the pointer after it, the right block.
  std::memmove(pw + 8 + size_t(i + 1) * item, pw + 8 + size_t(i) * item, size_t(pn - i) * item + 4);
  Put32(pw + 8 + size_t(i) * item, page);
  std::memcpy(pw + 8 + size_t(i) * item + 4, push, t.keyLength);
  Put32(pw + 8 + size_t(i + 1) * item, rightPage);
  Put32(pw, pn + 1);
  Put32(pw + 4, 0);
  const size_t used = 8 + size_t(pn + 1) * item + 4;
  std::memset(pw + used, 0, blockSize_ - used);
  if (pad > 0) {
    for (uint32_t j = 0; j <= pn; ++j) std::memset(pw + 8 + size_t(j) * item + 4 + t.keyLength, 0, pad);
  }
  if (appended) {
    // The right block's largest key is the new one: its separator follows,
    // here or, when it is the parent's last child, above.
    if (i < pn) {
      std::memcpy(pw + 8 + size_t(i + 1) * item + 4, key, t.keyLength);
    } else {
      SetMaxUpward(t, path, level - 1, key);
    }
  }
  return true;
}

void MdxFile::InsertEntry(TagState& t, const uint8_t* key, uint32_t recno) {
  Path& path = scratchPath_;
  DescendToInsert(t, key, recno, path);
  if (InsertInLeaf(t, path, key, recno) || SplitLeaf(t, path, key, recno)) {
    headerDirty_ = true;
    ++t.changes;
    ++t.serial;
    return;
  }
  int level = static_cast<int>(path.size()) - 1;
  uint32_t page = path[level].page;
  Node cur = Load(t, page);
  if (!cur.leaf) Damaged("tag " + t.name + ": search ended on an interior block");
  uint32_t pos = static_cast<uint32_t>(path[level].index);
  uint32_t oldCount = cur.count(t.keyLength);
  if (pos < oldCount && cur.ptr[pos] == recno &&
      CompareTo(t, cur.keys.data() + size_t(pos) * t.keyLength, key, t.keyLength) == 0)
    Fail(MdxCode::kMismatch, "tag " + t.name + ": record " + std::to_string(recno) + " is already indexed");
  cur.ptr.insert(cur.ptr.begin() + pos, recno);
  cur.keys.insert(cur.keys.begin() + size_t(pos) * t.keyLength, key, key + t.keyLength);
  bool appended = pos == oldCount;
  bool maxChanged = appended;
  std::vector<uint8_t> newMax(key, key + t.keyLength);

  for (;;) {
    uint32_t count = cur.count(t.keyLength);
    if (count <= t.maxKeys) {
      Store(t, page, cur);
      if (maxChanged) SetMaxUpward(t, path, level, newMax.data());
      break;
    }
    // Split: at the right end of a run of appends the left block stays full,
    // so keys added in order fill blocks as a bulk build does.
    Node left, right;
    left.leaf = right.leaf = cur.leaf;
    std::vector<uint8_t> push(t.keyLength);
    uint32_t h;
    if (cur.leaf) {
      h = appended ? count - 1 : count / 2;
      left.ptr.assign(cur.ptr.begin(), cur.ptr.begin() + h);
      right.ptr.assign(cur.ptr.begin() + h, cur.ptr.end());
      left.keys.assign(cur.keys.begin(), cur.keys.begin() + size_t(h) * t.keyLength);
      right.keys.assign(cur.keys.begin() + size_t(h) * t.keyLength, cur.keys.end());
      std::memcpy(push.data(), left.keys.data() + size_t(h - 1) * t.keyLength, t.keyLength);
    } else {
      h = appended ? count - 1 : count / 2;
      left.ptr.assign(cur.ptr.begin(), cur.ptr.begin() + h + 1);
      right.ptr.assign(cur.ptr.begin() + h + 1, cur.ptr.end());
      left.keys.assign(cur.keys.begin(), cur.keys.begin() + size_t(h) * t.keyLength);
      right.keys.assign(cur.keys.begin() + size_t(h + 1) * t.keyLength, cur.keys.end());
      std::memcpy(push.data(), cur.keys.data() + size_t(h) * t.keyLength, t.keyLength);
    }
    uint32_t rightPage = Allocate(t);
    Store(t, page, left);
    Store(t, rightPage, right);
    if (level == 0) {
      Node root;
      root.leaf = false;
      root.ptr = {page, rightPage};
      root.keys = push;
      uint32_t rootPage = Allocate(t);
      Store(t, rootPage, root);
      t.root = rootPage;
      headerDirty_ = true;
      break;
    }
    --level;
    uint32_t i = static_cast<uint32_t>(path[level].index);
    page = path[level].page;
    cur = Load(t, page);
    if (cur.leaf || i > cur.count(t.keyLength)) Damaged("tag " + t.name + ": tree changed under a split");
    cur.keys.insert(cur.keys.begin() + size_t(i) * t.keyLength, push.begin(), push.end());
    cur.ptr.insert(cur.ptr.begin() + i + 1, rightPage);
    appended = appended && i + 1 == cur.count(t.keyLength);
    if (maxChanged && i + 1 < cur.count(t.keyLength)) {
      std::memcpy(cur.keys.data() + size_t(i + 1) * t.keyLength, newMax.data(), t.keyLength);
      maxChanged = false;
    }
  }
  headerDirty_ = true;
  ++t.changes;
  ++t.serial;
}

void MdxFile::DeleteEntry(TagState& t, const uint8_t* key, uint32_t recno) {
  Path path;
  Descend(t, Target{key, t.keyLength, recno, true}, path);
  int level = static_cast<int>(path.size()) - 1;
  uint32_t page = path[level].page;
  Node cur = Load(t, page);
  uint32_t pos = static_cast<uint32_t>(path[level].index);
  uint32_t count = cur.count(t.keyLength);
  if (!cur.leaf || pos >= count || cur.ptr[pos] != recno ||
      CompareTo(t, cur.keys.data() + size_t(pos) * t.keyLength, key, t.keyLength) != 0)
    Fail(MdxCode::kMismatch, "tag " + t.name + ": no key for record " + std::to_string(recno));
  cur.ptr.erase(cur.ptr.begin() + pos);
  cur.keys.erase(cur.keys.begin() + size_t(pos) * t.keyLength, cur.keys.begin() + size_t(pos + 1) * t.keyLength);
  --count;
  if (count > 0 || level == 0) {
    Store(t, page, cur);
    if (count > 0 && pos == count) SetMaxUpward(t, path, level, cur.keys.data() + size_t(count - 1) * t.keyLength);
  } else {
    // The leaf is empty: drop it from its parent, and parents left empty too.
    Free(t, page);
    for (;;) {
      --level;
      uint32_t i = static_cast<uint32_t>(path[level].index);
      page = path[level].page;
      Node parent = Load(t, page);
      uint32_t pn = parent.count(t.keyLength);
      if (parent.leaf || i > pn) Damaged("tag " + t.name + ": tree changed under a delete");
      std::vector<uint8_t> newMax;
      if (i < pn) {
        parent.keys.erase(parent.keys.begin() + size_t(i) * t.keyLength,
                          parent.keys.begin() + size_t(i + 1) * t.keyLength);
        parent.ptr.erase(parent.ptr.begin() + i);
      } else {
        parent.ptr.erase(parent.ptr.begin() + i);
        if (pn > 0) {
          newMax.assign(parent.keys.end() - t.keyLength, parent.keys.end());
          parent.keys.resize(parent.keys.size() - t.keyLength);
        }
      }
      if (!parent.ptr.empty()) {
        Store(t, page, parent);
        if (!newMax.empty()) SetMaxUpward(t, path, level, newMax.data());
        break;
      }
      if (level == 0) {
        Store(t, page, Node{});  // the root becomes an empty leaf
        break;
      }
      Free(t, page);
    }
    CollapseRoot(t);
  }
  headerDirty_ = true;
  ++t.changes;
  ++t.serial;
}

void MdxFile::CollapseRoot(TagState& t) {
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    const uint8_t* b = Block(t.root);
    uint32_t n = RawCount(t, b);
    if (n != 0 || RawLeaf(t, b, n)) return;
    uint32_t child = Get32(b + 8);
    Free(t, t.root);
    t.root = child;
    headerDirty_ = true;
  }
}

// ---------------------------------------------------------------- build

void MdxFile::CollectKeys(const TagState& t, RecordSource& records, std::vector<uint8_t>& keys,
                          std::vector<uint32_t>& order) {
  uint32_t n = records.RecordCount();
  keys.resize(size_t(n) * t.keyLength);
  order.resize(n);
  for (uint32_t r = 1; r <= n; ++r) {
    const uint8_t* rec = records.Record(r);
    if (!rec) Fail(MdxCode::kIoError, "cannot read record " + std::to_string(r));
    t.expr.Evaluate(rec, keys.data() + size_t(r - 1) * t.keyLength);
  }
  std::iota(order.begin(), order.end(), 0u);
  const uint8_t* base = keys.data();
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
  std::vector<uint8_t> keys;
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
      std::memcpy(item + 4, keys.data() + size_t(keyIdx[i]) * t.keyLength, t.keyLength);
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

// ---------------------------------------------------------------- tags

TagInfo MdxFile::Tag(int tag) const {
  TagInfo info;
  if (tag < 0 || tag >= TagCount()) return info;
  const TagState& t = *tags_[tag];
  info.name = t.name;
  info.expression = t.expr.text();
  info.type = t.type;
  info.keyLength = t.keyLength;
  info.plainField = t.expr.plainField();
  return info;
}

int MdxFile::FindTag(std::string_view name) const {
  std::string upper = UpperName(name);
  for (size_t i = 0; i < tags_.size(); ++i)
    if (tags_[i]->name == upper) return static_cast<int>(i);
  return -1;
}

// The tag table keeps its entries in a binary tree ordered by name (links
// are entry numbers from 1; 0 for none): rebuilt balanced on every change.
void MdxFile::LinkTagTree() {
  std::vector<int> byName(tags_.size());
  std::iota(byName.begin(), byName.end(), 0);
  std::sort(byName.begin(), byName.end(), [&](int a, int b) { return tags_[a]->name < tags_[b]->name; });
  for (auto& t : tags_) std::memset(t->links, 0, 3);
  std::function<int(int, int, int)> build = [&](int lo, int hi, int parent) -> int {
    if (lo > hi) return 0;
    int mid = (lo + hi) / 2;
    TagState& t = *tags_[byName[mid]];
    int self = byName[mid] + 1;
    t.links[2] = static_cast<uint8_t>(parent);
    t.links[0] = static_cast<uint8_t>(build(lo, mid - 1, self));
    t.links[1] = static_cast<uint8_t>(build(mid + 1, hi, self));
    return self;
  };
  build(0, static_cast<int>(byName.size()) - 1, 0);
  headerDirty_ = true;
}

MdxStatus MdxFile::AddTag(std::string_view name, std::string_view expression, RecordSource& records) {
  if (!ValidTagName(name))
    return MdxStatus::Make(MdxCode::kBadTagName, "invalid index name \"" + std::string(name) + "\"");
  if (FindTag(name) >= 0)
    return MdxStatus::Make(MdxCode::kTagExists, "index " + UpperName(name) + " exists");
  if (TagCount() >= kMaxTags || TagCount() >= tagEntries_)
    return MdxStatus::Make(MdxCode::kTooManyTags, "the production index holds no more tags");
  if (expression.size() > kMaxExpressionLength)
    return MdxStatus::Make(MdxCode::kBadExpression, "key expression longer than 220 characters");
  auto t = std::make_unique<TagState>();
  t->name = UpperName(name);
  MdxStatus st = KeyExpression::Compile(expression, fields_, recordLength_, t->expr);
  if (!st.ok()) return st;
  t->type = t->expr.type();
  t->keyLength = t->expr.keyLength();
  t->itemLength = static_cast<uint16_t>((t->keyLength + 4 + 3) & ~3);
  t->maxKeys = static_cast<uint16_t>((blockSize_ - 12) / t->itemLength);
  return Guard([&] {
    t->headerPage = Allocate(*t);
    BuildTree(*t, records);
    t->leftLink = t->rightLink = t->root;
    tags_.push_back(std::move(t));
    LinkTagTree();
  });
}

MdxStatus MdxFile::DeleteTag(std::string_view name) {
  int i = FindTag(name);
  if (i < 0) return MdxStatus::Make(MdxCode::kTagMissing, "no index " + UpperName(name));
  return Guard([&] {
    TagState& t = *tags_[i];
    size_t budget = size_t(pages_) + 1;
    FreeTree(t, t.root, 0, budget);
    Free(t, t.headerPage);
    tags_.erase(tags_.begin() + i);
    LinkTagTree();
  });
}

MdxStatus MdxFile::RebuildTag(int tag, RecordSource& records) {
  if (tag < 0 || tag >= TagCount()) return MdxStatus::Make(MdxCode::kTagMissing, "no such index");
  return Guard([&] {
    TagState& t = *tags_[tag];
    size_t budget = size_t(pages_) + 1;
    FreeTree(t, t.root, 0, budget);
    t.sizePages = blockFactor_;
    BuildTree(t, records);
    ++t.changes;
    ++t.serial;
    headerDirty_ = true;
  });
}

MdxStatus MdxFile::RegenerateAll(RecordSource& records) {
  return Guard([&] {
    cache_.Clear();
    dirty_.clear();
    pages_ = kHeaderPages;
    firstFree_ = 0;
    blocksAvailable_ = 0;
    if (!file_->Truncate(uint64_t(kHeaderPages) * kPageSize)) WriteFailed("cannot shorten the index file");
    filePages_ = kHeaderPages;
    for (auto& t : tags_) {
      t->sizePages = 0;
      t->headerPage = Allocate(*t);
      BuildTree(*t, records);
      t->leftLink = t->rightLink = t->root;
      ++t->changes;
      ++t->serial;
    }
    LinkTagTree();
    torn_ = false;
  });
}

void MdxFile::EvaluateKey(int tag, const uint8_t* record, uint8_t* key) const {
  if (tag >= 0 && tag < TagCount()) tags_[tag]->expr.Evaluate(record, key);
}

MdxStatus MdxFile::InsertKey(int tag, const uint8_t* key, uint32_t recno) {
  if (tag < 0 || tag >= TagCount()) return MdxStatus::Make(MdxCode::kTagMissing, "no such index");
  return Change([&] { InsertEntry(*tags_[tag], key, recno); });
}

MdxStatus MdxFile::DeleteKey(int tag, const uint8_t* key, uint32_t recno) {
  if (tag < 0 || tag >= TagCount()) return MdxStatus::Make(MdxCode::kTagMissing, "no such index");
  return Change([&] { DeleteEntry(*tags_[tag], key, recno); });
}

MdxStatus MdxFile::InsertRecord(const uint8_t* record, uint32_t recno) {
  return Change([&] {
    std::vector<uint8_t>& key = scratchKey_;
    for (auto& t : tags_) {
      key.resize(t->keyLength);
      t->expr.Evaluate(record, key.data());
      InsertEntry(*t, key.data(), recno);
    }
  });
}

MdxStatus MdxFile::DeleteRecord(const uint8_t* record, uint32_t recno) {
  return Change([&] {
    std::vector<uint8_t> key;
    for (auto& t : tags_) {
      key.resize(t->keyLength);
      t->expr.Evaluate(record, key.data());
      DeleteEntry(*t, key.data(), recno);
    }
  });
}

MdxStatus MdxFile::UpdateRecord(const uint8_t* oldRecord, const uint8_t* newRecord, uint32_t recno) {
  return Change([&] {
    std::vector<uint8_t> oldKey, newKey;
    for (auto& t : tags_) {
      oldKey.resize(t->keyLength);
      newKey.resize(t->keyLength);
      t->expr.Evaluate(oldRecord, oldKey.data());
      t->expr.Evaluate(newRecord, newKey.data());
      if (oldKey == newKey) continue;  // an unchanged key keeps its place
      DeleteEntry(*t, oldKey.data(), recno);
      InsertEntry(*t, newKey.data(), recno);
    }
  });
}

// ---------------------------------------------------------------- check

void MdxFile::CheckTree(TagState& t, uint32_t page, int depth, int& leafDepth, std::vector<Entry>& out,
                        std::vector<uint8_t>& maxKey, std::unordered_map<uint32_t, bool>& seen) {
  if (depth >= kMaxDepth) Damaged("tag " + t.name + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
  if (seen.count(page)) Damaged("tag " + t.name + ": page " + std::to_string(page) + " is used twice");
  seen[page] = true;
  Node n = Load(t, page);
  uint32_t count = n.count(t.keyLength);
  if (n.leaf) {
    if (leafDepth < 0) leafDepth = depth;
    if (leafDepth != depth) Damaged("tag " + t.name + ": leaves at different depths");
    if (count == 0 && depth > 0) Damaged("tag " + t.name + ": empty block inside the tree");
    for (uint32_t i = 0; i < count; ++i) {
      Entry e;
      e.recno = n.ptr[i];
      e.key.assign(n.keys.begin() + size_t(i) * t.keyLength, n.keys.begin() + size_t(i + 1) * t.keyLength);
      out.push_back(std::move(e));
    }
    if (count > 0) maxKey.assign(n.keys.end() - t.keyLength, n.keys.end());
    return;
  }
  for (uint32_t i = 0; i <= count; ++i) {
    std::vector<uint8_t> childMax;
    size_t before = out.size();
    CheckTree(t, n.ptr[i], depth + 1, leafDepth, out, childMax, seen);
    if (out.size() == before) Damaged("tag " + t.name + ": empty subtree");
    if (i < count &&
        CompareTo(t, childMax.data(), n.keys.data() + size_t(i) * t.keyLength, t.keyLength) != 0)
      Damaged("tag " + t.name + ": separator of page " + std::to_string(page) + " differs from its child");
    maxKey = childMax;
  }
}

MdxStatus MdxFile::Check(int tag, RecordSource& records) {
  if (tag < 0 || tag >= TagCount()) return MdxStatus::Make(MdxCode::kTagMissing, "no such index");
  return Read([&] {
    TagState& t = *tags_[tag];
    std::vector<Entry> entries;
    std::vector<uint8_t> maxKey;
    std::unordered_map<uint32_t, bool> seen;
    int leafDepth = -1;
    CheckTree(t, t.root, 0, leafDepth, entries, maxKey, seen);
    for (size_t i = 1; i < entries.size(); ++i) {
      int c = CompareTo(t, entries[i - 1].key.data(), entries[i].key.data(), t.keyLength);
      if (c > 0 || (c == 0 && entries[i - 1].recno >= entries[i].recno))
        Damaged("tag " + t.name + ": keys out of order at record " + std::to_string(entries[i].recno));
    }
    std::vector<uint8_t> keys;
    std::vector<uint32_t> order;
    CollectKeys(t, records, keys, order);
    if (order.size() != entries.size())
      Fail(MdxCode::kMismatch, "tag " + t.name + " holds " + std::to_string(entries.size()) + " keys for " +
                                   std::to_string(order.size()) + " records");
    for (size_t i = 0; i < order.size(); ++i) {
      const Entry& e = entries[i];
      if (e.recno != order[i] + 1 ||
          std::memcmp(e.key.data(), keys.data() + size_t(order[i]) * t.keyLength, t.keyLength) != 0)
        Fail(MdxCode::kMismatch, "tag " + t.name + ": the key of record " + std::to_string(order[i] + 1) +
                                     " differs from the table");
    }
  });
}

MdxStatus MdxFile::CheckAll(RecordSource& records) {
  for (int i = 0; i < TagCount(); ++i) {
    MdxStatus st = Check(i, records);
    if (!st.ok()) return st;
  }
  return MdxStatus::Ok();
}

uint32_t MdxFile::KeyCount(int tag) {
  if (tag < 0 || tag >= TagCount()) return 0;
  uint32_t count = 0;
  MdxStatus st = Read([&] {
    const TagState& t = *tags_[tag];
    Path path;
    if (!DescendEdge(t, t.root, false, path) && !Normalize(t, path)) return;
    do {
      ++count;
    } while (StepNext(t, path) && count < 0xFFFFFFFFu);
  });
  return st.ok() ? count : 0;
}

// ---------------------------------------------------------------- cursor

TagCursor::TagCursor(MdxFile& file, int tag) : file_(file), tag_(tag) {}

MdxStatus TagCursor::Land(bool found) {
  valid_ = false;
  if (!found) {
    path_.clear();
    return MdxStatus::Make(MdxCode::kEndOfIndex, "end of index");
  }
  const MdxFile::TagState& t = *file_.tags_[tag_];
  file_.ReadEntry(t, path_, entry_);
  stamp_ = t.changes;
  valid_ = InRange();
  if (!valid_) return MdxStatus::Make(MdxCode::kEndOfIndex, "end of range");
  return MdxStatus::Ok();
}

bool TagCursor::AboveLow() const {
  const MdxFile::TagState& t = *file_.tags_[tag_];
  if (low_.empty()) return true;
  return file_.CompareTo(t, entry_.key.data(), low_.data(), low_.size()) >= 0;
}

bool TagCursor::InRange() const {
  const MdxFile::TagState& t = *file_.tags_[tag_];
  if (!AboveLow()) return false;
  if (high_.empty()) return true;
  return file_.CompareTo(t, entry_.key.data(), high_.data(), high_.size()) <= 0;
}

// After a change to the tag, the cursor's entry is found again by key and
// record number; `exact` says whether it is still there.
bool TagCursor::Resync(bool& exact) {
  exact = true;
  const MdxFile::TagState& t = *file_.tags_[tag_];
  if (stamp_ == t.changes) return true;
  if (entry_.key.size() != t.keyLength) {
    // Never landed on an entry of this tag: there is no place to find again.
    path_.clear();
    exact = false;
    return false;
  }
  MdxFile::Target target{entry_.key.data(), entry_.key.size(), entry_.recno, true};
  bool any = file_.SeekLower(t, target, path_);
  if (!any) {
    exact = false;
    return false;
  }
  MdxFile::Entry e;
  file_.ReadEntry(t, path_, e);
  exact = e.recno == entry_.recno && e.key == entry_.key;
  stamp_ = t.changes;
  return true;
}

#define ORB_CURSOR_GUARD(body)                                                         \
  if (tag_ < 0 || tag_ >= file_.TagCount()) {                                          \
    valid_ = false;                                                                    \
    return MdxStatus::Make(MdxCode::kTagMissing, "no such index");                     \
  }                                                                                    \
  MdxStatus result;                                                                    \
  MdxStatus guard = file_.Read([&] { body; });                                        \
  if (!guard.ok()) {                                                                   \
    /* The entry stays: a retry finds its place again by key. */                       \
    valid_ = false;                                                                    \
    stamp_ = 0;                                                                        \
    return guard;                                                                      \
  }                                                                                    \
  return result;

MdxStatus TagCursor::First() {
  ORB_CURSOR_GUARD({
    const MdxFile::TagState& t = *file_.tags_[tag_];
    if (!low_.empty()) {
      result = Land(file_.SeekLower(t, MdxFile::Target{low_.data(), low_.size(), 0, false}, path_));
    } else {
      path_.clear();
      bool any = file_.DescendEdge(t, t.root, false, path_) || file_.Normalize(t, path_);
      result = Land(any);
    }
  })
}

MdxStatus TagCursor::Last() {
  ORB_CURSOR_GUARD({
    const MdxFile::TagState& t = *file_.tags_[tag_];
    path_.clear();
    bool any;
    if (!high_.empty()) {
      // The last key within the range: one step back from the first key past
      // it (past every key equal to `high` or starting with it).
      if (file_.SeekLower(t, MdxFile::Target{high_.data(), high_.size(), 0, false, true}, path_)) {
        any = file_.StepPrior(t, path_);
      } else {
        path_.clear();
        any = file_.DescendEdge(t, t.root, true, path_) || file_.StepPrior(t, path_);
      }
    } else {
      any = file_.DescendEdge(t, t.root, true, path_) || file_.StepPrior(t, path_);
    }
    result = Land(any);
  })
}

MdxStatus TagCursor::Next() {
  ORB_CURSOR_GUARD({
    const MdxFile::TagState& t = *file_.tags_[tag_];
    if (path_.empty()) {
      result = MdxStatus::Make(MdxCode::kEndOfIndex, "end of index");
      return;
    }
    bool exact;
    if (!Resync(exact)) {
      result = Land(false);
      return;
    }
    // A deleted entry's successor is already under the cursor.
    result = Land(exact ? file_.StepNext(t, path_) : true);
  })
}

MdxStatus TagCursor::Prior() {
  ORB_CURSOR_GUARD({
    const MdxFile::TagState& t = *file_.tags_[tag_];
    if (path_.empty()) {
      result = MdxStatus::Make(MdxCode::kEndOfIndex, "start of index");
      return;
    }
    bool exact;
    if (!Resync(exact)) {
      path_.clear();
      result = Land(file_.DescendEdge(t, t.root, true, path_) || file_.StepPrior(t, path_));
      return;
    }
    result = Land(file_.StepPrior(t, path_));
  })
}

MdxStatus TagCursor::SeekNearest(std::span<const uint8_t> key) {
  ORB_CURSOR_GUARD({
    const MdxFile::TagState& t = *file_.tags_[tag_];
    size_t len = std::min<size_t>(key.size(), t.keyLength);
    if (t.type != KeyType::kCharacter && len != t.keyLength) {
      result = MdxStatus::Make(MdxCode::kNotFound, "key of the wrong length");
      return;
    }
    result = Land(file_.SeekLower(t, MdxFile::Target{key.data(), len, 0, false}, path_));
  })
}

MdxStatus TagCursor::SeekExact(std::span<const uint8_t> key) {
  MdxStatus st = SeekNearest(key);
  if (!st.ok()) return st.code == MdxCode::kEndOfIndex ? MdxStatus::Make(MdxCode::kNotFound, "key not found") : st;
  const MdxFile::TagState& t = *file_.tags_[tag_];
  if (file_.CompareTo(t, entry_.key.data(), key.data(), key.size()) != 0)
    return MdxStatus::Make(MdxCode::kNotFound, "key not found");
  return st;
}

MdxStatus TagCursor::Find(std::span<const uint8_t> key, uint32_t recno) {
  ORB_CURSOR_GUARD({
    const MdxFile::TagState& t = *file_.tags_[tag_];
    if (key.size() != t.keyLength) {
      result = MdxStatus::Make(MdxCode::kNotFound, "key of the wrong length");
      return;
    }
    result = Land(file_.SeekLower(t, MdxFile::Target{key.data(), key.size(), recno, true}, path_));
    if (result.ok() && (entry_.recno != recno || !std::equal(key.begin(), key.end(), entry_.key.begin())))
      result = MdxStatus::Make(MdxCode::kNotFound, "no such entry");
  })
}

MdxStatus TagCursor::Here() {
  ORB_CURSOR_GUARD({
    bool exact = false;
    if (path_.empty() || !Resync(exact)) {
      result = Land(false);
      return;
    }
    result = Land(true);
    if (result.ok() && !exact) result = MdxStatus::Make(MdxCode::kNotFound, "no such entry");
  })
}

void TagCursor::SetRange(std::span<const uint8_t> low, std::span<const uint8_t> high) {
  low_.assign(low.begin(), low.end());
  high_.assign(high.begin(), high.end());
  if (tag_ < 0 || tag_ >= file_.TagCount()) return;
  const MdxFile::TagState& t = *file_.tags_[tag_];
  // Numeric and date keys have no leading part: a bound is a whole key.
  if (t.type != KeyType::kCharacter) {
    if (!low_.empty()) low_.resize(t.keyLength, 0);
    if (!high_.empty()) high_.resize(t.keyLength, 0);
  } else {
    if (low_.size() > t.keyLength) low_.resize(t.keyLength);
    if (high_.size() > t.keyLength) high_.resize(t.keyLength);
  }
}

void TagCursor::ClearRange() {
  low_.clear();
  high_.clear();
}

}  // namespace orb::mdx
