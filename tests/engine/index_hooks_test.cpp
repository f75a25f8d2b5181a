// The contract with the index module, shown with a stand-in module: which
// hooks the table calls, and how a tag order drives a cursor.
#include <cstdlib>
#include <cstring>

#include "cursor.h"
#include "engine_fixture.h"
#include "index_hooks.h"
#include "table.h"

namespace engine_test {
namespace {

// Walks record numbers backwards; a "key" is the record number as text.
class ReverseOrder : public orb::RecordOrder {
 public:
  explicit ReverseOrder(orb::Table& t) : t_(t) {}
  const char* Name() const override { return "BACK"; }
  void SetToBegin() override { pos_ = t_.RecordCount() + 1; }
  void SetToEnd() override { pos_ = 0; }
  OrbResult Next(uint32_t* n) override {
    if (pos_ <= 1) {
      pos_ = 0;
      return ORB_ERR_EOF;
    }
    *n = --pos_;
    return ORB_OK;
  }
  OrbResult Prior(uint32_t* n) override {
    if (pos_ >= t_.RecordCount()) {
      pos_ = t_.RecordCount() + 1;
      return ORB_ERR_BOF;
    }
    *n = ++pos_;
    return ORB_OK;
  }
  OrbResult SetToRecord(uint32_t n, const uint8_t*) override {
    pos_ = n;
    return ORB_OK;
  }
  int Compare(uint32_t a, const uint8_t*, uint32_t b, const uint8_t*) override { return a > b ? -1 : (a < b); }
  OrbResult Seek(uint16_t, const orb::SearchKey& key) override {
    uint32_t n = static_cast<uint32_t>(std::atoi(key.text));
    if (n < 1 || n > t_.RecordCount()) return ORB_ERR_NOT_FOUND;
    pos_ = n + 1;  // just before the entry, so Next yields it
    return ORB_OK;
  }
  OrbResult SetRange(const orb::SearchKey*, bool, const orb::SearchKey*, bool) override { return ORB_OK; }
  OrbResult ResetRange() override { return ORB_OK; }
  void Refresh() override {}

 private:
  orb::Table& t_;
  uint32_t pos_ = 0;
};

struct Calls {
  std::vector<std::string> log;
};
Calls gCalls;

class FakeIndex : public orb::ProductionIndex {
 public:
  explicit FakeIndex(orb::Table& t) : t_(t) {}
  OrbResult OnInsert(uint32_t n, const uint8_t*) override { return Note("insert " + std::to_string(n)); }
  OrbResult OnModify(uint32_t n, const uint8_t* before, const uint8_t* after) override {
    return Note("modify " + std::to_string(n) + (std::memcmp(before, after, t_.RecordSize()) ? " changed" : ""));
  }
  OrbResult OnDelete(uint32_t n, const uint8_t* r) override {
    return Note("delete " + std::to_string(n) + (r[0] == '*' ? " flagged" : ""));
  }
  OrbResult Regenerate() override { return Note("regenerate " + std::to_string(t_.RecordCount())); }
  bool InStep(uint32_t, uint32_t) override { return true; }
  OrbResult Restamp() override { return ORB_OK; }
  OrbResult WriteFresh(const std::filesystem::path&, uint32_t count, const RecordReader&, uint32_t) override {
    return Note("regenerate " + std::to_string(count));
  }
  OrbResult Reopen() override { return ORB_OK; }
  OrbResult CheckAll() override { return ORB_OK; }
  OrbResult AddTag(const OrbIndexDesc& d) override {
    tags_.push_back(d);
    return Note(std::string("add ") + d.tagName);
  }
  OrbResult DeleteTag(const char* name) override {
    for (auto it = tags_.begin(); it != tags_.end(); ++it) {
      if (strcasecmp(it->tagName, name) == 0) {
        tags_.erase(it);
        return Note(std::string("drop ") + name);
      }
    }
    return ORB_ERR_NO_SUCH_INDEX;
  }
  OrbResult Describe(std::vector<OrbIndexDesc>* tags) override {
    *tags = tags_;
    return ORB_OK;
  }
  OrbResult MakeOrder(const char* name, std::unique_ptr<orb::RecordOrder>* order) override {
    if (strcasecmp(name, "BACK") != 0) return ORB_ERR_NO_SUCH_INDEX;
    *order = std::make_unique<ReverseOrder>(t_);
    return ORB_OK;
  }
  void Refresh() override {}

 private:
  OrbResult Note(std::string s) {
    gCalls.log.push_back(std::move(s));
    return ORB_OK;
  }
  orb::Table& t_;
  std::vector<OrbIndexDesc> tags_;
};

class FakeModule : public orb::IndexModule {
 public:
  OrbResult Open(orb::Table& t, std::unique_ptr<orb::ProductionIndex>* index) override {
    gCalls.log.push_back("open");
    *index = std::make_unique<FakeIndex>(t);
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "BACK");
    (*index)->AddTag(d);
    return ORB_OK;
  }
  OrbResult Create(orb::Table& t, std::unique_ptr<orb::ProductionIndex>* index) override {
    gCalls.log.push_back("create");
    TempRootWrite(t.Companion(".MDX"));
    *index = std::make_unique<FakeIndex>(t);
    return ORB_OK;
  }
  OrbResult Remove(orb::Table&) override { return ORB_OK; }
  static void TempRootWrite(const std::filesystem::path& p) { testing_support::TempRoot::WriteFile(p, "mdx"); }
};

class IndexHooksTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    saved_ = orb::GetIndexModule();
    orb::SetIndexModule(&module_);
    gCalls.log.clear();
  }
  void TearDown() override {
    EngineTest::TearDown();
    // The real module goes back for the tests that run after these.
    orb::SetIndexModule(saved_);
  }
  FakeModule module_;
  orb::IndexModule* saved_ = nullptr;
};

TEST_F(IndexHooksTest, TableCallsTheModuleOnEveryChange) {
  MakeTable("HOOKS", {Field("NAME", 'C', 8)});
  OrbCursor c = Open("HOOKS", ORB_OPEN_EXCLUSIVE);
  uint16_t count = 9;
  EXPECT_EQ(EngineGetIndexDescs(c, 0, nullptr, &count), ORB_OK);  // no .MDX yet: no tags
  EXPECT_EQ(count, 0);
  EXPECT_EQ(EngineDeleteIndex(db_, c, nullptr, "NewIndex"), ORB_ERR_NO_SUCH_INDEX);

  OrbIndexDesc d{};
  std::strcpy(d.tagName, "BACK");
  ASSERT_EQ(EngineAddIndex(db_, c, nullptr, &d), ORB_OK);
  OrbTableInfo info{};
  EngineGetTableInfo(c, &info);
  EXPECT_EQ(info.hasProductionIndex, 1);  // byte 28 set with the first tag
  EXPECT_EQ(info.indexCount, 1);

  std::vector<uint8_t> rec = Buffer(c);
  for (const char* name : {"a", "b", "c"}) {
    EnginePutField(c, 1, rec.data(), name);
    ASSERT_EQ(EngineInsertRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  }
  EnginePutField(c, 1, rec.data(), "C2");
  ASSERT_EQ(EngineModifyRecord(c, rec.data(), static_cast<uint32_t>(rec.size())), ORB_OK);
  ASSERT_EQ(EngineSetToRecordNo(c, 1), ORB_OK);
  ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
  ASSERT_EQ(EnginePack(db_, c, nullptr, "DBASE", 1), ORB_OK);
  ASSERT_EQ(EngineRegenIndexes(c), ORB_OK);
  EXPECT_EQ(gCalls.log, (std::vector<std::string>{"create", "add BACK", "insert 1", "insert 2", "insert 3",
                                                  "modify 3 changed", "delete 1 flagged", "regenerate 2",
                                                  "regenerate 2"}));

  // The tag's order drives the cursor; seeks leave it on the entry found.
  ASSERT_EQ(EngineSwitchToIndex(c, "back"), ORB_OK);
  char active[16];
  EngineGetActiveIndex(c, active, sizeof active);
  EXPECT_STREQ(active, "BACK");
  EXPECT_EQ(Scan(c), (std::vector<uint32_t>{2, 1}));
  uint32_t n = 0;
  EXPECT_EQ(EngineGetRecordCount(c, &n), ORB_OK);
  EXPECT_EQ(n, 2u);
  ASSERT_EQ(EngineSetToKeyText(c, ORB_KEY_EQ, "1", 0), ORB_OK);
  OrbRecordInfo at{};
  ASSERT_EQ(EngineGetRecord(c, nullptr, 0, &at), ORB_OK);
  EXPECT_EQ(at.recordNumber, 1u);
  EXPECT_EQ(EngineSetToKeyText(c, ORB_KEY_EQ, "7", 0), ORB_ERR_NOT_FOUND);
  EXPECT_EQ(EngineSwitchToIndex(c, "OTHER"), ORB_ERR_NO_SUCH_INDEX);
  ASSERT_EQ(EngineDeleteIndex(db_, c, nullptr, "BACK"), ORB_OK);
  EngineGetActiveIndex(c, active, sizeof active);
  EXPECT_STREQ(active, "");  // deleting the active tag returns to natural order
}

TEST_F(IndexHooksTest, FlaggedTableOpensItsIndexThroughTheModule) {
  DbfBytes t;
  t.fields = {{"NAME", 'C', 8, 0}};
  t.records = {"x"};
  t.productionFlag = 1;
  Write("WITH.DBF", t.Build());
  Write("with.mdx", "mdx");
  OrbCursor c = Open("WITH");
  EXPECT_EQ(gCalls.log.front(), "open");
  EXPECT_EQ(EngineSwitchToIndex(c, "BACK"), ORB_OK);
}

}  // namespace
}  // namespace engine_test
