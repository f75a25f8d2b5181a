#include "library_file.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

#include "platform/lzfile.h"
#include "client.h"
#include "lock.h"
#include "locale_object.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "registry_values.h"

namespace fs = std::filesystem;

namespace slw {

// ---- Reading ----

bool ReadLibraryBytes(const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  return platform::ReadLzFile(fs::path(path), out) == platform::LzStatus::kOk;
}

std::size_t LocalePartLength(std::string_view name) {
  std::size_t cut = name.find_first_of("@;");
  return cut == std::string_view::npos ? name.size() : cut;
}

bool NamesMatch(std::string_view entry, std::string_view wanted, std::size_t length) {
  length = std::min(length, kNameField);
  for (std::size_t i = 0; i < length; ++i) {
    char a = i < entry.size() ? entry[i] : '\0';
    char b = i < wanted.size() ? wanted[i] : '\0';
    if (a != b) return false;
    if (a == '\0') return true;
  }
  return true;
}

LibraryFile::~LibraryFile() { Close(); }

void LibraryFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
  parts_.clear();
  bytes_.clear();
  header_ = nullptr;
}

Status LibraryFile::Open(std::string_view path) {
  Close();
  if (path.empty()) return kLibOpen;
  const std::string name(path);
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kLibOpen;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return kLibOpen;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
  const uint8_t* start = nullptr;
  if (Read(0, std::min<uint64_t>(size_, kLibraryHeaderSize), start) &&
      platform::HasLzSignature(start, std::min<uint64_t>(size_, kLibraryHeaderSize))) {
    // Compressed: expanded whole, then read from memory.
    Close();
    std::vector<uint8_t> bytes;
    if (!ReadLibraryBytes(name, bytes)) return kLibOpen;
    return OpenBytes(std::move(bytes));
  }
  if (Status s = CheckHeader(); s != kOk) return s;
  // The directory in one read: a look-up walks it entry by entry.
  const uint64_t directory = std::min<uint64_t>(uint64_t{entryCount()} * kDirectoryEntrySize, size_ - kLibraryHeaderSize);
  const uint8_t* entries = nullptr;
  Read(kLibraryHeaderSize, directory, entries);
  return kOk;
}

Status LibraryFile::OpenBytes(std::vector<uint8_t> bytes) {
  Close();
  bytes_ = std::move(bytes);
  size_ = bytes_.size();
  return CheckHeader();
}

Status LibraryFile::CheckHeader() {
  header_ = nullptr;
  if (size_ < kLibraryHeaderSize || !Read(0, kLibraryHeaderSize, header_)) {
    header_ = nullptr;
    return kLibRead;
  }
  if (header_[32] != 2 || header_[33] != 1) return kLibFormat;
  if (entryCount() == 0) return kNotFound;
  return kOk;
}

uint16_t LibraryFile::localeCount() const { return ReadU16(header_ + 36); }
uint16_t LibraryFile::charsetCount() const { return ReadU16(header_ + 38); }
uint16_t LibraryFile::entryCount() const { return ReadU16(header_ + 40); }

bool LibraryFile::Read(uint64_t offset, std::size_t count, const uint8_t*& out) const {
  if (offset > size_ || count > size_ - offset) return false;
  if (fd_ < 0) {
    out = bytes_.data() + offset;
    return true;
  }
  for (const std::unique_ptr<Part>& p : parts_) {
    if (offset >= p->offset && count <= p->bytes.size() && offset - p->offset <= p->bytes.size() - count) {
      out = p->bytes.data() + (offset - p->offset);
      return true;
    }
  }
  auto part = std::make_unique<Part>(Part{offset, std::vector<uint8_t>(std::max<std::size_t>(count, 1))});
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::pread(fd_, part->bytes.data() + got, count - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // the file ends sooner than it did when opened
    got += static_cast<std::size_t>(n);
  }
  out = part->bytes.data();
  parts_.push_back(std::move(part));
  return true;
}

std::vector<DirectoryEntry> LibraryFile::Entries(uint16_t type) const {
  std::vector<DirectoryEntry> result;
  uint16_t position = 0;
  for (uint16_t i = 0; i < entryCount(); ++i) {
    const uint8_t* e = nullptr;
    // A directory that reads short ends the walk: what follows is not found.
    if (!Read(kLibraryHeaderSize + uint64_t{i} * kDirectoryEntrySize, kDirectoryEntrySize, e)) break;
    if (ReadU16(e + 32) != type) continue;
    result.push_back({FieldText(e, kNameField), type, ReadU32(e + 34), ++position});
  }
  return result;
}

Status LibraryFile::Find(uint16_t type, std::string_view name, std::size_t compareLength,
                         DirectoryEntry& out) const {
  uint16_t typed = type == kLocaleEntry ? localeCount() : type == kCharsetEntry ? charsetCount() : 1;
  if (typed == 0) return kNotFound;
  for (const DirectoryEntry& e : Entries(type)) {
    if (NamesMatch(e.name, name, compareLength)) {
      out = e;
      return kOk;
    }
  }
  return kNotFound;
}

Status LibraryFile::EntryAt(uint16_t type, uint16_t position, DirectoryEntry& out) const {
  for (const DirectoryEntry& e : Entries(type)) {
    if (e.position == position) {
      out = e;
      return kOk;
    }
  }
  return kNotFound;
}

Status LibraryFile::LocaleRecord(const DirectoryEntry& entry, const uint8_t*& record) const {
  if (!Read(entry.offset, kLocaleRecordSize + kLocaleRecordExtra, record)) return kLibRead;
  return kOk;
}

Status LibraryFile::CategoryTable(const uint8_t* localeRecord, int slot, uint16_t& count, uint64_t& first) const {
  uint32_t offset = ReadU32(localeRecord + 82 + 4 * slot);
  if (offset == 0) return kCategoryAbsent;
  if (offset >= size_) return kLibSeek;
  const uint8_t* p = nullptr;
  if (!Read(offset, 2, p)) return kLibRead;
  count = ReadU16(p);
  first = uint64_t{offset} + 2;
  return kOk;
}

Status LibraryFile::CategoryRecordAt(uint64_t offset, const uint8_t*& record, uint32_t& length) const {
  const uint8_t* head = nullptr;
  if (!Read(offset, kCategoryHeadSize, head)) return kCategoryRead;
  length = ReadU32(head);
  if (length < kCategoryHeadSize) return kCategoryRead;
  if (!Read(offset, length, record)) return kCategoryRead;
  return kOk;
}

Status LibraryFile::FindCategory(const uint8_t* localeRecord, int slot, std::string_view name,
                                 std::size_t compareLength, const uint8_t*& record, uint32_t& length) const {
  uint16_t count = 0;
  uint64_t offset = 0;
  if (Status s = CategoryTable(localeRecord, slot, count, offset); s != kOk) return s;
  for (uint16_t i = 0; i < count; ++i) {
    if (Status s = CategoryRecordAt(offset, record, length); s != kOk) return s;
    if (NamesMatch(FieldText(record + 4, kNameField), name, compareLength)) return kOk;
    offset += length;
  }
  return kCategoryNotFound;
}

Status LibraryFile::CategoryByIndex(const uint8_t* localeRecord, int slot, uint16_t index, const uint8_t*& record,
                                    uint32_t& length) const {
  uint16_t count = 0;
  uint64_t offset = 0;
  if (Status s = CategoryTable(localeRecord, slot, count, offset); s != kOk) return s;
  if (index == 0 || index > count) return kCategoryNotFound;
  for (uint16_t i = 1;; ++i) {
    if (Status s = CategoryRecordAt(offset, record, length); s != kOk) return s;
    if (i == index) return kOk;
    offset += length;
  }
}

Status LibraryFile::CharsetRecord(const DirectoryEntry& entry, const uint8_t*& record, uint16_t& length) const {
  const uint8_t* p = nullptr;
  if (!Read(entry.offset, 4, p)) return kCategoryRead;
  uint32_t size = ReadU32(p);
  if (size < 44 || size > 0xFFFF) return kCategoryRead;
  if (!Read(uint64_t{entry.offset} + 4, size, record)) return kCategoryRead;
  // A double-byte table's page indexes (16-bit units from the record start)
  // must each leave room for a whole page of 256 values.
  if (ReadU16(record + 42) != 0) {
    if (size < 44 + 512) return kCategoryRead;
    for (int page = 0; page < 256; ++page) {
      uint32_t index = ReadU16(record + 44 + 2 * page);
      if (index != 0 && (uint64_t{index} * 2 + 512 > size || index * 2 < 44 + 512)) return kCategoryRead;
    }
  }
  length = static_cast<uint16_t>(size);
  return kOk;
}

// ---- The client's library list ----

namespace {

bool SamePath(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

Library* FindByPath(Client& client, std::string_view path) {
  for (Library* lib : client.libraries)
    if (SamePath(lib->path, path)) return lib;
  return nullptr;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::path(path), ec);
}

// A Windows-style path of a registry value, as a Linux path.
std::string MapLibraryPath(std::string_view value) {
  if (value.find('\\') == std::string_view::npos && value.find(':') == std::string_view::npos)
    return std::string(value);
  return platform::MapPath(value).string();
}

// Reads a library file's header for the list; the file's status otherwise.
// The list needs the header only: the rest of the file is read when a
// locale is looked for in it.
Status ReadHeader(const std::string& path, std::array<uint8_t, kLibraryHeaderSize>& header) {
  std::vector<uint8_t> head;
  if (platform::ReadLzFilePrefix(fs::path(path), kLibraryHeaderSize, head) != platform::LzStatus::kOk) return kLibOpen;
  LibraryFile file;
  Status s = file.OpenBytes(std::move(head));
  if (s != kOk) return s;
  std::copy(file.header(), file.header() + kLibraryHeaderSize, header.begin());
  return kOk;
}

Library* NewLibrary(uint16_t index, const std::string& path, const std::array<uint8_t, kLibraryHeaderSize>& header) {
  Library* lib = new (std::nothrow) Library();
  if (lib == nullptr) return nullptr;
  lib->index = index;
  lib->valueName = "LOCALE_LIB" + std::to_string(index);
  lib->path = path;
  lib->header = header;
  std::copy(header.begin() + 32, header.begin() + 36, lib->headerExtra.begin());
  return lib;
}

// Every "LOCALE_LIB" value, the current user's first, then the machine's, in
// file order.
Status EnumerateLibraryValues(std::vector<std::string>& paths) {
  bool opened = false;
  for (auto hive : {platform::registry::Hive::CurrentUser, platform::registry::Hive::LocalMachine}) {
    platform::registry::Key key;
    if (platform::registry::OpenKey(hive, kSlw32Key, false, key) != platform::registry::kSuccess) continue;
    opened = true;
    platform::registry::Value v;
    for (uint32_t i = 0; key.EnumValue(i, v) == platform::registry::kSuccess; ++i) {
      if (v.name.find("LOCALE_LIB") == std::string::npos) continue;
      if (v.type != platform::registry::ValueType::String) continue;
      paths.push_back(v.text);
    }
  }
  return opened ? kOk : kRegOpen;
}

}  // namespace

Status BuildLibraryList(Client& client) {
  LockHold hold;
  std::vector<std::string> values;
  Status status = EnumerateLibraryValues(values);
  uint16_t n = 0;
  for (const std::string& value : values) {
    ++n;
    if (value.empty() || value.size() >= kPathField) continue;
    std::string path = MapLibraryPath(value);
    if (path.size() >= kPathField || FindByPath(client, path) != nullptr) continue;
    std::array<uint8_t, kLibraryHeaderSize> header{};
    if (ReadHeader(path, header) != kOk) continue;
    if (Library* lib = NewLibrary(n, path, header)) client.libraries.push_back(lib);
  }
  if (!client.libraries.empty()) {
    client.current = client.libraries.front();
    client.libraryPath = client.current->path;
  }
  return status;
}

void DeleteLibrary(Library* library) { delete library; }

Library* LibraryByIndex(Client& client, uint16_t index) {
  for (Library* lib : client.libraries)
    if (lib->index == index) return lib;
  return nullptr;
}

Status SearchOrder(Client& client, std::vector<Library*>& out) {
  out.clear();
  if (client.libraries.empty()) return kNoLibrary;
  if (client.current != nullptr && client.current->present) out.push_back(client.current);
  for (Library* lib : client.libraries)
    if (lib != client.current) out.push_back(lib);
  return kOk;
}

Status FindLocaleInLibraries(Client& client, std::string_view name, LibraryFile& file, DirectoryEntry& entry,
                             Library*& library) {
  std::vector<Library*> order;
  if (Status s = SearchOrder(client, order); s != kOk) return s;
  Status last = client.current != nullptr && !client.current->present ? kLibAbsent : kNotFound;
  std::size_t length = LocalePartLength(name);
  for (Library* lib : order) {
    Status s = file.Open(lib->path);
    if (s != kOk) {
      last = s;
      continue;
    }
    if (file.Find(kLocaleEntry, name, length, entry) == kOk) {
      library = lib;
      client.lastFind = lib;
      return kOk;
    }
  }
  return last == kLibAbsent || last == kNotFound ? kNotFound : last;
}

// ---- The file search ----

namespace {

std::string ModuleDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleDirectory), &info) == 0 || info.dli_fname == nullptr) return {};
  return fs::path(info.dli_fname).parent_path().string();
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::string SearchFile(std::string_view fileName) {
  std::vector<std::string> dirs;
  dirs.push_back(ModuleDirectory());
  std::error_code ec;
  std::string cwd = fs::current_path(ec).string();
  dirs.push_back(cwd);
  std::string apiPath;
  if (ReadMachineValue("SLAPIPATH", apiPath))
    for (const std::string& d : SplitList(apiPath, ';')) dirs.push_back(MapLibraryPath(d));
  dirs.push_back(platform::SystemDir().string());
  dirs.push_back(platform::WindowsDir().string());
  dirs.push_back(cwd);
  if (const char* path = std::getenv("PATH"))
    for (const std::string& d : SplitList(path, ':')) dirs.push_back(d);
  for (const std::string& dir : dirs) {
    if (dir.empty()) continue;
    fs::path found = platform::FindFileNoCase(fs::path(dir), fileName);
    if (fs::is_regular_file(found, ec)) return found.string();
  }
  return {};
}

bool ReadMachineValue(std::string_view name, std::string& out) {
  platform::registry::Key key;
  if (platform::registry::OpenKey(platform::registry::Hive::LocalMachine, kSlw32Key, false, key) !=
      platform::registry::kSuccess)
    return false;
  return key.QueryString(name, out) == platform::registry::kSuccess;
}

}  // namespace slw

using namespace slw;

SL_EXPORT LocaleStatus SL_SetLocaleLibrary(const char* path, uint16_t makeCurrent) {
  if (path == nullptr || *path == '\0') return kLibOpen;
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  std::string mapped = MapLibraryPath(path);
  // A path that does not fit the 260-byte fields is refused, never cut.
  if (std::strlen(path) >= kPathField || mapped.size() >= kPathField) return kLibOpen;
  if (FindByPath(*client, mapped) != nullptr) return kOk;
  std::array<uint8_t, kLibraryHeaderSize> header{};
  // The file is checked before it joins the list; a bad file adds nothing.
  if (Status s = ReadHeader(mapped, header); s != kOk) return s;
  uint16_t index = client->libraries.empty() ? 1 : static_cast<uint16_t>(client->libraries.back()->index + 1);
  if (client->libraries.empty()) makeCurrent = 1;
  Library* lib = NewLibrary(index, mapped, header);
  if (lib == nullptr) return kNoMemory;
  lib->present = true;
  client->libraries.push_back(lib);
  if (makeCurrent == 1) {
    client->current = lib;
    client->libraryPath = lib->path;
  }
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetLibraryInfo(uint16_t index, SL_LIBRARYINFO* record) {
  if (record == nullptr) return kBadArgument;
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  for (std::size_t i = 0; i < client->libraries.size(); ++i) {
    const Library* lib = client->libraries[i];
    if (lib->index != index || (i != 0 && !lib->present)) continue;
    std::memset(record, 0, sizeof *record);
    std::memcpy(record->headerBytes, lib->headerExtra.data(), 4);
    std::memcpy(record->path, lib->path.data(), std::min(lib->path.size(), kPathField - 1));
    record->directoryEntries = ReadU16(lib->header.data() + 40);
    record->localeEntries = ReadU16(lib->header.data() + 36);
    record->charsetEntries = ReadU16(lib->header.data() + 38);
    record->index = lib->index;
    return kOk;
  }
  return kNoLibrary;
}

SL_EXPORT LocaleStatus SL_ForwardMessage(uint32_t message, uintptr_t wParam, intptr_t) {
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  bool rescan = message == 0x1A || message == 0x54 ||
                (message == 0x219 && (wParam == 0x8000 || wParam == 0x8004));
  if (!rescan) return kOk;
  std::vector<std::string> values;
  EnumerateLibraryValues(values);
  for (const std::string& value : values) {
    if (value.empty() || value.size() >= kPathField) continue;
    std::string path = MapLibraryPath(value);
    if (FindByPath(*client, path) == nullptr) SL_SetLocaleLibrary(value.c_str(), 0);
  }
  for (Library* lib : client->libraries) lib->present = FileExists(lib->path);
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetFilePath(const char* fileName, char* buffer, uint16_t* size) {
  if (fileName == nullptr || *fileName == '\0' || size == nullptr) return kBadArgument;
  std::string found = SearchFile(fileName);
  if (found.empty()) return kFileNotFound;
  if (found.size() > *size || buffer == nullptr) {
    *size = static_cast<uint16_t>(std::min<std::size_t>(found.size(), 0xFFFF));
    return kBufferSmall;
  }
  std::memcpy(buffer, found.c_str(), found.size() + 1);
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetFullDefaultLocaleName(char* out) {
  if (out == nullptr) return kBadArgument;
  // Every value is cut to its 32-byte field, so the whole name fits
  // SL_FULL_DEFAULT_NAME_SIZE bytes whatever the registry holds.
  auto field = [](std::string text) {
    if (text.size() > kNameField - 1) text.resize(kNameField - 1);
    return text;
  };
  std::string name;
  if (!ReadMachineValue("SLC_ALL", name) || name.empty()) {
    name.clear();
    if (!ReadMachineValue("LANG", name)) name.clear();
  }
  name = field(name);
  if (name.empty()) return kCategoryNotFound;
  std::string result = name + ";";
  for (int slot = 0; slot < kCategorySlots; ++slot) {
    std::string value;
    if (ReadMachineValue(CategoryValueName(slot), value)) result += field(value);
    result += ";";
  }
  std::memcpy(out, result.c_str(), result.size() + 1);
  return kOk;
}

SL_EXPORT void SL_FnSplit(const char* path, char* drive, char* dir, char* name, char* ext) {
  std::string_view p = path != nullptr ? path : "";
  auto put = [](char* out, std::string_view text, std::size_t width) {
    if (out == nullptr) return;
    std::size_t n = std::min(text.size(), width - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
  };
  std::string_view d;
  if (p.size() >= 2 && p[1] == ':') {
    d = p.substr(0, 2);
    p.remove_prefix(2);
  }
  std::size_t slash = p.find_last_of("\\/");
  std::string_view directory = slash == std::string_view::npos ? std::string_view() : p.substr(0, slash + 1);
  std::string_view file = slash == std::string_view::npos ? p : p.substr(slash + 1);
  std::size_t dot = file.find_last_of('.');
  std::string_view base = dot == std::string_view::npos ? file : file.substr(0, dot);
  std::string_view extension = dot == std::string_view::npos ? std::string_view() : file.substr(dot);
  put(drive, d, SL_MAX_DRIVE);
  put(dir, directory, SL_MAX_DIR);
  put(name, base, SL_MAX_FNAME);
  put(ext, extension, SL_MAX_EXT);
}
