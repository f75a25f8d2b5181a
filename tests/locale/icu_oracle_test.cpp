// The shipped locales against ICU, the library their data comes from: over
// generated words (accents at one and two places, three cases, the letters
// that sort apart in some languages, hyphens, digits) every pair compares,
// and its sort keys order, as the locale's ICU collator at strength tertiary
// orders it; and the case maps of every code of each code page are ICU's
// simple ones.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "shipped_fixture.h"
#include "slw32.h"

namespace {

const char* const kLanguages[] = {"en_US", "da_DK", "de_DE", "es_ES", "fi_FI", "fr_FR",
                                  "it_IT", "nl_NL", "nb_NO", "pt_PT", "sv_SE"};

using slw_test::Sign;

std::string Utf8(const std::u16string& s) {
  char b[256];
  int32_t n = 0;
  UErrorCode e = U_ZERO_ERROR;
  u_strToUTF8(b, sizeof b, &n, reinterpret_cast<const UChar*>(s.data()), static_cast<int32_t>(s.size()), &e);
  return U_SUCCESS(e) ? std::string(b, static_cast<std::size_t>(n)) : "?";
}

std::u16string Upper(std::u16string s, std::size_t from) {
  for (std::size_t i = from; i < s.size(); ++i) s[i] = static_cast<char16_t>(u_toupper(s[i]));
  return s;
}

// A few thousand words: base words with an accent at one place or at two,
// the ligatures and letters æ, œ, ß, å, ø, ñ, ç in place of their plain
// spellings, each in lower case, capitalised and in capitals; some with a
// hyphen inside or digits before or after.
std::vector<std::u16string> Words() {
  const std::u16string bases[] = {u"cote",  u"peche", u"resume", u"aerobe", u"oeuvre", u"strasse", u"aarhus",
                                  u"soren", u"nino",  u"facon",  u"elan",   u"item",   u"tuyau"};
  auto forms = [](char16_t c) -> std::u16string {
    switch (c) {
      case u'a': return u"\u00E1\u00E0\u00E2\u00E4\u00E3\u00E5";
      case u'e': return u"\u00E9\u00E8\u00EA\u00EB";
      case u'i': return u"\u00ED\u00EC\u00EE\u00EF";
      case u'o': return u"\u00F3\u00F2\u00F4\u00F6\u00F5\u00F8";
      case u'u': return u"\u00FA\u00F9\u00FB\u00FC";
      case u'y': return u"\u00FD\u00FF";
      case u'n': return u"\u00F1";
      case u'c': return u"\u00E7";
      default: return u"";
    }
  };
  std::vector<std::u16string> lower;
  for (const std::u16string& base : bases) {
    lower.push_back(base);
    std::vector<std::size_t> places;
    for (std::size_t i = 0; i < base.size(); ++i)
      if (!forms(base[i]).empty()) places.push_back(i);
    for (std::size_t p : places)
      for (char16_t f : forms(base[p])) {
        std::u16string w = base;
        w[p] = f;
        lower.push_back(w);
      }
    for (std::size_t i = 0; i < places.size(); ++i)
      for (std::size_t j = i + 1; j < places.size(); ++j) {
        const std::u16string fi = forms(base[places[i]]).substr(0, 3), fj = forms(base[places[j]]).substr(0, 3);
        for (char16_t a : fi)
          for (char16_t b : fj) {
            std::u16string w = base;
            w[places[i]] = a;
            w[places[j]] = b;
            lower.push_back(w);
          }
      }
    const std::pair<std::u16string, std::u16string> letters[] = {
        {u"ae", u"\u00E6"}, {u"oe", u"\u0153"}, {u"ss", u"\u00DF"}, {u"aa", u"\u00E5"}};
    for (const auto& [plain, letter] : letters)
      for (std::size_t at = base.find(plain); at != std::u16string::npos; at = base.find(plain, at + 1)) {
        std::u16string w = base;
        w.replace(at, plain.size(), letter);
        lower.push_back(w);
        if (w.size() > 3) lower.push_back(w.substr(0, w.size() - 1) + u"\u00E9");
      }
  }
  std::vector<std::u16string> words;
  for (std::size_t k = 0; k < lower.size(); ++k) {
    const std::u16string& w = lower[k];
    for (const std::u16string& v : {w, Upper(w, 0).substr(0, 1) + w.substr(1), Upper(w, 0)}) {
      words.push_back(v);
      if (k % 5 == 0) words.push_back(v.substr(0, 2) + u"-" + v.substr(2));
      if (k % 7 == 1) words.push_back(v + u"2");
      if (k % 11 == 2) words.push_back(u"10" + v);
    }
  }
  words.insert(words.end(), {u"", u"-", u"2", u"10", u"co-op", u"coop", u"co op"});
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

// ICU's order of the words as ranks (equal words share one), found with
// ucol_strcoll.
std::vector<int> IcuRanks(const std::string& icuLocale, const std::vector<std::u16string>& words) {
  UErrorCode e = U_ZERO_ERROR;
  UCollator* c = ucol_open(icuLocale.c_str(), &e);
  EXPECT_TRUE(U_SUCCESS(e)) << icuLocale;
  ucol_setStrength(c, UCOL_TERTIARY);
  auto coll = [&](std::size_t a, std::size_t b) {
    return ucol_strcoll(c, reinterpret_cast<const UChar*>(words[a].data()), static_cast<int32_t>(words[a].size()),
                        reinterpret_cast<const UChar*>(words[b].data()), static_cast<int32_t>(words[b].size()));
  };
  std::vector<std::size_t> order(words.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return coll(a, b) == UCOL_LESS; });
  std::vector<int> rank(words.size());
  int r = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i > 0 && coll(order[i - 1], order[i]) != UCOL_EQUAL) ++r;
    rank[order[i]] = r;
  }
  ucol_close(c);
  return rank;
}

// Each word in a code page; words it cannot hold are left out.
struct PageWords {
  std::vector<std::u16string> text;
  std::vector<std::string> bytes;
};

PageWords InPage(const char* converter, const std::vector<std::u16string>& words) {
  PageWords out;
  UErrorCode e = U_ZERO_ERROR;
  UConverter* conv = ucnv_open(converter, &e);
  ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
  for (const std::u16string& w : words) {
    char b[64];
    UErrorCode we = U_ZERO_ERROR;
    ucnv_resetFromUnicode(conv);
    int32_t n = ucnv_fromUChars(conv, b, sizeof b, reinterpret_cast<const UChar*>(w.data()),
                                static_cast<int32_t>(w.size()), &we);
    if (U_FAILURE(we)) continue;
    out.text.push_back(w);
    out.bytes.emplace_back(b, static_cast<std::size_t>(n));
  }
  ucnv_close(conv);
  return out;
}

class IcuOracle : public slw_test::ShippedLocales {
 protected:
  // Every unordered pair: the compare's sign against ICU's ranks. The keys
  // sorted as bytes: each key after the one before it where ICU puts its
  // word after that word, equal where ICU's are equal (which holds for all
  // pairs when it holds for neighbours). The first differences named.
  template <class Compare, class Key>
  void ExpectIcuOrder(const std::vector<std::u16string>& text, const std::vector<int>& rank, Compare compare,
                      const std::vector<Key>& keys) {
    int compares = 0, byKeys = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
      for (std::size_t j = i + 1; j < text.size(); ++j) {
        const int want = Sign(rank[i] - rank[j]);
        const int got = Sign(compare(i, j));
        if (got != want && compares++ < 5)
          ADD_FAILURE() << "compare " << Utf8(text[i]) << " / " << Utf8(text[j]) << ": " << got << ", ICU " << want;
      }
    std::vector<std::size_t> byKey(text.size());
    std::iota(byKey.begin(), byKey.end(), 0);
    std::stable_sort(byKey.begin(), byKey.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    for (std::size_t k = 1; k < byKey.size(); ++k) {
      const std::size_t i = byKey[k - 1], j = byKey[k];
      const int key = keys[i] < keys[j] ? -1 : 0;
      if (key != Sign(rank[i] - rank[j]) && byKeys++ < 5)
        ADD_FAILURE() << "keys " << Utf8(text[i]) << " / " << Utf8(text[j]) << ": " << key << ", ICU "
                      << Sign(rank[i] - rank[j]);
    }
    EXPECT_EQ(compares, 0) << "pairs the compare orders otherwise than ICU, of " << text.size() << " words";
    EXPECT_EQ(byKeys, 0) << "neighbours in key order that ICU orders otherwise";
  }
};

const std::vector<std::u16string>& TheWords() {
  static const std::vector<std::u16string> words = Words();
  return words;
}

// A narrow locale and the ICU converter of its code page.
struct NarrowLocale {
  const char* name;
  const char* converter;
};

void PrintTo(const NarrowLocale& l, std::ostream* os) { *os << l.name; }

std::string PrintLocale(const testing::TestParamInfo<NarrowLocale>& info) {
  std::string name = info.param.name;
  std::replace(name.begin(), name.end(), '.', '_');
  return name;
}

class IcuOracleNarrow : public IcuOracle, public testing::WithParamInterface<NarrowLocale> {};

TEST_P(IcuOracleNarrow, CompareAndKeysOrderAsIcu) {
  const std::vector<std::u16string>& words = TheWords();
  ASSERT_GT(words.size(), 2000u);
  const std::string name = GetParam().name;
  const PageWords page = InPage(GetParam().converter, words);
  const std::vector<int> rank = IcuRanks(name.substr(0, name.find('.')), page.text);
  hlocale h = Open(name);
  ASSERT_NE(h, nullptr);
  std::vector<std::string> keys;
  for (const std::string& b : page.bytes) {
    char out[256];
    const uint16_t n = SLN_StrTransform(h, out, b.c_str(), sizeof out);
    ASSERT_LT(n, sizeof out);
    ASSERT_EQ(std::strlen(out), n);  // no zero inside a key
    keys.emplace_back(out, n);
  }
  ExpectIcuOrder(
      page.text, rank,
      [&](std::size_t i, std::size_t j) { return SLN_StrCollate(h, page.bytes[i].c_str(), page.bytes[j].c_str()); },
      keys);
  ASSERT_EQ(SL_CloseLocale(&h), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, IcuOracleNarrow,
    testing::Values(NarrowLocale{"en_US.WIN1252", "windows-1252"}, NarrowLocale{"da_DK.WIN1252", "windows-1252"},
                    NarrowLocale{"de_DE.WIN1252", "windows-1252"}, NarrowLocale{"es_ES.WIN1252", "windows-1252"},
                    NarrowLocale{"fi_FI.WIN1252", "windows-1252"}, NarrowLocale{"fr_FR.WIN1252", "windows-1252"},
                    NarrowLocale{"it_IT.WIN1252", "windows-1252"}, NarrowLocale{"nl_NL.WIN1252", "windows-1252"},
                    NarrowLocale{"nb_NO.WIN1252", "windows-1252"}, NarrowLocale{"pt_PT.WIN1252", "windows-1252"},
                    NarrowLocale{"sv_SE.WIN1252", "windows-1252"}, NarrowLocale{"en_US.DOS437", "ibm-437"},
                    NarrowLocale{"de_DE.DOS850", "ibm-850"}, NarrowLocale{"da_DK.DOS850", "ibm-850"}),
    PrintLocale);

TEST_F(IcuOracle, TheWideLocaleComparesAndKeysAsIcu) {
  const std::vector<std::u16string>& words = TheWords();
  const std::vector<int> rank = IcuRanks("en_US", words);
  hlocale h = Open("en_US.Unicode");
  ASSERT_NE(h, nullptr);
  std::vector<std::u16string> keys;
  for (const std::u16string& w : words) {
    SL_WCHAR out[256];
    const uint16_t n = SLW_StrTransform(h, out, w.c_str(), 256);
    ASSERT_LT(n, 256);
    keys.emplace_back(out, n);
  }
  ExpectIcuOrder(
      words, rank, [&](std::size_t i, std::size_t j) { return SLW_StrCollate(h, words[i].c_str(), words[j].c_str()); },
      keys);
  ASSERT_EQ(SL_CloseLocale(&h), 0);
}

// ToUpper and ToLower of every code of a code page: ICU's simple case map
// where the page holds its result, else the code itself.
TEST_F(IcuOracle, CaseMapsOfEveryCodeAreIcusSimpleMaps) {
  std::vector<std::pair<std::string, const char*>> locales;
  for (const char* l : kLanguages) {
    locales.emplace_back(std::string(l) + ".WIN1252", "windows-1252");
    if (std::string(l) != "en_US") locales.emplace_back(std::string(l) + ".DOS850", "ibm-850");
  }
  locales.emplace_back("en_US.DOS437", "ibm-437");
  locales.emplace_back("en_US.DOS850", "ibm-850");
  for (const auto& [name, converter] : locales) {
    SCOPED_TRACE(name);
    UErrorCode e = U_ZERO_ERROR;
    UConverter* conv = ucnv_open(converter, &e);
    ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    auto decode = [&](int b) -> UChar32 {
      const char in = static_cast<char>(b);
      UChar u[4];
      UErrorCode de = U_ZERO_ERROR;
      ucnv_resetToUnicode(conv);
      return ucnv_toUChars(conv, u, 4, &in, 1, &de) == 1 && U_SUCCESS(de) ? u[0] : -1;
    };
    auto encode = [&](UChar32 c, int fallback) {
      const UChar u[1] = {static_cast<UChar>(c)};
      char out[4];
      UErrorCode ee = U_ZERO_ERROR;
      ucnv_resetFromUnicode(conv);
      const int32_t n = c < 0x10000 ? ucnv_fromUChars(conv, out, 4, u, 1, &ee) : 0;
      return n == 1 && U_SUCCESS(ee) ? static_cast<uint8_t>(out[0]) : fallback;
    };
    hlocale h = Open(name);
    ASSERT_NE(h, nullptr);
    for (int b = 1; b < 256; ++b) {
      const UChar32 u = decode(b);
      if (u < 0) continue;
      EXPECT_EQ(static_cast<uint8_t>(SLN_ToUpper(h, static_cast<char>(b))), encode(u_toupper(u), b)) << b;
      EXPECT_EQ(static_cast<uint8_t>(SLN_ToLower(h, static_cast<char>(b))), encode(u_tolower(u), b)) << b;
    }
    ucnv_close(conv);
    ASSERT_EQ(SL_CloseLocale(&h), 0);
  }
  hlocale wide = Open("en_US.Unicode");
  int differ = 0;
  for (UChar32 c = 1; c < 0x10000; ++c) {
    if (U_IS_SURROGATE(c) || !u_isdefined(c)) continue;
    const UChar32 up = u_toupper(c) < 0x10000 ? u_toupper(c) : c, down = u_tolower(c) < 0x10000 ? u_tolower(c) : c;
    if ((SLW_ToUpper(wide, static_cast<SL_WCHAR>(c)) != up || SLW_ToLower(wide, static_cast<SL_WCHAR>(c)) != down) &&
        differ++ < 5)
      ADD_FAILURE() << std::hex << "U+" << c << ": " << +SLW_ToUpper(wide, static_cast<SL_WCHAR>(c)) << " "
                    << +SLW_ToLower(wide, static_cast<SL_WCHAR>(c));
  }
  EXPECT_EQ(differ, 0);
  ASSERT_EQ(SL_CloseLocale(&wide), 0);
}

}  // namespace
