// Pack and index regeneration report their progress to the callback of
// the calling thread: one count that starts at 0, only grows, ends at its
// total, and is heard at most once a percent.
#include <cstring>
#include <utility>
#include <vector>

#include "engine_fixture.h"

namespace engine_test {
namespace {

struct Heard {
  std::vector<std::pair<uint32_t, uint32_t>> calls;
  static void Note(void* user, uint32_t done, uint32_t total) {
    static_cast<Heard*>(user)->calls.emplace_back(done, total);
  }
};

class ProgressTest : public EngineTest {
 protected:
  void TearDown() override {
    EngineSetProgressCallback(nullptr, nullptr);
    EngineTest::TearDown();
  }
  // A table of n records, every third deleted, with two index tags.
  OrbCursor Table(int n) {
    // Written as another dBASE tool would, without a sync per record.
    DbfBytes dbf;
    dbf.fields = {{"NAME", 'C', 10, 0}, {"QTY", 'N', 8, 0}};
    for (int i = 1; i <= n; ++i) {
      std::string name = "r" + std::to_string(n - i);
      name.resize(10, ' ');
      std::string qty = std::to_string(i);
      qty.insert(0, 8 - qty.size(), ' ');
      dbf.records.push_back((i % 3 == 0 ? "*" : "") + name + qty);
    }
    Write("ITEMS.DBF", dbf.Build());
    OrbCursor c = Open("ITEMS", ORB_OPEN_EXCLUSIVE);
    for (const char* tag : {"BYNAME", "BYQTY"}) {
      OrbIndexDesc d{};
      std::strcpy(d.tagName, tag);
      std::strcpy(d.expression, std::strcmp(tag, "BYNAME") == 0 ? "Upper(NAME)" : "STR(QTY,8,0)");
      d.options = ORB_IDX_EXPRESSION;
      EXPECT_EQ(EngineAddIndex(db_, c, nullptr, &d), ORB_OK);
    }
    return c;
  }
};

void ExpectOneGrowingCount(const Heard& heard) {
  ASSERT_GE(heard.calls.size(), 2u);
  const uint32_t total = heard.calls.front().second;
  EXPECT_GT(total, 0u);
  EXPECT_EQ(heard.calls.front().first, 0u);
  EXPECT_EQ(heard.calls.back().first, total);
  EXPECT_LE(heard.calls.size(), 101u);
  for (size_t i = 1; i < heard.calls.size(); ++i) {
    EXPECT_EQ(heard.calls[i].second, total) << i;
    EXPECT_GT(heard.calls[i].first, heard.calls[i - 1].first) << i;
  }
}

TEST_F(ProgressTest, PackAndRegenerationReportOneGrowingCount) {
  struct Case {
    const char* what;
    OrbResult (*run)(OrbDatabase, OrbCursor);
  } cases[] = {
      {"pack", [](OrbDatabase db, OrbCursor c) { return EnginePack(db, c, nullptr, "DBASE", 1); }},
      {"regenerate", [](OrbDatabase, OrbCursor c) { return EngineRegenIndexes(c); }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    OrbCursor c = Table(3000);
    Heard heard;
    ASSERT_EQ(EngineSetProgressCallback(&Heard::Note, &heard), ORB_OK);
    ASSERT_EQ(k.run(db_, c), ORB_OK);
    ExpectOneGrowingCount(heard);
    // Every percent of a pass this long is heard.
    EXPECT_EQ(heard.calls.size(), 101u);
    EngineCloseCursor(c);
    open_.clear();
  }
}

TEST_F(ProgressTest, AnEmptyTableIsDoneAtOnceAndNoCallbackHearsNothing) {
  OrbCursor c = Table(0);
  Heard heard;
  EngineSetProgressCallback(&Heard::Note, &heard);
  ASSERT_EQ(EnginePack(db_, c, nullptr, "DBASE", 1), ORB_OK);
  EXPECT_EQ(heard.calls, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}}));

  heard.calls.clear();
  EngineSetProgressCallback(nullptr, &heard);
  ASSERT_EQ(EngineRegenIndexes(c), ORB_OK);
  ASSERT_EQ(EnginePack(db_, c, nullptr, "DBASE", 1), ORB_OK);
  EXPECT_TRUE(heard.calls.empty());
}

}  // namespace
}  // namespace engine_test
