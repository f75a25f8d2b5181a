#include "core/dbf_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace fs = std::filesystem;

namespace keldro {

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool IsDbaseVersion(uint8_t v) {
  switch (v) {
    case 0x03: case 0x04: case 0x05: case 0x43: case 0x63: case 0x83: case 0x8B: case 0xCB: return true;
    default: return false;
  }
}

// Reads the whole header of an open file; empty when it is too short.
std::vector<uint8_t> ReadHeaderBytes(int fd, uint64_t fileSize) {
  uint8_t head[32];
  if (fileSize < 32 || pread(fd, head, 32, 0) != 32) return {};
  const uint16_t headerLength = Le16(head + 8);
  if (headerLength < 32 || headerLength > fileSize) return {};
  std::vector<uint8_t> bytes(headerLength);
  size_t got = 0;
  while (got < bytes.size()) {
    ssize_t r = pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (r <= 0) return {};
    got += static_cast<size_t>(r);
  }
  return bytes;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { if (fd_ >= 0) close(fd_); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
 private:
  int fd_;
};

}  // namespace

std::optional<DbfHeaderInfo> ParseDbfHeader(const uint8_t* h, size_t size, uint64_t fileSize) {
  if (size < 32 || !IsDbaseVersion(h[0])) return std::nullopt;
  DbfHeaderInfo info;
  info.version = h[0];
  info.recordCount = Le32(h + 4);
  info.headerLength = Le16(h + 8);
  info.recordLength = Le16(h + 10);
  info.productionIndexFlag = h[28];
  // At least one descriptor and its terminator, all of it inside the file.
  if (info.headerLength < 32 + 32 + 1 || info.headerLength > size || info.headerLength > fileSize) return std::nullopt;
  if (info.recordLength < 2) return std::nullopt;
  const char* kTypes = "CDFLMN";
  size_t pos = 32;
  while (pos + 32 <= info.headerLength && h[pos] != 0x0D) {
    const uint8_t* d = h + pos;
    size_t nameLen = 0;
    while (nameLen < 11 && d[nameLen] != 0) ++nameLen;
    if (nameLen == 0) return std::nullopt;
    const char type = static_cast<char>(d[11]);
    if (type == 0 || !std::strchr(kTypes, type) || d[16] == 0) return std::nullopt;
    info.fieldNames.emplace_back(reinterpret_cast<const char*>(d), nameLen);
    info.fieldTypes.push_back(type);
    pos += 32;
  }
  // Some writers leave out the 0x0D; anything else after the descriptors is not a table.
  if (pos + 32 <= info.headerLength && h[pos] != 0x0D) return std::nullopt;
  if (info.fieldNames.empty()) return std::nullopt;
  return info;
}

std::optional<DbfHeaderInfo> ReadDbfHeader(const fs::path& dbfPath) {
  Fd fd(open(dbfPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const auto fileSize = static_cast<uint64_t>(st.st_size);
  std::vector<uint8_t> bytes = ReadHeaderBytes(fd.get(), fileSize);
  if (bytes.empty()) return std::nullopt;
  return ParseDbfHeader(bytes.data(), bytes.size(), fileSize);
}

IndexFlagRepair RemoveMDXByte(const fs::path& dbfPath) {
  Fd fd(open(dbfPath.c_str(), O_RDWR | O_CLOEXEC));
  if (fd.get() < 0) return IndexFlagRepair::Failed;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return IndexFlagRepair::Failed;
  const auto fileSize = static_cast<uint64_t>(st.st_size);
  std::vector<uint8_t> bytes = ReadHeaderBytes(fd.get(), fileSize);
  if (bytes.empty() || !ParseDbfHeader(bytes.data(), bytes.size(), fileSize)) return IndexFlagRepair::NotATable;
  if (bytes[28] == 0) return IndexFlagRepair::AlreadyClear;
  const uint8_t zero = 0;
  if (pwrite(fd.get(), &zero, 1, 28) != 1) return IndexFlagRepair::Failed;
  if (fsync(fd.get()) != 0) return IndexFlagRepair::Failed;
  return IndexFlagRepair::Cleared;
}

}  // namespace keldro
