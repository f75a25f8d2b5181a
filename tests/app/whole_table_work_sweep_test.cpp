// keldro's work over many records (the import's appends, a search and
// replace, a dBASE export) stopped as by a kill, and failed as by a full
// disk, at each of the engine's writes, syncs, renames, truncates and
// unlinks in turn. Each run is a child process on a fresh copy of the
// table; afterwards the table must open and hold exactly what it held
// before or what it holds after a run that ends well: no record half there,
// none deleted and left behind, no bytes past the last record, no journal,
// and the sort index walking every record.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "core/backup_restore.h"
#include "core/import_export.h"
#include "core/item_fields.h"
#include "core/old_databases.h"
#include "core/search_replace.h"
#include "fault_engine.h"
#include "framework/dbtables.h"
#include "framework/sysutils.h"
#include "temp_root.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
namespace fault_engine = testing_support::fault_engine;
using framework::TTable;
using testing_support::TempRoot;

// What the table shows and what its file holds.
struct TableState {
  std::vector<std::string> rows;  // every field of the live records, natural order
  std::uintmax_t dbfSize = 0;
  int deletedFlags = 0;  // records the file keeps flagged as deleted
  int indexed = 0;       // records a walk in the sort index's order meets
  bool operator==(const TableState&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TableState& s) {
  return os << s.rows.size() << " rows, " << s.dbfSize << " bytes, " << s.deletedFlags << " deleted, " << s.indexed
            << " in index order";
}

constexpr const char* kSortExpression = "Upper(Left(Category,80))";

class WholeTableWorkSweep : public ::testing::Test {
 protected:
  // The test engine must be the one the framework loads, before any table.
  static void SetUpTestSuite() { fault_engine::Use(); }

  void SetUp() override {
    dir_ = root_.path() / "data";
    pristine_ = root_.path() / "pristine";
    fs::create_directories(dir_);
    fs::create_directories(pristine_);
  }

  fs::path Dbf() const { return dir_ / "MASTER.DBF"; }

  // MASTER open as keldro's window has it: shared, in the sort index's order.
  void OpenMaster(TTable& t) const {
    t.SetDatabaseName(dir_.string());
    t.SetTableName("MASTER.DBF");
    t.SetIndexName("NewIndex");
    t.Open();
  }

  // MASTER as keldro makes it: the 22 fields and (unless the work runs
  // without it) the sort index, with `records` records, three categories in
  // turn.
  void MakeMaster(int records, bool sortIndex = true) {
    TTable t;
    t.SetDatabaseName(dir_.string());
    t.SetTableName("MASTER.DBF");
    t.SetTableType(framework::ttDBase);
    for (const ItemField& f : ItemFields) {
      const std::string name(f.name);
      switch (f.typeCode) {
        case kCharacterField: t.FieldDefs().Add(name, framework::ftString, f.width); break;
        case kIntegerField: t.FieldDefs().Add(name, framework::ftInteger); break;
        case kFloatField: t.FieldDefs().Add(name, framework::ftFloat, f.decimals); break;
        default: t.FieldDefs().Add(name, framework::ftDate); break;
      }
    }
    t.CreateTable();
    t.SetExclusive(true);
    t.Open();
    if (sortIndex) t.AddIndex("NewIndex", kSortExpression, framework::ixExpression);
    const char* categories[] = {"Tools", "Garden", "Kitchen"};
    for (int i = 0; i < records; ++i) {
      t.Append();
      t.FieldByName("Item")->SetAsString("Old " + std::to_string(i));
      t.FieldByName("Brand")->SetAsString(i % 2 ? "acme" : "Zed");
      t.FieldByName("Category")->SetAsString(categories[i % 3]);
      t.FieldByName("Cost")->SetAsFloat(i * 1.25);
      t.FieldByName("PurchDate")->SetAsDateTime(framework::EncodeDate(1990 + i, 1 + i % 12, 1 + i % 28));
      t.Post();
    }
    t.Close();
    for (const fs::directory_entry& e : fs::directory_iterator(dir_)) fs::copy_file(e.path(), pristine_ / e.path().filename());
  }

  // The data folder as MakeMaster left it (and `extra` files beside it).
  void Restore() {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const fs::directory_entry& e : fs::directory_iterator(pristine_)) fs::copy_file(e.path(), dir_ / e.path().filename());
  }

  // Opens the table as keldro does (shared, its index chosen): an open
  // rolls back whatever an interrupted batch left.
  TableState Read(const fs::path& dbf) const {
    TableState s;
    {
      TTable t;
      t.SetDatabaseName(dbf.parent_path().string());
      t.SetTableName(dbf.filename().string());
      t.Open();
      for (t.First(); !t.Eof(); t.Next()) {
        std::string row;
        for (int i = 0; i < t.FieldCount(); ++i) row += t.Fields(i)->AsString() + "|";
        s.rows.push_back(row);
      }
      if (fs::exists(fs::path(dbf).replace_extension(".MDX"))) {
        t.SetIndexName("NewIndex");
        for (t.First(); !t.Eof(); t.Next()) ++s.indexed;
      }
      t.Close();
    }
    s.dbfSize = fs::file_size(dbf);
    const std::string bytes = TempRoot::ReadFile(dbf);
    const std::size_t header = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
    const std::size_t length = static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8;
    const std::size_t count = static_cast<uint8_t>(bytes[4]) | static_cast<uint8_t>(bytes[5]) << 8 |
                              static_cast<std::size_t>(static_cast<uint8_t>(bytes[6])) << 16;
    for (std::size_t r = 0; r < count && header + r * length < bytes.size(); ++r)
      if (bytes[header + r * length] == '*') ++s.deletedFlags;
    return s;
  }

  // The work, given the call that starts the count of the engine's
  // operations (what comes before it is set-up, not swept).
  using Work = std::function<bool(const std::function<void()>& arm)>;

  // Runs `work` in a child with the engine's operation `at` stopping the
  // process (stop) or failing with ENOSPC; the child's exit code: 0 the
  // work ended well, 1 it reported a failure, StopCode it was stopped.
  static int RunChild(int at, bool stop, const Work& work) {
    const pid_t child = fork();
    if (child == 0) {
      const bool ok = work([&] { fault_engine::Arm(at, stop ? 0 : ENOSPC, stop); });
      fault_engine::Disarm();
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // For every operation in turn, killed and then failed: the table is as
  // before or as after. `files` reads the state to compare.
  void Sweep(const Work& work, const std::function<TableState()>& state) {
    Restore();
    const TableState before = state();
    Restore();
    ASSERT_EQ(RunChild(0, true, work), 0) << "the work fails unarmed";
    const TableState after = state();
    ASSERT_NE(before, after);
    for (bool stop : {true, false}) {
      int at = 1;
      for (;; ++at) {
        Restore();
        const int code = RunChild(at, stop, work);
        ASSERT_TRUE(code == 0 || code == 1 || code == fault_engine::kStopCode) << "at " << at << ": " << code;
        const TableState now = state();
        if (code == 0) {
          EXPECT_EQ(now, after) << (stop ? "killed" : "failed") << " at " << at;
          break;
        }
        if (stop) {
          EXPECT_TRUE(now == before || now == after) << "killed at " << at << ": " << now;
        } else {
          // A failure the work reports leaves nothing of it.
          EXPECT_EQ(code, 1) << "failed at " << at;
          EXPECT_EQ(now, before) << "failed at " << at << ": " << now;
        }
        for (const fs::directory_entry& e : fs::directory_iterator(dir_))
          EXPECT_NE(e.path().extension(), ".JNL") << "at " << at << ": " << e.path();
        ASSERT_LT(at, 100000) << "the work never ends";
      }
      EXPECT_GT(at, 3) << "the sweep met too few operations";
      std::cout << (stop ? "stopped" : "failed") << " at each of " << at - 1 << " operations\n";
    }
  }

  TempRoot root_;
  fs::path dir_, pristine_;
};

TEST_F(WholeTableWorkSweep, AnImportIsAllOrNothing) {
  MakeMaster(4);
  std::string content;
  for (int i = 0; i < 20; ++i)
    content += "\"New " + std::to_string(i) + "\",\"line1\r\nline2\",\"" + std::to_string(i) + ".5\",\"3/" +
               std::to_string(1 + i % 28) + "/1999\"\r\n";
  // Item, Description, Cost and Purchase Date.
  const std::vector<int> targets = {1, 6, 11, 10};
  Sweep(
      [&](const std::function<void()>& arm) {
        TTable t;
        OpenMaster(t);
        arm();
        const ImportOutcome outcome = AppendImport(t, [&](const RecordSink& sink) {
          CheckTextImport(content, targets.size(), targets, false, sink);
        });
        return outcome.ok && outcome.appended == 20;
      },
      [&] { return Read(Dbf()); });
}

TEST_F(WholeTableWorkSweep, ASearchAndReplaceIsAllOrNothing) {
  // As the window walks it: the sort index dropped first, so that no
  // changed record moves.
  MakeMaster(30, false);
  ReplaceSpec spec;
  ASSERT_EQ(PrepareReplace(2, "ACME", "Zenith", spec), ReplaceInputError::None);
  Sweep(
      [&](const std::function<void()>& arm) {
        TTable t;
        t.SetDatabaseName(dir_.string());
        t.SetTableName("MASTER.DBF");
        t.SetExclusive(true);
        t.Open();
        arm();
        ReplaceCounts counts;
        try {
          ReplaceAllInBatch(t, spec, nullptr, nullptr, counts);
        } catch (const framework::Exception&) {
          return false;
        }
        return counts.changed == 15;
      },
      [&] { return Read(Dbf()); });
}

TEST_F(WholeTableWorkSweep, ADBaseExportReplacesItsTargetWholeOrNotAtAll) {
  MakeMaster(25);
  // An older export of the same name, in the pristine set too.
  const fs::path target = dir_ / "EXP.DBF";
  {
    TTable older;
    DBaseExportWriter writer(older, target, {1});
    TTable source;
    source.SetDatabaseName(dir_.string());
    source.SetTableName("MASTER.DBF");
    source.Open();
    source.First();
    writer.Write(source);
    ASSERT_EQ(writer.Finish(), "");
  }
  fs::copy_file(target, pristine_ / "EXP.DBF");
  Sweep(
      [&](const std::function<void()>& arm) {
        TTable source;
        OpenMaster(source);
        arm();
        TTable exportTable;
        try {
          DBaseExportWriter writer(exportTable, target, {1, 11, 10, 12});
          for (source.First(); !source.Eof(); source.Next()) writer.Write(source);
          return writer.Finish().empty();
        } catch (const framework::Exception&) {
          return false;
        }
      },
      [&] {
        // What a kill left beside the target goes at the next start.
        RemoveInterruptedWrites({dir_});
        for (const fs::directory_entry& e : fs::directory_iterator(dir_)) {
          const std::string name = e.path().filename().string();
          EXPECT_TRUE(name == "MASTER.DBF" || name == "MASTER.MDX" || name == "EXP.DBF") << name;
        }
        return Read(target);
      });
}

TEST_F(WholeTableWorkSweep, AnOldDatabaseConversionIsAllOrNothing) {
  MakeMaster(4);
  // The earlier version's table as it wrote it, beside the inventory.
  const fs::path old = dir_ / "D2ADE.DBF";
  fs::copy_file(fs::path(STASHWELL_APP_TEST_DATA) / "D2ADE.DBF", pristine_ / "D2ADE.DBF");
  Sweep(
      [&](const std::function<void()>& arm) {
        TTable t;
        OpenMaster(t);
        arm();
        return ConvertOldTable(t, old, OldVersion::Version2).empty();
      },
      [&] {
        TableState s = Read(Dbf());
        // The old table stays until the records are in, and opens. (A kill
        // between the commit and its removal keeps it beside them.)
        if (fs::exists(old)) {
          TTable t;
          t.SetDatabaseName(dir_.string());
          t.SetTableName("D2ADE.DBF");
          t.SetReadOnly(true);
          try {
            t.Open();
            t.Last();
          } catch (const framework::Exception& e) {
            s.rows.push_back(std::string("the old table does not open: ") + e.what());
          }
        }
        if (!fs::exists(old) || s.rows.size() > 4) s.rows.push_back("converted");
        return s;
      });
}

}  // namespace
}  // namespace keldro
