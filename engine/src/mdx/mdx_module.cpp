// The production index as the table layer sees it: the index module that
// opens, creates and removes a table's .MDX, the per-table index that keeps
// every tag current through the table's write hooks, and one record order
// per tag for the cursors. Installed once, when the engine is loaded.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "file.h"
#include "index_hooks.h"
#include "key_order.h"
#include "mdx/mdx_file.h"
#include "order.h"
#include "progress.h"
#include "status.h"
#include "table.h"

namespace orb {
namespace {

using mdx::MdxCode;
using mdx::MdxFile;
using mdx::MdxStatus;
using mdx::TagCursor;

OrbResult ToResult(const MdxStatus& st) {
  OrbResult code = ORB_OK;
  switch (st.code) {
    case MdxCode::kOk: return ORB_OK;
    case MdxCode::kNotFound: code = ORB_ERR_NOT_FOUND; break;
    case MdxCode::kEndOfIndex: code = ORB_ERR_EOF; break;
    case MdxCode::kTagMissing: code = ORB_ERR_NO_SUCH_INDEX; break;
    case MdxCode::kTagExists: code = ORB_ERR_INDEX_EXISTS; break;
    case MdxCode::kTooManyTags: code = ORB_ERR_NOT_SUPPORTED; break;
    case MdxCode::kBadTagName: code = ORB_ERR_INVALID_PARAM; break;
    case MdxCode::kBadExpression: code = ORB_ERR_INVALID_EXPRESSION; break;
    case MdxCode::kCorrupt:
    case MdxCode::kMismatch: code = ORB_ERR_INDEX_CORRUPT; break;
    case MdxCode::kIoError: code = ORB_ERR_WRITE_FAILED; break;
    case MdxCode::kDiskFull: code = ORB_ERR_DISK_FULL; break;
  }
  return Fail(code, st.message.empty() ? mdx::MdxCodeText(st.code) : st.message);
}

std::vector<mdx::FieldDesc> FieldsOf(const Table& t) {
  std::vector<mdx::FieldDesc> out;
  for (const FieldInfo& f : t.Fields()) out.push_back({f.name, f.type, f.offset, f.width, f.decimals});
  return out;
}

class TableRecords : public mdx::RecordSource {
 public:
  explicit TableRecords(Table& t) : table_(t), buffer_(t.RecordSize()) {}
  uint32_t RecordCount() override {
    table_.RefreshCount();
    return table_.RecordCount();
  }
  const uint8_t* Record(uint32_t recno) override {
    const uint8_t* rec = table_.ReadRecord(recno, buffer_.data()) == ORB_OK ? buffer_.data() : nullptr;
    // The flags of a pass over every record in turn.
    if (recno == next_ && rec != nullptr) {
      ++next_;
      if (rec[0] == '*') ++deleted_;
    }
    return rec;
  }
  // The deleted records, once a pass has read every record in turn.
  std::optional<uint32_t> Deleted() const {
    return next_ == table_.RecordCount() + 1 ? std::optional<uint32_t>(deleted_) : std::nullopt;
  }

 private:
  Table& table_;
  std::vector<uint8_t> buffer_;
  uint32_t next_ = 1;
  uint32_t deleted_ = 0;
};

class MdxIndex;

// One tag as a cursor's order. The order stands before the first entry,
// after the last, on an entry, or just before one (after a seek, so that
// the cursor's next step lands on the key found).
class TagOrder : public RecordOrder {
 public:
  TagOrder(MdxIndex& index, std::string name);
  const char* Name() const override { return name_.c_str(); }
  void SetToBegin() override { place_ = kBegin; }
  void SetToEnd() override { place_ = kEnd; }
  OrbResult Next(uint32_t* recordNumber) override;
  OrbResult Prior(uint32_t* recordNumber) override;
  OrbResult SetToRecord(uint32_t recordNumber, const uint8_t* record) override;
  int Compare(uint32_t recordA, const uint8_t* a, uint32_t recordB, const uint8_t* b) override;
  OrbResult Seek(uint16_t searchMode, const SearchKey& key) override;
  OrbResult SetRange(const SearchKey* low, bool lowIncluded, const SearchKey* high, bool highIncluded) override;
  OrbResult ResetRange() override;
  bool OnSoughtKey() const override;
  void Refresh() override;
  bool VisitsEveryRecord() override;

 private:
  enum Place { kBegin, kEnd, kOn, kBefore };
  OrbResult Bind();
  // Runs a step; one that finds damage while another program may be
  // changing the index waits for that change and runs once more, so a
  // reader never reports damage that is not there.
  template <typename F>
  OrbResult Steady(F&& step);
  OrbResult NextOnce(uint32_t* recordNumber);
  OrbResult PriorOnce(uint32_t* recordNumber);
  OrbResult SeekOnce(uint16_t searchMode, const SearchKey& key);
  OrbResult SetToRecordOnce(uint32_t recordNumber, const uint8_t* record);
  std::vector<uint8_t> KeyOf(const SearchKey& key, size_t* compared);
  bool OnExcludedBound() const;
  // The cursor's key equals `k` (begins with it, for a leading part).
  bool Matches(const std::vector<uint8_t>& k) const;
  OrbResult Move(MdxStatus st, uint32_t* recordNumber, bool forward);

  MdxIndex& index_;
  std::string name_;
  int tag_ = -1;
  std::unique_ptr<TagCursor> cursor_;
  MdxFile* bound_ = nullptr;  // the file cursor_ walks
  Place place_ = kBegin;
  std::vector<uint8_t> low_, high_;
  bool lowIncluded_ = true, highIncluded_ = true;
  std::vector<uint8_t> sought_;  // the key of the last search
};

class MdxIndex : public ProductionIndex {
 public:
  MdxIndex(Table& table, std::unique_ptr<MdxFile> file) : table_(table), file_(std::move(file)) {}

  MdxFile* file() { return file_.get(); }
  Table& table() { return table_; }

  // Another handle (or process) may have written the table, and with it
  // the index, since this one last looked: cached blocks are dropped then.
  // The table's change counter also moves on our own writes, so this errs
  // on the side of reading again.
  // In an exclusive open nobody else writes the index: what is cached stays.
  void Fresh() {
    WriteBackWhenExclusive();
    if (file_ && table_.Generation() != seen_ && !table_.Exclusive()) Refresh();
    seen_ = table_.Generation();
  }
  // Nobody else reads or writes the files of an exclusive open: the
  // index's changes are held until a checkpoint (MdxFile::SetWriteBack).
  // So are a batch's, which holds the append lock and checkpoints at its
  // commit: other programs read the index as the table they see needs it.
  void WriteBackWhenExclusive() {
    if (file_) file_->SetWriteBack(table_.Exclusive() || table_.InBatch());
  }
  // Before a change (under the append lock): another program may have
  // changed the table and its index, or put a rebuilt index in place, even
  // when the table's clock has not moved. So the table's header and the
  // index are read again, unless nobody else can write them.
  void FreshForChange() {
    if (file_ && !table_.Exclusive()) {
      table_.ForgetState();
      table_.RefreshCount();  // a change seen: Refresh, which also finds a new file
    }
    Fresh();
  }
  OrbResult Done(OrbResult r) {
    seen_ = table_.Generation();
    return r;
  }

  // The append just before, under the same lock, looked at the table and
  // the index afresh (Table::Append): nothing to read again.
  OrbResult OnInsert(uint32_t recordNumber, const uint8_t* record) override {
    if (!file_) return ORB_OK;
    seen_ = table_.Generation();
    WriteBackWhenExclusive();
    StampTable();
    return Done(Synced(ToResult(file_->InsertRecord(record, recordNumber))));
  }
  OrbResult OnModify(uint32_t recordNumber, const uint8_t* before, const uint8_t* after) override {
    if (!file_) return ORB_OK;
    FreshForChange();
    StampTable();
    return Done(Synced(ToResult(file_->UpdateRecord(before, after, recordNumber))));
  }
  // Keys do not hold the deletion flag: a deleted record keeps its entry
  // until a pack renumbers the records and every tag is rebuilt. The stamp
  // takes the table's new counter and deleted records; the flag's change
  // just before, under the same lock, looked at the table and the index
  // afresh (Table::SetDeleted).
  OrbResult OnDelete(uint32_t, const uint8_t*) override {
    if (!file_) return ORB_OK;
    seen_ = table_.Generation();
    WriteBackWhenExclusive();
    return Done(Synced(ToResult(file_->WriteStamp(table_.UpdateCounter(), table_.RecordCount(), table_.KnownDeleted()))));
  }

  OrbResult Regenerate() override {
    if (!file_) return damage_.empty() ? ORB_OK : Mend();
    FreshForChange();
    OrbResult r = Checkpoint();
    if (r != ORB_OK) return r;
    return Replace(Tags(), FreshFrom(Tags()));
  }

  using Builder = std::function<OrbResult(const std::filesystem::path&, uint32_t counter)>;
  // Builds a new file holding `tags` from the table's records.
  Builder FreshFrom(std::vector<mdx::TagInfo> tags) {
    return [this, tags = std::move(tags)](const std::filesystem::path& to, uint32_t counter) {
      std::vector<uint8_t> buffer(table_.RecordSize());
      std::optional<uint32_t> deleted;
      const OrbResult r = Build(
          to, table_.RecordCount(),
          [&](uint32_t n) { return table_.ReadRecord(n, buffer.data()) == ORB_OK ? buffer.data() : nullptr; },
          counter, tags, &deleted);
      // Read under the append lock, as every rebuild is.
      if (r == ORB_OK && deleted) table_.CountedDeleted(*deleted);
      return r;
    };
  }

  // Every rewrite of the index (a rebuild, a tag added or deleted) makes a
  // whole new file beside it, which `build` writes, stamped with the
  // counter it is given, and syncs; it is renamed over the index and the
  // folder synced, so a kill leaves one whole index or the other. The
  // table's counter moves first (with the fields' flags for `tags`, the
  // new file's): an old file a kill leaves is rebuilt at the next writable
  // open. A failure before the rename leaves the old file as it was and,
  // when it matched the records, stamped in step again, so it stays usable
  // in every mode. Readers in other programs keep the old file until they
  // next look (Refresh): the counter tells them to.
  OrbResult Replace(const std::vector<mdx::TagInfo>& tags, const Builder& build) {
    const bool inStep = file_ && !file_->Torn() && InStepNow();
    const std::vector<bool> old = FieldFlags();
    const std::filesystem::path temp = Temp();
    OrbResult r = SetFieldFlags(PlainFields(tags));
    if (r == ORB_OK) r = table_.BumpCounter();  // syncs the flags too
    if (r == ORB_OK) r = build(temp, table_.UpdateCounter());
    const bool renamed = r == ORB_OK && (r = RenameFile(temp, path_)) == ORB_OK;
    if (!renamed) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      SetFieldFlags(old);
      if (inStep) Synced(ToResult(file_->WriteStamp(table_.UpdateCounter(), table_.RecordCount(), table_.KnownDeleted())));
      return Done(r);
    }
    r = SyncDirectory(path_.parent_path());
    if (r == ORB_OK && !table_.ProductionFlag()) {
      // A first file: the table names it once it is in place, else it goes.
      r = table_.SetProductionFlag(true);
      if (r != ORB_OK) {
        RemoveFile(path_);
        return Done(r);
      }
    }
    const OrbResult opened = Reopen();
    return Done(r != ORB_OK ? r : opened);
  }

  std::vector<mdx::TagInfo> Tags() const {
    std::vector<mdx::TagInfo> tags;
    for (int i = 0; file_ && i < file_->TagCount(); ++i) tags.push_back(file_->Tag(i));
    return tags;
  }

  std::filesystem::path Temp() const {
    std::filesystem::path temp = path_;
    temp += ".new";
    return temp;
  }

  // A copy of the index (a new one when there is none) at `to` with
  // `change` made, stamped with `counter` and synced.
  OrbResult Changed(const std::filesystem::path& to, uint32_t counter,
                    const std::function<MdxStatus(MdxFile&)>& change) {
    std::unique_ptr<MdxFile> copy;
    OrbResult r = file_ ? CopyTo(to, &copy) : CreateAt(table_, to, &copy);
    if (r == ORB_OK) r = ToResult(change(*copy));
    if (r == ORB_OK) r = ToResult(copy->WriteStamp(counter, table_.RecordCount(), table_.KnownDeleted()));
    if (r == ORB_OK) r = ToResult(copy->Sync());
    return r;
  }

  // The index's bytes into a new file `to`, opened for a change.
  OrbResult CopyTo(const std::filesystem::path& to, std::unique_ptr<MdxFile>* out) {
    std::string error;
    auto from = mdx::OpenDiskFile(path_.string(), false, true, &error);
    if (!from) return Fail(ORB_ERR_OPEN_FAILED, "cannot open " + path_.filename().string() + ": " + error);
    auto copy = mdx::OpenDiskFile(to.string(), true, false, &error);
    if (!copy) return Fail(ORB_ERR_OPEN_FAILED, "cannot create " + to.filename().string() + ": " + error);
    std::vector<uint8_t> chunk(size_t(1) << 16);
    const uint64_t size = from->Size();
    for (uint64_t at = 0; at < size; at += chunk.size()) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - at));
      if (!from->ReadAt(at, chunk.data(), n))
        return Fail(ORB_ERR_READ_FAILED, "cannot read " + path_.filename().string());
      if (!copy->WriteAt(at, chunk.data(), n)) {
        const int err = copy->LastError();
        return Fail(WriteErrorCode(err), "cannot write " + to.filename().string() + ": " + std::strerror(err));
      }
    }
    std::vector<mdx::FieldDesc> fields = FieldsOf(table_);
    return ToResult(MdxFile::Open(std::move(copy), fields, table_.RecordSize(), *out, OptionsOf(table_)));
  }

  bool InStepNow() { return !table_.IndexOutOfStep() && InStep(table_.UpdateCounter(), table_.RecordCount()); }
  bool InStep(uint32_t counter, uint32_t records) override {
    if (!file_) return damage_.empty();
    const MdxFile::Stamp st = file_->GetStamp();
    // An index no program of ours has stamped is taken as it is.
    return !st.present || (st.counter == counter && st.records == records);
  }

  OrbResult Restamp() override {
    if (!file_) return ORB_OK;
    FreshForChange();
    // A torn file is not vouched for: it is rebuilt, or left out of step
    // for the next open to rebuild.
    if (file_->Torn()) return Regenerate();
    return Done(Synced(ToResult(file_->WriteStamp(table_.UpdateCounter(), table_.RecordCount(), table_.KnownDeleted()))));
  }

  bool StampedDeleted(uint32_t counter, uint32_t records, uint32_t* deleted) override {
    if (!file_ || !InStep(counter, records)) return false;
    const MdxFile::Stamp st = file_->GetStamp();
    if (!st.present || !st.hasDeleted || st.deleted > records) return false;
    *deleted = st.deleted;
    return true;
  }

  OrbResult WriteFresh(const std::filesystem::path& path, uint32_t count, const RecordReader& record,
                       uint32_t counter) override {
    return Build(path, count, record, counter, Tags());
  }

  // A new index at `path` holding `tags`, built from the records.
  // *deleted (when given): the deleted records among them, when every one was read.
  OrbResult Build(const std::filesystem::path& path, uint32_t count, const RecordReader& record, uint32_t counter,
                  const std::vector<mdx::TagInfo>& tags, std::optional<uint32_t>* deleted = nullptr) {
    std::unique_ptr<MdxFile> fresh;
    OrbResult r = CreateAt(table_, path, &fresh);
    // Every tag reads every record once.
    ProgressPass progress(uint64_t{count} * tags.size());
    Reader records(count, record, &progress);
    for (size_t i = 0; r == ORB_OK && i < tags.size(); ++i)
      r = ToResult(fresh->AddTag(tags[i].name, tags[i].expression, records));
    // The first tag read every record: their flags say how many are deleted.
    if (r == ORB_OK) r = ToResult(fresh->WriteStamp(counter, count, records.Deleted()));
    if (deleted != nullptr) *deleted = records.Deleted();
    if (r == ORB_OK) r = ToResult(fresh->Sync());
    if (r != ORB_OK) {
      fresh.reset();
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
    return r;
  }

  OrbResult CheckAll() override {
    if (!file_) return ORB_OK;
    Fresh();
    // The check is of the file.
    if (OrbResult r = Checkpoint(); r != ORB_OK) return r;
    TableRecords records(table_);
    return ToResult(file_->CheckAll(records));
  }

  OrbResult Reopen() override {
    std::unique_ptr<MdxFile> file;
    OrbResult r = OpenFile(table_, &file, &inode_, &path_);
    if (r != ORB_OK) return r;
    file_ = std::move(file);
    damage_.clear();
    seen_ = table_.Generation();
    return ORB_OK;
  }

  // An index file that cannot be read is derived data, never a reason to
  // refuse the records: a writable open rebuilds it from them (Regenerate
  // mends it); a read-only one goes on without it, in natural order, and
  // answers the damage only when a tag is chosen.
  void SetDamaged(std::string why) { damage_ = std::move(why); }
  bool Damaged() const override { return !damage_.empty(); }

  // Rebuilds the index with the tags its tag table still names and those
  // the field descriptors mark (byte 31: a tag on that field alone, named
  // after it). With none of them left the table stops naming the file
  // (synced) before it is removed. Under the append lock, as every change
  // to the index.
  OrbResult Mend() {
    if (!table_.LockAppend())
      return Fail(ORB_ERR_LOCKED, table_.DisplayName() + ": another program is changing the index");
    OrbResult r = MendLocked();
    table_.UnlockAppend();
    return r;
  }

  OrbResult MendLocked() {
    // Another program may have mended it while we waited for the lock.
    if (Reopen() == ORB_OK) return ORB_OK;
    const std::vector<mdx::FieldDesc> fields = FieldsOf(table_);
    std::vector<mdx::TagInfo> tags;
    if (auto damaged = mdx::OpenDiskFile(path_.string(), false, true))
      tags = MdxFile::Salvage(*damaged, fields, table_.RecordSize());
    for (const FieldInfo& f : table_.Fields()) {
      const bool tagged = std::any_of(tags.begin(), tags.end(), [&](const mdx::TagInfo& t) {
        return t.name == f.name || t.plainField + 1 == f.number;
      });
      if (tagged || f.name.size() > mdx::kMaxTagName || !table_.FieldIndexFlag(f.number)) continue;
      mdx::TagInfo t;
      t.name = t.expression = f.name;
      t.plainField = f.number - 1;
      tags.push_back(std::move(t));
    }
    if (tags.empty()) {
      damage_.clear();
      OrbResult r = table_.SetProductionFlag(false);
      if (r == ORB_OK) r = RemoveFile(path_);
      if (r == ORB_OK) r = SyncDirectory(path_.parent_path());
      return r;
    }
    return Replace(tags, FreshFrom(tags));
  }

  OrbResult AddTag(const OrbIndexDesc& desc) override {
    if (desc.options & (ORB_IDX_UNIQUE | ORB_IDX_DESCENDING))
      return Fail(ORB_ERR_NOT_SUPPORTED, "unique and descending indexes are not offered");
    std::string name(desc.tagName, strnlen(desc.tagName, sizeof desc.tagName));
    std::string expr(desc.expression, strnlen(desc.expression, sizeof desc.expression));
    FreshForChange();
    // What the new file cannot take is refused before anything is written.
    mdx::TagInfo tag;
    tag.name = name;
    tag.expression = expr;
    mdx::KeyExpression compiled;
    const std::vector<mdx::FieldDesc> fields = FieldsOf(table_);
    OrbResult r = ToResult(mdx::KeyExpression::Compile(expr, fields, table_.RecordSize(), compiled));
    if (r != ORB_OK) return r;
    tag.plainField = compiled.plainField();
    if (file_ && file_->FindTag(name) >= 0)
      return Fail(ORB_ERR_INDEX_EXISTS, "index " + file_->Tag(file_->FindTag(name)).name + " exists");
    r = Checkpoint();
    if (r != ORB_OK) return r;
    std::vector<mdx::TagInfo> tags = Tags();
    tags.push_back(tag);
    // Without a file (a first tag, or the last went and took it) a new one is made.
    TableRecords records(table_);
    return Replace(tags, [&](const std::filesystem::path& to, uint32_t counter) {
      return Changed(to, counter, [&](MdxFile& f) {
        const MdxStatus st = f.AddTag(name, expr, records);
        // Every record was read, under the append lock: the stamp names the deleted ones.
        if (st.ok() && records.Deleted()) table_.CountedDeleted(*records.Deleted());
        return st;
      });
    });
  }

  // Field descriptor byte 31 tells other dBASE tools which fields carry a
  // tag of their own: by field, whether one of `tags` is on it alone.
  std::vector<bool> PlainFields(const std::vector<mdx::TagInfo>& tags) const {
    std::vector<bool> flags;
    for (const FieldInfo& f : table_.Fields())
      flags.push_back(
          std::any_of(tags.begin(), tags.end(), [&](const mdx::TagInfo& t) { return t.plainField + 1 == f.number; }));
    return flags;
  }
  std::vector<bool> FieldFlags() {
    std::vector<bool> flags;
    for (const FieldInfo& f : table_.Fields()) flags.push_back(table_.FieldIndexFlag(f.number));
    return flags;
  }
  // Written where they change; synced with the table's next sync.
  OrbResult SetFieldFlags(const std::vector<bool>& flags) {
    const std::vector<bool> now = FieldFlags();
    for (size_t i = 0; i < flags.size() && i < now.size(); ++i) {
      if (flags[i] == now[i]) continue;
      OrbResult r = table_.SetFieldIndexFlag(static_cast<uint16_t>(i + 1), flags[i]);
      if (r != ORB_OK) return r;
    }
    return ORB_OK;
  }

  OrbResult DeleteTag(const char* tagName) override {
    if (file_) FreshForChange();
    const int tag = file_ ? file_->FindTag(tagName) : -1;
    if (tag < 0) return Fail(ORB_ERR_NO_SUCH_INDEX, std::string("no index ") + tagName);
    OrbResult r = Checkpoint();
    if (r != ORB_OK) return r;
    std::vector<mdx::TagInfo> tags = Tags();
    tags.erase(tags.begin() + tag);
    if (!tags.empty()) {
      return Replace(tags, [&](const std::filesystem::path& to, uint32_t counter) {
        return Changed(to, counter, [&](MdxFile& f) { return f.DeleteTag(tagName); });
      });
    }
    // The last tag goes with the file. The table stops naming it first,
    // synced, so a kill leaves the table with its index or without it.
    const std::vector<bool> old = FieldFlags();
    r = SetFieldFlags(PlainFields({}));
    if (r == ORB_OK) r = table_.SetProductionFlag(false);
    if (r != ORB_OK) {
      SetFieldFlags(old);
      table_.SetProductionFlag(true);
      return Done(r);
    }
    file_.reset();
    // A file left behind (its removal failed) is no longer named by the
    // table; the next first tag replaces it.
    if (RemoveFile(path_) == ORB_OK) SyncDirectory(path_.parent_path());
    return Done(ORB_OK);
  }

  OrbResult Describe(std::vector<OrbIndexDesc>* tags) override {
    tags->clear();
    if (!file_) return ORB_OK;
    for (int i = 0; i < file_->TagCount(); ++i) {
      mdx::TagInfo info = file_->Tag(i);
      OrbIndexDesc d{};
      std::strncpy(d.tagName, info.name.c_str(), ORB_MAX_TAG_NAME);
      std::strncpy(d.expression, info.expression.c_str(), ORB_MAX_KEY_EXPRESSION);
      d.keyType = static_cast<char>(info.type);
      d.keyLength = info.keyLength;
      if (info.plainField >= 0) {
        d.fieldCount = 1;
        d.fieldNumbers[0] = static_cast<uint16_t>(info.plainField + 1);
      } else {
        d.options |= ORB_IDX_EXPRESSION;
      }
      std::string head = info.expression.substr(0, 6);
      for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (head == "UPPER(") d.options |= ORB_IDX_CASE_INSENSITIVE;
      tags->push_back(d);
    }
    return ORB_OK;
  }

  OrbResult MakeOrder(const char* tagName, std::unique_ptr<RecordOrder>* order) override {
    if (!file_ && !damage_.empty()) return Fail(ORB_ERR_INDEX_CORRUPT, damage_);
    if (!file_ || file_->FindTag(tagName) < 0) return Fail(ORB_ERR_NO_SUCH_INDEX, std::string("no index ") + tagName);
    OrbResult r = Usable(file_->FindTag(tagName));
    if (r != ORB_OK) return r;
    *order = std::make_unique<TagOrder>(*this, file_->Tag(file_->FindTag(tagName)).name);
    return ORB_OK;
  }

  // A rebuild in another program puts a new file in place: one whose name
  // no longer leads to our file is opened again. A rebuild moves the
  // table's change counter first, and every change stamps the file it
  // made with it: while our file is unchanged and stamped with the
  // table's counter, nothing was rebuilt since, and the name need not be
  // looked at.
  void Refresh() override {
    // Nobody else writes the index of an exclusive open, and the file lacks
    // what this one holds.
    if (file_ && file_->WriteBack()) {
      seen_ = table_.Generation();
      return;
    }
    if (file_) {
      file_->Refresh();
      const MdxFile::Stamp held = file_->GetStamp();
      if (held.present && held.counter == table_.UpdateCounter()) {
        seen_ = table_.Generation();
        return;
      }
      struct stat st {};
      if (::stat(path_.c_str(), &st) == 0 && st.st_ino != inode_ && Reopen() == ORB_OK) return;
    } else if (!damage_.empty()) {
      // Another program may have rebuilt the damaged file.
      struct stat st {};
      if (::stat(path_.c_str(), &st) == 0 && st.st_ino != inode_ && Reopen() == ORB_OK) return;
    }
    seen_ = table_.Generation();
  }

  // Character keys follow the table's language driver.
  static MdxFile::Options OptionsOf(const Table& table) {
    MdxFile::Options options;
    options.order = KeyOrder::ForDriver(table.LanguageDriver());
    return options;
  }

  bool OrderStale() override { return file_ && file_->OrderStale(); }

  OrbResult Checkpoint() override { return file_ ? ToResult(file_->Checkpoint()) : ORB_OK; }
  // A character tag built in another order cannot be searched in this one.
  OrbResult Usable(int tag) {
    if (file_ && file_->OrderStale() && file_->Tag(tag).type == mdx::KeyType::kCharacter)
      return Fail(ORB_ERR_INDEX_STALE, table_.DisplayName() + ": index " + file_->Tag(tag).name +
                                           " was built in another sort order than its language driver's");
    return ORB_OK;
  }

  static std::string StemOf(const Table& table) {
    std::string stem = table.Path().stem().string();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return stem;
  }

  // A new, empty index for `table` at `path`.
  static OrbResult CreateAt(Table& table, const std::filesystem::path& path, std::unique_ptr<MdxFile>* out) {
    std::string error;
    auto file = mdx::OpenDiskFile(path.string(), true, false, &error);
    if (!file) return Fail(ORB_ERR_OPEN_FAILED, "cannot create " + path.filename().string() + ": " + error);
    std::vector<mdx::FieldDesc> fields = FieldsOf(table);
    return ToResult(MdxFile::Create(std::move(file), StemOf(table), fields, table.RecordSize(), *out, OptionsOf(table)));
  }

  static OrbResult OpenFile(Table& table, std::unique_ptr<MdxFile>* out, ino_t* inode,
                            std::filesystem::path* where) {
    std::filesystem::path path = table.Companion(".MDX");
    *where = path;
    std::string error;
    auto file = mdx::OpenDiskFile(path.string(), false, !table.Writable(), &error);
    if (!file) return Fail(ORB_ERR_OPEN_FAILED, "cannot open " + path.filename().string() + ": " + error);
    *inode = InodeOf(path);
    std::vector<mdx::FieldDesc> fields = FieldsOf(table);
    return ToResult(MdxFile::Open(std::move(file), fields, table.RecordSize(), *out, OptionsOf(table)));
  }

  ino_t* InodeSlot() { return &inode_; }
  std::filesystem::path* PathSlot() { return &path_; }

 private:
  static ino_t InodeOf(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
  }
  // The stamp written with the change about to be made.
  void StampTable() {
    if (file_) file_->SetStamp(table_.UpdateCounter(), table_.RecordCount(), table_.KnownDeleted());
  }
  OrbResult Synced(OrbResult r) {
    if (r == ORB_OK && file_) r = ToResult(file_->Sync());
    return r;
  }

  class Reader : public mdx::RecordSource {
   public:
    Reader(uint32_t count, const RecordReader& record, ProgressPass* progress)
        : count_(count), record_(record), progress_(progress) {}
    uint32_t RecordCount() override { return count_; }
    const uint8_t* Record(uint32_t recno) override {
      progress_->Advance();
      const uint8_t* rec = record_(recno);
      // The flags of the first pass over the records, each read once.
      if (recno == next_ && rec != nullptr) {
        ++next_;
        if (rec[0] == '*') ++deleted_;
      }
      return rec;
    }
    // The deleted records, once a pass has read every record in turn.
    std::optional<uint32_t> Deleted() const {
      return next_ == count_ + 1 ? std::optional<uint32_t>(deleted_) : std::nullopt;
    }

   private:
    uint32_t next_ = 1;
    uint32_t deleted_ = 0;
    uint32_t count_;
    const RecordReader& record_;
    ProgressPass* progress_;
  };

  Table& table_;
  std::unique_ptr<MdxFile> file_;
  uint64_t seen_ = 0;
  ino_t inode_ = 0;
  std::filesystem::path path_;  // the index file, found once (its name's case may differ)
  std::string damage_;          // why the file could not be read (a read-only open goes on without it)
};

TagOrder::TagOrder(MdxIndex& index, std::string name) : index_(index), name_(std::move(name)) {}

// The tag's place in the file may move when tags are added or deleted.
OrbResult TagOrder::Bind() {
  index_.Fresh();
  MdxFile* f = index_.file();
  int tag = f == nullptr ? -1 : f->TagNamed(tag_, name_) ? tag_ : f->FindTag(name_);
  if (tag < 0) return Fail(ORB_ERR_NO_SUCH_INDEX, "no index " + name_);
  if (OrbResult r = index_.Usable(tag); r != ORB_OK) return r;
  if (tag != tag_ || !cursor_ || f != bound_) {
    // A file put in place by a rebuild holds the same entries: the place
    // is found again there by key and record number.
    const bool replaced = cursor_ && f != bound_ && tag == tag_ && (place_ == kOn || place_ == kBefore);
    std::vector<uint8_t> key = replaced ? cursor_->key() : std::vector<uint8_t>();
    const uint32_t recno = replaced ? cursor_->recno() : 0;
    tag_ = tag;
    bound_ = f;
    cursor_ = std::make_unique<TagCursor>(*f, tag);
    cursor_->SetRange(low_, high_);
    if (place_ == kOn || place_ == kBefore) {
      MdxStatus st = replaced ? cursor_->Find(key, recno) : MdxStatus::Make(MdxCode::kEndOfIndex, "");
      if (st.code == MdxCode::kNotFound && cursor_->valid()) {
        place_ = kBefore;
      } else if (!st.ok()) {
        place_ = kBegin;
      }
    }
  }
  return ORB_OK;
}

template <typename F>
OrbResult TagOrder::Steady(F&& step) {
  OrbResult r = step();
  if (r != ORB_ERR_INDEX_CORRUPT) return r;
  Table& table = index_.table();
  if (!table.WaitForIndexWriters()) return r;
  index_.Refresh();
  r = step();
  table.EndWaitForIndexWriters();
  return r;
}

OrbResult TagOrder::Next(uint32_t* recordNumber) {
  return Steady([&] { return NextOnce(recordNumber); });
}
OrbResult TagOrder::Prior(uint32_t* recordNumber) {
  return Steady([&] { return PriorOnce(recordNumber); });
}
OrbResult TagOrder::Seek(uint16_t searchMode, const SearchKey& key) {
  return Steady([&] { return SeekOnce(searchMode, key); });
}
OrbResult TagOrder::SetToRecord(uint32_t recordNumber, const uint8_t* record) {
  return Steady([&] { return SetToRecordOnce(recordNumber, record); });
}

bool TagOrder::OnExcludedBound() const {
  const std::vector<uint8_t>& k = cursor_->key();
  const MdxFile& f = *index_.file();
  if (!lowIncluded_ && !low_.empty() && f.CompareKey(tag_, k.data(), low_.data(), low_.size()) == 0) return true;
  if (!highIncluded_ && !high_.empty() && f.CompareKey(tag_, k.data(), high_.data(), high_.size()) == 0) return true;
  return false;
}

OrbResult TagOrder::Move(MdxStatus st, uint32_t* recordNumber, bool forward) {
  // Exclusive bounds: entries equal to them are stepped over.
  for (int guard = 0; st.ok() && OnExcludedBound() && guard < 1000000; ++guard)
    st = forward ? cursor_->Next() : cursor_->Prior();
  if (st.code == MdxCode::kEndOfIndex) {
    place_ = forward ? kEnd : kBegin;
    return forward ? ORB_ERR_EOF : ORB_ERR_BOF;
  }
  if (!st.ok()) return ToResult(st);
  place_ = kOn;
  *recordNumber = cursor_->recno();
  return ORB_OK;
}

OrbResult TagOrder::NextOnce(uint32_t* recordNumber) {
  OrbResult r = Bind();
  if (r != ORB_OK) return r;
  switch (place_) {
    case kEnd: return ORB_ERR_EOF;
    case kBegin: return Move(cursor_->First(), recordNumber, true);
    case kBefore: {
      // The entry found by the seek, or what follows it if it went meanwhile.
      MdxStatus st = cursor_->Here();
      if (st.code == MdxCode::kNotFound)
        st = cursor_->valid() ? MdxStatus::Ok() : MdxStatus::Make(MdxCode::kEndOfIndex, "end of range");
      return Move(st, recordNumber, true);
    }
    case kOn: return Move(cursor_->Next(), recordNumber, true);
  }
  return ORB_ERR_EOF;
}

OrbResult TagOrder::PriorOnce(uint32_t* recordNumber) {
  OrbResult r = Bind();
  if (r != ORB_OK) return r;
  switch (place_) {
    case kBegin: return ORB_ERR_BOF;
    case kEnd: return Move(cursor_->Last(), recordNumber, false);
    case kBefore:
    case kOn: return Move(cursor_->Prior(), recordNumber, false);
  }
  return ORB_ERR_BOF;
}

OrbResult TagOrder::SetToRecordOnce(uint32_t recordNumber, const uint8_t* record) {
  OrbResult r = Bind();
  if (r != ORB_OK) return r;
  std::vector<uint8_t> key(index_.file()->Tag(tag_).keyLength);
  index_.file()->EvaluateKey(tag_, record, key.data());
  MdxStatus st = cursor_->Find(key, recordNumber);
  if (!st.ok()) {
    place_ = kBegin;
    return st.code == MdxCode::kCorrupt ? ToResult(st) : ORB_ERR_NOT_FOUND;
  }
  place_ = kOn;
  return ORB_OK;
}

int TagOrder::Compare(uint32_t recordA, const uint8_t* a, uint32_t recordB, const uint8_t* b) {
  if (Bind() != ORB_OK) return recordA < recordB ? -1 : (recordA > recordB ? 1 : 0);
  MdxFile* f = index_.file();
  mdx::TagInfo info = f->Tag(tag_);
  std::vector<uint8_t> ka(info.keyLength), kb(info.keyLength);
  f->EvaluateKey(tag_, a, ka.data());
  f->EvaluateKey(tag_, b, kb.data());
  int c = f->CompareKey(tag_, ka.data(), kb.data(), info.keyLength);
  if (c != 0) return c;
  return recordA < recordB ? -1 : (recordA > recordB ? 1 : 0);
}

// The search key of a record buffer (by the tag's expression) or of a text;
// `compared` is how many leading bytes take part.
std::vector<uint8_t> TagOrder::KeyOf(const SearchKey& key, size_t* compared) {
  mdx::TagInfo info = index_.file()->Tag(tag_);
  std::vector<uint8_t> k(info.keyLength, ' ');
  if (key.record != nullptr) {
    index_.file()->EvaluateKey(tag_, key.record, k.data());
  } else if (key.text != nullptr) {
    size_t n = std::min<size_t>(std::strlen(key.text), info.keyLength);
    if (info.type == mdx::KeyType::kNumeric) {
      mdx::MakeNumericKey(key.text, k.data());
    } else if (info.type == mdx::KeyType::kDate) {
      mdx::MakeDateKey(key.text, k.data());
    } else {
      std::memcpy(k.data(), key.text, n);
    }
  }
  *compared = info.keyLength;
  if (info.type == mdx::KeyType::kCharacter && key.partialLength > 0)
    *compared = std::min<size_t>(key.partialLength, info.keyLength);
  return k;
}

bool TagOrder::OnSoughtKey() const {
  return place_ == kOn && bound_ == index_.file() && cursor_ && cursor_->valid() && Matches(sought_);
}

bool TagOrder::Matches(const std::vector<uint8_t>& k) const {
  return index_.file()->CompareKey(tag_, cursor_->key().data(), k.data(), k.size()) == 0;
}

OrbResult TagOrder::SeekOnce(uint16_t searchMode, const SearchKey& key) {
  OrbResult r = Bind();
  if (r != ORB_OK) return r;
  size_t compared = 0;
  std::vector<uint8_t> k = KeyOf(key, &compared);
  k.resize(compared);
  sought_ = k;
  MdxStatus st = cursor_->SeekNearest(k);
  if (searchMode == ORB_KEY_GT) {
    while (st.ok() && Matches(k)) st = cursor_->Next();
  }
  while (st.ok() && OnExcludedBound()) st = cursor_->Next();
  if (st.code == MdxCode::kEndOfIndex) {
    place_ = kEnd;
    return searchMode == ORB_KEY_EQ ? Fail(ORB_ERR_NOT_FOUND, "key not found") : ORB_ERR_EOF;
  }
  if (!st.ok()) return ToResult(st);
  place_ = kBefore;
  if (searchMode == ORB_KEY_EQ && !Matches(k))
    return ORB_ERR_NOT_FOUND;
  return ORB_OK;
}

OrbResult TagOrder::SetRange(const SearchKey* low, bool lowIncluded, const SearchKey* high, bool highIncluded) {
  OrbResult r = Bind();
  if (r != ORB_OK) return r;
  size_t n = 0;
  low_.clear();
  high_.clear();
  if (low) {
    low_ = KeyOf(*low, &n);
    low_.resize(n);
  }
  if (high) {
    high_ = KeyOf(*high, &n);
    high_.resize(n);
  }
  lowIncluded_ = lowIncluded;
  highIncluded_ = highIncluded;
  cursor_->SetRange(low_, high_);
  place_ = kBegin;
  return ORB_OK;
}

OrbResult TagOrder::ResetRange() {
  low_.clear();
  high_.clear();
  lowIncluded_ = highIncluded_ = true;
  if (cursor_) cursor_->ClearRange();
  place_ = kBegin;
  return ORB_OK;
}

void TagOrder::Refresh() { index_.Refresh(); }

// The index holds one key per record, deleted ones too, while it is in step.
bool TagOrder::VisitsEveryRecord() {
  return Bind() == ORB_OK && low_.empty() && high_.empty() && index_.InStepNow();
}

class MdxModule : public IndexModule {
 public:
  OrbResult Open(Table& table, std::unique_ptr<ProductionIndex>* index) override {
    std::unique_ptr<MdxFile> mdxFile;
    ino_t inode = 0;
    std::filesystem::path path;
    OrbResult r = MdxIndex::OpenFile(table, &mdxFile, &inode, &path);
    if (r != ORB_OK && r != ORB_ERR_INDEX_CORRUPT) return r;
    auto made = std::make_unique<MdxIndex>(table, std::move(mdxFile));
    *made->InodeSlot() = inode;
    *made->PathSlot() = path;
    // Mended when the open's mode allows (Table::CheckIndex: the damage
    // keeps it out of step).
    if (r == ORB_ERR_INDEX_CORRUPT)
      made->SetDamaged(table.DisplayName() + ": its production index cannot be read (" + Context() + ")");
    *index = std::move(made);
    return ORB_OK;
  }
  // The file is made with the first tag (MdxIndex::AddTag).
  OrbResult Create(Table& table, std::unique_ptr<ProductionIndex>* index) override {
    auto made = std::make_unique<MdxIndex>(table, nullptr);
    *made->PathSlot() = table.Companion(".MDX");
    *index = std::move(made);
    return ORB_OK;
  }
  OrbResult Remove(Table& table) override {
    std::error_code ec;
    if (table.CompanionExists(".MDX")) std::filesystem::remove(table.Companion(".MDX"), ec);
    return ORB_OK;
  }
};

MdxModule gModule;
const bool gInstalled = (SetIndexModule(&gModule), true);

}  // namespace
}  // namespace orb
