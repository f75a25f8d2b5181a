// The national-language services over ICU's locale data: locale information
// of the date, time, number and currency types, compares, case maps, sort
// keys, character types and lead bytes.
#include "platform/nls.h"

#include <gtest/gtest.h>

namespace nls = platform::nls;

namespace {
std::string Info(uint32_t lcid, uint32_t type) {
  std::string text;
  EXPECT_TRUE(nls::GetLocaleInfo(lcid, type, text)) << std::hex << lcid << " " << type;
  return text;
}
}  // namespace

TEST(NlsServices, LocaleInformationInTheAnsiCodePage) {
  struct Case {
    uint32_t lcid, type;
    const char* text;
  } cases[] = {
      {0x0409, nls::kLocaleSDayName1 + 6, "Sunday"},
      {0x0409, nls::kLocaleSDayName1, "Monday"},
      {0x0409, nls::kLocaleSAbbrevDayName1 + 1, "Tue"},
      {0x0409, nls::kLocaleSMonthName1, "January"},
      {0x0409, nls::kLocaleSAbbrevMonthName1 + 11, "Dec"},
      {0x0409, nls::kLocaleS1159, "AM"},
      {0x0409, nls::kLocaleSLongDate, "dddd, MMMM d, yyyy"},
      {0x0409, nls::kLocaleSShortDate, "M/d/yy"},
      {0x0409, nls::kLocaleITime, "0"},
      {0x0409, nls::kLocaleITLZero, "0"},
      {0x0409, nls::kLocaleSTime, ":"},
      {0x0409, nls::kLocaleSDecimal, "."},
      {0x0409, nls::kLocaleSThousand, ","},
      {0x0409, nls::kLocaleSGrouping, "3;0"},
      {0x0409, nls::kLocaleSList, ","},
      {0x0409, nls::kLocaleSIntlSymbol, "USD"},
      {0x0409, nls::kLocaleSCurrency, "$"},
      {0x0409, nls::kLocaleICurrDigits, "2"},
      {0x0409, nls::kLocaleICurrency, "0"},
      {0x0409, nls::kLocaleINegCurr, "1"},
      {0x0409, nls::kLocaleSPositiveSign, ""},
      {0x0409, nls::kLocaleSNegativeSign, "-"},
      {0x0407, nls::kLocaleSDayName1 + 6, "Sonntag"},
      {0x0407, nls::kLocaleSMonthName1 + 2, "M\xE4rz"},
      {0x0407, nls::kLocaleSLongDate, "dddd, d. MMMM yyyy"},
      {0x0407, nls::kLocaleSShortDate, "dd.MM.yy"},
      {0x0407, nls::kLocaleITime, "1"},
      {0x0407, nls::kLocaleITLZero, "1"},
      {0x0407, nls::kLocaleSDecimal, ","},
      {0x0407, nls::kLocaleSThousand, "."},
      {0x0407, nls::kLocaleSList, ";"},
      {0x0407, nls::kLocaleSCurrency, "\x80"},
      {0x0407, nls::kLocaleSIntlSymbol, "EUR"},
      {0x0407, nls::kLocaleICurrency, "3"},
      {0x0407, nls::kLocaleINegCurr, "8"},
      {0x0C0A, nls::kLocaleSLongDate, "dddd, d 'de' MMMM 'de' yyyy"},
      {0x0411, nls::kLocaleSDayName1 + 6, "\x93\xFA\x97\x6A\x93\xFA"},
      {0x0411, nls::kLocaleSMonthName1, "1\x8C\x8E"},
      {0x0411, nls::kLocaleSLongDate, "yyyy\x94\x4EM\x8C\x8E" "d\x93\xFA" "dddd"},
      {0x0411, nls::kLocaleSIntlSymbol, "JPY"},
      {0x0411, nls::kLocaleICurrDigits, "0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Info(c.lcid, c.type), c.text) << std::hex << c.lcid << " " << c.type;
  std::u16string wide;
  ASSERT_TRUE(nls::GetLocaleInfoW(0x0407, nls::kLocaleSCurrency, wide));
  EXPECT_EQ(wide, u"\u20AC");
  EXPECT_FALSE(nls::GetLocaleInfoW(0x7FFF, nls::kLocaleSDecimal, wide));
}

TEST(NlsServices, DefaultLocaleStandsForLcidZero) {
  EXPECT_NE(nls::ResolveLcid(0), 0u);
  EXPECT_EQ(nls::ResolveLcid(0x0407), 0x0407u);
  std::string text;
  EXPECT_TRUE(nls::GetLocaleInfo(0, nls::kLocaleSNegativeSign, text));
}

TEST(NlsServices, CompareStringHonoursCaseAccentAndSymbolFlags) {
  EXPECT_EQ(nls::CompareStringA(0x0409, 0, "a", "B"), 1);
  EXPECT_EQ(nls::CompareStringA(0x0409, 0, "abc", "ABC"), 1);
  EXPECT_EQ(nls::CompareStringA(0x0409, nls::kNormIgnoreCase, "abc", "ABC"), 2);
  EXPECT_EQ(nls::CompareStringA(0x0409, nls::kNormIgnoreCase, "\xE9", "e"), 3);
  EXPECT_EQ(nls::CompareStringA(0x0409, nls::kNormIgnoreNonSpace, "\xE9", "e"), 2);
  EXPECT_NE(nls::CompareStringA(0x0409, nls::kNormIgnoreNonSpace, "E", "e"), 2);
  EXPECT_EQ(nls::CompareStringA(0x0409, nls::kNormIgnoreSymbols, "co-op", "coop"), 2);
  EXPECT_EQ(nls::CompareStringA(0x0407, 0, "\xE4", "b"), 1);
  EXPECT_EQ(nls::CompareStringW(0x0409, 0, u"b", u"a"), 3);
  EXPECT_EQ(nls::CompareStringA(0x7FFF, 0, "a", "b"), 0);
}

TEST(NlsServices, CaseMapsKeepWhatTheCodePageLacks) {
  std::string out;
  ASSERT_TRUE(nls::LCMapStringA(0x0409, nls::kLcmapUppercase, "a\xE9\xFF\xDF", out));
  EXPECT_EQ(out, "A\xC9\x9F\xDF");  // ÿ is Ÿ (0x9F); ß has no one-character upper case
  ASSERT_TRUE(nls::LCMapStringA(0x0409, nls::kLcmapLowercase, "\xC9Z", out));
  EXPECT_EQ(out, "\xE9z");
  // A double-byte character stays whole.
  ASSERT_TRUE(nls::LCMapStringA(0x0411, nls::kLcmapUppercase, "\x82\x81" "a", out));
  EXPECT_EQ(out, "\x82\x60" "A");
  std::u16string wide;
  ASSERT_TRUE(nls::LCMapStringW(0x0409, nls::kLcmapUppercase, u"\u00FF", wide));
  EXPECT_EQ(wide, u"\u0178");
  EXPECT_FALSE(nls::LCMapStringA(0x0409, 0, "a", out));
}

TEST(NlsServices, SortKeysOrderAsTheCompare) {
  std::string a, b;
  ASSERT_TRUE(nls::LCMapStringA(0x0407, nls::kLcmapSortKey, "\xE4pfel", a));
  ASSERT_TRUE(nls::LCMapStringA(0x0407, nls::kLcmapSortKey, "Birne", b));
  EXPECT_LT(a, b);
  ASSERT_TRUE(nls::LCMapStringA(0x0409, nls::kLcmapSortKey | nls::kNormIgnoreCase, "ABC", a));
  ASSERT_TRUE(nls::LCMapStringA(0x0409, nls::kLcmapSortKey | nls::kNormIgnoreCase, "abc", b));
  EXPECT_EQ(a, b);
}

TEST(NlsServices, CharacterTypesAndLeadBytes) {
  std::vector<uint16_t> t;
  ASSERT_TRUE(nls::GetStringTypeA(0x0409, std::string_view("A\xE9" "5 \t,", 6), t));
  ASSERT_EQ(t.size(), 6u);
  EXPECT_EQ(t[0] & (nls::kC1Upper | nls::kC1Lower | nls::kC1Alpha), nls::kC1Upper | nls::kC1Alpha);
  EXPECT_EQ(t[1] & (nls::kC1Upper | nls::kC1Lower), nls::kC1Lower);
  EXPECT_EQ(t[2] & nls::kC1Digit, nls::kC1Digit);
  EXPECT_EQ(t[3], nls::kC1Space | nls::kC1Blank);
  EXPECT_EQ(t[4], nls::kC1Space | nls::kC1Blank | nls::kC1Cntrl);
  EXPECT_EQ(t[5], nls::kC1Punct);
  ASSERT_TRUE(nls::GetStringTypeA(0x0411, "\x82\x60", t));
  EXPECT_EQ(t.size(), 2u);
  EXPECT_TRUE(t[0] & nls::kC1Upper);

  const std::vector<bool> lead = nls::LeadBytesOf(932);
  EXPECT_TRUE(lead[0x81]);
  EXPECT_TRUE(lead[0x9F]);
  EXPECT_TRUE(lead[0xE0]);
  EXPECT_FALSE(lead[0x41]);
  EXPECT_FALSE(lead[0xA1]);  // half-width katakana are single bytes
  EXPECT_FALSE(nls::IsDBCSLeadByteEx(1252, 0x81));
}
