#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "fault.h"
#include "file.h"
#include "index_hooks.h"
#include "orbex32.h"
#include "table.h"

using engine_test::EngineTest;
using engine_test::Field;

namespace {

class IndexedTableTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    MakeTable("STUFF", {Field("CATEGORY", 'C', 20), Field("COST", 'N', 12, 2), Field("PURCHDATE", 'D', 8)});
    c_ = Open("STUFF", ORB_OPEN_EXCLUSIVE);
  }
  uint32_t Add(const char* category, double cost) {
    std::vector<uint8_t> rec = Buffer(c_);
    EXPECT_EQ(EngineInitRecord(c_, rec.data(), rec.size()), ORB_OK);
    EXPECT_EQ(EnginePutField(c_, 1, rec.data(), category), ORB_OK);
    EXPECT_EQ(EnginePutField(c_, 2, rec.data(), &cost), ORB_OK);
    EXPECT_EQ(EngineInsertRecord(c_, rec.data(), rec.size()), ORB_OK);
    OrbRecordInfo info{};
    EXPECT_EQ(EngineGetRecord(c_, rec.data(), rec.size(), &info), ORB_OK);
    return info.recordNumber;
  }
  OrbResult AddIndex(const char* name, const char* expr) {
    OrbIndexDesc d{};
    std::strcpy(d.tagName, name);
    std::strcpy(d.expression, expr);
    d.options = ORB_IDX_EXPRESSION;
    return EngineAddIndex(db_, c_, nullptr, &d);
  }
  // Category and cost of each visible record in the cursor's order.
  std::vector<std::string> Walk(OrbCursor c) {
    std::vector<std::string> out;
    EXPECT_EQ(EngineSetToBegin(c), ORB_OK);
    std::vector<uint8_t> rec = Buffer(c);
    while (EngineGetNextRecord(c, rec.data(), rec.size(), nullptr) == ORB_OK)
      out.push_back(Text(c, 1, rec.data()) + "/" + std::to_string(static_cast<int>(Number(c, 2, rec.data()))));
    return out;
  }
  uint8_t Byte28() { return static_cast<uint8_t>(Read("STUFF.DBF")[28]); }
  // The table opened anew, with no other cursor of this process on it.
  void Reopen(uint16_t mode = ORB_OPEN_SHARED) {
    EngineCloseCursor(c_);
    open_.clear();
    c_ = Open("STUFF", mode);
  }

  OrbCursor c_ = 0;
};

// Another program's engine: the built library loaded afresh in a forked
// child (a forked copy of this engine would share our descriptors and
// locks), with table STUFF of `dir` open shared.
class OtherEngine {
 public:
  // Before the fork: the library beside the test.
  OtherEngine() {
    char exe[PATH_MAX] = {};
    if (readlink("/proc/self/exe", exe, sizeof exe - 1) > 0)
      path_ = (std::filesystem::path(exe).parent_path() / "libORBEX32.so").string();
  }
  // In the child: false when the library or the table does not open.
  bool Open(const std::filesystem::path& dir) {
    library_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) return false;
    auto openDb = Entry<decltype(EngineOpenDatabase)>("EngineOpenDatabase");
    auto openTable = Entry<decltype(EngineOpenTable)>("EngineOpenTable");
    OrbDatabase db = 0;
    return openDb != nullptr && openTable != nullptr && openDb(dir.c_str(), &db) == ORB_OK &&
           openTable(db, "STUFF", ORB_OPEN_SHARED, &cursor_) == ORB_OK;
  }
  // An entry point of the library (null when it has none such).
  template <typename F>
  F* Entry(const char* name) {
    return reinterpret_cast<F*>(dlsym(library_, name));
  }
  OrbCursor cursor() const { return cursor_; }

 private:
  std::string path_;
  void* library_ = nullptr;
  OrbCursor cursor_ = 0;
};

}  // namespace

TEST_F(IndexedTableTest, NewIndexOrdersTheCursorAndFollowsEveryChange) {
  Add("tools", 30);
  Add("Kitchen", 5);
  Add("tools", 10);
  Add("", 99);
  uint32_t garden = Add("garden", 7);
  ASSERT_EQ(AddIndex("NewIndex", "Upper(Left(Category,40))+STR(Cost,12,2)"), ORB_OK);
  EXPECT_EQ(Byte28(), 1);
  EXPECT_TRUE(std::filesystem::exists(Dir() / "STUFF.MDX"));
  ASSERT_EQ(EngineSwitchToIndex(c_, "newindex"), ORB_OK);
  char active[16];
  ASSERT_EQ(EngineGetActiveIndex(c_, active, sizeof active), ORB_OK);
  EXPECT_STREQ(active, "NEWINDEX");
  EXPECT_EQ(Walk(c_), (std::vector<std::string>{"/99", "garden/7", "Kitchen/5", "tools/10", "tools/30"}));

  // Inserts, edits and deletes keep the order.
  Add("apples", 1);
  Add("tools", 20);
  ASSERT_EQ(EngineSetToRecordNo(c_, garden), ORB_OK);
  std::vector<uint8_t> rec = Buffer(c_);
  ASSERT_EQ(EngineGetRecord(c_, rec.data(), rec.size(), nullptr), ORB_OK);
  ASSERT_EQ(EnginePutField(c_, 1, rec.data(), "zoo"), ORB_OK);
  ASSERT_EQ(EngineModifyRecord(c_, rec.data(), rec.size()), ORB_OK);
  EXPECT_EQ(Walk(c_), (std::vector<std::string>{"/99", "apples/1", "Kitchen/5", "tools/10", "tools/20", "tools/30",
                                                "zoo/7"}));

  // Key searches: exact with a partial key, at-or-after, after.
  struct Row {
    uint16_t mode;
    const char* text;
    uint16_t partial;
    OrbResult result;
    const char* lands;  // the record the next read gives
  } rows[] = {
      {ORB_KEY_EQ, "TOOLS", 5, ORB_OK, "tools/10"},
      {ORB_KEY_EQ, "TOOLS", 0, ORB_ERR_NOT_FOUND, "tools/10"},
      {ORB_KEY_GE, "L", 1, ORB_OK, "tools/10"},
      {ORB_KEY_GT, "KITCHEN", 7, ORB_OK, "tools/10"},
      {ORB_KEY_EQ, "B", 1, ORB_ERR_NOT_FOUND, "Kitchen/5"},
      {ORB_KEY_GE, "ZZ", 2, ORB_ERR_EOF, ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EngineSetToKeyText(c_, row.mode, row.text, row.partial), row.result) << row.text;
    if (row.lands[0] == 0) continue;
    ASSERT_EQ(EngineGetRecord(c_, rec.data(), rec.size(), nullptr), ORB_OK) << row.text;
    EXPECT_EQ(Text(c_, 1, rec.data()) + "/" + std::to_string(static_cast<int>(Number(c_, 2, rec.data()))), row.lands)
        << row.text;
  }

  // A range over the leading part of the key.
  std::vector<uint8_t> low = Buffer(c_), high = Buffer(c_);
  EngineInitRecord(c_, low.data(), low.size());
  EngineInitRecord(c_, high.data(), high.size());
  EnginePutField(c_, 1, low.data(), "KITCHEN");
  EnginePutField(c_, 1, high.data(), "TOOLS");
  ASSERT_EQ(EngineSetRange(c_, 7, low.data(), 1, 5, high.data(), 0), ORB_OK);
  EXPECT_EQ(Walk(c_), (std::vector<std::string>{"Kitchen/5"}));
  ASSERT_EQ(EngineSetRange(c_, 7, low.data(), 0, 5, high.data(), 1), ORB_OK);
  EXPECT_EQ(Walk(c_), (std::vector<std::string>{"tools/10", "tools/20", "tools/30"}));
  ASSERT_EQ(EngineResetRange(c_), ORB_OK);
  EXPECT_EQ(Walk(c_).size(), 7u);

  // Deleted records leave the walk; pack renumbers and rebuilds the tag.
  ASSERT_EQ(EngineSetToKeyText(c_, ORB_KEY_EQ, "APPLES", 6), ORB_OK);
  ASSERT_EQ(EngineGetRecord(c_, rec.data(), rec.size(), nullptr), ORB_OK);
  ASSERT_EQ(Text(c_, 1, rec.data()), "apples");
  ASSERT_EQ(EngineDeleteRecord(c_), ORB_OK);
  EXPECT_EQ(Walk(c_).size(), 6u);
  ASSERT_EQ(EnginePack(db_, c_, nullptr, "DBASE", 1), ORB_OK);
  EXPECT_EQ(Walk(c_), (std::vector<std::string>{"/99", "Kitchen/5", "tools/10", "tools/20", "tools/30", "zoo/7"}));

  // Reopened, the index is there and described.
  Reopen();
  OrbIndexDesc descs[4];
  uint16_t count = 0;
  ASSERT_EQ(EngineGetIndexDescs(c_, 4, descs, &count), ORB_OK);
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(descs[0].tagName, "NEWINDEX");
  EXPECT_STREQ(descs[0].expression, "Upper(Left(Category,40))+STR(Cost,12,2)");
  EXPECT_EQ(descs[0].keyType, 'C');
  EXPECT_EQ(descs[0].keyLength, 32);
  EXPECT_TRUE(descs[0].options & ORB_IDX_EXPRESSION);
  EXPECT_TRUE(descs[0].options & ORB_IDX_CASE_INSENSITIVE);
  ASSERT_EQ(EngineSwitchToIndex(c_, "NEWINDEX"), ORB_OK);
  EXPECT_EQ(Walk(c_).front(), "/99");
  ASSERT_EQ(EngineSwitchToIndex(c_, ""), ORB_OK);
  EXPECT_EQ(Walk(c_).front(), "tools/30");  // natural order again
}

TEST_F(IndexedTableTest, ByteTwentyEightFollowsTheTags) {
  Add("a", 1);
  EXPECT_EQ(Byte28(), 0);
  ASSERT_EQ(AddIndex("NewIndex", "Upper(Category)"), ORB_OK);
  ASSERT_EQ(AddIndex("COST", "COST"), ORB_OK);
  EXPECT_EQ(Read("STUFF.DBF")[32 + 32 * 1 + 31], 1);  // COST carries a tag of its own
  EXPECT_EQ(Read("STUFF.DBF")[32 + 31], 0);
  EXPECT_EQ(AddIndex("COST", "COST"), ORB_ERR_INDEX_EXISTS);
  EXPECT_EQ(AddIndex("BAD", "Upper(Nothing)"), ORB_ERR_INVALID_EXPRESSION);
  EXPECT_EQ(Byte28(), 1);
  EXPECT_EQ(EngineDeleteIndex(db_, c_, nullptr, "GONE"), ORB_ERR_NO_SUCH_INDEX);
  ASSERT_EQ(EngineDeleteIndex(db_, c_, nullptr, "NewIndex"), ORB_OK);
  EXPECT_EQ(Byte28(), 1);
  ASSERT_EQ(EngineDeleteIndex(db_, c_, nullptr, "cost"), ORB_OK);
  EXPECT_EQ(Byte28(), 0);
  EXPECT_EQ(Read("STUFF.DBF")[32 + 32 * 1 + 31], 0);
  EXPECT_FALSE(std::filesystem::exists(Dir() / "STUFF.MDX"));
  EXPECT_EQ(EngineDeleteIndex(db_, c_, nullptr, "NewIndex"), ORB_ERR_NO_SUCH_INDEX);
  // A new first tag makes the file again.
  ASSERT_EQ(AddIndex("NewIndex", "Upper(Category)"), ORB_OK);
  EXPECT_EQ(Byte28(), 1);
  EXPECT_TRUE(std::filesystem::exists(Dir() / "STUFF.MDX"));
}

TEST_F(IndexedTableTest, MissingIgnoredAndDamagedIndexFiles) {
  for (int i = 0; i < 300; ++i) Add(("c" + std::to_string(i % 17)).c_str(), i);
  ASSERT_EQ(AddIndex("NewIndex", "Upper(Left(Category,80))"), ORB_OK);
  EngineCloseCursor(c_);
  open_.clear();
  const std::string mdx = Read("STUFF.MDX");
  const std::string dbf = Read("STUFF.DBF");
  OrbCursor c = 0;

  // Byte 28 set and the .MDX gone: refused with its own code.
  std::filesystem::remove(Dir() / "STUFF.MDX");
  EXPECT_EQ(EngineOpenTable(db_, "STUFF", ORB_OPEN_SHARED, &c), ORB_ERR_INDEX_MISSING);

  // Byte 28 clear: the .MDX beside it is ignored.
  Write("STUFF.MDX", mdx);
  std::string cleared = dbf;
  cleared[28] = 0;
  Write("STUFF.DBF", cleared);
  ASSERT_EQ(EngineOpenTable(db_, "STUFF", ORB_OPEN_SHARED, &c), ORB_OK);
  uint16_t count = 9;
  EXPECT_EQ(EngineGetIndexDescs(c, 0, nullptr, &count), ORB_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(EngineSwitchToIndex(c, "NEWINDEX"), ORB_ERR_NO_SUCH_INDEX);
  EngineCloseCursor(c);
  Write("STUFF.DBF", dbf);

  // A damaged tree opens; regenerating rebuilds it from the records.
  std::string bad = mdx;
  std::fill(bad.begin() + 6 * 512 + 8, bad.begin() + 6 * 512 + 200, '\x55');
  Write("STUFF.MDX", bad);
  ASSERT_EQ(EngineOpenTable(db_, "STUFF", ORB_OPEN_EXCLUSIVE, &c), ORB_OK);
  open_.push_back(c);
  ASSERT_EQ(EngineSwitchToIndex(c, "NEWINDEX"), ORB_OK);
  Walk(c);  // whatever it finds, it ends
  ASSERT_EQ(EngineRegenIndexes(c), ORB_OK);
  std::vector<std::string> walk = Walk(c);
  ASSERT_EQ(walk.size(), 300u);
  EXPECT_TRUE(std::is_sorted(walk.begin(), walk.end(), [](const std::string& a, const std::string& b) {
    return a.substr(0, a.find('/')) < b.substr(0, b.find('/'));
  }));
}

// An index file that cannot be read is rebuilt from the records at a
// writable open, with the tags its tag table still names and those the
// field descriptors mark (a tag on the field alone, named after it);
// with none left the table stops naming it. A read-only open reads the
// records in natural order and answers the damage only when a tag is
// chosen, and leaves the file as it is.
TEST_F(IndexedTableTest, UnreadableIndexFilesAreRebuiltAtAWritableOpen) {
  for (int i = 0; i < 300; ++i) Add(("c" + std::to_string(i % 17)).c_str(), i);
  ASSERT_EQ(AddIndex("NewIndex", "Upper(Left(Category,80))"), ORB_OK);
  ASSERT_EQ(AddIndex("COST", "COST"), ORB_OK);
  EngineCloseCursor(c_);
  open_.clear();
  const std::string mdx = Read("STUFF.MDX");
  const std::string dbf = Read("STUFF.DBF");
  ASSERT_EQ(dbf[32 + 32 + 31], 1);  // COST's descriptor marks its tag
  std::string unmarked = dbf;
  unmarked[32 + 32 + 31] = 0;
  std::string badBlockSize = mdx;
  badBlockSize[22] = 9;
  const std::vector<std::string> both = {"NEWINDEX", "COST"}, costOnly = {"COST"}, none = {};
  struct Case {
    const char* what;
    std::string mdx, dbf;
    std::vector<std::string> tags;  // after the writable open
  } cases[] = {
      {"zeroed", std::string(mdx.size(), '\0'), dbf, costOnly},
      {"empty", "", dbf, costOnly},
      {"cut short", mdx.substr(0, mdx.size() - 1024), dbf, both},
      {"header damaged", badBlockSize, dbf, both},
      {"zeroed, no field marked", std::string(mdx.size(), '\0'), unmarked, none},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Write("STUFF.DBF", k.dbf);
    Write("STUFF.MDX", k.mdx);
    OrbCursor ro = 0;
    ASSERT_EQ(EngineOpenTable(db_, "STUFF", ORB_OPEN_READ_ONLY, &ro), ORB_OK);
    EXPECT_EQ(Walk(ro).size(), 300u);
    EXPECT_EQ(EngineSwitchToIndex(ro, "NEWINDEX"), ORB_ERR_INDEX_CORRUPT);
    EXPECT_EQ(EngineSwitchToIndex(ro, "COST"), ORB_ERR_INDEX_CORRUPT);
    EXPECT_EQ(Walk(ro).size(), 300u);
    EXPECT_TRUE(Read("STUFF.MDX") == k.mdx) << "a read-only open changed the index file";

    // Every other case is mended by an exclusive open, the rest by a shared
    // one beside the read-only one, which then finds the index mended too.
    const bool exclusiveFirst = (&k - cases) % 2 == 1;
    const std::vector<uint16_t> modes = exclusiveFirst ? std::vector<uint16_t>{ORB_OPEN_EXCLUSIVE, ORB_OPEN_SHARED}
                                                       : std::vector<uint16_t>{ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE};
    OrbCursor c = 0;
    for (uint16_t mode : modes) {
      if (mode == ORB_OPEN_EXCLUSIVE) {
        if (!exclusiveFirst && !k.tags.empty()) {
          EXPECT_EQ(EngineSwitchToIndex(ro, k.tags.back().c_str()), ORB_OK);
          EXPECT_EQ(Walk(ro).size(), 300u);
        }
        EngineCloseCursor(ro);
      }
      ASSERT_EQ(EngineOpenTable(db_, "STUFF", mode, &c), ORB_OK) << mode;
      OrbIndexDesc descs[4];
      uint16_t count = 0;
      ASSERT_EQ(EngineGetIndexDescs(c, 4, descs, &count), ORB_OK);
      std::vector<std::string> tags;
      for (uint16_t i = 0; i < count; ++i) tags.push_back(descs[i].tagName);
      EXPECT_EQ(tags, k.tags);
      // Each rebuilt tag's first two entries and its last.
      const struct {
        const char* tag;
        std::vector<std::string> ends;
      } orders[] = {{"COST", {"c0/0", "c1/1", "c10/299"}}, {"NEWINDEX", {"c0/0", "c0/17", "c9/298"}}};
      for (const auto& o : orders) {
        if (std::find(tags.begin(), tags.end(), o.tag) == tags.end()) continue;
        ASSERT_EQ(EngineSwitchToIndex(c, o.tag), ORB_OK);
        const std::vector<std::string> walk = Walk(c);
        ASSERT_EQ(walk.size(), 300u);
        EXPECT_EQ(std::vector<std::string>({walk[0], walk[1], walk[299]}), o.ends) << o.tag;
      }
      EngineCloseCursor(c);
    }
    EXPECT_EQ(Byte28(), k.tags.empty() ? 0 : 1);
    EXPECT_EQ(std::filesystem::exists(Dir() / "STUFF.MDX"), !k.tags.empty());
    if (!k.tags.empty()) {
      std::shared_ptr<orb::Table> table;
      ASSERT_EQ(orb::Table::Acquire(Dir() / "STUFF.DBF", ORB_OPEN_SHARED, &table), ORB_OK);
      ASSERT_NE(table->Index(), nullptr);
      EXPECT_EQ(table->Index()->CheckAll(), ORB_OK);
      table->Release(ORB_OPEN_SHARED);
    }
  }
}

// A rebuild refused by a full disk (here a file size limit the new index
// cannot fit under, in another process) leaves the old index in step and
// usable in every mode, and nothing beside it.
TEST_F(IndexedTableTest, ARebuildRefusedByAFullDiskLeavesTheOldIndexUsable) {
  for (int i = 0; i < 300; ++i) Add(("c" + std::to_string(i % 17)).c_str(), i);
  ASSERT_EQ(AddIndex("NewIndex", "Upper(Left(Category,80))"), ORB_OK);
  EngineCloseCursor(c_);
  open_.clear();
  // The new index's last block does not fit; the table's header writes do.
  const size_t limit = Read("STUFF.MDX").size() - 1024;
  ASSERT_GT(limit, 4096u);
  pid_t pid = fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limit, limit};
    OrbDatabase db = 0;
    OrbCursor k = 0;
    if (setrlimit(RLIMIT_FSIZE, &size) != 0 || EngineOpenDatabase(Dir().c_str(), &db) != ORB_OK ||
        EngineOpenTable(db, "STUFF", ORB_OPEN_SHARED, &k) != ORB_OK)
      _exit(1);
    _exit(EngineRegenIndexes(k) == ORB_ERR_DISK_FULL ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "the rebuild was not refused for a full disk";
  for (uint16_t mode : {ORB_OPEN_READ_ONLY, ORB_OPEN_SHARED, ORB_OPEN_EXCLUSIVE}) {
    OrbCursor c = 0;
    ASSERT_EQ(EngineOpenTable(db_, "STUFF", mode, &c), ORB_OK) << mode;
    ASSERT_EQ(EngineSwitchToIndex(c, "NEWINDEX"), ORB_OK) << mode;
    const std::vector<std::string> walk = Walk(c);
    ASSERT_EQ(walk.size(), 300u);
    EXPECT_EQ(std::vector<std::string>({walk[0], walk[1], walk[299]}),
              std::vector<std::string>({"c0/0", "c0/17", "c9/298"}));
    EngineCloseCursor(c);
  }
  for (const auto& entry : std::filesystem::directory_iterator(Dir()))
    EXPECT_NE(entry.path().extension(), ".new") << entry.path();
}

// Another process appends through its own handle while this one holds the
// table and its index open: both sets of keys end up in the index, in order.
TEST_F(IndexedTableTest, KeysAddedByAnotherProcessAreKeptBesideOurs) {
  Reopen();
  for (int i = 0; i < 100; ++i) Add(("p" + std::to_string(i % 10)).c_str(), i);
  ASSERT_EQ(AddIndex("NewIndex", "Upper(Left(Category,40))+STR(Cost,12,2)"), ORB_OK);
  ASSERT_EQ(EngineSwitchToIndex(c_, "NEWINDEX"), ORB_OK);
  Walk(c_);  // this process has the tree's blocks cached now
  pid_t pid = fork();
  if (pid == 0) {
    OrbDatabase db = 0;
    OrbCursor k = 0;
    if (EngineOpenDatabase(Dir().c_str(), &db) != ORB_OK || EngineOpenTable(db, "STUFF", ORB_OPEN_SHARED, &k) != ORB_OK)
      _exit(1);
    std::vector<uint8_t> rec(64);
    for (int i = 0; i < 100; ++i) {
      double cost = 1000 + i;
      std::string cat = "c" + std::to_string(i % 10);
      if (EngineInitRecord(k, rec.data(), rec.size()) != ORB_OK || EnginePutField(k, 1, rec.data(), cat.c_str()) != ORB_OK ||
          EnginePutField(k, 2, rec.data(), &cost) != ORB_OK || EngineInsertRecord(k, rec.data(), rec.size()) != ORB_OK)
        _exit(2);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  // No re-read asked for: the next write must notice by itself.
  for (int i = 0; i < 100; ++i) Add(("z" + std::to_string(i % 10)).c_str(), 2000 + i);
  std::vector<std::string> walk = Walk(c_);
  ASSERT_EQ(walk.size(), 300u);
  auto key = [](const std::string& s) {
    std::string cat = s.substr(0, s.find('/'));
    std::string cost = s.substr(s.find('/') + 1);
    return cat + std::string(12 - cost.size(), ' ') + cost;
  };
  EXPECT_TRUE(std::is_sorted(walk.begin(), walk.end(), [&](const std::string& a, const std::string& b) {
    return key(a) < key(b);
  }));
}

// Another program changing one indexed table while this one appends to it
// or rebuilds and changes its tags: every record ends up in the tags exactly
// once, in order. The other program is the built library loaded afresh in
// a child process, so it has its own descriptors and locks (a forked copy
// of this engine would share ours).
TEST_F(IndexedTableTest, KeysStayWholeWhileAnotherProcessAppends) {
  Reopen();
  ASSERT_EQ(AddIndex("BYCAT", "Upper(Left(Category,40))+STR(Cost,12,2)"), ORB_OK);
  ASSERT_EQ(EngineSwitchToIndex(c_, "BYCAT"), ORB_OK);
  char exe[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  const std::string lib = (std::filesystem::path(exe).parent_path() / "libORBEX32.so").string();
  constexpr int kEach = 1000;
  struct Case {
    const char* what;
    int ours;  // records this process appends
    std::function<void(int)> step;
  };
  const Case cases[] = {
      {"both append", kEach, [&](int i) { Add(("p" + std::to_string(i % 7)).c_str(), i); }},
      {"we rebuild and change tags", 0,
       [&](int i) {
         if (i % 50 != 0) return;
         EXPECT_EQ(EngineRegenIndexes(c_), ORB_OK);
         EXPECT_EQ(AddIndex("BYCOST", "STR(Cost,12,2)"), ORB_OK);
         EXPECT_EQ(EngineDeleteIndex(db_, c_, nullptr, "BYCOST"), ORB_OK);
       }},
  };
  uint32_t expected = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    int go[2], ready[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(go[1]);
      close(ready[0]);
      void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (h == nullptr) _exit(4);
      auto openDb = reinterpret_cast<decltype(&EngineOpenDatabase)>(dlsym(h, "EngineOpenDatabase"));
      auto openTable = reinterpret_cast<decltype(&EngineOpenTable)>(dlsym(h, "EngineOpenTable"));
      auto init = reinterpret_cast<decltype(&EngineInitRecord)>(dlsym(h, "EngineInitRecord"));
      auto put = reinterpret_cast<decltype(&EnginePutField)>(dlsym(h, "EnginePutField"));
      auto insert = reinterpret_cast<decltype(&EngineInsertRecord)>(dlsym(h, "EngineInsertRecord"));
      if (!openDb || !openTable || !init || !put || !insert) _exit(5);
      OrbDatabase db = 0;
      OrbCursor other = 0;
      if (openDb(Dir().c_str(), &db) != ORB_OK || openTable(db, "STUFF", ORB_OPEN_SHARED, &other) != ORB_OK) _exit(1);
      if (write(ready[1], "r", 1) != 1) _exit(6);
      char b;
      if (read(go[0], &b, 1) != 1) _exit(3);
      std::vector<uint8_t> rec(64);
      for (int i = 0; i < kEach; ++i) {
        double cost = i;
        std::string cat = "c" + std::to_string(i % 7);
        if (init(other, rec.data(), rec.size()) != ORB_OK || put(other, 1, rec.data(), cat.c_str()) != ORB_OK ||
            put(other, 2, rec.data(), &cost) != ORB_OK || insert(other, rec.data(), rec.size()) != ORB_OK)
          _exit(2);
      }
      _exit(0);
    }
    close(go[0]);
    close(ready[1]);
    char opened;
    ASSERT_EQ(read(ready[0], &opened, 1), 1);
    close(ready[0]);
    ASSERT_EQ(write(go[1], "x", 1), 1);
    close(go[1]);
    for (int i = 0; i < kEach; ++i) k.step(i);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    expected += kEach + k.ours;
    ASSERT_EQ(EngineForceReread(c_), ORB_OK);
    std::vector<std::string> walk = Walk(c_);
    EXPECT_EQ(walk.size(), expected);
    auto key = [](const std::string& s) {
      std::string cat = s.substr(0, s.find('/'));
      std::string cost = s.substr(s.find('/') + 1);
      return cat + std::string(12 - cost.size(), ' ') + cost;
    };
    EXPECT_TRUE(std::is_sorted(walk.begin(), walk.end(), [&](const std::string& a, const std::string& b) {
      return key(a) < key(b);
    }));
  }
}

namespace {
int FailDateWrites(const std::filesystem::path& path, off_t offset, size_t) {
  return path.extension() == ".DBF" && offset == 1 ? EIO : 0;
}
}  // namespace

// A modify whose header (date and change counter, written before the
// record) cannot be written is refused, and record and keys stay as before.
TEST_F(IndexedTableTest, AModifyWhoseHeaderWriteFailsLeavesRecordAndKeysAsBefore) {
  Add("apple", 1);
  Add("berry", 2);
  ASSERT_EQ(AddIndex("BYCAT", "Upper(Left(Category,40))"), ORB_OK);
  ASSERT_EQ(EngineSwitchToIndex(c_, "BYCAT"), ORB_OK);
  std::vector<uint8_t> rec = Buffer(c_);
  ASSERT_EQ(EngineGetFirstRecord(c_, rec.data(), rec.size(), nullptr), ORB_OK);
  ASSERT_EQ(EnginePutField(c_, 1, rec.data(), "zucchini"), ORB_OK);
  orb::SetWriteFaultHook(&FailDateWrites);
  const OrbResult r = EngineModifyRecord(c_, rec.data(), rec.size());
  orb::SetWriteFaultHook(nullptr);
  EXPECT_EQ(r, ORB_ERR_WRITE_FAILED);
  EXPECT_EQ(Walk(c_), (std::vector<std::string>{"apple/1", "berry/2"}));
  ASSERT_EQ(EngineRegenIndexes(c_), ORB_OK);
  EXPECT_EQ(Walk(c_), (std::vector<std::string>{"apple/1", "berry/2"}));
}

// A table this program opened before another program gave it an index:
// records it appends and changes afterwards get their keys too.
TEST_F(IndexedTableTest, IndexAddedByAnotherProcessGetsOurLaterRecords) {
  Reopen();
  Add("apple", 1);
  Add("berry", 2);
  char exe[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  const std::string lib = (std::filesystem::path(exe).parent_path() / "libORBEX32.so").string();
  pid_t pid = fork();
  if (pid == 0) {
    void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) _exit(4);
    auto openDb = reinterpret_cast<decltype(&EngineOpenDatabase)>(dlsym(h, "EngineOpenDatabase"));
    auto openTable = reinterpret_cast<decltype(&EngineOpenTable)>(dlsym(h, "EngineOpenTable"));
    auto addIndex = reinterpret_cast<decltype(&EngineAddIndex)>(dlsym(h, "EngineAddIndex"));
    if (!openDb || !openTable || !addIndex) _exit(5);
    OrbDatabase db = 0;
    OrbCursor other = 0;
    if (openDb(Dir().c_str(), &db) != ORB_OK || openTable(db, "STUFF", ORB_OPEN_SHARED, &other) != ORB_OK) _exit(1);
    OrbIndexDesc d{};
    std::strcpy(d.tagName, "BYCAT");
    std::strcpy(d.expression, "Upper(Left(Category,40))");
    d.options = ORB_IDX_EXPRESSION;
    _exit(addIndex(db, other, nullptr, &d) == ORB_OK ? 0 : 2);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);

  Add("cherry", 3);
  std::vector<uint8_t> rec = Buffer(c_);
  ASSERT_EQ(EngineGetFirstRecord(c_, rec.data(), rec.size(), nullptr), ORB_OK);
  ASSERT_EQ(EnginePutField(c_, 1, rec.data(), "zucchini"), ORB_OK);
  ASSERT_EQ(EngineModifyRecord(c_, rec.data(), rec.size()), ORB_OK);
  Reopen();
  ASSERT_EQ(EngineSwitchToIndex(c_, "BYCAT"), ORB_OK);
  EXPECT_EQ(Walk(c_), (std::vector<std::string>{"berry/2", "cherry/3", "zucchini/1"}));
}

// The count in index order is the live records' (no key walk while the
// index matches its table); a range or a filter still counts by walking.
TEST_F(IndexedTableTest, CountInIndexOrderMatchesAWalk) {
  for (int i = 0; i < 40; ++i) Add(i % 3 ? "tools" : "garden", i);
  ASSERT_EQ(AddIndex("BYCAT", "Upper(Left(Category,40))"), ORB_OK);
  ASSERT_EQ(EngineSwitchToIndex(c_, "BYCAT"), ORB_OK);
  for (uint32_t n : {2u, 5u, 9u}) {
    ASSERT_EQ(EngineSetToRecordNo(c_, n), ORB_OK);
    ASSERT_EQ(EngineDeleteRecord(c_), ORB_OK);
  }
  uint32_t count = 0;
  ASSERT_EQ(EngineGetRecordCount(c_, &count), ORB_OK);
  EXPECT_EQ(count, 37u);
  EXPECT_EQ(Walk(c_).size(), 37u);
  std::vector<uint8_t> key = Buffer(c_);
  EngineInitRecord(c_, key.data(), key.size());
  EnginePutField(c_, 1, key.data(), "GARDEN");
  ASSERT_EQ(EngineSetRange(c_, 6, key.data(), 1, 6, key.data(), 1), ORB_OK);
  ASSERT_EQ(EngineGetRecordCount(c_, &count), ORB_OK);
  EXPECT_EQ(count, Walk(c_).size());
  EXPECT_EQ(count, 14u);  // records 1, 4, ... 40: none of them deleted
}

// Another program's appends show in this program's next count and walk in
// index order (the count's shortcut trusts only an index in step).
// A seek asks only whether the record it lands on is live; after a count
// that answer may come from the flags the count read, which a deletion
// must not leave behind.
TEST_F(IndexedTableTest, SeeksSkipRecordsDeletedAfterACount) {
  for (const char* cat : {"apple", "berry", "berry", "cherry"}) Add(cat, 1);
  ASSERT_EQ(AddIndex("BYCAT", "Upper(Left(Category,40))"), ORB_OK);
  ASSERT_EQ(EngineSwitchToIndex(c_, "BYCAT"), ORB_OK);
  std::vector<uint8_t> rec = Buffer(c_);
  auto seek = [&](const char* key, uint32_t* recordNumber) {
    OrbResult r = EngineSetToKeyText(c_, ORB_KEY_EQ, key, 0);
    OrbRecordInfo info{};
    if (r == ORB_OK) r = EngineGetRecord(c_, rec.data(), rec.size(), &info);
    *recordNumber = info.recordNumber;
    return r;
  };
  uint32_t count = 0, n = 0;
  ASSERT_EQ(EngineGetRecordCount(c_, &count), ORB_OK);
  ASSERT_EQ(count, 4u);
  ASSERT_EQ(seek("BERRY", &n), ORB_OK);
  EXPECT_EQ(n, 2u);
  ASSERT_EQ(EngineDeleteRecord(c_), ORB_OK);
  ASSERT_EQ(seek("BERRY", &n), ORB_OK);
  EXPECT_EQ(n, 3u);  // the equal key after the deleted one
  ASSERT_EQ(EngineGetRecordCount(c_, &count), ORB_OK);
  ASSERT_EQ(count, 3u);
  ASSERT_EQ(seek("APPLE", &n), ORB_OK);
  EXPECT_EQ(n, 1u);
  ASSERT_EQ(EngineDeleteRecord(c_), ORB_OK);
  ASSERT_EQ(seek("CHERRY", &n), ORB_OK);
  EXPECT_EQ(n, 4u);
  ASSERT_EQ(EngineGetRecordCount(c_, &count), ORB_OK);
  EXPECT_EQ(count, 2u);
}

TEST_F(IndexedTableTest, AnotherProcesssAppendsShowInTheNextCountAndWalk) {
  Reopen();
  Add("apple", 1);
  ASSERT_EQ(AddIndex("BYCAT", "Upper(Left(Category,40))"), ORB_OK);
  ASSERT_EQ(EngineSwitchToIndex(c_, "BYCAT"), ORB_OK);
  uint32_t count = 0;
  ASSERT_EQ(EngineGetRecordCount(c_, &count), ORB_OK);
  ASSERT_EQ(count, 1u);
  OtherEngine engine;
  pid_t pid = fork();
  if (pid == 0) {
    if (!engine.Open(Dir())) _exit(1);
    auto init = engine.Entry<decltype(EngineInitRecord)>("EngineInitRecord");
    auto put = engine.Entry<decltype(EnginePutField)>("EnginePutField");
    auto insert = engine.Entry<decltype(EngineInsertRecord)>("EngineInsertRecord");
    if (!init || !put || !insert) _exit(5);
    const OrbCursor other = engine.cursor();
    std::vector<uint8_t> rec(64);
    for (const char* cat : {"berry", "cherry", "date"}) {
      if (init(other, rec.data(), rec.size()) != ORB_OK || put(other, 1, rec.data(), cat) != ORB_OK ||
          insert(other, rec.data(), rec.size()) != ORB_OK)
        _exit(2);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ASSERT_EQ(EngineGetRecordCount(c_, &count), ORB_OK);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(Walk(c_), (std::vector<std::string>{"apple/1", "berry/0", "cherry/0", "date/0"}));
}

namespace {

constexpr int kNotTraceable = 3;

// The system calls of `work` run in a forked child, traced by this process:
// each call of mark() (a getppid) ends one list and starts the next. Empty
// when `work` failed; *traceable false when this machine lets no process
// trace its child.
std::vector<std::vector<long>> CallsBetweenMarks(bool* traceable,
                                                 const std::function<bool(const std::function<void()>& mark)>& work) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(kNotTraceable);
    raise(SIGSTOP);
    _exit(work([] { syscall(SYS_getppid); }) ? 0 : 1);
  }
  std::vector<std::vector<long>> lists;
  int status = 0;
  *traceable = true;
  if (waitpid(pid, &status, 0) != pid) return {};
  if (WIFEXITED(status)) *traceable = WEXITSTATUS(status) != kNotTraceable;
  if (!WIFSTOPPED(status)) return {};
  ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  bool marked = false;
  for (;;) {
    if (ptrace(PTRACE_SYSCALL, pid, nullptr, nullptr) != 0 || waitpid(pid, &status, 0) != pid) return {};
    if (WIFEXITED(status)) return WEXITSTATUS(status) == 0 ? lists : std::vector<std::vector<long>>{};
    if (!WIFSTOPPED(status) || WSTOPSIG(status) != (SIGTRAP | 0x80)) continue;
    __ptrace_syscall_info info{};
    if (ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info) <= 0 || info.op != PTRACE_SYSCALL_INFO_ENTRY)
      continue;
    const long nr = static_cast<long>(info.entry.nr);
    if (nr == SYS_getppid) {
      lists.emplace_back();
      marked = true;
    } else if (marked) {
      lists.back().push_back(nr);
    }
  }
}

}  // namespace

// An insert in a shared open with one tag kept reads nothing twice: the
// append turn's look, the lock and its release, the table's size and header,
// the index's header, and four writes (the record, the table's header, the
// key's block, the index's header) make ten calls besides the syncs. One
// that splits a block writes the new blocks too.
TEST_F(IndexedTableTest, ASharedInsertWithOneTagMakesTenSystemCallsBesidesItsSyncs) {
  Reopen();
  ASSERT_EQ(AddIndex("BYCAT", "Upper(Category)"), ORB_OK);
  ASSERT_EQ(EngineSwitchToIndex(c_, "BYCAT"), ORB_OK);
  for (int i = 0; i < 40; ++i) Add(("item " + std::to_string(i * 7919 % 1000)).c_str(), i);
  // The records are made before the first mark: only the inserts are counted.
  std::vector<std::vector<uint8_t>> records;
  for (int i = 0; i < 40; ++i) {
    std::vector<uint8_t> rec = Buffer(c_);
    ASSERT_EQ(EngineInitRecord(c_, rec.data(), rec.size()), ORB_OK);
    ASSERT_EQ(EnginePutField(c_, 1, rec.data(), ("item " + std::to_string(i * 104729 % 1000)).c_str()), ORB_OK);
    records.push_back(rec);
  }
  bool traceable = true;
  const auto lists = CallsBetweenMarks(&traceable, [&](const std::function<void()>& mark) {
    for (std::vector<uint8_t>& rec : records) {
      mark();
      if (EngineInsertRecord(c_, rec.data(), rec.size()) != ORB_OK) return false;
    }
    mark();
    return true;
  });
  if (!traceable) GTEST_SKIP() << "this machine lets no process trace its child";
  ASSERT_EQ(lists.size(), records.size() + 1) << "an insert failed";
  int plain = 0;
  for (size_t i = 0; i + 1 < lists.size(); ++i) {
    int calls = 0, writes = 0;
    for (long nr : lists[i]) {
      // The syncs, and fresh memory for the allocator (a sanitizer's among them), are not the insert's own.
      if (nr == SYS_fdatasync || nr == SYS_fsync || nr == SYS_mmap || nr == SYS_munmap || nr == SYS_brk ||
          nr == SYS_madvise || nr == SYS_mprotect)
        continue;
      ++calls;
      writes += nr == SYS_pwrite64 || nr == SYS_pwritev || nr == SYS_write;
    }
    SCOPED_TRACE("insert " + std::to_string(i));
    if (writes > 4) continue;  // a block split
    ++plain;
    EXPECT_LE(calls, 10);
  }
  EXPECT_GT(plain, static_cast<int>(records.size()) / 2);
}

// Walks read records ahead in blocks, in index order too, where the walk
// jumps about the file and comes back to blocks it read before. Another
// program changes records while this one walks, in a shared or read-only
// open: a change to a record the walk reaches a block's worth of records
// (or more) later shows, in index order exactly as in record order.
TEST_F(IndexedTableTest, AnotherProcesssChangesShowInAWalkUnderWayInEitherOrder) {
  // 41-byte records: 1,598 to a 64 KiB block, so 4,000 records fill three.
  constexpr uint32_t kRecords = 4000;
  constexpr uint32_t kChangeAt = 1000, kRenamedAt = 3000, kDeletedAt = 3500;
  ASSERT_EQ(EngineBeginBatch(c_), ORB_OK);
  // Costs 0 to 3,999 scattered over the records: the cost order jumps.
  auto costOf = [](uint32_t recordNumber) { return (recordNumber - 1) * 7919 % kRecords; };
  for (uint32_t n = 1; n <= kRecords; ++n) Add(("r" + std::to_string(n)).c_str(), costOf(n));
  ASSERT_EQ(EngineCommitBatch(c_), ORB_OK);
  ASSERT_EQ(AddIndex("BYCOST", "STR(Cost,12,2)"), ORB_OK);
  OtherEngine engine;
  // Renames record `renamed` and deletes record `deleted` through another engine.
  auto changeInChild = [&](uint32_t renamed, const char* name, uint32_t deleted) {
    pid_t pid = fork();
    if (pid == 0) {
      if (!engine.Open(Dir())) _exit(1);
      auto toRecord = engine.Entry<decltype(EngineSetToRecordNo)>("EngineSetToRecordNo");
      auto get = engine.Entry<decltype(EngineGetRecord)>("EngineGetRecord");
      auto put = engine.Entry<decltype(EnginePutField)>("EnginePutField");
      auto modify = engine.Entry<decltype(EngineModifyRecord)>("EngineModifyRecord");
      auto remove = engine.Entry<decltype(EngineDeleteRecord)>("EngineDeleteRecord");
      if (!toRecord || !get || !put || !modify || !remove) _exit(5);
      const OrbCursor k = engine.cursor();
      std::vector<uint8_t> rec(41);
      if (toRecord(k, renamed) != ORB_OK || get(k, rec.data(), rec.size(), nullptr) != ORB_OK ||
          put(k, 1, rec.data(), name) != ORB_OK || modify(k, rec.data(), rec.size()) != ORB_OK)
        _exit(2);
      _exit(toRecord(k, deleted) == ORB_OK && remove(k) == ORB_OK ? 0 : 3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  struct Case {
    const char* order;  // "" natural
    uint16_t mode;
    // The record at a place (1-based) of the walk over all records.
    std::function<uint32_t(uint32_t)> recordAt;
  };
  auto byCost = [&](uint32_t place) {
    for (uint32_t n = 1; n <= kRecords; ++n)
      if (costOf(n) == place - 1) return n;
    return 0u;
  };
  const Case cases[] = {
      {"", ORB_OPEN_SHARED, [](uint32_t place) { return place; }},
      {"BYCOST", ORB_OPEN_SHARED, byCost},
      {"BYCOST", ORB_OPEN_READ_ONLY, byCost},
  };
  int round = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.order) + " mode " + std::to_string(k.mode));
    const std::string renamedTo = "changed" + std::to_string(++round);
    const uint32_t renamed = k.recordAt(kRenamedAt + round), deleted = k.recordAt(kDeletedAt + round);
    // Every earlier round's change, as this walk finds the table.
    std::vector<std::string> expected;
    Reopen(k.mode);
    if (*k.order != '\0') {
      ASSERT_EQ(EngineSwitchToIndex(c_, k.order), ORB_OK);
    }
    for (const std::string& s : Walk(c_)) {
      if (s.rfind("r" + std::to_string(deleted) + "/", 0) == 0) continue;
      expected.push_back(s.rfind("r" + std::to_string(renamed) + "/", 0) == 0
                             ? renamedTo + s.substr(s.find('/'))
                             : s);
    }
    ASSERT_EQ(EngineSetToBegin(c_), ORB_OK);
    std::vector<std::string> walk;
    std::vector<uint8_t> rec = Buffer(c_);
    while (EngineGetNextRecord(c_, rec.data(), rec.size(), nullptr) == ORB_OK) {
      walk.push_back(Text(c_, 1, rec.data()) + "/" + std::to_string(static_cast<int>(Number(c_, 2, rec.data()))));
      if (walk.size() == kChangeAt) {
        ASSERT_EQ(changeInChild(renamed, renamedTo.c_str(), deleted), 0);
      }
    }
    EXPECT_EQ(walk, expected);
  }
}

namespace {

uint32_t FileLe32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
                               static_cast<uint8_t>(s[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24);
}

}  // namespace

// The count in every order, fresh and after each kind of change (ours and
// another program's), equals the walk's and the live records the file's
// flags show; the index's stamp names the deleted records after each of
// our changes. A stamp that does not name the table's state, or lacks the
// deleted records, is never believed.
TEST_F(IndexedTableTest, CountsEqualTheWalkInEveryState) {
  for (int i = 0; i < 30; ++i) Add(i % 3 ? "tools" : "garden", i);
  ASSERT_EQ(AddIndex("BYCAT", "Upper(Left(Category,40))"), ORB_OK);
  for (uint32_t n : {2u, 5u, 9u}) {
    ASSERT_EQ(EngineSetToRecordNo(c_, n), ORB_OK);
    ASSERT_EQ(EngineDeleteRecord(c_), ORB_OK);
  }
  Reopen();
  OrbCursor natural = Open("STUFF");
  // The live records as the file's own bytes count them.
  auto liveInFile = [&] {
    const std::string dbf = Read("STUFF.DBF");
    const size_t header = static_cast<uint8_t>(dbf[8]) | static_cast<uint8_t>(dbf[9]) << 8;
    const size_t length = static_cast<uint8_t>(dbf[10]) | static_cast<uint8_t>(dbf[11]) << 8;
    uint32_t live = 0;
    for (uint32_t n = 0; n < FileLe32(dbf, 4); ++n) live += dbf.at(header + n * length) != '*';
    return live;
  };
  auto deletedInFile = [&] { return FileLe32(Read("STUFF.DBF"), 4) - liveInFile(); };
  // A read-only open with an index out of step offers the natural order only.
  // Inside a batch the file lacks what the batch holds: the walk alone says.
  auto expectCounts = [&](OrbCursor c, const char* where) {
    const bool batch = std::string(where) == "inside the batch";
    const uint32_t live = batch ? static_cast<uint32_t>(Walk(c).size()) : liveInFile();
    for (const char* order : {"BYCAT", ""}) {
      SCOPED_TRACE(std::string(where) + ", order \"" + order + "\"");
      const OrbResult chosen = EngineSwitchToIndex(c, order);
      if (chosen == ORB_ERR_INDEX_OUT_OF_STEP && std::string(where) == "read-only open") continue;
      ASSERT_EQ(chosen, ORB_OK);
      uint32_t count = 0;
      ASSERT_EQ(EngineGetRecordCount(c, &count), ORB_OK);
      EXPECT_EQ(count, live);
      EXPECT_EQ(Walk(c).size(), live);
    }
  };
  auto expectStamped = [&] {
    const std::string mdx = Read("STUFF.MDX"), dbf = Read("STUFF.DBF");
    EXPECT_EQ(mdx.substr(48, 4), std::string("SW\x01\x01", 4));
    EXPECT_EQ(FileLe32(mdx, 52), FileLe32(dbf, 16));
    EXPECT_EQ(FileLe32(mdx, 68), deletedInFile());
  };
  auto deleteRecord = [&](uint32_t n) {
    OrbResult r = EngineSetToRecordNo(c_, n);
    return r == ORB_OK ? EngineDeleteRecord(c_) : r;
  };
  OtherEngine engine;
  // Another engine deletes record `deleted` (0: none) and appends `append` (null: none).
  auto inOtherEngine = [&](uint32_t deleted, const char* append) {
    pid_t pid = fork();
    if (pid == 0) {
      if (!engine.Open(Dir())) _exit(1);
      auto toRecord = engine.Entry<decltype(EngineSetToRecordNo)>("EngineSetToRecordNo");
      auto remove = engine.Entry<decltype(EngineDeleteRecord)>("EngineDeleteRecord");
      auto init = engine.Entry<decltype(EngineInitRecord)>("EngineInitRecord");
      auto put = engine.Entry<decltype(EnginePutField)>("EnginePutField");
      auto insert = engine.Entry<decltype(EngineInsertRecord)>("EngineInsertRecord");
      if (!toRecord || !remove || !init || !put || !insert) _exit(5);
      const OrbCursor k = engine.cursor();
      if (deleted != 0 && (toRecord(k, deleted) != ORB_OK || remove(k) != ORB_OK)) _exit(2);
      std::vector<uint8_t> rec(41);
      if (append != nullptr && (init(k, rec.data(), rec.size()) != ORB_OK || put(k, 1, rec.data(), append) != ORB_OK ||
                                insert(k, rec.data(), rec.size()) != ORB_OK))
        _exit(3);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  struct Case {
    const char* what;
    std::function<void()> change;
    bool stamped;  // the change is ours, made through a writable open: the stamp follows it
  };
  const Case cases[] = {
      {"fresh open", [] {}, true},
      {"append", [&] { Add("plum", 3); }, true},
      {"delete", [&] { ASSERT_EQ(deleteRecord(4), ORB_OK); }, true},
      {"delete whose stamp cannot be written (the flag is recalled)",
       [&] {
         // The table's header, the flag, then the index's stamp.
         orb::fault::Arm(orb::fault::Plan{3, ENOSPC, false, true});
         const OrbResult r = deleteRecord(7);
         orb::fault::Disarm();
         EXPECT_EQ(r, ORB_ERR_DISK_FULL);
         const std::string dbf = Read("STUFF.DBF");
         EXPECT_EQ(dbf.at((static_cast<uint8_t>(dbf[8]) | static_cast<uint8_t>(dbf[9]) << 8) + 6 * 41), ' ');
       },
       true},
      {"another program deletes", [&] { ASSERT_EQ(inOtherEngine(10, nullptr), 0); }, true},
      {"another program appends", [&] { ASSERT_EQ(inOtherEngine(0, "apple"), 0); }, true},
      {"another program deletes and appends", [&] { ASSERT_EQ(inOtherEngine(12, "quince"), 0); }, true},
      {"rolled-back batch",
       [&] {
         ASSERT_EQ(EngineBeginBatch(c_), ORB_OK);
         ASSERT_EQ(deleteRecord(1), ORB_OK);
         ASSERT_EQ(deleteRecord(3), ORB_OK);
         Add("fig", 8);
         expectCounts(c_, "inside the batch");
         ASSERT_EQ(EngineRollbackBatch(c_), ORB_OK);
       },
       true},
      {"committed batch",
       [&] {
         ASSERT_EQ(EngineBeginBatch(c_), ORB_OK);
         ASSERT_EQ(deleteRecord(1), ORB_OK);
         Add("fig", 8);
         ASSERT_EQ(EngineCommitBatch(c_), ORB_OK);
       },
       true},
      {"pack",
       [&] {
         EngineCloseCursor(natural);
         Reopen(ORB_OPEN_EXCLUSIVE);
         ASSERT_EQ(EnginePack(db_, c_, "STUFF", "DBASE", 1), ORB_OK);
         Reopen();
         natural = Open("STUFF");
         ASSERT_EQ(deleteRecord(2), ORB_OK);
       },
       true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    k.change();
    expectCounts(c_, "the open that saw the change");
    expectCounts(natural, "another cursor of the open");
    if (k.stamped) expectStamped();
    // A fresh open of every mode learns the same.
    EngineCloseCursor(natural);
    for (uint16_t mode : {ORB_OPEN_READ_ONLY, ORB_OPEN_EXCLUSIVE, ORB_OPEN_SHARED}) {
      Reopen(mode);
      expectCounts(c_, mode == ORB_OPEN_READ_ONLY ? "fresh read-only open" : "fresh writable open");
    }
    natural = Open("STUFF");
    if (HasFailure()) return;
  }

  // Stamps that are not believed: one naming another change counter (a
  // change cut off before its stamp), one zeroed, one of an earlier build
  // (byte 51 clear) holding a wrong number; a writable open's count stamps
  // the right one, a read-only one leaves the file alone.
  EngineCloseCursor(natural);
  open_.clear();
  EngineCloseCursor(c_);
  struct Stale {
    const char* what;
    std::function<void(std::string&)> spoil;
  };
  const Stale stale[] = {
      {"counter of another change", [](std::string& m) { m[52] = static_cast<char>(m[52] + 1); }},
      {"zeroed (the order stamp kept)", [](std::string& m) {
         m.replace(48, 12, 12, '\0');
         m.replace(68, 4, 4, '\0');
       }},
      {"of an earlier build", [](std::string& m) {
         m[51] = 0;
         m.replace(68, 4, "\x07\x00\x00\x00", 4);
       }},
  };
  for (const Stale& k : stale) {
    SCOPED_TRACE(std::string("stamp ") + k.what);
    std::string mdx = Read("STUFF.MDX");
    k.spoil(mdx);
    Write("STUFF.MDX", mdx);
    c_ = Open("STUFF", ORB_OPEN_READ_ONLY);
    expectCounts(c_, "read-only open");
    EngineCloseCursor(c_);
    open_.clear();
    EXPECT_EQ(Read("STUFF.MDX"), mdx) << "a read-only open wrote the index";
    c_ = Open("STUFF", ORB_OPEN_SHARED);
    expectCounts(c_, "shared open");
    expectStamped();
    EngineCloseCursor(c_);
    open_.clear();
    if (HasFailure()) return;
  }

  // A stamp that names the table's state is believed: the count reads no
  // record (here it answers what the stamp says).
  std::string mdx = Read("STUFF.MDX");
  const uint32_t deleted = FileLe32(mdx, 68);
  mdx[68] = static_cast<char>(deleted + 1);
  Write("STUFF.MDX", mdx);
  c_ = Open("STUFF", ORB_OPEN_READ_ONLY);
  ASSERT_EQ(EngineSwitchToIndex(c_, "BYCAT"), ORB_OK);
  uint32_t count = 0;
  ASSERT_EQ(EngineGetRecordCount(c_, &count), ORB_OK);
  EXPECT_EQ(count, liveInFile() - 1);
}
