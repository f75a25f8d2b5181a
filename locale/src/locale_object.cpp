#include "locale_object.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "categories.h"
#include "char_access.h"
#include "charset/conversion.h"
#include "collation/operations.h"
#include "library_file.h"
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

// One list of shared category objects per category kind.
std::vector<Category*>& CategoryList(int slot) {
  static auto* lists = new std::vector<Category*>[kCategorySlots];
  return lists[slot];
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
}

Status Category::Load(const uint8_t* record, std::size_t size) {
  if (record == nullptr || size < kCategoryHeadSize) return kCategoryRead;
  std::copy(record, record + kCategoryHeadSize, head_.begin());
  body_.assign(record + kCategoryHeadSize, record + size);
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
  Category* c = NewCategoryObject(slot, family);
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

NarrowLocale::NarrowLocale() : TLocale(SL_FAMILY_NARROW) {
  InitBitmap(*this);
  BindOperations({1, 0});
  SetCharacterAccess();
}
WideLocale::WideLocale() : TLocale(SL_FAMILY_WIDE) {
  InitBitmap(*this);
  BindOperations({1, 0});
  SetCharacterAccess();
}
MultiLocale::MultiLocale() : TLocale(SL_FAMILY_MULTI) {
  InitBitmap(*this);
  leadBytes.assign(32, 0);
  BindOperations({1, 0});
  SetCharacterAccess();
}

void TLocale::BindOperations(const OperationBinding& binding) {
  // Modes 1 (code order), 2 (collation tables) and 3 (platform).
  if (binding.mode < 1 || binding.mode > 3) return;
  BindCollation(*this, binding);
}

void NarrowLocale::BindOperations(const OperationBinding& binding) {
  if (binding.mode == 4) {  // the narrow weighted fast path
    BindCollation(*this, binding);
    return;
  }
  TLocale::BindOperations(binding);
}

Category* TLocale::CreateCategoryOf(uint16_t mask, std::string_view name) {
  switch (mask) {
    case SL_LC_COLLATE: return CreateCollate(name);
    case SL_LC_CTYPE: return CreateCtype(name);
    case SL_LC_TIME: return CreateTime(name);
    case SL_LC_MONETARY: return CreateMonetary(name);
    case SL_LC_NUMERIC: return CreateNumeric(name);
    case SL_LC_MESSAGES: return CreateMessages(name);
    case SL_LC_SOUNDEX: return CreateSoundex(name);
    case SL_LC_USERDEF: return CreateUserdef(name);
    default: return nullptr;
  }
}

Category* TLocale::CategoryByMask(uint16_t mask) const {
  int slot = SlotOfMask(mask);
  return slot < 0 ? nullptr : categories[static_cast<std::size_t>(slot)];
}

Status TLocale::LoadCharacterTable(const LibraryFile& file, uint64_t offset) {
  std::size_t bitmap = DefinedBitmapSize(family());
  const uint8_t* bits = nullptr;
  if (!file.Read(offset, bitmap, bits)) return kLibRead;
  std::vector<uint8_t> defined(bits, bits + bitmap);
  if (family() == SL_FAMILY_MULTI) {
    if (!file.Read(offset + bitmap, 32, bits)) return kLibRead;
    leadBytes.assign(bits, bits + 32);
  }
  this->defined = std::move(defined);
  return kOk;
}

void NarrowLocale::SetCharacterAccess() {
  access = {[](const CLocale&, const char*) { return false; }, [](const CLocale&, uint16_t) { return false; },
            NextCharOf, PrevCharOf};
}
void WideLocale::SetCharacterAccess() {
  access = {[](const CLocale&, const char*) { return true; }, [](const CLocale&, uint16_t) { return true; },
            NextCharOf, PrevCharOf};
}
void MultiLocale::SetCharacterAccess() { access = {FirstByteAt, CharFirstByte, NextCharOf, PrevCharOf}; }

// The clones are plain copies: they share the category objects and the
// extension of the locale without taking references, and are never
// released as locales.
TLocale* NarrowLocale::Clone() const { return new (std::nothrow) NarrowLocale(*this); }
TLocale* WideLocale::Clone() const { return new (std::nothrow) WideLocale(*this); }
TLocale* MultiLocale::Clone() const { return new (std::nothrow) MultiLocale(*this); }

void NarrowLocale::Restore(TLocale* clone) {
  auto* c = dynamic_cast<NarrowLocale*>(clone);
  if (c == nullptr || c == this) return;
  // An extension the locale took since the copy goes; the copy's own stays.
  if (extensionModule != nullptr && extensionModule != c->extensionModule) UnloadExtension(*this);
  *this = *c;
  delete c;
}
void WideLocale::Restore(TLocale* clone) {
  auto* c = dynamic_cast<WideLocale*>(clone);
  if (c == nullptr || c == this) return;
  *this = *c;
  delete c;
}
void MultiLocale::Restore(TLocale* clone) {
  auto* c = dynamic_cast<MultiLocale*>(clone);
  if (c == nullptr || c == this) return;
  *this = *c;
  delete c;
}

TLocale* NewLocale(uint8_t family) {
  switch (family) {
    case SL_FAMILY_NARROW: return new (std::nothrow) NarrowLocale();
    case SL_FAMILY_WIDE: return new (std::nothrow) WideLocale();
    case SL_FAMILY_MULTI: return new (std::nothrow) MultiLocale();
    default: return nullptr;
  }
}

namespace {
std::atomic<uint64_t> g_generation{1};
}  // namespace

CLocale* FindLocale(hlocale h) {
  if (h == nullptr) return nullptr;
  // The handle this thread found last is still one of the client's while no
  // locale has been destroyed and the process has not forked since: the
  // check of an ordinary call takes no lock.
  struct Found {
    hlocale handle = nullptr;
    uint64_t generation = 0;
  };
  thread_local Found found;
  const uint64_t generation = g_generation.load(std::memory_order_acquire);
  if (h == found.handle && generation == found.generation) return FromHandle(h);
  LockHold hold;
  CLocale* wanted = FromHandle(h);
  for (Client* c : {FindClient(), SystemClient()}) {
    if (c == nullptr) continue;
    if (std::find(c->locales.begin(), c->locales.end(), wanted) != c->locales.end()) {
      found = {h, generation};
      return wanted;
    }
  }
  return nullptr;
}

void ForgetFoundLocales() { g_generation.fetch_add(1, std::memory_order_acq_rel); }

uint64_t LocaleGeneration() { return g_generation.load(std::memory_order_acquire); }

void ReleaseLocale(CLocale* locale) {
  if (locale == nullptr) return;
  LockHold hold;
  if (locale->refs > 1) {
    --locale->refs;
    return;
  }
  g_generation.fetch_add(1, std::memory_order_acq_rel);
  for (Category*& c : locale->categories) {
    ReleaseCategory(c);
    c = nullptr;
  }
  UnloadExtension(*locale);
  for (void*& conv : locale->conversions) {
    ReleaseConversion(FindConversion(conv));
    conv = nullptr;
  }
  PoolForget(locale);
  // The locale leaves the list of the client that holds it, never another's.
  if (locale->owner != nullptr) RemoveLocale(*locale->owner, locale);
  delete locale;
}

}  // namespace slw
