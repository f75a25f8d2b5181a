// Windows date pictures (LOCALE_SLONGDATE, LOCALE_SSHORTDATE) into time
// formats, for the platform fill of LC_TIME.
#include "format.h"

namespace slw::format {

namespace {

// Locales whose name directives take the system locale's names.
bool UsesSystemNames(std::string_view name) {
  for (std::string_view prefix : {"ja_JP", "zh_TW", "zh_CN", "ko_KR"})
    if (name.substr(0, prefix.size()) == prefix) return true;
  return false;
}

}  // namespace

Codes ConvertDatePicture(std::string_view localeName, const Codes& picture, Codes& eraYearFormat) {
  const Codes source = UsesSystemNames(localeName) ? Codes(u"$S") : Codes();
  Codes out;
  auto literal = [&](char16_t c) {
    out.push_back(c);
    if (c == u'%') out.push_back(u'%');
  };
  std::size_t i = 0;
  while (i < picture.size()) {
    const char16_t c = picture[i];
    if (c == u'\'') {
      // Quoted text is copied as it stands; the quotes are dropped.
      for (++i; i < picture.size() && picture[i] != u'\''; ++i) literal(picture[i]);
      if (i < picture.size()) ++i;
      continue;
    }
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    switch (c) {
      case u'd':
        out += run <= 2 ? u"%d" : u"%" + source + (run == 3 ? u"a" : u"A");
        break;
      case u'M':
        out += run <= 2 ? u"%m" : u"%" + source + (run == 3 ? u"b" : u"B");
        break;
      case u'y':
        out += run <= 3 ? u"%y" : u"%Y";
        break;
      case u'W':
        out += run == 1 ? u"%a" : u"%A";
        break;
      case u'n':
        out += run == 1 ? u"%-Ey" : (run == 2 ? u"%+Ey" : u"%Ey");
        break;
      case u'G': {
        out += u"%EY";
        if (run == 1) {
          if (i + run < picture.size()) ++run;  // the character after a single "G" goes with it
        } else {
          std::size_t years = 0;
          while (years < 3 && i + run + years < picture.size() && picture[i + run + years] == u'n') ++years;
          if (years == 1) eraYearFormat = u"%EC%Ey";
          if (years == 2) eraYearFormat = u"%EC%E+y";
          run += years;
        }
        break;
      }
      default:
        for (std::size_t k = 0; k < run; ++k) literal(c);
        break;
    }
    i += run;
  }
  return out;
}

}  // namespace slw::format
