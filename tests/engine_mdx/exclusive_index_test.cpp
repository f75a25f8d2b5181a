// The production index of an exclusive open holds its changes until a
// checkpoint: reads see them at once, operations on the index file find
// them written, a failure to write them loses none, and the closed files
// are those an open that writes every change leaves.
#include <gtest/gtest.h>

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "fault.h"
#include "mdx/mdx_file.h"
#include "orbex32.h"

using engine_test::EngineTest;
using engine_test::Field;

namespace {

uint32_t Get32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
  return v;
}

class ExclusiveIndexTest : public EngineTest {
 protected:
  // STUFF with two tags and ten records, closed.
  void SetUp() override {
    EngineTest::SetUp();
    MakeStuff(db_);
  }

  void MakeStuff(OrbDatabase db) {
    const std::vector<OrbFieldDesc> fields = {Field("CATEGORY", 'C', 20), Field("COST", 'N', 12, 2)};
    ASSERT_EQ(EngineCreateTable(db, "STUFF", static_cast<uint16_t>(fields.size()), fields.data(), 0), ORB_OK);
    OrbCursor c = 0;
    ASSERT_EQ(EngineOpenTable(db, "STUFF", ORB_OPEN_EXCLUSIVE, &c), ORB_OK);
    for (int i = 0; i < 10; ++i) Add(c, ("start" + std::to_string(i)).c_str(), i);
    ASSERT_EQ(AddIndex(db, c, "BYCAT", "Upper(CATEGORY)"), ORB_OK);
    ASSERT_EQ(AddIndex(db, c, "BYCOST", "STR(COST,12,2)"), ORB_OK);
    ASSERT_EQ(EngineCloseCursor(c), ORB_OK);
  }

  static OrbResult AddIndex(OrbDatabase db, OrbCursor c, const char* name, const char* expr) {
    OrbIndexDesc d{};
    std::strcpy(d.tagName, name);
    std::strcpy(d.expression, expr);
    d.options = ORB_IDX_EXPRESSION;
    return EngineAddIndex(db, c, nullptr, &d);
  }

  OrbResult Add(OrbCursor c, const char* category, double cost) {
    std::vector<uint8_t> rec = Buffer(c);
    EngineInitRecord(c, rec.data(), rec.size());
    EnginePutField(c, 1, rec.data(), category);
    EnginePutField(c, 2, rec.data(), &cost);
    return EngineInsertRecord(c, rec.data(), rec.size());
  }

  OrbResult Modify(OrbCursor c, uint32_t n, const char* category) {
    std::vector<uint8_t> rec = Buffer(c);
    OrbResult r = EngineSetToRecordNo(c, n);
    if (r == ORB_OK) r = EngineGetRecord(c, rec.data(), rec.size(), nullptr);
    EnginePutField(c, 1, rec.data(), category);
    return r == ORB_OK ? EngineModifyRecord(c, rec.data(), rec.size()) : r;
  }

  // The visible records' categories in the cursor's order.
  std::vector<std::string> Walk(OrbCursor c, const char* tag) {
    std::vector<std::string> out;
    EXPECT_EQ(EngineSwitchToIndex(c, tag), ORB_OK);
    EngineSetToBegin(c);
    std::vector<uint8_t> rec = Buffer(c);
    while (EngineGetNextRecord(c, rec.data(), rec.size(), nullptr) == ORB_OK) out.push_back(Text(c, 1, rec.data()));
    return out;
  }

  // The index file on disk holds the table's state: its stamp names the
  // table's change counter, count and deleted records, and each tag read
  // from the file alone holds every record's key.
  void ExpectFileInStep(const std::string& table) {
    const std::string dbf = Read(table + ".DBF");
    const std::string mdx = Read(table + ".MDX");
    ASSERT_GE(mdx.size(), 2048u);
    EXPECT_EQ(mdx.substr(48, 4), std::string("SW\x01\x01", 4));
    EXPECT_EQ(Get32(mdx, 52), Get32(dbf, 16)) << "the index file's stamp lags the table";
    EXPECT_EQ(Get32(mdx, 56), Get32(dbf, 4));
    const size_t header = static_cast<uint8_t>(dbf[8]) | static_cast<uint8_t>(dbf[9]) << 8;
    const size_t length = static_cast<uint8_t>(dbf[10]) | static_cast<uint8_t>(dbf[11]) << 8;
    uint32_t deleted = 0;
    for (uint32_t n = 0; n < Get32(dbf, 4); ++n) deleted += dbf.at(header + n * length) == '*';
    EXPECT_EQ(Get32(mdx, 68), deleted) << "the index file's stamp names other deleted records";
    const std::vector<orb::mdx::FieldDesc> fields = {{"CATEGORY", 'C', 1, 20, 0}, {"COST", 'N', 21, 12, 2}};
    std::unique_ptr<orb::mdx::MdxFile> m;
    ASSERT_TRUE(orb::mdx::MdxFile::Open(std::make_unique<orb::mdx::MemoryBlockFile>(mdx), fields, 33, m).ok());
    for (int tag = 0; tag < m->TagCount(); ++tag) EXPECT_EQ(m->KeyCount(tag), Get32(dbf, 4)) << m->Tag(tag).name;
  }
};

}  // namespace

// Appends, an edit and a deletion in an exclusive open are seen by walks,
// seeks and counts at once, also after a forced re-read, while the index
// file is left as it was; the close writes them.
TEST_F(ExclusiveIndexTest, ReadsSeeHeldChangesAtOnce) {
  const std::string before = Read("STUFF.MDX");
  OrbCursor c = Open("STUFF", ORB_OPEN_EXCLUSIVE);
  for (int i = 0; i < 60; ++i) ASSERT_EQ(Add(c, ("held" + std::to_string(i % 7)).c_str(), 100 + i), ORB_OK);
  ASSERT_EQ(Modify(c, 3, "aardvark"), ORB_OK);  // was start2
  ASSERT_EQ(EngineSetToRecordNo(c, 20), ORB_OK);
  ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
  EXPECT_EQ(Read("STUFF.MDX"), before) << "a held change reached the file";

  const std::vector<std::string> walk = Walk(c, "BYCAT");
  ASSERT_EQ(walk.size(), 69u);
  EXPECT_EQ(walk.front(), "aardvark");
  EXPECT_TRUE(std::is_sorted(walk.begin(), walk.end(), [](const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }));
  EXPECT_EQ(EngineSetToKeyText(c, ORB_KEY_EQ, "HELD6", 5), ORB_OK);
  EXPECT_EQ(EngineSetToKeyText(c, ORB_KEY_EQ, "START2", 6), ORB_ERR_NOT_FOUND);
  uint32_t count = 0;
  ASSERT_EQ(EngineGetRecordCount(c, &count), ORB_OK);
  EXPECT_EQ(count, 69u);
  EXPECT_EQ(Walk(c, "BYCOST").size(), 69u);

  ASSERT_EQ(EngineForceReread(c), ORB_OK);
  EXPECT_EQ(Walk(c, "BYCAT"), walk);
  EXPECT_EQ(Read("STUFF.MDX"), before);

  ASSERT_EQ(EngineCloseCursor(c), ORB_OK);
  open_.clear();
  ExpectFileInStep("STUFF");
  c = Open("STUFF", ORB_OPEN_READ_ONLY);
  EXPECT_EQ(Walk(c, "BYCAT"), walk);
}

// Every engine operation that reads, replaces or checks the index file
// finds the held changes written first: right after it, the file alone
// holds every record, stamped with the table's counter.
TEST_F(ExclusiveIndexTest, OperationsOnTheIndexFileFindHeldChangesWritten) {
  struct Case {
    const char* name;
    std::function<OrbResult(OrbCursor)> op;
  } cases[] = {
      {"add a tag", [&](OrbCursor c) { return AddIndex(db_, c, "THIRD", "Upper(CATEGORY)+STR(COST,12,2)"); }},
      {"delete a tag", [&](OrbCursor c) { return EngineDeleteIndex(db_, c, nullptr, "BYCOST"); }},
      {"rebuild", [&](OrbCursor c) { return EngineRegenIndexes(c); }},
      {"pack", [&](OrbCursor c) { return EnginePack(db_, c, nullptr, "DBASE", 1); }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    OrbCursor c = Open("STUFF", ORB_OPEN_EXCLUSIVE);
    for (int i = 0; i < 30; ++i) ASSERT_EQ(Add(c, ("more" + std::to_string(i)).c_str(), i), ORB_OK);
    ASSERT_EQ(Modify(c, 2, "changed"), ORB_OK);
    ASSERT_EQ(k.op(c), ORB_OK);
    ExpectFileInStep("STUFF");
    const std::vector<std::string> walk = Walk(c, "BYCAT");
    EXPECT_EQ(walk.front(), "changed");
    EngineCloseCursor(c);
    open_.clear();
  }
}

// A call whose checkpoint fails (a full disk at any of its first writes)
// fails, and the open index keeps every change held before it: the walk
// in the same cursor holds them, later changes follow, and the close
// writes an index in step. The checkpoint of an append whose held blocks
// passed their limit, and the one before a tag is added.
TEST_F(ExclusiveIndexTest, AFailedCheckpointLosesNoHeldChange) {
  struct Case {
    const char* name;
    size_t limit;
    int firstWrite;  // of the checkpoint
    std::function<OrbResult(OrbCursor)> call;
  } cases[] = {
      // The record and the count go first, then what the index held.
      {"an append past the held limit", 1, 3, [&](OrbCursor c) { return Add(c, "refused", 1); }},
      {"a tag added", orb::mdx::HeldLimit(), 1,
       [&](OrbCursor c) { return AddIndex(db_, c, "REFUSED", "STR(COST,12,2)"); }},
  };
  const size_t limit = orb::mdx::HeldLimit();
  for (const Case& k : cases) {
   for (int write = k.firstWrite; write < k.firstWrite + 3; ++write) {
    SCOPED_TRACE(std::string(k.name) + ", disk full at write " + std::to_string(write));
    orb::mdx::SetHeldLimit(k.limit);
    OrbCursor c = Open("STUFF", ORB_OPEN_EXCLUSIVE);
    const size_t before = Walk(c, "BYCAT").size();
    for (int i = 0; i < 20; ++i) ASSERT_EQ(Add(c, ("held" + std::to_string(i)).c_str(), i), ORB_OK);
    orb::fault::Arm(orb::fault::Plan{write, ENOSPC, false, true});
    EXPECT_EQ(k.call(c), ORB_ERR_DISK_FULL);
    orb::fault::Disarm();
    std::vector<std::string> walk = Walk(c, "BYCAT");
    EXPECT_EQ(walk.size(), before + 20);
    EXPECT_EQ(std::count(walk.begin(), walk.end(), "refused"), 0);
    for (int i = 20; i < 25; ++i) ASSERT_EQ(Add(c, ("held" + std::to_string(i)).c_str(), i), ORB_OK);
    walk = Walk(c, "BYCAT");
    EXPECT_EQ(walk.size(), before + 25);
    ASSERT_EQ(EngineCloseCursor(c), ORB_OK);
    open_.clear();
    orb::mdx::SetHeldLimit(limit);
    ExpectFileInStep("STUFF");
    c = Open("STUFF", ORB_OPEN_READ_ONLY);
    EXPECT_EQ(Walk(c, "BYCAT"), walk);
    EngineCloseCursor(c);
    open_.clear();
    if (HasFailure()) return;
   }
  }
}

// The same calls in an exclusive open (its index written at the close)
// and in a shared one (every change written as it is made) leave the same
// table and index, byte for byte.
TEST_F(ExclusiveIndexTest, TheClosedFilesAreThoseOfAnOpenThatWritesEveryChange) {
  const std::filesystem::path other = root_.path() / "OTHER";
  std::filesystem::create_directories(other);
  OrbDatabase otherDb = 0;
  ASSERT_EQ(EngineOpenDatabase(other.c_str(), &otherDb), ORB_OK);
  MakeStuff(otherDb);
  auto run = [&](OrbDatabase db, uint16_t mode) {
    OrbCursor c = 0;
    ASSERT_EQ(EngineOpenTable(db, "STUFF", mode, &c), ORB_OK);
    for (int i = 0; i < 400; ++i) ASSERT_EQ(Add(c, ("item" + std::to_string(i * 7919 % 400)).c_str(), i % 13), ORB_OK);
    for (uint32_t n = 5; n <= 400; n += 37) ASSERT_EQ(Modify(c, n, ("moved" + std::to_string(n)).c_str()), ORB_OK);
    for (uint32_t n = 8; n <= 400; n += 51) {
      ASSERT_EQ(EngineSetToRecordNo(c, n), ORB_OK);
      ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
    }
    ASSERT_EQ(EngineCloseCursor(c), ORB_OK);
  };
  run(db_, ORB_OPEN_EXCLUSIVE);
  run(otherDb, ORB_OPEN_SHARED);
  EngineCloseDatabase(otherDb);
  EXPECT_EQ(Read("STUFF.DBF"), testing_support::TempRoot::ReadFile(other / "STUFF.DBF"));
  EXPECT_EQ(Read("STUFF.MDX"), testing_support::TempRoot::ReadFile(other / "STUFF.MDX"));
  ExpectFileInStep("STUFF");
}
