// The locale manager: opening locales by name from the library files,
// updating, closing into the pool, and the information exports.
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "client.h"
#include "library_file.h"
#include "collation/operations.h"
#include "locale_object.h"
#include "lock.h"
#include "pool.h"
#include "platform/dynlib.h"
#include "platform/nls.h"
#include "platform/platform_ops.h"

namespace slw {

namespace {

constexpr std::size_t kWholeName = kNameField;  // compare the whole field

struct ParsedName {
  std::string localePart;
  std::string modifier;             // after "@", empty when none
  bool hasModifier = false;
  bool full = false;                // ";"-separated fields follow
  std::vector<std::string> fields;  // eight, for a full name
};

Status ParseName(const char* text, ParsedName& out) {
  if (text == nullptr || *text == '\0') return kBadArgument;
  std::string name = text;
  std::size_t at = name.find('@');
  std::size_t semi = name.find(';');
  if (at != std::string::npos && semi != std::string::npos) return kBadArgument;
  if (semi != std::string::npos) {
    out.full = true;
    out.localePart = name.substr(0, semi);
    std::size_t pos = semi;
    while (pos != std::string::npos && out.fields.size() < kCategorySlots) {
      std::size_t next = name.find(';', pos + 1);
      out.fields.push_back(name.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1));
      pos = next;
    }
    out.fields.resize(kCategorySlots);
  } else if (at != std::string::npos) {
    out.hasModifier = true;
    out.localePart = name.substr(0, at);
    out.modifier = name.substr(at + 1);
  } else {
    out.localePart = name;
  }
  return kOk;
}

// The wanted category-record name of a slot and how much of it must match.
void CategoryWanted(const ParsedName& n, const std::string& whole, int slot, std::string& wanted,
                    std::size_t& length) {
  if (n.full && !n.fields[slot].empty()) {
    wanted = n.localePart + "@" + n.fields[slot];
    length = kWholeName;
  } else if (n.hasModifier) {
    wanted = whole;
    length = kWholeName;
  } else {
    wanted = n.localePart;
    length = n.localePart.size();
  }
}

using InitFn = int (*)(uint16_t, uint16_t, void*);
using QueryFn = int (*)(void*, uint16_t, void*);

void* OwnModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnModule), &info) == 0) return nullptr;
  return info.dli_fbase;
}

// The extension block of an LC_COLLATE body with no levels: u16 sub-record
// count, u16 block size, then the sub-records (u16 length, u16 type, data);
// the first of type 2 names the extension library.
Status LoadExtension(CLocale& locale, const std::vector<uint8_t>& body) {
  constexpr std::size_t kCollationHeader = 40;
  if (body.size() < kCollationHeader) return kCategoryRead;
  if (ReadU16(body.data() + 2) != 0) return kOk;  // weight tables (a level count): no extension
  if (body.size() < kCollationHeader + 2) return kOk;
  uint16_t count = ReadU16(body.data() + kCollationHeader);
  if (count == 0) return kOk;
  if (body.size() < kCollationHeader + 4) return kCategoryRead;
  uint16_t blockSize = ReadU16(body.data() + kCollationHeader + 2);
  std::size_t start = kCollationHeader + 4;
  if (body.size() - start < blockSize) return kCategoryRead;
  std::string fileName;
  std::size_t pos = start;
  for (uint16_t i = 0; i < count; ++i) {
    if (pos + 4 > start + blockSize) return kCategoryRead;
    uint16_t length = ReadU16(body.data() + pos);
    uint16_t type = ReadU16(body.data() + pos + 2);
    if (length < 4 || pos + length > start + blockSize) return kCategoryRead;
    if (type == 2) {
      fileName = FieldText(body.data() + pos + 4, length - 4u);
      break;
    }
    pos += length;
  }
  if (fileName.empty()) return kOk;
  std::string linuxName = platform::dynlib::LinuxLibraryName(fileName);
  uint16_t size = 260;
  std::string path(size + 1u, '\0');
  Status s = SL_GetFilePath(linuxName.c_str(), path.data(), &size);
  if (s == kBufferSmall) {
    path.assign(size + 1u, '\0');
    s = SL_GetFilePath(linuxName.c_str(), path.data(), &size);
  }
  if (s != kOk) return kExtMissing;
  path.resize(std::strlen(path.c_str()));
  void* module = platform::dynlib::LoadFile(path);
  if (module == nullptr) return kExtMissing;
  auto init = reinterpret_cast<InitFn>(platform::dynlib::Entry(module, "SLEXI_Init"));
  auto query = reinterpret_cast<QueryFn>(platform::dynlib::Entry(module, "SLEXI_Query"));
  void* exitFn = platform::dynlib::Entry(module, "SLEXI_Exit");
  if (init == nullptr || query == nullptr || exitFn == nullptr) {
    platform::dynlib::Free(module);
    return kExtMissing;
  }
  if (init(1, 1, OwnModule()) != 0) {
    platform::dynlib::Free(module);
    return kExtInit;
  }
  locale.extensionModule = module;
  locale.extensionExit = exitFn;
  std::vector<void*> record(1024 / sizeof(void*), nullptr);
  query(module, 0, record.data());
  if (record[0] == nullptr) {
    UnloadExtension(locale);
    return kExtSlot;
  }
  for (std::size_t i = 0; i < locale.extensionOps.size(); ++i) locale.extensionOps[i] = record[i];
  return kOk;
}

bool IsPlatformName(const ParsedName& n) { return n.hasModifier && n.modifier == "platform"; }

// Creates (or shares) the category of `slot` from a record of the file; for
// a platform name (`lcid` not 0) it is then filled from the platform and
// never shared, as its data are the LCID's.
Status CategoryFromRecord(TLocale& locale, int slot, const uint8_t* record, uint32_t length,
                          const std::string& source, uint32_t lcid, Category*& out) {
  std::string name = FieldText(record + 4, kNameField);
  Category* c = locale.CreateCategoryOf(static_cast<uint16_t>(1u << slot), name);
  if (c == nullptr) return kCategoryCreate;
  if (!IsShared(c) && c->body().empty() && c->source().empty()) {
    if (Status s = c->Load(record, length); s != kOk) {
      c->MarkStale();
      ReleaseCategory(c);
      return s;
    }
    c->SetSource(source);
    if (lcid != 0) {
      c->FillFromPlatform(lcid);
      c->MarkStale();
    }
  }
  out = c;
  return kOk;
}

Status LoadCategories(TLocale& locale, const LibraryFile& file, const uint8_t* record, const ParsedName& n,
                      const std::string& whole, uint16_t mask, const std::string& source, uint32_t lcid,
                      std::array<Category*, kCategorySlots>& made, bool onlyMask) {
  for (int slot = 0; slot < kCategorySlots; ++slot) {
    if ((mask & (1u << slot)) == 0) {
      if (onlyMask) continue;
      made[slot] = locale.CreateCategoryOf(static_cast<uint16_t>(1u << slot), "POSIX");
      if (made[slot] == nullptr) return kCategoryCreate;
      continue;
    }
    std::string wanted;
    std::size_t length = 0;
    CategoryWanted(n, whole, slot, wanted, length);
    const uint8_t* cat = nullptr;
    uint32_t catLength = 0;
    if (Status s = file.FindCategory(record, slot, wanted, length, cat, catLength); s != kOk) return s;
    if (onlyMask && locale.categories[slot] != nullptr &&
        locale.categories[slot]->name() == FieldText(cat + 4, kNameField))
      continue;  // unchanged category
    if (Status s = CategoryFromRecord(locale, slot, cat, catLength, source, lcid, made[slot]); s != kOk) return s;
    if (slot == 0) {
      if (Status s = LoadExtension(locale, made[slot]->body()); s != kOk) return s;
      // The settings and operations of the collation data (and of the
      // extension library, whose operations replace the defaults).
      ApplyCollationDefaults(locale, made[slot]);
    }
  }
  return kOk;
}

void ReleaseAll(std::array<Category*, kCategorySlots>& made) {
  for (Category*& c : made) {
    ReleaseCategory(c);
    c = nullptr;
  }
}

// A new locale with its categories made: it takes them, is put in the
// client's list and handed out. A platform locale (`lcid` not 0) keeps its
// LCID and compares by the platform when it has the collate bit.
Status Finish(Client& client, std::unique_ptr<TLocale> locale, const std::array<Category*, kCategorySlots>& made,
              uint16_t mask, const std::string& name, uint32_t lcid, hlocale* handle) {
  locale->categories = made;
  locale->kind = mask;
  locale->openName = name;
  locale->ownerThread = CurrentThreadId();
  locale->poolState = kInUse;
  locale->BuildFullName();
  locale->SetCharacterAccess();
  if (lcid != 0) {
    locale->lcid = lcid;
    if ((mask & SL_LC_COLLATE) != 0) BindPlatformCollation(*locale);
  }
  CLocale* l = locale.release();
  AddLocale(client, l);
  CallingThread();
  *handle = ToHandle(l);
  return kOk;
}

Status OpenByName(hlocale* handle, uint16_t mask, const char* name) {
  if (handle == nullptr) return kBadArgument;
  *handle = nullptr;
  if (name == nullptr || *name == '\0') return kBadArgument;
  LockHold hold;
  if (CLocale* pooled = PoolTake(name, mask)) {
    *handle = ToHandle(pooled);
    return kOk;
  }
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  ParsedName n;
  if (Status s = ParseName(name, n); s != kOk) return s;
  uint32_t lcid = 0;
  if (IsPlatformName(n))
    if (Status s = PlatformLcidOfName(n.localePart, lcid); s != kOk) return s;
  if (n.localePart.empty()) return kNotFound;
  if (mask == 0) return kNoCategory;
  LibraryFile file;
  DirectoryEntry entry;
  Library* library = nullptr;
  if (Status s = FindLocaleInLibraries(*client, name, file, entry, library); s != kOk) return s;
  const uint8_t* record = nullptr;
  if (Status s = file.LocaleRecord(entry, record); s != kOk) return s;
  std::unique_ptr<TLocale> locale(NewLocale(record[69]));
  if (locale == nullptr) return record[69] >= 1 && record[69] <= 3 ? kNoMemory : kBadHandle;
  std::copy(record, record + kLocaleRecordSize + kLocaleRecordExtra, locale->record.begin());
  // The defined-character bitmap (and the lead-byte map) follow the record.
  uint64_t after = uint64_t{entry.offset} + kLocaleRecordSize + kLocaleRecordExtra;
  if (Status s = locale->LoadCharacterTable(file, after); s != kOk) return s;
  std::array<Category*, kCategorySlots> made{};
  Status s = LoadCategories(*locale, file, record, n, name, mask, library->path, lcid, made, false);
  if (s != kOk) {
    ReleaseAll(made);
    UnloadExtension(*locale);
    return s;
  }
  return Finish(*client, std::move(locale), made, mask, name, lcid, handle);
}

// The library entry of a locale name for the information records.
void FillInfo(SL_LOCALEINFO* rec, const DirectoryEntry& entry, const uint8_t* record, const LibraryFile* file,
              const std::string& path) {
  std::memset(rec, 0, sizeof *rec);
  std::memcpy(rec->recordBytes, record + 32, 4);
  std::memcpy(rec->name, entry.name.data(), std::min<std::size_t>(entry.name.size(), 31));
  std::string description = FieldText(record + 36, 32);
  std::memcpy(rec->description, description.data(), std::min<std::size_t>(description.size(), 31));
  std::memcpy(rec->libraryPath, path.data(), std::min<std::size_t>(path.size(), kPathField - 1));
  char charset[32] = {};
  SL_GetLocaleCharacterSetName(entry.name.c_str(), charset);
  std::memcpy(rec->charsetName, charset, 31);
  rec->position = entry.position;
  rec->family = record[69];
  for (int slot = 0; file != nullptr && slot < kCategorySlots; ++slot) {
    uint16_t count = 0;
    uint64_t first = 0;
    if (file->CategoryTable(record, slot, count, first) == kOk) rec->categoryRecords[slot] = count;
  }
  rec->value80 = ReadU16(record + 80);
  rec->bytesPerUnit = record[74];
  rec->bytesPerChar = record[75];
}

}  // namespace

}  // namespace slw

using namespace slw;

SL_EXPORT LocaleStatus SL_OpenLocale(hlocale* handle, uint16_t mask, const char* name) {
  return OpenByName(handle, mask, name);
}

SL_EXPORT LocaleStatus SL_OpenThreadLocale(hlocale* handle, hlocale existing, uint16_t mask) {
  if (handle == nullptr) return kBadArgument;
  *handle = nullptr;
  std::string name;
  {
    LockHold hold;
    CLocale* l = FindLocale(existing);
    if (l == nullptr) return kBadHandle;
    name = l->RecordName();
  }
  return OpenByName(handle, mask, name.c_str());
}

// A locale made without a library file: each asked category filled from
// the platform, the others "POSIX".
SL_EXPORT LocaleStatus SL_OpenPlatformLocale(hlocale* handle, uint32_t lcid, uint16_t mask, uint16_t) {
  if (handle == nullptr) return kBadArgument;
  *handle = nullptr;
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  lcid = platform::nls::ResolveLcid(lcid);
  if (!platform::nls::IsInstalledLcid(lcid)) return kBadHandle;
  if (mask == 0) return kNoCategory;
  std::string name;
  uint8_t family = 0;
  if (Status s = PlatformLocaleName(lcid, name, family); s != kOk) return s;
  std::unique_ptr<TLocale> locale(NewLocale(family));
  if (locale == nullptr) return family >= 1 && family <= 3 ? kNoMemory : kBadHandle;
  PreparePlatformLocale(*locale, name, lcid);
  std::array<Category*, kCategorySlots> made{};
  for (int slot = 0; slot < kCategorySlots; ++slot) {
    const auto bit = static_cast<uint16_t>(1u << slot);
    made[slot] = locale->CreateCategoryOf(bit, (mask & bit) != 0 ? std::string_view(name) : "POSIX");
    if (made[slot] == nullptr) {
      ReleaseAll(made);
      return kCategoryCreate;
    }
    if ((mask & bit) != 0 && !IsShared(made[slot])) {
      made[slot]->FillFromPlatform(lcid);
      made[slot]->MarkStale();
    }
  }
  return Finish(*client, std::move(locale), made, mask, name, lcid, handle);
}

// A new platform locale in place of the old handle, which is closed only
// when the new one opened.
SL_EXPORT LocaleStatus SL_UpdatePlatformLocale(hlocale* handle, uint16_t mask, uint32_t lcid) {
  if (handle == nullptr) return kBadArgument;
  LockHold hold;
  if (FindClient() == nullptr) return kNoClient;
  if (FindLocale(*handle) == nullptr) return kBadHandle;
  hlocale fresh = nullptr;
  if (Status s = SL_OpenPlatformLocale(&fresh, lcid, mask, 0); s != kOk) return s;
  hlocale old = *handle;
  if (Status s = SL_CloseLocale(&old); s != kOk) {
    SL_CloseLocale(&fresh);
    return s;
  }
  *handle = fresh;
  return kOk;
}

// Prepares the new categories aside and swaps them in only when all loaded;
// on failure the locale keeps its categories untouched.
SL_EXPORT LocaleStatus SL_UpdateLocale(hlocale* handle, uint16_t mask, const char* name) {
  if (handle == nullptr) return kBadArgument;
  if (name == nullptr || *name == '\0') return kBadArgument;
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  CLocale* found = FromHandle(*handle);
  if (found == nullptr || std::find(client->locales.begin(), client->locales.end(), found) == client->locales.end() ||
      found->poolState != kInUse)
    return kBadHandle;
  if (found->ownerThread != CurrentThreadId()) return kNoThread;
  auto* l = dynamic_cast<TLocale*>(found);
  if (l == nullptr) return kBadHandle;
  std::string full = name[0] == '@' ? l->RecordName() + name : std::string(name);
  ParsedName n;
  if (Status s = ParseName(full.c_str(), n); s != kOk) return s;
  uint32_t lcid = 0;
  if (IsPlatformName(n))
    if (Status s = PlatformLcidOfName(n.localePart, lcid); s != kOk) return s;
  if (n.localePart.empty()) return kNotFound;
  LibraryFile file;
  DirectoryEntry entry;
  Library* library = nullptr;
  if (Status s = FindLocaleInLibraries(*client, full, file, entry, library); s != kOk) return s;
  const uint8_t* record = nullptr;
  if (Status s = file.LocaleRecord(entry, record); s != kOk) return s;
  if (record[69] != l->family()) return kBadHandle;
  // A copy of the whole locale to fall back on.
  std::unique_ptr<TLocale> copy(l->Clone());
  if (copy == nullptr) return kNoMemory;
  std::array<Category*, kCategorySlots> made{};
  // The old extension stays aside until the new categories are in.
  void* oldModule = l->extensionModule;
  void* oldExit = l->extensionExit;
  std::array<void*, 8> oldOps = l->extensionOps;
  l->extensionModule = nullptr;
  l->extensionExit = nullptr;
  l->extensionOps = {};
  Status s = LoadCategories(*l, file, record, n, full, mask, library->path, lcid, made, true);
  bool newExtension = l->extensionModule != nullptr;
  if (s != kOk || (!newExtension && made[0] == nullptr)) {
    if (s != kOk) {
      ReleaseAll(made);
      UnloadExtension(*l);
    }
    l->extensionModule = oldModule;
    l->extensionExit = oldExit;
    l->extensionOps = oldOps;
    if (s != kOk) {
      l->Restore(copy.release());
      return s;
    }
  } else {
    std::swap(l->extensionModule, oldModule);
    std::swap(l->extensionExit, oldExit);
    UnloadExtension(*l);  // the old one
    l->extensionModule = oldModule;
    l->extensionExit = oldExit;
  }
  for (int slot = 0; slot < kCategorySlots; ++slot) {
    if (made[slot] == nullptr) continue;
    ReleaseCategory(l->categories[slot]);
    l->categories[slot] = made[slot];
  }
  if (lcid != 0) {
    l->lcid = lcid;
    if (made[0] != nullptr) BindPlatformCollation(*l);
  }
  l->BuildFullName();
  return kOk;
}

SL_EXPORT LocaleStatus SL_CloseLocale(hlocale* handle) {
  if (handle == nullptr) return kBadArgument;
  LockHold hold;
  Client* client = FindClient();
  CLocale* l = FromHandle(*handle);
  // The handle is checked before anything reads it: null, unknown, foreign
  // and already closed handles change nothing.
  if (l == nullptr) return client == nullptr ? kNoClient : kBadHandle;
  if (client == nullptr) return kNoClient;
  if (std::find(client->locales.begin(), client->locales.end(), l) == client->locales.end() ||
      l->poolState != kInUse)
    return kBadHandle;
  if (l->record[68] == 255) l->noPool = true;
  if (!l->noPool && l->ownerThread != CurrentThreadId()) return kNoThread;
  CLocale* destroy = l->noPool ? l : PoolPut(l);
  if (destroy != nullptr) {
    destroy->poolState = kDestroying;
    destroy->refs = 1;
    ReleaseLocale(destroy);
  }
  *handle = nullptr;
  return kOk;
}

SL_EXPORT int SL_IsValidHlocale(hlocale h) {
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr || h == nullptr) return 0;
  return std::find(client->locales.begin(), client->locales.end(), FromHandle(h)) != client->locales.end();
}

SL_EXPORT LocaleStatus SL_GetFullLocaleName(hlocale h, char* out) {
  if (out == nullptr) return kBadArgument;
  LockHold hold;
  CLocale* l = FindLocale(h);
  if (l == nullptr) return kBadHandle;
  std::memcpy(out, l->fullName.c_str(), l->fullName.size() + 1);
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetLocaleCharacterSetName(const char* name, char* out) {
  if (name == nullptr || out == nullptr) return kBadArgument;
  std::string_view n = name;
  std::size_t dot = n.find('.');
  out[0] = '\0';
  if (dot == std::string_view::npos) return kBadHandle;
  std::string_view rest = n.substr(dot + 1);
  rest = rest.substr(0, rest.find_first_of(";@"));
  std::size_t len = std::min<std::size_t>(rest.size(), kNameField - 1);
  std::memcpy(out, rest.data(), len);
  out[len] = '\0';
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetHlocaleCharacterSetName(hlocale h, char* out) {
  if (out == nullptr) return kBadArgument;
  std::string name;
  {
    LockHold hold;
    CLocale* l = FindLocale(h);
    if (l == nullptr) return kBadHandle;
    name = l->RecordName();
  }
  return SL_GetLocaleCharacterSetName(name.c_str(), out);
}

SL_EXPORT LocaleStatus SL_GetFullCategoryName(hlocale h, uint16_t mask, char* out) {
  if (out == nullptr) return kBadArgument;
  LockHold hold;
  CLocale* l = FindLocale(h);
  if (l == nullptr || l->family() < 1 || l->family() > 3) return kBadHandle;
  int slot = SlotOfMask(mask);
  if (slot < 0 || l->categories[slot] == nullptr) return kNoCategory;
  const std::string& name = l->categories[slot]->name();
  std::size_t len = std::min<std::size_t>(name.size(), kNameField - 1);
  std::memcpy(out, name.data(), len);
  out[len] = '\0';
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetLocaleInfo(uint16_t position, SL_LOCALEINFO* record, const SL_LIBRARYINFO* libraryInfo) {
  if (record == nullptr || libraryInfo == nullptr) return kBadArgument;
  LockHold hold;
  LibraryFile file;
  std::string path = FieldText(reinterpret_cast<const uint8_t*>(libraryInfo->path), kPathField);
  if (Status s = file.Open(path); s != kOk) return s;
  DirectoryEntry entry;
  if (Status s = file.EntryAt(kLocaleEntry, position, entry); s != kOk) return s;
  const uint8_t* rec = nullptr;
  if (Status s = file.LocaleRecord(entry, rec); s != kOk) return s;
  FillInfo(record, entry, rec, &file, path);
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetNamedLocaleInfo(const char* name, SL_LOCALEINFO* record) {
  if (name == nullptr || *name == '\0' || record == nullptr) return kBadArgument;
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  LibraryFile file;
  DirectoryEntry entry;
  Library* library = nullptr;
  if (Status s = FindLocaleInLibraries(*client, name, file, entry, library); s != kOk) return s;
  const uint8_t* rec = nullptr;
  if (Status s = file.LocaleRecord(entry, rec); s != kOk) return s;
  FillInfo(record, entry, rec, &file, library->path);
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetHlocaleInfo(hlocale h, SL_LOCALEINFO* record) {
  if (record == nullptr) return kBadArgument;
  LockHold hold;
  CLocale* l = FindLocale(h);
  if (l == nullptr) return kBadHandle;
  std::string name = l->RecordName();
  Client* client = FindClient();
  LibraryFile file;
  DirectoryEntry entry;
  Library* library = nullptr;
  if (client != nullptr && FindLocaleInLibraries(*client, name, file, entry, library) == kOk) {
    const uint8_t* rec = nullptr;
    if (file.LocaleRecord(entry, rec) == kOk) FillInfo(record, entry, rec, &file, library->path);
  } else {
    // A built-in locale: its own record.
    DirectoryEntry own{name, kLocaleEntry, 0, 0};
    FillInfo(record, own, l->record.data(), nullptr, std::string());
  }
  record->fullName = l->fullName.c_str();
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetCategoryInfo(const SL_LOCALEINFO* localeInfo, uint16_t mask, uint16_t index,
                                          SL_CATEGORYINFO* out) {
  if (localeInfo == nullptr || out == nullptr) return kBadArgument;
  int slot = SlotOfMask(mask);
  if (slot < 0) return kNoCategory;
  LockHold hold;
  LibraryFile file;
  std::string path = FieldText(reinterpret_cast<const uint8_t*>(localeInfo->libraryPath), kPathField);
  if (Status s = file.Open(path); s != kOk) return s;
  DirectoryEntry entry;
  if (Status s = file.EntryAt(kLocaleEntry, localeInfo->position, entry); s != kOk) return s;
  const uint8_t* rec = nullptr;
  if (Status s = file.LocaleRecord(entry, rec); s != kOk) return s;
  const uint8_t* cat = nullptr;
  uint32_t length = 0;
  if (Status s = file.CategoryByIndex(rec, slot, index, cat, length); s != kOk) return s;
  std::memset(out, 0, sizeof *out);
  std::memcpy(out->name, cat + 4, 31);
  std::memcpy(out->text, cat + 36, 31);
  out->mask = mask;
  out->index = index;
  out->byte68 = cat[68];
  out->byte69 = cat[69];
  if (mask == SL_LC_USERDEF) out->userdefSize = length - static_cast<uint32_t>(kCategoryHeadSize);
  return kOk;
}

namespace {
template <typename Fn>
auto WithLocale(hlocale h, Fn fn, decltype(fn(std::declval<CLocale&>())) otherwise) {
  LockHold hold;
  CLocale* l = FindLocale(h);
  return l != nullptr ? fn(*l) : otherwise;
}
}  // namespace

SL_EXPORT uint32_t SL_GetCmpFlags(hlocale h) {
  return WithLocale(h, [](CLocale& l) { return l.cmpFlags; }, 0u);
}
SL_EXPORT LocaleStatus SL_SetCmpFlags(hlocale h, uint32_t flags) {
  return WithLocale(h, [&](CLocale& l) { l.cmpFlags = flags; return kOk; }, kBadHandle);
}
SL_EXPORT uint32_t SL_GetMapFlags(hlocale h) {
  return WithLocale(h, [](CLocale& l) { return l.mapFlags; }, 0u);
}
SL_EXPORT LocaleStatus SL_SetMapFlags(hlocale h, uint32_t flags) {
  return WithLocale(h, [&](CLocale& l) { l.mapFlags = flags; return kOk; }, kBadHandle);
}
SL_EXPORT uint32_t SL_GetLCID(hlocale h) {
  return WithLocale(h, [](CLocale& l) { return l.lcid; }, 0u);
}
SL_EXPORT void* SL_GetUserDefLocation(hlocale h) {
  return WithLocale(h, [](CLocale& l) -> void* {
    Category* c = l.categories[7];
    return c != nullptr && !c->body().empty() ? const_cast<uint8_t*>(c->body().data()) : nullptr;
  }, static_cast<void*>(nullptr));
}
