// A table's memo file (.DBT).
//
// dBASE IV layout (what we write for new tables): block 0 holds the next
// free block (bytes 0-3), the table's name (8-15) and the block size
// (20-21, 512 when 0). A memo starts at a block boundary with FF FF 08 00,
// a 4-byte length counting those 8 bytes, then the text.
// dBASE III layout (read, and written for 0x83 tables): 512-byte blocks, the
// text ended by 1A 1A, no length.
// A reader never trusts a length or a block number beyond the file's end.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "file.h"
#include "orbex32.h"

namespace orb {

class MemoFile {
 public:
  enum class Style { kDbase3, kDbase4 };

  OrbResult Open(const std::filesystem::path& path, Style style, bool needWrite);
  // `durable`: synced (a private file is not).
  static OrbResult Create(const std::filesystem::path& path, const std::string& tableName, bool durable = true);

  // The memo starting at `block` (0: empty).
  OrbResult Read(uint32_t block, std::vector<uint8_t>* text);
  // Stores text, reusing the old memo's blocks when it fits there, else at
  // the end; *newBlock gets where it lives (0 for an empty text).
  OrbResult Write(uint32_t oldBlock, const std::vector<uint8_t>& text, uint32_t* newBlock);
  OrbResult Sync() { return file_.Sync(); }
  File& Stored() { return file_; }

 private:
  OrbResult ReadHeader();
  OrbResult StoredBlocks(uint32_t block, uint32_t* blocks);

  File file_;
  Style style_ = Style::kDbase4;
  uint32_t blockSize_ = 512;
};

}  // namespace orb
