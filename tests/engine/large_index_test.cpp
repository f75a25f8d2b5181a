// An index too large to be built in memory at once is written out in
// batches while it is built: adding, regenerating and packing such a table
// must leave an index that opens and holds every record.
#include <cstring>
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace engine_test {
namespace {

class LargeIndexTest : public EngineTest {};

TEST_F(LargeIndexTest, AddRegenerateAndPackOfAnIndexLargerThanOneWriteBatch) {
  constexpr int kRecords = 40000;  // about 7,000 leaf blocks of 80-byte keys
  struct Case {
    const char* what;
    OrbResult (*run)(OrbDatabase, OrbCursor);
    uint32_t left;
  } cases[] = {
      {"regenerate", [](OrbDatabase, OrbCursor c) { return EngineRegenIndexes(c); }, kRecords - kRecords / 10},
      {"pack", [](OrbDatabase db, OrbCursor c) { return EnginePack(db, c, nullptr, "DBASE", 1); },
       kRecords - kRecords / 10},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const std::string table = std::string("BIG") + k.what[0];
    // Written as another dBASE tool would, without a sync per record.
    DbfBytes dbf;
    dbf.fields = {{"NAME", 'C', 80, 0}};
    for (int i = 1; i <= kRecords; ++i) {
      std::string name = "Item " + std::to_string(kRecords - i);
      name.resize(80, ' ');
      dbf.records.push_back((i % 10 == 0 ? "*" : "") + name);
    }
    Write(table + ".DBF", dbf.Build());
    OrbCursor c = Open(table.c_str(), ORB_OPEN_EXCLUSIVE);
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "BYNAME");
    std::strcpy(d.expression, "Upper(Left(NAME,80))");
    d.options = ORB_IDX_EXPRESSION;
    ASSERT_EQ(EngineAddIndex(db_, c, nullptr, &d), ORB_OK);
    ASSERT_EQ(k.run(db_, c), ORB_OK);
    EngineCloseCursor(c);
    open_.clear();

    OrbCursor again = Open(table.c_str());
    ASSERT_EQ(EngineSwitchToIndex(again, "BYNAME"), ORB_OK);
    uint32_t count = 0;
    ASSERT_EQ(EngineGetRecordCount(again, &count), ORB_OK);
    EXPECT_EQ(count, k.left);
    EXPECT_EQ(Scan(again).size(), k.left);
    EngineCloseCursor(again);
    open_.clear();
  }
}

}  // namespace
}  // namespace engine_test
