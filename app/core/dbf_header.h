// The header of a dBASE table file, read straight from its bytes: enough to
// tell a table from any other file and to repair its production-index flag
// (byte 28) when the .MDX has gone. Layout: shared/formats/dBASE.md; every
// length is checked against the bytes present before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace keldro {

// What a dBASE table header says, from its first bytes.
struct DbfHeaderInfo {
  uint8_t version = 0;
  uint32_t recordCount = 0;
  uint16_t headerLength = 0;
  uint16_t recordLength = 0;
  uint8_t productionIndexFlag = 0;
  std::vector<std::string> fieldNames;  // as stored, without the zero padding
  std::vector<char> fieldTypes;
};
// Parses `header` (at least the whole header) of a file of `fileSize` bytes;
// nullopt when it is not a dBASE III/IV table header.
std::optional<DbfHeaderInfo> ParseDbfHeader(const uint8_t* header, size_t size, uint64_t fileSize);
std::optional<DbfHeaderInfo> ReadDbfHeader(const std::filesystem::path& dbfPath);

enum class IndexFlagRepair {
  Cleared,        // byte 28 was set and is now 0
  AlreadyClear,   // nothing to write
  NotATable,      // the header does not parse: the file was left alone
  Failed,         // could not be opened or written
};
// Clears the production-index flag (header byte 28) so the engine opens a
// table whose .MDX is gone; a file whose header is not a dBASE table header
// is never written.
IndexFlagRepair RemoveMDXByte(const std::filesystem::path& dbfPath);

}  // namespace keldro
