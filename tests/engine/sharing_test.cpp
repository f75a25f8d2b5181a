// Opens shared, exclusive and read-only, within and between processes;
// creating over a table; failed writes.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <atomic>
#include <set>
#include <thread>

#include "engine_fixture.h"
#include "file.h"

namespace engine_test {
namespace {

class SharingTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    MakeTable("SHARED", {Field("NAME", 'C', 10)});
  }
  OrbResult TryOpen(uint16_t mode, OrbCursor* c) { return EngineOpenTable(db_, "SHARED", mode, c); }
};

TEST_F(SharingTest, OpenModesWithinTheProcess) {
  struct Case {
    const char* what;
    uint16_t held;
    uint16_t asked;
    OrbResult code;
  };
  const Case cases[] = {
      {"shared beside shared", ORB_OPEN_SHARED, ORB_OPEN_SHARED, ORB_OK},
      {"read-only beside shared", ORB_OPEN_SHARED, ORB_OPEN_READ_ONLY, ORB_OK},
      {"shared beside read-only", ORB_OPEN_READ_ONLY, ORB_OPEN_SHARED, ORB_OK},
      {"exclusive while shared", ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE, ORB_ERR_TABLE_IN_USE},
      {"exclusive while read-only", ORB_OPEN_READ_ONLY, ORB_OPEN_EXCLUSIVE, ORB_ERR_TABLE_IN_USE},
      {"shared while exclusive", ORB_OPEN_EXCLUSIVE, ORB_OPEN_SHARED, ORB_ERR_TABLE_IN_USE},
      {"read-only while exclusive", ORB_OPEN_EXCLUSIVE, ORB_OPEN_READ_ONLY, ORB_ERR_TABLE_IN_USE},
      {"exclusive while exclusive", ORB_OPEN_EXCLUSIVE, ORB_OPEN_EXCLUSIVE, ORB_ERR_TABLE_IN_USE},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    OrbCursor held = 0, asked = 0;
    ASSERT_EQ(TryOpen(k.held, &held), ORB_OK);
    EXPECT_EQ(TryOpen(k.asked, &asked), k.code);
    if (asked != 0) EngineCloseCursor(asked);
    EngineCloseCursor(held);
  }
  // Once everything is closed, an exclusive open succeeds.
  OrbCursor c = 0;
  EXPECT_EQ(TryOpen(ORB_OPEN_EXCLUSIVE, &c), ORB_OK);
  EngineCloseCursor(c);
}

TEST_F(SharingTest, OpenModesBetweenProcesses) {
  struct Case {
    const char* what;
    uint16_t held;
    uint16_t asked;
    OrbResult code;
  };
  const Case cases[] = {
      {"shared beside shared", ORB_OPEN_SHARED, ORB_OPEN_SHARED, ORB_OK},
      {"exclusive while shared", ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE, ORB_ERR_TABLE_IN_USE},
      {"shared while exclusive", ORB_OPEN_EXCLUSIVE, ORB_OPEN_SHARED, ORB_ERR_TABLE_IN_USE},
      {"read-only while exclusive", ORB_OPEN_EXCLUSIVE, ORB_OPEN_READ_ONLY, ORB_ERR_TABLE_IN_USE},
      {"exclusive while read-only", ORB_OPEN_READ_ONLY, ORB_OPEN_EXCLUSIVE, ORB_ERR_TABLE_IN_USE},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    OrbCursor held = 0;
    ASSERT_EQ(TryOpen(k.held, &held), ORB_OK);
    // The child is a fresh user of the file: it finds our lock, not our registry.
    const int answer = InChild([&] {
      OrbDatabase db = 0;
      EngineOpenDatabase(Dir().c_str(), &db);
      OrbCursor c = 0;
      OrbResult r = EngineOpenTable(db, "SHARED", k.asked, &c);
      return r == ORB_OK ? 0 : (r == ORB_ERR_TABLE_IN_USE ? 1 : 2);
    });
    EXPECT_EQ(answer, k.code == ORB_OK ? 0 : 1);
    EngineCloseCursor(held);
  }
}

TEST_F(SharingTest, AppendsOfAnotherProcessAppearAfterReread) {
  OrbCursor c = 0;
  ASSERT_EQ(TryOpen(ORB_OPEN_SHARED, &c), ORB_OK);
  open_.push_back(c);
  EXPECT_EQ(Scan(c), std::vector<uint32_t>{});
  const int answer = InChild([&] {
    OrbDatabase db = 0;
    EngineOpenDatabase(Dir().c_str(), &db);
    OrbCursor k = 0;
    if (EngineOpenTable(db, "SHARED", ORB_OPEN_SHARED, &k) != ORB_OK) return 1;
    std::vector<uint8_t> rec(11, ' ');
    for (const char* name : {"one", "two"}) {
      EnginePutField(k, 1, rec.data(), name);
      if (EngineInsertRecord(k, rec.data(), 11) != ORB_OK) return 2;
    }
    return 0;
  });
  ASSERT_EQ(answer, 0);
  ASSERT_EQ(EngineForceReread(c), ORB_OK);
  EXPECT_EQ(Scan(c), (std::vector<uint32_t>{1, 2}));
}

// Scans read ahead in blocks; another program's changes still show in the
// next scan and count (and an append in the walk under way), with no
// reread asked for. Read-only opens read ahead the same way.
TEST_F(SharingTest, AnotherProcessesChangesShowInTheNextScanAndCount) {
  for (uint16_t mode : {ORB_OPEN_SHARED, ORB_OPEN_READ_ONLY}) {
    SCOPED_TRACE(mode);
    MakeTable("SHARED", {Field("NAME", 'C', 10)});
    OrbCursor w = Open("SHARED");
    std::vector<uint8_t> rec(11, ' ');
    for (const char* name : {"one", "two", "three"}) {
      EnginePutField(w, 1, rec.data(), name);
      ASSERT_EQ(EngineInsertRecord(w, rec.data(), 11), ORB_OK);
    }
    EngineCloseCursor(w);
    open_.pop_back();
    OrbCursor c = Open("SHARED", mode);
    ASSERT_EQ(Scan(c), (std::vector<uint32_t>{1, 2, 3}));
    auto changeInChild = [&](const char* rewriteSecondTo, const char* append) {
      return InChild([&] {
        OrbDatabase db = 0;
        EngineOpenDatabase(Dir().c_str(), &db);
        OrbCursor k = 0;
        if (EngineOpenTable(db, "SHARED", ORB_OPEN_SHARED, &k) != ORB_OK) return 1;
        std::vector<uint8_t> r(11, ' ');
        if (rewriteSecondTo != nullptr) {
          if (EngineSetToRecordNo(k, 2) != ORB_OK || EngineGetRecord(k, r.data(), 11, nullptr) != ORB_OK) return 2;
          EnginePutField(k, 1, r.data(), rewriteSecondTo);
          if (EngineModifyRecord(k, r.data(), 11) != ORB_OK) return 3;
        }
        EnginePutField(k, 1, r.data(), append);
        return EngineInsertRecord(k, r.data(), 11) == ORB_OK ? 0 : 4;
      });
    };
    ASSERT_EQ(changeInChild("second", "four"), 0);
    uint32_t count = 0;
    ASSERT_EQ(EngineGetRecordCount(c, &count), ORB_OK);
    EXPECT_EQ(count, 4u);
    std::vector<std::string> names;
    std::vector<uint8_t> buf = Buffer(c);
    ASSERT_EQ(EngineSetToBegin(c), ORB_OK);
    while (EngineGetNextRecord(c, buf.data(), static_cast<uint32_t>(buf.size()), nullptr) == ORB_OK) {
      names.push_back(Text(c, 1, buf.data()));
      // Mid-walk: an append made after the walk began shows at its end.
      if (names.size() == 1) {
        ASSERT_EQ(changeInChild(nullptr, "five"), 0);
      }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"one", "second", "three", "four", "five"}));
    EngineCloseCursor(c);
    open_.pop_back();
  }
}

TEST_F(SharingTest, ModifyingKeepsTheCountOfAnotherProcessesAppend) {
  OrbCursor c = Open("SHARED");
  std::vector<uint8_t> rec(11, ' ');
  EnginePutField(c, 1, rec.data(), "mine");
  ASSERT_EQ(EngineInsertRecord(c, rec.data(), 11), ORB_OK);
  ASSERT_EQ(InChild([&] {
              OrbDatabase db = 0;
              EngineOpenDatabase(Dir().c_str(), &db);
              OrbCursor k = 0;
              if (EngineOpenTable(db, "SHARED", ORB_OPEN_SHARED, &k) != ORB_OK) return 1;
              std::vector<uint8_t> r(11, ' ');
              EnginePutField(k, 1, r.data(), "theirs");
              return EngineInsertRecord(k, r.data(), 11) == ORB_OK ? 0 : 2;
            }),
            0);
  // Our cursor has not looked again; its change must not undo their count.
  EnginePutField(c, 1, rec.data(), "changed");
  ASSERT_EQ(EngineModifyRecord(c, rec.data(), 11), ORB_OK);
  ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
  EXPECT_EQ(static_cast<uint8_t>(Read("SHARED.DBF")[4]), 2);
  ASSERT_EQ(EngineForceReread(c), ORB_OK);
  EXPECT_EQ(Scan(c), std::vector<uint32_t>{2});
}

int FailFirstRecordOfNotes(const std::filesystem::path& path, off_t offset, size_t) {
  return path.filename() == "NOTES.DBF" && offset == 32 + 2 * 32 + 1 ? EIO : 0;
}

// A modify refused before the record is written leaves the record's memo
// as it was: refused for a record another program holds locked, or when
// the record cannot be written (a shorter memo would be rewritten in its
// own blocks).
TEST_F(SharingTest, ModifyThatCannotWriteTheRecordLeavesItsMemoAsItWas) {
  MakeTable("NOTES", {Field("ITEM", 'C', 10), Field("NOTES", 'M', 10)});
  OrbCursor c = Open("NOTES");
  std::vector<uint8_t> rec = Buffer(c);
  auto putMemo = [&](const std::string& text) {
    ASSERT_EQ(EngineOpenBlob(c, rec.data(), 2, ORB_BLOB_READ_WRITE), ORB_OK);
    ASSERT_EQ(EngineTruncateBlob(c, rec.data(), 2, 0), ORB_OK);
    ASSERT_EQ(EnginePutBlob(c, rec.data(), 2, 0, static_cast<uint32_t>(text.size()),
                            reinterpret_cast<const uint8_t*>(text.data())), ORB_OK);
  };
  EngineInitRecord(c, rec.data(), static_cast<uint32_t>(rec.size()));
  EnginePutField(c, 1, rec.data(), "camera");
  putMemo("bought in 2019, receipt in the drawer");
  ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  EngineFreeBlob(c, rec.data(), 2);

  auto memoOfFirst = [&] {
    std::vector<uint8_t> r = Buffer(c);
    EXPECT_EQ(EngineGetFirstRecord(c, r.data(), static_cast<uint32_t>(r.size()), nullptr), ORB_OK);
    uint32_t size = 0;
    EXPECT_EQ(EngineGetBlobSize(c, r.data(), 2, &size), ORB_OK);
    std::string text(size, '\0');
    uint32_t got = 0;
    EXPECT_EQ(EngineGetBlob(c, r.data(), 2, 0, size, reinterpret_cast<uint8_t*>(text.data()), &got), ORB_OK);
    return text;
  };

  {
    SCOPED_TRACE("record locked by another program");
    orb::File other;  // another program's open of the table
    ASSERT_EQ(other.Open(Dir() / "NOTES.DBF", true), ORB_OK);
    ASSERT_TRUE(other.Lock(orb::RecordLockOffset(1), true));
    ASSERT_EQ(EngineGetFirstRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
    putMemo("sold");
    EXPECT_EQ(EngineModifyRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_ERR_LOCKED);
    EngineFreeBlob(c, rec.data(), 2);
    other.Unlock(orb::RecordLockOffset(1));
    EXPECT_EQ(memoOfFirst(), "bought in 2019, receipt in the drawer");
  }
  {
    SCOPED_TRACE("record write failing");
    ASSERT_EQ(EngineGetFirstRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
    putMemo("sold");
    orb::SetWriteFaultHook(&FailFirstRecordOfNotes);
    EXPECT_EQ(EngineModifyRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_ERR_WRITE_FAILED);
    orb::SetWriteFaultHook(nullptr);
    EngineFreeBlob(c, rec.data(), 2);
    EXPECT_EQ(memoOfFirst(), "bought in 2019, receipt in the drawer");
  }
}

TEST_F(SharingTest, CreateReplacesOnlyATableNobodyUses) {
  const std::vector<OrbFieldDesc> fields = {Field("OTHER", 'C', 4)};
  OrbCursor c = 0;
  ASSERT_EQ(TryOpen(ORB_OPEN_READ_ONLY, &c), ORB_OK);
  EXPECT_EQ(EngineCreateTable(db_, "SHARED", 1, fields.data(), 0), ORB_ERR_TABLE_IN_USE);
  EngineCloseCursor(c);

  // Another process holding it open refuses the replacement too.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t pid = fork();
  if (pid == 0) {
    OrbDatabase db = 0;
    EngineOpenDatabase(Dir().c_str(), &db);
    OrbCursor k = 0;
    EngineOpenTable(db, "SHARED", ORB_OPEN_SHARED, &k);
    char b = 1;
    if (write(ready[1], &b, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char b = 0;
  ASSERT_EQ(read(ready[0], &b, 1), 1);
  EXPECT_EQ(EngineCreateTable(db_, "SHARED", 1, fields.data(), 0), ORB_ERR_TABLE_IN_USE);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(ready[0]);
  close(ready[1]);

  Write("SHARED.mdx", "stale index");
  ASSERT_EQ(EngineCreateTable(db_, "SHARED", 1, fields.data(), 0), ORB_OK);
  EXPECT_FALSE(std::filesystem::exists(Dir() / "SHARED.mdx"));
  c = Open("SHARED");
  uint16_t n = 0;
  EXPECT_EQ(EngineFieldNumber(c, "other", &n), ORB_OK);
}

int gFailAt = -1;  // fail writes at this offset (header count: 1)
int FailingWrites(const std::filesystem::path&, off_t offset, size_t) {
  return (gFailAt < 0 || offset == gFailAt) ? ENOSPC : 0;
}

TEST_F(SharingTest, FailedWritesAreReportedAndLeaveNoCountedHalfRecord) {
  struct Case {
    const char* what;
    int failAt;
  };
  for (const Case& k : {Case{"disk full on the record", -1}, Case{"disk full on the count", 1}}) {
    SCOPED_TRACE(k.what);
    OrbCursor c = 0;
    ASSERT_EQ(TryOpen(ORB_OPEN_SHARED, &c), ORB_OK);
    std::vector<uint8_t> rec(11, ' ');
    EnginePutField(c, 1, rec.data(), "lost");
    gFailAt = k.failAt;
    orb::SetWriteFaultHook(&FailingWrites);
    EXPECT_EQ(EngineInsertRecord(c, rec.data(), 11), ORB_ERR_DISK_FULL);
    orb::SetWriteFaultHook(nullptr);
    EngineCloseCursor(c);
    ASSERT_EQ(TryOpen(ORB_OPEN_SHARED, &c), ORB_OK);
    EXPECT_EQ(Scan(c), std::vector<uint32_t>{});  // the header never counted it
    // The next append takes the slot.
    EnginePutField(c, 1, rec.data(), "kept");
    ASSERT_EQ(EngineInsertRecord(c, rec.data(), 11), ORB_OK);
    EXPECT_EQ(Scan(c), std::vector<uint32_t>{1});
    ASSERT_EQ(EngineSetToRecordNo(c, 1), ORB_OK);
    ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
    EngineCloseCursor(c);
    ASSERT_EQ(EnginePack(db_, 0, "SHARED", nullptr, 1), ORB_OK);
  }
}

int gWritesLeft = 0;
int FailAfterSomeWrites(const std::filesystem::path&, off_t, size_t) { return gWritesLeft-- > 0 ? 0 : EIO; }

TEST_F(SharingTest, APackThatCannotWriteLeavesTheTableAsItWas) {
  // Whichever of the pack's writes fails, the table's file is byte for
  // byte what it was and its live records read as before.
  bool packed = false;
  for (int stopAfter = 0; !packed && stopAfter < 50; ++stopAfter) {
    SCOPED_TRACE(stopAfter);
    MakeTable("PACKME", {Field("NAME", 'C', 4)});
    OrbCursor c = 0;
    ASSERT_EQ(EngineOpenTable(db_, "PACKME", ORB_OPEN_EXCLUSIVE, &c), ORB_OK);
    std::vector<uint8_t> rec(5, ' ');
    for (int i = 1; i <= 8; ++i) {
      EnginePutField(c, 1, rec.data(), ("r" + std::to_string(i)).c_str());
      ASSERT_EQ(EngineInsertRecord(c, rec.data(), 5), ORB_OK);
    }
    for (uint32_t n : {1u, 4u, 6u}) {
      ASSERT_EQ(EngineSetToRecordNo(c, n), ORB_OK);
      ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
    }
    const std::string before = Read("PACKME.DBF");
    gWritesLeft = stopAfter;
    orb::SetWriteFaultHook(&FailAfterSomeWrites);
    OrbResult r = EnginePack(db_, c, nullptr, "DBASE", 1);
    orb::SetWriteFaultHook(nullptr);
    EngineCloseCursor(c);
    packed = r == ORB_OK;
    if (!packed) {
      EXPECT_EQ(r, ORB_ERR_WRITE_FAILED);
      EXPECT_EQ(Read("PACKME.DBF"), before);
    }

    ASSERT_EQ(EngineOpenTable(db_, "PACKME", ORB_OPEN_READ_ONLY, &c), ORB_OK);
    std::vector<std::string> names;
    EngineSetToBegin(c);
    while (EngineGetNextRecord(c, rec.data(), 5, nullptr) == ORB_OK) {
      char v[8];
      int32_t blank;
      EngineGetField(c, 1, rec.data(), v, sizeof v, &blank);
      names.push_back(v);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"r2", "r3", "r5", "r7", "r8"}));
    uint32_t count = 0;
    EngineGetRecordCount(c, &count);
    EXPECT_EQ(count, 5u);
    EngineCloseCursor(c);
  }
  EXPECT_TRUE(packed);
}

TEST_F(SharingTest, FileSizeLimitIsADiskFullError) {
  // A real failing write: the child may not grow files beyond their size.
  const int answer = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    OrbDatabase db = 0;
    EngineOpenDatabase(Dir().c_str(), &db);
    OrbCursor c = 0;
    if (EngineOpenTable(db, "SHARED", ORB_OPEN_SHARED, &c) != ORB_OK) return 10;
    struct rlimit lim {};
    lim.rlim_cur = lim.rlim_max = static_cast<rlim_t>(std::filesystem::file_size(Dir() / "SHARED.DBF"));
    setrlimit(RLIMIT_FSIZE, &lim);
    std::vector<uint8_t> rec(11, ' ');
    return EngineInsertRecord(c, rec.data(), 11) == ORB_ERR_DISK_FULL ? 0 : 11;
  });
  EXPECT_EQ(answer, 0);
  OrbCursor c = Open("SHARED");
  EXPECT_EQ(Scan(c), std::vector<uint32_t>{});
}

// Field reads take no engine lock: threads reading their own cursors get
// their own fields while other threads open and close cursors (and a
// reader's closed handle is refused).
TEST_F(SharingTest, FieldReadsOnSeveralThreadsWhileCursorsComeAndGo) {
  MakeTable("WIDE", {Field("NAME", 'C', 10), Field("QTY", 'N', 6, 1)});
  MakeTable("NARROW", {Field("QTY", 'N', 6, 1)});
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  auto reader = [&](const char* table, uint16_t qtyField) {
    OrbCursor c = 0;
    if (EngineOpenTable(db_, table, ORB_OPEN_SHARED, &c) != ORB_OK) {
      ++wrong;
      return;
    }
    std::vector<uint8_t> rec(32, ' ');
    const double qty = 12.5;
    EnginePutField(c, qtyField, rec.data(), &qty);
    for (int i = 0; i < 20000; ++i) {
      double got = 0;
      if (EngineGetField(c, qtyField, rec.data(), &got, sizeof got, nullptr) != ORB_OK || got != 12.5) ++wrong;
    }
    EngineCloseCursor(c);
    double got = 0;
    if (EngineGetField(c, qtyField, rec.data(), &got, sizeof got, nullptr) != ORB_ERR_INVALID_HANDLE) ++wrong;
  };
  std::thread churn([&] {
    while (!stop) {
      OrbCursor k = 0;
      if (EngineOpenTable(db_, "SHARED", ORB_OPEN_SHARED, &k) == ORB_OK) EngineCloseCursor(k);
    }
  });
  std::thread wide(reader, "WIDE", 2), narrow(reader, "NARROW", 1);
  wide.join();
  narrow.join();
  stop = true;
  churn.join();
  EXPECT_EQ(wrong, 0);
}

TEST_F(SharingTest, HandlesAreCheckedBeforeUse) {
  std::vector<uint8_t> rec(11, ' ');
  uint32_t n;
  struct Case {
    const char* what;
    OrbResult code;
  };
  const Case cases[] = {
      {"next on no cursor", EngineGetNextRecord(12345, rec.data(), 11, nullptr)},
      {"count on no cursor", EngineGetRecordCount(0, &n)},
      {"close of a handle never opened", EngineCloseCursor(777)},
      {"database", EngineCloseDatabase(4242)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    EXPECT_EQ(k.code, ORB_ERR_INVALID_HANDLE);
  }
  OrbCursor c = Open("SHARED");
  EXPECT_EQ(EngineGetNextRecord(c, rec.data(), 5, nullptr), ORB_ERR_INVALID_PARAM);  // buffer too small
  EXPECT_EQ(EngineOpenTable(db_, "NOSUCH", ORB_OPEN_SHARED, &c), ORB_ERR_NO_SUCH_TABLE);
  EXPECT_EQ(EngineOpenTable(db_, "SHARED", 7, &c), ORB_ERR_INVALID_PARAM);

  // A field read knows its cursor's fields without the lookup of other
  // entries; once the cursor is closed the handle is refused all the same.
  OrbCursor gone = Open("SHARED");
  char text[16];
  EXPECT_EQ(EngineGetField(gone, 1, rec.data(), text, sizeof text, nullptr), ORB_OK);
  EXPECT_EQ(EngineGetField(gone, 2, rec.data(), text, sizeof text, nullptr), ORB_ERR_NO_SUCH_FIELD);
  EXPECT_EQ(EngineGetField(gone, 1, nullptr, text, sizeof text, nullptr), ORB_ERR_INVALID_PARAM);
  ASSERT_EQ(EngineCloseCursor(gone), ORB_OK);
  open_.pop_back();
  EXPECT_EQ(EngineGetField(gone, 1, rec.data(), text, sizeof text, nullptr), ORB_ERR_INVALID_HANDLE);
}

}  // namespace
}  // namespace engine_test
