// Packed decimals: the digit-string record, the parse of text and the
// formatting for the printf engines.
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "bcd.h"

namespace {

using slw::bcd::DigitString;
using slw::bcd::ParseConventions;
using Value = std::array<uint8_t, slw::bcd::kValueSize>;

// The first bytes of a value; the rest must be zero.
void ExpectValue(const Value& v, const std::vector<uint8_t>& head) {
  for (std::size_t i = 0; i < v.size(); ++i) {
    EXPECT_EQ(v[i], i < head.size() ? head[i] : 0) << "byte " << i;
  }
}

// The parse of narrow text, as SLN_StrBCD reads it.
LocaleStatus ParseBytes(std::string_view text, const ParseConventions& c, uint8_t* value) {
  return slw::bcd::Parse(text, nullptr, c, value);
}

TEST(Bcd, DigitStringRecordBothWays) {
  Value v{};
  v[0] = 3;
  v[1] = 0x81;
  v[2] = 0x12;
  v[3] = 0x30;
  DigitString d;
  slw::bcd::Unpack(v.data(), d);
  EXPECT_TRUE(d.negative);
  EXPECT_FALSE(d.flag);
  EXPECT_EQ(d.scale, 1);
  EXPECT_EQ(d.precision, 3);
  EXPECT_STREQ(d.digits, "123");
  Value back{};
  back.fill(0xEE);
  ASSERT_TRUE(slw::bcd::Pack(d, back.data()));
  EXPECT_EQ(back, v);

  // The flag goes to bit 6; a digit string shorter than its precision packs
  // zeros for the missing digits; a precision above 64 is cut.
  DigitString f;
  f.flag = true;
  f.scale = 63;
  f.precision = 4;
  std::strcpy(f.digits, "98");
  ASSERT_TRUE(slw::bcd::Pack(f, back.data()));
  ExpectValue(back, {4, 0x7F, 0x98, 0x00});
  f.precision = 200;
  ASSERT_TRUE(slw::bcd::Pack(f, back.data()));
  EXPECT_EQ(back[0], 64);
  v.fill(0x99);
  v[0] = 255;
  slw::bcd::Unpack(v.data(), d);
  EXPECT_EQ(d.precision, 64);
  EXPECT_EQ(std::string(d.digits), std::string(64, '9'));

  // A scale of 64 would spill into the flag bit.
  f.scale = 64;
  EXPECT_FALSE(slw::bcd::Pack(f, back.data()));
  ExpectValue(back, {});
}

ParseConventions Continental() {
  ParseConventions c;
  c.decimalPoint = u",";
  c.thousandsSeparator = u".";
  c.monetaryDecimalPoint = u".";
  c.monetaryThousandsSeparator = u",";
  c.currencySymbol = u"$";
  c.intlCurrencySymbol = u"USD ";
  c.negativeSign = u"~";
  c.positiveSign = u"#";
  return c;
}

TEST(Bcd, ParseText) {
  const ParseConventions posix = slw::bcd::PosixParseConventions();
  const ParseConventions continental = Continental();
  ParseConventions noMonetary = continental;
  noMonetary.currencySymbol = {};
  noMonetary.intlCurrencySymbol = {};
  struct Row {
    const char* text;
    const ParseConventions& conventions;
    LocaleStatus status;
    std::vector<uint8_t> head;
  };
  const Row rows[] = {
      {"(12.50)", posix, 0, {4, 0x82, 0x12, 0x50}},
      {"12.50", posix, 0, {4, 0x02, 0x12, 0x50}},
      {"-7", posix, 0, {1, 0x80, 0x70}},
      {"+7", posix, 0, {1, 0x00, 0x70}},
      {"7-", posix, 0, {1, 0x80, 0x70}},
      {"(7", posix, 0, {1, 0x00, 0x70}},
      {".5", posix, 0, {1, 0x01, 0x50}},
      {"0.05", posix, 0, {3, 0x02, 0x00, 0x50}},
      {"12.", posix, 0, {2, 0x00, 0x12}},
      {"  about 42 pieces", posix, 0, {2, 0x00, 0x42}},
      {"1,234.5", posix, 0, {1, 0x00, 0x10}},   // no separator in the built-in data
      {"1.2.3", posix, 0, {2, 0x01, 0x12}},
      {"abc", posix, SL_STATUS_BAD_ARGUMENT, {}},
      {"", posix, SL_STATUS_BAD_ARGUMENT, {}},
      {"-.", posix, SL_STATUS_BAD_ARGUMENT, {}},
      {"1.234,5", continental, 0, {5, 0x01, 0x12, 0x34, 0x50}},
      {"$1,234.50", continental, 0, {6, 0x02, 0x12, 0x34, 0x50}},
      {"USD 1,234.50~", continental, 0, {6, 0x82, 0x12, 0x34, 0x50}},
      {"1.234.", continental, 0, {4, 0x00, 0x12, 0x34}},
      {"1..234", continental, 0, {1, 0x00, 0x10}},
      {"~5", continental, 0, {1, 0x80, 0x50}},
      {"-5", continental, 0, {1, 0x00, 0x50}},
      // Without currency symbols the numeric conventions hold.
      {"12,50", noMonetary, 0, {4, 0x02, 0x12, 0x50}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Value v;
    v.fill(0xAA);
    EXPECT_EQ(ParseBytes(r.text, r.conventions, v.data()), r.status);
    ExpectValue(v, r.head);
    // Wide text of the same characters reads the same.
    const std::u16string wide(r.text, r.text + std::strlen(r.text));
    Value w;
    w.fill(0xAA);
    EXPECT_EQ(slw::bcd::Parse(wide, r.conventions, w.data()), r.status);
    EXPECT_EQ(w, v);
  }
}

TEST(Bcd, ParseTakesAtMost64DigitsAnd63AfterThePoint) {
  const ParseConventions posix = slw::bcd::PosixParseConventions();
  struct Row {
    std::string text;
    LocaleStatus status;
    uint8_t precision, signScale;
  };
  const Row rows[] = {
      {std::string(64, '9'), 0, 64, 0x00},
      {std::string(65, '9'), SL_STATUS_BAD_ARGUMENT, 0, 0},
      {std::string(40, '1') + "." + std::string(24, '2'), 0, 64, 24},
      {std::string(40, '1') + "." + std::string(25, '2'), SL_STATUS_BAD_ARGUMENT, 0, 0},
      {"-0." + std::string(63, '5'), 0, 64, 0x80 | 63},
      {"." + std::string(64, '5'), SL_STATUS_BAD_ARGUMENT, 0, 0},
      {"." + std::string(63, '5'), 0, 63, 63},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Value v;
    v.fill(0xAA);
    EXPECT_EQ(ParseBytes(r.text, posix, v.data()), r.status);
    EXPECT_EQ(v[0], r.precision);
    EXPECT_EQ(v[1], r.signScale);
    if (r.status != 0) ExpectValue(v, {});
  }
}

TEST(Bcd, MultiByteTextIsReadByCharacters) {
  uint8_t lead[32] = {};
  lead[0x81 / 8] |= 1u << (0x81 % 8);
  // "\x81" "5" is one double-byte character; its trail byte is no digit.
  const char* text = "\x81" "5" "7";
  ParseConventions c = slw::bcd::PosixParseConventions();
  Value v{};
  ASSERT_EQ(slw::bcd::Parse(text, lead, c, v.data()), 0);
  ExpectValue(v, {1, 0x00, 0x70});
  ASSERT_EQ(slw::bcd::Parse(text, nullptr, c, v.data()), 0);
  ExpectValue(v, {2, 0x00, 0x57});
  // A lead byte is a sign of its own only where it stands alone: at the end
  // of the text, not before a trail byte.
  c.negativeSign = u"\x81";
  ASSERT_EQ(slw::bcd::Parse("7\x81", lead, c, v.data()), 0);
  ExpectValue(v, {1, 0x80, 0x70});
  ASSERT_EQ(slw::bcd::Parse(text, lead, c, v.data()), 0);
  ExpectValue(v, {1, 0x00, 0x70});
}

// The currency symbol of a multi-byte locale is bytes, as its category holds
// it; the text holds it where those bytes are whole characters. (It was
// compared with the codes of the text's double-byte characters and never
// found, so the monetary point and separator never applied.)
TEST(Bcd, MultiByteCurrencySymbolTakesTheMonetaryConventions) {
  uint8_t lead[32] = {};
  lead[0x81 / 8] |= 1u << (0x81 % 8);
  ParseConventions c = Continental();
  c.currencySymbol = u"\x81\x8F";
  c.intlCurrencySymbol = {};
  Value v{};
  ASSERT_EQ(slw::bcd::Parse("\x81\x8F" "1,234.5", lead, c, v.data()), 0);
  ExpectValue(v, {5, 0x01, 0x12, 0x34, 0x50});
  ASSERT_EQ(slw::bcd::Parse("1,234.5 \x81\x8F", lead, c, v.data()), 0);
  ExpectValue(v, {5, 0x01, 0x12, 0x34, 0x50});
  // Its bytes across two characters are not the symbol: numeric conventions.
  ASSERT_EQ(slw::bcd::Parse("\x81\x81\x8F" "1,234.5", lead, c, v.data()), 0);
  ExpectValue(v, {4, 0x03, 0x12, 0x34});
}

Value ValueOf(const char* text) {
  Value v{};
  EXPECT_EQ(ParseBytes(text, slw::bcd::PosixParseConventions(), v.data()), 0) << text;
  return v;
}

std::string Formatted(const Value& v, int precision, char conversion, bool alternate,
                      const slw::bcd::FormatConventions<char>& c = slw::bcd::PosixFormatConventions<char>()) {
  char out[256];
  const std::size_t n = slw::bcd::Format(v.data(), precision, conversion, alternate, c, out, sizeof out);
  EXPECT_EQ(n, std::strlen(out));
  return out;
}

TEST(Bcd, FormatForThePrintfEngines) {
  Value small{};
  small[0] = 1;
  small[1] = 3;  // 0.005: the scale above the precision
  small[2] = 0x50;
  Value zero{};
  struct Row {
    Value value;
    int precision;
    char conversion;
    bool alternate;
    const char* text;
  };
  const Row rows[] = {
      {ValueOf("0.995"), 2, 'F', false, "1.00"},
      {ValueOf("0.995"), 2, 'f', false, "1.00"},
      {ValueOf("0.994"), 2, 'F', false, "0.99"},
      {ValueOf("12.5"), 0, 'F', false, "13"},
      {ValueOf("12.5"), 0, 'F', true, "13."},
      {ValueOf("12.4"), 0, 'F', false, "12"},
      {ValueOf("0.5"), 0, 'F', false, "1"},
      {ValueOf("(12.50)"), 3, 'f', false, "-12.500"},
      {ValueOf("999.96"), 1, 'F', false, "1000.0"},
      {ValueOf("007.5"), 1, 'F', false, "7.5"},
      {ValueOf("42"), 2, 'F', false, "42.00"},
      {ValueOf("12.5"), 1, 'G', false, "12.5"},
      {ValueOf("12.5"), 1, 'g', false, "12.5"},
      {ValueOf("12.5"), -3, 'F', false, "13"},
      {small, 2, 'F', false, "0.01"},
      {small, 4, 'F', false, "0.0050"},
      {zero, 2, 'F', false, "0.00"},
      {ValueOf("1234.5"), 2, 'E', false, "1.23E+03"},
      {ValueOf("1235"), 2, 'e', false, "1.24e+03"},
      {ValueOf("9.99"), 1, 'e', false, "1.0e+01"},
      {ValueOf("-0.00012"), 3, 'E', false, "-1.200E-04"},
      {ValueOf("1234"), 0, 'E', false, "1E+03"},
      {ValueOf("1234"), 0, 'E', true, "1.E+03"},
      {zero, 2, 'E', false, "0.00E+00"},
      {small, 1, 'E', false, "5.0E-03"},
      {ValueOf(("1" + std::string(63, '0')).c_str()), 1, 'E', false, "1.0E+63"},
      {ValueOf(("0." + std::string(62, '0') + "1").c_str()), 0, 'e', false, "1e-63"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(Formatted(r.value, r.precision, r.conversion, r.alternate), r.text);
  }
}

TEST(Bcd, FormatUsesTheLocaleTextsAndNeverWritesPastTheBuffer) {
  slw::bcd::FormatConventions<char> c;
  c.decimalPoint = ",";
  c.exponentUpper = "EXP";
  c.exponentLower = "exp";
  const Value v = ValueOf("-1234.5");
  EXPECT_EQ(Formatted(v, 2, 'f', false, c), "-1234,50");
  EXPECT_EQ(Formatted(v, 2, 'E', false, c), "-1,23EXP+03");
  EXPECT_EQ(Formatted(v, 2, 'e', false, c), "-1,23exp+03");

  slw::bcd::FormatConventions<char16_t> w = slw::bcd::PosixFormatConventions<char16_t>();
  w.decimalPoint.assign(1, u'\u066B');  // by count: g++ 12 warns falsely (-Wrestrict) on a literal
  char16_t wide[16];
  EXPECT_EQ(slw::bcd::Format(v.data(), 1, 'F', false, w, wide, 16), 7u);
  EXPECT_EQ(std::u16string(wide), u"-1234\u066B5");

  char small[5];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(slw::bcd::Format(v.data(), 2, 'F', false, slw::bcd::PosixFormatConventions<char>(), small, 4), 8u);
  EXPECT_STREQ(small, "-12");
  EXPECT_EQ(small[4], 'x');
  EXPECT_EQ(slw::bcd::Format(v.data(), 2, 'F', false, slw::bcd::PosixFormatConventions<char>(), static_cast<char*>(nullptr), 0), 8u);
}

}  // namespace
