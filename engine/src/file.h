// A table's or memo's file: positioned reads and writes that report every
// failure, and the byte locks shared with other programs.
//
// Locks are open-file-description locks (F_OFD_SETLK): they belong to this
// descriptor, so they conflict with other processes and with other opens
// of the file, and closing some other descriptor of the file does not drop
// them as it would drop classic POSIX record locks.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <vector>

#include "orbex32.h"

namespace orb {

// Byte offsets locked in the table file. dBASE-family programs lock the
// header at 0xEFFFFFFE, appends at 0xEFFFFFFF and record n at 0xEFFFFFFE - n;
// our opens hold a lock of their own above them: read lock for shared and
// read-only opens, write lock for an exclusive one.
constexpr off_t kLockHeader = 0xEFFFFFFEll;
constexpr off_t kLockAppend = 0xEFFFFFFFll;
constexpr off_t kLockOpenMode = 0xF0000000ll;
constexpr off_t kLockAppendTurn = 0xF0000001ll;  // a waiter's claim on the next append
inline off_t RecordLockOffset(uint32_t recordNumber) { return kLockHeader - recordNumber; }

// Test seam: when set, every write asks the hook first; a non-zero answer is
// the errno the write fails with (ENOSPC simulates a full disk).
using WriteFaultHook = int (*)(const std::filesystem::path& path, off_t offset, size_t size);
void SetWriteFaultHook(WriteFaultHook hook);

class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Read-write when allowed, else (when !needWrite) read-only.
  OrbResult Open(const std::filesystem::path& path, bool needWrite);
  OrbResult Create(const std::filesystem::path& path);  // truncates
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  bool Writable() const { return writable_; }
  const std::filesystem::path& Path() const { return path_; }

  // Reads exactly size bytes; a short read (end of file) is ORB_ERR_CORRUPT.
  OrbResult ReadAt(int64_t offset, void* buffer, size_t size) const;
  // Reads up to size bytes; *got says how many.
  OrbResult ReadSome(int64_t offset, void* buffer, size_t size, size_t* got) const;
  OrbResult WriteAt(int64_t offset, const void* buffer, size_t size);
  OrbResult Truncate(int64_t size);
  OrbResult Sync();
  // Syncs what was written, also while writes are held.
  OrbResult SyncNow();
  OrbResult Size(int64_t* size, int64_t* mtimeNs = nullptr) const;
  // True while `path` names this open file (not one renamed over it).
  bool SameFileAs(const std::filesystem::path& path) const;
  // Exchanges the open files (and their locks) of two objects.
  void Swap(File& other);
  // A private file nobody else reads (a query answer): its syncs are skipped.
  void SetDurable(bool durable) { durable_ = durable; }

  // Held writes (a batch): while held, writes and truncations stay in
  // memory and reads see them over the file's bytes; Size answers the
  // size the file will have. Syncs do nothing while held. The batch writes
  // them out (WriteHeld) once their old bytes are safe in its journal.
  void Hold();
  bool Held() const { return held_; }
  // Drops what is held and ends holding: the file is as before Hold,
  // apart from what WriteHeld wrote.
  void DropHeld();
  // The held writes, by offset (ranges that neither overlap nor touch).
  const std::map<int64_t, std::vector<uint8_t>>& HeldWrites() const { return pending_; }
  size_t HeldBytes() const { return pendingBytes_; }
  // The smallest size a held truncation cut the file to (-1: none).
  int64_t HeldCut() const { return cut_; }
  // Reads the file's own bytes, not what is held.
  OrbResult ReadStored(int64_t offset, void* buffer, size_t size, size_t* got) const;
  // Writes to the file itself, also while writes are held (what is held
  // there still reads over it).
  OrbResult WriteNow(int64_t offset, const void* buffer, size_t size) {
    return writable_ ? StoredWrite(offset, buffer, size) : WriteAt(offset, buffer, size);
  }
  // Writes the held truncation and the held writes outside [keepFrom,
  // keepTo) to the file (still holding the rest): no sync. `alone`: no
  // other program writes the file meanwhile (an exclusive open), so held
  // writes close together may go out as one with the bytes between them.
  // `writeback`: the disk starts writing them now (StartWriteback).
  OrbResult WriteHeld(int64_t keepFrom, int64_t keepTo, bool alone = false, bool writeback = false);
  // The span of the file from `from` to the end of the last held write
  // (0 when nothing is held there): what writing them out leaves to sync.
  int64_t HeldSpan(int64_t from) const;
  // Asks the system to start writing [from, to) to the disk without
  // waiting, so that a later sync finds less to wait for. A hint: it
  // orders nothing and makes nothing durable, and where the system cannot
  // do it, nothing happens.
  void StartWriteback(int64_t from, int64_t to);

  // Non-blocking byte locks; false when another holder refuses.
  bool Lock(off_t offset, bool exclusive);
  // True when another holder has a write lock on the byte (nothing taken).
  bool LockedByOther(off_t offset) const;
  // Retries for up to `waitMs` before giving up.
  bool LockWait(off_t offset, bool exclusive, int waitMs);
  void Unlock(off_t offset);

 private:
  void HoldWrite(int64_t offset, const uint8_t* bytes, size_t size);
  OrbResult StoredWrite(int64_t offset, const void* buffer, size_t size);

  int fd_ = -1;
  bool writable_ = false;
  bool durable_ = true;
  std::filesystem::path path_;
  bool held_ = false;
  std::map<int64_t, std::vector<uint8_t>> pending_;
  size_t pendingBytes_ = 0;
  int64_t heldSize_ = 0;  // the size the file has with what is held
  int64_t cut_ = -1;
};

// Renames a file over another (atomic on one file system).
OrbResult RenameFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Removes a file; one that is not there is no failure.
OrbResult RemoveFile(const std::filesystem::path& path);
// Makes the folder's entries (creates, renames, removals) durable.
OrbResult SyncDirectory(const std::filesystem::path& dir);

// Maps errno of a failed write to ORB_ERR_DISK_FULL or ORB_ERR_WRITE_FAILED.
OrbResult WriteErrorCode(int err);

}  // namespace orb
