// A build writes exactly the bytes it wrote when these digests were taken
// (the files then walked, sought and checked as the other tests do): how
// the build reads the records, sorts the keys and writes its pages may
// change, the file may not. Tables large enough for trees of three levels
// and a build that writes its pages on the way, in byte order and in the
// driver's, with keys that tie, share long prefixes, are blank or deleted.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "fault.h"
#include "orbex32.h"

using engine_test::DbfBytes;
using engine_test::EngineTest;

namespace {

constexpr uint32_t kRecords = 60000;

// Every 97th record is deleted (below): records 6, 103, ... of 60,000.
constexpr uint32_t kDeleted = (kRecords - 1 - 5) / 97 + 1;

uint32_t HeaderLe32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s.at(at + i));
  return v;
}

// The index file's bytes, the two dates in its header (creation and last
// update: today's) left out, and the deleted records its stamp names
// (bytes 51 and 68-71, checked on their own), as before it named them.
std::string Digest(std::string bytes) {
  EXPECT_EQ(bytes.at(51), 1) << "the stamp names the deleted records";
  EXPECT_EQ(HeaderLe32(bytes, 68), kDeleted);
  for (size_t at : {1, 2, 3, 44, 45, 46, 51, 68, 69, 70, 71})
    if (at < bytes.size()) bytes[at] = 0;
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  char text[40];
  std::snprintf(text, sizeof text, "%zu:%016llx", bytes.size(), static_cast<unsigned long long>(h));
  return text;
}

// NAME C20, COST N12.2, WHEN D8, ITEM C60; every 97th record deleted.
std::string Records(uint8_t driver) {
  static const char* kNames[] = {"Furniture", "furniture", "Electronics", "Kitchen", "Tools",  "",
                                 "\xC9" "tagere",  "etagere",   "Zither",      "zither",  "Tool", "Tools x"};
  DbfBytes dbf;
  dbf.languageDriver = driver;
  dbf.fields = {{"NAME", 'C', 20, 0}, {"COST", 'N', 12, 2}, {"WHEN", 'D', 8, 0}, {"ITEM", 'C', 60, 0}};
  std::mt19937 gen(46);
  auto next = [&gen] { return static_cast<unsigned>(gen()); };
  for (uint32_t i = 0; i < kRecords; ++i) {
    std::string rec = kNames[next() % std::size(kNames)];
    rec.resize(20, ' ');
    char cost[13] = "            ";
    if (next() % 30 != 0) std::snprintf(cost, sizeof cost, "%12.2f", (static_cast<double>(next() % 2000001) - 1000000) / 100);
    rec += cost;
    char when[9] = "        ";
    if (next() % 25 != 0) {
      // One draw a statement: the order of a call's arguments is the compiler's.
      const unsigned year = 1950 + next() % 75;
      const unsigned month = 1 + next() % 12;
      std::snprintf(when, sizeof when, "%04u%02u%02u", year, month, 1 + next() % 28);
    }
    rec += when;
    // Long equal prefixes, differing late or not at all.
    std::string item(50, static_cast<char>('A' + next() % 3));
    item += std::to_string(next() % 500);
    item.resize(60, ' ');
    rec += item;
    if (i % 97 == 5) rec.insert(0, "*");
    dbf.records.push_back(rec);
  }
  return dbf.Build();
}

struct TagCase {
  const char* name;
  const char* expression;
};
const TagCase kTags[] = {
    {"ONE", "Upper(Left(NAME,80))"},
    {"FOUR", "Upper(Left(NAME,20))+STR(COST,12,2)+Upper(Left(ITEM,20))+DTOS(WHEN)"},
    {"LONG", "Upper(ITEM)+NAME"},
    {"COST", "COST"},
    {"WHEN", "WHEN"},
};

class BuildBytesTest : public EngineTest {
 protected:
  // The digests of the index after each tag is added, then after all are
  // rebuilt, in an open of `mode`.
  std::vector<std::string> Build(uint8_t driver, uint16_t mode) {
    Write("BUILD.DBF", Records(driver));
    orb::fault::SkipSyncs(true);  // no byte depends on them
    std::vector<std::string> digests;
    OrbCursor c = Open("BUILD", mode);
    for (const TagCase& t : kTags) {
      OrbIndexDesc d{};
      std::strcpy(d.tagName, t.name);
      std::strcpy(d.expression, t.expression);
      d.options = ORB_IDX_EXPRESSION;
      EXPECT_EQ(EngineAddIndex(db_, c, nullptr, &d), ORB_OK) << t.name;
      digests.push_back(Digest(Read("BUILD.MDX")));
    }
    EXPECT_EQ(EngineRegenIndexes(c), ORB_OK);
    digests.push_back(Digest(Read("BUILD.MDX")));
    EngineCloseCursor(c);
    orb::fault::SkipSyncs(false);
    std::filesystem::remove(Dir() / "BUILD.DBF");
    std::filesystem::remove(Dir() / "BUILD.MDX");
    return digests;
  }
};

TEST_F(BuildBytesTest, BuildsWriteTheirFormerBytes) {
  const struct {
    uint8_t driver;  // 0xEE: byte order; 0x57: SLW32's dBASE order
    std::vector<std::string> digests;
  } cases[] = {
      {0xEE,
       {"1502208:8bd7898f05301bb1", "5872640:d12a1c0799d5c323", "11422720:4c606b8432a211ec",
        "12416000:5ff584c0d4293cef", "13159424:d4f66cfe7a6b5150", "13159424:ff7ff6e79aebe223"}},
      {0x57,
       {"1502208:ddd791d04ea688f0", "5872640:9713c9f46ed05784", "11422720:04fd744fc07411a4",
        "12416000:0f3d0ba70e5f5e9f", "13159424:b985d2668ab50c4c", "13159424:dc6a81d8b86f1a5b"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "driver " << int(c.driver));
    EXPECT_EQ(Build(c.driver, ORB_OPEN_EXCLUSIVE), c.digests);
    EXPECT_EQ(Build(c.driver, ORB_OPEN_SHARED), c.digests);
  }
}

}  // namespace
