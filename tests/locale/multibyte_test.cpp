// The multi-byte exports over strings with lead bytes: a trail byte that
// looks like a letter, a blank, a delimiter or "%" is part of its character,
// never a character of its own.
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "slw32.h"
#include "soundex_fixture.h"
#include "sllc_writer.h"
#include "temp_root.h"

namespace {

class MultiByte : public ::testing::Test {
 protected:
  // Lead byte 0x81; 0x8161 is a lower-case letter whose upper case is
  // 0x8141; the classic soundex table for the ASCII letters.
  void SetUp() override {
    ASSERT_EQ(_SL_InitClient(1, 1, 1), 0);
    std::string s =
        "locale mb_MB.SJIS\n  family 3\n  leadbytes 0x81\n"
        "  category 2 mb_MB.SJIS\n"
        "    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank toupper,tolower\n"
        "    class 0x8161 4\n    class 0x8141 8\n    map 0 0x8161 0x8141\n    map 1 0x8141 0x8161\n"
        "  category 8 mb_MB.SJIS\n    monetary \"JPY \" \"\\x81\\x8F\" , . \"\\x03\" \"\" - 0 0 1 0 1 0 1 1\n"
        "  category 16 mb_MB.SJIS\n    numeric . , \"\\x03\" E ;\n"
        "  category 64 mb_MB.SJIS\n";
    s += ClassicSoundexLines();
    std::string error;
    std::filesystem::path file = root_.path() / "M.SLL";
    ASSERT_TRUE(sllc::Compile(s, file.string(), false, error)) << error;
    ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
    ASSERT_EQ(SL_OpenLocale(&h_, 2 | 64, "mb_MB.SJIS"), 0);
  }
  void TearDown() override {
    SL_CloseLocale(&h_);
    SL_Exit();
  }

  testing_support::TempRoot root_;
  hlocale h_ = nullptr;
};

TEST_F(MultiByte, TokensSplitOnWholeCharacters) {
  char text[] = ",,a,b";
  EXPECT_STREQ(SLM_StrScanForTokens(h_, text, ","), "a");
  EXPECT_STREQ(SLM_StrScanForTokens(h_, nullptr, ","), "b");
  EXPECT_EQ(SLM_StrScanForTokens(h_, nullptr, ","), nullptr);
  EXPECT_EQ(SLM_StrScanForTokens(h_, nullptr, ","), nullptr);

  // The trail byte "," of 0x812C is no delimiter; a two-byte delimiter is
  // stepped over whole.
  char trail[] = "x\x81,y,z";
  EXPECT_STREQ(SLM_StrScanForTokens(h_, trail, ","), "x\x81,y");
  EXPECT_STREQ(SLM_StrScanForTokens(h_, nullptr, ","), "z");
  char wide[] = "p\x81\x40q";
  EXPECT_STREQ(SLM_StrScanForTokens(h_, wide, "\x81\x40"), "p");
  EXPECT_STREQ(SLM_StrScanForTokens(h_, nullptr, "\x81\x40"), "q");
  // A delimiter "@" (0x40) does not split 0x8140.
  char at[] = "\x81\x40@r";
  EXPECT_STREQ(SLM_StrScanForTokens(h_, at, "@"), "\x81\x40");
  EXPECT_EQ(SLM_StrScanForTokens(nullptr, at, "@"), nullptr);
}

TEST_F(MultiByte, SoundexReadsAndWritesWholeCharacters) {
  char code[8];
  EXPECT_STREQ(SLM_StrSoundex(h_, code, "Robert"), "R163");
  EXPECT_STREQ(SLM_StrSoundex(h_, code, "  Tymczak"), "T522");
  // A two-byte letter is upper-cased and written as two bytes.
  EXPECT_STREQ(SLM_StrSoundex(h_, code, "\x81\x61obert"), "\x81\x41" "163");
  EXPECT_STREQ(SLM_StrnSoundex(h_, code, "\x81\x61" "bbrt", 2), "\x81\x41" "100");
  // A trail byte 0x20 is no blank, and 0x8120 no letter.
  EXPECT_STREQ(SLM_StrSoundex(h_, code, "\x81 Robert"), "0000");
  // A trail letter is no letter of the word: the scan ends at 0x8142.
  EXPECT_STREQ(SLM_StrSoundex(h_, code, "Ro\x81\x42" "bert"), "R000");
  EXPECT_EQ(SLM_ToSoundex(h_, 'B'), 1);
  EXPECT_EQ(SLM_ToSoundex(h_, 0x8142), 0);
  EXPECT_EQ(SLM_StrSoundexCmp(h_, "Robert", "Rupert"), 4);
  EXPECT_EQ(SLM_StrSoundexCmp(h_, "\x81\x61obert", "\x81\x41obert"), 4);
  EXPECT_LT(SLM_StrSoundexCmp(h_, "Robert", "Tymczak"), 4);
  EXPECT_EQ(SLM_StrnSoundexCmp(h_, "Robert", "Robinson", 3), 4);
  EXPECT_STREQ(SLM_StrSoundex(nullptr, code, "Robert"), "0000");
}

TEST_F(MultiByte, CaseAndTranslationKeepTrailBytes) {
  EXPECT_EQ(SLM_ToUpper(h_, 0x8161), 0x8141);
  EXPECT_EQ(SLM_ToTranslation(h_, 0x8141, 1), 0x8161);
  char s[] = "\x81\x61" "a\x81" "a";  // the last lead byte stands before the terminator
  EXPECT_STREQ(SLM_StrnUpper(h_, s, 2), "\x81\x41" "A\x81" "a");
  char out[16];
  EXPECT_EQ(SLM_StrUpperEx(h_, out, "\x81\x61z", sizeof out), 0);
  EXPECT_STREQ(out, "\x81\x41Z");
  EXPECT_EQ(SLM_StrnUpperEx(h_, out, "\x81\x61z", 1, sizeof out), 0);
  EXPECT_STREQ(out, "\x81\x41");
  EXPECT_EQ(SLM_StrLowerEx(h_, out, "\x81\x41Q", sizeof out), 0);
  EXPECT_STREQ(out, "\x81\x61q");
  EXPECT_EQ(SLM_StrnLowerEx(h_, out, "\x81\x41Q", 1, sizeof out), 0);
  char lower[] = "\x81\x41" "A";
  EXPECT_STREQ(SLM_StrLower(h_, lower), "\x81\x61" "a");
  EXPECT_EQ(SLM_StrTranslation(h_, out, "\x81\x41" "B", 1, sizeof out), 0);
  EXPECT_STREQ(out, "\x81\x61" "b");
  EXPECT_EQ(SLM_StrnTranslation(h_, out, "\x81\x41" "B", 1, 1, sizeof out), 0);
  EXPECT_STREQ(out, "\x81\x61");
  // Trail "a" (0x8161) and "A" (0x8141) match without case; neither matches "a".
  EXPECT_EQ(SLM_StrnMatchi(h_, "\x81\x61x", "\x81\x41y", 1), 0);
  EXPECT_NE(SLM_StrnMatchi(h_, "\x81\x61", "a", 1), 0);
  EXPECT_EQ(SLM_QStrMatchi(h_, "\x81\x61", "\x81\x41"), 0);
  EXPECT_EQ(SLM_StrMatchEx(h_, "\x81\x41", "\x81\x61", 1), 0);
  EXPECT_NE(SLM_StrMatchEx(h_, "\x81\x41", "\x81\x61", 7), 0);
}

TEST_F(MultiByte, ScansTrimsAndFillsStepByCharacter) {
  // A trail byte 0x20 at the end is not trimmed; a single blank is.
  char trail[] = "ab\x81 ";
  EXPECT_STREQ(SLM_StrTrimClassEnd(h_, trail, 1), "ab\x81 ");
  char out[16];
  EXPECT_STREQ(SLM_StrTrimClassStartStr(h_, out, " \x81 x", 1), "\x81 x");
  const char* commas = "\x81,,";
  EXPECT_EQ(SLM_StrScanForChars(h_, commas, ","), commas + 2);
  EXPECT_EQ(SLM_IsStrAscii("a\x81\x41"), 0);
  EXPECT_EQ(SLM_IsAscii(0x8141), 0);
  EXPECT_EQ(SLM_IsAscii('A'), 1);
  char set[] = "abcde";
  EXPECT_STREQ(SLM_StrnSet(h_, set, 0x8141, 5), "\x81\x41\x81\x41");  // the odd byte ends the string
  // The first lower-case character: 0x8162 (trail "b") is none.
  const char* letters = "1\x81\x62z";
  EXPECT_EQ(SLM_StrScanForClass(h_, letters, 4, 0), letters + 3);
  EXPECT_EQ(SLM_StrScanForClass(h_, letters, 2, 1), letters + 1);
  EXPECT_EQ(SLM_IsClass(h_, 0x8161, 4), 1);
  EXPECT_EQ(SLM_IsStrClass(h_, "\x81\x61" "a", 4), 1);
}

TEST_F(MultiByte, FormatsTakeATwoByteCharacterAsText) {
  SL_TIME t{3, 5, 9, 5, 2, 1996, 2, 64, 0, 0};
  char out[64];
  ASSERT_GT(SLM_FmtStrTime(h_, out, "\x81%d|%d", &t, sizeof out), 0);
  EXPECT_STREQ(out, "\x81%d|05");
  SL_ALTTIME alt{};
  alt.year = 1996;
  ASSERT_GT(SLM_FmtStrAltTime(h_, out, "\x81%Y|%Y", &alt, sizeof out), 0);
  EXPECT_STREQ(out, "\x81%Y|1996");
  EXPECT_EQ(_SLM_FmtStrPrint(h_, out, "\x81%d|%d", 7), 4);  // characters
  EXPECT_STREQ(out, "\x81%d|7");
  int32_t value = 0;
  EXPECT_EQ(SLM_StrLong(h_, "42", &value), 0);
  EXPECT_EQ(value, 42);
  SL_BCD bcd{};
  EXPECT_EQ(SLM_StrBCD(h_, "-1.5", &bcd), 0);
}

// The double-byte currency symbol makes an amount of the monetary decimal
// comma; its bytes across two characters are no symbol.
TEST_F(MultiByte, StrBCDFindsADoubleByteCurrencySymbol) {
  hlocale money = nullptr;
  ASSERT_EQ(SL_OpenLocale(&money, 2 | 8 | 16, "mb_MB.SJIS"), 0);
  struct Case {
    const char* text;
    uint8_t precision, signScale;
  } cases[] = {
      {"\x81\x8F" "1.234,5", 5, 0x01},
      {"-1.234,5 \x81\x8F", 5, 0x81},
      {"1,234.5", 5, 0x01},
      {"\x81\x81\x8F" "1.234,5", 4, 0x03},
  };
  for (const Case& c : cases) {
    SL_BCD bcd{};
    EXPECT_EQ(SLM_StrBCD(money, c.text, &bcd), 0) << c.text;
    EXPECT_EQ(bcd.precision, c.precision) << c.text;
    EXPECT_EQ(bcd.signScale, c.signScale) << c.text;
    EXPECT_EQ(bcd.digits[0], 0x12) << c.text;
  }
  SL_CloseLocale(&money);
}

int16_t g_calls = 0;
int16_t Reversed(hlocale, const void* a, const void* b) {
  ++g_calls;
  return static_cast<int16_t>(-std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b)));
}

TEST_F(MultiByte, CodeOrderComparesCharacterCodesNotBytes) {
  // 0x8140 is one character above the single byte 0x82 (the byte order says
  // otherwise).
  EXPECT_EQ(_SLM_StrCharCompare(h_, "\x81\x40", "\x82"), 1);
  EXPECT_EQ(_SLM_StrnCharCompare(h_, "\x81\x40x", 1, "\x81\x40y", 1), 0);
  EXPECT_EQ(SLM_StrCollate(h_, "\x81\x40", "\x82"), 1);
  EXPECT_EQ(_SLM_BufferCharCompare(h_, "\x81\x40", 2, "\x82", 1), 1);
  SL_WCHAR key[8] = {};
  EXPECT_EQ(_SLM_StrCharTransform(h_, key, "\x81\x40z", 8), 2);
  char copy[8];
  EXPECT_EQ(_SLM_StrSysTransform(h_, copy, "\x81\x40", sizeof copy), 3);
  EXPECT_EQ(_SLM_StrnSysTransform(h_, copy, "\x81\x40", 1, sizeof copy), 1);
  EXPECT_EQ(__SLM_StrDbaseCharCompare(h_, "\x81\x40", 2, "\x82", 1, 1), 1);

  ASSERT_EQ(SLM_SetCollationFn(h_, &Reversed), 0);
  EXPECT_EQ(SLM_StrCollate(h_, "a", "b"), 1);
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(SLM_SetCollationFn(h_, nullptr), 0x0607);
  ASSERT_EQ(SLM_SetnCollationFn(h_, [](hlocale, const void*, uint16_t na, const void*, uint16_t nb) {
              return static_cast<int16_t>(na - nb);
            }), 0);
  EXPECT_EQ(SLM_StrnCollate(h_, "\x81\x40", 1, "ab", 2), -1);
  ASSERT_EQ(SLM_SetTransformFn(h_, [](hlocale, void*, const void*, uint16_t size) { return size; }), 0);
  EXPECT_EQ(SLM_StrTransform(h_, key, "\x81\x40", 4), 4);
  ASSERT_EQ(SLM_SetnTransformFn(h_, [](hlocale, void*, const void*, uint16_t n, uint16_t) { return n; }), 0);
  EXPECT_EQ(SLM_StrnTransform(h_, key, "\x81\x40", 1, 4), 1);
}

int Print(hlocale h, char* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = SLM_VFmtStrPrint(h, out, format, args);
  va_end(args);
  return n;
}

TEST_F(MultiByte, PrintfAndScannersOverTwoByteText) {
  char out[32];
  EXPECT_EQ(Print(h_, out, "%s\x81%s", "\x81\x40", "x"), 3);
  EXPECT_STREQ(out, "\x81\x40\x81%s");
  double d = 0;
  EXPECT_EQ(SLM_StrDouble(h_, "2.5", &d), 0);
  EXPECT_EQ(d, 2.5);
}

}  // namespace
