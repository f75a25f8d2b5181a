#include "file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>
#include <utility>

#include "fault.h"
#include "status.h"

namespace orb {
namespace {

WriteFaultHook gWriteFaultHook = nullptr;

OrbResult OpenErrorCode(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return ORB_ERR_NO_SUCH_TABLE;
    case EACCES:
    case EPERM:
    case EROFS:
      return ORB_ERR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
      return ORB_ERR_TOO_MANY_OPEN;
    default:
      return ORB_ERR_OPEN_FAILED;
  }
}

}  // namespace

void SetWriteFaultHook(WriteFaultHook hook) { gWriteFaultHook = hook; }

OrbResult WriteErrorCode(int err) {
  return (err == ENOSPC || err == EFBIG || err == EDQUOT) ? ORB_ERR_DISK_FULL : ORB_ERR_WRITE_FAILED;
}

File::~File() { Close(); }

OrbResult File::Open(const std::filesystem::path& path, bool needWrite) {
  Close();
  path_ = path;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  writable_ = fd >= 0;
  if (fd < 0 && !needWrite && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) {
    int err = errno;
    return Fail(OpenErrorCode(err), path.string() + ": " + std::strerror(err));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Fail(ORB_ERR_NOT_DBASE, path.string() + ": not a regular file");
  }
  fd_ = fd;
  return ORB_OK;
}

OrbResult File::Create(const std::filesystem::path& path) {
  Close();
  path_ = path;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    int err = errno;
    return Fail(OpenErrorCode(err), path.string() + ": " + std::strerror(err));
  }
  fd_ = fd;
  writable_ = true;
  return ORB_OK;
}

void File::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  writable_ = false;
  DropHeld();
}

OrbResult File::ReadSome(int64_t offset, void* buffer, size_t size, size_t* got) const {
  if (!held_) return ReadStored(offset, buffer, size, got);
  *got = 0;
  if (offset >= heldSize_) return ORB_OK;
  const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), heldSize_ - offset));
  auto* p = static_cast<uint8_t*>(buffer);
  const int64_t end = offset + static_cast<int64_t>(want);
  auto it = pending_.upper_bound(offset);
  if (it != pending_.begin()) --it;
  // A record the batch rewrote is read back from what is held alone.
  if (it != pending_.end() && it->first <= offset && it->first + static_cast<int64_t>(it->second.size()) >= end) {
    std::memcpy(p, it->second.data() + (offset - it->first), want);
    *got = want;
    return ORB_OK;
  }
  // The file's bytes up to a held truncation, zeros after them, and the
  // held writes over both.
  const int64_t limit = cut_ >= 0 ? cut_ : INT64_MAX;
  size_t stored = 0;
  if (offset < limit) {
    const size_t storedWant = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(want), limit - offset));
    OrbResult r = ReadStored(offset, p, storedWant, &stored);
    if (r != ORB_OK) return r;
  }
  std::memset(p + stored, 0, want - stored);
  for (; it != pending_.end() && it->first < end; ++it) {
    const int64_t from = std::max(offset, it->first);
    const int64_t to = std::min(end, it->first + static_cast<int64_t>(it->second.size()));
    if (from < to) std::memcpy(p + (from - offset), it->second.data() + (from - it->first), static_cast<size_t>(to - from));
  }
  *got = want;
  return ORB_OK;
}

OrbResult File::ReadStored(int64_t offset, void* buffer, size_t size, size_t* got) const {
  *got = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (*got < size) {
    ssize_t n = ::pread(fd_, p + *got, size - *got, static_cast<off_t>(offset + *got));
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      return Fail(ORB_ERR_READ_FAILED, path_.string() + ": " + std::strerror(err));
    }
    if (n == 0) break;
    *got += static_cast<size_t>(n);
  }
  return ORB_OK;
}

OrbResult File::ReadAt(int64_t offset, void* buffer, size_t size) const {
  size_t got = 0;
  OrbResult r = ReadSome(offset, buffer, size, &got);
  if (r != ORB_OK) return r;
  if (got != size) {
    return Fail(ORB_ERR_CORRUPT, path_.string() + ": file ends at byte " +
                                     std::to_string(offset + static_cast<int64_t>(got)));
  }
  return ORB_OK;
}

OrbResult File::WriteAt(int64_t offset, const void* buffer, size_t size) {
  if (!writable_) return Fail(ORB_ERR_READ_ONLY, path_.string() + ": opened read-only");
  if (held_) {
    HoldWrite(offset, static_cast<const uint8_t*>(buffer), size);
    return ORB_OK;
  }
  return StoredWrite(offset, buffer, size);
}

OrbResult File::StoredWrite(int64_t offset, const void* buffer, size_t size) {
  int err = fault::Check(fault::Op::kWrite, path_);
  if (err == 0 && gWriteFaultHook != nullptr) err = gWriteFaultHook(path_, static_cast<off_t>(offset), size);
  if (err != 0) return Fail(WriteErrorCode(err), path_.string() + ": " + std::strerror(err));
  const auto* p = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd_, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      return Fail(WriteErrorCode(err), path_.string() + ": " + std::strerror(err));
    }
    if (n == 0) return Fail(ORB_ERR_DISK_FULL, path_.string() + ": no room to write");
    done += static_cast<size_t>(n);
  }
  return ORB_OK;
}

OrbResult File::Truncate(int64_t size) {
  if (!writable_) return Fail(ORB_ERR_READ_ONLY, path_.string() + ": opened read-only");
  if (held_) {
    for (auto it = pending_.lower_bound(size); it != pending_.end();) {
      pendingBytes_ -= it->second.size();
      it = pending_.erase(it);
    }
    if (auto it = pending_.lower_bound(size); it != pending_.begin()) {
      --it;
      const int64_t end = it->first + static_cast<int64_t>(it->second.size());
      if (end > size) {
        pendingBytes_ -= static_cast<size_t>(end - size);
        it->second.resize(static_cast<size_t>(size - it->first));
      }
    }
    heldSize_ = size;
    if (cut_ < 0 || size < cut_) cut_ = size;
    return ORB_OK;
  }
  if (int err = fault::Check(fault::Op::kTruncate, path_); err != 0) {
    return Fail(WriteErrorCode(err), path_.string() + ": " + std::strerror(err));
  }
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    int err = errno;
    return Fail(WriteErrorCode(err), path_.string() + ": " + std::strerror(err));
  }
  return ORB_OK;
}

OrbResult File::Sync() { return held_ ? ORB_OK : SyncNow(); }

OrbResult File::SyncNow() {
  if (fault::SyncsSkipped() || !durable_) return ORB_OK;
  if (int err = fault::Check(fault::Op::kSync, path_); err != 0) {
    return Fail(WriteErrorCode(err), path_.string() + ": " + std::strerror(err));
  }
  if (::fdatasync(fd_) != 0) {
    int err = errno;
    if (err == EINVAL || err == EROFS) return ORB_OK;  // files that cannot be synced
    return Fail(WriteErrorCode(err), path_.string() + ": " + std::strerror(err));
  }
  return ORB_OK;
}

bool File::SameFileAs(const std::filesystem::path& path) const {
  struct stat mine {}, named {};
  if (::fstat(fd_, &mine) != 0 || ::stat(path.c_str(), &named) != 0) return false;
  return mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}

void File::Swap(File& other) {
  std::swap(fd_, other.fd_);
  std::swap(writable_, other.writable_);
  std::swap(path_, other.path_);
}

void File::Hold() {
  if (held_) return;
  int64_t size = 0;
  if (Size(&size) != ORB_OK) size = 0;
  heldSize_ = size;
  cut_ = -1;
  held_ = true;
}

void File::DropHeld() {
  held_ = false;
  pending_.clear();
  pendingBytes_ = 0;
  cut_ = -1;
}

// Writes in a batch mostly follow one another (appends) or rewrite one
// record: the range they extend or overwrite grows in place.
void File::HoldWrite(int64_t offset, const uint8_t* bytes, size_t size) {
  const int64_t end = offset + static_cast<int64_t>(size);
  heldSize_ = std::max(heldSize_, end);
  auto next = pending_.upper_bound(offset);
  if (next != pending_.begin()) {
    auto prev = std::prev(next);
    const int64_t prevEnd = prev->first + static_cast<int64_t>(prev->second.size());
    if (prevEnd >= offset && (next == pending_.end() || next->first > end)) {
      if (end > prevEnd) {
        pendingBytes_ += static_cast<size_t>(end - prevEnd);
        prev->second.resize(static_cast<size_t>(end - prev->first));
      }
      std::memcpy(prev->second.data() + (offset - prev->first), bytes, size);
      return;
    }
  }
  // Else every range it overlaps or touches becomes one.
  auto first = next;
  if (first != pending_.begin()) {
    auto prev = std::prev(first);
    if (prev->first + static_cast<int64_t>(prev->second.size()) >= offset) first = prev;
  }
  int64_t lo = offset, hi = end;
  auto last = first;
  for (; last != pending_.end() && last->first <= end; ++last) {
    lo = std::min(lo, last->first);
    hi = std::max(hi, last->first + static_cast<int64_t>(last->second.size()));
  }
  std::vector<uint8_t> merged(static_cast<size_t>(hi - lo));
  for (auto it = first; it != last; ++it) {
    std::memcpy(merged.data() + (it->first - lo), it->second.data(), it->second.size());
    pendingBytes_ -= it->second.size();
  }
  std::memcpy(merged.data() + (offset - lo), bytes, size);
  pending_.erase(first, last);
  pendingBytes_ += merged.size();
  pending_.emplace(lo, std::move(merged));
}

int64_t File::HeldSpan(int64_t from) const {
  auto first = pending_.lower_bound(from);
  if (first == pending_.end()) return 0;
  const auto& [at, bytes] = *pending_.rbegin();
  return at + static_cast<int64_t>(bytes.size()) - first->first;
}

void File::StartWriteback(int64_t from, int64_t to) {
  if (to <= from || !durable_ || fault::SyncsSkipped()) return;
  // A kill may come here as at any other step of a write.
  if (fault::Check(fault::Op::kWriteback, path_) != 0) return;
#if defined(__linux__)
  // Where the call is missing (or the file's system refuses it) the
  // commit's sync does all the waiting, as it did without it.
  static bool unsupported = false;
  if (unsupported) return;
  if (::sync_file_range(fd_, static_cast<off_t>(from), static_cast<off_t>(to - from), SYNC_FILE_RANGE_WRITE) != 0 &&
      (errno == ENOSYS || errno == EINVAL || errno == ESPIPE || errno == EOPNOTSUPP))
    unsupported = true;
#endif
}

OrbResult File::WriteHeld(int64_t keepFrom, int64_t keepTo, bool alone, bool writeback) {
  if (cut_ >= 0) {
    if (int err = fault::Check(fault::Op::kTruncate, path_); err != 0) {
      return Fail(WriteErrorCode(err), path_.string() + ": " + std::strerror(err));
    }
    if (::ftruncate(fd_, static_cast<off_t>(cut_)) != 0) {
      int err = errno;
      return Fail(WriteErrorCode(err), path_.string() + ": " + std::strerror(err));
    }
    cut_ = -1;
  }
  // The parts outside the kept span, in order.
  struct Piece {
    int64_t at;
    const uint8_t* bytes;
    size_t size;
  };
  std::vector<Piece> pieces;
  std::map<int64_t, std::vector<uint8_t>> kept;
  for (const auto& [start, held] : pending_) {
    const int64_t end = start + static_cast<int64_t>(held.size());
    const uint8_t* bytes = held.data();
    // The part before the kept span, the kept part, the part after it.
    const int64_t keepStart = std::clamp(keepFrom, start, end);
    const int64_t keepEnd = std::clamp(keepTo, keepStart, end);
    if (keepStart > start) pieces.push_back({start, bytes, static_cast<size_t>(keepStart - start)});
    if (keepEnd > keepStart) kept.emplace(keepStart, std::vector<uint8_t>(bytes + (keepStart - start), bytes + (keepEnd - start)));
    if (end > keepEnd) pieces.push_back({keepEnd, bytes + (keepEnd - start), static_cast<size_t>(end - keepEnd)});
  }
  // Where nobody else writes the file, pieces a little apart (the few
  // bytes a batch changed in each of many records) go out together with
  // the file's own bytes between them: one write instead of thousands.
  int64_t stored = 0;
  if (alone) {
    struct stat st {};
    if (::fstat(fd_, &st) == 0) stored = st.st_size;
  }
  constexpr int64_t kGap = 4096, kTogether = 256 << 10;
  std::vector<uint8_t> together;
  for (size_t i = 0; i < pieces.size();) {
    size_t j = i + 1;
    const int64_t lo = pieces[i].at;
    while (j < pieces.size() && pieces[j].at - (pieces[j - 1].at + static_cast<int64_t>(pieces[j - 1].size)) <= kGap &&
           pieces[j].at <= stored && pieces[j].at + static_cast<int64_t>(pieces[j].size) - lo <= kTogether) {
      ++j;
    }
    OrbResult r = ORB_OK;
    if (j == i + 1) {
      r = StoredWrite(lo, pieces[i].bytes, pieces[i].size);
    } else {
      const int64_t hi = pieces[j - 1].at + static_cast<int64_t>(pieces[j - 1].size);
      together.resize(static_cast<size_t>(hi - lo));
      size_t got = 0;
      // The gaps lie below the file's end: what the read misses is held.
      r = ReadStored(lo, together.data(), static_cast<size_t>(std::min(hi, std::max(stored, lo)) - lo), &got);
      for (size_t k = i; k < j && r == ORB_OK; ++k) {
        std::memcpy(together.data() + (pieces[k].at - lo), pieces[k].bytes, pieces[k].size);
      }
      if (r == ORB_OK) r = StoredWrite(lo, together.data(), together.size());
    }
    if (r != ORB_OK) return r;
    i = j;
  }
  if (writeback && !pieces.empty())
    StartWriteback(pieces.front().at, pieces.back().at + static_cast<int64_t>(pieces.back().size));
  pending_ = std::move(kept);
  pendingBytes_ = 0;
  for (const auto& [at, bytes] : pending_) pendingBytes_ += bytes.size();
  return ORB_OK;
}

OrbResult RenameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (int err = fault::Check(fault::Op::kRename, to); err != 0) {
    return Fail(WriteErrorCode(err), to.string() + ": " + std::strerror(err));
  }
  if (::rename(from.c_str(), to.c_str()) != 0) {
    int err = errno;
    return Fail(WriteErrorCode(err), from.string() + " -> " + to.filename().string() + ": " + std::strerror(err));
  }
  return ORB_OK;
}

OrbResult RemoveFile(const std::filesystem::path& path) {
  if (int err = fault::Check(fault::Op::kUnlink, path); err != 0) {
    return Fail(WriteErrorCode(err), path.string() + ": " + std::strerror(err));
  }
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    int err = errno;
    return Fail(WriteErrorCode(err), path.string() + ": " + std::strerror(err));
  }
  return ORB_OK;
}

OrbResult SyncDirectory(const std::filesystem::path& dir) {
  if (fault::SyncsSkipped()) return ORB_OK;
  const std::filesystem::path d = dir.empty() ? std::filesystem::path(".") : dir;
  if (int err = fault::Check(fault::Op::kSync, d); err != 0) {
    return Fail(WriteErrorCode(err), d.string() + ": " + std::strerror(err));
  }
  int fd = ::open(d.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return ORB_OK;  // a folder we cannot open for syncing still holds the renames
  int rc = ::fsync(fd);
  int err = errno;
  ::close(fd);
  if (rc != 0 && err != EINVAL && err != EROFS) {
    return Fail(WriteErrorCode(err), d.string() + ": " + std::strerror(err));
  }
  return ORB_OK;
}

OrbResult File::Size(int64_t* size, int64_t* mtimeNs) const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    int err = errno;
    return Fail(ORB_ERR_READ_FAILED, path_.string() + ": " + std::strerror(err));
  }
  *size = held_ ? heldSize_ : st.st_size;
  if (mtimeNs != nullptr) {
    *mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }
  return ORB_OK;
}

bool File::Lock(off_t offset, bool exclusive) {
  struct flock fl {};
  fl.l_type = static_cast<short>(exclusive ? F_WRLCK : F_RDLCK);
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  // A descriptor opened read-only cannot take a write lock, nor one opened
  // write-only a read lock; ours are read-write unless the file is read-only.
  return ::fcntl(fd_, F_OFD_SETLK, &fl) == 0;
}

bool File::LockedByOther(off_t offset) const {
  struct flock fl {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  return ::fcntl(fd_, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

bool File::LockWait(off_t offset, bool exclusive, int waitMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!Lock(offset, exclusive)) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void File::Unlock(off_t offset) {
  struct flock fl {};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = offset;
  fl.l_len = 1;
  ::fcntl(fd_, F_OFD_SETLK, &fl);
}

}  // namespace orb
