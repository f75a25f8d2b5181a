// What backup and restore copy, without a window: the three file sets with
// their source and target paths, the tests that refuse copying a file over
// itself or onto a file system without room, and the messages the two
// windows show.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keldro {

// The open database (its .DBF only), the five pick lists, or the report
// definitions file.
enum class FileSet { Database, PickLists, ReportDefinitions };

inline constexpr std::string_view kReportDefinitionsFile = "KELDRO.URP";

struct FileCopy {
  std::filesystem::path source;
  std::filesystem::path target;
};

// A chosen folder as the base of the targets: a trailing separator (a
// mount point's root, "/" or "X:\") is dropped before a name is appended.
std::string BackupDirName(std::string_view dir);
std::string RestoreDirName(std::string_view dir);

// The copies of a backup into `targetDir`. Database: the open .DBF to
// targetDir / table name + ".DBF" (the table name is the file name without
// its final extension). Lists and report definitions: from the program
// directory (found without regard to case) to the same names in targetDir.
std::vector<FileCopy> BackupFiles(FileSet set, const std::filesystem::path& programDir,
                                  const std::filesystem::path& database, std::string_view targetDir);
// The copies of a restore from the file picked in the open dialog: the
// database itself to the program directory under its own name; lists and
// report definitions from the picked file's folder.
std::vector<FileCopy> RestoreFiles(FileSet set, const std::filesystem::path& programDir,
                                   const std::filesystem::path& picked);

// The free bytes of the file system that holds `dir` (statvfs, the space an
// unprivileged user may fill); nullopt when it cannot be asked.
std::optional<uint64_t> FreeBytes(const std::filesystem::path& dir);
// Tests stand a full or a roomy file system in with their own answer; an
// empty function puts statvfs back.
using FreeSpaceProbe = std::function<std::optional<uint64_t>(const std::filesystem::path& dir)>;
void SetFreeSpaceProbe(FreeSpaceProbe probe);

enum class RoomCheck { Enough, NotEnough, Unknown };
// Whether the source fits on the target's file system. The copy is written
// beside the target and renamed over it, so the old target's space is not
// free until the copy is whole: the whole source must fit in the free bytes.
// Unknown: the source size or the free space could not be read.
RoomCheck EnoughRoom(const std::filesystem::path& source, const std::filesystem::path& target);

// The files a write of ours leaves beside its target when a kill stops it
// before its rename: a dBASE export being built ("~NAME.EXPORTING.DBF" and
// the engine's files beside it, "~NAME.EXPORTING.*"), a
// restored database being checked (".restore-NAME"), a block copy
// (".NAME.copy-XXXXXX") and a whole-file save (".NAME.XXXXXX"). Removed from
// each folder given at the next start; returns the paths removed.
bool IsInterruptedWrite(std::string_view fileName);
std::vector<std::filesystem::path> RemoveInterruptedWrites(const std::vector<std::filesystem::path>& dirs);

// The name a dBASE export is built under beside its target.
std::filesystem::path ExportBuildName(const std::filesystem::path& target);
// The name a restored database is checked under beside its target.
std::filesystem::path RestoreStageName(const std::filesystem::path& target);

// ---- Messages ------------------------------------------------------------

inline constexpr std::string_view kBackupIdenticalMessage =
    "Destination File and Source File are identical.  You cannot copy a file  over top of itself.  "
    "Please choose a different directory to backup to.";
inline constexpr std::string_view kRestoreIdenticalMessage =
    "Destination File and Source File are identical.  You cannot copy a file  over top of itself.  "
    "Please choose a different directory to restore from.";
inline constexpr std::string_view kBackupInUseMessage =
    "Backing up the database requires exclusive use of the DBase File.  Make sure that the DBase File is not "
    "in use by another program  or that no other users are running the software or that no other copies of "
    "the software are in use.";
inline constexpr std::string_view kBackupNoRoomMessage =
    "There is not enough room on the destination drive to perform a backup.  If you are already using blank "
    "empty media, then you will need to use the ASCII Delimited Import/Export functions for backup and restore "
    "purposes.";
inline constexpr std::string_view kBackupReportNoRoomMessage =
    "There is not enough room on the destination drive to backup this file.  You will need to free up space "
    "on the destination drive or use an alternative method to backup the \"KELDRO.URP\" file.";
inline constexpr std::string_view kBackupErrorMessage = "An error occurred during backup.  Backup not completed.";
inline constexpr std::string_view kBackupDoneMessage = "Backup completed successfully.";
inline constexpr std::string_view kRestoreInUseMessage =
    "Unable to restore the database.  Make sure the database is not in use by any other users or by another "
    "copy of the software.";
inline constexpr std::string_view kRestoreNoRoomMessage =
    "There is not enough room on the destination drive to perform a restore.  You will need to free up hard "
    "drive space before completing the restore.";
inline constexpr std::string_view kRestoreErrorMessage = "An error occurred during restore.  Restore not completed.";
inline constexpr std::string_view kRestoreDoneMessage = "Restore completed successfully.";
// A restored database's box: the done message and where it now is.
std::string RestoredDatabaseMessage(const std::filesystem::path& target);
inline constexpr std::string_view kListsRestoredMessage = "ALL proper LST files restored successfully.";
inline constexpr std::string_view kListsMissingMessage =
    "One or more files were not restored.  Restore may not have completed successfully.";
inline constexpr std::string_view kReportSourceMissingMessage =
    "The Report Definitions file \"KELDRO.URP\" could not be  located on the specified source drive.";
// The warning for a list file missing from the restore's source folder.
std::string ListFileMissingMessage(std::string_view name);

}  // namespace keldro
