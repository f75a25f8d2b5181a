#include "sllc_writer.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <algorithm>

#include "platform/lzfile.h"

namespace sllc {

namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Set32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutText(std::vector<uint8_t>& b, const std::string& text, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) b.push_back(i < text.size() && i + 1 < width ? static_cast<uint8_t>(text[i]) : 0);
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size() || line[i] == '#') break;
    std::string w;
    if (line[i] == '"') {
      ++i;
      while (i < line.size() && line[i] != '"') w += line[i++];
      ++i;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') w += line[i++];
    }
    words.push_back(w);
  }
  return words;
}

std::vector<std::string> SplitComma(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) parts.push_back(part);
  return parts;
}

uint32_t PosixClass(unsigned c) {
  if (c >= 8 && c <= 13) return 33;
  if (c == ' ') return 129;
  if (c < 32 || c == 127) return 32;
  if (c >= '0' && c <= '9') return 18;
  if (c >= 'A' && c <= 'F') return 24;
  if (c >= 'G' && c <= 'Z') return 8;
  if (c >= 'a' && c <= 'f') return 20;
  if (c >= 'g' && c <= 'z') return 4;
  if (c < 127) return 64;
  return 0;
}

// Text of a field: narrowWidth bytes narrow, twice as many bytes in the wide
// and multi-byte layouts (each byte one unit in the wide family).
void PutField(std::vector<uint8_t>& b, uint8_t family, const std::string& text, std::size_t narrowWidth) {
  if (family == 2) {
    for (std::size_t i = 0; i < narrowWidth; ++i)
      Put16(b, i < text.size() && i + 1 < narrowWidth ? static_cast<uint8_t>(text[i]) : 0);
  } else {
    PutText(b, text, family == 1 ? narrowWidth : 2 * narrowWidth);
  }
}

// A plane: u16 page count, 32-byte page map, the present pages (pages that
// hold any nonzero value).
void PutPlane(std::vector<uint8_t>& b, const std::map<uint16_t, uint32_t>& values, std::size_t unitBytes) {
  std::set<unsigned> pages;
  for (auto [code, value] : values)
    if (value != 0) pages.insert(code >> 8);
  Put16(b, static_cast<uint16_t>(pages.size()));
  uint8_t map[32] = {};
  for (unsigned p : pages) map[p / 8] |= static_cast<uint8_t>(1u << (p % 8));
  b.insert(b.end(), map, map + 32);
  for (unsigned p : pages)
    for (unsigned i = 0; i < 256; ++i) {
      auto it = values.find(static_cast<uint16_t>(p << 8 | i));
      uint32_t v = it == values.end() ? 0 : it->second;
      for (std::size_t k = 0; k < unitBytes; ++k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
    }
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() + 0 && text[i + 1] == 'x') {
      out.push_back(static_cast<char>(std::strtoul(text.substr(i + 2, 2).c_str(), nullptr, 16)));
      i += 3;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// A text as units: "\xNN" a byte, "\uNNNN" a 16-bit unit.
std::u16string UnescapeUnits(const std::string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t digits = text[i] != '\\' || i + 1 >= text.size() ? 0 : text[i + 1] == 'x' ? 2 : text[i + 1] == 'u' ? 4 : 0;
    if (digits != 0 && i + 1 + digits < text.size()) {
      out.push_back(static_cast<char16_t>(std::strtoul(text.substr(i + 2, digits).c_str(), nullptr, 16)));
      i += 1 + digits;
    } else {
      out.push_back(static_cast<uint8_t>(text[i]));
    }
  }
  return out;
}

const char* const kPosixTimes[49] = {
    "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat",
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday",
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec",
    "January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
    "November", "December", "AM", "PM",
    "%a %b %d %X %Z %Y", "%a %b %d", "%I:%M:%S", "%I:%M:%S %p", "", "", "", "", ""};

std::vector<uint8_t> TimeBody(uint8_t family, const TimeSpec& t) {
  std::vector<uint8_t> b;
  for (int i = 0; i < 49; ++i) {
    bool isShort = i < 7 || (i >= 14 && i < 26) || i == 38 || i == 39;
    PutField(b, family, t.texts[static_cast<std::size_t>(i)], isShort ? 16 : 32);
  }
  b.push_back(t.firstJanuary);
  std::vector<uint8_t> eras, digits;
  for (const EraSpec& e : t.eras) {
    Put16(eras, static_cast<uint16_t>(e.startYear));
    eras.push_back(e.startMonth);
    eras.push_back(e.startDay);
    Put16(eras, static_cast<uint16_t>(e.endYear));
    eras.push_back(e.endMonth);
    eras.push_back(e.endDay);
    PutField(eras, family, e.name, 16);
    PutField(eras, family, e.format, 16);
  }
  for (const std::string& d : t.digits) {
    for (char c : d) {
      if (family == 2) Put16(digits, static_cast<uint8_t>(c));
      else digits.push_back(static_cast<uint8_t>(c));
    }
    if (family == 2) Put16(digits, 0);
    else digits.push_back(0);
  }
  Put16(b, static_cast<uint16_t>(eras.size()));
  Put16(b, static_cast<uint16_t>(digits.size()));
  b.insert(b.end(), eras.begin(), eras.end());
  b.insert(b.end(), digits.begin(), digits.end());
  return b;
}

}  // namespace

std::vector<uint8_t> CtypeBody(uint8_t family, const std::vector<std::string>& classes,
                               const std::vector<std::string>& translations) {
  CtypeSpec spec;
  spec.present = true;
  spec.classes = classes;
  spec.translations = translations;
  return CtypeBody(family, spec);
}

std::vector<uint8_t> CtypeBody(uint8_t family, const CtypeSpec& spec) {
  std::vector<uint8_t> b;
  for (std::size_t i = 0; i < 32; ++i) PutText(b, i < spec.classes.size() ? spec.classes[i] : "", 16);
  const bool wide = family != 1;
  std::map<uint16_t, uint32_t> classes;
  for (unsigned c = 0; c < 256; ++c) classes[static_cast<uint16_t>(c)] = PosixClass(c);
  for (auto [code, word] : spec.classWords)
    if (wide || code < 256) classes[code] = word;
  if (wide) {
    PutPlane(b, classes, 4);
  } else {
    for (unsigned c = 0; c < 256; ++c) Put32(b, classes[static_cast<uint16_t>(c)]);
  }
  Put16(b, 0);  // no 13-byte entries
  Put16(b, static_cast<uint16_t>(spec.translations.size()));
  std::vector<std::vector<const CtypeSpec::Multi*>> multis(spec.translations.size());
  for (const CtypeSpec::Multi& m : spec.multis)
    if (m.translation < multis.size()) multis[m.translation].push_back(&m);
  for (std::size_t t = 0; t < spec.translations.size(); ++t) {
    PutText(b, spec.translations[t], 16);
    Put16(b, static_cast<uint16_t>(multis[t].size()));
    for (unsigned lead = 0; lead < 256; ++lead) {
      uint16_t first = multis[t].empty() ? 0 : 0xFFFF;
      for (std::size_t e = 0; e < multis[t].size(); ++e)
        if (!multis[t][e]->source.empty() && (multis[t][e]->source[0] & 0xFF) == lead) {
          first = static_cast<uint16_t>(e);
          break;
        }
      Put16(b, first);
    }
  }
  for (std::size_t t = 0; t < spec.translations.size(); ++t) {
    const std::string& name = spec.translations[t];
    std::map<uint16_t, uint32_t> table;
    for (unsigned c = 0; c < 256; ++c) {
      unsigned v = 0;
      if (name == "toupper" && c >= 'a' && c <= 'z') v = c - 32;
      if (name == "tolower" && c >= 'A' && c <= 'Z') v = c + 32;
      table[static_cast<uint16_t>(c)] = v;
    }
    for (const CtypeSpec::Map& m : spec.maps)
      if (m.translation == t && (wide || m.code < 256)) table[m.code] = m.to;
    if (wide) {
      PutPlane(b, table, 2);
    } else {
      for (unsigned c = 0; c < 256; ++c) Put16(b, static_cast<uint16_t>(table[static_cast<uint16_t>(c)]));
    }
    for (const CtypeSpec::Multi* m : multis[t])
      for (const std::u16string* side : {&m->source, &m->target}) {
        std::size_t length = std::min<std::size_t>(side->size(), 8);
        if (wide) Put16(b, static_cast<uint16_t>(length));
        else b.push_back(static_cast<uint8_t>(length));
        for (std::size_t k = 0; k < 8; ++k) {
          const char16_t c = k < length ? (*side)[k] : 0;
          if (wide) Put16(b, c);
          else b.push_back(static_cast<uint8_t>(c));
        }
      }
  }
  return b;
}

std::vector<uint8_t> CollateBody(uint8_t family, const CollateSpec& spec) {
  const bool narrow = family == 1;
  const std::size_t levels = std::min<std::size_t>(spec.attributes.size(), 8);
  // Groups in code order: their contraction records, then the closing one.
  std::map<uint16_t, std::vector<const CollateSpec::Record*>> groups;
  for (const CollateSpec::Record& r : spec.contractions) groups[r.code].push_back(&r);
  for (const auto& [code, weights] : spec.closing) groups[code];
  // The first record that matches wins: longer sequences go first.
  for (auto& [code, list] : groups)
    std::stable_sort(list.begin(), list.end(), [](const CollateSpec::Record* x, const CollateSpec::Record* y) {
      return x->sequence.size() > y->sequence.size();
    });
  std::size_t w = groups.empty() ? 0 : 1, c = 0;
  for (const CollateSpec::Record& r : spec.contractions) {
    c = std::max(c, r.sequence.size());
    if (!r.weights.empty()) w = std::max(w, r.weights[0].size());
  }
  const std::size_t unit = narrow ? 1 : 2;
  const std::size_t recordSize = groups.empty() ? 0 : 2 + unit * (c + levels * w);
  std::vector<uint8_t> records;
  std::map<uint16_t, std::vector<uint16_t>> entries = spec.entries;
  auto putSlot = [&](uint16_t v) {
    if (narrow) records.push_back(static_cast<uint8_t>(v));
    else Put16(records, v);
  };
  auto putRecord = [&](const std::vector<uint16_t>& sequence, const std::vector<std::vector<uint16_t>>& weights,
                       std::size_t count) {
    records.push_back(static_cast<uint8_t>(sequence.size()));
    records.push_back(static_cast<uint8_t>(count));
    for (std::size_t j = 0; j < c; ++j) putSlot(j < sequence.size() ? sequence[j] : 0);
    for (std::size_t l = 0; l < levels; ++l)
      for (std::size_t k = 0; k < w; ++k) putSlot(l < weights.size() && k < weights[l].size() ? weights[l][k] : 0);
  };
  std::size_t index = 0;
  for (const auto& [code, list] : groups) {
    entries[code].assign(levels, static_cast<uint16_t>(0x8000 | index));
    for (const CollateSpec::Record* r : list) {
      putRecord(r->sequence, r->weights, r->weights.empty() ? 1 : r->weights[0].size());
      ++index;
    }
    std::vector<std::vector<uint16_t>> single;
    auto it = spec.closing.find(code);
    if (it != spec.closing.end())
      for (uint16_t v : it->second) single.push_back({v});
    putRecord({}, single, 1);
    ++index;
  }
  std::vector<uint8_t> b;
  Put16(b, 0);
  Put16(b, static_cast<uint16_t>(levels));
  for (std::size_t l = 0; l < 8; ++l) b.push_back(l < levels ? spec.attributes[l] : 0);
  for (int i = 0; i < 8; ++i) Put16(b, 0);
  Put16(b, spec.range ? spec.lowest : 0);
  Put16(b, spec.range ? spec.highest : static_cast<uint16_t>(narrow ? 255 : 0xFFFF));
  b.push_back(static_cast<uint8_t>(w));
  b.push_back(static_cast<uint8_t>(c));
  Put32(b, static_cast<uint32_t>(records.size()));
  Put16(b, static_cast<uint16_t>(recordSize));
  auto entry = [&](std::size_t level, unsigned code) -> uint16_t {
    auto it = entries.find(static_cast<uint16_t>(code));
    return it == entries.end() || level >= it->second.size() ? 0 : it->second[level];
  };
  if (narrow) {
    for (std::size_t l = 0; l < levels; ++l)
      for (unsigned code = 0; code < 256; ++code) Put16(b, entry(l, code));
  } else {
    std::vector<std::set<unsigned>> pages(levels);
    for (const auto& [code, values] : entries)
      for (std::size_t l = 0; l < levels && l < values.size(); ++l)
        if (values[l] != 0) pages[l].insert(code >> 8);
    for (std::size_t l = 0; l < levels; ++l) {
      Put16(b, static_cast<uint16_t>(pages[l].size()));
      uint8_t map[32] = {};
      for (unsigned p : pages[l]) map[p / 8] |= static_cast<uint8_t>(1u << (p % 8));
      b.insert(b.end(), map, map + 32);
    }
    for (std::size_t l = 0; l < levels; ++l)
      for (unsigned p : pages[l])
        for (unsigned i = 0; i < 256; ++i) Put16(b, entry(l, p << 8 | i));
  }
  b.insert(b.end(), records.begin(), records.end());
  return b;
}

std::vector<uint8_t> CategoryBody(uint8_t family, const CategorySpec& c) {
  std::vector<uint8_t> b = c.body;
  if (c.collate.present) {
    std::vector<uint8_t> collate = CollateBody(family, c.collate);
    b.insert(b.end(), collate.begin(), collate.end());
  }
  if (c.ctype.present) {
    std::vector<uint8_t> ctype = CtypeBody(family, c.ctype);
    b.insert(b.end(), ctype.begin(), ctype.end());
  }
  if (c.time.present) {
    std::vector<uint8_t> time = TimeBody(family, c.time);
    b.insert(b.end(), time.begin(), time.end());
  }
  auto field = [&](std::size_t i) { return i < c.fields.size() ? c.fields[i] : std::string(); };
  auto grouping = [&](std::size_t i) { PutText(b, field(i), 10); };
  if (c.fieldKind == 'n') {
    PutField(b, family, field(0), 2);
    PutField(b, family, field(1), 2);
    grouping(2);
    PutField(b, family, field(3), 5);
    PutField(b, family, field(4), 5);
  } else if (c.fieldKind == 'm') {
    PutField(b, family, field(0), 5);
    PutField(b, family, field(1), 5);
    PutField(b, family, field(2), 2);
    PutField(b, family, field(3), 2);
    grouping(4);
    PutField(b, family, field(5), 5);
    PutField(b, family, field(6), 5);
    for (std::size_t i = 0; i < 8; ++i) b.push_back(i < c.values.size() ? c.values[i] : 255);
  } else if (c.fieldKind == 'g') {
    PutField(b, family, field(0), 5);
    PutField(b, family, field(1), 5);
    PutField(b, family, field(2), 32);
  }
  if (!c.soundex.empty()) {
    std::map<uint16_t, uint32_t> table;
    for (auto [ch, digit] : c.soundex) table[ch] = digit;
    if (family == 1) {
      for (unsigned i = 0; i < 256; ++i) b.push_back(static_cast<uint8_t>(table.count(static_cast<uint16_t>(i)) ? table[static_cast<uint16_t>(i)] : 0));
    } else {
      PutPlane(b, table, 1);
    }
  }
  return b;
}

bool Parse(const std::string& source, LibrarySpec& out, std::string& error) {
  out = LibrarySpec();
  std::stringstream in(source);
  std::string line;
  int number = 0;
  LocaleSpec* locale = nullptr;
  CategorySpec* category = nullptr;
  CharsetSpec* charset = nullptr;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  auto num = [](const std::string& w) { return static_cast<uint32_t>(std::strtoul(w.c_str(), nullptr, 0)); };
  while (std::getline(in, line)) {
    ++number;
    std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    const std::string& k = w[0];
    std::size_t n = w.size();
    if (k == "title" && n == 2) {
      out.title = w[1];
    } else if (k == "format" && n == 3) {
      out.major = static_cast<uint8_t>(num(w[1]));
      out.minor = static_cast<uint8_t>(num(w[2]));
    } else if (k == "extra" && n == 3) {
      out.extra[0] = static_cast<uint8_t>(num(w[1]));
      out.extra[1] = static_cast<uint8_t>(num(w[2]));
    } else if (k == "locale" && n == 2) {
      out.locales.emplace_back();
      locale = &out.locales.back();
      locale->name = w[1];
      category = nullptr;
      charset = nullptr;
    } else if (k == "charset" && n == 2) {
      out.charsets.push_back({w[1], {}});
      charset = &out.charsets.back();
      locale = nullptr;
      category = nullptr;
    } else if (k == "category" && n == 3 && locale != nullptr) {
      locale->categories.emplace_back();
      category = &locale->categories.back();
      category->mask = static_cast<uint16_t>(num(w[1]));
      category->name = w[2];
    } else if (category != nullptr && k == "text" && n == 2) {
      category->text = w[1];
    } else if (category != nullptr && k == "flags" && n == 3) {
      category->flag68 = static_cast<uint8_t>(num(w[1]));
      category->flag69 = static_cast<uint8_t>(num(w[2]));
    } else if ((category != nullptr || charset != nullptr) && k == "body") {
      auto& body = category != nullptr ? category->body : charset->body;
      for (std::size_t i = 1; i < n; ++i) body.push_back(static_cast<uint8_t>(std::strtoul(w[i].c_str(), nullptr, 16)));
    } else if (category != nullptr && k == "zeros" && n == 2) {
      category->body.resize(category->body.size() + num(w[1]), 0);
    } else if (category != nullptr && k == "ctype" && n == 3) {
      category->ctype.present = true;
      category->ctype.classes = SplitComma(w[1]);
      category->ctype.translations = SplitComma(w[2]);
    } else if (category != nullptr && category->ctype.present && k == "class" && n == 3) {
      category->ctype.classWords.emplace_back(static_cast<uint16_t>(num(w[1])), num(w[2]));
    } else if (category != nullptr && category->ctype.present && k == "map" && n == 4) {
      category->ctype.maps.push_back({num(w[1]), static_cast<uint16_t>(num(w[2])), static_cast<uint16_t>(num(w[3]))});
    } else if (category != nullptr && category->ctype.present && k == "multi" && n == 4) {
      category->ctype.multis.push_back({num(w[1]), UnescapeUnits(w[2]), UnescapeUnits(w[3])});
    } else if (category != nullptr && (k == "numeric" || k == "messages") && n == (k == "numeric" ? 6u : 4u)) {
      category->fieldKind = k == "numeric" ? 'n' : 'g';
      for (std::size_t i = 1; i < n; ++i) category->fields.push_back(Unescape(w[i]));
    } else if (category != nullptr && k == "monetary" && n == 16) {
      category->fieldKind = 'm';
      for (std::size_t i = 1; i < 8; ++i) category->fields.push_back(Unescape(w[i]));
      for (std::size_t i = 8; i < 16; ++i) category->values.push_back(static_cast<uint8_t>(num(w[i])));
    } else if (category != nullptr && k == "time" && n == 1) {
      category->time.present = true;
      category->time.texts.assign(std::begin(kPosixTimes), std::end(kPosixTimes));
    } else if (category != nullptr && category->time.present && k == "timetext" && n == 3 && num(w[1]) < 49) {
      category->time.texts[num(w[1])] = Unescape(w[2]);
    } else if (category != nullptr && category->time.present && k == "firstjanuary" && n == 2) {
      category->time.firstJanuary = static_cast<uint8_t>(num(w[1]));
    } else if (category != nullptr && category->time.present && k == "era" && n == 9) {
      EraSpec e;
      e.startYear = static_cast<int16_t>(num(w[1]));
      e.startMonth = static_cast<uint8_t>(num(w[2]));
      e.startDay = static_cast<uint8_t>(num(w[3]));
      e.endYear = static_cast<int16_t>(num(w[4]));
      e.endMonth = static_cast<uint8_t>(num(w[5]));
      e.endDay = static_cast<uint8_t>(num(w[6]));
      e.name = Unescape(w[7]);
      e.format = Unescape(w[8]);
      category->time.eras.push_back(e);
    } else if (category != nullptr && category->time.present && k == "altdigits") {
      for (std::size_t i = 1; i < n; ++i) category->time.digits.push_back(Unescape(w[i]));
    } else if (category != nullptr && k == "soundex" && n == 3) {
      for (char c : Unescape(w[1])) category->soundex.emplace_back(static_cast<uint8_t>(c), static_cast<uint8_t>(num(w[2])));
    } else if (category != nullptr && k == "extension" && n == 2) {
      std::vector<uint8_t>& b = category->body;
      b.resize(b.size() + 40, 0);  // collation header: 0 levels
      std::vector<uint8_t> sub;
      Put16(sub, static_cast<uint16_t>(4 + w[1].size() + 1));
      Put16(sub, 2);
      for (char c : w[1]) sub.push_back(static_cast<uint8_t>(c));
      sub.push_back(0);
      Put16(b, 1);
      Put16(b, static_cast<uint16_t>(sub.size()));
      b.insert(b.end(), sub.begin(), sub.end());
    } else if (category != nullptr && k == "collate" && n >= 2) {
      category->collate.present = true;
      for (std::size_t i = 1; i < n; ++i) category->collate.attributes.push_back(static_cast<uint8_t>(num(w[i])));
    } else if (category != nullptr && category->collate.present && k == "collrange" && n == 3) {
      category->collate.range = true;
      category->collate.lowest = static_cast<uint16_t>(num(w[1]));
      category->collate.highest = static_cast<uint16_t>(num(w[2]));
    } else if (category != nullptr && category->collate.present && k == "weight" && n >= 2) {
      std::vector<uint16_t>& e = category->collate.entries[static_cast<uint16_t>(num(w[1]))];
      e.clear();
      for (std::size_t i = 2; i < n; ++i) e.push_back(static_cast<uint16_t>(num(w[i])));
    } else if (category != nullptr && category->collate.present && k == "single" && n >= 2) {
      std::vector<uint16_t>& e = category->collate.closing[static_cast<uint16_t>(num(w[1]))];
      e.clear();
      for (std::size_t i = 2; i < n; ++i) e.push_back(static_cast<uint16_t>(num(w[i])));
    } else if (category != nullptr && category->collate.present && k == "contraction" && n >= 4) {
      CollateSpec::Record r;
      r.code = static_cast<uint16_t>(num(w[1]));
      if (!w[2].empty() && w[2][0] == '=') {
        for (const std::string& part : SplitComma(w[2].substr(1))) r.sequence.push_back(static_cast<uint16_t>(num(part)));
      } else {
        std::string text = Unescape(w[2]);
        std::set<uint8_t> lead(locale->leadBytes.begin(), locale->leadBytes.end());
        for (std::size_t i = 0; i < text.size(); ++i) {
          auto byte = static_cast<uint8_t>(text[i]);
          if (locale->family == 3 && lead.count(byte) != 0 && i + 1 < text.size())
            r.sequence.push_back(static_cast<uint16_t>(byte << 8 | static_cast<uint8_t>(text[++i])));
          else
            r.sequence.push_back(byte);
        }
      }
      for (std::size_t i = 3; i < n; ++i) {
        r.weights.emplace_back();
        for (const std::string& part : SplitComma(w[i])) r.weights.back().push_back(static_cast<uint16_t>(num(part)));
      }
      category->collate.contractions.push_back(std::move(r));
    } else if (locale != nullptr && k == "description" && n == 2) {
      locale->description = w[1];
    } else if (locale != nullptr && k == "family" && n == 2) {
      locale->family = static_cast<uint8_t>(num(w[1]));
    } else if (locale != nullptr && k == "bytes" && n == 5) {
      for (int i = 0; i < 4; ++i) locale->bytes32[i] = static_cast<uint8_t>(num(w[1 + i]));
    } else if (locale != nullptr && k == "byte" && n == 3) {
      locale->bytes.emplace_back(static_cast<uint16_t>(num(w[1])), static_cast<uint8_t>(num(w[2])));
    } else if (locale != nullptr && k == "word" && n == 3) {
      locale->words.emplace_back(static_cast<uint16_t>(num(w[1])), static_cast<uint16_t>(num(w[2])));
    } else if (locale != nullptr && k == "defined") {
      for (std::size_t i = 1; i < n; ++i)
        locale->defined.push_back(static_cast<uint8_t>(std::strtoul(w[i].c_str(), nullptr, 16)));
    } else if (locale != nullptr && k == "leadbytes") {
      for (std::size_t i = 1; i < n; ++i) locale->leadBytes.push_back(static_cast<uint8_t>(num(w[i])));
    } else {
      return fail("unknown or misplaced statement \"" + k + "\"");
    }
  }
  return true;
}

std::vector<uint8_t> Build(const LibrarySpec& spec) {
  std::vector<uint8_t> file;
  PutText(file, spec.title, 32);
  file.push_back(spec.major);
  file.push_back(spec.minor);
  file.push_back(spec.extra[0]);
  file.push_back(spec.extra[1]);
  Put16(file, static_cast<uint16_t>(spec.locales.size()));
  Put16(file, static_cast<uint16_t>(spec.charsets.size()));
  Put16(file, static_cast<uint16_t>(spec.locales.size() + spec.charsets.size()));
  std::size_t directory = file.size();
  for (const LocaleSpec& l : spec.locales) {
    PutText(file, l.name, 32);
    Put16(file, 0);
    Put32(file, 0);
  }
  for (const CharsetSpec& c : spec.charsets) {
    PutText(file, c.name, 32);
    Put16(file, 1);
    Put32(file, 0);
  }
  std::size_t entry = 0;
  for (const LocaleSpec& l : spec.locales) {
    std::size_t at = file.size();
    Set32(file, directory + 38 * entry++ + 34, static_cast<uint32_t>(at));
    std::vector<uint8_t> record;
    PutText(record, l.name, 32);
    record.insert(record.end(), l.bytes32, l.bytes32 + 4);
    PutText(record, l.description, 32);
    record.resize(128, 0);
    record[69] = l.family;
    record[74] = l.family == 2 ? 2 : 1;
    record[75] = l.family == 1 ? 1 : 2;
    record[76] = 6;
    record[80] = 63;
    for (auto [offset, value] : l.bytes)
      if (offset < 128) record[offset] = value;
    for (auto [offset, value] : l.words)
      if (offset + 1 < 128) {
        record[offset] = static_cast<uint8_t>(value);
        record[offset + 1] = static_cast<uint8_t>(value >> 8);
      }
    std::size_t bitmap = l.family == 1 ? 32 : 8192;
    std::vector<uint8_t> defined(bitmap, 0);
    for (std::size_t i = 0; i < 32; ++i) defined[i] = 0xFF;
    for (std::size_t i = 0; i < l.defined.size() && i < bitmap; ++i) defined[i] = l.defined[i];
    std::vector<uint8_t> lead(32, 0);
    for (uint8_t b : l.leadBytes) lead[b / 8] |= static_cast<uint8_t>(1u << (b % 8));
    file.insert(file.end(), record.begin(), record.end());
    file.insert(file.end(), defined.begin(), defined.end());
    if (l.family == 3) file.insert(file.end(), lead.begin(), lead.end());
    // Category tables in mask order.
    for (int slot = 0; slot < 8; ++slot) {
      uint16_t mask = static_cast<uint16_t>(1u << slot);
      uint16_t count = 0;
      for (const CategorySpec& c : l.categories) count += c.mask == mask;
      if (count == 0) continue;
      Set32(file, at + 82 + 4 * slot, static_cast<uint32_t>(file.size()));
      Put16(file, count);
      for (const CategorySpec& c : l.categories) {
        if (c.mask != mask) continue;
        std::vector<uint8_t> body = CategoryBody(l.family, c);
        Put32(file, static_cast<uint32_t>(70 + body.size()));
        PutText(file, c.name, 32);
        PutText(file, c.text, 32);
        file.push_back(c.flag68);
        file.push_back(c.flag69);
        file.insert(file.end(), body.begin(), body.end());
      }
    }
  }
  for (const CharsetSpec& c : spec.charsets) {
    Set32(file, directory + 38 * entry++ + 34, static_cast<uint32_t>(file.size()));
    std::vector<uint8_t> record;
    PutText(record, c.name, 32);
    record.resize(44, 0);
    record.insert(record.end(), c.body.begin(), c.body.end());
    Put32(file, static_cast<uint32_t>(record.size()));
    file.insert(file.end(), record.begin(), record.end());
  }
  return file;
}

bool Compile(const std::string& source, const std::string& outputPath, bool compressed, std::string& error) {
  LibrarySpec spec;
  if (!Parse(source, spec, error)) return false;
  std::vector<uint8_t> bytes = Build(spec);
  if (compressed) {
    if (!platform::WriteLzFile(outputPath, bytes)) {
      error = "cannot write " + outputPath;
      return false;
    }
    return true;
  }
  std::ofstream out(outputPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = "cannot write " + outputPath;
    return false;
  }
  return true;
}

}  // namespace sllc
