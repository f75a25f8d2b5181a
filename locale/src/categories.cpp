#include "categories.h"

#include <algorithm>
#include <bit>
#include <new>

namespace slw {

namespace {

// Bounded reads over a category body.
struct Cursor {
  const uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
  bool Take(std::size_t n, const uint8_t*& out) {
    if (n > size - pos) return false;
    out = data + pos;
    pos += n;
    return true;
  }
};

Text Ascii(const char* s) {
  Text t;
  while (*s != '\0') t.push_back(static_cast<unsigned char>(*s++));
  return t;
}

// A plane: u16 count of present pages, a 32-byte page map, the pages.
// More than 62 pages is refused as the original refused it (0x0601); a count
// that disagrees with the map would send the walk past the pages (0x0404).
template <typename T>
Status ReadPlane(Cursor& c, PagedTable<T>& out) {
  const uint8_t* head = nullptr;
  if (!c.Take(34, head)) return kCategoryRead;
  uint16_t count = ReadU16(head);
  if (count >= 63) return kNoMemory;
  int bits = 0;
  for (int i = 0; i < 32; ++i) bits += std::popcount(static_cast<unsigned>(head[2 + i]));
  if (bits != count) return kCategoryRead;
  const uint8_t* pages = nullptr;
  if (!c.Take(std::size_t{count} * 256 * sizeof(T), pages)) return kCategoryRead;
  PagedTable<T> table;
  for (unsigned p = 0; p < 256; ++p) {
    if ((head[2 + p / 8] & (1u << (p % 8))) == 0) continue;
    std::array<T, 256> page{};
    for (unsigned i = 0; i < 256; ++i) {
      const uint8_t* v = pages + (table.pages.size() * 256 + i) * sizeof(T);
      if constexpr (sizeof(T) == 4) page[i] = ReadU32(v);
      else if constexpr (sizeof(T) == 2) page[i] = ReadU16(v);
      else page[i] = *v;
    }
    table.page[p] = static_cast<int16_t>(table.pages.size());
    table.pages.push_back(page);
  }
  out = std::move(table);
  return kOk;
}

template <typename T>
PagedTable<T> FirstPage(const uint8_t* p) {
  PagedTable<T> table;
  std::array<T, 256> page{};
  for (unsigned i = 0; i < 256; ++i) {
    if constexpr (sizeof(T) == 4) page[i] = ReadU32(p + 4 * i);
    else if constexpr (sizeof(T) == 2) page[i] = ReadU16(p + 2 * i);
    else page[i] = p[i];
  }
  table.page[0] = 0;
  table.pages.push_back(page);
  return table;
}

// Built-in class table of the "POSIX" LC_CTYPE.
uint32_t PosixClass(uint16_t c) {
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

constexpr const char* kPosixClasses[] = {"space", "digit", "lower", "upper", "xdigit", "cntrl", "punct", "blank"};

constexpr const char* kPosixTimes[kTimeTexts] = {
    "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat",
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday",
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec",
    "January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
    "November", "December",
    "AM", "PM",
    "%a %b %d %X %Z %Y", "%a %b %d", "%I:%M:%S", "%I:%M:%S %p", "", "", "", "", ""};

}  // namespace

uint32_t ClassMaskOfPosition(std::size_t i) {
  if (i == 10) return 1036;
  if (i == 12) return 5214;
  if (i < 13) return 1u << i;
  // Positions 13 to 19 take bits 24 to 30; bit 31 is no class bit, so later
  // positions get none.
  return i < 20 ? 1u << (24 + (i - 13)) : 0;
}

Text CategoryBase::ReadText(const uint8_t* p, std::size_t bytes) const {
  Text t;
  if (wide()) {
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
      uint16_t u = ReadU16(p + i);
      if (u == 0) break;
      t.push_back(u);
    }
  } else {
    for (std::size_t i = 0; i < bytes && p[i] != 0; ++i) t.push_back(p[i]);
  }
  return t;
}

Status CategoryBase::Load(const uint8_t* record, std::size_t size) {
  if (record == nullptr || size < kCategoryHeadSize) return kCategoryRead;
  if (Status s = Parse(record + kCategoryHeadSize, size - kCategoryHeadSize); s != kOk) return s;
  std::copy(record, record + kCategoryHeadSize, head_.begin());
  body_.assign(record + kCategoryHeadSize, record + size);
  return kOk;
}

Status CollateCategory::Parse(const uint8_t* body, std::size_t size) {
  CollationTable loaded(family_);
  if (Status s = loaded.Parse(body, size); s != kOk) return s;
  table = std::move(loaded);
  return kOk;
}

// ---- LC_CTYPE ----

CtypeCategory::CtypeCategory(int slot, uint8_t family) : CategoryBase(slot, family) {
  data_ = Data::kCtype;
  for (std::size_t i = 0; i < std::size(kPosixClasses); ++i)
    classes_.push_back({kPosixClasses[i], ClassMaskOfPosition(i)});
  translations_ = {"toupper", "tolower"};
}

Status CtypeCategory::Parse(const uint8_t* body, std::size_t size) {
  Cursor c{body, size};
  const uint8_t* p = nullptr;
  if (!c.Take(512, p)) return kLibRead;
  std::vector<ClassEntry> classes;
  for (std::size_t i = 0; i < 32; ++i) {
    std::string name = FieldText(p + 16 * i, 16);
    if (name.empty()) break;
    classes.push_back({name, ClassMaskOfPosition(i)});
  }
  PagedTable<uint32_t> classTable;
  const bool narrow = family_ == SL_FAMILY_NARROW;
  if (narrow) {
    if (!c.Take(1024, p)) return kCategoryRead;
    classTable = FirstPage<uint32_t>(p);
  } else if (Status s = ReadPlane(c, classTable); s != kOk) {
    return s;
  }
  if (!c.Take(2, p)) return kCategoryRead;
  uint16_t entries = ReadU16(p);
  if (!c.Take(std::size_t{entries} * 13, p)) return kCategoryRead;
  if (!c.Take(2, p)) return kCategoryRead;
  uint16_t count = ReadU16(p);
  if (count > 8) return kCategoryRead;
  const uint8_t* headers = nullptr;
  if (!c.Take(std::size_t{count} * 530, headers)) return kCategoryRead;
  std::vector<Translation> tables(count);
  const std::size_t unit = narrow ? 1 : 2;
  const std::size_t entrySize = 2 * (unit + 8 * unit);
  for (uint16_t t = 0; t < count; ++t) {
    Translation& tr = tables[t];
    const uint8_t* h = headers + 530 * std::size_t{t};
    tr.name = FieldText(h, 16);
    uint16_t multi = ReadU16(h + 16);
    for (int i = 0; i < 256; ++i) {
      uint16_t first = ReadU16(h + 18 + 2 * i);
      // An index names an entry of this translation, or none (0xFFFF); with
      // no entries at all the indexes are never read.
      if (multi != 0 && first != 0xFFFF && first >= multi) return kCategoryRead;
      tr.first[static_cast<std::size_t>(i)] = multi == 0 ? 0xFFFF : first;
    }
    if (narrow) {
      if (!c.Take(512, p)) return kCategoryRead;
      tr.table = FirstPage<uint16_t>(p);
    } else if (Status s = ReadPlane(c, tr.table); s != kOk) {
      return s;
    }
    if (!c.Take(std::size_t{multi} * entrySize, p)) return kCategoryRead;
    for (uint16_t e = 0; e < multi; ++e) {
      const uint8_t* q = p + e * entrySize;
      MultiCharEntry entry;
      for (int side = 0; side < 2; ++side) {
        const uint8_t* s = q + side * (entrySize / 2);
        std::size_t length = narrow ? s[0] : ReadU16(s);
        if (length > 8) return kCategoryRead;
        Text& text = side == 0 ? entry.source : entry.target;
        for (std::size_t k = 0; k < length; ++k)
          text.push_back(narrow ? s[1 + k] : ReadU16(s + 2 + 2 * k));
      }
      tr.entries.push_back(std::move(entry));
    }
  }
  int upper = -1, lower = -1;
  if (narrow) {
    for (int t = 0; t < count; ++t) {
      if (upper < 0 && tables[t].name == "toupper") upper = t;
      if (lower < 0 && tables[t].name == "tolower") lower = t;
    }
  } else {
    // The wide layout keeps toupper first and tolower second; a translation
    // that is not there maps every character unchanged.
    upper = count > 0 ? 0 : -1;
    lower = count > 1 ? 1 : -1;
  }
  classes_ = std::move(classes);
  translations_.clear();
  for (const Translation& tr : tables) translations_.push_back(tr.name);
  classTable_ = std::move(classTable);
  tables_ = std::move(tables);
  upper_ = upper;
  lower_ = lower;
  posix_ = false;
  return kOk;
}

void CtypeCategory::SetPlatformTables(PagedTable<uint32_t> classes, std::vector<Translation> tables) {
  classTable_ = std::move(classes);
  tables_ = std::move(tables);
  translations_ = {"toupper", "tolower"};
  upper_ = 0;
  lower_ = 1;
  posix_ = false;
}

uint32_t CtypeCategory::ClassOf(uint16_t code) const {
  if (family_ == SL_FAMILY_NARROW) code &= 0xFF;
  if (posix_) return code < 256 ? PosixClass(code) : 0;
  return classTable_.At(code);
}

uint16_t CtypeCategory::Translate(int index, uint16_t code) const {
  if (family_ == SL_FAMILY_NARROW) code &= 0xFF;
  if (posix_) {
    if (index == 0 && code >= 'a' && code <= 'z') return static_cast<uint16_t>(code - 32);
    if (index == 1 && code >= 'A' && code <= 'Z') return static_cast<uint16_t>(code + 32);
    return code;
  }
  if (index < 0 || static_cast<std::size_t>(index) >= tables_.size()) return code;
  uint16_t v = tables_[static_cast<std::size_t>(index)].table.At(code);
  return v == 0 ? code : v;
}

// ---- LC_TIME ----

TimeCategory::TimeCategory(int slot, uint8_t family) : CategoryBase(slot, family) {
  data_ = Data::kTime;
  for (int i = 0; i < kTimeTexts; ++i) texts[static_cast<std::size_t>(i)] = Ascii(kPosixTimes[i]);
}

Status TimeCategory::Parse(const uint8_t* body, std::size_t size) {
  Cursor c{body, size};
  const std::size_t shortField = Width(16), longField = Width(32);
  // Field widths in item order.
  std::array<std::size_t, kTimeTexts> widths{};
  for (int i = 0; i < kTimeTexts; ++i) {
    bool isShort = i < 7 || (i >= 14 && i < 26) || i == 38 || i == 39;
    widths[static_cast<std::size_t>(i)] = isShort ? shortField : longField;
  }
  std::size_t fixed = 5;
  for (std::size_t w : widths) fixed += w;
  const uint8_t* p = nullptr;
  if (!c.Take(fixed, p)) return kLibRead;
  std::array<Text, kTimeTexts> read;
  for (int i = 0; i < kTimeTexts; ++i) {
    read[static_cast<std::size_t>(i)] = ReadText(p, widths[static_cast<std::size_t>(i)]);
    p += widths[static_cast<std::size_t>(i)];
  }
  uint8_t flag = p[0];
  uint16_t eraLength = ReadU16(p + 1);
  uint16_t altLength = ReadU16(p + 3);
  const std::size_t eraSize = family_ == SL_FAMILY_NARROW ? 40 : 72;
  if (eraLength % eraSize != 0) return kCategoryRead;
  const uint8_t* eraData = nullptr;
  const uint8_t* altData = nullptr;
  if (!c.Take(eraLength, eraData) || !c.Take(altLength, altData)) return kCategoryRead;
  std::vector<Era> eraList;
  for (std::size_t e = 0; e < eraLength / eraSize; ++e) {
    const uint8_t* q = eraData + e * eraSize;
    Era era;
    era.startYear = static_cast<int16_t>(ReadU16(q));
    era.startMonth = q[2];
    era.startDay = q[3];
    era.endYear = static_cast<int16_t>(ReadU16(q + 4));
    era.endMonth = q[6];
    era.endDay = q[7];
    era.name = ReadText(q + 8, Width(16));
    era.format = ReadText(q + 8 + Width(16), Width(16));
    eraList.push_back(std::move(era));
  }
  // Alternative digits: NUL-separated strings; the list must end with its
  // terminator so that no walk runs past it.
  std::vector<Text> digits;
  const std::size_t unit = wide() ? 2 : 1;
  if (altLength != 0) {
    if (altLength % unit != 0) return kCategoryRead;
    auto unitAt = [&](std::size_t i) -> uint16_t { return unit == 2 ? ReadU16(altData + 2 * i) : altData[i]; };
    std::size_t units = altLength / unit;
    if (unitAt(units - 1) != 0) return kCategoryRead;
    Text current;
    for (std::size_t i = 0; i < units; ++i) {
      uint16_t u = unitAt(i);
      if (u == 0) {
        digits.push_back(current);
        current.clear();
      } else {
        current.push_back(u);
      }
    }
  }
  texts = std::move(read);
  fromFirstJanuary = flag;
  eras = std::move(eraList);
  altDigits = std::move(digits);
  return kOk;
}

// ---- LC_NUMERIC, LC_MONETARY, LC_MESSAGES ----

NumericCategory::NumericCategory(int slot, uint8_t family)
    : CategoryBase(slot, family), decimalPoint(u"."), exponent(u"E") {
  data_ = Data::kNumeric;
}

Status NumericCategory::Parse(const uint8_t* body, std::size_t size) {
  Cursor c{body, size};
  const uint8_t* p = nullptr;
  if (!c.Take(Width(2) * 2 + 10 + Width(5) * 2, p)) return kLibRead;
  decimalPoint = ReadText(p, Width(2));
  p += Width(2);
  thousands = ReadText(p, Width(2));
  p += Width(2);
  grouping = FieldText(p, 10);
  p += 10;
  exponent = ReadText(p, Width(5));
  p += Width(5);
  list = ReadText(p, Width(5));
  if (decimalPoint.empty()) decimalPoint.assign(1, u'.');
  if (exponent.empty()) exponent.assign(1, u'E');
  return kOk;
}

MonetaryCategory::MonetaryCategory(int slot, uint8_t family) : CategoryBase(slot, family) {
  data_ = Data::kMonetary;
  values.fill(255);
}

Status MonetaryCategory::Parse(const uint8_t* body, std::size_t size) {
  Cursor c{body, size};
  const uint8_t* p = nullptr;
  if (!c.Take(Width(5) * 4 + Width(2) * 2 + 10 + 8, p)) return kLibRead;
  auto text = [&](std::size_t narrowWidth) {
    Text t = ReadText(p, Width(narrowWidth));
    p += Width(narrowWidth);
    return t;
  };
  intlSymbol = text(5);
  symbol = text(5);
  decimalPoint = text(2);
  thousands = text(2);
  grouping = FieldText(p, 10);
  p += 10;
  positiveSign = text(5);
  negativeSign = text(5);
  std::copy(p, p + 8, values.begin());
  return kOk;
}

uint8_t MonetaryCategory::SignPosition(bool negative) const {
  uint8_t position = values[negative ? 7 : 6];
  if (position > 4) position = 0;
  if (!negative && position == 0) return 1;
  return position;
}

MessagesCategory::MessagesCategory(int slot, uint8_t family)
    : CategoryBase(slot, family), yes(u"yY"), no(u"nN"), third(u"POSIX") {
  data_ = Data::kMessages;
}

Status MessagesCategory::Parse(const uint8_t* body, std::size_t size) {
  Cursor c{body, size};
  const uint8_t* p = nullptr;
  if (!c.Take(Width(5) * 2 + Width(32), p)) return kLibRead;
  yes = ReadText(p, Width(5));
  no = ReadText(p + Width(5), Width(5));
  third = ReadText(p + 2 * Width(5), Width(32));
  return kOk;
}

// ---- soundex ----

Status SoundexCategory::Parse(const uint8_t* body, std::size_t size) {
  Cursor c{body, size};
  if (family_ == SL_FAMILY_NARROW) {
    const uint8_t* p = nullptr;
    if (!c.Take(256, p)) return kLibRead;
    table_ = FirstPage<uint8_t>(p);
    return kOk;
  }
  if (size < 34) return kLibRead;
  PagedTable<uint8_t> table;
  if (Status s = ReadPlane(c, table); s != kOk) return s;
  table_ = std::move(table);
  return kOk;
}

// ---- factory and access ----

namespace {
template <class N, class W, class M>
Category* Make(uint8_t family) {
  switch (family) {
    case SL_FAMILY_NARROW: return new (std::nothrow) N();
    case SL_FAMILY_WIDE: return new (std::nothrow) W();
    case SL_FAMILY_MULTI: return new (std::nothrow) M();
    default: return nullptr;
  }
}
}  // namespace

Category* NewCategoryObject(int slot, uint8_t family) {
  switch (slot) {
    case 0: return Make<NarrowCollate, WideCollate, MultiCollate>(family);
    case 1: return Make<NarrowCtype, WideCtype, MultiCtype>(family);
    case 2: return Make<NarrowTime, WideTime, MultiTime>(family);
    case 3: return Make<NarrowMonetary, WideMonetary, MultiMonetary>(family);
    case 4: return Make<NarrowNumeric, WideNumeric, MultiNumeric>(family);
    case 5: return Make<NarrowMessages, WideMessages, MultiMessages>(family);
    case 6: return Make<NarrowSoundex, WideSoundex, MultiSoundex>(family);
    case 7: return Make<NarrowUserdef, WideUserdef, MultiUserdef>(family);
    default: return nullptr;
  }
}

namespace {
template <class Kind>
const Kind* DataOf(const CLocale& l, int slot, Category::Data data) {
  const Category* c = l.categories[static_cast<std::size_t>(slot)];
  return c != nullptr && c->data() == data ? static_cast<const Kind*>(c) : nullptr;
}
}  // namespace

const CollateCategory* CollateOf(const CLocale& l) { return DataOf<CollateCategory>(l, 0, Category::Data::kCollate); }
const CtypeCategory* CtypeOf(const CLocale& l) { return DataOf<CtypeCategory>(l, 1, Category::Data::kCtype); }
const TimeCategory* TimeOf(const CLocale& l) { return DataOf<TimeCategory>(l, 2, Category::Data::kTime); }
const MonetaryCategory* MonetaryOf(const CLocale& l) { return DataOf<MonetaryCategory>(l, 3, Category::Data::kMonetary); }
const NumericCategory* NumericOf(const CLocale& l) { return DataOf<NumericCategory>(l, 4, Category::Data::kNumeric); }
const MessagesCategory* MessagesOf(const CLocale& l) { return DataOf<MessagesCategory>(l, 5, Category::Data::kMessages); }
const SoundexCategory* SoundexOf(const CLocale& l) { return DataOf<SoundexCategory>(l, 6, Category::Data::kSoundex); }

}  // namespace slw
