// The report definitions file "KELDRO.URP" in the program directory: a
// headerless sequence of 20,622-byte ReportDefinition records, record n
// being entry n of the selection list.
//
// The record count is the file size divided by the record size; a partial
// record at the end (a damaged file) is never read, and is dropped by the
// next append or delete. Every change is written to a temporary file beside
// it and renamed into place, so a failed write leaves the file as it was.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "reports/report_definition.h"

namespace keldro::reports {

inline constexpr std::string_view kReportFileName = "KELDRO.URP";
inline constexpr std::string_view kOldReportFileName = "VIVO.URP";

// The outcome of a file operation, with a message for the window to show.
struct ReportFileStatus {
  enum Code { Ok, Missing, NoSuchRecord, ReadFailed, WriteFailed } code = Ok;
  std::string message;
  bool ok() const { return code == Ok; }
};

class ReportFile {
 public:
  explicit ReportFile(std::filesystem::path path) : path_(std::move(path)) {}
  // "KELDRO.URP" in a directory, found without regard to case.
  static ReportFile InDirectory(const std::filesystem::path& dir);

  const std::filesystem::path& path() const { return path_; }
  bool Exists() const;

  // Whole records in the file; 0 when it cannot be opened.
  size_t Count() const;
  // The names in file order; empty when the file cannot be opened.
  std::vector<std::string> Names() const;
  // Record `index` (0-based); an index at or past the count fails.
  ReportFileStatus Read(size_t index, ReportDefinition& out) const;
  ReportFileStatus ReadAll(std::vector<ReportDefinition>& out) const;

  // Writes the buffer over record `index`, which must exist.
  ReportFileStatus Overwrite(size_t index, const ReportDefinition& def);
  // Adds the buffer after the last whole record, creating the file when it
  // is missing; `index` receives its record number.
  ReportFileStatus Append(const ReportDefinition& def, size_t* index = nullptr);
  // Appends several records at once: all of them or none.
  ReportFileStatus AppendAll(const std::vector<ReportDefinition>& defs);
  // Removes record `index`: later records move down one place, the file
  // ends after the remaining ones.
  ReportFileStatus Delete(size_t index);
  // Creates (or replaces) the file with exactly these records.
  ReportFileStatus Create(const std::vector<ReportDefinition>& defs);

 private:
  ReportFileStatus Load(std::vector<uint8_t>& bytes) const;
  ReportFileStatus Store(const std::vector<uint8_t>& bytes) const;
  std::filesystem::path path_;
};

// At every start: writes the eight defaults when "KELDRO.URP" is missing,
// then converts "VIVO.URP" when there is one.
struct EnsureResult {
  bool createdDefaults = false;
  bool convertedOldFile = false;   // "VIVO.URP" was read, carried over and deleted
  size_t convertedRecords = 0;     // records appended from it
  ReportFileStatus status;         // the first failure, if any
};
EnsureResult EnsureReportFile(const std::filesystem::path& programDir);

// Writes the eight defaults into a new file; nothing when it cannot be created.
ReportFileStatus CreateDefaultReports(const std::filesystem::path& programDir);

// Carries the records of "VIVO.URP" that do not have an old built-in name
// over to "KELDRO.URP" and deletes "VIVO.URP". Either every record is
// appended and the old file deleted, or nothing is appended and the old file
// kept (for the next start to try again). A partial record at its end is the
// end of the file.
struct ConversionResult {
  bool found = false;
  bool converted = false;
  size_t appended = 0;
  ReportFileStatus status;
};
ConversionResult ConvertOldReportFile(const std::filesystem::path& programDir);

}  // namespace keldro::reports
