// Every operation that writes a table is stopped (as by a kill) and failed
// (as by a full disk) at each of its writes, syncs and renames in turn; the
// table must then open and hold the state before the operation or after
// it, whole: records once each with their memos, nothing half-written
// counted, and every tag passing the engine's full check.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "fault.h"
#include "index_hooks.h"
#include "mdx/mdx_file.h"
#include "orbex32.h"
#include "table.h"

using engine_test::EngineTest;
using engine_test::Field;

namespace {

namespace fault = orb::fault;

// What a table shows: its live records in natural order, each with its
// memo, the records its file counts (deleted ones too), and its tags.
struct State {
  std::vector<std::string> rows;
  uint32_t counted = 0;
  std::vector<std::string> tags;
  bool operator==(const State&) const = default;
};

std::ostream& operator<<(std::ostream& os, const State& s) {
  for (const std::string& r : s.rows) os << r << "; ";
  os << "counted " << s.counted << "; tags:";
  for (const std::string& t : s.tags) os << " " << t;
  return os;
}

class FaultSweepTest : public EngineTest {
 protected:
  // Eight records with memos, two tags, records 3 and 6 deleted. Built
  // without syncs: only the operation under test is swept.
  void Build() {
    for (OrbCursor c : open_) EngineCloseCursor(c);
    open_.clear();
    std::filesystem::remove_all(Dir());
    std::filesystem::create_directories(Dir());
    fault::SkipSyncs(true);
    MakeTable("KEEP", {Field("NAME", 'C', 10), Field("COST", 'N', 8, 2), Field("NOTE", 'M', 10)});
    OrbCursor c = Open("KEEP", ORB_OPEN_EXCLUSIVE);
    for (int i = 1; i <= (emptyTable_ ? 0 : 8); ++i)
      Add(c, ("item" + std::to_string(i)).c_str(), i * 1.5, "memo of item " + std::to_string(i));
    for (const std::string& tag : tags_) ASSERT_EQ(AddTag(c, tag.c_str()), ORB_OK);
    for (uint32_t n : {3u, 6u}) {
      if (emptyTable_) break;
      ASSERT_EQ(EngineSetToRecordNo(c, n), ORB_OK);
      ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
    }
    EngineCloseCursor(c);
    open_.clear();
    fault::SkipSyncs(false);
  }

  // The tags Build makes (BYNAME, BYCOST or BYBOTH, each over its fields).
  std::vector<std::string> tags_ = {"BYNAME", "BYCOST"};
  bool emptyTable_ = false;  // Build makes the tags over no record
  OrbResult AddTag(OrbCursor c, const char* tag) {
    OrbIndexDesc d{};
    std::strcpy(d.tagName, tag);
    const std::string name = tag;
    std::strcpy(d.expression, name == "BYNAME"   ? "Upper(NAME)"
                              : name == "BYCOST" ? "STR(COST,8,2)"
                                                 : "Upper(NAME)+STR(COST,8,2)");
    d.options = ORB_IDX_EXPRESSION;
    return EngineAddIndex(db_, c, nullptr, &d);
  }

  void Add(OrbCursor c, const char* name, double cost, const std::string& memo) {
    std::vector<uint8_t> rec = Buffer(c);
    ASSERT_EQ(EngineInitRecord(c, rec.data(), rec.size()), ORB_OK);
    ASSERT_EQ(EnginePutField(c, 1, rec.data(), name), ORB_OK);
    ASSERT_EQ(EnginePutField(c, 2, rec.data(), &cost), ORB_OK);
    PutMemo(c, rec.data(), memo);
    ASSERT_EQ(EngineInsertRecord(c, rec.data(), rec.size()), ORB_OK);
    EngineFreeBlob(c, rec.data(), 3);
  }

  static void PutMemo(OrbCursor c, uint8_t* rec, const std::string& memo) {
    ASSERT_EQ(EngineOpenBlob(c, rec, 3, ORB_BLOB_READ_WRITE), ORB_OK);
    ASSERT_EQ(EngineTruncateBlob(c, rec, 3, 0), ORB_OK);
    ASSERT_EQ(EnginePutBlob(c, rec, 3, 0, static_cast<uint32_t>(memo.size()),
                            reinterpret_cast<const uint8_t*>(memo.data())),
              ORB_OK);
  }

  // The live records' names in the cursor's order, sorted.
  std::vector<std::string> SortedNames(OrbCursor c) {
    std::vector<std::string> names;
    std::vector<uint8_t> rec = Buffer(c);
    EngineSetToBegin(c);
    while (EngineGetNextRecord(c, rec.data(), rec.size(), nullptr) == ORB_OK) names.push_back(Text(c, 1, rec.data()));
    std::sort(names.begin(), names.end());
    return names;
  }

  // Reads the table as a user would after a crash: a read-only open works,
  // its tags either work (and then hold the records the natural order
  // reads) or say the index must be rebuilt; a writable open always works
  // (rebuilding it), and the engine's full check passes.
  State Look() {
    State s;
    OrbCursor c = 0;
    const OrbResult ro = EngineOpenTable(db_, "KEEP", ORB_OPEN_READ_ONLY, &c);
    EXPECT_EQ(ro, ORB_OK) << std::hex << ro;
    readOnlyTag_ = ORB_ERR_NO_SUCH_INDEX;
    if (ro == ORB_OK) {
      const std::vector<std::string> natural = SortedNames(c);
      ExpectCount(c, natural.size(), "read-only, natural order");
      const OrbResult tag = readOnlyTag_ = EngineSwitchToIndex(c, "BYNAME");
      EXPECT_TRUE(tag == ORB_OK || tag == ORB_ERR_INDEX_OUT_OF_STEP || tag == ORB_ERR_NO_SUCH_INDEX ||
                  (damageMayStay_ && tag == ORB_ERR_INDEX_CORRUPT))
          << std::hex << tag;
      if (tag == ORB_OK) {
        EXPECT_EQ(SortedNames(c), natural) << "a read-only open read through a stale index";
        ExpectCount(c, natural.size(), "read-only, BYNAME order");
      }
      EngineCloseCursor(c);
    }
    const OrbResult r = EngineOpenTable(db_, "KEEP", ORB_OPEN_SHARED, &c);
    EXPECT_EQ(r, ORB_OK) << std::hex << r;
    if (r != ORB_OK) return s;
    // What an interrupted operation left beside the table is gone.
    for (const auto& entry : std::filesystem::directory_iterator(Dir())) {
      const std::string ext = entry.path().extension().string();
      EXPECT_TRUE(ext == ".DBF" || ext == ".DBT" || ext == ".MDX") << entry.path();
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
    std::vector<uint8_t> rec = Buffer(c);
    OrbTableInfo info{};
    EXPECT_EQ(EngineGetTableInfo(c, &info), ORB_OK);
    EXPECT_EQ(info.recordsTrimmed, 0u);
    s.counted = info.physicalCount;
    EngineSetToBegin(c);
    while (EngineGetNextRecord(c, rec.data(), rec.size(), nullptr) == ORB_OK) {
      uint32_t size = 0;
      std::string memo;
      if (EngineGetBlobSize(c, rec.data(), 3, &size) == ORB_OK) {
        memo.resize(size);
        uint32_t got = 0;
        EngineGetBlob(c, rec.data(), 3, 0, size, reinterpret_cast<uint8_t*>(memo.data()), &got);
      } else {
        memo = "<memo unreadable>";
      }
      s.rows.push_back(Text(c, 1, rec.data()) + "/" +
                       std::to_string(Number(c, 2, rec.data())) + "/" + memo);
    }
    OrbIndexDesc descs[8];
    uint16_t count = 0;
    EXPECT_EQ(EngineGetIndexDescs(c, 8, descs, &count), ORB_OK);
    for (uint16_t i = 0; i < count && i < 8; ++i) s.tags.push_back(descs[i].tagName);
    // The counts a writable open gives, in every order, are the walk's.
    ExpectCount(c, s.rows.size(), "shared, natural order");
    for (const std::string& tag : s.tags) {
      EXPECT_EQ(EngineSwitchToIndex(c, tag.c_str()), ORB_OK);
      ExpectCount(c, s.rows.size(), "shared, " + tag + " order");
    }
    EngineCloseCursor(c);

    EXPECT_EQ(OnCursor(ORB_OPEN_EXCLUSIVE, [](OrbCursor) { return ORB_OK; }), ORB_OK);
    std::shared_ptr<orb::Table> table;
    EXPECT_EQ(orb::Table::Acquire(Dir() / "KEEP.DBF", ORB_OPEN_SHARED, &table), ORB_OK);
    if (table && table->Index() != nullptr) {
      EXPECT_EQ(table->Index()->CheckAll(), ORB_OK);
    }
    if (table) table->Release(ORB_OPEN_SHARED);
    return s;
  }

  static void ExpectCount(OrbCursor c, size_t walked, const std::string& where) {
    uint32_t n = 0;
    EXPECT_EQ(EngineGetRecordCount(c, &n), ORB_OK) << where;
    EXPECT_EQ(n, walked) << where << ": the count differs from the walk";
  }

  // Runs `op` on a fresh table: unarmed for the state after it and the
  // number of operations it makes, then stopped at each of them in a child
  // process, then failed with a full disk at each of its writes.
  // `alsoAfter` checks what a state can hide (files) when the table is as
  // after the operation.
  void Sweep(const std::function<OrbResult()>& op, bool changesState = true,
             const std::function<void()>& alsoAfter = [] {}) {
    Build();
    const State before = Look();
    ASSERT_EQ(before.rows.size(), emptyTable_ ? 0u : 6u);
    ASSERT_EQ(before.counted, emptyTable_ ? 0u : 8u);
    fault::Arm(fault::Plan{});
    ASSERT_EQ(op(), ORB_OK);
    const int steps = fault::Count();
    Build();
    fault::Arm(fault::Plan{0, 0, false, true});
    ASSERT_EQ(op(), ORB_OK);
    const int writes = fault::Count();
    fault::Disarm();
    const State after = Look();
    if (changesState) {
      ASSERT_NE(after, before);
    }
    ASSERT_GT(steps, writes);

    for (int at = 1; at <= steps; ++at) {
      SCOPED_TRACE("stopped at step " + std::to_string(at) + " of " + std::to_string(steps));
      Build();
      pid_t pid = fork();
      if (pid == 0) {
        fault::Arm(fault::Plan{at, 0, true, false});
        op();
        _exit(0);
      }
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), fault::kStopCode);
      if (openEveryMode_) {
        // The first open after the stop, in each mode by turns, finds the
        // table whole (undoing what the stop cut off).
        const uint16_t modes[] = {ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE, ORB_OPEN_READ_ONLY};
        OrbCursor first = 0;
        const OrbResult r = EngineOpenTable(db_, "KEEP", modes[at % 3], &first);
        EXPECT_EQ(r, ORB_OK) << "first open in mode " << modes[at % 3] << ": " << std::hex << r;
        if (r == ORB_OK) EngineCloseCursor(first);
      }
      const State seen = Look();
      EXPECT_TRUE(seen == before || seen == after) << seen;
      if (changesState && seen == after) alsoAfter();
      if (HasFailure()) return;
    }
    for (int at = 1; at <= writes; ++at) {
      SCOPED_TRACE("disk full at write " + std::to_string(at) + " of " + std::to_string(writes));
      Build();
      const uintmax_t length = std::filesystem::file_size(Dir() / "KEEP.DBF");
      fault::Arm(fault::Plan{at, ENOSPC, false, true});
      const OrbResult r = op();
      fault::Disarm();
      EXPECT_EQ(r, ORB_ERR_DISK_FULL) << std::hex << r;
      if (sameLengthOnFullDisk_) {
        EXPECT_EQ(std::filesystem::file_size(Dir() / "KEEP.DBF"), length);
      }
      EXPECT_EQ(Look(), before);
      if (keepsIndexInStep_) {
        EXPECT_NE(readOnlyTag_, ORB_ERR_INDEX_OUT_OF_STEP) << "a refused change left the old index unusable";
      }
      if (HasFailure()) return;
    }
  }

  // A refused operation must leave the index in step (Sweep's full disks).
  bool keepsIndexInStep_ = false;
  // The operation mends a damaged index: stopped before it, read-only opens
  // still find the damage.
  bool damageMayStay_ = false;
  OrbResult readOnlyTag_ = ORB_OK;  // what the last Look's read-only open answered for BYNAME
  bool openEveryMode_ = false;        // after a stop, first open in each mode by turns
  bool sameLengthOnFullDisk_ = false;  // a full disk leaves the table's file its length

  // The run's steps as one batch in an open of `mode`, committed; a step
  // that fails rolls the batch back and answers why.
  OrbResult Batch(uint16_t mode) {
    OrbCursor c = 0;
    OrbResult r = EngineOpenTable(db_, "KEEP", mode, &c);
    if (r != ORB_OK) return r;
    r = EngineBeginBatch(c);
    for (int i = 0; r == ORB_OK && i < kRunSteps; ++i) r = RunStep(c, i);
    if (r == ORB_OK) {
      r = EngineCommitBatch(c);
    } else {
      EngineRollbackBatch(c);
    }
    const OrbResult closed = EngineCloseCursor(c);
    return r != ORB_OK ? r : closed;
  }
  // Stopped at each write, sync, rename, truncate and unlink of the batch,
  // the table opens (in every mode) as before it or as after it; a full
  // disk at any write leaves it as before, its file's length too.
  void SweepBatch() {
    openEveryMode_ = sameLengthOnFullDisk_ = true;
    for (uint16_t mode : {ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE}) {
      SCOPED_TRACE(mode == ORB_OPEN_SHARED ? "shared" : "exclusive");
      Sweep([&] { return Batch(mode); });
      if (HasFailure()) break;
    }
    openEveryMode_ = sameLengthOnFullDisk_ = false;
  }

  // A run of changes in one exclusive open, whose index holds them until
  // the close: appends with memos, edits, a deletion. Step i of it.
  static constexpr int kRunSteps = 6;
  OrbResult RunStep(OrbCursor c, int i) {
    std::vector<uint8_t> rec = Buffer(c);
    auto append = [&](const char* name, double cost, const std::string& memo) {
      EngineInitRecord(c, rec.data(), rec.size());
      EnginePutField(c, 1, rec.data(), name);
      EnginePutField(c, 2, rec.data(), &cost);
      PutMemo(c, rec.data(), memo);
      const OrbResult r = EngineInsertRecord(c, rec.data(), rec.size());
      EngineFreeBlob(c, rec.data(), 3);
      return r;
    };
    auto modify = [&](uint32_t n, const char* name, double cost) {
      OrbResult r = EngineSetToRecordNo(c, n);
      if (r == ORB_OK) r = EngineGetRecord(c, rec.data(), rec.size(), nullptr);
      EnginePutField(c, 1, rec.data(), name);
      EnginePutField(c, 2, rec.data(), &cost);
      return r == ORB_OK ? EngineModifyRecord(c, rec.data(), rec.size()) : r;
    };
    switch (i) {
      case 0: return append("added1", 11, "the first new memo");
      case 1: return append("added2", 0.5, "the second new memo");
      case 2: return modify(2, "renamed", 0.25);
      case 3: {
        const OrbResult r = EngineSetToRecordNo(c, 4);
        return r == ORB_OK ? EngineDeleteRecord(c) : r;
      }
      case 4: return append("aardvark", 7, "the third new memo");
      case 5: return modify(9, "again", 99);
    }
    return ORB_OK;
  }

  // The first `steps` of the run, then the close; the first result that
  // failed (the close's when only it failed). *done counts the steps that
  // succeeded.
  OrbResult Run(int steps, int* done = nullptr, const std::function<void()>& afterStep = [] {}) {
    OrbCursor c = 0;
    OrbResult r = EngineOpenTable(db_, "KEEP", ORB_OPEN_EXCLUSIVE, &c);
    if (r != ORB_OK) return r;
    int n = 0;
    for (; n < steps && (r = RunStep(c, n)) == ORB_OK; ++n) afterStep();
    if (done) *done = n;
    const OrbResult closed = EngineCloseCursor(c);
    return r != ORB_OK ? r : closed;
  }

  // The run stopped (as by a kill) at each of its writes, syncs and
  // renames, the close's checkpoint included, and failed with a full disk
  // at each of its writes. The table then holds the steps that returned,
  // and perhaps the one under way, each whole; its index matches it or says
  // it must be rebuilt. A failed step leaves the index the close writes in
  // step; a failed close is reported and leaves it to be rebuilt.
  void SweepExclusiveRun() {
    std::vector<State> states;
    for (int k = 0; k <= kRunSteps; ++k) {
      Build();
      ASSERT_EQ(Run(k), ORB_OK);
      states.push_back(Look());
      EXPECT_EQ(readOnlyTag_, ORB_OK) << "a clean close leaves the index in step";
      if (k > 0) {
        ASSERT_NE(states[k], states[k - 1]);
      }
    }
    Build();
    fault::Arm(fault::Plan{});
    ASSERT_EQ(Run(kRunSteps), ORB_OK);
    const int steps = fault::Count();
    Build();
    fault::Arm(fault::Plan{0, 0, false, true});
    ASSERT_EQ(Run(kRunSteps), ORB_OK);
    const int writes = fault::Count();
    fault::Disarm();

    for (int at = 1; at <= steps; ++at) {
      SCOPED_TRACE("stopped at step " + std::to_string(at) + " of " + std::to_string(steps));
      Build();
      int done[2];
      ASSERT_EQ(pipe(done), 0);
      pid_t pid = fork();
      if (pid == 0) {
        close(done[0]);
        fault::Arm(fault::Plan{at, 0, true, false});
        Run(kRunSteps, nullptr, [&] {
          if (write(done[1], "s", 1) != 1) _exit(3);
        });
        _exit(0);
      }
      close(done[1]);
      int returned = 0;
      char b;
      while (read(done[0], &b, 1) == 1) ++returned;
      close(done[0]);
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), fault::kStopCode);
      const State seen = Look();
      EXPECT_TRUE(seen == states[returned] || (returned < kRunSteps && seen == states[returned + 1]))
          << returned << " steps returned; " << seen;
      if (HasFailure()) return;
    }
    for (int at = 1; at <= writes; ++at) {
      SCOPED_TRACE("disk full at write " + std::to_string(at) + " of " + std::to_string(writes));
      Build();
      fault::Arm(fault::Plan{at, ENOSPC, false, true});
      int returned = 0;
      const OrbResult r = Run(kRunSteps, &returned);
      fault::Disarm();
      EXPECT_EQ(r, ORB_ERR_DISK_FULL) << std::hex << r;
      EXPECT_EQ(Look(), states[returned]);
      if (returned < kRunSteps) {
        EXPECT_EQ(readOnlyTag_, ORB_OK) << "the close after a failed step wrote every change before it";
      } else {
        EXPECT_EQ(readOnlyTag_, ORB_ERR_INDEX_OUT_OF_STEP) << "a failed close left a file taken as in step";
      }
      if (HasFailure()) return;
    }
  }

  // The copy's source, in a folder of its own that Build leaves alone: the
  // fields of KEEP and one it lacks; four records with memos (one of them
  // over several blocks), the third deleted and not copied.
  std::filesystem::path CopySource() {
    const std::filesystem::path dir = root_.path() / "FROM";
    const std::filesystem::path path = dir / "SOURCE.DBF";
    if (std::filesystem::exists(path)) return path;
    std::filesystem::create_directories(dir);
    const std::vector<OrbFieldDesc> fields = {Field("NAME", 'C', 10), Field("COST", 'N', 8, 2), Field("NOTE", 'M', 10),
                                              Field("OTHER", 'C', 4)};
    EXPECT_EQ(EngineCreateTable(0, path.string().c_str(), static_cast<uint16_t>(fields.size()), fields.data(), 0),
              ORB_OK);
    OrbCursor c = 0;
    EXPECT_EQ(EngineOpenTable(0, path.string().c_str(), ORB_OPEN_EXCLUSIVE, &c), ORB_OK);
    Add(c, "copied1", 2.5, "a copied memo");
    Add(c, "bee", 0.75, std::string(1500, 'm') + " the end");
    Add(c, "gone", 3, "a deleted record's memo");
    Add(c, "aaa", 100, "the last copied memo");
    EXPECT_EQ(EngineSetToRecordNo(c, 3), ORB_OK);
    EXPECT_EQ(EngineDeleteRecord(c), ORB_OK);
    EngineCloseCursor(c);
    return path;
  }

  // The source's live records copied into KEEP opened in `mode`.
  OrbResult CopyInto(uint16_t mode) {
    const std::string source = CopySource().string();
    OrbCursor from = 0, into = 0;
    OrbResult r = EngineOpenTable(0, source.c_str(), ORB_OPEN_READ_ONLY, &from);
    if (r == ORB_OK) r = EngineOpenTable(db_, "KEEP", mode, &into);
    uint32_t copied = 0;
    if (r == ORB_OK) r = EngineBatchCopy(from, into, &copied);
    if (r == ORB_OK && copied != 3) r = ORB_ERR_CORRUPT;
    if (r != ORB_OK && copied != 0) r = ORB_ERR_CORRUPT;
    if (into != 0) {
      const OrbResult closed = EngineCloseCursor(into);
      if (r == ORB_OK) r = closed;
    }
    if (from != 0) EngineCloseCursor(from);
    return r;
  }

  // One operation through a cursor of its own, closed after it.
  OrbResult OnCursor(uint16_t mode, const std::function<OrbResult(OrbCursor)>& body) {
    OrbCursor c = 0;
    OrbResult r = EngineOpenTable(db_, "KEEP", mode, &c);
    if (r != ORB_OK) return r;
    r = body(c);
    EngineCloseCursor(c);
    return r;
  }
};

TEST_F(FaultSweepTest, Append) {
  Sweep([&] {
    return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) {
      std::vector<uint8_t> rec = Buffer(c);
      EngineInitRecord(c, rec.data(), rec.size());
      EnginePutField(c, 1, rec.data(), "added");
      double cost = 99;
      EnginePutField(c, 2, rec.data(), &cost);
      PutMemo(c, rec.data(), "the new record's memo");
      return EngineInsertRecord(c, rec.data(), rec.size());
    });
  });
}

TEST_F(FaultSweepTest, Modify) {
  Sweep([&] {
    return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) {
      std::vector<uint8_t> rec = Buffer(c);
      EngineSetToRecordNo(c, 2);
      EngineGetRecord(c, rec.data(), rec.size(), nullptr);
      EnginePutField(c, 1, rec.data(), "renamed");
      double cost = 0.25;
      EnginePutField(c, 2, rec.data(), &cost);
      PutMemo(c, rec.data(), "a longer memo than the one before, in new blocks");
      return EngineModifyRecord(c, rec.data(), rec.size());
    });
  });
}

TEST_F(FaultSweepTest, Delete) {
  Sweep([&] {
    return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) {
      EngineSetToRecordNo(c, 4);
      return EngineDeleteRecord(c);
    });
  });
}

// A delete whose index stamp cannot be written takes its flag back, also
// in a batch; stopped anywhere, the count of the next open is the walk's.
TEST_F(FaultSweepTest, DeleteInABatch) {
  Sweep([&] {
    return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) {
      OrbResult r = EngineBeginBatch(c);
      for (uint32_t n : {1u, 4u}) {
        if (r == ORB_OK) r = EngineSetToRecordNo(c, n);
        if (r == ORB_OK) r = EngineDeleteRecord(c);
      }
      if (r == ORB_OK) return EngineCommitBatch(c);
      EngineRollbackBatch(c);
      return r;
    });
  });
}

// An index whose stamp does not hold the deleted records (written before
// it did) gets them from the first count of a writable open. Stopped at
// each write and sync of that stamp, or failed there with a full disk, the
// count still answers the walk's, the stamp is the old one or the whole
// new one, and the next open counts right.
TEST_F(FaultSweepTest, CountStampsAnIndexWithoutItsDeletedRecords) {
  auto readMdx = [&] {
    std::ifstream in(Dir() / "KEEP.MDX", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  // Built with the stamp; then as an earlier build left it.
  auto build = [&] {
    Build();
    std::string mdx = readMdx();
    ASSERT_GE(mdx.size(), 72u);
    ASSERT_EQ(mdx.substr(48, 4), std::string("SW\x01\x01", 4));
    ASSERT_EQ(mdx.substr(68, 4), std::string("\x02\x00\x00\x00", 4));
    mdx[51] = 0;
    mdx.replace(68, 4, 4, '\0');
    std::ofstream out(Dir() / "KEEP.MDX", std::ios::binary | std::ios::trunc);
    out.write(mdx.data(), static_cast<std::streamsize>(mdx.size()));
  };
  auto count = [&] {
    return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) {
      uint32_t n = 0;
      OrbResult r = EngineSwitchToIndex(c, "BYNAME");
      if (r == ORB_OK) r = EngineGetRecordCount(c, &n);
      return r == ORB_OK && n != 6 ? ORB_ERR_CORRUPT : r;
    });
  };
  auto stampOldOrNew = [&] {
    const std::string mdx = readMdx();
    const std::string stamp = mdx.substr(51, 1) + mdx.substr(68, 4);
    EXPECT_TRUE(stamp == std::string(5, '\0') || stamp == std::string("\x01\x02\x00\x00\x00", 5))
        << "a stamp cut off half way";
  };
  build();
  fault::Arm(fault::Plan{});
  ASSERT_EQ(count(), ORB_OK);
  const int steps = fault::Count();
  fault::Disarm();
  EXPECT_EQ(readMdx().substr(51, 1), "\x01") << "the count stamped the index";
  ASSERT_GT(steps, 0);
  for (int at = 1; at <= steps; ++at) {
    SCOPED_TRACE("stopped at step " + std::to_string(at) + " of " + std::to_string(steps));
    build();
    pid_t pid = fork();
    if (pid == 0) {
      fault::Arm(fault::Plan{at, 0, true, false});
      count();
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), fault::kStopCode);
    stampOldOrNew();
    EXPECT_EQ(count(), ORB_OK);
    const State seen = Look();
    EXPECT_EQ(seen.rows.size(), 6u);
    if (HasFailure()) return;
  }
  for (int at = 1; at <= steps; ++at) {
    SCOPED_TRACE("disk full at step " + std::to_string(at) + " of " + std::to_string(steps));
    build();
    fault::Arm(fault::Plan{at, ENOSPC, false, false});
    EXPECT_EQ(count(), ORB_OK) << "the count answers whether or not its stamp could be written";
    fault::Disarm();
    stampOldOrNew();
    EXPECT_EQ(count(), ORB_OK);
    EXPECT_EQ(Look().rows.size(), 6u);
    if (HasFailure()) return;
  }
}

TEST_F(FaultSweepTest, Pack) {
  Sweep([&] { return EnginePack(db_, 0, "KEEP", "DBASE", 1); });
}

TEST_F(FaultSweepTest, IndexRebuild) {
  // A rebuild changes nothing a reader sees: each stop must leave the same.
  // A refused one leaves the old index usable in every mode.
  keepsIndexInStep_ = true;
  Sweep([&] { return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) { return EngineRegenIndexes(c); }); }, false);
}

// Tags are added and deleted by a rewrite of the whole index file: a kill
// leaves the old tags or the new ones, a full disk the old ones, in step.
TEST_F(FaultSweepTest, TagAdded) {
  keepsIndexInStep_ = true;
  Sweep([&] { return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) { return AddTag(c, "BYBOTH"); }); });
}

TEST_F(FaultSweepTest, FirstTagAdded) {
  tags_ = {};
  Sweep([&] { return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) { return AddTag(c, "BYNAME"); }); });
}

TEST_F(FaultSweepTest, TagDeleted) {
  keepsIndexInStep_ = true;
  Sweep([&] {
    return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) { return EngineDeleteIndex(db_, c, nullptr, "BYCOST"); });
  });
}

TEST_F(FaultSweepTest, TagDeletedInAnExclusiveOpen) {
  keepsIndexInStep_ = true;
  Sweep([&] {
    return OnCursor(ORB_OPEN_EXCLUSIVE, [&](OrbCursor c) { return EngineDeleteIndex(db_, c, nullptr, "BYNAME"); });
  });
}

// The table stops naming the index (byte 28, synced) before the file goes.
TEST_F(FaultSweepTest, LastTagDeleted) {
  tags_ = {"BYNAME"};
  Sweep(
      [&] {
        return OnCursor(ORB_OPEN_SHARED, [&](OrbCursor c) { return EngineDeleteIndex(db_, c, nullptr, "BYNAME"); });
      },
      true, [&] { EXPECT_EQ(Read("KEEP.DBF")[28], 0); });
}

// An index cut short is rebuilt from the records by the next writable
// open; one stopped or refused on the way leaves it to the open after.
TEST_F(FaultSweepTest, UnreadableIndexMendedAtOpen) {
  damageMayStay_ = true;
  Sweep(
      [&] {
        const std::string mdx = Read("KEEP.MDX");
        Write("KEEP.MDX", mdx.substr(0, mdx.size() - 512));
        return OnCursor(ORB_OPEN_SHARED, [](OrbCursor) { return ORB_OK; });
      },
      false);
}

TEST_F(FaultSweepTest, CreateOverATable) {
  Sweep([&] {
    const std::vector<OrbFieldDesc> fields = {Field("NAME", 'C', 10), Field("COST", 'N', 8, 2),
                                              Field("NOTE", 'M', 10)};
    return EngineCreateTable(db_, "KEEP", static_cast<uint16_t>(fields.size()), fields.data(), 0);
  }, true, [&] { EXPECT_FALSE(std::filesystem::exists(Dir() / "KEEP.MDX")); });
}

TEST_F(FaultSweepTest, ExclusiveRunHeldUntilTheClose) { SweepExclusiveRun(); }

TEST_F(FaultSweepTest, ExclusiveRunWrittenOnTheWay) {
  // Past one held block each change writes what is held first.
  const size_t limit = orb::mdx::HeldLimit();
  orb::mdx::SetHeldLimit(1);
  SweepExclusiveRun();
  orb::mdx::SetHeldLimit(limit);
}

TEST_F(FaultSweepTest, BatchWrittenAtItsCommit) { SweepBatch(); }

TEST_F(FaultSweepTest, BatchWrittenOnTheWay) {
  // Past its bound each change writes what the batch holds, its old bytes
  // to the journal first.
  const size_t bound = orb::BatchBound();
  orb::SetBatchBound(1);
  SweepBatch();
  orb::SetBatchBound(bound);
}

TEST_F(FaultSweepTest, BatchWrittenAsItSpreads) {
  // Past its span each change writes what the batch holds and the disk
  // starts on it: a kill may come at that start too.
  const int64_t span = orb::BatchSpan();
  orb::SetBatchSpan(1);
  Build();
  fault::Arm(fault::Plan{});
  ASSERT_EQ(Batch(ORB_OPEN_EXCLUSIVE), ORB_OK);
  EXPECT_GT(fault::CountOf(fault::Op::kWriteback), 0);
  fault::Disarm();
  SweepBatch();
  orb::SetBatchSpan(span);
}

// A copy into a table without records is built beside it and renamed in,
// its index with it; a kill leaves the empty table or the whole copy, with
// an index in step, and nothing of the copy beside it.
TEST_F(FaultSweepTest, CopyIntoAnEmptyTable) {
  emptyTable_ = openEveryMode_ = sameLengthOnFullDisk_ = true;
  CopySource();  // made before the sweep counts the copy's steps
  for (uint16_t mode : {ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE}) {
    SCOPED_TRACE(mode == ORB_OPEN_SHARED ? "shared" : "exclusive");
    Sweep([&] { return CopyInto(mode); }, true, [&] {
      EXPECT_EQ(readOnlyTag_, ORB_OK) << "the copy's index was put in out of step with it";
    });
    if (HasFailure()) break;
  }
}

// Into records already there the copy is one batch.
TEST_F(FaultSweepTest, CopyIntoATableWithRecords) {
  openEveryMode_ = sameLengthOnFullDisk_ = true;
  CopySource();
  for (uint16_t mode : {ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE}) {
    SCOPED_TRACE(mode == ORB_OPEN_SHARED ? "shared" : "exclusive");
    Sweep([&] { return CopyInto(mode); });
    if (HasFailure()) break;
  }
}

TEST_F(FaultSweepTest, AnswerMadePermanentOverATable) {
  // The answer (a record with a long text, kept as a memo) is made before
  // the sweep, in the engine's private folder, which the sweep leaves alone.
  OrbStatement stmt = 0;
  ASSERT_EQ(EngineQueryAlloc(db_, ORB_QUERY_SQL, &stmt), ORB_OK);
  ASSERT_EQ(EngineQueryPrepare(stmt, "SELECT 'added' AS NAME, 99.5 AS COST, "
                                     "substr(replace(hex(zeroblob(200)), '0', 'memo '), 1, 400) AS NOTE"),
            ORB_OK);
  OrbCursor answer = 0;
  ASSERT_EQ(EngineQueryExecute(stmt, &answer), ORB_OK);
  ASSERT_NE(answer, 0u);
  Sweep([&] { return EngineMakePermanent(answer, (Dir() / "KEEP").string().c_str(), 1); }, true,
        [&] { EXPECT_FALSE(std::filesystem::exists(Dir() / "KEEP.MDX")); });
  EngineCloseCursor(answer);
  EngineQueryFree(stmt);
}

}  // namespace

namespace {

// The live records' names in the order of `tag`.
std::vector<std::string> NamesInOrder(EngineTest& t, OrbCursor c, const char* tag) {
  std::vector<std::string> out;
  EXPECT_EQ(EngineSwitchToIndex(c, tag), ORB_OK);
  EngineSetToBegin(c);
  std::vector<uint8_t> rec(64);
  char name[16];
  int32_t blank = 0;
  while (EngineGetNextRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr) == ORB_OK) {
    EngineGetField(c, 1, rec.data(), name, sizeof name, &blank);
    out.push_back(name);
  }
  (void)t;
  return out;
}

// An append stopped after its record was counted but before its keys: a
// read-only open reads the records but says the index must be rebuilt when
// a tag is chosen; a writable open rebuilds it, and the record shows in
// index order.
TEST_F(FaultSweepTest, AnAppendCutOffBeforeItsKeysIsFoundAndMended) {
  int outOfStep = 0;
  for (int at = 1; at < 40; ++at) {
    Build();
    pid_t pid = fork();
    if (pid == 0) {
      fault::Arm(fault::Plan{at, 0, true, false});
      OrbCursor c = 0;
      if (EngineOpenTable(db_, "KEEP", ORB_OPEN_SHARED, &c) != ORB_OK) _exit(1);
      std::vector<uint8_t> rec(64);
      EngineInitRecord(c, rec.data(), static_cast<uint32_t>(rec.size()));
      EnginePutField(c, 1, rec.data(), "aardvark");
      EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size()));
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (WEXITSTATUS(status) == 0) break;  // the append ran to its end
    OrbCursor c = 0;
    ASSERT_EQ(EngineOpenTable(db_, "KEEP", ORB_OPEN_READ_ONLY, &c), ORB_OK);
    const OrbResult tag = EngineSwitchToIndex(c, "BYNAME");
    EngineCloseCursor(c);
    if (tag == ORB_OK) continue;
    ASSERT_EQ(tag, ORB_ERR_INDEX_OUT_OF_STEP);
    ++outOfStep;
    ASSERT_EQ(EngineOpenTable(db_, "KEEP", ORB_OPEN_SHARED, &c), ORB_OK);
    OrbTableInfo info{};
    ASSERT_EQ(EngineGetTableInfo(c, &info), ORB_OK);
    std::vector<std::string> names = NamesInOrder(*this, c, "BYNAME");
    EXPECT_EQ(names.size(), info.physicalCount - 2);  // records 3 and 6 are deleted
    EXPECT_EQ(names.front() == "aardvark", info.physicalCount == 9u);
    EngineCloseCursor(c);
    ASSERT_EQ(EngineOpenTable(db_, "KEEP", ORB_OPEN_READ_ONLY, &c), ORB_OK);
    EXPECT_EQ(EngineSwitchToIndex(c, "BYNAME"), ORB_OK);
    EngineCloseCursor(c);
  }
  EXPECT_GT(outOfStep, 0);
}

TEST_F(FaultSweepTest, PackGivesBackTheSpaceOfDeletedMemos) {
  Build();
  OrbCursor c = Open("KEEP", ORB_OPEN_EXCLUSIVE);
  EngineSetToBegin(c);
  std::vector<uint8_t> rec = Buffer(c);
  while (EngineGetNextRecord(c, rec.data(), rec.size(), nullptr) == ORB_OK) ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
  ASSERT_GT(std::filesystem::file_size(Dir() / "KEEP.DBT"), 512u * 8);
  ASSERT_EQ(EnginePack(db_, c, nullptr, "DBASE", 1), ORB_OK);
  EXPECT_EQ(std::filesystem::file_size(Dir() / "KEEP.DBT"), 512u);
  OrbTableInfo info{};
  ASSERT_EQ(EngineGetTableInfo(c, &info), ORB_OK);
  EXPECT_EQ(info.physicalCount, 0u);
  // Nothing of the pack is left beside the table.
  for (const auto& entry : std::filesystem::directory_iterator(Dir())) {
    EXPECT_EQ(entry.path().extension().string().size(), 4u) << entry.path();
  }
  // The packed table takes new records, memos and keys as before.
  Add(c, "fresh", 1, "a memo in the packed table");
  EXPECT_EQ(NamesInOrder(*this, c, "BYCOST"), (std::vector<std::string>{"fresh"}));
}

// dBASE tools find tags through the tag table's tree of names (bytes 16-18
// of each entry: left, right, parent, entry numbers from 1). It survives a
// reopen and the header written by the next change.
TEST_F(FaultSweepTest, TheTagTableKeepsItsTreeOfNames) {
  Build();
  OrbCursor c = Open("KEEP", ORB_OPEN_SHARED);
  Add(c, "later", 2, "written after the reopen");
  EngineCloseCursor(c);
  open_.clear();
  const std::string mdx = Read("KEEP.MDX");
  auto links = [&](int entry) {
    const size_t at = 544 + 32 * static_cast<size_t>(entry - 1) + 16;
    return std::vector<int>{static_cast<uint8_t>(mdx[at]), static_cast<uint8_t>(mdx[at + 1]),
                            static_cast<uint8_t>(mdx[at + 2])};
  };
  // Entry 1 BYNAME, entry 2 BYCOST: BYCOST sorts first and is the root.
  EXPECT_EQ(links(2), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(links(1), (std::vector<int>{0, 0, 2}));
}

// Another program rebuilds the index over and over while this one seeks
// and walks it: no step ever reports damage, and every walk sees every
// live record once.
TEST_F(FaultSweepTest, ReadersNeverSeeDamageDuringAnotherProgramsRebuild) {
  Build();
  char exe[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  const std::string lib = (std::filesystem::path(exe).parent_path() / "libORBEX32.so").string();
  int ready[2], stop[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(stop), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    close(stop[1]);
    fcntl(stop[0], F_SETFL, O_NONBLOCK);
    void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) _exit(4);
    auto openDb = reinterpret_cast<decltype(&EngineOpenDatabase)>(dlsym(h, "EngineOpenDatabase"));
    auto openTable = reinterpret_cast<decltype(&EngineOpenTable)>(dlsym(h, "EngineOpenTable"));
    auto regen = reinterpret_cast<decltype(&EngineRegenIndexes)>(dlsym(h, "EngineRegenIndexes"));
    if (!openDb || !openTable || !regen) _exit(5);
    OrbDatabase db = 0;
    OrbCursor other = 0;
    if (openDb(Dir().c_str(), &db) != ORB_OK || openTable(db, "KEEP", ORB_OPEN_SHARED, &other) != ORB_OK) _exit(1);
    if (write(ready[1], "r", 1) != 1) _exit(6);
    char b;
    for (int i = 0; i < 100000 && read(stop[0], &b, 1) != 1; ++i) {
      if (regen(other) != ORB_OK) _exit(2);
    }
    _exit(0);
  }
  close(ready[1]);
  close(stop[0]);
  char b;
  ASSERT_EQ(read(ready[0], &b, 1), 1);
  close(ready[0]);
  OrbCursor c = Open("KEEP", ORB_OPEN_SHARED);
  ASSERT_EQ(EngineSwitchToIndex(c, "BYNAME"), ORB_OK);
  std::vector<uint8_t> rec = Buffer(c);
  for (int walk = 0; walk < 1000; ++walk) {
    // As a reader that looks again each time (another program changed it).
    ASSERT_EQ(EngineForceReread(c), ORB_OK);
    ASSERT_EQ(EngineSetToKeyText(c, ORB_KEY_GE, "ITEM5", 5), ORB_OK);
    ASSERT_EQ(EngineGetRecord(c, rec.data(), rec.size(), nullptr), ORB_OK);
    ASSERT_EQ(Text(c, 1, rec.data()), "item5");
    EngineSetToBegin(c);
    int seen = 0;
    OrbResult r;
    while ((r = EngineGetNextRecord(c, rec.data(), rec.size(), nullptr)) == ORB_OK) ++seen;
    ASSERT_EQ(r, ORB_ERR_EOF) << std::hex << r;
    ASSERT_EQ(seen, 6);
  }
  ASSERT_EQ(write(stop[1], "s", 1), 1);
  close(stop[1]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
