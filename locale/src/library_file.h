// Locale library files (".SLL") and a client's list of them.
//
// File layout, all integers little-endian (a file may also be SZDD-compressed
// as a whole; it then reads as its expanded bytes):
//   header, 42 bytes at 0: title (32, not interpreted); format major (1, must
//     be 2); format minor (1, must be 1); two bytes kept for the library
//     information; u16 locale entries; u16 character-set entries; u16 total
//     directory entries.
//   directory, right after the header, total x 38 bytes: name (32, zero
//     padded); u16 type (0 locale, 1 character set, others passed over);
//     u32 absolute offset of the entry's record.
//   locale record, at its offset: 114 bytes (name 32; four bytes reported in
//     the locale information; description 32 at 36; byte 68 (255: never
//     pooled); byte 69 the family (1 narrow, 2 wide, 3 multi-byte); bytes 74,
//     75 and u16 at 80 reported; at 82 eight u32 absolute offsets of the
//     category tables in mask order, 0 for none), then 14 bytes kept
//     unchanged, then the defined-character bitmap (32 bytes narrow, 8192
//     wide and multi-byte) and, for multi-byte locales, the 32-byte lead-byte
//     map.
//   category table, at a category offset: u16 count, then that many records,
//     each a 70-byte head (u32 total length including the head; category-data
//     name 32 at 4; a second text 32 at 36; bytes 68 and 69) and its body.
//     An LC_COLLATE body starts with a 40-byte collation header whose first
//     u16 is the level count; with 0 levels the extension block follows it:
//     u16 sub-record count, u16 block size, the block of sub-records (u16
//     length including these four bytes, u16 type, data; type 2 holds the
//     extension library's file name). The bodies of the other categories
//     are described beside their loaders in categories.h.
//   character-set record, at its offset: u32 length (at most 65535), then the
//     character-set table of that many bytes.
//
// A record shorter than its head, or one reaching past the end of the file,
// is refused: the reader never seeks backwards or sizes a block from it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"

namespace slw {

struct Client;

inline constexpr std::size_t kLibraryHeaderSize = 42;
inline constexpr std::size_t kDirectoryEntrySize = 38;
inline constexpr std::size_t kPathField = 260;
inline constexpr std::size_t kNameField = 32;

enum EntryType : uint16_t { kLocaleEntry = 0, kCharsetEntry = 1 };

struct Library {
  std::string valueName;  // "LOCALE_LIB" and its number
  std::string path;
  std::array<uint8_t, kLibraryHeaderSize> header{};
  std::array<uint8_t, 4> headerExtra{};  // header bytes 32 to 35
  uint16_t index = 0;
  bool present = true;
  uint16_t refs = 1;
};

struct DirectoryEntry {
  std::string name;
  uint16_t type = 0;
  uint32_t offset = 0;
  uint16_t position = 0;  // 1-based among entries of its type
};

// One library file opened for one manager operation, read through bounded
// field reads. A plain file is read part by part as the parts are asked for
// (a look-up needs the header, the directory and one locale's records, a
// few kilobytes of a file of hundreds); a compressed one is expanded whole.
class LibraryFile {
 public:
  LibraryFile() = default;
  ~LibraryFile();
  LibraryFile(const LibraryFile&) = delete;
  LibraryFile& operator=(const LibraryFile&) = delete;

  // 0x0201 no name or cannot be opened, 0x0204 short header, 0x0206 other
  // format, 0x0305 empty directory.
  Status Open(std::string_view path);
  // The same checks over bytes already in memory (tests and fuzzing).
  Status OpenBytes(std::vector<uint8_t> bytes);

  const uint8_t* header() const { return header_; }
  uint16_t localeCount() const;
  uint16_t charsetCount() const;
  uint16_t entryCount() const;

  // The entry of `type` whose name matches `name` over `compareLength` bytes
  // (the whole 32-byte field at most); 0x0305 when none.
  Status Find(uint16_t type, std::string_view name, std::size_t compareLength, DirectoryEntry& out) const;
  // The `position`-th (1-based) entry of `type`; 0x0305 when none.
  Status EntryAt(uint16_t type, uint16_t position, DirectoryEntry& out) const;
  // All entries of `type` in directory order.
  std::vector<DirectoryEntry> Entries(uint16_t type) const;

  // Bounded read of `count` bytes at `offset`; false past the end.
  bool Read(uint64_t offset, std::size_t count, const uint8_t*& out) const;

  // The locale record (128 bytes) of a locale entry and the offset after it.
  Status LocaleRecord(const DirectoryEntry& entry, const uint8_t*& record) const;

  // The category table of `slot` of a locale record: its record count and the
  // offset of its first record. 0x0408 no table, 0x0203 bad offset, 0x0204 short.
  Status CategoryTable(const uint8_t* localeRecord, int slot, uint16_t& count, uint64_t& first) const;
  // Walks the records of a category table: the next record's head and size.
  // 0x0404 when a record is shorter than its head or runs past the end.
  Status CategoryRecordAt(uint64_t offset, const uint8_t*& record, uint32_t& length) const;
  // The record of `slot` whose name matches over `compareLength` bytes;
  // 0x0405 when none.
  Status FindCategory(const uint8_t* localeRecord, int slot, std::string_view name, std::size_t compareLength,
                      const uint8_t*& record, uint32_t& length) const;
  // The `index`-th (1-based) record of `slot`.
  Status CategoryByIndex(const uint8_t* localeRecord, int slot, uint16_t index, const uint8_t*& record,
                         uint32_t& length) const;

  // A character-set record; 0x0404 when its length does not fit.
  Status CharsetRecord(const DirectoryEntry& entry, const uint8_t*& record, uint16_t& length) const;

 private:
  void Close();
  Status CheckHeader();

  // The whole file, when it is held whole (compressed, or handed over).
  std::vector<uint8_t> bytes_;
  // A plain file read part by part: its descriptor, its size when opened,
  // and the parts read so far, each kept until the file closes (Read hands
  // out pointers into them).
  int fd_ = -1;
  uint64_t size_ = 0;
  struct Part {
    uint64_t offset;
    std::vector<uint8_t> bytes;
  };
  mutable std::vector<std::unique_ptr<Part>> parts_;
  const uint8_t* header_ = nullptr;
};

// Reads a file's bytes, expanding SZDD compression. False when unreadable.
bool ReadLibraryBytes(const std::string& path, std::vector<uint8_t>& out);

// Length of the locale part of a name (before "@" or ";").
std::size_t LocalePartLength(std::string_view name);
// Compares two names within their 32-byte fields over at most `length` bytes.
bool NamesMatch(std::string_view entry, std::string_view wanted, std::size_t length);

// The client's libraries in search order: the current one first (when
// present), then the others in list order. 0x0205 when the list is empty.
Status SearchOrder(Client& client, std::vector<Library*>& out);
Library* LibraryByIndex(Client& client, uint16_t index);

// Searches the libraries for a locale entry; on success `file` is open on the
// library that holds it and the client's library of the last find is set.
Status FindLocaleInLibraries(Client& client, std::string_view name, LibraryFile& file, DirectoryEntry& entry,
                             Library*& library);

}  // namespace slw
