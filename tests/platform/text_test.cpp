#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, Cp1252RoundTripsThroughUtf8) {
  const std::string cp1252 = "\x80\xFC";  // euro sign, u umlaut
  EXPECT_EQ(platform::Cp1252ToUtf8(cp1252), "\xE2\x82\xAC\xC3\xBC");
  EXPECT_EQ(platform::Utf8ToCp1252("\xE2\x82\xAC\xC3\xBC"), cp1252);
  // Every byte, including the five that the code page leaves unassigned,
  // survives the round trip: files are never altered by being read.
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(platform::Utf8ToCp1252(platform::Cp1252ToUtf8(all)), all);
  // A character with no Windows-1252 form becomes '?'.
  EXPECT_EQ(platform::Utf8ToCp1252("a\xE2\x98\x83z"), "a?z");  // snowman
}

TEST(Text, OemAndCodePagesByNumber) {
  struct Case {
    const char* ansi;
    const char* oem;
  } cases[] = {
      {"\xFC", "\x81"},        // u umlaut
      {"\xE9t\xE9", "\x82t\x82"},  // e acute
      {"ABC", "ABC"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::AnsiToOem(c.ansi), c.oem) << c.ansi;
    EXPECT_EQ(platform::OemToAnsi(c.oem), c.ansi) << c.ansi;
  }
  std::string out;
  ASSERT_TRUE(platform::ConvertCodePage("\x80", 1252, 65001, out));
  EXPECT_EQ(out, "\xE2\x82\xAC");
  ASSERT_TRUE(platform::ConvertCodePage("\x9C", 437, 1252, out));  // pound sign
  EXPECT_EQ(out, "\xA3");
  out = "junk";
  EXPECT_FALSE(platform::ConvertCodePage("x", 99999, 1252, out));
  EXPECT_TRUE(out.empty());
}

TEST(Text, AnsiCaseMapping) {
  EXPECT_EQ(platform::AnsiUpper("abc \xE9\xFC\xFF\x9A"), "ABC \xC9\xDC\x9F\x8A");
  EXPECT_EQ(platform::AnsiLower("ABC \xC9\xDC\x9F\x8A"), "abc \xE9\xFC\xFF\x9A");
  // Sharp s and micro sign have no single-byte upper case: they stay.
  EXPECT_EQ(platform::AnsiUpper("\xDF\xB5"), "\xDF\xB5");
  EXPECT_EQ(platform::AnsiCompareNoCase("m\xFCller", "M\xDCLLER"), 0);
  EXPECT_LT(platform::AnsiCompareNoCase("abc", "ABD"), 0);
  EXPECT_GT(platform::AnsiCompareNoCase("abcd", "ABC"), 0);
}

}  // namespace
