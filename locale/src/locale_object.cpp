#include "locale_object.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "client.h"
#include "lock.h"
#include "pool.h"

namespace slw {

namespace {

constexpr const char* kValueNames[kCategorySlots] = {
    "SLC_COLLATE", "SLC_CTYPE", "SLC_TIME", "SLC_MONETARY",
    "SLC_NUMERIC", "SLC_MESSAGE", "SLC_soundex", "SLC_userdef"};
constexpr const char* kDescriptions[kCategorySlots] = {
    "C/POSIX LC_COLLATE", "C/POSIX LC_CTYPE", "C/POSIX LC_TIME", "C/POSIX LC_MONETARY",
    "C/POSIX LC_NUMERIC", "C/POSIX LC_MESSAGES", "C/POSIX LC_soundex", "C/POSIX LC_userdef"};

// Classes of the built-in LC_CTYPE, at the positions whose masks are the bits
// its class table uses.
constexpr const char* kPosixClasses[] = {"space", "digit", "lower", "upper",
                                         "xdigit", "cntrl", "punct", "blank"};

// One list of shared category objects per category kind.
std::vector<Category*>& CategoryList(int slot) {
  static auto* lists = new std::vector<Category*>[kCategorySlots];
  return lists[slot];
}

uint32_t ClassMaskOfPosition(std::size_t i) {
  if (i == 10) return 1036;
  if (i == 12) return 5214;
  if (i < 13) return 1u << i;
  std::size_t bit = 24 + (i - 13);
  return bit < 32 ? (1u << bit) : 0;
}

}  // namespace

std::string FieldText(const uint8_t* p, std::size_t width) {
  std::size_t n = 0;
  while (n < width && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

int SlotOfMask(uint16_t mask) {
  for (int i = 0; i < kCategorySlots; ++i)
    if (mask == (1u << i)) return i;
  return -1;
}

const char* CategoryValueName(int slot) {
  return slot >= 0 && slot < kCategorySlots ? kValueNames[slot] : "";
}

// ---- Category ----

Category::Category(int slot, uint8_t family) : slot_(slot), family_(family) { SetDefaults(); }

Category::~Category() = default;

void Category::SetDefaults() {
  head_.fill(0);
  WriteU32(head_.data(), static_cast<uint32_t>(kCategoryHeadSize));
  std::memcpy(head_.data() + 4, "POSIX", 5);
  const char* description = kDescriptions[slot_];
  std::memcpy(head_.data() + 36, description, std::strlen(description));
  head_[68] = 1;
  head_[69] = 1;
  name_ = "POSIX";
  body_.clear();
  classes_.clear();
  translations_.clear();
  if (slot_ == 1) {
    for (std::size_t i = 0; i < std::size(kPosixClasses); ++i)
      classes_.push_back({kPosixClasses[i], ClassMaskOfPosition(i)});
    translations_ = {"toupper", "tolower"};
  }
}

Status Category::Load(const uint8_t* record, std::size_t size) {
  if (record == nullptr || size < kCategoryHeadSize) return kCategoryRead;
  std::array<uint8_t, kCategoryHeadSize> oldHead = head_;
  std::vector<uint8_t> oldBody;
  oldBody.swap(body_);
  std::vector<ClassEntry> oldClasses;
  oldClasses.swap(classes_);
  std::vector<std::string> oldTranslations;
  oldTranslations.swap(translations_);

  std::copy(record, record + kCategoryHeadSize, head_.begin());
  body_.assign(record + kCategoryHeadSize, record + size);
  Status status = slot_ == 1 ? ParseCtype() : kOk;
  if (status != kOk) {
    // A failed load leaves the category at its previous data.
    head_ = oldHead;
    body_.swap(oldBody);
    classes_.swap(oldClasses);
    translations_.swap(oldTranslations);
    return status;
  }
  return kOk;
}

// LC_CTYPE body: 512 bytes of 32 class names; the class table (narrow: 1024
// bytes; wide and multi-byte: a plane of a 34-byte descriptor and its present
// 1024-byte pages); a 16-bit count of 13-byte entries and the entries; a
// 16-bit translation count (at most 8) and the 530-byte translation headers,
// each beginning with the translation's 16-byte name. The tables after the
// headers are read by the character-type code.
Status Category::ParseCtype() {
  const std::vector<uint8_t>& b = body_;
  std::size_t pos = 0;
  auto need = [&](std::size_t n) { return n <= b.size() && pos <= b.size() - n; };
  if (!need(512)) return kCategoryRead;
  for (std::size_t i = 0; i < 32; ++i) {
    std::string name = FieldText(b.data() + 16 * i, 16);
    if (name.empty()) break;
    classes_.push_back({name, ClassMaskOfPosition(i)});
  }
  pos += 512;
  if (family_ == SL_FAMILY_NARROW) {
    if (!need(1024)) return kCategoryRead;
    pos += 1024;
  } else {
    if (!need(34)) return kCategoryRead;
    uint16_t pages = ReadU16(b.data() + pos);
    if (pages >= 63) return kNoMemory;
    pos += 34;
    if (!need(std::size_t{pages} * 1024)) return kCategoryRead;
    pos += std::size_t{pages} * 1024;
  }
  if (!need(2)) return kCategoryRead;
  uint16_t entries = ReadU16(b.data() + pos);
  pos += 2;
  if (!need(std::size_t{entries} * 13)) return kCategoryRead;
  pos += std::size_t{entries} * 13;
  if (!need(2)) return kCategoryRead;
  uint16_t count = ReadU16(b.data() + pos);
  pos += 2;
  if (count > 8) return kCategoryRead;
  if (!need(std::size_t{count} * 530)) return kCategoryRead;
  for (uint16_t t = 0; t < count; ++t) translations_.push_back(FieldText(b.data() + pos + 530 * t, 16));
  return kOk;
}

Status Category::FillFromPlatform(uint32_t) {
  name_ = "WIN";
  return kOk;
}

void Category::FreeData() {
  body_.clear();
  body_.shrink_to_fit();
}

std::string Category::ShortName() const {
  if (name_ == "POSIX" || name_ == "WIN") return name_;
  std::size_t at = name_.find('@');
  return at == std::string::npos ? std::string() : name_.substr(at);
}

Category* CreateCategory(int slot, uint8_t family, std::string_view name) {
  if (slot < 0 || slot >= kCategorySlots) return nullptr;
  LockHold hold;
  for (Category* c : CategoryList(slot)) {
    if (!c->stale() && c->family() == family && c->name() == name) {
      ++c->refs;
      return c;
    }
  }
  Category* c = new (std::nothrow) Category(slot, family);
  if (c == nullptr) return nullptr;
  c->SetName(std::string(name));
  c->refs = 1;
  CategoryList(slot).push_back(c);
  return c;
}

bool IsShared(const Category* category) { return category != nullptr && category->refs > 1; }

void ReleaseCategory(Category* category) {
  if (category == nullptr) return;
  LockHold hold;
  if (category->refs > 1) {
    --category->refs;
    return;
  }
  auto& list = CategoryList(category->slot());
  list.erase(std::remove(list.begin(), list.end(), category), list.end());
  category->FreeData();
  delete category;
}

// ---- Locales ----

CLocale::CLocale(uint8_t family) { record[69] = family; }

CLocale::~CLocale() = default;

std::string CLocale::RecordName() const { return FieldText(record.data(), 32); }

void CLocale::SetRecordText(std::size_t offset, std::string_view text, std::size_t width) {
  std::fill(record.begin() + offset, record.begin() + offset + width, uint8_t{0});
  std::size_t n = std::min(text.size(), width - 1);
  std::memcpy(record.data() + offset, text.data(), n);
}

// The locale's own name, ";", then each category's short name and ";".
void CLocale::BuildFullName() {
  std::string name = RecordName();
  std::size_t cut = name.find_first_of("@;");
  if (cut != std::string::npos) name.resize(cut);
  fullName = name + ";";
  for (Category* c : categories) {
    if (c != nullptr) fullName += c->ShortName();
    fullName += ";";
  }
}

std::size_t DefinedBitmapSize(uint8_t family) { return family == SL_FAMILY_NARROW ? 32 : 8192; }

namespace {
void InitBitmap(CLocale& locale) {
  // By default exactly the codes 0 to 255 are defined.
  locale.defined.assign(DefinedBitmapSize(locale.family()), 0);
  std::fill(locale.defined.begin(), locale.defined.begin() + 32, uint8_t{0xFF});
}
}  // namespace

NarrowLocale::NarrowLocale() : TLocale(SL_FAMILY_NARROW) { InitBitmap(*this); }
WideLocale::WideLocale() : TLocale(SL_FAMILY_WIDE) { InitBitmap(*this); }
MultiLocale::MultiLocale() : TLocale(SL_FAMILY_MULTI) {
  InitBitmap(*this);
  leadBytes.assign(32, 0);
}

CLocale* NewLocale(uint8_t family) {
  switch (family) {
    case SL_FAMILY_NARROW: return new (std::nothrow) NarrowLocale();
    case SL_FAMILY_WIDE: return new (std::nothrow) WideLocale();
    case SL_FAMILY_MULTI: return new (std::nothrow) MultiLocale();
    default: return nullptr;
  }
}

CLocale* FindLocale(hlocale h) {
  if (h == nullptr) return nullptr;
  LockHold hold;
  CLocale* wanted = FromHandle(h);
  for (Client* c : {FindClient(), SystemClient()}) {
    if (c == nullptr) continue;
    if (std::find(c->locales.begin(), c->locales.end(), wanted) != c->locales.end()) return wanted;
  }
  return nullptr;
}



void ReleaseLocale(CLocale* locale) {
  if (locale == nullptr) return;
  LockHold hold;
  if (locale->refs > 1) {
    --locale->refs;
    return;
  }
  for (Category*& c : locale->categories) {
    ReleaseCategory(c);
    c = nullptr;
  }
  UnloadExtension(*locale);
  PoolForget(locale);
  // The locale leaves the list of the client that holds it, never another's.
  if (locale->owner != nullptr) RemoveLocale(*locale->owner, locale);
  delete locale;
}

}  // namespace slw
