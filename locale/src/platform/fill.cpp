// Categories filled from the platform's locale information: the narrow and
// multi-byte families take the ANSI (code-page) answers as bytes, the wide
// family the 16-bit ones.
#include <algorithm>
#include <string>
#include <vector>

#include "categories.h"
#include "format/format.h"
#include "platform/nls.h"
#include "platform/platform_ops.h"

namespace slw {
namespace {

namespace nls = platform::nls;

// The POSIX class masks the fill sets.
constexpr uint32_t kSpace = 1, kDigit = 2, kLower = 4, kUpper = 8, kCntrl = 32, kPunct = 64, kBlank = 128;

// Letters are only lower or upper and digits only digits; other characters
// take the space, control, punctuation and blank classes. A control
// character (tab) is no blank, as in the POSIX table.
uint32_t ClassOfType(uint16_t t) {
  if ((t & (nls::kC1Upper | nls::kC1Lower)) != 0)
    return ((t & nls::kC1Lower) != 0 ? kLower : 0) | ((t & nls::kC1Upper) != 0 ? kUpper : 0);
  if ((t & nls::kC1Digit) != 0) return kDigit;
  uint32_t c = 0;
  if ((t & nls::kC1Space) != 0) c |= kSpace;
  if ((t & nls::kC1Cntrl) != 0) c |= kCntrl;
  if ((t & nls::kC1Punct) != 0) c |= kPunct;
  if ((t & nls::kC1Blank) != 0 && (t & nls::kC1Cntrl) == 0) c |= kBlank;
  return c;
}

Text FromBytes(const std::string& s) {
  Text t;
  for (char c : s) t.push_back(static_cast<uint8_t>(c));
  return t;
}

std::string ToBytes(const Text& t) {
  std::string s;
  for (char16_t c : t) s.push_back(static_cast<char>(c & 0xFF));
  return s;
}

// One fill: the category's family decides which form of the locale
// information it reads and how long its fields may be.
class Filler {
 public:
  Filler(uint8_t family, uint32_t lcid)
      : family_(family), lcid_(lcid), lead_(nls::LeadBytesOf(nls::AnsiCodePageOf(lcid))) {}

  bool wide() const { return family_ == SL_FAMILY_WIDE; }

  // The answer of `type`, cut to a field of `narrowWidth` narrow bytes;
  // false when the platform has none.
  bool Get(uint32_t type, Text& out, std::size_t narrowWidth = 0) const {
    Text t;
    if (wide()) {
      std::u16string w;
      if (!nls::GetLocaleInfoW(lcid_, type, w)) return false;
      t = w;
    } else {
      std::string a;
      if (!nls::GetLocaleInfo(lcid_, type, a)) return false;
      t = FromBytes(a);
    }
    if (narrowWidth != 0) Cut(t, (family_ == SL_FAMILY_MULTI ? 2 * narrowWidth : narrowWidth) - 1);
    out = std::move(t);
    return true;
  }

  int Number(uint32_t type, int otherwise) const {
    Text t;
    if (!Get(type, t) || t.empty()) return otherwise;
    return std::atoi(ToBytes(t).c_str());
  }

  bool IsLead(char16_t byte) const { return family_ == SL_FAMILY_MULTI && byte < 256 && lead_[byte]; }

 private:
  // Cut to `units`, never leaving a lead byte without its trail byte.
  void Cut(Text& t, std::size_t units) const {
    std::size_t end = 0;
    while (end < t.size()) {
      const std::size_t n = IsLead(t[end]) && end + 1 < t.size() ? 2 : 1;
      if (end + n > units) break;
      end += n;
    }
    t.resize(end);
  }

  uint8_t family_;
  uint32_t lcid_;
  std::vector<bool> lead_;
};

std::string LocaleNameOf(uint32_t lcid) { return nls::LocaleOfLcid(nls::ResolveLcid(lcid)); }

void FillCtype(CtypeCategory& c, uint32_t lcid) {
  PagedTable<uint32_t> classes;
  classes.page[0] = 0;
  classes.pages.resize(1);
  std::vector<Translation> tables(2);
  tables[0].name = "toupper";
  tables[1].name = "tolower";
  for (Translation& t : tables) {
    t.first.fill(0xFFFF);
    t.table.page[0] = 0;
    t.table.pages.resize(1);
    t.table.pages[0].fill(0);
  }
  auto& cls = classes.pages[0];
  auto& upper = tables[0].table.pages[0];
  auto& lower = tables[1].table.pages[0];
  if (c.family() == SL_FAMILY_WIDE) {
    // Codes 0-255 are Unicode's own first 256 characters.
    for (char32_t code = 1; code < 256; ++code) {
      cls[code] = ClassOfType(nls::CharType1(code));
      std::u16string in(1, static_cast<char16_t>(code)), up, down;
      if (nls::LCMapStringW(lcid, nls::kLcmapUppercase, in, up) && up.size() == 1) upper[code] = up[0];
      if (nls::LCMapStringW(lcid, nls::kLcmapLowercase, in, down) && down.size() == 1) lower[code] = down[0];
    }
  } else {
    // Byte by byte, so a lead byte of the code page stays a class of its own.
    for (int byte = 1; byte < 256; ++byte) {
      const std::string in(1, static_cast<char>(byte));
      std::vector<uint16_t> types;
      if (nls::GetStringTypeA(lcid, in, types) && types.size() == 1) cls[byte] = ClassOfType(types[0]);
      std::string up, down;
      if (nls::LCMapStringA(lcid, nls::kLcmapUppercase, in, up) && up.size() == 1) upper[byte] = static_cast<uint8_t>(up[0]);
      if (nls::LCMapStringA(lcid, nls::kLcmapLowercase, in, down) && down.size() == 1)
        lower[byte] = static_cast<uint8_t>(down[0]);
    }
  }
  c.SetPlatformTables(std::move(classes), std::move(tables));
}

// A Windows date picture as a time format; in the multi-byte family each
// two-byte character is quoted first, so its trail byte is never taken for
// a picture letter.
Text DateFormatOf(const Filler& f, const std::string& localeName, const Text& picture, Text& eraYearFormat) {
  Text quoted;
  for (std::size_t i = 0; i < picture.size(); ++i) {
    if (f.IsLead(picture[i]) && i + 1 < picture.size()) {
      quoted += u'\'';
      quoted += picture[i];
      quoted += picture[++i];
      quoted += u'\'';
    } else {
      quoted += picture[i];
    }
  }
  return format::ConvertDatePicture(localeName, quoted, eraYearFormat);
}

void FillTime(TimeCategory& c, uint32_t lcid) {
  Filler f(c.family(), lcid);
  auto& texts = c.texts;
  for (uint32_t i = 0; i < 7; ++i) {
    // Windows counts from Monday: its seventh day is Sunday, entry 0.
    const std::size_t entry = (i + 1) % 7;
    f.Get(nls::kLocaleSAbbrevDayName1 + i, texts[entry]);
    f.Get(nls::kLocaleSDayName1 + i, texts[7 + entry]);
  }
  for (uint32_t i = 0; i < 12; ++i) {
    f.Get(nls::kLocaleSAbbrevMonthName1 + i, texts[14 + i]);
    f.Get(nls::kLocaleSMonthName1 + i, texts[26 + i]);
  }
  f.Get(nls::kLocaleS1159, texts[38]);
  f.Get(nls::kLocaleS2359, texts[39]);
  const std::string localeName = LocaleNameOf(lcid);
  Text picture, eraYear = texts[45];
  if (f.Get(nls::kLocaleSLongDate, picture)) texts[41] = DateFormatOf(f, localeName, picture, eraYear);
  if (f.Get(nls::kLocaleSShortDate, picture)) texts[46] = DateFormatOf(f, localeName, picture, eraYear);
  texts[45] = eraYear;
  // The leading-zero flag belongs to the hour alone.
  Text separator = u":";
  f.Get(nls::kLocaleSTime, separator);
  const bool hours24 = f.Number(nls::kLocaleITime, 0) != 0;
  const bool leadingZero = f.Number(nls::kLocaleITLZero, 0) != 0;
  Text time = u"%";
  time += leadingZero ? u'+' : u'-';
  time += hours24 ? u'H' : u'I';
  time += separator + u"%M" + separator + u"%S";
  if (!hours24) time += u" %p";
  texts[42] = time;
}

void FillNumeric(NumericCategory& c, uint32_t lcid) {
  Filler f(c.family(), lcid);
  f.Get(nls::kLocaleSDecimal, c.decimalPoint, 2);
  f.Get(nls::kLocaleSThousand, c.thousands, 2);
  f.Get(nls::kLocaleSList, c.list, 5);
  Text grouping;
  if (f.Get(nls::kLocaleSGrouping, grouping)) c.grouping = format::GroupingFromWindows(ToBytes(grouping));
}

void FillMonetary(MonetaryCategory& c, uint32_t lcid) {
  Filler f(c.family(), lcid);
  f.Get(nls::kLocaleSIntlSymbol, c.intlSymbol, 5);
  f.Get(nls::kLocaleSCurrency, c.symbol, 5);
  f.Get(nls::kLocaleSMonDecimalSep, c.decimalPoint, 2);
  f.Get(nls::kLocaleSMonThousandSep, c.thousands, 2);
  f.Get(nls::kLocaleSPositiveSign, c.positiveSign, 5);
  f.Get(nls::kLocaleSNegativeSign, c.negativeSign, 5);
  Text grouping;
  if (f.Get(nls::kLocaleSMonGrouping, grouping)) c.grouping = format::GroupingFromWindows(ToBytes(grouping));
  auto& v = c.values;
  v[0] = static_cast<uint8_t>(f.Number(nls::kLocaleIIntlCurrDigits, v[0]));
  v[1] = static_cast<uint8_t>(f.Number(nls::kLocaleICurrDigits, v[1]));
  // Symbol before a positive value, and a space between them.
  static constexpr uint8_t kPositive[4][2] = {{1, 0}, {0, 0}, {1, 1}, {0, 1}};
  const int positive = f.Number(nls::kLocaleICurrency, -1);
  if (positive >= 0 && positive < 4) {
    v[2] = kPositive[positive][0];
    v[3] = kPositive[positive][1];
  }
  // Symbol before a negative value, a space between, and the sign position.
  // ("-$ 1.1", form 9, has its symbol first.)
  static constexpr uint8_t kNegative[11][3] = {{1, 0, 0}, {1, 0, 1}, {1, 0, 4}, {1, 0, 2}, {0, 0, 0}, {0, 0, 1},
                                               {0, 0, 3}, {0, 0, 4}, {0, 1, 1}, {1, 1, 1}, {0, 1, 2}};
  const int negative = f.Number(nls::kLocaleINegCurr, -1);
  if (negative >= 0 && negative < 11) {
    v[4] = kNegative[negative][0];
    v[5] = kNegative[negative][1];
    v[7] = kNegative[negative][2];
  }
  // A positive amount's sign goes before value and symbol.
  v[6] = 1;
}

}  // namespace

Status FillCategoryFromPlatform(Category& category, uint32_t lcid) {
  category.SetName("WIN");
  if (auto* c = dynamic_cast<CtypeCategory*>(&category)) FillCtype(*c, lcid);
  else if (auto* t = dynamic_cast<TimeCategory*>(&category)) FillTime(*t, lcid);
  else if (auto* n = dynamic_cast<NumericCategory*>(&category)) FillNumeric(*n, lcid);
  else if (auto* m = dynamic_cast<MonetaryCategory*>(&category)) FillMonetary(*m, lcid);
  return kOk;
}

Status CategoryBase::FillFromPlatform(uint32_t lcid) { return FillCategoryFromPlatform(*this, lcid); }

}  // namespace slw
