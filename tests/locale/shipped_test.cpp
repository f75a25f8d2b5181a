// The locale libraries the build writes beside libSLW32.so ("LOCALE.SLL" and
// "USA.SLL"): every shipped locale opens whole, sorts as its language does,
// and its sort keys order exactly as its compare.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "categories.h"
#include "item_names.h"
#include "locale_object.h"
#include "slw32.h"

namespace {

const char* const kUsa[] = {"en_US.WIN1252", "en_US.DOS437", "en_US.DOS850", "en_US.Unicode"};
const char* const kOthers[] = {"da_DK", "de_DE", "es_ES", "fi_FI", "fr_FR", "it_IT", "nl_NL", "nb_NO", "pt_PT", "sv_SE"};

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

class Shipped : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(_SL_InitClient(1, 1, 1), 0);
    ASSERT_EQ(SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/LOCALE.SLL", 1), 0);
    ASSERT_EQ(SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/USA.SLL", 0), 0);
  }
  void TearDown() override { SL_Exit(); }
  hlocale Open(const std::string& name) {
    hlocale h = nullptr;
    EXPECT_EQ(SL_OpenLocale(&h, SL_LC_ALL, name.c_str()), 0) << name;
    return h;
  }
};

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
    EXPECT_EQ(s.levels, 2);
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

}  // namespace
