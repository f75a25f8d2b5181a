// SZDD files (COMPRESS.EXE, expanded by the Windows LZ functions).
//
// Header, 14 bytes: "SZDD" 0x88 0xF0 0x27 0x33; the method 'A'; the last
// character of the original name that the compressed name lost (or 0); the
// expanded length, little-endian 32 bits. Then LZSS data: a flag byte whose
// bits, lowest first, say literal (1) or match (0) for the next eight items;
// a literal is one byte, a match two bytes giving a 12-bit window position
// and a length of 3 to 18 in a 4096-byte window filled with blanks and
// starting at 4096 - 16. The QBasic variant has an 8-byte header
// ("SZ" 0x88 0xF0 0x27 0x33 0xD1 and no length) and is read too.
//
// Decompression runs over libmspack in memory. The expanded length of the
// header is checked against what came out, so a truncated file is damaged
// data, not a short success.
#include "platform/lzfile.h"

#include <fcntl.h>
#include <mspack.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/file_io.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

constexpr uint8_t kSignature[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr uint8_t kQBasicSignature[8] = {'S', 'Z', 0x20, 0x88, 0xF0, 0x27, 0x33, 0xD1};

// One in-memory stream, handed to libmspack through the file-name pointer.
struct MemFile {
  const std::vector<uint8_t>* in = nullptr;
  std::vector<uint8_t>* out = nullptr;
  size_t limit = 0;  // output bytes allowed
  size_t pos = 0;
};

mspack_file* MemOpen(mspack_system*, const char* filename, int) {
  return reinterpret_cast<mspack_file*>(const_cast<char*>(filename));
}
void MemClose(mspack_file*) {}
MemFile* Mem(mspack_file* f) { return reinterpret_cast<MemFile*>(f); }

int MemRead(mspack_file* f, void* buffer, int bytes) {
  MemFile* m = Mem(f);
  if (!m->in || bytes < 0) return -1;
  size_t left = m->in->size() - m->pos;
  size_t n = static_cast<size_t>(bytes) < left ? static_cast<size_t>(bytes) : left;
  if (n) std::memcpy(buffer, m->in->data() + m->pos, n);
  m->pos += n;
  return static_cast<int>(n);
}

int MemWrite(mspack_file* f, void* buffer, int bytes) {
  MemFile* m = Mem(f);
  if (!m->out || bytes < 0) return -1;
  if (m->out->size() + static_cast<size_t>(bytes) > m->limit) return -1;
  const uint8_t* b = static_cast<const uint8_t*>(buffer);
  m->out->insert(m->out->end(), b, b + bytes);
  return bytes;
}

int MemSeek(mspack_file* f, off_t offset, int mode) {
  MemFile* m = Mem(f);
  size_t size = m->in ? m->in->size() : m->out->size();
  off_t base = mode == MSPACK_SYS_SEEK_START ? 0
               : mode == MSPACK_SYS_SEEK_CUR ? static_cast<off_t>(m->pos)
                                             : static_cast<off_t>(size);
  off_t to = base + offset;
  if (to < 0 || to > static_cast<off_t>(size)) return -1;
  m->pos = static_cast<size_t>(to);
  return 0;
}

off_t MemTell(mspack_file* f) { return static_cast<off_t>(Mem(f)->pos); }
void MemMessage(mspack_file*, const char*, ...) {}
void* MemAlloc(mspack_system*, size_t bytes) { return ::operator new(bytes, std::nothrow); }
void MemFree(void* p) { ::operator delete(p); }
void MemCopy(void* src, void* dest, size_t bytes) { std::memmove(dest, src, bytes); }

mspack_system g_memSystem = {MemOpen, MemClose, MemRead, MemWrite, MemSeek, MemTell,
                             MemMessage, MemAlloc, MemFree, MemCopy, nullptr};

}  // namespace

bool HasLzSignature(const uint8_t* data, size_t size) {
  return size >= 8 && (std::memcmp(data, kSignature, 8) == 0 || std::memcmp(data, kQBasicSignature, 8) == 0);
}

LzStatus ExpandLzData(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  out.clear();
  if (!HasLzSignature(in.data(), in.size())) {
    out = in;
    return LzStatus::kOk;
  }
  // LZSS never expands more than 18 bytes per 2 input bits' worth; a length
  // beyond that ratio cannot be honest.
  const size_t limit = in.size() * 9 + 64;
  bool qbasic = in[2] == 0x20;
  if (!qbasic) {
    if (in.size() < 14) return LzStatus::kBadData;
    uint32_t length = static_cast<uint32_t>(in[10]) | static_cast<uint32_t>(in[11]) << 8 |
                      static_cast<uint32_t>(in[12]) << 16 | static_cast<uint32_t>(in[13]) << 24;
    if (length > limit) return LzStatus::kBadData;
  }
  msszdd_decompressor* d = mspack_create_szdd_decompressor(&g_memSystem);
  if (!d) return LzStatus::kReadError;
  MemFile input{&in, nullptr, 0, 0};
  LzStatus status = LzStatus::kBadData;
  if (msszddd_header* h = d->open(d, reinterpret_cast<const char*>(&input))) {
    size_t expected = h->length > 0 ? static_cast<size_t>(h->length) : 0;
    MemFile output{nullptr, &out, qbasic ? limit : expected, 0};
    int err = d->extract(d, h, reinterpret_cast<const char*>(&output));
    if (err == MSPACK_ERR_OK && (qbasic || out.size() == expected)) status = LzStatus::kOk;
    d->close(d, h);
  }
  mspack_destroy_szdd_decompressor(d);
  if (status != LzStatus::kOk) out.clear();
  return status;
}

LzStatus ReadLzFile(const fs::path& file, std::vector<uint8_t>& out) {
  out.clear();
  std::string bytes;
  switch (ReadWholeFile(file, bytes)) {
    case ReadStatus::kNotFound: return LzStatus::kNotFound;
    case ReadStatus::kError: return LzStatus::kReadError;
    case ReadStatus::kOk: break;
  }
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (!HasLzSignature(data, bytes.size())) {
    out.assign(data, data + bytes.size());  // a plain file: the bytes once more, not twice
    return LzStatus::kOk;
  }
  std::vector<uint8_t> in(data, data + bytes.size());
  return ExpandLzData(in, out);
}

LzStatus ReadLzFilePrefix(const fs::path& file, size_t count, std::vector<uint8_t>& out) {
  out.clear();
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? LzStatus::kNotFound : LzStatus::kReadError;
  // Enough for the signature, whatever is asked for.
  std::vector<uint8_t> head(std::max<size_t>(count, sizeof kSignature));
  size_t got = 0;
  bool failed = false;
  while (got < head.size()) {
    const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed = true;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (failed) return LzStatus::kReadError;
  head.resize(got);
  if (HasLzSignature(head.data(), head.size())) {
    const LzStatus status = ReadLzFile(file, out);
    if (out.size() > count) out.resize(count);
    return status;
  }
  if (head.size() > count) head.resize(count);
  out = std::move(head);
  return LzStatus::kOk;
}

bool IsLzCompressed(const fs::path& file) {
  std::string bytes;
  if (ReadWholeFile(file, bytes) != ReadStatus::kOk) return false;
  return HasLzSignature(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool WriteLzFile(const fs::path& file, const std::vector<uint8_t>& data) {
  if (data.size() > 0xFFFFFFFFu) return false;
  std::string out(reinterpret_cast<const char*>(kSignature), 8);
  out += 'A';
  std::string name = file.filename().string();
  out += name.empty() ? '\0' : name.back();
  uint32_t n = static_cast<uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
  // Literals only: a flag byte of all ones before every eight bytes.
  for (size_t i = 0; i < data.size(); ++i) {
    if (i % 8 == 0) out += static_cast<char>(0xFF);
    out += static_cast<char>(data[i]);
  }
  return WriteFileAtomic(file, out);
}

}  // namespace platform
