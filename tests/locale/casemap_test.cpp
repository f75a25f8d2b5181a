// Case mapping, case-insensitive matching, class trims, soundex and the
// family string utilities, on the system locales and on a fixture locale
// with a multi-character upper case and the classic soundex table.
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "casemap/intl_settings.h"
#include "platform/registry.h"
#include "slw32.h"
#include "soundex_fixture.h"
#include "sllc_writer.h"
#include "temp_root.h"

namespace {

using W = std::u16string;
const SL_WCHAR* w(const W& s) { return reinterpret_cast<const SL_WCHAR*>(s.c_str()); }

class Casemap : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(_SL_InitClient(1, 1, 1), 0); }
  void TearDown() override { SL_Exit(); }

  // A locale of `family` whose toupper takes "\xDF" to "SS" and whose soundex
  // table is the classic one, in a library made the current one.
  hlocale Fixture(int family) {
    const std::string name = "xx_XX.F" + std::to_string(family);
    std::string s = "locale " + name + "\n  family " + std::to_string(family) + "\n";
    if (family == 3) s += "  leadbytes 0x81\n";
    s += "  category 2 " + name + "\n"
         "    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank toupper,tolower\n"
         "    class 0xDF 4\n    map 0 0xDF 0xFFFF\n    multi 0 \"\\xDF\" \"SS\"\n";
    s += "  category 64 " + name + "\n";
    s += ClassicSoundexLines();
    std::string error;
    std::filesystem::path file = root_.path() / ("C" + std::to_string(family) + ".SLL");
    EXPECT_TRUE(sllc::Compile(s, file.string(), false, error)) << error;
    EXPECT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
    hlocale h = nullptr;
    EXPECT_EQ(SL_OpenLocale(&h, 2 | 64, name.c_str()), 0);
    return h;
  }

  testing_support::TempRoot root_;
};

TEST_F(Casemap, SystemLocalesMapAndMatchInEveryFamily) {
  hlocale n = SLN_GetSysLocale(), wd = SLW_GetSysLocale(), m = SLM_GetSysLocale();
  EXPECT_EQ(SLN_ToUpper(n, 'a'), 'A');
  EXPECT_EQ(static_cast<uint8_t>(SLN_ToUpper(n, '\xE9')), 0xE9);
  EXPECT_EQ(SLW_ToUpper(wd, u'a'), u'A');
  EXPECT_EQ(SLM_ToLower(m, 'Q'), 'q');
  EXPECT_EQ(SLN_ToTranslation(n, 'a', 7), 'a');  // no such translation

  char s[] = "ABCDEF";
  EXPECT_STREQ(SLN_StrnLower(n, s, 3), "abcDEF");
  W ws = u"ABCDEF";
  SLW_StrnLower(wd, ws.data(), 3);
  EXPECT_EQ(ws, u"abcDEF");
  char ms[] = "ABCDEF";
  EXPECT_STREQ(SLM_StrnLower(m, ms, 3), "abcDEF");

  EXPECT_EQ(SLN_StrMatchi(n, "Hello", "hELLO"), 0);
  EXPECT_EQ(SLW_StrMatchi(wd, w(u"Hello"), w(u"hELLO")), 0);
  EXPECT_EQ(SLM_StrMatchi(m, "Hello", "hELLO"), 0);
  EXPECT_NE(SLN_StrMatchi(n, "Hello", "help"), 0);
  EXPECT_EQ(SLN_StrnMatchi(n, "HELp", "help!", 3), 0);
  EXPECT_LT(SLN_QStrMatchi(n, "abc", "ABD"), 0);
  EXPECT_EQ(SLN_QStrMatchi(n, "ab", "abc"), -99);
  EXPECT_EQ(SLW_QStrMatchi(wd, w(u"ab"), w(u"abc")), -99);
  EXPECT_EQ(SLM_QStrnMatchi(m, "abX", "ABY", 2), 0);
  EXPECT_EQ(SLN_QStrnMatchi(n, "a", "b", 0), 0);
  EXPECT_EQ(SLN_StrMatchEx(n, "abc", "ABC", 1), 0);  // both to lower case
  EXPECT_NE(SLN_StrMatchEx(n, "abc", "ABC", 9), 0);  // no translation: compared as they are

  const char* text = "Hello";
  EXPECT_EQ(SLN_StrStri(n, text, ""), text);
  EXPECT_EQ(SLN_StrStri(n, "", "a"), nullptr);
  EXPECT_EQ(SLN_StrStri(n, text, "LLO"), text + 2);
  EXPECT_EQ(SLN_StrChri(n, text, 'L'), text + 2);
  EXPECT_EQ(SLM_StrStri(m, text, "lo"), text + 3);
  const W wt = u"Hello";
  EXPECT_EQ(SLW_StrChri(wd, w(wt), u'O'), w(wt) + 4);

  char trim[] = "  a  ";
  EXPECT_STREQ(SLN_StrTrimClassEnd(n, trim, 1), "  a");
  EXPECT_STREQ(SLN_StrTrimClassStart(n, trim, 1), "a");
  char out[16];
  EXPECT_STREQ(SLN_StrTrimClassEndStr(n, out, " x ", 1), " x");
  EXPECT_STREQ(SLN_StrTrimClassStartStr(n, out, " x ", 1), "x ");
  const char* digits = "12ab";
  EXPECT_EQ(SLN_StrScanForClass(n, digits, 2, 1), digits + 2);
  EXPECT_EQ(SLN_StrnScanForClass(n, digits, 2, 1, 1), digits + 1);
  W wtrim = u"  a  ";
  SLW_StrTrimClassEnd(wd, wtrim.data(), 1);
  EXPECT_EQ(W(wtrim.c_str()), u"  a");

  // No soundex table: every digit is 0.
  char code[5];
  EXPECT_STREQ(SLN_StrSoundex(n, code, "  Robert"), "R000");
  EXPECT_STREQ(SLN_StrSoundex(n, code, "1abc"), "0000");
  SL_WCHAR wcode[5];
  SLW_StrSoundex(wd, wcode, w(u"Robert"));
  EXPECT_EQ(W(reinterpret_cast<char16_t*>(wcode)), u"R000");

  char keyOut[8];
  EXPECT_EQ(_SLN_StrSysTransform(n, keyOut, "abcd", 3), 3);
  EXPECT_EQ(std::string(keyOut, 3), "abc");
  EXPECT_EQ(_SLN_StrnSysTransform(n, keyOut, "abcd", 2, 8), 2);
  EXPECT_EQ(_SLN_StrSysTransform(n, keyOut, "ab", 8), 3);  // with its terminator
}

TEST_F(Casemap, StringUtilities) {
  char tokens[] = "a,,b";
  EXPECT_STREQ(SLN_StrScanForTokens(tokens, ","), "a");
  EXPECT_STREQ(SLN_StrScanForTokens(nullptr, ","), "b");
  EXPECT_EQ(SLN_StrScanForTokens(nullptr, ","), nullptr);
  W wtokens = u",x;y";
  const W delims = u",;";
  EXPECT_EQ(W(reinterpret_cast<char16_t*>(SLW_StrScanForTokens(reinterpret_cast<SL_WCHAR*>(wtokens.data()), w(delims)))), u"x");
  EXPECT_EQ(W(reinterpret_cast<char16_t*>(SLW_StrScanForTokens(nullptr, w(delims)))), u"y");
  EXPECT_EQ(SLW_StrScanForTokens(nullptr, w(delims)), nullptr);

  const char* s = "abcabc";
  EXPECT_EQ(SLN_StrChrLast(s, 'b'), s + 4);
  EXPECT_EQ(SLN_StrChrLast(s, '\0'), s + 6);
  EXPECT_EQ(SLN_StrChrLast(s, 'z'), nullptr);
  EXPECT_EQ(SLN_StrStr(s, "ca"), s + 2);
  EXPECT_EQ(SLN_StrStr(s, ""), s);
  EXPECT_EQ(SLN_StrStr("", "a"), nullptr);
  EXPECT_EQ(SLN_StrScanForChars(s, "xc"), s + 2);
  EXPECT_TRUE(SLN_IsStrAscii("plain"));
  EXPECT_FALSE(SLN_IsStrAscii("caf\xE9"));
  EXPECT_FALSE(SLW_IsAscii(0x80));
  char fill[] = "abcd";
  EXPECT_STREQ(SLN_StrnSet(fill, '*', 2), "**cd");
  EXPECT_STREQ(SLN_StrSet(fill, '-'), "----");
}

TEST_F(Casemap, AnExpansionIsTakenOnlyWhereItFits) {
  hlocale h = Fixture(1);
  char out[8];
  EXPECT_EQ(SLN_StrUpperEx(h, out, "\xDF", 2), 1);
  EXPECT_STREQ(out, "SS");
  EXPECT_EQ(SLN_StrUpperEx(h, out, "\xDF", 1), 0);
  EXPECT_STREQ(out, "\xDF");
  EXPECT_EQ(SLN_StrTranslation(h, out, "ab", 5, 7), 0);  // no translation 5
  EXPECT_STREQ(out, "");
  // In place the rest of the string must still fit after the expansion.
  char inPlace[] = "\xDF" "a";
  EXPECT_STREQ(SLN_StrUpper(h, inPlace), "\xDF" "A");
  // The search copies map one character to one, so the offset is the caller's.
  const char* text = "\xDF" "a b";
  EXPECT_EQ(SLN_StrStri(h, text, "B"), text + 3);
  EXPECT_EQ(SLN_StrMatchi(h, "stra\xDF" "e", "STRASSE"), 0);
  SL_CloseLocale(&h);
}

TEST_F(Casemap, WholeStringsAreMappedAndCompared) {
  hlocale n = SLN_GetSysLocale(), wd = SLW_GetSysLocale();
  std::string big(5000, 'a');
  SLN_StrUpper(n, big.data());
  EXPECT_EQ(big, std::string(5000, 'A'));
  W wbig(3000, u'b');
  SLW_StrUpper(wd, wbig.data());
  EXPECT_EQ(wbig, W(3000, u'B'));
  std::string a(3000, 'x'), b(3000, 'X');
  b.back() = 'Y';
  EXPECT_NE(SLN_StrMatchi(n, a.c_str(), b.c_str()), 0);
  W wa(3000, u'x'), wb(3000, u'X');
  wb.back() = u'Y';
  EXPECT_NE(SLW_StrMatchi(wd, w(wa), w(wb)), 0);
  // Far-apart characters keep the sign of their difference.
  EXPECT_GT(SLW_QStrMatchi(wd, w(W(1, u'\xFFFE')), w(u"\x0001")), 0);
  EXPECT_LT(SLW_QStrMatchi(wd, w(u"\x0001"), w(W(1, u'\xFFFE'))), 0);
}

TEST_F(Casemap, ClassicSoundexCodesAndSimilarity) {
  hlocale h = Fixture(1);
  struct Case {
    const char* word;
    const char* code;
  } cases[] = {{"Robert", "R163"}, {"Rupert", "R163"}, {"Pfister", "P123"}, {"Ashcraft", "A226"},
               {"Tymczak", "T522"},  {"O'Hara", "O000"},  {"  Lee", "L000"},   {"Tt", "T300"}};
  char code[5];
  for (const Case& c : cases) EXPECT_STREQ(SLN_StrSoundex(h, code, c.word), c.code) << c.word;
  EXPECT_STREQ(SLN_StrnSoundex(h, code, "Robert", 1), "R000");
  EXPECT_EQ(SLN_ToSoundex(h, 'r'), 6);
  EXPECT_EQ(SLN_StrSoundexCmp(h, "Robert", "Rupert"), 4);
  EXPECT_EQ(SLN_StrSoundexCmp(h, "Robert", "Rubin"), 2);  // R163 and R150: R and the 1
  EXPECT_EQ(SLN_StrSoundexCmp(h, "Robert", "Xavier"), 2);  // X160: the 1 and the 6 in order
  EXPECT_EQ(SLN_StrSoundexCmp(h, "Robert", "Xiao"), 0);
  SL_CloseLocale(&h);

  hlocale wd = Fixture(2);
  SL_WCHAR wcode[5];
  SLW_StrSoundex(wd, wcode, w(u"Tymczak"));
  EXPECT_EQ(W(reinterpret_cast<char16_t*>(wcode)), u"T522");
  EXPECT_EQ(SLW_StrSoundexCmp(wd, w(u"Robert"), w(u"Rupert")), 4);
  SL_CloseLocale(&wd);
}

TEST_F(Casemap, MultiByteTextStepsWholeCharacters) {
  hlocale m = Fixture(3);
  // 0x81 0x61 is one character: its trail byte "a" is no letter to upper-case.
  char s[] = "\x81" "ab";
  EXPECT_STREQ(SLM_StrUpper(m, s), "\x81" "aB");
  const char* text = "\x81" "axa";
  EXPECT_EQ(SLM_StrChri(m, text, 'A'), text + 3);
  EXPECT_EQ(SLM_StrStr(m, text, "a"), text + 3);
  EXPECT_EQ(SLM_StrChrLast(m, text, 0x8161), text);
  char fill[] = "abc";
  EXPECT_STREQ(SLM_StrSet(m, fill, 0x8140), "\x81\x40");
  SL_CloseLocale(&m);
}

TEST(InternationalSettings, FieldsComeFromTheHiveAndAbsentOnesStayCleared) {
  testing_support::TempRoot root;
  namespace reg = platform::registry;
  reg::Key key;
  ASSERT_EQ(reg::CreateKey(reg::Hive::CurrentUser, "Control Panel\\International", key), reg::kSuccess);
  key.SetString("sLanguage", "ENU");
  key.SetString("sCountry", "United States");
  key.SetString("iDate", "1");
  key.SetString("iNegCurr", "-2");
  key.SetString("sLongDate", std::string(40, 'L'));  // cut to its field
  key.SetString("iTimePrefix", "258");
  slw::IntlRecord r;
  r.fill(0xAA);
  slw::ReadInternationalSettings(r);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[0])), "ENU");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[5])), "United States");
  EXPECT_EQ(r[37] | r[38] << 8, 0);  // iCountry absent
  EXPECT_EQ(r[39] | r[40] << 8, 1);
  EXPECT_EQ(static_cast<int16_t>(r[49] | r[50] << 8), -2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[111])), std::string(31, 'L'));
  EXPECT_EQ(r[142], 0);
  EXPECT_EQ(r[143] | r[144] << 8, 258);
  EXPECT_EQ(r[57], 0);  // s1159 absent
}

}  // namespace

namespace {

TEST_F(Casemap, PlatformCollationOrdersByTheCollatorAndEqualIsEqual) {
  hlocale n = SLN_GetSysLocale();
  EXPECT_EQ(_SLN_PlatformStrCollate(n, "abc", "abc"), 0);
  EXPECT_EQ(_SLN_PlatformStrCollate(n, "apple", "Banana"), -1);  // not by codes: "B" < "a"
  EXPECT_EQ(_SLN_PlatformStrCollate(n, "c\xF4te", "cote"), 1);
  EXPECT_EQ(_SLN_PlatformStrnCollate(n, "abcX", "abcY", 3), 0);
  EXPECT_EQ(_SLN_PlatformStrnCollate(n, "ab", "abc", 5), -1);
}

}  // namespace

namespace {

hlocale g_seen = nullptr;
int16_t FixedCollate(hlocale h, const void*, const void*) {
  g_seen = h;
  return 42;
}

TEST_F(Casemap, AReplacedCollationIsCalledWithTheHandleFirstAndANullOneChangesNothing) {
  hlocale h = Fixture(1);
  const int16_t before = SLN_StrCollate(h, "a", "b");
  EXPECT_EQ(SLN_SetCollationFn(h, nullptr), 0x0607);
  EXPECT_EQ(SLN_StrCollate(h, "a", "b"), before);
  EXPECT_EQ(SLN_SetCollationFn(h, FixedCollate), 0);
  EXPECT_EQ(SLN_StrCollate(h, "a", "b"), 42);
  EXPECT_EQ(g_seen, h);
  SL_CloseLocale(&h);
}

}  // namespace
