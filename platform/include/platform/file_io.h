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

// Flushes a folder's entries (a rename or an unlink in it) to the disk;
// false with errno-style detail when it cannot.
bool SyncFolder(const std::filesystem::path& dir, int* error = nullptr);

}  // namespace platform
