// Character keys, seeks, ranges and filters follow the table's language
// driver through SLW32 (the shipped locale files registered in the test's
// root), and an index built in another order is rebuilt or refused.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine_fixture.h"
#include "key_order.h"
#include "orbex32.h"

using engine_test::EngineTest;
using engine_test::Field;

namespace {

// Windows-1252: "\xE9" is e acute, "\xC9" E acute.
const char* const kScrambled[] = {"fig", "Zebra", "\xE9" "clair", "apple", "Date", "cherry", "Banana"};
const std::vector<std::string> kDriverOrder = {"apple", "Banana", "cherry", "Date", "\xE9" "clair", "fig", "Zebra"};

// Every text of up to `longest` bytes drawn from `alphabet`, shortest first.
std::vector<std::string> AllTexts(const std::string& alphabet, size_t longest) {
  std::vector<std::string> texts = {""};
  for (size_t n = 1, from = 0; n <= longest; ++n) {
    const size_t to = texts.size();
    for (size_t i = from; i < to; ++i)
      for (char c : alphabet) texts.push_back(texts[i] + c);
    from = to;
  }
  return texts;
}

class DriverOrderTest : public EngineTest {
 protected:
  // A table ITEM C20 in driver `ldid`, the first `before` words added
  // before the tags ITEM and UP (Upper(ITEM)) are made, the rest after.
  OrbCursor MakeWords(uint8_t ldid, size_t before = 4) {
    OrbFieldDesc f = Field("ITEM", 'C', 20);
    EXPECT_EQ(EngineCreateTable(db_, "WORDS", 1, &f, ldid), ORB_OK);
    OrbCursor c = Open("WORDS", ORB_OPEN_EXCLUSIVE);
    for (size_t i = 0; i < before; ++i) Add(c, kScrambled[i]);
    EXPECT_EQ(AddTag(c, "ITEM", "ITEM"), ORB_OK);
    EXPECT_EQ(AddTag(c, "UP", "Upper(ITEM)"), ORB_OK);
    for (size_t i = before; i < std::size(kScrambled); ++i) Add(c, kScrambled[i]);
    return c;
  }
  void Add(OrbCursor c, const char* word) {
    std::vector<uint8_t> rec = Buffer(c);
    ASSERT_EQ(EngineInitRecord(c, rec.data(), rec.size()), ORB_OK);
    ASSERT_EQ(EnginePutField(c, 1, rec.data(), word), ORB_OK);
    ASSERT_EQ(EngineInsertRecord(c, rec.data(), rec.size()), ORB_OK);
  }
  OrbResult AddTag(OrbCursor c, const char* name, const char* expr) {
    OrbIndexDesc d{};
    std::strcpy(d.tagName, name);
    std::strcpy(d.expression, expr);
    d.options = ORB_IDX_EXPRESSION;
    return EngineAddIndex(db_, c, nullptr, &d);
  }
  std::vector<std::string> Words(OrbCursor c) {
    std::vector<std::string> out;
    std::vector<uint8_t> rec = Buffer(c);
    while (EngineGetNextRecord(c, rec.data(), rec.size(), nullptr) == ORB_OK) out.push_back(Text(c, 1, rec.data()));
    return out;
  }
  std::vector<std::string> Walk(OrbCursor c, const char* tag) {
    EXPECT_EQ(EngineSwitchToIndex(c, tag), ORB_OK);
    EXPECT_EQ(EngineSetToBegin(c), ORB_OK);
    return Words(c);
  }
  // The record a search stands on.
  std::string Current(OrbCursor c) {
    std::vector<uint8_t> rec = Buffer(c);
    if (EngineGetRecord(c, rec.data(), rec.size(), nullptr) != ORB_OK) return "(none)";
    return Text(c, 1, rec.data());
  }
  uint16_t KeyOrder(OrbCursor c) {
    OrbTableInfo info{};
    EXPECT_EQ(EngineGetTableInfo(c, &info), ORB_OK);
    return info.keyOrder;
  }
  void CloseAll() {
    for (OrbCursor c : open_) EngineCloseCursor(c);
    open_.clear();
  }
  void SetDriverByte(uint8_t ldid) {
    std::string dbf = Read("WORDS.DBF");
    dbf[29] = static_cast<char>(ldid);
    Write("WORDS.DBF", dbf);
  }
  // The filter ITEM < text, as the data layer's compiler writes it.
  static std::vector<uint8_t> LessThan(const std::string& text) {
    const std::string pool = std::string("ITEM", 5) + text + '\0';
    const uint16_t total = static_cast<uint16_t>(10 + 3 * 14 + pool.size());
    std::vector<uint8_t> b(total, 0);
    auto put16 = [&](size_t at, uint16_t v) {
      b[at] = static_cast<uint8_t>(v);
      b[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    const uint16_t header[5] = {1, total, 3, 10, 10 + 3 * 14};
    for (int i = 0; i < 5; ++i) put16(2 * i, header[i]);
    const uint16_t nodes[3][5] = {{2, 6, 14, 28, 0},                                   // <
                                  {4, 13, 0, 0, 0},                                    // ITEM
                                  {5, 14, 1, static_cast<uint16_t>(text.size() + 1), 5}};  // text
    for (int n = 0; n < 3; ++n) {
      const size_t at = 10 + 14 * n;
      put16(at, nodes[n][0]);
      put16(at + 4, nodes[n][1]);
      put16(at + 8, nodes[n][2]);
      put16(at + 10, nodes[n][3]);
      put16(at + 12, nodes[n][4]);
    }
    std::memcpy(b.data() + 10 + 3 * 14, pool.data(), pool.size());
    return b;
  }
};

TEST_F(DriverOrderTest, TagsSeeksRangesAndFiltersFollowTheDriversOrder) {
  OrbCursor c = MakeWords(0x57);
  EXPECT_EQ(KeyOrder(c), 1);
  // Keys built at once and keys added one by one take the same places.
  EXPECT_EQ(Walk(c, "ITEM"), kDriverOrder);
  EXPECT_EQ(Walk(c, "UP"), kDriverOrder);

  struct Seek {
    uint16_t mode;
    const char* text;
    uint16_t partial;
    OrbResult result;
    const char* lands;
  } seeks[] = {
      {ORB_KEY_GE, "ECLAIR", 0, ORB_OK, "\xE9" "clair"},
      {ORB_KEY_EQ, "DA", 2, ORB_OK, "Date"},
      {ORB_KEY_EQ, "DATE", 0, ORB_OK, "Date"},
      {ORB_KEY_EQ, "DA", 0, ORB_ERR_NOT_FOUND, "Date"},  // a whole key is compared exactly
      {ORB_KEY_GT, "D", 1, ORB_OK, "\xE9" "clair"},
      {ORB_KEY_GE, "\xC9" "CLAIR", 0, ORB_OK, "\xE9" "clair"},
      {ORB_KEY_GE, "ZZ", 2, ORB_ERR_EOF, nullptr},
  };
  for (const Seek& s : seeks) {
    SCOPED_TRACE(s.text);
    EXPECT_EQ(EngineSetToKeyText(c, s.mode, s.text, s.partial), s.result);
    if (s.lands) {
      EXPECT_EQ(Current(c), s.lands);
    }
  }

  // D to F, partial length 1, both ends included; then excluded.
  std::vector<uint8_t> low = Buffer(c), high = Buffer(c);
  ASSERT_EQ(EngineInitRecord(c, low.data(), low.size()), ORB_OK);
  ASSERT_EQ(EngineInitRecord(c, high.data(), high.size()), ORB_OK);
  ASSERT_EQ(EnginePutField(c, 1, low.data(), "d"), ORB_OK);
  ASSERT_EQ(EnginePutField(c, 1, high.data(), "f"), ORB_OK);
  ASSERT_EQ(EngineSetRange(c, 1, low.data(), 1, 1, high.data(), 1), ORB_OK);
  ASSERT_EQ(EngineSetToBegin(c), ORB_OK);
  EXPECT_EQ(Words(c), (std::vector<std::string>{"Date", "\xE9" "clair", "fig"}));
  ASSERT_EQ(EngineSetToEnd(c), ORB_OK);
  std::vector<uint8_t> rec = Buffer(c);
  ASSERT_EQ(EngineGetPriorRecord(c, rec.data(), rec.size(), nullptr), ORB_OK);
  EXPECT_EQ(Text(c, 1, rec.data()), "fig");  // the last key of the range, found from its end
  ASSERT_EQ(EngineSetRange(c, 1, low.data(), 0, 1, high.data(), 0), ORB_OK);
  ASSERT_EQ(EngineSetToBegin(c), ORB_OK);
  EXPECT_EQ(Words(c), (std::vector<std::string>{"\xE9" "clair"}));
  ASSERT_EQ(EngineResetRange(c), ORB_OK);

  // Filters compare exactly in the driver's order.
  ASSERT_EQ(EngineSwitchToIndex(c, ""), ORB_OK);
  const std::vector<uint8_t> filter = LessThan("b");
  OrbFilter f = 0;
  ASSERT_EQ(EngineAddFilter(c, nullptr, 1, 0, filter.data(), nullptr, &f), ORB_OK);
  ASSERT_EQ(EngineActivateFilter(c, f), ORB_OK);
  ASSERT_EQ(EngineSetToBegin(c), ORB_OK);
  EXPECT_EQ(Words(c), (std::vector<std::string>{"apple"}));
  ASSERT_EQ(EngineDropFilter(c, f), ORB_OK);
  const std::vector<uint8_t> beforeFig = LessThan("fig");
  ASSERT_EQ(EngineAddFilter(c, nullptr, 1, 0, beforeFig.data(), nullptr, &f), ORB_OK);
  ASSERT_EQ(EngineActivateFilter(c, f), ORB_OK);
  ASSERT_EQ(EngineSwitchToIndex(c, "ITEM"), ORB_OK);
  ASSERT_EQ(EngineSetToBegin(c), ORB_OK);
  EXPECT_EQ(Words(c), (std::vector<std::string>{"apple", "Banana", "cherry", "Date", "\xE9" "clair"}));
}

TEST_F(DriverOrderTest, EditsKeepTheOrderAndTheCheckPasses) {
  OrbCursor c = MakeWords(0x57, 7);
  ASSERT_EQ(EngineSwitchToIndex(c, "ITEM"), ORB_OK);
  ASSERT_EQ(EngineSetToKeyText(c, ORB_KEY_EQ, "Zebra", 0), ORB_OK);
  std::vector<uint8_t> rec = Buffer(c);
  ASSERT_EQ(EngineGetRecord(c, rec.data(), rec.size(), nullptr), ORB_OK);
  ASSERT_EQ(EnginePutField(c, 1, rec.data(), "eclair"), ORB_OK);
  ASSERT_EQ(EngineModifyRecord(c, rec.data(), rec.size()), ORB_OK);
  EXPECT_EQ(Walk(c, "ITEM"),
            (std::vector<std::string>{"apple", "Banana", "cherry", "Date", "eclair", "\xE9" "clair", "fig"}));
  // A rebuild gives the same order the changes kept.
  ASSERT_EQ(EngineRegenIndexes(c), ORB_OK);
  EXPECT_EQ(Walk(c, "ITEM"),
            (std::vector<std::string>{"apple", "Banana", "cherry", "Date", "eclair", "\xE9" "clair", "fig"}));
}

TEST_F(DriverOrderTest, AnExactSearchForAKeyWhoseRecordsAreAllDeletedFindsNothing) {
  OrbCursor c = MakeWords(0x57, 7);
  Add(c, "Date");
  Add(c, "fig");
  ASSERT_EQ(EngineSwitchToIndex(c, "UP"), ORB_OK);
  // Deletes every record of the word (the cursor stands on the first after each delete).
  auto deleteAll = [&](const char* key) {
    while (EngineSetToKeyText(c, ORB_KEY_EQ, key, 0) == ORB_OK) ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);
  };
  deleteAll("DATE");
  deleteAll("ZEBRA");
  ASSERT_EQ(EngineSetToKeyText(c, ORB_KEY_EQ, "FIG", 0), ORB_OK);
  ASSERT_EQ(EngineDeleteRecord(c), ORB_OK);  // one "fig" of two

  struct Case {
    const char* key;
    uint16_t partial;
    OrbResult result;
    const char* stands;  // as after a search for a key that is not there
  } cases[] = {
      {"DATE", 0, ORB_ERR_NOT_FOUND, "\xE9" "clair"},
      {"DA", 2, ORB_ERR_NOT_FOUND, "\xE9" "clair"},
      {"DATEX", 0, ORB_ERR_NOT_FOUND, "\xE9" "clair"},  // never there
      {"ZEBRA", 0, ORB_ERR_NOT_FOUND, "(none)"},          // the last key: past the end
      {"FIG", 0, ORB_OK, "fig"},                           // one record of the key is left
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.key);
    EXPECT_EQ(EngineSetToKeyText(c, ORB_KEY_EQ, k.key, k.partial), k.result);
    EXPECT_EQ(Current(c), k.stands);
  }
  // Greater-or-equal still lands on the next live key.
  EXPECT_EQ(EngineSetToKeyText(c, ORB_KEY_GE, "DATE", 0), ORB_OK);
  EXPECT_EQ(Current(c), "\xE9" "clair");
}

TEST_F(DriverOrderTest, LocaleHandlesOfAThreadAreClosedWhenTheThreadEnds) {
  auto order = orb::KeyOrder::ForDriver(0x57);
  ASSERT_TRUE(order->collates());
  const std::string a = "apple", b = "Banana";
  auto compare = [&] {
    return order->Compare(reinterpret_cast<const uint8_t*>(a.data()), a.size(),
                          reinterpret_cast<const uint8_t*>(b.data()), b.size(), false);  // asks SLW32
  };
  ASSERT_LT(compare(), 0);
  const int before = orb::KeyOrder::OpenThreadHandles();
  for (int i = 0; i < 50; ++i) {
    int answer = 0, open = 0;
    std::thread([&] {
      answer = compare();
      open = orb::KeyOrder::OpenThreadHandles();
    }).join();
    EXPECT_LT(answer, 0);
    EXPECT_EQ(open, before + 1);
    ASSERT_EQ(orb::KeyOrder::OpenThreadHandles(), before) << "after thread " << i;
  }
}

// Exact compares answered from SLW32's weights give SLW32's own answers:
// every pair of texts of up to three characters from letters, accents,
// blanks and signs, and texts as wide as keys that differ late.
TEST_F(DriverOrderTest, ExactComparesFromTheWeightsAnswerAsSlw32) {
  auto order = orb::KeyOrder::ForDriver(0x57);
  ASSERT_TRUE(order->collates());
  ASSERT_TRUE(order->HasWeights());
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  // The compare and the order of the sort keys both give SLW32's answer
  // (an empty text, which no key is, sorts before any other only in the
  // compare).
  auto same = [&](const std::string& a, const std::string& b) {
    const auto* pa = reinterpret_cast<const uint8_t*>(a.data());
    const auto* pb = reinterpret_cast<const uint8_t*>(b.data());
    const int theirs = sign(order->LibraryCompare(pa, a.size(), pb, b.size(), true));
    std::string ka, kb;
    if (!order->SortKey(pa, a.size(), ka) || !order->SortKey(pb, b.size(), kb)) return false;
    return sign(order->Compare(pa, a.size(), pb, b.size(), true)) == theirs &&
           (a.empty() || b.empty() || sign(ka.compare(kb)) == theirs);
  };
  const std::string alphabet = std::string(" aAeE\xE9\xC9\xEA\xDF\xE6-'0\0", 14);  // a NUL ends a text
  const std::vector<std::string> texts = AllTexts(alphabet, 3);
  int differ = 0;
  for (const std::string& a : texts)
    for (const std::string& b : texts)
      if (!same(a, b) && ++differ < 10) ADD_FAILURE() << "\"" << a << "\" against \"" << b << "\"";
  EXPECT_EQ(differ, 0);
  // Whole keys: a category padded with blanks, then a number; control
  // characters, high bytes and a NUL inside.
  for (int i = 0; i < 256; ++i) {
    std::string a = std::string("FURNITURE") + std::string(31, ' ') + "    123.45";
    std::string b = a;
    b[40 + i % 10] = static_cast<char>(i);
    EXPECT_TRUE(same(a, b)) << i;
    b[5] = static_cast<char>(i);
    EXPECT_TRUE(same(a, b)) << i;
  }
}

// A tag built over a few thousand records walks them as a sort by SLW32's
// own compare does (records of equal keys in record order), and every
// record is found by an exact search for its key.
TEST_F(DriverOrderTest, ABuiltTagWalksAsSlw32sCompareSortsItsKeys) {
  OrbFieldDesc f = Field("ITEM", 'C', 12);
  ASSERT_EQ(EngineCreateTable(db_, "MANY", 1, &f, 0x57), ORB_OK);
  OrbCursor c = Open("MANY", ORB_OPEN_EXCLUSIVE);
  const std::string alphabet = std::string("aAeE\xE9\xC9\xE8zZ \xDF\xE6-'09", 16);
  std::mt19937 gen(37);
  std::vector<std::string> words;
  for (int i = 0; i < 3000; ++i) {
    std::string w(1 + gen() % 6, ' ');
    for (char& ch : w) ch = alphabet[gen() % alphabet.size()];
    if (i % 7 == 0 && !words.empty()) w = words[gen() % words.size()];  // equal keys
    words.push_back(w);
    Add(c, w.c_str());
  }
  ASSERT_EQ(AddTag(c, "ITEM", "ITEM"), ORB_OK);
  // Field values as stored: blank-padded to the width.
  auto order = orb::KeyOrder::ForDriver(0x57);
  std::vector<uint32_t> expected(words.size());
  for (uint32_t i = 0; i < expected.size(); ++i) expected[i] = i + 1;
  auto padded = [&](uint32_t r) {
    std::string w = words[r - 1];
    w.resize(12, ' ');
    return w;
  };
  std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
    const std::string x = padded(a), y = padded(b);
    return order->LibraryCompare(reinterpret_cast<const uint8_t*>(x.data()), x.size(),
                                 reinterpret_cast<const uint8_t*>(y.data()), y.size(), true) < 0;
  });
  ASSERT_EQ(EngineSwitchToIndex(c, "ITEM"), ORB_OK);
  ASSERT_EQ(EngineSetToBegin(c), ORB_OK);
  std::vector<uint32_t> walked;
  OrbRecordInfo info{};
  while (EngineGetNextRecord(c, nullptr, 0, &info) == ORB_OK) walked.push_back(info.recordNumber);
  EXPECT_EQ(walked, expected);
  for (uint32_t r = 1; r <= words.size(); r += 37) {
    ASSERT_EQ(EngineSetToKeyText(c, ORB_KEY_EQ, padded(r).c_str(), 0), ORB_OK) << r;
    EXPECT_EQ(Current(c), words[r - 1].substr(0, words[r - 1].find_last_not_of(' ') + 1)) << r;
  }
}

TEST_F(DriverOrderTest, ADoubleByteDriverComparesWholeCharacters) {
  // 0x7B, Japanese (code page 932): 0x82 0xA0 is one character.
  OrbFieldDesc f = Field("ITEM", 'C', 20);
  ASSERT_EQ(EngineCreateTable(db_, "WORDS", 1, &f, 0x7B), ORB_OK);
  OrbCursor c = Open("WORDS", ORB_OPEN_EXCLUSIVE);
  EXPECT_EQ(KeyOrder(c), 1);
  const std::vector<std::string> words = {"\x82\xA0\x82\xA2", "b", "\x82\xA0", "A", "a b"};
  for (const std::string& w : words) Add(c, w.c_str());
  ASSERT_EQ(AddTag(c, "ITEM", "ITEM"), ORB_OK);
  Add(c, "\x82\xA2");
  std::vector<std::string> walk = Walk(c, "ITEM");
  EXPECT_EQ(walk.size(), words.size() + 1);
  // Every word is found where the walk has it, and the rebuilt index agrees.
  for (const std::string& w : walk) {
    EXPECT_EQ(EngineSetToKeyText(c, ORB_KEY_EQ, w.c_str(), 0), ORB_OK) << w;
    EXPECT_EQ(Current(c), w);
  }
  ASSERT_EQ(EngineRegenIndexes(c), ORB_OK);
  EXPECT_EQ(Walk(c, "ITEM"), walk);
}

// A double-byte driver's order of a text is its own, whatever lies after
// it in memory: a lead byte at a text's end is a character of its own, as
// in its sort key, never the first of two with a byte past the text, and
// no byte past a text is read (each lies in a block of its own size, which
// the sanitizer build guards). Over every text of up to three bytes of
// NUL, blank, a letter, lead bytes, valid and invalid second bytes and a
// one-byte katakana: the compare answers alike wherever the texts lie,
// each way round with the opposite sign, and as the sort keys of the texts
// up to their first NUL order (so it is transitive).
TEST_F(DriverOrderTest, ATextEndingInALeadByteOrdersAloneWhateverFollowsIt) {
  const std::string bytes("\x00 A\x81\xFC\x40\x7F\xA1", 8);
  const std::vector<std::string> texts = AllTexts(bytes, 3);
  const std::string after("\x00" "A\x81\x40\xA1", 5);  // what may follow a text in a page or a record
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (uint8_t ldid : {0x03, 0x7B}) {
    SCOPED_TRACE(testing::Message() << "driver " << int(ldid));
    auto order = orb::KeyOrder::ForDriver(ldid);
    ASSERT_TRUE(order->collates());
    std::vector<std::vector<uint8_t>> alone, followed;
    std::vector<std::string> keys(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
      const auto* p = reinterpret_cast<const uint8_t*>(texts[i].data());
      alone.emplace_back(p, p + texts[i].size());
      followed.emplace_back(p, p + texts[i].size());
      followed.back().push_back(static_cast<uint8_t>(after[i % after.size()]));
      ASSERT_TRUE(order->SortKey(p, std::min(texts[i].find('\0'), texts[i].size()), keys[i]));
    }
    auto compare = [&](const std::vector<uint8_t>& a, size_t na, const std::vector<uint8_t>& b, size_t nb) {
      return sign(order->Compare(a.data(), na, b.data(), nb, true));
    };
    int failures = 0;
    for (size_t i = 0; i < texts.size() && failures < 10; ++i)
      for (size_t j = 0; j < texts.size() && failures < 10; ++j) {
        const size_t ni = texts[i].size(), nj = texts[j].size();
        const int r = compare(alone[i], ni, alone[j], nj);
        const bool byKey = ni > 0 && nj > 0;  // an empty text, which no key is, sorts first
        const bool ok = compare(followed[i], ni, followed[j], nj) == r && compare(alone[j], nj, alone[i], ni) == -r &&
                        (i != j || r == 0) && (!byKey || sign(keys[i].compare(keys[j])) == r);
        if (!ok && ++failures)
          ADD_FAILURE() << testing::PrintToString(texts[i]) << " against " << testing::PrintToString(texts[j]) << ": " << r
                        << ", followed by bytes " << compare(followed[i], ni, followed[j], nj) << ", the other way "
                        << compare(alone[j], nj, alone[i], ni);
      }
  }
}

TEST_F(DriverOrderTest, AnUnknownDriverSortsInByteOrderAndSaysWhy) {
  OrbCursor c = MakeWords(0xEE);
  EXPECT_EQ(KeyOrder(c), 2);
  char context[256] = {};
  ASSERT_EQ(EngineGetErrorContext(context, sizeof context), ORB_OK);
  EXPECT_NE(std::string(context).find("0xEE"), std::string::npos) << context;
  EXPECT_EQ(Walk(c, "ITEM"),
            (std::vector<std::string>{"Banana", "Date", "Zebra", "apple", "cherry", "fig", "\xE9" "clair"}));
  EXPECT_EQ(Read("WORDS.MDX").substr(60, 8), std::string(8, '\0'));  // byte order: no order stamp
}

TEST_F(DriverOrderTest, AnIndexBuiltInByteOrderIsRebuiltOnceAtAWritableOpenAndRefusedReadOnly) {
  MakeWords(0xEE);
  CloseAll();
  SetDriverByte(0x57);
  const std::string byteOrder = Read("WORDS.MDX");

  // Read-only: the character tags are stale, the natural order works, and
  // nothing is written.
  OrbCursor ro = Open("WORDS", ORB_OPEN_READ_ONLY);
  EXPECT_EQ(EngineSwitchToIndex(ro, "UP"), ORB_ERR_INDEX_STALE);
  EXPECT_STREQ(EngineErrorText(ORB_ERR_INDEX_STALE), "Index must be rebuilt");
  EXPECT_EQ(EngineSetToKeyText(ro, ORB_KEY_EQ, "DATE", 0), ORB_ERR_NO_SUCH_INDEX);
  ASSERT_EQ(EngineSetToBegin(ro), ORB_OK);
  EXPECT_EQ(Words(ro).size(), std::size(kScrambled));
  CloseAll();
  EXPECT_EQ(Read("WORDS.MDX"), byteOrder);

  // The first writable open rebuilds and stamps the index.
  OrbCursor c = Open("WORDS", ORB_OPEN_SHARED);
  EXPECT_EQ(Walk(c, "UP"), kDriverOrder);
  const std::string rebuilt = Read("WORDS.MDX");
  EXPECT_EQ(rebuilt.substr(60, 2), std::string("O\x57", 2));
  CloseAll();
  // A second open finds it in order: the file stays as it was.
  c = Open("WORDS", ORB_OPEN_SHARED);
  EXPECT_EQ(Walk(c, "ITEM"), kDriverOrder);
  CloseAll();
  EXPECT_EQ(Read("WORDS.MDX"), rebuilt);

  // And a driver-order index read under another driver is stale again.
  SetDriverByte(0xEE);
  ro = Open("WORDS", ORB_OPEN_READ_ONLY);
  EXPECT_EQ(EngineSwitchToIndex(ro, "ITEM"), ORB_ERR_INDEX_STALE);
}

// Without SLW32 beside the engine or in the program folder: byte order, and
// nothing refused. The test program is copied alone into a folder of its own
// and run there; that copy runs this test, which does the work below
// and answers through its exit status.
int AloneChild() {
  const char* data = std::getenv("STASHWELL_ORDER_ALONE");
  testing_support::TempRoot root;
  OrbDatabase db = 0;
  OrbCursor c = 0;
  OrbFieldDesc f = Field("ITEM", 'C', 20);
  if (EngineOpenDatabase(data, &db) != ORB_OK || EngineCreateTable(db, "WORDS", 1, &f, 0x57) != ORB_OK ||
      EngineOpenTable(db, "WORDS", ORB_OPEN_EXCLUSIVE, &c) != ORB_OK)
    return 10;
  char context[256] = {};
  EngineGetErrorContext(context, sizeof context);
  if (std::string(context).find("0x57") == std::string::npos) return 11;
  OrbTableInfo info{};
  if (EngineGetTableInfo(c, &info) != ORB_OK || info.keyOrder != 3) return 12;
  std::vector<uint8_t> rec(info.recordSize);
  for (const char* word : kScrambled) {
    if (EngineInitRecord(c, rec.data(), rec.size()) != ORB_OK || EnginePutField(c, 1, rec.data(), word) != ORB_OK ||
        EngineInsertRecord(c, rec.data(), rec.size()) != ORB_OK)
      return 13;
  }
  OrbIndexDesc d{};
  std::strcpy(d.tagName, "ITEM");
  std::strcpy(d.expression, "ITEM");
  if (EngineAddIndex(db, c, nullptr, &d) != ORB_OK || EngineSwitchToIndex(c, "ITEM") != ORB_OK ||
      EngineSetToBegin(c) != ORB_OK)
    return 14;
  std::string walk;
  while (EngineGetNextRecord(c, rec.data(), rec.size(), nullptr) == ORB_OK) walk += static_cast<char>(rec[1]);
  return walk == "BDZacf\xE9" ? 0 : 15;
}

TEST_F(DriverOrderTest, WithoutSlw32TextsSortInByteOrder) {
  if (std::getenv("STASHWELL_ORDER_ALONE") != nullptr) std::_Exit(AloneChild());
  char exe[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  const std::filesystem::path alone = root_.path() / "ALONE";
  std::filesystem::create_directories(alone / "DATA");
  std::filesystem::copy_file(exe, alone / "order_alone");
  pid_t pid = fork();
  if (pid == 0) {
    setenv("STASHWELL_ORDER_ALONE", (alone / "DATA").c_str(), 1);
    execl((alone / "order_alone").c_str(), "order_alone", "--gtest_filter=DriverOrderTest.WithoutSlw32*",
          static_cast<char*>(nullptr));
    _exit(99);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
