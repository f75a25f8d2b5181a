#include "intl_settings.h"

#include <cstdlib>
#include <string>

#include "platform/registry.h"

namespace slw {

namespace {

namespace reg = platform::registry;

struct Field {
  const char* name;
  uint16_t offset;
  uint16_t size;  // text bytes with the terminator; 0: a 16-bit number
};

constexpr Field kFields[] = {
    {"sLanguage", 0, 5},     {"sCountry", 5, 32},     {"iCountry", 37, 0},   {"iDate", 39, 0},
    {"iTime", 41, 0},        {"iTLZero", 43, 0},      {"iCurrency", 45, 0},  {"iCurrDigits", 47, 0},
    {"iNegCurr", 49, 0},     {"iLzero", 51, 0},       {"iDigits", 53, 0},    {"iMeasure", 55, 0},
    {"s1159", 57, 10},       {"s2359", 67, 10},       {"sCurrency", 77, 6},  {"sThousand", 83, 2},
    {"sDecimal", 85, 2},     {"sDate", 87, 2},        {"sTime", 89, 4},      {"sList", 93, 2},
    {"sShortDate", 95, 16},  {"sLongDate", 111, 32},  {"iTimePrefix", 143, 0},
};

}  // namespace

void ReadInternationalSettings(IntlRecord& record) {
  record.fill(0);
  reg::Key key;
  if (reg::OpenKey(reg::Hive::CurrentUser, "Control Panel\\International", false, key) != reg::kSuccess) return;
  for (const Field& f : kFields) {
    std::string text;
    if (key.QueryString(f.name, text) != reg::kSuccess) continue;
    if (f.size == 0) {
      const auto value = static_cast<uint16_t>(static_cast<int16_t>(std::strtol(text.c_str(), nullptr, 10)));
      record[f.offset] = static_cast<uint8_t>(value & 0xFF);
      record[f.offset + 1u] = static_cast<uint8_t>(value >> 8);
    } else {
      for (std::size_t i = 0; i + 1 < f.size && i < text.size(); ++i) record[f.offset + i] = static_cast<uint8_t>(text[i]);
    }
  }
  key.Close();
}

}  // namespace slw
