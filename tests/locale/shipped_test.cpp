// The locale libraries the build writes beside libSLW32.so ("LOCALE.SLL" and
// "USA.SLL"): every shipped locale opens whole, sorts as its language does,
// and its sort keys order exactly as its compare.
#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "categories.h"
#include "item_names.h"
#include "locale_object.h"
#include "shipped_fixture.h"
#include "slw32.h"

namespace {

const char* const kUsa[] = {"en_US.WIN1252", "en_US.DOS437", "en_US.DOS850", "en_US.Unicode"};
const char* const kOthers[] = {"da_DK", "de_DE", "es_ES", "fi_FI", "fr_FR", "it_IT", "nl_NL", "nb_NO", "pt_PT", "sv_SE"};

using slw_test::Sign;
using Shipped = slw_test::ShippedLocales;

TEST_F(Shipped, EveryLocaleOpensWithItsEightCategoriesAndWeightedCollation) {
  std::vector<std::string> names(std::begin(kUsa), std::end(kUsa));
  for (const char* l : kOthers) {
    names.push_back(std::string(l) + ".WIN1252");
    names.push_back(std::string(l) + ".DOS850");
  }
  names.push_back("ja_JP.WIN932");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    hlocale h = Open(name);
    ASSERT_NE(h, nullptr);
    const int family = slw::FromHandle(h)->family();
    EXPECT_EQ(family, name.ends_with("Unicode") ? 2 : name.ends_with("WIN932") ? 3 : 1);
    SL_COLLATIONSETTINGS s{};
    ASSERT_EQ(SL_CollationInfo(h, 3, &s), 0);
    EXPECT_EQ(s.levels, 3);
    EXPECT_EQ(s.compareFlags, 5);
    EXPECT_EQ(s.mode, 2);
    char month[SL_ITEM_SIZE] = {};
    ASSERT_EQ(SL_GetLocaleItem(h, month, 28), 0);
    EXPECT_NE(month[0], 0);
    char point[SL_ITEM_SIZE] = {};
    ASSERT_EQ(SL_GetLocaleItem(h, point, 128), 0);
    EXPECT_TRUE(point[0] == '.' || point[0] == ',') << point;
    ASSERT_EQ(SL_CloseLocale(&h), 0);
  }
  hlocale de = Open("de_DE.WIN1252");
  char month[SL_ITEM_SIZE] = {};
  ASSERT_EQ(SL_GetLocaleItem(de, month, 30), 0);
  EXPECT_STREQ(month, "M\xE4rz");
  char decimal[SL_ITEM_SIZE] = {};
  ASSERT_EQ(SL_GetLocaleItem(de, decimal, 128), 0);
  EXPECT_STREQ(decimal, ",");
  const slw::CtypeCategory* ctype = slw::CtypeOf(*slw::FromHandle(de));
  ASSERT_NE(ctype, nullptr);
  EXPECT_EQ(ctype->Translate(ctype->upperIndex(), 0xE9), 0xC9);
  ASSERT_EQ(ctype->translationTables()[0].entries.size(), 1u);  // sharp s to SS
  EXPECT_EQ(ctype->translationTables()[0].entries[0].target, u"SS");
  EXPECT_EQ(ctype->translationTables()[0].table.At(0xDF), 0xFFFF);
}

// Sharp s has no one-letter capital: upper-cased and matched ignoring case
// it is "SS", in the narrow and the wide family alike.
TEST_F(Shipped, SharpSUpperCasesToTwoLetters) {
  hlocale de = Open("de_DE.WIN1252"), en = Open("en_US.WIN1252"), wide = Open("en_US.Unicode");
  EXPECT_EQ(SLN_StrMatchi(de, "STRASSE", "stra\xDF" "e"), 0);
  EXPECT_NE(SLN_StrMatchi(de, "STRASE", "stra\xDF" "e"), 0);
  char out[16] = {};
  EXPECT_EQ(SLN_StrUpperEx(de, out, "stra\xDF" "e", 16), 1);
  EXPECT_STREQ(out, "STRASSE");
  EXPECT_EQ(SLN_StrUpperEx(en, out, "\xDF", 4), 1);
  EXPECT_STREQ(out, "SS");
  EXPECT_EQ(SLN_StrUpperEx(en, out, "\xDF", 1), 0);  // no room for two: kept
  EXPECT_STREQ(out, "\xDF");
  EXPECT_EQ(static_cast<uint8_t>(SLN_ToUpper(de, '\xDF')), 0xDF);
  EXPECT_EQ(SLW_StrMatchi(wide, u"STRASSE", u"stra\u00DFe"), 0);
  SL_WCHAR wout[16] = {};
  EXPECT_EQ(SLW_StrUpperEx(wide, wout, u"stra\u00DFe", 16), 1);
  EXPECT_EQ(std::u16string(wout), u"STRASSE");
  EXPECT_EQ(SLW_StrUpperEx(wide, wout, u"\u00DF", 4), 1);
  EXPECT_EQ(std::u16string(wout), u"SS");
  EXPECT_EQ(SLW_StrUpperEx(wide, wout, u"\uFB01x", 8), 1);  // the fi ligature
  EXPECT_EQ(std::u16string(wout), u"FIX");
  EXPECT_EQ(SLW_ToUpper(wide, u'\u00DF'), u'\u00DF');
  // In place the string cannot grow: sharp s stays; the count is kept.
  char inPlace[] = "stra\xDF" "e caf\xE9 \xFF";
  EXPECT_STREQ(SLN_StrUpper(de, inPlace), "STRA\xDF" "E CAF\xC9 \x9F");
  char counted[] = "\xE9t\xE9 abc";
  EXPECT_STREQ(SLN_StrnUpper(de, counted, 5), "\xC9T\xC9 Abc");
  SL_WCHAR wideInPlace[] = u"stra\u00DFe \u00E9\u0101";
  EXPECT_EQ(std::u16string(SLW_StrnUpper(wide, wideInPlace, 7)), u"STRA\u00DFE \u00E9\u0101");
  EXPECT_EQ(std::u16string(SLW_StrLower(wide, wideInPlace)), u"stra\u00DFe \u00E9\u0101");
}

// The date and time formats of the languages, for Thursday 31 December 2026
// at 14:05:00.
TEST_F(Shipped, DatesAndTimesAreWrittenInTheLanguagesFormats) {
  const SL_TIME t{0, 5, 14, 31, 11, 2026, 4, 364, 0, 0};
  struct Case {
    const char* locale;
    const char* format;
    const char* text;
  } cases[] = {
      {"en_US.WIN1252", "%X", "02:05:00 PM"},
      {"en_US.WIN1252", "%x", "Thursday, December 31, 2026"},
      {"en_US.WIN1252", "%c", "Thursday, December 31, 2026 02:05:00 PM"},
      {"en_US.WIN1252", "%s", "12/31/26"},
      {"en_US.WIN1252", "%r", "02:05:00 PM"},
      {"de_DE.WIN1252", "%X", "14:05:00"},
      {"de_DE.WIN1252", "%x", "Donnerstag, 31. Dezember 2026"},
      {"de_DE.WIN1252", "%c", "Donnerstag, 31. Dezember 2026 14:05:00"},
      {"de_DE.WIN1252", "%s", "31.12.26"},
      {"de_DE.DOS850", "%s", "31.12.26"},
      {"en_US.DOS437", "%c", "Thursday, December 31, 2026 02:05:00 PM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " " + c.format);
    hlocale h = Open(c.locale);
    char out[64] = {};
    EXPECT_EQ(SLN_FmtStrTime(h, out, c.format, &t, sizeof out), std::strlen(c.text));
    EXPECT_STREQ(out, c.text);
    ASSERT_EQ(SL_CloseLocale(&h), 0);
  }
  hlocale wide = Open("en_US.Unicode");
  SL_WCHAR out[64] = {};
  EXPECT_EQ(SLW_FmtStrTime(wide, out, u"%c", &t, 64), 39);
  EXPECT_EQ(std::u16string(out), u"Thursday, December 31, 2026 02:05:00 PM");
}

TEST_F(Shipped, TheInternationalCurrencySymbolIsItsThreeLetters) {
  hlocale en = Open("en_US.WIN1252");
  char out[64] = {};
  EXPECT_EQ(_SLN_FmtStrPrint(en, out, "%'I", 1234.5), 12);
  EXPECT_STREQ(out, "USD 1,234.50");
  char symbol[SL_ITEM_SIZE] = {};
  ASSERT_EQ(SL_GetLocaleItem(en, symbol, 148), 0);
  EXPECT_STREQ(symbol, "USD");
}

TEST_F(Shipped, LanguageDriversOpenTheLocalesTheyName) {
  for (const char* driver : {"DBWINUS0", "DB850DA0", "DBWINJP0", "ascii"}) {
    SCOPED_TRACE(driver);
    hlocale h = nullptr;
    ASSERT_EQ(SL_OpenLocaleWithLDName(&h, SL_LC_ALL, driver), 0);
    SL_COLLATIONSETTINGS s{};
    ASSERT_EQ(SL_CollationInfo(h, 2, &s), 0);
    EXPECT_EQ(s.mode, 2);
    if (slw::FromHandle(h)->family() == 1) {
      EXPECT_LT(SLN_StrCollate(h, "apple", "Banana"), 0);
    }
    ASSERT_EQ(SL_CloseLocale(&h), 0);
  }
}

TEST_F(Shipped, LanguagesSortTheirOwnWay) {
  hlocale en = Open("en_US.WIN1252");
  const char* ordered[] = {"apple", "Banana", "cote", "c\xF4te", "Zebra"};
  for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) {
    EXPECT_LT(SLN_StrCollate(en, ordered[i], ordered[i + 1]), 0) << ordered[i] << " / " << ordered[i + 1];
    EXPECT_GT(SLN_StrCollate(en, ordered[i + 1], ordered[i]), 0) << ordered[i + 1] << " / " << ordered[i];
  }
  EXPECT_LT(SLN_StrCollate(en, "\xC5se", "Zebra"), 0);
  hlocale da = Open("da_DK.WIN1252");
  EXPECT_GT(SLN_StrCollate(da, "\xC5se", "Zebra"), 0);
  EXPECT_GT(SLN_StrCollate(da, "\xC6" "ble", "Zebra"), 0);
  // Danish "aa" is the letter after z, also where it begins after a start
  // both texts share ("Ha"); in English it is two letters a.
  EXPECT_GT(SLN_StrCollate(da, "Haar", "Hab"), 0);
  EXPECT_GT(SLN_StrCollate(da, "Haar", "Hz"), 0);
  EXPECT_GT(SLN_StrnCollate(da, "Haar", 3, "Hab", 3), 0);
  EXPECT_LT(SLN_StrnCollate(da, "Haar", 2, "Hab", 3), 0);
  EXPECT_LT(SLN_StrCollate(en, "Haar", "Hab"), 0);
  hlocale es = Open("es_ES.WIN1252");
  EXPECT_GT(SLN_StrCollate(es, "\xF1u", "nz"), 0);  // n with tilde is a letter of its own
  EXPECT_LT(SLN_StrCollate(en, "\xF1u", "nz"), 0);
  hlocale sv = Open("sv_SE.DOS850");
  EXPECT_GT(SLN_StrCollate(sv, "\x94l", "zebra"), 0);  // o with diaeresis after z (code page 850)
  // The wide locale: the same order in 16-bit text.
  hlocale wide = Open("en_US.Unicode");
  EXPECT_LT(SLW_StrCollate(wide, u"cote", u"c\u00F4te"), 0);
  EXPECT_LT(SLW_StrCollate(wide, u"c\u00F4te", u"Zebra"), 0);
  EXPECT_LT(SLW_StrCollate(wide, u"\u03B1", u"\u03B2"), 0);  // Greek alpha before beta
  // Japanese: katakana and hiragana of one sound sort together, before kanji.
  hlocale ja = Open("ja_JP.WIN932");
  EXPECT_LT(SLM_StrCollate(ja, "\x82\xA0", "\x82\xA2"), 0);       // hiragana a before i
  EXPECT_EQ(Sign(SLM_StrCollate(ja, "\x83\x41", "\x82\xA2")), -1);  // katakana a before hiragana i
  EXPECT_LT(SLM_StrCollate(ja, "\x82\xA0", "\x88\x9F"), 0);       // kana before the first kanji
}

TEST_F(Shipped, TenThousandItemNamesSortTheSameByCompareAndByKey) {
  hlocale h = Open("en_US.WIN1252");
  std::vector<std::string> names;
  for (const std::u16string& n : item_names::Generate(10000)) names.push_back(item_names::Latin1(n));
  std::vector<std::string> byCompare = names, byKey = names;
  std::stable_sort(byCompare.begin(), byCompare.end(),
                   [&](const std::string& a, const std::string& b) { return SLN_StrCollate(h, a.c_str(), b.c_str()) < 0; });
  auto key = [&](const std::string& s) {
    char out[256];
    uint16_t n = SLN_StrTransform(h, out, s.c_str(), sizeof out);
    EXPECT_LT(n, sizeof out);
    return std::string(out, n);
  };
  std::vector<std::pair<std::string, std::string>> keyed;
  for (const std::string& n : names) keyed.emplace_back(key(n), n);
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    return std::memcmp(a.first.data(), b.first.data(), std::min(a.first.size(), b.first.size()) + 1) < 0;
  });
  for (std::size_t i = 0; i < keyed.size(); ++i) byKey[i] = keyed[i].second;
  EXPECT_EQ(byCompare, byKey);
}

// Random strings of a locale's defined characters, in its family's units.
struct RandomText {
  const slw::CLocale& locale;
  std::vector<uint16_t> chars;

  explicit RandomText(const slw::CLocale& l) : locale(l) {
    for (uint32_t c = 1; c < l.defined.size() * 8; ++c) {
      if ((l.defined[c / 8] & (1u << (c % 8))) == 0) continue;
      if (l.family() == 3 && c < 256 && (l.leadBytes[c / 8] & (1u << (c % 8))) != 0) continue;
      if (l.family() == 3 && c >= 256 && (l.leadBytes[(c >> 8) / 8] & (1u << ((c >> 8) % 8))) == 0) continue;
      chars.push_back(static_cast<uint16_t>(c));
    }
  }
  std::vector<uint16_t> Make(std::mt19937& random) const {
    std::vector<uint16_t> s(random() % 7);
    for (uint16_t& c : s) c = chars[random() % chars.size()];
    return s;
  }
};

TEST_F(Shipped, KeysOrderAsTheCompareOverRandomPairsInEachFamily) {
  for (const char* name : {"en_US.WIN1252", "da_DK.DOS850", "en_US.Unicode", "ja_JP.WIN932"}) {
    SCOPED_TRACE(name);
    hlocale h = Open(name);
    const slw::CLocale& l = *slw::FromHandle(h);
    RandomText text(l);
    std::mt19937 random(95);
    int mismatches = 0;
    for (int i = 0; i < 100000 && mismatches < 5; ++i) {
      std::vector<uint16_t> a = text.Make(random), b = text.Make(random);
      int compare = 0;
      std::vector<uint16_t> ka, kb;
      if (l.family() == 2) {
        std::u16string wa(a.begin(), a.end()), wb(b.begin(), b.end());
        compare = SLW_StrCollate(h, wa.c_str(), wb.c_str());
        SL_WCHAR out[128];
        ka.assign(out, out + SLW_StrTransform(h, out, wa.c_str(), 128));
        kb.assign(out, out + SLW_StrTransform(h, out, wb.c_str(), 128));
      } else {
        std::string na, nb;
        for (uint16_t c : a) na += c > 255 ? std::string{static_cast<char>(c >> 8), static_cast<char>(c)} : std::string(1, static_cast<char>(c));
        for (uint16_t c : b) nb += c > 255 ? std::string{static_cast<char>(c >> 8), static_cast<char>(c)} : std::string(1, static_cast<char>(c));
        if (l.family() == 1) {
          compare = SLN_StrCollate(h, na.c_str(), nb.c_str());
          char out[128];
          uint16_t n = SLN_StrTransform(h, out, na.c_str(), 128);
          for (uint16_t k = 0; k < n; ++k) ka.push_back(static_cast<uint8_t>(out[k]));
          n = SLN_StrTransform(h, out, nb.c_str(), 128);
          for (uint16_t k = 0; k < n; ++k) kb.push_back(static_cast<uint8_t>(out[k]));
        } else {
          compare = SLM_StrCollate(h, na.c_str(), nb.c_str());
          SL_WCHAR out[128];
          ka.assign(out, out + SLM_StrTransform(h, out, na.c_str(), 128));
          kb.assign(out, out + SLM_StrTransform(h, out, nb.c_str(), 128));
        }
      }
      int byKey = ka < kb ? -1 : ka > kb ? 1 : 0;
      if (byKey != Sign(compare)) {
        ++mismatches;
        ADD_FAILURE() << "pair " << i << ": compare " << compare << ", keys " << byKey;
      }
    }
  }
}

std::string Hex(const std::string& s) { return testing::PrintToString(s); }

// The signs of one compare over every ordered pair of a list of texts.
class Answers {
 public:
  Answers(std::size_t n, const std::function<int(std::size_t, std::size_t)>& compare) : n_(n), sign_(n * n) {
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) sign_[i * n + j] = static_cast<int8_t>(Sign(compare(i, j)));
  }
  int operator()(std::size_t i, std::size_t j) const { return sign_[i * n_ + j]; }

 private:
  std::size_t n_;
  std::vector<int8_t> sign_;
};

// A total order, ties allowed: every text equals itself, every pair answers
// with opposite signs each way round, and (over sampled triples) a text not
// after a second that is not after a third is not after the third, and
// before it when either step is.
void ExpectTotalOrder(const std::vector<std::string>& texts, const Answers& c) {
  const std::size_t n = texts.size();
  int failures = 0;
  auto fail = [&](const std::string& what) {
    if (failures++ < 5) ADD_FAILURE() << what;
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (c(i, i) != 0) fail(Hex(texts[i]) + " against itself: " + std::to_string(c(i, i)));
    for (std::size_t j = i + 1; j < n; ++j)
      if (c(i, j) != -c(j, i))
        fail(Hex(texts[i]) + " against " + Hex(texts[j]) + ": " + std::to_string(c(i, j)) + ", the other way " +
             std::to_string(c(j, i)));
  }
  std::mt19937 random(1995);
  for (int k = 0; k < 2000000; ++k) {
    const std::size_t a = random() % n, b = random() % n, d = random() % n;
    if (c(a, b) > 0 || c(b, d) > 0) continue;
    const int want = c(a, b) < 0 || c(b, d) < 0 ? -1 : 0;
    if (c(a, d) != want)
      fail(Hex(texts[a]) + " <= " + Hex(texts[b]) + " <= " + Hex(texts[d]) + " but the first against the last is " +
           std::to_string(c(a, d)));
  }
}

// A lead byte alone (at a text's end, before a NUL, in a buffer's last
// counted byte) is a character of its own; before any other byte, even one
// the code page pairs with no lead byte (a blank, 0x7F, 0xFD), it makes one
// character with it. Either way the double-byte drivers, like the
// single-byte ones, compare every text as a total order, a counted buffer
// whatever lies past its count, and their sort keys order as their
// compares. Every text of up to three bytes (two for the single-byte
// drivers) of NUL, a blank, a letter, a digit, the first and last lead
// bytes of both ranges, second bytes 0x40 and 0x80 (and the leads 0x9F and
// 0xFC as second bytes), a one-byte katakana; each terminated, counted as
// the library steps through it.
TEST_F(Shipped, DriversCompareAsATotalOrderOverLoneAndPairedLeadBytes) {
  const std::string bytes("\x00 A0\x81\x9F\xE0\xFC\x40\x80\x7F\xFD\xA1", 13);
  const std::string after("\x00" "A\x81\x40", 4);  // what may follow a counted buffer
  struct Driver {
    int16_t ldid;
    bool multi;
  } drivers[] = {{0x03, true}, {0x7B, true}, {0x57, false}, {0x65, false}, {0x02, false}, {0x01, false}};
  for (const Driver& d : drivers) {
    SCOPED_TRACE(testing::Message() << "driver " << d.ldid);
    hlocale h = nullptr;
    ASSERT_EQ(SL_OpenLocaleWithLDID(&h, SL_LC_COLLATE, d.ldid), 0);
    ASSERT_EQ(slw::FromHandle(h)->family() == 3, d.multi);
    // A database host's settings: trailing blanks cut, no pass over
    // undefined characters (which sort keys leave out).
    SL_COLLATIONSETTINGS s{};
    ASSERT_EQ(SL_CollationInfo(h, 2, &s), 0);
    s.compareFlags = 2;
    ASSERT_EQ(SL_CollationInfo(h, 1, &s), 0);
    std::vector<std::string> texts = {""};
    for (std::size_t from = 0, length = 1; length <= (d.multi ? 3u : 2u); ++length) {
      const std::size_t to = texts.size();
      for (std::size_t i = from; i < to; ++i)
        for (char b : bytes) texts.push_back(texts[i] + b);
      from = to;
    }
    const std::size_t n = texts.size();
    std::vector<uint16_t> count(n);
    std::vector<std::vector<uint16_t>> key(n);
    std::vector<std::string> buffer(n);  // the text, then a byte past its count
    for (std::size_t i = 0; i < n; ++i) {
      const std::string& t = texts[i];
      if (!d.multi) count[i] = static_cast<uint16_t>(t.size());
      for (const char* p = t.c_str(); d.multi && p < t.c_str() + t.size(); ++count[i]) p = SL_NextChar(h, p);
      if (d.multi) {
        SL_WCHAR out[64];
        const uint16_t got = SLM_StrnTransform(h, out, t.c_str(), count[i], 64);
        ASSERT_LT(got, 64);
        key[i].assign(out, out + got);
      } else {
        char out[64];
        const uint16_t got = SLN_StrnTransform(h, out, t.c_str(), count[i], 64);
        ASSERT_LT(got, 64);
        for (uint16_t k = 0; k < got; ++k) key[i].push_back(static_cast<uint8_t>(out[k]));
      }
      buffer[i] = t + after[i % after.size()];
    }
    const Answers dbase(n, [&](std::size_t i, std::size_t j) {
      const char* a = texts[i].c_str();
      const char* b = texts[j].c_str();
      return d.multi ? SLM_StrDbaseCompare(h, a, count[i], b, count[j], 1)
                     : SLN_StrDbaseCompare(h, a, count[i], b, count[j], 1);
    });
    const Answers collate(n, [&](std::size_t i, std::size_t j) {
      const char* a = texts[i].c_str();
      const char* b = texts[j].c_str();
      return d.multi ? SLM_StrnCollate(h, a, count[i], b, count[j]) : SLN_StrnCollate(h, a, count[i], b, count[j]);
    });
    const Answers buffers(n, [&](std::size_t i, std::size_t j) {
      const auto na = static_cast<uint16_t>(texts[i].size()), nb = static_cast<uint16_t>(texts[j].size());
      return d.multi ? SLM_BufferCollate(h, buffer[i].data(), na, buffer[j].data(), nb)
                     : SLN_BufferCollate(h, buffer[i].data(), na, buffer[j].data(), nb);
    });
    for (const auto& [what, answers] : {std::pair{"dBASE exact compare", &dbase}, {"bounded collate", &collate},
                                        {"buffer collate", &buffers}}) {
      SCOPED_TRACE(what);
      ExpectTotalOrder(texts, *answers);
    }
    // The keys order as the collates, and as the dBASE compare but for an
    // empty count, which comes before every other there.
    int failures = 0;
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) {
        const int byKey = key[i] < key[j] ? -1 : key[i] > key[j] ? 1 : 0;
        const int byDbase = count[i] == 0 || count[j] == 0 ? byKey : dbase(i, j);
        if ((byKey != collate(i, j) || byKey != buffers(i, j) || byKey != byDbase) && failures++ < 5)
          ADD_FAILURE() << Hex(texts[i]) << " against " << Hex(texts[j]) << ": keys " << byKey << ", collate "
                        << collate(i, j) << ", buffers " << buffers(i, j) << ", dBASE " << dbase(i, j);
      }
    ASSERT_EQ(SL_CloseLocale(&h), 0);
  }
}

}  // namespace
