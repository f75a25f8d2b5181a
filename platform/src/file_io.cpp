#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace fs = std::filesystem;

namespace platform {

ReadStatus ReadWholeFile(const fs::path& file, std::string& out) {
  out.clear();
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadStatus::kNotFound : ReadStatus::kError;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return ReadStatus::kError;
  }
  // Room for the whole file at once: growing it by doubling touches twice
  // its size in fresh memory, and a fresh page costs a fault.
  out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      out.clear();
      return ReadStatus::kError;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return ReadStatus::kOk;
}

namespace {

bool Failed(int* error, int code) {
  if (error) *error = code;
  return false;
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

void AtomicFileWriter::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(temp_.c_str());
  fd_ = -1;
}

bool AtomicFileWriter::Open(const fs::path& file, int* error) {
  Abandon();
  file_ = file;
  const fs::path dir = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  temp_ = (dir / std::string(".").append(file.filename().string()).append(".XXXXXX")).string();
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) return Failed(error, errno);
  // mkstemp gives 0600; a replaced file keeps its mode, a new one gets the
  // mode the user's umask allows.
  struct stat st{};
  mode_t mode;
  if (::stat(file.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd_, mode) != 0) {
    const int code = errno;
    Abandon();
    return Failed(error, code);
  }
  return true;
}

bool AtomicFileWriter::Write(std::string_view bytes, int* error) {
  if (fd_ < 0) return Failed(error, EBADF);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      Abandon();
      return Failed(error, code);
    }
    if (n == 0) {
      Abandon();
      return Failed(error, EIO);
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool AtomicFileWriter::Commit(int* error) {
  if (fd_ < 0) return Failed(error, EBADF);
  if (::fsync(fd_) != 0) {
    const int code = errno;
    Abandon();
    return Failed(error, code);
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 || ::rename(temp_.c_str(), file_.c_str()) != 0) {
    const int code = errno;
    ::unlink(temp_.c_str());
    return Failed(error, code);
  }
  // The rename itself reaches the disk with the directory.
  SyncFolder(file_.parent_path());
  if (error) *error = 0;
  return true;
}

bool WriteFileAtomic(const fs::path& file, std::string_view bytes, int* error) {
  AtomicFileWriter writer;
  return writer.Open(file, error) && writer.Write(bytes, error) && writer.Commit(error);
}

bool SyncFolder(const fs::path& dir, int* error) {
  const fs::path folder = dir.empty() ? fs::path(".") : dir;
  int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) {
    if (error) *error = errno;
    return false;
  }
  const bool ok = ::fsync(dfd) == 0;
  const int code = ok ? 0 : errno;
  ::close(dfd);
  if (error) *error = code;
  return ok;
}

}  // namespace platform
