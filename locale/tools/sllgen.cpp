// sllgen: writes the sllc source of a locale library from ICU's data.
//
//   sllgen [--drivers TABLE] OUTPUT "TITLE" LOCALE...
//                                        LOCALE: language_COUNTRY.SET, SET one
//                                        of WIN1252, DOS437, DOS850, WIN932,
//                                        Unicode (the Basic Multilingual Plane)
//
// Each locale gets its eight categories, under its plain name and under the
// name of every language driver of TABLE (resources/langdrivers.txt) that
// names it ("en_US.WIN1252@dbase!87"). LC_COLLATE: the code page's
// characters (decoded with ICU's converter; unassigned codes stay undefined)
// in three forward levels taken from the locale's collator (see
// WriteCollate). LC_CTYPE holds the classes and simple case maps; a
// character whose full upper case is several characters (sharp s to SS) has
// the table value 0xFFFF and its multi-character entry. LC_TIME: ICU's day
// and month names and its full date, medium time and short date patterns as
// formats; LC_NUMERIC, LC_MONETARY and LC_MESSAGES the locale's symbols;
// soundex the classic table.
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/ucurr.h>
#include <unicode/udat.h>
#include <unicode/uchar.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Charset {
  std::string name;     // the part after "."
  const char* icu;      // ICU converter
  int family;           // 1 narrow, 2 wide, 3 multi-byte
};

const Charset kCharsets[] = {{"WIN1252", "windows-1252", 1},
                             {"DOS437", "ibm-437", 1},
                             {"DOS850", "ibm-850", 1},
                             {"WIN932", "windows-932", 3},
                             {"Unicode", nullptr, 2}};

// One character of the locale: its code in the locale's family and its text.
struct Char {
  uint16_t code;
  std::u16string text;
};

bool Ok(UErrorCode e) { return U_SUCCESS(e); }

// The characters a code page defines (round trip through the converter),
// and its lead bytes.
std::vector<Char> CodePage(const Charset& cs, std::set<uint8_t>& leads) {
  std::vector<Char> out;
  if (cs.icu == nullptr) {
    for (UChar32 c = 1; c < 0x10000; ++c) {
      if (U_IS_SURROGATE(c) || !u_isdefined(c) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE) continue;
      out.push_back({static_cast<uint16_t>(c), std::u16string(1, static_cast<char16_t>(c))});
    }
    return out;
  }
  UErrorCode e = U_ZERO_ERROR;
  UConverter* conv = ucnv_open(cs.icu, &e);
  if (!Ok(e)) {
    std::cerr << "sllgen: no converter " << cs.icu << "\n";
    std::exit(1);
  }
  ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
  ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
  UBool starters[256] = {};
  if (cs.family == 3) {
    ucnv_getStarters(conv, starters, &e);
    for (int b = 0; b < 256; ++b)
      if (starters[b] && b >= 0x80) leads.insert(static_cast<uint8_t>(b));
  }
  auto decode = [&](const std::string& bytes, uint16_t code) {
    UErrorCode err = U_ZERO_ERROR;
    UChar u[8];
    ucnv_resetToUnicode(conv);
    int32_t n = ucnv_toUChars(conv, u, 8, bytes.data(), static_cast<int32_t>(bytes.size()), &err);
    if (!Ok(err) || n != 1 || U16_IS_SURROGATE(u[0])) return;
    char back[8];
    err = U_ZERO_ERROR;
    ucnv_resetFromUnicode(conv);
    int32_t m = ucnv_fromUChars(conv, back, 8, u, 1, &err);
    if (!Ok(err) || std::string(back, static_cast<std::size_t>(m)) != bytes) return;
    out.push_back({code, std::u16string(u, 1)});
  };
  for (int b = 1; b < 256; ++b)
    if (leads.count(static_cast<uint8_t>(b)) == 0) decode(std::string(1, static_cast<char>(b)), static_cast<uint16_t>(b));
  for (uint8_t lead : leads)
    for (int t = 0x40; t < 0x100; ++t) {
      std::string bytes{static_cast<char>(lead), static_cast<char>(t)};
      decode(bytes, static_cast<uint16_t>(lead << 8 | t));
    }
  ucnv_close(conv);
  return out;
}

// Collation elements of a text, level by level as the collator compares at
// strength tertiary: the primaries (a continuation joined to the half before
// it), the secondaries and the tertiaries, each level without its zeros; a
// tertiary keeps its case bits as the collator's case-first setting orders
// them (off: none; upper first: the upper case before the lower).
struct Elements {
  std::vector<uint32_t> level[3];
};

Elements ElementsOf(UCollator* coll, const std::u16string& text) {
  Elements out;
  UErrorCode e = U_ZERO_ERROR;
  const UColAttributeValue caseFirst = ucol_getAttribute(coll, UCOL_CASE_FIRST, &e);
  UCollationElements* it = ucol_openElements(coll, reinterpret_cast<const UChar*>(text.data()),
                                             static_cast<int32_t>(text.size()), &e);
  for (int32_t ce; Ok(e) && (ce = ucol_next(it, &e)) != UCOL_NULLORDER;) {
    auto u = static_cast<uint32_t>(ce);
    if ((u & 0xC0) == 0xC0) {  // continuation: the low half of the last primary
      if (!out.level[0].empty()) out.level[0].back() |= u >> 16;
      continue;
    }
    const uint32_t p = u & 0xFFFF0000u, sec = (u >> 8) & 0xFF;
    uint32_t ter = u & 0xFF;
    if (caseFirst == UCOL_OFF) ter &= 0x3F;
    else if (caseFirst == UCOL_UPPER_FIRST && ter != 0) ter = p != 0 || sec != 0 ? ter ^ 0xC0 : ter + 0x40;
    if (p != 0) out.level[0].push_back(p);
    if (sec != 0) out.level[1].push_back(sec);
    if (ter != 0) out.level[2].push_back(ter);
  }
  ucol_closeElements(it);
  return out;
}

std::string Hex(unsigned v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%X", v);
  return b;
}

// A text of the family as an sllc quoted text: bytes, every byte escaped.
std::string Quote(const std::string& bytes) {
  std::string q = "\"";
  for (unsigned char c : bytes) {
    char b[8];
    std::snprintf(b, sizeof b, "\\x%02X", c);
    q += b;
  }
  return q + "\"";
}

class Encoder {
 public:
  explicit Encoder(const Charset& cs) {
    if (cs.icu != nullptr) {
      UErrorCode e = U_ZERO_ERROR;
      conv_ = ucnv_open(cs.icu, &e);
      ucnv_setFromUCallBack(conv_, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    }
  }
  ~Encoder() {
    if (conv_ != nullptr) ucnv_close(conv_);
  }
  // A text in the family's units as bytes (wide: code points below 256 only,
  // as the sllc source writes a unit per byte); false when not representable.
  bool Encode(const std::u16string& text, std::string& out) const {
    out.clear();
    if (conv_ == nullptr) {
      for (char16_t c : text) {
        if (c >= 256) return false;
        out.push_back(static_cast<char>(c));
      }
      return true;
    }
    UErrorCode e = U_ZERO_ERROR;
    char b[256];
    ucnv_resetFromUnicode(conv_);
    int32_t n = ucnv_fromUChars(conv_, b, sizeof b, reinterpret_cast<const UChar*>(text.data()),
                                static_cast<int32_t>(text.size()), &e);
    if (!Ok(e)) return false;
    out.assign(b, static_cast<std::size_t>(n));
    return true;
  }
  // A text as an sllc quoted text of the family's units (wide: "\\uNNNN").
  bool Units(const std::u16string& text, std::string& quoted) const {
    std::string bytes;
    if (conv_ != nullptr) {
      if (!Encode(text, bytes)) return false;
      quoted = Quote(bytes);
      return true;
    }
    quoted = "\"";
    for (char16_t c : text) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04X", static_cast<unsigned>(c));
      quoted += b;
    }
    quoted += "\"";
    return true;
  }
  std::string Or(const std::u16string& text, const std::string& fallback) const {
    std::string s;
    return Encode(text, s) ? s : fallback;
  }

 private:
  UConverter* conv_ = nullptr;
};

std::u16string U(const UChar* s, int32_t n) { return std::u16string(reinterpret_cast<const char16_t*>(s), static_cast<std::size_t>(n)); }

// ---- LC_COLLATE ----

// Three forward levels as the locale's collator compares at strength
// tertiary: level 0 the primaries, level 1 the secondaries (accents), level 2
// the tertiaries (case and variants). A character of several primaries is an
// expansion record delivering its elements one by one on every level (while
// the contraction table has room; else one weight per level ranked where its
// sequence sorts); tailored contractions are contraction records. Any other
// character takes one weight per level, ranked where its sequence of that
// level sorts. Every tertiary weight lies below every secondary one and every
// secondary below every primary, so sort keys order as the compare does.
void WriteCollate(std::ostream& out, const std::string& icuLocale, const Charset& cs, const std::vector<Char>& chars,
                  const std::string& name) {
  UErrorCode e = U_ZERO_ERROR;
  UCollator* coll = ucol_open(icuLocale.c_str(), &e);
  if (!Ok(e)) {
    std::cerr << "sllgen: no collator for " << icuLocale << "\n";
    std::exit(1);
  }
  const bool narrow = cs.family == 1;
  std::map<char16_t, uint16_t> codeOf;
  for (const Char& c : chars) codeOf[c.text[0]] = c.code;
  std::vector<Elements> elements;
  elements.reserve(chars.size());
  for (const Char& c : chars) elements.push_back(ElementsOf(coll, c.text));

  // Tailored contractions over the code page's characters.
  struct Contraction {
    std::vector<uint16_t> codes;
    Elements elements;
  };
  std::vector<Contraction> contractions;
  if (cs.family != 2) {
    USet* set = uset_openEmpty();
    USet* tailored = ucol_getTailoredSet(coll, &e);
    ucol_getContractionsAndExpansions(coll, set, nullptr, false, &e);
    for (int32_t i = 0; Ok(e) && i < uset_getItemCount(set); ++i) {
      UChar32 start, end;
      UChar buffer[16];
      UErrorCode ie = U_ZERO_ERROR;
      int32_t n = uset_getItem(set, i, &start, &end, buffer, 16, &ie);
      if (n < 2 || n > 3 || !uset_containsString(tailored, buffer, n)) continue;
      Contraction c;
      bool inPage = true;
      for (int32_t k = 0; k < n && inPage; ++k) {
        auto it = codeOf.find(buffer[k]);
        inPage = it != codeOf.end();
        if (inPage) c.codes.push_back(it->second);
      }
      if (!inPage) continue;
      c.elements = ElementsOf(coll, U(buffer, n));
      contractions.push_back(std::move(c));
    }
    uset_close(tailored);
    uset_close(set);
  }
  ucol_close(coll);

  // Weights a record delivers: W per level at most, the record count within
  // what the entry's index and (wide, multi-byte) the table's 0xFFFF bytes hold.
  const std::size_t maxW = 4;
  auto slots = [](const Elements& el) {
    return std::max({el.level[0].size(), el.level[1].size(), el.level[2].size()});
  };
  std::size_t C = 1;
  for (const Contraction& c : contractions) C = std::max(C, c.codes.size());
  std::size_t W = 1;
  for (const Elements& el : elements)
    if (el.level[0].size() > 1 && slots(el) <= maxW) W = std::max(W, slots(el));
  for (const Contraction& c : contractions) W = std::max(W, std::min(slots(c.elements), maxW));
  const std::size_t unit = narrow ? 1 : 2;
  const std::size_t recordSize = 2 + unit * (C + 3 * W);
  const std::size_t recordBudget = narrow ? 0x7FFF : 0xFFFF / recordSize;
  // Contractions first (with their groups' closing records), then expansions in code order.
  std::set<uint16_t> groups;
  for (const Contraction& c : contractions) groups.insert(c.codes[0]);
  std::size_t used = contractions.size() + groups.size();
  std::vector<bool> asExpansion(chars.size(), false);
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const Elements& el = elements[i];
    if (el.level[0].size() < 2 || slots(el) > maxW) continue;
    std::size_t need = groups.count(chars[i].code) != 0 ? 1 : 2;
    if (used + need > recordBudget) continue;
    asExpansion[i] = true;
    used += need;
  }
  // Ranks per level: the single elements of records and the sequences of the
  // characters that take one weight, in collation order. A level-0 key of the
  // large ideograph and syllable blocks is "bulk": when the weights do not
  // suffice, neighbouring bulk keys share one, the others keep a weight each.
  auto bulk = [](uint16_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA48F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF);
  };
  using Key = std::vector<uint32_t>;
  std::map<Key, bool> keys[3];  // key, bulk
  auto addKey = [&](int level, const Key& k, bool isBulk) {
    if (k.empty()) return;
    auto [it, added] = keys[level].emplace(k, isBulk);
    if (!added && !isBulk) it->second = false;
  };
  for (std::size_t i = 0; i < chars.size(); ++i)
    for (int l = 0; l < 3; ++l) {
      const Key& k = elements[i].level[l];
      const bool isBulk = l == 0 && cs.family == 2 && bulk(chars[i].code);
      if (asExpansion[i] || groups.count(chars[i].code) != 0) {
        for (uint32_t v : k) addKey(l, {v}, isBulk);
        if (!asExpansion[i]) addKey(l, k, isBulk);  // the closing record
      } else {
        addKey(l, k, isBulk);
      }
    }
  for (const Contraction& c : contractions)
    for (int l = 0; l < 3; ++l)
      for (uint32_t v : c.elements.level[l]) addKey(l, {v}, false);
  std::map<Key, uint16_t> rank[3];
  {
    const unsigned top = narrow ? 255 : 0x7FFF;
    unsigned next = 1;
    for (int l = 2; l >= 1; --l)
      for (const auto& [k, isBulk] : keys[l]) rank[l][k] = static_cast<uint16_t>(next++);
    if (next + keys[0].size() - 1 > top && narrow) {
      std::cerr << "sllgen: " << icuLocale << "." << cs.name << " needs " << next + keys[0].size() - 1
                << " weights\n";
      std::exit(1);
    }
    const std::size_t room = top - next + 1;
    std::size_t bulkKeys = 0;
    for (const auto& [k, isBulk] : keys[0]) bulkKeys += isBulk;
    const std::size_t others = keys[0].size() - bulkKeys;
    std::size_t share = 1;  // bulk keys to a weight
    if (keys[0].size() > room && room > others) share = (bulkKeys + (room - others) - 1) / (room - others);
    std::size_t n = 0, run = 0;
    for (const auto& [k, isBulk] : keys[0]) {
      if (!isBulk || run % share == 0) ++n;
      run = isBulk ? run + 1 : 0;
      rank[0][k] = static_cast<uint16_t>(next + std::min(n - 1, room - 1));
    }
  }
  auto weightOf = [&](int level, const Key& k) -> uint16_t { return k.empty() ? 0 : rank[level][k]; };
  // A record's weights: each level's elements one by one, level 0 padded to
  // the record's count (the expansion count is the number of its weights).
  auto recordWeights = [&](const Elements& el) {
    const std::size_t count = std::min(slots(el), W);
    std::string text;
    for (int l = 0; l < 3; ++l) {
      text += " ";
      const Key& k = el.level[l];
      const std::size_t n = l == 0 ? count : std::max<std::size_t>(1, std::min(k.size(), count));
      for (std::size_t j = 0; j < n; ++j) text += (j ? "," : "") + std::to_string(j < k.size() ? weightOf(l, {k[j]}) : 0);
    }
    return text;
  };

  out << "  category 1 " << name << "\n    text \"" << icuLocale << " LC_COLLATE\"\n    collate 0 0 0\n";
  uint16_t lowest = 0xFFFF, highest = 0;
  for (const Char& c : chars) {
    lowest = std::min(lowest, c.code);
    highest = std::max(highest, c.code);
  }
  out << "    collrange " << lowest << " " << highest << "\n";
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const Elements& el = elements[i];
    const uint16_t code = chars[i].code;
    if (asExpansion[i]) {
      out << "    contraction " << Hex(code) << " =" << Hex(code) << recordWeights(el) << "\n";
      out << "    single " << Hex(code);
      for (int l = 0; l < 3; ++l) out << " " << (el.level[l].empty() ? 0 : weightOf(l, {el.level[l][0]}));
      out << "\n";
      continue;
    }
    const uint16_t w[3] = {weightOf(0, el.level[0]), weightOf(1, el.level[1]), weightOf(2, el.level[2])};
    if (groups.count(code) != 0)
      out << "    single " << Hex(code) << " " << w[0] << " " << w[1] << " " << w[2] << "\n";
    else if (w[0] != 0 || w[1] != 0 || w[2] != 0)
      out << "    weight " << Hex(code) << " " << w[0] << " " << w[1] << " " << w[2] << "\n";
  }
  for (const Contraction& c : contractions) {
    out << "    contraction " << Hex(c.codes[0]) << " =";
    for (std::size_t k = 0; k < c.codes.size(); ++k) out << (k ? "," : "") << Hex(c.codes[k]);
    out << recordWeights(c.elements) << "\n";
  }
}

// ---- the other categories ----

// Classes "space", "digit", "lower", "upper", "xdigit", "cntrl", "punct",
// "blank" (masks 1 to 128) and the translations "toupper" and "tolower".
void WriteCtype(std::ostream& out, const Charset& cs, const std::vector<Char>& chars, const Encoder& enc,
                const std::string& name) {
  out << "  category 2 " << name << "\n    ctype space,digit,lower,upper,xdigit,cntrl,punct,blank toupper,tolower\n";
  std::map<char16_t, uint16_t> codeOf;
  for (const Char& c : chars) codeOf[c.text[0]] = c.code;
  // Wide and multi-byte class and translation tables keep below 63 pages.
  std::set<unsigned> pages;
  auto fits = [&](uint16_t code) {
    if (cs.family == 1) return true;
    if (pages.count(code >> 8) != 0) return true;
    if (pages.size() >= 62) return false;
    pages.insert(code >> 8);
    return true;
  };
  for (const Char& c : chars) {
    UChar32 u = c.text[0];
    uint32_t word = 0;
    if (u_isspace(u)) word |= 1;
    if (u >= '0' && u <= '9') word |= 2;
    if (u_islower(u)) word |= 4;
    if (u_isupper(u)) word |= 8;
    if (u_isxdigit(u) && u < 128) word |= 16;
    if (u_iscntrl(u)) word |= 32;
    if (u_ispunct(u) || (u_charType(u) >= U_MATH_SYMBOL && u_charType(u) <= U_OTHER_SYMBOL)) word |= 64;
    if (u_isblank(u)) word |= 128;
    const bool cased = u_toupper(u) != u || u_tolower(u) != u;
    if ((word == 0 && !cased) || !fits(c.code)) continue;
    if (word != 0) out << "      class " << Hex(c.code) << " " << Hex(word) << "\n";
    for (int t = 0; t < 2; ++t) {
      UChar32 mapped = t == 0 ? u_toupper(u) : u_tolower(u);
      auto it = mapped < 0x10000 ? codeOf.find(static_cast<char16_t>(mapped)) : codeOf.end();
      if (mapped != u && it != codeOf.end()) out << "      map " << t << " " << Hex(c.code) << " " << Hex(it->second) << "\n";
    }
    // A full upper case of several characters (sharp s to SS): the table
    // sends the character to its multi-character entry.
    if (u_toupper(u) == u) {
      UChar buffer[8];
      UErrorCode e = U_ZERO_ERROR;
      UChar src[1] = {static_cast<UChar>(u)};
      int32_t n = u_strToUpper(buffer, 8, src, 1, "", &e);
      std::string source, target;
      if (Ok(e) && n > 1 && n <= 8 && enc.Units(c.text, source) && enc.Units(U(buffer, n), target)) {
        out << "      map 0 " << Hex(c.code) << " 0xFFFF\n";
        out << "      multi 0 " << source << " " << target << "\n";
      }
    }
  }
}

std::string Symbol(UNumberFormat* f, UNumberFormatSymbol which, const Encoder& enc, const std::string& fallback) {
  UChar b[32];
  UErrorCode e = U_ZERO_ERROR;
  int32_t n = unum_getSymbol(f, which, b, 32, &e);
  if (!Ok(e)) return fallback;
  std::u16string s = U(b, n);
  if (n == 1 && b[0] == 0x202F) s.assign(1, u'\u00A0');  // a narrow no-break space: the plain one
  return enc.Or(s, fallback);
}

void WriteNumbers(std::ostream& out, const std::string& icuLocale, const Encoder& enc, const std::string& name) {
  UErrorCode e = U_ZERO_ERROR;
  UNumberFormat* f = unum_open(UNUM_DECIMAL, nullptr, 0, icuLocale.c_str(), nullptr, &e);
  std::string dp = Symbol(f, UNUM_DECIMAL_SEPARATOR_SYMBOL, enc, ".");
  std::string ts = Symbol(f, UNUM_GROUPING_SEPARATOR_SYMBOL, enc, " ");
  std::string exp = Symbol(f, UNUM_EXPONENTIAL_SYMBOL, enc, "E");
  std::string list = dp == "," ? ";" : ",";
  unum_close(f);
  out << "  category 16 " << name << "\n    numeric " << Quote(dp.substr(0, 1)) << " " << Quote(ts.substr(0, 1))
      << " \"\\x03\" " << Quote(exp) << " " << Quote(list) << "\n";
  e = U_ZERO_ERROR;
  UNumberFormat* m = unum_open(UNUM_CURRENCY, nullptr, 0, icuLocale.c_str(), nullptr, &e);
  std::string mdp = Symbol(m, UNUM_MONETARY_SEPARATOR_SYMBOL, enc, dp);
  std::string mts = Symbol(m, UNUM_MONETARY_GROUPING_SEPARATOR_SYMBOL, enc, ts);
  UChar iso[4] = {};
  ucurr_forLocale(icuLocale.c_str(), iso, 4, &e);
  std::string intl = enc.Or(U(iso, 3), "XXX");
  std::string symbol = Symbol(m, UNUM_CURRENCY_SYMBOL, enc, intl.substr(0, 3));
  UChar pattern[64];
  e = U_ZERO_ERROR;
  int32_t pn = unum_toPattern(m, false, pattern, 64, &e);
  std::u16string p = U(pattern, pn);
  bool precedes = !p.empty() && p[0] == u'\u00A4';
  std::size_t at = p.find(u'\u00A4');
  bool space = at != std::u16string::npos &&
               ((precedes && at + 1 < p.size() && (p[at + 1] == u'\u00A0' || p[at + 1] == ' ')) ||
                (!precedes && at > 0 && (p[at - 1] == u'\u00A0' || p[at - 1] == ' ')));
  int digits = unum_getAttribute(m, UNUM_FRACTION_DIGITS);
  unum_close(m);
  out << "  category 8 " << name << "\n    monetary " << Quote(intl) << " " << Quote(symbol.substr(0, 4)) << " "
      << Quote(mdp.substr(0, 1)) << " " << Quote(mts.substr(0, 1)) << " \"\\x03\" \"\" \"-\"";
  for (int v : {digits, digits, precedes ? 1 : 0, space ? 1 : 0, precedes ? 1 : 0, space ? 1 : 0, 1, 1}) out << " " << v;
  out << "\n";
}

void WriteMessages(std::ostream& out, const std::string& icuLocale, const std::string& name) {
  // Letters of yes and no by language.
  static const std::map<std::string, std::pair<std::string, std::string>> kAnswers = {
      {"da", {"jJ", "nN"}}, {"de", {"jJ", "nN"}}, {"es", {"sS", "nN"}}, {"fi", {"kK", "eE"}},
      {"fr", {"oO", "nN"}}, {"it", {"sS", "nN"}}, {"nl", {"jJ", "nN"}}, {"nb", {"jJ", "nN"}},
      {"pt", {"sS", "nN"}}, {"sv", {"jJ", "nN"}}};
  auto it = kAnswers.find(icuLocale.substr(0, 2));
  std::pair<std::string, std::string> a = it == kAnswers.end() ? std::make_pair(std::string("yY"), std::string("nN")) : it->second;
  out << "  category 32 " << name << "\n    messages \"" << a.first << "\" \"" << a.second << "\" \"" << icuLocale
      << "\"\n";
}

// An ICU date or time pattern as a format of conversion directives: runs of
// a pattern letter become directives by their length, quoted text is copied
// as it stands, a narrow no-break space becomes a blank; letters that name
// no field of the formats (era, zone) are left out with the blank before them.
std::u16string Directives(const std::u16string& pattern) {
  std::u16string out;
  auto put = [&](const char* d) {
    for (; *d != 0; ++d) out.push_back(static_cast<char16_t>(*d));
  };
  for (std::size_t i = 0; i < pattern.size();) {
    const char16_t c = pattern[i];
    if (c == u'\'') {
      std::size_t j = i + 1;
      if (j < pattern.size() && pattern[j] == u'\'') {
        out.push_back(u'\'');
        i += 2;
        continue;
      }
      for (; j < pattern.size(); ++j) {
        if (pattern[j] != u'\'') {
          if (pattern[j] == u'%') out.push_back(u'%');
          out.push_back(pattern[j]);
        } else if (j + 1 < pattern.size() && pattern[j + 1] == u'\'') {
          out.push_back(u'\'');
          ++j;
        } else {
          break;
        }
      }
      i = j + 1;
      continue;
    }
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) {
      if (c == u'%') out.push_back(u'%');
      out.push_back(c == u'\u202F' ? u' ' : c);
      ++i;
      continue;
    }
    std::size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    i += run;
    switch (c) {
      case u'E': case u'c': case u'e': put(run >= 4 ? "%A" : "%a"); break;
      case u'M': case u'L': put(run >= 4 ? "%B" : run == 3 ? "%b" : "%m"); break;
      case u'd': put("%d"); break;
      case u'y': case u'u': put(run == 2 ? "%y" : "%Y"); break;
      case u'h': case u'K': put("%I"); break;
      case u'H': case u'k': put("%H"); break;
      case u'm': put("%M"); break;
      case u's': put("%S"); break;
      case u'a': case u'b': case u'B': put("%p"); break;
      default:
        while (!out.empty() && out.back() == u' ') out.pop_back();
        break;
    }
  }
  return out;
}

std::u16string Pattern(UDateFormatStyle time, UDateFormatStyle date, const std::string& icuLocale) {
  UErrorCode e = U_ZERO_ERROR;
  UDateFormat* f = udat_open(time, date, icuLocale.c_str(), nullptr, 0, nullptr, 0, &e);
  if (!Ok(e)) return u"";
  UChar b[128];
  int32_t n = udat_toPattern(f, false, b, 128, &e);
  udat_close(f);
  return Ok(e) ? U(b, n) : u"";
}

void WriteTime(std::ostream& out, const std::string& icuLocale, const Encoder& enc, const std::string& name, int family) {
  UErrorCode e = U_ZERO_ERROR;
  UDateFormat* f = udat_open(UDAT_DEFAULT, UDAT_DEFAULT, icuLocale.c_str(), nullptr, 0, nullptr, 0, &e);
  out << "  category 4 " << name << "\n    time\n";
  // The field widths of the record: 16 narrow bytes (32 wide) for day and
  // month names, 32 (64) for the formats, less the terminator.
  const std::size_t width = family == 3 ? 31 : 15;
  const std::size_t formatWidth = family == 3 ? 63 : 31;
  auto text = [&](int n, const std::u16string& t, std::size_t room) {
    std::string bytes;
    if (enc.Encode(t, bytes) && bytes.size() <= room) out << "      timetext " << n << " " << Quote(bytes) << "\n";
  };
  auto put = [&](int first, UDateFormatSymbolType type, int from, int count) {
    for (int i = 0; i < count; ++i) {
      UChar b[64];
      UErrorCode ie = U_ZERO_ERROR;
      int32_t n = udat_getSymbols(f, type, from + i, b, 64, &ie);
      if (Ok(ie)) text(first + i, U(b, n), width);
    }
  };
  if (Ok(e)) {
    put(0, UDAT_SHORT_WEEKDAYS, 1, 7);
    put(7, UDAT_WEEKDAYS, 1, 7);
    put(14, UDAT_SHORT_MONTHS, 0, 12);
    put(26, UDAT_MONTHS, 0, 12);
    put(38, UDAT_AM_PMS, 0, 2);
    udat_close(f);
  }
  // The formats: date and time, date (the full date), time (the medium
  // time), 12-hour time and the short date.
  text(40, u"%x %X", formatWidth);
  text(41, Directives(Pattern(UDAT_NONE, UDAT_FULL, icuLocale)), formatWidth);
  text(42, Directives(Pattern(UDAT_MEDIUM, UDAT_NONE, icuLocale)), formatWidth);
  text(43, u"%I:%M:%S %p", formatWidth);
  text(46, Directives(Pattern(UDAT_NONE, UDAT_SHORT, icuLocale)), formatWidth);
}

// The locale names of the language-driver table ("row|ids|driver|locale|...").
std::vector<std::string> DriverLocales(const std::string& path) {
  std::vector<std::string> names;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream row(line);
    for (std::string f; std::getline(row, f, '|');) fields.push_back(f);
    if (fields.size() > 3 && fields[3].find('@') != std::string::npos) names.push_back(fields[3]);
  }
  return names;
}

void WriteLocale(std::ostream& out, const std::string& spec, const std::vector<std::string>& drivers) {
  std::size_t dot = spec.find('.');
  std::string icuLocale = spec.substr(0, dot);
  std::string set = dot == std::string::npos ? "" : spec.substr(dot + 1);
  const Charset* cs = nullptr;
  for (const Charset& c : kCharsets)
    if (c.name == set) cs = &c;
  if (cs == nullptr) {
    std::cerr << "sllgen: unknown character set in " << spec << "\n";
    std::exit(1);
  }
  std::set<uint8_t> leads;
  std::vector<Char> chars = CodePage(*cs, leads);
  Encoder enc(*cs);
  out << "locale " << spec << "\n  description \"" << icuLocale << " " << cs->name << "\"\n  family " << cs->family
      << "\n";
  if (cs->family == 3) out << "  byte 75 2\n";
  // The defined characters.
  std::vector<uint8_t> bitmap(cs->family == 1 ? 32 : 8192, 0);
  for (const Char& c : chars) bitmap[c.code / 8] |= static_cast<uint8_t>(1u << (c.code % 8));
  bitmap[0] |= 1;  // the terminator
  out << "  defined";
  std::size_t last = bitmap.size();
  while (last > 32 && bitmap[last - 1] == 0) --last;
  for (std::size_t i = 0; i < last; ++i) out << " " << Hex(bitmap[i]).substr(2);
  out << "\n";
  if (!leads.empty()) {
    out << "  leadbytes";
    for (uint8_t b : leads) out << " " << Hex(b);
    out << "\n";
  }
  // The eight categories once, then under the plain name and under every
  // language driver's name for this locale.
  const std::string kName = "\x01";
  std::ostringstream c;
  WriteCollate(c, icuLocale, *cs, chars, kName);
  WriteCtype(c, *cs, chars, enc, kName);
  WriteTime(c, icuLocale, enc, kName, cs->family);
  WriteNumbers(c, icuLocale, enc, kName);
  WriteMessages(c, icuLocale, kName);
  c << "  category 64 " << kName << "\n";
  for (const auto& [letters, digit] : std::map<std::string, int>{{"BFPV", 1}, {"CGJKQSXZ", 2}, {"DT", 3}, {"L", 4}, {"MN", 5}, {"R", 6}}) {
    std::string both = letters;
    for (char ch : letters) both.push_back(static_cast<char>(ch + 32));
    c << "    soundex " << both << " " << digit << "\n";
  }
  c << "  category 128 " << kName << "\n";
  const std::string categories = c.str();
  std::vector<std::string> names{spec};
  for (const std::string& driver : drivers)
    if (driver.substr(0, driver.find('@')) == spec) names.push_back(driver);
  for (const std::string& name : names) {
    std::string text = categories;
    for (std::size_t at = 0; (at = text.find(kName, at)) != std::string::npos; at += name.size()) text.replace(at, 1, name);
    out << text;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> drivers;
  if (argc > 2 && std::string(argv[1]) == "--drivers") {
    drivers = DriverLocales(argv[2]);
    argc -= 2;
    argv += 2;
  }
  if (argc < 4) {
    std::cerr << "usage: sllgen [--drivers TABLE] OUTPUT TITLE LOCALE...\n";
    return 2;
  }
  std::ostringstream out;
  out << "# Written by sllgen from ICU " << U_ICU_VERSION << "; do not edit.\ntitle \"" << argv[2] << "\"\n";
  for (int i = 3; i < argc; ++i) WriteLocale(out, argv[i], drivers);
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file << out.str();
  file.close();
  if (!file) {
    std::cerr << "sllgen: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
