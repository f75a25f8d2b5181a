// Whole-file reads and atomic writes, the way every save of ours is done.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

enum class ReadStatus { kOk, kNotFound, kError };

// Reads the whole file into `out` (cleared first).
ReadStatus ReadWholeFile(const std::filesystem::path& file, std::string& out);

// Replaces `file` with `bytes`: a temporary file in the same directory,
// written, flushed to disk and renamed over the old one. On failure the old
// file is untouched, the temporary is removed and false is returned with
// errno-style detail in *error when given. An existing file keeps its mode.
bool WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes, int* error = nullptr);

// The same replacement written piece by piece, for a file too large to hold
// whole: Open makes the temporary, Write appends to it, Commit flushes it to
// disk and renames it over `file`. A failed step, or a writer dropped before
// its Commit, removes the temporary and leaves the old file untouched;
// failures give errno-style detail in *error when given.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool Open(const std::filesystem::path& file, int* error = nullptr);
  bool Write(std::string_view bytes, int* error = nullptr);
  bool Commit(int* error = nullptr);

 private:
  void Abandon();

  std::filesystem::path file_;
  std::string temp_;
  int fd_ = -1;
};

// Flushes a folder's entries (a rename or an unlink in it) to the disk;
// false with errno-style detail when it cannot.
bool SyncFolder(const std::filesystem::path& dir, int* error = nullptr);

}  // namespace platform
