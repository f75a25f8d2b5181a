#include "core/backup_restore.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cctype>
#include <system_error>

#include "core/display_formats.h"
#include "core/inventory_table.h"
#include "platform/file_io.h"
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

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[text.size() - end.size() + i])) !=
        std::toupper(static_cast<unsigned char>(end[i])))
      return false;
  return true;
}

// mkstemp's six characters after the last dot.
bool HasTempSuffix(std::string_view name, std::string_view before) {
  if (name.size() < before.size() + 6) return false;
  const std::string_view tail = name.substr(name.size() - 6);
  for (char c : tail)
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return name.substr(name.size() - 6 - before.size(), before.size()) == before;
}

}  // namespace

bool IsInterruptedWrite(std::string_view name) {
  // Only names of the kinds of file we write: a user's own hidden files
  // beside a database are never taken for ours.
  auto ours = [](std::string_view file) {
    if (file.empty()) return false;
    for (std::string_view ext : {".DBF", ".LST", ".URP", ".TXT", ".INI"})
      if (file.size() > ext.size() && EndsWithNoCase(file, ext)) return true;
    return false;
  };
  // The export's table and what the engine keeps beside it while it is built.
  if (name.size() > 1 && name[0] == '~') {
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find(".EXPORTING.") != std::string::npos;
  }
  if (name.substr(0, 9) == ".restore-") return EndsWithNoCase(name, ".DBF") && name.size() > 9 + 4;
  if (name.size() < 2 || name[0] != '.') return false;
  if (HasTempSuffix(name, ".copy-")) return ours(name.substr(1, name.size() - 1 - 12));
  if (HasTempSuffix(name, ".")) return ours(name.substr(1, name.size() - 1 - 7));
  return false;
}

std::vector<fs::path> RemoveInterruptedWrites(const std::vector<fs::path>& dirs) {
  std::vector<fs::path> removed;
  std::vector<fs::path> seen;
  for (const fs::path& dir : dirs) {
    std::error_code ec;
    if (dir.empty() || !fs::is_directory(dir, ec)) continue;
    const fs::path canonical = fs::weakly_canonical(dir, ec);
    if (std::find(seen.begin(), seen.end(), canonical) != seen.end()) continue;
    seen.push_back(canonical);
    bool any = false;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      std::error_code fileEc;
      if (!IsInterruptedWrite(name) || !it->is_regular_file(fileEc)) continue;
      if (fs::remove(it->path(), fileEc)) {
        removed.push_back(it->path());
        any = true;
      }
    }
    if (any) platform::SyncFolder(dir);
  }
  return removed;
}

fs::path ExportBuildName(const fs::path& target) {
  return target.parent_path() / std::string("~").append(target.stem().string()).append(".EXPORTING.DBF");
}

fs::path RestoreStageName(const fs::path& target) {
  return target.parent_path() / (".restore-" + target.filename().string());
}

std::string RestoredDatabaseMessage(const fs::path& target) {
  std::error_code ec;
  fs::path shown = fs::absolute(target, ec);
  if (ec) shown = target;
  return std::string(kRestoreDoneMessage) + "  The restored database is " + shown.lexically_normal().string() +
         " and is now open.";
}

std::string ListFileMissingMessage(std::string_view name) {
  return "The following file \"" + std::string(name) + "\" could not be located on the specified source drive.";
}

}  // namespace keldro
