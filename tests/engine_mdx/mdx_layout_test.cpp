// The file is checked byte by byte against the public dBASE IV layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mdx/mdx_file.h"
#include "mdx_test_table.h"

using namespace orb::mdx;
using mdx_test::MemTable;

namespace {

uint32_t U32(const std::string& b, size_t at) {
  return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t U16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

bool AllZero(const std::string& b, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i)
    if (b[i] != '\0') return false;
  return true;
}

MdxFile::Options FixedDate() {
  MdxFile::Options o;
  o.today = [] { return Ymd{1994, 2, 3}; };
  return o;
}

// Keeps a view of the bytes after the index takes the storage.
struct Storage {
  MemoryBlockFile* raw = nullptr;
  std::unique_ptr<BlockFile> Make() {
    auto f = std::make_unique<MemoryBlockFile>();
    raw = f.get();
    return f;
  }
};

}  // namespace

TEST(MdxLayout, TinyCharacterIndexMatchesThePublicLayout) {
  MemTable t({{"NAME", 'C', 10, 0}});
  t.Add({{"NAME", "bob"}});
  t.Add({{"NAME", "al"}});
  t.Add({{"NAME", "cy"}});
  Storage s;
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(s.Make(), "tiny", t.fields(), t.recordLength(), mdx, FixedDate()).ok());
  ASSERT_TRUE(mdx->AddTag("Names", "Upper(Name)", t).ok());
  const std::string& b = s.raw->bytes();
  ASSERT_EQ(b.size(), 8u * 512);  // header (4 pages), tag header block, one leaf block

  // File header.
  EXPECT_EQ(uint8_t(b[0]), 2);
  EXPECT_EQ(b.substr(1, 3), std::string("\x5E\x02\x03", 3));  // 1994-1900, month, day
  EXPECT_EQ(b.substr(4, 16), std::string("TINY\0\0\0\0\0\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(U16(b, 20), 2);     // pages per block
  EXPECT_EQ(U16(b, 22), 1024);  // block size
  EXPECT_EQ(uint8_t(b[24]), 1);
  EXPECT_EQ(uint8_t(b[25]), 48);
  EXPECT_EQ(uint8_t(b[26]), 32);
  EXPECT_EQ(uint8_t(b[27]), 0);
  EXPECT_EQ(U16(b, 28), 1);
  EXPECT_EQ(uint8_t(b[30]), 0);
  EXPECT_EQ(uint8_t(b[31]), 0x1B);
  EXPECT_EQ(U32(b, 32), 8u);
  EXPECT_EQ(U32(b, 36), 0u);
  EXPECT_EQ(U32(b, 40), 0u);
  EXPECT_EQ(b.substr(44, 3), std::string("\x5E\x02\x03", 3));
  EXPECT_TRUE(AllZero(b, 47, 544));

  // Tag table: one entry, the rest empty.
  const size_t e = 544;
  EXPECT_EQ(U32(b, e), 4u);
  EXPECT_EQ(b.substr(e + 4, 11), std::string("NAMES\0\0\0\0\0\0", 11));
  EXPECT_EQ(uint8_t(b[e + 15]), 0x10);
  EXPECT_EQ(b.substr(e + 16, 3), std::string("\0\0\0", 3));  // a single tag has no links
  EXPECT_EQ(uint8_t(b[e + 19]), 0x02);
  EXPECT_EQ(b[e + 20], 'C');
  EXPECT_TRUE(AllZero(b, e + 21, 2048));

  // Tag header at page 4.
  const size_t h = 4 * 512;
  EXPECT_EQ(U32(b, h), 6u);      // root
  EXPECT_EQ(U32(b, h + 4), 4u);  // pages: header block and leaf block
  EXPECT_EQ(uint8_t(b[h + 8]), 0x10);
  EXPECT_EQ(b[h + 9], 'C');
  EXPECT_EQ(U16(b, h + 12), 10);
  EXPECT_EQ(U16(b, h + 14), (1024 - 12) / 16);
  EXPECT_EQ(U16(b, h + 16), 0);
  EXPECT_EQ(U16(b, h + 18), 16);  // 10 + 4 rounded up to 4
  EXPECT_EQ(uint8_t(b[h + 20]), 0);
  EXPECT_EQ(uint8_t(b[h + 23]), 0);
  EXPECT_EQ(std::string(b.data() + h + 24), "Upper(Name)");
  EXPECT_TRUE(AllZero(b, h + 24 + 11, h + 245));
  EXPECT_EQ(uint8_t(b[h + 245]), 0);
  EXPECT_EQ(uint8_t(b[h + 246]), 1);
  EXPECT_EQ(U32(b, h + 248), 6u);
  EXPECT_EQ(U32(b, h + 252), 6u);
  EXPECT_EQ(uint8_t(b[h + 480]), 0);
  EXPECT_TRUE(AllZero(b, h + 481, h + 1024));

  // The leaf: keys in order, record numbers as pointers, no trailing pointer.
  const size_t l = 6 * 512;
  EXPECT_EQ(U32(b, l), 3u);
  EXPECT_EQ(U32(b, l + 4), 0u);
  const char* keys[] = {"AL        ", "BOB       ", "CY        "};
  const uint32_t recnos[] = {2, 1, 3};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(U32(b, l + 8 + 16 * i), recnos[i]);
    EXPECT_EQ(b.substr(l + 12 + 16 * i, 10), keys[i]);
    EXPECT_TRUE(AllZero(b, l + 22 + 16 * i, l + 24 + 16 * i));
  }
  EXPECT_TRUE(AllZero(b, l + 56, l + 1024));
}

TEST(MdxLayout, InteriorBlocksCarryChildPagesAndTheRightmostPointer) {
  MemTable t({{"QTY", 'N', 5, 0}, {"NAME", 'C', 4, 0}});
  for (int i = 0; i < 100; ++i) t.Add({{"QTY", std::to_string(100 - i)}, {"NAME", "x"}});
  Storage s;
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(s.Make(), "NUMS", t.fields(), t.recordLength(), mdx, FixedDate()).ok());
  ASSERT_TRUE(mdx->AddTag("QTY", "QTY", t).ok());
  ASSERT_TRUE(mdx->AddTag("NAME", "name", t).ok());
  const std::string& b = s.raw->bytes();

  // Two tags: the table links them as a tree by name (NAME < QTY).
  const size_t e0 = 544, e1 = 576;
  EXPECT_EQ(b.substr(e0 + 4, 3), "QTY");
  EXPECT_EQ(b[e0 + 20], 'N');
  EXPECT_EQ(b.substr(e1 + 4, 4), "NAME");
  // NAME (entry 2) is the root with QTY (entry 1) on its right.
  EXPECT_EQ(b.substr(e0 + 16, 3), std::string("\x00\x00\x02", 3));
  EXPECT_EQ(b.substr(e1 + 16, 3), std::string("\x00\x01\x00", 3));

  const size_t h = U32(b, e0) * 512;
  EXPECT_EQ(b[h + 9], 'N');
  EXPECT_EQ(U16(b, h + 12), 12);
  EXPECT_EQ(U16(b, h + 18), 16);
  EXPECT_EQ(U16(b, h + 14), 63);
  EXPECT_EQ(uint8_t(b[h + 480]), 1);  // a key on one plain field
  const size_t root = U32(b, h) * 512;
  ASSERT_EQ(U32(b, root), 1u);  // one key: two children
  uint32_t left = U32(b, root + 8), right = U32(b, root + 8 + 16);
  EXPECT_NE(left, 0u);
  EXPECT_NE(right, 0u);
  EXPECT_EQ(U32(b, left * 512), 63u);
  EXPECT_EQ(U32(b, right * 512), 37u);
  // The separator is the largest key of the left child: 63 (record 38), BCD 36 09 63.
  EXPECT_EQ(b.substr(root + 12, 3), std::string("\x36\x09\x63", 3));
  EXPECT_EQ(b.substr(left * 512 + 8 + 62 * 16 + 4, 12), b.substr(root + 12, 12));
  EXPECT_EQ(U32(b, left * 512 + 8), 100u);  // value 1 is record 100
  EXPECT_EQ(U32(b, left * 512 + 8 + 63 * 16), 0u);

  const size_t h2 = U32(b, e1) * 512;
  EXPECT_EQ(U16(b, h2 + 16), 0);
  EXPECT_EQ(uint8_t(b[h2 + 480]), 1);
}

TEST(MdxLayout, DateTagAndLastTagRemoval) {
  MemTable t({{"WHEN", 'D', 8, 0}});
  t.Add({{"WHEN", "20000101"}});
  Storage s;
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(s.Make(), "D", t.fields(), t.recordLength(), mdx, FixedDate()).ok());
  ASSERT_TRUE(mdx->AddTag("WHEN", "When", t).ok());
  const std::string& b = s.raw->bytes();
  const size_t h = 4 * 512;
  EXPECT_EQ(b[h + 9], 'D');
  EXPECT_EQ(U16(b, h + 12), 8);
  EXPECT_EQ(U16(b, h + 16), 1);
  EXPECT_EQ(U16(b, h + 18), 12);
  const size_t l = U32(b, h) * 512;
  double v;
  std::memcpy(&v, b.data() + l + 12, 8);
  EXPECT_EQ(v, 2451545.0);

  ASSERT_TRUE(mdx->DeleteTag("when").ok());
  EXPECT_EQ(U16(b, 28), 0);
  EXPECT_TRUE(AllZero(b, 544, 2048));
  EXPECT_EQ(U32(b, 40), 2u);  // both blocks on the free chain
  EXPECT_NE(U32(b, 36), 0u);
}

// A key inserted into a leaf lays the leaf out as a build of the same keys
// does, also over a leaf another tool left with bytes in its key pads, its
// free-chain link and after its last key.
TEST(MdxLayout, InsertsLayTheLeafOutAsABuildDoes) {
  MemTable t({{"NAME", 'C', 10, 0}});
  for (const char* name : {"bob", "al", "cy"}) t.Add({{"NAME", name}});
  Storage s;
  std::unique_ptr<MdxFile> mdx;
  ASSERT_TRUE(MdxFile::Create(s.Make(), "tiny", t.fields(), t.recordLength(), mdx, FixedDate()).ok());
  ASSERT_TRUE(mdx->AddTag("Names", "Upper(Name)", t).ok());
  std::string bytes = s.raw->bytes();
  const size_t l = 6 * 512;
  bytes[l + 4] = '\x7F';
  for (int i = 0; i < 3; ++i) bytes[l + 22 + 16 * i] = bytes[l + 23 + 16 * i] = '\x55';
  bytes[l + 60] = bytes[l + 1023] = '\x55';
  auto stray = std::make_unique<MemoryBlockFile>(bytes);
  MemoryBlockFile* edited = stray.get();
  ASSERT_TRUE(MdxFile::Open(std::move(stray), t.fields(), t.recordLength(), mdx, FixedDate()).ok());

  // One key among equal ones (after record 1's), one between two others.
  for (const char* name : {"bob", "ann"}) {
    const uint32_t r = t.Add({{"NAME", name}});
    ASSERT_TRUE(mdx->InsertRecord(t.Record(r), r).ok());
  }
  Storage built;
  std::unique_ptr<MdxFile> fresh;
  ASSERT_TRUE(MdxFile::Create(built.Make(), "tiny", t.fields(), t.recordLength(), fresh, FixedDate()).ok());
  ASSERT_TRUE(fresh->AddTag("Names", "Upper(Name)", t).ok());
  EXPECT_EQ(edited->bytes().substr(l, 1024), built.raw->bytes().substr(l, 1024));
  EXPECT_EQ(U32(edited->bytes(), l), 5u);
  EXPECT_EQ(U32(edited->bytes(), l + 8 + 16 * 3), 4u);  // the second BOB follows record 1
}
