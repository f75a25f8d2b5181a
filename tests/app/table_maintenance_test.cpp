// Pack and index rebuild over a real table: the exclusive open, the shared
// fallback when another handle has the file, the engine's work and the
// shared reopen.
#include "core/table_maintenance.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/dbtables.h"
#include "temp_root.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

class TableWorkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  }

  // ITEMS.DBF with `names` in natural order, the tag "NewIndex" on the
  // name, and the records named in `deleted` marked deleted; left open
  // shared in that order.
  void Make(const std::vector<std::string>& names, const std::vector<std::string>& deleted = {}) {
    framework::TTable& t = table;
    t.SetDatabaseName(root.path().string());
    t.SetTableName("ITEMS");
    t.SetTableType(framework::ttDBase);
    t.FieldDefs().Add("ITEM", framework::ftString, 20);
    t.CreateTable();
    t.AddIndex("NewIndex", "Upper(Left(ITEM,20))", framework::ixExpression);
    t.SetIndexName("NewIndex");
    t.Open();
    for (const std::string& n : names) {
      t.Append();
      t.FieldByName("ITEM")->SetAsString(n);
      t.Post();
    }
    for (const std::string& d : deleted) {
      for (t.First(); !t.Eof(); t.Next())
        if (t.FieldByName("ITEM")->AsString() == d) {
          t.Delete();
          break;
        }
    }
  }
  std::vector<std::string> Items() {
    std::vector<std::string> out;
    for (table.First(); !table.Eof(); table.Next()) out.push_back(table.FieldByName("ITEM")->AsString());
    return out;
  }
  fs::path Dbf() const { return root.path() / "ITEMS.DBF"; }
  uint32_t HeaderCount() const {
    const std::string b = TempRoot::ReadFile(Dbf());
    return static_cast<uint8_t>(b[4]) | static_cast<uint8_t>(b[5]) << 8 | static_cast<uint8_t>(b[6]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[7])) << 24;
  }

  TempRoot root;
  framework::TTable table;
};

TEST_F(TableWorkTest, PackRemovesTheDeletedRecordsAndKeepsTheIndexInUse) {
  Make({"Lamp", "Desk", "Chair", "Bed", "Vase"}, {"Desk"});
  EXPECT_EQ(HeaderCount(), 5u);
  std::vector<std::pair<uint32_t, uint32_t>> heard;
  bool exclusiveAtStart = false;
  const TableWorkResult r = RunTableWork(
      table, TableWork::Pack, Dbf().string(),
      [&heard](uint32_t done, uint32_t total) { heard.emplace_back(done, total); },
      [this, &heard, &exclusiveAtStart] { exclusiveAtStart = table.Exclusive() && table.Active() && heard.empty(); });
  EXPECT_TRUE(exclusiveAtStart);
  EXPECT_EQ(r.outcome, TableWorkResult::Done) << r.message;
  EXPECT_TRUE(r.tableOpen);
  EXPECT_TRUE(table.Active());
  EXPECT_FALSE(table.Exclusive());
  EXPECT_EQ(HeaderCount(), 4u);
  EXPECT_EQ(table.RecordCount(), 4);
  EXPECT_EQ(table.IndexName(), "NewIndex");
  EXPECT_EQ(Items(), (std::vector<std::string>{"Bed", "Chair", "Lamp", "Vase"}));
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard.front().first, 0u);
  EXPECT_EQ(heard.back().first, heard.back().second);
}

TEST_F(TableWorkTest, RebuildWritesTheIndexAfreshAndKeepsItInUse) {
  Make({"Lamp", "Desk", "Chair", "Bed"});
  const std::string before = TempRoot::ReadFile(root.path() / "ITEMS.MDX");
  std::vector<uint32_t> done;
  const TableWorkResult r = RunTableWork(table, TableWork::Rebuild, Dbf().string(),
                                         [&done](uint32_t d, uint32_t) { done.push_back(d); });
  EXPECT_EQ(r.outcome, TableWorkResult::Done) << r.message;
  EXPECT_TRUE(table.Active());
  EXPECT_FALSE(table.Exclusive());
  EXPECT_EQ(table.IndexName(), "NewIndex");
  EXPECT_EQ(Items(), (std::vector<std::string>{"Bed", "Chair", "Desk", "Lamp"}));
  ASSERT_FALSE(done.empty());
  EXPECT_EQ(done.front(), 0u);
  EXPECT_EQ(done.back(), 4u);  // one tag, four records
}

TEST_F(TableWorkTest, AFileInUseElsewhereIsLeftAsItWasAndOpenShared) {
  for (TableWork work : {TableWork::Pack, TableWork::Rebuild}) {
    SCOPED_TRACE(work == TableWork::Pack ? "pack" : "rebuild");
    Make({"Lamp", "Desk"}, {"Desk"});
    framework::TTable other;  // as a second copy of the program would
    other.SetDatabaseName(root.path().string());
    other.SetTableName("ITEMS");
    other.Open();
    const std::string before = TempRoot::ReadFile(Dbf());
    const std::string indexBefore = TempRoot::ReadFile(root.path() / "ITEMS.MDX");
    bool heard = false;
    const TableWorkResult r = RunTableWork(
        table, work, Dbf().string(), [&heard](uint32_t, uint32_t) { heard = true; }, [&heard] { heard = true; });
    EXPECT_EQ(r.outcome, TableWorkResult::NotExclusive);
    EXPECT_TRUE(r.tableOpen);
    EXPECT_TRUE(table.Active());
    EXPECT_FALSE(table.Exclusive());
    EXPECT_EQ(table.IndexName(), "NewIndex");
    EXPECT_FALSE(heard);
    EXPECT_EQ(TempRoot::ReadFile(Dbf()), before);
    EXPECT_EQ(TempRoot::ReadFile(root.path() / "ITEMS.MDX"), indexBefore);
    other.Close();
    table.Close();
    table.FieldDefs().Clear();
    table.SetIndexName("");
    fs::remove(Dbf());
    fs::remove(root.path() / "ITEMS.MDX");
  }
  EXPECT_EQ(TableWorkRefusal(TableWork::Pack).substr(0, 22), "Unable to pack table. ");
  EXPECT_NE(TableWorkRefusal(TableWork::Rebuild).find("program  or"), std::string_view::npos);
}

TEST_F(TableWorkTest, AFileThatWentAwayIsAFailureWithTheEnginesText) {
  Make({"Lamp"});
  fs::remove(Dbf());
  const TableWorkResult r = RunTableWork(table, TableWork::Pack, Dbf().string());
  EXPECT_EQ(r.outcome, TableWorkResult::Failed);
  EXPECT_FALSE(r.message.empty());
  EXPECT_FALSE(r.tableOpen);
  EXPECT_FALSE(table.Active());
  EXPECT_FALSE(table.Exclusive());
}

}  // namespace
}  // namespace keldro
