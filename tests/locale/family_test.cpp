// The three families: locale items, conventions records, character classes,
// string primitives, character access and the category loaders.
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "categories.h"
#include "locale_object.h"
#include "slw32.h"
#include "sllc_writer.h"
#include "temp_root.h"

namespace {

// The conventions records keep their byte positions.
static_assert(sizeof(SL_CONVINFO) == 66);
static_assert(offsetof(SL_CONVINFO, intlSymbol) == 14 && offsetof(SL_CONVINFO, monGrouping) == 28);
static_assert(offsetof(SL_CONVINFO, values) == 48 && offsetof(SL_CONVINFO, listSeparator) == 61);
static_assert(sizeof(SL_WCONVINFO) == 104 && sizeof(SL_MCONVINFO) == 104);
static_assert(offsetof(SL_WCONVINFO, grouping) == 8 && offsetof(SL_WCONVINFO, intlSymbol) == 18);
static_assert(offsetof(SL_WCONVINFO, monDecimalPoint) == 38 && offsetof(SL_WCONVINFO, monGrouping) == 46);
static_assert(offsetof(SL_WCONVINFO, negativeSign) == 66 && offsetof(SL_WCONVINFO, values) == 76);
static_assert(offsetof(SL_WCONVINFO, exponent) == 84 && offsetof(SL_WCONVINFO, listSeparator) == 94);
static_assert(offsetof(SL_MCONVINFO, monThousands) == 42 && offsetof(SL_MCONVINFO, exponent) == 84);

class Families : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(_SL_InitClient(1, 1, 1), 0); }
  void TearDown() override { SL_Exit(); }

  // Writes a library and makes it the current one.
  void Use(const std::string& source) {
    std::string error;
    std::filesystem::path file = root_.path() / ("F" + std::to_string(files_++) + ".SLL");
    ASSERT_TRUE(sllc::Compile(source, file.string(), false, error)) << error;
    ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
  }

  testing_support::TempRoot root_;
  int files_ = 0;
};

hlocale System(int family) {
  return family == 1 ? SLN_GetSysLocale() : family == 2 ? SLW_GetSysLocale() : SLM_GetSysLocale();
}

// An item as text (the wide family's units narrowed); "!status" on failure.
std::string ItemText(hlocale h, uint16_t item) {
  uint8_t out[600];
  std::memset(out, 0xAA, sizeof out);
  LocaleStatus s = SL_GetLocaleItem(h, out, item);
  if (s != 0) return "!" + std::to_string(s);
  const slw::CLocale* l = slw::FromHandle(h);
  std::string text;
  if (l->family() == 2) {
    for (std::size_t i = 0; out[2 * i] != 0 || out[2 * i + 1] != 0; ++i)
      text.push_back(static_cast<char>(out[2 * i] | out[2 * i + 1] << 8));
  } else {
    text = reinterpret_cast<const char*>(out);
  }
  return text;
}

TEST_F(Families, SystemLocalesAnswerEveryItem) {
  struct Case {
    uint16_t item;
    std::string text;
  } cases[] = {
      {1, "Sun"}, {7, "Sat"}, {8, "Sunday"}, {14, "Saturday"}, {15, "Jan"}, {26, "Dec"},
      {28, "January"}, {39, "December"}, {41, "AM"}, {42, "PM"}, {43, "%a %b %d %X %Z %Y"},
      {44, "%a %b %d"}, {45, "%I:%M:%S"}, {46, "%I:%M:%S %p"}, {47, ""}, {48, ""}, {49, ""},
      {64, ""}, {65, ""}, {80, ""}, {113, ""}, {114, ""}, {115, ""}, {128, "."}, {129, ""},
      {130, "E"}, {131, ""}, {148, ""}, {149, ""}, {150, ""}, {151, ""}, {152, ""}, {153, ""},
      {180, "yY"}, {181, "nN"}, {182, "POSIX"},
      {256, "POSIX;POSIX;POSIX;POSIX;POSIX;POSIX;POSIX;POSIX;POSIX;"},
      // Unknown items.
      {0, "!1031"}, {27, "!1031"}, {40, "!1031"}, {116, "!1031"}, {127, "!1031"}, {132, "!1031"},
      {147, "!1031"}, {154, "!1031"}, {179, "!1031"}, {183, "!1031"}, {255, "!1031"}, {257, "!1031"},
  };
  for (int family = 1; family <= 3; ++family)
    for (const Case& c : cases) EXPECT_EQ(ItemText(System(family), c.item), c.text) << family << " item " << c.item;
  // Era dates of absent eras are four zero bytes; an unknown item leaves the output alone.
  for (int family = 1; family <= 3; ++family) {
    uint8_t out[8];
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(SL_GetLocaleItem(System(family), out, 81), 0);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 5), (std::vector<uint8_t>{0, 0, 0, 0, 0xAA}));
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(SL_GetLocaleItem(System(family), out, 40), 0x0407);
    EXPECT_EQ(out[0], 0xAA);
  }
  EXPECT_EQ(SL_GetLocaleItem(reinterpret_cast<hlocale>(this), nullptr, 1), 0x0307);
}

TEST_F(Families, ConventionsRecordsOfTheBuiltInCategories) {
  SL_CONVINFO n;
  std::memset(&n, 0x55, sizeof n);
  ASSERT_EQ(SLN_GetConvInfo(SLN_GetSysLocale(), &n), 0);
  SL_CONVINFO wantN{};
  wantN.decimalPoint[0] = '.';
  wantN.exponent[0] = 'E';
  std::memset(wantN.values, 255, 8);
  EXPECT_EQ(std::memcmp(&n, &wantN, sizeof n), 0);

  SL_WCONVINFO w;
  std::memset(&w, 0x55, sizeof w);
  ASSERT_EQ(SLW_GetConvInfo(SLW_GetSysLocale(), &w), 0);
  SL_WCONVINFO wantW{};
  wantW.decimalPoint[0] = u'.';
  wantW.exponent[0] = u'E';
  std::memset(wantW.values, 255, 8);
  EXPECT_EQ(std::memcmp(&w, &wantW, sizeof w), 0);

  SL_MCONVINFO m;
  std::memset(&m, 0x55, sizeof m);
  ASSERT_EQ(SLM_GetConvInfo(SLM_GetSysLocale(), &m), 0);
  SL_MCONVINFO wantM{};
  wantM.decimalPoint[0] = '.';
  wantM.exponent[0] = 'E';
  std::memset(wantM.values, 255, 8);
  EXPECT_EQ(std::memcmp(&m, &wantM, sizeof m), 0);

  // A record of another family is refused.
  EXPECT_EQ(SLN_GetConvInfo(SLW_GetSysLocale(), &n), 0x0307);
  EXPECT_EQ(SLW_GetConvInfo(SLM_GetSysLocale(), &w), 0x0307);
}

TEST_F(Families, ClassTestsOfTheBuiltInTable) {
  struct Case {
    uint16_t code;
    uint32_t mask;
    int narrow, wide;  // the multi-byte family answers as the wide one
  } cases[] = {
      {' ', 1, 1, 1},     {' ', 128, 1, 1},  {'\t', 1, 1, 1},   {'\t', 32, 1, 1},  {'\t', 128, 0, 0},
      {'7', 2, 1, 1},     {'7', 16, 1, 1},   {'a', 4, 1, 1},    {'a', 16, 1, 1},   {'g', 16, 0, 0},
      {'Z', 8, 1, 1},     {'Z', 4, 0, 0},    {'!', 64, 1, 1},   {127, 32, 1, 1},   {200, 0xFFFF, 0, 0},
      {0x141, 8, 1, 0},   // narrow takes the low byte ("A"); no wide page 1
      {'a', 0x80000000u, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SLN_IsClass(SLN_GetSysLocale(), c.code, c.mask), c.narrow) << c.code << " " << c.mask;
    EXPECT_EQ(SLW_IsClass(SLW_GetSysLocale(), c.code, c.mask), c.wide) << c.code << " " << c.mask;
    EXPECT_EQ(SLM_IsClass(SLM_GetSysLocale(), c.code, c.mask), c.wide) << c.code << " " << c.mask;
  }
  EXPECT_EQ(SLN_GetCharClass(SLN_GetSysLocale(), 'A'), 24u);
  EXPECT_EQ(SLW_GetCharClass(SLW_GetSysLocale(), '\r'), 33u);
  EXPECT_EQ(SLM_GetCharClass(SLM_GetSysLocale(), ' '), 129u);
  struct Str {
    const char* text;
    uint32_t mask;
    int result;
  } strings[] = {{"", 0, 1}, {"", 2, 1}, {"123", 2, 1}, {"12a", 2, 0}, {"abcDEF", 16, 1}, {" \t", 1, 1}};
  for (const Str& s : strings) {
    EXPECT_EQ(SLN_IsStrClass(SLN_GetSysLocale(), s.text, s.mask), s.result) << s.text;
    EXPECT_EQ(SLM_IsStrClass(SLM_GetSysLocale(), s.text, s.mask), s.result) << s.text;
    std::u16string wide(s.text, s.text + std::strlen(s.text));
    EXPECT_EQ(SLW_IsStrClass(SLW_GetSysLocale(), wide.c_str(), s.mask), s.result) << s.text;
  }
  // A handle of another family answers no class.
  EXPECT_EQ(SLN_IsClass(SLW_GetSysLocale(), 'a', 4), 0);
}

TEST_F(Families, NarrowAndWidePrimitives) {
  char n[8];
  std::memset(n, 'x', sizeof n);
  SLN_StrnCpy(n, "abc", 5);
  EXPECT_EQ(std::memcmp(n, "abc\0\0x", 6), 0);
  std::memset(n, 'x', sizeof n);
  SLN_StrnCpy(n, "abc", 2);
  EXPECT_EQ(std::memcmp(n, "abx", 3), 0);  // not terminated
  SLN_StrCpy(n, "ab");
  SLN_StrnCat(n, "cdef", 2);
  EXPECT_STREQ(n, "abcd");
  SLN_StrCat(n, "e");
  EXPECT_STREQ(n, "abcde");
  EXPECT_EQ(SLN_StrLen(n), 5);
  EXPECT_EQ(SLN_StrChr(n, 'c'), n + 2);
  EXPECT_EQ(SLN_StrChr(n, 0), n + 5);
  EXPECT_EQ(SLN_StrChr(n, 'z'), nullptr);
  EXPECT_EQ(SLN_BufferLen("ab\0d", 4), 2);
  EXPECT_EQ(SLN_BufferLen("abcd", 3), 3);
  EXPECT_EQ(SLN_MemSet(n, '-', 3), 0);
  EXPECT_EQ(std::string(n, 3), "---");

  struct Match {
    const char* a;
    const char* b;
    uint16_t count;
    int narrow, narrowN, wide, wideN;
  } matches[] = {
      {"ab", "ab", 10, 0, 0, 0, 0},      {"ab", "ac", 10, -1, -1, -1, -1}, {"b", "a", 1, 1, 1, 1, 1},
      {"abc", "abd", 2, -1, 0, -1, 0},   {"ab", "abc", 10, -99, -99, -1, -1}, {"x", "y", 0, -1, 0, -1, 0},
      {"\xE9", "e", 5, 0xE9 - 'e', 0xE9 - 'e', 1, 1},
  };
  hlocale nl = SLN_GetSysLocale(), wl = SLW_GetSysLocale();
  for (const Match& m : matches) {
    std::u16string a(m.a, m.a + std::strlen(m.a)), b(m.b, m.b + std::strlen(m.b));
    for (char16_t& c : a) c = static_cast<uint8_t>(c);
    for (char16_t& c : b) c = static_cast<uint8_t>(c);
    EXPECT_EQ(SLN_StrMatch(nl, m.a, m.b), m.narrow) << m.a << " " << m.b;
    EXPECT_EQ(SLN_StrnMatch(nl, m.a, m.b, m.count), m.narrowN) << m.a << " " << m.b;
    EXPECT_EQ(SLW_StrMatch(wl, a.c_str(), b.c_str()), m.wide) << m.a << " " << m.b;
    EXPECT_EQ(SLW_StrnMatch(wl, a.c_str(), b.c_str(), m.count), m.wideN) << m.a << " " << m.b;
  }

  SL_WCHAR w[8];
  std::fill(std::begin(w), std::end(w), u'x');
  SLW_StrnCpy(w, u"abc", 5);
  EXPECT_EQ(std::u16string(w, 6), std::u16string(u"abc\0\0x", 6));
  SLW_StrCpy(w, u"ab");
  SLW_StrnCat(w, u"cdef", 3);
  EXPECT_EQ(std::u16string(w), u"abcde");
  SLW_StrCat(w, u"f");
  EXPECT_EQ(SLW_StrLen(w), 6);
  EXPECT_EQ(SLW_StrChr(w, u'\u0163'), nullptr);
  EXPECT_EQ(SLW_StrChr(w, 0), w + 6);
  const char16_t buffer[] = u"ab\0d";
  EXPECT_EQ(SLW_BufferLen(buffer, 8), 2);
  EXPECT_EQ(SLW_BufferLen(buffer, 3), 1);  // whole units only
  SLW_MemSet(w, u'\u4E00', 2);
  EXPECT_EQ(w[0], u'\u4E00');
  EXPECT_EQ(w[1], u'\u4E00');
}

// A multi-byte locale with lead byte 0x81, and the narrow and wide families
// over the same steps.
constexpr const char* kMulti =
    "locale mb_MB.SJIS\n  family 3\n  leadbytes 0x81\n"
    "  category 2 mb_MB.SJIS\n    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank toupper,tolower\n"
    "locale plain_MB\n  family 3\n"
    "  category 2 plain_MB\n    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank toupper,tolower\n";

TEST_F(Families, MultiByteCharacterAccessAndPrimitives) {
  Use(kMulti);
  hlocale mb = nullptr, plain = nullptr;
  ASSERT_EQ(SL_OpenLocale(&mb, 2, "mb_MB.SJIS"), 0);
  ASSERT_EQ(SL_OpenLocale(&plain, 2, "plain_MB"), 0);
  const char s[] = "\x81\x40\x41";
  EXPECT_EQ(SL_IsFirstByte(mb, s), 1);
  EXPECT_EQ(SL_IsFirstByte(mb, s + 1), 0);
  EXPECT_EQ(SL_IsFirstByte(plain, s), 0);
  EXPECT_EQ(SL_IsCharFirstByte(mb, 0x8140), 1);
  EXPECT_EQ(SL_IsCharFirstByte(mb, 0x4140), 0);
  EXPECT_EQ(SL_NextChar(mb, s), s + 2);
  EXPECT_EQ(SL_NextChar(plain, s), s + 1);
  EXPECT_EQ(SL_PrevChar(mb, s, s + 2), s);
  EXPECT_EQ(SL_PrevChar(mb, s, s + 1), s);  // inside a character: its start
  EXPECT_EQ(SL_PrevChar(mb, s, s + 3), s + 2);
  EXPECT_EQ(SL_PrevChar(mb, s, s), s);
  EXPECT_EQ(SL_GetChar(mb, s), 0x8140);
  const char* p = s;
  EXPECT_EQ(SL_GetCharNext(mb, &p), 0x8140);
  EXPECT_EQ(p, s + 2);
  p = s;
  EXPECT_EQ(SL_NextGetChar(mb, &p), 0x41);
  p = s + 2;
  EXPECT_EQ(SL_GetCharPrev(mb, s, &p), 0x41);
  EXPECT_EQ(p, s);
  p = s + 2;
  EXPECT_EQ(SL_PrevGetChar(mb, s, &p), 0x8140);
  // A lead byte before the terminator is a character of its own: no step passes the end.
  const char cut[] = "a\x81";
  EXPECT_EQ(SL_NextChar(mb, cut + 1), cut + 2);
  EXPECT_EQ(SLM_StrLen(mb, cut), 2);

  char out[8] = {};
  EXPECT_EQ(SL_PutChar(mb, out, 0x8140), out + 2);
  EXPECT_EQ(std::string(out), "\x81\x40");
  std::memset(out, 0, sizeof out);
  EXPECT_EQ(SL_PutChar(plain, out, 0x8140), out + 1);
  EXPECT_EQ(std::string(out), "\x40");

  // The narrow and wide steps.
  hlocale nl = SLN_GetSysLocale(), wl = SLW_GetSysLocale();
  EXPECT_EQ(SL_NextChar(nl, s), s + 1);
  EXPECT_EQ(SL_NextChar(wl, s), s + 2);
  EXPECT_EQ(SL_PrevChar(wl, s, s + 1), s);
  EXPECT_EQ(SL_GetChar(wl, "\x12\x34"), 0x1234);
  EXPECT_EQ(SL_GetChar(nl, "\x81\x34"), 0x81);

  // Primitives count characters.
  EXPECT_EQ(SLM_StrLen(mb, s), 2);
  EXPECT_EQ(SLM_StrLen(plain, s), 3);
  EXPECT_EQ(SLM_BufferLen(mb, s, 2), 1);
  EXPECT_EQ(SLM_BufferLen(mb, s, 1), 1);
  EXPECT_EQ(SLM_BufferLen(mb, s, 3), 2);
  EXPECT_EQ(SLM_StrChr(mb, s, 0x41), s + 2);
  EXPECT_EQ(SLM_StrChr(mb, s, 0x40), nullptr);  // a trail byte is no character
  EXPECT_EQ(SLM_StrChr(plain, s, 0x40), s + 1);
  EXPECT_EQ(SLM_StrChr(mb, s, 0), nullptr);
  char copy[8];
  std::memset(copy, 'x', sizeof copy);
  EXPECT_EQ(SLM_StrnCpy(mb, copy, s, 1), 1);
  EXPECT_EQ(std::string(copy), "\x81\x40");
  EXPECT_EQ(SLM_StrnCpy(mb, copy, s, 9), 2);
  EXPECT_EQ(std::string(copy), s);
  SLM_StrCpy(mb, copy, "z");
  SLM_StrnCat(mb, copy, s, 1);
  EXPECT_EQ(std::string(copy), "z\x81\x40");
  SLM_StrCat(mb, copy, "!");
  EXPECT_EQ(std::string(copy), "z\x81\x40!");
  EXPECT_EQ(SLM_StrMatch(mb, "ab", "ab"), 0);
  EXPECT_EQ(SLM_StrMatch(mb, "ab", "b"), -1);
  EXPECT_EQ(SLM_StrnMatch(mb, "\x81\x40x", "\x81\x40y", 1), 0);
  EXPECT_EQ(SLM_StrnMatch(mb, "\x81\x40x", "\x81\x40y", 2), -1);
  EXPECT_EQ(SLM_StrnMatch(mb, "\x81\x41", "A", 5), 1);
  std::memset(copy, 0, sizeof copy);
  SLM_MemSet(mb, copy, 0x8140, 2);
  SLM_MemSet(mb, copy + 4, 'q', 2);
  EXPECT_EQ(std::string(copy), "\x81\x40\x81\x40qq");
  // Class tests step by character: the trail byte 0x20 is no blank.
  EXPECT_EQ(SLM_IsStrClass(mb, "\x81\x20", 128), 0);
  EXPECT_EQ(SLM_IsStrClass(plain, " ", 128), 1);
  SL_CloseLocale(&mb);
  SL_CloseLocale(&plain);
}

}  // namespace
