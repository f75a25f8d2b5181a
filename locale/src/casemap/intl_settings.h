// The Windows international settings ("Control Panel\International" of the
// current user), read into the 145-byte record the platform locales are named
// from. Layout, little-endian, text fields zero-terminated within their size:
//   0 sLanguage 5 | 5 sCountry 32 | 37 iCountry, iDate, iTime, iTLZero,
//   iCurrency, iCurrDigits, iNegCurr, iLzero, iDigits, iMeasure: 10 x int16 |
//   57 s1159 10 | 67 s2359 10 | 77 sCurrency 6 | 83 sThousand 2 | 85 sDecimal 2 |
//   87 sDate 2 | 89 sTime 4 | 93 sList 2 | 95 sShortDate 16 | 111 sLongDate 32 |
//   143 iTimePrefix int16
#pragma once

#include <array>
#include <cstdint>

namespace slw {

inline constexpr std::size_t kIntlRecordSize = 145;
using IntlRecord = std::array<uint8_t, kIntlRecordSize>;

// Clears the record and fills what the hive holds; an absent value (or key)
// leaves its field cleared.
void ReadInternationalSettings(IntlRecord& record);

}  // namespace slw
