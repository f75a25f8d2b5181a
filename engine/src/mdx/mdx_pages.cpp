#include "mdx/mdx_internal.h"

namespace orb::mdx {

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
    cache_.Slot(page, blockSize_);  // cached, so that nothing reads it from beyond the file's end
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

}  // namespace orb::mdx
