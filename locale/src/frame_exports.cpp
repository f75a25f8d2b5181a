// Exports of the frame: client information, version texts, the system
// locales and the LC_CTYPE information functions.
#include <cstring>

#include "client.h"
#include "library_file.h"
#include "locale_object.h"
#include "lock.h"

using namespace slw;

namespace {

const uint8_t kVersion[5] = {1, 1, 1, '1', 0};

// The LC_CTYPE category of a valid locale of the three families, else null
// with `status` set.
const Category* CtypeOf(hlocale h, Status& status) {
  CLocale* l = FindLocale(h);
  if (l == nullptr || l->family() < 1 || l->family() > 3) {
    status = kBadHandle;
    return nullptr;
  }
  status = kOk;
  return l->categories[1];
}

}  // namespace

SL_EXPORT LocaleStatus SL_GetClientInfo(SL_CLIENTINFO* record) {
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  if (record == nullptr) return kBadArgument;
  std::memset(record, 0, sizeof *record);
  std::memcpy(record->version, kVersion, 4);
  record->libraryPath = client->libraryPath.c_str();
  if (client->current != nullptr) {
    LibraryFile file;
    if (file.Open(client->current->path) == kOk) record->localeEntries = file.localeCount();
  }
  record->openLocales = static_cast<uint16_t>(client->locales.size());
  record->openConversions = static_cast<uint16_t>(client->conversions.size());
  record->lastLibraryIndex = client->libraries.empty() ? 0 : client->libraries.back()->index;
  return kOk;
}

SL_EXPORT const char* _SL_GetAPIVersion(void) { return reinterpret_cast<const char*>(kVersion); }
SL_EXPORT const char* _SL_GetAPIDate(void) { return "Nov 20 1995"; }
SL_EXPORT const char* _SL_GetAPITime(void) { return "10:48:13"; }

SL_EXPORT hlocale SLN_GetSysLocale(void) { return ToHandle(SystemLocale(SL_FAMILY_NARROW)); }
SL_EXPORT hlocale SLW_GetSysLocale(void) { return ToHandle(SystemLocale(SL_FAMILY_WIDE)); }
SL_EXPORT hlocale SLM_GetSysLocale(void) { return ToHandle(SystemLocale(SL_FAMILY_MULTI)); }

SL_EXPORT uint16_t SL_GetClassCount(hlocale h) {
  LockHold hold;
  Status status;
  const Category* c = CtypeOf(h, status);
  if (status != kOk) return status;
  return c != nullptr ? static_cast<uint16_t>(c->classes().size()) : 0;
}

SL_EXPORT uint16_t SL_GetTranslationCount(hlocale h) {
  LockHold hold;
  Status status;
  const Category* c = CtypeOf(h, status);
  if (status != kOk) return status;
  return c != nullptr ? static_cast<uint16_t>(c->translations().size()) : 0;
}

SL_EXPORT LocaleStatus SL_GetClassInfo(hlocale h, uint16_t index, SL_CLASSINFO* record) {
  LockHold hold;
  Status status;
  const Category* c = CtypeOf(h, status);
  if (status != kOk) return status;
  if (record == nullptr) return kBadArgument;
  if (c == nullptr || c->classes().empty()) return kNoCtypeEntry;
  if (index < 1 || index > c->classes().size()) return kBadArgument;
  std::memset(record, 0, sizeof *record);
  const Category::ClassEntry& e = c->classes()[index - 1];
  std::memcpy(record->name, e.name.data(), std::min<std::size_t>(e.name.size(), 15));
  record->mask = e.mask;
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetTranslationInfo(hlocale h, uint16_t index, SL_TRANSLATIONINFO* record) {
  LockHold hold;
  Status status;
  const Category* c = CtypeOf(h, status);
  if (status != kOk) return status;
  if (record == nullptr) return kBadArgument;
  if (c == nullptr || c->translations().empty()) return kNoCtypeEntry;
  if (index < 1 || index > c->translations().size()) return kBadArgument;
  std::memset(record, 0, sizeof *record);
  const std::string& name = c->translations()[index - 1];
  std::memcpy(record->name, name.data(), std::min<std::size_t>(name.size(), 15));
  record->index = static_cast<uint16_t>(index - 1);
  return kOk;
}

SL_EXPORT uint32_t SL_GetClassValue(hlocale h, const char* name) {
  LockHold hold;
  Status status;
  const Category* c = CtypeOf(h, status);
  if (c == nullptr || name == nullptr) return 0;
  for (const Category::ClassEntry& e : c->classes())
    if (e.name == name) return e.mask;
  return 0;
}

SL_EXPORT int SL_IsValidClassName(hlocale h, const char* name) {
  LockHold hold;
  Status status;
  const Category* c = CtypeOf(h, status);
  if (c == nullptr || name == nullptr) return 0;
  for (const Category::ClassEntry& e : c->classes())
    if (e.name == name) return 1;
  return 0;
}

SL_EXPORT uint16_t SL_GetTranslationIndex(hlocale h, const char* name) {
  LockHold hold;
  Status status;
  const Category* c = CtypeOf(h, status);
  if (c == nullptr || name == nullptr) return 0;
  for (std::size_t i = 0; i < c->translations().size(); ++i)
    if (c->translations()[i] == name) return static_cast<uint16_t>(i);
  return 0;
}

SL_EXPORT int SL_IsValidTranslationName(hlocale h, const char* name) {
  LockHold hold;
  Status status;
  const Category* c = CtypeOf(h, status);
  if (c == nullptr || name == nullptr) return 0;
  for (const std::string& t : c->translations())
    if (t == name) return 1;
  return 0;
}
