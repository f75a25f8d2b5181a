// Answers made permanent, tables copied and deleted, alias paths.
#include <gmock/gmock.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "fault.h"
#include "sql_fixture.h"

namespace engine_test {
namespace {

ino_t Inode(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

using ::testing::ElementsAre;

TEST_F(SqlTest, AnAnswerMadePermanentIsADbfOtherReadersRead) {
  OrbCursor a = 0;
  ASSERT_EQ(Run("SELECT ITEM, COST FROM T WHERE COST > 300 ORDER BY ITEM", &a), ORB_OK);
  char path[1024];
  ASSERT_EQ(EngineGetAnswerPath(a, path, sizeof path), ORB_OK);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_NE(std::filesystem::path(path).parent_path(), Dir());

  ASSERT_EQ(EngineMakePermanent(a, "KEPT", 1), ORB_OK);
  EXPECT_THAT(FileRecords("KEPT.DBF"), ElementsAre(" Drill           310.99", " Sofa            899.00"));
  OrbCursor k = Open("KEPT", ORB_OPEN_READ_ONLY);
  EXPECT_THAT(Rows(k), ElementsAre("Drill|310.99", "Sofa|899.00"));

  // Replacing a table that is open is refused and leaves it whole.
  const std::string before = Read("KEPT.DBF");
  EXPECT_EQ(EngineMakePermanent(a, "KEPT", 1), ORB_ERR_TABLE_IN_USE);
  EXPECT_EQ(Read("KEPT.DBF"), before);
  EngineCloseCursor(k);
  open_.erase(std::find(open_.begin(), open_.end(), k));
  EXPECT_EQ(EngineMakePermanent(a, "KEPT", 0), ORB_ERR_ACCESS_DENIED);  // exists, no overwrite
  EXPECT_EQ(EngineMakePermanent(a, "kept.dbf", 1), ORB_OK);
}

TEST_F(SqlTest, ClosedAnswersLeaveThePrivateFolder) {
  OrbCursor a = 0, b = 0;
  ASSERT_EQ(Run("SELECT ITEM FROM T", &a), ORB_OK);
  char path[1024];
  ASSERT_EQ(EngineGetAnswerPath(a, path, sizeof path), ORB_OK);
  EngineCloseCursor(a);
  open_.erase(std::find(open_.begin(), open_.end(), a));
  EXPECT_EQ(EngineGetAnswerPath(a, path, sizeof path), ORB_ERR_INVALID_HANDLE);
  ASSERT_EQ(Run("SELECT ITEM FROM T", &b), ORB_OK);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SqlTest, AnAnswerNeverReplacesATableTheQueryRead) {
  const std::string before = Read("T.DBF");
  OrbCursor a = 0;
  ASSERT_EQ(Run("SELECT ITEM FROM T", &a), ORB_OK);
  EXPECT_EQ(EngineMakePermanent(a, "T", 1), ORB_ERR_TABLE_IN_USE);
  EXPECT_EQ(EngineMakePermanent(a, (Dir() / "t.dbf").c_str(), 1), ORB_ERR_TABLE_IN_USE);
  EXPECT_EQ(Read("T.DBF"), before);
  EXPECT_EQ(EngineMakePermanent(Open("T"), "X", 1), ORB_ERR_INVALID_HANDLE);  // not an answer
}

TEST_F(SqlTest, AMemoAnswerKeepsItsMemoWhenMadePermanent) {
  OrbCursor a = 0;
  ASSERT_EQ(Run("SELECT printf('%-300s|', ITEM) AS wide FROM T WHERE ITEM = 'Saw'", &a), ORB_OK);
  ASSERT_EQ(EngineMakePermanent(a, "WIDE", 1), ORB_OK);
  EXPECT_THAT(Column("SELECT length(WIDE), substr(WIDE, 1, 3) FROM WIDE", 0), ElementsAre("301"));
}

TEST_F(SqlTest, BatchCopyAppendsFieldsByName) {
  MakeTable("COPY", {Field("COST", 'N', 12, 2), Field("ITEM", 'C', 12), Field("OTHER", 'C', 3)});
  OrbCursor src = Open("T", ORB_OPEN_READ_ONLY);
  OrbCursor dst = Open("COPY");
  uint32_t copied = 0;
  ASSERT_EQ(EngineBatchCopy(src, dst, &copied), ORB_OK);
  EXPECT_EQ(copied, 6u);
  EXPECT_THAT(Column("SELECT ITEM || '=' || ifnull(COST, '') FROM COPY ORDER BY ITEM"),
              ElementsAre("Chisel=", "Drill=310.99", "Hammer=25.5", "Lamp=101.0", "Saw=120.0", "Sofa=899.0"));
  EXPECT_EQ(EngineBatchCopy(dst, dst, &copied), ORB_ERR_INVALID_PARAM);
}

// Whether the copy was built beside its target and renamed in shows in
// the file's inode; what it leaves beside the table, in the folder.
TEST_F(SqlTest, BatchCopyBuildsATargetWithoutRecordsBesideItWhenNoOtherHandleHasItOpen) {
  auto inode = [&] { return Inode(Dir() / "COPY.DBF"); };
  auto count = [&](OrbCursor c) {
    uint32_t n = 0;
    EXPECT_EQ(EngineGetRecordCount(c, &n), ORB_OK);
    return n;
  };
  OrbCursor src = Open("T", ORB_OPEN_READ_ONLY);
  uint32_t copied = 0;
  for (uint16_t mode : {ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE}) {
    SCOPED_TRACE(mode);
    MakeTable("COPY", {Field("COST", 'N', 12, 2), Field("ITEM", 'C', 12)});
    OrbCursor dst = Open("COPY", mode);
    const auto empty = inode();
    ASSERT_EQ(EngineBatchCopy(src, dst, &copied), ORB_OK);
    EXPECT_NE(inode(), empty) << "built in place";
    EXPECT_EQ(count(dst), 6u);
    // Into its records now: one batch, in place.
    const auto filled = inode();
    ASSERT_EQ(EngineBatchCopy(src, dst, &copied), ORB_OK);
    EXPECT_EQ(inode(), filled);
    EXPECT_EQ(count(dst), 12u);
    EngineCloseCursor(dst);
    open_.pop_back();
  }
  // Another handle of this process, or another program, reads the empty
  // table: it is filled in place, and the reader sees the records.
  MakeTable("COPY", {Field("COST", 'N', 12, 2), Field("ITEM", 'C', 12)});
  OrbCursor dst = Open("COPY");
  OrbCursor reader = Open("COPY", ORB_OPEN_READ_ONLY);
  auto before = inode();
  ASSERT_EQ(EngineBatchCopy(src, dst, &copied), ORB_OK);
  EXPECT_EQ(inode(), before);
  EXPECT_EQ(count(reader), 6u);
  for (OrbCursor c : {reader, dst}) {
    EngineCloseCursor(c);
    open_.erase(std::find(open_.begin(), open_.end(), c));
  }
  MakeTable("COPY", {Field("COST", 'N', 12, 2), Field("ITEM", 'C', 12)});
  EXPECT_TRUE(WhileAnotherProcessHolds("COPY", ORB_OPEN_READ_ONLY, [&] {
    dst = Open("COPY");
    before = inode();
    EXPECT_EQ(EngineBatchCopy(src, dst, &copied), ORB_OK);
    EXPECT_EQ(inode(), before);
    EXPECT_EQ(count(dst), 6u);
  }));
  for (const auto& entry : std::filesystem::directory_iterator(Dir()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

TEST_F(SqlTest, AnswersAreNeverSynced) {
  // A plain answer and one with a memo column: nothing of the user's is in them.
  for (const char* query : {"SELECT ITEM, COST FROM T WHERE COST > 100",
                            "SELECT printf('%-300s|', ITEM) AS wide FROM T"}) {
    SCOPED_TRACE(query);
    orb::fault::Arm(orb::fault::Plan{});
    OrbCursor a = 0;
    ASSERT_EQ(Run(query, &a), ORB_OK);
    EXPECT_GT(orb::fault::CountOf(orb::fault::Op::kWrite), 0);
    EXPECT_EQ(orb::fault::CountOf(orb::fault::Op::kSync), 0);
    orb::fault::Disarm();
    EngineCloseCursor(a);
  }
}

TEST_F(SqlTest, BatchCopySyncsOnceAtItsEndAndIsAllOrNothing) {
  auto target = [&] {
    MakeTable("COPY", {Field("COST", 'N', 12, 2), Field("ITEM", 'C', 12)});
    return Open("COPY");
  };
  OrbCursor src = Open("T", ORB_OPEN_READ_ONLY);
  OrbCursor dst = target();
  uint32_t copied = 0;
  orb::fault::Arm(orb::fault::Plan{0, 0, false, true});
  ASSERT_EQ(EngineBatchCopy(src, dst, &copied), ORB_OK);
  const int writes = orb::fault::Count();
  orb::fault::Disarm();
  EngineCloseCursor(dst);
  open_.pop_back();
  // Journal, its folder, the records, the header, the folder: not one per record.
  dst = target();
  orb::fault::Arm(orb::fault::Plan{});
  ASSERT_EQ(EngineBatchCopy(src, dst, &copied), ORB_OK);
  EXPECT_EQ(copied, 6u);
  EXPECT_LE(orb::fault::CountOf(orb::fault::Op::kSync), 5);
  orb::fault::Disarm();
  for (int at = 1; at <= writes; ++at) {
    SCOPED_TRACE("disk full at write " + std::to_string(at));
    EngineCloseCursor(dst);
    open_.pop_back();
    dst = target();
    orb::fault::Arm(orb::fault::Plan{at, ENOSPC, false, true});
    EXPECT_EQ(EngineBatchCopy(src, dst, &copied), ORB_ERR_DISK_FULL);
    orb::fault::Disarm();
    EXPECT_EQ(copied, 0u);
    uint32_t count = 99;
    EXPECT_EQ(EngineGetRecordCount(dst, &count), ORB_OK);
    EXPECT_EQ(count, 0u);
  }
}

TEST_F(SqlTest, DeleteTableRemovesItsFilesUnlessOpen) {
  Write("GONE.DBF", Read("T.DBF"));
  Write("gone.dbt", "memo");
  OrbCursor c = Open("GONE");
  EXPECT_EQ(EngineDeleteTable(db_, "GONE"), ORB_ERR_TABLE_IN_USE);
  EngineCloseCursor(c);
  open_.pop_back();
  EXPECT_EQ(EngineDeleteTable(db_, "gone"), ORB_OK);
  EXPECT_FALSE(std::filesystem::exists(Dir() / "GONE.DBF"));
  EXPECT_FALSE(std::filesystem::exists(Dir() / "gone.dbt"));
  EXPECT_EQ(EngineDeleteTable(db_, "GONE"), ORB_ERR_NO_SUCH_TABLE);
}

TEST(AliasPath, UnknownAliasIsNotFound) {
  char path[256];
  EXPECT_EQ(EngineGetAliasPath("NO_SUCH_ALIAS_HERE", path, sizeof path), ORB_ERR_NOT_FOUND);
  EXPECT_EQ(EngineGetAliasPath(nullptr, path, sizeof path), ORB_ERR_INVALID_PARAM);
}

}  // namespace
}  // namespace engine_test

namespace engine_test {
namespace {

// QTY > 1 as the filter compiler writes it: a comparison, a constant, a field.
std::vector<uint8_t> QtyAboveOne() {
  std::vector<uint8_t> b;
  auto u16 = [&](uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto node = [&](uint32_t cls, uint32_t op, uint32_t x, uint32_t y, uint32_t z) {
    u16(cls), u16(0), u16(op), u16(0), u16(x), u16(y), u16(z);
  };
  const double one = 1;
  u16(1), u16(10 + 42 + 4 + 8), u16(3), u16(10), u16(52);
  node(2, 5, 28, 14, 0), node(5, 14, 7, 8, 4), node(4, 13, 1, 0, 0);
  for (char c : std::string("QTY", 4)) b.push_back(static_cast<uint8_t>(c));
  const auto* p = reinterpret_cast<const uint8_t*>(&one);
  b.insert(b.end(), p, p + 8);
  return b;
}

int KeepAll(void*, const uint8_t*, uint32_t) { return 1; }

TEST_F(SqlTest, AnExpressionFilterGivesBackItsBuffer) {
  OrbCursor c = Open("T");
  const std::vector<uint8_t> expr = QtyAboveOne();
  OrbFilter f = 0, g = 0;
  ASSERT_EQ(EngineAddFilter(c, nullptr, 1, 0, expr.data(), nullptr, &f), ORB_OK);
  ASSERT_EQ(EngineAddFilter(c, nullptr, 2, 0, nullptr, &KeepAll, &g), ORB_OK);
  EXPECT_EQ(EngineActivateFilter(c, f), ORB_OK);
  uint32_t count = 0;
  EXPECT_EQ(EngineGetRecordCount(c, &count), ORB_OK);
  EXPECT_EQ(count, 2u);  // Hammer and Lamp
  std::vector<uint8_t> back(expr.size());
  uint32_t length = 0;
  EXPECT_EQ(EngineGetFilterBuffer(c, f, back.data(), 4, &length), ORB_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, expr.size());
  ASSERT_EQ(EngineGetFilterBuffer(c, f, back.data(), static_cast<uint32_t>(back.size()), &length), ORB_OK);
  EXPECT_EQ(back, expr);
  EXPECT_EQ(EngineGetFilterBuffer(c, g, back.data(), static_cast<uint32_t>(back.size()), &length),
            ORB_ERR_INVALID_PARAM);
  EXPECT_EQ(EngineDropFilter(c, f), ORB_OK);
  EXPECT_EQ(EngineGetFilterBuffer(c, f, back.data(), static_cast<uint32_t>(back.size()), &length),
            ORB_ERR_INVALID_HANDLE);
  EXPECT_NE(OrbEntryByOrdinal(845), nullptr);
}

}  // namespace
}  // namespace engine_test
