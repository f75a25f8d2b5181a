// Batches of changes: all of them or none reach the table, a rollback puts
// the files back byte for byte, and a batch cut off by a kill is undone at
// the next open (or refused where that open cannot write).
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "fault.h"
#include "table.h"

namespace engine_test {
namespace {

class BatchTest : public EngineTest {
 protected:
  // NAME C10, NOTE M, WIDE C250, MORE C250 and the tag BYNAME: ann, bob, cy.
  void Build(const char* table) {
    MakeTable(table, {Field("NAME", 'C', 10), Field("NOTE", 'M', 10), Field("WIDE", 'C', 250), Field("MORE", 'C', 250)});
    OrbCursor c = Open(table, ORB_OPEN_EXCLUSIVE);
    for (const char* name : {"ann", "bob", "cy"}) Add(c, name, std::string("memo of ") + name);
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "BYNAME");
    std::strcpy(d.expression, "UPPER(NAME)");
    d.options = ORB_IDX_EXPRESSION;
    ASSERT_EQ(EngineAddIndex(db_, c, nullptr, &d), ORB_OK);
    Close(c);
  }
  void Close(OrbCursor c) {
    EngineCloseCursor(c);
    open_.erase(std::remove(open_.begin(), open_.end(), c), open_.end());
  }
  void Add(OrbCursor c, const std::string& name, const std::string& memo) {
    std::vector<uint8_t> rec = Buffer(c);
    ASSERT_EQ(EnginePutField(c, 1, rec.data(), name.c_str()), ORB_OK);
    ASSERT_EQ(EnginePutField(c, 3, rec.data(), (name + " wide").c_str()), ORB_OK);
    if (!memo.empty()) {
      ASSERT_EQ(EngineOpenBlob(c, rec.data(), 2, ORB_BLOB_READ_WRITE), ORB_OK);
      ASSERT_EQ(EnginePutBlob(c, rec.data(), 2, 0, static_cast<uint32_t>(memo.size()),
                              reinterpret_cast<const uint8_t*>(memo.data())),
                ORB_OK);
    }
    ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
    if (!memo.empty()) EngineFreeBlob(c, rec.data(), 2);
  }
  // Renames record n and gives it a new memo; deletes record d.
  void Change(OrbCursor c, uint32_t n, const char* name, uint32_t d) {
    std::vector<uint8_t> rec = Buffer(c);
    ASSERT_EQ(EngineSetToRecordNo(c, n), ORB_OK);
    ASSERT_EQ(EngineGetRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
    ASSERT_EQ(EnginePutField(c, 1, rec.data(), name), ORB_OK);
    const std::string memo = std::string("new memo of ") + name;
    ASSERT_EQ(EngineOpenBlob(c, rec.data(), 2, ORB_BLOB_READ_WRITE), ORB_OK);
    ASSERT_EQ(EngineTruncateBlob(c, rec.data(), 2, 0), ORB_OK);
    ASSERT_EQ(EnginePutBlob(c, rec.data(), 2, 0, static_cast<uint32_t>(memo.size()),
                            reinterpret_cast<const uint8_t*>(memo.data())),
              ORB_OK);
    ASSERT_EQ(EngineModifyRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
    EngineFreeBlob(c, rec.data(), 2);
    ASSERT_EQ(EngineSetToRecordNo(c, d), ORB_OK);
    ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
  }
  // Live records as "name/memo", in the order of `tag` ("" natural).
  std::vector<std::string> Rows(OrbCursor c, const char* tag = "") {
    EXPECT_EQ(EngineSwitchToIndex(c, tag), ORB_OK);
    std::vector<std::string> rows;
    std::vector<uint8_t> rec = Buffer(c);
    EngineSetToBegin(c);
    while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) {
      uint32_t size = 0;
      std::string memo;
      if (EngineGetBlobSize(c, rec.data(), 2, &size) == ORB_OK && size > 0) {
        memo.resize(size);
        uint32_t got = 0;
        EngineGetBlob(c, rec.data(), 2, 0, size, reinterpret_cast<uint8_t*>(memo.data()), &got);
      }
      rows.push_back(Text(c, 1, rec.data()) + "/" + memo);
    }
    return rows;
  }
  // The count in the file's header, as another program reads it.
  uint32_t CountOnDisk(const std::string& file) {
    const std::string bytes = Read(file);
    uint32_t n = 0;
    std::memcpy(&n, bytes.data() + 4, 4);
    return n;
  }
  // A table's bytes without its change counter, and where they differ
  // from another's shown in hex.
  static std::string Masked(std::string bytes) {
    if (bytes.size() >= 20) bytes.replace(16, 4, "????");
    std::string hex = std::to_string(bytes.size()) + " bytes:";
    for (size_t i = 0; i < std::min<size_t>(bytes.size(), 64); ++i) {
      char b[4];
      std::snprintf(b, sizeof b, " %02x", static_cast<unsigned char>(bytes[i]));
      hex += b;
    }
    return hex + " ... " + std::to_string(std::hash<std::string>{}(bytes));
  }
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Dir())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(BatchTest, CommittedBatchHoldsEveryChangeOthersSeeNoneBefore) {
  Build("PEOPLE");
  OrbCursor c = Open("PEOPLE", ORB_OPEN_SHARED);
  ASSERT_EQ(EngineBeginBatch(c), ORB_OK);
  Add(c, "dan", "memo of dan");
  Change(c, 2, "bea", 3);
  // This process reads the batch as it goes; the file still counts three.
  const std::vector<std::string> after = {"ann/memo of ann", "bea/new memo of bea", "dan/memo of dan"};
  EXPECT_EQ(Rows(c), after);
  uint32_t count = 0;
  EXPECT_EQ(EngineGetRecordCount(c, &count), ORB_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(CountOnDisk("PEOPLE.DBF"), 3u);
  ASSERT_EQ(EngineCommitBatch(c), ORB_OK);
  EXPECT_EQ(CountOnDisk("PEOPLE.DBF"), 4u);
  Close(c);
  EXPECT_EQ(Files(), (std::vector<std::string>{"PEOPLE.DBF", "PEOPLE.DBT", "PEOPLE.MDX"}));
  for (uint16_t mode : {ORB_OPEN_READ_ONLY, ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE}) {
    SCOPED_TRACE(mode);
    OrbCursor r = Open("PEOPLE", mode);
    EXPECT_EQ(Rows(r), after);
    EXPECT_EQ(Rows(r, "BYNAME"), after);
    Close(r);
  }
}

TEST_F(BatchTest, RollbackPutsTheFilesBackByteForByte) {
  for (uint16_t mode : {ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE}) {
    SCOPED_TRACE(mode);
    std::filesystem::remove_all(Dir());
    std::filesystem::create_directories(Dir());
    Build("PEOPLE");
    const std::string dbf = Read("PEOPLE.DBF"), dbt = Read("PEOPLE.DBT");
    OrbCursor c = Open("PEOPLE", mode);
    const std::vector<std::string> before = Rows(c);
    orb::fault::SkipSyncs(true);  // what reaches the files is tested, not when
    ASSERT_EQ(EngineBeginBatch(c), ORB_OK);
    Change(c, 1, "abe", 2);
    // Beyond what a batch holds in memory: the files are written (and the
    // journal made) before the end.
    for (int i = 0; i < 20000; ++i) Add(c, "n" + std::to_string(i), i % 100 == 0 ? "memo" : "");
    Change(c, 3, "cyd", 1);
    ASSERT_EQ(EngineRollbackBatch(c), ORB_OK);
    orb::fault::SkipSyncs(false);
    EXPECT_EQ(Rows(c), before);
    EXPECT_EQ(Rows(c, "BYNAME"), before);
    Close(c);
    // Byte for byte, but for the change counter (header bytes 16-19), which
    // the index's rebuild after the rollback moves on.
    EXPECT_EQ(Masked(Read("PEOPLE.DBF")), Masked(dbf));
    EXPECT_TRUE(Read("PEOPLE.DBT") == dbt);
    EXPECT_EQ(Files(), (std::vector<std::string>{"PEOPLE.DBF", "PEOPLE.DBT", "PEOPLE.MDX"}));
  }
}

// A walk that changes records as it goes (as a search and replace does),
// in an exclusive open: the batch holds only the bytes that change and
// writes many of them at once, and the files it leaves must hold exactly
// the bytes single posts leave, or, rolled back, the bytes before.
TEST_F(BatchTest, WalkChangingRecordsWritesTheBytesSinglePostsWrite) {
  const char* table = "WALK";
  MakeTable(table, {Field("NAME", 'C', 10), Field("WIDE", 'C', 250), Field("MORE", 'C', 250)});
  OrbCursor c = Open(table, ORB_OPEN_EXCLUSIVE);
  ASSERT_EQ(EngineBeginBatch(c), ORB_OK);
  std::vector<uint8_t> rec = Buffer(c);
  // 400 records of 511 bytes: several blocks read ahead.
  for (int i = 0; i < 400; ++i) {
    EngineInitRecord(c, rec.data(), static_cast<uint32_t>(rec.size()));
    EnginePutField(c, 1, rec.data(), ("r" + std::to_string(i)).c_str());
    EnginePutField(c, 2, rec.data(), "wide");
    EnginePutField(c, 3, rec.data(), ("more " + std::to_string(i % 7)).c_str());
    ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  }
  ASSERT_EQ(EngineCommitBatch(c), ORB_OK);
  Close(c);
  const std::string before = Read("WALK.DBF");
  // Record n's change: its first byte of NAME, the last of MORE, both, a
  // value as it was, or none.
  auto walk = [&](OrbCursor w) {
    std::vector<uint8_t> r = Buffer(w);
    EngineSetToBegin(w);
    for (int n = 0; EngineGetNextRecord(w, r.data(), static_cast<uint32_t>(r.size()), nullptr) == ORB_OK; ++n) {
      switch (n % 5) {
        case 0: EnginePutField(w, 1, r.data(), ("R" + std::to_string(n).substr(1)).c_str()); break;
        case 1: EnginePutField(w, 3, r.data(), (std::string(249, 'm') + "!").c_str()); break;
        case 2:
          EnginePutField(w, 1, r.data(), "X");
          EnginePutField(w, 3, r.data(), (std::string(249, 'z') + "?").c_str());
          break;
        case 3: EnginePutField(w, 2, r.data(), "wide"); break;
        default: continue;
      }
      ASSERT_EQ(EngineModifyRecord(w, r.data(), static_cast<uint32_t>(r.size())), ORB_OK) << n;
    }
  };
  c = Open(table, ORB_OPEN_EXCLUSIVE);
  walk(c);
  Close(c);
  const std::string posted = Read("WALK.DBF");
  ASSERT_FALSE(posted == before);
  orb::fault::SkipSyncs(true);  // what reaches the files is tested, not when
  const size_t bound = orb::BatchBound();
  const int64_t span = orb::BatchSpan();
  struct Way {
    const char* what;
    size_t held;
    int64_t span;
  };
  // On the way: once the batch holds more bytes than its bound, or once
  // what it holds spreads over more of the file than its span.
  for (const Way& way : {Way{"written at the commit", bound, span}, Way{"written on the way", 4096, span},
                         Way{"written on the way as the changes spread", bound, 8192}}) {
    SCOPED_TRACE(way.what);
    orb::SetBatchBound(way.held);
    orb::SetBatchSpan(way.span);
    for (bool commit : {true, false}) {
      Write("WALK.DBF", before);
      c = Open(table, ORB_OPEN_EXCLUSIVE);
      ASSERT_EQ(EngineBeginBatch(c), ORB_OK);
      walk(c);
      ASSERT_EQ(commit ? EngineCommitBatch(c) : EngineRollbackBatch(c), ORB_OK);
      Close(c);
      EXPECT_EQ(Masked(Read("WALK.DBF")), Masked(commit ? posted : before)) << (commit ? "committed" : "rolled back");
    }
  }
  orb::SetBatchBound(bound);
  orb::SetBatchSpan(span);
  orb::fault::SkipSyncs(false);
  EXPECT_EQ(Files(), (std::vector<std::string>{"WALK.DBF"}));
}

TEST_F(BatchTest, CallsOutOfTurnAreRefused) {
  Build("PEOPLE");
  OrbCursor ro = Open("PEOPLE", ORB_OPEN_READ_ONLY);
  EXPECT_EQ(EngineBeginBatch(ro), ORB_ERR_READ_ONLY);
  OrbCursor c = Open("PEOPLE", ORB_OPEN_SHARED);
  EXPECT_EQ(EngineCommitBatch(c), ORB_ERR_INVALID_PARAM);
  EXPECT_EQ(EngineRollbackBatch(c), ORB_ERR_INVALID_PARAM);
  ASSERT_EQ(EngineBeginBatch(c), ORB_OK);
  EXPECT_EQ(EngineBeginBatch(c), ORB_ERR_INVALID_PARAM);
  OrbCursor other = Open("PEOPLE", ORB_OPEN_SHARED);
  EXPECT_EQ(EngineBeginBatch(other), ORB_ERR_INVALID_PARAM) << "one batch per table";
  OrbIndexDesc d{};
  std::strcpy(d.tagName, "BYWIDE");
  std::strcpy(d.expression, "WIDE");
  d.options = ORB_IDX_EXPRESSION;
  EXPECT_EQ(EngineAddIndex(db_, c, nullptr, &d), ORB_ERR_INVALID_PARAM);
  EXPECT_EQ(EngineDeleteIndex(db_, c, nullptr, "BYNAME"), ORB_ERR_INVALID_PARAM);
  EXPECT_EQ(EngineRegenIndexes(c), ORB_ERR_INVALID_PARAM);
  ASSERT_EQ(EngineCommitBatch(c), ORB_OK);
  EXPECT_EQ(EngineCommitBatch(c), ORB_ERR_INVALID_PARAM);
  Close(other);
  Close(c);
  Close(ro);
  OrbCursor x = Open("PEOPLE", ORB_OPEN_EXCLUSIVE);
  ASSERT_EQ(EngineBeginBatch(x), ORB_OK);
  EXPECT_EQ(EnginePack(db_, x, nullptr, "DBASE", 1), ORB_ERR_INVALID_PARAM);
  EXPECT_EQ(EngineRollbackBatch(x), ORB_OK);
}

TEST_F(BatchTest, ClosingTheCursorOrItsDatabaseRollsBack) {
  Build("PEOPLE");
  for (bool database : {false, true}) {
    SCOPED_TRACE(database ? "database closed" : "cursor closed");
    OrbDatabase db = 0;
    ASSERT_EQ(EngineOpenDatabase(Dir().c_str(), &db), ORB_OK);
    OrbCursor c = 0;
    ASSERT_EQ(EngineOpenTable(db, "PEOPLE", ORB_OPEN_SHARED, &c), ORB_OK);
    ASSERT_EQ(EngineBeginBatch(c), ORB_OK);
    Add(c, "dan", "memo of dan");
    if (database) {
      EXPECT_EQ(EngineCloseDatabase(db), ORB_OK);
      EXPECT_EQ(EngineCommitBatch(c), ORB_ERR_INVALID_PARAM) << "the batch ended with its database";
      EngineCloseCursor(c);
    } else {
      EngineCloseCursor(c);
      EngineCloseDatabase(db);
    }
    OrbCursor r = Open("PEOPLE", ORB_OPEN_READ_ONLY);
    EXPECT_EQ(Rows(r), (std::vector<std::string>{"ann/memo of ann", "bob/memo of bob", "cy/memo of cy"}));
    Close(r);
  }
}

TEST_F(BatchTest, KilledBatchIsUndoneAtTheNextOpenOrRefusedWhereItCannotWrite) {
  struct Case {
    const char* table;
    const char* journal;
  };
  for (const Case& k : {Case{"PEOPLE.DBF", "PEOPLE.JNL"}, Case{"people.dbf", "people.jnl"}}) {
    SCOPED_TRACE(k.table);
    std::filesystem::remove_all(Dir());
    std::filesystem::create_directories(Dir());
    Build(k.table);
    const std::string stem = std::string(k.table).substr(0, 6);
    const std::string dbf = Read(k.table);
    // Killed with the batch's first writes in the files.
    ASSERT_EQ(InChild([&] {
                orb::fault::SkipSyncs(true);  // only what reaches the files matters here
                OrbCursor c = 0;
                if (EngineOpenTable(db_, k.table, ORB_OPEN_SHARED, &c) != ORB_OK || EngineBeginBatch(c) != ORB_OK) return 1;
                Change(c, 1, "abe", 2);
                for (int i = 0; i < 20000; ++i) Add(c, "n" + std::to_string(i), "");
                _exit(0);
              }),
              0);
    ASSERT_TRUE(std::filesystem::exists(Dir() / k.journal));
    EXPECT_FALSE(Read(k.table) == dbf) << "the kill came after the batch wrote to the table";
    // A user who may not write the table cannot undo it, nor read it.
    std::filesystem::permissions(root_.path(), std::filesystem::perms(0755));
    std::filesystem::permissions(Dir(), std::filesystem::perms(0755));
    EXPECT_EQ(InChild([&] {
                if (setgid(65534) != 0 || setuid(65534) != 0) return 99;
                OrbCursor c = 0;
                return EngineOpenTable(db_, k.table, ORB_OPEN_READ_ONLY, &c) == ORB_ERR_ROLLBACK_PENDING ? 0 : 1;
              }),
              0);
    // A read-only open that can write undoes it; the index the batch
    // changed waits for a writable open to rebuild it.
    const std::vector<std::string> before = {"ann/memo of ann", "bob/memo of bob", "cy/memo of cy"};
    OrbCursor c = Open(k.table, ORB_OPEN_READ_ONLY);
    EXPECT_EQ(Rows(c), before);
    Close(c);
    c = Open(k.table, ORB_OPEN_SHARED);
    EXPECT_EQ(Rows(c, "BYNAME"), before);
    Close(c);
    EXPECT_EQ(Masked(Read(k.table)), Masked(dbf));
    EXPECT_FALSE(std::filesystem::exists(Dir() / k.journal));
  }
}

TEST_F(BatchTest, CopiesAKillCutOffAreRemovedAtTheNextOpen) {
  Build("PEOPLE");
  // What a copy into place leaves when killed before its rename, beside
  // this table and beside another one.
  for (const char* name : {".PEOPLE.DBF.copy-a1B2c3", ".PEOPLE.MDX.copy-XYZ123", ".OTHER.DBF.copy-a1B2c3"}) {
    Write(name, "half a copy");
  }
  OrbCursor c = Open("PEOPLE", ORB_OPEN_READ_ONLY);
  Close(c);
  EXPECT_EQ(Files(), (std::vector<std::string>{".OTHER.DBF.copy-a1B2c3", "PEOPLE.DBF", "PEOPLE.DBT", "PEOPLE.MDX"}));
  // Not while the table is open: a copy may be under way.
  c = Open("PEOPLE", ORB_OPEN_SHARED);
  Write(".PEOPLE.DBT.copy-q9w8e7", "half a copy");
  OrbCursor again = Open("PEOPLE", ORB_OPEN_SHARED);
  Close(again);
  EXPECT_TRUE(std::filesystem::exists(Dir() / ".PEOPLE.DBT.copy-q9w8e7"));
  Close(c);
}

}  // namespace
}  // namespace engine_test
