// Platform locales: categories filled from the platform's locale
// information, platform collation, "@platform" names and updates.
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "locale_object.h"
#include "slw32.h"
#include "sllc_writer.h"
#include "temp_root.h"

namespace {

class Platform : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(_SL_InitClient(1, 1, 1), 0); }
  void TearDown() override {
    if (h_ != nullptr) SL_CloseLocale(&h_);
    SL_Exit();
  }

  void Use(const std::string& source) {
    std::string error;
    std::filesystem::path file = root_.path() / "P.SLL";
    ASSERT_TRUE(sllc::Compile(source, file.string(), false, error)) << error;
    ASSERT_EQ(SL_SetLocaleLibrary(file.c_str(), 1), 0);
  }

  std::string Item(uint16_t item) {
    char out[600] = {};
    LocaleStatus s = SL_GetLocaleItem(h_, out, item);
    return s == 0 ? std::string(out) : "!" + std::to_string(s);
  }

  std::string Time(const char* format) {
    SL_TIME t{3, 5, 9, 5, 2, 1996, 2, 64, 0, 0};
    char out[128] = {};
    const bool multi = slw::FromHandle(h_)->family() == SL_FAMILY_MULTI;
    (multi ? SLM_FmtStrTime : SLN_FmtStrTime)(h_, out, format, &t, sizeof out);
    return out;
  }

  std::string Money(double value) {
    char out[128] = {};
    _SLN_FmtStrPrint(h_, out, "%'M", value);
    return out;
  }

  std::string FullName() {
    char out[400] = {};
    SL_GetFullLocaleName(h_, out);
    return out;
  }

  testing_support::TempRoot root_;
  hlocale h_ = nullptr;
};

TEST_F(Platform, UnitedStatesFromThePlatform) {
  ASSERT_EQ(SL_OpenPlatformLocale(&h_, 0x0409, 255, 0), 0);
  const slw::CLocale* l = slw::FromHandle(h_);
  EXPECT_EQ(l->RecordName(), "en_US.WIN1252@platform");
  EXPECT_EQ(l->family(), SL_FAMILY_NARROW);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(l->record.data() + 36)), "WIN PLATFORM");
  EXPECT_EQ(SL_GetLCID(h_), 0x0409u);
  EXPECT_EQ(FullName(), "en_US.WIN1252;WIN;WIN;WIN;WIN;WIN;WIN;WIN;WIN;");
  struct Case {
    uint16_t item;
    const char* text;
  } cases[] = {{8, "Sunday"},  {14, "Saturday"}, {1, "Sun"},      {28, "January"}, {41, "AM"},
               {44, "%A, %B %d, %Y"}, {115, "%m/%d/%y"}, {45, "%-I:%M:%S %p"}, {128, "."}, {129, ","},
               {131, ","}, {148, "USD"}, {149, "$"}, {152, ""}, {153, "-"}};
  for (const Case& c : cases) EXPECT_EQ(Item(c.item), c.text) << c.item;
  EXPECT_EQ(Time("%x|%s|%X"), "Tuesday, March 05, 1996|03/05/96|9:05:03 AM");
  EXPECT_EQ(Money(-1234.5), "-$1,234.50");
  EXPECT_EQ(Money(1234.5), "$1,234.50");
  EXPECT_EQ(Money(0), "$0.00");

  // Classes and case from the code page's own characters.
  struct Class {
    uint8_t c;
    uint32_t mask;
  } classes[] = {{0xE9, 4}, {0xC9, 8}, {'A', 8}, {'5', 2}, {' ', 129}, {'\t', 33}, {',', 64}, {0, 0}};
  for (const Class& c : classes) EXPECT_EQ(SLN_GetCharClass(h_, c.c), c.mask) << int{c.c};
  EXPECT_EQ(static_cast<uint8_t>(SLN_ToUpper(h_, '\xE9')), 0xC9);
  EXPECT_EQ(static_cast<uint8_t>(SLN_ToUpper(h_, '\xFF')), 0x9F);
  EXPECT_EQ(static_cast<uint8_t>(SLN_ToLower(h_, 'Q')), 'q');
  char trimmed[] = "ab \t";
  EXPECT_STREQ(SLN_StrTrimClassEnd(h_, trimmed, 1), "ab");

  // Platform collation, and the compare flags of the locale.
  EXPECT_EQ(SLN_StrCollate(h_, "a", "B"), -1);
  EXPECT_EQ(SLN_StrCollate(h_, "abc", "ABC"), -1);
  EXPECT_EQ(_SLN_P_StrCollate(h_, "abc", "abd"), -1);
  EXPECT_EQ(SLN_StrnCollate(h_, "abcX", 3, "abcY", 3), 0);
  EXPECT_EQ(SLN_BufferCollate(h_, "ab\0z", 4, "ab\0y", 4), 0);
  ASSERT_EQ(SL_SetCmpFlags(h_, 1), 0);
  EXPECT_EQ(SLN_StrCollate(h_, "abc", "ABC"), 0);
  EXPECT_EQ(_SLN_P_StrnCollate(h_, "ABCx", 3, "abcy", 3), 0);
  // The settings keep mode 3: restoring the defaults compares by the platform still.
  SL_COLLATIONSETTINGS s{};
  ASSERT_EQ(SL_CollationInfo(h_, 0, &s), 0);
  EXPECT_EQ(s.mode, 3);
  EXPECT_EQ(SLN_StrCollate(h_, "a", "B"), -1);

  // Sort keys order as the compare.
  char ka[64], kb[64];
  ASSERT_GT(SLN_StrTransform(h_, ka, "apple", sizeof ka), 0);
  ASSERT_GT(SLN_StrTransform(h_, kb, "Banana", sizeof kb), 0);
  EXPECT_LT(std::strcmp(ka, kb), 0);
  EXPECT_EQ(SLN_StrTransform(h_, ka, "apple", 2), 0);  // no room: nothing
}

TEST_F(Platform, GermanAndSpanishFromThePlatform) {
  ASSERT_EQ(SL_OpenPlatformLocale(&h_, 0x0407, 255, 0), 0);
  struct Case {
    uint16_t item;
    const char* text;
  } cases[] = {{8, "Sonntag"}, {30, "M\xE4rz"}, {44, "%A, %d. %B %Y"}, {115, "%d.%m.%y"},
               {45, "%+H:%M:%S"}, {128, ","}, {129, "."}, {131, ";"}, {148, "EUR"}, {149, "\x80"}};
  for (const Case& c : cases) EXPECT_EQ(Item(c.item), c.text) << c.item;
  EXPECT_EQ(Time("%X"), "09:05:03");
  EXPECT_EQ(Money(-1234.5), "-1.234,50 \x80");
  EXPECT_EQ(Money(1234.5), "1.234,50 \x80");
  EXPECT_EQ(SLN_StrCollate(h_, "\xE4", "b"), -1);
  ASSERT_EQ(SL_UpdatePlatformLocale(&h_, 255, 0x0C0A), 0);
  EXPECT_EQ(Item(44), "%A, %d de %B de %Y");
  EXPECT_EQ(SL_GetLCID(h_), 0x0C0Au);
}

TEST_F(Platform, JapaneseIsMultiByteWithTheLeadBytesOfItsCodePage) {
  ASSERT_EQ(SL_OpenPlatformLocale(&h_, 0x0411, 255, 0), 0);
  const slw::CLocale* l = slw::FromHandle(h_);
  EXPECT_EQ(l->RecordName(), "ja_JP.WIN932@platform");
  EXPECT_EQ(l->family(), SL_FAMILY_MULTI);
  for (int b : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_EQ(SL_IsFirstByte(h_, std::string(1, static_cast<char>(b)).c_str()), 1) << b;
  for (int b : {0x41, 0xA1, 0xDF}) EXPECT_EQ(SL_IsFirstByte(h_, std::string(1, static_cast<char>(b)).c_str()), 0) << b;
  EXPECT_EQ(Item(1), "\x93\xFA");
  EXPECT_EQ(Item(8), "\x93\xFA\x97\x6A\x93\xFA");
  EXPECT_EQ(Item(28), "1\x8C\x8E");
  EXPECT_EQ(Item(44), "%Y\x94\x4E%m\x8C\x8E%d\x93\xFA%$SA");
  EXPECT_EQ(Time("%x"), "1996\x94\x4E" "03\x8C\x8E" "05\x93\xFA" "Tuesday");
  // Platform collation compares the bytes as code-page text.
  EXPECT_EQ(SLM_StrCollate(h_, "a", "B"), -1);
  EXPECT_EQ(SLM_StrCollate(h_, "\x82\xA0", "\x82\xA2"), -1);  // あ before い
  // Its sort keys are 16-bit units, each one byte of the platform's key:
  // they order as the compare, and the bounded key counts characters.
  SL_WCHAR a[64], b[64], c[64];
  const uint16_t na = SLM_StrTransform(h_, a, "\x82\xA0", 64), nb = SLM_StrTransform(h_, b, "\x82\xA2", 64);
  ASSERT_GT(na, 0);
  ASSERT_GT(nb, 0);
  EXPECT_TRUE(std::u16string(a, na) < std::u16string(b, nb));
  for (uint16_t i = 0; i < na; ++i) EXPECT_LT(a[i], 256) << i;
  EXPECT_EQ(SLM_StrnTransform(h_, c, "\x82\xA0\x82\xA2", 1, 64), na);
  EXPECT_EQ(std::u16string(c, na), std::u16string(a, na));
  EXPECT_EQ(SLM_StrTransform(h_, c, "\x82\xA0", static_cast<uint16_t>(na - 1)), 0);  // no room: 0
}

TEST_F(Platform, UnknownAndDefaultIds) {
  EXPECT_EQ(SL_OpenPlatformLocale(&h_, 0x7FFF, 255, 0), 0x0307);
  EXPECT_EQ(h_, nullptr);
  ASSERT_EQ(SL_OpenPlatformLocale(&h_, 0, 255, 0), 0);
  EXPECT_NE(SL_GetLCID(h_), 0u);
  // Categories outside the mask are "POSIX".
  SL_CloseLocale(&h_);
  ASSERT_EQ(SL_OpenPlatformLocale(&h_, 0x0409, SL_LC_TIME, 0), 0);
  EXPECT_EQ(FullName(), "en_US.WIN1252;POSIX;POSIX;WIN;POSIX;POSIX;POSIX;POSIX;POSIX;");
  EXPECT_EQ(Item(128), ".");
  EXPECT_EQ(Item(28), "January");
  // The update keeps the old handle when the new id is unknown.
  hlocale before = h_;
  EXPECT_EQ(SL_UpdatePlatformLocale(&h_, 255, 0x7FFF), 0x0307);
  EXPECT_EQ(h_, before);
  EXPECT_EQ(SL_IsValidHlocale(h_), 1);
}

TEST_F(Platform, LibraryLocaleOfAPlatformNameIsFilledFromThePlatform) {
  // The records hold data of their own, which the platform's replace.
  const char* bodies[] = {"collate 1", "ctype space,digit toupper,tolower", "time",
                          "monetary X X . , \"\" + - 2 2 1 0 1 0 1 1", "numeric . , \"\" E ,",
                          "messages y n third", "soundex B 1", "zeros 4"};
  std::string source = "locale de_DE.WIN1252@platform\n  family 1\n";
  for (int slot = 0; slot < 8; ++slot)
    source += "  category " + std::to_string(1 << slot) + " de_DE.WIN1252@platform\n    " + bodies[slot] + "\n";
  Use(source);
  ASSERT_EQ(SL_OpenLocale(&h_, 255, "de_DE.WIN1252@platform"), 0);
  EXPECT_EQ(Item(28), "Januar");
  EXPECT_EQ(SL_GetLCID(h_), 0x0407u);
  EXPECT_EQ(SLN_StrCollate(h_, "\xE4", "b"), -1);
  hlocale again = nullptr;
  ASSERT_EQ(SL_OpenLocale(&again, 4, "de_DE.WIN1252@platform"), 0);
  EXPECT_EQ(slw::FromHandle(again)->categories[2]->name(), "WIN");
  SL_CloseLocale(&again);
}

// A wide locale of a platform name: 16-bit texts, and codes 0-255 classed
// and mapped as the Unicode characters they are.
TEST_F(Platform, WideLibraryLocaleOfAPlatformName) {
  std::string source = "locale fr_FR.WIN1252@platform\n  family 2\n";
  source += "  category 1 fr_FR.WIN1252@platform\n    collate 1\n";
  source += "  category 2 fr_FR.WIN1252@platform\n    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank toupper,tolower\n";
  source += "  category 4 fr_FR.WIN1252@platform\n    time\n";
  source += "  category 8 fr_FR.WIN1252@platform\n    monetary X X . , \"\" + - 2 2 1 0 1 0 1 1\n";
  Use(source);
  ASSERT_EQ(SL_OpenLocale(&h_, 15, "fr_FR.WIN1252@platform"), 0);
  EXPECT_EQ(SL_GetLCID(h_), 0x040Cu);
  SL_WCHAR out[64] = {};
  ASSERT_EQ(SL_GetLocaleItem(h_, out, 28), 0);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out)), u"janvier");
  ASSERT_EQ(SL_GetLocaleItem(h_, out, 149), 0);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out)), u"\u20AC");
  EXPECT_EQ(SLW_ToUpper(h_, 0x00FF), 0x0178);
  EXPECT_EQ(SLW_ToUpper(h_, 0x00E9), 0x00C9);
  EXPECT_EQ(SLW_GetCharClass(h_, 0x00E9), 4u);
  EXPECT_EQ(SLW_GetCharClass(h_, 0x00A0), 129u);
  EXPECT_EQ(SLW_GetCharClass(h_, 0x0009), 33u);
  const SL_WCHAR e[] = {0xE9, 0}, f[] = {'f', 0}, E[] = {0xC9, 0};
  EXPECT_EQ(SLW_StrCollate(h_, e, f), -1);
  EXPECT_EQ(_SLW_P_StrCollate(h_, e, E), -1);
  EXPECT_EQ(_SLW_P_StrnCollate(h_, e, 1, E, 0), 1);
  ASSERT_EQ(SL_SetCmpFlags(h_, 1), 0);
  EXPECT_EQ(SLW_StrCollate(h_, e, E), 0);
  EXPECT_EQ(SLW_BufferCollate(h_, e, 2, E, 4), 0);
  SL_WCHAR key[64];
  EXPECT_GT(SLW_StrTransform(h_, key, e, 64), 0);
}

}  // namespace
