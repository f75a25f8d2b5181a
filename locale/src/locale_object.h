// Locale objects and their categories.
//
// A locale (the object behind an hlocale) is a NarrowLocale, WideLocale or
// MultiLocale built on TLocale and CLocale. It holds a copy of its 128-byte
// locale record (the 114 bytes of the file record and the 14 after it), its
// eight category objects and the state the manager keeps for it. Category
// objects are shared: one object per family and name, reference counted, kept
// in one process-wide list per category kind.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "collation/collation_table.h"
#include "status.h"

namespace slw {

struct Client;

inline constexpr int kCategorySlots = 8;
inline constexpr std::size_t kCategoryHeadSize = 70;
inline constexpr std::size_t kLocaleRecordSize = 114;
inline constexpr std::size_t kLocaleRecordExtra = 14;

// Slot of a single CategoryMask bit (1 -> 0 ... 128 -> 7), -1 otherwise.
int SlotOfMask(uint16_t mask);
// "SLC_COLLATE" ... "SLC_userdef".
const char* CategoryValueName(int slot);

// Pool states of a locale.
enum PoolState : uint16_t { kInUse = 1, kPooled = 2, kDestroying = 3 };

class Category {
 public:
  struct ClassEntry {
    std::string name;
    uint32_t mask = 0;
  };

  Category(int slot, uint8_t family);
  virtual ~Category();
  // Takes the whole category record (its 70-byte head and the body).
  virtual Status Load(const uint8_t* record, std::size_t size);
  virtual Status FillFromPlatform(uint32_t lcid);
  virtual const char* Name() const { return name_.c_str(); }
  virtual void FreeData();

  int slot() const { return slot_; }
  uint8_t family() const { return family_; }
  const std::string& name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  bool stale() const { return stale_ != 0; }
  void MarkStale() { stale_ = 1; }
  // The class whose data it holds, set by that class's constructor: readers
  // on every call find the data without a dynamic_cast.
  enum class Data : uint8_t { kNone, kCollate, kCtype, kTime, kMonetary, kNumeric, kMessages, kSoundex };
  Data data() const { return data_; }
  // Short name: the whole name for "POSIX" and "WIN", the part from "@"
  // otherwise, empty without "@".
  std::string ShortName() const;

  const std::array<uint8_t, kCategoryHeadSize>& head() const { return head_; }
  const std::vector<uint8_t>& body() const { return body_; }
  const std::string& source() const { return source_; }
  void SetSource(std::string path) { source_ = std::move(path); }

  // LC_CTYPE: class names with their masks, translation names (index = position).
  const std::vector<ClassEntry>& classes() const { return classes_; }
  const std::vector<std::string>& translations() const { return translations_; }

  uint16_t refs = 0;

 protected:
  void SetDefaults();

  int slot_;
  uint8_t family_;
  std::string name_ = "POSIX";
  uint8_t stale_ = 0;
  Data data_ = Data::kNone;
  std::string source_;
  std::array<uint8_t, kCategoryHeadSize> head_{};
  std::vector<uint8_t> body_;
  std::vector<ClassEntry> classes_;
  std::vector<std::string> translations_;
};

// A shared category of this family and name (reference taken), else a new one
// with the built-in defaults, put in its kind's list. Null when out of memory.
Category* CreateCategory(int slot, uint8_t family, std::string_view name);
// The unshared object for a category that is about to be loaded.
bool IsShared(const Category* category);
void ReleaseCategory(Category* category);

class CLocale {
 public:
  explicit CLocale(uint8_t family);
  virtual ~CLocale();
  virtual int Hook() { return 0; }

  uint8_t family() const { return record[69]; }
  std::string RecordName() const;  // record bytes 0..31
  void SetRecordText(std::size_t offset, std::string_view text, std::size_t width);
  void BuildFullName();

  std::array<uint8_t, kLocaleRecordSize + kLocaleRecordExtra> record{};
  uint32_t ownerThread = 0;
  Client* owner = nullptr;          // the client whose list holds it
  std::string openName;
  uint16_t kind = 0;                // the category mask it was opened with
  uint16_t poolState = kInUse;
  bool noPool = false;
  uint16_t refs = 1;
  uint32_t lcid = 0;
  uint32_t cmpFlags = 0;
  uint32_t mapFlags = 0;
  void* userDefLocation = nullptr;
  std::string fullName;
  std::array<Category*, kCategorySlots> categories{};
  // Defined-character bitmap and the multi-byte lead-byte map.
  std::vector<uint8_t> defined;
  std::vector<uint8_t> leadBytes;
  // Extension library of the LC_COLLATE data (module and its three entries).
  void* extensionModule = nullptr;
  void* extensionExit = nullptr;
  // Operations the extension's query gave, in the order collate, bounded
  // collate, transform, bounded transform, dBASE compare, buffer collate,
  // buffer transform, collation information; null keeps the default.
  std::array<void*, 8> extensionOps{};
  // The locale's pair of conversions (SL_OpenLocaleConversions): out of its
  // character set, and into it; closed with the locale.
  std::array<void*, 2> conversions{};
};

// What BindOperations binds: the collation mode (1 code order, 2 collation
// tables, 3 platform, 4 the narrow weighted fast path) and the level count.
struct OperationBinding {
  uint16_t mode = 1;
  uint16_t levels = 0;
};

// The seven bound operations, in the order collation information, collate,
// bounded collate, transform, bounded transform, dBASE compare, buffer
// collate (collation/operations.h binds them).
struct LocaleOperationTable {
  uint16_t mode = 0;
  uint16_t levels = 0;
  std::array<void*, 7> ops{};
  // 1 where the entry is a caller's or an extension's function, called with
  // the untyped (const void*) signature of slw32.h.
  std::array<uint8_t, 7> generic{};
};

// The four character-access operations of a family.
struct CharacterAccess {
  bool (*firstByteAt)(const CLocale&, const char*) = nullptr;
  bool (*charFirstByte)(const CLocale&, uint16_t) = nullptr;
  const char* (*next)(const CLocale&, const char*) = nullptr;
  const char* (*previous)(const CLocale&, const char*, const char*) = nullptr;
};

class LibraryFile;

class TLocale : public CLocale {
 public:
  using CLocale::CLocale;
  // Binds the operations of a collation mode; a mode the family does not
  // have changes nothing.
  virtual void BindOperations(const OperationBinding& binding);
  // The category of one mask bit under a name (shared when one of this
  // family and name is loaded); null for any other mask or out of memory.
  Category* CreateCategoryOf(uint16_t mask, std::string_view name);
  virtual Category* CreateCollate(std::string_view name) { return CreateCategory(0, family(), name); }
  virtual Category* CreateCtype(std::string_view name) { return CreateCategory(1, family(), name); }
  virtual Category* CreateTime(std::string_view name) { return CreateCategory(2, family(), name); }
  virtual Category* CreateMonetary(std::string_view name) { return CreateCategory(3, family(), name); }
  virtual Category* CreateNumeric(std::string_view name) { return CreateCategory(4, family(), name); }
  virtual Category* CreateMessages(std::string_view name) { return CreateCategory(5, family(), name); }
  virtual Category* CreateSoundex(std::string_view name) { return CreateCategory(6, family(), name); }
  virtual Category* CreateUserdef(std::string_view name) { return CreateCategory(7, family(), name); }
  // The category object of a single mask bit, else null.
  Category* CategoryByMask(uint16_t mask) const;
  // A copy of the whole locale, and putting it back (the copy is consumed).
  virtual TLocale* Clone() const = 0;
  virtual void Restore(TLocale* clone) = 0;
  // The defined-character bitmap (and the lead-byte map) from the file at
  // `offset`; 0x0204 on a short read.
  virtual Status LoadCharacterTable(const LibraryFile& file, uint64_t offset);
  virtual void SetCharacterAccess() = 0;

  LocaleOperationTable operations;
  CharacterAccess access;
  // Collation settings: current, and as loaded with the LC_COLLATE data.
  CollationSettings collation;
  CollationSettings collationDefaults;
};

class NarrowLocale : public TLocale {
 public:
  NarrowLocale();
  void BindOperations(const OperationBinding& binding) override;
  TLocale* Clone() const override;
  void Restore(TLocale* clone) override;
  void SetCharacterAccess() override;
};
class WideLocale : public TLocale {
 public:
  WideLocale();
  TLocale* Clone() const override;
  void Restore(TLocale* clone) override;
  void SetCharacterAccess() override;
};
class MultiLocale : public TLocale {
 public:
  MultiLocale();
  TLocale* Clone() const override;
  void Restore(TLocale* clone) override;
  void SetCharacterAccess() override;
};

// A new locale object of a family (1, 2, 3), null for any other or out of memory.
TLocale* NewLocale(uint8_t family);
// Size of the defined-character bitmap of a family in the library file.
std::size_t DefinedBitmapSize(uint8_t family);

// The locale behind a handle when the handle is one of the calling client's
// locales or a system locale, else null. Takes the lock, except for the
// handle the calling thread found last while no locale has been destroyed.
CLocale* FindLocale(hlocale h);
// Makes every thread check its next handle again under the lock (a forked
// child's client is not its parent's).
void ForgetFoundLocales();
// Changes whenever a locale is destroyed, so that a handle checked before
// can be trusted again without the lock while it has not changed.
uint64_t LocaleGeneration();
// Drops one reference; at 0 releases its categories and extension, removes it
// from its owning client's list and deletes it.
void ReleaseLocale(CLocale* locale);
// Ends and frees the locale's extension library, if any.
void UnloadExtension(CLocale& locale);

inline hlocale ToHandle(CLocale* locale) { return reinterpret_cast<hlocale>(locale); }
inline CLocale* FromHandle(hlocale h) { return reinterpret_cast<CLocale*>(h); }

// Little-endian field readers of the file layouts.
inline uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void WriteU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
// Text of a zero-padded field of `width` bytes.
std::string FieldText(const uint8_t* p, std::size_t width);

}  // namespace slw
