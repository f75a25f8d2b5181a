// Byte storage under an index file: a real file (by path or by a descriptor
// the table layer already holds, so its locks stay valid) or memory (tests,
// fuzzing).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orb::mdx {

class BlockFile {
 public:
  virtual ~BlockFile() = default;
  // False on an error or a short read; `out` is then undefined.
  virtual bool ReadAt(uint64_t offset, void* out, size_t size) = 0;
  virtual bool WriteAt(uint64_t offset, const void* data, size_t size) = 0;
  // Blocks of `size` bytes each, one after another from `offset`, as one
  // write (gathered, not copied, where the file allows).
  virtual bool WriteBlocks(uint64_t offset, const uint8_t* const* blocks, size_t count, size_t size);
  virtual uint64_t Size() = 0;
  virtual bool Truncate(uint64_t size) = 0;
  virtual bool Sync() = 0;
  // The errno of the last failed write, truncate or sync (0 when unknown).
  virtual int LastError() const { return 0; }
};

class MemoryBlockFile : public BlockFile {
 public:
  MemoryBlockFile() = default;
  explicit MemoryBlockFile(std::string bytes) : bytes_(std::move(bytes)) {}
  bool ReadAt(uint64_t offset, void* out, size_t size) override;
  bool WriteAt(uint64_t offset, const void* data, size_t size) override;
  uint64_t Size() override { return bytes_.size(); }
  bool Truncate(uint64_t size) override;
  bool Sync() override { return true; }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// A file on disk. `create` makes (or empties) it; `readOnly` opens it for
// reading only. Null when it cannot be opened (`error` says why).
std::unique_ptr<BlockFile> OpenDiskFile(const std::string& path, bool create, bool readOnly,
                                        std::string* error = nullptr);
// Wraps a descriptor owned by the caller (not closed here).
std::unique_ptr<BlockFile> WrapDescriptor(int fd);

}  // namespace orb::mdx
