#include "mdx/mdx_internal.h"

namespace orb::mdx {

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

}  // namespace orb::mdx
