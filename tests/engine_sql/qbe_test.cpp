// Query by example: what the examples select, the SQL they become, and
// the position of what cannot be read.
#include <gmock/gmock.h>

#include "sql/qbe.h"
#include "sql_fixture.h"

namespace engine_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST_F(SqlTest, QbeAnswersTheSameItemsAsTheSelect) {
  const std::vector<std::string> sql =
      Column("SELECT ITEM, COST FROM T WHERE COST > 100 AND upper(CATEGORY) = 'TOOLS' ORDER BY ITEM");
  const std::vector<std::string> qbe =
      Column("T | ITEM | COST | CATEGORY |\r\n| Check | > 100 | tools |", 0, ORB_QUERY_QBE);
  EXPECT_THAT(qbe, ElementsAre("Drill", "Saw"));
  EXPECT_EQ(qbe, sql);
}

TEST_F(SqlTest, QbeConditionsSelectTheExpectedItems) {
  struct Case {
    const char* cells;  // for ITEM | COST | CATEGORY | BOUGHT
    std::vector<std::string> items;
  } cases[] = {
      {"| Check | | Tools | |", {"Chisel", "Drill", "Hammer", "Saw"}},
      {"| Check | >= 101, < 400 | | |", {"Drill", "Lamp", "Saw"}},
      {"| Check | = 25.5 | | |", {"Hammer"}},
      {"| Check | <> 25.5 | | |", {"Drill", "Lamp", "Saw", "Sofa"}},  // blank matches no comparison
      {"| Check | BLANK | | |", {"Chisel"}},
      {"| Check | NOT BLANK | furn.. | |", {"Sofa"}},
      {"| Check ..a.. | | | |", {"Hammer", "Lamp", "Saw", "Sofa"}},
      {"| Check | | | > 1/1/1997 |", {"Drill", "Lamp"}},
      {"| Check | | | <= 12/31/1993 |", {"Sofa"}},
      {"| Check \"D..\" | | | |", {}},  // quotes keep the dots literal
      {"| Check | < 30 | | |\n| Check | > 800 | | |", {"Hammer", "Sofa"}},  // rows are alternatives
      {"| Check | | | |", {"Chisel", "Drill", "Hammer", "Lamp", "Saw", "Sofa"}},
  };
  for (const Case& c : cases) {
    const std::string text = std::string("T | ITEM | COST | CATEGORY | BOUGHT |\n") + c.cells;
    EXPECT_THAT(Column(text, 0, ORB_QUERY_QBE), ElementsAreArray(c.items)) << c.cells;
  }
}

TEST_F(SqlTest, QbeAnswerIsDistinctAndOrderedByTheCheckedColumns) {
  OrbCursor a = 0;
  ASSERT_EQ(Run("T | CATEGORY | QTY |\n| Check | Check |", &a, ORB_QUERY_QBE), ORB_OK);
  EXPECT_THAT(Rows(a), ElementsAre("Furniture|1", "Lighting|3", "TOOLS|1", "Tools|", "Tools|1", "Tools|2"));
  // No check: every skeleton column.
  ASSERT_EQ(Run("T | QTY | ITEM |\n| 3 | |", &a, ORB_QUERY_QBE), ORB_OK);
  EXPECT_THAT(Rows(a), ElementsAre("3|Lamp"));
}

TEST_F(SqlTest, QbeBlankAsZeroMakesBlankNumbersZero) {
  OrbStatement s = 0;
  ASSERT_EQ(EngineQueryAlloc(db_, ORB_QUERY_QBE, &s), ORB_OK);
  uint32_t v = 7;
  EXPECT_EQ(EngineQueryGetProp(s, ORB_QPROP_BLANK_AS_ZERO, &v), ORB_OK);
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(EngineQuerySetProp(s, ORB_QPROP_BLANK_AS_ZERO, 1), ORB_OK);
  EXPECT_EQ(EngineQuerySetProp(s, ORB_QPROP_AUX_TABLES, 0), ORB_OK);
  EXPECT_EQ(EngineQuerySetProp(s, 0x12345, 0), ORB_ERR_INVALID_PARAM);
  ASSERT_EQ(EngineQueryPrepare(s, "T | ITEM | COST |\n| Check | < 1 |"), ORB_OK);
  char sql[512];
  ASSERT_EQ(EngineQueryGetSQL(s, sql, sizeof sql), ORB_OK);
  EXPECT_STREQ(sql, "SELECT DISTINCT \"ITEM\" FROM \"T\" WHERE (COALESCE(\"COST\", 0) < 1) ORDER BY \"ITEM\"");
  EXPECT_EQ(EngineQueryGetSQL(s, sql, 8), ORB_ERR_BUFFER_TOO_SMALL);
  EXPECT_STREQ(sql, "SELECT ");
  OrbCursor a = 0;
  ASSERT_EQ(EngineQueryExecute(s, &a), ORB_OK);
  open_.push_back(a);
  EXPECT_THAT(Rows(a), ElementsAre("Chisel"));
  EngineQueryFree(s);
}

TEST_F(SqlTest, MalformedQbeAnswersItsLine) {
  struct Case {
    const char* text;
    uint32_t line;
  } cases[] = {
      {"T | ITEM |\n| Check | extra |", 2},         // more cells than fields
      {"T | ITEM | COST |\n| Check |", 2},          // fewer
      {"T ITEM COST", 1},                          // no skeleton
      {"T | ITEM | NOSUCH |\n| Check | |", 1},      // the table has no such field
      {"T | ITEM | COST |\n\n| | > abc |", 3},       // not a number
      {"T | ITEM | BOUGHT |\n| | > 13/1/1990 |", 2}, // not a date
      {"T | ITEM |\n| \"open |", 2},                // quote not closed
      {"T | ITEM |\nITEM | x |", 2},                // a row must begin with "|"
      {"T | ITEM |\n| a,,b |", 2},                  // empty condition
      {"", 1},
  };
  for (const Case& c : cases) {
    OrbStatement s = 0;
    ASSERT_EQ(EngineQueryAlloc(db_, ORB_QUERY_QBE, &s), ORB_OK);
    EXPECT_EQ(EngineQueryPrepare(s, c.text), ORB_ERR_QUERY_SYNTAX) << c.text;
    uint32_t line = 0, column = 0;
    EXPECT_EQ(EngineQueryErrorPosition(s, &line, &column), ORB_OK);
    EXPECT_EQ(line, c.line) << c.text;
    EXPECT_GE(column, 1u);
    EngineQueryFree(s);
  }
  EXPECT_EQ(Run("NOTHERE | A |\n| x |", nullptr, ORB_QUERY_QBE), ORB_ERR_NO_SUCH_TABLE);
}

TEST(QbeTranslator, ControlCharactersAreRefusedWithTheirPlace) {
  orb::sql::QbeQuery q;
  orb::sql::QbeError e;
  const std::string text = std::string("T | A |\n| \"x", 12) + std::string(1, '\0') + "\" |";
  EXPECT_FALSE(orb::sql::ParseQbe(text, &q, &e));
  EXPECT_EQ(e.line, 2u);
  EXPECT_EQ(e.column, 5u);
}

TEST(QbeTranslator, QuotesAndWildcardsBecomeSafeSql) {
  orb::sql::QbeQuery q;
  orb::sql::QbeError e;
  ASSERT_TRUE(orb::sql::ParseQbe("\"MY.VIVO\" | NAME |\n| \"it's \"\"50%\"\"\" , O'..\\_ |", &q, &e)) << e.message;
  EXPECT_EQ(q.table, "MY.VIVO");
  std::string sql;
  ASSERT_TRUE(orb::sql::QbeToSql(q, {{"NAME", 'C'}}, false, &sql, &e)) << e.message;
  EXPECT_EQ(sql,
            "SELECT DISTINCT \"NAME\" FROM \"MY.VIVO\" WHERE (COALESCE(\"NAME\", '') = 'it''s \"50%\"' COLLATE NOCASE "
            "AND COALESCE(\"NAME\", '') LIKE 'O''%\\\\\\_' ESCAPE '\\') ORDER BY \"NAME\"");
}

}  // namespace
}  // namespace engine_test
