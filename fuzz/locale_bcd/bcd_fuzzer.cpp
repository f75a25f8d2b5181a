// Text to packed decimal in the three families, then the value formatted
// back. The first byte picks the family, the conventions and the format; the
// rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "bcd.h"

namespace {

// Multi-byte text gets a currency symbol and a negative sign of one
// double-byte character each.
slw::bcd::ParseConventions Conventions(uint8_t pick, int family) {
  if ((pick & 0x04) == 0) return slw::bcd::PosixParseConventions();
  slw::bcd::ParseConventions c;
  c.decimalPoint = u",";
  c.thousandsSeparator = u".";
  c.monetaryDecimalPoint = u".";
  c.monetaryThousandsSeparator = u",";
  c.currencySymbol = u"$";
  c.intlCurrencySymbol = u"USD ";
  c.negativeSign = u"-";
  c.positiveSign = u"+";
  if (family == 2) {
    c.currencySymbol = u"\x81\x8F";
    c.negativeSign = u"\x81\x7C";
  }
  return c;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const uint8_t pick = data[0];
  ++data;
  --size;

  uint8_t value[slw::bcd::kValueSize];
  std::memset(value, 0xAA, sizeof value);
  LocaleStatus status = 0;
  const int family = pick % 3;
  if (family == 1) {
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    // As the export reads it: up to the first zero unit.
    status = slw::bcd::Parse(std::u16string_view(units.c_str()), Conventions(pick, family), value);
  } else {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    uint8_t lead[32];
    std::memset(lead, 0, sizeof lead);
    for (int b = 0x81; b <= 0x9F; ++b) lead[b / 8] |= static_cast<uint8_t>(1u << (b % 8));
    const std::string_view text(bytes.c_str());
    status = slw::bcd::Parse(text, family == 0 ? nullptr : lead, Conventions(pick, family), value);
  }
  if (status != 0) {
    for (uint8_t b : value) Check(b == 0);
    return 0;
  }
  Check(value[0] >= 1 && value[0] <= slw::bcd::kMaxDigits);
  Check((value[1] & 0x40) == 0);
  for (int k = value[0]; k < 64; ++k) Check((k % 2 == 0 ? value[2 + k / 2] >> 4 : value[2 + k / 2] & 0x0F) == 0);

  slw::bcd::DigitString digits;
  slw::bcd::Unpack(value, digits);
  uint8_t back[slw::bcd::kValueSize];
  Check(slw::bcd::Pack(digits, back));
  Check(std::memcmp(back, value, sizeof value) == 0);

  static const char kConversions[] = "EeFfGg";
  const char conversion = kConversions[(pick >> 3) % 6];
  const int precision = (pick >> 5) * 11 - 3;
  char whole[512];
  const std::size_t length = slw::bcd::Format(value, precision, conversion, (pick & 1) != 0,
                                              slw::bcd::PosixFormatConventions<char>(), whole, sizeof whole);
  Check(length < sizeof whole && std::strlen(whole) == length);
  char cut[7];
  std::memset(cut, 'x', sizeof cut);
  Check(slw::bcd::Format(value, precision, conversion, (pick & 1) != 0, slw::bcd::PosixFormatConventions<char>(),
                         cut, 6) == length);
  Check(cut[6] == 'x' && std::strncmp(cut, whole, std::strlen(cut)) == 0);
  return 0;
}
