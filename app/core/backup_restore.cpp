#include "core/backup_restore.h"

#include <sys/statvfs.h>

#include <system_error>

#include "core/display_formats.h"
#include "core/inventory_table.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace keldro {

namespace {

std::string DropTrailingSeparator(std::string_view dir) {
  std::string d(dir);
  while (d.size() > 1 && (d.back() == '/' || d.back() == '\\')) d.pop_back();
  // "X:\" is used as "X:"; "/" stays the root.
  if (d.size() == 3 && d[1] == ':' && (d[2] == '\\' || d[2] == '/')) d.pop_back();
  return d;
}

fs::path Join(std::string_view dir, std::string_view name) {
  std::string d = DropTrailingSeparator(dir);
  if (d == "/") return fs::path("/") / std::string(name);
  return fs::path(d) / std::string(name);
}

FreeSpaceProbe& Probe() {
  static FreeSpaceProbe probe;
  return probe;
}

}  // namespace

std::string BackupDirName(std::string_view dir) { return DropTrailingSeparator(dir); }
std::string RestoreDirName(std::string_view dir) { return DropTrailingSeparator(dir); }

std::vector<FileCopy> BackupFiles(FileSet set, const fs::path& programDir, const fs::path& database,
                                  std::string_view targetDir) {
  std::vector<FileCopy> copies;
  switch (set) {
    case FileSet::Database:
      copies.push_back({database, Join(targetDir, LocateItemTable(database).tableName + ".DBF")});
      break;
    case FileSet::PickLists:
      for (std::string_view name : kPickListFiles)
        copies.push_back({platform::FindFileNoCase(programDir, name), Join(targetDir, name)});
      break;
    case FileSet::ReportDefinitions:
      copies.push_back({platform::FindFileNoCase(programDir, kReportDefinitionsFile),
                        Join(targetDir, kReportDefinitionsFile)});
      break;
  }
  return copies;
}

std::vector<FileCopy> RestoreFiles(FileSet set, const fs::path& programDir, const fs::path& picked) {
  std::vector<FileCopy> copies;
  const std::string from = RestoreDirName(picked.parent_path().string());
  switch (set) {
    case FileSet::Database:
      copies.push_back({picked, programDir / picked.filename()});
      break;
    case FileSet::PickLists:
      for (std::string_view name : kPickListFiles)
        copies.push_back({platform::FindFileNoCase(from, name), platform::FindFileNoCase(programDir, name)});
      break;
    case FileSet::ReportDefinitions:
      copies.push_back({platform::FindFileNoCase(from, kReportDefinitionsFile),
                        platform::FindFileNoCase(programDir, kReportDefinitionsFile)});
      break;
  }
  return copies;
}

std::optional<uint64_t> FreeBytes(const fs::path& dir) {
  if (Probe()) return Probe()(dir);
  struct statvfs st {};
  if (statvfs(dir.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.f_bavail) * static_cast<uint64_t>(st.f_frsize);
}

void SetFreeSpaceProbe(FreeSpaceProbe probe) { Probe() = std::move(probe); }

RoomCheck EnoughRoom(const fs::path& source, const fs::path& target) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(source, ec);
  if (ec) return RoomCheck::Unknown;
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  const std::optional<uint64_t> free = FreeBytes(dir);
  if (!free) return RoomCheck::Unknown;
  return size <= *free ? RoomCheck::Enough : RoomCheck::NotEnough;
}

std::string ListFileMissingMessage(std::string_view name) {
  return "The following file \"" + std::string(name) + "\" could not be located on the specified source drive.";
}

}  // namespace keldro
