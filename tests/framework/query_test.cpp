#include <gtest/gtest.h>

#include <filesystem>

#include "framework/dbtables.h"
#include "temp_root.h"

namespace fwtest {
namespace {

namespace fs = std::filesystem;
using namespace framework;

class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
    dir = root.path() / "DATA";
    fs::create_directories(dir);
    TTable t;
    t.SetDatabaseName(dir.string());
    t.SetTableName("ITEMS.DBF");
    t.FieldDefs().Clear();
    t.FieldDefs().Add("ITEM", ftString, 20);
    t.FieldDefs().Add("COST", ftFloat);
    t.FieldDefs().Add("PURCHDATE", ftDate);
    t.CreateTable();
    t.Open();
    for (int i = 1; i <= 5; ++i) {
      t.Append();
      t.FieldByName("ITEM")->SetAsString("Item " + std::to_string(i));
      t.FieldByName("COST")->SetAsFloat(i * 100.5);
      t.FieldByName("PURCHDATE")->SetAsDateTime(EncodeDate(1995, 12, i));
      t.Post();
    }
  }

  void Use(TQuery& q, std::vector<std::string> sql) {
    q.SetDatabaseName(dir.string());
    q.SQL = std::move(sql);
  }

  std::vector<std::string> Items(TDataSet& d) {
    std::vector<std::string> out;
    for (d.First(); !d.Eof(); d.Next()) out.push_back(d.FieldByName("ITEM")->AsString());
    return out;
  }

  testing_support::TempRoot root;
  fs::path dir;
};

TEST_F(QueryTest, OpenShowsTheAnswerWithTheParamsBound) {
  TQuery q;
  Use(q, {"SELECT ITEM, COST, PURCHDATE FROM ITEMS", "WHERE COST > :LOW AND PURCHDATE <= :Last", "ORDER BY COST DESC"});
  q.Prepare();
  ASSERT_EQ(q.Params().Count(), 2);
  EXPECT_EQ(q.Params()[1].Name(), "Last");
  q.ParamByName("LOW").SetAsFloat(200);
  q.ParamByName("Last").SetAsDate(EncodeDate(1995, 12, 4));
  q.Open();
  EXPECT_EQ(Items(q), (std::vector<std::string>{"Item 4", "Item 3", "Item 2"}));
  EXPECT_EQ(q.FieldByName("PURCHDATE")->DataType(), ftDate);
  EXPECT_DOUBLE_EQ(q.FieldByName("COST")->AsFloat(), 201.0);
  EXPECT_EQ(q.RecordCount(), 3);
  EXPECT_FALSE(q.CanModify());
  q.Close();
  // A parameter without a value is NULL: nothing compares with it.
  q.ParamByName("LOW").Clear();
  q.Open();
  EXPECT_TRUE(q.Eof());
}

TEST_F(QueryTest, ExecSqlWritesTheTableAndCountsTheRecords) {
  TQuery q;
  Use(q, {"UPDATE ITEMS SET COST = COST + :ADD WHERE ITEM <> :KEEP"});
  q.Prepare();
  q.ParamByName("ADD").SetAsInteger(1);
  q.ParamByName("KEEP").SetAsString("Item 1");
  q.ExecSQL();
  EXPECT_EQ(q.RowsAffected(), 4u);
  TTable t;
  t.SetDatabaseName(dir.string());
  t.SetTableName("ITEMS");
  t.Open();
  t.Last();
  EXPECT_DOUBLE_EQ(t.FieldByName("COST")->AsFloat(), 503.5);
}

TEST_F(QueryTest, EngineRefusalsRaiseDatabaseErrors) {
  TQuery q;
  Use(q, {"SELECT * FROM NOWHERE"});
  EXPECT_THROW(q.Open(), EDatabaseError);
  Use(q, {"SELECT ITEM FROM ITEMS WHERE"});
  try {
    q.Prepare();
    FAIL() << "prepared";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), 0x2710);
  }
  Use(q, {"DELETE FROM ITEMS"});
  EXPECT_THROW(q.Open(), EDatabaseError);  // no answer to show
  Use(q, {""});
  EXPECT_THROW(q.ExecSQL(), EDatabaseError);
}

}  // namespace
}  // namespace fwtest
