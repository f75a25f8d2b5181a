// The built library: its entries resolve by name and by ordinal, and the
// index entries answer "no index support" until an index module is linked.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "engine_fixture.h"
#include "index_hooks.h"

namespace engine_test {
namespace {

std::filesystem::path ProgramDir() {
  char buf[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return std::filesystem::path(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0)).parent_path();
}

TEST(EntryPointsTest, OrdinalsResolveToTheNamedEntries) {
  void* lib = dlopen((ProgramDir() / "libORBEX32.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto byOrdinal = reinterpret_cast<void* (*)(uint16_t)>(dlsym(lib, "OrbEntryByOrdinal"));
  auto duplicates = reinterpret_cast<int (*)()>(dlsym(lib, "OrbDuplicateOrdinals"));
  ASSERT_NE(byOrdinal, nullptr);
  ASSERT_NE(duplicates, nullptr);
  EXPECT_EQ(duplicates(), 0);
  struct Case {
    uint16_t ordinal;
    const char* name;
  };
  const Case cases[] = {
      {246, "EnginePack"},          {249, "EngineRegenIndexes"},     {840, "EngineAddFilter"},
      {841, "EngineDeactivateFilter"}, {842, "EngineActivateFilter"}, {843, "EngineDropFilter"},
      {21, "EngineGetRecordCount"}, {25, "EngineGetSeqNo"},          {222, "EngineSetToSeqNo"},
      {16, "EngineGetNextRecord"},  {18, "EngineGetRecord"},         {207, "EngineGetField"},
      {100, "EngineOpenBlob"},      {102, "EngineGetBlob"},          {105, "EngineFreeBlob"},
      {4, "EngineOpenTable"},       {50, "EngineAddIndex"},          {55, "EngineSetToKey"},
      {250, "EngineSetProgressCallback"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    void* named = dlsym(lib, k.name);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(byOrdinal(k.ordinal), named);
  }
  EXPECT_EQ(byOrdinal(9999), nullptr);
  EXPECT_EQ(dlsym(lib, "_ZN3orb5Table4LoadEv"), nullptr);  // inner classes stay hidden
  dlclose(lib);
}

class IndexEntriesTest : public EngineTest {};

TEST_F(IndexEntriesTest, AnswerNoIndexSupportWithoutTheModule) {
  // The index module installs itself with the engine; this case takes it out.
  struct NoModule {
    orb::IndexModule* saved = orb::GetIndexModule();
    NoModule() { orb::SetIndexModule(nullptr); }
    ~NoModule() { orb::SetIndexModule(saved); }
  } noModule;
  MakeTable("PLAIN", {Field("NAME", 'C', 10)});
  OrbCursor c = Open("PLAIN");
  OrbIndexDesc desc{};
  std::strcpy(desc.tagName, "NewIndex");
  std::strcpy(desc.expression, "Upper(Left(NAME,80))");
  desc.options = ORB_IDX_EXPRESSION;
  std::vector<uint8_t> rec = Buffer(c);
  uint16_t count = 0;
  EXPECT_EQ(EngineAddIndex(db_, c, nullptr, &desc), ORB_ERR_NO_INDEX_SUPPORT);
  EXPECT_EQ(EngineDeleteIndex(db_, c, nullptr, "NewIndex"), ORB_ERR_NO_INDEX_SUPPORT);
  EXPECT_EQ(EngineSwitchToIndex(c, "NewIndex"), ORB_ERR_NO_INDEX_SUPPORT);
  EXPECT_EQ(EngineSwitchToIndex(c, ""), ORB_OK);  // natural order is always there
  EXPECT_EQ(EngineSetToKey(c, ORB_KEY_EQ, 0, rec.data()), ORB_ERR_NO_INDEX_SUPPORT);
  EXPECT_EQ(EngineSetRange(c, 0, rec.data(), 1, 0, nullptr, 1), ORB_ERR_NO_INDEX_SUPPORT);
  EXPECT_EQ(EngineGetIndexDescs(c, 0, nullptr, &count), ORB_ERR_NO_INDEX_SUPPORT);
  EXPECT_EQ(EngineRegenIndexes(c), ORB_OK);  // nothing to rebuild
  char name[16];
  EXPECT_EQ(EngineGetActiveIndex(c, name, sizeof name), ORB_OK);
  EXPECT_STREQ(name, "");
}

TEST(ErrorTextTest, EveryCodeHasItsText) {
  for (OrbResult code : {ORB_ERR_EOF, ORB_ERR_BOF, ORB_ERR_TABLE_IN_USE, ORB_ERR_NOT_DBASE, ORB_ERR_NO_SUCH_FIELD,
                         ORB_ERR_NO_SUCH_INDEX, ORB_ERR_INDEX_MISSING, ORB_ERR_BLOB_END, ORB_ERR_FILTER_REFUSED,
                         ORB_ERR_INVALID_HANDLE, ORB_ERR_INVALID_PARAM, ORB_ERR_DISK_FULL, ORB_ERR_READ_ONLY}) {
    EXPECT_STRNE(EngineErrorText(code), "Unknown engine error") << code;
  }
  EXPECT_STREQ(EngineErrorText(0x7777), "Unknown engine error");
  char small[6];
  EXPECT_EQ(EngineGetErrorText(ORB_ERR_EOF, small, sizeof small), ORB_ERR_BUFFER_TOO_SMALL);
  EXPECT_STREQ(small, "At en");
}

}  // namespace
}  // namespace engine_test
