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

bool WriteFileAtomic(const fs::path& file, std::string_view bytes, int* error) {
  auto fail = [&](int code) {
    if (error) *error = code;
    return false;
  };
  fs::path dir = file.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmpl = (dir / std::string(".").append(file.filename().string()).append(".XXXXXX")).string();
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return fail(errno);
  auto abandon = [&](int code) {
    ::close(fd);
    ::unlink(tmpl.c_str());
    return fail(code);
  };
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
  if (::fchmod(fd, mode) != 0) return abandon(errno);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return abandon(errno);
    }
    if (n == 0) return abandon(EIO);
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) return abandon(errno);
  if (::close(fd) != 0) {
    int code = errno;
    ::unlink(tmpl.c_str());
    return fail(code);
  }
  if (::rename(tmpl.c_str(), file.c_str()) != 0) {
    int code = errno;
    ::unlink(tmpl.c_str());
    return fail(code);
  }
  // The rename itself reaches the disk with the directory.
  SyncFolder(dir);
  if (error) *error = 0;
  return true;
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
