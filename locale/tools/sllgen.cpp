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
// ordered by the locale's collator through its collation elements. Level 0
// is the ranked primary; level 1 a position level with one variant weight
// for each accented, capital or level-0-ignorable character and 0 for any
// other. A character of several primaries is an expansion record (or, when
// the contraction table is full, one weight ranked where its expansion
// sorts); tailored contractions are contraction records. Every level-1
// weight and the position marker 2 lie below every level-0 weight, so sort
// keys order as the compare does. LC_CTYPE holds the classes and simple case
// maps (with multi-character upper-case entries such as sharp s to SS),
// LC_TIME ICU's day and month names with the POSIX formats; LC_NUMERIC,
// LC_MONETARY and LC_MESSAGES the locale's symbols; soundex the classic table.
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

// Collation elements of a text: primaries (a continuation joined to its
// first half) and the secondary and tertiary bytes of each element.
struct Elements {
  std::vector<uint32_t> primaries;
  std::vector<uint16_t> variant;  // secondary << 8 | tertiary of every element
  bool plain() const {
    if (primaries.empty()) return false;
    for (uint16_t v : variant)
      if (v != 0x0505) return false;
    return true;
  }
};

Elements ElementsOf(UCollator* coll, const std::u16string& text) {
  Elements out;
  UErrorCode e = U_ZERO_ERROR;
  UCollationElements* it = ucol_openElements(coll, reinterpret_cast<const UChar*>(text.data()),
                                             static_cast<int32_t>(text.size()), &e);
  for (int32_t ce; Ok(e) && (ce = ucol_next(it, &e)) != UCOL_NULLORDER;) {
    auto u = static_cast<uint32_t>(ce);
    if ((u & 0xC0) == 0xC0) {  // continuation: the low half of the last primary
      if (!out.primaries.empty()) out.primaries.back() |= u >> 16;
      continue;
    }
    if (u == 0) continue;
    if ((u >> 16) != 0) out.primaries.push_back(u & 0xFFFF0000u);
    out.variant.push_back(static_cast<uint16_t>(u & 0xFFFF));
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
  std::string Or(const std::u16string& text, const std::string& fallback) const {
    std::string s;
    return Encode(text, s) ? s : fallback;
  }

 private:
  UConverter* conv_ = nullptr;
};

std::u16string U(const UChar* s, int32_t n) { return std::u16string(reinterpret_cast<const char16_t*>(s), static_cast<std::size_t>(n)); }

// ---- LC_COLLATE ----

void WriteCollate(std::ostream& out, const std::string& icuLocale, const Charset& cs, const std::vector<Char>& chars,
                  const std::set<uint8_t>& leads, const std::string& name) {
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

  // Variant weights: one per distinct secondary/tertiary signature of a
  // character that is not plain, ranked in signature order, from 3 on.
  std::set<std::vector<uint16_t>> signatures;
  auto signature = [](const Elements& el) {
    std::vector<uint16_t> s;
    for (uint16_t v : el.variant) s.push_back(static_cast<uint16_t>(v >> 8));
    s.push_back(0);
    for (uint16_t v : el.variant) s.push_back(static_cast<uint16_t>(v & 0xFF));
    return s;
  };
  for (const Elements& el : elements)
    if (!el.plain()) signatures.insert(signature(el));
  for (const Contraction& c : contractions)
    if (!c.elements.plain()) signatures.insert(signature(c.elements));
  const unsigned maxWeight = narrow ? 255 : 0x7FFF;
  std::map<std::vector<uint16_t>, uint16_t> variantWeight;
  {
    const std::size_t room = narrow ? 60 : 4000;  // level-1 weights kept below the primaries
    std::size_t rank = 0;
    for (const auto& s : signatures)
      variantWeight[s] = static_cast<uint16_t>(3 + rank++ * std::min<std::size_t>(room, signatures.size()) / signatures.size());
  }
  unsigned base = 3;
  for (const auto& [s, w] : variantWeight) base = std::max<unsigned>(base, w + 1u);
  auto variantOf = [&](const Elements& el) -> uint16_t { return el.plain() ? 0 : variantWeight[signature(el)]; };

  // Expansions: W weights per level at most, and the contraction table
  // within 0xFFFF bytes; the others get one weight ranked where their
  // expansion sorts.
  const std::size_t maxW = 3;
  std::size_t C = 1;
  for (const Contraction& c : contractions) C = std::max(C, c.codes.size());
  std::size_t W = 1;
  for (const Elements& el : elements)
    if (el.primaries.size() > 1 && el.primaries.size() <= maxW) W = std::max(W, el.primaries.size());
  for (const Contraction& c : contractions) W = std::max(W, std::min(c.elements.primaries.size(), maxW));
  const std::size_t unit = narrow ? 1 : 2;
  const std::size_t recordSize = 2 + unit * (C + 2 * W);
  std::size_t recordBudget = 0xFFFF / recordSize;
  // Contractions first (with their groups' closing records), then expansions in code order.
  std::set<uint16_t> groups;
  for (const Contraction& c : contractions) groups.insert(c.codes[0]);
  std::size_t used = contractions.size() + groups.size();
  std::vector<bool> asExpansion(chars.size(), false);
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const Elements& el = elements[i];
    if (el.primaries.size() < 2 || el.primaries.size() > maxW) continue;
    std::size_t need = groups.count(chars[i].code) != 0 ? 1 : 2;
    if (used + need > recordBudget) continue;
    asExpansion[i] = true;
    used += need;
  }
  // Ranks: single primaries and the primary sequences of the characters that
  // take one weight for their expansion, in collation order.
  // A key of the large ideograph and syllable blocks is "bulk": when the
  // weights do not suffice, neighbouring bulk keys share one, the others
  // keep a weight each.
  auto bulk = [](uint16_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA48F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF);
  };
  std::map<std::vector<uint32_t>, bool> keys;  // key, bulk
  auto addKey = [&](const std::vector<uint32_t>& k, bool isBulk) {
    auto [it, added] = keys.emplace(k, isBulk);
    if (!added && !isBulk) it->second = false;
  };
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const Elements& el = elements[i];
    if (el.primaries.empty()) continue;
    const bool isBulk = cs.family == 2 && bulk(chars[i].code);
    if (el.primaries.size() == 1 || asExpansion[i]) {
      for (uint32_t p : el.primaries) addKey({p}, isBulk);
    } else {
      addKey(el.primaries, isBulk);
    }
  }
  for (const Contraction& c : contractions)
    for (uint32_t p : c.elements.primaries) addKey({p}, false);
  std::map<std::vector<uint32_t>, uint16_t> rank;
  {
    const std::size_t slots = maxWeight - base + 1;
    std::size_t bulkKeys = 0;
    for (const auto& [k, isBulk] : keys) bulkKeys += isBulk;
    const std::size_t others = keys.size() - bulkKeys;
    std::size_t share = 1;  // bulk keys to a weight
    if (keys.size() > slots && slots > others) share = (bulkKeys + (slots - others) - 1) / (slots - others);
    std::size_t next = 0, run = 0;
    for (const auto& [k, isBulk] : keys) {
      if (!isBulk || run % share == 0) ++next;
      run = isBulk ? run + 1 : 0;
      rank[k] = static_cast<uint16_t>(base + std::min(next - 1, slots - 1));
    }
  }
  auto primaryWeight = [&](uint32_t p) { return rank[{p}]; };

  out << "  category 1 " << name << "\n    text \"" << icuLocale << " LC_COLLATE\"\n    collate 0 0x10\n";
  uint16_t lowest = 0xFFFF, highest = 0;
  for (const Char& c : chars) {
    lowest = std::min(lowest, c.code);
    highest = std::max(highest, c.code);
  }
  out << "    collrange " << lowest << " " << highest << "\n";
  for (std::size_t i = 0; i < chars.size(); ++i) {
    const Elements& el = elements[i];
    uint16_t variant = variantOf(el);
    uint16_t code = chars[i].code;
    if (asExpansion[i]) {
      out << "    contraction " << Hex(code) << " =" << Hex(code) << " ";
      for (std::size_t k = 0; k < el.primaries.size(); ++k) out << (k ? "," : "") << primaryWeight(el.primaries[k]);
      out << " " << variant;
      for (std::size_t k = 1; k < el.primaries.size(); ++k) out << ",0";
      out << "\n    single " << Hex(code) << " " << primaryWeight(el.primaries[0]) << " " << variant << "\n";
      continue;
    }
    uint16_t w0 = el.primaries.empty() ? 0 : el.primaries.size() == 1 ? primaryWeight(el.primaries[0]) : rank[el.primaries];
    if (groups.count(code) != 0) {
      out << "    single " << Hex(code) << " " << w0 << " " << variant << "\n";
      continue;
    }
    if (w0 != 0 || variant != 0) out << "    weight " << Hex(code) << " " << w0 << " " << variant << "\n";
  }
  for (const Contraction& c : contractions) {
    out << "    contraction " << Hex(c.codes[0]) << " =";
    for (std::size_t k = 0; k < c.codes.size(); ++k) out << (k ? "," : "") << Hex(c.codes[k]);
    const auto& p = c.elements.primaries;
    std::size_t n = std::max<std::size_t>(1, std::min(p.size(), W));
    out << " ";
    for (std::size_t k = 0; k < n; ++k) out << (k ? "," : "") << (k < p.size() ? primaryWeight(p[k]) : 0);
    out << " " << variantOf(c.elements);
    for (std::size_t k = 1; k < n; ++k) out << ",0";
    out << "\n";
  }
  (void)leads;
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
    if (word == 0 || !fits(c.code)) continue;
    out << "      class " << Hex(c.code) << " " << Hex(word) << "\n";
    for (int t = 0; t < 2; ++t) {
      UChar32 mapped = t == 0 ? u_toupper(u) : u_tolower(u);
      auto it = mapped < 0x10000 ? codeOf.find(static_cast<char16_t>(mapped)) : codeOf.end();
      if (mapped != u && it != codeOf.end()) out << "      map " << t << " " << Hex(c.code) << " " << Hex(it->second) << "\n";
    }
    // A full upper-case mapping of several characters (sharp s to SS).
    if (u_islower(u) && u_toupper(u) == u) {
      UChar buffer[8];
      UErrorCode e = U_ZERO_ERROR;
      UChar src[1] = {static_cast<UChar>(u)};
      int32_t n = u_strToUpper(buffer, 8, src, 1, "", &e);
      std::string source, target;
      if (Ok(e) && n > 1 && enc.Encode(c.text, source) && enc.Encode(U(buffer, n), target))
        out << "      multi 0 " << Quote(source) << " " << Quote(target) << "\n";
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
  std::string intl = enc.Or(U(iso, 3), "XXX") + " ";
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

void WriteTime(std::ostream& out, const std::string& icuLocale, const Encoder& enc, const std::string& name, int family) {
  UErrorCode e = U_ZERO_ERROR;
  UDateFormat* f = udat_open(UDAT_DEFAULT, UDAT_DEFAULT, icuLocale.c_str(), nullptr, 0, nullptr, 0, &e);
  out << "  category 4 " << name << "\n    time\n";
  // The field widths of the record: 16 narrow bytes (32 wide) for day and
  // month names, less the terminator.
  const std::size_t width = family == 3 ? 31 : 15;
  auto put = [&](int first, UDateFormatSymbolType type, int from, int count) {
    for (int i = 0; i < count; ++i) {
      UChar b[64];
      UErrorCode ie = U_ZERO_ERROR;
      int32_t n = udat_getSymbols(f, type, from + i, b, 64, &ie);
      std::string text;
      if (!Ok(ie) || !enc.Encode(U(b, n), text) || text.size() > width) continue;
      out << "      timetext " << first + i << " " << Quote(text) << "\n";
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
  WriteCollate(c, icuLocale, *cs, chars, leads, kName);
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
