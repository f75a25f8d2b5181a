#include "mdx/block_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "fault.h"

namespace orb::mdx {

bool BlockFile::WriteBlocks(uint64_t offset, const uint8_t* const* blocks, size_t count, size_t size) {
  std::vector<uint8_t> run;
  run.reserve(count * size);
  for (size_t i = 0; i < count; ++i) run.insert(run.end(), blocks[i], blocks[i] + size);
  return WriteAt(offset, run.data(), run.size());
}

bool MemoryBlockFile::ReadAt(uint64_t offset, void* out, size_t size) {
  if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
  std::memcpy(out, bytes_.data() + offset, size);
  return true;
}

bool MemoryBlockFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (offset > (uint64_t(1) << 32) || size > (uint64_t(1) << 32)) return false;
  if (offset + size > bytes_.size()) bytes_.resize(offset + size, '\0');
  std::memcpy(bytes_.data() + offset, data, size);
  return true;
}

bool MemoryBlockFile::Truncate(uint64_t size) {
  if (size > (uint64_t(1) << 32)) return false;
  bytes_.resize(size, '\0');
  return true;
}

namespace {

class DiskFile : public BlockFile {
 public:
  DiskFile(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~DiskFile() override {
    if (owned_) ::close(fd_);
  }
  bool ReadAt(uint64_t offset, void* out, size_t size) override {
    auto* p = static_cast<char*>(out);
    while (size > 0) {
      ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      size -= static_cast<size_t>(n);
      offset += static_cast<uint64_t>(n);
    }
    return true;
  }
  bool WriteAt(uint64_t offset, const void* data, size_t size) override {
    if (Faulted(fault::Op::kWrite)) return false;
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = n < 0 ? errno : ENOSPC;
        return false;
      }
      p += n;
      size -= static_cast<size_t>(n);
      offset += static_cast<uint64_t>(n);
    }
    return true;
  }
  bool WriteBlocks(uint64_t offset, const uint8_t* const* blocks, size_t count, size_t size) override {
    if (Faulted(fault::Op::kWrite)) return false;
    size_t done = 0;  // bytes of the blocks written
    const size_t total = count * size;
    while (done < total) {
      // The parts from the first block not yet written whole.
      const size_t first = done / size;
      parts_.resize(std::min<size_t>(count - first, IOV_MAX));
      for (size_t n = 0; n < parts_.size(); ++n) {
        const size_t skip = n == 0 ? done % size : 0;
        parts_[n].iov_base = const_cast<uint8_t*>(blocks[first + n]) + skip;
        parts_[n].iov_len = size - skip;
      }
      ssize_t w = ::pwritev(fd_, parts_.data(), static_cast<int>(parts_.size()), static_cast<off_t>(offset + done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        error_ = w < 0 ? errno : ENOSPC;
        return false;
      }
      done += static_cast<size_t>(w);
    }
    return true;
  }
  uint64_t Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_size);
  }
  bool Truncate(uint64_t size) override {
    if (Faulted(fault::Op::kTruncate)) return false;
    if (::ftruncate(fd_, static_cast<off_t>(size)) == 0) return true;
    error_ = errno;
    return false;
  }
  bool Sync() override {
    if (fault::SyncsSkipped()) return true;
    if (Faulted(fault::Op::kSync)) return false;
    if (::fdatasync(fd_) == 0 || errno == EINVAL || errno == EROFS) return true;
    error_ = errno;
    return false;
  }
  int LastError() const override { return error_; }

 private:
  bool Faulted(fault::Op op) {
    static const std::filesystem::path kName("index");  // made once: a check per write costs no path
    error_ = fault::Check(op, kName);
    return error_ != 0;
  }

  int fd_;
  bool owned_;
  int error_ = 0;
  std::vector<iovec> parts_;  // WriteBlocks', kept for their capacity
};

}  // namespace

std::unique_ptr<BlockFile> OpenDiskFile(const std::string& path, bool create, bool readOnly,
                                        std::string* error) {
  int flags = readOnly ? O_RDONLY : O_RDWR;
  if (create) flags |= O_CREAT | O_TRUNC;
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<DiskFile>(fd, true);
}

std::unique_ptr<BlockFile> WrapDescriptor(int fd) { return std::make_unique<DiskFile>(fd, false); }

}  // namespace orb::mdx
