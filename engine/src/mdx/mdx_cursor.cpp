#include "mdx/mdx_internal.h"

namespace orb::mdx {

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
