#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>

#include "key_order.h"
#include "mdx/mdx_file.h"
#include "mdx_test_table.h"
#include "temp_root.h"

using namespace orb::mdx;
using mdx_test::Bytes;
using mdx_test::MemTable;

namespace {

struct Index {
  MemoryBlockFile* raw = nullptr;
  std::unique_ptr<MdxFile> mdx;
};

Index Make(MemTable& t) {
  Index ix;
  auto f = std::make_unique<MemoryBlockFile>();
  ix.raw = f.get();
  EXPECT_TRUE(MdxFile::Create(std::move(f), "T", t.fields(), t.recordLength(), ix.mdx).ok());
  return ix;
}

MdxStatus Reopen(const std::string& bytes, MemTable& t, std::unique_ptr<MdxFile>& out) {
  return MdxFile::Open(std::make_unique<MemoryBlockFile>(bytes), t.fields(), t.recordLength(), out);
}

using Oracle = std::set<std::pair<std::string, uint32_t>>;

std::vector<std::pair<std::string, uint32_t>> WalkForward(MdxFile& m, int tag) {
  std::vector<std::pair<std::string, uint32_t>> out;
  TagCursor c(m, tag);
  for (MdxStatus st = c.First(); st.ok(); st = c.Next())
    out.emplace_back(std::string(c.key().begin(), c.key().end()), c.recno());
  return out;
}

std::vector<std::pair<std::string, uint32_t>> WalkBackward(MdxFile& m, int tag) {
  std::vector<std::pair<std::string, uint32_t>> out;
  TagCursor c(m, tag);
  for (MdxStatus st = c.Last(); st.ok(); st = c.Prior())
    out.emplace_back(std::string(c.key().begin(), c.key().end()), c.recno());
  std::reverse(out.begin(), out.end());
  return out;
}

std::string KeyOf(MdxFile& m, int tag, const uint8_t* rec) {
  std::string k(m.Tag(tag).keyLength, '\0');
  m.EvaluateKey(tag, rec, reinterpret_cast<uint8_t*>(k.data()));
  return k;
}

// Memory that tears its Nth write from now: the first half of the bytes
// reach the file, then the write fails, as a failing disk can leave it.
class TearingFile : public BlockFile {
 public:
  explicit TearingFile(std::string bytes) : inner_(std::move(bytes)) {}
  void TearWrite(int n) { tearIn_ = n; }
  bool ReadAt(uint64_t offset, void* out, size_t size) override { return inner_.ReadAt(offset, out, size); }
  bool WriteAt(uint64_t offset, const void* data, size_t size) override {
    if (tearIn_ > 0 && --tearIn_ == 0) {
      inner_.WriteAt(offset, data, size / 2);
      return false;
    }
    return inner_.WriteAt(offset, data, size);
  }
  uint64_t Size() override { return inner_.Size(); }
  bool Truncate(uint64_t size) override { return inner_.Truncate(size); }
  bool Sync() override { return true; }
  int LastError() const override { return EIO; }
  const std::string& bytes() const { return inner_.bytes(); }

 private:
  MemoryBlockFile inner_;
  int tearIn_ = 0;
};

}  // namespace

// Inserts, edits and deletes in random order against a sorted set; the long
// key keeps nine keys to a block, so the tree grows several levels and
// splits, merges away empty blocks and moves separators often.
TEST(MdxTree, MaintenanceAgreesWithASortedSet) {
  MemTable t({{"NAME", 'C', 100, 0}});
  std::mt19937 rng(42);
  const char* names[] = {"", "apple", "Apple", "pear", "plum", "fig", "kiwi", "z", "a", "melon"};
  auto pick = [&] { return std::string(names[rng() % 10]) + (rng() % 3 == 0 ? std::to_string(rng() % 50) : ""); };
  for (int i = 0; i < 400; ++i) t.Add({{"NAME", pick()}});
  Index ix = Make(t);
  ASSERT_TRUE(ix.mdx->AddTag("BYNAME", "Upper(Name)", t).ok());
  Oracle oracle;
  for (uint32_t r = 1; r <= t.RecordCount(); ++r) oracle.emplace(KeyOf(*ix.mdx, 0, t.Record(r)), r);

  std::set<uint32_t> gone;  // records whose key was removed
  for (int step = 0; step < 3000; ++step) {
    int op = rng() % 10;
    if (op < 5 || oracle.empty()) {
      uint32_t r = t.Add({{"NAME", pick()}});
      ASSERT_TRUE(ix.mdx->InsertRecord(t.Record(r), r).ok()) << step;
      oracle.emplace(KeyOf(*ix.mdx, 0, t.Record(r)), r);
    } else if (op < 8) {
      uint32_t r = 1 + rng() % t.RecordCount();
      if (gone.count(r)) continue;
      auto before = t.Copy(r);
      t.Set(r, "NAME", pick());
      ASSERT_TRUE(ix.mdx->UpdateRecord(before.data(), t.Record(r), r).ok()) << step;
      oracle.erase({KeyOf(*ix.mdx, 0, before.data()), r});
      oracle.emplace(KeyOf(*ix.mdx, 0, t.Record(r)), r);
    } else {
      // Removing the key of a record, as a pack does before it renumbers.
      auto it = oracle.begin();
      std::advance(it, rng() % oracle.size());
      ASSERT_TRUE(ix.mdx->DeleteKey(0, reinterpret_cast<const uint8_t*>(it->first.data()), it->second).ok());
      gone.insert(it->second);
      oracle.erase(it);
    }
    if (step % 500 == 0) {
      std::vector<std::pair<std::string, uint32_t>> want(oracle.begin(), oracle.end());
      ASSERT_EQ(WalkForward(*ix.mdx, 0), want) << step;
    }
  }
  std::vector<std::pair<std::string, uint32_t>> want(oracle.begin(), oracle.end());
  EXPECT_EQ(WalkForward(*ix.mdx, 0), want);
  EXPECT_EQ(WalkBackward(*ix.mdx, 0), want);
  EXPECT_EQ(ix.mdx->KeyCount(0), oracle.size());

  // Reopened from its bytes, the file holds the same order and a sound tree.
  std::unique_ptr<MdxFile> again;
  ASSERT_TRUE(Reopen(ix.raw->bytes(), t, again).ok());
  EXPECT_EQ(WalkForward(*again, 0), want);

  // Deleting everything leaves an empty, sound tag.
  for (const auto& [key, r] : want)
    ASSERT_TRUE(again->DeleteKey(0, reinterpret_cast<const uint8_t*>(key.data()), r).ok());
  TagCursor c(*again, 0);
  EXPECT_EQ(c.First().code, MdxCode::kEndOfIndex);
  EXPECT_EQ(c.Last().code, MdxCode::kEndOfIndex);
}

TEST(MdxTree, BulkBuildAndInsertsKeepEqualKeysInRecordOrder) {
  MemTable t({{"CAT", 'C', 8, 0}, {"COST", 'N', 10, 2}});
  const char* cats[] = {"tools", "", "garden", "Tools", "kitchen", "garden"};
  for (int i = 0; i < 600; ++i) t.Add({{"CAT", cats[i % 6]}, {"COST", std::to_string(i % 7)}});
  Index ix = Make(t);
  ASSERT_TRUE(ix.mdx->AddTag("NEWINDEX", "Upper(Left(Cat,80))", t).ok());
  ASSERT_TRUE(ix.mdx->AddTag("COST", "COST", t).ok());
  ASSERT_TRUE(ix.mdx->CheckAll(t).ok());
  for (int i = 0; i < 300; ++i) {
    uint32_t r = t.Add({{"CAT", cats[i % 5]}, {"COST", std::to_string(-i % 4)}});
    ASSERT_TRUE(ix.mdx->InsertRecord(t.Record(r), r).ok());
  }
  MdxStatus st = ix.mdx->CheckAll(t);
  ASSERT_TRUE(st.ok()) << st.message;
  for (int tag = 0; tag < 2; ++tag) {
    auto walk = WalkForward(*ix.mdx, tag);
    ASSERT_EQ(walk.size(), t.RecordCount());
    std::string prev;
    for (size_t i = 1; i < walk.size(); ++i) {
      if (walk[i].first == walk[i - 1].first) {
        EXPECT_LT(walk[i - 1].second, walk[i].second);
      }
    }
  }
  // Blank categories come first, "GARDEN" before "KITCHEN" before "TOOLS".
  auto walk = WalkForward(*ix.mdx, 0);
  EXPECT_EQ(walk.front().first, std::string(8, ' '));
  EXPECT_EQ(walk.back().first, "TOOLS   ");
  // Numeric order by value: the negative costs first.
  auto costs = WalkForward(*ix.mdx, 1);
  EXPECT_EQ(t.Copy(costs.front().second)[t.fields()[1].offset + 8], '-');
}

// A build orders keys by their bytes as unsigned values, equal keys by
// record number: keys of lengths that are not whole multiples of eight,
// that differ only in their last byte, share long prefixes, or repeat in
// runs both short and long.
TEST(MdxTree, BuildOrdersKeysByBytesThenRecordNumber) {
  struct Case {
    int width;
    int prefix;  // bytes every key starts with
    int varying;  // bytes after it drawn from the alphabet, the rest blank
    int records;
  };
  const Case cases[] = {{1, 0, 1, 300}, {13, 0, 13, 2000}, {21, 20, 1, 700}, {40, 9, 3, 3000}, {100, 90, 10, 500}};
  const char alphabet[] = {'a', 'b', ' ', '\xE9', '\x7F', '\x01'};
  for (const Case& c : cases) {
    MemTable t({{"NAME", 'C', c.width, 0}});
    std::mt19937 rng(c.width);
    for (int i = 0; i < c.records; ++i) {
      std::string v(c.prefix, 'p');
      for (int k = 0; k < c.varying; ++k) v.push_back(alphabet[rng() % (i % 3 == 0 ? 2 : 6)]);
      t.Add({{"NAME", v}});
    }
    Index ix = Make(t);
    ASSERT_TRUE(ix.mdx->AddTag("BYNAME", "NAME", t).ok());
    std::vector<std::pair<std::string, uint32_t>> want;
    for (uint32_t r = 1; r <= t.RecordCount(); ++r) want.emplace_back(KeyOf(*ix.mdx, 0, t.Record(r)), r);
    std::sort(want.begin(), want.end(), [](const auto& a, const auto& b) {
      int d = std::memcmp(a.first.data(), b.first.data(), a.first.size());
      return d != 0 ? d < 0 : a.second < b.second;
    });
    EXPECT_EQ(WalkForward(*ix.mdx, 0), want) << "width " << c.width;
    EXPECT_TRUE(ix.mdx->RebuildTag(0, t).ok());
    EXPECT_EQ(WalkForward(*ix.mdx, 0), want) << "width " << c.width << ", rebuilt";
  }
}

// The order of language driver `ldid` through SLW32 and the shipped
// locale files, registered once for the program.
std::shared_ptr<const orb::KeyOrder> DriverOrder(uint8_t ldid) {
  static testing_support::TempRoot* root = [] {
    auto* r = new testing_support::TempRoot();
    r->RegisterShippedLocales();
    return r;
  }();
  (void)root;
  return orb::KeyOrder::ForDriver(ldid);
}

// A build in a driver's order walks its records as a stable sort by the
// driver's exact compare of their keys: with the weights (0x57) and
// without (0x65; 0x7B, of characters of one and two bytes, where the high
// bytes also make lead bytes alone at a key's end and before bytes that
// are no second byte). Keys of several fields, long shared prefixes, case
// and accents that differ only past the first level, repeated and blank
// keys, every single byte, and letters that weigh as two.
TEST(MdxTree, BuildInADriversOrderWalksAsAStableSortByTheDriversCompare) {
  const std::string letters = std::string("aAeE\xE9\xC9\xE8zZ \xDF\xE6\xC6-'09\x01\x7F\xFF\xF1\0", 22);
  struct Case {
    const char* what;
    MemTable table;
    const char* expression;
    std::function<std::string(std::mt19937&, int)> value;  // of the first field; others as below
  };
  const char* kCategories[] = {"Furniture", "\xC9lectronique", "\xE9lan", "Eclair", "ECLAIR", "", "  Lead", "eclair"};
  auto word = [&](std::mt19937& g, size_t most) {
    std::string w(g() % (most + 1), ' ');
    for (char& c : w) c = letters[g() % letters.size()];
    return w;
  };
  Case cases[] = {
      {"several fields", MemTable({{"CAT", 'C', 20, 0}, {"COST", 'N', 12, 2}, {"ITEM", 'C', 20, 0}, {"WHEN", 'D', 8, 0}}),
       "Upper(Left(Cat,20))+STR(Cost,12,2)+Upper(Left(Item,20))+DTOS(When)",
       [&](std::mt19937& g, int) { return std::string(kCategories[g() % std::size(kCategories)]); }},
      {"long shared prefixes", MemTable({{"NAME", 'C', 100, 0}}), "NAME",
       [&](std::mt19937& g, int i) { return std::string(i % 2 ? 90 : 60, i % 5 ? 'p' : '\xE9') + word(g, 10); }},
      {"repeated keys alike at the first level", MemTable({{"NAME", 'C', 12, 0}}), "NAME",
       [](std::mt19937& g, int) {
         const char* v[] = {"", "same", "Same", "s\xE1me", "SAME", " same", "sam", "x", "same-"};
         return std::string(v[g() % std::size(v)]);
       }},
      {"every single byte", MemTable({{"ONE", 'C', 1, 0}}), "ONE",
       [](std::mt19937&, int i) { return std::string(1, static_cast<char>(i * 97 % 256)); }},
      {"letters that weigh as two", MemTable({{"NAME", 'C', 4, 0}}), "NAME",
       [](std::mt19937& g, int) {
         std::string w(4, ' ');
         for (char& c : w) c = "\xDF\xE6\xC6sSaE"[g() % 7];
         return w;
       }},
      {"anything", MemTable({{"NAME", 'C', 20, 0}}), "Upper(NAME)", [&](std::mt19937& g, int) { return word(g, 20); }},
  };
  for (uint8_t ldid : {0x57, 0x65, 0x7B}) {
    auto order = DriverOrder(ldid);
    ASSERT_TRUE(order->collates()) << "SLW32 or the locale files are missing";
    ASSERT_EQ(order->HasWeights(), ldid == 0x57);
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << ", driver " << int(ldid));
      MemTable t = c.table;
      std::mt19937 g(ldid);
      for (int i = 0; i < 2000; ++i) {
        uint32_t r = t.Add({{t.fields()[0].name.c_str(), c.value(g, i)}});
        if (t.fields().size() > 1) {
          t.Set(r, "COST", std::to_string(g() % (i % 3 ? 100 : 100000)) + "." + std::to_string(g() % 100));
          t.Set(r, "ITEM", word(g, 8));
          t.Set(r, "WHEN", g() % 7 ? "1999010" + std::to_string(1 + g() % 3) : "");
        }
      }
      auto file = std::make_unique<MemoryBlockFile>();
      std::unique_ptr<MdxFile> m;
      MdxFile::Options options;
      options.order = order;
      ASSERT_TRUE(MdxFile::Create(std::move(file), "T", t.fields(), t.recordLength(), m, options).ok());
      ASSERT_TRUE(m->AddTag("KEY", c.expression, t).ok());
      std::vector<std::string> keys(t.RecordCount() + 1);
      std::vector<uint32_t> want(t.RecordCount());
      for (uint32_t r = 1; r <= t.RecordCount(); ++r) {
        keys[r] = KeyOf(*m, 0, t.Record(r));
        want[r - 1] = r;
      }
      std::stable_sort(want.begin(), want.end(), [&](uint32_t a, uint32_t b) {
        const auto* x = reinterpret_cast<const uint8_t*>(keys[a].data());
        const auto* y = reinterpret_cast<const uint8_t*>(keys[b].data());
        return order->Compare(x, keys[a].size(), y, keys[b].size(), true) < 0;
      });
      std::vector<uint32_t> walked;
      for (const auto& [key, recno] : WalkForward(*m, 0)) walked.push_back(recno);
      EXPECT_EQ(walked, want);
    }
  }
}

TEST(MdxTree, SeeksWithWholeAndPartialKeys) {
  MemTable t({{"NAME", 'C', 10, 0}});
  const char* names[] = {"delta", "alpha", "charlie", "bravo", "alpha", "echo", "", "charles"};
  for (const char* n : names) t.Add({{"NAME", n}});
  Index ix = Make(t);
  ASSERT_TRUE(ix.mdx->AddTag("N", "Upper(Name)", t).ok());
  struct Row {
    const char* key;
    bool exact;
    MdxCode code;
    uint32_t recno;  // where the cursor lands (0: nowhere)
  } rows[] = {
      {"ALPHA", true, MdxCode::kOk, 2},       {"ALPHA     ", true, MdxCode::kOk, 2},
      {"CHARL", true, MdxCode::kOk, 8},       {"CHARLI", true, MdxCode::kOk, 3},
      {"B", true, MdxCode::kOk, 4},           {"BETA", true, MdxCode::kNotFound, 4},
      {"BETA", false, MdxCode::kOk, 4},       {"ZULU", true, MdxCode::kNotFound, 0},
      {"ZULU", false, MdxCode::kEndOfIndex, 0}, {"", false, MdxCode::kOk, 7},
      {"alpha", true, MdxCode::kNotFound, 0},  // keys are upper case; compare is by byte
      {"E", false, MdxCode::kOk, 6},
  };
  for (const Row& row : rows) {
    TagCursor c(*ix.mdx, 0);
    std::vector<uint8_t> k = Bytes(row.key);
    MdxStatus st = row.exact ? c.SeekExact(k) : c.SeekNearest(k);
    EXPECT_EQ(st.code, row.code) << row.key;
    if (row.recno) {
      EXPECT_TRUE(c.valid()) << row.key;
      EXPECT_EQ(c.recno(), row.recno) << row.key;
    }
  }
  // Next after an exact seek on a duplicate reaches the second equal key.
  TagCursor c(*ix.mdx, 0);
  ASSERT_TRUE(c.SeekExact(Bytes("ALPHA")).ok());
  ASSERT_TRUE(c.Next().ok());
  EXPECT_EQ(c.recno(), 5u);
}

TEST(MdxTree, RangesBoundTheWalk) {
  MemTable t({{"NAME", 'C', 6, 0}});
  for (const char* n : {"ant", "bee", "bat", "cat", "cow", "dog", "bug"}) t.Add({{"NAME", n}});
  Index ix = Make(t);
  ASSERT_TRUE(ix.mdx->AddTag("N", "Upper(Name)", t).ok());
  struct Row {
    const char* low;
    const char* high;
    std::vector<uint32_t> forward;
  } rows[] = {
      {"B", "B", {3, 2, 7}},     {"BE", "C", {2, 7, 4, 5}}, {"", "BAT", {1, 3}},
      {"CO", "", {5, 6}},        {"X", "Z", {}},            {"C", "B", {}},
  };
  for (const Row& row : rows) {
    TagCursor c(*ix.mdx, 0);
    c.SetRange(Bytes(row.low), Bytes(row.high));
    std::vector<uint32_t> got, back;
    for (MdxStatus st = c.First(); st.ok(); st = c.Next()) got.push_back(c.recno());
    for (MdxStatus st = c.Last(); st.ok(); st = c.Prior()) back.push_back(c.recno());
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(got, row.forward) << row.low << ".." << row.high;
    EXPECT_EQ(back, row.forward) << row.low << ".." << row.high;
  }
  TagCursor c(*ix.mdx, 0);
  c.SetRange(Bytes("B"), Bytes("B"));
  c.ClearRange();
  ASSERT_TRUE(c.Last().ok());
  EXPECT_EQ(c.recno(), 6u);
}

TEST(MdxTree, CursorFindsItsPlaceAgainAfterChanges) {
  MemTable t({{"NAME", 'C', 100, 0}});
  for (int i = 0; i < 200; ++i) t.Add({{"NAME", std::to_string(1000 + i)}});
  Index ix = Make(t);
  ASSERT_TRUE(ix.mdx->AddTag("N", "Name", t).ok());
  TagCursor c(*ix.mdx, 0);
  ASSERT_TRUE(c.SeekExact(Bytes("1100")).ok());
  ASSERT_EQ(c.recno(), 101u);
  // Its own key deleted: the next entry is the one after it.
  ASSERT_TRUE(ix.mdx->DeleteRecord(t.Record(101), 101).ok());
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(ix.mdx->DeleteRecord(t.Record(150 + i), 150 + i).ok());
  ASSERT_TRUE(c.Next().ok());
  EXPECT_EQ(c.recno(), 102u);
  ASSERT_TRUE(c.Prior().ok());
  EXPECT_EQ(c.recno(), 100u);
  // Keys inserted around it leave it where it was.
  uint32_t r = t.Add({{"NAME", "1099a"}});
  ASSERT_TRUE(ix.mdx->InsertRecord(t.Record(r), r).ok());
  ASSERT_TRUE(c.Next().ok());
  EXPECT_EQ(c.recno(), r);
}

TEST(MdxTree, TagsAreAddedFoundAndDeletedByName) {
  MemTable t({{"NAME", 'C', 10, 0}, {"QTY", 'N', 4, 0}});
  t.Add({{"NAME", "x"}, {"QTY", "1"}});
  Index ix = Make(t);
  struct Row {
    const char* name;
    const char* expr;
    MdxCode code;
  } rows[] = {
      {"NewIndex", "Upper(Left(Name,80))", MdxCode::kOk},
      {"NEWINDEX", "Name", MdxCode::kTagExists},
      {"", "Name", MdxCode::kBadTagName},
      {"ELEVENCHARS", "Name", MdxCode::kBadTagName},
      {"1ST", "Name", MdxCode::kBadTagName},
      {"BAD", "Upper(Nope)", MdxCode::kBadExpression},
      {"QTY", "qty", MdxCode::kOk},
  };
  for (const Row& row : rows) EXPECT_EQ(ix.mdx->AddTag(row.name, row.expr, t).code, row.code) << row.name;
  ASSERT_EQ(ix.mdx->TagCount(), 2);
  EXPECT_EQ(ix.mdx->FindTag("newindex"), 0);
  EXPECT_EQ(ix.mdx->Tag(0).name, "NEWINDEX");
  EXPECT_EQ(ix.mdx->Tag(0).expression, "Upper(Left(Name,80))");
  EXPECT_EQ(ix.mdx->Tag(1).type, KeyType::kNumeric);
  EXPECT_EQ(ix.mdx->Tag(1).plainField, 1);
  EXPECT_EQ(ix.mdx->DeleteTag("gone").code, MdxCode::kTagMissing);
  ASSERT_TRUE(ix.mdx->DeleteTag("NewIndex").ok());
  EXPECT_EQ(ix.mdx->FindTag("NEWINDEX"), -1);

  // The table holds 47 tags; freed blocks are used again.
  for (int i = ix.mdx->TagCount(); i < kMaxTags; ++i)
    ASSERT_TRUE(ix.mdx->AddTag("T" + std::to_string(i), "Name", t).ok()) << i;
  EXPECT_EQ(ix.mdx->AddTag("ONEMORE", "Name", t).code, MdxCode::kTooManyTags);
  size_t size = ix.raw->bytes().size();
  ASSERT_TRUE(ix.mdx->DeleteTag("T5").ok());
  ASSERT_TRUE(ix.mdx->AddTag("AGAIN", "Name", t).ok());
  EXPECT_EQ(ix.raw->bytes().size(), size);
  std::unique_ptr<MdxFile> again;
  ASSERT_TRUE(Reopen(ix.raw->bytes(), t, again).ok());
  EXPECT_EQ(again->TagCount(), kMaxTags);
  EXPECT_TRUE(again->CheckAll(t).ok());
}

TEST(MdxTree, CheckFindsAnIndexThatDisagreesWithItsTable) {
  MemTable t({{"NAME", 'C', 10, 0}});
  for (int i = 0; i < 300; ++i) t.Add({{"NAME", "n" + std::to_string(i % 37)}});
  Index ix = Make(t);
  ASSERT_TRUE(ix.mdx->AddTag("N", "Upper(Name)", t).ok());
  ASSERT_TRUE(ix.mdx->Check(0, t).ok());

  struct Row {
    const char* what;
    std::function<void(MemTable&)> edit;
  } rows[] = {
      {"a record edited by another tool", [](MemTable& m) { m.Set(17, "NAME", "changed"); }},
      {"a record appended without its key", [](MemTable& m) { m.Add({{"NAME", "new"}}); }},
      {"a record lost", [](MemTable& m) { m.Remove(m.RecordCount()); }},
  };
  for (const Row& row : rows) {
    MemTable copy = t;
    row.edit(copy);
    EXPECT_EQ(ix.mdx->Check(0, copy).code, MdxCode::kMismatch) << row.what;
    // Regenerating from the table mends it.
    std::unique_ptr<MdxFile> fixed;
    ASSERT_TRUE(Reopen(ix.raw->bytes(), copy, fixed).ok());
    ASSERT_TRUE(fixed->RegenerateAll(copy).ok());
    EXPECT_TRUE(fixed->Check(0, copy).ok()) << row.what;
  }
}

// Damage at chosen places: the file either fails to open with kCorrupt, or
// its walk and check report the damage; nothing reads past the file and a
// regenerate from the table mends every damaged tree.
TEST(MdxTree, DamagedFilesAreReportedAndRegenerated) {
  MemTable t({{"NAME", 'C', 40, 0}});
  for (int i = 0; i < 500; ++i) t.Add({{"NAME", "item " + std::to_string(i * 7919 % 1000)}});
  Index ix = Make(t);
  ASSERT_TRUE(ix.mdx->AddTag("N", "Upper(Name)", t).ok());
  const std::string good = ix.raw->bytes();
  const size_t tagHeader = 4 * 512;
  uint32_t root = uint8_t(good[tagHeader]) | uint8_t(good[tagHeader + 1]) << 8;

  struct Row {
    const char* what;
    std::function<void(std::string&)> damage;
    bool opens;
  } rows[] = {
      {"empty file", [](std::string& b) { b.clear(); }, false},
      {"truncated after the header", [](std::string& b) { b.resize(2048 + 100); }, false},
      {"torn last block", [](std::string& b) { b.resize(b.size() - 512); }, false},
      {"wrong version", [](std::string& b) { b[0] = 3; }, false},
      {"block size disagrees", [](std::string& b) { b[22] = 7; }, false},
      {"too many tags", [](std::string& b) { b[28] = 60; }, false},
      {"tag header page past the end", [](std::string& b) { b[544 + 2] = 0x7F; }, false},
      {"key length too long", [](std::string& b) { b[tagHeader + 12] = static_cast<char>(200); }, false},
      {"item length wrong", [](std::string& b) { b[tagHeader + 18] = 3; }, false},
      {"expression not terminated", [](std::string& b) { std::fill(b.begin() + tagHeader + 24, b.begin() + tagHeader + 246, 'x'); }, false},
      {"root past the end", [](std::string& b) { b[tagHeader + 2] = 0x7F; }, false},
      {"key count too large", [root](std::string& b) { b[root * 512 + 1] = 0x7F; }, true},
      {"child pointer into the header", [root](std::string& b) { b[root * 512 + 8] = 1; b[root * 512 + 9] = 0; }, true},
      {"child pointer past the end", [root](std::string& b) { b[root * 512 + 8 + 44 + 2] = 0x7F; }, true},
      {"root points to itself", [root](std::string& b) {
         b[root * 512 + 8] = static_cast<char>(root & 0xFF);
         b[root * 512 + 9] = static_cast<char>(root >> 8);
       }, true},
      {"keys swapped in a leaf", [](std::string& b) {
         std::swap_ranges(b.begin() + 6 * 512 + 12, b.begin() + 6 * 512 + 52, b.begin() + 6 * 512 + 12 + 44);
       }, true},
      {"record number changed", [](std::string& b) { b[6 * 512 + 8] = 99; }, true},
  };
  for (const Row& row : rows) {
    std::string bytes = good;
    row.damage(bytes);
    std::unique_ptr<MdxFile> m;
    MdxStatus st = Reopen(bytes, t, m);
    if (!row.opens) {
      EXPECT_EQ(st.code, MdxCode::kCorrupt) << row.what << ": " << st.message;
      continue;
    }
    ASSERT_TRUE(st.ok()) << row.what << ": " << st.message;
    MdxStatus check = m->Check(0, t);
    EXPECT_TRUE(check.code == MdxCode::kCorrupt || check.code == MdxCode::kMismatch)
        << row.what << ": " << check.message;
    WalkForward(*m, 0);  // bounded, whatever it finds
    WalkBackward(*m, 0);
    uint32_t r = t.Add({{"NAME", "inserted"}});
    m->InsertRecord(t.Record(r), r);  // may fail; must not crash
    t.Remove(r);
    ASSERT_TRUE(m->RegenerateAll(t).ok()) << row.what;
    EXPECT_TRUE(m->Check(0, t).ok()) << row.what;
  }
}

TEST(MdxTree, DiskFileSurvivesReopen) {
  testing_support::TempRoot root;
  MemTable t = MemTable::Inventory();
  for (int i = 0; i < 50; ++i)
    t.Add({{"Category", i % 2 ? "b" : "a"}, {"Cost", std::to_string(i)}, {"PurchDate", "20010203"}});
  std::string path = (root.path() / "MASTER.MDX").string();
  {
    std::unique_ptr<MdxFile> m;
    ASSERT_TRUE(MdxFile::Create(OpenDiskFile(path, true, false), "MASTER", t.fields(), t.recordLength(), m).ok());
    ASSERT_TRUE(m->AddTag("NEWINDEX", "Upper(Left(Category,40))+STR(Cost,12,2)", t).ok());
    uint32_t r = t.Add({{"Category", "a"}, {"Cost", "7.5"}});
    ASSERT_TRUE(m->InsertRecord(t.Record(r), r).ok());
    ASSERT_TRUE(m->Sync().ok());
  }
  std::unique_ptr<MdxFile> m;
  ASSERT_TRUE(MdxFile::Open(OpenDiskFile(path, false, true), t.fields(), t.recordLength(), m).ok());
  EXPECT_TRUE(m->Check(0, t).ok());
  TagCursor c(*m, 0);
  ASSERT_TRUE(c.SeekExact(Bytes(std::string("A") + std::string(19, ' ') + "        7.50")).ok());
  EXPECT_EQ(c.recno(), 51u);
  EXPECT_EQ(std::filesystem::file_size(path) % 512, 0u);
}

// A cursor whose last move failed on damage has no entry to find again;
// moving it after the tag changed once read a key it never had.
TEST(MdxTree, CursorThatNeverLandedStaysHarmlessAfterAChange) {
  MemTable t({{"QTY", 'N', 6, 0}});
  for (int i = 0; i < 200; ++i) t.Add({{"QTY", std::to_string(i)}});
  Index ix = Make(t);
  ASSERT_TRUE(ix.mdx->AddTag("QTY", "QTY", t).ok());
  std::string bytes = ix.raw->bytes();
  uint32_t root = uint8_t(bytes[4 * 512]) | uint8_t(bytes[4 * 512 + 1]) << 8;
  uint32_t firstLeaf = uint8_t(bytes[root * 512 + 8]) | uint8_t(bytes[root * 512 + 9]) << 8;
  bytes[firstLeaf * 512 + 1] = 0x7F;  // the first leaf claims too many keys
  std::unique_ptr<MdxFile> m;
  ASSERT_TRUE(Reopen(bytes, t, m).ok());
  TagCursor c(*m, 0);
  EXPECT_EQ(c.First().code, MdxCode::kCorrupt);
  uint32_t r = t.Add({{"QTY", "999"}});
  EXPECT_TRUE(m->InsertRecord(t.Record(r), r).ok());  // lands in the sound right-hand leaf
  EXPECT_EQ(c.Next().code, MdxCode::kEndOfIndex);
  EXPECT_EQ(c.Prior().code, MdxCode::kEndOfIndex);
  ASSERT_TRUE(m->RegenerateAll(t).ok());
  EXPECT_TRUE(c.First().ok());
}

// A change whose write fails part way may have rewritten part of a page the
// file held, the first such write included: the file is then torn (never
// vouched for by a new stamp: the engine rebuilds it), whichever of the
// change's writes it was.
TEST(MdxTree, AWriteTornPartWayLeavesTheFileTornEvenWhenItWasTheFirst) {
  MemTable t({{"NAME", 'C', 20, 0}});
  for (int i = 0; i < 200; ++i) t.Add({{"NAME", "part" + std::to_string(i % 37)}});
  Index ix = Make(t);
  ASSERT_TRUE(ix.mdx->AddTag("BYNAME", "NAME", t).ok());
  const std::string start = ix.raw->bytes();
  const uint32_t r = t.Add({{"NAME", "part5"}});  // into a leaf the file holds, in place
  for (int write = 1;; ++write) {
    auto f = std::make_unique<TearingFile>(start);
    TearingFile* raw = f.get();
    std::unique_ptr<MdxFile> m;
    ASSERT_TRUE(MdxFile::Open(std::move(f), t.fields(), t.recordLength(), m).ok());
    raw->TearWrite(write);
    const MdxStatus st = m->InsertRecord(t.Record(r), r);
    if (st.ok()) {
      ASSERT_GT(write, 1) << "the insert wrote nothing";
      break;
    }
    EXPECT_TRUE(m->Torn()) << "write " << write << " of the insert was torn";
  }
}
