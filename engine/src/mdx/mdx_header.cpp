#include "mdx/mdx_internal.h"

namespace orb::mdx {

namespace {

void PutDate(uint8_t* p, const Ymd& d) {
  p[0] = static_cast<uint8_t>(std::clamp(d.year - 1900, 0, 255));
  p[1] = static_cast<uint8_t>(d.month);
  p[2] = static_cast<uint8_t>(d.day);
}

}  // namespace

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
  if (h[48] == 'S' && h[49] == 'W' && h[50] == 1) {
    stamp_ = Stamp{true, Get32(h + 52), Get32(h + 56)};
    // Byte 51 is 0 in files written before the stamp held the deleted
    // records; those are counted again by the table.
    if (h[51] == 1) {
      stamp_.hasDeleted = true;
      stamp_.deleted = Get32(h + 68);
    }
  }
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
  StampBytes(h + 48);
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

void MdxFile::StampBytes(uint8_t* p) const {
  std::memset(p, 0, 24);
  if (stamp_.present) {
    p[0] = 'S';
    p[1] = 'W';
    p[2] = 1;
    p[3] = stamp_.hasDeleted ? 1 : 0;
    Put32(p + 4, stamp_.counter);
    Put32(p + 8, stamp_.records);
    if (stamp_.hasDeleted) Put32(p + 20, stamp_.deleted);
  }
  if (orderStamp_ != OrderStamp{}) {
    p[12] = 'O';
    p[13] = orderStamp_.ldid;
    Put32(p + 16, orderStamp_.crc);
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

void MdxFile::SetStamp(uint32_t counter, uint32_t records, std::optional<uint32_t> deleted) {
  nextStamp_ = Stamp{true, counter, records, deleted.has_value(), deleted.value_or(0)};
  stampPending_ = true;
}

MdxStatus MdxFile::WriteStamp(uint32_t counter, uint32_t records, std::optional<uint32_t> deleted) {
  SetStamp(counter, records, deleted);
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
    // Only the stamp moved: bytes 48-71 (the order stamp between them as
    // the file holds it), in one write, not the whole header.
    uint8_t st[24];
    StampBytes(st);
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

}  // namespace orb::mdx
