#include "mdx/mdx_internal.h"

#include <ctime>
#include <numeric>

namespace orb::mdx {

namespace {
// 4 MiB: past about 1,000 changed blocks a checkpoint costs a write for
// nearly every block; a larger set lets one write carry several changes.
size_t gHeldLimit = size_t(4) << 20;
}  // namespace

size_t HeldLimit() { return gHeldLimit; }
void SetHeldLimit(size_t bytes) { gHeldLimit = std::max<size_t>(bytes, 1); }

MdxFile::MdxFile() = default;
MdxFile::~MdxFile() = default;

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

bool MdxFile::TagNamed(int tag, std::string_view upperName) const {
  return tag >= 0 && tag < TagCount() && tags_[static_cast<size_t>(tag)]->name == upperName;
}

// Only the tag table and the expressions are read: the trees are rebuilt.
std::vector<TagInfo> MdxFile::Salvage(BlockFile& file, std::span<const FieldDesc> fields, uint32_t recordLength) {
  std::vector<TagInfo> out;
  uint8_t h[kHeaderPages * kPageSize];
  const uint64_t size = file.Size();
  if (size < sizeof h || !file.ReadAt(0, h, sizeof h) || h[0] != 2 || h[26] != kTagEntryLength) return out;
  const int inUse = std::min<int>(Get16(h + 28), std::min<int>(kMaxTags, h[25]));
  for (int i = 0; i < inUse; ++i) {
    const uint8_t* e = h + kTagTableOffset + kTagEntryLength * i;
    std::string name(reinterpret_cast<const char*>(e + 4), strnlen(reinterpret_cast<const char*>(e + 4), 11));
    if (!ValidTagName(name)) continue;
    name = UpperName(name);
    if (std::any_of(out.begin(), out.end(), [&](const TagInfo& t) { return t.name == name; })) continue;
    // The expression lies in the first page of the tag's header block.
    const uint64_t at = uint64_t(Get32(e)) * kPageSize;
    uint8_t th[kPageSize];
    if (at < sizeof h || at > size || size - at < sizeof th || !file.ReadAt(at, th, sizeof th)) continue;
    const char* ex = reinterpret_cast<const char*>(th + 24);
    const size_t exLength = strnlen(ex, kMaxExpressionLength + 1);
    if (exLength == 0 || exLength > kMaxExpressionLength) continue;
    KeyExpression expr;
    if (!KeyExpression::Compile(std::string_view(ex, exLength), fields, recordLength, expr).ok()) continue;
    TagInfo info;
    info.name = name;
    info.expression.assign(ex, exLength);
    info.type = expr.type();
    info.keyLength = expr.keyLength();
    info.plainField = expr.plainField();
    out.push_back(std::move(info));
  }
  return out;
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

}  // namespace orb::mdx
