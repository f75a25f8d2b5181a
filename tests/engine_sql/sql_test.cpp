// SQL over the engine's tables: reads, writes in place, sharing and errors.
#include <gmock/gmock.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "sql_fixture.h"

namespace engine_test {
namespace {

using ::testing::ElementsAre;

TEST_F(SqlTest, SelectAnswersTheMatchingLiveRecordsInOrder) {
  OrbCursor a = 0;
  ASSERT_EQ(Run("SELECT ITEM, COST FROM T WHERE COST > 100 AND CATEGORY = 'Tools' ORDER BY COST", &a), ORB_OK);
  // "TOOLS" differs in case, the deleted Lathe is invisible, blank cost is NULL.
  EXPECT_THAT(Rows(a), ElementsAre("Drill|310.99"));
  // Plain columns keep their field's type and width.
  std::vector<OrbFieldDesc> f = Fields(a);
  ASSERT_EQ(f.size(), 2u);
  EXPECT_STREQ(f[0].name, "ITEM");
  EXPECT_EQ(f[0].type, 'C');
  EXPECT_EQ(f[0].width, 12);
  EXPECT_EQ(f[1].type, 'N');
  EXPECT_EQ(f[1].width, 10);
  EXPECT_EQ(f[1].decimals, 2);
  OrbTableInfo info;
  ASSERT_EQ(EngineGetTableInfo(a, &info), ORB_OK);
  EXPECT_EQ(info.openMode, ORB_OPEN_READ_ONLY);
  uint8_t rec[64] = {};
  EXPECT_EQ(EngineSetToBegin(a), ORB_OK);
  EXPECT_EQ(EngineGetNextRecord(a, rec, sizeof rec, nullptr), ORB_OK);
  EXPECT_EQ(EngineModifyRecord(a, rec, sizeof rec), ORB_ERR_READ_ONLY);
}

TEST_F(SqlTest, ColumnValuesFollowTheFieldTypes) {
  // Dates as YYYY-MM-DD, logicals 1/0, blank as NULL, integers without decimals.
  EXPECT_THAT(Column("SELECT BOUGHT FROM T WHERE ITEM = 'Saw'"), ElementsAre("19950112"));
  EXPECT_THAT(Column("SELECT ITEM FROM T WHERE BOUGHT = '1995-01-12'"), ElementsAre("Saw"));
  EXPECT_THAT(Column("SELECT ITEM FROM T WHERE INSURED = 1 ORDER BY ITEM"), ElementsAre("Drill", "Hammer", "Lamp"));
  EXPECT_THAT(Column("SELECT ITEM FROM T WHERE COST IS NULL AND BOUGHT IS NULL AND INSURED IS NULL"),
              ElementsAre("Chisel"));
  EXPECT_THAT(Column("SELECT typeof(QTY) || typeof(COST) FROM T WHERE ITEM = 'Saw'"), ElementsAre("integerreal"));
}

TEST_F(SqlTest, JoinsGroupsAndSubqueries) {
  DbfBytes c;
  c.fields = {{"CATEGORY", 'C', 10, 0}, {"ROOM", 'C', 8, 0}};
  c.records = {"Tools     Garage", "Furniture Lounge"};
  Write("CATS.DBF", c.Build());
  EXPECT_THAT(Column("SELECT T.ITEM, C.ROOM FROM T JOIN CATS C ON upper(T.CATEGORY) = upper(C.CATEGORY) "
                     "WHERE T.COST > 300 ORDER BY T.ITEM", 1),
              ElementsAre("Garage", "Lounge"));
  EXPECT_THAT(Column("SELECT upper(CATEGORY), COUNT(*) FROM T GROUP BY upper(CATEGORY) ORDER BY 1", 1),
              ElementsAre("1", "1", "4"));
  EXPECT_THAT(Column("SELECT ITEM FROM T WHERE COST = (SELECT max(COST) FROM T)"), ElementsAre("Sofa"));
}

TEST_F(SqlTest, ComputedColumnsGetTheirOwnTypesAndNames) {
  OrbCursor a = 0;
  ASSERT_EQ(Run("SELECT COUNT(*), AVG(COST), ITEM || '!' AS exclaimed, ITEM AS exclaimed, "
                "'x' AS a_very_long_column_name FROM T WHERE ITEM = 'Saw'", &a), ORB_OK);
  std::vector<OrbFieldDesc> f = Fields(a);
  ASSERT_EQ(f.size(), 5u);
  EXPECT_STREQ(f[0].name, "COUNT___");
  EXPECT_EQ(f[0].type, 'N');
  EXPECT_EQ(f[0].width, 20);
  EXPECT_EQ(f[0].decimals, 0);
  EXPECT_EQ(f[1].decimals, 6);
  EXPECT_STREQ(f[2].name, "EXCLAIMED");
  EXPECT_EQ(f[2].type, 'C');
  EXPECT_EQ(f[2].width, 4);  // the longest value
  EXPECT_STREQ(f[3].name, "EXCLAIME_1");
  EXPECT_EQ(f[3].width, 12);  // a plain column keeps its width
  EXPECT_STREQ(f[4].name, "A_VERY_LON");
  EXPECT_THAT(Rows(a), ElementsAre("1|120.000000|Saw!|Saw|x"));
}

TEST_F(SqlTest, LongComputedTextBecomesAMemo) {
  OrbCursor a = 0;
  ASSERT_EQ(Run("SELECT printf('%300s', ITEM) AS wide FROM T WHERE ITEM = 'Saw'", &a), ORB_OK);
  std::vector<OrbFieldDesc> f = Fields(a);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].type, 'M');
  std::vector<uint8_t> rec = Buffer(a);
  ASSERT_EQ(EngineGetFirstRecord(a, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
  ASSERT_EQ(EngineOpenBlob(a, rec.data(), 1, ORB_BLOB_READ_ONLY), ORB_OK);
  uint32_t size = 0;
  EXPECT_EQ(EngineGetBlobSize(a, rec.data(), 1, &size), ORB_OK);
  EXPECT_EQ(size, 300u);
  EngineFreeBlob(a, rec.data(), 1);
}

TEST_F(SqlTest, UpdateIsReadBackByCursorsAndByTheFile) {
  uint32_t rows = 0;
  ASSERT_EQ(Run("UPDATE T SET COST = COST * 2, INSURED = 1, BOUGHT = '2001-02-03' WHERE ITEM = 'Saw'", nullptr,
                ORB_QUERY_SQL, &rows), ORB_OK);
  EXPECT_EQ(rows, 1u);
  OrbCursor c = Open("T", ORB_OPEN_READ_ONLY);
  std::vector<uint8_t> rec = Buffer(c);
  ASSERT_EQ(EngineSetToRecordNo(c, 2), ORB_OK);
  ASSERT_EQ(EngineGetRecord(c, rec.data(), static_cast<uint32_t>(rec.size()), nullptr), ORB_OK);
  EXPECT_DOUBLE_EQ(Number(c, 2, rec.data()), 240.0);
  // Another reader sees the bytes of a dBASE record.
  EXPECT_EQ(FileRecords("T.DBF")[1], " Saw             240.00TOOLS     20010203T   1");
  EXPECT_EQ(FileRecords("T.DBF")[4][0], '*');  // the deleted record stays deleted
}

TEST_F(SqlTest, InsertAndDeleteChangeTheTableInPlace) {
  uint32_t rows = 0;
  ASSERT_EQ(Run("INSERT INTO T (ITEM, COST, CATEGORY) VALUES ('Rake', 12.5, 'Garden'), ('Hoe', NULL, 'Garden')",
                nullptr, ORB_QUERY_SQL, &rows), ORB_OK);
  EXPECT_EQ(rows, 2u);
  std::vector<std::string> file = FileRecords("T.DBF");
  ASSERT_EQ(file.size(), 9u);
  EXPECT_EQ(file[7], " Rake             12.50Garden                 ");
  EXPECT_EQ(file[8], " Hoe                   Garden                 ");
  ASSERT_EQ(Run("DELETE FROM T WHERE CATEGORY = 'Garden'", nullptr, ORB_QUERY_SQL, &rows), ORB_OK);
  EXPECT_EQ(rows, 2u);
  EXPECT_EQ(FileRecords("T.DBF")[7][0], '*');
  EXPECT_THAT(Column("SELECT COUNT(*) FROM T"), ElementsAre("6"));
}

TEST_F(SqlTest, AFailingWriteStopsAndKeepsWhatWasWritten) {
  // The second record's new text is longer than ITEM: the first stays changed.
  uint32_t rows = 99;
  OrbResult r = Run("UPDATE T SET ITEM = CASE WHEN ITEM = 'Hammer' THEN 'Mallet' ELSE 'A name much too long' END "
                    "WHERE ITEM IN ('Hammer', 'Saw')", nullptr, ORB_QUERY_SQL, &rows);
  EXPECT_EQ(r, ORB_ERR_VALUE_TOO_LONG);
  EXPECT_EQ(rows, 1u);
  EXPECT_THAT(Column("SELECT ITEM FROM T WHERE ITEM IN ('Mallet', 'Saw') ORDER BY ITEM"),
              ElementsAre("Mallet", "Saw"));
}

TEST_F(SqlTest, ATableOpenExclusivelyElsewhereIsInUse) {
  Open("T", ORB_OPEN_EXCLUSIVE);
  EXPECT_EQ(Run("SELECT ITEM FROM T"), ORB_ERR_TABLE_IN_USE);
  EXPECT_EQ(Run("DELETE FROM T"), ORB_ERR_TABLE_IN_USE);
}

TEST_F(SqlTest, ATableAnotherProgramHoldsExclusivelyIsInUse) {
  EXPECT_TRUE(WhileAnotherProcessHolds("T", ORB_OPEN_EXCLUSIVE, [&] {
    EXPECT_EQ(Run("SELECT ITEM FROM T"), ORB_ERR_TABLE_IN_USE);
    EXPECT_EQ(Run("UPDATE T SET QTY = 0"), ORB_ERR_TABLE_IN_USE);
  }));
  EXPECT_THAT(Column("SELECT COUNT(*) FROM T WHERE QTY = 0"), ElementsAre("0"));
}

TEST_F(SqlTest, ErrorsAnswerTheirCodesAndPositions) {
  struct Case {
    const char* text;
    OrbResult result;
  } cases[] = {
      {"CREATE TABLE X (A INTEGER)", ORB_ERR_NOT_SUPPORTED},
      {"DROP TABLE T", ORB_ERR_NOT_SUPPORTED},
      {"ALTER TABLE T ADD COLUMN Z TEXT", ORB_ERR_NOT_SUPPORTED},
      {"ATTACH DATABASE 'x.db' AS x", ORB_ERR_NOT_SUPPORTED},
      {"SELECT * FROM MISSING", ORB_ERR_NO_SUCH_TABLE},
      {"SELECT ITEM FROM T; DELETE FROM T", ORB_ERR_QUERY_SYNTAX},
      {"", ORB_ERR_QUERY_SYNTAX},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.text), c.result) << c.text;
  EXPECT_THAT(Column("SELECT COUNT(*) FROM T"), ElementsAre("6"));

  OrbStatement s = 0;
  ASSERT_EQ(EngineQueryAlloc(db_, ORB_QUERY_SQL, &s), ORB_OK);
  EXPECT_EQ(EngineQueryPrepare(s, "SELECT ITEM\nFROM T\nWHERE COST > > 3"), ORB_ERR_QUERY_SYNTAX);
  uint32_t line = 0, column = 0;
  EXPECT_EQ(EngineQueryErrorPosition(s, &line, &column), ORB_OK);
  EXPECT_EQ(line, 3u);
  EXPECT_EQ(column, 14u);
  EXPECT_EQ(EngineQueryExecute(s, nullptr), ORB_ERR_INVALID_PARAM);  // not prepared
  EXPECT_EQ(EngineQueryFree(s), ORB_OK);
  EXPECT_EQ(EngineQueryFree(s), ORB_ERR_INVALID_HANDLE);
  EXPECT_EQ(EngineQueryAlloc(db_, 3, &s), ORB_ERR_INVALID_PARAM);
  EXPECT_EQ(EngineQueryAlloc(12345, ORB_QUERY_SQL, &s), ORB_ERR_INVALID_HANDLE);
}

TEST_F(SqlTest, ParametersAreNamedAndBoundInEngineFormats) {
  OrbStatement s = 0;
  ASSERT_EQ(EngineQueryAlloc(db_, ORB_QUERY_SQL, &s), ORB_OK);
  ASSERT_EQ(EngineQueryPrepare(s, "SELECT ITEM FROM T WHERE COST > :Low AND BOUGHT < :before AND INSURED = :ins "
                                  "AND CATEGORY = :cat ORDER BY ITEM"),
            ORB_OK);
  uint16_t count = 0;
  EXPECT_EQ(EngineQueryParamCount(s, &count), ORB_OK);
  EXPECT_EQ(count, 4u);
  char name[16];
  EXPECT_EQ(EngineQueryParamName(s, 1, name, sizeof name), ORB_OK);
  EXPECT_STREQ(name, "Low");
  EXPECT_EQ(EngineQueryParamName(s, 5, name, sizeof name), ORB_ERR_INVALID_PARAM);
  double low = 20;
  int32_t before = 0;
  ASSERT_EQ(EngineEncodeDate(1998, 1, 1, &before), ORB_OK);
  int16_t yes = 1;
  EXPECT_EQ(EngineQueryBindParam(s, ":LOW", 'N', &low), ORB_OK);
  EXPECT_EQ(EngineQueryBindParam(s, "before", 'D', &before), ORB_OK);
  EXPECT_EQ(EngineQueryBindParam(s, "ins", 'L', &yes), ORB_OK);
  EXPECT_EQ(EngineQueryBindParam(s, "cat", 'C', "Tools"), ORB_OK);
  EXPECT_EQ(EngineQueryBindParam(s, "cat", 'X', "Tools"), ORB_ERR_FIELD_TYPE);
  OrbCursor a = 0;
  ASSERT_EQ(EngineQueryExecute(s, &a), ORB_OK);
  open_.push_back(a);
  EXPECT_THAT(Rows(a), ElementsAre("Drill", "Hammer"));
  EngineQueryFree(s);
}

TEST_F(SqlTest, QueriesAreReachableByOrdinal) {
  for (uint16_t ordinal : {131, 132, 133, 134, 135, 136, 137, 1072, 65, 1063, 1068, 1078, 12, 13, 29, 234, 298}) {
    EXPECT_NE(OrbEntryByOrdinal(ordinal), nullptr) << ordinal;
  }
  EXPECT_EQ(OrbEntryByOrdinal(136), reinterpret_cast<void*>(&EngineQueryExecute));
}

}  // namespace
}  // namespace engine_test
