#include "charset/charset.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "charset/builtin_tables.h"
#include "client.h"
#include "library_file.h"
#include "locale_object.h"
#include "lock.h"

namespace slw {


bool ValidCharsetTable(const uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr || size < kCharsetHeadSize + kCharsetPageBytes) return false;
  if (ReadU16(bytes + 42) == 0) return true;
  for (int high = 0; high < 256; ++high) {
    std::size_t index = ReadU16(bytes + kCharsetHeadSize + 2 * high);
    if (index == 0) continue;
    // A page lies after the index array and wholly inside the table.
    if (index * 2 < kCharsetHeadSize + kCharsetPageBytes || index * 2 + kCharsetPageBytes > size) return false;
  }
  return true;
}

uint16_t CharacterSet::FromUnicode(uint16_t unicode) {
  if (!reverseBuilt_) {
    reverseBuilt_ = true;
    BuildReverse();
  }
  return reverse_.Get(unicode);
}

namespace {

class TCharacterSet : public CharacterSet {
 public:
  using CharacterSet::CharacterSet;
  SetKind Kind() const override { return kSingleByteSet; }
  uint16_t ToUnicode(uint16_t code) const override {
    return code < 256 ? ReadU16(table_.data() + kCharsetHeadSize + 2 * code) : 0;
  }
  uint16_t Read(const uint8_t* in, std::size_t& length) const override {
    length = 1;
    return in[0];
  }
  bool Write(uint16_t code, uint8_t* out, std::size_t room, std::size_t& written) const override {
    written = 0;
    if (room < 1) return false;
    out[0] = static_cast<uint8_t>(code);
    written = 1;
    return true;
  }

 protected:
  void BuildReverse() override {
    // The first code of a character wins.
    for (int c = 255; c >= 1; --c)
      if (uint16_t u = ToUnicode(static_cast<uint16_t>(c)); u != 0) reverse_.Set(u, static_cast<uint16_t>(c));
  }
};

class TMultiByte : public CharacterSet {
 public:
  using CharacterSet::CharacterSet;
  SetKind Kind() const override { return kDoubleByteSet; }
  uint16_t ToUnicode(uint16_t code) const override {
    std::size_t index = Page(static_cast<uint8_t>(code >> 8));
    return index == 0 ? 0 : ReadU16(table_.data() + index * 2 + 2 * (code & 0xFF));
  }
  // Only a byte with a page of its own leads; one right before the end is a
  // one-byte code of its own, and 255 is always one byte.
  uint16_t Read(const uint8_t* in, std::size_t& length) const override {
    uint8_t b = in[0];
    length = 1;
    if (b == 0 || b == 255 || Page(b) == 0 || in[1] == 0) return b;
    length = 2;
    return static_cast<uint16_t>(b << 8 | in[1]);
  }
  // Lead byte, then trail byte, only when both fit.
  bool Write(uint16_t code, uint8_t* out, std::size_t room, std::size_t& written) const override {
    written = 0;
    if (code < 256) {
      if (room < 1) return false;
      out[0] = static_cast<uint8_t>(code);
      written = 1;
      return true;
    }
    if (room < 2) return false;
    out[0] = static_cast<uint8_t>(code >> 8);
    out[1] = static_cast<uint8_t>(code);
    written = 2;
    return true;
  }

 protected:
  std::size_t Page(uint8_t high) const { return ReadU16(table_.data() + kCharsetHeadSize + 2 * high); }
  void BuildReverse() override {
    for (int high = 255; high >= 0; --high) {
      if (Page(static_cast<uint8_t>(high)) == 0 || high == 255) continue;
      for (int low = 255; low >= 0; --low) {
        auto code = static_cast<uint16_t>(high << 8 | low);
        if (code == 0) continue;
        if (uint16_t u = ToUnicode(code); u != 0) reverse_.Set(u, code);
      }
    }
    // Page 0 last: a character with a one-byte code takes that code.
    for (int c = 255; c >= 1; --c)
      if (uint16_t u = ToUnicode(static_cast<uint16_t>(c)); u != 0) reverse_.Set(u, static_cast<uint16_t>(c));
  }
};

class TUnicode : public CharacterSet {
 public:
  explicit TUnicode(std::string name) : CharacterSet(std::move(name), {}) {}
  bool Loaded() const override { return true; }
  SetKind Kind() const override { return kUnicodeSet; }
  uint16_t ToUnicode(uint16_t code) const override { return code; }
  uint16_t FromUnicode(uint16_t unicode) override { return unicode; }
  uint16_t Read(const uint8_t* in, std::size_t& length) const override {
    length = 2;
    return ReadU16(in);
  }
  // A whole 16-bit unit or nothing.
  bool Write(uint16_t code, uint8_t* out, std::size_t room, std::size_t& written) const override {
    written = 0;
    if (room < 2) return false;
    WriteU16(out, code);
    written = 2;
    return true;
  }
  bool WriteEscape(uint16_t code, uint8_t* out, std::size_t room, std::size_t& written) const override {
    written = 0;
    if (room < 4) return false;
    WriteU16(out, u'\\');
    WriteU16(out + 2, code);
    written = 4;
    return true;
  }

 protected:
  void BuildReverse() override {}
};

bool IsUnicodeName(std::string_view name) { return name == "Unicode" || name == "WIN1200"; }

// The character-set record of `name` in the client's libraries (search
// order of the locale manager), copied out.
bool FindLibraryTable(Client& client, std::string_view name, std::vector<uint8_t>& table, Status* status) {
  std::vector<Library*> order;
  if (Status s = SearchOrder(client, order); s != kOk) {
    if (status != nullptr) *status = kNotFound;
    return false;
  }
  for (Library* lib : order) {
    LibraryFile file;
    if (file.Open(lib->path) != kOk) continue;
    DirectoryEntry entry;
    if (file.Find(kCharsetEntry, name, kNameField, entry) != kOk) continue;
    const uint8_t* record = nullptr;
    uint16_t length = 0;
    Status s = file.CharsetRecord(entry, record, length);
    if (s != kOk) {
      if (status != nullptr) *status = s;
      return false;
    }
    client.lastFind = lib;
    table.assign(record, record + length);
    return true;
  }
  if (status != nullptr) *status = kNotFound;
  return false;
}

}  // namespace

std::unique_ptr<CharacterSet> CharacterSetFromTable(std::string name, std::vector<uint8_t> table) {
  if (!ValidCharsetTable(table.data(), table.size())) return nullptr;
  bool doubleByte = ReadU16(table.data() + 42) != 0;
  if (doubleByte) return std::unique_ptr<CharacterSet>(new (std::nothrow) TMultiByte(std::move(name), std::move(table)));
  return std::unique_ptr<CharacterSet>(new (std::nothrow) TCharacterSet(std::move(name), std::move(table)));
}

const BuiltinTable* FindBuiltinTable(std::string_view name) {
  for (std::size_t i = 0; i < kBuiltinTableCount; ++i)
    if (name == kBuiltinTables[i].name) return &kBuiltinTables[i];
  return nullptr;
}

std::unique_ptr<CharacterSet> OpenCharacterSet(std::string_view name, Client* client) {
  if (name.empty()) return nullptr;
  if (IsUnicodeName(name)) return std::unique_ptr<CharacterSet>(new (std::nothrow) TUnicode(std::string(name)));
  std::vector<uint8_t> table;
  if (const BuiltinTable* builtin = FindBuiltinTable(name)) {
    table.assign(builtin->bytes, builtin->bytes + builtin->size);
  } else if (client == nullptr || !FindLibraryTable(*client, name, table, nullptr)) {
    return nullptr;
  }
  return CharacterSetFromTable(std::string(name), std::move(table));
}

uint16_t CharsetClassOfName(std::string_view name) {
  if (name == "Unicode") return 14;
  if (name.substr(0, 3) == "WIN") return 2;
  if (name.substr(0, 3) == "DOS") return 1;
  if (name.substr(0, 3) == "MAC") return 11;
  return 13;
}

namespace {

// String-table entries 1 to 5.
constexpr const char* kBuiltinNames[5] = {"WIN1252", "Unicode", "DOS437", "DOS850", "USASCII"};

void CopyName(char* out, std::string_view name) {
  std::size_t n = std::min(name.size(), kNameField - 1);
  std::memcpy(out, name.data(), n);
  out[n] = '\0';
}

void FillInfoFromHead(SL_CHARSETINFO* out, const uint8_t* head, uint16_t source) {
  std::memset(out, 0, sizeof *out);
  CopyName(out->name, FieldText(head, kNameField));
  std::memcpy(out->bytes, head + 32, 4);
  out->family = ReadU16(head + 36);
  out->charsetClass = ReadU16(head + 38);
  out->source = source;
}

}  // namespace

}  // namespace slw

using namespace slw;

SL_EXPORT uint16_t SL_GetCharacterSetCount(void) {
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  uint32_t count = 5;
  for (const Library* lib : client->libraries) count += ReadU16(lib->header.data() + 38);
  return static_cast<uint16_t>(std::min<uint32_t>(count, 0xFFFF));
}

SL_EXPORT LocaleStatus SL_GetCharacterSetName(uint16_t index, char* out) {
  if (out == nullptr || index == 0) return kBadArgument;
  if (index <= 5) {
    CopyName(out, kBuiltinNames[index - 1]);
    return kOk;
  }
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  uint32_t first = 6;
  for (const Library* lib : client->libraries) {
    uint16_t count = ReadU16(lib->header.data() + 38);
    if (index >= first + count) {
      first += count;
      continue;
    }
    LibraryFile file;
    if (file.Open(lib->path) != kOk) return kResourceNotFound;
    std::vector<DirectoryEntry> entries = file.Entries(kCharsetEntry);
    // A library's sets are numbered from its last entry backwards.
    std::size_t k = index - first;
    if (k >= entries.size()) return kResourceNotFound;
    CopyName(out, entries[entries.size() - 1 - k].name);
    return kOk;
  }
  return kBadArgument;
}

SL_EXPORT LocaleStatus SL_GetCharacterSetInfo(const char* name, SL_CHARSETINFO* out) {
  if (name == nullptr || *name == '\0' || out == nullptr) return kBadArgument;
  std::string_view n = name;
  if (IsUnicodeName(n)) {
    std::memset(out, 0, sizeof *out);
    CopyName(out->name, n);
    out->bytes[0] = out->bytes[1] = out->bytes[2] = 1;
    out->family = SL_FAMILY_WIDE;
    out->charsetClass = 14;
    out->source = 3;
    return kOk;
  }
  if (const BuiltinTable* builtin = FindBuiltinTable(n)) {
    if (builtin->size < kCharsetHeadSize) return kResourceLoad;
    FillInfoFromHead(out, builtin->bytes, 1);
    return kOk;
  }
  LockHold hold;
  Client* client = FindClient();
  std::vector<uint8_t> table;
  Status status = kNotFound;
  if (client == nullptr || !FindLibraryTable(*client, n, table, &status)) return status;
  FillInfoFromHead(out, table.data(), 2);
  return kOk;
}

SL_EXPORT LocaleStatus SL_MakeCharacterSetName(char* out, uint16_t kind, uint16_t codePage) {
  if (out == nullptr) return kBadArgument;
  std::string name;
  std::string number = std::to_string(codePage);
  switch (kind) {
    case 1: case 3: name = "DOS" + number; break;
    case 2: name = "WIN" + number; break;
    case 6: name = "ROMAN8"; break;
    case 11: name = "MAC"; break;
    case 14: name = "Unicode"; break;
    default: name = kind == 0 || kind > 14 ? number : ""; break;
  }
  CopyName(out, name);
  return kOk;
}
