// Character sets, conversions, language drivers and Windows language ids,
// through the exports of the static build (one client per test).
#include <unicode/ucnv.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "charset/builtin_tables.h"
#include "charset/charset.h"
#include "charset/conversion.h"
#include "locale_object.h"
#include "platform/nls.h"
#include "slw32.h"
#include "sllc_writer.h"
#include "sublatin.h"
#include "temp_root.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(std::string_view s) { return Bytes(s.begin(), s.end()); }

class Charsets : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(_SL_InitClient(1, 1, 1), 0); }
  void TearDown() override { SL_Exit(); }

  void Use(const std::string& source) {
    std::string error;
    std::filesystem::path file = root_.path() / ("C" + std::to_string(files_++) + ".SLL");
    ASSERT_TRUE(sllc::Compile(source, file.string(), false, error)) << error;
    ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
  }

  testing_support::TempRoot root_;
  int files_ = 0;
};

// Converts `in` (terminated by the caller's bytes) into a buffer of `size`
// bytes prefilled with 0xEE; returns the status and the bytes up to the
// first untouched one.
struct Result {
  LocaleStatus status;
  Bytes out;
};
Result Convert(const char* from, const char* to, const char* definition, const Bytes& in, uint16_t size = 64) {
  hconversion c = nullptr;
  LocaleStatus s = SL_OpenConversion(&c, from, to, definition);
  if (s != 0) return {s, {}};
  Bytes input = in;
  input.insert(input.end(), {0, 0});
  Bytes out(size, 0xEE);
  s = SL_StrConvert(c, out.data(), input.data(), size);
  SL_CloseConversion(c);
  std::size_t n = 0;
  while (n < out.size() && out[n] != 0xEE) ++n;
  out.resize(n);
  return {s, out};
}

TEST_F(Charsets, ConvertsUnderEachDefinition) {
  struct Case {
    const char* from;
    const char* to;
    const char* definition;
    Bytes in;
    LocaleStatus status;
    Bytes out;
  };
  const Case cases[] = {
      {"WIN1252", "DOS437", "REPLACE", B("a\xC0" "b"), 0x0B0F, B(std::string("a#b\0", 4))},
      // Stopped after "a", without terminator.
      {"WIN1252", "DOS437", "BREAKWITHERROR", B("a\xC0" "b"), 0x0B0B, B("a")},
      {"WIN1252", "DOS437", "EXCLUDE", B("a\xC0" "b"), 0x0B0F, B(std::string("ab\0", 3))},
      {"WIN1252", "DOS437", "SUBLATIN", B("a\xC0" "b"), 0x0B0F, B(std::string("aAb\0", 4))},
      // The target has the character: direct, status 0.
      {"WIN1252", "DOS850", "SUBLATIN", B("a\xC0" "b"), 0, B(std::string("a\xB7" "b\0", 4))},
      {"WIN1252", "USASCII", "SUBLATINEX", B("\xC6\xDF"), 0x0B0F, B(std::string("AEss\0", 5))},
      {"WIN1252", "Unicode", nullptr, B("A\xE9"), 0, B(std::string("A\0\xE9\0\0\0", 6))},
      {"Unicode", "WIN932", nullptr, B(std::string("\x42\x30" "A\0", 4)), 0, B(std::string("\x82\xA0" "A\0", 4))},
      {"WIN932", "Unicode", nullptr, B("\x82\xA0" "A"), 0, B(std::string("\x42\x30" "A\0\0\0", 6))},
      // An empty entry of a wider source applies the mode (U+2192 has no WIN1252 form).
      {"Unicode", "WIN1252", "BREAKWITHERROR", B(std::string("A\0\x92\x21", 4)), 0x0B0B, B("A")},
      {"Unicode", "WIN1252", "REPLACE", B(std::string("A\0\x92\x21", 4)), 0x0B0F, B(std::string("A#\0", 3))},
      // A lead byte right before the end is a one-byte character of its own.
      {"WIN932", "WIN1252", "REPLACE", B("A\x82"), 0x0B0F, B(std::string("A#\0", 3))},
      // ESCAPE into Unicode writes "\" and the source code.
      {"WIN1252", "Unicode", "ESCAPE", B("\x81"), 0x0B0F, B(std::string("\\\0\x81\0\0\0", 6))},
  };
  for (const Case& c : cases) {
    Result r = Convert(c.from, c.to, c.definition, c.in);
    EXPECT_EQ(r.status, c.status) << c.from << " -> " << c.to << " " << (c.definition ? c.definition : "");
    EXPECT_EQ(r.out, c.out) << c.from << " -> " << c.to << " " << (c.definition ? c.definition : "");
  }
}

TEST_F(Charsets, WideAndDoubleByteTargetsWriteWholeCharactersOnly) {
  // Three bytes of room: "A" as a whole unit, then no room for the next one.
  Result r = Convert("WIN1252", "Unicode", nullptr, B("AB"), 3);
  EXPECT_EQ(r.status, 0x0B0A);
  EXPECT_EQ(r.out, B(std::string("A\0", 2)));
  // Two bytes of room: "A", then the lead and trail byte do not both fit.
  r = Convert("Unicode", "WIN932", nullptr, B(std::string("A\0\x42\x30", 4)), 2);
  EXPECT_EQ(r.status, 0x0B0A);
  EXPECT_EQ(r.out, B("A"));
  // A substitution is written whole: "AE" fits, its terminator does not.
  r = Convert("WIN1252", "USASCII", "SUBLATINEX", B("\xC6"), 2);
  EXPECT_EQ(r.status, 0x0B0A);
  EXPECT_EQ(r.out, B("AE"));
  // Exactly the room for the text but not its terminator.
  r = Convert("WIN1252", "DOS850", nullptr, B("abc"), 3);
  EXPECT_EQ(r.status, 0x0B0A);
  EXPECT_EQ(r.out, B("abc"));
}

TEST_F(Charsets, CountedAndBufferForms) {
  hconversion c = nullptr;
  ASSERT_EQ(SL_OpenConversion(&c, "WIN1252", "Unicode", nullptr), 0);
  const char in[] = "abc\0de";
  uint8_t out[16];
  std::memset(out, 0xEE, sizeof out);
  uint16_t count = 2;
  EXPECT_EQ(SL_StrnConvert(c, out, sizeof out, in, &count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(Bytes(out, out + 6), B(std::string("a\0b\0\0\0", 6)));
  // The buffer form converts the 0 like any character and writes no terminator.
  std::memset(out, 0xEE, sizeof out);
  count = 5;
  EXPECT_EQ(SL_BufferConvert(c, out, sizeof out, in, &count), 0);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(Bytes(out, out + 11), B(std::string("a\0b\0c\0\0\0d\0\xEE", 11)));
  count = 5;
  EXPECT_EQ(SL_BufferConvert(c, out, 6, in, &count), 0x0B0A);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(SL_CloseConversion(c), 0);
}

TEST_F(Charsets, HandlesAreSharedCountedAndCheckedBeforeUse) {
  hconversion a = nullptr, b = nullptr;
  ASSERT_EQ(SL_OpenConversion(&a, "WIN1252", "DOS437", "REPLACE"), 0);
  ASSERT_EQ(SL_OpenConversion(&b, "WIN1252", "DOS437", "REPLACE"), 0);
  EXPECT_EQ(a, b);
  EXPECT_EQ(SL_CloseConversion(a), 0);
  char out[8];
  EXPECT_EQ(SL_StrConvert(a, out, "x", sizeof out), 0);
  EXPECT_EQ(SL_CloseConversion(a), 0);
  // Closed: every export refuses it without reading it.
  EXPECT_EQ(SL_CloseConversion(a), 0x0B07);
  EXPECT_EQ(SL_StrConvert(a, out, "x", sizeof out), 0x0B07);
  EXPECT_EQ(SL_CloseConversion(nullptr), 0x0B07);
  SL_CONVERSIONINFO info;
  EXPECT_EQ(SL_GetConversionInfo(nullptr, &info, 1), 0x0B07);
  hconversion bad = nullptr;
  EXPECT_EQ(SL_OpenConversion(&bad, "WIN1252", "NOSUCH", nullptr), 0x0B01);
  EXPECT_EQ(bad, nullptr);
  EXPECT_EQ(SL_OpenConversion(&bad, "WIN1252", "DOS437", "NOSUCH"), 0x0B01);
  EXPECT_EQ(SL_OpenConversion(&bad, nullptr, "DOS437", nullptr), 0x0C07);
}

TEST_F(Charsets, InPlaceConversionNeedsTwoSingleByteSets) {
  hconversion c = nullptr;
  ASSERT_EQ(SL_OpenConversion(&c, "Unicode", "WIN1252", nullptr), 0);
  char text[] = "abc";
  EXPECT_EQ(SL_QStrConvert(c, text), 0x0B0C);
  SL_CloseConversion(c);
  ASSERT_EQ(SL_OpenConversion(&c, "WIN1252", "DOS437", "REPLACE"), 0);
  char latin[] = "\xE9\xC0x";
  EXPECT_EQ(SL_QStrConvert(c, latin), 0x0B0F);
  EXPECT_STREQ(latin, "\x82#x");
  char part[] = "\xE9\xE9\xE9";
  uint16_t count = 2;
  EXPECT_EQ(SL_QStrnConvert(c, part, &count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_STREQ(part, "\x82\x82\xE9");
  SL_CloseConversion(c);
}

TEST_F(Charsets, InformationRecord) {
  hconversion c = nullptr;
  ASSERT_EQ(SL_OpenConversion(&c, "WIN932", "Unicode", "REPLACE"), 0);
  SL_CONVERSIONINFO info;
  ASSERT_EQ(SL_GetConversionInfo(c, &info, 1), 0);
  EXPECT_STREQ(info.definition, "REPLACE");
  EXPECT_STREQ(info.source, "WIN932");
  EXPECT_EQ(info.sourceKind, 3);
  EXPECT_EQ(info.targetKind, 2);
  EXPECT_EQ(info.sourceClass, 2);
  EXPECT_EQ(info.targetClass, 14);
  EXPECT_EQ(info.replacement, u'#');
  EXPECT_EQ(info.text1[0], 0);
  info.replacement = u'?';
  ASSERT_EQ(SL_GetConversionInfo(c, &info, 2), 0);
  Result r;
  char out[8] = {};
  EXPECT_EQ(SL_StrConvert(c, out, "A\x82", sizeof out), 0x0B0F);
  EXPECT_EQ(std::string(out, 4), std::string("A\0?\0", 4));
  EXPECT_EQ(SL_GetConversionInfo(c, &info, 3), 0x0C07);
  SL_CloseConversion(c);
  EXPECT_EQ(SL_GetConversionCount(), 7);
  char name[32];
  ASSERT_EQ(SL_GetConversionName(7, name), 0);
  EXPECT_STREQ(name, "SUBLATINEX");
  EXPECT_EQ(SL_GetConversionName(8, name), 0x0C07);
}

TEST_F(Charsets, BuiltInSetsAndTheirInformation) {
  EXPECT_EQ(SL_GetCharacterSetCount(), 5);
  const char* names[] = {"WIN1252", "Unicode", "DOS437", "DOS850", "USASCII"};
  char name[32];
  for (uint16_t i = 1; i <= 5; ++i) {
    ASSERT_EQ(SL_GetCharacterSetName(i, name), 0);
    EXPECT_STREQ(name, names[i - 1]);
  }
  EXPECT_EQ(SL_GetCharacterSetName(6, name), 0x0C07);
  SL_CHARSETINFO info;
  ASSERT_EQ(SL_GetCharacterSetInfo("WIN932", &info), 0);
  EXPECT_EQ(info.family, 3);
  EXPECT_EQ(info.charsetClass, 2);
  EXPECT_EQ(info.source, 1);
  ASSERT_EQ(SL_GetCharacterSetInfo("USASCII", &info), 0);
  EXPECT_EQ(info.charsetClass, 19);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(info.bytes), 4), std::string("\1\1\1\0", 4));
  ASSERT_EQ(SL_GetCharacterSetInfo("WIN1200", &info), 0);
  EXPECT_EQ(info.family, 2);
  EXPECT_EQ(info.charsetClass, 14);
  EXPECT_EQ(info.source, 3);
  EXPECT_EQ(SL_GetCharacterSetInfo("NOSUCH", &info), 0x0305);
  EXPECT_EQ(SL_GetCharacterSetInfo("", &info), 0x0C07);
}

// The body of a single-byte character-set record from ICU's code page (sllc
// writes the 44-byte head with the name).
std::string RecordHex(const char* name, int codePage) {
  platform::nls::Converter conv = platform::nls::OpenCodePage(codePage);
  Bytes table(44 + 512, 0);
  std::memcpy(table.data(), name, std::strlen(name));
  table[32] = table[33] = table[34] = 1;
  table[36] = 1;
  table[38] = 1;
  table[40] = 1;
  for (int b = 1; b < 256; ++b) {
    char byte = static_cast<char>(b);
    UChar u[2] = {};
    UErrorCode err = U_ZERO_ERROR;
    ucnv_toUChars(conv.get(), u, 2, &byte, 1, &err);
    table[44 + 2 * b] = static_cast<uint8_t>(u[0]);
    table[45 + 2 * b] = static_cast<uint8_t>(u[0] >> 8);
  }
  std::string hex;
  char two[4];
  for (uint8_t v : Bytes(table.begin() + 44, table.end())) {
    std::snprintf(two, sizeof two, "%02x ", v);
    hex += two;
  }
  return hex;
}

TEST_F(Charsets, LibrarySetsJoinTheBuiltInOnes) {
  Use("charset DOS865\n  body " + RecordHex("DOS865", 865) + "\n");
  EXPECT_EQ(SL_GetCharacterSetCount(), 6);
  char name[32];
  ASSERT_EQ(SL_GetCharacterSetName(6, name), 0);
  EXPECT_STREQ(name, "DOS865");
  SL_CHARSETINFO info;
  ASSERT_EQ(SL_GetCharacterSetInfo("DOS865", &info), 0);
  EXPECT_EQ(info.source, 2);
  // "ø" is 0x9B in code page 865.
  Result r = Convert("WIN1252", "DOS865", "REPLACE", B("\xF8"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, B(std::string("\x9B\0", 2)));
}

TEST_F(Charsets, ALibrarysSetsAreNumberedFromItsLastEntry) {
  Use("charset FIRST\n  body " + RecordHex("FIRST", 437) + "\ncharset SECOND\n  body " + RecordHex("SECOND", 850) + "\n");
  EXPECT_EQ(SL_GetCharacterSetCount(), 7);
  char name[32];
  ASSERT_EQ(SL_GetCharacterSetName(6, name), 0);
  EXPECT_STREQ(name, "SECOND");
  ASSERT_EQ(SL_GetCharacterSetName(7, name), 0);
  EXPECT_STREQ(name, "FIRST");
  EXPECT_EQ(SL_GetCharacterSetName(8, name), 0x0C07);
}

TEST_F(Charsets, ADoubleByteRecordWithAPagePastItsEndIsNotValid) {
  sllc::LibrarySpec spec;
  std::string error;
  ASSERT_TRUE(sllc::Parse("charset DBBAD\n  body " + RecordHex("DBBAD", 437) + "\n", spec, error)) << error;
  std::vector<uint8_t> image = sllc::Build(spec);
  std::string text(image.begin(), image.end());
  std::size_t head = text.find("DBBAD", text.find("DBBAD") + 1);
  ASSERT_NE(head, std::string::npos);
  // Double-byte, with the page of lead byte 0x81 at unit 0x4000, far past the record.
  image[head + 42] = 1;
  image[head + 44 + 2 * 0x81 + 1] = 0x40;
  std::filesystem::path file = root_.path() / "BAD.SLL";
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                              static_cast<std::streamsize>(image.size()));
  ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
  hconversion c = nullptr;
  EXPECT_EQ(SL_OpenConversion(&c, "DBBAD", "Unicode", nullptr), 0x0B01);
  Bytes table(image.begin() + static_cast<std::ptrdiff_t>(head), image.begin() + static_cast<std::ptrdiff_t>(head) + 556);
  EXPECT_FALSE(slw::ValidCharsetTable(table.data(), table.size()));
  EXPECT_EQ(slw::CharacterSetFromTable("DBBAD", table), nullptr);
}

// Only a byte with a page of its own leads; NUL and 255 never do, and a
// lead byte right before the end stands alone.
TEST(DoubleByteSet, ReadsAndWritesWholeCharacters) {
  Bytes table(44 + 512 + 3 * 512, 0);
  table[42] = 1;
  auto page = [&](int high, int unit) {
    table[44 + 2 * high] = static_cast<uint8_t>(unit);
    table[45 + 2 * high] = static_cast<uint8_t>(unit >> 8);
  };
  page(0, 278);
  page(0x81, 278 + 256);
  page(0xFF, 278 + 512);
  table[2 * 278 + 2 * 'A'] = 'A';
  table[2 * (278 + 256) + 2 * 'B'] = 0x42;
  table[2 * (278 + 256) + 2 * 'B' + 1] = 0x30;
  auto set = slw::CharacterSetFromTable("DB", table);
  ASSERT_NE(set, nullptr);
  struct Case {
    std::string in;
    uint16_t code;
    std::size_t length;
  } cases[] = {{"\x81" "B", 0x8142, 2}, {std::string("\x81\0", 2), 0x81, 1}, {"\xFF" "A", 0xFF, 1},
               {std::string("\0A", 2), 0, 1}, {"\x90" "A", 0x90, 1}, {"A", 'A', 1}};
  for (const Case& c : cases) {
    std::size_t length = 0;
    EXPECT_EQ(set->Read(reinterpret_cast<const uint8_t*>(c.in.c_str()), length), c.code) << c.in;
    EXPECT_EQ(length, c.length) << c.in;
  }
  EXPECT_EQ(set->ToUnicode(0x8142), 0x3042);
  EXPECT_EQ(set->FromUnicode(0x3042), 0x8142);
  uint8_t out[2] = {0xEE, 0xEE};
  std::size_t written = 0;
  EXPECT_FALSE(set->Write(0x8142, out, 1, written));
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_TRUE(set->Write(0x8142, out, 2, written));
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(out[0], 0x81);
}

// Each built-in table holds what ICU's converter of its code page says.
TEST(BuiltinTables, MatchIcu) {
  const std::pair<const char*, int> sets[] = {
      {"WIN1252", 1252}, {"DOS437", 437},   {"DOS850", 850},   {"USASCII", 20127}, {"WIN874", 874},
      {"WIN1250", 1250}, {"WIN1251", 1251}, {"WIN1253", 1253}, {"WIN1254", 1254},  {"WIN1255", 1255},
      {"WIN1256", 1256}, {"WIN1257", 1257}, {"WIN1258", 1258}, {"WIN932", 932},    {"WIN936", 936},
      {"WIN949", 949},   {"WIN950", 950}};
  for (const auto& [name, codePage] : sets) {
    const slw::BuiltinTable* t = slw::FindBuiltinTable(name);
    ASSERT_NE(t, nullptr) << name;
    auto set = slw::CharacterSetFromTable(name, Bytes(t->bytes, t->bytes + t->size));
    ASSERT_NE(set, nullptr) << name;
    platform::nls::Converter conv = platform::nls::OpenCodePage(codePage);
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    auto icu = [&](const char* bytes, int32_t n) -> uint16_t {
      UChar u[4] = {};
      UErrorCode e = U_ZERO_ERROR;
      ucnv_resetToUnicode(conv.get());
      int32_t got = ucnv_toUChars(conv.get(), u, 4, bytes, n, &e);
      return U_SUCCESS(e) && got == 1 ? u[0] : 0;
    };
    bool windows = std::string(name).rfind("WIN", 0) == 0;
    UBool starters[256] = {};
    bool doubleByte = ucnv_getMaxCharSize(conv.get()) > 1;
    EXPECT_EQ(set->SingleByte(), !doubleByte) << name;
    if (doubleByte) ucnv_getStarters(conv.get(), starters, &err);
    int mismatches = 0;
    for (int b = 0; b < 256; ++b) {
      char byte = static_cast<char>(b);
      uint16_t want = b < 0x20 || b == 0x7F ? b : starters[b] ? 0 : icu(&byte, 1);
      if (windows && want >= 0x80 && want <= 0x9F) want = 0;
      if (set->ToUnicode(static_cast<uint16_t>(b)) != want) ++mismatches;
      if (!starters[b]) continue;
      for (int trail = 0; trail < 256; ++trail) {
        const char pair[2] = {byte, static_cast<char>(trail)};
        if (set->ToUnicode(static_cast<uint16_t>(b << 8 | trail)) != icu(pair, 2)) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0) << name;
  }
}

TEST(ConversionDefinitions, SublatinFilesAreWhatIcuGives) {
  for (bool extended : {false, true}) {
    std::ifstream in(std::string(STASHWELL_SOURCE_DIR) + (extended ? "/resources/conversions/SUBLATINEX.txt"
                                                                    : "/resources/conversions/SUBLATIN.txt"),
                     std::ios::binary);
    std::stringstream file;
    file << in.rdbuf();
    EXPECT_EQ(file.str(), sublatin::DefinitionText(extended)) << "run sublatin_gen resources/conversions";
  }
}

TEST_F(Charsets, LanguageDrivers) {
  char out[32];
  ASSERT_EQ(SL_GetLocaleNameFromLDID(out, 1), 0);
  EXPECT_STREQ(out, "en_US.DOS437@tess!1");
  int16_t ldid = 0;
  ASSERT_EQ(SL_GetLDIDFromLocaleName("en_US.DOS437@tess!1", &ldid), 0);
  EXPECT_EQ(ldid, 1);
  EXPECT_EQ(SL_GetLDIDFromLocaleName("en_US.DOS437@nothing", &ldid), 0x0305);
  EXPECT_EQ(ldid, 0);
  for (int16_t id : {7, 205}) EXPECT_EQ(SL_GetLocaleNameFromLDID(out, id), 0x0305) << id;
  EXPECT_EQ(SL_GetLocaleNameFromLDID(out, 0), 0x0C07);
  EXPECT_EQ(SL_GetLDNameFromLDID(out, -3), 0x0C07);
  ASSERT_EQ(SL_GetLDIDFromLDName("INTL", &ldid), 0);
  EXPECT_EQ(ldid, 202);
  EXPECT_EQ(SL_GetLDIDFromLDName("LDTEST", &ldid), 0x0705);  // row 0 has no id
  EXPECT_EQ(SL_GetLDIDFromLDName("nosuch", &ldid), 0x0705);
  ASSERT_EQ(SL_GetShortCategoryNameFromLDID(out, 8), 0);
  EXPECT_STREQ(out, "@dbase!8");
  ASSERT_EQ(SL_GetAltCharSetNameFromLDID(out, 3), 0);
  EXPECT_STREQ(out, "WIN932");
  ASSERT_EQ(SL_GetLDNameFromLDID(out, 201), 0);
  EXPECT_STREQ(out, "SLROM800");
  ASSERT_EQ(SL_GetLocaleNameFromLDName(out, "Japan"), 0);
  EXPECT_STREQ(out, "ja_JP.WIN932@tess!3");
  // The ids the engine writes into its tables.
  for (int16_t id : {0x01, 0x57}) EXPECT_EQ(SL_GetLocaleNameFromLDID(out, id), 0) << id;
  hlocale h = nullptr;
  EXPECT_EQ(SL_OpenLocaleWithLDID(&h, 32, 7), 0x0305);
  EXPECT_EQ(SL_OpenLocaleWithLDName(&h, 32, "nosuch"), 0x0705);
}

TEST_F(Charsets, CharacterSetNamesFromCodePages) {
  struct Case {
    uint16_t kind, codePage;
    const char* name;
  } cases[] = {{6, 0, "ROMAN8"}, {5, 0, ""},     {2, 1252, "WIN1252"}, {1, 437, "DOS437"}, {3, 850, "DOS850"},
               {0, 1252, "1252"}, {15, 7, "7"}, {11, 0, "MAC"},        {14, 0, "Unicode"}};
  for (const Case& c : cases) {
    char out[32] = "x";
    ASSERT_EQ(SL_MakeCharacterSetName(out, c.kind, c.codePage), 0);
    EXPECT_STREQ(out, c.name) << c.kind;
  }
}

TEST_F(Charsets, WindowsLanguageIds) {
  struct Case {
    uint16_t langid;
    const char* name;
  } cases[] = {{0x0409, "en_US"}, {0x0809, "en_GB"}, {0x0411, "ja_JP"}, {0x0407, "de_DE"}};
  for (const Case& c : cases) {
    char out[32] = {};
    ASSERT_EQ(SL_GetLocaleNameFromLANGID(c.langid, out), 0) << c.name;
    EXPECT_STREQ(out, c.name);
    uint16_t langid = 0;
    ASSERT_EQ(SL_GetLANGIDFromLocaleName((std::string(c.name) + ".WIN1252").c_str(), &langid), 0) << c.name;
    EXPECT_EQ(langid, c.langid) << c.name;
  }
  uint16_t langid = 7;
  for (const char* bad : {"en", "en_U", "enXUS", "xx_US", "en_ZZ"}) {
    EXPECT_EQ(SL_GetLANGIDFromLocaleName(bad, &langid), 0x0F05) << bad;
    EXPECT_EQ(langid, 0);
  }
  char out[32];
  EXPECT_EQ(SL_GetLocaleNameFromLANGID(0x0009, out), 0x0F05);  // no country
  EXPECT_EQ(SL_GetLocaleNameFromLANGID(0x7777, out), 0x0F05);  // not installed
  ASSERT_EQ(SL_GetLCIDInfoFromLocaleNameA("ja_JP.WIN932", 0x1004, out, sizeof out), 0);
  EXPECT_STREQ(out, "932");
  SL_WCHAR wide[8];
  ASSERT_EQ(SL_GetLCIDInfoFromLocaleNameW("en_GB.WIN1252", 0x5, wide, 8), 0);
  EXPECT_EQ(std::u16string(wide), u"44");
  ASSERT_EQ(SL_GetLCIDInfoFromLocaleNameA("en_US.WIN1252", 0x3, out, sizeof out), 0);
  EXPECT_EQ(std::string(out).substr(0, 2), "EN");
  EXPECT_EQ(SL_GetLCIDInfoFromLocaleNameA("en_US.WIN1252", 0x1004, out, 2), 0x060C);
  EXPECT_EQ(SL_GetLCIDInfoFromLocaleNameA("en_US.WIN1252", 0x1234, out, sizeof out), 0x060C);
}

TEST_F(Charsets, LocaleOfALanguageDriverAndItsConversionPair) {
  Use("locale en_US.DOS437\n  family 1\n  category 32 en_US.DOS437@tess!1\n    messages yY nN POSIX\n");
  hlocale h = nullptr;
  ASSERT_EQ(SL_OpenLocaleWithLDID(&h, 32, 1), 0);
  char name[64];
  ASSERT_EQ(SL_GetFullCategoryName(h, 32, name), 0);
  EXPECT_STREQ(name, "en_US.DOS437@tess!1");
  int16_t ldid = 0;
  EXPECT_EQ(SL_GetLDIDFromHlocale(h, &ldid), 0);
  EXPECT_EQ(ldid, 1);
  char out[16] = {};
  EXPECT_EQ(SL_StrConvertFromLocale(h, out, "x", sizeof out), 0x0B07);
  ASSERT_EQ(SL_OpenLocaleConversions(h, "WIN1252", "REPLACE"), 0);
  EXPECT_EQ(SL_StrConvertFromLocale(h, out, "\x82\x9B", sizeof out), 0);  // "é¢" in 437
  EXPECT_STREQ(out, "\xE9\xA2");
  EXPECT_EQ(SL_StrConvertToLocale(h, out, "\xE9\xC0", sizeof out), 0x0B0F);
  EXPECT_STREQ(out, "\x82#");
  uint16_t count = 1;
  EXPECT_EQ(SL_StrnConvertToLocale(h, out, sizeof out, "\xE9\xE9", &count), 0);
  EXPECT_STREQ(out, "\x82");
  SL_CONVERSIONINFO info;
  ASSERT_EQ(SL_GetHlocaleConversionInfo(h, &info, 3), 0);
  EXPECT_STREQ(info.target, "DOS437");
  ASSERT_EQ(SL_GetHlocaleConversionInfo(h, &info, 5), 0);
  EXPECT_STREQ(info.source, "DOS437");
  EXPECT_EQ(SL_GetHlocaleConversionInfo(h, &info, 7), 0x0C07);
  SL_CLIENTINFO client;
  ASSERT_EQ(SL_GetClientInfo(&client), 0);
  EXPECT_EQ(client.openConversions, 2);
  ASSERT_EQ(SL_CloseLocaleConversions(h), 0);
  ASSERT_EQ(SL_GetClientInfo(&client), 0);
  EXPECT_EQ(client.openConversions, 0);
  EXPECT_EQ(SL_StrConvertToLocale(h, out, "x", sizeof out), 0x0B07);
  EXPECT_EQ(SL_CloseLocaleConversions(h), 0);
  // The pair goes with the locale.
  ASSERT_EQ(SL_OpenLocaleConversions(h, "Unicode", nullptr), 0);
  hlocale system = SLN_GetSysLocale();
  EXPECT_EQ(SL_OpenLocaleConversions(system, "WIN1252", nullptr), 0x0307);  // "POSIX" names no set
  EXPECT_EQ(SL_CloseLocale(&h), 0);
}

}  // namespace
