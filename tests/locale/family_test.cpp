// The three families: locale items, conventions records, character classes,
// string primitives, character access and the category loaders.
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "categories.h"
#include "client.h"
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

  // Compiles a library, overwrites the first `written` bytes of its image
  // with `full` (a field the compiler always terminates, made full) and
  // makes it the current one.
  void UsePatched(const std::string& source, const std::string& written, const std::string& full) {
    sllc::LibrarySpec spec;
    std::string error;
    ASSERT_TRUE(sllc::Parse(source, spec, error)) << error;
    std::vector<uint8_t> bytes = sllc::Build(spec);
    std::string image(bytes.begin(), bytes.end());
    std::size_t at = image.find(written);
    ASSERT_NE(at, std::string::npos);
    image.replace(at, full.size(), full);
    std::filesystem::path file = root_.path() / ("P" + std::to_string(files_++) + ".SLL");
    std::ofstream(file, std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
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
  // The system locales belong to the thread that started the library.
  for (int family = 1; family <= 3; ++family) EXPECT_EQ(slw::FromHandle(System(family))->ownerThread, slw::CurrentThreadId());
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
  SLM_StrCpy(copy, "z");
  SLM_StrnCat(mb, copy, s, 1);
  EXPECT_EQ(std::string(copy), "z\x81\x40");
  SLM_StrCat(copy, "!");
  EXPECT_EQ(std::string(copy), "z\x81\x40!");
  EXPECT_EQ(SLM_StrMatch(mb, "ab", "ab"), 0);
  EXPECT_EQ(SLM_StrMatch(mb, "ab", "b"), -1);
  EXPECT_EQ(SLM_StrnMatch(mb, "\x81\x40x", "\x81\x40y", 1), 0);
  EXPECT_EQ(SLM_StrnMatch(mb, "\x81\x40x", "\x81\x40y", 2), -1);
  EXPECT_EQ(SLM_StrnMatch(mb, "\x81\x41", "A", 5), 1);
  std::memset(copy, 0, sizeof copy);
  SLM_MemSet(copy, 0x8140, 2);
  SLM_MemSet(copy + 4, 'q', 2);
  EXPECT_EQ(std::string(copy), "\x81\x40\x81\x40qq");
  // Class tests step by character: the trail byte 0x20 is no blank.
  EXPECT_EQ(SLM_IsStrClass(mb, "\x81\x20", 128), 0);
  EXPECT_EQ(SLM_IsStrClass(plain, " ", 128), 1);
  SL_CloseLocale(&mb);
  SL_CloseLocale(&plain);
}

// A locale of every family with data in each category.
std::string FullLocale(const std::string& name, int family) {
  std::string s = "locale " + name + "\n  family " + std::to_string(family) + "\n";
  auto cat = [&](int mask) { s += "  category " + std::to_string(mask) + " " + name + "\n"; };
  cat(1);
  s += "    zeros 40\n";
  cat(2);
  s += "    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank,alpha toupper,tolower\n"
       "    class 0xE9 0x104\n    map 0 0xE9 0xC9\n    multi 0 \"\\xDF\" \"SS\"\n";
  if (family != 1) s += "    class 0x0101 0x104\n    map 0 0x0101 0x0100\n";
  cat(4);
  s += "    time\n    timetext 0 Dim\n    timetext 38 vorm.\n    timetext 47 \"before\"\n    timetext 46 %d.%m.%y\n    timetext 48 after\n"
       "    era 1989 1 8 2019 4 30 Heisei %EC%Ey\n    era 2019 5 1 2099 12 31 Reiwa \"%EC %Ey\"\n"
       "    altdigits zero one two\n";
  cat(8);
  s += "    monetary EUR EU , . 3;3 \"\" - 2 2 0 1 0 1 1 1\n";
  cat(16);
  s += "    numeric , . 3;3 e ;\n";
  cat(32);
  s += "    messages jJ nN DEUTSCH\n";
  cat(64);
  s += "    soundex BFPV 1\n    soundex CGJKQSXZ 2\n";
  cat(128);
  s += "    body 01 02 03 04\n";
  return s;
}

TEST_F(Families, CategoryRecordsLoadIntoLocalesOpenedByNameAndAreShared) {
  Use(FullLocale("de_N.WIN1252", 1) + FullLocale("de_W.UNICODE", 2) + FullLocale("de_M.SJIS", 3));
  for (const char* name : {"de_N.WIN1252", "de_W.UNICODE", "de_M.SJIS"}) {
    SCOPED_TRACE(name);
    hlocale a = nullptr, b = nullptr;
    ASSERT_EQ(SL_OpenLocale(&a, 255, name), 0);
    ASSERT_EQ(SL_OpenLocale(&b, 255, name), 0);
    const slw::CLocale* la = slw::FromHandle(a);
    for (int slot = 0; slot < 8; ++slot) EXPECT_EQ(la->categories[slot], slw::FromHandle(b)->categories[slot]);
    ASSERT_EQ(SL_CloseLocale(&a), 0);
    struct Case {
      uint16_t item;
      std::string text;
    } cases[] = {{1, "Dim"}, {2, "Mon"}, {41, "vorm."}, {42, "PM"}, {49, "Heisei"}, {50, "Reiwa"}, {51, ""},
                 {65, "%EC%Ey"}, {66, "%EC %Ey"}, {113, "before"}, {114, "after"}, {115, "%d.%m.%y"}, {128, ","}, {129, "."}, {130, "e"},
                 {131, ";"}, {148, "EUR"}, {149, "EU"}, {150, ","}, {151, "."}, {152, ""}, {153, "-"},
                 {180, "jJ"}, {181, "nN"}, {182, "DEUTSCH"}};
    for (const Case& c : cases) EXPECT_EQ(ItemText(b, c.item), c.text) << c.item;
    struct Day {
      uint16_t item;
      uint32_t day;
    } days[] = {{81, 2447535}, {82, 2458605}, {83, 0}, {97, 2458604}};
    for (const Day& d : days) {
      uint32_t got = 1;
      ASSERT_EQ(SL_GetLocaleItem(b, &got, d.item), 0);
      EXPECT_EQ(got, d.day) << d.item;
    }
    const slw::CLocale& l = *slw::FromHandle(b);
    const slw::TimeCategory* time = slw::TimeOf(l);
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->altDigits, (std::vector<slw::Text>{u"zero", u"one", u"two"}));
    const slw::CtypeCategory* ctype = slw::CtypeOf(l);
    ASSERT_NE(ctype, nullptr);
    EXPECT_EQ(ctype->ClassOf(0xE9), 0x104u);
    EXPECT_EQ(SL_GetClassValue(b, "alpha"), 256u);
    EXPECT_EQ(ctype->Translate(ctype->upperIndex(), 0xE9), 0xC9);
    EXPECT_EQ(ctype->Translate(ctype->upperIndex(), 'q'), 'Q');
    EXPECT_EQ(ctype->Translate(ctype->lowerIndex(), 'Q'), 'q');
    ASSERT_EQ(ctype->translationTables().size(), 2u);
    ASSERT_EQ(ctype->translationTables()[0].entries.size(), 1u);
    EXPECT_EQ(ctype->translationTables()[0].entries[0].target, u"SS");
    EXPECT_EQ(ctype->translationTables()[0].first[0xDF], 0);
    EXPECT_EQ(ctype->translationTables()[0].first['a'], 0xFFFF);
    if (l.family() != 1) {
      EXPECT_EQ(ctype->ClassOf(0x0101), 0x104u);
      EXPECT_EQ(ctype->Translate(0, 0x0101), 0x0100);
      EXPECT_EQ(ctype->Translate(0, 0x0202), 0x0202);  // absent page: unchanged
    }
    EXPECT_EQ(slw::SoundexOf(l)->CodeOf('B'), 1);
    EXPECT_EQ(slw::SoundexOf(l)->CodeOf('Z'), 2);
    EXPECT_EQ(slw::SoundexOf(l)->CodeOf('A'), 0);
    EXPECT_EQ(std::memcmp(SL_GetUserDefLocation(b), "\x01\x02\x03\x04", 4), 0);
    ASSERT_EQ(SL_CloseLocale(&b), 0);
  }

  hlocale n = nullptr, w = nullptr, m = nullptr;
  ASSERT_EQ(SL_OpenLocale(&n, 255, "de_N.WIN1252"), 0);
  ASSERT_EQ(SL_OpenLocale(&w, 255, "de_W.UNICODE"), 0);
  ASSERT_EQ(SL_OpenLocale(&m, 255, "de_M.SJIS"), 0);
  SL_CONVINFO cn;
  ASSERT_EQ(SLN_GetConvInfo(n, &cn), 0);
  SL_CONVINFO wantN{};
  std::memcpy(wantN.decimalPoint, ",", 1);
  std::memcpy(wantN.thousands, ".", 1);
  std::memcpy(wantN.grouping, "3;3", 3);
  std::memcpy(wantN.intlSymbol, "EUR", 3);
  std::memcpy(wantN.symbol, "EU", 2);
  std::memcpy(wantN.monDecimalPoint, ",", 1);
  std::memcpy(wantN.monThousands, ".", 1);
  std::memcpy(wantN.monGrouping, "3;3", 3);
  std::memcpy(wantN.negativeSign, "-", 1);
  const uint8_t values[8] = {2, 2, 0, 1, 0, 1, 1, 1};
  std::memcpy(wantN.values, values, 8);
  std::memcpy(wantN.exponent, "e", 1);
  std::memcpy(wantN.listSeparator, ";", 1);
  EXPECT_EQ(std::memcmp(&cn, &wantN, sizeof cn), 0);
  SL_WCONVINFO cw;
  ASSERT_EQ(SLW_GetConvInfo(w, &cw), 0);
  EXPECT_EQ(std::u16string(cw.intlSymbol), u"EUR");
  EXPECT_EQ(std::u16string(cw.decimalPoint), u",");
  EXPECT_EQ(std::string(cw.monGrouping), "3;3");
  EXPECT_EQ(std::u16string(cw.listSeparator), u";");
  EXPECT_EQ(std::memcmp(cw.values, values, 8), 0);
  SL_MCONVINFO cm;
  ASSERT_EQ(SLM_GetConvInfo(m, &cm), 0);
  EXPECT_EQ(std::string(cm.intlSymbol), "EUR");
  EXPECT_EQ(std::string(cm.thousands), ".");
  EXPECT_EQ(std::string(cm.exponent), "e");
  EXPECT_EQ(std::memcmp(cm.values, values, 8), 0);
  // Opened with LC_NUMERIC alone, the monetary part is the built-in one.
  hlocale numericOnly = nullptr;
  ASSERT_EQ(SL_OpenLocale(&numericOnly, 16, "de_N.WIN1252"), 0);
  ASSERT_EQ(SLN_GetConvInfo(numericOnly, &cn), 0);
  EXPECT_STREQ(cn.decimalPoint, ",");
  EXPECT_EQ(cn.intlSymbol[0], 0);
  EXPECT_EQ(cn.values[0], 255);
  EXPECT_EQ(ItemText(numericOnly, 41), "AM");
  // Opened with LC_TIME alone, the other items come from the built-in categories.
  hlocale timeOnly = nullptr;
  ASSERT_EQ(SL_OpenLocale(&timeOnly, 4, "de_W.UNICODE"), 0);
  EXPECT_EQ(ItemText(timeOnly, 1), "Dim");
  EXPECT_EQ(ItemText(timeOnly, 128), ".");
  EXPECT_EQ(ItemText(timeOnly, 153), "");
  EXPECT_EQ(ItemText(timeOnly, 180), "yY");
  // Packed decimals read numbers and amounts by the locale's own conventions.
  auto bcd = [](hlocale h, const char* text) {
    SL_BCD v;
    EXPECT_EQ(SLN_StrBCD(h, text, &v), 0) << text;
    return std::string(reinterpret_cast<const char*>(&v), sizeof v);
  };
  const std::string posix = bcd(SLN_GetSysLocale(), "1234.50");
  EXPECT_EQ(bcd(n, "1.234,50"), posix);
  EXPECT_EQ(bcd(n, "EU 1.234,50"), posix);
  EXPECT_NE(bcd(SLN_GetSysLocale(), "1.234,50"), posix);
  for (hlocale* h : {&n, &w, &m, &numericOnly, &timeOnly}) SL_CloseLocale(h);
}

// A wide or multi-byte LC_TIME or LC_MESSAGES field of 64 bytes may be full,
// with no terminator of its own; its item still fits the caller's 64 bytes.
TEST_F(Families, ItemsOfFullFieldsStayWithinSixtyFourBytes) {
  struct Case {
    std::string source;
    std::string written;  // what the library compiler puts into the field
    std::string full;     // the field once its terminator is overwritten
    uint16_t item;
    std::string text;     // the item, cut at a whole character
  } cases[] = {
      {"locale fw_W\n  family 2\n  category 4 fw_W\n    time\n    timetext 40 " + std::string(31, 'W') + "\n",
       [] { std::string s; for (int i = 0; i < 31; ++i) s += std::string("W\0", 2); return s + std::string(2, '\0'); }(),
       [] { std::string s; for (int i = 0; i < 32; ++i) s += std::string("W\0", 2); return s; }(), 43,
       std::string(31, 'W')},
      {"locale fw_W\n  family 2\n  category 32 fw_W\n    messages y n " + std::string(31, 'V') + "\n",
       [] { std::string s; for (int i = 0; i < 31; ++i) s += std::string("V\0", 2); return s + std::string(2, '\0'); }(),
       [] { std::string s; for (int i = 0; i < 32; ++i) s += std::string("V\0", 2); return s; }(), 182,
       std::string(31, 'V')},
      {"locale fm_M\n  family 3\n  category 4 fm_M\n    time\n    timetext 40 " + std::string(63, 'Q') + "\n",
       std::string(63, 'Q') + std::string(1, '\0'), std::string(64, 'Q'), 43, std::string(63, 'Q')},
      {"locale fm_M\n  family 3\n  leadbytes 0x81\n  category 4 fm_M\n    time\n    timetext 40 " +
           std::string(62, 'Q') + "\\x81\n",
       std::string(62, 'Q') + "\x81" + std::string(1, '\0'), std::string(62, 'Q') + "\x81\x40", 43,
       std::string(62, 'Q')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    UsePatched(c.source, c.written, c.full);
    hlocale h = nullptr;
    ASSERT_EQ(SL_OpenLocale(&h, c.item == 182 ? 32 : 4, c.source.substr(7, 4).c_str()), 0);
    uint8_t out[96];
    std::memset(out, 0xAA, sizeof out);
    ASSERT_EQ(SL_GetLocaleItem(h, out, c.item), 0);
    for (std::size_t i = SL_ITEM_SIZE; i < sizeof out; ++i) EXPECT_EQ(out[i], 0xAA) << "byte " << i;
    EXPECT_EQ(ItemText(h, c.item), c.text);
    SL_CloseLocale(&h);
    SL_Exit();
    ASSERT_EQ(_SL_InitClient(1, 1, 1), 0);
  }
}

// The multi-byte conventions record cuts a full field at a whole character:
// a lead byte never stands there without its trail byte.
TEST_F(Families, MultiByteConventionsKeepWholeCharacters) {
  UsePatched("locale cm_M\n  family 3\n  leadbytes 0x81\n  category 8 cm_M\n"
             "    monetary EUR \"AAAAAAAA\\x81\" , . 3 \"\" - 2 2 0 1 0 1 1 1\n",
             std::string("AAAAAAAA\x81") + std::string(1, '\0'), "AAAAAAAA\x81\x40");
  hlocale h = nullptr;
  ASSERT_EQ(SL_OpenLocale(&h, 8, "cm_M"), 0);
  SL_MCONVINFO conv;
  ASSERT_EQ(SLM_GetConvInfo(h, &conv), 0);
  EXPECT_EQ(std::string(conv.symbol), "AAAAAAAA");
  EXPECT_EQ(ItemText(h, 149), "AAAAAAAA\x81\x40");  // the item has room for the whole field
  SL_CloseLocale(&h);
}

TEST_F(Families, EmptyFieldsGetTheirDefaultsAndAMissingWideTranslationMapsUnchanged) {
  Use("locale e_W\n  family 2\n  category 2 e_W\n    ctype space toupper\n"
      "  category 16 e_W\n    numeric \"\" \"\" \"\" \"\" \"\"\n");
  hlocale h = nullptr;
  ASSERT_EQ(SL_OpenLocale(&h, 18, "e_W"), 0);
  EXPECT_EQ(ItemText(h, 128), ".");
  EXPECT_EQ(ItemText(h, 130), "E");
  SL_WCONVINFO conv;
  ASSERT_EQ(SLW_GetConvInfo(h, &conv), 0);
  EXPECT_EQ(std::u16string(conv.decimalPoint), u".");
  EXPECT_EQ(std::u16string(conv.exponent), u"E");
  const slw::CtypeCategory* ctype = slw::CtypeOf(*slw::FromHandle(h));
  EXPECT_EQ(ctype->upperIndex(), 0);
  EXPECT_EQ(ctype->lowerIndex(), -1);
  EXPECT_EQ(ctype->Translate(ctype->lowerIndex(), 'A'), 'A');
  EXPECT_EQ(ctype->Translate(ctype->upperIndex(), 'a'), 'A');
  SL_CloseLocale(&h);
}

TEST_F(Families, ClassPositionsAfterTwelveStopBeforeBit31) {
  struct Case {
    std::size_t position;
    uint32_t mask;
  } cases[] = {{0, 1}, {7, 128}, {10, 1036}, {11, 2048}, {12, 5214}, {13, 1u << 24}, {19, 1u << 30}, {20, 0}, {31, 0}};
  for (const Case& c : cases) EXPECT_EQ(slw::ClassMaskOfPosition(c.position), c.mask) << c.position;
}

TEST_F(Families, NonNegativeAmountsNeverTakeParentheses) {
  slw::NarrowMonetary m;
  struct Case {
    uint8_t positive, negative;
    uint8_t forPositive, forNegative;
  } cases[] = {{255, 255, 1, 0}, {0, 0, 1, 0}, {2, 4, 2, 4}, {7, 9, 1, 0}, {3, 1, 3, 1}};
  for (const Case& c : cases) {
    m.values[6] = c.positive;
    m.values[7] = c.negative;
    EXPECT_EQ(m.SignPosition(false), c.forPositive);
    EXPECT_EQ(m.SignPosition(true), c.forNegative);
  }
}

void put16(std::vector<uint8_t>& b, std::size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Category records damaged one field at a time are refused with the code of
// the read that found them, and leave nothing behind.
TEST_F(Families, MalformedCategoryRecordsAreRefused) {
  struct Damage {
    const char* what;
    int family;
    uint16_t mask;
    std::string source;                              // the category statements
    std::function<void(std::vector<uint8_t>&)> cut;  // applied to the body
    LocaleStatus status;
  };
  const std::string ctype = "    ctype space,digit toupper,tolower\n    multi 0 \"\\xDF\" SS\n";
  const std::string time = "    time\n    era 1989 1 8 2019 4 30 Heisei x\n    altdigits zero one\n";
  // Narrow LC_CTYPE: names 512, table 1024, u16 0, u16 count at 1538, headers from 1540.
  const std::size_t headers = 512 + 1024 + 4;
  const std::size_t firstEntry = headers + 2 * 530 + 512;
  // Narrow LC_TIME: the fixed part is 1237 bytes, the lengths at 1233 and 1235.
  std::vector<Damage> cases = {
      {"ctype names cut", 1, 2, ctype, [](auto& b) { b.resize(100); }, 0x0204},
      {"ctype table cut", 1, 2, ctype, [](auto& b) { b.resize(900); }, 0x0404},
      {"nine translations", 1, 2, ctype, [&](auto& b) { put16(b, headers - 2, 9); }, 0x0404},
      {"entry index past the entries", 1, 2, ctype, [&](auto& b) { put16(b, headers + 18 + 2 * 'a', 1); }, 0x0404},
      {"entry longer than 8", 1, 2, ctype, [&](auto& b) { b[firstEntry] = 9; }, 0x0404},
      {"entry target longer than 8", 1, 2, ctype, [&](auto& b) { b[firstEntry + 9] = 200; }, 0x0404},
      {"entries cut", 1, 2, ctype, [&](auto& b) { b.resize(firstEntry + 10); }, 0x0404},
      {"wide plane of 63 pages", 2, 2, ctype, [](auto& b) { put16(b, 512, 63); }, 0x0601},
      {"wide plane count against its map", 2, 2, ctype, [](auto& b) { put16(b, 512, 2); }, 0x0404},
      {"wide plane pages cut", 2, 2, ctype, [](auto& b) { b.resize(512 + 34 + 600); }, 0x0404},
      {"time cut", 1, 4, time, [](auto& b) { b.resize(1236); }, 0x0204},
      {"era table not whole records", 1, 4, time, [&](auto& b) { put16(b, 1233, 41); }, 0x0404},
      {"era table past the record", 1, 4, time, [&](auto& b) { put16(b, 1233, 400); }, 0x0404},
      {"digits past the record", 1, 4, time, [&](auto& b) { put16(b, 1235, 300); }, 0x0404},
      {"digits without terminator", 1, 4, time, [](auto& b) { b.back() = 'x'; }, 0x0404},
      {"wide digits of odd length", 2, 4, time, [&](auto& b) { put16(b, 2466, 15); b.pop_back(); }, 0x0404},
      {"numeric cut", 1, 16, "    numeric . , 3 E ;\n", [](auto& b) { b.resize(23); }, 0x0204},
      {"wide numeric cut", 2, 16, "    numeric . , 3 E ;\n", [](auto& b) { b.resize(37); }, 0x0204},
      {"monetary cut", 3, 8, "    monetary a b . , 3 + - 1 2 3 4 5 6 7 8\n", [](auto& b) { b.resize(65); }, 0x0204},
      {"messages cut", 1, 32, "    messages y n x\n", [](auto& b) { b.resize(41); }, 0x0204},
      {"soundex cut", 1, 64, "    soundex B 1\n", [](auto& b) { b.resize(255); }, 0x0204},
      {"wide soundex pages cut", 2, 64, "    soundex B 1\n", [](auto& b) { b.resize(40); }, 0x0404},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    std::string name = "bad_" + std::to_string(d.family);
    std::string source = "locale " + name + "\n  family " + std::to_string(d.family) + "\n  category " +
                         std::to_string(d.mask) + " " + name + "\n" + d.source +
                         "locale good\n  family 1\n  category 2 good\n    ctype space toupper\n";
    sllc::LibrarySpec spec;
    std::string error;
    ASSERT_TRUE(sllc::Parse(source, spec, error)) << error;
    sllc::CategorySpec& c = spec.locales[0].categories[0];
    std::vector<uint8_t> body = sllc::CategoryBody(static_cast<uint8_t>(d.family), c);
    // The undamaged record loads.
    {
      sllc::CategorySpec whole;
      whole.mask = c.mask;
      whole.name = c.name;
      whole.body = body;
      sllc::LibrarySpec ok = spec;
      ok.locales[0].categories[0] = whole;
      std::filesystem::path file = root_.path() / "OK.SLL";
      std::vector<uint8_t> bytes = sllc::Build(ok);
      std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
      hlocale h = nullptr;
      ASSERT_EQ(SL_OpenLocale(&h, d.mask, name.c_str()), 0);
      SL_CloseLocale(&h);
      SL_Exit();
      ASSERT_EQ(_SL_InitClient(1, 1, 1), 0);
    }
    d.cut(body);
    sllc::CategorySpec damaged;
    damaged.mask = c.mask;
    damaged.name = c.name;
    damaged.body = body;
    c = damaged;
    std::filesystem::path file = root_.path() / "BAD.SLL";
    std::vector<uint8_t> bytes = sllc::Build(spec);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
    hlocale h = reinterpret_cast<hlocale>(&file);
    EXPECT_EQ(SL_OpenLocale(&h, d.mask, name.c_str()), d.status);
    EXPECT_EQ(h, nullptr);
    ASSERT_EQ(SL_OpenLocale(&h, 2, "good"), 0);
    SL_CloseLocale(&h);
    SL_Exit();
    ASSERT_EQ(_SL_InitClient(1, 1, 1), 0);
  }
}

TEST_F(Families, FamilyClassesBindCreateCloneAndRestore) {
  for (int family = 1; family <= 3; ++family) {
    SCOPED_TRACE(family);
    std::unique_ptr<slw::TLocale> l(slw::NewLocale(static_cast<uint8_t>(family)));
    ASSERT_NE(l, nullptr);
    // Construction: mode 1, codes 0 to 255 defined, no lead bytes.
    EXPECT_EQ(l->operations.mode, 1);
    EXPECT_EQ(l->defined.size(), family == 1 ? 32u : 8192u);
    EXPECT_EQ(l->defined[31], 0xFF);
    if (family != 1) {
      EXPECT_EQ(l->defined[32], 0);
    }
    struct Bind {
      uint16_t mode;
      uint16_t expect;
    } binds[] = {{2, 2}, {9, 2}, {0, 2}, {3, 3}, {4, static_cast<uint16_t>(family == 1 ? 4 : 3)}, {1, 1}};
    for (const Bind& b : binds) {
      l->BindOperations({b.mode, 3});
      EXPECT_EQ(l->operations.mode, b.expect) << b.mode;
    }
    // One category per single mask bit; masks of no or several bits make none.
    EXPECT_EQ(l->CreateCategoryOf(3, "POSIX"), nullptr);
    EXPECT_EQ(l->CreateCategoryOf(0, "POSIX"), nullptr);
    slw::Category* time = l->CreateCategoryOf(SL_LC_TIME, "POSIX");
    ASSERT_NE(time, nullptr);
    EXPECT_NE(dynamic_cast<slw::TimeCategory*>(time), nullptr);
    EXPECT_EQ(time->family(), family);
    l->categories[2] = time;
    EXPECT_EQ(l->CategoryByMask(SL_LC_TIME), time);
    EXPECT_EQ(l->CategoryByMask(6), nullptr);
    // A clone is put back whole.
    l->fullName = "before";
    slw::TLocale* clone = l->Clone();
    ASSERT_NE(clone, nullptr);
    l->fullName = "after";
    l->BindOperations({2, 5});
    l->categories[2] = nullptr;
    l->Restore(clone);
    EXPECT_EQ(l->fullName, "before");
    EXPECT_EQ(l->operations.mode, 1);
    EXPECT_EQ(l->categories[2], time);
    l->Restore(l.get());  // itself: nothing happens
    EXPECT_EQ(l->fullName, "before");
    slw::ReleaseCategory(time);
  }
  // Two-byte steps of the families' own operations.
  slw::MultiLocale m;
  m.leadBytes[0x81 / 8] |= 1u << (0x81 % 8);
  const char s[] = "\x81\x40x";
  EXPECT_EQ(m.access.next(m, s), s + 2);
  EXPECT_TRUE(m.access.firstByteAt(m, s));
  EXPECT_TRUE(m.access.charFirstByte(m, 0x8100));
  slw::NarrowLocale n;
  EXPECT_FALSE(n.access.firstByteAt(n, s));
  EXPECT_EQ(n.access.previous(n, s, s + 2), s + 1);
}

TEST_F(Families, FailedUpdateLeavesTheLocaleAsItWas) {
  Use(FullLocale("up_N", 1) +
      "  category 4 up_N@short\n    body 01\n  category 16 up_N@ok\n    numeric ; : 3 x y\n");
  hlocale h = nullptr;
  ASSERT_EQ(SL_OpenLocale(&h, 255, "up_N"), 0);
  char before[300];
  ASSERT_EQ(SL_GetFullLocaleName(h, before), 0);
  EXPECT_EQ(SL_UpdateLocale(&h, SL_LC_TIME | SL_LC_NUMERIC, "up_N@short"), 0x0204);
  char after[300];
  ASSERT_EQ(SL_GetFullLocaleName(h, after), 0);
  EXPECT_STREQ(after, before);
  EXPECT_EQ(ItemText(h, 1), "Dim");
  EXPECT_EQ(ItemText(h, 128), ",");
  // A good update takes the new data.
  EXPECT_EQ(SL_UpdateLocale(&h, SL_LC_NUMERIC, "up_N@ok"), 0);
  EXPECT_EQ(ItemText(h, 128), ";");
  EXPECT_EQ(ItemText(h, 130), "x");
  SL_CloseLocale(&h);
}

}  // namespace
