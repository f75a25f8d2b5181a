#include "mdx/mdx_internal.h"

namespace orb::mdx {

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
    std::unique_ptr<uint8_t[]> keys;
    std::vector<uint32_t> order;
    CollectKeys(t, records, keys, order);
    if (order.size() != entries.size())
      Fail(MdxCode::kMismatch, "tag " + t.name + " holds " + std::to_string(entries.size()) + " keys for " +
                                   std::to_string(order.size()) + " records");
    for (size_t i = 0; i < order.size(); ++i) {
      const Entry& e = entries[i];
      if (e.recno != order[i] + 1 ||
          std::memcmp(e.key.data(), keys.get() + size_t(order[i]) * t.keyLength, t.keyLength) != 0)
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

}  // namespace orb::mdx
