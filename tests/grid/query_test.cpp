// The library's query datasets: QBE with "~" variables, answers kept as
// tables (names, aliases, refusals), TixQuery, and the grid's dataset check.
#include <gtest/gtest.h>

#include <cstring>

#include "grid/ix_query.h"
#include "grid_fixture.h"
#include "orbex32_cfg.h"
#include "platform/dynlib.h"

namespace gridtest {
namespace {

using grid::TixQBE;
using grid::TixQuery;

TEST(SubstituteVariables, ReplacesInOnePassWithoutLimit) {
  const std::vector<std::string> names = {"ITEM", "ITEMS", "Low"};
  const std::vector<std::string> values = {"Radio", "~LOW", "100"};
  struct Case {
    std::string line, expected;
  } cases[] = {
      {"no variables", "no variables"},
      {"| ~item | > ~low |", "| Radio | > 100 |"},
      {"~items", "~LOW"},          // the later, longer name first; its value is not searched again
      {"~unknown ~", "~unknown ~"},
      {std::string(300, 'x') + "~low" + std::string(10, 'y'), std::string(300, 'x') + "100" + std::string(10, 'y')},
  };
  for (const Case& c : cases) EXPECT_EQ(grid::SubstituteVariables(c.line, names, values), c.expected) << c.line;
}

class QueryDataSetTest : public GridTableTest {
 protected:
  void SetUp() override {
    GridTableTest::SetUp();
    MakeItems();
  }
  std::vector<std::string> Items(TDataSet& d) {
    std::vector<std::string> out;
    for (d.First(); !d.Eof(); d.Next()) out.push_back(d.FieldByName("ITEM")->AsString());
    return out;
  }
  void PointQbe(TixQBE& q, const grid::TLines& lines) {
    q.SetDatabaseName(dir.string());
    q.SetQBE(lines);
  }
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const auto& c : ui->calls) {
      if (c.kind == platform::ui::ScriptedUi::Call::kMessage) out.push_back(c.message.text);
    }
    return out;
  }
};

TEST_F(QueryDataSetTest, QbeOpensItsAnswerWithVariablesSubstituted) {
  TixQBE q;
  q.SetControlType({"WARRANTY;CheckBox;Yes;No"});
  q.SetVariable("brand", "sony..");
  PointQbe(q, {"ITEMS | ITEM | BRAND | COST |", "| Check | ~BRAND | > ~min |"});
  q.SetVariable("MIN", "50");
  EXPECT_EQ(q.QBEText(), "ITEMS | ITEM | BRAND | COST |\r\n| Check | sony.. | > 50 |");
  q.Open();
  EXPECT_EQ(Items(q), (std::vector<std::string>{"Stereo", "Television"}));
  EXPECT_FALSE(q.CanModify());
  EXPECT_TRUE(grid::IsLibraryDataSet(&q));
  // New lines reopen the open dataset.
  q.SetQBE({"ITEMS | ITEM | QUANTITY |", "| Check | 4 |"});
  EXPECT_TRUE(q.Active());
  EXPECT_EQ(Items(q), (std::vector<std::string>{"Lamp"}));
  EXPECT_TRUE(ui->unexpected.empty());
}

TEST_F(QueryDataSetTest, MalformedQbeRaisesTheEngineError) {
  TixQBE q;
  PointQbe(q, {"ITEMS | ITEM |", "| Check | extra |"});
  try {
    q.Open();
    FAIL() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ORB_ERR_QUERY_SYNTAX);
  }
  EXPECT_FALSE(q.Active());
}

TEST_F(QueryDataSetTest, LockConflictsAreRetriedWhileTheSessionAgrees) {
  TTable holder;
  Point(holder);
  holder.SetExclusive(true);
  holder.Open();
  TixQBE q;
  PointQbe(q, {"ITEMS | ITEM |", "| Check |"});
  int asked = 0;
  TSession::Default().OnLockRetry = [&](uint16_t code) {
    EXPECT_EQ(code, ORB_ERR_TABLE_IN_USE);
    if (++asked == 2) holder.Close();
    return true;
  };
  q.Open();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Items(q).size(), 5u);
  q.Close();
  // Without a retry the conflict gives no cursor and no error.
  holder.Open();
  TSession::Default().OnLockRetry = nullptr;
  q.Open();
  EXPECT_FALSE(q.Active());
}

// An engine started on a configuration with the alias WORK.
class AliasTest : public QueryDataSetTest {
 protected:
  void SetUp() override {
    QueryDataSetTest::SetUp();
    work = root.path() / "WORK";
    fs::create_directories(work);
    const fs::path cfg = root.path() / "ORBEX.CFG";
    testing_support::TempRoot::WriteFile(
        cfg, "ORBEX32 CONFIGURATION 1\r\n[\\DATABASES\\WORK\\DB INFO]\r\nPATH=" + work.string() + "\r\n");
    module = platform::dynlib::Load("ORBEX32.DLL", TSession::Default().LibraryDirs);
    ASSERT_NE(module, nullptr);
    init = reinterpret_cast<decltype(&OrbInitFn)>(platform::dynlib::Entry(module, "OrbInitFn"));
    exit = reinterpret_cast<decltype(&OrbExit)>(platform::dynlib::Entry(module, "OrbExit"));
    std::vector<uint8_t> env(ORB_ENV_BYTES, 0);
    std::memcpy(env.data() + ORB_ENV_CONFIG_FILE, cfg.c_str(), cfg.string().size());
    exit();
    ASSERT_EQ(init(300, env.data()), 0);
  }
  void TearDown() override {
    exit();
    platform::dynlib::Free(module);
    QueryDataSetTest::TearDown();
  }
  fs::path work;
  platform::dynlib::Module module = nullptr;
  decltype(&OrbInitFn) init = nullptr;
  decltype(&OrbExit) exit = nullptr;
};

TEST_F(AliasTest, AnswerTablesByNamePathOrAlias) {
  EXPECT_EQ(grid::ResolveAliasPath("work"), work.string());
  EXPECT_EQ(grid::ResolveAliasPath("NOPE"), "");
  struct Case {
    std::string answerTable;
    fs::path file;        // expected to exist afterwards (empty: none)
    std::string message;  // expected message (empty: none)
  } cases[] = {
      {"", {}, ""},
      {"KEPT", dir / "KEPT.DBF", ""},
      {":WORK:ANS", work / "ANS.DBF", ""},
      {":work:\\SUB.DBF", work / "SUB.DBF", ""},
      {":NOPE:ANS", {}, "Invalid Alias in QBE"},
      {":WORK", {}, "Invalid Alias in QBE"},
      {"ITEMS", {}, "Table is in use(ITEMS)"},  // the table the query reads
  };
  for (const Case& c : cases) {
    ui->calls.clear();
    TixQBE q;
    PointQbe(q, {"ITEMS | ITEM | COST |", "| Check | > 200 |"});
    q.SetAnswerTable(c.answerTable);
    q.Open();
    EXPECT_EQ(Items(q), (std::vector<std::string>{"Camera", "Television"})) << c.answerTable;
    if (!c.file.empty()) {
      EXPECT_TRUE(fs::exists(c.file)) << c.answerTable;
      TTable kept;
      Point(kept, c.file.string());
      kept.Open();
      EXPECT_EQ(Items(kept), (std::vector<std::string>{"Camera", "Television"})) << c.answerTable;
    }
    if (c.message.empty()) {
      EXPECT_TRUE(Messages().empty()) << c.answerTable;
    } else {
      EXPECT_EQ(Messages(), std::vector<std::string>{c.message}) << c.answerTable;
    }
  }
  ui->unexpected.clear();
}

TEST_F(QueryDataSetTest, TixQueryKeepsItsAnswerAndCarriesTheLists) {
  TixQuery q;
  q.SetDatabaseName(dir.string());
  q.SQL = {"SELECT ITEM, WARRANTY FROM ITEMS WHERE WARRANTY = :W ORDER BY ITEM"};
  q.Prepare();
  q.ParamByName("W").SetAsString("Yes");
  q.SetControlType({"WARRANTY;CheckBox;Yes;No"});
  q.SetAnswerTableName("YES");
  q.Open();
  EXPECT_EQ(Items(q), (std::vector<std::string>{"Camera", "Television"}));
  EXPECT_TRUE(grid::IsLibraryDataSet(&q));
  ASSERT_NE(grid::GetControlTypeList(&q), nullptr);
  TTable kept;
  Point(kept, "YES");
  kept.Open();
  EXPECT_EQ(kept.RecordCount(), 2);
}

}  // namespace
}  // namespace gridtest
