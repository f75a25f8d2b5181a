// The rollback journal of a batch of changes ("<table>.JNL" beside the
// table): the table's header, the files' lengths and the old bytes of what
// the batch changes in place, so that a batch cut off by a kill, a crash
// or a full disk is undone before the table is used again. The layout is
// in journal_format.md.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "file.h"
#include "orbex32.h"

namespace orb {

class Journal {
 public:
  enum : uint8_t { kTable = 1, kMemo = 2 };

  // The journal of a table: an existing one (found without regard to
  // case), else the name it is made with, in the table's letter case.
  static std::filesystem::path PathFor(const std::filesystem::path& table);
  static bool Exists(const std::filesystem::path& table);

  // Starts a journal (replacing any): the table's header and the lengths
  // of the table and its memo file (-1: none) before the batch. No sync.
  OrbResult Create(const std::filesystem::path& path, int64_t tableLength, int64_t memoLength,
                   const std::vector<uint8_t>& header);
  // The old bytes at `offset` of the table or memo file. No sync: the
  // entries are gathered and written a few hundred KiB at a time, the
  // rest at the next Sync (a torn tail fails its check).
  OrbResult Add(uint8_t file, int64_t offset, const uint8_t* bytes, size_t size);
  OrbResult Sync();
  bool IsOpen() const { return file_.IsOpen(); }
  const std::filesystem::path& Path() const { return file_.Path(); }
  void Close() {
    file_.Close();
    unwritten_.clear();
  }

  // Puts back what the journal at `path` holds: the old bytes, the old
  // lengths, the old header, each file synced. A journal cut off before
  // its head was whole guarded no change: nothing is put back. The
  // journal itself stays (the caller removes it).
  static OrbResult Undo(const std::filesystem::path& path, File& table, const std::filesystem::path& memoPath);

 private:
  OrbResult WriteGathered();

  File file_;
  int64_t end_ = 0;                // where the next entry goes, after the unwritten ones
  std::vector<uint8_t> unwritten_;  // entries added since the last Sync
};

}  // namespace orb
