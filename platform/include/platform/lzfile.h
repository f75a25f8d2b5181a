// Reading files that may be LZ-compressed (the SZDD form that COMPRESS.EXE
// writes), as the Windows LZ functions do: a compressed file reads as its
// expanded bytes, any other file as it is. Over libmspack.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace platform {

enum class LzStatus { kOk, kNotFound, kReadError, kBadData };

// Reads the whole file, expanded when it is SZDD-compressed.
LzStatus ReadLzFile(const std::filesystem::path& file, std::vector<uint8_t>& out);
bool IsLzCompressed(const std::filesystem::path& file);
// Whether a file's first bytes are those of an SZDD-compressed one.
bool HasLzSignature(const uint8_t* data, size_t size);
// The first `count` bytes of what ReadLzFile gives (fewer if it gives
// fewer): of a plain file only those bytes are read; a compressed one is
// expanded whole.
LzStatus ReadLzFilePrefix(const std::filesystem::path& file, size_t count, std::vector<uint8_t>& out);
// The same over bytes already in memory: SZDD data is expanded, anything
// else is copied as it is.
LzStatus ExpandLzData(const std::vector<uint8_t>& in, std::vector<uint8_t>& out);

// Writes `data` as an SZDD file (for tests and tools that build fixtures).
bool WriteLzFile(const std::filesystem::path& file, const std::vector<uint8_t>& data);

}  // namespace platform
