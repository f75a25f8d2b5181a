// National-language services: LCIDs through ICU and the locale information
// answered from the country and code-page tables.
#include "platform/nls.h"

#include <gtest/gtest.h>

namespace nls = platform::nls;

TEST(Nls, LcidsMapBothWaysAndUnknownOnesAreNotInstalled) {
  EXPECT_EQ(nls::LocaleOfLcid(0x0409), "en_US");
  EXPECT_EQ(nls::LocaleOfLcid(0x0411), "ja_JP");
  EXPECT_EQ(nls::LcidOfLocale("en_GB"), 0x0809u);
  EXPECT_TRUE(nls::IsInstalledLcid(0x0407));
  EXPECT_FALSE(nls::IsInstalledLcid(0x7777));
  EXPECT_FALSE(nls::IsInstalledLcid(0));
}

TEST(Nls, LocaleInformation) {
  struct Case {
    uint32_t lcid, type;
    const char* text;
  } cases[] = {
      {0x0409, nls::kLocaleSAbbrevLangName, "ENU"}, {0x0011, nls::kLocaleSAbbrevLangName, "JA"},
      {0x0409, nls::kLocaleICountry, "1"},          {0x0809, nls::kLocaleICountry, "44"},
      {0x0411, nls::kLocaleICountry, "81"},         {0x0409, nls::kLocaleIDefaultAnsiCodePage, "1252"},
      {0x0409, nls::kLocaleIDefaultCodePage, "437"}, {0x0809, nls::kLocaleIDefaultCodePage, "850"},
      {0x0411, nls::kLocaleIDefaultAnsiCodePage, "932"}, {0x0405, nls::kLocaleIDefaultAnsiCodePage, "1250"},
  };
  for (const Case& c : cases) {
    std::string text;
    ASSERT_TRUE(nls::GetLocaleInfo(c.lcid, c.type, text)) << std::hex << c.lcid << " " << c.type;
    EXPECT_EQ(text, c.text) << std::hex << c.lcid << " " << c.type;
  }
  std::string text = "x";
  EXPECT_FALSE(nls::GetLocaleInfo(0x0009, nls::kLocaleICountry, text));  // neutral: no country
  EXPECT_FALSE(nls::GetLocaleInfo(0x0409, 0x0002, text));               // not answered yet
  EXPECT_FALSE(nls::GetLocaleInfo(0x7777, nls::kLocaleIDefaultAnsiCodePage, text));
  EXPECT_TRUE(text.empty());
}

TEST(Nls, CountryTableAndCodePages) {
  ASSERT_NE(nls::CountryByAlpha2("JP"), nullptr);
  EXPECT_EQ(nls::CountryByAlpha2("JP")->code, 81);
  EXPECT_EQ(nls::CountryByCode(49)->alpha3, "DEU");
  EXPECT_EQ(nls::CountryByAlpha2("ZZ"), nullptr);
  EXPECT_LE(nls::Countries().size(), 70u);
  for (int cp : {1252, 437, 850, 932, 20127, 65001}) EXPECT_NE(nls::OpenCodePage(cp), nullptr) << cp;
  EXPECT_EQ(nls::OpenCodePage(0), nullptr);
  EXPECT_EQ(nls::OpenCodePage(99999), nullptr);
}
